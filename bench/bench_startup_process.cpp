#include "bench.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <utility>

namespace {

double emptyWindowMedian = 0.0;

// One whole process of the start-up probe, from launch to exit after the window was shown.
void runProbe(const QStringList &arguments)
{
    QProcess probe;
    probe.setStandardOutputFile(QProcess::nullDevice());
    probe.setStandardErrorFile(QProcess::nullDevice());
    probe.start(QStringLiteral(QUILLON_STARTUP_PROBE), arguments);
    if (!probe.waitForFinished(30000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        qFatal("start-up probe failed: %s", qPrintable(arguments.join(' ')));
}

// A probe process of a plain window: "empty", or "label" with one line of text.
BenchCase plainWindowCase(const char *operation, const QString &mode, std::function<QString(double)> summary)
{
    BenchCase c;
    c.operation = operation;
    c.runs = 21;
    c.childProcess = true;
    c.run = [mode] { runProbe({mode}); };
    c.summary = std::move(summary);
    return c;
}

BenchRegistration emptyWindow(1, [] {
    return plainWindowCase("process: empty QMainWindow", QStringLiteral("empty"), [](double median) {
        emptyWindowMedian = median;
        return QStringLiteral("1100 x 700, same font");
    });
});

// The least a window showing text costs: the font system starts, one font is loaded and one line
// is laid out and drawn.
BenchRegistration labelWindow(2, [] {
    return plainWindowCase("process: QMainWindow, one label", QStringLiteral("label"), [](double median) {
        return emptyWindowMedian > 0 ? QStringLiteral("%1 x empty").arg(median / emptyWindowMedian, 0, 'f', 2)
                                     : QStringLiteral("-");
    });
});

// data.xlsx and name.xlsx of the full catalogue beside it: imported, written as .dat, window shown.
BenchRegistration quillonWindow(3, [] {
    auto dir = std::make_shared<QTemporaryDir>();
    for (const char *name : {"data.xlsx", "name.xlsx"}) {
        if (!QFile::copy(QStringLiteral(QUILLON_FIXTURES_DIR "/full/") + name, dir->filePath(name)))
            qFatal("cannot copy %s", name);
    }
    BenchCase c;
    c.operation = "process: Quillon, full import";
    c.runs = 21;
    c.childProcess = true;
    c.run = [dir] { runProbe({QStringLiteral("quillon"), dir->path()}); };
    c.summary = [](double median) {
        return emptyWindowMedian > 0 ? QStringLiteral("%1 x empty (<= 1.25)").arg(median / emptyWindowMedian, 0, 'f', 2)
                                     : QStringLiteral("-");
    };
    return c;
});

}  // namespace
