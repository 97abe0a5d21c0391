#include "app/application_setup.h"
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/window_size.h"
#include "loops/loop_state.h"
#include "recording_seam.h"
#include "test_catalogues.h"
#include "window_checks.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QRegularExpression>
#include <QtTest>
#include <cstdio>

class AppTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowTitleSizeAndFirstTab();
    void menuBarHoldsFileThenHelp();
    void actionTable_data();
    void actionTable();
    void tabOrder();
    void groupPlacement_data();
    void groupPlacement();
    void projectAndSummaryPagesHoldOneGroup();
    void slotTable_data();
    void slotTable();
    void slotTableHasNoSignalsOrExtraSlots();
    void helpTopicsText();
    void helpAboutText_data();
    void helpAboutText();
    void missingCatalogueFilesReportedInOrder();
    void newClearsProjectFields();
    void newWithPanelSelectedReturnsToBlank();
    void windowIconSizes_data();
    void windowIconSizes();
    void scaledWindowKeepsLogicalGeometry_data();
    void scaledWindowKeepsLogicalGeometry();
    void commandLineParsing_data();
    void commandLineParsing();
    void commandLineStatus_data();
    void commandLineStatus();
    void keys_data();
    void keys();
    void menuMnemonics_data();
    void menuMnemonics();
    void minimumSizeKeepsCalculationInSight();
    void firstWindowSizeFitsTheScreen_data();
    void firstWindowSizeFitsTheScreen();
    void resultCellsReadWithTheirHeader();
    void commentBoxGrowsOnlyWithComments();

private:
    std::unique_ptr<RecordingSeam> seam;
    std::unique_ptr<WindowFixture> fixture;
    QAction *action(const QString &text);
};

void AppTest::init()
{
    seam = std::make_unique<RecordingSeam>();
    fixture = std::make_unique<WindowFixture>(sampleCatalogue());
    seam->clear();
}

void AppTest::cleanup()
{
    fixture.reset();
    seam.reset();
}

QAction *AppTest::action(const QString &text)
{
    for (QAction *a : fixture->window().findChildren<QAction *>())
        if (a->text() == text)
            return a;
    return nullptr;
}

void AppTest::windowTitleSizeAndFirstTab()
{
    MainWindow &w = fixture->window();
    // Shown as "Quillon"; "[*]" is where the modified mark goes.
    QCOMPARE(w.windowTitle(), QString("Quillon[*]"));
    // 1100 x 700 where the screen has room for it; the offscreen screen is smaller.
    const QSize available = w.screen()->availableGeometry().size();
    if (available.width() >= 1200 && available.height() >= 800)
        QCOMPARE(w.size(), QSize(1100, 700));
    else
        QVERIFY(w.width() <= std::max(available.width(), w.minimumWidth())
                && w.height() <= std::max(available.height(), w.minimumHeight()));
    auto *tabs = w.findChild<QTabWidget *>();
    QVERIFY(tabs);
    QCOMPARE(tabs->currentIndex(), 0);
}

void AppTest::menuBarHoldsFileThenHelp()
{
    const QList<QAction *> menus = fixture->window().menuBar()->actions();
    QCOMPARE(menus.size(), 3);
    QCOMPARE(menus[0]->text(), QString("&File"));
    QCOMPARE(menus[1]->text(), QString("&Edit"));
    QCOMPARE(menus[2]->text(), QString("&Help"));
    // The mnemonic is underlined, not shown.
    QCOMPARE(menus[0]->iconText(), QString("File"));
    QCOMPARE(menus[2]->iconText(), QString("Help"));
    QStringList file, edit, help;
    for (QAction *a : menus[0]->menu()->actions()) {
        QVERIFY(!a->isSeparator());
        file << a->text();
    }
    for (QAction *a : menus[1]->menu()->actions())
        edit << a->text();
    for (QAction *a : menus[2]->menu()->actions())
        help << a->text();
    QCOMPARE(file, QStringList({"New(&N)", "Open(&O)...", "Save(&S)", QString::fromUtf8("Save As…"), "Export PDF",
                                "Quit"}));
    QCOMPARE(edit, QStringList({"Copy counts"}));
    QCOMPARE(help, QStringList({"Topics", "About"}));
}

