#include "app/main_window.h"

#include <algorithm>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QAction>
#include <QStringList>
#include <QTableWidget>
#include <QVariant>

#include "app/combo_text_signal.h"
#include "app/wheel_guard.h"
#include "loops/count_field.h"
#include "loops/count_field_pool.h"
#include "loops/count_grid.h"
#include "loops/loop_indexes.h"
#include "loops/loop_state.h"

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

// "Loop 3, " for loop 3: the start of the accessible names of its count fields.
QString countFieldNamePrefix(int loopNumber) { return QStringLiteral("Loop %1, ").arg(loopNumber); }

// Showing a field in a shown viewport makes Qt look for the widget under the mouse pointer, once
// per field: a round trip to the window system and a search through every field. Fields placed
// while the viewport is hidden are shown with it, in one pass. Not while a widget in the viewport
// has the focus, which hiding would move elsewhere.
class ViewportHiddenWhilePlacing {
public:
    explicit ViewportHiddenWhilePlacing(QWidget *viewport) : viewport(viewport) {}
    ViewportHiddenWhilePlacing(const ViewportHiddenWhilePlacing &) = delete;
    ViewportHiddenWhilePlacing &operator=(const ViewportHiddenWhilePlacing &) = delete;
    ~ViewportHiddenWhilePlacing()
    {
        if (hidden)
            viewport->show();
    }
    void beforePlacing()
    {
        if (!hidden && viewport->isVisible() && !viewport->isAncestorOf(QApplication::focusWidget())) {
            viewport->hide();
            hidden = true;
        }
    }

private:
    QWidget *viewport;
    bool hidden = false;
};

}  // namespace

void MainWindow::setLoopColumn(QString text)
{
    // Loop columns up to here may hold count fields; those after it are new and empty.
    const int earlierLoops = std::max(deviceTable->columnCount() - 2, 0);
    if (text.isEmpty()) {
        discardDeviceCountFields(0);
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
        discardDeviceCountFields(n);
        deviceTable->setColumnCount(n + 2);
        cableTable->setRowCount(n);
        calculationTable->setRowCount(n);
        summaryTable->setRowCount(n);
        loopState.loopCount = n;
    }
    const int loops = usableLoopCount(loopState.loopCount);
    // Other limits, maybe other loops: no result of the earlier panel stands.
    calculationRecord.clear();

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

    showCommentLines();
    rebuildDeviceCountFields(earlierLoops);

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
        ignoreWheelWithoutFocus(box);
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &MainWindow::noteProjectChange);
        box->setAccessibleName(QStringLiteral("Loop %1 cable").arg(i + 1));
        addUseForEveryLoopAction(box);
        if (countGrid)
            countGrid->routeTabKeys(box);
        // Sized before it is shown: a box shown at no size of its own asks for its size hint,
        // which measures every cable name. The table's layout gives it its cell.
        box->resize(0, 0);
        cableTable->setItem(i, 0, new QTableWidgetItem(loopLabel(i + 1)));
        cableTable->setCellWidget(i, 1, box);
    }
}

void MainWindow::rebuildResultRows()
{
    const int loops = usableLoopCount(loopState.loopCount);
    summaryTable->clearContents();
    calculationTable->clearContents();
    for (int i = 0; i < loops; ++i) {
        summaryTable->setItem(i, 0, new QTableWidgetItem(loopLabel(i + 1)));
        calculationTable->setItem(i, 0, new QTableWidgetItem(loopLabel(i + 1)));
        showLoopResult(i);
    }
}

void MainWindow::prepareDeviceCountFields()
{
    // One validator for every count field the window ever shows; fields keep it for life.
    deviceCountValidator = new DeviceCountValidator(deviceTable);
    countGrid = new CountGrid(this);
    countFieldPool = new CountFieldPool(deviceTable, deviceCountValidator, countGrid);
    countFieldPool->setChangeHandler([this](const QLineEdit *field) { countFieldChanged(field); });
    deviceTable->setItemDelegate(new CountFieldDelegate(countFieldPool, deviceTable));
    countFieldPool->keepSpares(deviceGridRowCount(catalogue) * kMaxLoops);
}

