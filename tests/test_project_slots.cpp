#include "app/main_window.h"
#include "app/user_settings.h"
#include "loops/loop_state.h"
#include "project/project_document.h"
#include "project/project_file.h"
#include "file_size_limit.h"
#include "recording_seam.h"
#include "test_catalogues.h"

#include <QAction>
#include <QComboBox>
#include <QSettings>
#include <QStandardPaths>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>
#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <cstdio>


namespace {

const char kWindowChildArgument[] = "--type-until-recovery-written";

// The sample catalogue: 15 devices, 2 extra rows, catalogue version number 1.
constexpr int kStoredRows = 15;
constexpr int kGridRows = 17;
const QString kPanel2 = QStringLiteral("QP-220 (2 loops)");
const QString kPanel4 = QStringLiteral("QP-420 (4 loops)");
const QString kCable10 = QString::fromUtf8("FR 2x1.0mm²");
const QString kCable25 = QString::fromUtf8("FR 2x2.5mm²");
const QString kCableStp = QStringLiteral("STP 2x0.8mm");

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

void selectPanel(MainWindow &w, const QString &name) { w.panelComboBox->setCurrentIndex(w.panelComboBox->findText(name)); }

void selectCable(MainWindow &w, int loop, const QString &name)
{
    w.cableComboBoxes[loop]->setCurrentIndex(w.cableComboBoxes[loop]->findText(name));
}

// Everything Open may change, as one comparable list.
QStringList snapshot(const MainWindow &w)
{
    QStringList s;
    s << w.projectNameEdit->text() << w.projectLocationEdit->text() << w.companyNameEdit->text()
      << w.emailEdit->text() << w.commentEdit->toPlainText();
    s << "panel=" + w.panelComboBox->currentText() << "selected=" + loopState.selectedPanelName
      << QString("loops=%1").arg(loopState.loopCount);
    for (int loop = 0; loop < loopState.loopCount; ++loop) {
        s << QString("cable%1=%2|%3|%4|%5")
                 .arg(loop)
                 .arg(w.cableComboBoxes[loop]->currentText(), loopState.loopCableNames[loop],
                      loopState.loopCableCaptions[loop])
                 .arg(loopState.loopCableResistance[loop]);
        s << QString("box%1=%2").arg(loop).arg(quintptr(w.cableComboBoxes[loop]));
    }
    for (int row = 0; row < kGridRows; ++row)
        for (int loop = 0; loop < loopState.loopCount; ++loop)
            s << QString("count%1.%2=%3").arg(row).arg(loop).arg(w.deviceCountEdits[row][loop]->text());
    return s;
}

// A project for the 2-loop panel as the window would write it.
ProjectData twoLoopProject()
{
    ProjectData d;
    d.catalogueVersionNumber = 1;
    d.projectName = "From file";
    d.panelName = kPanel2;
    d.loopCount = 2;
    d.cableNames = QStringList{kCable25, kCableStp};
    for (int row = 0; row < kStoredRows; ++row)
        d.countRows.append(QStringList{QString::number(row), QString::number(100 + row)});
    d.hasExtraRows = true;
    d.extraCountRows = {QStringList{"7", "8"}, QStringList{"", "9"}};
    d.hasBattery = true;  // Save writes the battery inputs, here the defaults
    return d;
}

// Where field 10 starts in a file of twoLoopProject().
int loopCountOffset()
{
    ProjectData d = twoLoopProject();
    d.loopCount = 0;
    d.cableNames.clear();
    d.countRows.clear();
    d.hasExtraRows = false;
    d.hasBattery = false;
    return encodeProject(d).size() - 4;
}

}  // namespace

Q_DECLARE_METATYPE(ProjectData)

class ProjectSlotsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void recoveryFileFollowsTheModifiedMark();
    void recoveryAfterKill_data();
    void recoveryAfterKill();

    void dialogs_data();
    void dialogs();
    void saveThenOpenRestoresEverything();
    void savedBytesFollowTheGrid();
    void markupCommentStaysPlainText();
    void refusalLeavesWindowUnchanged_data();
    void refusalLeavesWindowUnchanged();
    void unreadableFileSaysWhy_data();
    void unreadableFileSaysWhy();
    void oversizedFileRefused();
    void savedWithoutPanelChangesOnlyTexts_data();
    void savedWithoutPanelChangesOnlyTexts();
    void openingCurrentPanelOverwritesInPlace();
    void unknownCableNameLeavesThatLoop();
    void trailingBlock_data();
    void trailingBlock();
    void commandLine_data();
    void commandLine();
    void saveFailureReported();
    void diskFullNeverLosesTheOldFile();

    void unsavedChanges_data();
    void unsavedChanges();
    void neverAsksWithoutChange_data();
    void neverAsksWithoutChange();
    void titleFollowsTheOpenFile();
    void saveWritesTheOpenFile();
    void typedNameGetsSuffix_data();
    void typedNameGetsSuffix();
    void addedSuffixNeverReplacesSilently_data();
    void addedSuffixNeverReplacesSilently();
    void dialogsStartFolder_data();
    void dialogsStartFolder();
    void exportProposesProjectName_data();
    void exportProposesProjectName();
    void missingFoldersAreSkipped_data();
    void missingFoldersAreSkipped();

private:
    MainWindow &window() { return fixture->window(); }
    QString path(const QString &name) const { return files->filePath(name); }
    void save(const QString &fileName);
    void open(const QString &fileName);
    void fillTwoLoopWindow();

    std::unique_ptr<RecordingSeam> seam;
    std::unique_ptr<WindowFixture> fixture;
    std::unique_ptr<QTemporaryDir> files;
};

void ProjectSlotsTest::init()
{
    seam = std::make_unique<RecordingSeam>();
    fixture = std::make_unique<WindowFixture>(sampleCatalogue());
    files = std::make_unique<QTemporaryDir>();
    seam->clear();
}

void ProjectSlotsTest::cleanup()
{
    files.reset();
    fixture.reset();
    seam.reset();
}

// Save As: Save writes to the open file without asking once there is one.
void ProjectSlotsTest::save(const QString &fileName)
{
    seam->fileAnswers << fileName;
    window().SaveProjectAs();
}

void ProjectSlotsTest::open(const QString &fileName)
{
    seam->fileAnswers << fileName;
    window().OpenProject();
}

void ProjectSlotsTest::fillTwoLoopWindow()
{
    MainWindow &w = window();
    w.projectNameEdit->setText("In window");
    w.commentEdit->setPlainText("window comment");
    selectPanel(w, kPanel2);
    selectCable(w, 0, kCable10);
    w.deviceCountEdits[3][1]->setText("55");
    w.deviceCountEdits[16][0]->setText("66");
}

