#include "calc/calculation_record.h"

#include <algorithm>

const QVector<ResultColumn> &calculationColumns()
{
    // The blank after "Current" belongs to this table's header.
    static const QVector<ResultColumn> columns{
        {ResultField::Loop, "Loop", 0},
        {ResultField::Quiescent, "Quiescent Current", 150},
        {ResultField::Alarm, "Total Alarm Current ", 150},
        {ResultField::Length, "Max Length", 140},
        {ResultField::State, "State", 0},
    };
    return columns;
}

const QVector<ResultColumn> &summaryColumns()
{
    static const QVector<ResultColumn> columns{
        {ResultField::Loop, "Loop", 50},
        {ResultField::Detectors, "Detectors", 80},
        {ResultField::Modules, "Modules", 70},
        {ResultField::Sounders, "Sounders", 80},
        {ResultField::Others, "Others", 60},
        {ResultField::Quiescent, "Quiescent Current", 150},
        {ResultField::Alarm, "Total Alarm Current", 160},
        {ResultField::Length, "Max Length", 90},
        {ResultField::Cable, "Cable Type", 240},
        {ResultField::State, "State", 50},
    };
    return columns;
}

const QVector<ResultColumn> &sheetColumns()
{
    static const QVector<ResultColumn> columns{
        {ResultField::Loop, "Loop", 0},
        {ResultField::Detectors, "Detectors", 0},
        {ResultField::Modules, "Modules", 0},
        {ResultField::Sounders, "Sounders", 0},
        {ResultField::Others, "Others", 0},
        {ResultField::Quiescent, "Quiescent Current", 0},
        {ResultField::Alarm, "Total Alarm Current", 0},
        {ResultField::Length, "Max Length", 0},
        {ResultField::State, "Result", 0},
    };
    return columns;
}

QString recalculateMessage(int loopNumber)
{
    return QStringLiteral("Loop%1:Inputs changed since the last calculation. Press Calculate.").arg(loopNumber);
}

void CalculationRecord::keep(const LoopResults &results, float maxLoopLength, const QVector<LoopInputsShown> &inputs)
{
    clear();
    last = results;
    cap = maxLoopLength;
    loops = std::min<int>(inputs.size(), kMaxLoops);
    from = inputs;
    std::fill(standing, standing + loops, true);
}

void CalculationRecord::clear()
{
    last = LoopResults();
    loops = 0;
    from.clear();
    std::fill(std::begin(standing), std::end(standing), false);
    std::fill(std::begin(dropped), std::end(dropped), false);
}

bool CalculationRecord::dropIfChanged(int k, const LoopInputsShown &now)
{
    if (!stands(k) || from.at(k) == now)
        return false;
    standing[k] = false;
    dropped[k] = true;
    return true;
}

bool CalculationRecord::anyStanding() const
{
    return std::any_of(standing, standing + loops, [](bool s) { return s; });
}

LoopRow CalculationRecord::row(int k, const QString &loopLabel) const
{
    LoopRow row;
    row.texts[int(ResultField::Loop)] = loopLabel;
    if (!stands(k)) {
        if (k >= 0 && k < kMaxLoops && dropped[k])
            row.comments.append(recalculateMessage(k + 1));
        return row;
    }
    const LoopResultTexts texts = loopResultTexts(last, k, cap);
    row.comments = texts.comments;
    row.texts[int(ResultField::Cable)] = from.at(k).cable;
    if (!texts.shown)
        return row;
    row.texts[int(ResultField::Detectors)] = texts.detectors;
    row.texts[int(ResultField::Modules)] = texts.modules;
    row.texts[int(ResultField::Sounders)] = texts.sounders;
    row.texts[int(ResultField::Others)] = texts.others;
    row.texts[int(ResultField::Quiescent)] = texts.quiescent;
    row.texts[int(ResultField::Alarm)] = texts.alarm;
    row.texts[int(ResultField::Length)] = texts.length.value_or(QString());
    row.texts[int(ResultField::State)] = statusSymbol(texts.status);
    row.state = texts.status;
    return row;
}