int MainWindow::spareCountFields() const
{
    return countFieldPool ? countFieldPool->spareCount() : 0;
}

void MainWindow::discardDeviceCountFields(int firstLoop)
{
    // The fields of loop columns about to be removed go back to the pool now: a hidden table
    // would only hand them over at its next item layout. A field the user typed into is taken
    // out through the table, which forgets it and deletes it. Row by row, the order they were
    // placed in, which is the order of the viewport's children.
    const int rows = deviceTable->rowCount();
    for (int r = 0; r < rows; ++r) {
        for (int column = std::max(firstLoop, 0) + 2; column < deviceTable->columnCount(); ++column) {
            auto *field = qobject_cast<QLineEdit *>(deviceTable->cellWidget(r, column));
            if (!field)
                continue;
            if (CountFieldPool::isUntouched(field)) {
                countFieldPool->giveBack(field);
            } else {
                field->hide();
                deviceTable->removeCellWidget(r, column);
            }
        }
    }
    for (int i = std::max(firstLoop, 0); i < kMaxLoops; ++i)
        for (auto &row : deviceCountEdits)
            row[i] = nullptr;
}

void MainWindow::rebuildDeviceCountFields(int earlierLoops)
{
    const int loops = usableLoopCount(loopState.loopCount);
    const int rows = std::min(deviceGridRowCount(catalogue), deviceTable->rowCount());

    // "Loop 3, OPT-100": a cell widget has no label of its own for a screen reader to read. A row
    // without a device name (a filler row) is named by its number.
    QStringList rowNames;
    for (int r = 0; r < rows; ++r) {
        const QString name = deviceTable->item(r, 0) ? deviceTable->item(r, 0)->text() : QString();
        rowNames << (name.isEmpty() ? QStringLiteral("row %1").arg(r + 1) : name);
    }
    QStringList loopPrefixes;
    for (int i = 0; i < loops; ++i)
        loopPrefixes << countFieldNamePrefix(i + 1);

    ViewportHiddenWhilePlacing hiddenViewport(deviceTable->viewport());
    for (int r = 0; r < kMaxDeviceRows; ++r) {
        for (int i = 0; i < kMaxLoops; ++i) {
            QLineEdit *&entry = deviceCountEdits[r][i];
            if (r >= rows || i >= loops) {
                entry = nullptr;
                continue;
            }
            // An untouched field of a column that stays is already what a new one would be; the
            // focused one keeps the focus and the selection it brought.
            if (entry && deviceTable->cellWidget(r, i + 2) == entry
                && (CountFieldPool::isUntouched(entry) || (entry->hasFocus() && CountFieldPool::showsFreshZero(entry))))
                continue;
            // A field the user typed into is swapped for a spare; the table deletes it.
            if (i < earlierLoops) {
                if (QWidget *old = deviceTable->cellWidget(r, i + 2))
                    old->hide();
            }
            hiddenViewport.beforePlacing();
            QLineEdit *field = countFieldPool->take();
            const QString name = loopPrefixes[i] + rowNames[r];
            if (field->accessibleName() != name)
                field->setAccessibleName(name);
            // Shown at zero size: each field shown posts a repaint of its own rectangle, and a
            // thousand such repaints of sibling widgets cost far more than one of the table.
            // The table's layout gives every field its cell, repainting only the visible ones.
            field->resize(0, 0);
            entry = field;
            deviceTable->setCellWidget(r, i + 2, field);
        }
    }
    countFieldPool->keepSpares(deviceGridRowCount(catalogue) * kMaxLoops - rows * loops);
}

void MainWindow::addUseForEveryLoopAction(QComboBox *box)
{
    auto *action = new QAction(QStringLiteral("Use this cable for every loop"), box);
    action->setEnabled(false);
    box->addAction(action);
    box->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), action,
            [action](int index) { action->setEnabled(index > 0); });
    // Through each box's own current-item change, so that every loop's cable slot runs as for a choice.
    connect(action, &QAction::triggered, this, [this, box] {
        const int index = box->currentIndex();
        for (int i = 0; i < usableLoopCount(loopState.loopCount); ++i)
            if (cableComboBoxes[i] && cableComboBoxes[i] != box)
                cableComboBoxes[i]->setCurrentIndex(index);
    });
}
