#include "app/main_window.h"

#include "app/safe_save.h"
#include "app/ui_seam.h"
#include "catalogue/dat_codec.h"
#include "catalogue/whole_file.h"

#include <QDir>
#include <QFileInfo>

// A missing file and a corrupt one get the same box; its informative text says which it is. The
// catalogue is only ever replaced by a completely read file.
void MainWindow::readDataFile(const QString &path)
{
    QByteArray bytes;
    QString reason;
    if (!readWholeFile(path, kMaxDatFileBytes, bytes, &reason) || !decodeDataFile(bytes, catalogue, &reason))
        uiSeam().message(this, MessageKind::Critical, QStringLiteral("Error"),
                         QStringLiteral("The file of data.dat could not be read."),
                         catalogueReadFailure(path, reason,
                                              QStringLiteral("No catalogue is in use: the panel, cable and device "
                                                             "lists stay empty.")));
}

void MainWindow::readNameFile(const QString &path)
{
    QByteArray bytes;
    QString reason;
    if (!readWholeFile(path, kMaxDatFileBytes, bytes, &reason) || !decodeNameFile(bytes, catalogue, &reason)) {
        // The data step left data.dat beside it, read or written from data.xlsx.
        const QString dataFile = QFileInfo(path).absolutePath() + QStringLiteral("/data.dat");
        uiSeam().message(this, MessageKind::Critical, QStringLiteral("Error"),
                         QStringLiteral("The file of name.dat could not be read."),
                         catalogueReadFailure(path, reason,
                                              QStringLiteral("The names stored with the data stay in use (%1), "
                                                             "and the catalogue has no version.")
                                                  .arg(QDir::toNativeSeparators(dataFile))));
    }
}

namespace {

// Every start imports the workbooks again, and mostly they have not changed: a file that already
// holds these bytes is left alone rather than replaced by an identical copy, which would cost a
// flush to disk on each start. A failed write keeps the previous file and, as before, says
// nothing: the workbook stays the source and is imported again at the next start.
void saveUnlessUnchanged(const QString &path, const QByteArray &bytes)
{
    QByteArray current;
    if (readWholeFile(path, kMaxDatFileBytes, current) && current == bytes)
        return;
    saveFileAtomically(path, bytes);
}

}  // namespace

void MainWindow::writeDataFile(const QString &path) { saveUnlessUnchanged(path, encodeDataFile(catalogue)); }

void MainWindow::writeNameFile(const QString &path) { saveUnlessUnchanged(path, encodeNameFile(catalogue)); }