void AppTest::actionTable_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::addColumn<QString>("slot");
    QTest::newRow("New, Ctrl+N") << "New(&N)" << "&File" << QKeySequence("Ctrl+N") << "NewProject()";
    // FILE-SLOT-ROWS: Open (Ctrl+O, OpenProject()), Save (Ctrl+S, SaveProject()), Export PDF (ExportPDF())
    QTest::newRow("Open, Ctrl+O") << "Open(&O)..." << "&File" << QKeySequence("Ctrl+O") << "OpenProject()";
    QTest::newRow("Save, Ctrl+S") << "Save(&S)" << "&File" << QKeySequence("Ctrl+S") << "SaveProject()";
    QTest::newRow("Save As, Ctrl+Shift+S") << QString::fromUtf8("Save As…") << "&File" << QKeySequence("Ctrl+Shift+S")
                                           << "SaveProjectAs()";
    QTest::newRow("Export PDF, no shortcut") << "Export PDF" << "&File" << QKeySequence() << "ExportPDF()";
    QTest::newRow("Quit, Ctrl+Q") << "Quit" << "&File" << QKeySequence("Ctrl+Q") << "close()";
    QTest::newRow("Topics, F1") << "Topics" << "&Help" << QKeySequence(QKeySequence::HelpContents) << "HelpTopics()";
    QTest::newRow("About, no shortcut") << "About" << "&Help" << QKeySequence() << "HelpAbout()";
}

void AppTest::actionTable()
{
    QFETCH(QString, text);
    QFETCH(QString, menu);
    QFETCH(QKeySequence, shortcut);
    QFETCH(QString, slot);
    QAction *a = action(text);
    QVERIFY(a);
    auto *parentMenu = qobject_cast<QMenu *>(a->parent());
    QVERIFY(parentMenu);
    QCOMPARE(parentMenu->title(), menu);
    QCOMPARE(a->shortcut(), shortcut);
    // Triggering reaches the slot: each of these slots has an effect the test can see.
    MainWindow &w = fixture->window();
    w.projectNameEdit->setText("before");
    a->trigger();
    if (slot == "NewProject()") {
        QCOMPARE(w.projectNameEdit->text(), QString());
    } else if (slot == "close()") {
        // Through closeEvent: the unsaved name is asked about first (the recorder discards it).
        QCOMPARE(seam->questions.size(), 1);
        QVERIFY(!w.isVisible());
    } else if (slot == "HelpTopics()" || slot == "HelpAbout()") {
        QCOMPARE(seam->messages.size(), 1);
        QCOMPARE(seam->messages[0].title, QString(slot == "HelpTopics()" ? "Topic" : "about"));
    } else {
        // The file slots ask for a name first; the recorder answers "cancelled".
        QCOMPARE(seam->fileDialogs.size(), 1);
        QCOMPARE(w.projectNameEdit->text(), QString("before"));
    }
}

void AppTest::tabOrder()
{
    auto *tabs = fixture->window().findChild<QTabWidget *>();
    QCOMPARE(tabs->count(), 4);
    QCOMPARE(tabs->tabText(0), QString("Project"));
    QCOMPARE(tabs->tabText(1), QString("Calculation"));
    QCOMPARE(tabs->tabText(2), QString("Summary"));
    QCOMPARE(tabs->tabText(3), QString("Battery"));
}

void AppTest::groupPlacement_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("rowSpan");
    QTest::addColumn<int>("columnSpan");
    QTest::newRow("Panel Selection") << "Panel Selection" << 0 << 0 << 1 << 5;
    QTest::newRow("Cable Selection") << "Cable Selection" << 1 << 0 << 2 << 5;
    QTest::newRow("Number of Device") << "Number of Device" << 0 << 5 << 3 << 7;
    QTest::newRow("Calculation") << "Calculation" << 3 << 0 << 2 << 12;
    QTest::newRow("Comment") << "Comment" << 5 << 0 << 1 << 12;
}

