#pragma once

#include "catalogue/catalogue.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

class MainWindow;

// A device record with no counts and no second row.
DeviceRecord makeDevice(const QString &code, const QString &name, const QString &type, float quiescent,
                        float alarm);

// The bundled sample catalogue (6 panels, 5 cables, 15 devices, OPT-100 and MCP-50 with second
// rows), built in code so that tests do not depend on the workbook reader.
Catalogue sampleCatalogue();

// A catalogue at full capacity: 10 panels (the last with 16 loops), 15 cables, 55 devices,
// every device with a second row, extraDeviceRows 55.
Catalogue fullCatalogue();

// What the system says of a file that does not exist, as QFile reports it: "No such file or
// directory" on POSIX systems, "File not found." on Windows.
QString missingFileReason();

// Empties the catalogue and the loop state, as at program start.
void resetProcessState();

// A main window started on the given catalogue: the catalogue is written as data.dat/name.dat
// into a private directory, which the window then loads at construction. Settings the window
// keeps go to a file of that directory (QStandardPaths' test mode on as well).
class WindowFixture {
public:
    // recoveryDir: where the window keeps its recovery file; by default a folder of its own.
    explicit WindowFixture(const Catalogue &c, const QString &recoveryDir = QString());
    ~WindowFixture();
    MainWindow &window() { return *mainWindow; }
    QString dir() const { return directory.path(); }

private:
    QTemporaryDir directory;
    std::unique_ptr<MainWindow> mainWindow;
};
