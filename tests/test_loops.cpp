#include "app/main_window.h"
#include "loops/count_block.h"
#include "loops/count_field_pool.h"
#include "loops/loop_indexes.h"
#include "loops/loop_state.h"
#include "recording_seam.h"
#include "test_catalogues.h"
#include "window_checks.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QMetaMethod>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleFactory>
#include <QRegExpValidator>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <QtTest/qtestspontaneevent.h>
#include <algorithm>
#include <memory>

namespace {

// The catalogue files carry no second device rows, so these windows start on the catalogue in
// memory: from an empty directory the readers report and leave it as it is.
class MemoryWindow {
public:
    explicit MemoryWindow(const Catalogue &c)
    {
        resetProcessState();
        catalogue = c;
        setCatalogueDirectoryForTesting(empty.path());
        window = std::make_unique<MainWindow>();
        // The offscreen screen (800 x 600) caps the first size; these tests lay out the full window.
        window->resize(1100, 700);
        setCatalogueDirectoryForTesting(QString());
    }
    ~MemoryWindow()
    {
        window.reset();
        resetProcessState();
    }
    MainWindow *operator->() { return window.get(); }
    MainWindow &operator*() { return *window; }

private:
    QTemporaryDir empty;
    std::unique_ptr<MainWindow> window;
};

PanelRecord panel(const QString &name, int loops, int maxDevices)
{
    PanelRecord p;
    p.code = name;
    p.name = name;
    p.loopCount = loops;
    p.loopVoltage = 24.0f;
    p.maxLoopCurrent = 400.0f;
    for (int &m : p.maxDevices)
        m = maxDevices;
    return p;
}

DeviceRecord device(const QString &code, const QString &name, const QString &secondRowName = QString())
{
    DeviceRecord d;
    d.code = code;
    d.name = name;
    d.type = "Detector";
    d.hasSecondRow = !secondRowName.isEmpty();
    d.secondRowName = secondRowName;
    return d;
}

QStringList comboItems(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QStringList headerLabels(const QTableWidget *table)
{
    QStringList labels;
    for (int c = 0; c < table->columnCount(); ++c)
        labels << (table->horizontalHeaderItem(c) ? table->horizontalHeaderItem(c)->text() : "<none>");
    return labels;
}

QStringList column(const QTableWidget *table, int c)
{
    QStringList texts;
    for (int r = 0; r < table->rowCount(); ++r)
        texts << (table->item(r, c) ? table->item(r, c)->text() : "<none>");
    return texts;
}

void choosePanel(MainWindow &w, const QString &name)
{
    const int index = w.panelComboBox->findText(name);
    QVERIFY2(index >= 0, qPrintable(name));
    w.panelComboBox->setCurrentIndex(index);
}

// Line edits of the table's viewport that are not hidden: the grid's, not the pool's.
int shownFields(const QTableWidget &table)
{
    const QList<QLineEdit *> fields = table.viewport()->findChildren<QLineEdit *>();
    return int(std::count_if(fields.cbegin(), fields.cend(), [](const QLineEdit *f) { return !f->isHidden(); }));
}

// "?" stands for a text that names no panel, which rebuilds the fields at the same size.
void runPanels(MainWindow &w, const QStringList &panels)
{
    for (const QString &name : panels) {
        if (name == "?")
            w.setLoopColumn("No such panel");
        else
            choosePanel(w, name);
    }
}

// Ways a user leaves a count field different from a fresh one.
enum class Touch { TypedCount, RetypedZero, SelectedZero };

void touch(QLineEdit *edit, Touch how)
{
    switch (how) {
    case Touch::TypedCount:
        edit->selectAll();
        QTest::keyClicks(edit, "42");
        break;
    case Touch::RetypedZero:
        edit->selectAll();
        QTest::keyClicks(edit, "0");
        break;
    case Touch::SelectedZero:
        edit->selectAll();
        break;
    }
}

// Every field of the grid is a distinct line edit placed in its own cell, visible with the table,
// showing a fresh "0" with the shared validator; every entry outside the grid is null.
void verifyFreshGrid(MainWindow &w, int rows, int loops)
{
    const QString problem = countGridProblem(w, rows, loops, [](int, int) { return QStringLiteral("0"); });
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    for (int r = 0; r < rows; ++r) {
        for (int i = 0; i < loops; ++i) {
            const QLineEdit *edit = w.deviceCountEdits[r][i];
            // The field with the focus shows its text selected, as a spreadsheet cell does.
            const bool selection = edit->hasFocus() ? edit->selectedText() != edit->text() && edit->hasSelectedText()
                                                    : edit->hasSelectedText();
            QVERIFY2(!edit->isModified() && !edit->isUndoAvailable() && !selection,
                     qPrintable(QString("row %1 loop %2").arg(r).arg(i)));
        }
    }
}

}  // namespace

class LoopsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void projectInformationForm();
    void panelSelectionForm();
    void cableAndDeviceTableSetup();
    void panelListOrder();
    void repeatedKeysKeepTheLaterRecord();
    void namelessPanelAndCableNotListed();
    void deviceRowsWithSecondRows();
    void nameAndTypeCellsReadOnly_data();
    void nameAndTypeCellsReadOnly();
    void shortRowBudgetStopsAtLastRow_data();
    void shortRowBudgetStopsAtLastRow();

    void panelSwitchSizesTables_data();
    void panelSwitchSizesTables();
    void loopCountOutsideRangeIsMended_data();
    void loopCountOutsideRangeIsMended();
    void unknownPanelTextKeepsSizes();
    void countFieldsAreFreshAfterPanelChange();
    void secondRowHasCountFields();
    void countValidator_data();
    void countValidator();
    void typingIntoCountField();

    void touchedFieldNeverComesBack_data();
    void touchedFieldNeverComesBack();
    void sparesMadeWhileIdle_data();
    void sparesMadeWhileIdle();
    void pooledFieldsReachNothing_data();
    void pooledFieldsReachNothing();
    void placedFieldsFillTheirCells_data();
    void placedFieldsFillTheirCells();
    void tabMovesToTheNextCell_data();
    void tabMovesToTheNextCell();
    void focusStaysWherePanelChangeFindsIt_data();
    void focusStaysWherePanelChangeFindsIt();
    void fieldRectanglesAsTheStyleGives_data();
    void fieldRectanglesAsTheStyleGives();
    void hiddenTableLetsGoOfFields_data();
    void hiddenTableLetsGoOfFields();

    void flushPanelCopiesLoopCountMaxima();
    void flushPanelDirectWithoutLoops();
    void cableListAndUserData();
    void cableChoiceSetsOneLoop_data();
    void cableChoiceSetsOneLoop();
    void blankCableKeepsEarlierChoice();
    void panelChangeResetsCables();
    void panelChangeKeepsLoops_data();
    void panelChangeKeepsLoops();
    void wheelOverBox_data();
    void wheelOverBox();

    void blockParser_data();
    void blockParser();
    void blockParserStopsPastTheLargestGrid();
    void countInputNormalised_data();
    void countInputNormalised();
    void tabOrderFromPanelBox_data();
    void tabOrderFromPanelBox();
    void tabIntoFieldSelectsItsText();
    void arrowKeysMoveInTheGrid_data();
    void arrowKeysMoveInTheGrid();
    void clickThenTyping_data();
    void clickThenTyping();
    void digitOverZeroReplacesIt();
    void pasteBlock_data();
    void pasteBlock();
    void pasteIsUndoneAsOneStep();
    void copyCountsForASpreadsheet();
    void accessibleNames_data();
    void accessibleNames();
    void oneCableForEveryLoop();

private:
    std::unique_ptr<RecordingSeam> seam;
};

void LoopsTest::init()
{
    seam = std::make_unique<RecordingSeam>();
}

void LoopsTest::cleanup()
{
    seam.reset();
    resetProcessState();
}

void LoopsTest::projectInformationForm()
{
    MemoryWindow w(sampleCatalogue());
    auto *form = qobject_cast<QFormLayout *>(w->projectNameEdit->parentWidget()->layout());
    QVERIFY(form);
    QCOMPARE(qobject_cast<QGroupBox *>(w->projectNameEdit->parentWidget())->title(),
             QString("Project Information"));
    QCOMPARE(form->rowWrapPolicy(), QFormLayout::DontWrapRows);
    QCOMPARE(form->spacing(), 40);
    const QWidget *fields[] = {w->projectNameEdit, w->projectLocationEdit, w->companyNameEdit,
                               w->emailEdit, w->commentEdit};
    const char *labels[] = {"Project Name:", "Project Location:", "Company Name:", "E-mail:", "Comment:"};
    QCOMPARE(form->rowCount(), 5);
    for (int row = 0; row < 5; ++row) {
        QCOMPARE(form->itemAt(row, QFormLayout::FieldRole)->widget(), fields[row]);
        auto *label = qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget());
        QVERIFY(label);
        QCOMPARE(label->text(), QString(labels[row]));
        if (row < 4) {
            QCOMPARE(fields[row]->minimumHeight(), 30);
            QCOMPARE(fields[row]->maximumHeight(), 30);
        }
    }
    QCOMPARE(w->commentEdit->maximumHeight(), QWIDGETSIZE_MAX);
    QVERIFY(!w->projectNameEdit->validator());
}

void LoopsTest::panelSelectionForm()
{
    MemoryWindow w(sampleCatalogue());
    QWidget *group = w->panelComboBox->parentWidget();
    QCOMPARE(qobject_cast<QGroupBox *>(group)->title(), QString("Panel Selection"));
    auto *form = qobject_cast<QFormLayout *>(group->layout());
    QVERIFY(form);
    QCOMPARE(form->rowWrapPolicy(), QFormLayout::DontWrapRows);
    QCOMPARE(qobject_cast<QLabel *>(form->itemAt(0, QFormLayout::LabelRole)->widget())->text(),
             QString("Panel model:"));
    QCOMPARE(w->panelComboBox->minimumSize(), QSize(230, 25));
    QCOMPARE(w->panelComboBox->maximumSize(), QSize(230, 25));
    QVERIFY(!w->panelComboBox->isEditable());
    QVERIFY(!w->panelComboBox->itemData(1).isValid());
}

