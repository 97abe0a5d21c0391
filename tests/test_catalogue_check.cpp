#include "app/application_setup.h"
#include "app/main_window.h"
#include "catalogue/catalogue_check.h"
#include "catalogue/dat_codec.h"
#include "catalogue/workbook_import_rules.h"
#include "catalogue/xlsx_reader.h"
#include "catalogue_compare.h"
#include "recording_seam.h"
#include "test_catalogues.h"

#include <QComboBox>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString fixtures = QStringLiteral(QUILLON_FIXTURES_DIR);
const QString sample = QStringLiteral(QUILLON_SAMPLE_DIR);
const QString cases = fixtures + QStringLiteral("/check/");

// "" for no workbook, "sample" for the bundled one, else a case name: check/<case>_<kind>.xlsx.
QString workbookPath(const QString &name, const QString &kind)
{
    if (name.isEmpty())
        return QString();
    if (name == QLatin1String("sample"))
        return sample + QLatin1Char('/') + kind + QStringLiteral(".xlsx");
    if (name == QLatin1String("strict"))
        return fixtures + QStringLiteral("/strict/") + kind + QStringLiteral(".xlsx");
    return cases + name + QLatin1Char('_') + kind + QStringLiteral(".xlsx");
}

void copyFile(const QString &from, const QString &to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to))
        qFatal("cannot copy %s", qPrintable(from));
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// The sample catalogue as data.dat and name.dat, as a start-up on the sample workbooks leaves them.
void writeSampleCatalogueFiles(const QString &dir)
{
    writeFile(dir + "/data.dat", encodeDataFile(sampleCatalogue()));
    writeFile(dir + "/name.dat", encodeNameFile(sampleCatalogue()));
}

CatalogueFinding finding(FindingSeverity severity, const QString &text)
{
    return {severity, QStringLiteral("data.xlsx"), QStringLiteral("Cable"), QStringLiteral("C5"), text};
}

}  // namespace

class CatalogueCheckTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void findings_data();
    void findings();
    void startUpStoresWhatTheImportReads();
    void findingLines_data();
    void findingLines();
    void summaryListsErrorsFirstAndCuts();

    void startUpShowsOneWarningAfterTheImportBoxes();
    void startUpOnACleanCatalogueShowsNothing();

    void executable_data();
    void executable();
    void helpFitsInTenLines();
    void commandLine_data();
    void commandLine();
};

void CatalogueCheckTest::cleanup()
{
    setCatalogueDirectoryForTesting(QString());
    resetProcessState();
}

