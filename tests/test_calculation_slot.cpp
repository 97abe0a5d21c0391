#include "app/main_window.h"
#include "app/ui_seam.h"
#include "loops/loop_state.h"
#include "recording_seam.h"
#include "test_catalogues.h"
#include "window_checks.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTableWidget>
#include <QtTest>
#include <functional>
#include <limits>
#include <memory>

namespace {

const QString kCable = QString::fromUtf8("FR 2x1.5mm²");
const QString kTick = QString(QChar(0x221A));
const QString kCross = QString(QChar(0x00D7));
const QChar kComma(0x3001);

// Calls back on every message, so a test can look at the window while the box would be open.
class SnoopingSeam final : public UiSeam {
public:
    explicit SnoopingSeam(std::function<void(const QString &)> onMessage) : onMessage(std::move(onMessage))
    {
        installUiSeam(this);
    }
    ~SnoopingSeam() override { installUiSeam(nullptr); }
    void message(QWidget *, MessageKind, const QString &, const QString &text, const QString &) override
    {
        onMessage(text);
    }
    QMessageBox::StandardButton question(QWidget *, const QString &, const QString &, QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton, const QString &) override
    {
        return buttons.testFlag(QMessageBox::Discard) ? QMessageBox::Discard : QMessageBox::Ok;
    }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    void openUrl(const QUrl &) override {}

private:
    std::function<void(const QString &)> onMessage;
};

}  // namespace

class CalculationSlotTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void noPanelWarnsOnceAndChangesNothing();
    void missingCablesWarnInOrderAndChangeNothing();
    void workedCases_data();
    void workedCases();
    void statusPresentation_data();
    void statusPresentation();
    void warningsOfSeveralLoopsInOrder();
    void currentWarningComesBetweenValueAndCountCells();
    void changeClearsThatLoopOnly_data();
    void changeClearsThatLoopOnly();
    void normalAfterOverloadedClearsMark();
    void countsStayInDevicesByKeyAndEmptyFieldsBecomeZero();
    void secondRowCountsUnderItsType();
    void noVoltageMarginShowsZeroLength_data();
    void noVoltageMarginShowsZeroLength();
    void resultsIgnoreGermanLocale();
    void unsoundCatalogueValuesGiveNoResult();

private:
    void start(const Catalogue &c);
    MainWindow &w() { return fixture->window(); }
    void choosePanel(const QString &name);
    void chooseCable(int loop, const QString &name = kCable);
    void chooseAllCables();
    void setCount(const QString &code, int loop, const QString &text, bool secondRow = false);
    QLineEdit *countEdit(const QString &code, int loop, bool secondRow = false);
    void calculate();

    std::unique_ptr<RecordingSeam> seam;
    std::unique_ptr<WindowFixture> fixture;
    QLocale savedLocale;
};

void CalculationSlotTest::init()
{
    savedLocale = QLocale();
    seam = std::make_unique<RecordingSeam>();
    start(sampleCatalogue());
}

void CalculationSlotTest::cleanup()
{
    fixture.reset();
    seam.reset();
    QLocale::setDefault(savedLocale);
    resetProcessState();
}

void CalculationSlotTest::start(const Catalogue &c)
{
    fixture.reset();
    fixture = std::make_unique<WindowFixture>(c);
    seam->clear();
}

void CalculationSlotTest::choosePanel(const QString &name)
{
    const int index = w().panelComboBox->findText(name);
    QVERIFY2(index > 0, qPrintable(name));
    w().panelComboBox->setCurrentIndex(index);
}

void CalculationSlotTest::chooseCable(int loop, const QString &name)
{
    QComboBox *box = w().cableComboBoxes[loop];
    QVERIFY(box);
    const int index = box->findText(name);
    QVERIFY2(index > 0, qPrintable(name));
    box->setCurrentIndex(index);
}

void CalculationSlotTest::chooseAllCables()
{
    for (int i = 0; i < loopState.loopCount; ++i)
        chooseCable(i);
}

QLineEdit *CalculationSlotTest::countEdit(const QString &code, int loop, bool secondRow)
{
    for (const DeviceRow &row : deviceRowOrder(loopState.devicesByKey, deviceGridRowCount(catalogue)))
        if (row.key == code && row.secondRow == secondRow)
            return w().deviceCountEdits[row.row][loop];
    return nullptr;
}

