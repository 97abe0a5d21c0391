#include "project/project_file.h"

#include <QtEndian>
#include <QtTest>
#include <limits>

Q_DECLARE_METATYPE(ProjectFileError)
Q_DECLARE_METATYPE(ProjectData)

namespace {

// Hand-made bytes, written without QDataStream so that the codec is checked against the layout.
QByteArray be32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray text(const QString &s)
{
    QByteArray bytes = be32(quint32(s.size() * 2));
    for (const QChar c : s) {
        bytes.append(char(c.unicode() >> 8));
        bytes.append(char(c.unicode() & 0xff));
    }
    return bytes;
}

QByteArray header(quint32 catalogueVersion = 3) { return be32(0x20220112) + be32(1) + be32(catalogueVersion); }

// Header, five empty texts, panel "P", then the loop count.
QByteArray upToLoopCount(qint32 loopCount)
{
    return header() + QByteArray(20, '\0') + text("P") + be32(quint32(loopCount));
}

QByteArray fromHex(const char *hex) { return QByteArray::fromHex(QByteArray(hex).replace(' ', "")); }

QByteArray be64(double value)
{
    QByteArray bytes(8, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

// A number of the battery block: given flag and double.
QByteArray number(double value, quint32 given = 1) { return be32(given) + be64(value); }

// BS 5839-1, 24 h, 30 min, both own currents from the catalogue, no additional loads.
QByteArray defaultBatteryPayload()
{
    return be32(0) + number(24) + number(30) + be32(0) + number(0, 0) + be32(0) + number(0, 0) + number(0, 0) +
           number(0, 0);
}

QByteArray batteryBlock(const QByteArray &payload, qint64 length = -1)
{
    return be32(0x42415454) + be32(quint32(length < 0 ? payload.size() : length)) + payload;
}

BatteryInputs typedBattery()
{
    BatteryInputs b = defaultBatteryInputs(BatteryStandard::Nfpa72_2019);
    b.alarmMinutes = 15.0;
    b.ownQuiescentTyped = true;
    b.ownQuiescent = 120.5;
    b.ownAlarmTyped = true;  // typed empty
    b.additionalStandby = 15.0;
    b.additionalAlarm = 0.0;
    return b;
}

ProjectData sixteenLoopProject()
{
    ProjectData d;
    d.catalogueVersionNumber = 3;
    d.projectName = QString::fromUtf8("消防报警 – Nordhalle");
    d.projectLocation = QString::fromUtf8("Zürich, Halle 3 🔥");
    d.companyName = "";
    d.email = "ops@example.org";
    d.comment = "line one\n\nline three\n<b>urgent</b> & \"quoted\"";
    d.panelName = "QP-1640 (16 loops)";
    d.loopCount = 16;
    for (int loop = 0; loop < 16; ++loop)
        d.cableNames.append(loop % 3 ? QString("Cable %1").arg(loop) : QString());
    for (int row = 0; row < 4; ++row) {
        QStringList texts;
        for (int loop = 0; loop < 16; ++loop)
            texts.append(QString::number((row * 37 + loop * 11) % 1000));
        texts[row] = "";
        d.countRows.append(texts);
    }
    d.hasExtraRows = true;
    for (int row = 0; row < 2; ++row) {
        QStringList texts;
        for (int loop = 0; loop < 16; ++loop)
            texts.append(QString::number(row + loop));
        d.extraCountRows.append(texts);
    }
    return d;
}

}  // namespace

class ProjectFileTest : public QObject {
    Q_OBJECT

private slots:
    void encodesByteExact_data();
    void encodesByteExact();
    void roundTrip_data();
    void roundTrip();
    void everyTruncationRefused();
    void everyByteFlipRefusedOrSound();
    void hostileInput_data();
    void hostileInput();
    void batteryBlockLayout();
    void withoutBatteryBlockTheDefaults();
    void everyTruncationOfTheBatteryBlockRefused();
    void refusalReasons_data();
    void refusalReasons();
    void refusalLeavesDataUntouched();
    void sizeLimitSameForWriterAndReader_data();
    void sizeLimitSameForWriterAndReader();
};

void ProjectFileTest::encodesByteExact_data()
{
    QTest::addColumn<ProjectData>("data");
    QTest::addColumn<QByteArray>("bytes");

    ProjectData ab;
    ab.catalogueVersionNumber = 3;
    ab.projectName = "ab";
    QTest::newRow("name ab, no panel, no trailing block")
        << ab
        << fromHex("20220112 00000001 00000003  00000004 00610062  00000000 00000000 00000000 00000000"
                   "  00000000  00000000");

    ProjectData nullTexts = ab;
    nullTexts.projectName = QString();
    nullTexts.email = QString("");
    QTest::newRow("null and empty texts both written as length 0")
        << nullTexts
        << fromHex("20220112 00000001 00000003  00000000 00000000 00000000 00000000 00000000"
                   "  00000000  00000000");

    ProjectData loops;
    loops.catalogueVersionNumber = -2;
    loops.comment = QString::fromUtf8("火\n🔥");
    loops.panelName = "P";
    loops.loopCount = 2;
    loops.cableNames = QStringList{"K", ""};
    loops.countRows = {QStringList{"7", ""}};
    loops.hasExtraRows = true;
    loops.extraCountRows = {QStringList{"0", "42"}};
    QTest::newRow("two loops, CJK and a surrogate pair, trailing block")
        << loops
        << fromHex("20220112 00000001 fffffffe  00000000 00000000 00000000 00000000"
                   "  00000008 706b000a d83ddd25  00000002 0050  00000002"
                   "  00000002 004b 00000000  00000002 0037 00000000"
                   "  00000001  00000002 0030 00000004 00340032");
}

void ProjectFileTest::encodesByteExact()
{
    QFETCH(ProjectData, data);
    QFETCH(QByteArray, bytes);
    QCOMPARE(encodeProject(data).toHex(' '), bytes.toHex(' '));
}

void ProjectFileTest::roundTrip_data()
{
    QTest::addColumn<ProjectData>("data");

    QTest::newRow("saved before any panel was chosen") << ProjectData();
    ProjectData texts;
    texts.catalogueVersionNumber = 3;
    texts.projectName = QString::fromUtf8("北京站 第二期");
    texts.projectLocation = "\n";
    texts.companyName = QString(40000, QChar(0x4e2d));
    texts.email = "a@b";
    texts.comment = "first\r\nsecond\n\n\tthird  ";
    QTest::newRow("CJK, long, multi-line and blank texts") << texts;
    QTest::newRow("sixteen loops with trailing block") << sixteenLoopProject();
    ProjectData noBlock = sixteenLoopProject();
    noBlock.hasExtraRows = false;
    noBlock.extraCountRows.clear();
    QTest::newRow("sixteen loops, older file without trailing block") << noBlock;
    ProjectData panelOnly = sixteenLoopProject();
    panelOnly.loopCount = 0;
    panelOnly.cableNames.clear();
    panelOnly.countRows = QVector<QStringList>(4);
    panelOnly.extraCountRows = QVector<QStringList>(2);
    QTest::newRow("panel named, loop count 0") << panelOnly;
    ProjectData battery = sixteenLoopProject();
    battery.hasBattery = true;
    battery.battery = typedBattery();
    QTest::newRow("sixteen loops with battery block, typed own currents") << battery;
    ProjectData defaults = panelOnly;
    defaults.hasBattery = true;
    QTest::newRow("battery block with the defaults") << defaults;
}

void ProjectFileTest::roundTrip()
{
    QFETCH(ProjectData, data);
    const QByteArray bytes = encodeProject(data);
    ProjectData read;
    read.projectName = "not overwritten";
    QCOMPARE(decodeProject(bytes, data.catalogueVersionNumber, data.countRows.size(), &read),
             ProjectFileError::None);
    QVERIFY(read == data);
    QCOMPARE(encodeProject(read), bytes);
}

void ProjectFileTest::everyTruncationRefused()
{
    const ProjectData full = sixteenLoopProject();
    ProjectData withoutBlock = full;
    withoutBlock.hasExtraRows = false;
    withoutBlock.extraCountRows.clear();
    const QByteArray bytes = encodeProject(full);
    const int mainBlockEnd = encodeProject(withoutBlock).size();
    QVERIFY(mainBlockEnd < bytes.size());

    for (int size = 0; size < bytes.size(); ++size) {
        ProjectData read;
        const ProjectFileError error = decodeProject(bytes.left(size), 3, 4, &read);
        if (size == mainBlockEnd) {
            QCOMPARE(error, ProjectFileError::None);
            QVERIFY(read == withoutBlock);
        } else {
            QVERIFY2(error == ProjectFileError::NotLegal, qPrintable(QString("prefix of %1 bytes").arg(size)));
        }
    }
}

void ProjectFileTest::everyByteFlipRefusedOrSound()
{
    const QByteArray bytes = encodeProject(sixteenLoopProject());
    int accepted = 0;
    for (int offset = 0; offset < bytes.size(); ++offset) {
        for (const char mask : {char(0x01), char(0x80), char(0xff)}) {
            QByteArray flipped = bytes;
            flipped[offset] = char(flipped[offset] ^ mask);
            ProjectData read;
            if (decodeProject(flipped, 3, 4, &read) != ProjectFileError::None)
                continue;
            ++accepted;
            // Whatever is accepted fits the window: at most 16 loops, every row complete and
            // every count a text the field could hold.
            const QString where = QString("offset %1, mask %2").arg(offset).arg(int(uchar(mask)));
            QVERIFY2(read.loopCount >= 0 && read.loopCount <= 16, qPrintable(where));
            QVERIFY2(read.cableNames.size() == read.loopCount, qPrintable(where));
            QVERIFY2(read.countRows.size() == 4, qPrintable(where));
            QVERIFY2(read.extraCountRows.size() <= 106, qPrintable(where));
            for (const auto *rows : {&read.countRows, &read.extraCountRows})
                for (const QStringList &row : *rows) {
                    QVERIFY2(row.size() == read.loopCount, qPrintable(where));
                    for (const QString &count : row)
                        QVERIFY2(isCountText(count), qPrintable(where));
                }
        }
    }
    // Flips inside the free texts are legal files.
    QVERIFY(accepted > 0);
}

void ProjectFileTest::hostileInput_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<ProjectFileError>("expected");

    const QByteArray oneLoopFile = upToLoopCount(1) + text("K") + text("1") + text("2");
    QTest::newRow("valid reference: one loop, two rows") << oneLoopFile << ProjectFileError::None;

    QTest::newRow("empty file") << QByteArray() << ProjectFileError::NotLegal;
    QTest::newRow("wrong magic") << be32(0x12012220) + oneLoopFile.mid(4) << ProjectFileError::NotLegal;
    QTest::newRow("format version 2") << be32(0x20220112) + be32(2) + oneLoopFile.mid(8)
                                      << ProjectFileError::WrongVersion;
    QTest::newRow("format version 0, file ends there") << be32(0x20220112) + be32(0)
                                                       << ProjectFileError::WrongVersion;
    QTest::newRow("other catalogue version number") << header(4) + oneLoopFile.mid(12)
                                                    << ProjectFileError::WrongVersion;
    QTest::newRow("other catalogue version, file ends after it") << header(4) << ProjectFileError::WrongVersion;

    QTest::newRow("text length 2 GiB, file short") << header() + be32(0x80000000) + QByteArray(64, 'x')
                                                   << ProjectFileError::NotLegal;
    QTest::newRow("odd UTF-16 byte count") << header() + be32(3) + QByteArray("\0a\0", 3) + oneLoopFile.mid(12)
                                           << ProjectFileError::NotLegal;
    QTest::newRow("null texts read as empty")
        << header() + be32(0xffffffff).repeated(6) + be32(1) + be32(0xffffffff).repeated(3)
        << ProjectFileError::None;

    QTest::newRow("loop count -1") << upToLoopCount(-1) << ProjectFileError::NotLegal;
    QTest::newRow("loop count 17") << upToLoopCount(17) + text("K").repeated(17 * 3) << ProjectFileError::NotLegal;
    QTest::newRow("loop count 16, complete") << upToLoopCount(16) + text("").repeated(16 * 3)
                                             << ProjectFileError::None;

    QTest::newRow("count text with leading zero") << upToLoopCount(1) + text("K") + text("012") + text("2")
                                                  << ProjectFileError::NotLegal;
    QTest::newRow("count text 1000") << upToLoopCount(1) + text("K") + text("1000") + text("2")
                                     << ProjectFileError::NotLegal;
    QTest::newRow("count text with blank") << upToLoopCount(1) + text("K") + text(" 7") + text("2")
                                           << ProjectFileError::NotLegal;
    QTest::newRow("count text Arabic-Indic digit") << upToLoopCount(1) + text("K") + text(QChar(0x0663)) + text("2")
                                                   << ProjectFileError::NotLegal;

    QTest::newRow("trailing block, E = 2") << oneLoopFile + be32(2) + text("5") + text("") << ProjectFileError::None;
    QTest::newRow("trailing block, E = 0") << oneLoopFile + be32(0) << ProjectFileError::None;
    QTest::newRow("bytes after the trailing block ignored")
        << oneLoopFile + be32(1) + text("5") + QByteArray("future") << ProjectFileError::None;
    QTest::newRow("trailing block, E = -1") << oneLoopFile + be32(0xffffffff) << ProjectFileError::NotLegal;
    QTest::newRow("trailing block, E beyond the 110-row grid") << oneLoopFile + be32(109) + text("1").repeated(109)
                                                               << ProjectFileError::NotLegal;
    QTest::newRow("trailing block, E fills the grid exactly") << oneLoopFile + be32(108) + text("1").repeated(108)
                                                              << ProjectFileError::None;
    QTest::newRow("two stray bytes after field 12") << oneLoopFile + QByteArray("\0\0", 2)
                                                    << ProjectFileError::NotLegal;
    QTest::newRow("trailing block with a bad count") << oneLoopFile + be32(1) + text("07")
                                                     << ProjectFileError::NotLegal;

    const QByteArray beforeBattery = oneLoopFile + be32(0);
    const QByteArray payload = defaultBatteryPayload();
    QTest::newRow("battery block") << beforeBattery + batteryBlock(payload) << ProjectFileError::None;
    QTest::newRow("battery block with fields of a later version")
        << beforeBattery + batteryBlock(payload + be32(7)) << ProjectFileError::None;
    QTest::newRow("an unknown block, then the battery block")
        << beforeBattery + be32(0x4E455854) + be32(3) + "abc" + batteryBlock(payload) << ProjectFileError::None;
    QTest::newRow("battery block, standard 3") << beforeBattery + batteryBlock(be32(3) + payload.mid(4))
                                               << ProjectFileError::NotLegal;
    QByteArray flag = payload;
    flag.replace(4, 4, be32(2));
    QTest::newRow("battery block, given flag 2") << beforeBattery + batteryBlock(flag) << ProjectFileError::NotLegal;
    QByteArray negative = payload;
    negative.replace(8, 8, be64(-24));
    QTest::newRow("battery block, standby period -24 h") << beforeBattery + batteryBlock(negative)
                                                         << ProjectFileError::NotLegal;
    QByteArray notANumber = payload;
    notANumber.replace(payload.size() - 8, 8, be64(std::numeric_limits<double>::quiet_NaN()));
    QTest::newRow("battery block, additional alarm load NaN") << beforeBattery + batteryBlock(notANumber)
                                                              << ProjectFileError::NotLegal;
    QByteArray typed = payload;
    typed.replace(28, 4, be32(5));
    QTest::newRow("battery block, typed flag 5") << beforeBattery + batteryBlock(typed) << ProjectFileError::NotLegal;
    QTest::newRow("two battery blocks") << beforeBattery + batteryBlock(payload) + batteryBlock(payload)
                                        << ProjectFileError::NotLegal;
}

void ProjectFileTest::batteryBlockLayout()
{
    ProjectData ab;
    ab.catalogueVersionNumber = 3;
    ab.projectName = "ab";
    ab.hasBattery = true;
    // No extra rows: an empty extra-row block stands before the battery block, as readers expect.
    const QByteArray expected = fromHex("20220112 00000001 00000003  00000004 00610062  00000000 00000000 00000000"
                                        "00000000  00000000  00000000  00000000") +
                                batteryBlock(defaultBatteryPayload());
    QCOMPARE(encodeProject(ab), expected);

    ab.battery = typedBattery();
    const QByteArray typedPayload = be32(2) + number(24) + number(15) + be32(1) + number(120.5) + be32(1) +
                                    number(0, 0) + number(15) + number(0);
    QVERIFY(encodeProject(ab).endsWith(batteryBlock(typedPayload)));
}

void ProjectFileTest::withoutBatteryBlockTheDefaults()
{
    ProjectData read;
    read.battery = typedBattery();
    const QByteArray older = encodeProject(sixteenLoopProject());
    QCOMPARE(decodeProject(older, 3, 4, &read), ProjectFileError::None);
    QVERIFY(!read.hasBattery);
    QVERIFY(read.battery == defaultBatteryInputs());
}

void ProjectFileTest::everyTruncationOfTheBatteryBlockRefused()
{
    ProjectData full = sixteenLoopProject();
    const int blockStart = encodeProject(full).size();
    full.hasBattery = true;
    full.battery = typedBattery();
    const QByteArray bytes = encodeProject(full);
    // Cut inside the tag, the bytes are not a block this reader knows: ignored, as they always were.
    for (int size = blockStart; size < bytes.size(); ++size) {
        ProjectData read;
        const ProjectFileError error = decodeProject(bytes.left(size), 3, 4, &read);
        if (size < blockStart + 4) {
            QCOMPARE(error, ProjectFileError::None);
            QVERIFY(!read.hasBattery);
        } else {
            QVERIFY2(error == ProjectFileError::NotLegal, qPrintable(QString("prefix of %1 bytes").arg(size)));
        }
    }
}

void ProjectFileTest::hostileInput()
{
    QFETCH(QByteArray, bytes);
    QFETCH(ProjectFileError, expected);
    ProjectData read;
    QCOMPARE(decodeProject(bytes, 3, 2, &read), expected);
}

// What Open's box says under its text; %1 is the size of the file.
void ProjectFileTest::refusalReasons_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    const QByteArray oneLoopFile = upToLoopCount(1) + text("K") + text("1") + text("2");

