#include "catalogue/xlsx_reader.h"

#include "catalogue/whole_file.h"

#include <QBuffer>
#include <QDate>
#include <QHash>
#include <QTime>
#include <QUrl>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>

Workbook::~Workbook() = default;

namespace {

const QString transitionalMain = QStringLiteral("http://schemas.openxmlformats.org/spreadsheetml/2006/main");
const QString strictMain = QStringLiteral("http://purl.oclc.org/ooxml/spreadsheetml/main");
const QString transitionalRelations =
    QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
const QString strictRelations = QStringLiteral("http://purl.oclc.org/ooxml/officeDocument/relationships");
const QString packageRelations = QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships");
const QString contentTypes = QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types");

bool isMain(const QXmlStreamReader &xml)
{
    const QStringRef ns = xml.namespaceUri();
    return ns == transitionalMain || ns == strictMain;
}

// The relationship type without its Transitional or Strict prefix ("worksheet"); other types
// come back whole and match nothing we read.
QString relationshipKind(const QString &type)
{
    for (const QString &prefix : {transitionalRelations, strictRelations})
        if (type.size() > prefix.size() && type.startsWith(prefix) && type.at(prefix.size()) == QLatin1Char('/'))
            return type.mid(prefix.size() + 1);
    return type;
}

// Cheap byte scan ahead of the XML parser: the parser checks duplicate attributes in quadratic
// time and expands entities declared in a DTD, so over-long tags and any DTD never reach it.
bool prescanXml(const QByteArray &xml, QString &reason)
{
    const char *begin = xml.constData();
    const char *end = begin + xml.size();
    if (std::memchr(begin, '\0', size_t(xml.size()))) {
        reason = QStringLiteral("a part is not UTF-8 text");
        return false;
    }
    auto startsWith = [end](const char *p, const char *text) {
        const size_t n = std::strlen(text);
        return size_t(end - p) >= n && std::memcmp(p, text, n) == 0;
    };
    auto skipPast = [end](const char *p, const char *terminator) -> const char * {
        const size_t n = std::strlen(terminator);
        for (; size_t(end - p) >= n; ++p)
            if (std::memcmp(p, terminator, n) == 0)
                return p + n;
        return end;  // unterminated: the parser reports it
    };
    const char *p = begin;
    while (p < end) {
        p = static_cast<const char *>(std::memchr(p, '<', size_t(end - p)));
        if (!p)
            break;
        if (startsWith(p, "<!--")) {
            p = skipPast(p + 4, "-->");
        } else if (startsWith(p, "<![CDATA[")) {
            p = skipPast(p + 9, "]]>");
        } else if (startsWith(p, "<!")) {
            reason = QStringLiteral("a part declares a document type");
            return false;
        } else {
            const char *start = p++;
            char quote = 0;
            for (; p < end; ++p) {
                const char c = *p;
                if (quote) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
                if (p - start > XlsxLimits::maxTagBytes)
                    break;
            }
            if (p - start > XlsxLimits::maxTagBytes) {
                reason = QStringLiteral("a part holds an over-long tag");
                return false;
            }
        }
    }
    return true;
}

// QXmlStreamReader with the limits the parser itself lacks. depth is the number of open elements
// after the current token: a start element is at level depth, an end element at depth + 1.
class XmlWalker {
public:
    explicit XmlWalker(const QByteArray &bytes) : xml(bytes) {}

