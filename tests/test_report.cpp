#include "app/main_window.h"
#include "loops/loop_state.h"
#include "file_size_limit.h"
#include "recording_seam.h"
#include "report/sheet_from_window.h"
#include "report/summary_sheet.h"
#include "test_catalogues.h"

#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPaintEngine>
#include <QPdfWriter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

// One drawn string: the painter's text items that continue each other on one baseline
// (a fallback font splits "Name：value" into several items) are joined.
struct TextRun {
    int page = 0;
    qreal x = 0, baseline = 0, width = 0, ascent = 0, descent = 0;
    QString text;
    QFont font;
    QColor penColour;
    qreal left() const { return x; }
    qreal right() const { return x + width; }
    qreal top() const { return baseline - ascent; }
    qreal bottom() const { return baseline + descent; }
};

struct LineRecord {
    int page = 0;
    QLineF line;
    QPen pen;
};

struct FillRecord {
    int page = 0;
    QRectF rect;
    QColor colour;
};

class RecordingEngine final : public QPaintEngine {
public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}

    bool begin(QPaintDevice *) override
    {
        ++begins;
        return true;
    }
    bool end() override
    {
        ++ends;
        return true;
    }
    void updateState(const QPaintEngineState &state) override
    {
        if (state.state() & QPaintEngine::DirtyPen)
            pen = state.pen();
        if (state.state() & QPaintEngine::DirtyBrush)
            brush = state.brush();
    }
    void drawRects(const QRectF *rects, int count) override
    {
        for (int i = 0; i < count; ++i)
            fills.append({pages, rects[i], brush.color()});
    }
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override { ++otherDrawings; }
    void drawPath(const QPainterPath &) override { ++otherDrawings; }
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override { ++otherDrawings; }
    void drawLines(const QLineF *lines, int count) override
    {
        for (int i = 0; i < count; ++i)
            this->lines.append({pages, lines[i], pen});
    }
    void drawTextItem(const QPointF &p, const QTextItem &item) override
    {
        if (!texts.isEmpty()) {
            TextRun &last = texts.last();
            if (last.page == pages && qFuzzyCompare(last.baseline, p.y()) && std::abs(last.right() - p.x()) < 0.5) {
                last.text += item.text();
                last.width += item.width();
                last.ascent = std::max(last.ascent, qreal(item.ascent()));
                last.descent = std::max(last.descent, qreal(item.descent()));
                return;
            }
        }
        TextRun run;
        run.page = pages;
        run.x = p.x();
        run.baseline = p.y();
        run.width = item.width();
        run.ascent = item.ascent();
        run.descent = item.descent();
        run.text = item.text();
        run.font = item.font();
        run.penColour = pen.color();
        texts.append(run);
    }
    Type type() const override { return QPaintEngine::User; }

    int pages = 1;
    int begins = 0;
    int ends = 0;
    int otherDrawings = 0;
    QPen pen;
    QBrush brush;
    QVector<TextRun> texts;
    QVector<LineRecord> lines;
    QVector<FillRecord> fills;
};

// A PDF writer with the export's page geometry whose drawing is recorded instead of written.
class RecordingDevice final : public QPdfWriter {
public:
    RecordingDevice() : QPdfWriter(&sink) { setUpSummarySheetWriter(*this); }
    bool newPage() override
    {
        ++engine.pages;
        return true;
    }
    RecordingEngine engine;

protected:
    QPaintEngine *paintEngine() const override { return const_cast<RecordingEngine *>(&engine); }

private:
    QBuffer sink;
};

// The export's printable area: A4 at 300 dpi inside 20-point margins.
constexpr int W = 2313;
constexpr int H = 3342;
// Text and tables stand between these: 100 pixels inside the printable area on either side.
constexpr int L = 100;
constexpr int R = W - 100;
// Nothing of the flow reaches below this, clear of the footer.
constexpr int flowBottom = H - 181;

enum class Align { Centre, Left, Right };

QRect box(int l, int t, int r, int b) { return QRect(QPoint(l, t), QPoint(r, b)); }

// Whether the run lies inside rect (corners inclusive) as the alignment places it.
bool placed(const TextRun &run, const QRect &rect, Align align)
{
    const qreal l = rect.left(), t = rect.top(), r = rect.right() + 1, b = rect.bottom() + 1;
    if (run.left() < l - 0.5 || run.right() > r + 0.5 || run.top() < t - 1 || run.bottom() > b + 1)
        return false;
    switch (align) {
    case Align::Centre:
        return std::abs((run.left() + run.right()) / 2 - (l + r) / 2) <= 1
            && std::abs((run.top() + run.bottom()) / 2 - (t + b) / 2) <= 1.5;
    case Align::Left:
        return std::abs(run.left() - l) <= 0.5 && std::abs(run.top() - t) <= 1;
    case Align::Right:
        return std::abs(run.right() - r) <= 1 && std::abs(run.top() - t) <= 1;
    }
    return false;
}

QString describe(const TextRun &run)
{
    return QString("'%1' on page %2 at x %3..%4, y %5..%6")
        .arg(run.text)
        .arg(run.page)
        .arg(run.left())
        .arg(run.right())
        .arg(run.top())
        .arg(run.bottom());
}

struct Sheet {
    QVector<TextRun> texts;
    QVector<LineRecord> lines;
    QVector<FillRecord> fills;
    int pages = 0;
    bool ok = false;
    int painterBegins = 0, painterEnds = 0, otherDrawings = 0;

    QVector<TextRun> on(int page) const
    {
        QVector<TextRun> result;
        for (const TextRun &t : texts)
            if (t.page == page)
                result << t;
        return result;
    }
    QVector<TextRun> named(const QString &text, int page = 0) const
    {
        QVector<TextRun> result;
        for (const TextRun &t : texts)
            if (t.text == text && (page == 0 || t.page == page))
                result << t;
        return result;
    }
    // The one run with this text on the page, or a null run (page 0).
    TextRun one(const QString &text, int page) const
    {
        const QVector<TextRun> found = named(text, page);
        return found.size() == 1 ? found[0] : TextRun();
    }
    QVector<TextRun> inside(const QRect &rect, int page) const
    {
        QVector<TextRun> result;
        for (const TextRun &t : texts)
            if (t.page == page && t.left() < rect.right() + 1 && t.right() > rect.left()
                && t.baseline > rect.top() && t.baseline <= rect.bottom() + 1)
                result << t;
        return result;
    }
    QVector<QLineF> linesOn(int page) const
    {
        QVector<QLineF> result;
        for (const LineRecord &l : lines)
            if (l.page == page)
                result << l.line;
        return result;
    }
    QVector<qreal> horizontalYs(int page) const
    {
        QVector<qreal> ys;
        for (const QLineF &l : linesOn(page))
            if (l.y1() == l.y2())
                ys << l.y1();
        return ys;
    }
    QVector<QLineF> verticals(int page) const
    {
        QVector<QLineF> result;
        for (const QLineF &l : linesOn(page))
            if (l.x1() == l.x2())
                result << l;
        return result;
    }
    // The x of every vertical line on the page, in drawing order: the borders of a table's columns.
    QVector<qreal> columnBorders(int page) const
    {
        QVector<qreal> xs;
        for (const QLineF &v : verticals(page))
            xs << v.x1();
        return xs;
    }
    // The texts drawn between top and bottom inside the column from l to r, joined in drawing order.
    QString cellText(qreal l, qreal r, qreal top, qreal bottom, int page) const
    {
        QStringList parts;
        for (const TextRun &t : texts)
            if (t.page == page && t.left() >= l && t.right() <= r && t.top() >= top - 1 && t.bottom() <= bottom + 1)
                parts << t.text;
        return parts.join(' ');
    }
};

QDateTime fixedTime() { return QDateTime(QDate(2026, 3, 7), QTime(9, 5, 2)); }

