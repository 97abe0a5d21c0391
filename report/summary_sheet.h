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
    QVector<SummaryDeviceRow> deviceRows;
    QString softwareVersion;
    QString catalogueVersion;
};

// Read once for every page footer.
using SheetClock = std::function<QDateTime()>;

// Footer timestamp format, "d/M/yyyy hh:mm:ss".
QString summarySheetTimestamp(const QDateTime &when);

// Draws the summary sheet onto device: page 1 "SUMMARY SHEET", page 2 "Enclosure", and further
// "Enclosure" pages while the device table does not fit. False if no painter could start on it.
bool drawSummarySheet(QPagedPaintDevice *device, const SummarySheetData &data,
                      const SheetClock &clock = &QDateTime::currentDateTime);

// The summary sheet's page: A4 at 300 dpi with 20-point margins on all four sides.
void setUpSummarySheetWriter(QPdfWriter &writer);