    // Next start element, end element or text; false at the end of the document or on an error.
    bool next()
    {
        if (failed)
            return false;
        while (!xml.atEnd()) {
            switch (xml.readNext()) {
            case QXmlStreamReader::StartElement:
                if (++depth > XlsxLimits::maxElementDepth)
                    return stop(QStringLiteral("a part nests elements too deeply"));
                return true;
            case QXmlStreamReader::EndElement:
                --depth;
                return true;
            case QXmlStreamReader::Characters:
                return true;
            case QXmlStreamReader::DTD:
                return stop(QStringLiteral("a part declares a document type"));
            case QXmlStreamReader::EntityReference:
                return stop(QStringLiteral("a part refers to an undeclared entity"));
            case QXmlStreamReader::Invalid:
                return stop(QStringLiteral("a part is not well-formed XML: ") + xml.errorString());
            default:
                break;
            }
        }
        if (xml.hasError())
            return stop(QStringLiteral("a part is not well-formed XML: ") + xml.errorString());
        return false;
    }
    bool stop(const QString &why)
    {
        failed = true;
        reason = why;
        return false;
    }
    bool ok() const { return !failed; }
    bool isStart() const { return xml.tokenType() == QXmlStreamReader::StartElement; }
    bool isEnd() const { return xml.tokenType() == QXmlStreamReader::EndElement; }
    bool isText() const { return xml.tokenType() == QXmlStreamReader::Characters; }
    bool isMainElement(const char *localName) const { return isMain(xml) && xml.name() == QLatin1String(localName); }

    QXmlStreamReader xml;
    int depth = 0;
    bool failed = false;
    QString reason;
};

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

QString partKey(const QString &partName) { return partName.toLower(); }

// The zip's end-of-directory record must close the file exactly; the zip library itself also takes
// an archive whose last bytes are cut off.
bool hasCompleteEndRecord(const QByteArray &bytes)
{
    constexpr int recordSize = 22;
    const int lowest = std::max(0, bytes.size() - recordSize - 0xFFFF);
    for (int at = bytes.size() - recordSize; at >= lowest; --at) {
        if (bytes.at(at) != 'P' || bytes.at(at + 1) != 'K' || bytes.at(at + 2) != 5 || bytes.at(at + 3) != 6)
            continue;
        const int commentSize = uchar(bytes.at(at + 20)) | uchar(bytes.at(at + 21)) << 8;
        if (at + recordSize + commentSize == bytes.size())
            return true;
    }
    return false;
}

// QBuffer warns on every seek past its end, which damaged archives ask for; a refusal is enough.
class QuietBuffer final : public QBuffer {
public:
    bool seek(qint64 position) override
    {
        return position >= 0 && position <= size() && QBuffer::seek(position);
    }
};

// The zip container: only the parts the workbook reaches are inflated, each counted as it inflates.
class Package {
public:
    bool open(const QByteArray &bytes, QString &reason)
    {
        buffer.setData(bytes);
        zip.setIoDevice(&buffer);
        if (bytes.startsWith("\xD0\xCF\x11\xE0")) {
            reason = QStringLiteral("the file is an OLE container (a protected or legacy workbook), not a zip");
            return false;
        }
        if (!hasCompleteEndRecord(bytes) || !zip.open(QuaZip::mdUnzip)) {
            reason = QStringLiteral("the file is not a zip archive");
            return false;
        }
        if (zip.getEntriesCount() > XlsxLimits::maxZipEntries) {
            reason = QStringLiteral("the archive holds too many entries");
            return false;
        }
        int count = 0;
        for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
            QuaZipFileInfo64 info;
            if (++count > XlsxLimits::maxZipEntries || !zip.getCurrentFileInfo(&info)) {
                reason = QStringLiteral("the archive directory is damaged");
                return false;
            }
            const QString key = partKey(QUrl::fromPercentEncoding(info.name.toUtf8()));
            if (entries.contains(key)) {
                reason = QStringLiteral("the archive holds the part %1 twice").arg(info.name);
                return false;
            }
            entries.insert(key, info);
        }
        if (zip.getZipError() != UNZ_OK) {
            reason = QStringLiteral("the archive directory is damaged");
            return false;
        }
        return true;
    }

    bool contains(const QString &partName) const { return entries.contains(partKey(partName)); }

