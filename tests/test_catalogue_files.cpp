#include "app/main_window.h"
#include "catalogue/dat_codec.h"
#include "catalogue_compare.h"
#include "recording_seam.h"
#include "test_catalogues.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <limits>

namespace {

float fromBits(quint32 image)
{
    float value;
    std::memcpy(&value, &image, sizeof value);
    return value;
}

QByteArray le32(quint32 value)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char(value >> (8 * i));
    return b;
}

QByteArray text(const QByteArray &utf8) { return le32(quint32(utf8.size())) + utf8; }

// Bytes of name.dat's trailing block: extraDeviceRows, then a flag and a text per device.
int secondRowBlockSize(const Catalogue &c)
{
    int size = 4;
    for (int i = 0; i < c.deviceCount; ++i)
        size += 4 + 4 + c.devices[i].secondRowName.toUtf8().size();
    return size;
}

// Bytes of data.dat's trailing block: a flag and a float per own current of each panel.
int ownCurrentBlockSize(const Catalogue &c) { return c.panelCount * 16; }

// Float images that a careless codec (a double round trip, a quieting NaN copy) would change.
Catalogue oddNumbersCatalogue()
{
    Catalogue c;
    const quint32 images[] = {0x7FC12345u, 0x7F800001u, 0xFFBFFFFFu, 0x80000000u, 0x00000001u,
                              0x7F800000u, 0xFF800000u, 0x7F7FFFFFu, 0x3DCCCCCDu, 0x80800000u};
    int k = 0;
    auto next = [&] { return fromBits(images[k++ % 10]); };
    c.panelCount = kPanelCapacity;
    for (int i = 0; i < kPanelCapacity; ++i) {
        c.panels[i].code = QString("P%1").arg(i);
        c.panels[i].loopCount = i == 0 ? std::numeric_limits<qint32>::min() : std::numeric_limits<qint32>::max() - i;
        c.panels[i].loopVoltage = next();
        c.panels[i].maxLoopCurrent = next();
        for (int loop = 0; loop < kMaxLoops; ++loop)
            c.panels[i].maxDevices[loop] = qint32(0x80000000u >> loop) ^ i;
    }
    c.cableCount = kCableCapacity;
    for (int i = 0; i < kCableCapacity; ++i)
        c.cables[i].resistance = next();
    c.deviceCount = kDeviceCapacity;
    for (int i = 0; i < kDeviceCapacity; ++i) {
        c.devices[i].code = QString::number(i);
        c.devices[i].quiescentCurrent = next();
        c.devices[i].alarmCurrent = next();
    }
    c.condition.minLoopVoltage = fromBits(0x7FC00001u);
    c.condition.maxLoopLength = fromBits(0xFF800000u);
    c.condition.maxDeviceSum = -1;
    c.catalogueVersionNumber = std::numeric_limits<qint32>::min();
    return c;
}

Catalogue textCatalogue()
{
    Catalogue c;
    c.panelCount = 2;
    c.panels[0].code = QString::fromUtf8("面板-1");
    c.panels[0].name = QString::fromUtf8("中央控制盘 (2 回路) – Zentrale Größe");
    c.panels[1].code = QString();  // empty texts are 4 bytes
    c.panels[1].name = QString::fromUtf8("\xF0\x9F\x94\xA5 emoji outside the BMP");
    c.cableCount = 1;
    c.cables[0].name = QString::fromUtf8("FR 2×1.5mm² «résistant»");
    c.deviceCount = 3;
    c.devices[0].name = QString::fromUtf8("感烟探测器");
    c.devices[0].type = QString::fromUtf8("探测器");
    c.devices[0].hasSecondRow = true;
    c.devices[0].secondRowName = QString::fromUtf8("感烟探测器 (底座)");
    c.devices[1].name = QString();
    c.devices[1].hasSecondRow = true;  // a second row whose name is empty
    c.devices[2].name = QString(5000, QChar(0x00E9));
    c.extraDeviceRows = 2;
    c.catalogueVersion = QString::fromUtf8("目录 2026.12");
    c.catalogueVersionNumber = 3;
    return c;
}

}  // namespace

Q_DECLARE_METATYPE(Catalogue)

class CatalogueFilesTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void roundTripIsBitIdentical_data();
    void roundTripIsBitIdentical();
    void windowWritesAndReadsBackTheFiles();
    void identicalFileIsLeftAlone_data();
    void identicalFileIsLeftAlone();
    void emptyCatalogueFiles();
    void byteLayoutOfOnePanelCableAndDevice();
    void nameFileWithoutSecondRowBlockReadsAsBefore();
    void trailingBytesAreIgnored();
    void countsAboveCapacityAreNeverWritten();

    void corruptDataFile_data();
    void corruptDataFile();
    void corruptNameFile_data();
    void corruptNameFile();
    void everyPrefixOfADataFileIsRefusedButTheOldLayout();
    void ownCurrentBlockUnderAnOlderReadersRules();
    void everyPrefixOfANameFileIsRefusedButTheOldLayout();
    void flippedBytesNeverCrash();

private:
    std::unique_ptr<RecordingSeam> seam;
    std::unique_ptr<WindowFixture> fixture;
    QTemporaryDir dir;
    QString writeFile(const QString &name, const QByteArray &bytes);
};

void CatalogueFilesTest::init()
{
    seam = std::make_unique<RecordingSeam>();
    fixture = std::make_unique<WindowFixture>(sampleCatalogue());
    seam->clear();
    resetProcessState();
}

void CatalogueFilesTest::cleanup()
{
    fixture.reset();
    seam.reset();
    resetProcessState();
}

QString CatalogueFilesTest::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void CatalogueFilesTest::roundTripIsBitIdentical_data()
{
    QTest::addColumn<Catalogue>("original");
    QTest::newRow("sample catalogue") << sampleCatalogue();
    QTest::newRow("full capacity") << fullCatalogue();
    QTest::newRow("NaN payloads, infinities, -0, denormals, extreme integers") << oddNumbersCatalogue();
    QTest::newRow("CJK, accents, emoji and empty texts") << textCatalogue();
    QTest::newRow("empty catalogue") << Catalogue();
}

void CatalogueFilesTest::roundTripIsBitIdentical()
{
    QFETCH(Catalogue, original);
    const QByteArray data = encodeDataFile(original);
    const QByteArray names = encodeNameFile(original);
    Catalogue read;
    QVERIFY(decodeDataFile(data, read));
    QVERIFY(decodeNameFile(names, read));
    QCOMPARE(catalogueDifferences(original, read), QStringList());
    QCOMPARE(encodeDataFile(read), data);
    QCOMPARE(encodeNameFile(read), names);
}

void CatalogueFilesTest::windowWritesAndReadsBackTheFiles()
{
    catalogue = textCatalogue();
    MainWindow::writeDataFile(dir.filePath("data.dat"));
    MainWindow::writeNameFile(dir.filePath("name.dat"));
    resetProcessState();
    fixture->window().readDataFile(dir.filePath("data.dat"));
    fixture->window().readNameFile(dir.filePath("name.dat"));
    QCOMPARE(seam->texts(), QStringList());
    QCOMPARE(catalogueDifferences(textCatalogue(), catalogue), QStringList());
}

void CatalogueFilesTest::identicalFileIsLeftAlone_data()
{
    QTest::addColumn<bool>("nameFile");
    QTest::addColumn<QByteArray>("before");  // empty: no file
    QTest::addColumn<bool>("rewritten");

    const Catalogue full = fullCatalogue();
    const Catalogue sample = sampleCatalogue();
    for (const bool nameFile : {false, true}) {
        const QByteArray same = nameFile ? encodeNameFile(full) : encodeDataFile(full);
        const QByteArray other = nameFile ? encodeNameFile(sample) : encodeDataFile(sample);
        const char *file = nameFile ? "name.dat" : "data.dat";
        QTest::addRow("%s: the same bytes", file) << nameFile << same << false;
        QTest::addRow("%s: another catalogue", file) << nameFile << other << true;
        // Read back, these give the same catalogue; the file is still not what would be written.
        QTest::addRow("%s: the same bytes and a trailing byte", file) << nameFile << same + 'x' << true;
        QTest::addRow("%s: one byte short", file) << nameFile << same.left(same.size() - 1) << true;
        QTest::addRow("%s: an empty file", file) << nameFile << QByteArray("") << true;
        QTest::addRow("%s: no file", file) << nameFile << QByteArray() << true;
    }
}

