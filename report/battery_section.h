#pragma once

#include "battery/battery_calculation.h"

#include <QRect>

class QPainter;

// The summary sheet's battery section: a heading, then the lines of batteryResultLines (the
// standard, periods, currents with their parts, the factors, the formula with its numbers, the
// capacity and the battery), wrapped to area's width from its top. Returns the height used;
// nothing is drawn below area's bottom.
int drawBatterySection(QPainter &painter, const QRect &area, const BatteryResult &result);
