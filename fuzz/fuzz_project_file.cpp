// Project-file decoder. The catalogue version number is taken from the input itself so that the
// fuzzer gets past the version check; the device count is not in the file, so a few are tried.
// Never crashes; whatever it accepts fits the window and survives a write and a read.
#include "catalogue/catalogue.h"
#include "project/project_file.h"

#include <QByteArray>
#include <QtEndian>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        abort();
}

void checkAccepted(const ProjectData &read, int deviceCount)
{
    check(read.loopCount >= 0 && read.loopCount <= kMaxLoops);
    check(read.cableNames.size() == read.loopCount);
    check(read.countRows.size() == deviceCount);
    check(read.hasExtraRows || read.extraCountRows.isEmpty());
    check(read.countRows.size() + read.extraCountRows.size() <= kMaxDeviceRows);
    for (const auto *rows : {&read.countRows, &read.extraCountRows})
        for (const QStringList &row : *rows) {
            check(row.size() == read.loopCount);
            for (const QString &count : row)
                check(isCountText(count));
        }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const qint32 versionNumber = size >= 12 ? qFromBigEndian<qint32>(data + 8) : 0;
    for (const int deviceCount : {0, 4, 15, kDeviceCapacity}) {
        ProjectData read;
        if (decodeProject(bytes, versionNumber, deviceCount, &read) != ProjectFileError::None)
            continue;
        checkAccepted(read, deviceCount);
        const QByteArray written = encodeProject(read);
        ProjectData again;
        check(decodeProject(written, versionNumber, deviceCount, &again) == ProjectFileError::None);
        check(encodeProject(again) == written);
    }
    return 0;
}
