#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <optional>

#include "calc/loop_calculation.h"

class QPagedPaintDevice;
class QPdfWriter;

// One row of the "Model - loop quantity table".
struct SummaryDeviceRow {
    QString name;
    QString type;
    QVector<qint32> loopCounts;  // one per loop
    bool secondRow = false;      // the device's second row: kept on the page of the row above it
};

// Everything the summary sheet prints, gathered once before drawing.
struct SummarySheetData {
    QString projectName;
    QString projectLocation;
    QString companyName;
    QString email;
    QString comment;
    QString panelName;
    int loopCount = 0;               // 0..16
    QStringList cableCaptions;       // "Loop1:..." per loop
    QVector<QStringList> loopCells;  // per loop: "Loop detail statistics table" columns 0..8
    // Per loop: the state its "Result" cell is filled with; none for a loop without figures.
    QVector<std::optional<CurrentStatus>> loopStates;
    QStringList comments;  // the per-loop comment lines, loop order, printed under the table
    // The battery section after the table, one line each; empty: no section.
    QStringList batteryLines;
    QVector<SummaryDeviceRow> deviceRows;
    QString softwareVersion;
    QString catalogueVersion;  // the catalogue's version text
    // The basis of the figures, stated in page 1's footnote.
    qint32 catalogueVersionNumber = 0;
    float minLoopVoltage = 0.0f;  // V
    float maxLoopLength = 0.0f;   // m, the cap of every maximum length
};

// Read once for every page footer.
using SheetClock = std::function<QDateTime()>;

// Footer timestamp, ISO 8601 to the minute: "2026-12-09 14:05".
QString summarySheetTimestamp(const QDateTime &when);

// "Page 2 of 3".
QString summarySheetPageNumber(int page, int pages);

// The PDF's Title: "Summary sheet – NAME", or "Summary sheet" for a project without a name.
QString summarySheetTitle(const SummarySheetData &data);

// The PDF's Creator: "Quillon 1.0.0".
QString summarySheetCreator();

// Page 1's footnote: the catalogue, the minimum loop voltage, the length cap and the method.
QString summarySheetBasis(const SummarySheetData &data);

// Draws the summary sheet onto device: "SUMMARY SHEET" (continued on further pages while it does
// not fit), then "Enclosure" with its device table, again on as many pages as it needs. Every
// page is numbered and dated. A PDF writer also gets the sheet's Title. False if no painter could
// start on the device or it refused a new page.
bool drawSummarySheet(QPagedPaintDevice *device, const SummarySheetData &data,
                      const SheetClock &clock = &QDateTime::currentDateTime);

// The summary sheet's page: A4 at 300 dpi with 20-point margins on all four sides; PDF/A-1b,
// so that it can be archived with the design; Quillon as its Creator.
void setUpSummarySheetWriter(QPdfWriter &writer);