void AppTest::groupPlacement()
{
    QFETCH(QString, title);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, rowSpan);
    QFETCH(int, columnSpan);
    auto *tabs = fixture->window().findChild<QTabWidget *>();
    auto *grid = qobject_cast<QGridLayout *>(tabs->widget(1)->layout());
    QVERIFY(grid);
    QCOMPARE(grid->count(), 5);
    bool found = false;
    for (int i = 0; i < grid->count(); ++i) {
        auto *group = qobject_cast<QGroupBox *>(grid->itemAt(i)->widget());
        if (!group || group->title() != title)
            continue;
        int r, c, rs, cs;
        grid->getItemPosition(i, &r, &c, &rs, &cs);
        QCOMPARE(QList<int>({r, c, rs, cs}), QList<int>({row, column, rowSpan, columnSpan}));
        found = true;
    }
    QVERIFY(found);
}

void AppTest::projectAndSummaryPagesHoldOneGroup()
{
    auto *tabs = fixture->window().findChild<QTabWidget *>();
    const struct {
        int tab;
        const char *title;
    } pages[] = {{0, "Project Information"}, {2, "Loop Summary"}};
    for (const auto &page : pages) {
        QLayout *layout = tabs->widget(page.tab)->layout();
        QCOMPARE(layout->count(), 1);
        auto *group = qobject_cast<QGroupBox *>(layout->itemAt(0)->widget());
        QVERIFY(group);
        QCOMPARE(group->title(), QString(page.title));
    }
    QVERIFY(qobject_cast<QVBoxLayout *>(tabs->widget(0)->layout()));
    QVERIFY(qobject_cast<QHBoxLayout *>(tabs->widget(2)->layout()));
}

void AppTest::slotTable_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("signature");
    const char *fixed[] = {"NewProject()", "OpenProject()", "SaveProject()", "ExportPDF()",
                           "HelpTopics()", "HelpAbout()", "flushPanel(QString)"};
    for (int i = 0; i < 7; ++i)
        QTest::newRow(fixed[i]) << i << QString(fixed[i]);
    for (int n = 1; n <= 16; ++n) {
        const QString sig = QString("flushCableLoop%1(QString)").arg(n);
        QTest::newRow(qPrintable(sig)) << 6 + n << sig;
    }
    QTest::newRow("setLoopColumn(QString)") << 23 << QString("setLoopColumn(QString)");
    QTest::newRow("flushCalculation()") << 24 << QString("flushCalculation()");
}

void AppTest::slotTable()
{
    QFETCH(int, index);
    QFETCH(QString, signature);
    const QMetaObject &mo = MainWindow::staticMetaObject;
    const QMetaMethod m = mo.method(mo.methodOffset() + index);
    QCOMPARE(m.methodType(), QMetaMethod::Slot);
    QCOMPARE(m.access(), QMetaMethod::Public);
    QCOMPARE(QString::fromLatin1(m.methodSignature()), signature);
    if (signature.contains("QString"))
        QCOMPARE(m.parameterNames().size(), 1);
}

void AppTest::slotTableHasNoSignalsOrExtraSlots()
{
    const QMetaObject &mo = MainWindow::staticMetaObject;
    QCOMPARE(mo.methodCount() - mo.methodOffset(), 25);
    QCOMPARE(mo.propertyCount() - mo.propertyOffset(), 0);
    const QMetaMethod cable3 = mo.method(mo.methodOffset() + 9);
    QCOMPARE(cable3.parameterNames().value(0), QByteArray("text3"));
}

