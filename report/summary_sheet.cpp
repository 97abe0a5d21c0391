#include "report/summary_sheet.h"

#include <QCoreApplication>
#include <QFont>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QRect>

#include <algorithm>

namespace {

const QString fontFamily = QStringLiteral("SimSum");
const QChar fullWidthColon(0xFF1A);

QFont titleFont() { return QFont(fontFamily, 15, 80); }
QFont boldFont() { return QFont(fontFamily, 10, QFont::Bold); }
QFont normalFont() { return QFont(fontFamily, 10, QFont::Normal); }
QFont smallFont() { return QFont(fontFamily, 8, QFont::Normal); }

QPen linePen()
{
    return QPen(QBrush(QColor(0, 0, 0, 255), Qt::SolidPattern), 1.0, Qt::SolidLine, Qt::SquareCap,
                Qt::BevelJoin);
}

QString sheetText(const char *text) { return QCoreApplication::translate("SummarySheet", text); }

constexpr int centre = Qt::AlignCenter;
constexpr int left = Qt::AlignLeft;
constexpr int leftWrap = Qt::AlignLeft | Qt::TextWordWrap;
constexpr int rightWrap = Qt::AlignRight | Qt::TextWordWrap;

// Device-table rows are 75 pixels: text from +15 to +64, the row's bottom line at +75.
constexpr int deviceRowHeight = 75;
// On a continuation page the table's top line sits this far below the page title's top.
constexpr int continuationTableTop = 140;

class SheetPainter {
public:
    SheetPainter(QPagedPaintDevice &device, QPainter &painter, const SummarySheetData &data,
                 const SheetClock &clock)
        : device(device), p(painter), d(data), clock(clock), W(painter.viewport().width()), H(painter.viewport().height()),
          n(std::clamp(data.loopCount, 0, 16))
    {
    }

    void drawFirstPage();
    bool drawEnclosurePages();  // false if the device refused a new page

private:
    void text(int l, int t, int r, int b, int flags, const QString &s)
    {
        p.drawText(QRect(QPoint(l, t), QPoint(r, b)), flags, s);
    }
    void line(qreal x1, qreal y1, qreal x2, qreal y2) { p.drawLine(QLineF(x1, y1, x2, y2)); }

    void pageTitle(const QString &title);
    int projectBlock();  // returns the y after the cable list
    void footer();

    QString loopCell(int loop, int column) const;
    QString deviceCount(const SummaryDeviceRow &row, int loop) const;

    // Device-table geometry (page 2 and its continuation pages).
    int x0 = 0, c = 0, dw = 0, xe = 0;
    void deviceTableHeader(int top);
    void deviceTableVerticals(int top, int bottom);

    QPagedPaintDevice &device;
    QPainter &p;
    const SummarySheetData &d;
    const SheetClock &clock;
    const int W;
    const int H;
    const int n;
};

QString SheetPainter::loopCell(int loop, int column) const
{
    if (loop >= d.loopCells.size() || column >= d.loopCells[loop].size())
        return QString();
    return d.loopCells[loop][column];
}

QString SheetPainter::deviceCount(const SummaryDeviceRow &row, int loop) const
{
    return loop < row.loopCounts.size() ? QString::number(row.loopCounts[loop]) : QString();
}

void SheetPainter::pageTitle(const QString &title)
{
    p.setFont(titleFont());
    text(0, 0, W - 1, 99, centre, title);
}

int SheetPainter::projectBlock()
{
    p.setFont(boldFont());
    const int right = W - 101;
    text(100, 100, right, 159, left, QStringLiteral("Project Name") + fullWidthColon + d.projectName);
    text(100, 170, right, 229, left, QStringLiteral("Project Location") + fullWidthColon + d.projectLocation);
    text(100, 240, right, 299, left, QStringLiteral("Company Name") + fullWidthColon + d.companyName);
    text(100, 310, right, 369, left, QStringLiteral("E-mail") + fullWidthColon + d.email);
    text(100, 380, right, 619, leftWrap, QStringLiteral("Comment") + fullWidthColon + d.comment);
    text(100, 660, right, 719, left, QStringLiteral("Panel Model") + fullWidthColon + d.panelName);
    text(100, 730, right, 789, left, QStringLiteral("Cable Type:"));

    // Two captions per line; y moves on only after the right-hand one.
    int y = 730;
    for (int i = 0; i < n; ++i) {
        const QString caption = i < d.cableCaptions.size() ? d.cableCaptions[i] : QString();
        if (i % 2 == 0) {
            text(360, y, 1239, y + 59, left, caption);
        } else {
            text(1250, y, 2129, y + 59, left, caption);
            y += 60;
        }
    }
    return y;
}

void SheetPainter::footer()
{
    p.setFont(boldFont());
    text(0, H - 180, W - 1, H - 121, rightWrap, d.softwareVersion);
    text(0, H - 120, W - 1, H - 61, rightWrap, d.catalogueVersion);
    text(0, H - 60, W - 1, H - 1, rightWrap, summarySheetTimestamp(clock ? clock() : QDateTime::currentDateTime()));
}

void SheetPainter::drawFirstPage()
{
    pageTitle(sheetText("SUMMARY SHEET"));
    const int y = projectBlock();

    p.setFont(normalFont());
    text(0, y + 60, W - 1, y + 119, centre, sheetText("Loop detail statistics table"));
    p.setPen(linePen());
    line(0, y + 140, W, y + 140);

    const int u = W / 69;
    const int b[10] = {0, 6 * u, 13 * u, 19 * u, 25 * u, 31 * u, 43 * u, 56 * u, 64 * u, 69 * u};
    static const char *const headers[9] = {"Loop", "Detectors", "Modules", "Sounders", "Others",
                                           "Quiescent Current", "Total Alarm Current", "Max Length",
                                           "Result"};
    for (int k = 0; k < 9; ++k)
        text(b[k], y + 150, b[k + 1] - 1, y + 229, centre, QString::fromLatin1(headers[k]));
    line(0, y + 230, W, y + 230);

    int r = y + 230;
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < 9; ++k)
            text(b[k], r + 20, b[k + 1] - 1, r + 69, centre, loopCell(i, k));
        r += 90;
        line(0, r, W, r);
    }
    // The right border is the page edge, not 69u.
    for (int k = 0; k < 9; ++k)
        line(b[k], y + 140, b[k], r);
    line(W, y + 140, W, r);

    p.setFont(boldFont());
    text(0, r + 80, W - 1, r + 239, leftWrap,
         QStringLiteral("The above data is based on laboratory tests and theoretical calculations. "
                        "This data may be slightly different from the actual construction site."));
    footer();
}

