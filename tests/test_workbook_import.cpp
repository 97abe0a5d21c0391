#include "app/main_window.h"
#include "catalogue/workbook_import_rules.h"
#include "catalogue/xlsx_reader.h"
#include "catalogue_compare.h"
#include "german_locale.h"
#include "recording_seam.h"
#include "test_catalogues.h"

#include <QComboBox>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString fixtures = QStringLiteral(QUILLON_FIXTURES_DIR);
const QString sample = QStringLiteral(QUILLON_SAMPLE_DIR);

// The sample catalogue as its maintainers describe it; numbers go through double to float, as
// a cell's value does.
Catalogue expectedSample()
{
    Catalogue c;
    const struct {
        const char *code, *name;
        int loops;
        double volts, milliamps;
        int limit;
    } panels[] = {{"QP110", "QP-110 (1 loop)", 1, 24.0, 250, 126},     {"QP220", "QP-220 (2 loops)", 2, 27.5, 400, 126},
                  {"QP420", "QP-420 (4 loops)", 4, 27.5, 400, 127},    {"QP440", "QP-440 HP (4 loops)", 4, 32.0, 500, 250},
                  {"QP840", "QP-840 (8 loops)", 8, 32.0, 500, 250},    {"QP1640", "QP-1640 (16 loops)", 16, 36.0, 500, 200}};
    for (const auto &p : panels) {
        PanelRecord &r = c.panels[c.panelCount++];
        r.code = p.code;
        r.name = p.name;
        r.loopCount = p.loops;
        r.loopVoltage = float(p.volts);
        r.maxLoopCurrent = float(p.milliamps);
        for (int loop = 0; loop < p.loops; ++loop)
            r.maxDevices[loop] = p.limit;
    }
    // Columns V and W: each panel's own quiescent and alarm current.
    const float own[][2] = {{85, 160}, {110, 220}, {140, 290}, {160, 340}, {220, 480}, {320, 720}};
    for (int i = 0; i < c.panelCount; ++i) {
        c.panels[i].ownQuiescentCurrent = own[i][0];
        c.panels[i].ownAlarmCurrent = own[i][1];
    }
    const struct {
        const char *code, *name;
        double ohms;
    } cables[] = {{"C10", "FR 2x1.0mm²", 18.1}, {"C15", "FR 2x1.5mm²", 12.1}, {"C25", "FR 2x2.5mm²", 7.41},
                  {"C40", "FR 2x4.0mm²", 4.61}, {"C08", "STP 2x0.8mm", 36.6}};
    for (const auto &k : cables) {
        CableRecord &r = c.cables[c.cableCount++];
        r.code = k.code;
        r.name = QString::fromUtf8(k.name);
        r.resistance = float(k.ohms);
    }
    const struct {
        const char *code, *name, *type;
        double quiescent, alarm;
    } devices[] = {{"1", "OPT-100", "Detector", 0.34, 0.45},  {"2", "HRR-200", "Detector", 0.25, 0.35},
                   {"3", "HFT-210", "Detector", 0.25, 0.35},  {"4", "MUL-300", "Detector", 0.50, 0.60},
                   {"5", "MCP-50", "CallPoint", 0.23, 0.35},  {"6", "IN-1", "Module", 0.50, 2.10},
                   {"7", "SND-70", "Sounder", 0.14, 5.00},    {"8", "VAD-80", "Sounder", 0.30, 6.00},
                   {"9", "SBC-90", "Sounder", 0.35, 9.00},    {"10", "OUT-1", "Module", 1.20, 4.00},
                   {"11", "IO-3", "Module", 1.20, 6.00},      {"12", "BSN-12", "Sounder", 0.40, 9.00},
                   {"13", "ISO-1", "Isolator", 0.12, 0.12},   {"14", "CZI-1", "Module", 4.00, 24.00},
                   {"15", "SCC-1", "Module", 1.90, 3.00}};
    for (const auto &d : devices) {
        DeviceRecord &r = c.devices[c.deviceCount++];
        r.code = d.code;
        r.name = d.name;
        r.type = d.type;
        r.quiescentCurrent = float(d.quiescent);
        r.alarmCurrent = float(d.alarm);
    }
    c.devices[0].hasSecondRow = true;
    c.devices[0].secondRowName = "OPT-100I";
    c.devices[4].hasSecondRow = true;
    c.devices[4].secondRowName = "MCP-50W";
    c.extraDeviceRows = 2;
    c.condition.minLoopVoltage = 17.0f;
    c.condition.maxLoopLength = 2000.0f;
    c.condition.maxDeviceSum = 32;
    c.catalogueVersion = "Sample catalogue 2026.12";
    c.catalogueVersionNumber = 1;
    return c;
}

