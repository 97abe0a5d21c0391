#include "app/safe_save.h"

#include <QSaveFile>

SaveResult saveFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {false, file.errorString()};

    // QSaveFile::commit() in Qt 5.15 neither checks the final flush nor notices a short write,
    // so a full disk could otherwise end as a truncated file reported as saved.
    const qint64 written = file.write(bytes);
    if (written != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        file.commit();  // discards the temporary file; the target is untouched
        return {false, reason.isEmpty() ? QStringLiteral("short write") : reason};
    }
    if (!file.commit())
        return {false, file.errorString()};
    return {true, QString()};
}
