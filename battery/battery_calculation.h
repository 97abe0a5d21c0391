#pragma once

#include "calc/loop_calculation.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

// Battery standby capacity from the loop totals, by BS 5839-1 or NFPA 72. Currents are held in mA
// as everywhere else; the formulas take them in A. T1 is in hours, T2 in minutes as typed.

enum class BatteryStandard { Bs5839_1, Nfpa72_2022, Nfpa72_2019 };

constexpr BatteryStandard kBatteryStandards[] = {BatteryStandard::Bs5839_1, BatteryStandard::Nfpa72_2022,
                                                 BatteryStandard::Nfpa72_2019};

QString batteryStandardName(BatteryStandard standard);  // "BS 5839-1", "NFPA 72-2022", "NFPA 72-2019"
QString batteryStandardKey(BatteryStandard standard);   // "bs5839-1", "nfpa72-2022", "nfpa72-2019"
std::optional<BatteryStandard> batteryStandardFromKey(const QString &key);

struct BatteryPeriods {
    double standbyHours = 24.0;
    double alarmMinutes = 30.0;
};
// BS 5839-1: 24 h and 30 min. NFPA 72: 24 h and 5 min (15 min for voice evacuation is typed).
BatteryPeriods defaultBatteryPeriods(BatteryStandard standard);

// What the user sets: kept in the project and its file block. An empty field is nothing.
struct BatteryInputs {
    BatteryStandard standard = BatteryStandard::Bs5839_1;
    std::optional<double> standbyHours = 24.0;
    std::optional<double> alarmMinutes = 30.0;
    // The panel's own currents in mA. Not typed: the catalogue's for whichever panel is chosen,
    // so a corrected catalogue reaches the project. Typed: the value, or nothing when cleared.
    bool ownQuiescentTyped = false;
    std::optional<double> ownQuiescent;
    bool ownAlarmTyped = false;
    std::optional<double> ownAlarm;
    std::optional<double> additionalStandby;  // mA; nothing counts as 0
    std::optional<double> additionalAlarm;    // mA
};
bool operator==(const BatteryInputs &a, const BatteryInputs &b);
inline bool operator!=(const BatteryInputs &a, const BatteryInputs &b) { return !(a == b); }

// The inputs of a new project for a standard: its periods, the catalogue's own currents, no
// additional loads.
BatteryInputs defaultBatteryInputs(BatteryStandard standard = BatteryStandard::Bs5839_1);

// Values given for one run (the project tool's options) over those of the project. A standard
// other than the project's brings its own default periods, as choosing it in the window does;
// periods given stand over those.
struct BatteryOverrides {
    std::optional<BatteryStandard> standard;
    std::optional<double> standbyHours;
    std::optional<double> alarmMinutes;
};
void applyBatteryOverrides(BatteryInputs &inputs, const BatteryOverrides &overrides);

// One loop's totals as the battery needs them.
enum class BatteryLoopState { Calculated, LeftOut, NoResult };
struct BatteryLoopTotal {
    BatteryLoopState state = BatteryLoopState::NoResult;
    double quiescentMa = 0.0;
    double alarmMa = 0.0;
};

// Loops 0..loopCount-1 of a calculation: a loop the checks excluded is left out.
QVector<BatteryLoopTotal> batteryLoopTotals(const LoopResults &results, int loopCount);

// Everything the formulas need, resolved: the own currents are either typed or the catalogue's.
struct BatteryCalculationInputs {
    BatteryStandard standard = BatteryStandard::Bs5839_1;
    std::optional<double> standbyHours;
    std::optional<double> alarmMinutes;
    bool panelChosen = false;
    QString panelName;
    std::optional<double> ownQuiescentMa;
    std::optional<double> ownAlarmMa;
    bool ownQuiescentTyped = false;
    bool ownAlarmTyped = false;
    double additionalStandbyMa = 0.0;
    double additionalAlarmMa = 0.0;
    QVector<BatteryLoopTotal> loops;
};

// panel: the chosen panel's catalogue record, nullptr when none is chosen.
BatteryCalculationInputs resolveBatteryInputs(const BatteryInputs &inputs, const PanelRecord *panel,
                                              const QVector<BatteryLoopTotal> &loops);

struct BatteryResult {
    bool calculated = false;
    QString reason;  // why not, when not calculated: "the catalogue gives no own current for panel X"

    BatteryStandard standard = BatteryStandard::Bs5839_1;
    double standbyHours = 0.0;
    double alarmMinutes = 0.0;
    // I1 and I2 with their three parts, mA
    double ownStandbyMa = 0.0, loopsStandbyMa = 0.0, additionalStandbyMa = 0.0, standbyMa = 0.0;
    double ownAlarmMa = 0.0, loopsAlarmMa = 0.0, additionalAlarmMa = 0.0, alarmMa = 0.0;
    double factor = 0.0;        // the leading 1.25 of BS 5839-1, NFPA 72's safety factor SF
    std::optional<double> d;    // BS 5839-1's D: 1 within the 20-hour rate, else 1.75
    double requiredAh = 0.0;    // C, unrounded
    std::optional<double> batteryAh;  // nothing: above the largest battery, the load must be divided
};

BatteryResult calculateBattery(const BatteryCalculationInputs &inputs);

// The batteries offered, Ah, smallest first.
const QVector<double> &batterySizes();
// The smallest battery of at least requiredAh; nothing above the largest.
std::optional<double> chooseBattery(double requiredAh);

// Texts, "." as decimal point whatever the locale.
QString formatBatteryCurrent(double mA);     // "197.8mA"
QString formatAmpHours(double ah);           // two decimals: "6.63Ah"
QString formatBatterySize(double ah);        // "7Ah", "1.2Ah"
QString formatHours(double hours);           // "24h", "0.5h"
QString formatMinutes(double minutes);       // "30min", "7.5min"
QString formatFactor(double factor);         // "1.75", "1", "1.2"
// "C = 1.25 × (24h × 0.1978A + 1.75 × 0.5h × 0.6340A) = 6.63Ah"
QString batteryFormulaText(const BatteryResult &result);
// "7Ah", or "the load must be divided" above the largest battery.
QString batteryChoiceText(const BatteryResult &result);
extern const QString kLoadMustBeDivided;

// What the Battery tab and the PDF show, one line each: the standard and periods, I1 and I2 with
// their parts, D or SF, the formula, the capacity and the battery; or "Not calculated: " and why.
QStringList batteryResultLines(const BatteryResult &result);
