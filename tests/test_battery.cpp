#include "app/main_window.h"
#include "battery/battery_calculation.h"
#include "loops/loop_state.h"
#include "recording_seam.h"
#include "report/sheet_from_window.h"
#include "test_catalogues.h"

#include <QComboBox>
#include <QProcess>
#include <QStandardPaths>
#include <QLabel>
#include <QLineEdit>
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
    p.code = QStringLiteral("QP220");
    p.name = QStringLiteral("QP-220 (2 loops)");
    p.loopCount = 2;
    p.ownQuiescentCurrent = quiescent;
    p.ownAlarmCurrent = alarm;
    return p;
}

BatteryLoopTotal calculated(double quiescent, double alarm)
{
    return {BatteryLoopState::Calculated, quiescent, alarm};
}

// The panel draws `own`, two loops the rest, so that all three parts of I1 and I2 count.
BatteryResult run(BatteryStandard standard, double standbyMa, double alarmMa, double hours, double minutes)
{
    BatteryInputs inputs = defaultBatteryInputs(standard);
    inputs.standbyHours = hours;
    inputs.alarmMinutes = minutes;
    inputs.additionalStandby = 10.0;
    inputs.additionalAlarm = 20.0;
    const PanelRecord panel = panelWith(40.0f, 80.0f);
    const QVector<BatteryLoopTotal> loops{calculated(standbyMa - 80.0, alarmMa - 150.0), calculated(30.0, 50.0)};
    return calculateBattery(resolveBatteryInputs(inputs, &panel, loops));
}

// QP-220 with both loops on the 1.5 mm² cable: Loop1 60 OPT-100, 10 MCP-50, 20 SBC-90 and
// 2 ISO-1 (29.94 mA, 210.74 mA), Loop2 the same.
void fillTwoLoops(MainWindow &w)
{
    w.panelComboBox->setCurrentText(QStringLiteral("QP-220 (2 loops)"));
    for (int loop = 0; loop < 2; ++loop) {
        w.cableComboBoxes[loop]->setCurrentText(QString::fromUtf8("FR 2x1.5mm²"));
        for (const DeviceRow &row : deviceRowOrder(loopState.devicesByKey, deviceGridRowCount(catalogue))) {
            if (row.secondRow)
                continue;
            const QString count = row.key == "1" ? "60" : row.key == "5" ? "10" : row.key == "9" ? "20"
                                                        : row.key == "13" ? "2" : "0";
            w.deviceCountEdits[row.row][loop]->setText(count);
        }
    }
}

}  // namespace

class TestBattery : public QObject {
    Q_OBJECT

private slots:
    void capacity_data();
    void capacity();
    void partsOfTheCurrents();
    void formulaText();
    void defaultsPerStandard_data();
    void defaultsPerStandard();
    void notCalculated_data();
    void notCalculated();
    void typedOwnCurrentsStandForTheCatalogues();
    void loopTotalsFromACalculation();
    void batteryChoice_data();
    void batteryChoice();
    void standardKeys();

    // The Battery tab
    void cleanup();
    void tabDefaultsAndStandard();
    void panelFillsOwnCurrentsAndTypingStands();
    void calculateShowsAndAChangeClears();
    void tabWithoutOwnCurrentsSaysSo();
    void saveAndOpenRoundTrip();
    void sheetPrintsTheBatteryOfTheCalculation();

private:
    // A window on the sample catalogue; only the tests of the tab start one.
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
    QTest::addColumn<double>("factor");
    QTest::addColumn<QString>("required");
    QTest::addColumn<QString>("battery");