    QTest::newRow("empty file") << QByteArray() << "The file is empty.";
    QTest::newRow("format version 0") << be32(0x20220112) + be32(0)
                                      << "It is written in project format version 0; this Quillon reads format "
                                         "version 1.";
    QTest::newRow("other catalogue version number")
        << header(4) << "It was saved under catalogue version number 4; this catalogue is number 3. "
                        "quillon-project migrate carries a project over.";
    QTest::newRow("ends before the first cable") << upToLoopCount(1)
                                                 << "The file ends early, at byte %1, before the cable name of Loop1.";
    QTest::newRow("loop count -1") << upToLoopCount(-1) << "The loop count is -1; a project has 0 to 16 loops.";
    QTest::newRow("count text 1000") << upToLoopCount(1) + text("K") + text("1000") + text("2")
                                     << "The count of device row 1 on Loop1 is \"1000\", which a count field cannot "
                                        "hold (0 to 999).";
    QTest::newRow("trailing block, E = -1") << oneLoopFile + be32(0xffffffff)
                                            << "The file holds -1 further count rows; this catalogue has room for 0 "
                                               "to 108.";
    QTest::newRow("trailing block with a bad count") << oneLoopFile + be32(1) + text("07")
                                                     << "The count of device row 3 on Loop1 is \"07\", which a count "
                                                        "field cannot hold (0 to 999).";
}