// Both halves of a catalogue from the two workbooks in dir, through the plain import functions.
Catalogue importPair(const QString &dir, QVector<CapacityCut> *cuts = nullptr)
{
    Catalogue c;
    XlsxWorkbook data, names;
    if (!data.open(dir + "/data.xlsx") || !names.open(dir + "/name.xlsx"))
        qFatal("cannot open the workbooks in %s: %s %s", qPrintable(dir), qPrintable(data.errorString()),
               qPrintable(names.errorString()));
    const QVector<CapacityCut> found = importDataSheets(data, c);
    if (cuts)
        *cuts = found;
    importNameSheets(names, c);
    return c;
}

// A workbook given cell by cell.
class FakeWorkbook final : public Workbook {
public:
    FakeWorkbook &sheet(const QString &name)
    {
        sheets.append({name, {}});
        return *this;
    }
    FakeWorkbook &cell(int row, int column, const QVariant &value)
    {
        sheets.last().cells.insert(qMakePair(row, column), value);
        return *this;
    }
    int sheetCount() const override { return sheets.size(); }
    QString sheetName(int position) const override { return sheets.value(position - 1).name; }
    QVariant cellValue(int sheet, int row, int column) const override
    {
        return sheets.value(sheet - 1).cells.value(qMakePair(row, column));
    }

private:
    struct Sheet {
        QString name;
        QHash<QPair<int, int>, QVariant> cells;
    };
    QVector<Sheet> sheets;
};

// A "Panel" sheet of one record whose code, loopCount and loopVoltage all hold the same raw cell:
// one cell read by the reader, converted as text, int and float by the import.
class OnePanelFromCell final : public Workbook {
public:
    explicit OnePanelFromCell(const QVariant &raw) : raw(raw) {}
    int sheetCount() const override { return 1; }
    QString sheetName(int position) const override { return position == 1 ? QStringLiteral("Panel") : QString(); }
    QVariant cellValue(int, int row, int column) const override
    {
        if (row == 2 && column == 1)
            return 1.0;
        if (row == 4 && (column == 1 || column == 3 || column == 4))
            return raw;
        return QVariant();
    }

private:
    QVariant raw;
};

QVariant labelledValue(const Workbook &workbook, const QString &label)
{
    for (int row = 1; row <= 100; ++row)
        if (workbook.cellValue(1, row, 1).toString() == label)
            return workbook.cellValue(1, row, 2);
    qFatal("no row %s", qPrintable(label));
    return QVariant();
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void copyFile(const QString &from, const QString &to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to))
        qFatal("cannot copy %s", qPrintable(from));
}

}  // namespace

class WorkbookImportTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sampleWorkbooksGiveTheSampleCatalogue_data();
    void sampleWorkbooksGiveTheSampleCatalogue();
    void fullCapacityWorkbooks();
    void conversions_data();
    void conversions();
    void secondRowMarkers_data();
    void secondRowMarkers();

    void recordCount_data();
    void recordCount();
    void onlyTheListedRowsAreRead();
    void sheetsMatchOnlyExactTabNames();
    void laterSheetOfTheSameNameStands();
    void absentSheetsLeaveTheirFields();
    void nameImportUsesTheDataCounts();
    void capacityCutIsReported();

    void unreadableWorkbookLeavesTheCatalogue_data();
    void unreadableWorkbookLeavesTheCatalogue();
    void brokenDataWorkbookFallsBackToDataFile();
    void brokenNameWorkbookFallsBackToNameFile();
    void workbooksThenFilesGiveTheSameCatalogue();

private:
    std::unique_ptr<RecordingSeam> seam;
    std::unique_ptr<WindowFixture> fixture;
};

void WorkbookImportTest::init()
{
    seam = std::make_unique<RecordingSeam>();
    fixture = std::make_unique<WindowFixture>(sampleCatalogue());
    seam->clear();
    resetProcessState();
}

void WorkbookImportTest::cleanup()
{
    fixture.reset();
    seam.reset();
    setCatalogueDirectoryForTesting(QString());
    resetProcessState();
}