void AppTest::helpTopicsText()
{
    fixture->window().HelpTopics();
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(int(seam->messages[0].kind), int(MessageKind::About));
    QCOMPARE(seam->messages[0].title, QString("Topic"));
    QCOMPARE(seam->messages[0].text,
             QString("1:Select panel model\n\n2:Select cable type\n\n3:Full in the number of device\n\n"
                     "4:Click the calculate button"));
}

void AppTest::helpAboutText_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("expected");
    QTest::newRow("sample catalogue") << "Sample catalogue 2026.12"
                                      << "Soft Version:SV1.0\nSample catalogue 2026.12";
    QTest::newRow("empty version ends in a line feed") << "" << "Soft Version:SV1.0\n";
}

void AppTest::helpAboutText()
{
    QFETCH(QString, version);
    QFETCH(QString, expected);
    catalogue.catalogueVersion = version;
    fixture->window().HelpAbout();
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(int(seam->messages[0].kind), int(MessageKind::About));
    QCOMPARE(seam->messages[0].title, QString("about"));
    QCOMPARE(seam->messages[0].text, expected);
    QCOMPARE(softwareVersionText, QString("Soft Version:SV1.0"));
}

void AppTest::missingCatalogueFilesReportedInOrder()
{
    fixture.reset();
    resetProcessState();
    QTemporaryDir empty;
    setCatalogueDirectoryForTesting(empty.path());
    seam->clear();
    {
        MainWindow w;
        QCOMPARE(seam->texts(), QStringList({"The file of data.dat could not be read.",
                                             "The file of name.dat could not be read."}));
        for (const auto &m : seam->messages) {
            QCOMPARE(int(m.kind), int(MessageKind::Critical));
            QCOMPARE(m.title, QString("Error"));
        }
        QCOMPARE(w.panelComboBox->count(), 1);
        QCOMPARE(w.panelComboBox->itemText(0), QString());
    }
    setCatalogueDirectoryForTesting(QString());
}

void AppTest::newClearsProjectFields()
{
    MainWindow &w = fixture->window();
    w.projectNameEdit->setText("Hall A");
    w.projectLocationEdit->setText("Level 2");
    w.companyNameEdit->setText("Acme");
    w.emailEdit->setText("a@b.c");
    w.commentEdit->setPlainText("line 1\nline 2");
    QSignalSpy spy(w.panelComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged));
    w.NewProject();
    QCOMPARE(w.projectNameEdit->text(), QString());
    QCOMPARE(w.projectLocationEdit->text(), QString());
    QCOMPARE(w.companyNameEdit->text(), QString());
    QCOMPARE(w.emailEdit->text(), QString());
    QCOMPARE(w.commentEdit->toPlainText(), QString());
    QCOMPARE(spy.count(), 0);  // the blank entry was already current
    QVERIFY(seam->messages.isEmpty());
}

void AppTest::newWithPanelSelectedReturnsToBlank()
{
    MainWindow &w = fixture->window();
    const int index = w.panelComboBox->findText("QP-420 (4 loops)");
    QVERIFY(index > 0);
    w.panelComboBox->setCurrentIndex(index);
    QCOMPARE(loopState.loopCount, 4);
    w.NewProject();
    QCOMPARE(w.panelComboBox->currentIndex(), 0);
    QCOMPARE(loopState.loopCount, 0);
    QCOMPARE(loopState.selectedPanelName, QString());
}

void AppTest::windowIconSizes_data()
{
    QTest::addColumn<int>("size");
    for (int size : iconSizes())
        QTest::newRow(qPrintable(QString("%1 px").arg(size))) << size;
}

void AppTest::windowIconSizes()
{
    QFETCH(int, size);
    // main() installs the icon for every window; the PNGs come from the compiled-in resource.
    const QIcon icon = QApplication::windowIcon();
    QVERIFY(icon.availableSizes().contains(QSize(size, size)));
    const QImage image(QString(":/icons/quillon-%1.png").arg(size));
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(!fixture->window().windowIcon().isNull());
}

