#include "app/font_substitutes.h"

#include <QFont>
#include <QStringList>

void installFontSubstitutes()
{
    // AR PL UMing draws Latin text about as narrow as SimSun; without it the platform's choice
    // (DejaVu Sans Bold here) runs "Cable Type:" into the first cable caption. A face that is
    // not installed is skipped, so the list may name several.
    const QStringList substitutes{QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW"),
                                  QStringLiteral("AR PL UMing HK")};
    for (const char *family : {"SimSun", "SimSum"})
        if (QFont::substitutes(QLatin1String(family)).isEmpty())
            QFont::insertSubstitutions(QLatin1String(family), substitutes);
}
