#include "bench.h"

#include "app/main_window.h"
#include "test_catalogues.h"

#include <QApplication>
#include <QTemporaryDir>
#include <memory>

namespace {

// Start-up on the full-capacity catalogue kept as data.dat/name.dat: construction to window shown.
BenchRegistration startup(0, [] {
    auto dir = std::make_shared<QTemporaryDir>();
    auto window = std::make_shared<std::unique_ptr<MainWindow>>();
    resetProcessState();
    catalogue = fullCatalogue();
    MainWindow::writeDataFile(dir->filePath("data.dat"));
    MainWindow::writeNameFile(dir->filePath("name.dat"));
    BenchCase c;
    c.operation = "start-up (.dat catalogue)";
    c.target = "-";
    c.runs = 20;
    c.prepare = [dir, window] {
        window->reset();
        resetProcessState();
        setCatalogueDirectoryForTesting(dir->path());
    };
    c.run = [window] {
        *window = std::make_unique<MainWindow>();
        (*window)->show();
        QApplication::processEvents();
    };
    c.finish = [window] {
        window->reset();
        setCatalogueDirectoryForTesting(QString());
        resetProcessState();
    };
    return c;
});

}  // namespace