Sheet draw(const SummarySheetData &data, const SheetClock &clock = &fixedTime)
{
    RecordingDevice device;
    Sheet sheet;
    sheet.ok = drawSummarySheet(&device, data, clock);
    sheet.texts = device.engine.texts;
    sheet.lines = device.engine.lines;
    sheet.fills = device.engine.fills;
    sheet.pages = device.engine.pages;
    sheet.painterBegins = device.engine.begins;
    sheet.painterEnds = device.engine.ends;
    sheet.otherDrawings = device.engine.otherDrawings;
    return sheet;
}

SummarySheetData sheetData(int loops, int devices = 3, bool secondRows = false)
{
    SummarySheetData d;
    d.projectName = "Harbour Depot";
    d.projectLocation = "Quay 4";
    d.companyName = "Acme Fire Ltd";
    d.email = "eng@acme.example";
    d.comment = "Phase one";
    d.panelName = "QP-1640 (16 loops)";
    d.loopCount = loops;
    for (int i = 0; i < loops; ++i) {
        d.cableCaptions << QString("Loop%1:Cable %1").arg(i + 1);
        d.loopCells << QStringList{QString("Loop%1").arg(i + 1), "10", "2", "3", "0", "5.4mA", "45.0mA",
                                   "812.3m", QString::fromUtf8("√")};
    }
    for (int k = 0; k < devices; ++k) {
        SummaryDeviceRow row;
        row.name = QString("DEV-%1").arg(k + 1);
        row.type = "Detector";
        for (int i = 0; i < loops; ++i)
            row.loopCounts << 100 * (k + 1) + i;
        d.deviceRows << row;
        if (secondRows) {
            row.name += "B";
            row.secondRow = true;
            for (int i = 0; i < loops; ++i)
                row.loopCounts[i] += 50;
            d.deviceRows << row;
        }
    }
    d.softwareVersion = "Soft Version:SV1.0";
    d.catalogueVersion = "Sample catalogue 2026.12";
    d.catalogueVersionNumber = 3;
    d.minLoopVoltage = 17;
    d.maxLoopLength = 2000;
    return d;
}

// y after the cable list for n loops: two captions per 60-pixel line, starting at 730.
int captionEnd(int loops)
{
    return 730 + 60 * (loops / 2);
}

// What Calculate leaves in a "Loop Summary" row (the calculation itself is not under test here).
void fillSummaryRow(QTableWidget *table, int row, const QStringList &cells)
{
    for (int column = 0; column < cells.size(); ++column)
        table->setItem(row, column, new QTableWidgetItem(cells[column]));
}

QString pdftotext(const QString &pdf)
{
    QProcess process;
    process.start("pdftotext", {"-layout", pdf, "-"});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

int pdfPageCount(const QByteArray &pdf)
{
    // Page objects, not the page tree ("/Type /Pages").
    return pdf.count("/Type /Page\n") + pdf.count("/Type /Page ") + pdf.count("/Type /Page/")
           + pdf.count("/Type /Page>");
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every text on the page stands inside the text margins, clear of every other.
void verifyInsideAndApart(const Sheet &sheet, int page)
{
    const QVector<TextRun> texts = sheet.on(page);
    for (int a = 0; a < texts.size(); ++a) {
        const TextRun &s = texts[a];
        QVERIFY2(s.left() >= L - 0.5 && s.right() <= R + 0.5, qPrintable(describe(s)));
        for (const TextRun &t : texts.mid(a + 1))
            QVERIFY2(!(s.left() < t.right() && t.left() < s.right() && s.baseline - s.ascent < t.baseline
                       && t.baseline - t.ascent < s.baseline),
                     qPrintable(describe(s) + " overlaps " + describe(t)));
    }
}

}  // namespace

class ReportTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pagesAndTitles_data();
    void pagesAndTitles();
    void projectBlockOnBothPages();
    void cableListPositions_data();
    void cableListPositions();
    void loopTableColumnsAndRows();
    void loopTableStandsInsideTheTextMargins();
    void emptySummaryCellsPrintNothing();
    void deviceTableColumns_data();
    void deviceTableColumns();
    void secondRowTakes150Pixels();
    void fullCatalogueContinuesOnFurtherPages();
    void tableEndingAtTheFooterStaysOnPage2();
    void footerOnEveryPageWithItsOwnTime();
    void fontsAndPen();
    void textsDoNotOverlap();
    void longTextsWrapInsideTheMargins_data();
    void longTextsWrapInsideTheMargins();
    void textLongerThanAPageContinues();
    void resultCellsCarryTheStateColours();
    void basisFootnoteOnPageOne();
    void pdfIsArchivableWithEmbeddedFonts();

    void gatherReadsWindowAndLoopState();
    void gatherAfterPanelReset();
    void gatherListsDevicesBeyondTheDeviceGrid();

    void exportWritesPdfAndOpensIt();
    void exportAfterCalculateShowsTheResults();
    void exportCancelledDoesNothing();
    void exportPrintsCalculationOfInputsShown_data();
    void exportPrintsCalculationOfInputsShown();
    void exportFullCataloguePdfHasContinuationPages();
    void unwritableTarget_data();
    void unwritableTarget();
    void fullDiskKeepsOldPdf();

private:
    std::unique_ptr<RecordingSeam> seam;
};

void ReportTest::init()
{
    resetProcessState();
    seam = std::make_unique<RecordingSeam>();
}

void ReportTest::cleanup()
{
    seam.reset();
    resetProcessState();
}

void ReportTest::pagesAndTitles_data()
{
    QTest::addColumn<int>("loops");
    QTest::addColumn<int>("y");
    QTest::newRow("no panel") << 0 << 730;
    QTest::newRow("1 loop: title right after the caption line") << 1 << 730;
    QTest::newRow("2 loops: one empty line before the title") << 2 << 790;
    QTest::newRow("16 loops: eight caption lines") << 16 << 1210;
}

void ReportTest::pagesAndTitles()
{
    QFETCH(int, loops);
    QFETCH(int, y);
    const Sheet sheet = draw(sheetData(loops));
    QVERIFY(sheet.ok);
    QCOMPARE(sheet.pages, 2);
    // One painter for the whole sheet, ended; nothing but texts and lines.
    QCOMPARE(sheet.painterBegins, 1);
    QCOMPARE(sheet.painterEnds, 1);
    QCOMPARE(sheet.otherDrawings, 0);

    const TextRun summary = sheet.one("SUMMARY SHEET", 1);
    QVERIFY2(placed(summary, box(0, 0, W - 1, 99), Align::Centre), qPrintable(describe(summary)));
    const TextRun enclosure = sheet.one("Enclosure", 2);
    QVERIFY2(placed(enclosure, box(0, 0, W - 1, 99), Align::Centre), qPrintable(describe(enclosure)));
    QVERIFY(sheet.named("Enclosure", 1).isEmpty());

    const TextRun loopTable = sheet.one("Loop detail statistics table", 1);
    QVERIFY2(placed(loopTable, box(0, y + 60, W - 1, y + 119), Align::Centre), qPrintable(describe(loopTable)));
    const TextRun deviceTable = sheet.one("Model - loop quantity table", 2);
    QVERIFY2(placed(deviceTable, box(0, y + 60, W - 1, y + 119), Align::Centre), qPrintable(describe(deviceTable)));

    // Page 1: the table's frame, a header at least 80 pixels high (two lines where a header
    // wraps), one 90-pixel band per loop; the disclaimer below it.
    const QVector<qreal> ys = sheet.horizontalYs(1);
    QCOMPARE(ys.size(), 2 + loops);
    QCOMPARE(ys[0], qreal(y + 140));
    const qreal header = ys[1];
    QVERIFY(header >= y + 230);
    for (int i = 1; i <= loops; ++i)
        QCOMPARE(ys[1 + i], header + 90 * i);
    const int r = int(header) + 90 * loops;
    for (const QLineF &v : sheet.verticals(1)) {
        QCOMPARE(v.y1(), qreal(y + 140));
        QCOMPARE(v.y2(), qreal(r));
    }
    const QVector<TextRun> disclaimer = sheet.inside(box(L, r + 80, R - 1, r + 239), 1);
    QVERIFY(!disclaimer.isEmpty());
    QVERIFY2(placed(disclaimer[0], box(L, r + 80, R - 1, r + 239), Align::Left), qPrintable(describe(disclaimer[0])));
    QStringList words;
    for (const TextRun &t : disclaimer) {
        QVERIFY2(std::abs(t.left() - L) < 0.5 && t.bottom() <= r + 241, qPrintable(describe(t)));
        words << t.text.trimmed();
    }
    QCOMPARE(words.join(' '), QString("The above data is based on laboratory tests and theoretical calculations. "
                                      "This data may be slightly different from the actual construction site."));

    // Page 2: header row and one 75-pixel row per device.
    QCOMPARE(sheet.horizontalYs(2),
             QVector<qreal>({qreal(y + 140), qreal(y + 230), qreal(y + 305), qreal(y + 380), qreal(y + 455)}));
    QCOMPARE(sheet.named("DEV-3", 2).size(), 1);
    QCOMPARE(sheet.named("Loop1", 2).size(), loops >= 1 ? 1 : 0);
}

