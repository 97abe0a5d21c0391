#include "app/main_window.h"
#include "catalogue/dat_codec.h"
#include "loops/loop_state.h"
#include "catalogue_compare.h"
#include "recording_seam.h"
#include "test_catalogues.h"

#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPdfWriter>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <cstring>
#include <limits>

// Damaged and hostile catalogue files beyond the cases of the catalogue tests: single-byte flips
// with several masks, where whatever is accepted must survive a write and a read, and hand-made
// files that lie about counts and lengths. A refusal never leaves a half-read catalogue. Then a
// catalogue at the ends of every range that the readers accept, taken through the whole window.

namespace {

QByteArray le32(quint32 value)
{
    QByteArray bytes(4, Qt::Uninitialized);
    for (int i = 0; i < 4; ++i)
        bytes[i] = char(value >> (8 * i));
    return bytes;
}

QByteArray leFloat(float value)
{
    quint32 image;
    std::memcpy(&image, &value, sizeof image);
    return le32(image);
}

QByteArray text(const QByteArray &utf8) { return le32(quint32(utf8.size())) + utf8; }

float floatFromImage(quint32 image)
{
    float value;
    std::memcpy(&value, &image, sizeof value);
    return value;
}

Catalogue catalogueNamed(const QString &name)
{
    if (name == "sample")
        return sampleCatalogue();
    if (name == "full")
        return fullCatalogue();
    return Catalogue();
}

// Names and numbers that no file below holds, so that a refused read which changed anything shows.
Catalogue sentinelCatalogue()
{
    Catalogue c = sampleCatalogue();
    c.panels[0].name = "sentinel panel";
    c.condition.maxDeviceSum = -77;
    c.catalogueVersion = "sentinel";
    c.catalogueVersionNumber = -77;
    c.extraDeviceRows = 99;
    return c;
}

Catalogue withCountsOf(const Catalogue &counts, Catalogue c)
{
    c.panelCount = counts.panelCount;
    c.cableCount = counts.cableCount;
    c.deviceCount = counts.deviceCount;
    return c;
}

// One record of each kind, the smallest data.dat with every field.
QByteArray panelEntry(const QByteArray &code = "P1", quint32 loops = 2)
{
    QByteArray bytes = text(code) + text("Panel 1") + le32(loops) + leFloat(24.0f) + leFloat(400.0f);
    for (int loop = 0; loop < kMaxLoops; ++loop)
        bytes += le32(loop < 2 ? 126 : 0);
    return bytes;
}
const QByteArray cableEntry = text("K1") + text("Cable 1") + leFloat(12.1f);
const QByteArray deviceEntry = text("1") + text("OPT-100") + text("Detector") + leFloat(0.34f) + leFloat(0.45f);
const QByteArray conditionBlock = leFloat(17.0f) + leFloat(2000.0f) + le32(32);

QByteArray dataFile(quint32 panels, const QByteArray &panelBytes, quint32 cables, const QByteArray &cableBytes,
                    quint32 devices, const QByteArray &deviceBytes, const QByteArray &condition = conditionBlock)
{
    return le32(panels) + panelBytes + le32(cables) + cableBytes + le32(devices) + deviceBytes + condition;
}

QByteArray oneOfEach() { return dataFile(1, panelEntry(), 1, cableEntry, 1, deviceEntry); }

Catalogue oneOfEachCounts()
{
    Catalogue c;
    c.panelCount = 1;
    c.cableCount = 1;
    c.deviceCount = 1;
    return c;
}

const QByteArray oneOfEachNames = text("Panel 1") + text("Cable 1") + text("OPT-100") + text("v1") + le32(1);

QByteArray readFixture(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class HostileFilesTest : public QObject {
    Q_OBJECT

private slots:
    void init() { resetProcessState(); }
    void cleanup() { resetProcessState(); }

    void dataFileByteFlips_data();
    void dataFileByteFlips();
    void nameFileByteFlips_data();
    void nameFileByteFlips();
    void hostileDataFiles_data();
    void hostileDataFiles();
    void hostileNameFiles_data();
    void hostileNameFiles();
    void hostileCatalogueInTheWindow();
};

void HostileFilesTest::dataFileByteFlips_data()
{
    QTest::addColumn<QString>("catalogueName");
    QTest::newRow("sample catalogue") << "sample";
    QTest::newRow("full catalogue") << "full";
}

void HostileFilesTest::dataFileByteFlips()
{
    QFETCH(QString, catalogueName);
    const QByteArray bytes = encodeDataFile(catalogueNamed(catalogueName));
    const Catalogue before = sentinelCatalogue();
    int accepted = 0, refused = 0;
    for (int offset = 0; offset < bytes.size(); ++offset) {
        for (const char mask : {char(0x01), char(0x80), char(0xff)}) {
            QByteArray flipped = bytes;
            flipped[offset] = char(flipped[offset] ^ mask);
            Catalogue c = before;
            const QString where = QString("offset %1, mask %2").arg(offset).arg(int(uchar(mask)));
            if (!decodeDataFile(flipped, c)) {
                ++refused;
                QVERIFY2(catalogueDifferences(before, c).isEmpty(), qPrintable(where + ": refused but changed"));
                continue;
            }
            ++accepted;
            QVERIFY2(c.panelCount >= 0 && c.panelCount <= kPanelCapacity, qPrintable(where));
            QVERIFY2(c.cableCount >= 0 && c.cableCount <= kCableCapacity, qPrintable(where));
            QVERIFY2(c.deviceCount >= 0 && c.deviceCount <= kDeviceCapacity, qPrintable(where));
            // What was accepted is written back so that it reads the same again.
            const QByteArray written = encodeDataFile(c);
            Catalogue again;
            QVERIFY2(decodeDataFile(written, again) && encodeDataFile(again) == written, qPrintable(where));
        }
    }
    // Flips inside texts and numbers make other valid files; flips in counts and lengths do not.
    QVERIFY(accepted > 0);
    QVERIFY(refused > 0);
}

void HostileFilesTest::nameFileByteFlips_data()
{
    QTest::addColumn<QString>("catalogueName");
    QTest::newRow("sample catalogue") << "sample";
    QTest::newRow("full catalogue") << "full";
}

void HostileFilesTest::nameFileByteFlips()
{
    QFETCH(QString, catalogueName);
    const Catalogue source = catalogueNamed(catalogueName);
    const QByteArray bytes = encodeNameFile(source);
    const Catalogue before = withCountsOf(source, sentinelCatalogue());
    int accepted = 0, refused = 0;
    for (int offset = 0; offset < bytes.size(); ++offset) {
        for (const char mask : {char(0x01), char(0x80), char(0xff)}) {
            QByteArray flipped = bytes;
            flipped[offset] = char(flipped[offset] ^ mask);
            Catalogue c = before;
            const QString where = QString("offset %1, mask %2").arg(offset).arg(int(uchar(mask)));
            if (!decodeNameFile(flipped, c)) {
                ++refused;
                QVERIFY2(catalogueDifferences(before, c).isEmpty(), qPrintable(where + ": refused but changed"));
                continue;
            }
            ++accepted;
            QVERIFY2(c.panelCount == source.panelCount && c.cableCount == source.cableCount
                         && c.deviceCount == source.deviceCount,
                     qPrintable(where + ": the name file changed a count"));
            const QByteArray written = encodeNameFile(c);
            Catalogue again = withCountsOf(source, Catalogue());
            QVERIFY2(decodeNameFile(written, again) && encodeNameFile(again) == written, qPrintable(where));
        }
    }
    QVERIFY(accepted > 0);
    QVERIFY(refused > 0);
}

void HostileFilesTest::hostileDataFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("valid reference: one record of each kind") << oneOfEach() << true;
    QTest::newRow("invalid UTF-8 in a code is read, not refused")
        << dataFile(1, panelEntry("\xff\xfe\xc3"), 1, cableEntry, 1, deviceEntry) << true;
    QTest::newRow("a panel loop count of 2^31-1 is a number, read as it is")
        << dataFile(1, panelEntry("P1", 0x7fffffff), 1, cableEntry, 1, deviceEntry) << true;

    QTest::newRow("three bytes") << QByteArray("\0\0\0", 3) << false;
    QTest::newRow("eleven panels, all present")
        << dataFile(11, panelEntry().repeated(11), 1, cableEntry, 1, deviceEntry) << false;
    // 2^31 and more turn negative in a signed int: a length check done that way would pass.
    QTest::newRow("text length 2^31") << le32(1) + le32(0x80000000) + QByteArray(200, 'x') << false;
    QTest::newRow("text length 4 GiB - 1") << le32(1) + le32(0xffffffff) + QByteArray(200, 'x') << false;
    QTest::newRow("text length one past the end of the file") << le32(1) + le32(201) + QByteArray(200, 'x') << false;
    QTest::newRow("condition values cut short")
        << dataFile(1, panelEntry(), 1, cableEntry, 1, deviceEntry, conditionBlock.left(10)) << false;
    QTest::newRow("a workbook given as data.dat") << readFixture(QUILLON_SAMPLE_DIR "/data.xlsx") << false;
}

void HostileFilesTest::hostileDataFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, accepted);
    const Catalogue before = sentinelCatalogue();
    Catalogue c = before;
    QCOMPARE(decodeDataFile(bytes, c), accepted);
    if (!accepted)
        QVERIFY(catalogueDifferences(before, c).isEmpty());
    else
        QCOMPARE(c.panelCount, 1);
}