void CatalogueFilesTest::identicalFileIsLeftAlone()
{
    QFETCH(bool, nameFile);
    QFETCH(QByteArray, before);
    QFETCH(bool, rewritten);

    catalogue = fullCatalogue();
    const QByteArray expected = nameFile ? encodeNameFile(catalogue) : encodeDataFile(catalogue);
    const QString path = dir.filePath(nameFile ? "name.dat" : "data.dat");
    QFile::remove(path);
    const QDateTime longAgo(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);
    if (!before.isNull()) {
        writeFile(QFileInfo(path).fileName(), before);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(longAgo, QFileDevice::FileModificationTime));
    }

    if (nameFile)
        MainWindow::writeNameFile(path);
    else
        MainWindow::writeDataFile(path);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), expected);
    // A replaced file is a new one; the file left alone keeps its modification time.
    QCOMPARE(QFileInfo(path).lastModified().toUTC() != longAgo, rewritten);
    QCOMPARE(seam->texts(), QStringList());
}

void CatalogueFilesTest::emptyCatalogueFiles()
{
    Catalogue c;
    c.condition.minLoopVoltage = 17.0f;
    c.condition.maxLoopLength = 2000.0f;
    c.condition.maxDeviceSum = 32;
    const QByteArray expected = le32(0) + le32(0) + le32(0) + le32(0x41880000u) + le32(0x44FA0000u) + le32(32);
    QCOMPARE(encodeDataFile(c).size(), 24);
    QCOMPARE(encodeDataFile(c), expected);
    // name.dat: the version text and number, then the (empty) second-row block.
    c.catalogueVersion = "v";
    c.catalogueVersionNumber = 2;
    QCOMPARE(encodeNameFile(c), text("v") + le32(2) + le32(0));
}

void CatalogueFilesTest::byteLayoutOfOnePanelCableAndDevice()
{
    Catalogue c;
    c.panelCount = 1;
    c.panels[0].code = "A";
    c.panels[0].loopCount = 2;
    c.panels[0].loopVoltage = 24.0f;
    c.panels[0].maxLoopCurrent = 250.0f;
    c.panels[0].maxDevices[0] = 126;
    c.panels[0].maxDevices[15] = -2;
    c.cableCount = 1;
    c.cables[0].name = QString::fromUtf8("²");
    c.cables[0].resistance = 12.1f;
    c.deviceCount = 1;
    c.devices[0].code = "7";
    c.devices[0].type = "Sounder";
    c.devices[0].quiescentCurrent = 0.14f;
    c.devices[0].alarmCurrent = 5.0f;
    c.devices[0].hasSecondRow = true;
    c.devices[0].secondRowName = "B";
    c.extraDeviceRows = 1;
    c.condition.maxDeviceSum = 32;
    c.panels[0].ownAlarmCurrent = 250.0f;

    QByteArray panel = text("A") + text("") + le32(2) + le32(0x41C00000u) + le32(0x437A0000u) + le32(126);
    for (int loop = 1; loop < 15; ++loop)
        panel += le32(0);
    panel += le32(quint32(-2));
    const QByteArray cable = text("") + text("\xC2\xB2") + le32(0x4141999Au);
    const QByteArray device = text("7") + text("") + text("Sounder") + le32(0x3E0F5C29u) + le32(0x40A00000u);
    // The own-current block: quiescent not given, alarm given as 250.
    const QByteArray ownCurrents = le32(0) + le32(0) + le32(1) + le32(0x437A0000u);
    QCOMPARE(encodeDataFile(c),
             le32(1) + panel + le32(1) + cable + le32(1) + device + le32(0) + le32(0) + le32(32) + ownCurrents);
    QCOMPARE(encodeNameFile(c), text("") + text("\xC2\xB2") + text("") + text("") + le32(0) + le32(1) + le32(1)
                                    + text("B"));
}

void CatalogueFilesTest::nameFileWithoutSecondRowBlockReadsAsBefore()
{
    Catalogue c = sampleCatalogue();
    QByteArray names;
    for (int i = 0; i < c.panelCount; ++i)
        names += text(("panel " + QString::number(i)).toUtf8());
    for (int i = 0; i < c.cableCount; ++i)
        names += text(("cable " + QString::number(i)).toUtf8());
    for (int i = 0; i < c.deviceCount; ++i)
        names += text(("device " + QString::number(i)).toUtf8());
    names += text("old layout") + le32(9);
    QVERIFY(decodeNameFile(names, c));
    QCOMPARE(c.panels[5].name, QString("panel 5"));
    QCOMPARE(c.cables[0].name, QString("cable 0"));
    QCOMPARE(c.devices[14].name, QString("device 14"));
    QCOMPARE(c.catalogueVersion, QString("old layout"));
    QCOMPARE(c.catalogueVersionNumber, 9);
    // Without the block the second rows stay as the data step left them.
    QCOMPARE(c.extraDeviceRows, 2);
    QVERIFY(c.devices[0].hasSecondRow);
}