void LoopsTest::cableAndDeviceTableSetup()
{
    MemoryWindow w(sampleCatalogue());
    QTableWidget *cables = w->cableTable;
    QCOMPARE(headerLabels(cables), QStringList({"Loop", "Cable Type"}));
    QCOMPARE(cables->columnWidth(0), 70);
    QCOMPARE(cables->columnWidth(1), 250);
    QCOMPARE(cables->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(cables->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(cables->verticalHeader()->isHidden());
    QCOMPARE(qobject_cast<QGroupBox *>(cables->parentWidget())->title(), QString("Cable Selection"));

    QTableWidget *devices = w->deviceTable;
    QCOMPARE(devices->columnWidth(0), 80);
    QCOMPARE(devices->columnWidth(1), 100);
    QCOMPARE(devices->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(devices->editTriggers(), QTableWidget().editTriggers());
    QVERIFY(devices->verticalHeader()->isHidden());
    QCOMPARE(qobject_cast<QGroupBox *>(devices->parentWidget())->title(), QString("Number of Device"));
}

void LoopsTest::panelListOrder()
{
    Catalogue c;
    const char *names[] = {"Panel 2", "panel a", "Panel 10", "Panel B", "Panel A"};
    for (const char *name : names)
        c.panels[c.panelCount++] = panel(name, 1, 10);
    MemoryWindow w(c);
    // UTF-16 code units: "1" before "2", upper case before lower case, blank first.
    QCOMPARE(comboItems(w->panelComboBox),
             QStringList({"", "Panel 10", "Panel 2", "Panel A", "Panel B", "panel a"}));
    QCOMPARE(w->panelComboBox->currentIndex(), 0);
    QCOMPARE(loopState.loopCount, 0);
}

void LoopsTest::repeatedKeysKeepTheLaterRecord()
{
    Catalogue c;
    c.panels[c.panelCount++] = panel("Twin", 2, 10);
    c.panels[c.panelCount++] = panel("Other", 1, 10);
    c.panels[c.panelCount++] = panel("Twin", 5, 20);
    c.cables[0].name = "Cu";
    c.cables[0].resistance = 1.0f;
    c.cables[1].name = "Cu";
    c.cables[1].resistance = 2.0f;
    c.cableCount = 2;
    c.devices[0] = device("1", "first");
    c.devices[1] = device("1", "second");
    c.deviceCount = 2;
    MemoryWindow w(c);

    QCOMPARE(comboItems(w->panelComboBox), QStringList({"", "Other", "Twin"}));
    QCOMPARE(loopState.panelsByName.value("Twin").loopCount, 5);
    QCOMPARE(loopState.cablesByName.size(), 1);
    QCOMPARE(loopState.cablesByName.value("Cu").resistance, 2.0f);
    QCOMPARE(loopState.devicesByKey.size(), 1);
    QCOMPARE(loopState.devicesByKey.value("1").name, QString("second"));

    choosePanel(*w, "Twin");
    QCOMPARE(loopState.loopCount, 5);
    QCOMPARE(comboItems(w->cableComboBoxes[0]), QStringList({"", "Cu"}));
}

void LoopsTest::namelessPanelAndCableNotListed()
{
    Catalogue c = sampleCatalogue();
    c.panels[c.panelCount++] = panel("", 3, 50);
    c.cables[c.cableCount].name = "";
    c.cables[c.cableCount++].resistance = 99.0f;
    MemoryWindow w(c);
    QCOMPARE(w->panelComboBox->count(), 7);
    QVERIFY(!loopState.panelsByName.contains(""));
    choosePanel(*w, "QP-220 (2 loops)");
    QCOMPARE(w->cableComboBoxes[0]->count(), 6);
    w->cableComboBoxes[0]->setCurrentText("STP 2x0.8mm");
    w->cableComboBoxes[0]->setCurrentIndex(0);
    QCOMPARE(loopState.loopCableResistance[0], 36.6f);
    w->NewProject();  // back to the blank entry: no loops, not the nameless panel's three
    QCOMPARE(loopState.loopCount, 0);
    QCOMPARE(w->deviceTable->columnCount(), 2);
    QCOMPARE(loopState.selectedPanelName, QString());
}

void LoopsTest::deviceRowsWithSecondRows()
{
    MemoryWindow w(sampleCatalogue());
    QTableWidget *t = w->deviceTable;
    QCOMPARE(t->rowCount(), 17);
    QCOMPARE(headerLabels(t), QStringList({"Name", "Type"}));
    // Codes in string order ("10" before "2"); OPT-100 and MCP-50 each take the row below.
    QCOMPARE(column(t, 0).mid(0, 6),
             QStringList({"OPT-100", "OPT-100I", "OUT-1", "IO-3", "BSN-12", "ISO-1"}));
    QCOMPARE(column(t, 1).mid(0, 2), QStringList({"Detector", "Detector"}));
    QCOMPARE(column(t, 0).mid(10, 3), QStringList({"MUL-300", "MCP-50", "MCP-50W"}));
    QCOMPARE(column(t, 1).mid(11, 2), QStringList({"CallPoint", "CallPoint"}));
    QCOMPARE(column(t, 0).last(), QString("SBC-90"));
}

void LoopsTest::nameAndTypeCellsReadOnly_data()
{
    QTest::addColumn<int>("extraDeviceRows");
    QTest::addColumn<int>("rows");
    QTest::newRow("rows match the second rows") << 2 << 17;
    QTest::newRow("three filler rows at the end") << 5 << 20;
}

void LoopsTest::nameAndTypeCellsReadOnly()
{
    QFETCH(int, extraDeviceRows);
    QFETCH(int, rows);
    Catalogue c = sampleCatalogue();
    c.extraDeviceRows = extraDeviceRows;
    MemoryWindow w(c);
    QTableWidget *t = w->deviceTable;
    QCOMPARE(t->rowCount(), rows);
    for (int r = 0; r < rows; ++r) {
        for (int col = 0; col < 2; ++col) {
            QTableWidgetItem *item = t->item(r, col);
            QVERIFY2(item, qPrintable(QString("row %1 column %2").arg(r).arg(col)));
            QVERIFY(!(item->flags() & Qt::ItemIsEditable));
            QVERIFY(item->flags() & Qt::ItemIsSelectable);
        }
    }
    QCOMPARE(column(t, 0).last(), rows > 17 ? QString() : QString("SBC-90"));
    // Not even the table's own edit request may open an editor on a name.
    QTest::ignoreMessage(QtWarningMsg, "edit: editing failed");
    t->editItem(t->item(0, 0));
    QTest::ignoreMessage(QtWarningMsg, "edit: editing failed");
    t->editItem(t->item(rows - 1, 1));
    QVERIFY(t->viewport()->findChildren<QWidget *>().isEmpty());
}

void LoopsTest::shortRowBudgetStopsAtLastRow_data()
{
    QTest::addColumn<int>("extraDeviceRows");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("one extra row for three second rows") << 1 << QStringList({"A", "A2", "B", "B2"});
    QTest::newRow("negative extra rows") << -2 << QStringList({"A"});
    QTest::newRow("no extra rows") << 0 << QStringList({"A", "A2", "B"});
}

void LoopsTest::shortRowBudgetStopsAtLastRow()
{
    QFETCH(int, extraDeviceRows);
    QFETCH(QStringList, names);
    Catalogue c;
    c.panels[c.panelCount++] = panel("Four", 4, 100);
    c.devices[0] = device("a", "A", "A2");
    c.devices[1] = device("b", "B", "B2");
    c.devices[2] = device("c", "C", "C2");
    c.deviceCount = 3;
    c.extraDeviceRows = extraDeviceRows;
    MemoryWindow w(c);
    QCOMPARE(column(w->deviceTable, 0), names);

    choosePanel(*w, "Four");
    const int rows = names.size();
    for (int r = 0; r < kMaxDeviceRows; ++r) {
        for (int i = 0; i < kMaxLoops; ++i) {
            const bool inGrid = r < rows && i < 4;
            QCOMPARE(w->deviceCountEdits[r][i] != nullptr, inGrid);
        }
    }
    QCOMPARE(deviceRowOrder(loopState.devicesByKey, deviceGridRowCount(catalogue)).size(), rows);
}

void LoopsTest::panelSwitchSizesTables_data()
{
    QTest::addColumn<QStringList>("panels");
    QTest::addColumn<int>("loops");
    QTest::newRow("8 loops") << QStringList({"QP-840 (8 loops)"}) << 8;
    QTest::newRow("8 then 2 loops") << QStringList({"QP-840 (8 loops)", "QP-220 (2 loops)"}) << 2;
    QTest::newRow("8, 2, then blank") << QStringList({"QP-840 (8 loops)", "QP-220 (2 loops)", ""}) << 0;
    QTest::newRow("2 then 16 loops") << QStringList({"QP-220 (2 loops)", "QP-1640 (16 loops)"}) << 16;
}

void LoopsTest::panelSwitchSizesTables()
{
    QFETCH(QStringList, panels);
    QFETCH(int, loops);
    MemoryWindow w(sampleCatalogue());
    for (const QString &name : panels)
        choosePanel(*w, name);

    QCOMPARE(loopState.loopCount, loops);
    QCOMPARE(loopState.selectedPanelName, panels.last());  // the blank entry names no panel
    QStringList expectedHeaders({"Name", "Type"});
    QStringList loopLabels;
    for (int i = 1; i <= loops; ++i)
        loopLabels << QString("Loop%1").arg(i);
    QCOMPARE(headerLabels(w->deviceTable), expectedHeaders + loopLabels);
    QCOMPARE(w->deviceTable->rowCount(), 17);
    QCOMPARE(column(w->cableTable, 0), loopLabels);
    QCOMPARE(column(w->calculationTable, 0), loopLabels);
    QCOMPARE(column(w->summaryTable, 0), loopLabels);
    for (int r = 0; r < loops; ++r) {
        for (int col = 1; col <= 9; ++col)
            QCOMPARE(w->summaryTable->item(r, col)->text(), QString());
        QCOMPARE(w->calculationTable->item(r, 1)->text(), QString());
    }

    for (int i = 0; i < kMaxLoops; ++i) {
        QCOMPARE(w->cableComboBoxes[i] != nullptr, i < loops);
        if (i < loops)
            QCOMPARE(w->cableTable->cellWidget(i, 1), w->cableComboBoxes[i]);
        QCOMPARE(w->commentLabels[i]->text(), QString());
    }
    for (int r = 0; r < kMaxDeviceRows; ++r) {
        for (int i = 0; i < kMaxLoops; ++i) {
            QLineEdit *edit = w->deviceCountEdits[r][i];
            QCOMPARE(edit != nullptr, r < 17 && i < loops);
            if (edit) {
                QCOMPARE(w->deviceTable->cellWidget(r, i + 2), edit);
                QCOMPARE(edit->text(), QString("0"));
            }
        }
    }
    // Fields of the earlier panels are out of sight once the event loop has run.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(shownFields(*w->deviceTable), 17 * loops);
}

void LoopsTest::loopCountOutsideRangeIsMended_data()
{
    QTest::addColumn<int>("panelLoops");
    QTest::addColumn<int>("loops");
    QTest::newRow("20 loops are used as 16") << 20 << 16;
    QTest::newRow("-3 loops are used as none") << -3 << 0;
    QTest::newRow("exactly 16") << 16 << 16;
}

void LoopsTest::loopCountOutsideRangeIsMended()
{
    QFETCH(int, panelLoops);
    QFETCH(int, loops);
    Catalogue c = sampleCatalogue();
    c.panels[c.panelCount++] = panel("Odd", panelLoops, 77);
    MemoryWindow w(c);
    choosePanel(*w, "QP-220 (2 loops)");
    choosePanel(*w, "Odd");
    QCOMPARE(loopState.loopCount, loops);
    QCOMPARE(w->deviceTable->columnCount(), loops + 2);
    QCOMPARE(w->cableTable->rowCount(), loops);
    QCOMPARE(w->summaryTable->rowCount(), loops);
    QCOMPARE(w->calculationTable->rowCount(), loops);
    for (int i = 0; i < kMaxLoops; ++i)
        QCOMPARE(loopState.loopMaxDevices[i], i < loops ? 77 : (i < 2 ? 126 : 0));
    QCOMPARE(loopState.selectedPanelName, QString("Odd"));
}

void LoopsTest::unknownPanelTextKeepsSizes()
{
    MemoryWindow w(sampleCatalogue());
    choosePanel(*w, "QP-420 (4 loops)");
    QLineEdit *before = w->deviceCountEdits[0][0];
    before->setText("12");
    w->setLoopColumn("No such panel");
    QCOMPARE(loopState.loopCount, 4);
    QCOMPARE(w->deviceTable->columnCount(), 6);
    QCOMPARE(w->cableTable->rowCount(), 4);
    QVERIFY(w->deviceCountEdits[0][0] != before);
    QCOMPARE(w->deviceCountEdits[0][0]->text(), QString("0"));
    QVERIFY(w->cableComboBoxes[3]);
    QVERIFY(!w->cableComboBoxes[4]);
}

void LoopsTest::countFieldsAreFreshAfterPanelChange()
{
    MemoryWindow w(sampleCatalogue());
    choosePanel(*w, "QP-420 (4 loops)");
    w->deviceCountEdits[3][2]->setText("42");
    for (auto it = loopState.devicesByKey.begin(); it != loopState.devicesByKey.end(); ++it) {
        for (int i = 0; i < kMaxLoops; ++i) {
            it->loopCounts[i] = 5;
            it->secondRowLoopCounts[i] = 6;
        }
    }
    w->commentLabels[15]->setText("old message");

    choosePanel(*w, "QP-220 (2 loops)");
    QCOMPARE(w->deviceCountEdits[3][1]->text(), QString("0"));
    QVERIFY(!w->deviceCountEdits[3][2]);
    QCOMPARE(w->commentLabels[15]->text(), QString());
    const DeviceRecord opt = loopState.devicesByKey.value("1");  // has a second row
    const DeviceRecord hrr = loopState.devicesByKey.value("2");  // has none
    QCOMPARE(opt.loopCounts[0], 0);
    QCOMPARE(opt.loopCounts[1], 0);
    QCOMPARE(opt.secondRowLoopCounts[1], 0);
    QCOMPARE(opt.loopCounts[2], 5);  // beyond the new loop count: not touched
    QCOMPARE(hrr.loopCounts[1], 0);
    QCOMPARE(hrr.secondRowLoopCounts[1], 6);
}

void LoopsTest::secondRowHasCountFields()
{
    MemoryWindow w(sampleCatalogue());
    choosePanel(*w, "QP-420 (4 loops)");
    // OPT-100 in row 0 and OPT-100I in row 1; MCP-50 in row 11 and MCP-50W in row 12.
    for (int row : {0, 1, 11, 12}) {
        for (int i = 0; i < 4; ++i) {
            QLineEdit *edit = w->deviceCountEdits[row][i];
            QVERIFY(edit);
            QCOMPARE(edit->text(), QString("0"));
            QVERIFY(edit->validator());
        }
    }
    QCOMPARE(w->deviceTable->item(12, 0)->text(), QString("MCP-50W"));
}

void LoopsTest::countValidator_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("kept");  // the text the field keeps of the input
    QTest::newRow("empty while typing") << "" << int(QValidator::Intermediate) << "";
    QTest::newRow("0") << "0" << int(QValidator::Acceptable) << "0";
    QTest::newRow("7") << "7" << int(QValidator::Acceptable) << "7";
    QTest::newRow("42") << "42" << int(QValidator::Acceptable) << "42";
    QTest::newRow("999") << "999" << int(QValidator::Acceptable) << "999";
    QTest::newRow("leading zero 012 dropped") << "012" << int(QValidator::Acceptable) << "12";
    QTest::newRow("leading zeros 00 give 0") << "00" << int(QValidator::Acceptable) << "0";
    QTest::newRow("leading blank dropped") << " 1" << int(QValidator::Acceptable) << "1";
    QTest::newRow("four digits 1000") << "1000" << int(QValidator::Invalid) << "1000";
    QTest::newRow("0999 is 999") << "0999" << int(QValidator::Acceptable) << "999";
    QTest::newRow("negative -1") << "-1" << int(QValidator::Invalid) << "-1";
    QTest::newRow("letter a") << "a" << int(QValidator::Invalid) << "a";
    QTest::newRow("decimal 1.5") << "1.5" << int(QValidator::Invalid) << "1.5";
}

void LoopsTest::countValidator()
{
    QFETCH(QString, input);
    QFETCH(int, state);
    QFETCH(QString, kept);
    MemoryWindow w(sampleCatalogue());
    choosePanel(*w, "QP-220 (2 loops)");
    const QValidator *validator = w->deviceCountEdits[0][0]->validator();
    QVERIFY(qobject_cast<const QRegExpValidator *>(validator));
    // One validator for every field of the call.
    QCOMPARE(w->deviceCountEdits[16][1]->validator(), validator);
    int pos = input.size();
    QCOMPARE(int(validator->validate(input, pos)), state);
    QCOMPARE(input, kept);
}

void LoopsTest::typingIntoCountField()
{
    MemoryWindow w(sampleCatalogue());
    choosePanel(*w, "QP-220 (2 loops)");
    QLineEdit *edit = w->deviceCountEdits[2][1];
    QTest::keyClicks(edit, "12");  // typed over the 0
    QCOMPARE(edit->text(), QString("12"));
    edit->selectAll();
    QTest::keyClicks(edit, "1000");
    QCOMPARE(edit->text(), QString("100"));
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), QString());
}

