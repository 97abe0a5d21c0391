#include "catalogue/xlsx_parts.h"

#include "catalogue/xlsx_xml_guard.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <cmath>

namespace Xlsx {

namespace {

// The text of a shared string <si> or an inline <is>: every <t> directly inside it or inside a
// run <r>, in order; the phonetic runs <rPh> are readings, not part of the text.
class RichText {
public:
    // base is the level of the <si>/<is> element itself.
    explicit RichText(int base) : base(base) {}

    void start(const XmlWalker &w)
    {
        const int level = w.depth;
        if (level == base + 1 && w.isMainElement("t"))
            inText = true;
        else if (level == base + 1 && w.isMainElement("r"))
            inRun = true;
        else if (level == base + 2 && inRun && w.isMainElement("t"))
            inText = true;
    }
    void end(const XmlWalker &w)
    {
        const int level = w.depth + 1;
        if (level == base + 1) {
            inText = false;
            inRun = false;
        } else if (level == base + 2) {
            inText = false;
        }
    }
    // false when the text grows past the limit of a cell
    bool characters(const XmlWalker &w)
    {
        if (inText)
            text += w.xml.text();
        return text.size() <= XlsxLimits::maxCellTextLength;
    }

    QString text;

private:
    int base;
    bool inRun = false;
    bool inText = false;
};

}  // namespace

bool parseWorkbookPart(const QByteArray &bytes, QVector<SheetEntry> &sheets, bool &date1904, QString &reason)
{
    XmlWalker w(bytes);
    bool inSheets = false;
    bool sawRoot = false;
    while (w.next()) {
        if (w.isEnd()) {
            if (w.depth + 1 == 2)
                inSheets = false;
            continue;
        }
        if (!w.isStart())
            continue;
        if (w.depth == 1) {
            if (!w.isMainElement("workbook")) {
                w.stop(QStringLiteral("the workbook part has an unknown root"));
                break;
            }
            sawRoot = true;
        } else if (w.depth == 2 && w.isMainElement("sheets")) {
            inSheets = true;
        } else if (w.depth == 2 && w.isMainElement("workbookPr")) {
            const QStringRef v = w.xml.attributes().value(QLatin1String("date1904"));
            date1904 = v == QLatin1String("1") || v == QLatin1String("true");
        } else if (w.depth == 3 && inSheets && w.isMainElement("sheet")) {
            const QXmlStreamAttributes a = w.xml.attributes();
            SheetEntry entry;
            entry.name = decodeOoxmlEscapes(a.value(QLatin1String("name")).toString());
            entry.relationshipId = a.hasAttribute(transitionalRelations, QLatin1String("id"))
                                       ? a.value(transitionalRelations, QLatin1String("id")).toString()
                                       : a.value(strictRelations, QLatin1String("id")).toString();
            if (!a.hasAttribute(QLatin1String("name")) || entry.relationshipId.isEmpty()) {
                w.stop(QStringLiteral("a sheet has no name or no relationship"));
                break;
            }
            sheets.append(entry);
        }
    }
    reason = w.reason;
    if (w.ok() && !sawRoot)
        reason = QStringLiteral("the workbook part is empty");
    return w.ok() && sawRoot;
}

bool parseSharedStrings(const QByteArray &bytes, QVector<QString> &texts, QString &reason)
{
    XmlWalker w(bytes);
    bool sawRoot = false;
    bool inItem = false;
    RichText item(2);
    while (w.next()) {
        if (w.isStart()) {
            if (w.depth == 1) {
                if (!w.isMainElement("sst")) {
                    w.stop(QStringLiteral("the shared strings part has an unknown root"));
                    break;
                }
                sawRoot = true;
            } else if (w.depth == 2 && w.isMainElement("si")) {
                inItem = true;
                item = RichText(2);
            } else if (inItem) {
                item.start(w);
            }
        } else if (w.isEnd()) {
            if (inItem && w.depth + 1 == 2) {
                texts.append(decodeOoxmlEscapes(item.text));
                inItem = false;
            } else if (inItem) {
                item.end(w);
            }
        } else if (inItem && !item.characters(w)) {
            w.stop(QStringLiteral("a shared string is longer than a cell may hold"));
            break;
        }
    }
    reason = w.reason;
    return w.ok() && sawRoot;
}

namespace {

// ISO 8601 date or date-time of a t="d" cell, as the spreadsheet's serial day number.
bool serialDayNumber(const QString &value, bool date1904, double &serial)
{
    QString text = value.trimmed();
    if (text.endsWith(QLatin1Char('Z')))
        text.chop(1);
    const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
    if (!date.isValid() || (text.size() > 10 && text.at(10) != QLatin1Char('T')))
        return false;
    QTime time(0, 0);
    if (text.size() > 10) {
        time = QTime::fromString(text.mid(11), Qt::ISODateWithMs);
        if (!time.isValid())
            return false;
    }
    qint64 days;
    if (date1904) {
        days = QDate(1904, 1, 1).daysTo(date);
    } else {
        days = QDate(1899, 12, 30).daysTo(date);
        if (date < QDate(1900, 3, 1))
            days -= 1;  // the 1900 system counts a 29 February 1900 that never was
    }
    serial = double(days) + time.msecsSinceStartOfDay() / 86400000.0;
    return true;
}

class WorksheetParser {
public:
    WorksheetParser(const QVector<QString> &sharedStrings, QVector<QString> &texts, bool date1904)
        : sharedStrings(sharedStrings), texts(texts), date1904(date1904)
    {
    }

