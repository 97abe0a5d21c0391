#include "loops/loop_indexes.h"

const QString deviceCountPattern = QStringLiteral("^([0-9]|[1-9][0-9]|[1-9][0-9][0-9])$");

void indexPanelsByName(const Catalogue &c, QMap<QString, PanelRecord> &index)
{
    for (int i = 0; i < validPanelCount(c); ++i)
        index.insert(c.panels[i].name, c.panels[i]);
}

void indexCablesByName(const Catalogue &c, QMap<QString, CableRecord> &index)
{
    for (int i = 0; i < validCableCount(c); ++i)
        index.insert(c.cables[i].name, c.cables[i]);
}

void indexDevicesByKey(const Catalogue &c, QMap<QString, DeviceRecord> &index)
{
    for (int i = 0; i < validDeviceCount(c); ++i)
        index.insert(c.devices[i].code, c.devices[i]);
}

QString loopLabel(int loopNumber) { return QStringLiteral("Loop") + QString::number(loopNumber); }

QString cableCaption(int loopNumber, const QString &cableName)
{
    return loopLabel(loopNumber) + QLatin1Char(':') + cableName;
}
