#include "app/application_setup.h"
#include "app/main_window.h"

#include <QApplication>
#include <QMetaObject>
#include <QStringList>

int main(int argc, char *argv[])
{
    setApplicationIdentity();
    prepareHighDpiScaling();
    QApplication app(argc, argv);
    setUpApplication();
    MainWindow window;
    window.show();
    // Queued, so that the window is on screen before any box about the file; the arguments come
    // from Qt, which has them as Unicode on every system (argv is in the local 8-bit encoding).
    const QStringList arguments = QCoreApplication::arguments();
    QMetaObject::invokeMethod(
        &window, [&window, arguments] { window.openProjectFromCommandLine(arguments); }, Qt::QueuedConnection);
    return app.exec();
}
