#include "calc/number_format.h"

// QString::number formats in the C locale, never the default QLocale nor LC_NUMERIC.

QString formatCurrent(float mA) { return QString::number(double(mA), 'f', 1) + QStringLiteral("mA"); }

QString formatLength(float m) { return QString::number(double(m), 'f', 1) + QLatin1Char('m'); }

QString formatCap(float maxLoopLength) { return QString::number(double(maxLoopLength), 'g', 6) + QLatin1Char('m'); }

QString formatCount(qint64 count) { return QString::number(count); }

std::optional<QString> lengthCellText(float maxLength, float maxLoopLength, bool noVoltageMargin)
{
    if (noVoltageMargin)
        return formatLength(0.0f);
    if (maxLength >= maxLoopLength)
        return formatCap(maxLoopLength);
    if (maxLoopLength > maxLength)
        return formatLength(maxLength);
    return std::nullopt;
}