void ReportTest::projectBlockOnBothPages()
{
    SummarySheetData data = sheetData(2);
    data.projectName = "Depot %1 & <north>";  // printed unchanged
    const Sheet sheet = draw(data);
    const QString colon = QString(QChar(0xFF1A));
    const struct {
        QString text;
        QRect rect;
    } lines[] = {
        {"Project Name" + colon + "Depot %1 & <north>", box(100, 100, W - 101, 159)},
        {"Project Location" + colon + "Quay 4", box(100, 170, W - 101, 229)},
        {"Company Name" + colon + "Acme Fire Ltd", box(100, 240, W - 101, 299)},
        {"E-mail" + colon + "eng@acme.example", box(100, 310, W - 101, 369)},
        {"Comment" + colon + "Phase one", box(100, 380, W - 101, 619)},
        {"Panel Model" + colon + "QP-1640 (16 loops)", box(100, 660, W - 101, 719)},
        {"Cable Type:", box(100, 730, W - 101, 789)},
    };
    for (int page = 1; page <= 2; ++page) {
        for (const auto &line : lines) {
            const TextRun run = sheet.one(line.text, page);
            QVERIFY2(placed(run, line.rect, Align::Left),
                     qPrintable(QString("page %1: %2 -> %3").arg(page).arg(line.text, describe(run))));
        }
    }
}

void ReportTest::cableListPositions_data()
{
    QTest::addColumn<int>("loops");
    QTest::newRow("1 loop") << 1;
    QTest::newRow("2 loops") << 2;
    QTest::newRow("3 loops") << 3;
    QTest::newRow("4 loops") << 4;
    QTest::newRow("15 loops") << 15;
    QTest::newRow("16 loops") << 16;
}

void ReportTest::cableListPositions()
{
    QFETCH(int, loops);
    const Sheet sheet = draw(sheetData(loops));
    for (int page = 1; page <= 2; ++page) {
        // Two columns right of the label, the second ending at the text margin.
        const qreal label = sheet.one("Cable Type:", page).right();
        const qreal first = sheet.one("Loop1:Cable 1", page).left();
        QVERIFY2(first >= 360 && first >= label + 29, qPrintable(QString::number(first)));
        const qreal second = loops > 1 ? sheet.one("Loop2:Cable 2", page).left() : first + (R - first) / 2;
        QVERIFY(second > (first + R) / 2 - 20 && second < (first + R) / 2 + 20);
        for (int i = 0; i < loops; ++i) {
            const int y = 730 + 60 * (i / 2);
            const QRect rect = i % 2 == 0 ? box(first, y, second - 12, y + 59) : box(second, y, R - 1, y + 59);
            const TextRun run = sheet.one(QString("Loop%1:Cable %1").arg(i + 1), page);
            QVERIFY2(placed(run, rect, Align::Left), qPrintable(describe(run)));
        }
    }
    // Odd counts: the table title on the line right after the last caption; even: one empty line.
    const int lastCaptionLine = 730 + 60 * ((loops - 1) / 2);
    const int titleTop = captionEnd(loops) + 60;
    QCOMPARE(titleTop - lastCaptionLine, loops % 2 == 1 ? 60 : 120);
    QVERIFY(placed(sheet.one("Loop detail statistics table", 1), box(0, titleTop, W - 1, titleTop + 59),
                   Align::Centre));
    QCOMPARE(sheet.horizontalYs(1).first(), qreal(titleTop + 80));
}

void ReportTest::loopTableColumnsAndRows()
{
    const Sheet sheet = draw(sheetData(3));
    const int y = 790;
    // Nine columns from the left to the right text margin, none narrower than its widest word.
    const QVector<qreal> b = sheet.columnBorders(1);
    QCOMPARE(b.size(), 10);
    QCOMPARE(b.first(), qreal(L));
    QCOMPARE(b.last(), qreal(R));
    const qreal headerBottom = sheet.horizontalYs(1)[1];
    const QStringList headers{"Loop", "Detectors", "Modules", "Sounders", "Others", "Quiescent Current",
                              "Total Alarm Current", "Max Length", "Result"};
    for (int k = 0; k < 9; ++k)
        QCOMPARE(sheet.cellText(b[k], b[k + 1], y + 140, headerBottom, 1), headers[k]);
    const QStringList cells = sheetData(3).loopCells[1];
    const qreal rowTop = headerBottom + 90;
    for (int k = 0; k < 9; ++k) {
        const QVector<TextRun> found = sheet.inside(box(b[k], rowTop + 20, b[k + 1] - 1, rowTop + 69), 1);
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].text, cells[k]);
        QVERIFY2(placed(found[0], box(b[k], rowTop + 20, b[k + 1] - 1, rowTop + 69), Align::Centre),
                 qPrintable(describe(found[0])));
    }
    for (const QLineF &l : sheet.linesOn(1))
        if (l.y1() == l.y2())
            QCOMPARE(QLineF(l.x1(), 0, l.x2(), 0), QLineF(L, 0, R, 0));
}

void ReportTest::loopTableStandsInsideTheTextMargins()
{
    // A narrower page: (595 - 2 * 60) points = 1979 pixels; the table keeps 100 pixels on each side.
    RecordingDevice device;
    device.setPageMargins(QMarginsF(60, 20, 60, 20), QPageLayout::Point);
    QCOMPARE(device.width(), 1979);
    QVERIFY(drawSummarySheet(&device, sheetData(1), &fixedTime));
    QVector<qreal> xs;
    for (const LineRecord &l : device.engine.lines)
        if (l.page == 1 && l.line.x1() == l.line.x2())
            xs << l.line.x1();
    QCOMPARE(xs.size(), 10);
    QCOMPARE(xs.first(), qreal(100));
    QCOMPARE(xs.last(), qreal(1979 - 100));
    for (const TextRun &t : device.engine.texts)
        QVERIFY2(t.left() >= 100 - 0.5 && t.right() <= 1979 - 100 + 0.5, qPrintable(describe(t)));
}

void ReportTest::emptySummaryCellsPrintNothing()
{
    SummarySheetData data = sheetData(2);
    data.loopCells[0] = QStringList{"Loop1", "", "", "", "", "", "", "", ""};  // never calculated
    data.loopCells[1] = QStringList{"Loop2", "4"};                           // cells without items
    const Sheet sheet = draw(data);
    const QVector<qreal> b = sheet.columnBorders(1);
    const int firstRow = int(sheet.horizontalYs(1)[1]);
    for (int row = 0; row < 2; ++row) {
        const int top = firstRow + 90 * row;
        QCOMPARE(sheet.inside(box(0, top + 20, W - 1, top + 69), 1).size(), row == 0 ? 1 : 2);
        QVERIFY(placed(sheet.one(QString("Loop%1").arg(row + 1), 1), box(b[0], top + 20, b[1] - 1, top + 69),
                       Align::Centre));
    }
    QVERIFY(placed(sheet.one("4", 1), box(b[1], firstRow + 110, b[2] - 1, firstRow + 159), Align::Centre));
    // The rows and their lines are still all there.
    QCOMPARE(sheet.horizontalYs(1).size(), 4);
}

