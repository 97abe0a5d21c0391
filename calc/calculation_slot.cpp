#include "app/main_window.h"

#include "app/ui_seam.h"
#include "calc/loop_calculation.h"
#include "calc/result_texts.h"
#include "loops/loop_state.h"

#include <QBrush>
#include <QColor>
#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

#include <algorithm>
#include <iterator>
#include <memory>

namespace {

QString statusSymbol(CurrentStatus status)
{
    return status == CurrentStatus::Overloaded ? QString(QChar(0x00D7)) : QString(QChar(0x221A));
}

QBrush statusBrush(CurrentStatus status) { return QBrush(statusColour(status)); }

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

// The table owns the item it takes; a cell outside the table takes none (nullptr). A screen reader
// reads the cell with its column header: "Max Length: 850.0m".
QTableWidgetItem *putItem(QTableWidget *table, int row, int column, std::unique_ptr<QTableWidgetItem> item,
                          const QString &spoken)
{
    if (row >= table->rowCount() || column >= table->columnCount())
        return nullptr;
    if (const QTableWidgetItem *header = table->horizontalHeaderItem(column))
        item->setData(Qt::AccessibleTextRole, header->text().trimmed() + QStringLiteral(": ") + spoken);
    table->setItem(row, column, item.get());
    return item.release();
}

QTableWidgetItem *putText(QTableWidget *table, int row, int column, const QString &text)
{
    return putItem(table, row, column, std::make_unique<QTableWidgetItem>(text), text);
}

QTableWidgetItem *putSymbol(QTableWidget *table, int row, int column, CurrentStatus status)
{
    auto item = std::make_unique<QTableWidgetItem>(statusSymbol(status));
    item->setFont(QFont(QStringLiteral("SimSum"), 16));
    return putItem(table, row, column, std::move(item), statusWords(status));
}

void setBrush(QTableWidgetItem *item, CurrentStatus status)
{
    if (item)
        item->setBackground(statusBrush(status));
}

}  // namespace

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

    for (QLabel *label : commentLabels)
        label->setText(QString());

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
    for (const QString &text : results.checkWarnings)
        warn(text);

    for (int k = 0; k < loops; ++k) {
        const LoopResultTexts texts = loopResultTexts(results, k, catalogue.condition.maxLoopLength);
        if (!texts.shown) {
            // A loop left out for unusable catalogue values says so in its comment line.
            if (!texts.comment.isEmpty())
                commentLabels[k]->setText(texts.comment);
            continue;
        }
        putText(calculationTable, k, 1, texts.quiescent);
        putText(summaryTable, k, 5, texts.quiescent);
        QTableWidgetItem *alarmCell = putText(calculationTable, k, 2, texts.alarm);
        putText(summaryTable, k, 6, texts.alarm);
        if (texts.length) {
            putText(calculationTable, k, 3, *texts.length);
            putText(summaryTable, k, 7, *texts.length);
        }

        const CurrentStatus status = texts.status;
        if (!texts.comment.isEmpty())
            commentLabels[k]->setText(texts.comment);
        setBrush(alarmCell, status);
        setBrush(putSymbol(calculationTable, k, 4, status), status);
        putSymbol(summaryTable, k, 9, status);
        if (!texts.comment.isEmpty())
            warn(texts.comment);
        else
            commentLabels[k]->setText(QString());

        putText(summaryTable, k, 1, texts.detectors);
        putText(summaryTable, k, 2, texts.modules);
        putText(summaryTable, k, 3, texts.sounders);
        putText(summaryTable, k, 4, texts.others);
        putText(summaryTable, k, 8, loopState.loopCableNames[k]);
    }
    showCommentLines();
}
