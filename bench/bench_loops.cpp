#include "bench.h"

#include "app/main_window.h"
#include "test_catalogues.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

namespace {

const QString sixteenLoops = QStringLiteral("Panel 10 (16 loops)");

// The catalogue files carry no second device rows, so the window is started on the catalogue in
// memory (from an empty directory: the readers leave it untouched) to get all 110 rows.
class FullWindow {
public:
    FullWindow()
    {
        resetProcessState();
        catalogue = fullCatalogue();
        setCatalogueDirectoryForTesting(empty.path());
        mainWindow = std::make_unique<MainWindow>();
        setCatalogueDirectoryForTesting(QString());
    }
    ~FullWindow()
    {
        mainWindow.reset();
        resetProcessState();
    }
    MainWindow &window() { return *mainWindow; }

private:
    QTemporaryDir empty;
    std::unique_ptr<MainWindow> mainWindow;
};

// Counts paint events of one widget, so that a run can wait until the table has been drawn.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget *watched) { watched->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    int paints = 0;
};

// Runs the event loop until the watched widget has been painted (or a second has passed). Out of
// line, so that callgrind's --toggle-collect can single out the event-loop part of a run.
Q_NEVER_INLINE void runUntilPainted(PaintWatch &watch)
{
    QElapsedTimer limit;
    limit.start();
    const int before = watch.paints;
    while (watch.paints == before && limit.elapsed() < 1000)
        QCoreApplication::processEvents();
}

struct PanelSwitch {
    std::unique_ptr<FullWindow> fixture;
    std::unique_ptr<PaintWatch> watch;
    int from = 0;
    int to = 0;
};

// The timed part of a panel row, out of line for callgrind's --toggle-collect.
Q_NEVER_INLINE void switchPanel(PanelSwitch &state, bool withEventLoop)
{
    state.fixture->window().panelComboBox->setCurrentIndex(state.to);
    if (withEventLoop)
        runUntilPainted(*state.watch);
}

// Replaced per-loop widgets are deleted on the next pass of the event loop; finish that (and
// compact the posted-event queue) outside the timed part, as the idle event loop would.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

void closeWindow(PanelSwitch &state)
{
    state.watch.reset();
    state.fixture.reset();
    settle();
}

// tab 1 shows the "Number of Device" table; tab 0 ("Project") leaves it hidden, as when a
// project is opened from there.
BenchCase panelSwitchCase(const QString &operation, const QString &fromPanel, const QString &toPanel,
                          int tab, bool withEventLoop = false)
{
    auto state = std::make_shared<PanelSwitch>();
    state->fixture = std::make_unique<FullWindow>();
    MainWindow &w = state->fixture->window();
    state->from = fromPanel.isEmpty() ? 0 : w.panelComboBox->findText(fromPanel);
    state->to = toPanel.isEmpty() ? 0 : w.panelComboBox->findText(toPanel);
    w.findChild<QTabWidget *>()->setCurrentIndex(tab);
    w.show();
    settleIdle(&w);
    state->watch = std::make_unique<PaintWatch>(w.deviceTable->viewport());
    if (w.deviceTable->rowCount() != kMaxDeviceRows)
        std::fprintf(stderr, "%s: only %d device rows\n", qPrintable(operation), w.deviceTable->rowCount());

    BenchCase c;
    c.operation = operation;
    c.target = QStringLiteral("< 16 ms");
    c.runs = 31;
    c.prepare = [state] {
        state->fixture->window().panelComboBox->setCurrentIndex(state->from);
        settleIdle(&state->fixture->window());
    };
    // The combo box runs setLoopColumn and then flushPanel, as a user's choice does.
    c.run = [state, withEventLoop] { switchPanel(*state, withEventLoop); };
    c.finish = [state] { closeWindow(*state); };
    return c;
}

BenchRegistration blankTo16(40, [] {
    return panelSwitchCase(QStringLiteral("panel blank -> 16 loops"), QString(), sixteenLoops, 1);
});
BenchRegistration nineTo16(41, [] {
    return panelSwitchCase(QStringLiteral("panel 9 -> 16 loops"), QStringLiteral("Panel 9 (9 loops)"),
                           sixteenLoops, 1);
});
BenchRegistration sixteenToBlank(42, [] {
    return panelSwitchCase(QStringLiteral("panel 16 loops -> blank"), sixteenLoops, QString(), 1);
});
BenchRegistration blankTo16Hidden(43, [] {
    return panelSwitchCase(QStringLiteral("panel blank -> 16, table hidden"), QString(), sixteenLoops, 0);
});
// The paint the user waits for: the event loop runs until the "Number of Device" table is drawn.
BenchRegistration blankTo16Painted(44, [] {
    return panelSwitchCase(QStringLiteral("panel blank -> 16, painted"), QString(), sixteenLoops, 1, true);
});
// The first choice after start-up: every count field is a spare made in idle time that has never
// been shown. A new window for each run, idle until its spares are made.
BenchRegistration firstChoicePainted(47, [] {
    auto state = std::make_shared<PanelSwitch>();
    BenchCase c;
    c.operation = QStringLiteral("first choice: blank -> 16, painted");
    c.target = QStringLiteral("< 16 ms");
    c.runs = 15;
    c.prepare = [state] {
        closeWindow(*state);
        state->fixture = std::make_unique<FullWindow>();
        MainWindow &w = state->fixture->window();
        state->to = w.panelComboBox->findText(sixteenLoops);
        w.findChild<QTabWidget *>()->setCurrentIndex(1);
        w.show();
        settleIdle(&w);
        state->watch = std::make_unique<PaintWatch>(w.deviceTable->viewport());
    };
    c.run = [state] { switchPanel(*state, true); };
    c.finish = [state] { closeWindow(*state); };
    return c;
});
// The fields of every loop column go back to the pool, and the table forgets them at its next layout.
BenchRegistration sixteenToBlankPainted(46, [] {
    return panelSwitchCase(QStringLiteral("panel 16 -> blank, painted"), sixteenLoops, QString(), 1, true);
});
// The window at its own size with the Calculation tab current, as a user sees it.
BenchRegistration eightTo16Painted(45, [] {
    return panelSwitchCase(QStringLiteral("window: panel 8 -> 16, painted"), QStringLiteral("Panel 8 (8 loops)"),
                           sixteenLoops, 1, true);
});

}  // namespace
