// .xlsx reader and the two workbook imports.
// An input starting with "PK" is taken as a zip file as it is. Any other input is a list of
// parts, each "name\ncontent", separated by NUL bytes (XML holds none); the target packs them
// into a valid zip first, so that mutations reach the XML parsing instead of dying at the CRC.
#include "catalogue/workbook_import_rules.h"
#include "catalogue/xlsx_reader.h"

#include <QBuffer>
#include <QByteArray>
#include <QList>
#include <cstdint>
#include <cstdlib>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

namespace {

QByteArray packParts(const QByteArray &input)
{
    QByteArray zipBytes;
    QBuffer buffer(&zipBytes);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdCreate))
        return QByteArray();
    for (const QByteArray &part : input.split('\0')) {
        const int newline = part.indexOf('\n');
        if (newline <= 0)
            continue;
        QuaZipFile file(&zip);
        // Stored, not deflated: packing must stay cheap beside the reading.
        if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(QString::fromUtf8(part.left(newline))), nullptr, 0, 0))
            continue;
        file.write(part.constData() + newline + 1, part.size() - newline - 1);
        file.close();
    }
    zip.close();
    return zipBytes;
}

void exercise(const XlsxWorkbook &workbook)
{
    const int sheets = workbook.sheetCount();
    if (sheets < 0)
        abort();
    for (int sheet = 0; sheet <= sheets + 1; ++sheet) {
        workbook.sheetName(sheet);
        for (int row = 0; row <= 8; ++row)
            for (int column = 0; column <= 22; ++column)
                workbook.cellValue(sheet, row, column);
        workbook.cellValue(sheet, XlsxLimits::maxRow, XlsxLimits::maxColumn);
        workbook.cellValue(sheet, -1, -1);
    }
    Catalogue c;
    importDataSheets(workbook, c);
    if (c.panelCount < 0 || c.panelCount > kPanelCapacity || c.cableCount < 0
        || c.cableCount > kCableCapacity || c.deviceCount < 0 || c.deviceCount > kDeviceCapacity)
        abort();
    importNameSheets(workbook, c);
    // The name sheets run on a catalogue at full capacity too.
    Catalogue full;
    full.panelCount = kPanelCapacity;
    full.cableCount = kCableCapacity;
    full.deviceCount = kDeviceCapacity;
    importNameSheets(workbook, full);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const QByteArray bytes = input.startsWith("PK") ? input : packParts(input);
    XlsxWorkbook workbook;
    if (workbook.openBytes(bytes))
        exercise(workbook);
    else if (workbook.errorString().isEmpty() || workbook.sheetCount() != 0)
        abort();
    return 0;
}