void WorkbookImportTest::sampleWorkbooksGiveTheSampleCatalogue_data()
{
    QTest::addColumn<QString>("dir");
    QTest::addColumn<bool>("german");
    QTest::newRow("spreadsheet application's files") << sample << false;
    QTest::newRow("spreadsheet application's files, German locale") << sample << true;
    // Strict namespaces, other tab order, no r attributes, inline and rich text, data descriptors.
    QTest::newRow("second producer's files") << fixtures + "/strict" << false;
    QTest::newRow("second producer's files, German locale") << fixtures + "/strict" << true;
}

void WorkbookImportTest::sampleWorkbooksGiveTheSampleCatalogue()
{
    QFETCH(QString, dir);
    QFETCH(bool, german);
    std::unique_ptr<GermanLocale> locale(german ? new GermanLocale : nullptr);
    QVector<CapacityCut> cuts;
    const Catalogue imported = importPair(dir, &cuts);
    QVERIFY(cuts.isEmpty());
    QCOMPARE(catalogueDifferences(expectedSample(), imported), QStringList());
}

void WorkbookImportTest::fullCapacityWorkbooks()
{
    QVector<CapacityCut> cuts;
    const Catalogue imported = importPair(fixtures + "/full", &cuts);
    QVERIFY(cuts.isEmpty());
    QCOMPARE(catalogueDifferences(fullCatalogue(), imported), QStringList());
}

void WorkbookImportTest::conversions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("integer");  // invalid: outside int, not asserted
    QTest::addColumn<float>("real");
    auto row = [](const char *label, const char *text, const QVariant &integer, float real) {
        QTest::newRow(label) << QString::fromUtf8(text) << integer << real;
    };
    // Numbers: int rounds half up, text is the shortest form, float is the double narrowed.
    row("number 2.5", "2.5", 3, 2.5f);
    row("number 1.5", "1.5", 2, 1.5f);
    row("number -2.5", "-2.5", -2, -2.5f);
    row("number 1", "1", 1, 1.0f);
    row("number 4.252", "4.252", 4, float(4.252));
    row("number 0.1", "0.1", 0, float(0.1));
    row("number 1e21", "1e+21", QVariant(), float(1e21));
    row("number 5.24e-2", "0.0524", 0, float(0.0524));
    row("number -0", "0", 0, -0.0f);
    row("number 126", "126", 126, 126.0f);
    row("number 1e-7", "1e-07", 0, float(1e-7));
    row("formula 3.75", "3.75", 4, 3.75f);
    row("date 2026-12-08", "46364", 46364, 46364.0f);
    // Text: converts only when it is a number in the C locale; int only when whole.
    row("text 12", "12", 12, 12.0f);
    row("text 1.0", "1.0", 0, 1.0f);
    row("text 4.252", "4.252", 0, float(4.252));
    row("text 4,252", "4,252", 0, 0.0f);
    row("text  1", " 1", 1, 1.0f);
    row("text abc", "abc", 0, 0.0f);
    row("text 1e3", "1e3", 0, 1000.0f);
    row("text empty", "", 0, 0.0f);
    row("formula text 7", "7", 7, 7.0f);
    // Neither number nor text
    row("boolean true", "true", 1, 1.0f);
    row("error", "", 0, 0.0f);
    row("empty cell", "", 0, 0.0f);
}

void WorkbookImportTest::conversions()
{
    QFETCH(QString, text);
    QFETCH(QVariant, integer);
    QFETCH(float, real);
    GermanLocale german;  // must change nothing
    XlsxWorkbook workbook;
    QVERIFY(workbook.open(fixtures + "/conversions.xlsx"));
    const OnePanelFromCell panel(labelledValue(workbook, QString::fromUtf8(QTest::currentDataTag())));
    Catalogue c;
    importDataSheets(panel, c);
    QCOMPARE(c.panelCount, 1);
    QCOMPARE(c.panels[0].code, text);
    if (integer.isValid())
        QCOMPARE(c.panels[0].loopCount, integer.toInt());
    QCOMPARE(c.panels[0].loopVoltage, real);
    QCOMPARE(std::signbit(c.panels[0].loopVoltage), std::signbit(real));
}

void WorkbookImportTest::secondRowMarkers_data()
{
    QTest::addColumn<bool>("hasSecondRow");
    QTest::newRow("text 1") << true;
    QTest::newRow("number 1") << true;
    QTest::newRow("number written 1.0") << true;
    QTest::newRow("formula text 1") << true;
    QTest::newRow("text 1.0") << false;
    QTest::newRow("text space 1") << false;
    QTest::newRow("text 1 space") << false;
    QTest::newRow("empty") << false;
    QTest::newRow("boolean true") << false;
    QTest::newRow("number 1.5") << false;
    QTest::newRow("number 2") << false;
}

