#include "calc/loop_calculation.h"
#include "calc/number_format.h"
#include "loops/loop_state.h"
#include "test_catalogues.h"

#include <QLocale>
#include <QtTest>
#include <clocale>
#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(CurrentStatus)

namespace {

const QChar kComma(0x3001);
const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

QMap<QString, DeviceRecord> sampleDevices()
{
    const Catalogue c = sampleCatalogue();
    QMap<QString, DeviceRecord> devices;
    for (int i = 0; i < c.deviceCount; ++i)
        devices.insert(c.devices[i].code, c.devices[i]);
    return devices;
}


// The count grid as the window holds it: every field "0" until set.
struct Grid {
    Grid(const QMap<QString, DeviceRecord> &devices, int loops, int rows = -1)
        : order(deviceRowOrder(devices, rows < 0 ? kMaxDeviceRows : rows))
    {
        const int height = rows < 0 ? order.size() : rows;
        for (int r = 0; r < height; ++r) {
            QStringList line;
            for (int i = 0; i < loops; ++i)
                line.append(QStringLiteral("0"));
            texts.append(line);
        }
    }
    void set(const QString &code, int loop, const QString &text, bool secondRow = false)
    {
        for (const DeviceRow &row : order)
            if (row.key == code && row.secondRow == secondRow)
                texts[row.row][loop] = text;
    }
    QVector<DeviceRow> order;
    QVector<QStringList> texts;
};

// "code:n,code:n" on loop 0.
void setCounts(Grid &grid, const QString &counts)
{
    for (const QString &part : counts.split(',', Qt::SkipEmptyParts)) {
        const QStringList pair = part.split(':');
        grid.set(pair.at(0), 0, pair.at(1));
    }
}

CalculationInputs inputsFor(const Grid &grid, int loops, float voltage, float limit, int maxDevices, float resistance)
{
    CalculationInputs in;
    in.loopCount = loops;
    in.readCounts = true;
    in.countTexts = grid.texts;
    in.panelLoopVoltage = voltage;
    in.panelMaxLoopCurrent = limit;
    for (int i = 0; i < kMaxLoops; ++i) {
        in.loopMaxDevices[i] = maxDevices;
        in.loopCableResistance[i] = resistance;
    }
    in.condition = sampleCatalogue().condition;  // 17 V, 2000 m, 32
    return in;
}

QString exact(float value) { return QString::number(double(value), 'g', 9); }

}  // namespace

class CalculationTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void formats_data();
    void formats();
    void lengthCell_data();
    void lengthCell();
    void parseCount_data();
    void parseCount();
    void status_data();
    void status();
    void selection_data();
    void selection();

    void workedCases_data();
    void workedCases();
    void restrictedListJoinsNamesAndSecondRows_data();
    void restrictedListJoinsNamesAndSecondRows();
    void percentInDeviceNameKeptInWarning();
    void secondRowCountsAndRoundsSeparately();
    void quiescentRounding_data();
    void quiescentRounding();
    void typeIsCaseSensitive();
    void countsWrittenBackAndRowsOutsideGridCountZero();
    void countsNotReadWithoutLoopColumns();
    void noVoltageMarginGivesZeroLength_data();
    void noVoltageMarginGivesZeroLength();
    void hugeCountsDoNotOverflow();
    void unsoundInputsExcludeTheLoop_data();
    void unsoundInputsExcludeTheLoop();

private:
    QLocale savedLocale;
};

void CalculationTest::init()
{
    resetProcessState();
    savedLocale = QLocale();
}

void CalculationTest::cleanup()
{
    QLocale::setDefault(savedLocale);
    std::setlocale(LC_NUMERIC, "C");
    resetProcessState();
}

