#include "app/font_substitutes.h"

#include <QFont>
#include <QStringList>

namespace {

// The sans face Latin text is set in; the first one installed is taken.
QStringList sansFaces()
{
#ifdef Q_OS_WIN
    return {QStringLiteral("Segoe UI"), QStringLiteral("Arial")};
#else
    return {QStringLiteral("DejaVu Sans")};
#endif
}

// Faces with CJK coverage, for a system that lacks every sans face above; glyphs the sans face
// lacks (the full-width colon, CJK names) come from the platform's fallback, which takes these.
QStringList cjkFaces()
{
#ifdef Q_OS_WIN
    return {QStringLiteral("Microsoft YaHei"), QStringLiteral("SimSun")};
#else
    return {QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW"), QStringLiteral("AR PL UMing HK")};
#endif
}

}  // namespace

void installFontSubstitutes()
{
    const QStringList substitutes = sansFaces() + cjkFaces();
    for (const char *family : {"SimSun", "SimSum"})
        if (QFont::substitutes(QLatin1String(family)).isEmpty())
            QFont::insertSubstitutions(QLatin1String(family), substitutes);
}
