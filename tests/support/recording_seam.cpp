#include "recording_seam.h"

RecordingSeam::RecordingSeam() { installUiSeam(this); }

RecordingSeam::~RecordingSeam() { installUiSeam(nullptr); }

void RecordingSeam::message(QWidget *, MessageKind kind, const QString &title, const QString &text,
                            const QString &detail)
{
    messages.append({kind, title, text, detail});
}

QMessageBox::StandardButton RecordingSeam::question(QWidget *, const QString &title, const QString &text,
                                                   QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton defaultButton,
                                                   const QString &detail)
{
    questions.append({title, text, detail, buttons, defaultButton});
    if (!answers.isEmpty())
        return answers.takeFirst();
    for (QMessageBox::StandardButton goOn : {QMessageBox::Discard, QMessageBox::Ok, QMessageBox::Yes})
        if (buttons.testFlag(goOn))
            return goOn;
    return defaultButton;
}

QString RecordingSeam::openFileName(QWidget *, const QString &caption, const QString &dir,
                                    const QString &filter)
{
    fileDialogs.append({false, caption, dir, filter});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QString RecordingSeam::saveFileName(QWidget *, const QString &caption, const QString &dir,
                                    const QString &filter)
{
    fileDialogs.append({true, caption, dir, filter});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

void RecordingSeam::openUrl(const QUrl &url) { openedUrls.append(url); }

QStringList RecordingSeam::texts() const
{
    QStringList result;
    for (const Message &m : messages)
        result.append(m.text);
    return result;
}

void RecordingSeam::clear()
{
    messages.clear();
    questions.clear();
    answers.clear();
    fileDialogs.clear();
    openedUrls.clear();
    fileAnswers.clear();
}

const char *messageKindName(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Information:
        return "information";
    case MessageKind::Warning:
        return "warning";
    case MessageKind::Critical:
        return "critical";
    case MessageKind::About:
        return "about";
    }
    return "?";
}
