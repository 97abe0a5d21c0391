#pragma once

#include "catalogue/catalogue.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

enum class CurrentStatus { Normal, NearLimit, Overloaded };

// Working totals of one calculation, index = loop number - 1. The device counts are summed in
// 64 bits: a project file can put any whole number into a count field.
struct LoopTotals {
    qint64 deviceTotal[kMaxLoops] = {};
    qint64 restrictedTotal[kMaxLoops] = {};  // codes "7", "8" and "9", both rows
    float quiescentTotal[kMaxLoops] = {};    // mA
    float alarmTotal[kMaxLoops] = {};        // mA
    float maxLength[kMaxLoops] = {};         // m
    qint64 detectorTotal[kMaxLoops] = {};
    qint64 moduleTotal[kMaxLoops] = {};
    qint64 sounderTotal[kMaxLoops] = {};
    qint64 otherTotal[kMaxLoops] = {};
};

// The panel and cable check before anything is read or written. `complete` is false when the
// calculation must stop; the warnings are in the order they are shown.
struct SelectionCheck {
    QStringList warnings;
    bool complete = false;
};

// cableTexts holds the current text of each loop's cable combo box, loop 1 first.
SelectionCheck checkSelection(const QString &panelText, int loopCount, const QStringList &cableTexts);

struct CalculationInputs {
    int loopCount = 0;  // 0..16
    // False when the device table shows no loop column: the counts are then not read and the
    // currents use what the device records already hold.
    bool readCounts = false;
    QVector<QStringList> countTexts;  // [grid row][loop]; the number of rows bounds the grid
    float panelLoopVoltage = 0.0f;
    float panelMaxLoopCurrent = 0.0f;
    int loopMaxDevices[kMaxLoops] = {};
    float loopCableResistance[kMaxLoops] = {};
    ConditionValues condition;
};

struct LoopResults {
    LoopTotals totals;
    bool restrictedExceeded[kMaxLoops] = {};
    bool maxDevicesExceeded[kMaxLoops] = {};
    // A catalogue value the loop depends on is not a finite number, or a resistance or current
    // is negative: its numbers would mean nothing, so the loop gets a warning instead.
    bool unsoundInputs[kMaxLoops] = {};
    CurrentStatus status[kMaxLoops] = {};
    // The panel voltage does not exceed the minimum loop voltage: no loop has a usable length.
    bool noVoltageMargin = false;
    // every restricted-device warning, then every device-number warning, then every
    // unsound-input warning
    QStringList checkWarnings;
    // Per loop, the warnings that left it out, in the same words and order.
    QStringList leftOutReasons[kMaxLoops];

    bool excluded(int loop) const
    {
        return restrictedExceeded[loop] || maxDevicesExceeded[loop] || unsoundInputs[loop];
    }
};

// Reads the counts into `devices` (when inputs.readCounts), checks the two device-number limits and
// computes currents, lengths and statuses of loops 0..loopCount-1.
LoopResults calculateLoops(QMap<QString, DeviceRecord> &devices, const CalculationInputs &inputs);

// A count field's value: a decimal whole number; anything else, and a negative number, is 0.
int parseCountText(const QString &text);

bool isRestrictedCode(const QString &code);

// Names (and second-row names) of the devices with a restricted code, joined by "、".
QString restrictedDeviceList(const QMap<QString, DeviceRecord> &devices);

// (V - Vmin) x 1000 / (2 x alarm x R) x 1000, in double, stored as float.
float maximumLength(float loopVoltage, float minLoopVoltage, float alarmTotal, float resistance);

CurrentStatus currentStatus(float alarmTotal, float maxLoopCurrent);

// The comment and warning text of a loop whose catalogue values are unusable.
QString unsoundInputsMessage(int loopNumber);

// The comment and warning text of a status; empty for Normal.
QString statusMessage(CurrentStatus status, int loopNumber);
