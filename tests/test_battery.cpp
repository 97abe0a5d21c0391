#include "app/main_window.h"
#include "battery/battery_calculation.h"
#include "loops/loop_state.h"
#include "recording_seam.h"
#include "report/sheet_from_window.h"
#include "test_catalogues.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <limits>
#include <memory>

Q_DECLARE_METATYPE(BatteryStandard)
Q_DECLARE_METATYPE(BatteryLoopTotal)
Q_DECLARE_METATYPE(std::optional<float>)
Q_DECLARE_METATYPE(std::optional<double>)

namespace {

PanelRecord panelWith(std::optional<float> quiescent, std::optional<float> alarm)
{
    PanelRecord p;
    p.name = QStringLiteral("QP-220 (2 loops)");
    p.loopCount = 2;
    p.ownQuiescentCurrent = quiescent;
    p.ownAlarmCurrent = alarm;
    return p;
}

BatteryLoopTotal calculated(double quiescent, double alarm) { return {BatteryLoopState::Calculated, quiescent, alarm}; }

// QP-220 with both loops on the 1.5 mm² cable, each 60 OPT-100, 10 MCP-50, 20 SBC-90 and 2 ISO-1
// (29.94 mA, 210.74 mA).
void fillTwoLoops(MainWindow &w)
{
    w.panelComboBox->setCurrentText(QStringLiteral("QP-220 (2 loops)"));
    const QMap<QString, QString> counts{{"1", "60"}, {"5", "10"}, {"9", "20"}, {"13", "2"}};
    for (int loop = 0; loop < 2; ++loop) {
        w.cableComboBoxes[loop]->setCurrentText(QString::fromUtf8("FR 2x1.5mm²"));
        for (const DeviceRow &row : deviceRowOrder(loopState.devicesByKey, deviceGridRowCount(catalogue)))
            if (!row.secondRow)
                w.deviceCountEdits[row.row][loop]->setText(counts.value(row.key, "0"));
    }
}

}  // namespace

class TestBattery : public QObject {
    Q_OBJECT

private slots:
    void capacity_data();
    void capacity();
    void defaultsPerStandard_data();
    void defaultsPerStandard();
    void notCalculated_data();
    void notCalculated();
    void batteryChoice_data();
    void batteryChoice();

    // The Battery tab
    void cleanup();
    void saveAndOpenRoundTrip();
    void sheetPrintsTheBatteryOfTheCalculation();

private:
    MainWindow &startWindow();
    std::unique_ptr<RecordingSeam> seam;
    std::unique_ptr<WindowFixture> fixture;
};

void TestBattery::capacity_data()
{
    QTest::addColumn<BatteryStandard>("standard");
    QTest::addColumn<double>("standbyMa");
    QTest::addColumn<double>("alarmMa");
    QTest::addColumn<double>("hours");
    QTest::addColumn<double>("minutes");
    QTest::addColumn<double>("d");  // 0: no D
    QTest::addColumn<QString>("required");
    QTest::addColumn<QString>("battery");

    const auto bs = BatteryStandard::Bs5839_1;
    // 1.25 x (24 x 0.25 + 1.75 x 0.5 x 0.75); with D = 1, C/20 = 0.398 A is below 0.75 A
    QTest::newRow("worked example") << bs << 250.0 << 750.0 << 24.0 << 30.0 << 1.75 << "8.32Ah" << "12Ah";
    // With I1 = 0.25 A and 30 min the 20-hour rate is met up to I2 = 30/19.375 x 0.25 = 0.387 A.
    QTest::newRow("within the 20-hour rate: D 1") << bs << 250.0 << 380.0 << 24.0 << 30.0 << 1.0 << "7.74Ah"
                                                  << "12Ah";
    QTest::newRow("just above the 20-hour rate: D 1.75") << bs << 250.0 << 390.0 << 24.0 << 30.0 << 1.75
                                                         << "7.93Ah" << "12Ah";
    // 1.25 x (24 x 0.21 + 5/60 x 0.9) = 6.39375; 1.2 x the same = 6.138
    QTest::newRow("NFPA 72-2022: SF 1.25") << BatteryStandard::Nfpa72_2022 << 210.0 << 900.0 << 24.0 << 5.0 << 0.0
                                           << "6.39Ah" << "7Ah";
    QTest::newRow("NFPA 72-2019: SF 1.2") << BatteryStandard::Nfpa72_2019 << 210.0 << 900.0 << 24.0 << 5.0 << 0.0
                                          << "6.14Ah" << "7Ah";
    // 1.25 x (72 x 1.2 + 1/3 x 3) = 109.25; 3 A is within its 20-hour rate
    QTest::newRow("above 100 Ah") << bs << 1200.0 << 3000.0 << 72.0 << 20.0 << 1.0 << "109.25Ah"
                                  << kLoadMustBeDivided;
}

