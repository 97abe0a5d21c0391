#include "loops/count_grid.h"

#include <algorithm>

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>

#include "app/main_window.h"
#include "app/ui_seam.h"
#include "loops/count_block.h"
#include "loops/loop_state.h"

namespace {

QString rowsText(int rows) { return rows == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(rows); }

QString columnsText(int columns)
{
    return columns == 1 ? QStringLiteral("1 column") : QStringLiteral("%1 columns").arg(columns);
}

// A cell's text as a message quotes it: long texts are cut.
QString quotedCell(const QString &text)
{
    constexpr int kLongest = 30;
    return text.size() <= kLongest ? text : text.left(kLongest) + QChar(0x2026);
}

}  // namespace

CountGrid::CountGrid(MainWindow *window) : QObject(window), window(window)
{
    copyAction = new QAction(QStringLiteral("Copy counts"), window);
    connect(copyAction, &QAction::triggered, this,
            [this] { QGuiApplication::clipboard()->setText(countsText()); });
}

void CountGrid::routeTabKeys(QWidget *widget)
{
    if (auto *view = qobject_cast<QAbstractItemView *>(widget))
        view->setTabKeyNavigation(false);
    widget->installEventFilter(this);
}

bool CountGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const bool back = key->key() == Qt::Key_Backtab || (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier));
    const bool forward = key->key() == Qt::Key_Tab && !back;
    if (!back && !forward)
        return false;
    QWidget *to = tabNeighbour(static_cast<QWidget *>(watched), forward);
    if (!to)
        return false;
    moveFocus(to, forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

int CountGrid::gridRows() const
{
    return std::min(deviceGridRowCount(catalogue), window->deviceTable->rowCount());
}

int CountGrid::gridLoops() const
{
    const int loops = usableLoopCount(loopState.loopCount);
    return std::min(loops, std::max(window->deviceTable->columnCount() - 2, 0));
}

bool CountGrid::locate(const QWidget *field, int &row, int &loop) const
{
    if (!qobject_cast<const CountField *>(field))
        return false;
    const int rows = gridRows(), loops = gridLoops();
    for (int r = 0; r < rows; ++r) {
        for (int i = 0; i < loops; ++i) {
            if (window->deviceCountEdits[r][i] == field) {
                row = r;
                loop = i;
                return true;
            }
        }
    }
    return false;
}

QWidget *CountGrid::firstField() const
{
    return gridRows() > 0 && gridLoops() > 0 ? window->deviceCountEdits[0][0] : nullptr;
}

QWidget *CountGrid::lastField() const
{
    const int rows = gridRows(), loops = gridLoops();
    return rows > 0 && loops > 0 ? window->deviceCountEdits[rows - 1][loops - 1] : nullptr;
}

QWidget *CountGrid::lastCableBox() const
{
    const int loops = usableLoopCount(loopState.loopCount);
    return loops > 0 ? window->cableComboBoxes[loops - 1] : nullptr;
}

QWidget *CountGrid::tabNeighbour(QWidget *from, bool next) const
{
    const MainWindow &w = *window;
    const int cableLoops = usableLoopCount(loopState.loopCount);
    auto afterCables = [&]() -> QWidget * {
        QWidget *field = firstField();
        return field ? field : w.calculateButton;
    };
    auto beforeGrid = [&]() -> QWidget * {
        QWidget *box = lastCableBox();
        return box ? box : w.panelComboBox;
    };

    if (from == w.panelComboBox || from == w.cableTable) {
        if (!next)
            return from == w.cableTable ? w.panelComboBox : nullptr;
        return cableLoops > 0 && w.cableComboBoxes[0] ? w.cableComboBoxes[0] : afterCables();
    }
    for (int i = 0; i < cableLoops; ++i) {
        if (from != w.cableComboBoxes[i])
            continue;
        if (next)
            return i + 1 < cableLoops && w.cableComboBoxes[i + 1] ? w.cableComboBoxes[i + 1] : afterCables();
        return i > 0 && w.cableComboBoxes[i - 1] ? w.cableComboBoxes[i - 1] : w.panelComboBox;
    }
    if (from == w.deviceTable)
        return next ? afterCables() : beforeGrid();
    int row = 0, loop = 0;
    if (locate(from, row, loop)) {
        const int loops = gridLoops();
        if (next) {
            if (loop + 1 < loops)
                return w.deviceCountEdits[row][loop + 1];
            if (row + 1 < gridRows())
                return w.deviceCountEdits[row + 1][0];
            return w.calculateButton;
        }
        if (loop > 0)
            return w.deviceCountEdits[row][loop - 1];
        if (row > 0)
            return w.deviceCountEdits[row - 1][loops - 1];
        return beforeGrid();
    }
    if (from == w.calculateButton && !next) {
        QWidget *field = lastField();
        return field ? field : beforeGrid();
    }
    return nullptr;
}

void CountGrid::moveFocus(QWidget *to, Qt::FocusReason reason)
{
    int row = 0, loop = 0;
    if (locate(to, row, loop))
        focusField(row, loop, reason);
    else
        to->setFocus(reason);
}

void CountGrid::focusField(int row, int loop, Qt::FocusReason reason)
{
    QLineEdit *field = window->deviceCountEdits[row][loop];
    if (!field)
        return;
    // Into sight first: the pool gives a field of a cell out of sight no size until then.
    window->deviceTable->scrollTo(window->deviceTable->model()->index(row, loop + 2));
    field->setFocus(reason);
}

bool CountGrid::tabFrom(CountField *field, bool next)
{
    QWidget *to = tabNeighbour(field, next);
    if (!to)
        return false;
    moveFocus(to, next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void CountGrid::stepFrom(CountField *field, int rows, int loops)
{
    int row = 0, loop = 0;
    if (!locate(field, row, loop))
        return;
    row += rows;
    loop += loops;
    if (row >= 0 && row < gridRows() && loop >= 0 && loop < gridLoops())
        focusField(row, loop, Qt::OtherFocusReason);
}

void CountGrid::fieldFocused(CountField *field)
{
    int row = 0, loop = 0;
    if (!locate(field, row, loop))
        return;
    QTableWidget *table = window->deviceTable;
    const QModelIndex index = table->model()->index(row, loop + 2);
    if (table->currentIndex() != index)
        table->setCurrentIndex(index);
}

void CountGrid::pasteInto(CountField *field)
{
    int row = 0, loop = 0;
    if (locate(field, row, loop))
        pasteText(QGuiApplication::clipboard()->text(), row, loop);
}

bool CountGrid::pasteText(const QString &text, int row, int loop)
{
    const CountBlock block = parseCountBlock(text);
    if (block.isEmpty())
        return false;
    if (block.hasBadCell()) {
        warn(QStringLiteral("Nothing was pasted: the cell in row %1, column %2 of the copied block holds \"%3\", "
                            "which is not a whole number from 0 to 999.")
                 .arg(block.badRow)
                 .arg(block.badColumn)
                 .arg(quotedCell(block.badText)));
        return false;
    }
    const int roomRows = gridRows() - row;
    const int roomLoops = gridLoops() - loop;
    if (block.tooManyRows || block.rows.size() > roomRows || block.width > roomLoops) {
        const QString rows =
            block.tooManyRows ? QStringLiteral("more than %1 rows").arg(kMaxDeviceRows) : rowsText(block.rows.size());
        warn(QStringLiteral("Nothing was pasted: the copied block has %1 and %2, but from this field the grid "
                            "has room for %3 and %4.")
                 .arg(rows, columnsText(block.width), rowsText(roomRows), columnsText(roomLoops)));
        return false;
    }
    QVector<PastedCell> cells;
    for (int r = 0; r < block.rows.size(); ++r) {
        const QVector<int> &counts = block.rows[r];
        for (int c = 0; c < counts.size(); ++c) {
            QLineEdit *field = window->deviceCountEdits[row + r][loop + c];
            const QString after = QString::number(counts[c]);
            if (field && field->text() != after)
                cells.append({row + r, loop + c, field, field->text(), after});
        }
    }
    if (cells.isEmpty())
        return true;
    lastPaste = cells;
    pasteUndone = false;
    writePaste(true);
    return true;
}

bool CountGrid::pasteStands(bool afterPaste) const
{
    for (const PastedCell &cell : lastPaste) {
        if (!cell.field || window->deviceCountEdits[cell.row][cell.loop] != cell.field
            || cell.field->text() != (afterPaste ? cell.after : cell.before))
            return false;
    }
    return true;
}

void CountGrid::writePaste(bool afterPaste)
{
    // setText, as Open does: textChanged reports every changed field.
    for (const PastedCell &cell : lastPaste)
        cell.field->setText(afterPaste ? cell.after : cell.before);
}

bool CountGrid::canUndoPaste() const { return !lastPaste.isEmpty() && !pasteUndone && pasteStands(true); }

bool CountGrid::canRedoPaste() const { return !lastPaste.isEmpty() && pasteUndone && pasteStands(false); }

bool CountGrid::undoPaste()
{
    if (!canUndoPaste())
        return false;
    writePaste(false);
    pasteUndone = true;
    return true;
}

bool CountGrid::redoPaste()
{
    if (!canRedoPaste())
        return false;
    writePaste(true);
    pasteUndone = false;
    return true;
}

void CountGrid::fieldEdited()
{
    lastPaste.clear();
    pasteUndone = false;
}

QString CountGrid::countsText() const
{
    const QTableWidget *table = window->deviceTable;
    const int loops = gridLoops();
    auto cell = [table](int row, int column) {
        const QTableWidgetItem *item = table->item(row, column);
        return item ? item->text() : QString();
    };
    QStringList headers;
    for (int column = 0; column < loops + 2; ++column) {
        const QTableWidgetItem *item = table->horizontalHeaderItem(column);
        headers << (item ? item->text() : QString());
    }
    QVector<QStringList> rows;
    for (int r = 0; r < gridRows(); ++r) {
        QStringList line{cell(r, 0), cell(r, 1)};
        for (int i = 0; i < loops; ++i)
            line << (window->deviceCountEdits[r][i] ? window->deviceCountEdits[r][i]->text() : QString());
        rows.append(line);
    }
    return tabSeparatedText(headers, rows);
}

void CountGrid::warn(const QString &text)
{
    uiSeam().message(window, MessageKind::Warning, QStringLiteral("Warning"), text);
}
