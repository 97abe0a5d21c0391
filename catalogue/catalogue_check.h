#pragma once

#include "catalogue/workbook.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <optional>

enum class FindingSeverity {
    Warning,  // probably not meant
    Error,    // the catalogue will give wrong results
};

// One thing the workbooks seem to say that Quillon will read differently.
struct CatalogueFinding {
    FindingSeverity severity = FindingSeverity::Error;
    QString file;   // "data.xlsx", "name.xlsx", "data.dat" or "name.dat"
    QString sheet;  // tab name; empty for a finding about the whole file
    QString cell;   // A1 form; empty for a finding about a whole sheet
    QString text;   // one sentence: what the cell seems to say, what Quillon reads instead
};

// What a start-up would read. Either workbook may be absent; the .dat files are the catalogue the
// workbooks replace (absent when there is none) and supply what a missing workbook does not.
struct CatalogueCheckInput {
    const Workbook *dataWorkbook = nullptr;
    const Workbook *nameWorkbook = nullptr;
    std::optional<QByteArray> dataFile;
    std::optional<QByteArray> nameFile;
};

// Every finding, in file, sheet and row order. It runs the import on a private catalogue and
// only reads its input.
QVector<CatalogueFinding> checkCatalogue(const CatalogueCheckInput &input);

// data.dat and name.dat of dir into input; a file that does not exist stays absent, one that
// cannot be read is present and empty.
void readCatalogueFiles(const QString &dir, CatalogueCheckInput &input);

// The compiler-style line: data.xlsx:Cable!C5: error: "12,1" is not a number; Quillon reads 0
// A tab name with anything but letters and digits is quoted as the spreadsheet does: 'Panel '!A1.
QString findingLine(const CatalogueFinding &finding);

// Errors first, then warnings, one line each; beyond maxLines the rest as "and N more".
// Empty when there is nothing to report.
QString findingSummary(const QVector<CatalogueFinding> &findings, int maxLines = 20);