namespace {

// Every visible widget of the shown window on each tab with its logical geometry, one per line,
// after the window's size in device pixels.
QStringList windowGeometry()
{
    resetProcessState();
    WindowFixture fixture(sampleCatalogue());
    MainWindow &w = fixture.window();
    // The same logical size at every scale, whatever room the test's screen has.
    w.resize(1100, 700);
    w.panelComboBox->setCurrentIndex(w.panelComboBox->findText("QP-420 (4 loops)"));
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        return {};
    const QSize device = w.grab().size();
    QStringList lines;
    lines << QString("device %1x%2").arg(device.width()).arg(device.height());
    lines << QString("window %1x%2").arg(w.width()).arg(w.height());
    // Each tab in turn: a page's layout runs when it is first shown.
    auto *tabs = w.findChild<QTabWidget *>();
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        QApplication::processEvents();
        for (QWidget *child : w.findChildren<QWidget *>()) {
            if (!child->isVisibleTo(&w))
                continue;
            const QRect r(child->mapTo(&w, QPoint(0, 0)), child->size());
            lines << QString("%1 %2,%3 %4x%5")
                         .arg(child->metaObject()->className())
                         .arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
        }
    }
    for (QTableWidget *table : w.findChildren<QTableWidget *>()) {
        QStringList widths;
        for (int column = 0; column < table->columnCount(); ++column)
            widths << QString::number(table->columnWidth(column));
        lines << "columns " + widths.join(' ');
    }
    return lines;
}

// The lines of windowGeometry() from a new process, which reads the scale when it starts.
QStringList childWindowGeometry(const QString &variable, const QString &value)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUILLON_PRINT_WINDOW_GEOMETRY", "1");
    if (!variable.isEmpty())
        env.insert(variable, value);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    if (!child.waitForFinished(60000) || child.exitCode() != 0)
        return {};
    // Windows writes the child's lines in text mode, ending in CR LF.
    return QString::fromUtf8(child.readAllStandardOutput()).remove('\r').split('\n', Qt::SkipEmptyParts);
}

}  // namespace

void AppTest::scaledWindowKeepsLogicalGeometry_data()
{
    // QT_SCREEN_SCALE_FACTORS stands in for a screen at 125 % or 150 % as Windows and the X
    // desktops report it. QT_SCALE_FACTOR multiplies the screen's own factor, and the offscreen
    // screen claims 100 dpi, so only the logical geometry is compared there.
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("deviceSize");
    QTest::newRow("screen at 125 %") << "QT_SCREEN_SCALE_FACTORS" << "1.25" << "device 1375x875";
    QTest::newRow("screen at 150 %") << "QT_SCREEN_SCALE_FACTORS" << "1.5" << "device 1650x1050";
    QTest::newRow("QT_SCALE_FACTOR 1.5") << "QT_SCALE_FACTOR" << "1.5" << "";
}

void AppTest::scaledWindowKeepsLogicalGeometry()
{
    QFETCH(QString, variable);
    QFETCH(QString, value);
    QFETCH(QString, deviceSize);
    QStringList unscaled = childWindowGeometry(QString(), QString());
    QStringList scaled = childWindowGeometry(variable, value);
    QVERIFY(unscaled.size() > 100);
    QVERIFY(unscaled.contains("window 1100x700"));
    QVERIFY(!scaled.isEmpty());
    const QString device = scaled.takeFirst();
    if (!deviceSize.isEmpty())
        QCOMPARE(device, deviceSize);
    QVERIFY(device != unscaled.takeFirst());
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        // A real platform hints its fonts at each size, so text-sized parts may move by a pixel;
        // the fixed geometry must not.
        const QRegularExpression fixed(QStringLiteral("^(window|columns) | 230x25$"));
        scaled = scaled.filter(fixed);
        unscaled = unscaled.filter(fixed);
        QVERIFY(unscaled.size() > 3);
    }
    QCOMPARE(scaled, unscaled);
}