void ProjectSlotsTest::dialogs_data()
{
    QTest::addColumn<bool>("saving");
    QTest::addColumn<QString>("caption");
    QTest::newRow("Open") << false << "Open";
    QTest::newRow("Save as") << true << "Save as";
}

void ProjectSlotsTest::dialogs()
{
    QFETCH(bool, saving);
    QFETCH(QString, caption);
    // A user's Documents folder, which a fresh test account may lack.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QVERIFY(QDir().mkpath(documents));
    const QStringList before = snapshot(window());
    if (saving)
        window().SaveProject();
    else
        window().OpenProject();
    QCOMPARE(seam->fileDialogs.size(), 1);
    QCOMPARE(seam->fileDialogs[0].save, saving);
    QCOMPARE(seam->fileDialogs[0].caption, caption);
    // Nothing open and no folder remembered: Documents; Save proposes a name.
    QCOMPARE(seam->fileDialogs[0].dir, saving ? QDir(documents).filePath("Untitled.stm") : documents);
    QCOMPARE(seam->fileDialogs[0].filter, QString("Files(*.stm)"));
    // Cancelled: nothing else happens.
    QCOMPARE(seam->messages.size(), 0);
    QCOMPARE(snapshot(window()), before);
}

void ProjectSlotsTest::saveThenOpenRestoresEverything()
{
    MainWindow &w = window();
    w.projectNameEdit->setText(QString::fromUtf8("消防报警 Nordhalle"));
    w.projectLocationEdit->setText(QString::fromUtf8("Zürich"));
    w.companyNameEdit->setText("");
    w.emailEdit->setText("ops@example.org");
    w.commentEdit->setPlainText("first line\n\n  third line\t");
    selectPanel(w, kPanel4);
    QCOMPARE(loopState.loopCount, 4);
    selectCable(w, 0, kCable10);
    selectCable(w, 2, kCableStp);
    w.deviceCountEdits[0][0]->setText("12");
    w.deviceCountEdits[0][3]->setText("");
    w.deviceCountEdits[14][2]->setText("999");
    w.deviceCountEdits[15][1]->setText("3");
    w.deviceCountEdits[16][3]->setText("41");
    const QStringList saved = snapshot(w);

    save(path("a.stm"));
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(seam->messages[0].kind, MessageKind::Information);
    QCOMPARE(seam->messages[0].title, QString("Tips"));
    QCOMPARE(seam->messages[0].text, QString("The file has been saved successfully!"));

    w.NewProject();
    selectPanel(w, kPanel2);
    QVERIFY(snapshot(w) != saved);
    seam->clear();
    open(path("a.stm"));
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(seam->messages[0].kind, MessageKind::Information);
    QCOMPARE(seam->messages[0].title, QString("Tips"));
    QCOMPARE(seam->messages[0].text, QString("The file has been opened!"));

    // Box pointers differ (the grid was rebuilt); everything else is back.
    QStringList now = snapshot(w);
    QStringList expected = saved;
    now = now.filter(QRegularExpression("^(?!box)"));
    expected = expected.filter(QRegularExpression("^(?!box)"));
    QCOMPARE(now, expected);
    QCOMPARE(loopState.loopCableCaptions[2], "Loop3:" + kCableStp);

    save(path("b.stm"));
    QCOMPARE(readAll(path("b.stm")), readAll(path("a.stm")));
}

void ProjectSlotsTest::savedBytesFollowTheGrid()
{
    MainWindow &w = window();
    selectPanel(w, kPanel2);
    selectCable(w, 0, kCable25);
    selectCable(w, 1, kCableStp);
    for (int row = 0; row < kStoredRows; ++row) {
        w.deviceCountEdits[row][0]->setText(QString::number(row));
        w.deviceCountEdits[row][1]->setText(QString::number(100 + row));
    }
    w.deviceCountEdits[15][0]->setText("7");
    w.deviceCountEdits[15][1]->setText("8");
    w.deviceCountEdits[16][0]->setText("");
    w.deviceCountEdits[16][1]->setText("9");
    w.projectNameEdit->setText("From file");
    QVERIFY(w.saveProjectFile(path("grid.stm")));
    QCOMPARE(readAll(path("grid.stm")).toHex(' '), encodeProject(twoLoopProject()).toHex(' '));
}

void ProjectSlotsTest::markupCommentStaysPlainText()
{
    MainWindow &w = window();
    const QString comment = "<b>urgent</b>\n<i>line &amp; two</i>";
    w.commentEdit->setPlainText(comment);
    save(path("a.stm"));
    w.commentEdit->setPlainText("other");
    open(path("a.stm"));
    QCOMPARE(w.commentEdit->toPlainText(), comment);
    save(path("b.stm"));
    QCOMPARE(readAll(path("b.stm")), readAll(path("a.stm")));
}

// Each refusal keeps the old box text and gives the reason under it, after the file's path; %1 is
// the size of the file.
void ProjectSlotsTest::refusalLeavesWindowUnchanged_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("reason");
    const QString notLegal = "The document is not legal";
    const QString version = "Please open the file in the correct version";
    const QByteArray good = encodeProject(twoLoopProject());

    QTest::newRow("not a project file")
        << QByteArray("PK\3\4 a workbook") << notLegal
        << "It is not a Quillon project: it begins with the bytes 50 4B 03 04, where a project file begins with "
           "20 22 01 12.";
    QTest::newRow("three bytes") << QByteArray("\x20\x22\x01", 3) << notLegal
                                 << "The file ends early, at byte 3, inside the mark that begins a project file.";
    QByteArray formatTwo = good;
    formatTwo[7] = 2;
    QTest::newRow("format version 2") << formatTwo << version
                                      << "It is written in project format version 2; this Quillon reads format "
                                         "version 1.";
    ProjectData otherCatalogue = twoLoopProject();
    otherCatalogue.catalogueVersionNumber = 9;
    QTest::newRow("other catalogue version number")
        << encodeProject(otherCatalogue) << version
        << "It was saved under catalogue version number 9; this catalogue is number 1. quillon-project migrate "
           "carries a project over.";
    QTest::newRow("ends before the loop count") << good.left(loopCountOffset()) << notLegal
                                                << "The file ends early, at byte %1, before the loop count.";
    // 60 bytes before the battery inputs that follow the counts.
    QTest::newRow("ends inside the counts")
        << good.left(good.lastIndexOf(QByteArray("BATT")) - 60) << notLegal
        << "The file ends early, at byte %1, inside the count of device row 14 on Loop1.";

    ProjectData tooMany = twoLoopProject();
    tooMany.loopCount = 4;
    QTest::newRow("4 loops for the 2-loop panel")
        << encodeProject(tooMany) << notLegal << "It holds 4 loops, but the panel \"" + kPanel2 + "\" has 2.";
    ProjectData unknownPanel = tooMany;
    unknownPanel.panelName = "Retired panel";
    QTest::newRow("unknown panel, more loops than the current grid")
        << encodeProject(unknownPanel) << notLegal
        << "It holds 4 loops for the panel \"Retired panel\", which this catalogue does not list, and the window "
           "has 2 loops.";
    QByteArray seventeen = good;
    seventeen.replace(loopCountOffset(), 4, QByteArray::fromHex("00000011"));
    QTest::newRow("loop count 17") << seventeen << notLegal << "The loop count is 17; a project has 0 to 16 loops.";
    ProjectData badCount = twoLoopProject();
    badCount.countRows[5][1] = "0123";
    QTest::newRow("count text the field cannot hold")
        << encodeProject(badCount) << notLegal
        << "The count of device row 6 on Loop2 is \"0123\", which a count field cannot hold (0 to 999).";
    QByteArray oddText = good;
    oddText[15] = 3;  // the project name's length
    QTest::newRow("text of an odd length") << oddText << notLegal
                                           << "The project name at byte 12 has an odd length of 3 bytes, which "
                                              "UTF-16 text cannot have.";
}

