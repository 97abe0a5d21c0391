#include "catalogue/whole_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool readWholeFile(const QString &path, qint64 maxBytes, QByteArray &bytes, QString *reason)
{
    bytes.clear();
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        if (file.size() <= maxBytes) {
            // One byte more than size() tells a file that grew meanwhile past its size.
            bytes = file.read(file.size() + 1);
            if (file.error() == QFileDevice::NoError && bytes.size() <= maxBytes)
                return true;
        }
        if (file.error() == QFileDevice::NoError) {
            if (reason)
                *reason = QStringLiteral("The file is larger than the %1 bytes such a file may hold.").arg(maxBytes);
            return false;
        }
    }
    if (reason)
        *reason = file.errorString();
    return false;
}

QString catalogueReadFailure(const QString &path, QString reason, const QString &inUse)
{
    if (!reason.endsWith(QLatin1Char('.')))
        reason += QLatin1Char('.');
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()) + QLatin1Char('\n') + reason +
           QLatin1Char('\n') + inUse;
}
