#include "app/combo_text_signal.h"

#include "app/main_window.h"

#include <QComboBox>

QMetaObject::Connection connectCurrentText(QComboBox *box, MainWindow *window,
                                           void (MainWindow::*slot)(QString))
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return QObject::connect(box, QOverload<const QString &>::of(&QComboBox::currentIndexChanged),
                            window, slot);
#pragma GCC diagnostic pop
}