void ReportTest::deviceTableColumns_data()
{
    QTest::addColumn<int>("loops");
    QTest::newRow("no loops: Device and Type") << 0;
    QTest::newRow("1 loop") << 1;
    QTest::newRow("3 loops") << 3;
    QTest::newRow("4 loops") << 4;
    QTest::newRow("16 loops: inside the margins") << 16;
}

void ReportTest::deviceTableColumns()
{
    QFETCH(int, loops);
    const int y = captionEnd(loops);
    const Sheet sheet = draw(sheetData(loops));

    // Device, Type and one equal column per loop, the whole table centred inside the margins.
    const QVector<qreal> xs = sheet.columnBorders(2);
    QCOMPARE(xs.size(), 3 + loops);
    QVERIFY2(xs.first() >= L && xs.last() <= R, qPrintable(QString("%1..%2").arg(xs.first()).arg(xs.last())));
    QVERIFY(std::abs((xs.first() + xs.last()) / 2 - W / 2) <= 1);
    for (int i = 1; i < loops; ++i)
        QCOMPARE(xs[3 + i] - xs[2 + i], xs[3] - xs[2]);

    QVERIFY(placed(sheet.one("Device", 2), box(xs[0], y + 150, xs[1] - 1, y + 229), Align::Centre));
    QVERIFY(placed(sheet.one("Type", 2), box(xs[1], y + 150, xs[2] - 1, y + 229), Align::Centre));
    for (int i = 0; i < loops; ++i) {
        const QRect header = box(xs[2 + i], y + 150, xs[3 + i] - 1, y + 229);
        QVERIFY2(placed(sheet.one(QString("Loop%1").arg(i + 1), 2), header, Align::Centre), qPrintable(QString::number(i)));
        const QRect count = box(xs[2 + i], y + 245, xs[3 + i] - 1, y + 294);
        QVERIFY(placed(sheet.one(QString::number(100 + i), 2), count, Align::Centre));
    }
    QVERIFY(placed(sheet.one("DEV-1", 2), box(xs[0], y + 245, xs[1] - 1, y + 294), Align::Centre));
    for (const QLineF &v : sheet.verticals(2)) {
        QCOMPARE(v.y1(), qreal(y + 140));
        QCOMPARE(v.y2(), qreal(y + 230 + 3 * 75));
    }
    for (const QLineF &l : sheet.linesOn(2))
        if (l.y1() == l.y2())
            QCOMPARE(QLineF(l.x1(), 0, l.x2(), 0), QLineF(xs.first(), 0, xs.last(), 0));
}

void ReportTest::secondRowTakes150Pixels()
{
    SummarySheetData data = sheetData(2, 0);
    const auto row = [](const QString &name, bool second, QVector<qint32> counts) {
        SummaryDeviceRow r;
        r.name = name;
        r.type = "Detector";
        r.secondRow = second;
        r.loopCounts = counts;
        return r;
    };
    data.deviceRows = {row("OPT-100", false, {7, 8}), row("OPT-100I", true, {1, 2}), row("HRR-200", false, {0, 0})};
    const Sheet sheet = draw(data);
    const int r = 790 + 230;
    const QVector<qreal> xs = sheet.columnBorders(2);
    QVERIFY(placed(sheet.one("OPT-100", 2), box(xs[0], r + 15, xs[1] - 1, r + 64), Align::Centre));
    QVERIFY(placed(sheet.one("OPT-100I", 2), box(xs[0], r + 90, xs[1] - 1, r + 139), Align::Centre));
    QVERIFY(placed(sheet.one("HRR-200", 2), box(xs[0], r + 165, xs[1] - 1, r + 214), Align::Centre));
    // The second row repeats the type; a device with only zero counts is listed all the same.
    QCOMPARE(sheet.inside(box(xs[1], r + 90, xs[2] - 1, r + 139), 2)[0].text, QString("Detector"));
    QCOMPARE(sheet.inside(box(xs[2], r + 165, xs[4] - 1, r + 214), 2).size(), 2);
    QCOMPARE(sheet.horizontalYs(2), QVector<qreal>({qreal(790 + 140), qreal(r), qreal(r + 75), qreal(r + 150),
                                                    qreal(r + 225)}));
}

void ReportTest::fullCatalogueContinuesOnFurtherPages()
{
    const Sheet sheet = draw(sheetData(16, 55, true));
    // Page 2 holds 11 devices below the 16-loop project block, each further page 19.
    QCOMPARE(sheet.pages, 5);
    QVERIFY(sheet.ok);

    int nextDevice = 1;
    for (int page = 2; page <= 5; ++page) {
        const int top = page == 2 ? 1350 : 140;
        const QVector<qreal> xs = sheet.columnBorders(page);
        QCOMPARE(xs.size(), 3 + 16);
        QVERIFY(placed(sheet.one("Enclosure", page), box(0, 0, W - 1, 99), Align::Centre));
        QVERIFY(placed(sheet.one("Device", page), box(xs[0], top + 10, xs[1] - 1, top + 89), Align::Centre));
        QVERIFY(placed(sheet.one("Type", page), box(xs[1], top + 10, xs[2] - 1, top + 89), Align::Centre));
        for (int i = 0; i < 16; ++i)
            QVERIFY(placed(sheet.one(QString("Loop%1").arg(i + 1), page), box(xs[2 + i], top + 10, xs[3 + i] - 1, top + 89),
                           Align::Centre));
        QCOMPARE(sheet.named("Model - loop quantity table", page).size(), page == 2 ? 1 : 0);
        QCOMPARE(sheet.named("Cable Type:", page).size(), page == 2 ? 1 : 0);
        for (const QString &footer : {QString("Soft Version:SV1.0"), QString("Sample catalogue 2026.12")})
            QCOMPARE(sheet.named(footer, page).size(), 1);

        // Whole devices in order, both rows on one page, nothing reaching the footer.
        const int devices = page == 2 ? 11 : page < 5 ? 19 : 55 - 11 - 2 * 19;
        int r = top + 90;
        for (int k = 0; k < devices; ++k, ++nextDevice, r += 150) {
            const QString name = QString("DEV-%1").arg(nextDevice);
            QVERIFY2(placed(sheet.one(name, page), box(xs[0], r + 15, xs[1] - 1, r + 64), Align::Centre),
                     qPrintable(name));
            QVERIFY(placed(sheet.one(name + "B", page), box(xs[0], r + 90, xs[1] - 1, r + 139), Align::Centre));
        }
        QVERIFY(r <= flowBottom);
        for (const QLineF &v : sheet.verticals(page)) {
            QCOMPARE(v.y1(), qreal(top));
            QCOMPARE(v.y2(), qreal(r));
        }
        QCOMPARE(sheet.verticals(page).size(), 3 + 16);
    }
    QCOMPARE(nextDevice, 56);
    for (const TextRun &t : sheet.texts)
        if (t.text.startsWith("DEV-"))
            QCOMPARE(sheet.named(t.text).size(), 1);
}

void ReportTest::tableEndingAtTheFooterStaysOnPage2()
{
    // No loops: rows start at 960; 29 rows end at 3135, a 30th would end at 3210 (footer at 3162).
    const Sheet fits = draw(sheetData(0, 29));
    QCOMPARE(fits.pages, 2);
    const Sheet spills = draw(sheetData(0, 30));
    QCOMPARE(spills.pages, 3);
    QCOMPARE(spills.named("DEV-30", 3).size(), 1);
    QCOMPARE(spills.named("DEV-29", 2).size(), 1);
    // A device whose second row would not fit moves to the next page with its first row.
    SummarySheetData pair = sheetData(0, 29);  // the 29th row ends at 3135, its second row would at 3210
    SummaryDeviceRow second = pair.deviceRows.last();
    pair.deviceRows.last().name = "PAIR";
    second.name = "PAIR-B";
    second.secondRow = true;
    pair.deviceRows << second;
    const Sheet moved = draw(pair);
    QCOMPARE(moved.pages, 3);
    QCOMPARE(moved.named("DEV-28", 2).size(), 1);
    const QVector<qreal> xs = moved.columnBorders(3);
    QVERIFY(placed(moved.one("PAIR", 3), box(xs[0], 245, xs[1] - 1, 294), Align::Centre));
    QVERIFY(placed(moved.one("PAIR-B", 3), box(xs[0], 320, xs[1] - 1, 369), Align::Centre));
}

