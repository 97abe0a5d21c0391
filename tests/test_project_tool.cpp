#include "app/application_setup.h"
#include "app/main_window.h"
#include "catalogue/dat_codec.h"
#include "loops/loop_state.h"
#include "project/project_check.h"
#include "project/project_file.h"
#include "project/project_open.h"
#include "recording_seam.h"
#include "test_catalogues.h"

#include <QColor>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

const QString kPanel4 = QStringLiteral("QP-420 (4 loops)");
const QString kCable10 = QString::fromUtf8("FR 2x1.0mm²");
const QString kCable15 = QString::fromUtf8("FR 2x1.5mm²");
const QString kCable25 = QString::fromUtf8("FR 2x2.5mm²");
const QString kCableStp = QStringLiteral("STP 2x0.8mm");

// A count on a device row: code, second row or not, loop from 0.
struct Count {
    QString code;
    bool secondRow;
    int loop;
    QString text;
};
using Counts = QVector<Count>;

}  // namespace

Q_DECLARE_METATYPE(Counts)

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeCatalogue(const QString &dir, const Catalogue &c)
{
    QDir().mkpath(dir);
    writeFile(dir + "/data.dat", encodeDataFile(c));
    writeFile(dir + "/name.dat", encodeNameFile(c));
}

// A project as the window saves it: every field of the grid "0" unless counted.
ProjectData makeProject(const Catalogue &c, const QString &panel, const QStringList &cables, const Counts &counts)
{
    QMap<QString, DeviceRecord> devices;
    for (int i = 0; i < c.deviceCount; ++i)
        devices.insert(c.devices[i].code, c.devices[i]);
    const int loops = cables.size();
    QVector<QStringList> grid(deviceGridRowCount(c), QStringList());
    for (QStringList &row : grid)
        for (int i = 0; i < loops; ++i)
            row.append("0");
    for (const Count &count : counts) {
        bool placed = false;
        for (const DeviceRow &row : deviceRowOrder(devices, grid.size()))
            if (row.key == count.code && row.secondRow == count.secondRow) {
                grid[row.row][count.loop] = count.text;
                placed = true;
            }
        if (!placed)
            qFatal("no row for device %s", qPrintable(count.code));
    }
    ProjectData p;
    p.catalogueVersionNumber = c.catalogueVersionNumber;
    p.projectName = "Hall 3";
    p.comment = "kept for the life of the building";
    p.panelName = panel;
    p.loopCount = loops;
    p.cableNames = cables;
    p.countRows = grid.mid(0, storedDeviceRows(c));
    p.extraCountRows = grid.mid(storedDeviceRows(c));
    p.hasExtraRows = true;
    return p;
}

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run runTool(const QStringList &arguments)
{
    QProcess tool;
    tool.start(QStringLiteral(QUILLON_PROJECT_TOOL), arguments);
    Run run;
    if (!tool.waitForStarted(30000) || !tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = tool.exitCode();
    run.out = QString::fromUtf8(tool.readAllStandardOutput()).remove(QLatin1Char('\r'));
    run.err = QString::fromUtf8(tool.readAllStandardError()).remove(QLatin1Char('\r'));
    return run;
}

QLineEdit *countField(MainWindow &w, const QString &code, bool secondRow, int loop)
{
    for (const DeviceRow &row : deviceRowOrder(loopState.devicesByKey, deviceGridRowCount(catalogue)))
        if (row.key == code && row.secondRow == secondRow)
            return w.deviceCountEdits[row.row][loop];
    return nullptr;
}

// The sample catalogue under version number 1, and the changes a later catalogue makes to it.
Catalogue changedSample(const QString &change)
{
    Catalogue c = sampleCatalogue();
    if (change == "same")
        return c;
    c.catalogueVersionNumber = 2;
    const auto removeDevice = [&c](const QString &code) {
        for (int i = 0; i < c.deviceCount; ++i)
            if (c.devices[i].code == code) {
                if (c.devices[i].hasSecondRow)
                    --c.extraDeviceRows;
                std::move(c.devices + i + 1, c.devices + c.deviceCount, c.devices + i);
                c.devices[--c.deviceCount] = DeviceRecord();
                return;
            }
    };
    if (change == "device inserted") {
        // "0" sorts before every code, so each row of the count table moves down by one.
        c.devices[c.deviceCount++] = makeDevice("0", "NEW-0", "Detector", 0.3f, 0.4f);
    } else if (change == "device removed") {
        removeDevice("9");
    } else if (change == "second rows") {
        c.devices[0].hasSecondRow = false;  // OPT-100 loses OPT-100I
        c.devices[0].secondRowName.clear();
        c.devices[12].hasSecondRow = true;  // ISO-1 gains one
        c.devices[12].secondRowName = "ISO-1B";
    } else if (change == "panel renamed") {
        c.panels[2].name = "QP-420 Mk2 (4 loops)";
    } else if (change == "cable gone") {
        std::move(c.cables + 1, c.cables + c.cableCount, c.cables);  // FR 2x1.0mm²
        c.cables[--c.cableCount] = CableRecord();
    } else if (change == "fewer loops") {
        c.panels[2].loopCount = 2;
    } else if (change == "wrong version") {
        c.catalogueVersionNumber = 2;
    }
    return c;
}

// The project every migration starts from, under the sample catalogue version 1.
const Counts oldCounts = {
    {"1", false, 0, "60"}, {"1", true, 0, "5"}, {"1", true, 2, "1"}, {"2", false, 1, "12"},
    {"5", false, 1, "10"}, {"5", true, 1, "3"}, {"9", false, 0, "20"}, {"9", false, 1, "3"},
    {"10", false, 2, "4"}, {"13", false, 0, "2"}, {"13", false, 3, "7"}, {"15", false, 3, ""},
};
const QStringList oldCables = {kCable15, kCable10, kCableStp, kCable25};

}  // namespace

class ProjectToolTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void migrate_data();
    void migrate();
    void check_data();
    void check();
    void checkBatteryMatchesTheWindow_data();
    void checkBatteryMatchesTheWindow();
    void checkRefusesAsOpenDoes_data();
    void checkRefusesAsOpenDoes();
    void checkFolderReportsEveryProject();
    void csvFields_data();
    void csvFields();
    void commandLine_data();
    void commandLine();
};

void ProjectToolTest::cleanup() { resetProcessState(); }

void ProjectToolTest::migrate_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("force");
    QTest::addColumn<QStringList>("losses");  // the lines before the result line, without "OLD: "
    QTest::addColumn<int>("status");

    QTest::newRow("device inserted before the others moves every later row")
        << "device inserted" << false << QStringList() << 0;
    const QString deviceGone =
        "device \"9\" (SBC-90) is not in the current catalogue; its counts are left out: Loop1 20, Loop2 3";
    QTest::newRow("device removed: refused") << "device removed" << false << QStringList{deviceGone} << 2;
    QTest::newRow("device removed: forced") << "device removed" << true << QStringList{deviceGone} << 1;
    QTest::newRow("second row added and one taken away")
        << "second rows" << true
        << QStringList{"device \"1\" (OPT-100) has no second row any more; the counts of its second row OPT-100I "
                       "are left out: Loop1 5, Loop3 1"}
        << 1;
    const QString panelGone = "panel \"QP-420 (4 loops)\" is not in the current catalogue; the project is left "
                              "without panel, cables and counts (the panel of code QP420 is now called "
                              "\"QP-420 Mk2 (4 loops)\")";
    QTest::newRow("panel renamed: refused") << "panel renamed" << false << QStringList{panelGone} << 2;
    QTest::newRow("panel renamed: forced") << "panel renamed" << true << QStringList{panelGone} << 1;
    const QString cableGone = QString::fromUtf8(
        "Loop2: cable \"FR 2x1.0mm²\" is not in the current catalogue; the loop is left without cable");
    QTest::newRow("cable gone: refused") << "cable gone" << false << QStringList{cableGone} << 2;
    QTest::newRow("cable gone: forced") << "cable gone" << true << QStringList{cableGone} << 1;
    QTest::newRow("panel with fewer loops: forced")
        << "fewer loops" << true
        << QStringList{"Loop3: panel \"QP-420 (4 loops)\" has 2 loops now; this loop is left out with its cable "
                       "and counts",
                       "Loop4: panel \"QP-420 (4 loops)\" has 2 loops now; this loop is left out with its cable "
                       "and counts"}
        << 1;
    QTest::newRow("same version: the old file unchanged") << "same" << false << QStringList() << 0;
    QTest::newRow("OLD_DIR of another version: refused") << "wrong version" << true << QStringList() << 3;
    QTest::newRow("OLD_DIR without a catalogue: refused") << "no catalogue" << true << QStringList() << 3;
    QTest::newRow("damaged project: refused") << "damaged" << true << QStringList() << 3;
    QTest::newRow("NEW.stm is OLD.stm: refused") << "in place" << true << QStringList() << 3;
}

