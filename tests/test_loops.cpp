#include "app/main_window.h"
#include "loops/count_block.h"
#include "loops/count_field_pool.h"
#include "loops/loop_indexes.h"
#include "loops/loop_state.h"
#include "recording_seam.h"
#include "test_catalogues.h"
#include "window_checks.h"

#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
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
            // Only the field with the focus shows its whole text selected, as a spreadsheet cell does.
            const bool stray = edit->hasSelectedText() && !(edit->hasFocus() && edit->selectedText() == edit->text());
            QVERIFY2(!edit->isModified() && !edit->isUndoAvailable() && !stray,
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
    void wheelOverBox();
    void blockParser_data();
    void blockParser();
    void tabOrderFromPanelBox_data();
    void tabOrderFromPanelBox();
    void keysAndPasteInTheGrid_data();
    void keysAndPasteInTheGrid();

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
    QTest::newRow("empty while typing") << "" << int(QValidator::Intermediate);
    QTest::newRow("0") << "0" << int(QValidator::Acceptable);
    QTest::newRow("7") << "7" << int(QValidator::Acceptable);
    QTest::newRow("42") << "42" << int(QValidator::Acceptable);
    QTest::newRow("999") << "999" << int(QValidator::Acceptable);
    QTest::newRow("leading zero 012 dropped") << "012" << int(QValidator::Acceptable);
    QTest::newRow("leading zeros 00 give 0") << "00" << int(QValidator::Acceptable);
    QTest::newRow("four digits 1000") << "1000" << int(QValidator::Invalid);
    QTest::newRow("negative -1") << "-1" << int(QValidator::Invalid);
    QTest::newRow("letter a") << "a" << int(QValidator::Invalid);
    QTest::newRow("leading blank dropped") << " 1" << int(QValidator::Acceptable);
    QTest::newRow("decimal 1.5") << "1.5" << int(QValidator::Invalid);
}

void LoopsTest::countValidator()
{
    QFETCH(QString, input);
    QFETCH(int, state);
    MemoryWindow w(sampleCatalogue());
    choosePanel(*w, "QP-220 (2 loops)");
    const QValidator *validator = w->deviceCountEdits[0][0]->validator();
    QVERIFY(qobject_cast<const QRegExpValidator *>(validator));
    // One validator for every field of the call.
    QCOMPARE(w->deviceCountEdits[16][1]->validator(), validator);
    int pos = input.size();
    QCOMPARE(int(validator->validate(input, pos)), state);
    if (state == QValidator::Acceptable)
        QCOMPARE(input, QString::number(input.toInt()));  // kept as a plain count
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
    const int typed = int(Touch::TypedCount), retyped = int(Touch::RetypedZero), selected = int(Touch::SelectedZero);
    QTest::newRow("count in a removed column, back to 4 loops")
        << QStringList({"QP-220 (2 loops)", "QP-420 (4 loops)"}) << 3 << typed << 4;
    QTest::newRow("count, blank entry, back to 4 loops") << QStringList({"", "QP-420 (4 loops)"}) << 2 << typed << 4;
    QTest::newRow("count in a kept column, 8 loops") << QStringList({"QP-840 (8 loops)"}) << 1 << typed << 8;
    QTest::newRow("count, other panel of the same size") << QStringList({"QP-440 HP (4 loops)"}) << 0 << typed << 4;
    QTest::newRow("count, unknown panel text") << QStringList({"?"}) << 3 << typed << 4;
    QTest::newRow("retyped zero, unknown panel text") << QStringList({"?"}) << 1 << retyped << 4;
    QTest::newRow("retyped zero in a removed column") << QStringList({"QP-110 (1 loop)", "QP-420 (4 loops)"}) << 2
                                                      << retyped << 4;
    QTest::newRow("selected zero, same size") << QStringList({"QP-440 HP (4 loops)"}) << 2 << selected << 4;
    QTest::newRow("count, 16, 2, then 16 again")
        << QStringList({"QP-1640 (16 loops)", "QP-220 (2 loops)", "QP-1640 (16 loops)"}) << 3 << typed << 16;
    QTest::newRow("count, 16 then 1 loop") << QStringList({"QP-1640 (16 loops)", "QP-110 (1 loop)"}) << 0 << typed << 1;
}

