#pragma once

#include <QString>

// What the window remembers between runs (the last folder used) lives in one INI file in the
// user's configuration folder. A file rather than the Windows registry, so that tests, which
// turn on QStandardPaths' test mode, never touch the user's own settings on any system.
QString userSettingsFile();
// Tests that run side by side each keep their own file; empty restores the default.
void setUserSettingsFileForTesting(const QString &path);

// The folder of the last project or PDF chosen in a file dialog; empty when none is kept.
QString lastUsedFolder();
void rememberLastUsedFolder(const QString &folder);
