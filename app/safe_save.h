#pragma once

#include <QByteArray>
#include <QString>

#ifdef Q_OS_WIN
#include <string>
#endif

struct SaveResult {
    bool ok = false;
    QString error;  // the system's reason, for the message box's informative text; empty on success
};

// Replaces the file at path with bytes, atomically: on any failure (cannot open, short write,
// full disk, rename refused) the previous file is left as it was and ok is false.
// Every file the program writes goes through here.
SaveResult saveFileAtomically(const QString &path, const QByteArray &bytes);

#ifdef Q_OS_WIN
// The full path of path as the "\\?\" or "\\?\UNC\" form that Windows accepts beyond 259
// characters. Empty, with *error set to the Windows error, for a name that Windows would save
// under another name (trailing dots or spaces) or that names a device (CON, NUL).
std::wstring windowsLongPath(const QString &path, unsigned long *error);
#endif