    const auto bs = BatteryStandard::Bs5839_1;
    // 1.25 x (24 x 0.25 + 1.75 x 0.5 x 0.75); with D = 1, C/20 = 0.398 A is below 0.75 A
    QTest::newRow("worked example: 0.25 A, 0.75 A, 24 h, 30 min") << bs << 250.0 << 750.0 << 24.0 << 30.0 << 1.75
                                                                  << 1.25 << "8.32Ah" << "12Ah";
    QTest::newRow("the check line's project: 197.8 mA, 634.0 mA") << bs << 197.8 << 634.0 << 24.0 << 30.0 << 1.75
                                                                  << 1.25 << "6.63Ah" << "7Ah";
    // With I1 = 0.25 A and 30 min the 20-hour rate is met up to I2 = 30/19.375 x 0.25 = 0.387 A.
    QTest::newRow("alarm current within the 20-hour rate: D 1") << bs << 250.0 << 380.0 << 24.0 << 30.0 << 1.0
                                                                << 1.25 << "7.74Ah" << "12Ah";
    QTest::newRow("alarm current just above the 20-hour rate: D 1.75") << bs << 250.0 << 390.0 << 24.0 << 30.0
                                                                       << 1.75 << 1.25 << "7.93Ah" << "12Ah";
    // Loop1 draws no alarm current: 0.15 A against a 20-hour rate of 0.155 A
    QTest::newRow("small alarm load: D 1") << bs << 100.0 << 150.0 << 24.0 << 30.0 << 1.0 << 1.25 << "3.09Ah"
                                           << "3.2Ah";
    // 1.25 x (24 x 0.21 + 5/60 x 0.9) = 6.39375; 1.2 x the same = 6.138
    QTest::newRow("NFPA 72-2022: SF 1.25, 5 min") << BatteryStandard::Nfpa72_2022 << 210.0 << 900.0 << 24.0 << 5.0
                                                  << 0.0 << 1.25 << "6.39Ah" << "7Ah";
    QTest::newRow("NFPA 72-2019: SF 1.2, 5 min") << BatteryStandard::Nfpa72_2019 << 210.0 << 900.0 << 24.0 << 5.0
                                                 << 0.0 << 1.2 << "6.14Ah" << "7Ah";
    // 1.25 x (24 x 0.21 + 0.25 x 0.9) = 6.58125
    QTest::newRow("NFPA 72-2022 voice evacuation, 15 min typed") << BatteryStandard::Nfpa72_2022 << 210.0 << 900.0
                                                                 << 24.0 << 15.0 << 0.0 << 1.25 << "6.58Ah" << "7Ah";
    // 1.25 x (72 x 1.2 + 1/3 x 3) = 109.25; 3 A is within its 20-hour rate
    QTest::newRow("72 h at 1.2 A is above 100 Ah") << bs << 1200.0 << 3000.0 << 72.0 << 20.0 << 1.0 << 1.25
                                                   << "109.25Ah" << kLoadMustBeDivided;
}

void TestBattery::capacity()
{
    QFETCH(BatteryStandard, standard);
    QFETCH(double, standbyMa);
    QFETCH(double, alarmMa);
    QFETCH(double, hours);
    QFETCH(double, minutes);
    QFETCH(double, d);
    QFETCH(double, factor);
    QFETCH(QString, required);
    QFETCH(QString, battery);

    const BatteryResult r = run(standard, standbyMa, alarmMa, hours, minutes);
    QVERIFY2(r.calculated, qPrintable(r.reason));
    QCOMPARE(r.standbyMa, standbyMa);
    QCOMPARE(r.alarmMa, alarmMa);
    QCOMPARE(r.d.has_value(), d != 0.0);
    if (r.d)
        QCOMPARE(*r.d, d);
    QCOMPARE(r.factor, factor);
    QCOMPARE(formatAmpHours(r.requiredAh), required);
    QCOMPARE(batteryChoiceText(r), battery);
}

void TestBattery::partsOfTheCurrents()
{
    const BatteryResult r = run(BatteryStandard::Bs5839_1, 250.0, 750.0, 24.0, 30.0);
    QCOMPARE(r.ownStandbyMa, 40.0);
    QCOMPARE(r.loopsStandbyMa, 200.0);  // 170 + 30
    QCOMPARE(r.additionalStandbyMa, 10.0);
    QCOMPARE(r.ownAlarmMa, 80.0);
    QCOMPARE(r.loopsAlarmMa, 650.0);  // 600 + 50
    QCOMPARE(r.additionalAlarmMa, 20.0);
}

void TestBattery::formulaText()
{
    QCOMPARE(batteryFormulaText(run(BatteryStandard::Bs5839_1, 250.0, 750.0, 24.0, 30.0)),
             QStringLiteral("C = 1.25 \u00d7 (24h \u00d7 0.2500A + 1.75 \u00d7 0.5h \u00d7 0.7500A) = 8.32Ah"));
    QCOMPARE(batteryFormulaText(run(BatteryStandard::Nfpa72_2019, 210.0, 900.0, 24.0, 5.0)),
             QStringLiteral("C = 1.2 \u00d7 (24h \u00d7 0.2100A + 0.0833h \u00d7 0.9000A) = 6.14Ah"));
    QCOMPARE(batteryFormulaText(BatteryResult()), QString());
}