void LoopsTest::touchedFieldNeverComesBack_data()
{
    QTest::addColumn<QStringList>("panels");
    QTest::addColumn<int>("loop");
    QTest::addColumn<int>("how");
    QTest::addColumn<int>("loops");
    // The panel box keeps a loop's counts while every panel chosen has that loop: in a new field.
    QTest::addColumn<bool>("carried");
    const int typed = int(Touch::TypedCount), retyped = int(Touch::RetypedZero), selected = int(Touch::SelectedZero);
    QTest::newRow("count in a removed column, back to 4 loops")
        << QStringList({"QP-220 (2 loops)", "QP-420 (4 loops)"}) << 3 << typed << 4 << false;
    QTest::newRow("count, blank entry, back to 4 loops") << QStringList({"", "QP-420 (4 loops)"}) << 2 << typed << 4 << false;
    QTest::newRow("count in a kept column, 8 loops") << QStringList({"QP-840 (8 loops)"}) << 1 << typed << 8 << true;
    QTest::newRow("count, other panel of the same size") << QStringList({"QP-440 HP (4 loops)"}) << 0 << typed << 4 << true;
    QTest::newRow("count, unknown panel text") << QStringList({"?"}) << 3 << typed << 4 << false;
    QTest::newRow("retyped zero, unknown panel text") << QStringList({"?"}) << 1 << retyped << 4 << false;
    QTest::newRow("retyped zero in a removed column") << QStringList({"QP-110 (1 loop)", "QP-420 (4 loops)"}) << 2
                                                      << retyped << 4 << false;
    QTest::newRow("selected zero, same size") << QStringList({"QP-440 HP (4 loops)"}) << 2 << selected << 4 << true;
    QTest::newRow("count, 16, 2, then 16 again")
        << QStringList({"QP-1640 (16 loops)", "QP-220 (2 loops)", "QP-1640 (16 loops)"}) << 3 << typed << 16 << false;
    QTest::newRow("count, 16 then 1 loop") << QStringList({"QP-1640 (16 loops)", "QP-110 (1 loop)"}) << 0 << typed << 1 << true;
}

void LoopsTest::touchedFieldNeverComesBack()
{
    QFETCH(QStringList, panels);
    QFETCH(int, loop);
    QFETCH(int, how);
    QFETCH(int, loops);
    QFETCH(bool, carried);
    MemoryWindow w(sampleCatalogue());
    choosePanel(*w, "QP-420 (4 loops)");
    QLineEdit *edit = w->deviceCountEdits[5][loop];
    touch(edit, Touch(how));
    if (Touch(how) != Touch::SelectedZero)
        QVERIFY(edit->isModified());
    const QString text = edit->text();

    runPanels(*w, panels);
    if (carried) {
        const QString problem = countGridProblem(*w, 17, loops, [&](int r, int i) {
            return r == 5 && i == loop ? text : QStringLiteral("0");
        });
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    } else {
        verifyFreshGrid(*w, 17, loops);
    }
    QVERIFY(w->deviceCountEdits[5][loop] != edit);
    // Fields of earlier panels are neither shown nor in the grid.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(shownFields(*w->deviceTable), 17 * loops);
}

void LoopsTest::sparesMadeWhileIdle_data()
{
    QTest::addColumn<QString>("panelName");
    QTest::addColumn<int>("loops");
    QTest::newRow("1 loop") << "QP-110 (1 loop)" << 1;
    QTest::newRow("8 loops") << "QP-840 (8 loops)" << 8;
    QTest::newRow("16 loops") << "QP-1640 (16 loops)" << 16;
}

