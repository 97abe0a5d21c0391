#include "app/main_window.h"

#include "app/safe_save.h"
#include "app/ui_seam.h"
#include "catalogue/dat_codec.h"
#include "catalogue/whole_file.h"

// A missing file and a corrupt one are reported alike; the catalogue is only ever replaced by a
// completely read file.
void MainWindow::readDataFile(const QString &path)
{
    QByteArray bytes;
    if (!readWholeFile(path, kMaxDatFileBytes, bytes) || !decodeDataFile(bytes, catalogue))
        uiSeam().message(this, MessageKind::Critical, QStringLiteral("Error"),
                         QStringLiteral("The file of data.dat could not be read."));
}

void MainWindow::readNameFile(const QString &path)
{
    QByteArray bytes;
    if (!readWholeFile(path, kMaxDatFileBytes, bytes) || !decodeNameFile(bytes, catalogue))
        uiSeam().message(this, MessageKind::Critical, QStringLiteral("Error"),
                         QStringLiteral("The file of name.dat could not be read."));
}

// A failed write keeps the previous file and, as before, says nothing: the workbook stays the
// source and is imported again at the next start.
void MainWindow::writeDataFile(const QString &path) { saveFileAtomically(path, encodeDataFile(catalogue)); }

void MainWindow::writeNameFile(const QString &path) { saveFileAtomically(path, encodeNameFile(catalogue)); }
