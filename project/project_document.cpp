#include "project/project_document.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString kProjectSuffix = QStringLiteral("stm");
}

QString documentWindowTitle(const QString &filePath)
{
    if (filePath.isEmpty())
        return QStringLiteral("Quillon[*]");
    return QFileInfo(filePath).fileName() + QStringLiteral("[*] \u2013 Quillon");
}

QString documentName(const QString &filePath)
{
    if (filePath.isEmpty())
        return QStringLiteral("Untitled");
    QString name = QFileInfo(filePath).fileName();
    if (name.endsWith(QLatin1Char('.') + kProjectSuffix, Qt::CaseInsensitive) && name.size() > 4)
        name.chop(4);
    return name;
}

QString withSuffix(const QString &fileName, const QString &suffix)
{
    const QString ending = QLatin1Char('.') + suffix;
    if (fileName.isEmpty() || fileName.endsWith(ending, Qt::CaseInsensitive))
        return fileName;
    return fileName + ending;
}

QString dialogFolder(const QString &openFilePath, const QString &lastFolder, const QString &documentsFolder)
{
    // A dialog told to start in a folder that is not there starts in the working folder, on
    // Windows the program's own: each choice counts only while its folder exists.
    const auto exists = [](const QString &folder) { return !folder.isEmpty() && QFileInfo(folder).isDir(); };
    const QString openFolder = openFilePath.isEmpty() ? QString() : QFileInfo(openFilePath).absolutePath();
    for (const QString &folder : {openFolder, lastFolder, documentsFolder}) {
        if (exists(folder))
            return folder;
    }
    return QDir::homePath();
}

QString proposedFileName(const QString &projectName, const QString &openFilePath, const QString &suffix)
{
    QString base = projectName.simplified();
    if (base.isEmpty() && !openFilePath.isEmpty())
        base = QFileInfo(withSuffix(openFilePath, kProjectSuffix)).completeBaseName();
    for (QChar &c : base) {
        if (c.unicode() < 0x20 || QStringLiteral("<>:\"/\\|?*").contains(c))
            c = QLatin1Char('_');
    }
    // Windows drops trailing dots and blanks from a name; a name of dots alone is no name.
    while (base.endsWith(QLatin1Char('.')) || base.endsWith(QLatin1Char(' ')))
        base.chop(1);
    if (base.isEmpty())
        base = QStringLiteral("Untitled");
    return withSuffix(base, suffix);
}
