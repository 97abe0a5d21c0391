#include "app/user_settings.h"

#include <QSettings>
#include <QStandardPaths>

namespace {
const QString kLastFolderKey = QStringLiteral("lastFolder");
QString settingsFileOverride;
}

void setUserSettingsFileForTesting(const QString &path) { settingsFileOverride = path; }

QString userSettingsFile()
{
    if (!settingsFileOverride.isEmpty())
        return settingsFileOverride;
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/quillon.ini");
}

QString lastUsedFolder()
{
    return QSettings(userSettingsFile(), QSettings::IniFormat).value(kLastFolderKey).toString();
}

void rememberLastUsedFolder(const QString &folder)
{
    QSettings settings(userSettingsFile(), QSettings::IniFormat);
    settings.setValue(kLastFolderKey, folder);
}
