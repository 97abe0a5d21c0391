// XlsxWorkbook assembles the layers below it: the package (xlsx_package.h) leads from _rels/.rels
// to the workbook part and from its relationships to the shared strings and the worksheets, and the
// part parsers (xlsx_parts.h) read each. To the imports it guarantees what xlsx_reader.h says: the
// whole workbook, or after the first failure nothing. Last, the two text helpers of the header,
// which the part parsers use.
#include "catalogue/xlsx_reader.h"

#include "catalogue/whole_file.h"
#include "catalogue/xlsx_package.h"
#include "catalogue/xlsx_parts.h"

#include <algorithm>

Workbook::~Workbook() = default;

bool XlsxWorkbook::fail(const QString &reason)
{
    sheets.clear();
    texts.clear();
    error = reason;
    return false;
}

bool XlsxWorkbook::open(const QString &path)
{
    QByteArray bytes;
    if (!readWholeFile(path, XlsxLimits::maxFileBytes, bytes))
        return fail(QStringLiteral("the file is missing, unreadable or larger than %1 MiB")
                        .arg(XlsxLimits::maxFileBytes / (1024 * 1024)));
    return openBytes(bytes);
}

bool XlsxWorkbook::openBytes(const QByteArray &bytes)
{
    sheets.clear();
    texts.clear();
    error.clear();
    if (bytes.size() > XlsxLimits::maxFileBytes)
        return fail(QStringLiteral("the file is too large"));

    Xlsx::Package package;
    QString reason;
    if (!package.open(bytes, reason))
        return fail(reason);

    QVector<Xlsx::Relationship> rootRelationships;
    if (!package.readRelationships(QString(), rootRelationships, reason))
        return fail(reason);
    QString workbookPart;
    for (const Xlsx::Relationship &r : rootRelationships)
        if (r.kind == QLatin1String("officeDocument") && !r.target.isEmpty()) {
            workbookPart = r.target;
            break;
        }
    if (workbookPart.isEmpty())
        return fail(QStringLiteral("the package names no workbook"));

    QByteArray xml;
    QVector<Xlsx::SheetEntry> entries;
    bool date1904 = false;
    if (!package.readXml(workbookPart, xml, reason) || !Xlsx::parseWorkbookPart(xml, entries, date1904, reason))
        return fail(reason);

    QVector<Xlsx::Relationship> relationships;
    if (package.hasRelationships(workbookPart) && !package.readRelationships(workbookPart, relationships, reason))
        return fail(reason);

    for (const Xlsx::Relationship &r : relationships)
        if (r.kind == QLatin1String("sharedStrings")) {
            if (r.target.isEmpty() || !package.readXml(r.target, xml, reason)
                || !Xlsx::parseSharedStrings(xml, texts, reason))
                return fail(reason.isEmpty() ? QStringLiteral("the shared strings are missing") : reason);
            break;
        }
    const QVector<QString> sharedStrings = texts;

    for (const Xlsx::SheetEntry &entry : entries) {
        const auto r = std::find_if(relationships.cbegin(), relationships.cend(),
                                    [&](const Xlsx::Relationship &x) { return x.id == entry.relationshipId; });
        if (r == relationships.cend())
            return fail(QStringLiteral("the sheet %1 has no part").arg(entry.name));
        Sheet sheet;
        sheet.name = entry.name;
        // Chart, dialog and macro sheets count as sheets and hold no cells.
        if (r->kind == QLatin1String("worksheet")) {
            if (r->target.isEmpty())
                return fail(QStringLiteral("the sheet %1 lies outside the package").arg(entry.name));
            if (!package.readXml(r->target, xml, reason)
                || !Xlsx::parseWorksheet(xml, sharedStrings, date1904, texts, sheet.cells, reason))
                return fail(reason);
        }
        sheets.append(sheet);
    }
    return true;
}

int XlsxWorkbook::sheetCount() const { return sheets.size(); }

QString XlsxWorkbook::sheetName(int position) const
{
    return position >= 1 && position <= sheets.size() ? sheets[position - 1].name : QString();
}

QVariant XlsxWorkbook::cellValue(int sheet, int row, int column) const
{
    if (sheet < 1 || sheet > sheets.size() || row < 1 || row > XlsxLimits::maxRow || column < 1
        || column > XlsxLimits::maxColumn)
        return QVariant();
    const QVector<Cell> &cells = sheets[sheet - 1].cells;
    const quint64 key = quint64(row) << 16 | quint64(column);
    const auto it = std::lower_bound(cells.cbegin(), cells.cend(), key,
                                     [](const Cell &c, quint64 k) { return c.key < k; });
    if (it == cells.cend() || it->key != key)
        return QVariant();
    switch (it->kind) {
    case CellKind::Number:
        return QVariant(it->number);
    case CellKind::Boolean:
        return QVariant(it->number != 0.0);
    case CellKind::Text:
        return QVariant(texts[it->text]);
    }
    return QVariant();
}

QString decodeOoxmlEscapes(const QString &text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    auto hex = [](QChar c) {
        const ushort u = c.unicode();
        if (u >= '0' && u <= '9')
            return int(u - '0');
        if (u >= 'a' && u <= 'f')
            return int(u - 'a' + 10);
        if (u >= 'A' && u <= 'F')
            return int(u - 'A' + 10);
        return -1;
    };
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size();) {
        if (text.at(i) == QLatin1Char('_') && i + 6 < text.size() && text.at(i + 1) == QLatin1Char('x')
            && text.at(i + 6) == QLatin1Char('_')) {
            int code = 0;
            bool valid = true;
            for (int k = 2; k < 6 && valid; ++k) {
                const int digit = hex(text.at(i + k));
                valid = digit >= 0;
                code = code * 16 + digit;
            }
            if (valid) {
                out.append(QChar(ushort(code)));
                i += 7;
                continue;
            }
        }
        out.append(text.at(i++));
    }
    return out;
}

bool parseCellReference(const QString &reference, int &row, int &column)
{
    int i = 0;
    column = 0;
    while (i < reference.size() && i < 4 && reference.at(i) >= QLatin1Char('A') && reference.at(i) <= QLatin1Char('Z'))
        column = column * 26 + (reference.at(i++).unicode() - 'A' + 1);
    if (i == 0 || i > 3 || column > XlsxLimits::maxColumn)
        return false;
    const int digits = reference.size() - i;
    if (digits < 1 || digits > 7 || reference.at(i) == QLatin1Char('0'))
        return false;
    row = 0;
    for (; i < reference.size(); ++i) {
        const ushort u = reference.at(i).unicode();
        if (u < '0' || u > '9')
            return false;
        row = row * 10 + (u - '0');
    }
    return row <= XlsxLimits::maxRow;
}
