#pragma once

#include <QByteArray>
#include <QString>

struct SaveResult {
    bool ok = false;
    QString error;  // empty on success
};

// Replaces the file at path with bytes, atomically: on any failure (cannot open, short write,
// full disk, rename refused) the previous file is left as it was and ok is false.
// Every file the program writes goes through here.
SaveResult saveFileAtomically(const QString &path, const QByteArray &bytes);