void CalculationTest::formats_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("expected");

    for (const char *locale : {"C", "de_DE"}) {
        auto row = [locale](const char *name) -> QTestData & { return QTest::newRow(qPrintable(QString("%1 %2").arg(locale, name))); };
        // currents
        row("zero current") << "current" << 0.0f << "0.0mA";
        row("37.46 rounds up") << "current" << 37.46f << "37.5mA";
        row("37.44 rounds down") << "current" << 37.44f << "37.4mA";
        row("worked quiescent 29.94") << "current" << 29.94f << "29.9mA";
        row("worked alarm 210.74") << "current" << 210.74f << "210.7mA";
        // exact binary ties round to even, as printf does
        row("binary tie 0.25 rounds down to even") << "current" << 0.25f << "0.2mA";
        row("binary tie 0.75 rounds up to even") << "current" << 0.75f << "0.8mA";
        row("five devices of 0.25 mA") << "current" << 1.25f << "1.2mA";
        row("negative tie -0.25") << "current" << -0.25f << "-0.2mA";
        row("0.35 is below its tie in binary") << "current" << 0.35f << "0.3mA";
        row("0.15 is above its tie in binary") << "current" << 0.15f << "0.2mA";
        row("largest float keeps every digit") << "current" << 3.4028235e38f
                                               << "340282346638528859811704183484516925440.0mA";
        row("large current has no grouping") << "current" << 1234567.0f << "1234567.0mA";
        // computed lengths
        row("length 812.34") << "length" << 812.34f << "812.3m";
        row("length 1372.57") << "length" << 1372.57f << "1372.6m";
        row("length zero") << "length" << 0.0f << "0.0m";
        row("length tie 812.25 rounds to even") << "length" << 812.25f << "812.2m";
        row("length tie 812.75 rounds to even") << "length" << 812.75f << "812.8m";
        // the cap, general format with 6 significant digits
        row("cap 1000") << "cap" << 1000.0f << "1000m";
        row("cap 1500.5") << "cap" << 1500.5f << "1500.5m";
        row("cap 2000") << "cap" << 2000.0f << "2000m";
        row("cap 0") << "cap" << 0.0f << "0m";
        row("cap 123456.7 keeps 6 digits") << "cap" << 123456.7f << "123457m";
        row("cap 999999") << "cap" << 999999.0f << "999999m";
        row("cap one million in exponent form") << "cap" << 1.0e6f << "1e+06m";
        row("cap 0.25") << "cap" << 0.25f << "0.25m";
    }
}

void CalculationTest::formats()
{
    QFETCH(QString, kind);
    QFETCH(float, value);
    QFETCH(QString, expected);

    if (QString(QTest::currentDataTag()).startsWith("de_DE")) {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // may not be installed; the QLocale default is
    }
    const QString text = kind == "current" ? formatCurrent(value)
                         : kind == "length" ? formatLength(value)
                                            : formatCap(value);
    QCOMPARE(text, expected);
}

void CalculationTest::lengthCell_data()
{
    QTest::addColumn<float>("length");
    QTest::addColumn<float>("cap");
    QTest::addColumn<bool>("noMargin");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QString>("expected");

    QTest::newRow("below the cap") << 812.34f << 1000.0f << false << true << "812.3m";
    QTest::newRow("above the cap") << 1250.0f << 1000.0f << false << true << "1000m";
    QTest::newRow("exactly the cap") << 1000.0f << 1000.0f << false << true << "1000m";
    QTest::newRow("just below the cap") << 999.99f << 1000.0f << false << true << "1000.0m";
    QTest::newRow("fractional cap") << 2058.86f << 1500.5f << false << true << "1500.5m";
    QTest::newRow("infinite length is the cap") << kInf << 2000.0f << false << true << "2000m";
    QTest::newRow("not a number keeps the cells") << kNaN << 2000.0f << false << false << "";
    QTest::newRow("no voltage margin") << -500.0f << 2000.0f << true << true << "0.0m";
    QTest::newRow("no voltage margin, not a number") << kNaN << 2000.0f << true << true << "0.0m";
    QTest::newRow("no voltage margin, zero cap") << 0.0f << 0.0f << true << true << "0.0m";
}

void CalculationTest::lengthCell()
{
    QFETCH(float, length);
    QFETCH(float, cap);
    QFETCH(bool, noMargin);
    QFETCH(bool, written);
    QFETCH(QString, expected);

    const std::optional<QString> text = lengthCellText(length, cap, noMargin);
    QCOMPARE(text.has_value(), written);
    if (written)
        QCOMPARE(*text, expected);
}

void CalculationTest::parseCount_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");

    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("42") << "42" << 42;
    QTest::newRow("999") << "999" << 999;
    QTest::newRow("leading zero is decimal, not octal") << "010" << 10;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("trailing letters") << "12abc" << 0;
    QTest::newRow("hexadecimal") << "0x10" << 0;
    QTest::newRow("exponent") << "1e3" << 0;
    QTest::newRow("decimal point") << "1.5" << 0;
    QTest::newRow("negative never lowers a total") << "-3" << 0;
    QTest::newRow("beyond int") << "99999999999" << 0;
    QTest::newRow("large from a file") << "1000" << 1000;
}