    bool parse(const QByteArray &bytes, QVector<XlsxWorkbook::Cell> &cells, QString &reason)
    {
        XmlWalker w(bytes);
        bool sawRoot = false;
        while (w.next()) {
            if (w.isStart())
                start(w, sawRoot);
            else if (w.isEnd())
                end(w, cells);
            else
                characters(w);
        }
        reason = w.reason;
        if (w.ok() && !sawRoot)
            reason = QStringLiteral("a worksheet part is empty");
        if (!w.ok() || !sawRoot)
            return false;
        // One value per position; of duplicates the later one stands.
        std::stable_sort(cells.begin(), cells.end(),
                         [](const XlsxWorkbook::Cell &a, const XlsxWorkbook::Cell &b) { return a.key < b.key; });
        auto last = std::unique(cells.rbegin(), cells.rend(),
                                [](const XlsxWorkbook::Cell &a, const XlsxWorkbook::Cell &b) { return a.key == b.key; });
        cells.erase(cells.begin(), last.base());
        return true;
    }

private:
    void start(XmlWalker &w, bool &sawRoot)
    {
        const int level = w.depth;
        if (level == 1) {
            if (!w.isMainElement("worksheet"))
                w.stop(QStringLiteral("a worksheet part has an unknown root"));
            sawRoot = true;
        } else if (level == 2 && w.isMainElement("sheetData")) {
            inSheetData = true;
        } else if (level == 3 && inSheetData && w.isMainElement("row")) {
            startRow(w);
        } else if (level == 4 && inRow && w.isMainElement("c")) {
            startCell(w);
        } else if (level == 5 && inCell && w.isMainElement("v")) {
            inValue = true;
            hasValue = true;
        } else if (level == 5 && inCell && w.isMainElement("is")) {
            inInline = true;
            hasInline = true;
        } else if (inInline) {
            inlineText.start(w);
        }
    }

    void end(XmlWalker &w, QVector<XlsxWorkbook::Cell> &cells)
    {
        const int level = w.depth + 1;
        if (level == 2) {
            inSheetData = false;
        } else if (level == 3 && inRow) {
            inRow = false;
            previousRow = row;
        } else if (level == 4 && inCell) {
            inCell = false;
            finishCell(w, cells);
        } else if (level == 5 && inCell) {
            inValue = false;
            inInline = false;
        } else if (inInline) {
            inlineText.end(w);
        }
    }

    void characters(XmlWalker &w)
    {
        if (inValue) {
            value += w.xml.text();
            if (value.size() > XlsxLimits::maxCellTextLength)
                w.stop(QStringLiteral("a cell holds more text than a cell may"));
        } else if (inInline && !inlineText.characters(w)) {
            w.stop(QStringLiteral("a cell holds more text than a cell may"));
        }
    }

    void startRow(XmlWalker &w)
    {
        inRow = true;
        column = 0;
        const QStringRef r = w.xml.attributes().value(QLatin1String("r"));
        rowFixed = !r.isNull();
        if (rowFixed) {
            bool ok = false;
            row = r.toInt(&ok);
            if (!ok || row < 1 || row > XlsxLimits::maxRow || r.startsWith(QLatin1Char('0'))
                || r.startsWith(QLatin1Char('+')))
                w.stop(QStringLiteral("a row has an invalid number"));
        } else {
            row = previousRow + 1;
            if (row > XlsxLimits::maxRow)
                w.stop(QStringLiteral("a sheet has too many rows"));
        }
        firstCellOfRow = true;
    }