void TestBattery::defaultsPerStandard_data()
{
    QTest::addColumn<BatteryStandard>("standard");
    QTest::addColumn<double>("hours");
    QTest::addColumn<double>("minutes");
    QTest::newRow("BS 5839-1: 24 h, 30 min") << BatteryStandard::Bs5839_1 << 24.0 << 30.0;
    QTest::newRow("NFPA 72-2022: 24 h, 5 min") << BatteryStandard::Nfpa72_2022 << 24.0 << 5.0;
    QTest::newRow("NFPA 72-2019: 24 h, 5 min") << BatteryStandard::Nfpa72_2019 << 24.0 << 5.0;
}

void TestBattery::defaultsPerStandard()
{
    QFETCH(BatteryStandard, standard);
    QFETCH(double, hours);
    QFETCH(double, minutes);
    const BatteryInputs inputs = defaultBatteryInputs(standard);
    QCOMPARE(inputs.standard, standard);
    QCOMPARE(inputs.standbyHours, std::optional<double>(hours));
    QCOMPARE(inputs.alarmMinutes, std::optional<double>(minutes));
    QVERIFY(!inputs.ownQuiescentTyped && !inputs.ownAlarmTyped);
    QVERIFY(!inputs.additionalStandby && !inputs.additionalAlarm);
    QCOMPARE(BatteryInputs(), defaultBatteryInputs());
}

void TestBattery::notCalculated_data()
{
    QTest::addColumn<std::optional<float>>("ownQuiescent");
    QTest::addColumn<std::optional<float>>("ownAlarm");
    QTest::addColumn<QVector<BatteryLoopTotal>>("loops");
    QTest::addColumn<bool>("panelChosen");
    QTest::addColumn<std::optional<double>>("hours");
    QTest::addColumn<QString>("reason");

    const std::optional<float> none;
    const std::optional<double> hours = 24.0;
    const QVector<BatteryLoopTotal> good{calculated(30.0, 200.0), calculated(20.0, 100.0)};
    const QString noOwnCurrent = QStringLiteral("the catalogue gives no own current for panel QP-220 (2 loops)");
    QTest::newRow("no own currents in the catalogue") << none << none << good << true << hours << noOwnCurrent;
    QTest::newRow("own alarm current missing") << std::optional<float>(50.0f) << none << good << true << hours
                                               << noOwnCurrent;
    QTest::newRow("own quiescent current missing") << none << std::optional<float>(90.0f) << good << true << hours
                                                   << noOwnCurrent;
    const std::optional<float> q = 50.0f, a = 90.0f;
    QTest::newRow("a left-out loop")
        << q << a << QVector<BatteryLoopTotal>{calculated(30.0, 200.0), {BatteryLoopState::LeftOut, 0.0, 0.0}}
        << true << hours << "Loop2 is left out of the calculation";
    QTest::newRow("two left-out loops")
        << q << a
        << QVector<BatteryLoopTotal>{{BatteryLoopState::LeftOut, 0.0, 0.0}, {BatteryLoopState::LeftOut, 0.0, 0.0}}
        << true << hours << "Loop1 and Loop2 are left out of the calculation";
    QTest::newRow("a loop without result") << q << a << QVector<BatteryLoopTotal>{calculated(1.0, 2.0), {}} << true
                                           << hours << "Loop2 has no result";
    QTest::newRow("a loop total that is not a number")
        << q << a << QVector<BatteryLoopTotal>{calculated(std::numeric_limits<double>::quiet_NaN(), 2.0)} << true
        << hours << "Loop1 is left out of the calculation";
    QTest::newRow("no panel") << q << a << QVector<BatteryLoopTotal>() << false << hours << "no panel is chosen";
    QTest::newRow("no standby period") << q << a << good << true << std::optional<double>()
                                       << "the standby period is not given";
    QTest::newRow("a negative standby period") << q << a << good << true << std::optional<double>(-1.0)
                                               << "the standby period is not a usable number";
    QTest::newRow("a negative own current in the catalogue")
        << std::optional<float>(-5.0f) << a << good << true << hours
        << "the panel's own current is not a usable number";
    QTest::newRow("left-out loop and no own current: both said")
        << none << none << QVector<BatteryLoopTotal>{{BatteryLoopState::LeftOut, 0.0, 0.0}} << true << hours
        << "Loop1 is left out of the calculation; " + noOwnCurrent;
}

