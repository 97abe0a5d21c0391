#include "calc/loop_calculation.h"

#include "loops/loop_state.h"

#include <algorithm>
#include <cmath>

namespace {

const QChar kListSeparator(0x3001);  // ideographic comma

// count x current + total, formed in double and rounded once on the store.
float addProduct(float total, qint32 count, float current)
{
    return float(double(float(count)) * double(current) + double(total));
}

qint64 rowSum(const DeviceRecord &d, int loop)
{
    qint64 sum = d.loopCounts[loop];
    if (d.hasSecondRow)
        sum += d.secondRowLoopCounts[loop];
    return sum;
}

QString countText(const QVector<QStringList> &texts, int row, int loop)
{
    const QStringList &line = texts.at(row);
    return loop < line.size() ? line.at(loop) : QString();
}

bool soundCurrent(float mA) { return std::isfinite(mA) && mA >= 0.0f; }

// Whether the loop's numbers can mean anything. A device current that is not finite spoils
// every loop, counted or not (0 x NaN is NaN); a negative one only the loops it is counted on.
bool soundLoopInputs(const QMap<QString, DeviceRecord> &devices, const CalculationInputs &inputs,
                     const LoopTotals &t, int loop)
{
    const ConditionValues &condition = inputs.condition;
    if (!std::isfinite(inputs.panelLoopVoltage) || !std::isfinite(condition.minLoopVoltage) ||
        !soundCurrent(inputs.panelMaxLoopCurrent) || !std::isfinite(condition.maxLoopLength) ||
        condition.maxLoopLength < 0.0f)
        return false;
    const float resistance = inputs.loopCableResistance[loop];
    if (!std::isfinite(resistance) || resistance < 0.0f)
        return false;
    for (const DeviceRecord &d : devices) {
        if (!std::isfinite(d.quiescentCurrent) || !std::isfinite(d.alarmCurrent))
            return false;
        if (rowSum(d, loop) > 0 && (d.quiescentCurrent < 0.0f || d.alarmCurrent < 0.0f))
            return false;
    }
    // Finite currents can still sum past the float range.
    return std::isfinite(t.quiescentTotal[loop]) && std::isfinite(t.alarmTotal[loop]);
}

}  // namespace

SelectionCheck checkSelection(const QString &panelText, int loopCount, const QStringList &cableTexts)
{
    SelectionCheck check;
    const bool panelMissing = panelText.isEmpty();
    if (panelMissing) {
        check.warnings.append(QStringLiteral("Please select panel model!"));
        if (loopCount < 1)
            return check;
    }
    bool cableMissing = false;
    for (int i = 0; i < loopCount; ++i) {
        if (i >= cableTexts.size() || cableTexts.at(i).isEmpty()) {
            check.warnings.append(QStringLiteral("Loop%1:Please select cable type!").arg(i + 1));
            cableMissing = true;
        }
    }
    check.complete = !panelMissing && !cableMissing;
    return check;
}

int parseCountText(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok && value > 0 ? value : 0;
}

bool isRestrictedCode(const QString &code)
{
    return code == QLatin1String("7") || code == QLatin1String("8") || code == QLatin1String("9");
}

QString restrictedDeviceList(const QMap<QString, DeviceRecord> &devices)
{
    QString list;
    for (const DeviceRecord &d : devices) {
        if (!isRestrictedCode(d.code))
            continue;
        list += d.name;
        if (d.hasSecondRow)
            list += kListSeparator + d.secondRowName;
        list += kListSeparator;
    }
    list.chop(1);
    return list;
}

float maximumLength(float loopVoltage, float minLoopVoltage, float alarmTotal, float resistance)
{
    const double length = (double(loopVoltage) - double(minLoopVoltage)) * 1000.0
                          / (2.0 * double(alarmTotal) * double(resistance)) * 1000.0;
    return float(length);
}

CurrentStatus currentStatus(float alarmTotal, float maxLoopCurrent)
{
    if (alarmTotal >= maxLoopCurrent)
        return CurrentStatus::Overloaded;
    // Exactly 80 % is still normal; both products are exact in double.
    if (5.0 * double(alarmTotal) > 4.0 * double(maxLoopCurrent))
        return CurrentStatus::NearLimit;
    return CurrentStatus::Normal;
}

QString unsoundInputsMessage(int loopNumber)
{
    return QStringLiteral("Loop%1:Catalogue values of this loop are not valid, no result can be given.")
        .arg(loopNumber);
}

QString statusMessage(CurrentStatus status, int loopNumber)
{
    switch (status) {
    case CurrentStatus::Overloaded:
        return QStringLiteral("Loop%1:Panel can't supply required loop current.").arg(loopNumber);
    case CurrentStatus::NearLimit:
        return QStringLiteral("Loop%1:Loop current is exceed 80% to panel limit.").arg(loopNumber);
    case CurrentStatus::Normal:
        break;
    }
    return QString();
}