void CatalogueCheckTest::findings_data()
{
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("names");
    QTest::addColumn<bool>("previousFiles");  // the sample catalogue's data.dat and name.dat
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("bundled sample catalogue") << "sample" << "sample" << false << QStringList();
    QTest::newRow("bundled sample catalogue over its own .dat files") << "sample" << "sample" << true << QStringList();
    QTest::newRow("second producer's sample catalogue") << "strict" << "strict" << true << QStringList();
    QTest::newRow("data.xlsx alone") << "sample" << "" << true << QStringList();
    QTest::newRow("name.xlsx alone") << "" << "sample" << true << QStringList();

    // Number cells holding text
    QTest::newRow("resistance with a decimal comma")
        << "resistance_decimal_comma" << "sample" << false
        << QStringList{"data.xlsx:Cable!C5: error: \"12,1\" is not a number; Quillon reads 0"};
    QTest::newRow("resistance with its unit")
        << "resistance_with_unit" << "sample" << false
        << QStringList{QString::fromUtf8("data.xlsx:Cable!C5: error: \"12.1 Ω\" is not a number; Quillon reads 0")};

    // Counts against the filled rows
    QTest::newRow("count smaller than the rows")
        << "count_too_small" << "sample" << false
        << QStringList{"data.xlsx:Panel!A2: error: the count is 5 but rows 4 to 9 list 6 panels; Quillon reads only "
                       "rows 4 to 8",
                       "name.xlsx:Panel!B7: warning: data.xlsx lists 5 panels, so Quillon does not read this name"};
    QTest::newRow("count larger than the rows")
        << "count_too_large" << "sample" << false
        << QStringList{"data.xlsx:Device!A2: error: the count is 17 but only rows 4 to 18 list devices; Quillon also "
                       "reads rows 19 to 20 as devices with no code or name, drawing 0 mA",
                       "name.xlsx:Device!B17: error: the name of device 16 is empty; its row in the count table has "
                       "no name",
                       "name.xlsx:Device!B18: error: the name of device 17 is empty; its row in the count table has "
                       "no name"};

    // Duplicates and empty names
    QTest::newRow("two devices with one code")
        << "duplicate_code" << "sample" << false
        << QStringList{"data.xlsx:Device!A7: error: the code \"3\" is also in A6; Quillon keeps only the device of "
                       "this row under it"};
    QTest::newRow("two panels with one name")
        << "sample" << "duplicate_panel_name" << false
        << QStringList{"name.xlsx:Panel!B4: error: the panel name \"QP-220 (2 loops)\" is also in B3; the panel list "
                       "shows one entry, the panel of this row"};
    QTest::newRow("two cables with one name")
        << "sample" << "duplicate_cable_name" << false
        << QStringList{QString::fromUtf8("name.xlsx:Cable!B3: error: the cable name \"FR 2x1.0mm²\" is also in B2; "
                                         "the cable list shows one entry, the cable of this row")};
    QTest::newRow("device without a name")
        << "sample" << "empty_device_name" << false
        << QStringList{"name.xlsx:Device!B5: error: the name of device \"4\" is empty; its row in the count table "
                       "has no name"};

    // Tab names
    QTest::newRow("tab \"Panel \"")
        << "tab_trailing_blank" << "sample" << false
        << QStringList{"data.xlsx:'Panel ': error: the tab name \"Panel \" is not \"Panel\"; Quillon skips this tab "
                       "and reads no panels",
                       "name.xlsx:Panel!B2: warning: data.xlsx lists 0 panels, so Quillon does not read this name or "
                       "the 5 after it"};
    QTest::newRow("tab \"panel\"")
        << "tab_lower_case" << "sample" << false
        << QStringList{"data.xlsx:panel: error: the tab name \"panel\" is not \"Panel\"; Quillon skips this tab and "
                       "reads no panels",
                       "name.xlsx:Panel!B2: warning: data.xlsx lists 0 panels, so Quillon does not read this name or "
                       "the 5 after it"};
    QTest::newRow("tab \"version\"")
        << "sample" << "tab_version_lower_case" << false
        << QStringList{"name.xlsx:version: error: the tab name \"version\" is not \"Version\"; Quillon skips this tab "
                       "and reads an empty catalogue version and version number 0"};
    QTest::newRow("no Condition sheet")
        << "no_condition" << "sample" << false
        << QStringList{"data.xlsx: error: there is no tab named \"Condition\"; Quillon reads 0 for the minimum loop "
                       "voltage, the maximum loop length and the limit of devices 7, 8 and 9"};

    // Values out of range
    QTest::newRow("negative quiescent current")
        << "negative_current" << "sample" << false
        << QStringList{"data.xlsx:Device!D8: error: the quiescent current is -0.5 mA, below 0; Quillon subtracts it "
                       "from the current of every loop with this device"};
    QTest::newRow("alarm current \"inf\"")
        << "infinite_current" << "sample" << false
        << QStringList{"data.xlsx:Device!E10: error: the alarm current is inf, not a finite number; every result "
                       "that uses it is wrong"};
    // The panel's own currents: optional, but never text or below 0
    QTest::newRow("own quiescent current \"n/a\", own alarm current empty")
        << "own_current_text" << "sample" << false
        << QStringList{"data.xlsx:Panel!V5: error: \"n/a\" is not a number; Quillon reads no own quiescent current "
                       "and computes no battery for this panel",
                       "data.xlsx:Panel!W6: warning: the own alarm current is empty but the own quiescent current is "
                       "given; Quillon computes no battery for this panel"};
    QTest::newRow("own alarm current below 0")
        << "own_current_negative" << "sample" << false
        << QStringList{"data.xlsx:Panel!W7: error: the own alarm current is -250 mA, not a current; Quillon computes "
                       "no battery for this panel"};
    QTest::newRow("panel with 0 loops")
        << "no_loops" << "sample" << false
        << QStringList{"data.xlsx:Panel!C4: error: the loop count is 0, not 1 to 16; Quillon shows no loop for this "
                       "panel"};
    QTest::newRow("panel with 17 loops")
        << "seventeen_loops" << "sample" << false
        << QStringList{"data.xlsx:Panel!C9: error: the loop count is 17, not 1 to 16; Quillon shows only 16 loops"};
    QTest::newRow("device limit 0 on loop 2 of 2")
        << "device_limit_zero" << "sample" << false
        << QStringList{"data.xlsx:Panel!G5: error: the device limit of loop 2 is 0; Quillon refuses any device on "
                       "that loop"};
    QTest::newRow("loop voltage at the minimum")
        << "voltage_at_minimum" << "sample" << false
        << QStringList{"data.xlsx:Panel!D4: error: the loop voltage is 17 V, not above the minimum loop voltage of "
                       "17 V in Condition!A2; Quillon shows a maximum length of 0.0m on every loop of this panel"};

    // Second rows
    QTest::newRow("marker \"1.0\"")
        << "sample" << "marker_one_point_zero" << false
        << QStringList{"name.xlsx:Device!C2: error: the marker \"1.0\" is not \"1\"; Quillon gives device \"1\" no "
                       "second row",
                       "name.xlsx:Device!D2: error: the number of second rows is 2 but column C marks 1 device with "
                       "\"1\"; Quillon adds 1 blank row to the count table"};
    QTest::newRow("marker \" 1\"")
        << "sample" << "marker_leading_blank" << false
        << QStringList{"name.xlsx:Device!C6: error: the marker \" 1\" is not \"1\"; Quillon gives device \"5\" no "
                       "second row",
                       "name.xlsx:Device!D2: error: the number of second rows is 2 but column C marks 1 device with "
                       "\"1\"; Quillon adds 1 blank row to the count table"};
    QTest::newRow("D2 above the markers")
        << "sample" << "second_rows_too_many" << false
        << QStringList{"name.xlsx:Device!D2: error: the number of second rows is 3 but column C marks 2 devices with "
                       "\"1\"; Quillon adds 1 blank row to the count table"};
    QTest::newRow("D2 below the markers")
        << "sample" << "second_rows_too_few" << false
        << QStringList{"name.xlsx:Device!D2: error: the number of second rows is 1 but column C marks 2 devices with "
                       "\"1\"; Quillon cuts the last 1 row off the count table"};

    // Name rows against the record counts
    QTest::newRow("a panel name row missing")
        << "sample" << "name_row_missing" << false
        << QStringList{"name.xlsx:Panel!B7: error: the name of panel \"QP1640\" is empty; Quillon does not list it"};
    QTest::newRow("a cable name row too many")
        << "sample" << "name_row_extra" << false
        << QStringList{"name.xlsx:Cable!B7: warning: data.xlsx lists 5 cables, so Quillon does not read this name"};

    // Against the .dat files the workbooks replace
    QTest::newRow("device inserted under the same version")
        << "device_inserted" << "device_inserted" << true
        << QStringList{"name.xlsx:Version!B2: error: the version number is still 1 but row 9 of the count table was "
                       "device \"2\" and is now device \"16\"; projects saved under version 1 open with their counts "
                       "on other devices"};
    QTest::newRow("device inserted under a new version") << "device_inserted" << "device_inserted_new_version" << true
                                                         << QStringList();
    QTest::newRow("device inserted, no .dat files to compare") << "device_inserted" << "device_inserted" << false
                                                               << QStringList();
    QTest::newRow("devices swapped under their codes")
        << "devices_swapped" << "devices_swapped" << true
        << QStringList{"name.xlsx:Version!B2: error: the version number is still 1 but device \"4\" was MUL-300 and "
                       "is now IN-1, and MUL-300 is now device \"6\"; projects saved under version 1 show their counts "
                       "on other devices"};
    QTest::newRow("second row lost under the same version")
        << "sample" << "marker_one_point_zero" << true
        << QStringList{"name.xlsx:Device!C2: error: the marker \"1.0\" is not \"1\"; Quillon gives device \"1\" no "
                       "second row",
                       "name.xlsx:Device!D2: error: the number of second rows is 2 but column C marks 1 device with "
                       "\"1\"; Quillon adds 1 blank row to the count table",
                       "name.xlsx:Version!B2: error: the version number is still 1 but row 2 of the count table was "
                       "the second row of device \"1\" and is now device \"10\"; projects saved under version 1 open "
                       "with their counts on other devices"};
    QTest::newRow("panel removed under the same version")
        << "panel_removed" << "panel_removed" << true
        << QStringList{"name.xlsx:Version!B2: warning: the version number is still 1 but the panel \"QP-1640 (16 "
                       "loops)\" is gone; projects saved under version 1 with such a panel are refused as not legal"};
}

