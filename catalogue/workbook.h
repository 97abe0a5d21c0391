#pragma once

#include <QString>
#include <QVariant>

// What the imports need of a workbook: its sheets in tab order and each cell's raw value.
class Workbook {
public:
    virtual ~Workbook();
    virtual int sheetCount() const = 0;
    // position counts from 1, in the workbook's tab order; empty outside 1..sheetCount().
    virtual QString sheetName(int position) const = 0;
    // The raw value of cell (row, column), 1-based: a number as double, text as QString, a
    // boolean as bool; invalid for an empty or error cell, or a position outside the sheet.
    virtual QVariant cellValue(int sheet, int row, int column) const = 0;
};
