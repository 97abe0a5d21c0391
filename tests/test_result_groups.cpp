#include "app/main_window.h"
#include "recording_seam.h"
#include "test_catalogues.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>
#include <memory>

class ResultGroupsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void tableColumns_data();
    void tableColumns();
    void tablesAreReadOnlyRowSelections();
    void calculateButton();
    void commentLabelsInTwoColumns();
    void summaryTableFillsItsGroup();

private:
    std::unique_ptr<RecordingSeam> seam;
    std::unique_ptr<WindowFixture> fixture;
};

void ResultGroupsTest::init()
{
    seam = std::make_unique<RecordingSeam>();
    fixture = std::make_unique<WindowFixture>(sampleCatalogue());
}

void ResultGroupsTest::cleanup()
{
    fixture.reset();
    seam.reset();
}

void ResultGroupsTest::tableColumns_data()
{
    QTest::addColumn<bool>("summary");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QList<int>>("widths");  // -1: Qt's default width
    QTest::newRow("Loop Summary")
        << true
        << QStringList({"Loop", "Detectors", "Modules", "Sounders", "Others", "Quiescent Current",
                        "Total Alarm Current", "Max Length", "Cable Type", "State"})
        << QList<int>({50, 80, 70, 80, 60, 150, 160, 90, 240, 50});
    QTest::newRow("Calculation, trailing blank in column 2")
        << false
        << QStringList({"Loop", "Quiescent Current", "Total Alarm Current ", "Max Length", "State"})
        << QList<int>({-1, 150, 150, 140, -1});
}

void ResultGroupsTest::tableColumns()
{
    QFETCH(bool, summary);
    QFETCH(QStringList, labels);
    QFETCH(QList<int>, widths);
    MainWindow &w = fixture->window();
    QTableWidget *table = summary ? w.summaryTable : w.calculationTable;
    QCOMPARE(table->columnCount(), labels.size());
    QCOMPARE(table->rowCount(), 0);
    const int defaultWidth = table->horizontalHeader()->defaultSectionSize();
    for (int c = 0; c < labels.size(); ++c) {
        QVERIFY(table->horizontalHeaderItem(c));
        QCOMPARE(table->horizontalHeaderItem(c)->text(), labels[c]);
        QCOMPARE(table->columnWidth(c), widths[c] < 0 ? defaultWidth : widths[c]);
    }
}

void ResultGroupsTest::tablesAreReadOnlyRowSelections()
{
    MainWindow &w = fixture->window();
    for (QTableWidget *table : {w.summaryTable, w.calculationTable}) {
        QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(table->verticalHeader()->isHidden());
    }
    QCOMPARE(qobject_cast<QGroupBox *>(w.summaryTable->parentWidget())->title(), QString("Loop Summary"));
    QCOMPARE(qobject_cast<QGroupBox *>(w.calculationTable->parentWidget())->title(), QString("Calculation"));
}

void ResultGroupsTest::calculateButton()
{
    MainWindow &w = fixture->window();
    QPushButton *button = w.calculateButton;
    QCOMPARE(button->text(), QString("Calculate"));
    QCOMPARE(button->font().family(), QString("SimSun"));
    QCOMPARE(button->font().pointSize(), 20);
    QVERIFY(!button->font().italic());
    QCOMPARE(button->font().weight(), int(QFont::Normal));
    QCOMPARE(button->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(button->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    QVERIFY(button->isEnabled());

    auto *grid = qobject_cast<QGridLayout *>(button->parentWidget()->layout());
    QVERIFY(grid);
    int row, column, rowSpan, columnSpan;
    grid->getItemPosition(grid->indexOf(w.calculationTable), &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(QList<int>({row, column, rowSpan, columnSpan}), QList<int>({0, 0, 1, 8}));
    grid->getItemPosition(grid->indexOf(button), &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(QList<int>({row, column, rowSpan, columnSpan}), QList<int>({0, 8, 1, 2}));
}

void ResultGroupsTest::commentLabelsInTwoColumns()
{
    MainWindow &w = fixture->window();
    auto *group = qobject_cast<QGroupBox *>(w.commentLabels[0]->parentWidget());
    QVERIFY(group);
    QCOMPARE(group->title(), QString("Comment"));
    auto *grid = qobject_cast<QGridLayout *>(group->layout());
    QVERIFY(grid);
    QCOMPARE(grid->count(), 16);
    for (int i = 0; i < kMaxLoops; ++i) {
        QLabel *label = w.commentLabels[i];
        QVERIFY(label);
        QCOMPARE(label->text(), QString());
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(grid->indexOf(label), &row, &column, &rowSpan, &columnSpan);
        // Loop 2k+1 left, loop 2k+2 right, in row k.
        QCOMPARE(QList<int>({row, column, rowSpan, columnSpan}), QList<int>({i / 2, i % 2, 1, 1}));
    }
}

void ResultGroupsTest::summaryTableFillsItsGroup()
{
    MainWindow &w = fixture->window();
    auto *layout = qobject_cast<QHBoxLayout *>(w.summaryTable->parentWidget()->layout());
    QVERIFY(layout);
    QCOMPARE(layout->count(), 1);
    QCOMPARE(layout->stretch(0), 1);
}

QTEST_MAIN(ResultGroupsTest)
#include "test_result_groups.moc"
