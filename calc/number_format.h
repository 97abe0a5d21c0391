#pragma once

#include <QString>
#include <optional>

// Result texts. Always "." as the decimal point and no grouping, whatever the locale.

QString formatCurrent(float mA);  // one decimal + "mA": 37.46 -> "37.5mA"
QString formatLength(float m);    // one decimal + "m"
QString formatCap(float maxLoopLength);  // at most 6 significant digits + "m": 1500.5 -> "1500.5m"
QString formatCount(qint64 count);

// What the two length cells of a loop show; nothing (keep the cells) for a length that is not
// a number. Without voltage margin the loop has no usable length at all.
std::optional<QString> lengthCellText(float maxLength, float maxLoopLength, bool noVoltageMargin);