void LoopsTest::sparesMadeWhileIdle()
{
    QFETCH(QString, panelName);
    QFETCH(int, loops);
    MemoryWindow w(sampleCatalogue());
    const int capacity = 17 * kMaxLoops;
    QCOMPARE(w->spareCountFields(), 0);  // nothing is made before the event loop runs
    QTRY_COMPARE(w->spareCountFields(), capacity);
    const int made = w->findChildren<QLineEdit *>().size();

    // Choosing a panel places spares; no field is made while the user waits.
    choosePanel(*w, panelName);
    QCOMPARE(w->spareCountFields(), capacity - 17 * loops);
    QCOMPARE(w->findChildren<QLineEdit *>().size(), made);
    verifyFreshGrid(*w, 17, loops);

    // The fields come back when the panel goes; the pool does not grow past the grid's size.
    choosePanel(*w, "");
    QCOMPARE(w->spareCountFields(), capacity);
    QCoreApplication::processEvents();
    QCOMPARE(w->findChildren<QLineEdit *>().size(), made);
}

void LoopsTest::pooledFieldsReachNothing_data()
{
    QTest::addColumn<QString>("later");
    QTest::addColumn<int>("loops");
    QTest::newRow("back to the same panel") << "QP-420 (4 loops)" << 4;
    QTest::newRow("a larger panel") << "QP-1640 (16 loops)" << 16;
}

void LoopsTest::pooledFieldsReachNothing()
{
    QFETCH(QString, later);
    QFETCH(int, loops);
    MemoryWindow w(sampleCatalogue());
    choosePanel(*w, "QP-420 (4 loops)");
    QPointer<QLineEdit> pooled = w->deviceCountEdits[6][3];
    choosePanel(*w, "QP-220 (2 loops)");

    // Kept, not deleted: hidden, zero-sized and in no cell of the table.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QVERIFY(pooled);
    QVERIFY(pooled->isHidden());
    QVERIFY(pooled->size().isEmpty());
    for (int r = 0; r < w->deviceTable->rowCount(); ++r)
        for (int c = 0; c < w->deviceTable->columnCount(); ++c)
            QVERIFY(w->deviceTable->cellWidget(r, c) != pooled);
    for (const auto &row : w->deviceCountEdits)
        for (QLineEdit *edit : row)
            QVERIFY(edit != pooled);

    // Text put into a pooled field stays out of the window's state and out of the next grid, and
    // takes no loop's result away.
    for (int loop = 0; loop < 2; ++loop)
        w->cableComboBoxes[loop]->setCurrentIndex(1);
    w->calculateButton->click();
    QVERIFY(w->calculation().hasFigures(0) && w->calculation().hasFigures(1));
    pooled->setText("77");
    QVERIFY(w->calculation().hasFigures(0) && w->calculation().hasFigures(1));
    const DeviceRecord before = loopState.devicesByKey.value("2");
    QCOMPARE(before.loopCounts[3], 0);
    choosePanel(*w, later);
    verifyFreshGrid(*w, 17, loops);
    QCOMPARE(loopState.devicesByKey.value("2").loopCounts[3], 0);
}

void LoopsTest::placedFieldsFillTheirCells_data()
{
    QTest::addColumn<bool>("tableShown");
    QTest::addColumn<QStringList>("panels");
    // Where the view is scrolled to before the check: 0 top left, 1 bottom right.
    QTest::addColumn<int>("scrolledTo");
    QTest::newRow("table shown, blank to 16") << true << QStringList({"QP-1640 (16 loops)"}) << 0;
    QTest::newRow("table shown, 2 to 8") << true << QStringList({"QP-220 (2 loops)", "QP-840 (8 loops)"}) << 0;
    QTest::newRow("table hidden, shown later") << false << QStringList({"QP-220 (2 loops)", "QP-840 (8 loops)"}) << 0;
    QTest::newRow("16 loops, scrolled to the end") << true << QStringList({"QP-1640 (16 loops)"}) << 1;
    QTest::newRow("hidden, 16 loops, scrolled to the end") << false << QStringList({"QP-1640 (16 loops)"}) << 1;
}

// Fields are placed at zero size; the table's layout gives each field of a cell in sight its cell
// and leaves the others without a size until scrolling brings their cells into sight.
void LoopsTest::placedFieldsFillTheirCells()
{
    QFETCH(bool, tableShown);
    QFETCH(QStringList, panels);
    QFETCH(int, scrolledTo);
    MemoryWindow w(sampleCatalogue());
    auto *tabs = w->findChild<QTabWidget *>();
    QVERIFY(tabs);
    tabs->setCurrentIndex(tableShown ? 1 : 0);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(&*w));
    runPanels(*w, panels);
    if (!tableShown)
        tabs->setCurrentIndex(1);
    QTRY_VERIFY(w->deviceCountEdits[0][0] && w->deviceCountEdits[0][0]->width() > 0);
    QTableWidget *table = w->deviceTable;
    if (scrolledTo == 1) {
        QVERIFY(table->verticalScrollBar()->maximum() > 0 && table->horizontalScrollBar()->maximum() > 0);
        table->verticalScrollBar()->setValue(table->verticalScrollBar()->maximum());
        table->horizontalScrollBar()->setValue(table->horizontalScrollBar()->maximum());
    }
    const int loops = table->columnCount() - 2;
    int inSight = 0;
    int outOfSight = 0;
    for (int r = 0; r < 17; ++r) {
        for (int i = 0; i < loops; ++i) {
            QLineEdit *edit = w->deviceCountEdits[r][i];
            const QString where = QString("row %1 loop %2").arg(r).arg(i);
            const QRect cell = table->visualRect(table->model()->index(r, i + 2));
            QVERIFY2(edit->isVisible(), qPrintable(where));
            if (cell.intersects(table->viewport()->rect())) {
                ++inSight;
                QVERIFY2(edit->width() > 0 && edit->height() > 0, qPrintable(where));
                QVERIFY2(cell.contains(edit->geometry().center()), qPrintable(where));
            } else {
                ++outOfSight;
                QVERIFY2(edit->size().isEmpty(), qPrintable(where));
            }
        }
    }
    QVERIFY(inSight > 0);
    if (scrolledTo == 1) {
        QVERIFY(outOfSight > 0);
        QVERIFY(w->deviceCountEdits[16][loops - 1]->width() > 0);
    }
}

void LoopsTest::tabMovesToTheNextCell_data()
{
    QTest::addColumn<QStringList>("panels");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("loop");
    QTest::addColumn<bool>("nextOutOfSight");
    // Fields of kept columns and pooled fields placed later stand side by side in these grids.
    QTest::newRow("fresh grid") << QStringList({"QP-1640 (16 loops)"}) << 2 << 1 << false;
    QTest::newRow("4 loops grown to 16, across the old edge") << QStringList({"QP-420 (4 loops)", "QP-1640 (16 loops)"}) << 0 << 3
                                                              << false;
    QTest::newRow("grown, shrunk, grown again") << QStringList({"QP-420 (4 loops)", "QP-220 (2 loops)", "QP-1640 (16 loops)"})
                                                 << 5 << 1 << false;
    // From the last cell in sight (loop -1): Tab scrolls to the next one, whose field must be placed.
    QTest::newRow("into a cell out of sight") << QStringList({"QP-1640 (16 loops)"}) << 3 << -1 << true;
}

// Tab in a count field goes to the field of the next cell, whichever fields the pool handed out.
void LoopsTest::tabMovesToTheNextCell()
{
    QFETCH(QStringList, panels);
    QFETCH(int, row);
    QFETCH(int, loop);
    QFETCH(bool, nextOutOfSight);
    MemoryWindow w(sampleCatalogue());
    QVERIFY(showOnTab(*w, 1));
    runPanels(*w, panels);
    QTableWidget *table = w->deviceTable;
    QTRY_VERIFY(w->deviceCountEdits[0][0]->width() > 0);
    if (loop < 0)
        loop = table->columnAt(table->viewport()->width() - 1) - 2;
    QVERIFY(loop >= 0 && loop < 15);
    QLineEdit *from = w->deviceCountEdits[row][loop];
    QLineEdit *next = w->deviceCountEdits[row][loop + 1];
    QVERIFY(from && next);
    const QModelIndex fromIndex = table->model()->index(row, loop + 2);
    if (!table->visualRect(fromIndex).intersects(table->viewport()->rect()))
        table->scrollTo(fromIndex);
    QTRY_VERIFY(from->width() > 0);
    const QModelIndex nextIndex = table->model()->index(row, loop + 3);
    if (nextOutOfSight) {
        QVERIFY(!table->visualRect(nextIndex).intersects(table->viewport()->rect()));
        QVERIFY(next->size().isEmpty());
    }
    from->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(from));
    QTest::keyClick(from, Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(next));
    const QRect cell = table->visualRect(nextIndex);
    QTRY_VERIFY(next->width() > 0 && next->height() > 0);
    QVERIFY(cell.contains(next->geometry().center()));
}

void LoopsTest::focusStaysWherePanelChangeFindsIt_data()
{
    QTest::addColumn<bool>("inGrid");
    QTest::addColumn<QString>("later");
    QTest::newRow("panel box, larger panel") << false << "QP-1640 (16 loops)";
    QTest::newRow("count field of a kept column, larger panel") << true << "QP-840 (8 loops)";
    QTest::newRow("count field of a kept column, same size") << true << "QP-440 HP (4 loops)";
}

// Placing fields must not move the focus: a project opened while a count field has it, or a panel
// chosen from the keyboard, leaves the focus where it was.
void LoopsTest::focusStaysWherePanelChangeFindsIt()
{
    QFETCH(bool, inGrid);
    QFETCH(QString, later);
    MemoryWindow w(sampleCatalogue());
    QVERIFY(showOnTab(*w, 1));
    choosePanel(*w, "QP-420 (4 loops)");
    QWidget *focused = inGrid ? static_cast<QWidget *>(w->deviceCountEdits[1][2]) : w->panelComboBox;
    focused->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), focused);
    choosePanel(*w, later);
    QCOMPARE(QApplication::focusWidget(), focused);
    QVERIFY(w->deviceTable->viewport()->isVisible());
    if (inGrid)
        QCOMPARE(w->deviceCountEdits[1][2], static_cast<QLineEdit *>(focused));
    verifyFreshGrid(*w, 17, w->deviceTable->columnCount() - 2);
}

