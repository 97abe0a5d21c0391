#include "battery/battery_calculation.h"

#include "loops/loop_indexes.h"

#include <charconv>
#include <cmath>
#include <system_error>

const QString kLoadMustBeDivided = QStringLiteral("the load must be divided");

namespace {

// Correctly rounded from the binary value, independent of any locale.
QString fixed(double value, int decimals)
{
    char buffer[400];
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc())
        return QString::number(value, 'g', 6);
    return QString::fromLatin1(buffer, int(r.ptr - buffer));
}

// At most `decimals` decimals, without trailing zeros: 24 -> "24", 0.5 -> "0.5".
QString trimmed(double value, int decimals)
{
    QString text = fixed(value, decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

bool usable(double value) { return std::isfinite(value) && value >= 0.0; }

// A comparison within rounding noise: sums of float totals carry it in the last bits.
bool atMost(double value, double limit) { return value <= limit * (1.0 + 1e-12); }

QString loopList(const QStringList &loops)
{
    if (loops.size() == 1)
        return loops.first();
    return loops.mid(0, loops.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + loops.last();
}

}  // namespace

QString batteryStandardName(BatteryStandard standard)
{
    switch (standard) {
    case BatteryStandard::Nfpa72_2022:
        return QStringLiteral("NFPA 72-2022");
    case BatteryStandard::Nfpa72_2019:
        return QStringLiteral("NFPA 72-2019");
    case BatteryStandard::Bs5839_1:
        break;
    }
    return QStringLiteral("BS 5839-1");
}

QString batteryStandardKey(BatteryStandard standard)
{
    // "BS 5839-1" -> "bs5839-1": one spelling per standard to keep in step.
    return batteryStandardName(standard).toLower().remove(QLatin1Char(' '));
}

std::optional<BatteryStandard> batteryStandardFromKey(const QString &key)
{
    for (BatteryStandard standard : kBatteryStandards)
        if (batteryStandardKey(standard) == key)
            return standard;
    return std::nullopt;
}

BatteryPeriods defaultBatteryPeriods(BatteryStandard standard)
{
    if (standard == BatteryStandard::Bs5839_1)
        return {24.0, 30.0};
    return {24.0, 5.0};
}

bool operator==(const BatteryInputs &a, const BatteryInputs &b)
{
    return a.standard == b.standard && a.standbyHours == b.standbyHours && a.alarmMinutes == b.alarmMinutes &&
           a.ownQuiescentTyped == b.ownQuiescentTyped && a.ownQuiescent == b.ownQuiescent &&
           a.ownAlarmTyped == b.ownAlarmTyped && a.ownAlarm == b.ownAlarm &&
           a.additionalStandby == b.additionalStandby && a.additionalAlarm == b.additionalAlarm;
}

BatteryInputs defaultBatteryInputs(BatteryStandard standard)
{
    BatteryInputs inputs;
    const BatteryPeriods periods = defaultBatteryPeriods(standard);
    inputs.standard = standard;
    inputs.standbyHours = periods.standbyHours;
    inputs.alarmMinutes = periods.alarmMinutes;
    return inputs;
}

void applyBatteryOverrides(BatteryInputs &inputs, const BatteryOverrides &overrides)
{
    if (overrides.standard && *overrides.standard != inputs.standard) {
        const BatteryPeriods periods = defaultBatteryPeriods(*overrides.standard);
        inputs.standard = *overrides.standard;
        inputs.standbyHours = periods.standbyHours;
        inputs.alarmMinutes = periods.alarmMinutes;
    }
    if (overrides.standbyHours)
        inputs.standbyHours = overrides.standbyHours;
    if (overrides.alarmMinutes)
        inputs.alarmMinutes = overrides.alarmMinutes;
}

QVector<BatteryLoopTotal> batteryLoopTotals(const LoopResults &results, int loopCount)
{
    QVector<BatteryLoopTotal> loops;
    for (int k = 0; k < loopCount && k < kMaxLoops; ++k) {
        BatteryLoopTotal loop;
        if (results.excluded(k)) {
            loop.state = BatteryLoopState::LeftOut;
        } else {
            loop.state = BatteryLoopState::Calculated;
            loop.quiescentMa = double(results.totals.quiescentTotal[k]);
            loop.alarmMa = double(results.totals.alarmTotal[k]);
        }
        loops.append(loop);
    }
    return loops;
}

BatteryCalculationInputs resolveBatteryInputs(const BatteryInputs &inputs, const PanelRecord *panel,
                                              const QVector<BatteryLoopTotal> &loops)
{
    BatteryCalculationInputs resolved;
    resolved.standard = inputs.standard;
    resolved.standbyHours = inputs.standbyHours;
    resolved.alarmMinutes = inputs.alarmMinutes;
    resolved.panelChosen = panel != nullptr;
    if (panel)
        resolved.panelName = panel->name;
    resolved.ownQuiescentTyped = inputs.ownQuiescentTyped;
    resolved.ownAlarmTyped = inputs.ownAlarmTyped;
    if (inputs.ownQuiescentTyped)
        resolved.ownQuiescentMa = inputs.ownQuiescent;
    else if (panel && panel->ownQuiescentCurrent)
        resolved.ownQuiescentMa = double(*panel->ownQuiescentCurrent);
    if (inputs.ownAlarmTyped)
        resolved.ownAlarmMa = inputs.ownAlarm;
    else if (panel && panel->ownAlarmCurrent)
        resolved.ownAlarmMa = double(*panel->ownAlarmCurrent);
    resolved.additionalStandbyMa = inputs.additionalStandby.value_or(0.0);
    resolved.additionalAlarmMa = inputs.additionalAlarm.value_or(0.0);
    resolved.loops = loops;
    return resolved;
}

const QVector<double> &batterySizes()
{
    static const QVector<double> sizes{1.2, 2.1, 3.2, 7, 12, 17, 24, 38, 45, 65, 100};
    return sizes;
}

std::optional<double> chooseBattery(double requiredAh)
{
    for (double size : batterySizes())
        if (atMost(requiredAh, size))
            return size;
    return std::nullopt;
}

BatteryResult calculateBattery(const BatteryCalculationInputs &in)
{
    BatteryResult r;
    r.standard = in.standard;

    QStringList reasons;
    if (!in.panelChosen)
        reasons.append(QStringLiteral("no panel is chosen"));
    if (!in.standbyHours)
        reasons.append(QStringLiteral("the standby period is not given"));
    else if (!usable(*in.standbyHours))
        reasons.append(QStringLiteral("the standby period is not a usable number"));
    if (!in.alarmMinutes)
        reasons.append(QStringLiteral("the alarm period is not given"));
    else if (!usable(*in.alarmMinutes))
        reasons.append(QStringLiteral("the alarm period is not a usable number"));

    QStringList leftOut, noResult;
    for (int k = 0; k < in.loops.size(); ++k) {
        const BatteryLoopTotal &loop = in.loops.at(k);
        if (loop.state == BatteryLoopState::LeftOut)
            leftOut.append(loopLabel(k + 1));
        else if (loop.state == BatteryLoopState::NoResult)
            noResult.append(loopLabel(k + 1));
        else if (!usable(loop.quiescentMa) || !usable(loop.alarmMa))
            leftOut.append(loopLabel(k + 1));
    }
    if (!leftOut.isEmpty())
        reasons.append(loopList(leftOut) + (leftOut.size() == 1 ? QStringLiteral(" is left out of the calculation")
                                                                : QStringLiteral(" are left out of the calculation")));
    if (!noResult.isEmpty())
        reasons.append(loopList(noResult) +
                       (noResult.size() == 1 ? QStringLiteral(" has no result") : QStringLiteral(" have no result")));

    if (in.panelChosen) {
        const bool catalogueMissing = (!in.ownQuiescentTyped && !in.ownQuiescentMa) ||
                                      (!in.ownAlarmTyped && !in.ownAlarmMa);
        if (catalogueMissing)
            reasons.append(QStringLiteral("the catalogue gives no own current for panel %1").arg(in.panelName));
        if (in.ownQuiescentTyped && !in.ownQuiescentMa)
            reasons.append(QStringLiteral("the panel's own quiescent current is not given"));
        if (in.ownAlarmTyped && !in.ownAlarmMa)
            reasons.append(QStringLiteral("the panel's own alarm current is not given"));
        if ((in.ownQuiescentMa && !usable(*in.ownQuiescentMa)) || (in.ownAlarmMa && !usable(*in.ownAlarmMa)))
            reasons.append(QStringLiteral("the panel's own current is not a usable number"));
    }
    if (!usable(in.additionalStandbyMa) || !usable(in.additionalAlarmMa))
        reasons.append(QStringLiteral("an additional load is not a usable number"));

    if (!reasons.isEmpty()) {
        r.reason = reasons.join(QStringLiteral("; "));
        return r;
    }

    r.standbyHours = *in.standbyHours;
    r.alarmMinutes = *in.alarmMinutes;
    r.ownStandbyMa = *in.ownQuiescentMa;
    r.ownAlarmMa = *in.ownAlarmMa;
    for (const BatteryLoopTotal &loop : in.loops) {
        r.loopsStandbyMa += loop.quiescentMa;
        r.loopsAlarmMa += loop.alarmMa;
    }
    r.additionalStandbyMa = in.additionalStandbyMa;
    r.additionalAlarmMa = in.additionalAlarmMa;
    r.standbyMa = r.ownStandbyMa + r.loopsStandbyMa + r.additionalStandbyMa;
    r.alarmMa = r.ownAlarmMa + r.loopsAlarmMa + r.additionalAlarmMa;

    const double t1 = r.standbyHours;
    const double t2 = r.alarmMinutes / 60.0;
    const double i1 = r.standbyMa / 1000.0;
    const double i2 = r.alarmMa / 1000.0;
    if (in.standard == BatteryStandard::Bs5839_1) {
        r.factor = 1.25;
        // D = 1 while the alarm current stays within the battery's 20-hour rate (C/20) for the C
        // found with D = 1; otherwise the battery is derated by D = 1.75 and C found again.
        const double withoutDerating = r.factor * (t1 * i1 + t2 * i2);
        r.d = atMost(i2, withoutDerating / 20.0) ? 1.0 : 1.75;
        r.requiredAh = r.factor * (t1 * i1 + *r.d * t2 * i2);
    } else {
        r.factor = in.standard == BatteryStandard::Nfpa72_2022 ? 1.25 : 1.2;
        r.requiredAh = r.factor * (t1 * i1 + t2 * i2);
    }
    if (!std::isfinite(r.requiredAh)) {
        r.reason = QStringLiteral("the capacity is too large to compute");
        return r;
    }
    r.batteryAh = chooseBattery(r.requiredAh);
    r.calculated = true;
    return r;
}

QString formatBatteryCurrent(double mA) { return fixed(mA, 1) + QStringLiteral("mA"); }

QString formatAmpHours(double ah) { return fixed(ah, 2) + QStringLiteral("Ah"); }

QString formatBatterySize(double ah) { return trimmed(ah, 1) + QStringLiteral("Ah"); }

QString formatHours(double hours) { return trimmed(hours, 2) + QLatin1Char('h'); }

QString formatMinutes(double minutes) { return trimmed(minutes, 2) + QStringLiteral("min"); }

QString formatFactor(double factor) { return trimmed(factor, 2); }

QString batteryFormulaText(const BatteryResult &r)
{
    if (!r.calculated)
        return QString();
    const QString times = QStringLiteral(" \u00d7 ");
    const QString standby = trimmed(r.standbyHours, 2) + QLatin1Char('h') + times + fixed(r.standbyMa / 1000.0, 4) +
                            QLatin1Char('A');
    QString alarm = trimmed(r.alarmMinutes / 60.0, 4) + QLatin1Char('h') + times + fixed(r.alarmMa / 1000.0, 4) +
                    QLatin1Char('A');
    if (r.d)
        alarm = formatFactor(*r.d) + times + alarm;
    return QStringLiteral("C = ") + formatFactor(r.factor) + times + QLatin1Char('(') + standby +
           QStringLiteral(" + ") + alarm + QStringLiteral(") = ") + formatAmpHours(r.requiredAh);
}

QString batteryChoiceText(const BatteryResult &r)
{
    if (!r.calculated)
        return QString();
    return r.batteryAh ? formatBatterySize(*r.batteryAh) : kLoadMustBeDivided;
}

QStringList batteryResultLines(const BatteryResult &r)
{
    if (!r.calculated)
        return {QStringLiteral("Not calculated: ") + r.reason};
    const auto parts = [](double total, double own, double loops, double additional) {
        return QStringLiteral("%1 = panel %2 + loops %3 + additional %4")
            .arg(formatBatteryCurrent(total), formatBatteryCurrent(own), formatBatteryCurrent(loops),
                 formatBatteryCurrent(additional));
    };
    QStringList lines{
        QStringLiteral("Standard: ") + batteryStandardName(r.standard),
        QStringLiteral("Standby period T1: %1; alarm period T2: %2").arg(formatHours(r.standbyHours),
                                                                        formatMinutes(r.alarmMinutes)),
        QStringLiteral("Standby current I1: ") + parts(r.standbyMa, r.ownStandbyMa, r.loopsStandbyMa, r.additionalStandbyMa),
        QStringLiteral("Alarm current I2: ") + parts(r.alarmMa, r.ownAlarmMa, r.loopsAlarmMa, r.additionalAlarmMa)};
    if (r.d)
        lines.append(*r.d == 1.0 ? QStringLiteral("D = 1: the alarm current is within the battery's 20-hour rate")
                                 : QStringLiteral("D = 1.75: the alarm current is above the battery's 20-hour rate"));
    else
        lines.append(QStringLiteral("Safety factor SF = ") + formatFactor(r.factor));
    lines.append(batteryFormulaText(r));
    lines.append(QStringLiteral("Required capacity: ") + formatAmpHours(r.requiredAh));
    lines.append(r.batteryAh ? QStringLiteral("Battery: ") + formatBatterySize(*r.batteryAh)
                             : QStringLiteral("Battery: above %1, %2")
                                   .arg(formatBatterySize(batterySizes().last()), kLoadMustBeDivided));
    return lines;
}