void CatalogueCheckTest::findings()
{
    QFETCH(QString, data);
    QFETCH(QString, names);
    QFETCH(bool, previousFiles);
    QFETCH(QStringList, expected);

    XlsxWorkbook dataWorkbook, nameWorkbook;
    CatalogueCheckInput input;
    if (!data.isEmpty()) {
        QVERIFY2(dataWorkbook.open(workbookPath(data, "data")), qPrintable(dataWorkbook.errorString()));
        input.dataWorkbook = &dataWorkbook;
    }
    if (!names.isEmpty()) {
        QVERIFY2(nameWorkbook.open(workbookPath(names, "name")), qPrintable(nameWorkbook.errorString()));
        input.nameWorkbook = &nameWorkbook;
    }
    if (previousFiles) {
        input.dataFile = encodeDataFile(sampleCatalogue());
        input.nameFile = encodeNameFile(sampleCatalogue());
    }
    QStringList lines;
    for (const CatalogueFinding &f : checkCatalogue(input))
        lines.append(findingLine(f));
    QCOMPARE(lines, expected);
}

// The start-up imports first and checks afterwards: what it stores is what the import reads.
void CatalogueCheckTest::startUpStoresWhatTheImportReads()
{
    QTemporaryDir dir;
    copyFile(cases + "device_inserted_data.xlsx", dir.filePath("data.xlsx"));
    copyFile(cases + "device_inserted_name.xlsx", dir.filePath("name.xlsx"));
    writeSampleCatalogueFiles(dir.path());
    XlsxWorkbook data, names;
    QVERIFY(data.open(dir.filePath("data.xlsx")) && names.open(dir.filePath("name.xlsx")));
    Catalogue expected;
    importDataSheets(data, expected);
    importNameSheets(names, expected);

    RecordingSeam seam;
    setCatalogueDirectoryForTesting(dir.path());
    MainWindow window;
    QCOMPARE(seam.messages.size(), 1);  // the check found the inserted device
    QCOMPARE(catalogueDifferences(expected, catalogue), QStringList());
    QFile dataFile(dir.filePath("data.dat")), nameFile(dir.filePath("name.dat"));
    QVERIFY(dataFile.open(QIODevice::ReadOnly) && nameFile.open(QIODevice::ReadOnly));
    QCOMPARE(dataFile.readAll(), encodeDataFile(expected));
    QCOMPARE(nameFile.readAll(), encodeNameFile(expected));
}