void CalculationSlotTest::setCount(const QString &code, int loop, const QString &text, bool secondRow)
{
    QLineEdit *edit = countEdit(code, loop, secondRow);
    QVERIFY2(edit, qPrintable(code));
    edit->setText(text);
}

void CalculationSlotTest::calculate()
{
    seam->clear();
    w().flushCalculation();
}

void CalculationSlotTest::noPanelWarnsOnceAndChangesNothing()
{
    const auto before = loopState.devicesByKey;
    calculate();
    QCOMPARE(seam->texts(), QStringList{"Please select panel model!"});
    QCOMPARE(seam->messages.first().kind, MessageKind::Warning);
    QCOMPARE(seam->messages.first().title, QString("Warning"));
    QCOMPARE(w().calculationTable->rowCount(), 0);
    QCOMPARE(loopState.devicesByKey.size(), before.size());
}

void CalculationSlotTest::missingCablesWarnInOrderAndChangeNothing()
{
    choosePanel("QP-840 (8 loops)");
    for (int i = 0; i < 8; ++i)
        if (i != 1 && i != 4)
            chooseCable(i);
    setCount("1", 0, "");
    setCount("9", 2, "5");
    w().commentLabels[0]->setText("earlier");
    calculate();
    QCOMPARE(seam->texts(), QStringList({"Loop2:Please select cable type!", "Loop5:Please select cable type!"}));
    QCOMPARE(countEdit("1", 0)->text(), QString());
    QCOMPARE(loopState.devicesByKey["9"].loopCounts[2], 0);
    QCOMPARE(w().commentLabels[0]->text(), QString("earlier"));
    for (int k = 0; k < 8; ++k) {
        QCOMPARE(cellText(w().calculationTable, k, 1), QString());
        QCOMPARE(cellText(w().summaryTable, k, 5), QString());
    }
}

void CalculationSlotTest::workedCases_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QStringList>("counts");  // code:n on loop 1
    QTest::addColumn<QStringList>("calculation");  // columns 1..4
    QTest::addColumn<QStringList>("summary");      // columns 1..9
    QTest::addColumn<QString>("comment");
    QTest::addColumn<QStringList>("warnings");

    const QStringList mix{"1:60", "5:10", "9:20", "13:2"};
    QTest::newRow("QP-220: normal, above the cap")
        << "QP-220 (2 loops)" << mix << QStringList{"29.9mA", "210.7mA", "2000m", kTick}
        << QStringList{"60", "0", "20", "12", "29.9mA", "210.7mA", "2000m", kCable, kTick} << "" << QStringList();
    const QString near = "Loop1:Loop current is exceed 80% to panel limit.";
    QTest::newRow("QP-110: above 80 %")
        << "QP-110 (1 loop)" << mix << QStringList{"29.9mA", "210.7mA", "1372.6m", kTick}
        << QStringList{"60", "0", "20", "12", "29.9mA", "210.7mA", "1372.6m", kCable, kTick} << near
        << QStringList{near};
    QTest::newRow("QP-110: exactly 80 % is normal")
        << "QP-110 (1 loop)" << QStringList{"9:20", "7:4"} << QStringList{"7.6mA", "200.0mA", "1446.3m", kTick}
        << QStringList{"0", "0", "24", "0", "7.6mA", "200.0mA", "1446.3m", kCable, kTick} << "" << QStringList();
    const QString over = "Loop1:Panel can't supply required loop current.";
    QTest::newRow("QP-110: exactly 100 % is overloaded")
        << "QP-110 (1 loop)" << QStringList{"12:25", "7:5"} << QStringList{"10.7mA", "250.0mA", "1157.0m", kCross}
        << QStringList{"0", "0", "30", "0", "10.7mA", "250.0mA", "1157.0m", kCable, kCross} << over
        << QStringList{over};
    // A left-out loop shows no figure and no state; its comment line gives the reason.
    const QString tooMany = "Loop1:Max number of devices should be less than or equal to 126.";
    QTest::newRow("QP-110: 127 devices are excluded")
        << "QP-110 (1 loop)" << QStringList{"1:100", "5:20", "13:7"} << QStringList{"", "", "", ""}
        << QStringList{"", "", "", "", "", "", "", kCable, ""} << tooMany << QStringList{tooMany};
    const QString restricted = QString("Loop1:The sum of the number of SND-70") + kComma + "VAD-80" + kComma
                               + "SBC-90 should be less than or equal to 32";
    QTest::newRow("QP-220: 33 restricted devices are excluded")
        << "QP-220 (2 loops)" << QStringList{"7:12", "8:10", "9:11", "1:40"} << QStringList{"", "", "", ""}
        << QStringList{"", "", "", "", "", "", "", kCable, ""} << restricted << QStringList{restricted};
    QTest::newRow("QP-220: both checks exclude")
        << "QP-220 (2 loops)" << QStringList{"7:33", "1:100"} << QStringList{"", "", "", ""}
        << QStringList{"", "", "", "", "", "", "", kCable, ""} << restricted + "\n" + tooMany
        << QStringList{restricted, tooMany};
}

