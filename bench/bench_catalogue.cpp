#include "bench.h"

#include "catalogue/dat_codec.h"
#include "catalogue/whole_file.h"
#include "catalogue/workbook_import_rules.h"
#include "catalogue/xlsx_reader.h"
#include "test_catalogues.h"

#include <QFile>
#include <QTemporaryDir>
#include <memory>

namespace {

// Both workbooks opened, read whole and imported, as at start-up.
void importWorkbooks(const QString &dir)
{
    Catalogue c;
    XlsxWorkbook data, names;
    if (!data.open(dir + "/data.xlsx") || !names.open(dir + "/name.xlsx"))
        qFatal("cannot read the workbooks in %s", qPrintable(dir));
    importDataSheets(data, c);
    importNameSheets(names, c);
    if (c.deviceCount == 0)
        qFatal("nothing imported from %s", qPrintable(dir));
}

BenchRegistration fullImport(10, [] {
    BenchCase c;
    c.operation = "import data.xlsx+name.xlsx (full)";
    c.target = "< 10 ms";
    c.runs = 50;
    c.run = [] { importWorkbooks(QStringLiteral(QUILLON_FIXTURES_DIR "/full")); };
    return c;
});

BenchRegistration sampleImport(11, [] {
    BenchCase c;
    c.operation = "import data.xlsx+name.xlsx (sample)";
    c.target = "< 10 ms";
    c.runs = 50;
    c.run = [] { importWorkbooks(QStringLiteral(QUILLON_SAMPLE_DIR)); };
    return c;
});

BenchRegistration fullDatRead(12, [] {
    auto dir = std::make_shared<QTemporaryDir>();
    const Catalogue full = fullCatalogue();
    {
        QFile data(dir->filePath("data.dat")), names(dir->filePath("name.dat"));
        if (!data.open(QIODevice::WriteOnly) || !names.open(QIODevice::WriteOnly)
            || data.write(encodeDataFile(full)) < 0 || names.write(encodeNameFile(full)) < 0)
            qFatal("cannot write the catalogue files");
    }
    BenchCase c;
    c.operation = "read data.dat+name.dat (full)";
    c.target = "-";
    c.runs = 200;
    c.run = [dir] {
        Catalogue read;
        QByteArray bytes;
        if (!readWholeFile(dir->filePath("data.dat"), kMaxDatFileBytes, bytes) || !decodeDataFile(bytes, read)
            || !readWholeFile(dir->filePath("name.dat"), kMaxDatFileBytes, bytes) || !decodeNameFile(bytes, read))
            qFatal("cannot read the catalogue files");
    };
    return c;
});

}  // namespace