    bool read(const QString &partName, QByteArray &bytes, QString &reason)
    {
        const auto it = entries.constFind(partKey(partName));
        if (it == entries.constEnd()) {
            reason = QStringLiteral("the part %1 is missing").arg(partName);
            return false;
        }
        const QuaZipFileInfo64 &info = it.value();
        if (info.method != 0 && info.method != Z_DEFLATED) {
            reason = QStringLiteral("the part %1 uses an unsupported compression").arg(partName);
            return false;
        }
        if (info.flags & 1) {
            reason = QStringLiteral("the part %1 is encrypted").arg(partName);
            return false;
        }
        if (info.uncompressedSize > quint64(XlsxLimits::maxPartBytes)
            || qint64(info.uncompressedSize) > XlsxLimits::maxTotalBytes - totalBytes) {
            reason = QStringLiteral("the part %1 is too large").arg(partName);
            return false;
        }
        if (!zip.setCurrentFile(info.name, QuaZip::csSensitive)) {
            reason = QStringLiteral("the part %1 cannot be found in the archive").arg(partName);
            return false;
        }
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::ReadOnly)) {
            reason = QStringLiteral("the part %1 cannot be opened").arg(partName);
            return false;
        }
        const qint64 declared = qint64(info.uncompressedSize);
        bytes.clear();
        bytes.reserve(int(declared));
        char chunk[65536];
        bool tooLarge = false;
        for (;;) {
            const qint64 n = file.read(chunk, sizeof chunk);
            if (n <= 0)
                break;
            if (bytes.size() + n > declared) {
                tooLarge = true;
                break;
            }
            bytes.append(chunk, int(n));
        }
        const bool readError = file.getZipError() != UNZ_OK;
        file.close();  // checks the CRC when every byte was read
        if (tooLarge || readError || file.getZipError() != UNZ_OK || bytes.size() != declared) {
            reason = QStringLiteral("the part %1 is damaged (size or checksum)").arg(partName);
            return false;
        }
        totalBytes += bytes.size();
        return true;
    }

private:
    QuietBuffer buffer;
    QuaZip zip;
    QHash<QString, QuaZipFileInfo64> entries;
    qint64 totalBytes = 0;
};

struct Relationship {
    QString id;
    QString kind;    // relationshipKind() of the type
    QString target;  // resolved part name, empty for an external or unresolvable target
};

QString folderOf(const QString &partName)
{
    const int slash = partName.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : partName.left(slash);
}

QString relationshipsPartOf(const QString &partName)
{
    const int slash = partName.lastIndexOf(QLatin1Char('/'));
    return partName.left(slash + 1) + QStringLiteral("_rels/") + partName.mid(slash + 1) + QStringLiteral(".rels");
}

// A target relative to the source part's folder, or absolute from the package root; empty when it
// names something outside the package.
QString resolveTarget(const QString &sourceFolder, QString target)
{
    const int fragment = target.indexOf(QLatin1Char('#'));
    if (fragment >= 0)
        target.truncate(fragment);
    target = QUrl::fromPercentEncoding(target.toUtf8());
    target.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const int colon = target.indexOf(QLatin1Char(':'));
    if (colon >= 0 && (target.indexOf(QLatin1Char('/')) < 0 || colon < target.indexOf(QLatin1Char('/'))))
        return QString();  // a URI with a scheme
    QStringList segments;
    if (!target.startsWith(QLatin1Char('/')) && !sourceFolder.isEmpty())
        segments = sourceFolder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &segment : target.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (segment == QLatin1String("."))
            continue;
        if (segment == QLatin1String("..")) {
            if (segments.isEmpty())
                return QString();
            segments.removeLast();
            continue;
        }
        segments.append(segment);
    }
    return segments.join(QLatin1Char('/'));
}

