#include "catalogue/xlsx_xml_guard.h"

#include <cstring>

namespace Xlsx {

const QString transitionalMain = QStringLiteral("http://schemas.openxmlformats.org/spreadsheetml/2006/main");
const QString strictMain = QStringLiteral("http://purl.oclc.org/ooxml/spreadsheetml/main");
const QString transitionalRelations =
    QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
const QString strictRelations = QStringLiteral("http://purl.oclc.org/ooxml/officeDocument/relationships");

// The parser checks duplicate attributes in quadratic time and expands entities declared in a DTD,
// so over-long tags and any DTD never reach it.
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

}  // namespace Xlsx
