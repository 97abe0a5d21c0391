#pragma once

#include <QByteArray>
#include <QString>

// Reads a whole file of at most maxBytes; false when it is missing, unreadable or larger, with
// the system's reason in *reason when given.
bool readWholeFile(const QString &path, qint64 maxBytes, QByteArray &bytes, QString *reason = nullptr);

// The informative text of a box about a catalogue file that could not be read: its full native
// path, the reason and what stays in use instead, one line each.
QString catalogueReadFailure(const QString &path, QString reason, const QString &inUse);
