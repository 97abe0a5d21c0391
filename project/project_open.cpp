#include "project/project_open.h"

#include "loops/loop_state.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

int storedDeviceRows(const Catalogue &c) { return std::min(validDeviceCount(c), deviceGridRowCount(c)); }

int loopsAfterOpening(const QMap<QString, PanelRecord> &panels, const QString &shownPanel, int shownLoops,
                      const QString &filePanel)
{
    const auto panel = panels.constFind(filePanel);
    if (panel == panels.cend() || filePanel == shownPanel)
        return shownLoops;
    return usableLoopCount(panel->loopCount);
}

bool readProjectBytes(const QString &fileName, QByteArray *bytes, QString *reason)
{
    QFile file(fileName);
    // One byte more than the limit tells an oversized file.
    if (file.open(QIODevice::ReadOnly)) {
        *bytes = file.read(kMaxProjectFileBytes + 1);
        if (file.error() == QFileDevice::NoError)
            return true;
    }
    if (reason)
        *reason = file.errorString();
    return false;
}

ProjectOpenResult checkProjectForOpen(const QByteArray &bytes, const Catalogue &c,
                                      const QMap<QString, PanelRecord> &panels, const QString &shownPanel,
                                      int shownLoops, ProjectData *data, QString *reason)
{
    const auto refuse = [reason](ProjectOpenResult result, const QString &why) {
        if (reason)
            *reason = why;
        return result;
    };
    if (bytes.size() > kMaxProjectFileBytes)
        return refuse(ProjectOpenResult::NotLegal,
                      QStringLiteral("The file is larger than the %1 MiB a project file may hold.")
                          .arg(kMaxProjectFileBytes / (1024 * 1024)));
    ProjectData read;
    switch (decodeProject(bytes, c.catalogueVersionNumber, storedDeviceRows(c), &read, reason)) {
    case ProjectFileError::None:
        break;
    case ProjectFileError::NotLegal:
        return ProjectOpenResult::NotLegal;
    case ProjectFileError::WrongVersion:
        return ProjectOpenResult::WrongVersion;
    }
    // More loops than the grid will have would put cables and counts into fields that do not exist.
    const int loops = loopsAfterOpening(panels, shownPanel, shownLoops, read.panelName);
    if (read.loopCount > loops)
        return refuse(ProjectOpenResult::NotLegal,
                      panels.contains(read.panelName)
                          ? QStringLiteral("It holds %1 loops, but the panel \"%2\" has %3.")
                                .arg(read.loopCount)
                                .arg(read.panelName)
                                .arg(loops)
                          : QStringLiteral("It holds %1 loops for the panel \"%2\", which this catalogue does "
                                           "not list, and the window has %3 loops.")
                                .arg(read.loopCount)
                                .arg(read.panelName)
                                .arg(loops));
    *data = read;
    return ProjectOpenResult::Accepted;
}

ProjectOpenResult readProjectForOpen(const QString &fileName, const Catalogue &c,
                                     const QMap<QString, PanelRecord> &panels, const QString &shownPanel,
                                     int shownLoops, ProjectData *data, QString *reason)
{
    QByteArray bytes;
    if (!readProjectBytes(fileName, &bytes, reason))
        return ProjectOpenResult::Unopenable;
    return checkProjectForOpen(bytes, c, panels, shownPanel, shownLoops, data, reason);
}

QString projectRefusalText(ProjectOpenResult result)
{
    switch (result) {
    case ProjectOpenResult::NotLegal:
        return QStringLiteral("The document is not legal");
    case ProjectOpenResult::WrongVersion:
        return QStringLiteral("Please open the file in the correct version");
    case ProjectOpenResult::Unopenable:
        return QStringLiteral("The file could not be opened.");
    case ProjectOpenResult::Accepted:
        break;
    }
    return QString();
}

QString fileReasonText(const QString &fileName, const QString &reason)
{
    return QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath()) + QLatin1Char('\n') + reason;
}
