#include "app/main_window.h"

#include "app/ui_seam.h"
#include "loops/loop_state.h"
#include "project/project_document.h"
#include "project/project_open.h"
#include "project/recovery.h"

#include <QComboBox>
#include <QDir>
#include <QTimer>

void MainWindow::setRecoveryDelay(int milliseconds) { recoveryTimer->setInterval(milliseconds); }

void MainWindow::keepRecovery(bool modified)
{
    if (!recoveryTimer)
        return;
    if (modified) {
        // Not restarted by every keystroke: an hour of steady typing is still written every few seconds.
        if (!recoveryTimer->isActive())
            recoveryTimer->start();
        return;
    }
    recoveryTimer->stop();
    recovery->discard();
}

void MainWindow::writeRecovery()
{
    // A failed write leaves the previous recovery file; the next change tries again. Nothing is
    // shown: a box every few seconds would stop the user's work for a safety net.
    if (isProjectModified())
        recovery->write(currentProject(), openFilePath);
}

bool MainWindow::offerRecovery()
{
    QList<LeftRecovery> left = recovery->takeLeftBehind();
    if (left.isEmpty())
        return false;
    // The newest; any older ones stay for a later start.
    LeftRecovery &newest = left.last();
    const QString detail = newest.projectPath.isEmpty()
                               ? QStringLiteral("The project had not been saved yet.")
                               : QStringLiteral("Its file: %1").arg(QDir::toNativeSeparators(newest.projectPath));
    const QMessageBox::StandardButton answer = uiSeam().question(
        this, QStringLiteral("Quillon"), QStringLiteral("Quillon closed without saving. Restore the unsaved project?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, detail);
    if (answer != QMessageBox::Yes) {
        ProjectRecovery::forget(newest);
        return false;
    }

    ProjectData data;
    QString reason;
    const ProjectOpenResult result =
        checkProjectForOpen(newest.projectBytes, catalogue, loopState.panelsByName, panelComboBox->currentText(),
                            usableLoopCount(loopState.loopCount), &data, &reason);
    if (result != ProjectOpenResult::Accepted) {
        // Kept on disk: a later release or the right catalogue may still read it.
        uiSeam().message(this, MessageKind::Critical, QStringLiteral("Error"),
                         QStringLiteral("The unsaved project could not be restored."),
                         fileReasonText(newest.file, projectRefusalText(result) + QStringLiteral(": ") + reason));
        return false;
    }
    showProject(data);
    // Modified against the file it came from, or against nothing when that cannot be read.
    ProjectData onDisk;
    if (newest.projectPath.isEmpty()
        || readProjectForOpen(newest.projectPath, catalogue, loopState.panelsByName, panelComboBox->currentText(),
                              usableLoopCount(loopState.loopCount), &onDisk)
               != ProjectOpenResult::Accepted)
        onDisk = ProjectData();
    openFilePath = newest.projectPath;
    savedProject = onDisk;
    setWindowTitle(documentWindowTitle(openFilePath));
    updateModifiedMark();
    // Safe in this process's own recovery file before the one left behind goes.
    writeRecovery();
    ProjectRecovery::forget(newest);
    return true;
}