void CatalogueCheckTest::findingLines_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("line");
    QTest::newRow("sheet and cell") << "Cable" << "C5" << "data.xlsx:Cable!C5: error: text";
    QTest::newRow("whole sheet") << "Cable" << "" << "data.xlsx:Cable: error: text";
    QTest::newRow("whole file") << "" << "" << "data.xlsx: error: text";
    QTest::newRow("tab name with a blank is quoted") << "Panel " << "A2" << "data.xlsx:'Panel '!A2: error: text";
    QTest::newRow("quote inside a tab name is doubled") << "it's" << "" << "data.xlsx:'it''s': error: text";
}

void CatalogueCheckTest::findingLines()
{
    QFETCH(QString, sheet);
    QFETCH(QString, cell);
    QFETCH(QString, line);
    QCOMPARE(findingLine({FindingSeverity::Error, "data.xlsx", sheet, cell, "text"}), line);
}

void CatalogueCheckTest::summaryListsErrorsFirstAndCuts()
{
    QVector<CatalogueFinding> findings;
    for (int i = 0; i < 12; ++i)
        findings << finding(FindingSeverity::Warning, QString("w%1").arg(i))
                 << finding(FindingSeverity::Error, QString("e%1").arg(i));
    const QStringList lines = findingSummary(findings).split('\n');
    QCOMPARE(lines.size(), 21);
    QCOMPARE(lines[0], QString("data.xlsx:Cable!C5: error: e0"));
    QCOMPARE(lines[11], QString("data.xlsx:Cable!C5: error: e11"));
    QCOMPARE(lines[12], QString("data.xlsx:Cable!C5: warning: w0"));
    QCOMPARE(lines[19], QString("data.xlsx:Cable!C5: warning: w7"));
    QCOMPARE(lines[20], QString("and 4 more"));
    QCOMPARE(findingSummary(findings.mid(0, 3)).split('\n').size(), 3);
    QCOMPARE(findingSummary({}), QString());
}

