#pragma once

#include "catalogue/catalogue.h"
#include "project/project_file.h"

#include <QMap>
#include <QString>

// How Open ends for a file, decided before anything in the window changes.
enum class ProjectOpenResult {
    Accepted,
    Unopenable,    // the file cannot be opened or read: "The file could not be opened."
    NotLegal,      // "The document is not legal"
    WrongVersion,  // "Please open the file in the correct version"
};

// Rows of the count grid that the file's main block holds; the rest go into the trailing block.
int storedDeviceRows(const Catalogue &c);

// The loop columns of the count grid once Open has selected filePanel in a window that shows
// shownPanel with shownLoops columns: a panel other than the one shown rebuilds the grid for it;
// an unknown panel or the one shown leaves the grid as it is.
int loopsAfterOpening(const QMap<QString, PanelRecord> &panels, const QString &shownPanel, int shownLoops,
                      const QString &filePanel);

// Checks the bytes of a project file as Open does, for catalogue c (panels: its panel index) and
// a window in the state described above. *data is set only when the file is accepted; otherwise
// *reason, when given, says what is wrong with the file.
ProjectOpenResult checkProjectForOpen(const QByteArray &bytes, const Catalogue &c,
                                      const QMap<QString, PanelRecord> &panels, const QString &shownPanel,
                                      int shownLoops, ProjectData *data, QString *reason = nullptr);

// Reads fileName, as much as Open reads, into *bytes; false, with the system's reason in *reason
// when given, when it cannot be opened or read.
bool readProjectBytes(const QString &fileName, QByteArray *bytes, QString *reason = nullptr);

// Both of the above.
ProjectOpenResult readProjectForOpen(const QString &fileName, const Catalogue &c,
                                     const QMap<QString, PanelRecord> &panels, const QString &shownPanel,
                                     int shownLoops, ProjectData *data, QString *reason = nullptr);

// The text of the "Error" box for a refusal; for Unopenable "The file could not be opened.";
// empty for Accepted.
QString projectRefusalText(ProjectOpenResult result);

// The informative text of that box: the file's full native path, then the reason on a line of its own.
QString fileReasonText(const QString &fileName, const QString &reason);