void ProjectToolTest::migrate()
{
    QFETCH(QString, change);
    QFETCH(bool, force);
    QFETCH(QStringList, losses);
    QFETCH(int, status);

    QTemporaryDir dir;
    const Catalogue old = sampleCatalogue();
    const Catalogue now = changedSample(change);
    if (change != "no catalogue")
        writeCatalogue(dir.filePath("old"), change == "wrong version" ? now : old);
    else
        QDir().mkpath(dir.filePath("old"));
    writeCatalogue(dir.filePath("new"), change == "wrong version" ? old : now);
    const QString oldFile = dir.filePath("old.stm");
    const QString newFile = change == "in place" ? oldFile : dir.filePath("new.stm");
    ProjectData oldProject = makeProject(old, kPanel4, oldCables, oldCounts);
    oldProject.hasBattery = change != "damaged";  // carried over as saved
    oldProject.battery = defaultBatteryInputs(BatteryStandard::Nfpa72_2022);
    oldProject.battery.ownAlarmTyped = true;
    oldProject.battery.ownAlarm = 333.0;
    QByteArray oldBytes = encodeProject(oldProject);
    if (change == "damaged")
        oldBytes.chop(3);
    writeFile(oldFile, oldBytes);

    QStringList arguments{"migrate", "--catalogue", dir.filePath("new"), "--from", dir.filePath("old")};
    if (force)
        arguments << "--force";
    const Run run = runTool(arguments << oldFile << newFile);
    QCOMPARE(run.status, status);
    QCOMPARE(readFile(oldFile), oldBytes);  // never written
    const QString oldLabel = QDir::toNativeSeparators(oldFile);
    QStringList expected;
    for (const QString &loss : losses)
        expected << oldLabel + ": " + loss;
    if (status <= 1)
        expected << QDir::toNativeSeparators(newFile) + ": written for catalogue version number "
                        + QString::number(now.catalogueVersionNumber) + " (" + now.catalogueVersion + ")";
    if (change == "wrong version")
        expected << oldLabel + ": error: the project was saved under catalogue version number 1, but "
                        + QDir::toNativeSeparators(dir.filePath("old")) + " holds version number 2 ("
                        + now.catalogueVersion + ")";
    if (change == "damaged") {
        QString reason;
        ProjectData ignored;
        decodeProject(oldBytes, old.catalogueVersionNumber, storedDeviceRows(old), &ignored, &reason);
        QVERIFY2(reason.startsWith("The file ends early, at byte " + QString::number(oldBytes.size())),
                 qPrintable(reason));
        expected << oldLabel + ": error: The document is not legal. " + reason;
    }
    QCOMPARE(run.out.split('\n', Qt::SkipEmptyParts), expected);
    if (change == "no catalogue")
        QCOMPARE(run.err, "quillon-project: " + QDir::toNativeSeparators(dir.filePath("old"))
                              + ": data.dat cannot be read (" + missingFileReason() + ")\n");
    if (status > 1) {
        QVERIFY(change == "in place" || !QFile::exists(newFile));
        return;
    }
    if (change == "same")
        QCOMPARE(readFile(newFile), oldBytes);

    // Opened in a window on the new catalogue, every count sits on the device it counted before,
    // checked by code; a field the old project had no count for shows "0".
    RecordingSeam seam;
    WindowFixture fixture(now);
    MainWindow &w = fixture.window();
    seam.clear();
    seam.fileAnswers << newFile;
    w.OpenProject();
    QCOMPARE(seam.texts(), QStringList{"The file has been opened!"});
    QVERIFY(w.batteryInputs() == oldProject.battery);
    const bool panelKept = change != "panel renamed";
    QCOMPARE(w.panelComboBox->currentText(), panelKept ? kPanel4 : QString());
    QCOMPARE(loopState.loopCount, !panelKept ? 0 : change == "fewer loops" ? 2 : 4);
    int compared = 0;
    for (int loop = 0; loop < loopState.loopCount; ++loop) {
        const QString cable = change == "cable gone" && loop == 1 ? QString() : oldCables[loop];
        QCOMPARE(w.cableComboBoxes[loop]->currentText(), cable);
        for (const DeviceRecord &d : qAsConst(loopState.devicesByKey)) {
            for (const bool second : {false, true}) {
                if (second && !d.hasSecondRow)
                    continue;
                QString before = "0";
                for (const Count &count : oldCounts)
                    if (count.code == d.code && count.secondRow == second && count.loop == loop)
                        before = count.text;
                QLineEdit *field = countField(w, d.code, second, loop);
                QVERIFY2(field, qPrintable(d.code));
                QCOMPARE(field->text(), before);
                compared += before != "0";
            }
        }
    }
    // Not a vacuous pass: counts were found on the devices that kept them.
    QCOMPARE(compared > 0, panelKept);
}

