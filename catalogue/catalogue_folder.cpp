#include "catalogue/catalogue_folder.h"

#include "catalogue/dat_codec.h"
#include "catalogue/whole_file.h"
#include "catalogue/workbook_import_rules.h"
#include "catalogue/xlsx_reader.h"

#include <QFileInfo>

namespace {

// One half of the catalogue: the workbook when it can be read, else the .dat file. A workbook
// that cannot be read falls back to the .dat file, as at start-up, and is noted.
template <typename ImportSheets, typename DecodeFile>
bool loadHalf(const QString &dir, const QString &workbookName, const QString &fileName, Catalogue &c,
              QStringList &messages, ImportSheets importSheets, DecodeFile decodeFile)
{
    const QString workbookPath = dir + QLatin1Char('/') + workbookName;
    if (QFileInfo::exists(workbookPath)) {
        XlsxWorkbook workbook;
        if (workbook.open(workbookPath)) {
            importSheets(workbook, c);
            return true;
        }
        messages.append(QStringLiteral("%1 cannot be read (%2)").arg(workbookName, workbook.errorString()));
    }
    QByteArray bytes;
    QString reason;
    if (readWholeFile(dir + QLatin1Char('/') + fileName, kMaxDatFileBytes, bytes, &reason) &&
        decodeFile(bytes, c, &reason))
        return true;
    messages.append(QStringLiteral("%1 cannot be read (%2)").arg(fileName, reason));
    return false;
}

}  // namespace

CatalogueFolderLoad loadCatalogueFolder(const QString &dir, Catalogue &c)
{
    CatalogueFolderLoad load;
    const bool data = loadHalf(
        dir, QStringLiteral("data.xlsx"), QStringLiteral("data.dat"), c, load.messages,
        [&load](const Workbook &workbook, Catalogue &into) {
            for (const CapacityCut &cut : importDataSheets(workbook, into))
                load.messages.append(capacityCutMessage(QStringLiteral("data.xlsx"), cut));
        },
        [](const QByteArray &bytes, Catalogue &into, QString *reason) { return decodeDataFile(bytes, into, reason); });
    // The names are read with the counts of the data half, so they need it.
    const bool names = data && loadHalf(dir, QStringLiteral("name.xlsx"), QStringLiteral("name.dat"), c, load.messages,
                                        importNameSheets,
                                        [](const QByteArray &bytes, Catalogue &into, QString *reason) {
                                            return decodeNameFile(bytes, into, reason);
                                        });
    load.ok = data && names;
    return load;
}