void ProjectSlotsTest::refusalLeavesWindowUnchanged()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QFETCH(QString, reason);
    fillTwoLoopWindow();
    const QStringList before = snapshot(window());
    QVERIFY(writeFile(path("bad.stm"), bytes));
    open(path("bad.stm"));
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(seam->messages[0].kind, MessageKind::Critical);
    QCOMPARE(seam->messages[0].title, QString("Error"));
    QCOMPARE(seam->messages[0].text, message);
    QCOMPARE(seam->messages[0].detail, QDir::toNativeSeparators(path("bad.stm")) + "\n" + reason.arg(bytes.size()));
    QCOMPARE(snapshot(window()), before);
}

// Open used to pass over these in silence.
void ProjectSlotsTest::unreadableFileSaysWhy_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("does not exist") << "does-not-exist.stm" << "No such file or directory";
    QTest::newRow("a folder") << "folder.stm" << "file to open is a directory";
    QTest::newRow("no permission to read") << "locked.stm" << "Permission denied";
}

void ProjectSlotsTest::unreadableFileSaysWhy()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
#ifdef Q_OS_WIN
    QSKIP("the reasons are the POSIX system's texts");
#endif
    if (name == "folder.stm")
        QVERIFY(QDir(files->path()).mkdir(name));
    if (name == "locked.stm") {
        QVERIFY(writeFile(path(name), encodeProject(twoLoopProject())));
        QVERIFY(QFile::setPermissions(path(name), QFileDevice::WriteOwner));
        if (QFileInfo(path(name)).isReadable())
            QSKIP("this user reads every file");
    }
    fillTwoLoopWindow();
    const QStringList before = snapshot(window());
    open(path(name));
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(seam->messages[0].kind, MessageKind::Critical);
    QCOMPARE(seam->messages[0].title, QString("Error"));
    QCOMPARE(seam->messages[0].text, QString("The file could not be opened."));
    QCOMPARE(seam->messages[0].detail, QDir::toNativeSeparators(path(name)) + "\n" + reason);
    QCOMPARE(snapshot(window()), before);
}