void ReportTest::footerOnEveryPageWithItsOwnTime()
{
    int calls = 0;
    const SheetClock clock = [&calls] { return fixedTime().addSecs(60 * calls++); };
    const Sheet sheet = draw(sheetData(16, 55, true), clock);
    QCOMPARE(calls, sheet.pages);
    for (int page = 1; page <= sheet.pages; ++page) {
        const QString time = QString("2026-03-07 09:%1").arg(5 + page - 1, 2, 10, QChar('0'));
        QVERIFY2(placed(sheet.one("Soft Version:SV1.0", page), box(L, H - 180, R - 1, H - 121), Align::Right),
                 qPrintable(QString::number(page)));
        QVERIFY(placed(sheet.one("Sample catalogue 2026.12", page), box(L, H - 120, R - 1, H - 61), Align::Right));
        QVERIFY2(placed(sheet.one(time, page), box(L, H - 60, R - 1, H - 1), Align::Right), qPrintable(time));
        // "Page N of M" at the top right, beside the title.
        const TextRun number = sheet.one(QString("Page %1 of %2").arg(page).arg(sheet.pages), page);
        QVERIFY2(number.page == page && std::abs(number.right() - R) <= 1 && number.top() >= 0 && number.bottom() <= 100,
                 qPrintable(describe(number)));
    }
    // ISO 8601, to the minute: the day and the month cannot be mistaken for each other.
    QCOMPARE(summarySheetTimestamp(QDateTime(QDate(2026, 11, 3), QTime(7, 0, 9))), QString("2026-11-03 07:00"));
}

void ReportTest::fontsAndPen()
{
    const Sheet sheet = draw(sheetData(2, 2, true));
    const auto fontOf = [&](const QString &text, int page) { return sheet.one(text, page).font; };
    const struct {
        QString text;
        int page;
        int size;
        int weight;
    } cases[] = {
        {"SUMMARY SHEET", 1, 15, 80},          {"Enclosure", 2, 15, 80},
        {"Cable Type:", 1, 10, QFont::Bold},   {"Loop2:Cable 2", 2, 10, QFont::Bold},
        {"Loop detail statistics table", 1, 10, QFont::Normal},
        {"Detectors", 1, 10, QFont::Normal},
        {"Model - loop quantity table", 2, 10, QFont::Normal},
        {"Device", 2, 8, QFont::Normal},       {"DEV-2B", 2, 8, QFont::Normal},
        {"Soft Version:SV1.0", 1, 10, QFont::Bold},
    };
    for (const auto &c : cases) {
        const QFont f = fontOf(c.text, c.page);
        QVERIFY2(f.family() == "SimSum" && f.pointSize() == c.size && f.weight() == c.weight && !f.italic(),
                 qPrintable(c.text + ": " + f.toString()));
    }
    QVERIFY(!sheet.lines.isEmpty());
    for (const LineRecord &l : sheet.lines) {
        QCOMPARE(l.pen.color(), QColor(0, 0, 0, 255));
        QCOMPARE(l.pen.brush().style(), Qt::SolidPattern);
        QCOMPARE(l.pen.widthF(), 1.0);
        QCOMPARE(l.pen.style(), Qt::SolidLine);
        QCOMPARE(l.pen.capStyle(), Qt::SquareCap);
        QCOMPARE(l.pen.joinStyle(), Qt::BevelJoin);
    }
    for (const TextRun &t : sheet.texts)
        QCOMPARE(t.penColour, QColor(Qt::black));
}

void ReportTest::textsDoNotOverlap()
{
    // The window's start-up chooses the faces that stand in for the missing "SimSum".
    WindowFixture fixture(sampleCatalogue());
    const Sheet sheet = draw(sheetData(16, 3, true));
    for (int page = 1; page <= 2; ++page) {
        const TextRun label = sheet.one("Cable Type:", page);
        QVERIFY2(label.page == page, "no \"Cable Type:\" label");
        QVERIFY2(label.right() < sheet.one("Loop1:Cable 1", page).left(), qPrintable(describe(label)));
        const QVector<TextRun> texts = sheet.on(page);
        for (int a = 0; a < texts.size(); ++a)
            for (int b = a + 1; b < texts.size(); ++b) {
                const TextRun &s = texts[a], &t = texts[b];
                const bool overlap = s.left() < t.right() && t.left() < s.right() && s.baseline - s.ascent < t.baseline
                                     && t.baseline - t.ascent < s.baseline;
                QVERIFY2(!overlap, qPrintable(describe(s) + " overlaps " + describe(t)));
            }
    }
}

void ReportTest::longTextsWrapInsideTheMargins_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");  // printed whole on both pages
    QTest::newRow("long project name") << "name" << QString("Harbour Depot, fire alarm loop design C; ").repeated(5).left(200);
    QTest::newRow("long e-mail, one word") << "email" << QString(190, QChar('e')) + "@acme.example";
    QTest::newRow("long cable name") << "cable" << QString("FR 2x1.5mm ").repeated(20).left(200);
    QTest::newRow("16 loops, page 1 holds the table, legend and disclaimer") << "loops" << "Loop16:Cable 16";
}

void ReportTest::longTextsWrapInsideTheMargins()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    WindowFixture fixture(sampleCatalogue());
    if (field == "loops" && QFontInfo(QFont("SimSum", 10)).family() != "DejaVu Sans")
        QSKIP("the room on page 1 is measured in DejaVu Sans; this sheet is set in another face");
    const int loops = field == "loops" ? 16 : 4;
    SummarySheetData data = sheetData(loops, loops == 16 ? 17 : 3);
    data.loopStates.fill(CurrentStatus::NearLimit, loops);  // with the legend
    if (field != "loops")
        (field == "name" ? data.projectName : field == "email" ? data.email : data.cableCaptions[0]) =
            field == "cable" ? "Loop1:" + text : text;
    const Sheet sheet = draw(data);
    QCOMPARE(sheet.pages, 2);
    const QRegularExpression space("\\s");
    for (int page = 1; page <= 2; ++page) {
        verifyInsideAndApart(sheet, page);
        // Every character is printed, over several lines; a caption is read down its column.
        const qreal captionLeft = sheet.one("Loop2:Cable 2", page).left() - 1;
        QString printed;
        for (const TextRun &t : sheet.on(page))
            if (field != "cable" || (t.left() < captionLeft && t.left() > 300))
                printed += t.text;
        QVERIFY2(printed.remove(space).contains(QString(text).remove(space)), qPrintable(printed));
        // What stands below moved down: the table's title is under the captions.
        const TextRun title = sheet.one(page == 1 ? "Loop detail statistics table" : "Model - loop quantity table", page);
        for (const TextRun &t : sheet.on(page))
            QVERIFY2(!t.text.startsWith("Loop4:") || title.top() > t.bottom(), qPrintable(describe(t)));
    }
}

void ReportTest::textLongerThanAPageContinues()
{
    SummarySheetData data = sheetData(2);
    QStringList lines;
    for (int i = 1; i <= 150; ++i)
        lines << QString("Note %1 of the comment").arg(i);
    data.comment = lines.join('\n');
    const Sheet sheet = draw(data);
    // The summary runs over three pages or more, every line in order, none over the footer.
    const int summaryPages = sheet.named("SUMMARY SHEET").size();
    QVERIFY2(summaryPages >= 3, qPrintable(QString::number(summaryPages)));
    QCOMPARE(sheet.one("Loop detail statistics table", summaryPages).page, summaryPages);
    QStringList printed;
    for (const TextRun &t : sheet.texts)
        if (t.page <= summaryPages && t.text.contains(" of the comment")) {
            printed << QString(t.text).remove(QString::fromUtf8("Comment："));
            QVERIFY2(t.bottom() <= flowBottom, qPrintable(describe(t)));
        }
    QCOMPARE(printed.join('\n'), data.comment);
    for (int page = 1; page <= sheet.pages; ++page)
        QCOMPARE(sheet.named(QString("Page %1 of %2").arg(page).arg(sheet.pages), page).size(), 1);
}

