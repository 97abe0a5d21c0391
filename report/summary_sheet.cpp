#include "report/summary_sheet.h"

#include "app/font_substitutes.h"
#include "calc/number_format.h"
#include "calc/result_texts.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QRectF>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace {

const QString fontFamily = QStringLiteral("SimSum");
const QChar fullWidthColon(0xFF1A);

QFont sheetFont(int pointSize, int weight)
{
    QFont font(fontFamily, pointSize, weight);
    // Any letter spacing turns the ligatures off: with them "fire" is extracted and searched for
    // as "\uFB01re" in the PDF. A twentieth of a pixel at 300 dpi is not seen.
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.05);
    return font;
}

QFont titleFont() { return sheetFont(15, 80); }
QFont boldFont() { return sheetFont(10, QFont::Bold); }
QFont normalFont() { return sheetFont(10, QFont::Normal); }
QFont smallFont() { return sheetFont(8, QFont::Normal); }

QPen linePen()
{
    return QPen(QBrush(QColor(0, 0, 0, 255), Qt::SolidPattern), 1.0, Qt::SolidLine, Qt::SquareCap,
                Qt::BevelJoin);
}

QString sheetText(const char *text) { return QCoreApplication::translate("SummarySheet", text); }

QString stateSymbol(CurrentStatus status)
{
    return status == CurrentStatus::Overloaded ? QString(QChar(0x00D7)) : QString(QChar(0x221A));
}

QString legendText(CurrentStatus status)
{
    switch (status) {
    case CurrentStatus::Overloaded:
        return QStringLiteral("at or above the panel's loop current limit");
    case CurrentStatus::NearLimit:
        return QStringLiteral("above 80 % of the panel's loop current limit");
    case CurrentStatus::Normal:
        break;
    }
    return QStringLiteral("normal");
}

constexpr int centre = Qt::AlignCenter;
constexpr int left = Qt::AlignLeft;
constexpr int rightWrap = Qt::AlignRight | Qt::TextWordWrap;

// Text and tables keep this far from the left and right edges of the printable area.
constexpr int sideMargin = 100;
// On a continuation page the flow starts this far below the page title's top.
constexpr int continuationTop = 140;
// The lowest bottom of anything in the flow is this far above the printable area's bottom,
// clear of the footer.
constexpr int footerHeight = 181;
// Space between a cell's text and its borders, on each side.
constexpr int loopCellPadding = 10;
constexpr int deviceCellPadding = 4;

// A rectangle from its corners, both inclusive.
QRectF box(qreal l, qreal t, qreal r, qreal b) { return QRectF(l, t, r - l + 1, b - t + 1); }

struct SheetOp {
    enum Kind { Text, Line, Fill };
    Kind kind = Text;
    QRectF rect;
    QLineF line;
    int flags = 0;
    QString text;
    QFont font;
    QColor colour;
};

// Lines already wrapped, drawn one under the other from left to right (both inclusive).
struct LineColumn {
    int left = 0;
    int right = 0;
    int flags = Qt::AlignLeft;
    QStringList lines;
};

// Widths of columns in proportion to their units, each at least its minimum; together total.
QVector<int> fitColumns(const QVector<int> &units, const QVector<qreal> &minimum, int total)
{
    const int count = units.size();
    qreal minimumSum = 0;
    for (qreal m : minimum)
        minimumSum += m;
    QVector<int> widths(count);
    int used = 0;
    if (minimumSum >= total) {
        // Too narrow for every minimum: each gives up the same share and its text wraps anywhere.
        for (int k = 0; k < count; ++k)
            used += widths[k] = int(minimum[k] * total / minimumSum);
    } else {
        QVector<bool> atMinimum(count, false);
        qreal scale = 0;
        for (bool changed = true; changed;) {
            changed = false;
            qreal rest = total;
            int freeUnits = 0;
            for (int k = 0; k < count; ++k) {
                if (atMinimum[k])
                    rest -= minimum[k];
                else
                    freeUnits += units[k];
            }
            if (freeUnits == 0)
                break;
            scale = rest / freeUnits;
            for (int k = 0; k < count; ++k)
                if (!atMinimum[k] && minimum[k] > scale * units[k])
                    changed = atMinimum[k] = true;
        }
        for (int k = 0; k < count; ++k)
            used += widths[k] = atMinimum[k] ? int(std::ceil(minimum[k])) : int(scale * units[k]);
    }
    widths.last() += total - used;
    return widths;
}