void CalculationTest::parseCount()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(parseCountText(text), value);
}

void CalculationTest::status_data()
{
    QTest::addColumn<float>("alarm");
    QTest::addColumn<float>("limit");
    QTest::addColumn<CurrentStatus>("expected");

    QTest::newRow("400.0 of 500 is exactly 80 %: normal") << 400.0f << 500.0f << CurrentStatus::Normal;
    QTest::newRow("400.1 of 500: near limit") << 400.1f << 500.0f << CurrentStatus::NearLimit;
    QTest::newRow("499.9 of 500: near limit") << 499.9f << 500.0f << CurrentStatus::NearLimit;
    QTest::newRow("500.0 of 500: overloaded") << 500.0f << 500.0f << CurrentStatus::Overloaded;
    QTest::newRow("600 of 500: overloaded") << 600.0f << 500.0f << CurrentStatus::Overloaded;
    QTest::newRow("200 of 250 is exactly 80 %: normal") << 200.0f << 250.0f << CurrentStatus::Normal;
    QTest::newRow("210.74 of 250: near limit") << 210.74f << 250.0f << CurrentStatus::NearLimit;
    QTest::newRow("250 of 250: overloaded") << 250.0f << 250.0f << CurrentStatus::Overloaded;
    QTest::newRow("210.74 of 400: normal") << 210.74f << 400.0f << CurrentStatus::Normal;
    // float(266.4) is 266.39999..., below 80 % of 333 (266.4) when compared exactly
    QTest::newRow("float just below 80 % of 333") << 266.4f << 333.0f << CurrentStatus::Normal;
    QTest::newRow("float just above 80 % of 333") << 266.40002f << 333.0f << CurrentStatus::NearLimit;
    QTest::newRow("no current") << 0.0f << 500.0f << CurrentStatus::Normal;
    QTest::newRow("zero limit") << 0.0f << 0.0f << CurrentStatus::Overloaded;
}

void CalculationTest::status()
{
    QFETCH(float, alarm);
    QFETCH(float, limit);
    QFETCH(CurrentStatus, expected);
    QCOMPARE(currentStatus(alarm, limit), expected);
}

void CalculationTest::selection_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<int>("loops");
    QTest::addColumn<QStringList>("cables");
    QTest::addColumn<QStringList>("warnings");
    QTest::addColumn<bool>("complete");

    const QString c = "FR 2x1.5";
    QTest::newRow("no panel, no loops") << "" << 0 << QStringList() << QStringList{"Please select panel model!"} << false;
    QTest::newRow("no panel, loops with cables")
        << "" << 2 << QStringList{c, c} << QStringList{"Please select panel model!"} << false;
    QTest::newRow("no panel, one cable missing")
        << "" << 2 << QStringList{c, ""} << QStringList{"Please select panel model!", "Loop2:Please select cable type!"}
        << false;
    QTest::newRow("loops 2 and 5 without cable")
        << "QP" << 5 << QStringList{c, "", c, c, ""}
        << QStringList{"Loop2:Please select cable type!", "Loop5:Please select cable type!"} << false;
    QTest::newRow("loop 16 without cable")
        << "QP" << 16 << (QStringList() << QVector<QString>(15, c).toList() << "")
        << QStringList{"Loop16:Please select cable type!"} << false;
    QTest::newRow("every cable chosen") << "QP" << 2 << QStringList{c, c} << QStringList() << true;
    QTest::newRow("panel without loops") << "QP" << 0 << QStringList() << QStringList() << true;
}

void CalculationTest::selection()
{
    QFETCH(QString, panel);
    QFETCH(int, loops);
    QFETCH(QStringList, cables);
    QFETCH(QStringList, warnings);
    QFETCH(bool, complete);

    const SelectionCheck check = checkSelection(panel, loops, cables);
    QCOMPARE(check.warnings, warnings);
    QCOMPARE(check.complete, complete);
}

