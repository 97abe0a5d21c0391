#include "bench.h"

#include "app/main_window.h"
#include "test_catalogues.h"

#include <QApplication>
#include <QComboBox>
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

struct PanelSwitch {
    std::unique_ptr<FullWindow> fixture;
    int from = 0;
    int to = 0;
};

// Replaced per-loop widgets are deleted on the next pass of the event loop; finish that (and
// compact the posted-event queue) outside the timed part, as the idle event loop would.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
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
    settle();
    if (w.deviceTable->rowCount() != kMaxDeviceRows)
        std::fprintf(stderr, "%s: only %d device rows\n", qPrintable(operation), w.deviceTable->rowCount());

    BenchCase c;
    c.operation = operation;
    c.target = withEventLoop ? QStringLiteral("-") : QStringLiteral("< 16 ms");
    c.runs = 31;
    c.prepare = [state] {
        state->fixture->window().panelComboBox->setCurrentIndex(state->from);
        settle();
    };
    // The combo box runs setLoopColumn and then flushPanel, as a user's choice does.
    c.run = [state, withEventLoop] {
        state->fixture->window().panelComboBox->setCurrentIndex(state->to);
        if (withEventLoop)
            settle();
    };
    c.finish = [state] {
        state->fixture.reset();
        settle();
    };
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
BenchRegistration blankTo16Settled(44, [] {
    return panelSwitchCase(QStringLiteral("panel blank -> 16 + event loop"), QString(), sixteenLoops, 1, true);
});

}  // namespace
