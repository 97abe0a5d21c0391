#pragma once

#include "app/ui_seam.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// Answers every modal interaction at once and records it.
class RecordingSeam final : public UiSeam {
public:
    struct Message {
        MessageKind kind;
        QString title;
        QString text;
        QString detail;
    };
    struct Question {
        QString title;
        QString text;
        QString detail;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton;
    };
    struct FileDialog {
        bool save;
        QString caption;
        QString dir;
        QString filter;
    };

    RecordingSeam();   // installs itself
    ~RecordingSeam() override;  // puts the real dialogs back

    void message(QWidget *parent, MessageKind kind, const QString &title, const QString &text,
                 const QString &detail = QString()) override;
    QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                         QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton defaultButton,
                                         const QString &detail = QString()) override;
    QString openFileName(QWidget *parent, const QString &caption, const QString &dir,
                         const QString &filter) override;
    QString saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                         const QString &filter) override;
    void openUrl(const QUrl &url) override;

    QStringList texts() const;  // the message texts, in order
    void clear();

    QList<Message> messages;
    QList<Question> questions;
    // Answers for the next questions, in order. Without one, a question is answered so that the
    // action goes on as it did before the window asked: Discard, else Ok, else Yes.
    QList<QMessageBox::StandardButton> answers;
    QList<FileDialog> fileDialogs;
    QList<QUrl> openedUrls;
    QStringList fileAnswers;  // answers for the next file dialogs, in order; empty means "cancelled"
};

const char *messageKindName(MessageKind kind);