void CatalogueFilesTest::trailingBytesAreIgnored()
{
    const Catalogue original = sampleCatalogue();
    Catalogue read;
    QVERIFY(decodeDataFile(encodeDataFile(original) + "trailing", read));
    QVERIFY(decodeNameFile(encodeNameFile(original) + QByteArray(3, '\xFF'), read));
    QCOMPARE(catalogueDifferences(original, read), QStringList());
}

void CatalogueFilesTest::countsAboveCapacityAreNeverWritten()
{
    Catalogue c = fullCatalogue();
    c.panelCount = 1000;
    c.cableCount = -5;
    Catalogue read;
    QVERIFY(decodeDataFile(encodeDataFile(c), read));
    QCOMPARE(read.panelCount, kPanelCapacity);
    QCOMPARE(read.cableCount, 0);
    QCOMPARE(read.deviceCount, kDeviceCapacity);
}

// The box keeps its text; the informative text names the file, says what is wrong with it (%1:
// the file's size, %2: the sample's device count) and what stays in use.
void CatalogueFilesTest::corruptDataFile_data()
{
    QTest::addColumn<QByteArray>("bytes");  // empty and "missing" means no file at all
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("reason");
    const QByteArray conditions = le32(0) + le32(0) + le32(0);
    const QByteArray good = encodeDataFile(sampleCatalogue());

    QString missing = missingFileReason();
    if (!missing.endsWith('.'))
        missing += '.';
    QTest::newRow("missing file") << QByteArray() << false << missing;
    QTest::newRow("empty file") << QByteArray() << true << "The file is empty.";
    QTest::newRow("negative panel count") << le32(quint32(-1)) + le32(0) + le32(0) + conditions << true
                                          << "The panel count is -1; a catalogue holds 0 to 10.";
    QTest::newRow("11 panels") << le32(11) + good.mid(4) << true << "The panel count is 11; a catalogue holds 0 to 10.";
    QTest::newRow("huge panel count") << le32(0x7FFFFFFF) + good.mid(4) << true
                                      << "The panel count is 2147483647; a catalogue holds 0 to 10.";
    QTest::newRow("16 cables") << le32(0) + le32(16) + QByteArray(16 * 12, '\0') + le32(0) + conditions << true
                               << "The cable count is 16; a catalogue holds 0 to 15.";
    QTest::newRow("56 devices") << le32(0) + le32(0) + le32(56) + QByteArray(56 * 20, '\0') + conditions << true
                                << "The device count is 56; a catalogue holds 0 to 55.";
    QTest::newRow("negative device count") << le32(0) + le32(0) + le32(0x80000000u) + conditions << true
                                           << "The device count is -2147483648; a catalogue holds 0 to 55.";
    QTest::newRow("ends inside a text length") << le32(1) + QByteArray(2, '\0') << true
                                               << "The file ends early, at byte %1, inside the code of panel 1.";
    QTest::newRow("text longer than the file") << le32(1) + le32(0xFFFFFFF0u) + QByteArray(64, 'x') << true
                                               << "The file ends early, at byte %1, inside the code of panel 1.";
    QTest::newRow("ends inside a text") << le32(1) + le32(10) + QByteArray("QP1") << true
                                        << "The file ends early, at byte %1, inside the code of panel 1.";
    QTest::newRow("ends inside maxDevices") << good.left(60) << true
                                            << "The file ends early, at byte %1, before the device limits of panel 1.";
    QTest::newRow("ends before maxDeviceSum")
        << le32(0) + le32(0) + le32(0) + le32(0) + le32(0) << true
        << "The file ends early, at byte %1, before the limit of the restricted devices.";
    // The panels' own currents come last: the sample's six panels, the last one's alarm current cut.
    QTest::newRow("one byte short of the end")
        << good.left(good.size() - 1) << true
        << "The file ends early, at byte %1, inside the own current of panel 6.";
}

void CatalogueFilesTest::corruptDataFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, present);
    QFETCH(QString, reason);
    const QString path = present ? writeFile("data.dat", bytes) : dir.filePath("absent.dat");
    fixture->window().readDataFile(path);
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(int(seam->messages[0].kind), int(MessageKind::Critical));
    QCOMPARE(seam->messages[0].title, QString("Error"));
    QCOMPARE(seam->messages[0].text, QString("The file of data.dat could not be read."));
    QCOMPARE(seam->messages[0].detail, QDir::toNativeSeparators(path) + "\n" + reason.arg(bytes.size()) +
                                           "\nNo catalogue is in use: the panel, cable and device lists stay empty.");
    QCOMPARE(catalogueDifferences(Catalogue(), catalogue), QStringList());
}