void LoopsTest::touchedFieldNeverComesBack()
{
    QFETCH(QStringList, panels);
    QFETCH(int, loop);
    QFETCH(int, how);
    QFETCH(int, loops);
    MemoryWindow w(sampleCatalogue());
    choosePanel(*w, "QP-420 (4 loops)");
    QLineEdit *edit = w->deviceCountEdits[5][loop];
    touch(edit, Touch(how));
    if (Touch(how) != Touch::SelectedZero)
        QVERIFY(edit->isModified());
    const QString text = edit->text();
    // The panel box keeps a loop's counts while every panel chosen has that loop: in a new field.
    const bool carried = std::all_of(panels.begin(), panels.end(), [loop](const QString &name) {
        return name.section('(', 1).section(' ', 0, 0).toInt() > loop;
    });

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

    // Text put into a pooled field stays out of the state, the next grid and the results.
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
    // The slots start every loop afresh; the panel box puts back what loops held (panelChangeKeepsLoops).
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
    // 1); then the panel box changes from `from` to `to`. asked: the question, if any.
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QList<int>>("cables");
    QTest::addColumn<QList<int>>("counts");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QString>("asked");
    const QString p1 = "QP-110 (1 loop)", p2 = "QP-220 (2 loops)", p4 = "QP-420 (4 loops)", p8 = "QP-840 (8 loops)";
    const auto ok = QMessageBox::Ok, cancel = QMessageBox::Cancel;
    QTest::newRow("to more loops") << p4 << p8 << QList<int>{1, 4} << QList<int>{2, 4} << ok << "";
    QTest::newRow("to fewer, the loops removed empty") << p8 << p4 << QList<int>{1, 2} << QList<int>{4} << ok << "";
    QTest::newRow("to fewer, counts removed, Ok")
        << p8 << p2 << QList<int>{1} << QList<int>{2, 5, 7} << ok << "Remove the cable and counts of Loop5, Loop7?";
    QTest::newRow("to fewer, a cable removed, Ok")
        << p4 << p2 << QList<int>{1, 3} << QList<int>{} << ok << "Remove the cable and counts of Loop3?";
    QTest::newRow("to fewer, Cancel")
        << p8 << p1 << QList<int>{1, 8} << QList<int>{1, 2} << cancel << "Remove the cable and counts of Loop2, Loop8?";
    QTest::newRow("to the blank entry, Cancel")
        << p2 << "" << QList<int>{} << QList<int>{1} << cancel << "Remove the cable and counts of Loop1?";
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
        QCOMPARE(seam->questions[0].defaultButton, QMessageBox::Cancel);
    }
    if (answer == QMessageBox::Cancel) {
        // The old panel, with everything as it was: not even rebuilt.
        QCOMPARE(w->panelComboBox->currentText(), from);
        QCOMPARE(loopState.selectedPanelName, from);
        QCOMPARE(w->cableComboBoxes[0], firstBox);
        QVERIFY(w->currentProject() == before);
        return;
    }
    const int toLoops = loopState.loopCount;
    QCOMPARE(loopState.selectedPanelName, to);
    for (int i = 0; i < toLoops; ++i) {
        const bool kept = i < fromLoops;
        const QString expectedCable = kept && cables.contains(i + 1) ? cable : QString();
        QCOMPARE(w->cableComboBoxes[i]->currentText(), expectedCable);
        QCOMPARE(loopState.loopCableNames[i], expectedCable);
        const QString expectedCount = kept && counts.contains(i + 1) ? QString::number(41 + i) : QString("0");
        QCOMPARE(w->deviceCountEdits[3][i]->text(), expectedCount);
        QCOMPARE(w->deviceCountEdits[5][i]->text(), kept && i == fromLoops - 1 ? QString() : QString("0"));
    }
}