void ProjectSlotsTest::oversizedFileRefused()
{
    fillTwoLoopWindow();
    const QStringList before = snapshot(window());
    // A valid project followed by a long run of zeros: trailing bytes, but far too many.
    QFile f(path("huge.stm"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    QVERIFY(f.write(encodeProject(twoLoopProject())) > 0);
    QVERIFY(f.resize(kMaxProjectFileBytes + 1));
    f.close();
    open(path("huge.stm"));
    QCOMPARE(seam->texts(), QStringList{"The document is not legal"});
    QCOMPARE(snapshot(window()), before);
}

void ProjectSlotsTest::savedWithoutPanelChangesOnlyTexts_data()
{
    QTest::addColumn<bool>("newAfterPanel");
    QTest::newRow("before any panel is chosen") << false;
    // New names no panel: not the one it replaced, which Open would choose again with a fresh grid.
    QTest::newRow("after a panel, a cable and New") << true;
}

void ProjectSlotsTest::savedWithoutPanelChangesOnlyTexts()
{
    QFETCH(bool, newAfterPanel);
    MainWindow &w = window();
    if (newAfterPanel) {
        selectPanel(w, kPanel4);
        selectCable(w, 1, kCable25);
        w.NewProject();
    }
    w.projectNameEdit->setText("Early");
    w.emailEdit->setText("e@x");
    QVERIFY(w.saveProjectFile(path("early.stm")));
    ProjectData read;
    QCOMPARE(decodeProject(readAll(path("early.stm")), 1, kStoredRows, &read), ProjectFileError::None);
    QCOMPARE(read.panelName, QString());
    QCOMPARE(read.loopCount, 0);

    w.NewProject();
    fillTwoLoopWindow();
    QStringList expected = snapshot(w);
    expected[0] = "Early";
    expected[3] = "e@x";
    expected[4] = "";
    QVERIFY(w.loadProjectFile(path("early.stm")));
    QCOMPARE(snapshot(w), expected);
}

void ProjectSlotsTest::openingCurrentPanelOverwritesInPlace()
{
    MainWindow &w = window();
    ProjectData d = twoLoopProject();
    d.cableNames = QStringList{kCable25, ""};
    QVERIFY(writeFile(path("same.stm"), encodeProject(d)));
    fillTwoLoopWindow();
    selectCable(w, 1, kCableStp);
    QComboBox *firstBox = w.cableComboBoxes[0];
    QLineEdit *firstField = w.deviceCountEdits[0][0];

    open(path("same.stm"));
    QCOMPARE(seam->texts(), QStringList{"The file has been opened!"});
    QCOMPARE(w.cableComboBoxes[0], firstBox);
    QCOMPARE(w.deviceCountEdits[0][0], firstField);
    QCOMPARE(w.cableComboBoxes[0]->currentText(), kCable25);
    QCOMPARE(loopState.loopCableNames[0], kCable25);
    // An empty name in the file keeps the loop's current cable.
    QCOMPARE(w.cableComboBoxes[1]->currentText(), kCableStp);
    QCOMPARE(loopState.loopCableNames[1], kCableStp);
    QCOMPARE(w.deviceCountEdits[3][1]->text(), QString("103"));
    QCOMPARE(w.deviceCountEdits[16][0]->text(), QString(""));
}

void ProjectSlotsTest::unknownCableNameLeavesThatLoop()
{
    MainWindow &w = window();
    ProjectData d = twoLoopProject();
    d.cableNames = QStringList{"Retired cable", kCableStp};
    QVERIFY(writeFile(path("cable.stm"), encodeProject(d)));
    QVERIFY(w.loadProjectFile(path("cable.stm")));
    QCOMPARE(w.panelComboBox->currentText(), kPanel2);
    QCOMPARE(w.cableComboBoxes[0]->currentText(), QString());
    QCOMPARE(loopState.loopCableNames[0], QString());
    QCOMPARE(w.cableComboBoxes[1]->currentText(), kCableStp);
    QCOMPARE(loopState.loopCableNames[1], kCableStp);
    QCOMPARE(loopState.loopCableCaptions[1], "Loop2:" + kCableStp);
    QCOMPARE(w.deviceCountEdits[14][1]->text(), QString("114"));
}

void ProjectSlotsTest::trailingBlock_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("panelAlreadySelected");
    QTest::newRow("present, grid rebuilt") << true << false;
    QTest::newRow("present, same panel") << true << true;
    QTest::newRow("absent, grid rebuilt") << false << false;
    QTest::newRow("absent, same panel") << false << true;
}

void ProjectSlotsTest::trailingBlock()
{
    QFETCH(bool, present);
    QFETCH(bool, panelAlreadySelected);
    MainWindow &w = window();
    ProjectData d = twoLoopProject();
    d.hasExtraRows = present;
    QVERIFY(writeFile(path("t.stm"), encodeProject(d)));
    selectPanel(w, panelAlreadySelected ? kPanel2 : kPanel4);
    w.deviceCountEdits[15][1]->setText("31");
    w.deviceCountEdits[16][0]->setText("32");

    QVERIFY(w.loadProjectFile(path("t.stm")));
    QCOMPARE(w.deviceCountEdits[14][0]->text(), QString("14"));
    const QString before151 = panelAlreadySelected ? "31" : "0";
    const QString before160 = panelAlreadySelected ? "32" : "0";
    QCOMPARE(w.deviceCountEdits[15][0]->text(), present ? QString("7") : QString("0"));
    QCOMPARE(w.deviceCountEdits[15][1]->text(), present ? QString("8") : before151);
    QCOMPARE(w.deviceCountEdits[16][0]->text(), present ? QString("") : before160);
    QCOMPARE(w.deviceCountEdits[16][1]->text(), present ? QString("9") : QString("0"));
}

void ProjectSlotsTest::commandLine_data()
{
    // fileName is made in a temporary folder, which is the current directory while the row runs:
    // a project file from bytes, a folder when bytes is null, nothing when fileName is empty.
    // "<dir>" in an argument stands for that folder; %1 in the message for the first argument's
    // absolute path.
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("opens");
    const QByteArray good = encodeProject(twoLoopProject());
    const QString nonAscii = QString::fromUtf8("Prüfung 消防 Nordhalle.stm");
    ProjectData otherCatalogue = twoLoopProject();
    otherCatalogue.catalogueVersionNumber = 2;

    QTest::newRow("no argument: start-up as before") << "p.stm" << good << QStringList() << "" << false;
    QTest::newRow("relative path") << "p.stm" << good << QStringList{"p.stm"} << "" << true;
    QTest::newRow("absolute path") << "p.stm" << good << QStringList{"<dir>/p.stm"} << "" << true;
    QTest::newRow("non-ASCII file name") << nonAscii << good << QStringList{nonAscii} << "" << true;
    QTest::newRow("further arguments are not opened")
        << "p.stm" << good << QStringList{"p.stm", "missing.stm"} << "" << true;
    QTest::newRow("not a project file") << "p.stm" << QByteArray("PK\3\4 a workbook") << QStringList{"p.stm"}
                                        << "The document is not legal" << false;
    QTest::newRow("other catalogue version") << "p.stm" << encodeProject(otherCatalogue) << QStringList{"p.stm"}
                                             << "Please open the file in the correct version" << false;
    QTest::newRow("does not exist") << "" << QByteArray() << QStringList{"missing.stm"}
                                    << "The file \"%1\" does not exist." << false;
    QTest::newRow("a folder") << "folder.stm" << QByteArray() << QStringList{"folder.stm"}
                              << "\"%1\" is not a file." << false;
    QTest::newRow("unreadable") << "locked.stm" << good << QStringList{"locked.stm"}
                                << "The file \"%1\" cannot be read." << false;
}

void ProjectSlotsTest::commandLine()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QFETCH(bool, opens);
    MainWindow &w = window();
    if (!fileName.isEmpty() && bytes.isNull())
        QVERIFY(QDir(files->path()).mkdir(fileName));
    else if (!fileName.isEmpty())
        QVERIFY(writeFile(path(fileName), bytes));
    if (fileName == "locked.stm") {
        QVERIFY(QFile::setPermissions(path(fileName), QFileDevice::WriteOwner));
        if (QFileInfo(path(fileName)).isReadable())
            QSKIP("this user reads every file");
    }
    for (QString &argument : arguments)
        argument.replace("<dir>", files->path());
    fillTwoLoopWindow();
    const QStringList before = snapshot(w);

    const QString startDirectory = QDir::currentPath();
    QVERIFY(QDir::setCurrent(files->path()));
    w.openProjectFromCommandLine(QStringList{"quillon"} + arguments);
    QVERIFY(QDir::setCurrent(startDirectory));

    QStringList expected;
    if (message.contains("%1"))
        expected << message.arg(QDir::toNativeSeparators(path(arguments.value(0))));
    else if (!message.isEmpty())
        expected << message;
    QCOMPARE(seam->texts(), expected);
    for (const RecordingSeam::Message &m : seam->messages) {
        QCOMPARE(m.kind, MessageKind::Critical);
        QCOMPARE(m.title, QString("Error"));
    }
    const QStringList after = snapshot(w);
    QCOMPARE(after != before, opens);
    if (!QFileInfo(path(fileName)).isFile() || arguments.isEmpty())
        return;

    // File > Open with the same file: the same boxes, plus "opened" on success, and the same window.
    w.NewProject();
    fillTwoLoopWindow();
    seam->clear();
    open(path(fileName));
    if (opens)
        expected << "The file has been opened!";
    QCOMPARE(seam->texts(), expected);
    QCOMPARE(snapshot(w).filter(QRegularExpression("^(?!box)")), after.filter(QRegularExpression("^(?!box)")));
}