void WorkbookImportTest::secondRowMarkers()
{
    QFETCH(bool, hasSecondRow);
    const QString label = QString::fromUtf8(QTest::currentDataTag());
    Catalogue c;
    c.deviceCount = 11;
    for (int i = 0; i < c.deviceCount; ++i) {
        c.devices[i].hasSecondRow = true;
        c.devices[i].secondRowName = "before";
    }
    XlsxWorkbook workbook;
    QVERIFY(workbook.open(fixtures + "/import/markers_name.xlsx"));
    importNameSheets(workbook, c);
    QCOMPARE(c.extraDeviceRows, 7);  // the cell, not the number of marked devices
    int index = -1;
    for (int i = 0; i < c.deviceCount; ++i)
        if (c.devices[i].name == label)
            index = i;
    QVERIFY(index >= 0);
    QCOMPARE(c.devices[index].hasSecondRow, hasSecondRow);
    QCOMPARE(c.devices[index].secondRowName, hasSecondRow ? "second " + label : QString("before"));
}

void WorkbookImportTest::recordCount_data()
{
    QTest::addColumn<QVariant>("cell");
    QTest::addColumn<int>("count");
    QTest::newRow("number 2") << QVariant(2.0) << 2;
    QTest::newRow("number 2.5 rounds to 3") << QVariant(2.5) << 3;
    QTest::newRow("text 2") << QVariant(QString("2")) << 2;
    QTest::newRow("text 2.0 reads as 0") << QVariant(QString("2.0")) << 0;
    QTest::newRow("zero") << QVariant(0.0) << 0;
    QTest::newRow("negative is stored as 0") << QVariant(-3.0) << 0;
    QTest::newRow("empty") << QVariant() << 0;
}

void WorkbookImportTest::recordCount()
{
    QFETCH(QVariant, cell);
    QFETCH(int, count);
    FakeWorkbook workbook;
    workbook.sheet("Panel").cell(2, 1, cell);
    for (int row = 4; row < 10; ++row)
        workbook.cell(row, 1, QString("P%1").arg(row));
    workbook.sheet("Cable").cell(2, 1, cell);
    workbook.sheet("Device").cell(2, 1, cell);
    Catalogue c;
    QVERIFY(importDataSheets(workbook, c).isEmpty());
    QCOMPARE(c.panelCount, count);
    QCOMPARE(c.cableCount, count);
    QCOMPARE(c.deviceCount, count);
    QCOMPARE(c.panels[0].code, count > 0 ? QString("P4") : QString());
}

void WorkbookImportTest::onlyTheListedRowsAreRead()
{
    FakeWorkbook workbook;
    workbook.sheet("Panel").cell(2, 1, 2.0).cell(1, 1, "label row").cell(3, 1, "label row");
    for (int row = 4; row <= 8; ++row)
        workbook.cell(row, 1, QString("P%1").arg(row)).cell(row, 21, double(row));
    Catalogue c;
    importDataSheets(workbook, c);
    QCOMPARE(c.panelCount, 2);
    QCOMPARE(c.panels[0].code, QString("P4"));
    QCOMPARE(c.panels[1].code, QString("P5"));
    QCOMPARE(c.panels[1].maxDevices[15], 5);  // column 21 is loop 16
    QCOMPARE(c.panels[2].code, QString());
}

void WorkbookImportTest::sheetsMatchOnlyExactTabNames()
{
    XlsxWorkbook workbook;
    QVERIFY(workbook.open(fixtures + "/import/sheet_names_data.xlsx"));
    Catalogue c;
    importDataSheets(workbook, c);
    // "panel", "Panel ", " Panel" and "PANEL" all list two panels; none of them is "Panel".
    QCOMPARE(c.panelCount, 0);
    QCOMPARE(c.panels[0].code, QString());
    QCOMPARE(c.cableCount, 1);
}

