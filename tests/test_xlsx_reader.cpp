#include "catalogue/xlsx_reader.h"
#include "german_locale.h"

#include <QFile>
#include <QTemporaryFile>
#include <QtTest>
#include <cmath>

namespace {

const QString fixtures = QStringLiteral(QUILLON_FIXTURES_DIR);
const QString sample = QStringLiteral(QUILLON_SAMPLE_DIR);

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

QStringList sheetNames(const XlsxWorkbook &workbook)
{
    QStringList names;
    for (int i = 1; i <= workbook.sheetCount(); ++i)
        names << workbook.sheetName(i);
    return names;
}

// The value in column B of the row whose column A holds label, on sheet 1.
QVariant caseValue(const XlsxWorkbook &workbook, const QString &label)
{
    for (int row = 1; row <= 100; ++row)
        if (workbook.cellValue(1, row, 1).toString() == label)
            return workbook.cellValue(1, row, 2);
    qFatal("no case %s", qPrintable(label));
    return QVariant();
}

}  // namespace

class XlsxReaderTest : public QObject {
    Q_OBJECT

private slots:
    void spreadsheetApplicationSample_data();
    void spreadsheetApplicationSample();
    void strictProducerSample();
    void cellValues_data();
    void cellValues();
    void positionsWithoutReferences();
    void sheetsInWorkbookOrderWithAnyPartNames();
    void outsideTheSheetIsEmpty();
    void numbersIgnoreTheLocale();

    void hostileOrDamagedWorkbookIsRefused_data();
    void hostileOrDamagedWorkbookIsRefused();
    void oversizedFileIsRefusedUnread();
    void refusalLeavesNoPartialWorkbook();
    void everyPrefixIsRefused();
    void flippedBytesNeverCrash();

    void escapes_data();
    void escapes();
    void cellReferences_data();
    void cellReferences();
};

void XlsxReaderTest::spreadsheetApplicationSample_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("sheets");
    QTest::newRow("data.xlsx") << "data.xlsx" << QStringList({"Panel", "Cable", "Device", "Condition"});
    QTest::newRow("name.xlsx") << "name.xlsx" << QStringList({"Panel", "Cable", "Device", "Version"});
}

void XlsxReaderTest::spreadsheetApplicationSample()
{
    QFETCH(QString, file);
    QFETCH(QStringList, sheets);
    XlsxWorkbook workbook;
    QVERIFY2(workbook.open(sample + "/" + file), qPrintable(workbook.errorString()));
    QCOMPARE(sheetNames(workbook), sheets);
    if (file == "data.xlsx") {
        QCOMPARE(workbook.cellValue(1, 2, 1), QVariant(6.0));
        QCOMPARE(workbook.cellValue(1, 4, 1), QVariant(QString("QP110")));
        QCOMPARE(workbook.cellValue(1, 5, 4), QVariant(27.5));
        QCOMPARE(workbook.cellValue(2, 6, 2), QVariant(QString::fromUtf8("FR 2x2.5mm²")));
        QCOMPARE(workbook.cellValue(3, 4, 1), QVariant(QString("1")));  // codes are text cells
        QCOMPARE(workbook.cellValue(4, 4, 1), QVariant(2000.0));
    } else {
        QCOMPARE(workbook.cellValue(3, 2, 3), QVariant(QString("1")));
        QCOMPARE(workbook.cellValue(3, 2, 4), QVariant(2.0));
        QCOMPARE(workbook.cellValue(4, 2, 1), QVariant(QString("Sample catalogue 2026.12")));
    }
}

void XlsxReaderTest::strictProducerSample()
{
    XlsxWorkbook workbook;
    QVERIFY2(workbook.open(fixtures + "/strict/data.xlsx"), qPrintable(workbook.errorString()));
    // Tab order, not sheetId; "_x0050_anel" is "Panel".
    QCOMPARE(sheetNames(workbook), QStringList({"Condition", "Device", "Panel", "Cable"}));
    QCOMPARE(workbook.cellValue(3, 4, 2), QVariant(QString("QP-110 (1 loop)")));  // two runs, phonetic left out
    QCOMPARE(workbook.cellValue(4, 4, 2), QVariant(QString::fromUtf8("FR 2x1.0mm²")));  // _x00B2_
    QCOMPARE(workbook.cellValue(4, 5, 2), QVariant(QString::fromUtf8("FR 2x1.5mm²")));  // inline string
    QCOMPARE(workbook.cellValue(2, 18, 4), QVariant(1.9));
    QCOMPARE(workbook.cellValue(1, 6, 1), QVariant(32.0));
    QVERIFY(!workbook.cellValue(4, 3, 1).isValid());  // an empty <c/>
}

