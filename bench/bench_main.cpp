#include "bench.h"

#include "app/ui_seam.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QLineEdit>
#include <QUrl>
#include <QVector>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>

namespace {

std::multimap<int, std::function<BenchCase()>> &registry()
{
    static std::multimap<int, std::function<BenchCase()>> cases;
    return cases;
}

// The benchmark must never block on a dialog.
class SilentSeam final : public UiSeam {
public:
    void message(QWidget *, MessageKind, const QString &, const QString &, const QString &) override {}
    QMessageBox::StandardButton question(QWidget *, const QString &, const QString &, QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton, const QString &) override
    {
        return buttons.testFlag(QMessageBox::Discard) ? QMessageBox::Discard : QMessageBox::Ok;
    }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    void openUrl(const QUrl &) override {}
};

}  // namespace

void settleIdle(QWidget *window)
{
    // Steady for a stretch of time rather than a number of passes: under valgrind one idle slice
    // can outlast several passes that find nothing to do.
    int last = -1;
    QElapsedTimer limit;
    QElapsedTimer steady;
    limit.start();
    steady.start();
    while (steady.elapsed() < 50 && limit.elapsed() < 20000) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const int fields = window->findChildren<QLineEdit *>().size();
        if (fields != last)
            steady.restart();
        last = fields;
    }
}

// CPU time of the calling thread in ms, or a negative value where it cannot be read. On a machine
// shared with other work it stays close to what the wall clock would show on an idle one.
double threadCpuMilliseconds()
{
#if defined(Q_OS_UNIX) && defined(CLOCK_THREAD_CPUTIME_ID)
    timespec now {};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) == 0)
        return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
#endif
    return -1.0;
}

BenchRegistration::BenchRegistration(int order, std::function<BenchCase()> factory)
{
    registry().emplace(order, std::move(factory));
}

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QFont font;
    font.setPointSize(10);
    QApplication::setFont(font);
    SilentSeam seam;
    installUiSeam(&seam);

    const QString filter = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    std::printf("%-34s %6s %12s %12s %12s %12s  %s\n", "operation", "runs", "median ms", "min ms", "max ms",
                "cpu med ms", "target");
    for (const auto &entry : registry()) {
        BenchCase c = entry.second();
        if (!filter.isEmpty() && !c.operation.contains(filter, Qt::CaseInsensitive))
            continue;
        QVector<double> times;
        QVector<double> cpuTimes;
        times.reserve(c.runs);
        for (int i = 0; i < c.runs; ++i) {
            if (c.prepare)
                c.prepare();
            const double cpuStart = threadCpuMilliseconds();
            QElapsedTimer timer;
            timer.start();
            c.run();
            times.append(timer.nsecsElapsed() / 1e6);
            cpuTimes.append(threadCpuMilliseconds() - cpuStart);
        }
        if (c.finish)
            c.finish();
        std::sort(times.begin(), times.end());
        std::sort(cpuTimes.begin(), cpuTimes.end());
        const double median = times.isEmpty() ? 0.0 : times[times.size() / 2];
        const double cpuMedian = cpuTimes.isEmpty() ? -1.0 : cpuTimes[cpuTimes.size() / 2];
        const QByteArray cpuText = c.childProcess || threadCpuMilliseconds() < 0
                                       ? QByteArray("-")
                                       : QByteArray::number(cpuMedian, 'f', 3);
        std::printf("%-34s %6d %12.3f %12.3f %12.3f %12s  %s\n", qPrintable(c.operation), c.runs, median,
                    times.isEmpty() ? 0.0 : times.first(), times.isEmpty() ? 0.0 : times.last(), cpuText.constData(),
                    qPrintable(c.summary ? c.summary(median)
                                         : c.target.isEmpty() ? QStringLiteral("-") : c.target));
        std::fflush(stdout);
    }
    installUiSeam(nullptr);
    return 0;
}