void CalculationTest::workedCases_data()
{
    QTest::addColumn<float>("voltage");
    QTest::addColumn<float>("limit");
    QTest::addColumn<int>("maxDevices");
    QTest::addColumn<QString>("counts");
    QTest::addColumn<qint64>("devices");
    QTest::addColumn<QString>("quiescent");
    QTest::addColumn<QString>("alarm");
    QTest::addColumn<QString>("length");
    QTest::addColumn<CurrentStatus>("status");
    QTest::addColumn<QStringList>("warnings");

    const QString mix = "1:60,5:10,9:20,13:2";
    QTest::newRow("QP-220: normal, length above the cap")
        << 27.5f << 400.0f << 126 << mix << qint64(92) << "29.9mA" << "210.7mA" << "2000m" << CurrentStatus::Normal
        << QStringList();
    QTest::newRow("QP-110: above 80 %")
        << 24.0f << 250.0f << 126 << mix << qint64(92) << "29.9mA" << "210.7mA" << "1372.6m"
        << CurrentStatus::NearLimit << QStringList();
    QTest::newRow("QP-110: exactly 80 % is normal")
        << 24.0f << 250.0f << 126 << "9:20,7:4" << qint64(24) << "7.6mA" << "200.0mA" << "1446.3m"
        << CurrentStatus::Normal << QStringList();
    QTest::newRow("QP-110: exactly 100 % is overloaded")
        << 24.0f << 250.0f << 126 << "12:25,7:5" << qint64(30) << "10.7mA" << "250.0mA" << "1157.0m"
        << CurrentStatus::Overloaded << QStringList();
    QTest::newRow("QP-110: 127 devices over 126")
        << 24.0f << 250.0f << 126 << "1:100,5:20,13:7" << qint64(127) << "" << "" << "" << CurrentStatus::Normal
        << QStringList{"Loop1:Max number of devices should be less than or equal to 126."};
    QTest::newRow("QP-110: 126 devices accepted")
        << 24.0f << 250.0f << 126 << "1:100,5:19,13:7" << qint64(126) << "39.2mA" << "52.5mA" << "2000m"
        << CurrentStatus::Normal << QStringList();
    QTest::newRow("QP-220: codes 7, 8 and 9 add to 33 of 32")
        << 27.5f << 400.0f << 126 << "7:12,8:10,9:11,1:40" << qint64(73) << "" << "" << "" << CurrentStatus::Normal
        << QStringList{QString("Loop1:The sum of the number of SND-70") + kComma + "VAD-80" + kComma
                       + "SBC-90 should be less than or equal to 32"};
    QTest::newRow("QP-220: codes 7, 8 and 9 add to 32 of 32")
        << 27.5f << 400.0f << 126 << "7:12,8:10,9:10" << qint64(32) << "8.2mA" << "210.0mA" << "2000m"
        << CurrentStatus::Normal << QStringList();
}

void CalculationTest::workedCases()
{
    QFETCH(float, voltage);
    QFETCH(float, limit);
    QFETCH(int, maxDevices);
    QFETCH(QString, counts);
    QFETCH(qint64, devices);
    QFETCH(QString, quiescent);
    QFETCH(QString, alarm);
    QFETCH(QString, length);
    QFETCH(CurrentStatus, status);
    QFETCH(QStringList, warnings);

    QMap<QString, DeviceRecord> map = sampleDevices();
    Grid grid(map, 1);
    setCounts(grid, counts);
    const LoopResults r = calculateLoops(map, inputsFor(grid, 1, voltage, limit, maxDevices, 12.1f));

    QCOMPARE(r.checkWarnings, warnings);
    QCOMPARE(r.totals.deviceTotal[0], devices);
    QCOMPARE(r.excluded(0), !warnings.isEmpty());
    if (r.excluded(0))
        return;
    QCOMPARE(formatCurrent(r.totals.quiescentTotal[0]), quiescent);
    QCOMPARE(formatCurrent(r.totals.alarmTotal[0]), alarm);
    QCOMPARE(*lengthCellText(r.totals.maxLength[0], 2000.0f, r.noVoltageMargin), length);
    QCOMPARE(r.status[0], status);
}

void CalculationTest::restrictedListJoinsNamesAndSecondRows_data()
{
    QTest::addColumn<bool>("secondRow");
    QTest::addColumn<bool>("withC");
    QTest::addColumn<QString>("expected");

    QTest::newRow("A and B") << false << false << QString("A") + kComma + "B";
    QTest::newRow("B with second row B2") << true << false << QString("A") + kComma + "B" + kComma + "B2";
    QTest::newRow("code 9 too") << true << true << QString("A") + kComma + "B" + kComma + "B2" + kComma + "C";
}

