#include "app/main_window.h"

#include "app/safe_save.h"
#include "app/ui_seam.h"
#include "app/user_settings.h"
#include "loops/loop_state.h"
#include "project/project_document.h"
#include "project/project_file.h"
#include "project/project_open.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QStandardPaths>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>

namespace {

const QString kProjectFilter = QStringLiteral("Files(*.stm)");

// Columns of the count grid as it stands now.
int gridLoopCount() { return usableLoopCount(loopState.loopCount); }

QString countText(const MainWindow &w, int row, int loop)
{
    const QLineEdit *edit = w.deviceCountEdits[row][loop];
    return edit ? edit->text() : QString();
}

ProjectData gatherProject(const MainWindow &w)
{
    if (!w.projectNameEdit)  // still being built
        return ProjectData();
    ProjectData data;
    data.catalogueVersionNumber = catalogue.catalogueVersionNumber;
    data.projectName = w.projectNameEdit->text();
    data.projectLocation = w.projectLocationEdit->text();
    data.companyName = w.companyNameEdit->text();
    data.email = w.emailEdit->text();
    data.comment = w.commentEdit->toPlainText();
    data.panelName = loopState.selectedPanelName;
    data.loopCount = gridLoopCount();
    for (int loop = 0; loop < data.loopCount; ++loop)
        data.cableNames.append(loopState.loopCableNames[loop]);
    const int storedRows = storedDeviceRows(catalogue);
    const int gridRows = deviceGridRowCount(catalogue);
    for (int row = 0; row < gridRows; ++row) {
        QStringList texts;
        for (int loop = 0; loop < data.loopCount; ++loop)
            texts.append(countText(w, row, loop));
        (row < storedRows ? data.countRows : data.extraCountRows).append(texts);
    }
    data.hasExtraRows = true;
    data.hasBattery = true;
    data.battery = w.batteryInputs();
    return data;
}

void selectText(QComboBox *box, const QString &text)
{
    const int index = box->findText(text);
    if (index >= 0)
        box->setCurrentIndex(index);
}

void setCountRows(MainWindow &w, const QVector<QStringList> &rows, int firstRow, int loopCount)
{
    const int gridRows = deviceGridRowCount(catalogue);
    for (int i = 0; i < rows.size() && firstRow + i < gridRows; ++i)
        for (int loop = 0; loop < loopCount; ++loop)
            if (QLineEdit *edit = w.deviceCountEdits[firstRow + i][loop])
                edit->setText(rows[i].value(loop));
}

// The panel first: selecting it builds the cable boxes and count fields the rest goes into.
void applyProject(MainWindow &w, const ProjectData &data)
{
    w.projectNameEdit->setText(data.projectName);
    w.projectLocationEdit->setText(data.projectLocation);
    w.companyNameEdit->setText(data.companyName);
    w.emailEdit->setText(data.email);
    w.commentEdit->setPlainText(data.comment);

    if (loopState.panelsByName.contains(data.panelName))
        selectText(w.panelComboBox, data.panelName);

    const int loopCount = std::min<int>(data.loopCount, gridLoopCount());
    for (int loop = 0; loop < loopCount; ++loop) {
        const QString &name = data.cableNames.at(loop);
        if (w.cableComboBoxes[loop] && loopState.cablesByName.contains(name))
            selectText(w.cableComboBoxes[loop], name);
    }
    setCountRows(w, data.countRows, 0, loopCount);
    if (data.hasExtraRows)
        setCountRows(w, data.extraCountRows, data.countRows.size(), loopCount);
    // After the panel, whose catalogue values fill the own currents not typed.
    w.setBatteryInputs(data.battery);
}

}  // namespace

void MainWindow::OpenProject()
{
    if (!maybeSave())
        return;
    const QString fileName = uiSeam().openFileName(this, tr("Open"), dialogStartFolder(), kProjectFilter);
    if (fileName.isEmpty())
        return;
    rememberLastUsedFolder(QFileInfo(fileName).absolutePath());
    openProject(fileName, OpenedBox::Show);
}

void MainWindow::openProjectFromCommandLine(const QStringList &arguments)
{
    if (arguments.size() < 2)
        return;
    const QString path = arguments.at(1);
    // The dialog only returns files that exist. A path typed or handed over by the desktop is
    // checked here first, so that its box says plainly what is missing.
    const QFileInfo info(path);
    const QString shown = QDir::toNativeSeparators(info.absoluteFilePath());
    QString problem;
    if (!info.exists())
        problem = QStringLiteral("The file \"%1\" does not exist.");
    else if (!info.isFile())
        problem = QStringLiteral("\"%1\" is not a file.");
    else if (!info.isReadable())
        problem = QStringLiteral("The file \"%1\" cannot be read.");
    if (!problem.isEmpty()) {
        uiSeam().message(this, MessageKind::Critical, QStringLiteral("Error"), problem.arg(shown));
        return;
    }
    // The user asked for this file and now sees it: no "opened" box.
    openProject(path, OpenedBox::Skip);
}

