#pragma once

#include "catalogue/catalogue.h"
#include "catalogue/workbook.h"

#include <QString>
#include <QVector>

// A record sheet that listed more records than the catalogue holds; only `capacity` were read.
struct CapacityCut {
    QString sheet;
    int listed = 0;
    int capacity = 0;
};

// The sheets "Panel", "Cable", "Device" and "Condition" of data.xlsx, in workbook order, into
// the records, counts and condition values of c. A count of zero or less reads no rows and is
// stored as 0; a count above the capacity is cut to it and reported.
QVector<CapacityCut> importDataSheets(const Workbook &workbook, Catalogue &c);

// The sheets "Panel", "Cable", "Device" and "Version" of name.xlsx, with the counts already in c:
// display names, second device rows, extraDeviceRows and the version.
void importNameSheets(const Workbook &workbook, Catalogue &c);

// "The sheet Panel of data.xlsx lists 12 records; only the first 10 were read."
QString capacityCutMessage(const QString &fileName, const CapacityCut &cut);