void ReportTest::resultCellsCarryTheStateColours()
{
    // Calculated in the window: normal, near the limit, over it, and left out.
    WindowFixture fixture(sampleCatalogue());
    MainWindow &w = fixture.window();
    w.panelComboBox->setCurrentText("QP-440 HP (4 loops)");
    for (int loop = 0; loop < 4; ++loop)
        w.cableComboBoxes[loop]->setCurrentText("STP 2x0.8mm");
    w.deviceCountEdits[4][1]->setText("45");   // BSN-12, 405 of 500 mA
    w.deviceCountEdits[4][2]->setText("56");   // 504 mA
    w.deviceCountEdits[0][3]->setText("251");  // too many devices
    w.calculateButton->click();
    const SummarySheetData data = gatherSummarySheetData(w);
    QCOMPARE(data.loopStates, (QVector<std::optional<CurrentStatus>>{
                                  CurrentStatus::Normal, CurrentStatus::NearLimit, CurrentStatus::Overloaded,
                                  std::nullopt}));
    QCOMPARE(data.comments, QStringList({"Loop2:Loop current is exceed 80% to panel limit.",
                                         "Loop3:Panel can't supply required loop current.",
                                         "Loop4:Max number of devices should be less than or equal to 250."}));
    QCOMPARE(data.loopCells[3], QStringList({"Loop4", "", "", "", "", "", "", "", ""}));

    const Sheet sheet = draw(data);
    const QVector<qreal> b = sheet.columnBorders(1);
    const QVector<qreal> ys = sheet.horizontalYs(1);
    QVector<FillRecord> cells, swatches;  // in the table, and in the legend under it
    for (const FillRecord &f : sheet.fills)
        if (f.page == 1)
            (f.rect.top() < ys.last() ? cells : swatches) << f;
    QCOMPARE(cells.size(), 3);
    QCOMPARE(swatches.size(), 3);
    const QColor colours[3] = {QColor(0, 255, 0), QColor(255, 255, 0), QColor(255, 0, 0)};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(cells[i].colour, colours[i]);
        QCOMPARE(swatches[i].colour, colours[i]);
        QVERIFY(cells[i].rect.left() >= b[8] && cells[i].rect.right() <= b[9]);  // the Result cell of its row
        QVERIFY(cells[i].rect.top() >= ys[1 + i] && cells[i].rect.bottom() <= ys[2 + i]);
    }
    // The legend under the table, then the comment lines in loop order.
    const TextRun legend = sheet.one("above 80 % of the panel's loop current limit", 1);
    const TextRun loop2 = sheet.one(data.comments[0], 1), loop4 = sheet.one(data.comments[2], 1);
    QVERIFY(legend.top() > ys.last() && loop2.top() > legend.bottom() && loop4.top() > loop2.bottom());
}

void ReportTest::basisFootnoteOnPageOne()
{
    const SummarySheetData data = sheetData(2);
    const QString basis = summarySheetBasis(data);
    for (const char *part : {"\"Sample catalogue 2026.12\"", "version number 3", "minimum loop voltage 17 V", "2000m",
                             "whole alarm current", "far end of a run of two conductors"})
        QVERIFY2(basis.contains(QLatin1String(part)), part);
    // Small print at the foot of page 1 only, clear of the footer.
    const Sheet sheet = draw(data);
    QStringList words;
    for (const TextRun &t : sheet.on(1))
        if (t.top() > flowBottom - 200 && t.font.pointSize() == 8)
            words << t.text;
    QCOMPARE(words.join(' '), basis);
    verifyInsideAndApart(sheet, 1);
    QVERIFY(!sheet.cellText(0, W, 0, H, 2).contains("Basis"));
}

void ReportTest::pdfIsArchivableWithEmbeddedFonts()
{
    SummarySheetData data = sheetData(16, 17);
    data.projectName = "   ";
    QCOMPARE(summarySheetTitle(data), QString("Summary sheet"));  // no name, no dash
    WindowFixture fixture(sampleCatalogue());
    data.projectName = QString::fromUtf8("Harbour Depot 港口仓库");
    QTemporaryDir dir;
    const QString path = dir.filePath("archive.pdf");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QPdfWriter writer(&file);
        setUpSummarySheetWriter(writer);
        QVERIFY(drawSummarySheet(&writer, data));
    }
    // PDF/A-1b: the identification, title and creator in the XMP metadata, and an output intent.
    const QByteArray pdf = readFile(path);
    QVERIFY(pdf.contains("/OutputIntents") && pdf.contains("pdfaid:part=\"1\" pdfaid:conformance=\"B\""));
    QVERIFY(pdf.contains(QString::fromUtf8(">Summary sheet – Harbour Depot 港口仓库<").toUtf8()));
    QVERIFY(pdf.contains("xmp:CreatorTool=\"Quillon 1.0.0\""));
    // Every font is embedded (/FontFile, /FontFile2 or /FontFile3), the fallback face for the CJK
    // characters too where the system has one.
    QVERIFY(pdf.count("/Type /FontDescriptor") >= 1);
    QCOMPARE(pdf.count("/FontFile"), pdf.count("/Type /FontDescriptor"));
}

void ReportTest::gatherReadsWindowAndLoopState()
{
    WindowFixture fixture(sampleCatalogue());
    MainWindow &w = fixture.window();
    w.projectNameEdit->setText("Depot");
    w.projectLocationEdit->setText("Quay 4");
    w.companyNameEdit->setText("Acme");
    w.emailEdit->setText("a@b.example");
    w.commentEdit->setPlainText("line one\nline <b>two</b>");
    w.panelComboBox->setCurrentText("QP-420 (4 loops)");
    w.cableComboBoxes[0]->setCurrentText(QString::fromUtf8("FR 2x1.0mm²"));
    w.cableComboBoxes[2]->setCurrentText("STP 2x0.8mm");
    // Cells are never read back: only a calculation puts figures on the sheet.
    fillSummaryRow(w.summaryTable, 0, {"Loop1", "c1", "c2", "c3", "c4", "c5", "c6", "c7", "cable", "c9"});
    // The counts are the grid's, not what an earlier Calculate copied into the device records.
    w.deviceCountEdits[0][1]->setText("12");  // OPT-100
    w.deviceCountEdits[1][3]->setText("3");   // its second row, OPT-100I
    loopState.devicesByKey["1"].loopCounts[0] = 99;

    const SummarySheetData data = gatherSummarySheetData(w);
    QCOMPARE(data.projectName, QString("Depot"));
    QCOMPARE(data.projectLocation, QString("Quay 4"));
    QCOMPARE(data.companyName, QString("Acme"));
    QCOMPARE(data.email, QString("a@b.example"));
    QCOMPARE(data.comment, QString("line one\nline <b>two</b>"));
    QCOMPARE(data.panelName, QString("QP-420 (4 loops)"));
    QCOMPARE(data.loopCount, 4);
    QCOMPARE(data.cableCaptions,
             QStringList({QString::fromUtf8("Loop1:FR 2x1.0mm²"), "", "Loop3:STP 2x0.8mm", ""}));
    QCOMPARE(data.loopCells.size(), 4);
    for (int loop = 0; loop < 4; ++loop) {
        QCOMPARE(data.loopCells[loop], QStringList({QString("Loop%1").arg(loop + 1), "", "", "", "", "", "", "", ""}));
        QVERIFY(!data.loopStates[loop]);
    }
    QVERIFY(data.comments.isEmpty());
    QCOMPARE(data.softwareVersion, QString("Soft Version:SV1.0"));
    QCOMPARE(data.catalogueVersion, QString("Sample catalogue 2026.12"));
    QCOMPARE(data.catalogueVersionNumber, 1);
    QCOMPARE(data.minLoopVoltage, 17.0f);
    QCOMPARE(data.maxLoopLength, 2000.0f);

    // Key order is text order: "1", "10".."15", "2".."9"; second rows follow their device.
    QStringList names;
    for (const SummaryDeviceRow &row : data.deviceRows)
        names << row.name;
    QCOMPARE(names, QStringList({"OPT-100", "OPT-100I", "OUT-1", "IO-3", "BSN-12", "ISO-1", "CZI-1", "SCC-1",
                                 "HRR-200", "HFT-210", "MUL-300", "MCP-50", "MCP-50W", "IN-1", "SND-70",
                                 "VAD-80", "SBC-90"}));
    QCOMPARE(data.deviceRows[0].loopCounts, QVector<qint32>({0, 12, 0, 0}));
    QCOMPARE(data.deviceRows[1].loopCounts, QVector<qint32>({0, 0, 0, 3}));
    QVERIFY(data.deviceRows[1].secondRow && !data.deviceRows[0].secondRow);
    QCOMPARE(data.deviceRows[1].type, QString("Detector"));
    QCOMPARE(data.deviceRows[12].type, QString("CallPoint"));
}

