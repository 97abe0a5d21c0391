#include "app/main_window.h"

#include <QApplication>
#include <QFont>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QFont font;
    font.setPointSize(10);
    QApplication::setFont(font);
    MainWindow window;
    window.show();
    return app.exec();
}
