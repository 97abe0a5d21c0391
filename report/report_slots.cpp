#include "app/main_window.h"

#include "app/safe_save.h"
#include "app/ui_seam.h"
#include "battery/battery_calculation.h"
#include "calc/calculation_record.h"
#include "calc/loop_calculation.h"
#include "loops/loop_indexes.h"
#include "loops/loop_state.h"
#include "report/sheet_from_window.h"
#include "report/summary_sheet.h"

#include <QBuffer>
#include <QLineEdit>
#include <QPdfWriter>
#include <QTableWidget>
#include <QTextEdit>
#include <QUrl>

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
    const CalculationRecord &calculation = window.calculation();
    for (int i = 0; i < n; ++i) {
        data.cableCaptions << loopState.loopCableCaptions[i];
        const LoopRow row = calculation.row(i, loopLabel(i + 1));
        QStringList cells;
        for (const ResultColumn &column : sheetColumns())
            cells << row.text(column.field);
        data.loopCells << cells;
        data.loopStates << row.state;
        data.comments << row.comments;
    }

    // The counts as the grid shows them, read as the calculation reads them. Every device is
    // listed, also those beyond a count grid that a catalogue made too short: a row without a
    // count field prints 0 counts.
    const QMap<QString, DeviceRecord> &devices = loopState.devicesByKey;
    for (const DeviceRow &row : deviceRowOrder(devices, kMaxDeviceRows)) {
        const auto found = devices.constFind(row.key);
        if (found == devices.cend())
            continue;
        const DeviceRecord &device = *found;
        SummaryDeviceRow printed;
        printed.name = row.secondRow ? device.secondRowName : device.name;
        printed.type = device.type;
        printed.secondRow = row.secondRow;
        for (int i = 0; i < n; ++i) {
            const QLineEdit *edit = row.row < kMaxDeviceRows ? window.deviceCountEdits[row.row][i] : nullptr;
            printed.loopCounts << (edit ? parseCountText(edit->text()) : 0);
        }
        data.deviceRows << printed;
    }

    // The battery of the calculation just shown; none once an input has changed since.
    if (window.batteryResultShown)
        data.batteryLines = batteryResultLines(window.batteryResult);

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
    const QString name = chooseFileToSave(tr("Save as"), tr("Files(*.pdf)"), QStringLiteral("pdf"),
                                          proposedSavePath(QStringLiteral("pdf")));
    if (name.isEmpty())
        return;
    // The sheet prints the calculation of the inputs shown, never an earlier one.
    flushCalculation();

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