// Rows of the check table: the loops of a project on the full-capacity catalogue's 16-loop panel.
// Devices "55" (alarm 5.9 mA) raise the current; "7" and "8" are the restricted codes.
void ProjectToolTest::check_data()
{
    QTest::addColumn<QStringList>("cables");
    QTest::addColumn<Counts>("counts");
    QTest::addColumn<int>("status");

    const QStringList cables{"Cable 1", "Cable 15", "Cable 8", "Cable 3"};
    const Counts normal = {{"1", false, 0, "10"}, {"23", false, 0, "5"}, {"23", true, 0, "3"},
                           {"40", true, 1, "17"}, {"12", false, 2, ""},  {"33", false, 3, "99"}};
    const Counts near = {{"55", false, 1, "40"}, {"55", true, 1, "30"}};        // 413 mA of 500
    const Counts over = {{"55", false, 2, "80"}, {"55", true, 2, "10"}};        // 531 mA
    const Counts tooMany = {{"2", false, 3, "200"}, {"2", true, 3, "51"}};      // 251 of 250
    const Counts restricted = {{"7", false, 0, "20"}, {"8", true, 0, "13"}};   // 33 of 32
    QTest::newRow("every loop normal: 0") << cables << normal << 0;
    QTest::newRow("a loop near its limit: 1") << cables << (normal + near) << 1;
    QTest::newRow("a loop with too many devices left out: 1") << cables << (normal + tooMany) << 1;
    QTest::newRow("a loop over the sounder limit left out: 1") << cables << (near + restricted) << 1;
    QTest::newRow("a loop over its limit: 2") << cables << (normal + near + over + tooMany) << 2;
    QTest::newRow("a loop without cable: all left out, 1")
        << QStringList{"Cable 1", "", "Cable 8", "Cable 3"} << normal << 1;
}

