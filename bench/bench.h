#pragma once

#include <QString>
#include <functional>

class QWidget;

// One measured operation of the benchmark table. `prepare` runs before every timed run and is
// not measured; `run` is the timed part.
struct BenchCase {
    QString operation;
    QString target;  // e.g. "< 10 ms", or "-" when none was set
    int runs = 50;
    bool childProcess = false;  // the work runs in another process: no CPU time of ours to show
    std::function<void()> prepare;
    std::function<void()> run;
    std::function<void()> finish;  // after all runs, not measured
    // When set, printed instead of the target: a remark computed from the median (e.g. a ratio).
    std::function<QString(double median)> summary;
};

// Registers a case at static-initialisation time; cases run in order of `order`, then name.
struct BenchRegistration {
    BenchRegistration(int order, std::function<BenchCase()> factory);
};

// Runs the event loop until nothing more is being built in idle time (the count of line edits in
// the window holds still over a few passes), as between two actions of a user.
void settleIdle(QWidget *window);