void AppTest::commandLineParsing_data()
{
    using Action = QuillonCommandLine::Action;
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("error");
    QTest::newRow("nothing") << QStringList() << int(Action::Run) << "" << "";
    QTest::newRow("a project") << QStringList{"site.stm"} << int(Action::Run) << "site.stm" << "";
    QTest::newRow("--help") << QStringList{"--help"} << int(Action::Help) << "" << "";
    QTest::newRow("-h after a file") << QStringList{"site.stm", "-h"} << int(Action::Help) << "" << "";
    QTest::newRow("--version") << QStringList{"--version"} << int(Action::Version) << "" << "";
    QTest::newRow("-v") << QStringList{"-v"} << int(Action::Version) << "" << "";
    QTest::newRow("a file called --help after --") << QStringList{"--", "--help"} << int(Action::Run) << "--help"
                                                   << "";
    QTest::newRow("unknown option") << QStringList{"--fullscreen"} << int(Action::Wrong) << ""
                                    << "Unknown option 'fullscreen'.";
    QTest::newRow("two projects") << QStringList{"a.stm", "b.stm"} << int(Action::Wrong) << ""
                                  << "quillon opens one project file, not 2";
}

void AppTest::commandLineParsing()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    QFETCH(QString, file);
    QFETCH(QString, error);
    const QuillonCommandLine line = parseQuillonCommandLine(QStringList{"quillon"} + arguments);
    QCOMPARE(int(line.action), action);
    QCOMPARE(line.file, file);
    QCOMPARE(line.error, error);
}

// The program itself: --help and --version need no display, and a wrong command line exits
// with 64 before any window opens.
void AppTest::commandLineStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("platform");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("firstLine");  // of stdout for status 0, else of stderr
    setApplicationIdentity();
    const QString version = "quillon " + QCoreApplication::applicationVersion();
    QTest::newRow("--help without a display: 0") << QStringList{"--help"} << "xcb" << 0 << "Usage: quillon [FILE.stm]";
    QTest::newRow("--version without a display: 0") << QStringList{"--version"} << "xcb" << 0 << version;
    QTest::newRow("--version after Qt's own option: 0")
        << QStringList{"-style", "fusion", "--version"} << "xcb" << 0 << version;
    QTest::newRow("unknown option: 64") << QStringList{"--bogus"} << "offscreen" << 64
                                        << "quillon: Unknown option 'bogus'.";
    QTest::newRow("two projects: 64") << QStringList{"a.stm", "b.stm"} << "offscreen" << 64
                                      << "quillon: quillon opens one project file, not 2";
}

void AppTest::commandLineStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, platform);
    QFETCH(int, status);
    QFETCH(QString, firstLine);
    QProcess quillon;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", platform);
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    // Else Qt's own warning about it would come first on stderr.
    QTemporaryDir runtime;
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    quillon.setProcessEnvironment(env);
    quillon.start(QStringLiteral(QUILLON_APP), arguments);
    QVERIFY2(quillon.waitForStarted(30000), qPrintable(quillon.errorString()));
    QVERIFY(quillon.waitForFinished(60000));
    QCOMPARE(quillon.exitStatus(), QProcess::NormalExit);
    QCOMPARE(quillon.exitCode(), status);
    const QString output =
        QString::fromUtf8(status == 0 ? quillon.readAllStandardOutput() : quillon.readAllStandardError())
            .remove('\r');
    QCOMPARE(output.section('\n', 0, 0), firstLine);
    if (status == 64)
        QVERIFY2(output.section('\n', 1).startsWith("Usage: quillon [FILE.stm]\n"), qPrintable(output));
}

void AppTest::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("message");  // what the key's action shows without a panel
    const QString calculate = "Please select panel model!";
    QTest::newRow("F5 calculates") << int(Qt::Key_F5) << int(Qt::NoModifier) << calculate;
    QTest::newRow("Ctrl+Return calculates") << int(Qt::Key_Return) << int(Qt::ControlModifier) << calculate;
    QTest::newRow("Ctrl+Enter on the keypad calculates") << int(Qt::Key_Enter) << int(Qt::ControlModifier | Qt::KeypadModifier)
                                                         << calculate;
    QTest::newRow("F1 shows the topics")
        << int(Qt::Key_F1) << int(Qt::NoModifier)
        << "1:Select panel model\n\n2:Select cable type\n\n3:Full in the number of device\n\n4:Click the calculate button";
}