void CalculationSlotTest::workedCases()
{
    QFETCH(QString, panel);
    QFETCH(QStringList, counts);
    QFETCH(QStringList, calculation);
    QFETCH(QStringList, summary);
    QFETCH(QString, comment);
    QFETCH(QStringList, warnings);

    choosePanel(panel);
    chooseAllCables();
    // An earlier valid run, whose figures and state must not outlive it.
    setCount("1", 0, "10");
    calculate();
    setCount("1", 0, "0");
    for (const QString &pair : counts)
        setCount(pair.section(':', 0, 0), 0, pair.section(':', 1, 1));
    calculate();

    QCOMPARE(seam->texts(), warnings);
    for (int c = 1; c <= 4; ++c)
        QCOMPARE(cellText(w().calculationTable, 0, c), calculation.at(c - 1));
    for (int c = 1; c <= 9; ++c)
        QCOMPARE(cellText(w().summaryTable, 0, c), summary.at(c - 1));
    QCOMPARE(w().commentLabels[0]->text(), comment);
}

void CalculationSlotTest::statusPresentation_data()
{
    QTest::addColumn<QString>("count");  // BSN-12, 9 mA each, on a 500 mA panel
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("comment");

    QTest::newRow("normal: green tick") << "44" << kTick << QColor(0x00, 0xFF, 0x00) << "";
    QTest::newRow("480 mA near limit: yellow tick")
        << "" << kTick << QColor(0xFF, 0xFF, 0x00) << "Loop2:Loop current is exceed 80% to panel limit.";
    QTest::newRow("over the limit: red cross")
        << "56" << kCross << QColor(0xFF, 0x00, 0x00) << "Loop2:Panel can't supply required loop current.";
}

void CalculationSlotTest::statusPresentation()
{
    QFETCH(QString, count);
    QFETCH(QString, symbol);
    QFETCH(QColor, colour);
    QFETCH(QString, comment);

    choosePanel("QP-440 HP (4 loops)");
    chooseAllCables();
    if (count.isEmpty()) {
        setCount("14", 1, "20");  // 20 x 24 mA = 480 mA
    } else {
        setCount("12", 1, count);
    }
    calculate();

    QCOMPARE(w().commentLabels[1]->text(), comment);
    QCOMPARE(seam->texts(), comment.isEmpty() ? QStringList() : QStringList{comment});
    QTableWidgetItem *alarm = w().calculationTable->item(1, 2);
    QTableWidgetItem *state = w().calculationTable->item(1, 4);
    QTableWidgetItem *summaryState = w().summaryTable->item(1, 9);
    QVERIFY(alarm && state && summaryState);
    QCOMPARE(state->text(), symbol);
    QCOMPARE(summaryState->text(), symbol);
    for (QTableWidgetItem *item : {alarm, state}) {
        QCOMPARE(item->background().style(), Qt::SolidPattern);
        QCOMPARE(item->background().color(), colour);
    }
    // The Summary tab marks the state as the Calculation tab does; its alarm cell stays plain.
    QCOMPARE(summaryState->background().style(), Qt::SolidPattern);
    QCOMPARE(summaryState->background().color(), colour);
    QVERIFY(!w().summaryTable->item(1, 6)->data(Qt::BackgroundRole).isValid());
    for (QTableWidgetItem *item : {state, summaryState}) {
        QCOMPARE(item->font().family(), QString("SimSum"));
        QCOMPARE(item->font().pointSize(), 16);
        QVERIFY(!item->font().bold());
        QVERIFY(!item->font().italic());
    }
    QVERIFY(!alarm->data(Qt::FontRole).isValid());
    QVERIFY(!w().summaryTable->item(1, 5)->data(Qt::FontRole).isValid());
    // the other loops are normal
    QCOMPARE(w().calculationTable->item(0, 4)->background().color(), QColor(0x00, 0xFF, 0x00));
}