void ProjectSlotsTest::saveFailureReported()
{
    MainWindow &w = window();
    fillTwoLoopWindow();
    save(path("missing/dir/p.stm"));
    QVERIFY(QDir(files->path()).mkdir("folder.stm"));
    save(path("folder.stm"));
    QCOMPARE(seam->messages.size(), 2);
    for (const RecordingSeam::Message &m : seam->messages) {
        QCOMPARE(m.kind, MessageKind::Critical);
        QCOMPARE(m.title, QString("Error"));
        QCOMPARE(m.text, QString("The file could not be saved."));
        QVERIFY2(!m.detail.isEmpty(), "the system's reason goes in the informative text");
    }
    QVERIFY(!QFile::exists(path("missing/dir/p.stm")));
    QVERIFY(QFileInfo(path("folder.stm")).isDir());
    QCOMPARE(w.projectNameEdit->text(), QString("In window"));
}

void ProjectSlotsTest::diskFullNeverLosesTheOldFile()
{
    QUILLON_SKIP_WITHOUT_FILE_SIZE_LIMIT();
    MainWindow &w = window();
    const QString target = path("target.stm");
    w.projectNameEdit->setText("old");
    QVERIFY(w.saveProjectFile(target));
    const QByteArray oldBytes = readAll(target);

    // A large project: 16 loops, every field filled, a long comment.
    w.projectNameEdit->setText("new");
    w.commentEdit->setPlainText(QString(10000, QChar(0x706b)));
    selectPanel(w, "QP-1640 (16 loops)");
    for (int loop = 0; loop < 16; ++loop) {
        selectCable(w, loop, loop % 2 ? kCable25 : kCableStp);
        for (int row = 0; row < kGridRows; ++row)
            w.deviceCountEdits[row][loop]->setText(QString::number(row * 16 + loop));
    }
    QVERIFY(w.saveProjectFile(path("reference.stm")));
    const QByteArray newBytes = readAll(path("reference.stm"));
    QVERIFY(newBytes.size() > 16 * 1024);  // beyond the 16 KiB write buffer

    const int step = qMax(1, newBytes.size() / 70);
    int failures = 0, successes = 0;
    for (int limit = 0; limit <= newBytes.size() + step; limit += step) {
        QVERIFY(writeFile(target, oldBytes));
        const int verdict = runWithFileSizeLimit(limit, [&] { return w.saveProjectFile(target); });
        QVERIFY2(verdict >= 0, qPrintable(QString("child died at limit %1").arg(limit)));
        const QByteArray now = readAll(target);
        if (verdict == 1) {
            ++successes;
            QVERIFY2(now == newBytes, qPrintable(QString("saved reported, file incomplete at %1").arg(limit)));
        } else {
            ++failures;
            QVERIFY2(now == oldBytes, qPrintable(QString("failure reported, old file lost at %1").arg(limit)));
        }
    }
    QVERIFY(failures > 0);
    QVERIFY(successes > 0);

    // The slot shows the failure instead of the "saved" box.
    seam->clear();
    QVERIFY(writeFile(target, oldBytes));
    const int reported = runWithFileSizeLimit(newBytes.size() / 2, [&] {
        seam->fileAnswers << target;
        w.SaveProject();
        return seam->texts() == QStringList{"The file could not be saved."};
    });
    QCOMPARE(reported, 1);
    QCOMPARE(readAll(target), oldBytes);
}

namespace {

enum class Discarding { New, Open, Close, Quit };
enum class SaveDialog { None, Answered, Cancelled, Fails };

QString projectNameIn(const QString &path)
{
    ProjectData d;
    if (decodeProject(readAll(path), 1, kStoredRows, &d) != ProjectFileError::None)
        return "<unreadable>";
    return d.projectName;
}

QAction *menuAction(MainWindow &w, const QString &text)
{
    for (QAction *a : w.findChildren<QAction *>())
        if (a->text() == text)
            return a;
    return nullptr;
}

}  // namespace

Q_DECLARE_METATYPE(Discarding)
Q_DECLARE_METATYPE(SaveDialog)
Q_DECLARE_METATYPE(QMessageBox::StandardButton)

void ProjectSlotsTest::unsavedChanges_data()
{
    // The project was saved as site.stm ("Original") or never saved; then its name was changed to
    // "Changed" and an action that would discard it runs. saveDialog: how the dialog that Save
    // opens for a project without file goes.
    QTest::addColumn<Discarding>("action");
    QTest::addColumn<bool>("withFile");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<SaveDialog>("saveDialog");
    QTest::addColumn<bool>("goesOn");
    const struct {
        Discarding action;
        const char *name;
    } actions[] = {{Discarding::New, "New"}, {Discarding::Open, "Open"}, {Discarding::Close, "close"},
                   {Discarding::Quit, "Quit"}};
    for (const auto &a : actions) {
        for (bool withFile : {true, false}) {
            const char *file = withFile ? "saved before" : "never saved";
            QTest::addRow("%s, %s, Save", a.name, file)
                << a.action << withFile << QMessageBox::Save
                << (withFile ? SaveDialog::None : SaveDialog::Answered) << true;
            QTest::addRow("%s, %s, Discard", a.name, file)
                << a.action << withFile << QMessageBox::Discard << SaveDialog::None << true;
            QTest::addRow("%s, %s, Cancel", a.name, file)
                << a.action << withFile << QMessageBox::Cancel << SaveDialog::None << false;
        }
        QTest::addRow("%s, never saved, Save, dialog cancelled", a.name)
            << a.action << false << QMessageBox::Save << SaveDialog::Cancelled << false;
    }
    QTest::newRow("New, never saved, Save, save fails")
        << Discarding::New << false << QMessageBox::Save << SaveDialog::Fails << false;
}

