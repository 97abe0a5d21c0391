#include "catalogue/whole_file.h"

#include <QFile>

bool readWholeFile(const QString &path, qint64 maxBytes, QByteArray &bytes)
{
    bytes.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxBytes)
        return false;
    // One byte more than size() tells a file that grew meanwhile past its size.
    bytes = file.read(file.size() + 1);
    return file.error() == QFileDevice::NoError && bytes.size() <= maxBytes;
}