void TestBattery::capacity()
{
    QFETCH(BatteryStandard, standard);
    QFETCH(double, standbyMa);
    QFETCH(double, alarmMa);
    QFETCH(double, hours);
    QFETCH(double, minutes);
    QFETCH(double, d);
    QFETCH(QString, required);
    QFETCH(QString, battery);

    // The panel, two loops and the additional loads each take a part of I1 and I2.
    BatteryInputs inputs = defaultBatteryInputs(standard);
    inputs.standbyHours = hours;
    inputs.alarmMinutes = minutes;
    inputs.additionalStandby = 10.0;
    inputs.additionalAlarm = 20.0;
    const PanelRecord panel = panelWith(40.0f, 80.0f);
    const BatteryResult r = calculateBattery(resolveBatteryInputs(
        inputs, &panel, {calculated(standbyMa - 80.0, alarmMa - 150.0), calculated(30.0, 50.0)}));
    QVERIFY2(r.calculated, qPrintable(r.reason));
    QCOMPARE(r.standbyMa, standbyMa);
    QCOMPARE(r.alarmMa, alarmMa);
    QCOMPARE(r.d.value_or(0.0), d);
    QCOMPARE(formatAmpHours(r.requiredAh), required);
    QCOMPARE(batteryChoiceText(r), battery);
    if (QTest::currentDataTag() == QByteArray("worked example"))
        QCOMPARE(batteryFormulaText(r),
                 QStringLiteral("C = 1.25 \u00d7 (24h \u00d7 0.2500A + 1.75 \u00d7 0.5h \u00d7 0.7500A) = 8.32Ah"));
}

void TestBattery::defaultsPerStandard_data()
{
    QTest::addColumn<BatteryStandard>("standard");
    QTest::addColumn<double>("minutes");
    QTest::newRow("BS 5839-1: 24 h, 30 min") << BatteryStandard::Bs5839_1 << 30.0;
    QTest::newRow("NFPA 72-2022: 24 h, 5 min") << BatteryStandard::Nfpa72_2022 << 5.0;
    QTest::newRow("NFPA 72-2019: 24 h, 5 min") << BatteryStandard::Nfpa72_2019 << 5.0;
}

void TestBattery::defaultsPerStandard()
{
    QFETCH(BatteryStandard, standard);
    QFETCH(double, minutes);
    const BatteryInputs inputs = defaultBatteryInputs(standard);
    QCOMPARE(inputs.standbyHours, std::optional<double>(24.0));
    QCOMPARE(inputs.alarmMinutes, std::optional<double>(minutes));
    QVERIFY(!inputs.ownQuiescentTyped && !inputs.ownAlarmTyped && !inputs.additionalStandby);
}

