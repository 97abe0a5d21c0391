#pragma once

#include <QByteArray>
#include <QString>

// Reads a whole file of at most maxBytes; false when it is missing, unreadable or larger.
bool readWholeFile(const QString &path, qint64 maxBytes, QByteArray &bytes);
