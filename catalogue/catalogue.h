#pragma once

#include <QString>
#include <optional>

// Fixed capacities of the catalogue arrays and of the per-loop widget grid.
constexpr int kPanelCapacity = 10;
constexpr int kCableCapacity = 15;
constexpr int kDeviceCapacity = 55;
constexpr int kMaxLoops = 16;
constexpr int kMaxDeviceRows = 110;

struct PanelRecord {
    QString code;
    QString name;
    qint32 loopCount = 0;
    float loopVoltage = 0.0f;     // V
    float maxLoopCurrent = 0.0f;  // mA
    qint32 maxDevices[kMaxLoops] = {};
    // The panel's own draw (board, display, charger; not the loops), mA; nothing: not given.
    std::optional<float> ownQuiescentCurrent;
    std::optional<float> ownAlarmCurrent;
};

struct CableRecord {
    QString code;
    QString name;
    float resistance = 0.0f;  // ohm per km of one conductor
};

struct DeviceRecord {
    QString code;
    QString name;
    QString type;
    float quiescentCurrent = 0.0f;  // mA per device
    float alarmCurrent = 0.0f;      // mA per device
    qint32 loopCounts[kMaxLoops] = {};
    bool hasSecondRow = false;
    QString secondRowName;
    qint32 secondRowLoopCounts[kMaxLoops] = {};
};

struct ConditionValues {
    float minLoopVoltage = 0.0f;  // V
    float maxLoopLength = 0.0f;   // m
    qint32 maxDeviceSum = 0;
};

struct Catalogue {
    PanelRecord panels[kPanelCapacity];
    qint32 panelCount = 0;
    CableRecord cables[kCableCapacity];
    qint32 cableCount = 0;
    DeviceRecord devices[kDeviceCapacity];
    qint32 deviceCount = 0;
    ConditionValues condition;
    qint32 extraDeviceRows = 0;
    QString catalogueVersion;
    qint32 catalogueVersionNumber = 0;
};

// The one process-wide catalogue: filled during start-up, read-only afterwards.
extern Catalogue catalogue;

// Counts clamped to what the arrays hold, for every loop over the records.
int validPanelCount(const Catalogue &c);
int validCableCount(const Catalogue &c);
int validDeviceCount(const Catalogue &c);