// Real key events, with the focus where a user has it: in a count field, or in the panel box.
void AppTest::keys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, message);
    MainWindow &w = fixture->window();
    QVERIFY(showOnTab(w, 1));
    for (QWidget *focus : {static_cast<QWidget *>(w.panelComboBox), static_cast<QWidget *>(w.calculationTable)}) {
        seam->clear();
        focus->setFocus();
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &w, Qt::Key(key),
                        Qt::KeyboardModifiers(modifiers));
        QCOMPARE(seam->texts(), QStringList{message});
    }
    // From a count field too, which takes Return and digits for itself.
    w.panelComboBox->setCurrentIndex(w.panelComboBox->findText("QP-220 (2 loops)"));
    w.deviceCountEdits[0][0]->setFocus();
    seam->clear();
    QTest::keyClick(w.deviceCountEdits[0][0], Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    if (key == Qt::Key_F1)
        QCOMPARE(seam->texts(), QStringList{message});
    else
        QCOMPARE(seam->texts(), QStringList({"Loop1:Please select cable type!", "Loop2:Please select cable type!"}));
}

void AppTest::menuMnemonics_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("menu");
    QTest::newRow("Alt+F opens File") << int(Qt::Key_F) << "&File";
    QTest::newRow("Alt+E opens Edit") << int(Qt::Key_E) << "&Edit";
    QTest::newRow("Alt+H opens Help") << int(Qt::Key_H) << "&Help";
}

void AppTest::menuMnemonics()
{
    QFETCH(int, key);
    QFETCH(QString, menu);
    MainWindow &w = fixture->window();
    QVERIFY(showOnTab(w, 1));
    w.panelComboBox->setFocus();
    QTest::keyClick(w.panelComboBox, Qt::Key(key), Qt::AltModifier);
    QTRY_VERIFY(QApplication::activePopupWidget());
    auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(popup);
    QCOMPARE(popup->title(), menu);
    popup->close();
}

void AppTest::minimumSizeKeepsCalculationInSight()
{
    MainWindow &w = fixture->window();
    w.panelComboBox->setCurrentIndex(w.panelComboBox->findText("QP-1640 (16 loops)"));
    QVERIFY(showOnTab(w, 1));
    w.resize(300, 200);
    QTRY_VERIFY(w.width() > 300 && w.height() > 200);
    QApplication::processEvents();
    const QRect window = w.rect();
    // Wholly inside the window and inside the part of its table that shows.
    auto shown = [&w, &window](QWidget *widget, QWidget *clip) {
        const QRect r(widget->mapTo(&w, QPoint(0, 0)), widget->size());
        const QRect c(clip->mapTo(&w, QPoint(0, 0)), clip->size());
        return !r.isEmpty() && window.contains(r) && c.contains(r);
    };
    QTRY_VERIFY(shown(w.cableComboBoxes[0], w.cableTable->viewport()));
    QVERIFY(shown(w.deviceCountEdits[0][0], w.deviceTable->viewport()));
    QVERIFY(shown(w.calculateButton, &w));
    QVERIFY(w.calculateButton->width() >= w.calculateButton->sizeHint().width());
    // And the window still fits a screen at 150 %: 1280 x 720 logical pixels, less a task bar.
    QVERIFY2(w.width() <= 1280 && w.height() <= 650, qPrintable(QString("%1x%2").arg(w.width()).arg(w.height())));
}

