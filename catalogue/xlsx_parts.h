#pragma once

// The parsers of a workbook's own parts, above the package and beneath XlsxWorkbook. Each takes
// the bytes of one part and returns false with a reason at the first thing it cannot read. Texts
// come back with their _xHHHH_ escapes decoded; a worksheet's cells come back sorted by position,
// one per position, each within the limits of a sheet, and every shared-string index among them
// is valid.

#include "catalogue/xlsx_reader.h"

#include <QByteArray>
#include <QString>
#include <QVector>

namespace Xlsx {

// A <sheet> of the workbook part, in the order of the tabs.
struct SheetEntry {
    QString name;
    QString relationshipId;
};

bool parseWorkbookPart(const QByteArray &bytes, QVector<SheetEntry> &sheets, bool &date1904, QString &reason);

// Appends one text for every <si>, even an empty one.
bool parseSharedStrings(const QByteArray &bytes, QVector<QString> &texts, QString &reason);

// A cell of type "s" refers into sharedStrings; the text of an inline, formula or text cell is
// appended to texts, which begins with the shared strings.
bool parseWorksheet(const QByteArray &bytes, const QVector<QString> &sharedStrings, bool date1904,
                    QVector<QString> &texts, QVector<XlsxWorkbook::Cell> &cells, QString &reason);

}  // namespace Xlsx
