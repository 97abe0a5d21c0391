#include "app/main_window.h"

#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <iterator>

QGroupBox *MainWindow::buildLoopSummaryGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Loop Summary"));
    auto *layout = new QHBoxLayout;

    struct Column {
        const char *label;
        int width;
    };
    static const Column columns[] = {
        {"Loop", 50},
        {"Detectors", 80},
        {"Modules", 70},
        {"Sounders", 80},
        {"Others", 60},
        {"Quiescent Current", 150},
        {"Total Alarm Current", 160},
        {"Max Length", 90},
        {"Cable Type", 240},
        {"State", 50},
    };
    summaryTable = new QTableWidget;
    // Hidden before the table gets columns: each count change sizes every visible header.
    summaryTable->verticalHeader()->setVisible(false);
    summaryTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    summaryTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    summaryTable->setColumnCount(int(std::size(columns)));
    QStringList labels;
    for (const Column &c : columns)
        labels << QString::fromLatin1(c.label);
    summaryTable->setHorizontalHeaderLabels(labels);
    for (int i = 0; i < int(std::size(columns)); ++i)
        summaryTable->setColumnWidth(i, columns[i].width);

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
    calculationTable->setColumnCount(5);
    // The blank after "Current" in column 2 belongs to the header text.
    calculationTable->setHorizontalHeaderLabels({QStringLiteral("Loop"), QStringLiteral("Quiescent Current"),
                                                 QStringLiteral("Total Alarm Current "),
                                                 QStringLiteral("Max Length"), QStringLiteral("State")});
    calculationTable->setColumnWidth(1, 150);
    calculationTable->setColumnWidth(2, 150);
    calculationTable->setColumnWidth(3, 140);

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
