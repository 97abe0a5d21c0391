#pragma once

#include "calc/loop_calculation.h"

#include <QColor>
#include <QString>
#include <optional>

// What one loop shows after a calculation: the cells of both result tables and its comment line.
struct LoopResultTexts {
    bool shown = false;  // false: a left-out loop, whose cells keep what they held
    QString quiescent;   // "29.9mA"
    QString alarm;
    std::optional<QString> length;  // none: the length cells keep what they held
    QString detectors, modules, sounders, others;
    CurrentStatus status = CurrentStatus::Normal;
    QString comment;  // the comment label's text after the run
};

// The texts of loop k (from 0) of a calculation, with the catalogue's maximum loop length as cap.
LoopResultTexts loopResultTexts(const LoopResults &results, int k, float maxLoopLength);

// The colour a state is marked with, in the window and on paper alike.
QColor statusColour(CurrentStatus status);
