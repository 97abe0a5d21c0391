#pragma once

class QWidget;

// A wheel turned over the widget while it does not have the focus changes nothing: the widget
// takes the focus by click or Tab only, and the wheel goes on to its parents, so that a table
// under the pointer scrolls. For combo boxes, which Qt lets a wheel change without focus.
void ignoreWheelWithoutFocus(QWidget *widget);