LoopResults calculateLoops(QMap<QString, DeviceRecord> &devices, const CalculationInputs &inputs)
{
    LoopResults r;
    LoopTotals &t = r.totals;
    const int loops = std::clamp(inputs.loopCount, 0, kMaxLoops);

    if (inputs.readCounts) {
        // A row without a count field (outside the grid) counts as 0.
        for (DeviceRecord &d : devices) {
            for (int i = 0; i < loops; ++i) {
                d.loopCounts[i] = 0;
                if (d.hasSecondRow)
                    d.secondRowLoopCounts[i] = 0;
            }
        }
        for (const DeviceRow &row : deviceRowOrder(devices, inputs.countTexts.size())) {
            DeviceRecord &d = devices[row.key];
            qint32 *counts = row.secondRow ? d.secondRowLoopCounts : d.loopCounts;
            for (int i = 0; i < loops; ++i)
                counts[i] = parseCountText(countText(inputs.countTexts, row.row, i));
        }
        for (const DeviceRecord &d : qAsConst(devices)) {
            const bool restricted = isRestrictedCode(d.code);
            for (int i = 0; i < loops; ++i) {
                const qint64 n = rowSum(d, i);
                t.deviceTotal[i] += n;
                if (restricted)
                    t.restrictedTotal[i] += n;
            }
        }
    }

    const ConditionValues &condition = inputs.condition;
    QString restrictedList;
    bool listBuilt = false;
    for (int i = 0; i < loops; ++i) {
        r.restrictedExceeded[i] = t.restrictedTotal[i] > condition.maxDeviceSum;
        if (!r.restrictedExceeded[i])
            continue;
        if (!listBuilt) {
            restrictedList = restrictedDeviceList(devices);
            listBuilt = true;
        }
        // The list is joined in after the numbers so that a "%" in a device name stays as it is.
        const QString warning = QStringLiteral("Loop%1:The sum of the number of ").arg(i + 1) + restrictedList
                                + QStringLiteral(" should be less than or equal to %1").arg(condition.maxDeviceSum);
        r.checkWarnings.append(warning);
        r.leftOutReasons[i].append(warning);
    }
    for (int i = 0; i < loops; ++i) {
        r.maxDevicesExceeded[i] = t.deviceTotal[i] > inputs.loopMaxDevices[i];
        if (!r.maxDevicesExceeded[i])
            continue;
        const QString warning = QStringLiteral("Loop%1:Max number of devices should be less than or equal to %2.")
                                    .arg(i + 1)
                                    .arg(inputs.loopMaxDevices[i]);
        r.checkWarnings.append(warning);
        r.leftOutReasons[i].append(warning);
    }

    for (const DeviceRecord &d : qAsConst(devices)) {
        for (int i = 0; i < loops; ++i) {
            t.quiescentTotal[i] = addProduct(t.quiescentTotal[i], d.loopCounts[i], d.quiescentCurrent);
            if (d.hasSecondRow)
                t.quiescentTotal[i] = addProduct(t.quiescentTotal[i], d.secondRowLoopCounts[i], d.quiescentCurrent);
            t.alarmTotal[i] = addProduct(t.alarmTotal[i], d.loopCounts[i], d.alarmCurrent);
            if (d.hasSecondRow)
                t.alarmTotal[i] = addProduct(t.alarmTotal[i], d.secondRowLoopCounts[i], d.alarmCurrent);

            const qint64 n = rowSum(d, i);
            if (d.type == QLatin1String("Detector"))
                t.detectorTotal[i] += n;
            else if (d.type == QLatin1String("Module"))
                t.moduleTotal[i] += n;
            else if (d.type == QLatin1String("Sounder"))
                t.sounderTotal[i] += n;
            else
                t.otherTotal[i] += n;
        }
    }

    // "Does not exceed" includes a voltage that is not a number.
    r.noVoltageMargin = !(inputs.panelLoopVoltage > condition.minLoopVoltage);
    for (int i = 0; i < loops; ++i) {
        if (r.noVoltageMargin)
            t.maxLength[i] = 0.0f;
        else if (!devices.isEmpty())
            t.maxLength[i] = maximumLength(inputs.panelLoopVoltage, condition.minLoopVoltage, t.alarmTotal[i],
                                           inputs.loopCableResistance[i]);
        r.status[i] = currentStatus(t.alarmTotal[i], inputs.panelMaxLoopCurrent);
    }
    for (int i = 0; i < loops; ++i) {
        r.unsoundInputs[i] = !soundLoopInputs(devices, inputs, t, i);
        if (r.unsoundInputs[i]) {
            r.checkWarnings.append(unsoundInputsMessage(i + 1));
            r.leftOutReasons[i].append(unsoundInputsMessage(i + 1));
        }
    }
    return r;
}