void WorkbookImportTest::laterSheetOfTheSameNameStands()
{
    XlsxWorkbook workbook;
    QVERIFY(workbook.open(fixtures + "/import/sheet_names_data.xlsx"));
    Catalogue c;
    importDataSheets(workbook, c);
    QCOMPARE(c.cableCount, 1);
    QCOMPARE(c.cables[0].name, QString("later"));
    QCOMPARE(c.cables[0].resistance, 9.0f);

    FakeWorkbook names;
    names.sheet("Version").cell(2, 1, "first").cell(2, 2, 1.0);
    names.sheet("Version").cell(2, 1, "second");
    importNameSheets(names, c);
    QCOMPARE(c.catalogueVersion, QString("second"));
    QCOMPARE(c.catalogueVersionNumber, 0);
}

void WorkbookImportTest::absentSheetsLeaveTheirFields()
{
    FakeWorkbook data;
    data.sheet("Cable").cell(2, 1, 1.0).cell(4, 2, "only cable");
    Catalogue c;
    importDataSheets(data, c);
    QCOMPARE(c.panelCount, 0);
    QCOMPARE(c.deviceCount, 0);
    QCOMPARE(c.condition.minLoopVoltage, 0.0f);
    QCOMPARE(c.condition.maxDeviceSum, 0);
    QCOMPARE(c.cables[0].name, QString("only cable"));

    FakeWorkbook names;
    names.sheet("Panel");
    importNameSheets(names, c);
    QCOMPARE(c.cables[0].name, QString("only cable"));  // no "Cable" sheet: names as step 1 left them
    QCOMPARE(c.catalogueVersion, QString());
    QCOMPARE(c.catalogueVersionNumber, 0);
    QCOMPARE(c.extraDeviceRows, 0);
}

void WorkbookImportTest::nameImportUsesTheDataCounts()
{
    Catalogue c = expectedSample();
    FakeWorkbook names;
    names.sheet("Panel").cell(2, 2, "first").cell(3, 2, "second");  // fewer rows than the 6 panels
    names.sheet("Cable");
    for (int row = 2; row <= 30; ++row)
        names.cell(row, 2, QString("cable row %1").arg(row));
    importNameSheets(names, c);
    QCOMPARE(c.panels[0].name, QString("first"));
    QCOMPARE(c.panels[1].name, QString("second"));
    QCOMPARE(c.panels[2].name, QString());  // an empty cell gives an empty name
    QCOMPARE(c.cables[4].name, QString("cable row 6"));
    QCOMPARE(c.cables[5].name, QString());  // beyond cableCount nothing is read
}

void WorkbookImportTest::capacityCutIsReported()
{
    QVERIFY(fixture->window().importDataWorkbook(fixtures + "/import/over_capacity_data.xlsx"));
    QCOMPARE(seam->texts(),
             QStringList({"The sheet Panel of data.xlsx lists 12 records; only the first 10 were read.",
                          "The sheet Cable of data.xlsx lists 16 records; only the first 15 were read.",
                          "The sheet Device of data.xlsx lists 60 records; only the first 55 were read."}));
    for (const auto &m : seam->messages) {
        QCOMPARE(int(m.kind), int(MessageKind::Critical));
        QCOMPARE(m.title, QString("Error"));
    }
    QCOMPARE(catalogue.panelCount, kPanelCapacity);
    QCOMPARE(catalogue.cableCount, kCableCapacity);
    QCOMPARE(catalogue.deviceCount, kDeviceCapacity);
    QCOMPARE(catalogue.panels[9].code, QString("P10"));
    QCOMPARE(catalogue.panels[9].maxDevices[0], 10);
    QCOMPARE(catalogue.cables[14].code, QString("K15"));
    QCOMPARE(catalogue.devices[54].code, QString("55"));
    QCOMPARE(catalogue.condition.minLoopVoltage, 17.0f);
}

void WorkbookImportTest::unreadableWorkbookLeavesTheCatalogue_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("dataWorkbook");
    QTest::newRow("data.xlsx, bad checksum") << "hostile/bad_crc.xlsx" << true;
    QTest::newRow("data.xlsx, OLE container") << "hostile/ole_container.xlsx" << true;
    QTest::newRow("data.xlsx, missing") << "hostile/absent.xlsx" << true;
    QTest::newRow("name.xlsx, entity bomb") << "hostile/entity_bomb.xlsx" << false;
    QTest::newRow("name.xlsx, shared string out of range") << "hostile/shared_index_out_of_range.xlsx" << false;
}