void LoopsTest::fieldRectanglesAsTheStyleGives_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<bool>("rightToLeft");
    QTest::addColumn<QStringList>("panels");
    QTest::addColumn<int>("wideColumn");
    QTest::addColumn<int>("tallRow");
    QTest::addColumn<int>("pointSize");
    // Style sheets of the table: the first before the panels are chosen, the second afterwards.
    QTest::addColumn<QStringList>("sheets");
    const QStringList eight{"QP-220 (2 loops)", "QP-840 (8 loops)"};
    QTest::newRow("fusion, even cells") << "Fusion" << false << eight << -1 << -1 << 0 << QStringList();
    QTest::newRow("fusion, right to left") << "Fusion" << true << eight << -1 << -1 << 0 << QStringList();
    QTest::newRow("fusion, one wide column, one tall row") << "Fusion" << false << eight << 4 << 3 << 0
                                                           << QStringList();
    QTest::newRow("windows, wide column, larger font") << "Windows" << false << eight << 2 << -1 << 15
                                                       << QStringList();
    QTest::newRow("windows, right to left, tall row") << "Windows" << true << QStringList({"QP-1640 (16 loops)"})
                                                       << -1 << 16 << 0 << QStringList();
    QTest::newRow("item padding changed by a style sheet")
        << "Fusion" << false << eight << -1 << -1 << 0
        << QStringList({"QTableView::item { padding: 1px; }", "QTableView::item { padding: 2px 9px 5px 3px; }"});
    QTest::newRow("fusion, 16 then 4 loops, name column wider") << "Fusion" << false
                                                                 << QStringList({"QP-1640 (16 loops)", "QP-420 (4 loops)"})
                                                                 << 0 << 0 << 8 << QStringList();
}

// A field's rectangle is reused across cells of one shape; every field must still sit exactly
// where the style would put it, whatever the style, direction, cell sizes and font.
void LoopsTest::fieldRectanglesAsTheStyleGives()
{
    QFETCH(QString, style);
    QFETCH(bool, rightToLeft);
    QFETCH(QStringList, panels);
    QFETCH(int, wideColumn);
    QFETCH(int, tallRow);
    QFETCH(int, pointSize);
    QFETCH(QStringList, sheets);
    MemoryWindow w(sampleCatalogue());
    QStyle *tableStyle = QStyleFactory::create(style);
    QVERIFY(tableStyle);
    tableStyle->setParent(&*w);
    w->deviceTable->setStyle(tableStyle);
    if (rightToLeft)
        w->setLayoutDirection(Qt::RightToLeft);
    w->findChild<QTabWidget *>()->setCurrentIndex(1);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(&*w));
    if (!sheets.isEmpty())
        w->deviceTable->setStyleSheet(sheets.first());
    runPanels(*w, panels);
    if (sheets.size() > 1) {
        QTRY_VERIFY(w->deviceCountEdits[0][0] && w->deviceCountEdits[0][0]->width() > 0);
        QVERIFY(QMetaObject::invokeMethod(w->deviceTable, "updateEditorGeometries"));
        w->deviceTable->setStyleSheet(sheets.last());
    }
    if (wideColumn >= 0)
        w->deviceTable->setColumnWidth(wideColumn, 170);
    if (tallRow >= 0)
        w->deviceTable->setRowHeight(tallRow, 47);
    if (pointSize > 0) {
        QFont font = w->deviceTable->font();
        font.setPointSize(pointSize);
        w->deviceTable->setFont(font);
    }
    const int loops = w->deviceTable->columnCount() - 2;
    QVERIFY(loops > 0);
    QTRY_VERIFY(w->deviceCountEdits[0][0] && w->deviceCountEdits[0][0]->width() > 0);
    QVERIFY(QMetaObject::invokeMethod(w->deviceTable, "updateEditorGeometries"));

    // Fields of cells out of sight have no rectangle yet; those in sight are compared.
    QHash<QLineEdit *, QRect> placed;
    for (int r = 0; r < 17; ++r) {
        for (int i = 0; i < loops; ++i) {
            const QRect cell = w->deviceTable->visualRect(w->deviceTable->model()->index(r, i + 2));
            if (cell.intersects(w->deviceTable->viewport()->rect()))
                placed.insert(w->deviceCountEdits[r][i], w->deviceCountEdits[r][i]->geometry());
        }
    }
    QVERIFY(placed.size() >= 8);

    // The same layout again with every rectangle asked of the style, from misplaced fields.
    auto *delegate = dynamic_cast<CountFieldDelegate *>(w->deviceTable->itemDelegate());
    QVERIFY(delegate);
    delegate->setGeometryReuse(false);
    for (QLineEdit *edit : placed.keys())
        edit->setGeometry(1, 1, 3, 3);
    QVERIFY(QMetaObject::invokeMethod(w->deviceTable, "updateEditorGeometries"));
    for (auto it = placed.cbegin(); it != placed.cend(); ++it) {
        QVERIFY(it.key()->geometry() != QRect(1, 1, 3, 3));
        QCOMPARE(it.key()->geometry(), it.value());
    }
}

void LoopsTest::hiddenTableLetsGoOfFields_data()
{
    QTest::addColumn<QString>("smaller");
    QTest::addColumn<bool>("writeWhilePooled");
    QTest::addColumn<QString>("later");
    QTest::addColumn<int>("loops");
    QTest::newRow("typed count, blank entry") << "" << false << "QP-420 (4 loops)" << 4;
    QTest::newRow("typed count, 2 loops") << "QP-220 (2 loops)" << false << "QP-1640 (16 loops)" << 16;
    QTest::newRow("pooled field written, 1 loop") << "QP-110 (1 loop)" << true << "QP-840 (8 loops)" << 8;
}

