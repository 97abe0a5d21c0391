#pragma once

#include "calc/loop_calculation.h"
#include "calc/result_texts.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

// What a result-table column shows.
enum class ResultField { Loop, Detectors, Modules, Sounders, Others, Quiescent, Alarm, Length, Cable, State };

struct ResultColumn {
    ResultField field;
    const char *header;
    int width;  // in the window, pixels; 0 leaves the table's default
};

// The columns of the "Calculation" table, the "Loop Summary" table and the summary sheet's
// "Loop detail statistics table", in order. Every surface draws a loop's row through these.
const QVector<ResultColumn> &calculationColumns();
const QVector<ResultColumn> &summaryColumns();
const QVector<ResultColumn> &sheetColumns();

// One loop as every surface shows it.
struct LoopRow {
    QString texts[int(ResultField::State) + 1];
    std::optional<CurrentStatus> state;  // none: the loop shows no figures
    QStringList comments;                // its comment lines

    const QString &text(ResultField field) const { return texts[int(field)]; }
};

// What a loop's result came from: the cable its box shows and its counts in grid row order,
// read as the calculation reads them (an empty field is 0).
struct LoopInputsShown {
    QString cable;
    QVector<int> counts;

    bool operator==(const LoopInputsShown &other) const { return cable == other.cable && counts == other.counts; }
    bool operator!=(const LoopInputsShown &other) const { return !(*this == other); }
};

// The comment line of a loop whose result a change of its inputs has cleared.
QString recalculateMessage(int loopNumber);

// The last calculation, kept with the inputs each loop's part came from. The window draws its
// result tables, comment lines and the summary sheet from it and never reads a cell back, so a
// figure can only be shown beside the inputs that give it.
class CalculationRecord {
public:
    // Keeps a run of loops 0..inputs.size()-1, replacing whatever stood before.
    void keep(const LoopResults &results, float maxLoopLength, const QVector<LoopInputsShown> &inputs);
    // Open, New and a panel change: nothing stands, and nothing invites a new Calculate.
    void clear();
    // Drops loop k's part when `now` is not what it came from; true when it dropped something.
    bool dropIfChanged(int k, const LoopInputsShown &now);

    bool anyStanding() const;
    // A result of loop k stands: its figures, or the reasons it has none.
    bool stands(int k) const { return k >= 0 && k < loops && standing[k]; }
    // Loop k stands with figures (not left out): its totals are the loop's currents.
    bool hasFigures(int k) const { return stands(k) && !last.excluded(k); }
    const LoopResults &results() const { return last; }

    // Loop k's row; loopLabel fills the "Loop" field, the cable comes from the kept inputs.
    LoopRow row(int k, const QString &loopLabel) const;

private:
    LoopResults last;
    float cap = 0.0f;
    int loops = 0;
    bool standing[kMaxLoops] = {};
    bool dropped[kMaxLoops] = {};
    QVector<LoopInputsShown> from;
};