void XlsxReaderTest::cellValues_data()
{
    QTest::addColumn<QVariant>("expected");
    auto row = [](const char *label, const QVariant &value) { QTest::newRow(label) << value; };
    row("plain integer", 42.0);
    row("exponent", 1e21);
    row("long exponent form", 5.2400000000000002E-2);
    row("negative zero", -0.0);
    row("explicit number type", 4.252);
    row("formula text", QString("7 apples"));
    row("formula number", 2.0);
    row("formula without cached value", QVariant());
    row("boolean true", true);
    row("boolean false", false);
    row("error value", QVariant());
    row("date", 46364.0);
    row("date with time", 46364.75);
    row("first day of 1900", 1.0);
    row("no value", QVariant());
    row("empty number value", QVariant());
    row("empty shared string", QString(""));
    row("string after the empty one", QString("after empty"));
    row("rich text", QString("Rich text"));
    row("phonetic run left out", QString::fromUtf8("東京"));
    row("preserved spaces", QString("  two spaces  "));
    row("escaped carriage return", QString("A\rB"));
    row("escaped underscore", QString("_x0041_"));
    row("escape in formula text", QString("x\ty"));
    row("inline rich text", QString("inline"));
    row("entities", QString::fromUtf8("<a> & 中文"));
    row("CDATA", QString("<raw>"));
    row("CJK text", QString::fromUtf8("中文 한국어 日本語"));
}

void XlsxReaderTest::cellValues()
{
    QFETCH(QVariant, expected);
    XlsxWorkbook workbook;
    QVERIFY2(workbook.open(fixtures + "/reader_cases.xlsx"), qPrintable(workbook.errorString()));
    const QVariant actual = caseValue(workbook, QString::fromUtf8(QTest::currentDataTag()));
    QCOMPARE(actual.isValid(), expected.isValid());
    QCOMPARE(actual.userType(), expected.userType());
    QCOMPARE(actual, expected);
    if (expected.userType() == QMetaType::Double)
        QCOMPARE(std::signbit(actual.toDouble()), std::signbit(expected.toDouble()));
}

void XlsxReaderTest::positionsWithoutReferences()
{
    XlsxWorkbook workbook;
    QVERIFY(workbook.open(fixtures + "/reader_cases.xlsx"));
    QCOMPARE(workbook.cellValue(1, 40, 3), QVariant(1.0));
    QCOMPARE(workbook.cellValue(1, 40, 4), QVariant(2.0));  // one right of C40
    QCOMPARE(workbook.cellValue(1, 41, 1), QVariant(3.0));  // the row after 40, from column A
    QCOMPARE(workbook.cellValue(1, 41, 2), QVariant(QString("B41")));
    QCOMPARE(workbook.cellValue(1, 1048576, 16384), QVariant(9.0));

    XlsxWorkbook strict;  // no r attribute anywhere; sizes in data descriptors
    QVERIFY(strict.open(fixtures + "/strict/name.xlsx"));
    QCOMPARE(sheetNames(strict), QStringList({"Version", "Panel", "Device", "Cable"}));
    QCOMPARE(strict.cellValue(3, 2, 4), QVariant(2.0));
    QCOMPARE(strict.cellValue(3, 6, 1), QVariant(QString("MCP-50W")));
    QVERIFY(!strict.cellValue(3, 3, 1).isValid());
}

void XlsxReaderTest::sheetsInWorkbookOrderWithAnyPartNames()
{
    XlsxWorkbook workbook;
    QVERIFY(workbook.open(fixtures + "/reader_cases.xlsx"));
    // Hidden and chart sheets count; a tab name keeps its trailing blank and decodes _x005F_.
    QCOMPARE(sheetNames(workbook), QStringList({"Cases", "Hidden", "Chart", "Tab_x0031_", "Panel "}));
    QCOMPARE(workbook.cellValue(2, 1, 1), QVariant(QString("hidden")));
    QVERIFY(!workbook.cellValue(3, 1, 1).isValid());
    // Target "worksheets/sheet%203.xml" for the entry "XL/Worksheets/Sheet 3.xml".
    QCOMPARE(workbook.cellValue(4, 1, 1), QVariant(QString("third")));
    QCOMPARE(workbook.cellValue(5, 1, 1), QVariant(QString("near miss")));
}

