#include "app/scratch_names.h"

namespace {

const QString kSuffix = QStringLiteral(".saving");
constexpr int kTagDigits = 8;

QString hex8(quint32 value) { return QStringLiteral("%1").arg(value, kTagDigits, 16, QLatin1Char('0')); }

// FNV-1a over the UTF-16 units of the lower-cased name: the same on every run and platform.
quint32 nameHash(const QString &fileName)
{
    quint32 hash = 2166136261u;
    for (const QChar c : fileName.toLower()) {
        hash = (hash ^ (c.unicode() & 0xFF)) * 16777619u;
        hash = (hash ^ (c.unicode() >> 8)) * 16777619u;
    }
    return hash;
}

}  // namespace

QString scratchPrefix(const QString &fileName)
{
    const QString whole = QLatin1Char('.') + fileName + QLatin1Char('.');
    if (whole.size() + kTagDigits + kSuffix.size() <= kMaxNameLength)
        return whole;
    // "." NAME "~" HASH "." TAG ".saving"
    int keep = kMaxNameLength - (1 + 1 + kTagDigits + 1 + kTagDigits + kSuffix.size());
    if (fileName.at(keep - 1).isHighSurrogate())
        --keep;
    return QLatin1Char('.') + fileName.left(keep) + QLatin1Char('~') + hex8(nameHash(fileName)) + QLatin1Char('.');
}

QString scratchFileName(const QString &fileName, quint32 tag) { return scratchPrefix(fileName) + hex8(tag) + kSuffix; }

bool isScratchOf(const QString &candidate, const QString &fileName)
{
    const QString older = QLatin1Char('.') + fileName + QLatin1Char('.');
    if (candidate.compare(older + QLatin1String("saving"), Qt::CaseInsensitive) == 0
        || candidate.compare(older + QLatin1String("writing"), Qt::CaseInsensitive) == 0)
        return true;
    const QString prefix = scratchPrefix(fileName);
    if (!candidate.startsWith(prefix, Qt::CaseInsensitive))
        return false;
    const QString rest = candidate.mid(prefix.size());
    if (rest.size() != kTagDigits + kSuffix.size() || !rest.endsWith(kSuffix, Qt::CaseInsensitive))
        return false;
    for (int i = 0; i < kTagDigits; ++i) {
        const ushort c = rest.at(i).toLower().unicode();
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}