    void startCell(XmlWalker &w)
    {
        const QXmlStreamAttributes a = w.xml.attributes();
        const QStringRef r = a.value(QLatin1String("r"));
        if (!r.isNull()) {
            int cellRow, cellColumn;
            if (!parseCellReference(r.toString(), cellRow, cellColumn)) {
                w.stop(QStringLiteral("a cell has an invalid reference"));
                return;
            }
            // A row without its own number takes it from its first cell.
            if (!rowFixed && firstCellOfRow)
                row = cellRow;
            if (cellRow != row) {
                w.stop(QStringLiteral("a cell reference lies outside its row"));
                return;
            }
            column = cellColumn;
        } else {
            ++column;
            if (column > XlsxLimits::maxColumn) {
                w.stop(QStringLiteral("a row has too many cells"));
                return;
            }
        }
        rowFixed = rowFixed || firstCellOfRow;
        firstCellOfRow = false;
        inCell = true;
        type = a.value(QLatin1String("t")).toString();
        value.clear();
        hasValue = false;
        hasInline = false;
        inlineText = RichText(5);
    }

    void finishCell(XmlWalker &w, QVector<XlsxWorkbook::Cell> &cells)
    {
        XlsxWorkbook::Cell cell{quint64(row) << 16 | quint64(column), XlsxWorkbook::CellKind::Number, 0.0, -1};
        auto addText = [&](const QString &text) {
            cell.kind = XlsxWorkbook::CellKind::Text;
            cell.text = texts.size();
            texts.append(text);
            cells.append(cell);
        };
        if (type.isEmpty() || type == QLatin1String("n")) {
            if (!hasValue || value.trimmed().isEmpty())
                return;
            bool ok = false;
            cell.number = value.toDouble(&ok);  // always the C locale
            if (!ok || !std::isfinite(cell.number)) {
                w.stop(QStringLiteral("a cell holds an invalid number"));
                return;
            }
            cells.append(cell);
        } else if (type == QLatin1String("s")) {
            if (!hasValue)
                return;
            bool ok = false;
            const int index = value.toInt(&ok);
            if (!ok || index < 0 || index >= sharedStrings.size()) {
                w.stop(QStringLiteral("a cell refers to a shared string that does not exist"));
                return;
            }
            cell.kind = XlsxWorkbook::CellKind::Text;
            cell.text = index;
            cells.append(cell);
        } else if (type == QLatin1String("inlineStr")) {
            if (hasInline)
                addText(decodeOoxmlEscapes(inlineText.text));
            else if (hasValue)
                addText(decodeOoxmlEscapes(value));
        } else if (type == QLatin1String("str")) {
            if (hasValue)
                addText(decodeOoxmlEscapes(value));
        } else if (type == QLatin1String("b")) {
            if (!hasValue)
                return;
            const QString v = value.trimmed();
            if (v == QLatin1String("1") || v == QLatin1String("true"))
                cell.number = 1.0;
            else if (v != QLatin1String("0") && v != QLatin1String("false")) {
                w.stop(QStringLiteral("a cell holds an invalid boolean"));
                return;
            }
            cell.kind = XlsxWorkbook::CellKind::Boolean;
            cells.append(cell);
        } else if (type == QLatin1String("d")) {
            if (!hasValue)
                return;
            if (!serialDayNumber(value, date1904, cell.number)) {
                w.stop(QStringLiteral("a cell holds an invalid date"));
                return;
            }
            cells.append(cell);
        } else if (type != QLatin1String("e")) {  // an error value reads as empty
            w.stop(QStringLiteral("a cell has an unknown type"));
        }
    }

    const QVector<QString> &sharedStrings;
    QVector<QString> &texts;
    const bool date1904;

    bool inSheetData = false;
    bool inRow = false;
    bool inCell = false;
    bool inValue = false;
    bool inInline = false;
    bool rowFixed = false;
    bool firstCellOfRow = false;
    bool hasValue = false;
    bool hasInline = false;
    int previousRow = 0;
    int row = 0;
    int column = 0;
    QString type;
    QString value;
    RichText inlineText{5};
};

}  // namespace

bool parseWorksheet(const QByteArray &bytes, const QVector<QString> &sharedStrings, bool date1904,
                    QVector<QString> &texts, QVector<XlsxWorkbook::Cell> &cells, QString &reason)
{
    WorksheetParser parser(sharedStrings, texts, date1904);
    return parser.parse(bytes, cells, reason);
}

}  // namespace Xlsx
