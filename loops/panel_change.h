#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// What one loop shows: the cable chosen in its box and its count texts, grid row by grid row.
// A panel change keeps these for the loops the new panel has too.
struct LoopContents {
    QString cable;
    QStringList counts;
};

// The loop numbers (from 1) from keptLoops + 1 on whose cable or counts a panel change with
// keptLoops loops would throw away: a cable chosen, or a count other than 0.
QList<int> loopsLosingWork(const QVector<LoopContents> &loops, int keptLoops);

// The question before such a panel change, and its informative text. panelName is empty for the
// blank entry.
QString panelChangeQuestion(const QList<int> &loopNumbers);
QString panelChangeDetail(const QString &panelName, int panelLoops);
