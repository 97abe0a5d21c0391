#include "app/user_input_watch.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

UserInputWatch::UserInputWatch(QWidget *window, std::function<void()> onInput)
    : QObject(window), window(window), onInput(std::move(onInput))
{
    QCoreApplication::instance()->installEventFilter(this);
}

UserInputWatch::~UserInputWatch()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool UserInputWatch::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:  // a button clicked from the keyboard acts on release
    case QEvent::MouseButtonRelease:
    case QEvent::Drop:
    case QEvent::InputMethod:
        if (watched->isWidgetType() && static_cast<QWidget *>(watched)->window() == window)
            onInput();
        break;
    default:
        break;
    }
    return false;
}
