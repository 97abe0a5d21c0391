#pragma once

#include "catalogue/catalogue.h"

#include <QMap>
#include <QString>

// Insert the valid records of the catalogue in array order; a repeated key takes the later record.
void indexPanelsByName(const Catalogue &c, QMap<QString, PanelRecord> &index);
void indexCablesByName(const Catalogue &c, QMap<QString, CableRecord> &index);
void indexDevicesByKey(const Catalogue &c, QMap<QString, DeviceRecord> &index);

// "Loop3" for loop number 3 (counted from 1).
QString loopLabel(int loopNumber);

// "Loop3:" followed directly by the cable name.
QString cableCaption(int loopNumber, const QString &cableName);

// Device counts: the whole numbers 0 to 999 without leading zeros.
extern const QString deviceCountPattern;
