#pragma once

#include <QString>
#include <functional>

// One measured operation of the benchmark table. `prepare` runs before every timed run and is
// not measured; `run` is the timed part.
struct BenchCase {
    QString operation;
    QString target;  // e.g. "< 10 ms", or "-" when none was set
    int runs = 50;
    std::function<void()> prepare;
    std::function<void()> run;
    std::function<void()> finish;  // after all runs, not measured
};

// Registers a case at static-initialisation time; cases run in order of `order`, then name.
struct BenchRegistration {
    BenchRegistration(int order, std::function<BenchCase()> factory);
};
