#pragma once

#include "catalogue/catalogue.h"

#include <QMap>
#include <QString>
#include <QVector>

// Working state of the open project. Results of a calculation are not kept here.
struct LoopState {
    int loopCount = 0;  // 0 while no panel is selected; always 0..16
    QString selectedPanelName;  // empty while no panel is chosen
    float panelLoopVoltage = 0.0f;
    float panelMaxLoopCurrent = 0.0f;
    int loopMaxDevices[kMaxLoops] = {};
    QString loopCableNames[kMaxLoops];
    QString loopCableCaptions[kMaxLoops];
    float loopCableResistance[kMaxLoops] = {};

    // Ordered by QString's operator<, i.e. UTF-16 code units; that order is what the user sees.
    QMap<QString, PanelRecord> panelsByName;
    QMap<QString, CableRecord> cablesByName;
    QMap<QString, DeviceRecord> devicesByKey;  // the copies carry the project's device counts
};

extern LoopState loopState;

// A panel's loop count as the window uses it: never below 0 nor above the 16 loops it has room for.
int usableLoopCount(int panelLoopCount);

// Rows of the "Number of Device" grid: deviceCount + extraDeviceRows, kept within 0..110.
int deviceGridRowCount(const Catalogue &c);

struct DeviceRow {
    QString key;     // key in devicesByKey
    bool secondRow;  // the row holds the device's secondRowLoopCounts
    int row;         // grid row index
};

// The device row order: devices in ascending key order, a second row directly below its device.
// Stops at rowLimit, so a catalogue whose extraDeviceRows is too small never runs past the grid.
QVector<DeviceRow> deviceRowOrder(const QMap<QString, DeviceRecord> &devices, int rowLimit);