void HostileFilesTest::hostileNameFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("valid reference, older layout") << oneOfEachNames << true;
    QTest::newRow("valid reference, with second rows") << oneOfEachNames + le32(1) + le32(1) + text("OPT-100I") << true;
    QTest::newRow("extra device rows 2^31-1: a number, bounded where the grid is built")
        << oneOfEachNames + le32(0x7fffffff) + le32(1) + text("OPT-100I") << true;
    QTest::newRow("extra device rows -2^31") << oneOfEachNames + le32(0x80000000) + le32(0) + text("") << true;

    QTest::newRow("text length 2^31") << le32(0x80000000) + QByteArray(100, 'x') << false;
    QTest::newRow("text length 4 GiB - 1") << le32(0xffffffff) + QByteArray(100, 'x') << false;
    QTest::newRow("version text runs past the end")
        << text("Panel 1") + text("Cable 1") + text("OPT-100") + le32(100) + QByteArray("v1") << false;
    QTest::newRow("second-row flag -1") << oneOfEachNames + le32(1) + le32(0xffffffff) + text("OPT-100I") << false;
    QTest::newRow("one stray byte after the version") << oneOfEachNames + QByteArray("\0", 1) << false;
    QTest::newRow("a data.dat given as name.dat") << oneOfEach() << false;
}