void XlsxReaderTest::outsideTheSheetIsEmpty()
{
    XlsxWorkbook workbook;
    QVERIFY(workbook.open(sample + "/data.xlsx"));
    QVERIFY(!workbook.cellValue(0, 2, 1).isValid());
    QVERIFY(!workbook.cellValue(5, 2, 1).isValid());
    QVERIFY(!workbook.cellValue(1, 0, 1).isValid());
    QVERIFY(!workbook.cellValue(1, 2, 0).isValid());
    QVERIFY(!workbook.cellValue(1, 2, 16385).isValid());
    QVERIFY(!workbook.cellValue(1, 1048577, 1).isValid());
    QVERIFY(!workbook.cellValue(1, 10, 1).isValid());
    QCOMPARE(workbook.sheetName(0), QString());
    QCOMPARE(workbook.sheetName(5), QString());
}

void XlsxReaderTest::numbersIgnoreTheLocale()
{
    GermanLocale german;
    QCOMPARE(QLocale().decimalPoint(), QChar(','));
    XlsxWorkbook workbook;
    QVERIFY(workbook.open(fixtures + "/reader_cases.xlsx"));
    QCOMPARE(caseValue(workbook, "explicit number type"), QVariant(4.252));
    QCOMPARE(caseValue(workbook, "long exponent form"), QVariant(5.2400000000000002E-2));
    XlsxWorkbook strict;
    QVERIFY(strict.open(fixtures + "/strict/data.xlsx"));
    QCOMPARE(strict.cellValue(4, 6, 3), QVariant(7.41));
}

void XlsxReaderTest::hostileOrDamagedWorkbookIsRefused_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason");  // a word of errorString()
    auto row = [](const char *name, const char *reason) {
        QTest::newRow(name) << QString("hostile/%1.xlsx").arg(name) << QString(reason);
    };
    // Not a workbook at all
    row("not_a_zip", "not a zip");
    row("ole_container", "OLE");
    row("truncated", "not a zip");
    // XML attacks
    row("entity_bomb", "document type");
    row("quadratic_blowup", "document type");
    row("doctype_only", "document type");
    row("undeclared_entity", "not well-formed");
    row("deep_nesting", "deeply");
    row("huge_tag", "over-long tag");
    row("malformed", "not well-formed");
    row("utf16_part", "not UTF-8");
    row("wrong_root", "unknown root");
    // Zip container
    row("zip_bomb", "too large");
    row("bad_crc", "checksum");
    row("size_understated", "checksum");
    row("size_overstated", "checksum");
    row("size_differs_between_headers", "cannot be opened");
    row("corrupt_deflate", "damaged");
    row("encrypted_entry", "encrypted");
    row("unsupported_compression", "compression");
    row("too_many_entries", "too many entries");
    row("duplicate_part", "twice");
    // Missing or unreachable parts
    row("missing_content_types", "[Content_Types].xml is missing");
    row("missing_root_relationships", "_rels/.rels is missing");
    row("missing_workbook", "xl/workbook.xml is missing");
    row("missing_workbook_relationships", "no part");
    row("missing_sheet", "sheet1.xml is missing");
    row("missing_shared_strings", "sharedStrings.xml is missing");
    row("target_outside_package", "outside the package");
    row("external_sheet", "outside the package");
    // Cells
    row("reference_row_zero", "invalid reference");
    row("reference_column_past_xfd", "invalid reference");
    row("reference_lower_case", "invalid reference");
    row("reference_row_past_limit", "invalid reference");
    row("reference_absolute", "invalid reference");
    row("reference_leading_zero", "invalid reference");
    row("reference_no_row", "invalid reference");
    row("reference_no_column", "invalid reference");
    row("cell_outside_row", "outside its row");
    row("row_past_limit", "invalid number");
    row("shared_index_out_of_range", "shared string");
    row("shared_index_negative", "shared string");
    row("bad_number", "invalid number");
    row("infinite_number", "invalid number");
    row("bad_boolean", "invalid boolean");
    row("bad_date", "invalid date");
    row("unknown_cell_type", "unknown type");
    row("over_long_text", "more text");
}

void XlsxReaderTest::hostileOrDamagedWorkbookIsRefused()
{
    QFETCH(QString, file);
    QFETCH(QString, reason);
    XlsxWorkbook workbook;
    QVERIFY(!workbook.open(fixtures + "/" + file));
    QVERIFY2(workbook.errorString().contains(reason), qPrintable(workbook.errorString()));
    QCOMPARE(workbook.sheetCount(), 0);
}

void XlsxReaderTest::oversizedFileIsRefusedUnread()
{
    QTemporaryFile file;
    QVERIFY(file.open());
    QVERIFY(file.resize(XlsxLimits::maxFileBytes + 1));  // sparse: nothing is written
    file.close();
    XlsxWorkbook workbook;
    QVERIFY(!workbook.open(file.fileName()));
    QVERIFY(workbook.errorString().contains("larger than 50 MiB"));
    QVERIFY(!workbook.open(file.fileName() + ".absent"));
}