void CatalogueCheckTest::startUpShowsOneWarningAfterTheImportBoxes()
{
    QTemporaryDir dir;
    // Over capacity: the import reports its three cuts itself; no name.dat: one more "Error" box.
    copyFile(fixtures + "/import/over_capacity_data.xlsx", dir.filePath("data.xlsx"));
    RecordingSeam seam;
    setCatalogueDirectoryForTesting(dir.path());
    MainWindow window;
    QCOMPARE(seam.messages.size(), 5);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(int(seam.messages[i].kind), int(MessageKind::Critical));
    const RecordingSeam::Message &warning = seam.messages.last();
    QCOMPARE(int(warning.kind), int(MessageKind::Warning));
    QCOMPARE(warning.title, QString("Warning"));
    QVERIFY2(warning.text.startsWith("data.xlsx:Panel!A2: error: the count is 12, more than the 10 panels Quillon "
                                     "holds; it reads only rows 4 to 13\n"),
             qPrintable(warning.text));
    QCOMPARE(window.panelComboBox->count(), 1 + kPanelCapacity);  // the import stored what it always did
}

void CatalogueCheckTest::startUpOnACleanCatalogueShowsNothing()
{
    QTemporaryDir dir;
    copyFile(sample + "/data.xlsx", dir.filePath("data.xlsx"));
    copyFile(sample + "/name.xlsx", dir.filePath("name.xlsx"));
    writeSampleCatalogueFiles(dir.path());
    RecordingSeam seam;
    setCatalogueDirectoryForTesting(dir.path());
    MainWindow window;
    QCOMPARE(seam.texts(), QStringList());
}