void ProjectToolTest::check()
{
    QFETCH(QStringList, cables);
    QFETCH(Counts, counts);
    QFETCH(int, status);

    // Sixteen loops, the four of the row and twelve that stay empty.
    const Catalogue full = fullCatalogue();
    const QString panel = full.panels[kPanelCapacity - 1].name;
    QStringList allCables = cables;
    for (int loop = cables.size(); loop < kMaxLoops; ++loop)
        allCables << QString("Cable %1").arg(loop % 15 + 1);
    RecordingSeam seam;
    WindowFixture fixture(full);
    MainWindow &w = fixture.window();
    QTemporaryDir files;
    const QString file = files.filePath("site.stm");
    writeFile(file, encodeProject(makeProject(full, panel, allCables, counts)));

    seam.clear();
    seam.fileAnswers << file;
    w.OpenProject();
    QCOMPARE(seam.texts(), QStringList{"The file has been opened!"});
    seam.clear();
    w.flushCalculation();

    // The lines the window's tables make, built from its cells, warnings and comment labels.
    const QString label = QDir::toNativeSeparators(file);
    const QString batteryColumns = ",Battery Standard,Standby Current (mA),Standby Period (h),Alarm Current (mA),"
                                   "Alarm Period (min),D,Factor,Required Capacity (Ah),Battery (Ah)";
    const QString noBatteryFields = ",,,,,,,,,";
    QStringList textLines, csvLines{"File,Loop,Panel,Cable Type,Quiescent current (mA),Total alarm current "
                                    "(mA),Max length (m),State,Comment" + batteryColumns},
        commentLines, leftOutLoops;
    const auto cell = [](QTableWidget *table, int row, int column) {
        QTableWidgetItem *item = table->item(row, column);
        return item ? item->text() : QString();
    };
    for (int k = 0; k < loopState.loopCount; ++k) {
        const QString loop = QString("Loop%1").arg(k + 1);
        QString state;
        QTableWidgetItem *symbol = w.calculationTable->item(k, 4);
        if (symbol && !symbol->text().isEmpty()) {
            const QColor colour = symbol->background().color();
            state = symbol->text() == QString(QChar(0x00D7)) ? "over limit"
                    : colour == QColor(Qt::yellow)            ? "near limit"
                                                              : "normal";
            QCOMPARE(colour, state == "over limit" ? QColor(Qt::red) : state == "near limit" ? QColor(Qt::yellow)
                                                                                             : QColor(Qt::green));
            QCOMPARE(cell(w.summaryTable, k, 8), w.cableComboBoxes[k]->currentText());
        } else {
            QStringList own, others;
            for (const QString &warning : seam.texts())
                (warning.startsWith(loop + ":") ? own : others) << warning.mid(warning.startsWith(loop + ":")
                                                                                   ? loop.size() + 1 : 0);
            state = "left out: " + (own.isEmpty() ? others : own).join("; ");
            leftOutLoops << loop;
        }
        for (int column = 1; column <= 3; ++column)
            QCOMPARE(cell(w.summaryTable, k, column + 4), cell(w.calculationTable, k, column));
        const QStringList fields{panel, w.cableComboBoxes[k]->currentText(), cell(w.calculationTable, k, 1),
                                 cell(w.calculationTable, k, 2), cell(w.calculationTable, k, 3), state};
        textLines << label + ": " + loop + ": " + fields.join("; ");
        // A left-out loop's comment lines give every reason, one per line.
        const QStringList comments = w.commentLabels[k]->text().split('\n', Qt::SkipEmptyParts);
        for (const QString &comment : comments)
            commentLines << label + ": comment: " + comment;
        QStringList csvFields = fields;
        for (int i = 2; i <= 4; ++i) {
            QVERIFY2(csvFields[i].isEmpty() || csvFields[i].endsWith(i == 4 ? "m" : "mA"), qPrintable(csvFields[i]));
            csvFields[i].chop(csvFields[i].isEmpty() ? 0 : i == 4 ? 1 : 2);
        }
        csvLines << QStringList{label, loop, csvFields.join(","), comments.join("; ")}.join(",") + noBatteryFields;
    }
    QCOMPARE(loopState.loopCount, kMaxLoops);
    // The full catalogue gives no panel its own currents: no capacity, and every reason said.
    QString reason = "the catalogue gives no own current for panel " + panel;
    if (leftOutLoops.size() == 1)
        reason = leftOutLoops[0] + " is left out of the calculation; " + reason;
    else if (!leftOutLoops.isEmpty())
        reason = leftOutLoops.mid(0, leftOutLoops.size() - 1).join(", ") + " and " + leftOutLoops.last() +
                 " are left out of the calculation; " + reason;
    const QString batteryLine = label + ": battery: not calculated: " + reason;
    csvLines << label + ",battery," + panel + ",,,,," + csvField("not calculated: " + reason) + noBatteryFields + ",";

    const QStringList catalogueOption{"--catalogue", fixture.dir()};
    const Run text = runTool(QStringList{"check"} + catalogueOption + QStringList{file});
    QCOMPARE(text.out.split('\n', Qt::SkipEmptyParts), textLines + commentLines + QStringList{batteryLine});
    QCOMPARE(text.status, status);
    const Run csv = runTool(QStringList{"check", "--format", "csv"} + catalogueOption + QStringList{file});
    QCOMPARE(csv.out.split('\n', Qt::SkipEmptyParts), csvLines);
    QCOMPARE(csv.status, status);
}

