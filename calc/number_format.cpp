#include "calc/number_format.h"

#include <charconv>
#include <system_error>

namespace {

// One decimal, correctly rounded with ties to even as printf's "%.1f" does (QString::number
// rounds an exact binary tie such as 0.25 away from zero), and independent of any locale.
QString oneDecimal(float value)
{
    char buffer[64];  // the largest float has 39 integer digits
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof buffer, double(value), std::chars_format::fixed, 1);
    if (r.ec != std::errc())
        return QString();
    return QString::fromLatin1(buffer, int(r.ptr - buffer));
}

}  // namespace

QString formatCurrent(float mA) { return oneDecimal(mA) + QStringLiteral("mA"); }

QString formatLength(float m) { return oneDecimal(m) + QLatin1Char('m'); }

// QString::number formats in the C locale, never the default QLocale nor LC_NUMERIC.
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