void ProjectSlotsTest::unsavedChanges()
{
    QFETCH(Discarding, action);
    QFETCH(bool, withFile);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(SaveDialog, saveDialog);
    QFETCH(bool, goesOn);
    MainWindow &w = window();
    ProjectData other = twoLoopProject();
    other.projectName = "Other";
    QVERIFY(writeFile(path("other.stm"), encodeProject(other)));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    fillTwoLoopWindow();
    w.projectNameEdit->setText("Original");
    if (withFile)
        save(path("site.stm"));
    w.projectNameEdit->setText("Changed");
    QVERIFY(w.isProjectModified());
    seam->clear();

    seam->answers << answer;
    if (saveDialog == SaveDialog::Answered)
        seam->fileAnswers << path("new.stm");
    if (saveDialog == SaveDialog::Cancelled)
        seam->fileAnswers << QString();
    if (saveDialog == SaveDialog::Fails)
        seam->fileAnswers << path("missing/new.stm");
    if (action == Discarding::Open)
        seam->fileAnswers << path("other.stm");
    switch (action) {
    case Discarding::New:
        w.NewProject();
        break;
    case Discarding::Open:
        w.OpenProject();
        break;
    case Discarding::Close:
        w.close();
        break;
    case Discarding::Quit:
        QVERIFY(menuAction(w, "Quit"));
        menuAction(w, "Quit")->trigger();
        break;
    }

    QCOMPARE(seam->questions.size(), 1);
    QCOMPARE(seam->questions[0].text, withFile ? QString("Save changes to site?") : QString("Save changes to Untitled?"));
    QCOMPARE(seam->questions[0].buttons, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    QCOMPARE(seam->questions[0].defaultButton, QMessageBox::Save);
    // A save dialog only for Save without a file; Open's own dialog only when Open goes on.
    QStringList dialogs;
    for (const RecordingSeam::FileDialog &d : seam->fileDialogs)
        dialogs << (d.save ? "save" : "open");
    QStringList expectedDialogs;
    if (saveDialog != SaveDialog::None)
        expectedDialogs << "save";
    if (action == Discarding::Open && goesOn)
        expectedDialogs << "open";
    QCOMPARE(dialogs, expectedDialogs);

    const QString savedFile = path(withFile ? "site.stm" : "new.stm");
    if (answer == QMessageBox::Save && goesOn)
        QCOMPARE(projectNameIn(savedFile), QString("Changed"));
    else if (withFile)
        QCOMPARE(projectNameIn(savedFile), QString("Original"));
    else
        QVERIFY(!QFile::exists(savedFile));

    if (!goesOn) {
        QVERIFY(w.isVisible());
        QCOMPARE(w.projectNameEdit->text(), QString("Changed"));
        QVERIFY(w.isProjectModified());
        QCOMPARE(w.currentFilePath(), withFile ? path("site.stm") : QString());
        return;
    }
    switch (action) {
    case Discarding::New:
        QCOMPARE(w.projectNameEdit->text(), QString());
        QCOMPARE(w.currentFilePath(), QString());
        break;
    case Discarding::Open:
        QCOMPARE(w.projectNameEdit->text(), QString("Other"));
        QCOMPARE(w.currentFilePath(), path("other.stm"));
        break;
    case Discarding::Close:
    case Discarding::Quit:
        QVERIFY(!w.isVisible());
        return;
    }
    QVERIFY(!w.isProjectModified());
}

void ProjectSlotsTest::neverAsksWithoutChange_data()
{
    QTest::addColumn<int>("change");
    QTest::newRow("nothing typed") << 0;
    QTest::newRow("a name typed and erased") << 1;
    QTest::newRow("a panel chosen and the blank entry again") << 2;
    QTest::newRow("opened, a count changed and changed back") << 3;
    QTest::newRow("saved after the changes") << 4;
}

void ProjectSlotsTest::neverAsksWithoutChange()
{
    QFETCH(int, change);
    MainWindow &w = window();
    QVERIFY(writeFile(path("two.stm"), encodeProject(twoLoopProject())));
    switch (change) {
    case 1:
        w.projectNameEdit->setText("typed");
        w.projectNameEdit->setText("");
        break;
    case 2:
        selectPanel(w, kPanel4);
        w.panelComboBox->setCurrentIndex(0);
        break;
    case 3:
        open(path("two.stm"));
        w.deviceCountEdits[2][1]->setText("77");
        w.deviceCountEdits[2][1]->setText("102");
        break;
    case 4:
        fillTwoLoopWindow();
        save(path("saved.stm"));
        break;
    }
    seam->clear();
    QVERIFY(!w.isProjectModified());
    w.NewProject();
    seam->fileAnswers << path("two.stm");
    w.OpenProject();
    QVERIFY(w.close());
    QCOMPARE(seam->questions.size(), 0);
}

void ProjectSlotsTest::titleFollowsTheOpenFile()
{
    MainWindow &w = window();
    QCOMPARE(w.windowTitle(), QString("Quillon[*]"));
    w.projectNameEdit->setText("Hall");
    QTRY_VERIFY(w.isWindowModified());
    save(path("Hall.stm"));
    QCOMPARE(w.windowTitle(), QString::fromUtf8("Hall.stm[*] – Quillon"));
    QVERIFY(!w.isWindowModified());
    // A count reset by the field pool is no change; one typed is.
    selectPanel(w, kPanel2);
    QTRY_VERIFY(w.isWindowModified());
    w.panelComboBox->setCurrentIndex(0);
    QTRY_VERIFY(!w.isWindowModified());
    w.emailEdit->setText("x@example.org");
    QTRY_VERIFY(w.isWindowModified());
    w.NewProject();
    QCOMPARE(w.windowTitle(), QString("Quillon[*]"));
    QVERIFY(!w.isWindowModified());
    open(path("Hall.stm"));
    QCOMPARE(w.windowTitle(), QString::fromUtf8("Hall.stm[*] – Quillon"));
    QVERIFY(!w.isWindowModified());
}

void ProjectSlotsTest::saveWritesTheOpenFile()
{
    MainWindow &w = window();
    fillTwoLoopWindow();
    save(path("first.stm"));
    QCOMPARE(seam->fileDialogs.size(), 1);
    seam->clear();

    w.projectNameEdit->setText("Second version");
    w.SaveProject();
    QCOMPARE(seam->fileDialogs.size(), 0);
    QCOMPARE(seam->texts(), QStringList{"The file has been saved successfully!"});
    QCOMPARE(projectNameIn(path("first.stm")), QString("Second version"));
    QVERIFY(!w.isProjectModified());

    // Save As always asks, proposing the open file, and the new file is then the open one.
    seam->clear();
    w.projectNameEdit->setText("Third version");
    seam->fileAnswers << path("copy.stm");
    w.SaveProjectAs();
    QCOMPARE(seam->fileDialogs.size(), 1);
    QCOMPARE(seam->fileDialogs[0].dir, path("first.stm"));
    QCOMPARE(projectNameIn(path("copy.stm")), QString("Third version"));
    QCOMPARE(projectNameIn(path("first.stm")), QString("Second version"));
    QCOMPARE(w.currentFilePath(), path("copy.stm"));

    // A failed save keeps the window modified and the file it had.
    w.projectNameEdit->setText("Fourth version");
    QVERIFY(QFile::remove(path("copy.stm")));
    QVERIFY(QDir(files->path()).mkdir("copy.stm"));
    seam->clear();
    w.SaveProject();
    QCOMPARE(seam->texts(), QStringList{"The file could not be saved."});
    QVERIFY(w.isProjectModified());
    QCOMPARE(w.currentFilePath(), path("copy.stm"));
}

void ProjectSlotsTest::typedNameGetsSuffix_data()
{
    QTest::addColumn<bool>("pdf");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::newRow("project, no suffix") << false << "plan" << "plan.stm";
    QTest::newRow("project, .stm") << false << "plan.stm" << "plan.stm";
    QTest::newRow("project, .STM") << false << "plan.STM" << "plan.STM";
    QTest::newRow("project, a dot in the name") << false << "Hall 1.5" << "Hall 1.5.stm";
    QTest::newRow("project, another suffix") << false << "plan.pdf" << "plan.pdf.stm";
    QTest::newRow("PDF, no suffix") << true << "sheet" << "sheet.pdf";
    QTest::newRow("PDF, .pdf") << true << "sheet.pdf" << "sheet.pdf";
    QTest::newRow("PDF, a dot in the name") << true << "rev 2.1" << "rev 2.1.pdf";
}

void ProjectSlotsTest::typedNameGetsSuffix()
{
    QFETCH(bool, pdf);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    MainWindow &w = window();
    fillTwoLoopWindow();
    seam->fileAnswers << path(typed);
    if (pdf)
        w.ExportPDF();
    else
        w.SaveProjectAs();
    QCOMPARE(seam->questions.size(), 0);
    QCOMPARE(QDir(files->path()).entryList(QDir::Files), QStringList{written});
    if (pdf) {
        QCOMPARE(seam->openedUrls, QList<QUrl>{QUrl::fromLocalFile(path(written))});
    } else {
        QCOMPARE(projectNameIn(path(written)), QString("In window"));
        QCOMPARE(w.currentFilePath(), path(written));
    }
}

void ProjectSlotsTest::addedSuffixNeverReplacesSilently_data()
{
    QTest::addColumn<bool>("pdf");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::newRow("project, replaced") << false << QMessageBox::Yes;
    QTest::newRow("project, kept") << false << QMessageBox::No;
    QTest::newRow("PDF, kept") << true << QMessageBox::No;
}

void ProjectSlotsTest::addedSuffixNeverReplacesSilently()
{
    QFETCH(bool, pdf);
    QFETCH(QMessageBox::StandardButton, answer);
    MainWindow &w = window();
    const QString existing = path(pdf ? "plan.pdf" : "plan.stm");
    QVERIFY(writeFile(existing, "old"));
    fillTwoLoopWindow();
    // The dialog asked about "plan", which does not exist; "plan.stm" does.
    seam->answers << answer;
    seam->fileAnswers << path("plan");
    if (pdf)
        w.ExportPDF();
    else
        w.SaveProjectAs();
    QCOMPARE(seam->questions.size(), 1);
    QCOMPARE(seam->questions[0].text, QFileInfo(existing).fileName() + " already exists.\nDo you want to replace it?");
    QCOMPARE(seam->questions[0].defaultButton, QMessageBox::No);
    QCOMPARE(readAll(existing) == "old", answer == QMessageBox::No);
    QVERIFY(!QFile::exists(path("plan")));
}

void ProjectSlotsTest::dialogsStartFolder_data()
{
    // remembered: the folder kept from an earlier dialog ("<gone>" one removed since);
    // open: a project file is open.
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("expected");  // "<documents>", "<remembered>" or "<open>"
    QTest::newRow("nothing: Documents") << "" << false << "<documents>";
    QTest::newRow("the last folder used") << "kept" << false << "<remembered>";
    QTest::newRow("the last folder, since removed: Documents") << "<gone>" << false << "<documents>";
    QTest::newRow("the open file's folder first") << "kept" << true << "<open>";
}

void ProjectSlotsTest::dialogsStartFolder()
{
    QFETCH(QString, remembered);
    QFETCH(bool, open);
    QFETCH(QString, expected);
    MainWindow &w = window();
    QVERIFY(QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)));
    QVERIFY(QDir(files->path()).mkpath("projects"));
    QVERIFY(QDir(files->path()).mkpath("kept"));
    if (open) {
        QVERIFY(writeFile(path("projects/two.stm"), encodeProject(twoLoopProject())));
        this->open(path("projects/two.stm"));
    }
    if (remembered == "<gone>")
        rememberLastUsedFolder(path("gone"));
    else if (!remembered.isEmpty())
        rememberLastUsedFolder(path(remembered));
    else
        QSettings(userSettingsFile(), QSettings::IniFormat).clear();
    seam->clear();

    w.OpenProject();
    w.SaveProjectAs();
    w.ExportPDF();
    QString folder = expected == "<open>" ? path("projects") : expected == "<remembered>" ? path(remembered)
        : QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // Save As proposes the open file; Export PDF the project's name.
    QCOMPARE(seam->fileDialogs.size(), 3);
    QCOMPARE(seam->fileDialogs[0].dir, folder);
    QCOMPARE(seam->fileDialogs[1].dir, open ? path("projects/two.stm") : QDir(folder).filePath("Untitled.stm"));
    QCOMPARE(seam->fileDialogs[2].dir, QDir(folder).filePath(open ? "From file.pdf" : "Untitled.pdf"));

    // A file chosen anywhere makes its folder the one remembered.
    QVERIFY(QDir(files->path()).mkpath("elsewhere"));
    seam->fileAnswers << path("elsewhere/x.pdf");
    w.ExportPDF();
    QCOMPARE(lastUsedFolder(), path("elsewhere"));
}

