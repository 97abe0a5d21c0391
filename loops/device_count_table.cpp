#include "app/main_window.h"

#include "app/combo_text_signal.h"
#include "loops/loop_indexes.h"
#include "loops/loop_state.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegExpValidator>
#include <QStringList>
#include <QTableWidget>
#include <QVariant>

namespace {

using CableSlot = void (MainWindow::*)(QString);
const CableSlot cableSlots[kMaxLoops] = {
    &MainWindow::flushCableLoop1,  &MainWindow::flushCableLoop2,  &MainWindow::flushCableLoop3,
    &MainWindow::flushCableLoop4,  &MainWindow::flushCableLoop5,  &MainWindow::flushCableLoop6,
    &MainWindow::flushCableLoop7,  &MainWindow::flushCableLoop8,  &MainWindow::flushCableLoop9,
    &MainWindow::flushCableLoop10, &MainWindow::flushCableLoop11, &MainWindow::flushCableLoop12,
    &MainWindow::flushCableLoop13, &MainWindow::flushCableLoop14, &MainWindow::flushCableLoop15,
    &MainWindow::flushCableLoop16,
};

QValidator *newDeviceCountValidator(QObject *parent)
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return new QRegExpValidator(QRegExp(deviceCountPattern), parent);
#pragma GCC diagnostic pop
}

}  // namespace

void MainWindow::setLoopColumn(QString text)
{
    if (text.isEmpty()) {
        deviceTable->setColumnCount(2);
        cableTable->setRowCount(0);
        calculationTable->setRowCount(0);
        summaryTable->setRowCount(0);
        loopState.loopCount = 0;
    }
    // An unknown text keeps the loop count and table sizes; the widgets are rebuilt regardless.
    const auto panel = loopState.panelsByName.constFind(text);
    if (panel != loopState.panelsByName.cend()) {
        const int n = usableLoopCount(panel->loopCount);
        deviceTable->setColumnCount(n + 2);
        cableTable->setRowCount(n);
        calculationTable->setRowCount(n);
        summaryTable->setRowCount(n);
        loopState.loopCount = n;
    }
    const int loops = usableLoopCount(loopState.loopCount);

    QStringList headers{QStringLiteral("Name"), QStringLiteral("Type")};
    for (int i = 0; i < loops; ++i)
        headers << loopLabel(i + 1);
    deviceTable->setHorizontalHeaderLabels(headers);

    rebuildCableRows();
    rebuildResultRows();

    for (int i = 0; i < kMaxLoops; ++i) {
        if (commentLabels[i])
            commentLabels[i]->setText(QString());
        loopState.loopCableNames[i].clear();
        loopState.loopCableCaptions[i].clear();
        loopState.loopCableResistance[i] = 0.0f;
    }

    rebuildDeviceCountFields();

    for (auto it = loopState.devicesByKey.begin(); it != loopState.devicesByKey.end(); ++it) {
        for (int i = 0; i < loops; ++i) {
            it->loopCounts[i] = 0;
            if (it->hasSecondRow)
                it->secondRowLoopCounts[i] = 0;
        }
    }

    // Connected after the lists are filled, so that filling runs no cable slot.
    for (int i = 0; i < loops; ++i)
        connectCurrentText(cableComboBoxes[i], this, cableSlots[i]);
}

void MainWindow::rebuildCableRows()
{
    const int loops = usableLoopCount(loopState.loopCount);
    // Boxes beyond the new loop count went with their rows; never hand them out again.
    for (QComboBox *&box : cableComboBoxes)
        box = nullptr;
    cableTable->clearContents();
    for (int i = 0; i < loops; ++i) {
        auto *box = new QComboBox;
        box->addItem(QString());
        for (auto it = loopState.cablesByName.cbegin(); it != loopState.cablesByName.cend(); ++it)
            box->addItem(it.key(), QVariant(it->resistance));
        cableComboBoxes[i] = box;
        cableTable->setItem(i, 0, new QTableWidgetItem(loopLabel(i + 1)));
        cableTable->setCellWidget(i, 1, box);
    }
}

void MainWindow::rebuildResultRows()
{
    const int loops = usableLoopCount(loopState.loopCount);
    summaryTable->clearContents();
    for (int i = 0; i < loops; ++i) {
        summaryTable->setItem(i, 0, new QTableWidgetItem(loopLabel(i + 1)));
        for (int column = 1; column <= 9; ++column)
            summaryTable->setItem(i, column, new QTableWidgetItem(QString()));
    }
    calculationTable->clearContents();
    for (int i = 0; i < loops; ++i)
        calculationTable->setItem(i, 0, new QTableWidgetItem(loopLabel(i + 1)));
}

void MainWindow::rebuildDeviceCountFields()
{
    const int loops = usableLoopCount(loopState.loopCount);
    const int rows = std::min(deviceGridRowCount(catalogue), deviceTable->rowCount());

    // Fields outside the new grid are being destroyed by the table; clear every entry first.
    for (auto &row : deviceCountEdits)
        for (QLineEdit *&edit : row)
            edit = nullptr;

    // The old fields are deleted later by the table; they keep no dangling validator pointer.
    if (deviceCountValidator)
        deviceCountValidator->deleteLater();
    deviceCountValidator = newDeviceCountValidator(deviceTable);

    for (int r = 0; r < rows; ++r) {
        for (int i = 0; i < loops; ++i) {
            auto *edit = new QLineEdit;
            edit->setValidator(deviceCountValidator);
            deviceCountEdits[r][i] = edit;
        }
    }
    for (int r = 0; r < rows; ++r) {
        for (int i = 0; i < loops; ++i) {
            deviceTable->setCellWidget(r, i + 2, deviceCountEdits[r][i]);
            deviceCountEdits[r][i]->setText(QStringLiteral("0"));
        }
    }
}