// A table that has never been laid out (its tab not shown yet) keeps listing the widgets of
// removed cells until its next layout; a field deleted before then would be touched after its
// deletion.
void LoopsTest::hiddenTableLetsGoOfFields()
{
    QFETCH(QString, smaller);
    QFETCH(bool, writeWhilePooled);
    QFETCH(QString, later);
    QFETCH(int, loops);
    MemoryWindow w(sampleCatalogue());
    choosePanel(*w, "QP-420 (4 loops)");
    touch(w->deviceCountEdits[4][3], Touch::TypedCount);
    QPointer<QLineEdit> kept = w->deviceCountEdits[9][2];
    choosePanel(*w, smaller);
    if (writeWhilePooled) {
        QVERIFY(kept);
        kept->setText("5");
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    w->deviceTable->doItemsLayout();
    choosePanel(*w, later);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    w->deviceTable->doItemsLayout();
    verifyFreshGrid(*w, 17, loops);
}

void LoopsTest::flushPanelCopiesLoopCountMaxima()
{
    MemoryWindow w(sampleCatalogue());
    choosePanel(*w, "QP-220 (2 loops)");
    choosePanel(*w, "QP-840 (8 loops)");  // setLoopColumn must run first: all 8 maxima
    for (int i = 0; i < kMaxLoops; ++i)
        QCOMPARE(loopState.loopMaxDevices[i], i < 8 ? 250 : 0);

    choosePanel(*w, "QP-420 (4 loops)");
    for (int i = 0; i < kMaxLoops; ++i)
        QCOMPARE(loopState.loopMaxDevices[i], i < 4 ? 127 : (i < 8 ? 250 : 0));
    QCOMPARE(loopState.selectedPanelName, QString("QP-420 (4 loops)"));
    QCOMPARE(loopState.panelLoopVoltage, 27.5f);
    QCOMPARE(loopState.panelMaxLoopCurrent, 400.0f);

    choosePanel(*w, "");  // the blank entry clears the name and keeps the limits, unread
    QCOMPARE(loopState.loopCount, 0);
    QCOMPARE(loopState.selectedPanelName, QString());
    QCOMPARE(loopState.panelLoopVoltage, 27.5f);
    QCOMPARE(loopState.loopMaxDevices[0], 127);
}

void LoopsTest::flushPanelDirectWithoutLoops()
{
    MemoryWindow w(sampleCatalogue());
    w->flushPanel("QP-840 (8 loops)");
    QCOMPARE(loopState.selectedPanelName, QString("QP-840 (8 loops)"));
    QCOMPARE(loopState.panelMaxLoopCurrent, 500.0f);
    QCOMPARE(loopState.loopMaxDevices[0], 0);
    w->flushPanel("qp-840 (8 loops)");  // exact, case-sensitive match only
    QCOMPARE(loopState.selectedPanelName, QString("QP-840 (8 loops)"));
}

void LoopsTest::cableListAndUserData()
{
    MemoryWindow w(sampleCatalogue());
    QCOMPARE(w->cableTable->rowCount(), 0);
    choosePanel(*w, "QP-420 (4 loops)");
    QComboBox *box = w->cableComboBoxes[3];
    QCOMPARE(comboItems(box), QStringList({"", QString::fromUtf8("FR 2x1.0mm²"), QString::fromUtf8("FR 2x1.5mm²"),
                                           QString::fromUtf8("FR 2x2.5mm²"), QString::fromUtf8("FR 2x4.0mm²"),
                                           "STP 2x0.8mm"}));
    QVERIFY(!box->itemData(0).isValid());
    QCOMPARE(box->itemData(2).userType(), int(QMetaType::Float));
    QCOMPARE(box->itemData(2).toFloat(), 12.1f);
    QCOMPARE(box->currentIndex(), 0);
    QCOMPARE(loopState.loopCableNames[3], QString());
}

void LoopsTest::cableChoiceSetsOneLoop_data()
{
    QTest::addColumn<int>("loop");
    QTest::addColumn<QString>("caption");
    QTest::newRow("loop 3") << 3 << QString::fromUtf8("Loop3:FR 2x2.5mm²");
    QTest::newRow("loop 10, seven-character prefix") << 10 << QString::fromUtf8("Loop10:FR 2x2.5mm²");
    QTest::newRow("loop 16") << 16 << QString::fromUtf8("Loop16:FR 2x2.5mm²");
}

void LoopsTest::cableChoiceSetsOneLoop()
{
    QFETCH(int, loop);
    QFETCH(QString, caption);
    MemoryWindow w(sampleCatalogue());
    choosePanel(*w, "QP-1640 (16 loops)");
    const QString name = QString::fromUtf8("FR 2x2.5mm²");
    w->cableComboBoxes[loop - 1]->setCurrentText(name);
    for (int i = 0; i < kMaxLoops; ++i) {
        const bool chosen = i == loop - 1;
        QCOMPARE(loopState.loopCableNames[i], chosen ? name : QString());
        QCOMPARE(loopState.loopCableCaptions[i], chosen ? caption : QString());
        QCOMPARE(loopState.loopCableResistance[i], chosen ? 7.41f : 0.0f);
    }
}

void LoopsTest::blankCableKeepsEarlierChoice()
{
    MemoryWindow w(sampleCatalogue());
    choosePanel(*w, "QP-220 (2 loops)");
    w->cableComboBoxes[1]->setCurrentText("STP 2x0.8mm");
    w->cableComboBoxes[1]->setCurrentIndex(0);
    QCOMPARE(loopState.loopCableNames[1], QString("STP 2x0.8mm"));
    QCOMPARE(loopState.loopCableResistance[1], 36.6f);
    w->flushCableLoop2("stp 2x0.8mm");
    QCOMPARE(loopState.loopCableNames[1], QString("STP 2x0.8mm"));
}

void LoopsTest::panelChangeResetsCables()
{
    MemoryWindow w(sampleCatalogue());
    choosePanel(*w, "QP-420 (4 loops)");
    w->cableComboBoxes[0]->setCurrentText("STP 2x0.8mm");
    w->cableComboBoxes[3]->setCurrentText(QString::fromUtf8("FR 2x1.0mm²"));
    // The slots themselves start every loop afresh; the panel box puts back what the loops held
    // (panelChangeKeepsLoops).
    w->setLoopColumn("QP-440 HP (4 loops)");
    w->flushPanel("QP-440 HP (4 loops)");
    for (int i = 0; i < kMaxLoops; ++i) {
        QCOMPARE(loopState.loopCableNames[i], QString());
        QCOMPARE(loopState.loopCableCaptions[i], QString());
        QCOMPARE(loopState.loopCableResistance[i], 0.0f);
    }
    QCOMPARE(w->cableComboBoxes[0]->currentText(), QString());
    // The new boxes are connected once each: a choice reaches its loop's slot.
    w->cableComboBoxes[0]->setCurrentText("STP 2x0.8mm");
    QCOMPARE(loopState.loopCableCaptions[0], QString("Loop1:STP 2x0.8mm"));
}

Q_DECLARE_METATYPE(QMessageBox::StandardButton)

void LoopsTest::panelChangeKeepsLoops_data()
{
    // Loops listed in `cables` get a cable, those in `counts` a count in row 3 (loop numbers from
    // 1); then the panel box changes from `from` to `to`. asked: the loops the question names.
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QList<int>>("cables");
    QTest::addColumn<QList<int>>("counts");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QString>("asked");
    const QString p1 = "QP-110 (1 loop)", p2 = "QP-220 (2 loops)", p4 = "QP-420 (4 loops)",
                  p4b = "QP-440 HP (4 loops)", p8 = "QP-840 (8 loops)";
    const auto ok = QMessageBox::Ok, cancel = QMessageBox::Cancel;
    QTest::newRow("to more loops") << p4 << p8 << QList<int>{1, 4} << QList<int>{2, 4} << ok << "";
    QTest::newRow("to as many loops") << p4 << p4b << QList<int>{1, 2, 3, 4} << QList<int>{1, 3} << ok << "";
    QTest::newRow("to fewer, the loops removed empty") << p8 << p4 << QList<int>{1, 2} << QList<int>{4} << ok << "";
    QTest::newRow("to fewer, counts removed, Ok")
        << p8 << p2 << QList<int>{1} << QList<int>{2, 5, 7} << ok << "Remove the cable and counts of Loop5, Loop7?";
    QTest::newRow("to fewer, a cable removed, Ok")
        << p4 << p2 << QList<int>{1, 3} << QList<int>{} << ok << "Remove the cable and counts of Loop3?";
    QTest::newRow("to fewer, counts removed, Cancel")
        << p8 << p1 << QList<int>{1, 8} << QList<int>{1, 2} << cancel
        << "Remove the cable and counts of Loop2, Loop8?";
    QTest::newRow("to the blank entry, Cancel")
        << p2 << "" << QList<int>{} << QList<int>{1} << cancel << "Remove the cable and counts of Loop1?";
    QTest::newRow("to the blank entry, Ok")
        << p2 << "" << QList<int>{2} << QList<int>{} << ok << "Remove the cable and counts of Loop2?";
}

void LoopsTest::panelChangeKeepsLoops()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QList<int>, cables);
    QFETCH(QList<int>, counts);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(QString, asked);
    MemoryWindow w(sampleCatalogue());
    const QString cable = "STP 2x0.8mm";
    choosePanel(*w, from);
    const int fromLoops = loopState.loopCount;
    for (int n : cables)
        w->cableComboBoxes[n - 1]->setCurrentText(cable);
    for (int n : counts)
        w->deviceCountEdits[3][n - 1]->setText(QString::number(40 + n));
    // A typed 0 and an emptied field hold nothing worth a question.
    w->deviceCountEdits[5][fromLoops - 1]->setText("");
    w->deviceCountEdits[6][fromLoops - 1]->setText("0");
    const ProjectData before = w->currentProject();
    QComboBox *firstBox = w->cableComboBoxes[0];
    seam->answers << answer;

    choosePanel(*w, to);
    QCOMPARE(seam->questions.size(), asked.isEmpty() ? 0 : 1);
    if (!asked.isEmpty()) {
        QCOMPARE(seam->questions[0].text, asked);
        QCOMPARE(seam->questions[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(seam->questions[0].defaultButton, QMessageBox::Cancel);
    }
    if (answer == QMessageBox::Cancel) {
        // The old panel, with everything as it was: not even rebuilt.
        QCOMPARE(w->panelComboBox->currentText(), from);
        QCOMPARE(loopState.selectedPanelName, from);
        QCOMPARE(w->cableComboBoxes[0], firstBox);
        QVERIFY(w->currentProject() == before);
        // The next change starts from the panel put back: to more loops, without a question.
        choosePanel(*w, "QP-1640 (16 loops)");
        QCOMPARE(seam->questions.size(), 1);
        QCOMPARE(loopState.loopCount, 16);
        QCOMPARE(w->cableComboBoxes[0]->currentText(), cables.contains(1) ? cable : QString());
        QCOMPARE(w->deviceCountEdits[3][0]->text(), counts.contains(1) ? QString("41") : QString("0"));
        return;
    }

    const int toLoops = loopState.loopCount;
    QCOMPARE(loopState.selectedPanelName, to);
    QCOMPARE(w->deviceTable->columnCount(), toLoops + 2);
    for (int i = 0; i < toLoops; ++i) {
        const bool kept = i < fromLoops;
        const QString expectedCable = kept && cables.contains(i + 1) ? cable : QString();
        QCOMPARE(w->cableComboBoxes[i]->currentText(), expectedCable);
        QCOMPARE(loopState.loopCableNames[i], expectedCable);
        QCOMPARE(loopState.loopCableCaptions[i], expectedCable.isEmpty() ? QString() : cableCaption(i + 1, cable));
        const QString expectedCount = kept && counts.contains(i + 1) ? QString::number(41 + i) : QString("0");
        QCOMPARE(w->deviceCountEdits[3][i]->text(), expectedCount);
        QCOMPARE(w->deviceCountEdits[5][i]->text(), kept && i == fromLoops - 1 ? QString() : QString("0"));
        QCOMPARE(w->deviceCountEdits[0][i]->text(), QString("0"));
    }
    // flushPanel ran after setLoopColumn, for the new loop count.
    if (!to.isEmpty())
        QCOMPARE(loopState.loopMaxDevices[toLoops - 1], loopState.panelsByName.value(to).maxDevices[toLoops - 1]);
}

void LoopsTest::wheelOverBox_data()
{
    QTest::addColumn<bool>("panelBox");
    QTest::addColumn<bool>("focused");
    QTest::newRow("cable box without focus: the table scrolls") << false << false;
    QTest::newRow("panel box without focus") << true << false;
    QTest::newRow("cable box with focus: the box changes") << false << true;
    QTest::newRow("panel box with focus: the box changes") << true << true;
}

void LoopsTest::wheelOverBox()
{
    QFETCH(bool, panelBox);
    QFETCH(bool, focused);
    MemoryWindow w(sampleCatalogue());
    QVERIFY(showOnTab(*w, 1));
    choosePanel(*w, "QP-1640 (16 loops)");
    w->deviceCountEdits[0][0]->setText("12");
    QScrollBar *scroll = w->cableTable->verticalScrollBar();
    QTRY_VERIFY2(scroll->maximum() > 0, "16 cable rows must not fit the table");
    QComboBox *box = panelBox ? w->panelComboBox : w->cableComboBoxes[1];
    box->setCurrentIndex(panelBox ? box->currentIndex() : 2);
    if (focused) {
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
    } else {
        w->calculateButton->setFocus();
        QTRY_VERIFY(w->calculateButton->hasFocus());
    }
    const int index = box->currentIndex();
    const int scrolled = scroll->value();

    // Delivered as the window system delivers a wheel: spontaneous, so that Qt hands it to the
    // parents when the box leaves it.
    const QPointF centre = QRectF(box->rect()).center();
    QWheelEvent wheel(centre, QPointF(box->mapToGlobal(centre.toPoint())), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    qApp->notify(box, &wheel);

    QCOMPARE(box->currentIndex() != index, focused);
    QCOMPARE(box->hasFocus(), focused);
    if (!panelBox)
        QCOMPARE(scroll->value() > scrolled, !focused);
    // Down from the 16-loop panel is the 2-loop one.
    QCOMPARE(loopState.loopCount, panelBox && focused ? 2 : 16);
    QCOMPARE(w->deviceCountEdits[0][0]->text(), QString("12"));
}

// ---- Pasting a block and keyboard use of the grid ----

namespace {

// "1,2|3" for rows {1, 2} and {3}.
QString blockRows(const CountBlock &block)
{
    QStringList rows;
    for (const QVector<int> &row : block.rows) {
        QStringList cells;
        for (int count : row)
            cells << QString::number(count);
        rows << cells.join(',');
    }
    return rows.join('|');
}

// What Tab and Shift+Tab reach, as a reader says it.
QString focusName(MainWindow &w, const QWidget *widget)
{
    if (!widget)
        return "nothing";
    if (widget == w.panelComboBox)
        return "panel";
    if (widget == static_cast<QWidget *>(w.calculateButton))
        return "Calculate";
    if (widget == static_cast<QWidget *>(w.calculationTable))
        return "calculation table";
    for (int i = 0; i < kMaxLoops; ++i)
        if (widget == w.cableComboBoxes[i])
            return QString("cable %1").arg(i + 1);
    for (int r = 0; r < kMaxDeviceRows; ++r)
        for (int i = 0; i < kMaxLoops; ++i)
            if (widget == w.deviceCountEdits[r][i])
                return QString("count %1,%2").arg(r).arg(i + 1);
    return QString("other: ") + widget->metaObject()->className();
}

// The expected Tab stops from the panel box to the widget after "Calculate".
QStringList expectedStops(int loops, int rows)
{
    QStringList stops{"panel"};
    for (int i = 1; i <= loops; ++i)
        stops << QString("cable %1").arg(i);
    for (int r = 0; loops > 0 && r < rows; ++r)
        for (int i = 1; i <= loops; ++i)
            stops << QString("count %1,%2").arg(r).arg(i);
    stops << "Calculate" << "calculation table";
    return stops;
}

QStringList countTexts(MainWindow &w, int rows, int loops)
{
    QStringList texts;
    for (int r = 0; r < rows; ++r) {
        QStringList line;
        for (int i = 0; i < loops; ++i)
            line << w.deviceCountEdits[r][i]->text();
        texts << line.join(',');
    }
    return texts;
}

QString accessibleName(QObject *object)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(QAccessible::Name) : QString("<no interface>");
}

}  // namespace

void LoopsTest::blockParser_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("rows");  // "1,2|3": rows {1, 2} and {3}
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("badRow");
    QTest::addColumn<int>("badColumn");
    QTest::addColumn<QString>("badText");

    // As spreadsheets copy
    QTest::newRow("one copied cell, with its line break") << "41\n" << "41" << 1 << 0 << 0 << "";
    QTest::newRow("one cell with blanks around it") << " 41 " << "41" << 1 << 0 << 0 << "";
    QTest::newRow("tab block, trailing line break") << "1\t2\n3\t4\n" << "1,2|3,4" << 2 << 0 << 0 << "";
    QTest::newRow("CR LF line ends") << "1\t2\r\n3\t4\r\n" << "1,2|3,4" << 2 << 0 << 0 << "";
    QTest::newRow("CR line ends") << "5\r6\r" << "5|6" << 1 << 0 << 0 << "";
    QTest::newRow("no trailing line break") << "1\t2\n3\t4" << "1,2|3,4" << 2 << 0 << 0 << "";
    QTest::newRow("only one trailing line break is dropped") << "5\n\n" << "5|0" << 1 << 0 << 0 << "";
    QTest::newRow("empty cells count 0") << "\t5\n\t\n" << "0,5|0,0" << 2 << 0 << 0 << "";
    QTest::newRow("a copied empty cell") << "\n" << "0" << 1 << 0 << 0 << "";
    QTest::newRow("empty clipboard") << "" << "" << 0 << 0 << 0 << "";
    QTest::newRow("leading zeros dropped") << "007\t010\t0" << "7,10,0" << 3 << 0 << 0 << "";
    QTest::newRow("largest count") << "999" << "999" << 1 << 0 << 0 << "";
    QTest::newRow("rows of different length") << "1\t2\t3\n4\n" << "1,2,3|4" << 3 << 0 << 0 << "";
    QTest::newRow("no-break space trimmed") << QString::fromUtf8("\xc2\xa0" "12\t3") << "12,3" << 2 << 0 << 0 << "";
    // Separators other than tab
    QTest::newRow("semicolon separated") << "1;2;3\n4;5;6\n" << "1,2,3|4,5,6" << 3 << 0 << 0 << "";
    QTest::newRow("comma separated") << "7,8\r\n9,10\r\n" << "7,8|9,10" << 2 << 0 << 0 << "";
    QTest::newRow("semicolons keep a decimal comma in its cell") << "1;2,5" << "1,0" << 2 << 1 << 2 << "2,5";
    QTest::newRow("a tab makes semicolons part of a cell") << "1;2\t3" << "0,3" << 2 << 1 << 1 << "1;2";
    // Cells that are not counts
    QTest::newRow("letter") << "1\tx\n" << "1,0" << 2 << 1 << 2 << "x";
    QTest::newRow("negative") << "-1" << "0" << 1 << 1 << 1 << "-1";
    QTest::newRow("1000 is too large") << "5\n1000\n" << "5|0" << 1 << 2 << 1 << "1000";
    QTest::newRow("decimal point") << "1.5" << "0" << 1 << 1 << 1 << "1.5";
    QTest::newRow("plus sign") << "+3" << "0" << 1 << 1 << 1 << "+3";
    QTest::newRow("full-width digit") << QString::fromUtf8("\xef\xbc\x95") << "0" << 1 << 1 << 1
                                      << QString::fromUtf8("\xef\xbc\x95");
    QTest::newRow("first bad cell in reading order") << "1\t2\nx\ty\n" << "1,2|0,0" << 2 << 2 << 1 << "x";
    QTest::newRow("bad cell named trimmed") << "1\t abc \n" << "1,0" << 2 << 1 << 2 << "abc";
    QTest::newRow("header row copied along") << "Loop1\tLoop2\n1\t2\n" << "0,0|1,2" << 2 << 1 << 1 << "Loop1";
}