void CatalogueFilesTest::corruptNameFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("reason");
    const Catalogue sample = sampleCatalogue();
    const QByteArray good = encodeNameFile(sample);
    const int blockStart = good.size() - secondRowBlockSize(sample);

    QString missing = missingFileReason();
    if (!missing.endsWith('.'))
        missing += '.';
    QTest::newRow("missing file") << QByteArray() << false << missing;
    QTest::newRow("empty file") << QByteArray() << true << "The file is empty.";
    QTest::newRow("fewer names than the counts") << text("only one") << true
                                                 << "The file ends early, at byte %1, before the name of panel 2.";
    QTest::newRow("ends inside the version number")
        << good.left(blockStart - 2) << true
        << "The file ends early, at byte %1, inside the catalogue version number.";
    QTest::newRow("ends inside extraDeviceRows") << good.left(blockStart + 2) << true
                                                 << "The file ends early, at byte %1, inside the number of second rows.";
    QTest::newRow("ends inside the second rows")
        << good.left(good.size() - 1) << true
        << "The file ends early, at byte %1, inside the second-row name of device %2.";
    QByteArray badFlag = good;
    badFlag[blockStart + 4] = 2;
    QTest::newRow("second-row flag 2") << badFlag << true << "The second-row mark of device 1 is 2, not 0 or 1.";
    QByteArray lyingLength = good;
    lyingLength.replace(blockStart + 8, 4, le32(0x7FFFFFFF));
    QTest::newRow("second-row name longer than the file")
        << lyingLength << true << "The file ends early, at byte %1, inside the second-row name of device 1.";
}

void CatalogueFilesTest::corruptNameFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, present);
    QFETCH(QString, reason);
    // The data step has run: names as it left them, no version yet.
    catalogue = sampleCatalogue();
    catalogue.catalogueVersion.clear();
    catalogue.catalogueVersionNumber = 0;
    const Catalogue before = catalogue;
    const QString path = present ? writeFile("name.dat", bytes) : dir.filePath("absent.dat");
    fixture->window().readNameFile(path);
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(int(seam->messages[0].kind), int(MessageKind::Critical));
    QCOMPARE(seam->messages[0].title, QString("Error"));
    QCOMPARE(seam->messages[0].text, QString("The file of name.dat could not be read."));
    QCOMPARE(seam->messages[0].detail,
             QDir::toNativeSeparators(path) + "\n" + reason.arg(bytes.size()).arg(before.deviceCount) +
                 "\nThe names stored with the data stay in use (" + QDir::toNativeSeparators(dir.filePath("data.dat")) +
                 "), and the catalogue has no version.");
    QCOMPARE(catalogueDifferences(before, catalogue), QStringList());
}

void CatalogueFilesTest::everyPrefixOfADataFileIsRefusedButTheOldLayout()
{
    const Catalogue full = fullCatalogue();
    const QByteArray good = encodeDataFile(full);
    // The old layout is the new one up to maxDeviceSum.
    const int oldLayoutSize = good.size() - ownCurrentBlockSize(full);
    int accepted = 0;
    for (int length = 0; length < good.size(); ++length) {
        Catalogue c;
        if (decodeDataFile(good.left(length), c)) {
            ++accepted;
            QCOMPARE(length, oldLayoutSize);
            QCOMPARE(c.panelCount, full.panelCount);
            continue;
        }
        QCOMPARE(c.panelCount, 0);
    }
    QCOMPARE(accepted, 1);
}