void ProjectFileTest::refusalReasons()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    ProjectData read;
    QString given;
    QVERIFY(decodeProject(bytes, 3, 2, &read, &given) != ProjectFileError::None);
    QCOMPARE(given, reason.arg(bytes.size()));
}

void ProjectFileTest::refusalLeavesDataUntouched()
{
    ProjectData read = sixteenLoopProject();
    const QByteArray bytes = encodeProject(read);
    QByteArray damaged = bytes;
    damaged.chop(3);
    QCOMPARE(decodeProject(damaged, 3, 4, &read), ProjectFileError::NotLegal);
    QCOMPARE(decodeProject(bytes, 4, 4, &read), ProjectFileError::WrongVersion);
    QVERIFY(read == sixteenLoopProject());
}

void ProjectFileTest::sizeLimitSameForWriterAndReader_data()
{
    QTest::addColumn<int>("extraCharacters");
    QTest::addColumn<bool>("written");
    QTest::newRow("a comment filling the file to the limit is written and read") << 0 << true;
    QTest::newRow("one character more is not written") << 1 << false;
}

void ProjectFileTest::sizeLimitSameForWriterAndReader()
{
    QFETCH(int, extraCharacters);
    QFETCH(bool, written);
    ProjectData d = sixteenLoopProject();
    d.comment = "x";
    const qint64 room = kMaxProjectFileBytes - encodeProject(d).size();
    QVERIFY(room > 0 && room % 2 == 0);  // UTF-16: two bytes a character
    d.comment = QString(int(1 + room / 2 + extraCharacters), QLatin1Char('c'));

    const QByteArray bytes = encodeProject(d);
    QCOMPARE(!bytes.isEmpty(), written);
    if (!written)
        return;
    QCOMPARE(qint64(bytes.size()), kMaxProjectFileBytes);
    ProjectData read;
    QCOMPARE(decodeProject(bytes, 3, 4, &read), ProjectFileError::None);
    QCOMPARE(read.comment.size(), d.comment.size());
}

QTEST_GUILESS_MAIN(ProjectFileTest)
#include "test_project_file.moc"