// What the Battery tab shows after Calculate is what check prints for the saved project, with the
// tab's inputs given as options. QP-220 (own currents 110 mA and 220 mA) with Loop1 and Loop2 each
// at 29.94 mA and 210.74 mA: I1 = 169.88 mA, I2 = 641.48 mA.
void ProjectToolTest::checkBatteryMatchesTheWindow_data()
{
    QTest::addColumn<QString>("saved");        // "own alarm" typed, a "left out" loop, or nothing
    QTest::addColumn<QStringList>("options");  // given to check, and set on the tab after Save
    QTest::addColumn<QString>("line");         // after "FILE: battery: "
    QTest::addColumn<QString>("csv");          // the battery row from its state on; empty: not run

    // 1.25 x (24 x 0.16988 + 1.75 x 0.5 x 0.64148): D = 1 would give 5.50 Ah, whose 20-hour rate
    // is 0.27 A, below I2.
    const QString bs = "BS 5839-1; standby 169.9mA x ";
    QTest::newRow("BS 5839-1 defaults") << "" << QStringList()
                                        << bs + "24h; alarm 641.5mA x 30min; D 1.75; required 5.80Ah; battery 7Ah"
                                        << "calculated,,BS 5839-1,169.9,24,641.5,30,1.75,1.25,5.80,7";
    // 72 h: C with D = 1 is 15.69 Ah, whose 20-hour rate 0.78 A covers I2.
    QTest::newRow("--standby-hours 72: D 1")
        << "" << QStringList{"--standby-hours", "72"}
        << bs + "72h; alarm 641.5mA x 30min; D 1; required 15.69Ah; battery 17Ah" << "";
    QTest::newRow("--standard nfpa72-2019 --alarm-minutes 15")
        << "" << QStringList{"--standard", "nfpa72-2019", "--alarm-minutes", "15"}
        << "NFPA 72-2019; standby 169.9mA x 24h; alarm 641.5mA x 15min; SF 1.2; required 5.08Ah; battery 7Ah" << "";
    // I2 = 275.5 + 2 x 210.74
    QTest::newRow("own alarm current typed") << "own alarm" << QStringList()
                                             << bs + "24h; alarm 697.0mA x 30min; D 1.75; required 5.86Ah; battery 7Ah"
                                             << "";
    QTest::newRow("a left-out loop") << "left out" << QStringList()
                                     << "not calculated: Loop1 is left out of the calculation" << "";
}

void ProjectToolTest::checkBatteryMatchesTheWindow()
{
    QFETCH(QString, saved);
    QFETCH(QStringList, options);
    QFETCH(QString, line);
    QFETCH(QString, csv);
    RecordingSeam seam;
    WindowFixture fixture(sampleCatalogue());
    MainWindow &w = fixture.window();
    w.panelComboBox->setCurrentText("QP-220 (2 loops)");
    for (int loop = 0; loop < 2; ++loop) {
        w.cableComboBoxes[loop]->setCurrentText(kCable15);
        for (const auto &count : {std::make_pair("1", "60"), {"5", "10"}, {"9", "20"}, {"13", "2"}})
            countField(w, count.first, false, loop)->setText(count.second);
    }
    if (saved == "left out")
        countField(w, "9", false, 0)->setText("33");  // 33 of a joint limit of 32
    if (saved == "own alarm") {
        w.ownAlarmEdit->clear();
        QTest::keyClicks(w.ownAlarmEdit, "275.5");
    }
    QTemporaryDir files;
    const QString file = files.filePath("site.stm");
    seam.clear();
    seam.fileAnswers << file;
    w.SaveProject();
    QCOMPARE(seam.texts(), QStringList{"The file has been saved successfully!"});
    for (int i = 0; i + 1 < options.size(); i += 2) {
        if (options[i] == "--standard")
            w.batteryStandardComboBox->setCurrentText(batteryStandardName(*batteryStandardFromKey(options[i + 1])));
        else
            (options[i] == "--standby-hours" ? w.standbyHoursEdit : w.alarmMinutesEdit)->setText(options[i + 1]);
    }
    w.flushCalculation();

    const QString label = QDir::toNativeSeparators(file);
    const QStringList common = QStringList{"check", "--catalogue", fixture.dir()} + options;
    QCOMPARE(runTool(common + QStringList{file}).out.split('\n', Qt::SkipEmptyParts).last(),
             label + ": battery: " + line);
    QCOMPARE(checkBatteryTextLine(label, w.batteryResult), label + ": battery: " + line);
    const QString shown = w.batteryResultLabel->text();
    if (w.batteryResult.calculated)
        QVERIFY2(shown.contains("Required capacity: " + line.section("required ", 1).section(';', 0, 0)),
                 qPrintable(shown));
    else
        QCOMPARE(shown, "Not calculated: " + line.section("not calculated: ", 1));
    if (csv.isEmpty())
        return;
    const QStringList rows = runTool(common + QStringList{"--format", "csv", file}).out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows.last(), label + ",battery,QP-220 (2 loops),,,,," + csv);
    QCOMPARE(rows.last().count(','), rows.first().count(','));
}