bool parseRelationships(const QByteArray &bytes, const QString &sourceFolder, QVector<Relationship> &out,
                        QString &reason)
{
    XmlWalker w(bytes);
    while (w.next()) {
        if (!w.isStart())
            continue;
        const bool package = w.xml.namespaceUri() == packageRelations;
        if (w.depth == 1 && !(package && w.xml.name() == QLatin1String("Relationships"))) {
            w.stop(QStringLiteral("a relationships part has an unknown root"));
            break;
        }
        if (w.depth == 2 && package && w.xml.name() == QLatin1String("Relationship")) {
            const QXmlStreamAttributes a = w.xml.attributes();
            Relationship r;
            r.id = a.value(QLatin1String("Id")).toString();
            r.kind = relationshipKind(a.value(QLatin1String("Type")).toString());
            if (a.value(QLatin1String("TargetMode")) != QLatin1String("External"))
                r.target = resolveTarget(sourceFolder, a.value(QLatin1String("Target")).toString());
            out.append(r);
        }
    }
    reason = w.reason;
    return w.ok();
}

bool checkWellFormed(const QByteArray &bytes, const QString &rootName, const QString &rootNamespace,
                     QString &reason)
{
    XmlWalker w(bytes);
    bool sawRoot = false;
    while (w.next()) {
        if (w.isStart() && w.depth == 1) {
            if (w.xml.name() != rootName || w.xml.namespaceUri() != rootNamespace)
                w.stop(QStringLiteral("the part %1 has an unknown root").arg(rootName));
            sawRoot = true;
        }
    }
    reason = w.reason;
    return w.ok() && sawRoot;
}

struct SheetEntry {
    QString name;
    QString relationshipId;
};

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

    Package package;
    QString reason;
    if (!package.open(bytes, reason))
        return fail(reason);

    // Every XML part passes the byte scan before the parser sees it.
    auto readXml = [&](const QString &partName, QByteArray &xml) {
        return package.read(partName, xml, reason) && prescanXml(xml, reason);
    };

    QByteArray xml;
    if (!readXml(QStringLiteral("[Content_Types].xml"), xml)
        || !checkWellFormed(xml, QStringLiteral("Types"), contentTypes, reason))
        return fail(reason);

    QVector<Relationship> rootRelationships;
    if (!readXml(QStringLiteral("_rels/.rels"), xml) || !parseRelationships(xml, QString(), rootRelationships, reason))
        return fail(reason);
    QString workbookPart;
    for (const Relationship &r : rootRelationships)
        if (r.kind == QLatin1String("officeDocument") && !r.target.isEmpty()) {
            workbookPart = r.target;
            break;
        }
    if (workbookPart.isEmpty())
        return fail(QStringLiteral("the package names no workbook"));

    QVector<SheetEntry> entries;
    bool date1904 = false;
    if (!readXml(workbookPart, xml) || !parseWorkbookPart(xml, entries, date1904, reason))
        return fail(reason);

    QVector<Relationship> relationships;
    const QString relationshipsPart = relationshipsPartOf(workbookPart);
    if (package.contains(relationshipsPart)
        && (!readXml(relationshipsPart, xml)
            || !parseRelationships(xml, folderOf(workbookPart), relationships, reason)))
        return fail(reason);

    for (const Relationship &r : relationships)
        if (r.kind == QLatin1String("sharedStrings")) {
            if (r.target.isEmpty() || !readXml(r.target, xml) || !parseSharedStrings(xml, texts, reason))
                return fail(reason.isEmpty() ? QStringLiteral("the shared strings are missing") : reason);
            break;
        }
    const QVector<QString> sharedStrings = texts;

    for (const SheetEntry &entry : entries) {
        const auto r = std::find_if(relationships.cbegin(), relationships.cend(),
                                    [&](const Relationship &x) { return x.id == entry.relationshipId; });
        if (r == relationships.cend())
            return fail(QStringLiteral("the sheet %1 has no part").arg(entry.name));
        Sheet sheet;
        sheet.name = entry.name;
        // Chart, dialog and macro sheets count as sheets and hold no cells.
        if (r->kind == QLatin1String("worksheet")) {
            if (r->target.isEmpty())
                return fail(QStringLiteral("the sheet %1 lies outside the package").arg(entry.name));
            WorksheetParser one(sharedStrings, texts, date1904);
            if (!readXml(r->target, xml) || !one.parse(xml, sheet.cells, reason))
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
