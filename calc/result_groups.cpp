// Placeholder builders until the result groups land.
#include "app/main_window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

QGroupBox *MainWindow::buildLoopSummaryGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Loop Summary"));
    auto *layout = new QHBoxLayout;
    summaryTable = new QTableWidget;
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
        layout->addWidget(commentLabels[i], i / 2, i % 2);
    }
    group->setLayout(layout);
    return group;
}