void WorkbookImportTest::unreadableWorkbookLeavesTheCatalogue()
{
    QFETCH(QString, file);
    QFETCH(bool, dataWorkbook);
    catalogue = expectedSample();
    MainWindow &w = fixture->window();
    const bool imported = dataWorkbook ? w.importDataWorkbook(fixtures + "/" + file)
                                       : w.importNameWorkbook(fixtures + "/" + file);
    QVERIFY(!imported);
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(int(seam->messages[0].kind), int(MessageKind::Critical));
    QCOMPARE(seam->messages[0].title, QString("Error"));
    QCOMPARE(seam->messages[0].text, dataWorkbook ? QString("The file of data.xlsx could not be read.")
                                                  : QString("The file of name.xlsx could not be read."));
    // The path, the reader's reason, and which file stays in use.
    const QStringList detail = seam->messages[0].detail.split('\n');
    QCOMPARE(detail.size(), 3);
    QCOMPARE(detail[0], QDir::toNativeSeparators(QFileInfo(fixtures + "/" + file).absoluteFilePath()));
    XlsxWorkbook workbook;
    QVERIFY(!workbook.open(fixtures + "/" + file));
    QVERIFY(!workbook.errorString().isEmpty());
    QVERIFY2(detail[1].startsWith(workbook.errorString()), qPrintable(detail[1]));
    QCOMPARE(detail[2], dataWorkbook ? QString("The catalogue saved in data.dat stays in use.")
                                     : QString("The names saved in name.dat stay in use."));
    QCOMPARE(catalogueDifferences(expectedSample(), catalogue), QStringList());
}

void WorkbookImportTest::brokenDataWorkbookFallsBackToDataFile()
{
    fixture.reset();
    QTemporaryDir dir;
    catalogue = expectedSample();
    MainWindow::writeDataFile(dir.filePath("data.dat"));
    MainWindow::writeNameFile(dir.filePath("name.dat"));
    const QByteArray dataFile = fileBytes(dir.filePath("data.dat"));
    copyFile(fixtures + "/hostile/size_understated.xlsx", dir.filePath("data.xlsx"));
    resetProcessState();
    seam->clear();

    setCatalogueDirectoryForTesting(dir.path());
    MainWindow w;
    QCOMPARE(seam->texts(), QStringList({"The file of data.xlsx could not be read."}));
    QCOMPARE(fileBytes(dir.filePath("data.dat")), dataFile);
    QCOMPARE(catalogueDifferences(expectedSample(), catalogue), QStringList());
    QCOMPARE(w.panelComboBox->count(), 1 + 6);
}

void WorkbookImportTest::brokenNameWorkbookFallsBackToNameFile()
{
    fixture.reset();
    QTemporaryDir dir;
    Catalogue named = expectedSample();
    named.panels[0].name = "from name.dat";
    catalogue = named;
    MainWindow::writeNameFile(dir.filePath("name.dat"));
    const QByteArray nameFile = fileBytes(dir.filePath("name.dat"));
    copyFile(sample + "/data.xlsx", dir.filePath("data.xlsx"));
    copyFile(fixtures + "/hostile/deep_nesting.xlsx", dir.filePath("name.xlsx"));
    resetProcessState();
    seam->clear();

    setCatalogueDirectoryForTesting(dir.path());
    MainWindow w;
    QCOMPARE(seam->texts(), QStringList({"The file of name.xlsx could not be read."}));
    QCOMPARE(fileBytes(dir.filePath("name.dat")), nameFile);
    QCOMPARE(catalogueDifferences(named, catalogue), QStringList());
    QVERIFY(QFile::exists(dir.filePath("data.dat")));  // the data step went through the workbook
}

void WorkbookImportTest::workbooksThenFilesGiveTheSameCatalogue()
{
    fixture.reset();
    QTemporaryDir dir;
    copyFile(sample + "/data.xlsx", dir.filePath("data.xlsx"));
    copyFile(sample + "/name.xlsx", dir.filePath("name.xlsx"));
    setCatalogueDirectoryForTesting(dir.path());
    {
        MainWindow fromWorkbooks;
        QCOMPARE(seam->texts(), QStringList());
        QCOMPARE(catalogueDifferences(expectedSample(), catalogue), QStringList());
    }
    QVERIFY(QFile::remove(dir.filePath("data.xlsx")));
    QVERIFY(QFile::remove(dir.filePath("name.xlsx")));
    resetProcessState();
    {
        MainWindow fromFiles;
        QCOMPARE(seam->texts(), QStringList());
        // Second rows included: name.dat carries them.
        QCOMPARE(catalogueDifferences(expectedSample(), catalogue), QStringList());
    }
}

QTEST_MAIN(WorkbookImportTest)
#include "test_workbook_import.moc"
