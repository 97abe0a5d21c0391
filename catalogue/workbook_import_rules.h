#pragma once

#include "catalogue/catalogue.h"
#include "catalogue/workbook.h"

#include <QString>
#include <QVector>
#include <optional>

// data.xlsx: rows 1 and 3 are labels, (2, 1) the count, records from row 4. name.xlsx: row 1 is
// labels, record i in row i + 2.
constexpr int kFirstRecordRow = 4;
constexpr int kFirstNameRow = 2;
// "Panel" sheet of data.xlsx: the panel's own currents in mA, after the 16 device limits.
constexpr int kOwnQuiescentColumn = 22;  // V
constexpr int kOwnAlarmColumn = 23;      // W

// The import's conversions of a raw cell value, QVariant's own: a number converts to int rounded
// half up and to text in its shortest form; text converts only when it is a number in the C
// locale (for int, only a whole one); an empty cell gives "", 0 and 0.0. ok is false when the
// value did not convert; the import stores what is returned all the same.
QString cellText(const QVariant &raw);
qint32 cellInteger(const QVariant &raw, bool *ok = nullptr);
float cellReal(const QVariant &raw, bool *ok = nullptr);
// A value that may be left out: an empty cell, and text that is not a number, give nothing
// rather than 0, which would be a figure nobody typed.
std::optional<float> cellOptionalReal(const QVariant &raw);

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
