// name.dat reader, run with the counts of an empty, the sample and a full catalogue (the file
// carries no counts of its own). Never crashes; whatever it accepts survives a write and a read.
#include "catalogue/dat_codec.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

namespace {

void checkWithCounts(const QByteArray &bytes, int panels, int cables, int devices)
{
    Catalogue c;
    c.panelCount = panels;
    c.cableCount = cables;
    c.deviceCount = devices;
    if (!decodeNameFile(bytes, c))
        return;
    if (c.panelCount != panels || c.cableCount != cables || c.deviceCount != devices)
        abort();

    const QByteArray written = encodeNameFile(c);
    Catalogue again;
    again.panelCount = panels;
    again.cableCount = cables;
    again.deviceCount = devices;
    if (!decodeNameFile(written, again) || encodeNameFile(again) != written)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    checkWithCounts(bytes, 0, 0, 0);
    checkWithCounts(bytes, 6, 5, 15);
    checkWithCounts(bytes, kPanelCapacity, kCableCapacity, kDeviceCapacity);
    return 0;
}
