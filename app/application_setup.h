#pragma once

#include <QList>

class QIcon;

// The organisation, name and version every program of Quillon reports: QSettings and the
// application-data folder are keyed by them, and --version prints the version. Call before
// anything reads settings or paths; safe before the QApplication exists.
void setApplicationIdentity();

// Call before the QApplication is built: the window keeps its logical geometry and is drawn at
// the screen's scale (Windows display scaling, a high-DPI X screen, QT_SCALE_FACTOR).
void prepareHighDpiScaling();

// Call once the QApplication exists: the 10-point application font and the window icon.
void setUpApplication();

// The sizes of the icon set in packaging/icons, which the program carries as a resource.
QList<int> iconSizes();

// The program's icon in every one of those sizes; PNG needs no image plugin on any platform.
QIcon quillonIcon();