void SheetPainter::deviceTableHeader(int top)
{
    p.setFont(smallFont());
    text(x0 - dw, top + 10, x0 - 1, top + 89, centre, QStringLiteral("Device"));
    text(x0, top + 10, x0 + dw - 1, top + 89, centre, QStringLiteral("Type"));
    for (int i = 0; i < n; ++i)
        text(x0 + dw + i * c, top + 10, x0 + dw + (i + 1) * c - 1, top + 89, centre, loopCell(i, 0));
    line(x0 - dw, top, xe, top);
    line(x0 - dw, top + 90, xe, top + 90);
}

void SheetPainter::deviceTableVerticals(int top, int bottom)
{
    line(x0 - dw, top, x0 - dw, bottom);
    line(x0, top, x0, bottom);
    line(x0 + dw, top, x0 + dw, bottom);
    for (int k = 1; k <= n; ++k)
        line(x0 + dw + k * c, top, x0 + dw + k * c, bottom);
}

bool SheetPainter::drawEnclosurePages()
{
    pageTitle(sheetText("Enclosure"));
    const int y = projectBlock();
    p.setFont(normalFont());
    text(0, y + 60, W - 1, y + 119, centre, sheetText("Model - loop quantity table"));

    const int v = W / 18;
    c = v - 5;
    x0 = W / 2 - (n / 2) * c;
    dw = v + 40;
    xe = x0 + dw + n * c;

    int top = y + 140;
    deviceTableHeader(top);
    int r = top + 90;
    bool rowsOnPage = false;
    // A row's bottom line must stay above the footer's first line.
    const int rowLimit = H - 181;

    const QVector<SummaryDeviceRow> &rows = d.deviceRows;
    for (int first = 0; first < rows.size();) {
        int last = first + 1;
        while (last < rows.size() && rows[last].secondRow)
            ++last;
        const int height = (last - first) * deviceRowHeight;
        if (rowsOnPage && r + height > rowLimit) {
            deviceTableVerticals(top, r);
            footer();
            if (!device.newPage())
                return false;
            pageTitle(sheetText("Enclosure"));
            top = continuationTableTop;
            deviceTableHeader(top);
            r = top + 90;
            rowsOnPage = false;
        }
        for (int k = first; k < last; ++k) {
            const SummaryDeviceRow &row = rows[k];
            text(x0 - dw, r + 15, x0 - 1, r + 64, centre, row.name);
            text(x0, r + 15, x0 + dw - 1, r + 64, centre, row.type);
            for (int i = 0; i < n; ++i)
                text(x0 + dw + i * c, r + 15, x0 + dw + (i + 1) * c - 1, r + 64, centre, deviceCount(row, i));
            line(x0 - dw, r + 75, xe, r + 75);
            r += deviceRowHeight;
        }
        rowsOnPage = true;
        first = last;
    }
    deviceTableVerticals(top, r);
    footer();
    return true;
}

}  // namespace

QString summarySheetTimestamp(const QDateTime &when)
{
    return when.toString(QStringLiteral("d/M/yyyy hh:mm:ss"));
}

bool drawSummarySheet(QPagedPaintDevice *device, const SummarySheetData &data, const SheetClock &clock)
{
    if (!device)
        return false;
    QPainter painter;
    if (!painter.begin(device))
        return false;
    SheetPainter sheet(*device, painter, data, clock);
    sheet.drawFirstPage();
    bool ok = device->newPage();
    if (ok)
        ok = sheet.drawEnclosurePages();
    return painter.end() && ok;
}

void setUpSummarySheetWriter(QPdfWriter &writer)
{
    writer.setResolution(300);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Point);
}