void ProjectSlotsTest::missingFoldersAreSkipped_data()
{
    // Which of the open file's folder, the last folder and Documents exist.
    QTest::addColumn<bool>("openFolder");
    QTest::addColumn<bool>("lastFolder");
    QTest::addColumn<bool>("documents");
    QTest::addColumn<QString>("expected");  // "open", "last", "documents" or "<home>"
    QTest::newRow("all there: the open file's") << true << true << true << "open";
    QTest::newRow("the open file's folder removed") << false << true << true << "last";
    QTest::newRow("only Documents") << false << false << true << "documents";
    QTest::newRow("no Documents folder: home") << false << false << false << "<home>";
}

void ProjectSlotsTest::missingFoldersAreSkipped()
{
    QFETCH(bool, openFolder);
    QFETCH(bool, lastFolder);
    QFETCH(bool, documents);
    QFETCH(QString, expected);
    const QDir root(files->path());
    for (const auto &[name, present] : {std::pair<QString, bool>{"open", openFolder}, {"last", lastFolder},
                                        {"documents", documents}}) {
        if (present)
            QVERIFY(root.mkpath(name));
    }
    const QString folder = dialogFolder(root.filePath("open/hall.stm"), root.filePath("last"), root.filePath("documents"));
    QCOMPARE(folder, expected == "<home>" ? QDir::homePath() : root.filePath(expected));
}