void HostileFilesTest::hostileNameFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, accepted);
    const Catalogue before = withCountsOf(oneOfEachCounts(), sentinelCatalogue());
    Catalogue c = before;
    QCOMPARE(decodeNameFile(bytes, c), accepted);
    if (!accepted) {
        QVERIFY(catalogueDifferences(before, c).isEmpty());
    } else {
        QCOMPARE(c.panels[0].name, QString("Panel 1"));
        QCOMPARE(c.catalogueVersion, QString("v1"));
    }
}

// What the readers accept reaches the window: non-finite numbers, counts and limits at the ends
// of their range. Choosing every panel, calculating, exporting and saving and opening the project
// must neither crash nor run past a grid (the sanitizer build watches the arithmetic).
void HostileFilesTest::hostileCatalogueInTheWindow()
{
    Catalogue c = sampleCatalogue();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    c.panels[0].loopCount = std::numeric_limits<qint32>::max();
    c.panels[0].loopVoltage = nan;
    c.panels[1].loopCount = std::numeric_limits<qint32>::min();
    c.panels[2].maxLoopCurrent = inf;
    c.panels[2].maxDevices[0] = std::numeric_limits<qint32>::min();
    c.panels[3].loopVoltage = -inf;
    c.panels[3].maxDevices[1] = std::numeric_limits<qint32>::max();
    c.panels[4].maxLoopCurrent = 0.0f;
    c.panels[5].loopVoltage = floatFromImage(0x7f7fffffu);  // FLT_MAX
    c.cables[0].resistance = nan;
    c.cables[1].resistance = 0.0f;
    c.cables[2].resistance = -inf;
    c.cables[3].resistance = floatFromImage(0x00000001u);  // the smallest denormal
    c.devices[0].quiescentCurrent = inf;
    c.devices[1].alarmCurrent = nan;
    c.devices[2].alarmCurrent = floatFromImage(0x7f7fffffu);
    c.condition.minLoopVoltage = nan;
    c.condition.maxLoopLength = inf;
    c.condition.maxDeviceSum = std::numeric_limits<qint32>::min();
    c.extraDeviceRows = std::numeric_limits<qint32>::max();

    RecordingSeam seam;
    WindowFixture fixture(c);
    MainWindow &w = fixture.window();
    QCOMPARE(catalogue.extraDeviceRows, c.extraDeviceRows);
    QVERIFY(seam.messages.isEmpty());
    QCOMPARE(w.deviceTable->rowCount(), kMaxDeviceRows);

    for (int index = 1; index < w.panelComboBox->count(); ++index) {
        w.panelComboBox->setCurrentIndex(index);
        QVERIFY(loopState.loopCount >= 0 && loopState.loopCount <= kMaxLoops);
        QVERIFY(w.cableTable->rowCount() <= kMaxLoops);
        for (int loop = 0; loop < loopState.loopCount; ++loop) {
            QVERIFY(w.cableComboBoxes[loop]);
            w.cableComboBoxes[loop]->setCurrentIndex(1 + loop % (w.cableComboBoxes[loop]->count() - 1));
            for (int row = 0; row < kMaxDeviceRows; ++row)
                if (w.deviceCountEdits[row][loop])
                    w.deviceCountEdits[row][loop]->setText(QString::number((row + loop) % 3 * 999 / 2));
        }
        w.calculateButton->click();

        QByteArray pdf;
        QBuffer pdfBuffer(&pdf);
        QVERIFY(pdfBuffer.open(QIODevice::WriteOnly));
        {
            QPdfWriter writer(&pdfBuffer);
            QVERIFY(w.paintSummarySheet(&writer));
        }
        QVERIFY(pdf.startsWith("%PDF"));

        const QString projectPath = fixture.dir() + "/hostile.stm";
        QVERIFY(w.saveProjectFile(projectPath));
        QVERIFY(w.loadProjectFile(projectPath));
    }
}

QTEST_MAIN(HostileFilesTest)
#include "test_hostile_files.moc"