void TestBattery::notCalculated_data()
{
    QTest::addColumn<std::optional<float>>("ownAlarm");  // own quiescent current 50 mA
    QTest::addColumn<QVector<BatteryLoopTotal>>("loops");
    QTest::addColumn<std::optional<double>>("hours");
    QTest::addColumn<QString>("reason");

    const std::optional<float> none, a = 90.0f;
    const std::optional<double> hours = 24.0;
    const QVector<BatteryLoopTotal> good{calculated(30.0, 200.0), calculated(20.0, 100.0)};
    const BatteryLoopTotal leftOut{BatteryLoopState::LeftOut, 0.0, 0.0};
    const QString noOwnCurrent = QStringLiteral("the catalogue gives no own current for panel QP-220 (2 loops)");
    QTest::newRow("own alarm current missing") << none << good << hours << noOwnCurrent;
    QTest::newRow("a left-out loop") << a << QVector<BatteryLoopTotal>{calculated(30.0, 200.0), leftOut} << hours
                                     << "Loop2 is left out of the calculation";
    QTest::newRow("a loop total that is not a number")
        << a << QVector<BatteryLoopTotal>{calculated(std::numeric_limits<double>::quiet_NaN(), 2.0)} << hours
        << "Loop1 is left out of the calculation";
    QTest::newRow("a negative own current") << std::optional<float>(-5.0f) << good << hours
                                            << "the panel's own current is not a usable number";
    QTest::newRow("no standby period") << a << good << std::optional<double>() << "the standby period is not given";
    QTest::newRow("left-out loop and no own current: both said")
        << none << QVector<BatteryLoopTotal>{leftOut} << hours << "Loop1 is left out of the calculation; " + noOwnCurrent;
}

void TestBattery::notCalculated()
{
    QFETCH(std::optional<float>, ownAlarm);
    QFETCH(QVector<BatteryLoopTotal>, loops);
    QFETCH(std::optional<double>, hours);
    QFETCH(QString, reason);
    BatteryInputs inputs;
    inputs.standbyHours = hours;
    const PanelRecord panel = panelWith(50.0f, ownAlarm);
    const BatteryResult r = calculateBattery(resolveBatteryInputs(inputs, &panel, loops));
    QVERIFY(!r.calculated);
    QCOMPARE(r.reason, reason);
    QCOMPARE(batteryChoiceText(r), QString());
}

void TestBattery::batteryChoice_data()
{
    QTest::addColumn<double>("required");
    QTest::addColumn<QString>("battery");
    QTest::newRow("exactly 7 Ah") << 7.0 << "7Ah";
    QTest::newRow("7.01 Ah") << 7.01 << "12Ah";
    QTest::newRow("exactly 100 Ah") << 100.0 << "100Ah";
    QTest::newRow("100.01 Ah") << 100.01 << "none";
}

void TestBattery::batteryChoice()
{
    QFETCH(double, required);
    QFETCH(QString, battery);
    const std::optional<double> chosen = chooseBattery(required);
    QCOMPARE(chosen ? formatBatterySize(*chosen) : QStringLiteral("none"), battery);
}

MainWindow &TestBattery::startWindow()
{
    seam = std::make_unique<RecordingSeam>();
    fixture = std::make_unique<WindowFixture>(sampleCatalogue());
    seam->clear();
    fillTwoLoops(fixture->window());
    return fixture->window();
}

void TestBattery::cleanup()
{
    fixture.reset();
    seam.reset();
    resetProcessState();
}

