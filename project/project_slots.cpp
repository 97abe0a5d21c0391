#include "app/main_window.h"

#include "app/safe_save.h"
#include "app/ui_seam.h"
#include "loops/loop_state.h"
#include "project/project_file.h"
#include "project/project_open.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTextEdit>
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
    const QString fileName = uiSeam().openFileName(this, tr("Open"), QDir::currentPath(), kProjectFilter);
    if (fileName.isEmpty())
        return;
    openProject(fileName, OpenedBox::Show);
}

void MainWindow::openProjectFromCommandLine(const QStringList &arguments)
{
    if (arguments.size() < 2)
        return;
    const QString path = arguments.at(1);
    // The dialog only returns files that exist. A path typed or handed over by the desktop is
    // checked here, readability too: loadProjectFile passes over an unreadable file in silence.
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
    if (loadProjectFile(fileName) && openedBox == OpenedBox::Show)
        uiSeam().message(this, MessageKind::Information, QStringLiteral("Tips"),
                         QStringLiteral("The file has been opened!"));
}

void MainWindow::SaveProject()
{
    const QString fileName = uiSeam().saveFileName(this, tr("Save as"), QDir::currentPath(), kProjectFilter);
    if (fileName.isEmpty())
        return;
    QString reason;
    if (saveProjectFile(fileName, &reason))
        uiSeam().message(this, MessageKind::Information, QStringLiteral("Tips"),
                         QStringLiteral("The file has been saved successfully!"));
    else
        uiSeam().message(this, MessageKind::Critical, QStringLiteral("Error"),
                         QStringLiteral("The file could not be saved."), reason);
}

bool MainWindow::loadProjectFile(const QString &fileName)
{
    // Everything is read and checked before the window changes, so a refused file changes nothing.
    ProjectData data;
    const ProjectOpenResult result = readProjectForOpen(fileName, catalogue, loopState.panelsByName,
                                                        panelComboBox->currentText(), gridLoopCount(), &data);
    if (result == ProjectOpenResult::Unopenable)
        return false;
    if (result != ProjectOpenResult::Accepted) {
        uiSeam().message(this, MessageKind::Critical, QStringLiteral("Error"), projectRefusalText(result));
        return false;
    }
    applyProject(*this, data);
    return true;
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
