#pragma once

// The guarded XML layer of the .xlsx reader, beneath the package and the part parsers. Bytes that
// pass prescanXml hold no NUL, no document type and no tag longer than XlsxLimits::maxTagBytes, so
// the XML parser never expands an entity and never spends quadratic time on a tag's attributes.
// An XmlWalker never opens more than XlsxLimits::maxElementDepth elements, matches elements by
// namespace URI and local name (never by prefix), and once it stops, stays stopped with a reason.

#include "catalogue/xlsx_reader.h"

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

namespace Xlsx {

// SpreadsheetML and its relationships, in the Transitional and in the Strict form.
extern const QString transitionalMain;
extern const QString strictMain;
extern const QString transitionalRelations;
extern const QString strictRelations;

// Cheap byte scan ahead of the XML parser; false, with reason, when the bytes must not reach it.
bool prescanXml(const QByteArray &xml, QString &reason);

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
    bool isMainElement(const char *localName) const
    {
        const QStringRef ns = xml.namespaceUri();
        return (ns == transitionalMain || ns == strictMain) && xml.name() == QLatin1String(localName);
    }

    QXmlStreamReader xml;
    int depth = 0;
    bool failed = false;
    QString reason;
};

}  // namespace Xlsx
