#pragma once

// The zip package of a workbook, above the guarded XML layer and beneath the part parsers. A
// package that opened is a complete zip of at most XlsxLimits::maxZipEntries distinct parts with a
// [Content_Types].xml. A part comes back whole and checksummed, within the limits of one part and of
// all parts together, and an XML part has passed prescanXml. Part names compare case-insensitively;
// a relationship's target is a part name inside the package, or empty.

#include <QBuffer>
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>
#include <quazip/quazip.h>
#include <quazip/quazipfileinfo.h>

namespace Xlsx {

struct Relationship {
    QString id;
    QString kind;    // the type without its Transitional or Strict prefix ("worksheet")
    QString target;  // resolved part name, empty for an external or unresolvable target
};

// QBuffer warns on every seek past its end, which damaged archives ask for; a refusal is enough.
class QuietBuffer final : public QBuffer {
public:
    bool seek(qint64 position) override { return position >= 0 && position <= size() && QBuffer::seek(position); }
};

// Only the parts the workbook reaches are inflated, each counted as it inflates. Every function
// returns false with reason on failure.
class Package {
public:
    bool open(const QByteArray &bytes, QString &reason);
    bool read(const QString &partName, QByteArray &bytes, QString &reason);
    bool readXml(const QString &partName, QByteArray &xml, QString &reason);

    // The relationships of a part; an empty partName stands for the package root.
    bool hasRelationships(const QString &partName) const;
    bool readRelationships(const QString &partName, QVector<Relationship> &out, QString &reason);

private:
    bool contains(const QString &partName) const;

    QuietBuffer buffer;
    QuaZip zip;
    QHash<QString, QuaZipFileInfo64> entries;
    qint64 totalBytes = 0;
};

}  // namespace Xlsx
