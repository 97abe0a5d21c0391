#include "app/wheel_guard.h"

#include <QEvent>
#include <QWidget>

namespace {

class WheelGuard final : public QObject {
public:
    explicit WheelGuard(QObject *parent) : QObject(parent) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Wheel && watched->isWidgetType()
            && !static_cast<QWidget *>(watched)->hasFocus()) {
            // Ignored and filtered: the application hands the wheel to the parent widget.
            event->ignore();
            return true;
        }
        return false;
    }
};

}  // namespace

void ignoreWheelWithoutFocus(QWidget *widget)
{
    widget->setFocusPolicy(Qt::StrongFocus);
    widget->installEventFilter(new WheelGuard(widget));
}
