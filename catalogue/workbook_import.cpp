#include "app/main_window.h"

#include "app/ui_seam.h"
#include "catalogue/catalogue_check.h"
#include "catalogue/whole_file.h"
#include "catalogue/workbook_import_rules.h"
#include "catalogue/xlsx_reader.h"

// The workbook is read whole before anything is imported, so an unreadable one leaves the
// catalogue untouched and start-up falls back to the .dat file.
bool MainWindow::importDataWorkbook(const QString &path)
{
    XlsxWorkbook workbook;
    return importDataWorkbook(path, workbook);
}

bool MainWindow::importDataWorkbook(const QString &path, XlsxWorkbook &workbook)
{
    if (!workbook.open(path)) {
        uiSeam().message(this, MessageKind::Critical, QStringLiteral("Error"),
                         QStringLiteral("The file of data.xlsx could not be read."),
                         catalogueReadFailure(path, workbook.errorString(),
                                              QStringLiteral("The catalogue saved in data.dat stays in use.")));
        return false;
    }
    for (const CapacityCut &cut : importDataSheets(workbook, catalogue))
        uiSeam().message(this, MessageKind::Critical, QStringLiteral("Error"),
                         capacityCutMessage(QStringLiteral("data.xlsx"), cut));
    return true;
}

bool MainWindow::importNameWorkbook(const QString &path)
{
    XlsxWorkbook workbook;
    return importNameWorkbook(path, workbook);
}

bool MainWindow::importNameWorkbook(const QString &path, XlsxWorkbook &workbook)
{
    if (!workbook.open(path)) {
        uiSeam().message(this, MessageKind::Critical, QStringLiteral("Error"),
                         QStringLiteral("The file of name.xlsx could not be read."),
                         catalogueReadFailure(path, workbook.errorString(),
                                              QStringLiteral("The names saved in name.dat stay in use.")));
        return false;
    }
    importNameSheets(workbook, catalogue);
    return true;
}

void MainWindow::checkImportedCatalogue(CatalogueCheckInput &input)
{
    const QString summary = findingSummary(checkCatalogue(input));
    if (!summary.isEmpty())
        uiSeam().message(this, MessageKind::Warning, QStringLiteral("Warning"), summary);
}