void CalculationSlotTest::warningsOfSeveralLoopsInOrder()
{
    choosePanel("QP-440 HP (4 loops)");
    chooseAllCables();
    setCount("14", 3, "21");   // loop 4: 504 mA, overloaded
    setCount("7", 0, "33");    // loop 1: restricted sum over 32
    setCount("12", 2, "45");   // loop 3: 405 mA, above 80 %
    setCount("1", 1, "200");   // loop 2: 251 devices over 250
    setCount("13", 1, "51");
    setCount("7", 1, "40");    // loop 2 also over the restricted sum
    calculate();

    const QString sum = QString("The sum of the number of SND-70") + kComma + "VAD-80" + kComma
                        + "SBC-90 should be less than or equal to 32";
    QCOMPARE(seam->texts(), QStringList({"Loop1:" + sum, "Loop2:" + sum,
                                         "Loop2:Max number of devices should be less than or equal to 250.",
                                         "Loop3:Loop current is exceed 80% to panel limit.",
                                         "Loop4:Panel can't supply required loop current."}));
    QCOMPARE(cellText(w().calculationTable, 0, 1), QString());
    QCOMPARE(cellText(w().calculationTable, 1, 1), QString());
    QCOMPARE(cellText(w().calculationTable, 2, 2), QString("405.0mA"));
    QCOMPARE(cellText(w().calculationTable, 3, 2), QString("504.0mA"));
    QCOMPARE(w().commentLabels[0]->text(), "Loop1:" + sum);
    QCOMPARE(w().commentLabels[1]->text(),
             "Loop2:" + sum + "\nLoop2:Max number of devices should be less than or equal to 250.");
    QCOMPARE(w().commentLabels[2]->text(), QString("Loop3:Loop current is exceed 80% to panel limit."));
    QCOMPARE(w().commentLabels[3]->text(), QString("Loop4:Panel can't supply required loop current."));
}

void CalculationSlotTest::currentWarningComesBetweenValueAndCountCells()
{
    choosePanel("QP-440 HP (4 loops)");
    chooseAllCables();
    setCount("14", 1, "21");
    QStringList seen;
    SnoopingSeam snoop([&](const QString &text) {
        seen << text << cellText(w().calculationTable, 1, 3) << cellText(w().calculationTable, 1, 4)
             << cellText(w().summaryTable, 1, 9) << w().commentLabels[1]->text()
             << cellText(w().summaryTable, 1, 1) << cellText(w().summaryTable, 1, 8)
             << cellText(w().summaryTable, 2, 5);
    });
    w().flushCalculation();
    const QString over = "Loop2:Panel can't supply required loop current.";
    // value, state and comment already written; counts, cable and the next loop not yet
    QCOMPARE(seen, QStringList({over, "1229.8m", kCross, kCross, over, "", "", ""}));
    QCOMPARE(cellText(w().summaryTable, 1, 4), QString("0"));
    QCOMPARE(cellText(w().summaryTable, 1, 2), QString("21"));
    QCOMPARE(cellText(w().summaryTable, 1, 8), kCable);
}

void CalculationSlotTest::changeClearsThatLoopOnly_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("cleared");  // the loop whose results go; -1 none, 4 all
    QTest::newRow("count of loop 2") << "count" << 1;
    QTest::newRow("count typed again unchanged") << "same" << -1;
    QTest::newRow("empty field reads as the 0 it was") << "zero" << -1;
    QTest::newRow("cable of loop 2") << "cable" << 1;
    QTest::newRow("blank cable entry of loop 2") << "blank" << 1;
    QTest::newRow("count of loop 1, second row") << "second" << 0;
    QTest::newRow("project name") << "name" << -1;
    QTest::newRow("another panel") << "panel" << 4;
}

