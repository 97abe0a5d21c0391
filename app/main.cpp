#include "app/application_setup.h"
#include "app/main_window.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    prepareHighDpiScaling();
    QApplication app(argc, argv);
    setUpApplication();
    MainWindow window;
    window.show();
    return app.exec();
}
