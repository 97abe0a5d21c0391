#include "catalogue_compare.h"

#include <algorithm>
#include <cstring>

namespace {

quint32 bits(float value)
{
    quint32 image;
    std::memcpy(&image, &value, sizeof image);
    return image;
}

class Differences {
public:
    void field(const QString &where, const QString &expected, const QString &actual)
    {
        if (expected != actual)
            list << QStringLiteral("%1: expected \"%2\", got \"%3\"").arg(where, expected, actual);
    }
    void field(const QString &where, qint32 expected, qint32 actual)
    {
        if (expected != actual)
            list << QStringLiteral("%1: expected %2, got %3").arg(where).arg(expected).arg(actual);
    }
    void field(const QString &where, float expected, float actual)
    {
        if (bits(expected) != bits(actual))
            list << QStringLiteral("%1: expected %2 (%3), got %4 (%5)")
                        .arg(where)
                        .arg(double(expected))
                        .arg(bits(expected), 8, 16, QLatin1Char('0'))
                        .arg(double(actual))
                        .arg(bits(actual), 8, 16, QLatin1Char('0'));
    }
    void field(const QString &where, const std::optional<float> &expected, const std::optional<float> &actual)
    {
        if (expected.has_value() != actual.has_value())
            list << QStringLiteral("%1: expected %2, got %3")
                        .arg(where, expected ? QString::number(double(*expected)) : QStringLiteral("not given"),
                             actual ? QString::number(double(*actual)) : QStringLiteral("not given"));
        else if (expected)
            field(where, *expected, *actual);
    }
    QStringList list;
};

void compareData(const Catalogue &e, const Catalogue &a, Differences &d)
{
    d.field("panelCount", e.panelCount, a.panelCount);
    for (int i = 0; i < std::max(validPanelCount(e), validPanelCount(a)); ++i) {
        const QString at = QStringLiteral("panel %1 ").arg(i);
        d.field(at + "code", e.panels[i].code, a.panels[i].code);
        d.field(at + "name", e.panels[i].name, a.panels[i].name);
        d.field(at + "loopCount", e.panels[i].loopCount, a.panels[i].loopCount);
        d.field(at + "loopVoltage", e.panels[i].loopVoltage, a.panels[i].loopVoltage);
        d.field(at + "maxLoopCurrent", e.panels[i].maxLoopCurrent, a.panels[i].maxLoopCurrent);
        for (int loop = 0; loop < kMaxLoops; ++loop)
            d.field(at + QStringLiteral("maxDevices[%1]").arg(loop), e.panels[i].maxDevices[loop],
                    a.panels[i].maxDevices[loop]);
        d.field(at + "ownQuiescentCurrent", e.panels[i].ownQuiescentCurrent, a.panels[i].ownQuiescentCurrent);
        d.field(at + "ownAlarmCurrent", e.panels[i].ownAlarmCurrent, a.panels[i].ownAlarmCurrent);
    }
    d.field("cableCount", e.cableCount, a.cableCount);
    for (int i = 0; i < std::max(validCableCount(e), validCableCount(a)); ++i) {
        const QString at = QStringLiteral("cable %1 ").arg(i);
        d.field(at + "code", e.cables[i].code, a.cables[i].code);
        d.field(at + "name", e.cables[i].name, a.cables[i].name);
        d.field(at + "resistance", e.cables[i].resistance, a.cables[i].resistance);
    }
    d.field("deviceCount", e.deviceCount, a.deviceCount);
    for (int i = 0; i < std::max(validDeviceCount(e), validDeviceCount(a)); ++i) {
        const QString at = QStringLiteral("device %1 ").arg(i);
        d.field(at + "code", e.devices[i].code, a.devices[i].code);
        d.field(at + "name", e.devices[i].name, a.devices[i].name);
        d.field(at + "type", e.devices[i].type, a.devices[i].type);
        d.field(at + "quiescentCurrent", e.devices[i].quiescentCurrent, a.devices[i].quiescentCurrent);
        d.field(at + "alarmCurrent", e.devices[i].alarmCurrent, a.devices[i].alarmCurrent);
    }
    d.field("minLoopVoltage", e.condition.minLoopVoltage, a.condition.minLoopVoltage);
    d.field("maxLoopLength", e.condition.maxLoopLength, a.condition.maxLoopLength);
    d.field("maxDeviceSum", e.condition.maxDeviceSum, a.condition.maxDeviceSum);
}

}  // namespace

QStringList dataDifferences(const Catalogue &expected, const Catalogue &actual)
{
    Differences d;
    compareData(expected, actual, d);
    return d.list;
}

QStringList catalogueDifferences(const Catalogue &expected, const Catalogue &actual)
{
    Differences d;
    compareData(expected, actual, d);
    for (int i = 0; i < std::max(validDeviceCount(expected), validDeviceCount(actual)); ++i) {
        const QString at = QStringLiteral("device %1 ").arg(i);
        d.field(at + "hasSecondRow", qint32(expected.devices[i].hasSecondRow), qint32(actual.devices[i].hasSecondRow));
        d.field(at + "secondRowName", expected.devices[i].secondRowName, actual.devices[i].secondRowName);
        for (int loop = 0; loop < kMaxLoops; ++loop) {
            d.field(at + QStringLiteral("loopCounts[%1]").arg(loop), expected.devices[i].loopCounts[loop],
                    actual.devices[i].loopCounts[loop]);
            d.field(at + QStringLiteral("secondRowLoopCounts[%1]").arg(loop),
                    expected.devices[i].secondRowLoopCounts[loop], actual.devices[i].secondRowLoopCounts[loop]);
        }
    }
    d.field("extraDeviceRows", expected.extraDeviceRows, actual.extraDeviceRows);
    d.field("catalogueVersion", expected.catalogueVersion, actual.catalogueVersion);
    d.field("catalogueVersionNumber", expected.catalogueVersionNumber, actual.catalogueVersionNumber);
    return d.list;
}