// A wheel over a box without the focus leaves the box alone and scrolls the table under it.
void LoopsTest::wheelOverBox()
{
    MemoryWindow w(sampleCatalogue());
    QVERIFY(showOnTab(*w, 1));
    choosePanel(*w, "QP-1640 (16 loops)");
    QScrollBar *scroll = w->cableTable->verticalScrollBar();
    QTRY_VERIFY2(scroll->maximum() > 0, "16 cable rows must not fit the table");
    w->cableComboBoxes[1]->setCurrentIndex(2);
    w->calculateButton->setFocus();
    QTRY_VERIFY(w->calculateButton->hasFocus());
    for (QComboBox *box : {w->cableComboBoxes[1], w->panelComboBox}) {
        const int index = box->currentIndex();
        const int scrolled = scroll->value();
        // Spontaneous, as the window system delivers it, so that Qt hands it to the parents.
        const QPointF centre = QRectF(box->rect()).center();
        QWheelEvent wheel(centre, QPointF(box->mapToGlobal(centre.toPoint())), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QSpontaneKeyEvent::setSpontaneous(&wheel);
        qApp->notify(box, &wheel);
        QCOMPARE(box->currentIndex(), index);
        QVERIFY(!box->hasFocus());
        if (box != w->panelComboBox)
            QVERIFY(scroll->value() > scrolled);
    }
    QCOMPARE(loopState.loopCount, 16);
}

using CountRows = QVector<QVector<int>>;

void LoopsTest::blockParser_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<CountRows>("rows");
    QTest::addColumn<QString>("bad");  // "row,column text" of the first bad cell; or rows left unread
    QTest::newRow("one copied cell, with its line break") << "41\n" << CountRows{{41}} << "";
    QTest::newRow("tab block, CR LF line ends") << "1\t2\r\n3\t4\r\n" << CountRows{{1, 2}, {3, 4}} << "";
    QTest::newRow("CR line ends") << "5\r6\r" << CountRows{{5}, {6}} << "";
    QTest::newRow("rows of different length, no trailing break") << "1\t2\t3\n4" << CountRows{{1, 2, 3}, {4}} << "";
    QTest::newRow("only one trailing line break is dropped") << "5\n\n" << CountRows{{5}, {0}} << "";
    QTest::newRow("empty cells count 0") << "\t5\n\t\n" << CountRows{{0, 5}, {0, 0}} << "";
    QTest::newRow("empty clipboard") << "" << CountRows{} << "";
    QTest::newRow("blanks and leading zeros dropped") << " 007\t010 \t0" << CountRows{{7, 10, 0}} << "";
    QTest::newRow("semicolon separated") << "1;2;3\n4;5;6\n" << CountRows{{1, 2, 3}, {4, 5, 6}} << "";
    QTest::newRow("comma separated") << "7,8\r\n9,10\r\n" << CountRows{{7, 8}, {9, 10}} << "";
    QTest::newRow("semicolons keep a decimal comma in its cell") << "1;2,5" << CountRows{{1, 0}} << "1,2 2,5";
    QTest::newRow("a tab makes semicolons part of a cell") << "1;2\t3" << CountRows{{0, 3}} << "1,1 1;2";
    QTest::newRow("header row copied along") << "Loop1\tLoop2\n1\t2\n" << CountRows{{0, 0}, {1, 2}} << "1,1 Loop1";
    QTest::newRow("1000 is too large") << "5\n1000\n" << CountRows{{5}, {0}} << "2,1 1000";
    QTest::newRow("negative") << "-1" << CountRows{{0}} << "1,1 -1";
    QTest::newRow("plus sign") << "+3" << CountRows{{0}} << "1,1 +3";
    const QString fullWidthFive = QString::fromUtf8("\xef\xbc\x95");
    QTest::newRow("full-width digit") << fullWidthFive << CountRows{{0}} << "1,1 " + fullWidthFive;
    QTest::newRow("first bad cell in reading order, trimmed") << "1\t2\n x \ty\n" << CountRows{{1, 2}, {0, 0}} << "2,1 x";
    QTest::newRow("rows past the largest grid are not read")
        << QString("1\n").repeated(kMaxDeviceRows + 2) + "x" << CountRows(kMaxDeviceRows, {1}) << "rows left unread";
}

