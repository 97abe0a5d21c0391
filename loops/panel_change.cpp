#include "loops/panel_change.h"

#include "loops/loop_indexes.h"

QList<int> loopsLosingWork(const QVector<LoopContents> &loops, int keptLoops)
{
    QList<int> losing;
    for (int i = qMax(keptLoops, 0); i < loops.size(); ++i) {
        const LoopContents &loop = loops[i];
        bool holdsWork = !loop.cable.isEmpty();
        for (const QString &count : loop.counts)
            holdsWork = holdsWork || !(count.isEmpty() || count == QLatin1String("0"));
        if (holdsWork)
            losing << i + 1;
    }
    return losing;
}

QString panelChangeQuestion(const QList<int> &loopNumbers)
{
    QStringList labels;
    for (int number : loopNumbers)
        labels << loopLabel(number);
    return QStringLiteral("Remove the cable and counts of %1?").arg(labels.join(QStringLiteral(", ")));
}

QString panelChangeDetail(const QString &panelName, int panelLoops)
{
    if (panelName.isEmpty())
        return QStringLiteral("Without a panel there are no loops.");
    return QStringLiteral("The panel %1 has %2 loop%3; those loops keep their cable and counts.")
        .arg(panelName)
        .arg(panelLoops)
        .arg(panelLoops == 1 ? QString() : QStringLiteral("s"));
}