void CalculationTest::restrictedListJoinsNamesAndSecondRows()
{
    QFETCH(bool, secondRow);
    QFETCH(bool, withC);
    QFETCH(QString, expected);

    QMap<QString, DeviceRecord> map;
    map.insert("7", makeDevice("7", "A", "Sounder", 1, 1));
    DeviceRecord b = makeDevice("8", "B", "Sounder", 1, 1);
    b.hasSecondRow = secondRow;
    b.secondRowName = "B2";
    map.insert("8", b);
    if (withC)
        map.insert("9", makeDevice("9", "C", "Sounder", 1, 1));
    map.insert("70", makeDevice("70", "not restricted", "Sounder", 1, 1));
    QCOMPARE(restrictedDeviceList(map), expected);

    // a loop over the limit names the list even for devices it does not hold
    Grid grid(map, 3);
    grid.set("7", 2, "33");
    CalculationInputs in = inputsFor(grid, 3, 27.5f, 400.0f, 126, 12.1f);
    const LoopResults r = calculateLoops(map, in);
    QCOMPARE(r.checkWarnings,
             QStringList{"Loop3:The sum of the number of " + expected + " should be less than or equal to 32"});
}

void CalculationTest::percentInDeviceNameKeptInWarning()
{
    QMap<QString, DeviceRecord> map;
    map.insert("7", makeDevice("7", "S%1", "Sounder", 1, 1));
    map.insert("8", makeDevice("8", "B%2", "Sounder", 1, 1));
    Grid grid(map, 1);
    grid.set("7", 0, "33");
    const LoopResults r = calculateLoops(map, inputsFor(grid, 1, 27.5f, 400.0f, 126, 12.1f));
    QCOMPARE(r.checkWarnings, QStringList{QString("Loop1:The sum of the number of S%1") + kComma
                                          + "B%2 should be less than or equal to 32"});
    QCOMPARE(restrictedDeviceList({}), QString());
}

void CalculationTest::secondRowCountsAndRoundsSeparately()
{
    QMap<QString, DeviceRecord> map;
    DeviceRecord d = makeDevice("1", "D", "Detector", 0.013f, 0.013f);
    d.hasSecondRow = true;
    d.secondRowName = "D2";
    map.insert("1", d);
    Grid grid(map, 2);
    grid.set("1", 1, "10");
    grid.set("1", 1, "5", true);
    const LoopResults r = calculateLoops(map, inputsFor(grid, 2, 27.5f, 400.0f, 126, 12.1f));

    QCOMPARE(r.totals.deviceTotal[1], qint64(15));
    QCOMPARE(r.totals.detectorTotal[1], qint64(15));
    QCOMPARE(r.totals.deviceTotal[0], qint64(0));
    QCOMPARE(map["1"].loopCounts[1], 10);
    QCOMPARE(map["1"].secondRowLoopCounts[1], 5);
    // float(float(10 x 0.013) + 5 x 0.013), not float(15 x 0.013) = 0.195000008
    QCOMPARE(exact(r.totals.alarmTotal[1]), QString("0.194999993"));
    QCOMPARE(exact(r.totals.quiescentTotal[1]), QString("0.194999993"));
}

void CalculationTest::quiescentRounding_data()
{
    QTest::addColumn<QString>("counts");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");

    // 31 x 1.2 + 5 x 0.12 + 31 x 0.35 = 48.65: summed in double and rounded once it would be
    // 48.6500015 and show 48.7mA
    QTest::newRow("every store rounds to float") << "13:5,9:31,10:31" << "48.6499977" << "48.6mA";
    // 45 x 0.25 + 42 x 0.35: with the product rounded to float before the sum it would be
    // 25.9500008 and show 26.0mA
    QTest::newRow("product and sum formed in double") << "2:45,9:42" << "25.9499989" << "25.9mA";
}

void CalculationTest::quiescentRounding()
{
    QFETCH(QString, counts);
    QFETCH(QString, stored);
    QFETCH(QString, shown);

    QMap<QString, DeviceRecord> map = sampleDevices();
    Grid grid(map, 1);
    setCounts(grid, counts);
    const LoopResults r = calculateLoops(map, inputsFor(grid, 1, 27.5f, 400.0f, 126, 12.1f));
    QCOMPARE(exact(r.totals.quiescentTotal[0]), stored);
    QCOMPARE(formatCurrent(r.totals.quiescentTotal[0]), shown);
}