void CatalogueCheckTest::executable_data()
{
    QTest::addColumn<QString>("data");  // a case name, "sample", "unreadable" or "" for none
    QTest::addColumn<QString>("names");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    QTest::newRow("clean: 0") << "sample" << "sample" << 0 << "";
    QTest::newRow("warnings only: 1") << "sample" << "name_row_extra" << 1
                                      << "name.xlsx:Cable!B7: warning: data.xlsx lists 5 cables, so Quillon does not "
                                         "read this name\n";
    QTest::newRow("errors: 2") << "resistance_decimal_comma" << "sample" << 2
                               << "data.xlsx:Cable!C5: error: \"12,1\" is not a number; Quillon reads 0\n";
    QTest::newRow("unreadable workbook: 3") << "unreadable" << "sample" << 3
                                            << "data.xlsx: error: the workbook cannot be read (the file is not a zip archive)\n";
    QTest::newRow("no workbook: 3") << "" << "" << 3 << "";
}

void CatalogueCheckTest::executable()
{
    QFETCH(QString, data);
    QFETCH(QString, names);
    QFETCH(int, status);
    QFETCH(QString, output);
    QTemporaryDir dir;
    if (data == QLatin1String("unreadable"))
        copyFile(fixtures + "/hostile/not_a_zip.xlsx", dir.filePath("data.xlsx"));
    else if (!data.isEmpty())
        copyFile(workbookPath(data, "data"), dir.filePath("data.xlsx"));
    if (!names.isEmpty())
        copyFile(workbookPath(names, "name"), dir.filePath("name.xlsx"));
    writeSampleCatalogueFiles(dir.path());

    QProcess check;
    check.start(QStringLiteral(QUILLON_CATALOGUE_CHECK), {dir.path()});
    QVERIFY2(check.waitForStarted(30000), qPrintable(check.errorString()));
    QVERIFY(check.waitForFinished(30000));
    QCOMPARE(check.exitStatus(), QProcess::NormalExit);
    QCOMPARE(QString::fromUtf8(check.readAllStandardOutput()).remove(QLatin1Char('\r')), output);
    QCOMPARE(check.exitCode(), status);
}

void CatalogueCheckTest::helpFitsInTenLines()
{
    QProcess check;
    check.start(QStringLiteral(QUILLON_CATALOGUE_CHECK), {QStringLiteral("--help")});
    QVERIFY2(check.waitForStarted(30000), qPrintable(check.errorString()));
    QVERIFY(check.waitForFinished(30000));
    QCOMPARE(check.exitCode(), 0);
    const QString help = QString::fromUtf8(check.readAllStandardOutput()).remove(QLatin1Char('\r'));
    QVERIFY(help.startsWith("Usage: quillon-catalogue-check [DIR]\n"));
    QCOMPARE(help.count('\n'), 10);
}

void CatalogueCheckTest::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("firstLine");  // of stdout for status 0, else of stderr
    setApplicationIdentity();
    QTest::newRow("--version: 0") << QStringList{"--version"} << 0
                                  << "quillon-catalogue-check " + QCoreApplication::applicationVersion();
    QTest::newRow("two folders: 64") << QStringList{"a", "b"} << 64
                                     << "quillon-catalogue-check: one folder at most, not 2 arguments";
    QTest::newRow("not a folder: 3") << QStringList{"no-such-folder"} << 3
                                     << "quillon-catalogue-check: no-such-folder is not a folder";
}

void CatalogueCheckTest::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, firstLine);
    QProcess check;
    check.start(QStringLiteral(QUILLON_CATALOGUE_CHECK), arguments);
    QVERIFY(check.waitForFinished(30000));
    QCOMPARE(check.exitCode(), status);
    const QString output =
        QString::fromUtf8(status == 0 ? check.readAllStandardOutput() : check.readAllStandardError()).remove('\r');
    QCOMPARE(output.section('\n', 0, 0), firstLine);
    // A wrong command line: one line naming what is wrong, then the usage.
    if (status == 64)
        QVERIFY2(output.section('\n', 1).startsWith("Usage: quillon-catalogue-check [DIR]\n"), qPrintable(output));
}

QTEST_MAIN(CatalogueCheckTest)
#include "test_catalogue_check.moc"