class SheetLayout {
public:
    SheetLayout(QPaintDevice *device, const SummarySheetData &data, int width, int height);

    void summaryPages();
    void enclosurePages();
    const QVector<QVector<SheetOp>> &pages() const { return sheetPages; }

private:
    void text(const QRectF &rect, int flags, const QString &s, const QFont &font)
    {
        SheetOp op;
        op.rect = rect;
        op.flags = flags;
        op.text = s;
        op.font = font;
        sheetPages.last() << op;
    }
    void line(qreal x1, qreal y1, qreal x2, qreal y2)
    {
        SheetOp op;
        op.kind = SheetOp::Line;
        op.line = QLineF(x1, y1, x2, y2);
        sheetPages.last() << op;
    }
    void fill(const QRectF &rect, const QColor &colour)
    {
        SheetOp op;
        op.kind = SheetOp::Fill;
        op.rect = rect;
        op.colour = colour;
        sheetPages.last() << op;
    }

    int lineHeight(const QFont &font) const;
    qreal textWidth(const QFont &font, const QString &s) const;
    qreal longestWord(const QFont &font, const QString &s) const;
    QStringList wrap(const QString &s, const QFont &font, qreal width) const;

    void startPage(const QString &title, int flowBottom);
    void breakPage();
    int pageCapacity() const { return H - footerHeight - continuationTop; }
    void placeLines(const QVector<LineColumn> &columns, const QFont &font, int minHeight);
    void cellLines(int l, int r, int bandTop, int band, const QStringList &lines, const QFont &font);

    void projectBlock();
    void cableList();
    void footnote();
    void loopTable();
    int loopTableHeader(int top);
    bool hasStates() const
    {
        return std::any_of(d.loopStates.cbegin(), d.loopStates.cend(),
                           [](const std::optional<CurrentStatus> &s) { return s.has_value(); });
    }
    void legend();
    void comments();
    void batterySection();
    void deviceTable();
    int deviceTableHeader(int top);
    void deviceTableVerticals(int top, int bottom);

    QString loopCell(int loop, int column) const;
    QString deviceCount(const SummaryDeviceRow &row, int loop) const;

    QPaintDevice *device;
    const SummarySheetData &d;
    const int W;
    const int H;
    const int n;
    QVector<QVector<SheetOp>> sheetPages;
    QString pageTitle;
    int y = 0;       // top of the next thing in the flow
    int bottom = 0;  // lowest bottom of the flow on this page

    // Page 1's footnote: its lines and where they stand.
    QStringList footnoteLines;
    int footnoteWidth = 0, footnoteTop = 0;

    // Loop table geometry.
    int b[10] = {};
    QStringList loopHeaders;
    int loopHeaderBand = 80;

    // Device table geometry.
    QFont deviceFont;
    int xs = 0, nameWidth = 0, typeWidth = 0, loopWidth = 0, xe = 0, deviceHeaderBand = 80;
};

SheetLayout::SheetLayout(QPaintDevice *device, const SummarySheetData &data, int width, int height)
    : device(device), d(data), W(width), H(height), n(std::clamp(data.loopCount, 0, 16))
{
}

int SheetLayout::lineHeight(const QFont &font) const
{
    const QFontMetricsF metrics(font, device);
    return int(std::ceil(std::max(metrics.height(), metrics.lineSpacing())));
}

qreal SheetLayout::textWidth(const QFont &font, const QString &s) const
{
    return QFontMetricsF(font, device).horizontalAdvance(s);
}

