#include "calc/result_texts.h"

#include "calc/number_format.h"

LoopResultTexts loopResultTexts(const LoopResults &results, int k, float maxLoopLength)
{
    LoopResultTexts texts;
    if (results.excluded(k)) {
        texts.comments = results.leftOutReasons[k];
        return texts;
    }
    const LoopTotals &t = results.totals;
    texts.shown = true;
    texts.quiescent = formatCurrent(t.quiescentTotal[k]);
    texts.alarm = formatCurrent(t.alarmTotal[k]);
    texts.length = lengthCellText(t.maxLength[k], maxLoopLength, results.noVoltageMargin);
    texts.status = results.status[k];
    const QString warning = statusMessage(texts.status, k + 1);
    if (!warning.isEmpty())
        texts.comments.append(warning);
    texts.detectors = formatCount(t.detectorTotal[k]);
    texts.modules = formatCount(t.moduleTotal[k]);
    texts.sounders = formatCount(t.sounderTotal[k]);
    texts.others = formatCount(t.otherTotal[k]);
    return texts;
}

QColor statusColour(CurrentStatus status)
{
    switch (status) {
    case CurrentStatus::Overloaded:
        return QColor(0xFF, 0x00, 0x00);
    case CurrentStatus::NearLimit:
        return QColor(0xFF, 0xFF, 0x00);
    case CurrentStatus::Normal:
        break;
    }
    return QColor(0x00, 0xFF, 0x00);
}

QString statusSymbol(CurrentStatus status)
{
    return status == CurrentStatus::Overloaded ? QString(QChar(0x00D7)) : QString(QChar(0x221A));
}
