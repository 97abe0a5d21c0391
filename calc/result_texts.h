#pragma once

#include "calc/loop_calculation.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <optional>

// What one loop shows after a calculation: the cells of both result tables and its comment lines.
struct LoopResultTexts {
    bool shown = false;  // false: a left-out loop, which shows no figure and no state
    QString quiescent;   // "29.9mA"
    QString alarm;
    std::optional<QString> length;  // none: a length that is not a number shows nothing
    QString detectors, modules, sounders, others;
    CurrentStatus status = CurrentStatus::Normal;
    // The loop's comment lines: the current warning of a shown loop, or every reason that left
    // the loop out, in the words of its warning boxes.
    QStringList comments;
};

// The texts of loop k (from 0) of a calculation, with the catalogue's maximum loop length as cap.
LoopResultTexts loopResultTexts(const LoopResults &results, int k, float maxLoopLength);

// The colour a state is marked with, in the window and on paper alike.
QColor statusColour(CurrentStatus status);

// "×" over the limit, "√" otherwise.
QString statusSymbol(CurrentStatus status);