void ProjectSlotsTest::exportProposesProjectName_data()
{
    QTest::addColumn<QString>("projectName");
    QTest::addColumn<QString>("proposed");
    QTest::newRow("the project's name") << "Nordhalle East" << "Nordhalle East.pdf";
    QTest::newRow("characters no file system takes") << "A/B: \"C\"?" << "A_B_ _C__.pdf";
    QTest::newRow("a trailing dot") << "Hall 2." << "Hall 2.pdf";
    QTest::newRow("no name") << "" << "Untitled.pdf";
}

void ProjectSlotsTest::exportProposesProjectName()
{
    QFETCH(QString, projectName);
    QFETCH(QString, proposed);
    MainWindow &w = window();
    QVERIFY(QDir(files->path()).mkpath("here"));
    rememberLastUsedFolder(path("here"));
    w.projectNameEdit->setText(projectName);
    w.ExportPDF();
    QCOMPARE(seam->fileDialogs.size(), 1);
    QCOMPARE(seam->fileDialogs[0].dir, path("here/" + proposed));
    QCOMPARE(seam->fileDialogs[0].filter, QString("Files(*.pdf)"));
}

void ProjectSlotsTest::recoveryFileFollowsTheModifiedMark()
{
    QTemporaryDir recoveryDir;
    WindowFixture fixture(sampleCatalogue(), recoveryDir.path());
    MainWindow &w = fixture.window();
    w.setRecoveryDelay(20);
    const auto recoveryFiles = [&] { return QDir(recoveryDir.path()).entryList({"*.qrec"}, QDir::Files); };

    w.projectNameEdit->setText("Hall 3");
    QTRY_COMPARE(recoveryFiles().size(), 1);
    // Saved: nothing left to recover.
    QTemporaryDir files;
    seam->fileAnswers << files.filePath("hall.stm");
    w.SaveProject();
    QVERIFY(!w.isWindowModified());
    QCOMPARE(recoveryFiles().size(), 0);

    w.projectNameEdit->setText("Hall 3, east");
    QTRY_COMPARE(recoveryFiles().size(), 1);
    // Typed back to what was saved: not modified, nothing to recover.
    w.projectNameEdit->setText("Hall 3");
    QTRY_COMPARE(recoveryFiles().size(), 0);

    // Discarded on close, or closed cleanly: gone as well.
    w.projectNameEdit->setText("Hall 4");
    QTRY_COMPARE(recoveryFiles().size(), 1);
    seam->answers << QMessageBox::Discard;
    QVERIFY(w.close());
    QCOMPARE(recoveryFiles().size(), 0);
}

void ProjectSlotsTest::recoveryAfterKill_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("restored") << int(QMessageBox::Yes);
    QTest::newRow("declined") << int(QMessageBox::No);
}

void ProjectSlotsTest::recoveryAfterKill()
{
    QFETCH(int, answer);
    QTemporaryDir recoveryDir;
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {kWindowChildArgument, recoveryDir.path()});
    QVERIFY(child.waitForStarted(30000));
    while (!child.canReadLine())
        QVERIFY2(child.waitForReadyRead(60000), child.readAllStandardError().constData());
    // A Windows console turns the child's line break into CR LF.
    QCOMPARE(child.readLine().trimmed(), QByteArray("written"));
    child.kill();
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    WindowFixture fixture(sampleCatalogue(), recoveryDir.path());
    MainWindow &w = fixture.window();
    seam->answers << QMessageBox::StandardButton(answer);
    QCOMPARE(w.offerRecovery(), answer == QMessageBox::Yes);
    QCOMPARE(seam->questions.size(), 1);
    QCOMPARE(seam->questions[0].text, QString("Quillon closed without saving. Restore the unsaved project?"));
    if (answer == QMessageBox::Yes) {
        QCOMPARE(w.projectNameEdit->text(), QString("Typed, never saved"));
        QCOMPARE(w.panelComboBox->currentText(), QString("QP-220 (2 loops)"));
        QCOMPARE(w.cableComboBoxes[1]->currentText(), QString("STP 2x0.8mm"));
        QCOMPARE(w.deviceCountEdits[0][1]->text(), QString("17"));
        QCOMPARE(w.currentFilePath(), QDir(recoveryDir.path()).filePath("hall.stm"));
        QVERIFY(w.windowTitle().startsWith("hall.stm"));
        QVERIFY(w.isWindowModified());
    } else {
        QCOMPARE(w.panelComboBox->currentText(), QString());
        QVERIFY(!w.isWindowModified());
    }
    // Asked once: the child's file is restored into this window's own or forgotten.
    seam->clear();
    QVERIFY(!w.offerRecovery());
    QVERIFY(seam->questions.isEmpty());
}

namespace {

// The child of recoveryAfterKill: types into a window until its recovery file is written, says
// so, and waits to be killed.
int typeUntilRecoveryWritten(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString dir = QString::fromLocal8Bit(argv[2]);
    RecordingSeam seam;
    WindowFixture fixture(sampleCatalogue(), dir);
    MainWindow &w = fixture.window();
    w.setRecoveryDelay(20);
    // Saved once, so that the restored project knows its file.
    w.projectNameEdit->setText("Saved first");
    seam.fileAnswers << QDir(dir).filePath("hall.stm");
    w.SaveProject();
    w.projectNameEdit->setText("Typed, never saved");
    w.panelComboBox->setCurrentText("QP-220 (2 loops)");
    w.cableComboBoxes[1]->setCurrentText("STP 2x0.8mm");
    w.deviceCountEdits[0][1]->setText("17");
    for (int waited = 0; QDir(dir).entryList({"*.qrec"}, QDir::Files).isEmpty(); waited += 10) {
        if (waited > 30000)
            return 1;
        QTest::qWait(10);
    }
    std::fputs("written\n", stdout);
    std::fflush(stdout);
    return app.exec();
}

}  // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], kWindowChildArgument) == 0)
        return typeUntilRecoveryWritten(argc, argv);
    QApplication app(argc, argv);
    ProjectSlotsTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_project_slots.moc"