void ReportTest::gatherAfterPanelReset()
{
    WindowFixture fixture(sampleCatalogue());
    MainWindow &w = fixture.window();
    w.panelComboBox->setCurrentText("QP-840 (8 loops)");
    w.cableComboBoxes[0]->setCurrentText("STP 2x0.8mm");
    w.panelComboBox->setCurrentText(QString());
    const SummarySheetData data = gatherSummarySheetData(w);
    QCOMPARE(data.loopCount, 0);
    QVERIFY(data.cableCaptions.isEmpty());
    QVERIFY(data.loopCells.isEmpty());
    // No panel is named: not the one the blank entry replaced.
    QCOMPARE(data.panelName, QString());
    QCOMPARE(data.deviceRows.size(), 17);
    QVERIFY(data.deviceRows[0].loopCounts.isEmpty());

    const Sheet sheet = draw(data);
    QCOMPARE(sheet.pages, 2);
    for (int page = 1; page <= 2; ++page)
        QVERIFY(placed(sheet.one("Panel Model" + QString(QChar(0xFF1A)), page), box(100, 660, W - 101, 719),
                       Align::Left));
    const QVector<qreal> xs = sheet.columnBorders(2);
    QCOMPARE(xs.size(), 3);
    QVERIFY(std::abs((xs[0] + xs[2]) / 2 - W / 2) <= 1);
    QVERIFY(placed(sheet.one("Device", 2), box(xs[0], 880, xs[1] - 1, 959), Align::Centre));
}

void ReportTest::gatherListsDevicesBeyondTheDeviceGrid()
{
    // Two devices with second rows but room for only one extra row: the grid has 16 rows, and
    // the device that has no row in it is still listed, with 0 counts.
    Catalogue c = sampleCatalogue();
    c.extraDeviceRows = 1;
    WindowFixture fixture(c);
    MainWindow &w = fixture.window();
    w.panelComboBox->setCurrentText("QP-420 (4 loops)");
    QCOMPARE(deviceGridRowCount(catalogue), 16);
    const QString lastKey = loopState.devicesByKey.lastKey();
    loopState.devicesByKey[lastKey].loopCounts[1] = 7;  // no count field holds it

    const SummarySheetData data = gatherSummarySheetData(w);
    QCOMPARE(data.deviceRows.size(), 17);
    QCOMPARE(data.deviceRows[12].name, QString("MCP-50W"));
    QCOMPARE(data.deviceRows[15].name, QString("VAD-80"));
    QCOMPARE(data.deviceRows.last().name, QString("SBC-90"));
    QCOMPARE(data.deviceRows.last().loopCounts, QVector<qint32>({0, 0, 0, 0}));

    const Sheet sheet = draw(data);
    QCOMPARE(sheet.named("SBC-90", 2).size(), 1);
}

void ReportTest::exportWritesPdfAndOpensIt()
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    WindowFixture fixture(sampleCatalogue());
    MainWindow &w = fixture.window();
    w.projectNameEdit->setText("Harbour Depot");
    w.commentEdit->setPlainText("Phase one");
    w.panelComboBox->setCurrentText("QP-220 (2 loops)");
    w.cableComboBoxes[0]->setCurrentText(QString::fromUtf8("FR 2x1.5mm²"));
    w.cableComboBoxes[1]->setCurrentText("STP 2x0.8mm");
    fillSummaryRow(w.summaryTable, 0, {"Loop1", "12", "0", "3", "0", "5.4mA", "45.0mA", "812.3m", "STP 2x0.8mm",
                                       QString::fromUtf8("√")});
    w.deviceCountEdits[12][1]->setText("37");  // MCP-50W

    QTemporaryDir dir;
    const QString path = dir.filePath("sheet.pdf");
    seam->fileAnswers << path;
    // A user's Documents folder, which a fresh test account may lack.
    QVERIFY(QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)));
    w.ExportPDF();

    QCOMPARE(seam->fileDialogs.size(), 1);
    QVERIFY(seam->fileDialogs[0].save);
    QCOMPARE(seam->fileDialogs[0].caption, QString("Save as"));
    // Nothing open, no folder remembered: Documents, with the project's name.
    QCOMPARE(seam->fileDialogs[0].dir, QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                                           .filePath("Harbour Depot.pdf"));
    QCOMPARE(seam->fileDialogs[0].filter, QString("Files(*.pdf)"));
    QVERIFY(seam->messages.isEmpty());
    QCOMPARE(seam->openedUrls, QList<QUrl>({QUrl::fromLocalFile(path)}));

    const QByteArray pdf = readFile(path);
    QVERIFY(pdf.startsWith("%PDF-"));
    QCOMPARE(pdfPageCount(pdf), 2);
    const QString text = pdftotext(path);
    QVERIFY(!text.isEmpty());
    const QStringList pages = text.split('\f');
    QVERIFY(pages.size() >= 2);
    for (int page = 0; page < 2; ++page) {
        const QString &t = pages[page];
        QVERIFY(t.contains(page == 0 ? "SUMMARY SHEET" : "Enclosure"));
        QVERIFY2(t.contains(QString::fromUtf8("Project Name：Harbour Depot")), qPrintable(t));
        QVERIFY(t.contains(QString::fromUtf8("Comment：Phase one")));
        QVERIFY(t.contains(QString::fromUtf8("Panel Model：QP-220 (2 loops)")));
        QVERIFY(t.contains("Cable Type:"));
        QVERIFY(t.contains(QString::fromUtf8("Loop1:FR 2x1.5mm²")));
        QVERIFY(t.contains("Loop2:STP 2x0.8mm"));
        QVERIFY(t.contains("Soft Version:SV1.0"));
        QVERIFY(t.contains("Sample catalogue 2026.12"));
        QVERIFY(t.contains(QRegularExpression("\\b\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d\\b")));
        QVERIFY(t.contains(QString("Page %1 of 2").arg(page + 1)));
    }
    QVERIFY(pages[0].contains("Loop detail statistics table"));
    // Export calculates: the figures of the counts shown, not what a cell held.
    QVERIFY(!pages[0].contains("812.3m"));
    QVERIFY2(pages[0].contains(QRegularExpression("Loop2 +0 +0 +0 +37 ")), qPrintable(pages[0]));
    QVERIFY(pages[0].contains("The above data is based on laboratory tests"));
    // Without ligatures, so that a search for "figures" finds it.
    QVERIFY2(pages[0].contains("Basis of the figures: catalogue \"Sample catalogue 2026.12\""), qPrintable(pages[0]));
    QVERIFY(pages[1].contains("Model - loop quantity table"));
    QVERIFY(pages[1].contains(QRegularExpression("MCP-50W +CallPoint +0 +37")));
}

