#include "app/main_window.h"

#include <algorithm>

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>

#include "app/window_size.h"
#include "loops/count_grid.h"

QSize firstWindowSize(const QSize &wanted, const QSize &available, const QSize &frame)
{
    const QSize room = (available - frame).expandedTo(QSize(0, 0));
    return wanted.boundedTo(room);
}

void MainWindow::setUpKeyboardUse()
{
    // "Edit" between "File" and "Help".
    auto *editMenu = new QMenu(QStringLiteral("&Edit"), menuBar());
    editMenu->addAction(countGrid->copyCountsAction());
    QAction *helpMenu = nullptr;
    for (QAction *menu : menuBar()->actions())
        if (menu->menu() && menu->text() == QLatin1String("&Help"))
            helpMenu = menu;
    menuBar()->insertMenu(helpMenu, editMenu);
    deviceTable->addAction(countGrid->copyCountsAction());
    deviceTable->setContextMenuPolicy(Qt::ActionsContextMenu);

    // Not in a menu: the keys work wherever the focus is in the window.
    auto *calculateAction = new QAction(QStringLiteral("Calculate"), this);
    calculateAction->setShortcuts({QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL + Qt::Key_Return),
                                   QKeySequence(Qt::CTRL + Qt::Key_Enter)});
    addAction(calculateAction);
    connect(calculateAction, &QAction::triggered, calculateButton, &QPushButton::click);

    // Panel box, cable boxes, count grid, Calculate; then Qt's order of the other widgets, which
    // follows from here. A table would keep Tab to itself, cell by cell, without end.
    for (QWidget *widget : {static_cast<QWidget *>(panelComboBox), static_cast<QWidget *>(cableTable),
                            static_cast<QWidget *>(deviceTable), static_cast<QWidget *>(calculateButton)})
        countGrid->routeTabKeys(widget);
    calculationTable->setTabKeyNavigation(false);
    summaryTable->setTabKeyNavigation(false);
    if (auto *tabs = findChild<QTabWidget *>())
        setTabOrder(tabs->tabBar(), panelComboBox);
    setTabOrder(panelComboBox, cableTable);
    setTabOrder(cableTable, deviceTable);
    setTabOrder(deviceTable, calculateButton);
    setTabOrder(calculateButton, calculationTable);
}

namespace {

// Room for the header, `rows` rows and a horizontal scroll bar.
int tableHeight(const QTableWidget *table, int rows)
{
    return table->horizontalHeader()->sizeHint().height() + rows * table->verticalHeader()->defaultSectionSize()
           + table->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table) + 2 * table->frameWidth();
}

// Room for columns of this total width and a vertical scroll bar.
int tableWidth(const QTableWidget *table, int columnsWidth)
{
    return columnsWidth + table->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table)
           + 2 * table->frameWidth();
}

}  // namespace

void MainWindow::setUpWindowSize()
{
    // At the smallest size one loop's cable, one count column and "Calculate" stay in sight.
    cableTable->setMinimumSize(tableWidth(cableTable, cableTable->columnWidth(0) + cableTable->columnWidth(1)),
                               tableHeight(cableTable, 1));
    deviceTable->setMinimumSize(tableWidth(deviceTable, deviceTable->columnWidth(0) + deviceTable->columnWidth(1)
                                                            + deviceTable->horizontalHeader()->defaultSectionSize()),
                                tableHeight(deviceTable, 1));
    calculationTable->setMinimumHeight(tableHeight(calculationTable, 1));
    calculateButton->setMinimumSize(calculateButton->sizeHint());

    // Extra height goes to the count grid and the result table, not to the comment lines.
    auto *grid = qobject_cast<QGridLayout *>(calculationPage->layout());
    for (int row : {1, 2})
        grid->setRowStretch(row, 2);
    for (int row : {3, 4})
        grid->setRowStretch(row, 1);
    for (QLabel *label : commentLabels)
        label->setMinimumHeight(label->fontMetrics().height());
    if (QWidget *commentGroup = commentLabels[0]->parentWidget())
        commentGroup->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    showCommentLines();

    // A window larger than the screen would hide its lower part, and "Calculate" with it. The
    // frame is not known before the window is shown: the style's title bar stands in for it.
    const int border = style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    const QSize frame(2 * border, style()->pixelMetric(QStyle::PM_TitleBarHeight) + 2 * border);
    resize(firstWindowSize(size(), screen()->availableGeometry().size(), frame));
}

void MainWindow::showCommentLines()
{
    // Two loops a line: the first three lines always, further labels only with a comment.
    for (int i = 0; i < kMaxLoops; ++i)
        if (commentLabels[i])
            commentLabels[i]->setVisible(i < 6 || !commentLabels[i]->text().isEmpty());
}
