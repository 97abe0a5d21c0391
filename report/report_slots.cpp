#include "app/main_window.h"

#include "app/safe_save.h"
#include "app/ui_seam.h"
#include "loops/loop_state.h"
#include "report/sheet_from_window.h"
#include "report/summary_sheet.h"

#include <QBuffer>
#include <QLineEdit>
#include <QPdfWriter>
#include <QTableWidget>
#include <QTextEdit>
#include <QUrl>

namespace {

QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table ? table->item(row, column) : nullptr;
    return item ? item->text() : QString();
}

}  // namespace

SummarySheetData gatherSummarySheetData(const MainWindow &window)
{
    SummarySheetData data;
    data.projectName = window.projectNameEdit->text();
    data.projectLocation = window.projectLocationEdit->text();
    data.companyName = window.companyNameEdit->text();
    data.email = window.emailEdit->text();
    data.comment = window.commentEdit->toPlainText();
    data.panelName = loopState.selectedPanelName;

    const int n = usableLoopCount(loopState.loopCount);
    data.loopCount = n;
    for (int i = 0; i < n; ++i) {
        data.cableCaptions << loopState.loopCableCaptions[i];
        // Column 8, "Cable Type", is not printed; column 9 is the sheet's "Result".
        QStringList cells;
        for (int column : {0, 1, 2, 3, 4, 5, 6, 7, 9})
            cells << cellText(window.summaryTable, i, column);
        data.loopCells << cells;
    }

    // Every device is listed, also those beyond a count grid that a catalogue made too short:
    // a row without a count field prints 0 counts.
    const QMap<QString, DeviceRecord> &devices = loopState.devicesByKey;
    const int gridRows = deviceGridRowCount(catalogue);
    for (const DeviceRow &row : deviceRowOrder(devices, kMaxDeviceRows)) {
        const auto found = devices.constFind(row.key);
        if (found == devices.cend())
            continue;
        const DeviceRecord &device = *found;
        SummaryDeviceRow printed;
        printed.name = row.secondRow ? device.secondRowName : device.name;
        printed.type = device.type;
        printed.secondRow = row.secondRow;
        const qint32 *counts = row.secondRow ? device.secondRowLoopCounts : device.loopCounts;
        printed.loopCounts = row.row < gridRows ? QVector<qint32>(counts, counts + n) : QVector<qint32>(n, 0);
        data.deviceRows << printed;
    }

    data.softwareVersion = softwareVersionText;
    data.catalogueVersion = catalogue.catalogueVersion;
    data.catalogueVersionNumber = catalogue.catalogueVersionNumber;
    data.minLoopVoltage = catalogue.condition.minLoopVoltage;
    data.maxLoopLength = catalogue.condition.maxLoopLength;
    return data;
}

bool MainWindow::paintSummarySheet(QPagedPaintDevice *device)
{
    return drawSummarySheet(device, gatherSummarySheetData(*this));
}

void MainWindow::ExportPDF()
{
    const QString name = uiSeam().saveFileName(this, tr("Save as"), QStringLiteral("/"), tr("Files(*.pdf)"));
    if (name.isEmpty())
        return;

    // The whole document is made in memory first, so a failed save leaves any old PDF intact.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    bool painted = false;
    {
        QPdfWriter writer(&buffer);
        setUpSummarySheetWriter(writer);
        painted = paintSummarySheet(&writer);
    }
    buffer.close();

    const SaveResult saved = painted ? saveFileAtomically(name, buffer.data())
                                     : SaveResult{false, QStringLiteral("The PDF could not be drawn.")};
    if (!saved.ok) {
        uiSeam().message(this, MessageKind::Critical, QStringLiteral("Error"),
                         QStringLiteral("The file could not be saved."), saved.error);
        return;
    }
    uiSeam().openUrl(QUrl::fromLocalFile(name));
}