void CalculationSlotTest::changeClearsThatLoopOnly()
{
    QFETCH(QString, change);
    QFETCH(int, cleared);
    choosePanel("QP-420 (4 loops)");
    chooseAllCables();
    for (int loop = 0; loop < 4; ++loop)
        setCount("1", loop, QString::number(10 * (loop + 1)));
    setCount("12", 3, "40");  // loop 4 near its limit: a comment line to keep
    calculate();
    const auto row = [this](int k) {
        QStringList cells;
        for (int c = 1; c <= 9; ++c)
            cells << cellText(w().summaryTable, k, c);
        return cells;
    };
    const QStringList before[4] = {row(0), row(1), row(2), row(3)};
    const QString nearComment = w().commentLabels[3]->text();
    QVERIFY(!nearComment.isEmpty());
    seam->clear();

    if (change == "count" || change == "same")
        setCount("1", 1, change == "count" ? "11" : "20");
    else if (change == "zero")
        setCount("5", 1, "");
    else if (change == "second")
        setCount("1", 0, "4", true);
    else if (change == "cable")
        chooseCable(1, QString::fromUtf8("FR 2x2.5mm²"));
    else if (change == "blank")
        w().cableComboBoxes[1]->setCurrentIndex(0);
    else if (change == "name")
        w().projectNameEdit->setText("Another name");
    else
        choosePanel("QP-440 HP (4 loops)");
    QVERIFY(seam->messages.isEmpty());

    const QStringList blank{"", "", "", "", "", "", "", "", ""};
    for (int k = 0; k < 4; ++k) {
        const bool gone = cleared == k || cleared == 4;
        QCOMPARE(row(k), gone ? blank : before[k]);
        QCOMPARE(cellText(w().calculationTable, k, 2).isEmpty(), gone);
        const QString invitation = QString("Loop%1:Inputs changed since the last calculation. Press Calculate.");
        QCOMPARE(w().commentLabels[k]->text(),
                 !gone ? (k == 3 ? nearComment : QString()) : cleared < 4 ? invitation.arg(k + 1) : QString());
        QCOMPARE(w().calculation().hasFigures(k), !gone);  // what the battery and the sheet read
    }
}

void CalculationSlotTest::normalAfterOverloadedClearsMark()
{
    choosePanel("QP-110 (1 loop)");
    chooseAllCables();
    setCount("14", 0, "11");  // 264 mA of 250
    calculate();
    QCOMPARE(cellText(w().calculationTable, 0, 4), kCross);
    QCOMPARE(w().commentLabels[0]->text(), QString("Loop1:Panel can't supply required loop current."));

    setCount("14", 0, "2");
    calculate();
    QCOMPARE(seam->texts(), QStringList());
    QCOMPARE(cellText(w().calculationTable, 0, 4), kTick);
    QCOMPARE(cellText(w().summaryTable, 0, 9), kTick);
    QCOMPARE(w().calculationTable->item(0, 4)->background().color(), QColor(0x00, 0xFF, 0x00));
    QCOMPARE(w().calculationTable->item(0, 2)->background().color(), QColor(0x00, 0xFF, 0x00));
    QCOMPARE(w().commentLabels[0]->text(), QString());
}

void CalculationSlotTest::countsStayInDevicesByKeyAndEmptyFieldsBecomeZero()
{
    choosePanel("QP-840 (8 loops)");
    chooseAllCables();
    setCount("4", 7, "9");
    setCount("15", 0, "2");
    setCount("6", 0, "");
    calculate();
    QCOMPARE(countEdit("6", 0)->text(), QString("0"));
    QCOMPARE(loopState.devicesByKey["4"].loopCounts[7], 9);
    QCOMPARE(loopState.devicesByKey["15"].loopCounts[0], 2);
    QCOMPARE(cellText(w().summaryTable, 7, 1), QString("9"));
    QCOMPARE(cellText(w().summaryTable, 0, 2), QString("2"));
    QCOMPARE(cellText(w().summaryTable, 7, 8), kCable);
    QCOMPARE(cellText(w().calculationTable, 3, 2), QString("0.0mA"));
    QCOMPARE(cellText(w().calculationTable, 3, 3), QString("2000m"));
}