// The window's box and the tool's line give the same reason; %1 is the file's size, %2 the
// number of rows of the count grid.
void ProjectToolTest::checkRefusesAsOpenDoes_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("reason");
    QTest::newRow("not a project") << "not a project"
                                   << "It is not a Quillon project: it begins with the bytes 50 4B 03 04, where a "
                                      "project file begins with 20 22 01 12.";
    QTest::newRow("cut short") << "cut short"
                               << "The file ends early, at byte %1, inside the count of device row %2 on Loop2.";
    QTest::newRow("more loops than its panel")
        << "more loops" << "It holds 2 loops, but the panel \"Panel 1 (1 loops)\" has 1.";
    QTest::newRow("saved under an earlier catalogue")
        << "earlier" << "It was saved under catalogue version number 1; this catalogue is number 7. quillon-project "
                        "migrate carries a project over.";
}

void ProjectToolTest::checkRefusesAsOpenDoes()
{
    QFETCH(QString, damage);
    QFETCH(QString, reason);
    const Catalogue full = fullCatalogue();
    ProjectData project = makeProject(full, full.panels[1].name, {"Cable 1", "Cable 2"}, {});
    if (damage == "earlier")
        project.catalogueVersionNumber = 1;
    if (damage == "more loops")
        project.panelName = full.panels[0].name;  // one loop, two in the file
    QByteArray bytes = encodeProject(project);
    if (damage == "not a project")
        bytes = "PK\x03\x04 a workbook, say";
    if (damage == "cut short")
        bytes.chop(1);
    QTemporaryDir files;
    const QString file = files.filePath("old.stm");
    writeFile(file, bytes);
    const QString good = files.filePath("good.stm");
    writeFile(good, encodeProject(makeProject(full, full.panels[0].name, {"Cable 1"}, {})));
    reason = reason.arg(bytes.size()).arg(deviceGridRowCount(full));

    RecordingSeam seam;
    WindowFixture fixture(full);
    seam.clear();
    seam.fileAnswers << file;
    fixture.window().OpenProject();
    QCOMPARE(seam.messages.size(), 1);
    QCOMPARE(seam.messages[0].title, QString("Error"));
    const QString label = QDir::toNativeSeparators(file);
    QCOMPARE(seam.messages[0].detail, label + "\n" + reason);

    // One line for the refused file, and the next file is still checked, its battery too.
    const Run run = runTool({"check", "--catalogue", fixture.dir(), file, good});
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    const QString text = seam.messages[0].text;
    QCOMPARE(lines[0], label + ": error: " + text + (text.endsWith('.') ? " " : ". ") + reason);
    QVERIFY2(lines[1].endsWith("; normal"), qPrintable(lines[1]));
    QVERIFY2(lines[2].startsWith(QDir::toNativeSeparators(good) + ": battery: "), qPrintable(lines[2]));
    QCOMPARE(run.status, 3);
}

