#include "app/main_window.h"

#include "calc/calculation_record.h"

#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace {

void setResultColumns(QTableWidget *table, const QVector<ResultColumn> &columns)
{
    table->setColumnCount(columns.size());
    QStringList labels;
    for (const ResultColumn &c : columns)
        labels << QString::fromLatin1(c.header);
    table->setHorizontalHeaderLabels(labels);
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].width > 0)
            table->setColumnWidth(i, columns[i].width);
}

}  // namespace

QGroupBox *MainWindow::buildLoopSummaryGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Loop Summary"));
    auto *layout = new QHBoxLayout;

    summaryTable = new QTableWidget;
    // Hidden before the table gets columns: each count change sizes every visible header.
    summaryTable->verticalHeader()->setVisible(false);
    summaryTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    summaryTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    setResultColumns(summaryTable, summaryColumns());

    layout->addWidget(summaryTable, 1);
    group->setLayout(layout);
    return group;
}

QGroupBox *MainWindow::buildCalculationGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Calculation"));
    auto *layout = new QGridLayout;

    calculationTable = new QTableWidget;
    calculateButton = new QPushButton(QStringLiteral("Calculate"));
    calculateButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    calculateButton->setFont(QFont(QStringLiteral("SimSun"), 20));

    // Hidden before the table gets columns: each count change sizes every visible header.
    calculationTable->verticalHeader()->setVisible(false);
    calculationTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    calculationTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    setResultColumns(calculationTable, calculationColumns());

    layout->addWidget(calculationTable, 0, 0, 1, 8);
    layout->addWidget(calculateButton, 0, 8, 1, 2);
    group->setLayout(layout);

    connect(calculateButton, &QPushButton::clicked, this, &MainWindow::flushCalculation);
    return group;
}

QGroupBox *MainWindow::buildCommentGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Comment"));
    auto *layout = new QGridLayout;
    for (int i = 0; i < kMaxLoops; ++i) {
        commentLabels[i] = new QLabel;
        // Loop 2k+1 on the left of row k, loop 2k+2 on the right.
        layout->addWidget(commentLabels[i], i / 2, i % 2);
    }
    group->setLayout(layout);
    return group;
}