qreal SheetLayout::longestWord(const QFont &font, const QString &s) const
{
    qreal widest = 0;
    for (const QString &word : s.split(QRegExp(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        widest = std::max(widest, textWidth(font, word));
    return widest;
}

QStringList SheetLayout::wrap(const QString &s, const QFont &font, qreal width) const
{
    QString text = s;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (QChar separator : {QChar('\r'), QChar(QChar::LineSeparator), QChar(QChar::ParagraphSeparator)})
        text.replace(separator, QLatin1Char('\n'));
    QStringList lines;
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (const QString &paragraph : text.split(QLatin1Char('\n'))) {
        const int before = lines.size();
        QTextLayout layout(paragraph, font, device);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(std::max<qreal>(width, 1));
            QString part = paragraph.mid(line.textStart(), line.textLength());
            while (!part.isEmpty() && part.back().isSpace())
                part.chop(1);
            lines << part;
        }
        layout.endLayout();
        if (lines.size() == before)
            lines << QString();
    }
    return lines;
}

void SheetLayout::startPage(const QString &title, int flowBottom)
{
    sheetPages.append(QVector<SheetOp>());
    pageTitle = title;
    text(box(0, 0, W - 1, 99), centre, title, titleFont());
    y = continuationTop;
    bottom = flowBottom;
}

void SheetLayout::breakPage() { startPage(pageTitle, H - footerHeight); }

// A band that fits on one page is kept together; a longer one breaks between its lines. y ends
// below the band, and at least minHeight below its top while the band stayed on one page.
void SheetLayout::placeLines(const QVector<LineColumn> &columns, const QFont &font, int minHeight)
{
    const int lh = lineHeight(font);
    int count = 0;
    for (const LineColumn &column : columns)
        count = std::max(count, int(column.lines.size()));
    if (y + count * lh > bottom && count * lh <= pageCapacity())
        breakPage();
    const int page = sheetPages.size();
    const int top = y;
    for (int j = 0; j < count; ++j) {
        if (y + lh > bottom)
            breakPage();
        for (const LineColumn &column : columns)
            if (j < column.lines.size() && !column.lines[j].isEmpty())
                text(box(column.left, y, column.right, y + lh - 1), column.flags, column.lines[j], font);
        y += lh;
    }
    if (sheetPages.size() == page)
        y = std::max(y, top + minHeight);
}

// Lines centred in the cell from l to r, as a block centred in the band.
void SheetLayout::cellLines(int l, int r, int bandTop, int band, const QStringList &lines, const QFont &font)
{
    const int lh = lineHeight(font);
    int top = bandTop + (band - int(lines.size()) * lh) / 2;
    for (const QString &s : lines) {
        if (!s.isEmpty())
            text(box(l, top, r, top + lh - 1), centre, s, font);
        top += lh;
    }
}

QString SheetLayout::loopCell(int loop, int column) const
{
    if (loop >= d.loopCells.size() || column >= d.loopCells[loop].size())
        return QString();
    return d.loopCells[loop][column];
}

QString SheetLayout::deviceCount(const SummaryDeviceRow &row, int loop) const
{
    return loop < row.loopCounts.size() ? QString::number(row.loopCounts[loop]) : QString();
}

void SheetLayout::projectBlock()
{
    const QFont font = boldFont();
    const int right = W - sideMargin - 1;
    const int width = right - sideMargin + 1;
    const auto field = [&](const QString &label, const QString &value, int minHeight, int gap) {
        placeLines({{sideMargin, right, left, wrap(label + fullWidthColon + value, font, width)}}, font, minHeight);
        y += gap;
    };
    y = 100;
    field(QStringLiteral("Project Name"), d.projectName, 60, 10);
    field(QStringLiteral("Project Location"), d.projectLocation, 60, 10);
    field(QStringLiteral("Company Name"), d.companyName, 60, 10);
    field(QStringLiteral("E-mail"), d.email, 60, 10);
    field(QStringLiteral("Comment"), d.comment, 240, 40);
    field(QStringLiteral("Panel Model"), d.panelName, 60, 10);
    cableList();
}

void SheetLayout::cableList()
{
    const QFont font = boldFont();
    const QString label = QStringLiteral("Cable Type:");
    const int right = W - sideMargin - 1;
    const int first = std::max(360, sideMargin + int(std::ceil(textWidth(font, label))) + 30);
    const int columnWidth = (right + 1 - first - 11) / 2;
    const int second = first + columnWidth + 11;

    // Two captions per line, the first line beside the label.
    QVector<LineColumn> row{{sideMargin, first - 1, left, {label}}};
    for (int i = 0; i < n; ++i) {
        const QString caption = i < d.cableCaptions.size() ? d.cableCaptions[i] : QString();
        const int l = i % 2 == 0 ? first : second;
        const int r = i % 2 == 0 ? first + columnWidth - 1 : right;
        row << LineColumn{l, r, left, wrap(caption, font, r - l + 1)};
        if (i % 2 == 1 || i == n - 1) {
            placeLines(row, font, 60);
            row.clear();
        }
    }
    if (n == 0)
        placeLines(row, font, 60);
    // An even count leaves one empty line under the captions.
    if (n > 0 && n % 2 == 0)
        y += 60;
}

// In the footer's band, left of its texts; above the footer when they leave too little room.
void SheetLayout::footnote()
{
    const QFont font = smallFont();
    const QFont footerFont = boldFont();
    const int right = W - sideMargin - 1;
    qreal footerWidth = textWidth(footerFont, d.softwareVersion);
    footerWidth = std::max(footerWidth, textWidth(footerFont, d.catalogueVersion));
    footerWidth = std::max(footerWidth, textWidth(footerFont, summarySheetTimestamp(QDateTime(QDate(2026, 12, 31), QTime(23, 59)))));
    int width = right - 60 - int(std::ceil(footerWidth)) - sideMargin + 1;
    const int lh = lineHeight(font);
    footnoteLines = wrap(summarySheetBasis(d), font, width);
    if (width < (W - 2 * sideMargin) / 2 || footnoteLines.size() * lh > 180) {
        width = right - sideMargin + 1;
        footnoteLines = wrap(summarySheetBasis(d), font, width);
        footnoteTop = H - footerHeight - 20 - int(footnoteLines.size()) * lh;
    } else {
        footnoteTop = H - int(footnoteLines.size()) * lh;
    }
    footnoteWidth = width;
    // The first page's flow ends above the footnote.
    bottom = std::min(bottom, footnoteTop - 20);
}

int SheetLayout::loopTableHeader(int top)
{
    const QFont font = normalFont();
    line(b[0], top, b[9], top);
    for (int k = 0; k < 9; ++k)
        cellLines(b[k] + loopCellPadding, b[k + 1] - 1 - loopCellPadding, top + 10, loopHeaderBand,
                  wrap(loopHeaders[k], font, b[k + 1] - b[k] - 2 * loopCellPadding), font);
    const int r = top + 10 + loopHeaderBand;
    line(b[0], r, b[9], r);
    return r;
}

void SheetLayout::loopTable()
{
    const QFont font = normalFont();
    const int lh = lineHeight(font);
    loopHeaders = QStringList{QStringLiteral("Loop"), QStringLiteral("Detectors"), QStringLiteral("Modules"),
                              QStringLiteral("Sounders"), QStringLiteral("Others"),
                              QStringLiteral("Quiescent Current"), QStringLiteral("Total Alarm Current"),
                              QStringLiteral("Max Length"), QStringLiteral("Result")};

    // Columns in the proportions 6:7:6:6:6:12:13:8:5, widened where a header word or a figure
    // needs it; figures are never broken.
    QVector<qreal> minimum(9);
    for (int k = 0; k < 9; ++k) {
        qreal widest = longestWord(font, loopHeaders[k]);
        for (int i = 0; i < n; ++i)
            widest = std::max(widest, textWidth(font, loopCell(i, k)));
        minimum[k] = widest + 2 * loopCellPadding + 1;
    }
    const QVector<int> widths = fitColumns({6, 7, 6, 6, 6, 12, 13, 8, 5}, minimum, W - 2 * sideMargin);
    b[0] = sideMargin;
    for (int k = 0; k < 9; ++k)
        b[k + 1] = b[k] + widths[k];

    int headerLines = 1;
    for (int k = 0; k < 9; ++k)
        headerLines = std::max(headerLines,
                               int(wrap(loopHeaders[k], font, widths[k] - 2 * loopCellPadding).size()));
    loopHeaderBand = std::max(80, headerLines * lh + 20);

    QVector<QVector<QStringList>> cells(n);
    QVector<int> bands(n);
    for (int i = 0; i < n; ++i) {
        int lines = 1;
        for (int k = 0; k < 9; ++k) {
            cells[i] << wrap(loopCell(i, k), font, widths[k] - 2 * loopCellPadding);
            lines = std::max(lines, int(cells[i][k].size()));
        }
        bands[i] = std::max(50, lines * lh);
    }

    // The title stays with the header and the first row.
    const int header = 90 + loopHeaderBand;
    if (y + header + (n > 0 ? bands[0] + 40 : 0) > bottom)
        breakPage();
    text(box(0, y, W - 1, y + 59), centre, sheetText("Loop detail statistics table"), font);
    int top = y + 80;
    int r = loopTableHeader(top);
    // The legend stays with the last row.
    const int legendBelow = hasStates() ? 20 + lineHeight(smallFont()) : 0;
    for (int i = 0; i < n; ++i) {
        const int height = bands[i] + 40;
        if (r + height + (i == n - 1 ? legendBelow : 0) > bottom) {
            for (int k = 0; k < 10; ++k)
                line(b[k], top, b[k], r);
            breakPage();
            top = y;
            r = loopTableHeader(top);
        }
        if (i < d.loopStates.size() && d.loopStates[i])
            fill(box(b[8] + 1, r + 1, b[9] - 1, r + height - 1), statusColour(*d.loopStates[i]));
        for (int k = 0; k < 9; ++k)
            cellLines(b[k] + loopCellPadding, b[k + 1] - 1 - loopCellPadding, r + 20, bands[i], cells[i][k], font);
        r += height;
        line(b[0], r, b[9], r);
    }
    for (int k = 0; k < 10; ++k)
        line(b[k], top, b[k], r);
    y = r;
}

void SheetLayout::legend()
{
    if (!hasStates())
        return;
    const QFont font = smallFont();
    const int lh = lineHeight(font);
    const int right = W - sideMargin - 1;
    const int swatch = 60;
    y += 20;
    if (y + lh > bottom)
        breakPage();
    int x = sideMargin;
    for (CurrentStatus state : {CurrentStatus::Normal, CurrentStatus::NearLimit, CurrentStatus::Overloaded}) {
        const QString label = legendText(state);
        const int width = swatch + 15 + int(std::ceil(textWidth(font, label)));
        if (x > sideMargin && x + width - 1 > right) {
            y += lh + 10;
            if (y + lh > bottom)
                breakPage();
            x = sideMargin;
        }
        fill(box(x, y, x + swatch - 1, y + lh - 1), statusColour(state));
        text(box(x, y, x + swatch - 1, y + lh - 1), centre, stateSymbol(state), font);
        text(box(x + swatch + 15, y, right, y + lh - 1), left, label, font);
        x += width + 60;
    }
    y += lh;
}

void SheetLayout::comments()
{
    QStringList lines;
    for (const QString &comment : d.comments)
        if (!comment.trimmed().isEmpty())
            lines << comment;
    if (lines.isEmpty())
        return;
    const QFont font = normalFont();
    const int right = W - sideMargin - 1;
    y += 30;
    for (const QString &comment : lines)
        placeLines({{sideMargin, right, left, wrap(comment, font, right - sideMargin + 1)}}, font, 0);
}

void SheetLayout::batterySection()
{
    if (d.batteryLines.isEmpty())
        return;
    const int right = W - sideMargin - 1;
    const int width = right - sideMargin + 1;
    y += 60;
    const QFont heading = boldFont();
    placeLines({{sideMargin, right, left, wrap(QStringLiteral("Battery standby"), heading, width)}}, heading, 0);
    const QFont font = normalFont();
    for (const QString &text : d.batteryLines)
        placeLines({{sideMargin, right, left, wrap(text, font, width)}}, font, 0);
}

void SheetLayout::summaryPages()
{
    startPage(sheetText("SUMMARY SHEET"), H - footerHeight);
    footnote();
    projectBlock();
    loopTable();
    const int tableEnd = y;
    legend();
    comments();
    batterySection();

    const QFont font = boldFont();
    const int right = W - sideMargin - 1;
    // Further from the table's last line than from a line of text.
    y += y == tableEnd ? 80 : 60;
    placeLines({{sideMargin, right, left,
                 wrap(QStringLiteral("The above data is based on laboratory tests and theoretical calculations. "
                                     "This data may be slightly different from the actual construction site."),
                      font, right - sideMargin + 1)}},
               font, 160);

    const QFont small = smallFont();
    const int lh = lineHeight(small);
    const int width = footnoteWidth;
    for (int j = 0; j < footnoteLines.size(); ++j) {
        const int top = footnoteTop + j * lh;
        SheetOp op;
        op.rect = box(sideMargin, top, sideMargin + width - 1, top + lh - 1);
        op.flags = left;
        op.text = footnoteLines[j];
        op.font = small;
        sheetPages.first() << op;
    }
}

int SheetLayout::deviceTableHeader(int top)
{
    line(xs, top, xe, top);
    const int pad = deviceCellPadding;
    cellLines(xs + pad, xs + nameWidth - 1 - pad, top + 10, deviceHeaderBand,
              wrap(QStringLiteral("Device"), deviceFont, nameWidth - 2 * pad), deviceFont);
    const int typeLeft = xs + nameWidth;
    cellLines(typeLeft + pad, typeLeft + typeWidth - 1 - pad, top + 10, deviceHeaderBand,
              wrap(QStringLiteral("Type"), deviceFont, typeWidth - 2 * pad), deviceFont);
    for (int i = 0; i < n; ++i) {
        const int l = typeLeft + typeWidth + i * loopWidth;
        cellLines(l + pad, l + loopWidth - 1 - pad, top + 10, deviceHeaderBand,
                  wrap(loopCell(i, 0), deviceFont, loopWidth - 2 * pad), deviceFont);
    }
    const int r = top + 10 + deviceHeaderBand;
    line(xs, r, xe, r);
    return r;
}

void SheetLayout::deviceTableVerticals(int top, int bottomY)
{
    line(xs, top, xs, bottomY);
    line(xs + nameWidth, top, xs + nameWidth, bottomY);
    for (int k = 0; k <= n; ++k) {
        const int x = xs + nameWidth + typeWidth + k * loopWidth;
        line(x, top, x, bottomY);
    }
}

void SheetLayout::deviceTable()
{
    const QVector<SummaryDeviceRow> &rows = d.deviceRows;
    const int total = W - 2 * sideMargin;
    const int pad = 2 * deviceCellPadding;
    // The table's usual proportions: loop columns of v - 5 and text columns of v + 40, v = total / 18.
    const int v = total / 18;

    // The small font while the table fits inside the margins, else a little smaller.
    for (qreal size = 8.0; size >= 6.0; size -= 0.5) {
        deviceFont = smallFont();
        deviceFont.setPointSizeF(size);
        qreal loopMinimum = 0, nameWord = longestWord(deviceFont, QStringLiteral("Device")),
              typeWord = longestWord(deviceFont, QStringLiteral("Type"));
        qreal nameWhole = nameWord, typeWhole = typeWord;
        for (int i = 0; i < n; ++i)
            loopMinimum = std::max(loopMinimum, textWidth(deviceFont, loopCell(i, 0)));
        for (const SummaryDeviceRow &row : rows) {
            for (int i = 0; i < n; ++i)
                loopMinimum = std::max(loopMinimum, textWidth(deviceFont, deviceCount(row, i)));
            nameWord = std::max(nameWord, longestWord(deviceFont, row.name));
            typeWord = std::max(typeWord, longestWord(deviceFont, row.type));
            nameWhole = std::max(nameWhole, textWidth(deviceFont, row.name));
            typeWhole = std::max(typeWhole, textWidth(deviceFont, row.type));
        }
        const int loopNeeded = int(std::ceil(loopMinimum)) + pad + 1;
        loopWidth = std::max(v - 5, loopNeeded);
        nameWidth = std::max(v + 40, int(std::ceil(nameWhole)) + pad + 1);
        typeWidth = std::max(v + 40, int(std::ceil(typeWhole)) + pad + 1);
        if (nameWidth + typeWidth + n * loopWidth > total)
            loopWidth = loopNeeded;
        const int space = total - n * loopWidth;
        if (nameWidth + typeWidth > space) {
            // Names and types wrap at their words.
            const int nameLeast = int(std::ceil(nameWord)) + pad + 1;
            const int typeLeast = int(std::ceil(typeWord)) + pad + 1;
            nameWidth = std::max(nameLeast, space * nameWidth / (nameWidth + typeWidth));
            typeWidth = std::max(typeLeast, space - nameWidth);
        }
        if (nameWidth + typeWidth + n * loopWidth <= total)
            break;
    }
    const int width = nameWidth + typeWidth + n * loopWidth;
    xs = sideMargin + std::max(0, total - width) / 2;
    xe = xs + width;

    const int lh = lineHeight(deviceFont);
    int headerLines = int(wrap(QStringLiteral("Device"), deviceFont, nameWidth - pad).size());
    headerLines = std::max(headerLines, int(wrap(QStringLiteral("Type"), deviceFont, typeWidth - pad).size()));
    for (int i = 0; i < n; ++i)
        headerLines = std::max(headerLines, int(wrap(loopCell(i, 0), deviceFont, loopWidth - pad).size()));
    deviceHeaderBand = std::max(80, headerLines * lh + 20);

    // Each row's cells as lines and its band; a row is 25 pixels taller than its band.
    QVector<QVector<QStringList>> cells(rows.size());
    QVector<int> bands(rows.size());
    for (int k = 0; k < rows.size(); ++k) {
        cells[k] << wrap(rows[k].name, deviceFont, nameWidth - pad) << wrap(rows[k].type, deviceFont, typeWidth - pad);
        for (int i = 0; i < n; ++i)
            cells[k] << wrap(deviceCount(rows[k], i), deviceFont, loopWidth - pad);
        int lines = 1;
        for (const QStringList &cell : cells[k])
            lines = std::max(lines, int(cell.size()));
        bands[k] = std::max(50, lines * lh);
    }
    // A device's rows stay on one page.
    const auto groupEnd = [&](int first) {
        int last = first + 1;
        while (last < rows.size() && rows[last].secondRow)
            ++last;
        return last;
    };
    const auto groupHeight = [&](int first, int last) {
        int height = 0;
        for (int k = first; k < last; ++k)
            height += bands[k] + 25;
        return height;
    };

    const int header = 90 + deviceHeaderBand;
    if (y + header + (rows.isEmpty() ? 0 : groupHeight(0, groupEnd(0))) > bottom)
        breakPage();
    text(box(0, y, W - 1, y + 59), centre, sheetText("Model - loop quantity table"), normalFont());
    int top = y + 80;
    int r = deviceTableHeader(top);
    bool rowsOnPage = false;
    for (int first = 0; first < rows.size();) {
        const int last = groupEnd(first);
        if (rowsOnPage && r + groupHeight(first, last) > bottom) {
            deviceTableVerticals(top, r);
            breakPage();
            top = y;
            r = deviceTableHeader(top);
            rowsOnPage = false;
        }
        for (int k = first; k < last; ++k) {
            const int typeLeft = xs + nameWidth;
            cellLines(xs + deviceCellPadding, typeLeft - 1 - deviceCellPadding, r + 15, bands[k], cells[k][0],
                      deviceFont);
            cellLines(typeLeft + deviceCellPadding, typeLeft + typeWidth - 1 - deviceCellPadding, r + 15, bands[k],
                      cells[k][1], deviceFont);
            for (int i = 0; i < n; ++i) {
                const int l = typeLeft + typeWidth + i * loopWidth;
                cellLines(l + deviceCellPadding, l + loopWidth - 1 - deviceCellPadding, r + 15, bands[k],
                          cells[k][2 + i], deviceFont);
            }
            r += bands[k] + 25;
            line(xs, r, xe, r);
        }
        rowsOnPage = true;
        first = last;
    }
    deviceTableVerticals(top, r);
    y = r;
}

void SheetLayout::enclosurePages()
{
    startPage(sheetText("Enclosure"), H - footerHeight);
    projectBlock();
    deviceTable();
}

}  // namespace

QString summarySheetTimestamp(const QDateTime &when)
{
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString summarySheetPageNumber(int page, int pages)
{
    return QStringLiteral("Page %1 of %2").arg(page).arg(pages);
}

QString summarySheetTitle(const SummarySheetData &data)
{
    const QString name = data.projectName.simplified();
    return name.isEmpty() ? QStringLiteral("Summary sheet") : QStringLiteral("Summary sheet \u2013 ") + name;
}

QString summarySheetCreator()
{
    const QString version = QCoreApplication::applicationVersion();
    return QStringLiteral("Quillon ") + (version.isEmpty() ? QStringLiteral(QUILLON_VERSION) : version);
}

QString summarySheetBasis(const SummarySheetData &data)
{
    const QString version = data.catalogueVersion.trimmed();
    const QString catalogueText = version.isEmpty()
                                      ? QStringLiteral("catalogue version number %1").arg(data.catalogueVersionNumber)
                                      : QStringLiteral("catalogue \"%1\" (version number %2)")
                                            .arg(version)
                                            .arg(data.catalogueVersionNumber);
    return QStringLiteral("Basis of the figures: %1, minimum loop voltage %2 V, maximum length capped at %3. "
                          "Each loop's whole alarm current is taken at the far end of a run of two conductors; "
                          "its maximum length is the run at which the voltage there falls to the minimum loop "
                          "voltage.")
        .arg(catalogueText, QString::number(double(data.minLoopVoltage), 'g', 6), formatCap(data.maxLoopLength));
}

bool drawSummarySheet(QPagedPaintDevice *device, const SummarySheetData &data, const SheetClock &clock)
{
    if (!device)
        return false;
    installFontSubstitutes();
    // The Title goes into the file's header, which the writer makes when painting begins.
    if (auto *pdf = dynamic_cast<QPdfWriter *>(device))
        pdf->setTitle(summarySheetTitle(data));
    QPainter painter;
    if (!painter.begin(device))
        return false;
    const int W = painter.viewport().width();
    const int H = painter.viewport().height();

    // Laid out first, so that every page knows how many there are.
    SheetLayout layout(device, data, W, H);
    layout.summaryPages();
    layout.enclosurePages();
    const QVector<QVector<SheetOp>> &pages = layout.pages();

    bool ok = true;
    bool penSet = false;
    for (int page = 0; ok && page < pages.size(); ++page) {
        if (page > 0 && !device->newPage()) {
            ok = false;
            break;
        }
        for (const SheetOp &op : pages[page]) {
            switch (op.kind) {
            case SheetOp::Text:
                painter.setFont(op.font);
                painter.drawText(op.rect, op.flags, op.text);
                break;
            case SheetOp::Line:
                // One pen for every line, set before the first.
                if (!penSet) {
                    painter.setPen(linePen());
                    penSet = true;
                }
                painter.drawLine(op.line);
                break;
            case SheetOp::Fill:
                painter.fillRect(op.rect, op.colour);
                break;
            }
        }
        const int right = W - sideMargin - 1;
        painter.setFont(boldFont());
        painter.drawText(box(sideMargin, H - 180, right, H - 121), rightWrap, data.softwareVersion);
        painter.drawText(box(sideMargin, H - 120, right, H - 61), rightWrap, data.catalogueVersion);
        painter.drawText(box(sideMargin, H - 60, right, H - 1), rightWrap,
                         summarySheetTimestamp(clock ? clock() : QDateTime::currentDateTime()));
        painter.setFont(normalFont());
        painter.drawText(box(sideMargin, 0, right, 99), Qt::AlignRight | Qt::AlignVCenter,
                         summarySheetPageNumber(page + 1, pages.size()));
    }
    return painter.end() && ok;
}

void setUpSummarySheetWriter(QPdfWriter &writer)
{
    writer.setResolution(300);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Point);
    writer.setPdfVersion(QPagedPaintDevice::PdfVersion_A1b);
    writer.setCreator(summarySheetCreator());
}