void ProjectToolTest::checkFolderReportsEveryProject()
{
#ifdef Q_OS_WIN
    QSKIP("a dangling link needs a POSIX file system");
#endif
    const Catalogue full = fullCatalogue();
    WindowFixture fixture(full);
    QTemporaryDir folder;
    const QByteArray good = encodeProject(makeProject(full, full.panels[0].name, {"Cable 1"}, {}));
    writeFile(folder.filePath("a.stm"), good);
    QVERIFY(QFile::link(folder.filePath("gone.stm"), folder.filePath("b.stm")));
    writeFile(folder.filePath("c.stm"), good);
    QVERIFY(QFile::setPermissions(folder.filePath("c.stm"), QFileDevice::WriteOwner));
    const bool rootReads = QFileInfo(folder.filePath("c.stm")).isReadable();

    const Run run = runTool({"check", "--catalogue", fixture.dir(), folder.path()});
    // A readable project gets its loop line and its battery line.
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), rootReads ? 5 : 4);
    QVERIFY2(lines[0].endsWith("; normal"), qPrintable(lines[0]));
    QVERIFY2(lines[1].contains(": battery: "), qPrintable(lines[1]));
    QCOMPARE(lines[2], QDir::toNativeSeparators(folder.filePath("b.stm"))
                           + ": error: The file could not be opened. No such file.");
    if (rootReads)
        QVERIFY2(lines[3].endsWith("; normal"), qPrintable(lines[3]));
    else
        QCOMPARE(lines[3], QDir::toNativeSeparators(folder.filePath("c.stm"))
                               + ": error: The file could not be opened. Permission denied.");
    QCOMPARE(run.status, 3);
}

void ProjectToolTest::csvFields_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain text as it is") << QString::fromUtf8("FR 2x1.5mm²") << QString::fromUtf8("FR 2x1.5mm²");
    QTest::newRow("a comma quotes") << "QP-220, red" << "\"QP-220, red\"";
    QTest::newRow("a quote is doubled") << "2\" conduit" << "\"2\"\" conduit\"";
    QTest::newRow("a line break quotes") << "two\nlines" << "\"two\nlines\"";
}

void ProjectToolTest::csvFields()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QCOMPARE(csvField(text), field);
}

void ProjectToolTest::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("firstError");  // the first line on stderr
    QTest::newRow("--help anywhere: 0") << QStringList{"check", "--help"} << 0 << "";
    QTest::newRow("--version: 0") << QStringList{"--version"} << 0 << "";
    QTest::newRow("no command: 64") << QStringList() << 64 << "quillon-project: no command given";
    QTest::newRow("unknown command: 64") << QStringList{"convert", "a.stm"} << 64
                                        << "quillon-project: unknown command \"convert\"";
    QTest::newRow("an option of the other command: 64")
        << QStringList{"check", "--force", "a.stm"} << 64 << "quillon-project: unknown option \"--force\" for check";
    QTest::newRow("unknown format: 64") << QStringList{"check", "--format=xml", "a.stm"} << 64
                                       << "quillon-project: --format is text or csv, not \"xml\"";
    QTest::newRow("unknown standard: 64") << QStringList{"check", "--standard", "bs5839", "a.stm"} << 64
                                         << "quillon-project: --standard is bs5839-1, nfpa72-2022 or nfpa72-2019, "
                                            "not \"bs5839\"";
    QTest::newRow("alarm period with a decimal comma: 64")
        << QStringList{"check", "--alarm-minutes", "7,5", "a.stm"} << 64
        << "quillon-project: --alarm-minutes is a number of 0 or more, not \"7,5\"";
    QTest::newRow("migrate without --from: 64")
        << QStringList{"migrate", "a.stm", "b.stm"} << 64 << "quillon-project: migrate needs --from OLD_DIR";
    QTest::newRow("migrate with one file: 64")
        << QStringList{"migrate", "--from", ".", "a.stm"} << 64 << "quillon-project: migrate needs OLD.stm and NEW.stm";
}

void ProjectToolTest::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, firstError);
    const Run run = runTool(arguments);
    QCOMPARE(run.status, status);
    setApplicationIdentity();
    if (arguments == QStringList{"--version"}) {
        QCOMPARE(run.out, "quillon-project " + QCoreApplication::applicationVersion() + "\n");
        return;
    }
    // One line says what is wrong, then the usage follows.
    const QString usage = status == 0 ? run.out : run.err.section('\n', 1);
    QVERIFY2(usage.startsWith("Usage: quillon-project check "), qPrintable(usage));
    QCOMPARE(run.err.section('\n', 0, 0), firstError);
}

QTEST_MAIN(ProjectToolTest)
#include "test_project_tool.moc"