void MainWindow::openProject(const QString &fileName, OpenedBox openedBox)
{
    if (!loadProjectFile(fileName))
        return;
    setCurrentFile(fileName);
    if (openedBox == OpenedBox::Show)
        uiSeam().message(this, MessageKind::Information, QStringLiteral("Tips"),
                         QStringLiteral("The file has been opened!"));
}

void MainWindow::SaveProject() { saveProject(); }

void MainWindow::SaveProjectAs() { saveProjectUnderNewName(); }

bool MainWindow::saveProject()
{
    if (openFilePath.isEmpty())
        return saveProjectUnderNewName();
    return saveProjectTo(openFilePath);
}

bool MainWindow::saveProjectUnderNewName()
{
    // Save As proposes the open file itself, as editors do; a new project its name.
    const QString proposed = openFilePath.isEmpty() ? proposedSavePath(QStringLiteral("stm")) : openFilePath;
    const QString fileName = chooseFileToSave(tr("Save as"), kProjectFilter, QStringLiteral("stm"), proposed);
    return !fileName.isEmpty() && saveProjectTo(fileName);
}

bool MainWindow::saveProjectTo(const QString &fileName)
{
    QString reason;
    if (!saveProjectFile(fileName, &reason)) {
        uiSeam().message(this, MessageKind::Critical, QStringLiteral("Error"),
                         QStringLiteral("The file could not be saved."), reason);
        return false;
    }
    setCurrentFile(fileName);
    uiSeam().message(this, MessageKind::Information, QStringLiteral("Tips"),
                     QStringLiteral("The file has been saved successfully!"));
    return true;
}

bool MainWindow::maybeSave()
{
    if (!isProjectModified())
        return true;
    const QMessageBox::StandardButton answer = uiSeam().question(
        this, QStringLiteral("Quillon"), QStringLiteral("Save changes to %1?").arg(documentName(openFilePath)),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    switch (answer) {
    case QMessageBox::Save:
        return saveProject();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void MainWindow::setCurrentFile(const QString &fileName)
{
    openFilePath = fileName;
    savedProject = currentProject();
    setWindowTitle(documentWindowTitle(openFilePath));
    updateModifiedMark();
}

ProjectData MainWindow::currentProject() const { return gatherProject(*this); }

bool MainWindow::isProjectModified() const { return !(currentProject() == savedProject); }

void MainWindow::noteProjectChange()
{
    if (modifiedCheck && !modifiedCheck->isActive())
        modifiedCheck->start();
}

void MainWindow::updateModifiedMark()
{
    if (modifiedCheck)
        modifiedCheck->stop();
    const bool modified = isProjectModified();
    setWindowModified(modified);
    keepRecovery(modified);
}

QString MainWindow::dialogStartFolder() const
{
    return dialogFolder(openFilePath, lastUsedFolder(),
                        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

QString MainWindow::proposedSavePath(const QString &suffix) const
{
    return QDir(dialogStartFolder()).filePath(proposedFileName(projectNameEdit->text(), openFilePath, suffix));
}

QString MainWindow::chooseFileToSave(const QString &caption, const QString &filter, const QString &suffix,
                                     const QString &proposed)
{
    const QString chosen = uiSeam().saveFileName(this, caption, proposed, filter);
    if (chosen.isEmpty())
        return QString();
    const QString fileName = withSuffix(chosen, suffix);
    // The dialog asked about replacing the name typed, not about the one with the suffix added.
    if (fileName != chosen && QFileInfo::exists(fileName)) {
        const QMessageBox::StandardButton answer = uiSeam().question(
            this, caption,
            QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(fileName).fileName()),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No, QDir::toNativeSeparators(fileName));
        if (answer != QMessageBox::Yes)
            return QString();
    }
    rememberLastUsedFolder(QFileInfo(fileName).absolutePath());
    return fileName;
}

bool MainWindow::loadProjectFile(const QString &fileName)
{
    // Everything is read and checked before the window changes, so a refused file changes nothing.
    ProjectData data;
    QString reason;
    const ProjectOpenResult result = readProjectForOpen(fileName, catalogue, loopState.panelsByName,
                                                        panelComboBox->currentText(), gridLoopCount(), &data,
                                                        &reason);
    if (result != ProjectOpenResult::Accepted) {
        uiSeam().message(this, MessageKind::Critical, QStringLiteral("Error"), projectRefusalText(result),
                         fileReasonText(fileName, reason));
        return false;
    }
    showProject(data);
    return true;
}

void MainWindow::showProject(const ProjectData &data)
{
    // The panel box may already show the file's panel, and then nothing resets the results.
    clearCalculation();
    QScopedValueRollback<bool> replacing(replacingProject, true);
    applyProject(*this, data);
}

bool MainWindow::saveProjectFile(const QString &fileName, QString *reason)
{
    const QByteArray bytes = encodeProject(gatherProject(*this));
    if (bytes.isEmpty()) {
        if (reason)
            *reason = QStringLiteral("The project is larger than the 32 MiB a project file may hold.");
        return false;
    }
    const SaveResult result = saveFileAtomically(fileName, bytes);
    if (reason)
        *reason = result.error;
    return result.ok;
}