void CalculationTest::typeIsCaseSensitive()
{
    QMap<QString, DeviceRecord> map;
    map.insert("a", makeDevice("a", "lower", "detector", 1, 1));
    map.insert("b", makeDevice("b", "upper", "Detector", 1, 1));
    map.insert("c", makeDevice("c", "module", "Module", 1, 1));
    map.insert("d", makeDevice("d", "sounder", "Sounder", 1, 1));
    map.insert("e", makeDevice("e", "isolator", "Isolator", 1, 1));
    Grid grid(map, 1);
    grid.set("a", 0, "1");
    grid.set("b", 0, "2");
    grid.set("c", 0, "3");
    grid.set("d", 0, "4");
    grid.set("e", 0, "5");
    const LoopResults r = calculateLoops(map, inputsFor(grid, 1, 27.5f, 400.0f, 126, 12.1f));
    QCOMPARE(r.totals.detectorTotal[0], qint64(2));
    QCOMPARE(r.totals.moduleTotal[0], qint64(3));
    QCOMPARE(r.totals.sounderTotal[0], qint64(4));
    QCOMPARE(r.totals.otherTotal[0], qint64(1 + 5));
}

void CalculationTest::countsWrittenBackAndRowsOutsideGridCountZero()
{
    QMap<QString, DeviceRecord> map = sampleDevices();
    map["1"].secondRowLoopCounts[0] = 7;  // stale count of a row the short grid has no field for
    map["9"].loopCounts[0] = 4;
    map["9"].loopCounts[1] = 6;  // beyond loopCount: untouched
    Grid grid(map, 1, 1);        // one row: device "1", first row only
    grid.set("1", 0, "12");
    const LoopResults r = calculateLoops(map, inputsFor(grid, 1, 27.5f, 400.0f, 126, 12.1f));
    QCOMPARE(map["1"].loopCounts[0], 12);
    QCOMPARE(map["1"].secondRowLoopCounts[0], 0);
    QCOMPARE(map["9"].loopCounts[0], 0);
    QCOMPARE(map["9"].loopCounts[1], 6);
    QCOMPARE(r.totals.deviceTotal[0], qint64(12));
    QCOMPARE(formatCurrent(r.totals.alarmTotal[0]), QString("5.4mA"));
}

void CalculationTest::countsNotReadWithoutLoopColumns()
{
    QMap<QString, DeviceRecord> map = sampleDevices();
    map["12"].loopCounts[0] = 10;
    Grid grid(map, 1);
    grid.set("12", 0, "99");
    CalculationInputs in = inputsFor(grid, 1, 27.5f, 400.0f, 126, 12.1f);
    in.readCounts = false;
    const LoopResults r = calculateLoops(map, in);
    QCOMPARE(map["12"].loopCounts[0], 10);
    QCOMPARE(r.totals.deviceTotal[0], qint64(0));
    QCOMPARE(r.totals.sounderTotal[0], qint64(10));
    QCOMPARE(formatCurrent(r.totals.alarmTotal[0]), QString("90.0mA"));
}

void CalculationTest::noVoltageMarginGivesZeroLength_data()
{
    QTest::addColumn<float>("voltage");
    QTest::addColumn<QString>("counts");

    QTest::newRow("equal voltage, no current (0/0)") << 17.0f << "";
    QTest::newRow("equal voltage, with current") << 17.0f << "1:10";
    QTest::newRow("lower voltage, no current (-inf)") << 12.0f << "";
    QTest::newRow("lower voltage, with current (negative)") << 12.0f << "1:10";
    QTest::newRow("voltage not a number") << kNaN << "1:10";
}

void CalculationTest::noVoltageMarginGivesZeroLength()
{
    QFETCH(float, voltage);
    QFETCH(QString, counts);

    QMap<QString, DeviceRecord> map = sampleDevices();
    Grid grid(map, 1);
    setCounts(grid, counts);
    const LoopResults r = calculateLoops(map, inputsFor(grid, 1, voltage, 400.0f, 126, 12.1f));
    QVERIFY(r.noVoltageMargin);
    QCOMPARE(*lengthCellText(r.totals.maxLength[0], 2000.0f, r.noVoltageMargin), QString("0.0m"));
}