void CalculationSlotTest::secondRowCountsUnderItsType()
{
    QVERIFY(loopState.devicesByKey["1"].hasSecondRow);  // name.dat carries the second rows
    choosePanel("QP-220 (2 loops)");
    chooseAllCables();
    setCount("1", 1, "10");
    setCount("1", 1, "5", true);
    calculate();
    QCOMPARE(loopState.devicesByKey["1"].loopCounts[1], 10);
    QCOMPARE(loopState.devicesByKey["1"].secondRowLoopCounts[1], 5);
    QCOMPARE(cellText(w().summaryTable, 1, 1), QString("15"));
    QCOMPARE(cellText(w().summaryTable, 1, 5), QString("5.1mA"));
    QCOMPARE(cellText(w().summaryTable, 1, 6), QString("6.8mA"));
}

void CalculationSlotTest::noVoltageMarginShowsZeroLength_data()
{
    QTest::addColumn<float>("voltage");
    QTest::addColumn<QString>("count");

    QTest::newRow("equal to the minimum, no devices") << 17.0f << "0";
    QTest::newRow("equal to the minimum, devices") << 17.0f << "10";
    QTest::newRow("below the minimum, no devices") << 12.0f << "0";
    QTest::newRow("below the minimum, devices") << 12.0f << "10";
}

void CalculationSlotTest::noVoltageMarginShowsZeroLength()
{
    QFETCH(float, voltage);
    QFETCH(QString, count);

    Catalogue c = sampleCatalogue();
    c.panels[1].loopVoltage = voltage;  // QP-220
    start(c);
    choosePanel("QP-220 (2 loops)");
    chooseAllCables();
    w().calculationTable->setItem(0, 3, new QTableWidgetItem("stale"));
    setCount("1", 0, count);
    calculate();
    QCOMPARE(cellText(w().calculationTable, 0, 3), QString("0.0m"));
    QCOMPARE(cellText(w().summaryTable, 0, 7), QString("0.0m"));
    QCOMPARE(cellText(w().calculationTable, 1, 3), QString("0.0m"));
}

void CalculationSlotTest::resultsIgnoreGermanLocale()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Catalogue c = sampleCatalogue();
    c.condition.maxLoopLength = 1500.5f;
    start(c);
    choosePanel("QP-220 (2 loops)");
    chooseAllCables();
    for (const char *pair : {"1:60", "5:10", "9:20", "13:2"})
        setCount(QString(pair).section(':', 0, 0), 0, QString(pair).section(':', 1, 1));
    calculate();
    QCOMPARE(cellText(w().calculationTable, 0, 1), QString("29.9mA"));
    QCOMPARE(cellText(w().summaryTable, 0, 6), QString("210.7mA"));
    QCOMPARE(cellText(w().summaryTable, 0, 7), QString("1500.5m"));
}

void CalculationSlotTest::unsoundCatalogueValuesGiveNoResult()
{
    // A workbook cell "nan" for an alarm current, and a negative cable resistance on loop 2.
    Catalogue c = sampleCatalogue();
    c.devices[1].alarmCurrent = std::numeric_limits<float>::quiet_NaN();  // HRR-200
    start(c);
    choosePanel("QP-220 (2 loops)");
    chooseAllCables();
    setCount("1", 0, "10");
    calculate();
    const QStringList expected{"Loop1:Catalogue values of this loop are not valid, no result can be given.",
                               "Loop2:Catalogue values of this loop are not valid, no result can be given."};
    QCOMPARE(seam->texts(), expected);
    for (int loop = 0; loop < 2; ++loop) {
        QCOMPARE(w().commentLabels[loop]->text(), expected[loop]);
        QCOMPARE(cellText(w().calculationTable, loop, 2), QString());
        QCOMPARE(cellText(w().calculationTable, loop, 4), QString());
        QVERIFY(w().summaryTable->item(loop, 6)->text().isEmpty());
    }

    c = sampleCatalogue();
    c.cables[1].resistance = -12.1f;
    start(c);
    choosePanel("QP-220 (2 loops)");
    chooseCable(0, QString::fromUtf8("FR 2x2.5mm²"));
    chooseCable(1);
    calculate();
    QCOMPARE(seam->texts(), QStringList{expected[1]});
    QCOMPARE(w().commentLabels[1]->text(), expected[1]);
    QVERIFY(w().summaryTable->item(1, 7)->text().isEmpty());
    QCOMPARE(w().commentLabels[0]->text(), QString());
    QCOMPARE(cellText(w().summaryTable, 0, 7), QString("2000m"));
    QCOMPARE(cellText(w().summaryTable, 0, 9), kTick);
}

QTEST_MAIN(CalculationSlotTest)
#include "test_calculation_slot.moc"