void LoopsTest::blockParser()
{
    QFETCH(QString, text);
    QFETCH(CountRows, rows);
    QFETCH(QString, bad);
    const CountBlock block = ::parseCountBlock(text);
    QCOMPARE(block.rows, rows);
    QString problem = block.tooManyRows ? QString("rows left unread") : QString();
    if (block.hasBadCell())
        problem += QString("%1,%2 %3").arg(block.badRow).arg(block.badColumn).arg(block.badText);
    QCOMPARE(problem, bad);
}

// Tab from the panel box, and Shift+Tab back; each stop as a screen reader names it.
void LoopsTest::tabOrderFromPanelBox_data()
{
    QTest::addColumn<QString>("panelName");
    QTest::newRow("no panel: panel box, then Calculate") << "";
    QTest::newRow("2 loops") << "QP-220 (2 loops)";
    QTest::newRow("16 loops, after 4") << "QP-1640 (16 loops)";
}

void LoopsTest::tabOrderFromPanelBox()
{
    QFETCH(QString, panelName);
    MemoryWindow w(sampleCatalogue());
    QVERIFY(showOnTab(*w, 1));
    choosePanel(*w, "QP-420 (4 loops)");  // fields of kept columns and pooled ones mixed
    choosePanel(*w, panelName);
    const int loops = loopState.loopCount;
    QStringList expected{"panel"};
    for (int i = 1; i <= loops; ++i)
        expected << QString("Loop %1 cable").arg(i);
    for (int r = 0; loops > 0 && r < 17; ++r)
        for (int i = 1; i <= loops; ++i)
            expected << QString("Loop %1, %2").arg(i).arg(w->deviceTable->item(r, 0)->text());
    expected << "Calculate" << "calculation table";
    QVERIFY(loops < 2 || expected.contains("Loop 2, OPT-100I"));  // the second row's own name

    auto focusName = [&w](QWidget *widget) {
        if (widget == w->panelComboBox || widget == w->calculationTable)
            return QString(widget == w->panelComboBox ? "panel" : "calculation table");
        QAccessibleInterface *iface = widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
        return iface ? iface->text(QAccessible::Name) : QString("nothing");
    };
    w->panelComboBox->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w->panelComboBox));
    QStringList reached{"panel"}, back{"calculation table"};
    for (int n = 1; n < expected.size(); ++n) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << focusName(QApplication::focusWidget());
    }
    for (int n = 1; n < expected.size(); ++n) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        back.prepend(focusName(QApplication::focusWidget()));
    }
    QCOMPARE(reached, expected);
    QCOMPARE(back, expected);
}

