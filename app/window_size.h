#pragma once

#include <QSize>

// The window's first size: `wanted`, made smaller where the window with its frame would not fit
// into the screen's available area. Never negative; Qt keeps the window's minimum size.
QSize firstWindowSize(const QSize &wanted, const QSize &available, const QSize &frame);
