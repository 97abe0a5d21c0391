#pragma once

#include <QString>

// Names of the scratch files the Windows save writes beside its target, kept apart so that they
// are tested on every platform.

// The longest name Windows (NTFS, FAT, ReFS) allows for one file or folder, in UTF-16 units.
constexpr int kMaxNameLength = 255;

// What every scratch name of target name fileName begins with: ".NAME.". When the scratch name
// would pass kMaxNameLength, NAME is cut short (never inside a surrogate pair) and followed by
// "~" and eight hex digits of the whole name, so that two long names never share it.
QString scratchPrefix(const QString &fileName);

// The scratch name with tag: the prefix, eight hex digits, ".saving"; at most kMaxNameLength long.
QString scratchFileName(const QString &fileName, quint32 tag);

// Whether candidate is a scratch name of fileName: any tag, or the ".NAME.saving" and
// ".NAME.writing" of older releases. Case-insensitive, as Windows compares names.
bool isScratchOf(const QString &candidate, const QString &fileName);