void AppTest::firstWindowSizeFitsTheScreen_data()
{
    QTest::addColumn<QSize>("available");
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QSize>("size");
    QTest::newRow("1920 x 1080 at 100 %") << QSize(1920, 1040) << QSize(2, 32) << QSize(1100, 700);
    QTest::newRow("1920 x 1080 at 150 %: too low") << QSize(1280, 693) << QSize(2, 32) << QSize(1100, 661);
    QTest::newRow("1366 x 768 at 125 %: too wide and low") << QSize(1093, 584) << QSize(2, 32) << QSize(1091, 552);
    QTest::newRow("exactly room") << QSize(1102, 732) << QSize(2, 32) << QSize(1100, 700);
    QTest::newRow("frame larger than the screen") << QSize(10, 10) << QSize(20, 40) << QSize(0, 0);
}

void AppTest::firstWindowSizeFitsTheScreen()
{
    QFETCH(QSize, available);
    QFETCH(QSize, frame);
    QFETCH(QSize, size);
    QCOMPARE(firstWindowSize(QSize(1100, 700), available, frame), size);
}

void AppTest::resultCellsReadWithTheirHeader()
{
    MainWindow &w = fixture->window();
    w.panelComboBox->setCurrentIndex(w.panelComboBox->findText("QP-110 (1 loop)"));
    w.cableComboBoxes[0]->setCurrentIndex(1);
    w.deviceCountEdits[0][0]->setText("10");
    w.flushCalculation();
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(w.calculationTable);
    QVERIFY(table && table->tableInterface());
    const struct {
        int column;
        QString name;
    } cells[] = {
        {1, "Quiescent Current: " + w.calculationTable->item(0, 1)->text()},
        {3, "Max Length: " + w.calculationTable->item(0, 3)->text()},
        {4, "State: normal"},
    };
    for (const auto &cell : cells) {
        QAccessibleInterface *iface = table->tableInterface()->cellAt(0, cell.column);
        QVERIFY(iface);
        QCOMPARE(iface->text(QAccessible::Name), cell.name);
    }
    QVERIFY(w.calculationTable->item(0, 1)->text().endsWith("mA"));
    QAccessibleInterface *summary = QAccessible::queryAccessibleInterface(w.summaryTable);
    QCOMPARE(summary->tableInterface()->cellAt(0, 1)->text(QAccessible::Name), QString("Detectors: 10"));
}

void AppTest::commentBoxGrowsOnlyWithComments()
{
    MainWindow &w = fixture->window();
    w.panelComboBox->setCurrentIndex(w.panelComboBox->findText("QP-1640 (16 loops)"));
    auto visibleLines = [&w] {
        int shown = 0;
        for (QLabel *label : w.commentLabels)
            shown += label->isVisibleTo(label->parentWidget()) ? 1 : 0;
        return shown;
    };
    QCOMPARE(visibleLines(), 6);  // three lines of two loops
    w.cableComboBoxes[0]->setCurrentIndex(1);
    w.cableComboBoxes[0]->actions().value(0)->trigger();  // the same cable for every loop
    // 30 modules of 24 mA alarm current overload loop 12 (limit 500 mA).
    const int row = 6;  // CZI-1
    QCOMPARE(w.deviceTable->item(row, 0)->text(), QString("CZI-1"));
    w.deviceCountEdits[row][11]->setText("30");
    w.flushCalculation();
    QVERIFY(!w.commentLabels[11]->text().isEmpty());
    QVERIFY(w.commentLabels[11]->isVisibleTo(w.commentLabels[11]->parentWidget()));
    QCOMPARE(visibleLines(), 7);
    w.panelComboBox->setCurrentIndex(w.panelComboBox->findText("QP-220 (2 loops)"));
    QCOMPARE(visibleLines(), 6);
}

int main(int argc, char *argv[])
{
    prepareHighDpiScaling();  // as the program starts
    QApplication app(argc, argv);
    setUpApplication();
    if (qEnvironmentVariableIsSet("QUILLON_PRINT_WINDOW_GEOMETRY")) {
        RecordingSeam seam;
        std::printf("%s\n", qPrintable(windowGeometry().join('\n')));
        return 0;
    }
    AppTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_app.moc"
