#include "catalogue/xlsx_package.h"

#include "catalogue/xlsx_xml_guard.h"

#include <QStringList>
#include <QUrl>
#include <algorithm>
#include <quazip/quazipfile.h>

namespace Xlsx {

namespace {

const QString packageRelations = QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships");
const QString contentTypes = QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types");

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

// The relationship type without its Transitional or Strict prefix ("worksheet"); other types
// come back whole and match nothing we read.
QString relationshipKind(const QString &type)
{
    for (const QString &prefix : {transitionalRelations, strictRelations})
        if (type.size() > prefix.size() && type.startsWith(prefix) && type.at(prefix.size()) == QLatin1Char('/'))
            return type.mid(prefix.size() + 1);
    return type;
}

QString folderOf(const QString &partName)
{
    const int slash = partName.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : partName.left(slash);
}

// "_rels/.rels" for the package root (an empty partName).
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

}  // namespace

bool Package::open(const QByteArray &bytes, QString &reason)
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
    QByteArray xml;
    return readXml(QStringLiteral("[Content_Types].xml"), xml, reason)
           && checkWellFormed(xml, QStringLiteral("Types"), contentTypes, reason);
}

bool Package::contains(const QString &partName) const { return entries.contains(partKey(partName)); }

bool Package::read(const QString &partName, QByteArray &bytes, QString &reason)
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

// Every XML part passes the byte scan before the parser sees it.
bool Package::readXml(const QString &partName, QByteArray &xml, QString &reason)
{
    return read(partName, xml, reason) && prescanXml(xml, reason);
}

bool Package::hasRelationships(const QString &partName) const { return contains(relationshipsPartOf(partName)); }

bool Package::readRelationships(const QString &partName, QVector<Relationship> &out, QString &reason)
{
    QByteArray xml;
    return readXml(relationshipsPartOf(partName), xml, reason)
           && parseRelationships(xml, folderOf(partName), out, reason);
}

}  // namespace Xlsx
