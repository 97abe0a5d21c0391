// data.dat reader: never crashes, never stores past the arrays, and whatever it accepts the
// writer writes back so that the reader accepts it again unchanged.
#include "catalogue/dat_codec.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    Catalogue c;
    if (!decodeDataFile(bytes, c))
        return 0;
    if (c.panelCount < 0 || c.panelCount > kPanelCapacity || c.cableCount < 0
        || c.cableCount > kCableCapacity || c.deviceCount < 0 || c.deviceCount > kDeviceCapacity)
        abort();

    const QByteArray written = encodeDataFile(c);
    Catalogue again;
    if (!decodeDataFile(written, again) || encodeDataFile(again) != written)
        abort();
    return 0;
}