void XlsxReaderTest::refusalLeavesNoPartialWorkbook()
{
    XlsxWorkbook workbook;
    QVERIFY(workbook.open(sample + "/data.xlsx"));
    QCOMPARE(workbook.sheetCount(), 4);
    // Three good sheets come before the damaged one here: none of them may remain.
    QVERIFY(!workbook.open(fixtures + "/hostile/missing_sheet.xlsx"));
    QCOMPARE(workbook.sheetCount(), 0);
    QVERIFY(!workbook.cellValue(1, 2, 1).isValid());
}

void XlsxReaderTest::everyPrefixIsRefused()
{
    const QByteArray whole = fileBytes(sample + "/data.xlsx");
    for (int length = 0; length < whole.size(); ++length) {
        XlsxWorkbook workbook;
        if (workbook.openBytes(whole.left(length)))
            QFAIL(qPrintable(QString("a prefix of %1 bytes was read").arg(length)));
    }
}

void XlsxReaderTest::flippedBytesNeverCrash()
{
    const QByteArray whole = fileBytes(fixtures + "/strict/data.xlsx");
    int refused = 0;
    for (int i = 0; i < whole.size(); ++i) {
        QByteArray flipped = whole;
        flipped[i] = char(flipped[i] ^ 0x41);
        XlsxWorkbook workbook;
        if (!workbook.openBytes(flipped)) {
            ++refused;
            QCOMPARE(workbook.sheetCount(), 0);
        }
    }
    // Every flip inside compressed data breaks its checksum, so most flips are refused.
    QVERIFY2(refused > whole.size() / 2, qPrintable(QString::number(refused)));
}

void XlsxReaderTest::escapes_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("decoded");
    QTest::newRow("no escape") << "plain_text" << "plain_text";
    QTest::newRow("upper-case hex") << "a_x00B2_b" << QString::fromUtf8("a²b");
    QTest::newRow("lower-case hex") << "_x00e9_" << QString::fromUtf8("é");
    QTest::newRow("escaped underscore is not decoded twice") << "_x005F_x0041_" << "_x0041_";
    QTest::newRow("too few digits") << "_x41_" << "_x41_";
    QTest::newRow("not hex") << "_x00G1_" << "_x00G1_";
    QTest::newRow("no closing underscore") << "_x0041" << "_x0041";
    QTest::newRow("upper-case X is literal") << "_X0041_" << "_X0041_";
    QTest::newRow("two in a row") << "_x0041__x0042_" << "AB";
    QTest::newRow("at the very end") << "ab_x0043_" << "abC";
}

void XlsxReaderTest::escapes()
{
    QFETCH(QString, raw);
    QFETCH(QString, decoded);
    QCOMPARE(decodeOoxmlEscapes(raw), decoded);
}

void XlsxReaderTest::cellReferences_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::newRow("A1") << "A1" << true << 1 << 1;
    QTest::newRow("Z9") << "Z9" << true << 9 << 26;
    QTest::newRow("AA10") << "AA10" << true << 10 << 27;
    QTest::newRow("XFD1048576, the last cell") << "XFD1048576" << true << 1048576 << 16384;
    QTest::newRow("XFE1, past the last column") << "XFE1" << false << 0 << 0;
    QTest::newRow("AAAA1, four letters") << "AAAA1" << false << 0 << 0;
    QTest::newRow("A1048577, past the last row") << "A1048577" << false << 0 << 0;
    QTest::newRow("A0") << "A0" << false << 0 << 0;
    QTest::newRow("A01") << "A01" << false << 0 << 0;
    QTest::newRow("a1") << "a1" << false << 0 << 0;
    QTest::newRow("$A$1") << "$A$1" << false << 0 << 0;
    QTest::newRow("A1 with a blank") << "A1 " << false << 0 << 0;
    QTest::newRow("A99999999") << "A99999999" << false << 0 << 0;
    QTest::newRow("empty") << "" << false << 0 << 0;
    QTest::newRow("1A") << "1A" << false << 0 << 0;
}

void XlsxReaderTest::cellReferences()
{
    QFETCH(QString, reference);
    QFETCH(bool, valid);
    QFETCH(int, row);
    QFETCH(int, column);
    int r = 0, c = 0;
    QCOMPARE(parseCellReference(reference, r, c), valid);
    if (valid) {
        QCOMPARE(r, row);
        QCOMPARE(c, column);
    }
}

QTEST_MAIN(XlsxReaderTest)
#include "test_xlsx_reader.moc"