void LoopsTest::blockParser()
{
    QFETCH(QString, text);
    QFETCH(QString, rows);
    QFETCH(int, width);
    QFETCH(int, badRow);
    QFETCH(int, badColumn);
    QFETCH(QString, badText);
    const CountBlock block = ::parseCountBlock(text);
    QCOMPARE(blockRows(block), rows);
    QCOMPARE(block.width, width);
    QCOMPARE(block.badRow, badRow);
    QCOMPARE(block.badColumn, badColumn);
    QCOMPARE(block.badText, badText);
    QVERIFY(!block.tooManyRows);
}

void LoopsTest::blockParserStopsPastTheLargestGrid()
{
    QString text;
    for (int r = 0; r < kMaxDeviceRows + 5; ++r)
        text += (r == kMaxDeviceRows + 2 ? "bad" : "1") + QString("\t2\n");
    const CountBlock block = ::parseCountBlock(text);
    QVERIFY(block.tooManyRows);
    QCOMPARE(block.rows.size(), kMaxDeviceRows);
    QVERIFY(!block.hasBadCell());  // rows past the largest grid are not read
}

void LoopsTest::countInputNormalised_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("pos");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("posAfter");
    QTest::newRow("already a count") << "42" << 2 << "42" << 2;
    QTest::newRow("lone zero stays") << "0" << 1 << "0" << 1;
    QTest::newRow("007 gives 7") << "007" << 3 << "7" << 1;
    QTest::newRow("00 gives 0") << "00" << 2 << "0" << 1;
    QTest::newRow("0 typed before 5") << "05" << 1 << "5" << 0;
    QTest::newRow("blanks dropped") << " 4 1 " << 4 << "41" << 2;
    QTest::newRow("empty stays empty") << "" << 0 << "" << 0;
    QTest::newRow("letters are left to the validator") << "0a" << 2 << "a" << 1;
}

void LoopsTest::countInputNormalised()
{
    QFETCH(QString, input);
    QFETCH(int, pos);
    QFETCH(QString, output);
    QFETCH(int, posAfter);
    ::normaliseCountInput(input, pos);
    QCOMPARE(input, output);
    QCOMPARE(pos, posAfter);
}

void LoopsTest::tabOrderFromPanelBox_data()
{
    QTest::addColumn<QString>("panelName");
    QTest::addColumn<int>("loops");
    QTest::newRow("no panel: panel box, then Calculate") << "" << 0;
    QTest::newRow("1 loop") << "QP-110 (1 loop)" << 1;
    QTest::newRow("2 loops") << "QP-220 (2 loops)" << 2;
    QTest::newRow("16 loops") << "QP-1640 (16 loops)" << 16;
}

void LoopsTest::tabOrderFromPanelBox()
{
    QFETCH(QString, panelName);
    QFETCH(int, loops);
    MemoryWindow w(sampleCatalogue());
    QVERIFY(showOnTab(*w, 1));
    if (!panelName.isEmpty())
        choosePanel(*w, panelName);
    const QStringList expected = expectedStops(loops, 17);

    w->panelComboBox->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w->panelComboBox));
    QStringList reached{focusName(*w, QApplication::focusWidget())};
    for (int n = 1; n < expected.size(); ++n) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << focusName(*w, QApplication::focusWidget());
    }
    QCOMPARE(reached, expected);

    QStringList back{reached.last()};
    for (int n = 1; n < expected.size(); ++n) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        back << focusName(*w, QApplication::focusWidget());
    }
    std::reverse(back.begin(), back.end());
    QCOMPARE(back, expected);
}

void LoopsTest::tabIntoFieldSelectsItsText()
{
    MemoryWindow w(sampleCatalogue());
    QVERIFY(showOnTab(*w, 1));
    choosePanel(*w, "QP-220 (2 loops)");
    w->deviceCountEdits[0][1]->setText("42");
    w->deviceCountEdits[0][0]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w->deviceCountEdits[0][0], Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w->deviceCountEdits[0][1]));
    QCOMPARE(w->deviceCountEdits[0][1]->selectedText(), QString("42"));
    QTest::keyClicks(w->deviceCountEdits[0][1], "7");
    QCOMPARE(w->deviceCountEdits[0][1]->text(), QString("7"));
}

void LoopsTest::arrowKeysMoveInTheGrid_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("loop");
    QTest::addColumn<int>("toRow");
    QTest::addColumn<int>("toLoop");
    QTest::newRow("down") << int(Qt::Key_Down) << 3 << 1 << 4 << 1;
    QTest::newRow("up") << int(Qt::Key_Up) << 3 << 1 << 2 << 1;
    QTest::newRow("up in the first row stays") << int(Qt::Key_Up) << 0 << 1 << 0 << 1;
    QTest::newRow("down in the last row stays") << int(Qt::Key_Down) << 16 << 0 << 16 << 0;
    QTest::newRow("right past the end of the text") << int(Qt::Key_Right) << 3 << 0 << 3 << 1;
    QTest::newRow("left before the start of the text") << int(Qt::Key_Left) << 3 << 1 << 3 << 0;
    QTest::newRow("left in the first loop stays") << int(Qt::Key_Left) << 3 << 0 << 3 << 0;
}

