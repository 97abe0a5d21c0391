#include "project/project_open.h"

#include "loops/loop_state.h"

#include <QFile>
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

bool readProjectBytes(const QString &fileName, QByteArray *bytes)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // One byte more than the limit tells an oversized file.
    *bytes = file.read(kMaxProjectFileBytes + 1);
    return true;
}

ProjectOpenResult checkProjectForOpen(const QByteArray &bytes, const Catalogue &c,
                                      const QMap<QString, PanelRecord> &panels, const QString &shownPanel,
                                      int shownLoops, ProjectData *data)
{
    if (bytes.size() > kMaxProjectFileBytes)
        return ProjectOpenResult::NotLegal;
    ProjectData read;
    switch (decodeProject(bytes, c.catalogueVersionNumber, storedDeviceRows(c), &read)) {
    case ProjectFileError::None:
        break;
    case ProjectFileError::NotLegal:
        return ProjectOpenResult::NotLegal;
    case ProjectFileError::WrongVersion:
        return ProjectOpenResult::WrongVersion;
    }
    // More loops than the grid will have would put cables and counts into fields that do not exist.
    if (read.loopCount > loopsAfterOpening(panels, shownPanel, shownLoops, read.panelName))
        return ProjectOpenResult::NotLegal;
    *data = read;
    return ProjectOpenResult::Accepted;
}

ProjectOpenResult readProjectForOpen(const QString &fileName, const Catalogue &c,
                                     const QMap<QString, PanelRecord> &panels, const QString &shownPanel,
                                     int shownLoops, ProjectData *data)
{
    QByteArray bytes;
    if (!readProjectBytes(fileName, &bytes))
        return ProjectOpenResult::Unopenable;
    return checkProjectForOpen(bytes, c, panels, shownPanel, shownLoops, data);
}

QString projectRefusalText(ProjectOpenResult result)
{
    switch (result) {
    case ProjectOpenResult::NotLegal:
        return QStringLiteral("The document is not legal");
    case ProjectOpenResult::WrongVersion:
        return QStringLiteral("Please open the file in the correct version");
    case ProjectOpenResult::Accepted:
    case ProjectOpenResult::Unopenable:
        break;
    }
    return QString();
}
