#pragma once

#include <QMetaObject>
#include <QString>

class MainWindow;
class QComboBox;

// Connects QComboBox::currentIndexChanged(const QString&), which hands the slot the new item
// text. Qt 5.15 deprecates that signal; this is the one place that uses it.
QMetaObject::Connection connectCurrentText(QComboBox *box, MainWindow *window,
                                           void (MainWindow::*slot)(QString));
