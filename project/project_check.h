#pragma once

#include "battery/battery_calculation.h"
#include "calc/result_texts.h"
#include "catalogue/catalogue.h"
#include "project/project_file.h"
#include "project/project_open.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

// How a loop came out, worst last.
enum class LoopVerdict { Normal, NearLimit, LeftOut, OverLimit };

struct LoopCheck {
    QString loop;   // "Loop3"
    QString cable;  // what the loop's cable box shows: empty when the file's cable is not listed
    LoopResultTexts texts;
    LoopVerdict verdict = LoopVerdict::Normal;
    QString state;  // "normal", "near limit", "over limit" or "left out: " and the reason
};

// What a window just started on catalogue c shows for a project after Open and Calculate.
struct ProjectCheck {
    QString panel;  // what the panel box shows: empty when the file's panel is not listed
    QVector<LoopCheck> loops;
    // Calculate stopped before any loop and the project has no loop to show it on: the reason.
    QString leftOut;
    LoopVerdict worst = LoopVerdict::Normal;
    BatteryResult battery;  // from the project's battery inputs and these loops
};

// data must have been accepted for c as Open accepts it into a window showing no panel.
ProjectCheck checkProject(const Catalogue &c, const ProjectData &data);

// A file as check sees it: bytes as read, nothing when it cannot be opened. Opened as in a window
// just started on c (panels: its panel index): either the error that keeps it from being
// calculated, or the check.
struct FileCheck {
    QString error;  // the window's refusal text and its reason, as refusalLine gives them
    ProjectCheck check;
};
// overrides stand over the project's battery inputs.
FileCheck checkProjectBytes(const std::optional<QByteArray> &bytes, const Catalogue &c,
                            const QMap<QString, PanelRecord> &panels, const BatteryOverrides &overrides = {});

// The window's refusal text and the box's reason as one line: "The document is not legal. The
// file ends early, at byte 57, inside the comment."
QString refusalLine(ProjectOpenResult result, const QString &reason);

// The lines of the text format, each without its line break:
//   FILE: LOOP: PANEL; CABLE; QUIESCENT; ALARM; MAX LENGTH; STATE    one per loop
//   FILE: comment: TEXT                                               one per comment line
//   FILE: left out: REASON                                            a project without loops
//   FILE: battery: STANDARD; standby I1 x T1; alarm I2 x T2; D d (or SF f); required C; battery B
//   FILE: battery: not calculated: REASON                             instead, without a capacity
QStringList checkTextLines(const QString &file, const ProjectCheck &check);
// The battery line alone: "FILE: battery: BS 5839-1; standby 197.8mA x 24h; ...".
QString checkBatteryTextLine(const QString &file, const BatteryResult &battery);
QString checkErrorTextLine(const QString &file, const QString &error);

// The csv format: a header, then one row per loop (a project without loops, or a file that cannot
// be read, gets one row whose state says why), then the file's battery row: Loop "battery", its
// numbers without units in the battery columns at the end, which the other rows leave empty.
QString checkCsvHeader();
QStringList checkCsvRows(const QString &file, const ProjectCheck &check);
QString checkErrorCsvRow(const QString &file, const QString &error);

// A csv field, quoted when it holds a comma, a quote or a line break.
QString csvField(const QString &text);
