#pragma once

#include <QMessageBox>
#include <QString>

class QUrl;
class QWidget;

enum class MessageKind { Information, Warning, Critical, About };

// Every modal interaction of the program goes through here, so that tests can answer and
// record it without blocking. The default shows the real Qt dialogs.
class UiSeam {
public:
    virtual ~UiSeam();
    // detail, when given, is the box's informative text under text (the system's reason for a
    // failure).
    virtual void message(QWidget *parent, MessageKind kind, const QString &title, const QString &text,
                         const QString &detail = QString()) = 0;
    // A question with standard buttons; returns the button chosen (the escape button, Cancel where
    // there is one, when the box is closed otherwise).
    virtual QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton,
                                                 const QString &detail = QString()) = 0;
    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &dir,
                                 const QString &filter) = 0;
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                 const QString &filter) = 0;
    virtual void openUrl(const QUrl &url) = 0;
};

UiSeam &uiSeam();
// nullptr puts the real dialogs back. The seam is not owned.
void installUiSeam(UiSeam *seam);