void LoopsTest::arrowKeysMoveInTheGrid()
{
    QFETCH(int, key);
    QFETCH(int, row);
    QFETCH(int, loop);
    QFETCH(int, toRow);
    QFETCH(int, toLoop);
    MemoryWindow w(sampleCatalogue());
    QVERIFY(showOnTab(*w, 1));
    choosePanel(*w, "QP-220 (2 loops)");
    QLineEdit *from = w->deviceCountEdits[row][loop];
    from->setFocus(Qt::MouseFocusReason);
    // The cursor at the end for Right, at the start for Left: within the text the keys move it.
    from->setCursorPosition(key == Qt::Key_Left ? 0 : from->text().size());
    QTest::keyClick(from, Qt::Key(key));
    QLineEdit *to = w->deviceCountEdits[toRow][toLoop];
    QCOMPARE(focusName(*w, QApplication::focusWidget()), focusName(*w, to));
    if (to != from) {
        QCOMPARE(to->selectedText(), QString("0"));
        QCOMPARE(w->deviceTable->currentIndex(), w->deviceTable->model()->index(toRow, toLoop + 2));
    }
}

void LoopsTest::clickThenTyping_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("clickAt");  // -1 left edge, 1 right edge of the field
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("after");
    QTest::newRow("click after 0, type 12") << "0" << 1 << "12" << "12";
    QTest::newRow("click before 0, type 5") << "0" << -1 << "5" << "5";
    QTest::newRow("click on 42, type 7") << "42" << 1 << "7" << "7";
    QTest::newRow("type 007") << "0" << 1 << "007" << "7";
    QTest::newRow("type 1000 stops at 100") << "0" << 1 << "1000" << "100";
    QTest::newRow("letters refused") << "0" << 1 << "ab" << "0";
}

void LoopsTest::clickThenTyping()
{
    QFETCH(QString, before);
    QFETCH(int, clickAt);
    QFETCH(QString, keys);
    QFETCH(QString, after);
    MemoryWindow w(sampleCatalogue());
    QVERIFY(showOnTab(*w, 1));
    choosePanel(*w, "QP-220 (2 loops)");
    QLineEdit *edit = w->deviceCountEdits[2][1];
    edit->setText(before);
    QTRY_VERIFY(edit->width() > 0);
    const QPoint at(clickAt < 0 ? 2 : edit->width() - 3, edit->height() / 2);
    QTest::mouseClick(edit, Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(edit));
    QTest::keyClicks(edit, keys);
    QCOMPARE(edit->text(), after);
}

void LoopsTest::digitOverZeroReplacesIt()
{
    // The field already has the focus and the cursor stands after the 0, as after a second click.
    MemoryWindow w(sampleCatalogue());
    QVERIFY(showOnTab(*w, 1));
    choosePanel(*w, "QP-220 (2 loops)");
    QLineEdit *edit = w->deviceCountEdits[1][0];
    edit->setFocus();
    edit->deselect();
    edit->setCursorPosition(1);
    QTest::keyClick(edit, Qt::Key_4);
    QCOMPARE(edit->text(), QString("4"));
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(edit->text(), QString("0"));
}

void LoopsTest::pasteBlock_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("loop");
    QTest::addColumn<QStringList>("counts");  // rows 0 to 3 of the 2 loops afterwards
    QTest::addColumn<QString>("message");

    const QStringList untouched{"0,0", "0,0", "0,0", "0,0"};
    QTest::newRow("fitting block") << "1\t2\n3\t4\n" << 1 << 0 << QStringList({"0,0", "1,2", "3,4", "0,0"}) << "";
    QTest::newRow("one cell with its line break") << "41\n" << 0 << 1 << QStringList({"0,41", "0,0", "0,0", "0,0"})
                                                  << "";
    QTest::newRow("CR LF line ends") << "5\t6\r\n7\t8\r\n" << 0 << 0 << QStringList({"5,6", "7,8", "0,0", "0,0"})
                                     << "";
    QTest::newRow("no trailing line break") << "9\n9" << 2 << 1 << QStringList({"0,0", "0,0", "0,9", "0,9"}) << "";
    QTest::newRow("semicolon separated") << "11;12\n" << 3 << 0 << QStringList({"0,0", "0,0", "0,0", "11,12"})
                                         << "";
    QTest::newRow("empty cell writes 0, padded cell trimmed") << " 3 \t\n" << 0 << 0
                                                              << QStringList({"3,0", "0,0", "0,0", "0,0"}) << "";
    QTest::newRow("too wide")
        << "1\t2\n" << 0 << 1 << untouched
        << "Nothing was pasted: the copied block has 1 row and 2 columns, but from this field the grid has room for "
           "17 rows and 1 column.";
    QTest::newRow("too long")
        << "1\n2\n3\n" << 15 << 0 << untouched
        << "Nothing was pasted: the copied block has 3 rows and 1 column, but from this field the grid has room for "
           "2 rows and 2 columns.";
    QTest::newRow("bad cell")
        << "1\t2\n3\tfour\n" << 0 << 0 << untouched
        << "Nothing was pasted: the cell in row 2, column 2 of the copied block holds \"four\", which is not a whole "
           "number from 0 to 999.";
    QTest::newRow("bad cell in a block that is also too wide")
        << "1\t2\t3\n1000\t0\t0\n" << 0 << 0 << untouched
        << "Nothing was pasted: the cell in row 2, column 1 of the copied block holds \"1000\", which is not a whole "
           "number from 0 to 999.";
    QTest::newRow("empty clipboard") << "" << 0 << 0 << untouched << "";
}

void LoopsTest::pasteBlock()
{
    QFETCH(QString, clipboard);
    QFETCH(int, row);
    QFETCH(int, loop);
    QFETCH(QStringList, counts);
    QFETCH(QString, message);
    MemoryWindow w(sampleCatalogue());
    QVERIFY(showOnTab(*w, 1));
    seam->clear();
    choosePanel(*w, "QP-220 (2 loops)");
    QApplication::clipboard()->setText(clipboard);
    QLineEdit *target = w->deviceCountEdits[row][loop];
    QSignalSpy changed(w->deviceCountEdits[1][1], &QLineEdit::textChanged);
    target->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(countTexts(*w, 4, 2), counts);
    QCOMPARE(seam->texts().join(" // "), message);
    if (!message.isEmpty())
        QCOMPARE(seam->messages[0].title, QString("Warning"));
    // A changed field reports it as typing does.
    QCOMPARE(changed.count(), counts.value(1).section(',', 1) == "0" ? 0 : 1);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(target));
}

void LoopsTest::pasteIsUndoneAsOneStep()
{
    MemoryWindow w(sampleCatalogue());
    QVERIFY(showOnTab(*w, 1));
    seam->clear();
    choosePanel(*w, "QP-220 (2 loops)");
    w->deviceCountEdits[1][1]->setText("9");
    QLineEdit *target = w->deviceCountEdits[0][0];
    target->setFocus(Qt::TabFocusReason);
    QApplication::clipboard()->setText("1\t2\n3\t4\n");
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(countTexts(*w, 3, 2), QStringList({"1,2", "3,4", "0,0"}));
    QTest::keyClick(target, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(countTexts(*w, 3, 2), QStringList({"0,0", "0,9", "0,0"}));
    QTest::keyClick(target, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(countTexts(*w, 3, 2), QStringList({"1,2", "3,4", "0,0"}));

    // Typing after a paste: undo goes back field by field, and the paste stays.
    QLineEdit *other = w->deviceCountEdits[2][0];
    other->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(other, "5");
    QTest::keyClick(other, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(countTexts(*w, 3, 2), QStringList({"1,2", "3,4", "0,0"}));
    QVERIFY(seam->messages.isEmpty());
}

void LoopsTest::copyCountsForASpreadsheet()
{
    MemoryWindow w(sampleCatalogue());
    choosePanel(*w, "QP-220 (2 loops)");
    w->deviceCountEdits[0][0]->setText("12");
    w->deviceCountEdits[1][1]->setText("3");
    w->deviceCountEdits[16][0]->setText("");
    QAction *copy = nullptr;
    for (QAction *a : w->findChildren<QAction *>())
        if (a->text() == "Copy counts")
            copy = a;
    QVERIFY(copy);
    QVERIFY(w->deviceTable->actions().contains(copy));
    copy->trigger();
    const QStringList lines = QApplication::clipboard()->text().split('\n');
    QCOMPARE(lines.size(), 1 + 17 + 1);
    QCOMPARE(lines[0], QString("Name\tType\tLoop1\tLoop2"));
    QCOMPARE(lines[1], QString("OPT-100\tDetector\t12\t0"));
    QCOMPARE(lines[2], QString("OPT-100I\tDetector\t0\t3"));
    QCOMPARE(lines[17], QString("SBC-90\tSounder\t\t0"));
    QCOMPARE(lines[18], QString());  // the text ends in a line break
}

void LoopsTest::accessibleNames_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("loop");
    QTest::addColumn<QString>("name");
    QTest::newRow("first row, loop 1") << 0 << 0 << "Loop 1, OPT-100";
    QTest::newRow("second row of a device") << 1 << 0 << "Loop 1, OPT-100I";
    QTest::newRow("loop 16") << 2 << 15 << "Loop 16, OUT-1";
    QTest::newRow("last row") << 16 << 7 << "Loop 8, SBC-90";
}

void LoopsTest::accessibleNames()
{
    QFETCH(int, row);
    QFETCH(int, loop);
    QFETCH(QString, name);
    MemoryWindow w(sampleCatalogue());
    // Fields of kept columns and pooled ones mixed: 4 loops, then 16.
    choosePanel(*w, "QP-420 (4 loops)");
    choosePanel(*w, "QP-1640 (16 loops)");
    QCOMPARE(accessibleName(w->deviceCountEdits[row][loop]), name);
    QCOMPARE(accessibleName(w->cableComboBoxes[loop]), QString("Loop %1 cable").arg(loop + 1));
}

void LoopsTest::oneCableForEveryLoop()
{
    MemoryWindow w(sampleCatalogue());
    choosePanel(*w, "QP-420 (4 loops)");
    QComboBox *box = w->cableComboBoxes[2];
    QCOMPARE(box->contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(box->actions().size(), 1);
    QAction *everyLoop = box->actions()[0];
    QCOMPARE(everyLoop->text(), QString("Use this cable for every loop"));
    QVERIFY(!everyLoop->isEnabled());  // nothing chosen yet
    box->setCurrentIndex(box->findText("STP 2x0.8mm"));
    QVERIFY(everyLoop->isEnabled());
    everyLoop->trigger();
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(w->cableComboBoxes[i]->currentText(), QString("STP 2x0.8mm"));
        QCOMPARE(loopState.loopCableNames[i], QString("STP 2x0.8mm"));
        QCOMPARE(loopState.loopCableCaptions[i], QString("Loop%1:STP 2x0.8mm").arg(i + 1));
        QCOMPARE(loopState.loopCableResistance[i], 36.6f);
    }
}

QTEST_MAIN(LoopsTest)
#include "test_loops.moc"