// Real key events in the grid of QP-220, whose field in row 1, loop 2 holds 9. The field at
// (row, loop) gets the focus by a click near its left (-1) or right (1) edge, or by Tab (0).
void LoopsTest::keysAndPasteInTheGrid_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("loop");
    QTest::addColumn<int>("click");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("keys");    // key sequences separated by blanks
    QTest::addColumn<QString>("counts");  // rows 0 to 3 afterwards, "loop1,loop2|..."
    QTest::addColumn<QString>("message");
    const QString untouched = "0,0|0,9|0,0|0,0", pasted = "1,2|3,4|0,0|0,0";
    const QString block = "1\t2\n3\t4\n", room = "Nothing was pasted: the copied block has ";
    QTest::newRow("click after 0, type 12") << 2 << 0 << 1 << "" << "1 2" << "0,0|0,9|12,0|0,0" << "";
    QTest::newRow("click before 0, type 5") << 2 << 1 << -1 << "" << "5" << "0,0|0,9|0,5|0,0" << "";
    QTest::newRow("type 007") << 0 << 0 << 1 << "" << "0 0 7" << "7,0|0,9|0,0|0,0" << "";
    QTest::newRow("Tab selects the next field's text") << 1 << 0 << 0 << "" << "Tab 7" << "0,0|0,7|0,0|0,0" << "";
    QTest::newRow("Down") << 2 << 1 << 0 << "" << "Down 5" << "0,0|0,9|0,0|0,5" << "";
    QTest::newRow("Right past the end of the text") << 3 << 0 << 1 << "" << "End Right 5" << "0,0|0,9|0,0|0,5" << "";
    QTest::newRow("paste a fitting block") << 1 << 0 << 0 << block << "Ctrl+V" << "0,0|1,2|3,4|0,0" << "";
    QTest::newRow("paste CR LF, no trailing break") << 0 << 0 << 0 << "1\t2\r\n3\t4" << "Ctrl+V" << pasted << "";
    QTest::newRow("paste semicolon separated") << 3 << 0 << 0 << "11;12" << "Ctrl+V" << "0,0|0,9|0,0|11,12" << "";
    QTest::newRow("paste too wide") << 0 << 1 << 0 << block << "Ctrl+V" << untouched
        << room + "2 rows and 2 columns, but from this field the grid has room for 17 rows and 1 column.";
    QTest::newRow("paste too long") << 15 << 0 << 0 << "1\n2\n3\n" << "Ctrl+V" << untouched
        << room + "3 rows and 1 column, but from this field the grid has room for 2 rows and 2 columns.";
    QTest::newRow("paste a bad cell") << 0 << 0 << 0 << "1\t2\n3\tfour\n" << "Ctrl+V" << untouched
        << "Nothing was pasted: the cell in row 2, column 2 of the copied block holds \"four\", which is not a whole "
           "number from 0 to 999.";
    QTest::newRow("paste undone as one step") << 0 << 0 << 0 << block << "Ctrl+V Ctrl+Z" << untouched << "";
}

void LoopsTest::keysAndPasteInTheGrid()
{
    QFETCH(int, row);
    QFETCH(int, loop);
    QFETCH(int, click);
    QFETCH(QString, clipboard);
    QFETCH(QString, keys);
    QFETCH(QString, counts);
    QFETCH(QString, message);
    MemoryWindow w(sampleCatalogue());
    QVERIFY(showOnTab(*w, 1));
    choosePanel(*w, "QP-220 (2 loops)");
    w->deviceCountEdits[1][1]->setText("9");
    seam->clear();
    QApplication::clipboard()->setText(clipboard);
    QLineEdit *edit = w->deviceCountEdits[row][loop];
    if (click == 0)
        edit->setFocus(Qt::TabFocusReason);
    else if (QTest::qWaitFor([edit] { return edit->width() > 0; }))  // placed when the event loop runs
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(click < 0 ? 2 : edit->width() - 3, edit->height() / 2));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(edit));
    for (const QString &key : keys.split(' '))
        QTest::keySequence(QApplication::focusWidget(), QKeySequence(key));
    QStringList texts;
    for (int r = 0; r < 4; ++r)
        texts << w->deviceCountEdits[r][0]->text() + ',' + w->deviceCountEdits[r][1]->text();
    QCOMPARE(texts.join('|'), counts);
    QCOMPARE(seam->texts().join(" // "), message);
    QVERIFY(message.isEmpty() || seam->messages[0].title == "Warning");
}

QTEST_MAIN(LoopsTest)
#include "test_loops.moc"
