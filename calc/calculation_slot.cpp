#include "app/main_window.h"

#include "app/ui_seam.h"
#include "calc/calculation_record.h"
#include "calc/loop_calculation.h"
#include "loops/loop_indexes.h"
#include "loops/loop_state.h"

#include <QBrush>
#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

#include <algorithm>
#include <iterator>

namespace {

bool isCountOrCable(ResultField field)
{
    switch (field) {
    case ResultField::Detectors:
    case ResultField::Modules:
    case ResultField::Sounders:
    case ResultField::Others:
    case ResultField::Cable:
        return true;
    default:
        return false;
    }
}

// What a screen reader says for the status symbol.
QString statusWords(CurrentStatus status)
{
    switch (status) {
    case CurrentStatus::Normal:
        return QStringLiteral("normal");
    case CurrentStatus::NearLimit:
        return QStringLiteral("above 80 % of the loop current limit");
    case CurrentStatus::Overloaded:
        return QStringLiteral("at or above the loop current limit");
    }
    return QString();
}

// Writes row k of a result table from the loop's row; `wanted` picks the columns. The alarm cell
// is coloured only where `colourAlarm`, the state cell wherever there is a state.
template <typename Wanted>
void putRow(QTableWidget *table, const QVector<ResultColumn> &columns, int k, const LoopRow &row,
            bool colourAlarm, Wanted wanted)
{
    if (k >= table->rowCount())
        return;
    for (int c = 0; c < columns.size() && c < table->columnCount(); ++c) {
        const ResultField field = columns[c].field;
        if (field == ResultField::Loop || !wanted(field))
            continue;
        auto *item = new QTableWidgetItem(row.text(field));
        // A screen reader reads the cell with its column header: "Max Length: 850.0m".
        const QString spoken = field == ResultField::State && row.state ? statusWords(*row.state) : row.text(field);
        if (const QTableWidgetItem *header = table->horizontalHeaderItem(c))
            item->setData(Qt::AccessibleTextRole, header->text().trimmed() + QStringLiteral(": ") + spoken);
        if (field == ResultField::State && row.state)
            item->setFont(QFont(QStringLiteral("SimSum"), 16));
        if (row.state && (field == ResultField::State || (colourAlarm && field == ResultField::Alarm)))
            item->setBackground(QBrush(statusColour(*row.state)));
        table->setItem(k, c, item);
    }
}


}  // namespace

LoopInputsShown MainWindow::loopInputsShown(int k) const
{
    LoopInputsShown shown;
    if (k < 0 || k >= kMaxLoops)
        return shown;
    if (cableComboBoxes[k])
        shown.cable = cableComboBoxes[k]->currentText();
    const int rows = deviceGridRowCount(catalogue);
    shown.counts.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        const QLineEdit *edit = deviceCountEdits[r][k];
        shown.counts.append(edit ? parseCountText(edit->text()) : 0);
    }
    return shown;
}

void MainWindow::showLoopResult(int k, ResultCells cells)
{
    const LoopRow row = calculationRecord.row(k, loopLabel(k + 1));
    auto wanted = [cells](ResultField field) {
        switch (cells) {
        case ResultCells::Figures:
            return !isCountOrCable(field);
        case ResultCells::CountsAndCable:
            return isCountOrCable(field);
        case ResultCells::All:
            break;
        }
        return true;
    };
    putRow(calculationTable, calculationColumns(), k, row, true, wanted);
    putRow(summaryTable, summaryColumns(), k, row, false, wanted);
    if (cells != ResultCells::CountsAndCable && k < kMaxLoops && commentLabels[k])
        commentLabels[k]->setText(row.comments.join(QLatin1Char('\n')));
}

void MainWindow::clearCalculation()
{
    calculationRecord.clear();
    clearBatteryResult();
    const int loops = usableLoopCount(loopState.loopCount);
    for (int k = 0; k < loops; ++k)
        showLoopResult(k);
    for (int k = loops; k < kMaxLoops; ++k)
        if (commentLabels[k])
            commentLabels[k]->clear();
    showCommentLines();
}

void MainWindow::loopInputsChanged(int k)
{
    if (calculationRecord.stands(k) && calculationRecord.dropIfChanged(k, loopInputsShown(k))) {
        showLoopResult(k);
        showCommentLines();
        // Its currents were part of the battery's.
        clearBatteryResult();
    }
}

void MainWindow::countFieldChanged(const QLineEdit *field)
{
    // Most edits happen with no result standing (before a Calculate, while Open fills the grid).
    if (!calculationRecord.anyStanding())
        return;
    const int loops = usableLoopCount(loopState.loopCount);
    const int rows = deviceGridRowCount(catalogue);
    for (int k = 0; k < loops; ++k)
        for (int r = 0; r < rows; ++r)
            if (deviceCountEdits[r][k] == field) {
                loopInputsChanged(k);
                return;
            }
}

void MainWindow::flushCalculation()
{
    const int loops = usableLoopCount(loopState.loopCount);
    auto warn = [this](const QString &text) {
        uiSeam().message(this, MessageKind::Warning, QStringLiteral("Warning"), text);
    };

    QStringList cableTexts;
    for (int i = 0; i < loops; ++i)
        cableTexts.append(cableComboBoxes[i] ? cableComboBoxes[i]->currentText() : QString());
    const SelectionCheck check = checkSelection(panelComboBox->currentText(), loops, cableTexts);
    for (const QString &text : check.warnings)
        warn(text);
    if (!check.complete)
        return;

    CalculationInputs inputs;
    inputs.loopCount = loops;
    inputs.readCounts = deviceTable->columnCount() > 2;
    const int rows = deviceGridRowCount(catalogue);
    inputs.countTexts.resize(rows);
    for (int r = 0; r < rows; ++r) {
        QStringList &line = inputs.countTexts[r];
        for (int i = 0; i < loops; ++i) {
            QLineEdit *edit = deviceCountEdits[r][i];
            if (!edit) {
                line.append(QString());
                continue;
            }
            if (edit->text().isEmpty())
                edit->setText(QStringLiteral("0"));
            line.append(edit->text());
        }
    }
    inputs.panelLoopVoltage = loopState.panelLoopVoltage;
    inputs.panelMaxLoopCurrent = loopState.panelMaxLoopCurrent;
    std::copy(std::begin(loopState.loopMaxDevices), std::end(loopState.loopMaxDevices), inputs.loopMaxDevices);
    std::copy(std::begin(loopState.loopCableResistance), std::end(loopState.loopCableResistance),
              inputs.loopCableResistance);
    inputs.condition = catalogue.condition;

    const LoopResults results = calculateLoops(loopState.devicesByKey, inputs);
    QVector<LoopInputsShown> shown;
    for (int k = 0; k < loops; ++k)
        shown.append(loopInputsShown(k));
    calculationRecord.keep(results, catalogue.condition.maxLoopLength, shown);

    for (const QString &text : results.checkWarnings)
        warn(text);
    // A loop's current warning comes once its figures, state and comment are in place, before
    // its counts and cable.
    for (int k = 0; k < loops; ++k) {
        showLoopResult(k, ResultCells::Figures);
        if (calculationRecord.hasFigures(k)) {
            const QString warning = statusMessage(results.status[k], k + 1);
            if (!warning.isEmpty())
                warn(warning);
        }
        showLoopResult(k, ResultCells::CountsAndCable);
    }
    updateBatteryResult(batteryLoopTotals(calculationRecord.results(), loops));
    showCommentLines();
}