void ReportTest::exportAfterCalculateShowsTheResults()
{
    WindowFixture fixture(sampleCatalogue());
    MainWindow &w = fixture.window();
    w.panelComboBox->setCurrentText("QP-220 (2 loops)");
    w.cableComboBoxes[0]->setCurrentText(QString::fromUtf8("FR 2x1.5mm²"));
    w.cableComboBoxes[1]->setCurrentText("STP 2x0.8mm");
    w.deviceCountEdits[0][0]->setText("20");   // OPT-100 on loop 1
    w.deviceCountEdits[12][1]->setText("3");   // MCP-50W on loop 2
    w.calculateButton->click();

    const SummarySheetData data = gatherSummarySheetData(w);
    for (int loop = 0; loop < 2; ++loop) {
        QStringList shown;
        for (int column : {0, 1, 2, 3, 4, 5, 6, 7, 9})
            shown << w.summaryTable->item(loop, column)->text();
        QCOMPARE(data.loopCells[loop], shown);
        QVERIFY(shown[5].endsWith("mA") && shown[7].endsWith("m"));
    }
    QCOMPARE(data.deviceRows[0].loopCounts, QVector<qint32>({20, 0}));
    QCOMPARE(data.deviceRows[12].loopCounts, QVector<qint32>({0, 3}));

    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath("calculated.pdf");
    seam->clear();
    seam->fileAnswers << path;
    w.ExportPDF();
    QVERIFY(seam->messages.isEmpty());
    const QStringList pages = pdftotext(path).split('\f');
    QVERIFY(pages.size() >= 2);
    QVERIFY2(pages[0].contains(QRegularExpression(
                 QString("Loop1 +%1 +%2 +%3 +%4 +%5 +%6 +%7 +%8")
                     .arg(data.loopCells[0][1], data.loopCells[0][2], data.loopCells[0][3], data.loopCells[0][4],
                          QRegularExpression::escape(data.loopCells[0][5]),
                          QRegularExpression::escape(data.loopCells[0][6]),
                          QRegularExpression::escape(data.loopCells[0][7]), data.loopCells[0][8]))),
             qPrintable(pages[0]));
    QVERIFY(pages[1].contains(QRegularExpression("OPT-100 +Detector +20 +0")));
    QVERIFY(pages[1].contains(QRegularExpression("MCP-50W +CallPoint +0 +3")));
}

void ReportTest::exportPrintsCalculationOfInputsShown_data()
{
    QTest::addColumn<QString>("before");  // what happened before the export
    QTest::newRow("before any Calculate") << "nothing";
    QTest::newRow("a count changed after Calculate") << "changed";
    QTest::newRow("Open of a project for the panel shown, after Calculate") << "opened";
}

void ReportTest::exportPrintsCalculationOfInputsShown()
{
    QFETCH(QString, before);
    WindowFixture fixture(sampleCatalogue());
    MainWindow &w = fixture.window();
    w.panelComboBox->setCurrentText("QP-220 (2 loops)");
    w.cableComboBoxes[0]->setCurrentText(QString::fromUtf8("FR 2x1.5mm²"));
    w.cableComboBoxes[1]->setCurrentText("STP 2x0.8mm");
    QTemporaryDir dir;
    const QString project = dir.filePath("seven.stm");
    w.deviceCountEdits[0][0]->setText("7");  // OPT-100 on loop 1
    QVERIFY(w.saveProjectFile(project));
    if (before != "nothing") {
        w.deviceCountEdits[0][0]->setText("100");
        w.calculateButton->click();
        QVERIFY(w.summaryTable->item(0, 6)->text().endsWith("mA"));
        seam->fileAnswers << project;
        if (before == "changed")
            w.deviceCountEdits[0][0]->setText("7");
        else
            w.OpenProject();
        QCOMPARE(w.deviceCountEdits[0][0]->text(), QString("7"));
        // No figure of the 100 detectors stands beside the 7.
        for (int c = 1; c <= 9; ++c)
            QVERIFY2(w.summaryTable->item(0, c)->text().isEmpty(), qPrintable(w.summaryTable->item(0, c)->text()));
        QVERIFY(w.calculationTable->item(0, 2)->text().isEmpty());
    }

    const QString path = dir.filePath("sheet.pdf");
    seam->clear();
    seam->fileAnswers << path;
    w.ExportPDF();
    QVERIFY(seam->messages.isEmpty());
    const QString alarm = w.summaryTable->item(0, 6)->text();  // Export calculated the 7 detectors
    QVERIFY(alarm.endsWith("mA"));
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    const QStringList pages = pdftotext(path).split('\f');
    QVERIFY(pages.size() >= 2);
    QVERIFY2(pages[0].contains(QRegularExpression("Loop1 +7 +0 +0 +0 +[0-9.]+mA +"
                                                  + QRegularExpression::escape(alarm))),
             qPrintable(pages[0]));
    QVERIFY(pages[1].contains(QRegularExpression("OPT-100 +Detector +7 +0")));
}

void ReportTest::exportCancelledDoesNothing()
{
    WindowFixture fixture(sampleCatalogue());
    fixture.window().ExportPDF();
    QCOMPARE(seam->fileDialogs.size(), 1);
    QVERIFY(seam->messages.isEmpty());
    QVERIFY(seam->openedUrls.isEmpty());
}

void ReportTest::exportFullCataloguePdfHasContinuationPages()
{
    WindowFixture fixture(fullCatalogue());
    fixture.window().panelComboBox->setCurrentText("Panel 10 (16 loops)");
    QTemporaryDir dir;
    const QString path = dir.filePath("full.pdf");
    seam->fileAnswers << path;
    fixture.window().ExportPDF();
    // No cable is chosen: the calculation says so, and the sheet goes out without figures.
    QCOMPARE(seam->messages.size(), 16);
    QCOMPARE(seam->messages.first().text, QString("Loop1:Please select cable type!"));
    QCOMPARE(pdfPageCount(readFile(path)), 5);
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    const QStringList pages = pdftotext(path).split('\f');
    for (int page = 1; page < 5; ++page) {
        QVERIFY(pages[page].contains("Enclosure"));
        QVERIFY(pages[page].contains(QRegularExpression("Device +Type +Loop1 +Loop2 ")));
        QVERIFY(pages[page].contains("Full catalogue"));
    }
    QVERIFY(pages[4].contains("DEV-55B"));
    QVERIFY(!pages[4].contains("DEV-1B"));
}

void ReportTest::unwritableTarget_data()
{
    QTest::addColumn<QString>("relative");
    QTest::newRow("directory does not exist") << "missing/sub/sheet.pdf";
    QTest::newRow("path is a directory") << "folder.pdf";
}

void ReportTest::unwritableTarget()
{
    QFETCH(QString, relative);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("folder.pdf"));
    WindowFixture fixture(sampleCatalogue());
    seam->fileAnswers << dir.filePath(relative);
    fixture.window().ExportPDF();
    // The calculation's warning first: no panel is chosen.
    QCOMPARE(seam->texts(), QStringList({"Please select panel model!", "The file could not be saved."}));
    QCOMPARE(seam->messages[1].kind, MessageKind::Critical);
    QCOMPARE(seam->messages[1].title, QString("Error"));
    QVERIFY2(!seam->messages[1].detail.isEmpty(), "the system's reason goes in the informative text");
    QVERIFY(seam->openedUrls.isEmpty());
    QVERIFY(QFileInfo(dir.filePath("folder.pdf")).isDir());
    QVERIFY(!QFileInfo::exists(dir.filePath("missing")));
}

void ReportTest::fullDiskKeepsOldPdf()
{
    QUILLON_SKIP_WITHOUT_FILE_SIZE_LIMIT();
    QTemporaryDir dir;
    const QString path = dir.filePath("old.pdf");
    const QByteArray oldBytes = "%PDF-1.4 the previous document";
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(oldBytes);
    }
    WindowFixture fixture(sampleCatalogue());
    seam->fileAnswers << path;
    // The child can write only 4 KiB per file, far less than the document.
    const int verdict = runWithFileSizeLimit(4096, [&] {
        fixture.window().ExportPDF();
        // After the calculation's own warning: no panel is chosen.
        const bool reported = seam->messages.size() == 2 && seam->messages[1].kind == MessageKind::Critical
                              && seam->messages[1].text == "The file could not be saved.";
        return reported && seam->openedUrls.isEmpty();
    });
    QCOMPARE(verdict, 1);
    QCOMPARE(readFile(path), oldBytes);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"old.pdf"}));
}

QTEST_MAIN(ReportTest)
#include "test_report.moc"