void TestBattery::saveAndOpenRoundTrip()
{
    MainWindow &w = startWindow();
    w.batteryStandardComboBox->setCurrentText(QStringLiteral("NFPA 72-2019"));
    w.alarmMinutesEdit->setText(QStringLiteral("15"));
    QTest::keyClicks(w.additionalStandbyEdit, QStringLiteral("12.5"));
    QTest::keyClick(w.ownQuiescentEdit, Qt::Key_5);  // "1105" over the catalogue's 110
    const BatteryInputs saved = w.batteryInputs();
    QVERIFY(saved.ownQuiescentTyped && !saved.ownAlarmTyped);

    QTemporaryDir dir;
    seam->fileAnswers << dir.filePath("site.stm") << dir.filePath("site.stm");
    w.SaveProject();
    w.NewProject();
    QVERIFY(w.batteryInputs() == defaultBatteryInputs());
    QCOMPARE(w.batteryStandardComboBox->currentText(), QStringLiteral("BS 5839-1"));
    w.OpenProject();
    QCOMPARE(seam->texts(), QStringList({"The file has been saved successfully!", "The file has been opened!"}));
    QVERIFY(w.batteryInputs() == saved);
    QCOMPARE(w.alarmMinutesEdit->text(), QStringLiteral("15"));
    QCOMPARE(w.ownQuiescentEdit->text(), QStringLiteral("1105"));
    QCOMPARE(w.ownAlarmEdit->text(), QStringLiteral("220"));  // the catalogue's

    // Another panel brings its own currents again.
    w.panelComboBox->setCurrentText(QStringLiteral("QP-840 (8 loops)"));
    QCOMPARE(w.ownQuiescentEdit->text(), QStringLiteral("220"));
    QVERIFY(!w.batteryInputs().ownQuiescentTyped);
}

// The tab, the sheet and the PDF show the calculation of the inputs shown; a change clears it.
void TestBattery::sheetPrintsTheBatteryOfTheCalculation()
{
    MainWindow &w = startWindow();
    QVERIFY(gatherSummarySheetData(w).batteryLines.isEmpty());
    QTemporaryDir dir;
    const QString path = dir.filePath("sheet.pdf");
    seam->fileAnswers << path;
    w.ExportPDF();  // calculates first
    QVERIFY2(w.batteryResult.calculated, qPrintable(w.batteryResult.reason));
    // I1 = 110 + 2 x 29.94, I2 = 220 + 2 x 210.74
    const QString shown = w.batteryResultLabel->text();
    QVERIFY2(shown.contains("Standby current I1: 169.9mA = panel 110.0mA + loops 59.9mA + additional 0.0mA")
                 && shown.contains("D = 1.75") && shown.contains("Required capacity: 5.80Ah")
                 && shown.contains("Battery: 7Ah"),
             qPrintable(shown));
    QCOMPARE(gatherSummarySheetData(w).batteryLines, batteryResultLines(w.batteryResult));

    const std::function<void()> changes[] = {
        [&] { w.additionalAlarmEdit->setText(QStringLiteral("25")); },
        [&] { w.batteryStandardComboBox->setCurrentText(QStringLiteral("NFPA 72-2022")); },
        [&] { w.cableComboBoxes[1]->setCurrentText(QString::fromUtf8("FR 2x2.5mm²")); },
        [&] { w.deviceCountEdits[0][0]->setText(QStringLiteral("61")); }};
    for (const auto &change : changes) {
        w.flushCalculation();
        QVERIFY(w.batteryResultShown);
        change();
        QVERIFY(!w.batteryResultShown);
        QVERIFY(!w.batteryResultLabel->text().contains(QStringLiteral("Ah")));
    }
    w.ownAlarmEdit->selectAll();
    QTest::keyClick(w.ownAlarmEdit, Qt::Key_Backspace);  // cleared: not the catalogue's value
    w.flushCalculation();
    QCOMPARE(w.batteryResultLabel->text(), QStringLiteral("Not calculated: the panel's own alarm current is not given"));

    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    QProcess pdftotext;
    pdftotext.start("pdftotext", {path, "-"});
    QVERIFY(pdftotext.waitForFinished(30000));
    const QString page1 = QString::fromUtf8(pdftotext.readAllStandardOutput()).split('\f').first();
    QVERIFY2(page1.contains("Battery standby") && page1.contains("Required capacity: 5.80Ah"), qPrintable(page1));
}

QTEST_MAIN(TestBattery)
#include "test_battery.moc"