namespace {

// An older reader takes the fields of the layout in order and stops after maxDeviceSum, without
// looking at what follows.
Catalogue readByOlderRules(const QByteArray &bytes)
{
    Catalogue c;
    QDataStream in(bytes);
    in.setByteOrder(QDataStream::LittleEndian);
    in.setFloatingPointPrecision(QDataStream::SinglePrecision);
    auto readText = [&in](QString &text) {
        char *raw = nullptr;
        uint length = 0;
        in.readBytes(raw, length);
        text = QString::fromUtf8(raw, int(length));
        delete[] raw;
    };
    in >> c.panelCount;
    for (int i = 0; i < c.panelCount; ++i) {
        readText(c.panels[i].code);
        readText(c.panels[i].name);
        in >> c.panels[i].loopCount >> c.panels[i].loopVoltage >> c.panels[i].maxLoopCurrent;
        for (qint32 &limit : c.panels[i].maxDevices)
            in >> limit;
    }
    in >> c.cableCount;
    for (int i = 0; i < c.cableCount; ++i) {
        readText(c.cables[i].code);
        readText(c.cables[i].name);
        in >> c.cables[i].resistance;
    }
    in >> c.deviceCount;
    for (int i = 0; i < c.deviceCount; ++i) {
        readText(c.devices[i].code);
        readText(c.devices[i].name);
        readText(c.devices[i].type);
        in >> c.devices[i].quiescentCurrent >> c.devices[i].alarmCurrent;
    }
    in >> c.condition.minLoopVoltage >> c.condition.maxLoopLength >> c.condition.maxDeviceSum;
    return c;
}

}  // namespace

void CatalogueFilesTest::ownCurrentBlockUnderAnOlderReadersRules()
{
    Catalogue c = sampleCatalogue();
    c.panels[2].ownAlarmCurrent.reset();
    const QByteArray bytes = encodeDataFile(c);

    // An older reader sees every record and the condition values as they are...
    Catalogue withoutOwnCurrents = c;
    for (PanelRecord &p : withoutOwnCurrents.panels) {
        p.ownQuiescentCurrent.reset();
        p.ownAlarmCurrent.reset();
    }
    QCOMPARE(dataDifferences(withoutOwnCurrents, readByOlderRules(bytes)), QStringList());
    // ...because the block only follows the bytes it would have written.
    const QByteArray oldLayout = bytes.left(bytes.size() - ownCurrentBlockSize(c));
    QVERIFY(bytes.startsWith(oldLayout));
    QCOMPARE(oldLayout.right(12), le32(0x41880000u) + le32(0x44FA0000u) + le32(32));

    // This reader takes the block, and a file of the old layout gives no own currents.
    Catalogue read;
    QVERIFY(decodeDataFile(bytes, read));
    QCOMPARE(dataDifferences(c, read), QStringList());
    QVERIFY(!read.panels[2].ownAlarmCurrent);
    QCOMPARE(read.panels[2].ownQuiescentCurrent, std::optional<float>(140.0f));
    QVERIFY(decodeDataFile(oldLayout, read));
    QCOMPARE(dataDifferences(withoutOwnCurrents, read), QStringList());

    // A flag other than 0 or 1 is a damaged file.
    QByteArray badFlag = bytes;
    badFlag[oldLayout.size()] = 2;
    QVERIFY(!decodeDataFile(badFlag, read));
}

void CatalogueFilesTest::everyPrefixOfANameFileIsRefusedButTheOldLayout()
{
    const Catalogue full = fullCatalogue();
    const QByteArray good = encodeNameFile(full);
    Catalogue counts;
    QVERIFY(decodeDataFile(encodeDataFile(full), counts));
    // The old layout is the new one up to the version number.
    const int oldLayoutSize = good.size() - secondRowBlockSize(full);
    int accepted = 0;
    for (int length = 0; length < good.size(); ++length) {
        Catalogue c = counts;
        if (decodeNameFile(good.left(length), c)) {
            ++accepted;
            QCOMPARE(length, oldLayoutSize);
            QCOMPARE(c.catalogueVersion, full.catalogueVersion);
        }
    }
    QCOMPARE(accepted, 1);
}

void CatalogueFilesTest::flippedBytesNeverCrash()
{
    const Catalogue full = fullCatalogue();
    const QByteArray data = encodeDataFile(full);
    const QByteArray names = encodeNameFile(full);
    int refused = 0;
    for (int i = 0; i < data.size(); ++i) {
        QByteArray flipped = data;
        flipped[i] = char(flipped[i] ^ 0xA5);
        Catalogue c;
        if (!decodeDataFile(flipped, c))
            ++refused;
        else
            QVERIFY(c.panelCount <= kPanelCapacity && c.cableCount <= kCableCapacity && c.deviceCount <= kDeviceCapacity);
    }
    for (int i = 0; i < names.size(); ++i) {
        QByteArray flipped = names;
        flipped[i] = char(flipped[i] ^ 0xA5);
        Catalogue c = full;
        if (!decodeNameFile(flipped, c))
            ++refused;
    }
    QVERIFY(refused > 0);  // flips in counts and lengths are caught
}

QTEST_MAIN(CatalogueFilesTest)
#include "test_catalogue_files.moc"