void CalculationTest::hugeCountsDoNotOverflow()
{
    QMap<QString, DeviceRecord> map = sampleDevices();
    Grid grid(map, 1);
    for (const DeviceRow &row : grid.order)
        grid.texts[row.row][0] = "2147483647";
    const LoopResults r = calculateLoops(map, inputsFor(grid, 1, 27.5f, 400.0f, 126, 12.1f));
    QCOMPARE(r.totals.deviceTotal[0], qint64(17) * 2147483647);
    QVERIFY(r.maxDevicesExceeded[0]);
    QVERIFY(r.restrictedExceeded[0]);
}

void CalculationTest::unsoundInputsExcludeTheLoop_data()
{
    // field: "alarm:<code>", "quiescent:<code>", "resistance1" (loop 1's cable), "limit",
    // "voltage", "minVoltage" or "cap"; counts on loop 1 as "code:n".
    QTest::addColumn<QString>("field");
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("counts");
    QTest::addColumn<bool>("loop1Unsound");
    QTest::addColumn<bool>("loop2Unsound");

    QTest::newRow("NaN alarm current spoils every loop") << "alarm:2" << kNaN << "" << true << true;
    QTest::newRow("infinite quiescent current spoils every loop") << "quiescent:2" << kInf << "1:3" << true << true;
    QTest::newRow("negative alarm current on the loop counting it") << "alarm:2" << -0.35f << "2:3" << true << false;
    QTest::newRow("negative current on no loop is harmless") << "alarm:2" << -0.35f << "1:3" << false << false;
    QTest::newRow("negative resistance") << "resistance1" << -12.1f << "" << true << false;
    QTest::newRow("infinite resistance") << "resistance1" << kInf << "1:3" << true << false;
    QTest::newRow("zero resistance is sound") << "resistance1" << 0.0f << "1:3" << false << false;
    QTest::newRow("NaN current limit") << "limit" << kNaN << "1:3" << true << true;
    QTest::newRow("negative current limit") << "limit" << -400.0f << "1:3" << true << true;
    QTest::newRow("NaN panel voltage") << "voltage" << kNaN << "1:3" << true << true;
    QTest::newRow("infinite minimum voltage") << "minVoltage" << kInf << "1:3" << true << true;
    QTest::newRow("NaN length cap") << "cap" << kNaN << "1:3" << true << true;
    QTest::newRow("currents summing past the float range") << "alarm:2" << 3.0e38f << "2:999" << true << false;
    QTest::newRow("sound catalogue") << "alarm:2" << 0.35f << "2:999" << false << false;
}

void CalculationTest::unsoundInputsExcludeTheLoop()
{
    QFETCH(QString, field);
    QFETCH(float, value);
    QFETCH(QString, counts);
    QFETCH(bool, loop1Unsound);
    QFETCH(bool, loop2Unsound);

    QMap<QString, DeviceRecord> map = sampleDevices();
    Grid grid(map, 2);
    setCounts(grid, counts);
    CalculationInputs in = inputsFor(grid, 2, 27.5f, 400.0f, 100000, 12.1f);
    const QString code = field.section(':', 1);
    if (field.startsWith("alarm:"))
        map[code].alarmCurrent = value;
    else if (field.startsWith("quiescent:"))
        map[code].quiescentCurrent = value;
    else if (field == "resistance1")
        in.loopCableResistance[0] = value;
    else if (field == "limit")
        in.panelMaxLoopCurrent = value;
    else if (field == "voltage")
        in.panelLoopVoltage = value;
    else if (field == "minVoltage")
        in.condition.minLoopVoltage = value;
    else if (field == "cap")
        in.condition.maxLoopLength = value;
    in.condition.maxDeviceSum = 100000;

    const LoopResults r = calculateLoops(map, in);
    QCOMPARE(r.unsoundInputs[0], loop1Unsound);
    QCOMPARE(r.unsoundInputs[1], loop2Unsound);
    QCOMPARE(r.excluded(0), loop1Unsound);
    QCOMPARE(r.excluded(1), loop2Unsound);
    QStringList expected;
    if (loop1Unsound)
        expected << "Loop1:Catalogue values of this loop are not valid, no result can be given.";
    if (loop2Unsound)
        expected << "Loop2:Catalogue values of this loop are not valid, no result can be given.";
    QCOMPARE(r.checkWarnings, expected);
}

QTEST_GUILESS_MAIN(CalculationTest)
#include "test_calculation.moc"
