#pragma once

#include <QString>
#include <functional>

class MainWindow;
class QTableWidget;

// The text of a table cell, or "<none>" for a cell without an item.
QString cellText(const QTableWidget *table, int row, int column);

// Shows the window on the tab with this index (1 is "Calculation") and waits until it is active.
bool showOnTab(MainWindow &w, int tab);

// The first way in which the count grid is not `rows` x `loops` distinct line edits, each the
// widget of its own cell of the "Number of Device" table, a shown child of its viewport, with the
// one shared regular-expression validator and the text text(row, loop), with null entries
// everywhere else; empty when there is none.
QString countGridProblem(const MainWindow &w, int rows, int loops,
                         const std::function<QString(int row, int loop)> &text);
