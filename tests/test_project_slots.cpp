#include "app/main_window.h"
#include "loops/loop_state.h"
#include "project/project_document.h"
#include "project/project_file.h"
#include "project/recovery.h"
#include "file_size_limit.h"
#include "recording_seam.h"
#include "test_catalogues.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>


namespace {

const char kWindowChildArgument[] = "--type-then-wait";

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

QString projectNameIn(const QString &path)
{
    ProjectData d;
    return decodeProject(readAll(path), 1, kStoredRows, &d) == ProjectFileError::None ? d.projectName : "<unreadable>";
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
    void dialogs_data();
    void dialogs();
    void saveThenOpenRestoresEverything();
    void savedBytesFollowTheGrid();
    void markupCommentStaysPlainText();
    void refusalLeavesWindowUnchanged_data();
    void refusalLeavesWindowUnchanged();
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
    void saveWritesTheOpenFile();
    void typedNameGetsSuffix_data();
    void typedNameGetsSuffix();
    void missingFoldersAreSkipped_data();
    void missingFoldersAreSkipped();
    void recoveryFileFollowsTheModifiedMark();
    void recoveryAfterKill_data();
    void recoveryAfterKill();

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

// Each refusal gives the file's path and, under it, the reason; the reasons themselves are tested
// with the file format and the project tool, except the one that depends on the window's grid.
void ProjectSlotsTest::refusalLeavesWindowUnchanged_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("reason");
    const QString notLegal = "The document is not legal";
    const QString version = "Please open the file in the correct version";
    const QByteArray good = encodeProject(twoLoopProject());

    QTest::newRow("not a project file") << QByteArray("PK\3\4 a workbook") << notLegal << QString();
    QByteArray formatTwo = good;
    formatTwo[7] = 2;
    QTest::newRow("format version 2") << formatTwo << version << QString();
    ProjectData otherCatalogue = twoLoopProject();
    otherCatalogue.catalogueVersionNumber = 2;
    QTest::newRow("other catalogue version number") << encodeProject(otherCatalogue) << version << QString();
    // 60 bytes before the battery inputs that follow the counts.
    QTest::newRow("ends inside the counts") << good.left(good.lastIndexOf(QByteArray("BATT")) - 60) << notLegal
                                            << QString();

    ProjectData tooMany = twoLoopProject();
    tooMany.loopCount = 4;
    QTest::newRow("4 loops for the 2-loop panel") << encodeProject(tooMany) << notLegal << QString();
    ProjectData unknownPanel = tooMany;
    unknownPanel.panelName = "Retired panel";
    QTest::newRow("unknown panel, more loops than the current grid")
        << encodeProject(unknownPanel) << notLegal
        << "It holds 4 loops for the panel \"Retired panel\", which this catalogue does not list, and the window "
           "has 2 loops.";
    QByteArray seventeen = good;
    seventeen.replace(loopCountOffset(), 4, QByteArray::fromHex("00000011"));
    QTest::newRow("loop count 17") << seventeen << notLegal << QString();
    ProjectData badCount = twoLoopProject();
    badCount.countRows[5][1] = "0123";
    QTest::newRow("count text the field cannot hold") << encodeProject(badCount) << notLegal << QString();
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
    QCOMPARE(seam->messages[0].detail.section('\n', 0, 0), QDir::toNativeSeparators(path("bad.stm")));
    QVERIFY(!seam->messages[0].detail.section('\n', 1).isEmpty());
    if (!reason.isEmpty())
        QCOMPARE(seam->messages[0].detail.section('\n', 1), reason);
    QCOMPARE(snapshot(window()), before);
}

// Open used to pass over these in silence.
void ProjectSlotsTest::unreadableFileSaysWhy()
{
#ifdef Q_OS_WIN
    QSKIP("the reasons are the POSIX system's texts");
#endif
    QVERIFY(QDir(files->path()).mkdir("folder.stm"));
    fillTwoLoopWindow();
    const QStringList before = snapshot(window());
    for (const auto &[name, reason] : {std::pair<QString, QString>{"does-not-exist.stm", "No such file or directory"},
                                       {"folder.stm", "file to open is a directory"}}) {
        seam->clear();
        open(path(name));
        QCOMPARE(seam->messages.size(), 1);
        QCOMPARE(seam->messages[0].text, QString("The file could not be opened."));
        QCOMPARE(seam->messages[0].detail, QDir::toNativeSeparators(path(name)) + "\n" + reason);
        QCOMPARE(snapshot(window()), before);
    }
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

void ProjectSlotsTest::unsavedChanges_data()
{
    // The project was saved as site.stm ("Original") or never saved, then renamed "Changed"; an action
    // that would discard it runs. saveAs: the answer to Save's dialog for a project without file.
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("withFile");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("saveAs");
    QTest::addColumn<bool>("goesOn");
    for (const char *a : {"New", "Open", "close", "Quit"}) {
        const QString action = a;
        for (bool withFile : {true, false}) {
            const char *file = withFile ? "saved before" : "never saved";
            QTest::addRow("%s, %s, Save", a, file)
                << action << withFile << int(QMessageBox::Save) << (withFile ? "" : "new.stm") << true;
            QTest::addRow("%s, %s, Discard", a, file) << action << withFile << int(QMessageBox::Discard) << "" << true;
            QTest::addRow("%s, %s, Cancel", a, file) << action << withFile << int(QMessageBox::Cancel) << "" << false;
        }
        QTest::addRow("%s, never saved, Save, dialog cancelled", a)
            << action << false << int(QMessageBox::Save) << "<cancel>" << false;
    }
    QTest::newRow("New, never saved, Save, save fails")
        << "New" << false << int(QMessageBox::Save) << "missing/new.stm" << false;
}

void ProjectSlotsTest::unsavedChanges()
{
    QFETCH(QString, action);
    QFETCH(bool, withFile);
    QFETCH(int, answer);
    QFETCH(QString, saveAs);
    QFETCH(bool, goesOn);
    MainWindow &w = window();
    QVERIFY(writeFile(path("other.stm"), encodeProject(twoLoopProject())));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    fillTwoLoopWindow();
    w.projectNameEdit->setText("Original");
    if (withFile)
        save(path("site.stm"));
    w.projectNameEdit->setText("Changed");
    QVERIFY(w.isProjectModified());
    seam->clear();

    seam->answers << QMessageBox::StandardButton(answer);
    if (!saveAs.isEmpty())
        seam->fileAnswers << (saveAs == "<cancel>" ? QString() : path(saveAs));
    if (action == "Open")
        seam->fileAnswers << path("other.stm");
    if (action == "close")
        w.close();
    for (QAction *a : w.findChildren<QAction *>())  // the File menu's "New", "Open…" and "Quit"
        if (a->text().startsWith(action))
            a->trigger();

    QCOMPARE(seam->questions.size(), 1);
    QCOMPARE(seam->questions[0].text, QString("Save changes to %1?").arg(withFile ? "site" : "Untitled"));
    QCOMPARE(seam->questions[0].buttons, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    QCOMPARE(seam->questions[0].defaultButton, QMessageBox::Save);
    // A save dialog only for Save without a file; Open's own dialog only when Open goes on.
    QCOMPARE(seam->fileDialogs.size(), int(!saveAs.isEmpty()) + int(action == "Open" && goesOn));
    const bool saved = answer == QMessageBox::Save && goesOn;
    QCOMPARE(projectNameIn(path(withFile ? "site.stm" : "new.stm")),
             QString(saved ? "Changed" : withFile ? "Original" : "<unreadable>"));
    // Cancelled: all as it was. Gone on: closed, or the new or opened project, unmodified.
    QCOMPARE(w.isVisible(), !goesOn || action == "New" || action == "Open");
    if (w.isVisible()) {
        QCOMPARE(w.projectNameEdit->text(), QString(!goesOn ? "Changed" : action == "Open" ? "From file" : ""));
        QCOMPARE(w.currentFilePath(), !goesOn ? (withFile ? path("site.stm") : QString())
                                              : (action == "Open" ? path("other.stm") : QString()));
        QCOMPARE(w.isProjectModified(), !goesOn);
    }
}

void ProjectSlotsTest::saveWritesTheOpenFile()
{
    MainWindow &w = window();
    fillTwoLoopWindow();
    save(path("first.stm"));
    QCOMPARE(w.windowTitle(), QString::fromUtf8("first.stm[*] – Quillon"));
    QCOMPARE(seam->fileDialogs.size(), 1);
    seam->clear();
    w.projectNameEdit->setText("Second version");
    w.SaveProject();
    QCOMPARE(seam->fileDialogs.size(), 0);
    QCOMPARE(seam->texts(), QStringList{"The file has been saved successfully!"});
    QCOMPARE(projectNameIn(path("first.stm")), QString("Second version"));
    QVERIFY(!w.isProjectModified());

    // Save As always asks, and its file is then the open one.
    save(path("copy.stm"));
    QCOMPARE(seam->fileDialogs.size(), 1);

    // A failed save keeps the window modified and the file it had.
    w.projectNameEdit->setText("Third version");
    QVERIFY(QFile::remove(path("copy.stm")) && QDir(files->path()).mkdir("copy.stm"));
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
    QTest::addColumn<bool>("alreadyThere");  // then the answer to "already exists" is No
    QTest::newRow("project, no suffix") << false << "plan" << "plan.stm" << false;
    QTest::newRow("project, a dot in the name") << false << "Hall 1.5" << "Hall 1.5.stm" << false;
    QTest::newRow("PDF, no suffix") << true << "sheet" << "sheet.pdf" << false;
    // The dialog asked about "plan", which does not exist; "plan.stm" does.
    QTest::newRow("name with suffix already there") << false << "plan" << "plan.stm" << true;
}

void ProjectSlotsTest::typedNameGetsSuffix()
{
    QFETCH(bool, pdf);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(bool, alreadyThere);
    MainWindow &w = window();
    QVERIFY(!alreadyThere || writeFile(path(written), "old"));
    fillTwoLoopWindow();
    seam->answers << QMessageBox::No;
    seam->fileAnswers << path(typed);
    if (pdf)
        w.ExportPDF();
    else
        w.SaveProjectAs();
    QCOMPARE(seam->questions.size(), int(alreadyThere));
    if (alreadyThere)
        QCOMPARE(seam->questions[0].text, written + " already exists.\nDo you want to replace it?");
    QCOMPARE(QDir(files->path()).entryList(QDir::Files), QStringList{written});
    if (alreadyThere)
        QCOMPARE(readAll(path(written)), QByteArray("old"));
    else if (pdf)
        QCOMPARE(seam->openedUrls, QList<QUrl>{QUrl::fromLocalFile(path(written))});
    else
        QCOMPARE(projectNameIn(path(written)), QString("In window"));
}

void ProjectSlotsTest::missingFoldersAreSkipped_data()
{
    // Which of the open file's folder, the last folder and Documents exist, and the one chosen.
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("expected");
    QTest::newRow("all there: the open file's") << QStringList{"open", "last", "documents"} << "open";
    QTest::newRow("the open file's folder removed") << QStringList{"last", "documents"} << "last";
    QTest::newRow("only Documents") << QStringList{"documents"} << "documents";
    QTest::newRow("no Documents folder: home") << QStringList() << "<home>";
}

void ProjectSlotsTest::missingFoldersAreSkipped()
{
    QFETCH(QStringList, present);
    QFETCH(QString, expected);
    const QDir root(files->path());
    for (const QString &name : present)
        QVERIFY(root.mkpath(name));
    const QString folder = dialogFolder(root.filePath("open/hall.stm"), root.filePath("last"), root.filePath("documents"));
    QCOMPARE(folder, expected == "<home>" ? QDir::homePath() : root.filePath(expected));
}

void ProjectSlotsTest::recoveryFileFollowsTheModifiedMark()
{
    MainWindow &w = window();
    w.setRecoveryDelay(20);
    const auto recoveryFiles = [&] { return QDir(fixture->dir() + "/recovery").entryList({"*.qrec"}, QDir::Files).size(); };
    w.projectNameEdit->setText("Hall 3");
    QTRY_COMPARE(recoveryFiles(), 1);
    save(path("hall.stm"));
    QCOMPARE(recoveryFiles(), 0);
    w.projectNameEdit->setText("Hall 3, east");
    QTRY_COMPARE(recoveryFiles(), 1);
    w.projectNameEdit->setText("Hall 3");  // typed back to what was saved
    QTRY_COMPARE(recoveryFiles(), 0);
    w.NewProject();  // and so not modified: nothing to ask
    QCOMPARE(seam->questions.size(), 0);
    w.projectNameEdit->setText("Hall 4");
    QTRY_COMPARE(recoveryFiles(), 1);
    seam->answers << QMessageBox::Discard;
    QVERIFY(w.close());
    QCOMPARE(recoveryFiles(), 0);
}

void ProjectSlotsTest::recoveryAfterKill_data()
{
    QTest::addColumn<bool>("restore");
    QTest::newRow("restored") << true;
    QTest::newRow("declined") << false;
}

// A real child process types into a window until its recovery file is written, and is killed.
void ProjectSlotsTest::recoveryAfterKill()
{
    QFETCH(bool, restore);
    QTemporaryDir dir;
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {kWindowChildArgument, dir.path()});
    // Written through a scratch file and a rename: once there, it is whole.
    QTRY_VERIFY_WITH_TIMEOUT(!QDir(dir.path()).entryList({"*.qrec"}, QDir::Files).isEmpty(), 60000);
    QCOMPARE(ProjectRecovery(dir.path()).takeLeftBehind().size(), 0);  // its process still runs
    child.kill();
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    {
        // Two takers never share one file; one dropped without a decision is offered again.
        ProjectRecovery first(dir.path()), second(dir.path());
        const QList<LeftRecovery> taken = first.takeLeftBehind();
        QCOMPARE(taken.size(), 1);
        QCOMPARE(second.takeLeftBehind().size(), 0);
        // A damaged copy of a dead process's file is never offered.
        QVERIFY(writeFile(dir.filePath("recovery-0.qrec"), readAll(taken[0].file).chopped(9)));
    }

    WindowFixture fixture(sampleCatalogue(), dir.path());
    MainWindow &w = fixture.window();
    seam->answers << (restore ? QMessageBox::Yes : QMessageBox::No);
    QCOMPARE(w.offerRecovery(), restore);
    QCOMPARE(seam->questions.size(), 1);
    QCOMPARE(seam->questions[0].text, QString("Quillon closed without saving. Restore the unsaved project?"));
    QCOMPARE(w.projectNameEdit->text(), restore ? QString("Typed, never saved") : QString());
    QCOMPARE(w.panelComboBox->currentText(), restore ? kPanel2 : QString());
    QCOMPARE(w.isWindowModified(), restore);
    if (restore) {
        QCOMPARE(w.cableComboBoxes[1]->currentText(), kCableStp);
        QCOMPARE(w.deviceCountEdits[0][1]->text(), QString("17"));
        QCOMPARE(w.currentFilePath(), dir.filePath("hall.stm"));
    }
    // Asked once: the child's file is now this window's own, or forgotten.
    QVERIFY(!w.offerRecovery());
    QCOMPARE(seam->questions.size(), 1);
    QVERIFY(QFile::exists(dir.filePath("recovery-0.qrec")));
}

namespace {

// The child of recoveryAfterKill: saved once, so that the restored project knows its file, then
// typed into until killed.
int typeThenWait(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QDir dir(QString::fromLocal8Bit(argv[2]));
    RecordingSeam seam;
    WindowFixture fixture(sampleCatalogue(), dir.path());
    MainWindow &w = fixture.window();
    w.setRecoveryDelay(20);
    seam.fileAnswers << dir.filePath("hall.stm");
    w.SaveProject();
    w.projectNameEdit->setText("Typed, never saved");
    selectPanel(w, kPanel2);
    selectCable(w, 1, kCableStp);
    w.deviceCountEdits[0][1]->setText("17");
    return app.exec();
}

}  // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], kWindowChildArgument) == 0)
        return typeThenWait(argc, argv);
    QApplication app(argc, argv);
    ProjectSlotsTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_project_slots.moc"