void TestBattery::notCalculated()
{
    QFETCH(std::optional<float>, ownQuiescent);
    QFETCH(std::optional<float>, ownAlarm);
    QFETCH(QVector<BatteryLoopTotal>, loops);
    QFETCH(bool, panelChosen);
    QFETCH(std::optional<double>, hours);
    QFETCH(QString, reason);

    BatteryInputs inputs;
    inputs.standbyHours = hours;
    const PanelRecord panel = panelWith(ownQuiescent, ownAlarm);
    const BatteryResult r = calculateBattery(resolveBatteryInputs(inputs, panelChosen ? &panel : nullptr, loops));
    QVERIFY(!r.calculated);
    QCOMPARE(r.reason, reason);
    QCOMPARE(batteryChoiceText(r), QString());
    QCOMPARE(batteryFormulaText(r), QString());
}

void TestBattery::typedOwnCurrentsStandForTheCatalogues()
{
    const PanelRecord panel = panelWith(std::nullopt, 90.0f);
    const QVector<BatteryLoopTotal> loops{calculated(150.0, 600.0)};
    BatteryInputs inputs;
    inputs.ownQuiescentTyped = true;
    inputs.ownQuiescent = 100.0;
    BatteryResult r = calculateBattery(resolveBatteryInputs(inputs, &panel, loops));
    QVERIFY2(r.calculated, qPrintable(r.reason));
    QCOMPARE(r.standbyMa, 250.0);
    QCOMPARE(r.alarmMa, 690.0);

    inputs.ownAlarmTyped = true;
    inputs.ownAlarm = 150.0;
    r = calculateBattery(resolveBatteryInputs(inputs, &panel, loops));
    QCOMPARE(r.alarmMa, 750.0);
    QCOMPARE(formatAmpHours(r.requiredAh), QStringLiteral("8.32Ah"));

    // A field the user cleared is not the catalogue's value.
    inputs.ownAlarm.reset();
    r = calculateBattery(resolveBatteryInputs(inputs, &panel, loops));
    QVERIFY(!r.calculated);
    QCOMPARE(r.reason, QStringLiteral("the panel's own alarm current is not given"));
}

void TestBattery::loopTotalsFromACalculation()
{
    LoopResults results;
    results.totals.quiescentTotal[0] = 29.94f;
    results.totals.alarmTotal[0] = 210.74f;
    results.totals.quiescentTotal[1] = 7.0f;  // left out: its figures must not count
    results.maxDevicesExceeded[1] = true;
    results.totals.quiescentTotal[2] = 3.5f;
    results.totals.alarmTotal[2] = 4.5f;
    const QVector<BatteryLoopTotal> loops = batteryLoopTotals(results, 3);
    QCOMPARE(loops.size(), 3);
    QCOMPARE(loops[0].state, BatteryLoopState::Calculated);
    QCOMPARE(loops[0].quiescentMa, double(29.94f));
    QCOMPARE(loops[0].alarmMa, double(210.74f));
    QCOMPARE(loops[1].state, BatteryLoopState::LeftOut);
    QCOMPARE(loops[2].alarmMa, 4.5);
}

