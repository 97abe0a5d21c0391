#pragma once

#include "catalogue/catalogue.h"

#include <QString>
#include <QStringList>

// What reading a catalogue folder found. `ok` is false when either half could not be read.
// messages: one sentence each, in the order met: what could not be read and why, a workbook that
// was passed over for its .dat file, a sheet cut to the capacity.
struct CatalogueFolderLoad {
    bool ok = false;
    QStringList messages;
};

// Reads the catalogue in dir as start-up does: data.xlsx when it stands there and can be read,
// else data.dat; then name.xlsx, else name.dat. Unlike start-up it writes no file, so that a
// folder holding an older catalogue is only read. c must be in its initial state.
CatalogueFolderLoad loadCatalogueFolder(const QString &dir, Catalogue &c);
