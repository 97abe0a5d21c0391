#include "app/application_setup.h"

#include <QApplication>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>

// The resource lives in a static library: nothing else refers to it, so the linker would drop it
// unless it is initialised by name, from outside any namespace.
static void initIconResource() { Q_INIT_RESOURCE(app_icons); }

void setApplicationIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Quillon"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillon"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLON_VERSION));
}

void prepareHighDpiScaling()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    // Qt 5 rounds a 150 % screen up to 200 % by default, which draws the window a third larger
    // than the system asks for; the exact factor keeps it at 1650 x 1050 device pixels.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}

void setUpApplication()
{
    QFont font;
    font.setPointSize(10);
    QApplication::setFont(font);
    QApplication::setWindowIcon(quillonIcon());
}

QList<int> iconSizes() { return {16, 24, 32, 48, 64, 128, 256}; }

QIcon quillonIcon()
{
    initIconResource();
    QIcon icon;
    for (int size : iconSizes())
        icon.addFile(QStringLiteral(":/icons/quillon-%1.png").arg(size), QSize(size, size));
    return icon;
}