void TestBattery::batteryChoice_data()
{
    QTest::addColumn<double>("required");
    QTest::addColumn<QString>("battery");
    QTest::newRow("nothing needed") << 0.0 << "1.2Ah";
    QTest::newRow("exactly 1.2 Ah") << 1.2 << "1.2Ah";
    QTest::newRow("just above 1.2 Ah") << 1.21 << "2.1Ah";
    QTest::newRow("6.63 Ah") << 6.63 << "7Ah";
    QTest::newRow("exactly 7 Ah") << 7.0 << "7Ah";
    QTest::newRow("7.01 Ah") << 7.01 << "12Ah";
    QTest::newRow("45.5 Ah") << 45.5 << "65Ah";
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

void TestBattery::standardKeys()
{
    for (BatteryStandard standard : kBatteryStandards)
        QCOMPARE(batteryStandardFromKey(batteryStandardKey(standard)), std::optional<BatteryStandard>(standard));
    QCOMPARE(batteryStandardFromKey(QStringLiteral("BS5839-1")), std::optional<BatteryStandard>());
    QCOMPARE(batteryStandardName(BatteryStandard::Nfpa72_2022), QStringLiteral("NFPA 72-2022"));
}

MainWindow &TestBattery::startWindow()
{
    seam = std::make_unique<RecordingSeam>();
    fixture = std::make_unique<WindowFixture>(sampleCatalogue());
    seam->clear();
    return fixture->window();
}

void TestBattery::cleanup()
{
    fixture.reset();
    seam.reset();
    resetProcessState();
}

void TestBattery::tabDefaultsAndStandard()
{
    MainWindow &w = startWindow();
    QCOMPARE(w.batteryStandardComboBox->currentText(), QStringLiteral("BS 5839-1"));
    QCOMPARE(w.standbyHoursEdit->text(), QStringLiteral("24"));
    QCOMPARE(w.alarmMinutesEdit->text(), QStringLiteral("30"));
    QCOMPARE(w.additionalStandbyEdit->text(), QString());

    w.batteryStandardComboBox->setCurrentText(QStringLiteral("NFPA 72-2022"));
    QCOMPARE(w.alarmMinutesEdit->text(), QStringLiteral("5"));
    w.alarmMinutesEdit->setText(QStringLiteral("15"));  // voice evacuation, typed
    w.batteryStandardComboBox->setCurrentText(QStringLiteral("NFPA 72-2019"));
    QCOMPARE(w.alarmMinutesEdit->text(), QStringLiteral("5"));
    QCOMPARE(w.batteryInputs().standard, BatteryStandard::Nfpa72_2019);

    w.NewProject();
    QVERIFY(w.batteryInputs() == defaultBatteryInputs());
    QCOMPARE(w.batteryStandardComboBox->currentText(), QStringLiteral("BS 5839-1"));
}

void TestBattery::panelFillsOwnCurrentsAndTypingStands()
{
    MainWindow &w = startWindow();
    w.panelComboBox->setCurrentText(QStringLiteral("QP-220 (2 loops)"));
    QCOMPARE(w.ownQuiescentEdit->text(), QStringLiteral("110"));
    QCOMPARE(w.ownAlarmEdit->text(), QStringLiteral("220"));
    QVERIFY(!w.batteryInputs().ownQuiescentTyped);

    QTest::keyClick(w.ownQuiescentEdit, Qt::Key_5);  // "1105", typed
    QCOMPARE(w.batteryInputs().ownQuiescent, std::optional<double>(1105.0));
    QVERIFY(w.batteryInputs().ownQuiescentTyped);
    QVERIFY(!w.batteryInputs().ownAlarmTyped);

    // Another panel brings its own values again.
    w.panelComboBox->setCurrentText(QStringLiteral("QP-840 (8 loops)"));
    QCOMPARE(w.ownQuiescentEdit->text(), QStringLiteral("220"));
    QCOMPARE(w.ownAlarmEdit->text(), QStringLiteral("480"));
    QVERIFY(!w.batteryInputs().ownQuiescentTyped);
}

void TestBattery::calculateShowsAndAChangeClears()
{
    MainWindow &w = startWindow();
    fillTwoLoops(w);
    QVERIFY(!w.batteryResultShown);
    w.flushCalculation();
    QVERIFY(w.batteryResultShown);
    QVERIFY2(w.batteryResult.calculated, qPrintable(w.batteryResult.reason));
    // I1 = 110 + 2 x 29.94, I2 = 220 + 2 x 210.74
    QCOMPARE(formatBatteryCurrent(w.batteryResult.standbyMa), QStringLiteral("169.9mA"));
    QCOMPARE(formatBatteryCurrent(w.batteryResult.alarmMa), QStringLiteral("641.5mA"));
    QCOMPARE(formatAmpHours(w.batteryResult.requiredAh), QStringLiteral("5.80Ah"));
    const QString shown = w.batteryResultLabel->text();
    QVERIFY2(shown.contains(QStringLiteral("Standby current I1: 169.9mA = panel 110.0mA + loops 59.9mA + additional "
                                           "0.0mA")),
             qPrintable(shown));
    QVERIFY(shown.contains(QStringLiteral("D = 1.75")));
    QVERIFY(shown.contains(batteryFormulaText(w.batteryResult)));
    QVERIFY(shown.contains(QStringLiteral("Battery: 7Ah")));

    w.additionalAlarmEdit->setText(QStringLiteral("25"));
    QVERIFY(!w.batteryResultShown);
    QVERIFY(!w.batteryResultLabel->text().contains(QStringLiteral("Ah")));
    w.flushCalculation();
    QCOMPARE(w.batteryResult.additionalAlarmMa, 25.0);
    w.batteryStandardComboBox->setCurrentText(QStringLiteral("NFPA 72-2022"));
    QVERIFY(!w.batteryResultShown);
    w.flushCalculation();
    QVERIFY(w.batteryResultShown);
    w.cableComboBoxes[1]->setCurrentText(QString::fromUtf8("FR 2x2.5mm²"));
    QVERIFY(!w.batteryResultShown);
    // A count is a loop's input as well.
    w.flushCalculation();
    QVERIFY(w.batteryResultShown);
    w.deviceCountEdits[0][0]->setText(QStringLiteral("61"));
    QVERIFY(!w.batteryResultShown);
}

void TestBattery::tabWithoutOwnCurrentsSaysSo()
{
    MainWindow &w = startWindow();
    fillTwoLoops(w);
    QTest::keyClick(w.ownAlarmEdit, Qt::Key_Backspace);
    QTest::keyClick(w.ownAlarmEdit, Qt::Key_Backspace);
    QTest::keyClick(w.ownAlarmEdit, Qt::Key_Backspace);
    w.flushCalculation();
    QCOMPARE(w.batteryResultLabel->text(), QStringLiteral("Not calculated: the panel's own alarm current is not given"));
}

void TestBattery::saveAndOpenRoundTrip()
{
    MainWindow &w = startWindow();
    fillTwoLoops(w);
    w.batteryStandardComboBox->setCurrentText(QStringLiteral("NFPA 72-2019"));
    w.alarmMinutesEdit->setText(QStringLiteral("15"));
    QTest::keyClicks(w.additionalStandbyEdit, QStringLiteral("12.5"));
    w.ownQuiescentEdit->clear();
    QTest::keyClicks(w.ownQuiescentEdit, QStringLiteral("99.5"));
    const BatteryInputs saved = w.batteryInputs();
    QVERIFY(saved.ownQuiescentTyped && !saved.ownAlarmTyped);

    QTemporaryDir dir;
    const QString file = dir.filePath("site.stm");
    seam->fileAnswers << file;
    w.SaveProject();
    QCOMPARE(seam->texts(), QStringList{"The file has been saved successfully!"});

    w.NewProject();
    QVERIFY(w.batteryInputs() == defaultBatteryInputs());
    seam->clear();
    seam->fileAnswers << file;
    w.OpenProject();
    QCOMPARE(seam->texts(), QStringList{"The file has been opened!"});
    QVERIFY(w.batteryInputs() == saved);
    QCOMPARE(w.batteryStandardComboBox->currentText(), QStringLiteral("NFPA 72-2019"));
    QCOMPARE(w.alarmMinutesEdit->text(), QStringLiteral("15"));
    QCOMPARE(w.ownQuiescentEdit->text(), QStringLiteral("99.5"));
    QCOMPARE(w.ownAlarmEdit->text(), QStringLiteral("220"));  // the catalogue's
    QCOMPARE(w.additionalStandbyEdit->text(), QStringLiteral("12.5"));
}

void TestBattery::sheetPrintsTheBatteryOfTheCalculation()
{
    MainWindow &w = startWindow();
    fillTwoLoops(w);
    QVERIFY(gatherSummarySheetData(w).batteryLines.isEmpty());

    // Export calculates first, so the sheet's battery is that of the inputs shown.
    QTemporaryDir dir;
    const QString path = dir.filePath("sheet.pdf");
    seam->fileAnswers << path;
    w.ExportPDF();
    QVERIFY(w.batteryResultShown);
    const SummarySheetData data = gatherSummarySheetData(w);
    QCOMPARE(data.batteryLines, batteryResultLines(w.batteryResult));
    QVERIFY(data.batteryLines.contains(QStringLiteral("Required capacity: 5.80Ah")));

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
