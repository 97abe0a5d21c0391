#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Calls back on each key, click, drop or input-method event that reaches a widget of one window.
// The count fields are pooled and must not be connected to anything, so the window learns of
// typing this way; what changed is then found by comparing, not from the event.
class UserInputWatch final : public QObject {
public:
    UserInputWatch(QWidget *window, std::function<void()> onInput);
    ~UserInputWatch() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *window;
    std::function<void()> onInput;
};
