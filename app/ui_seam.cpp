#include "app/ui_seam.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

UiSeam::~UiSeam() = default;

namespace {

class QtDialogs final : public UiSeam {
public:
    void message(QWidget *parent, MessageKind kind, const QString &title, const QString &text,
                 const QString &detail) override
    {
        if (!detail.isEmpty() && kind != MessageKind::About) {
            const QMessageBox::Icon icon = kind == MessageKind::Information ? QMessageBox::Information
                : kind == MessageKind::Warning                              ? QMessageBox::Warning
                                                                            : QMessageBox::Critical;
            QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
            box.setInformativeText(detail);
            box.exec();
            return;
        }
        switch (kind) {
        case MessageKind::Information:
            QMessageBox::information(parent, title, text);
            break;
        case MessageKind::Warning:
            QMessageBox::warning(parent, title, text);
            break;
        case MessageKind::Critical:
            QMessageBox::critical(parent, title, text);
            break;
        case MessageKind::About:
            QMessageBox::about(parent, title, text);
            break;
        }
    }
    QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                         QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton defaultButton,
                                         const QString &detail) override
    {
        QMessageBox box(QMessageBox::Warning, title, text, buttons, parent);
        box.setDefaultButton(defaultButton);
        if (!detail.isEmpty())
            box.setInformativeText(detail);
        return QMessageBox::StandardButton(box.exec());
    }
    QString openFileName(QWidget *parent, const QString &caption, const QString &dir,
                         const QString &filter) override
    {
        return QFileDialog::getOpenFileName(parent, caption, dir, filter);
    }
    QString saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                         const QString &filter) override
    {
        return QFileDialog::getSaveFileName(parent, caption, dir, filter);
    }
    void openUrl(const QUrl &url) override { QDesktopServices::openUrl(url); }
};

QtDialogs qtDialogs;
UiSeam *current = &qtDialogs;

}  // namespace

UiSeam &uiSeam() { return *current; }

void installUiSeam(UiSeam *seam) { current = seam ? seam : &qtDialogs; }
