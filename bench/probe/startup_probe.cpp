// Starts one window the way main() does and quits once the event loop has shown it, so that the
// benchmark can time whole processes: "quillon <catalogue dir>", "empty", or "label" (an empty
// window with one line of text, which is all it takes to start the font system).
#include "app/application_setup.h"
#include "app/main_window.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <cstring>
#include <memory>

int main(int argc, char *argv[])
{
    prepareHighDpiScaling();
    QApplication app(argc, argv);
    setUpApplication();
    std::unique_ptr<QMainWindow> window;
    if (argc > 2 && std::strcmp(argv[1], "quillon") == 0) {
        setCatalogueDirectoryForTesting(QString::fromLocal8Bit(argv[2]));
        window = std::make_unique<MainWindow>();
    } else {
        window = std::make_unique<QMainWindow>();
        window->resize(1100, 700);
        if (argc > 1 && std::strcmp(argv[1], "label") == 0)
            window->setCentralWidget(new QLabel(QStringLiteral("Quillon")));
    }
    window->show();
    // Posted after show(): runs once the expose and first paint queued before it are through.
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
