#include "app/application_setup.h"
#include "app/main_window.h"
#include "loops/loop_state.h"
#include "recording_seam.h"
#include "test_catalogues.h"
#include "window_checks.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
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
    void commandLineStatus_data();
    void commandLineStatus();
    void keys_data();
    void keys();
    void minimumSizeKeepsCalculationInSight();
    void resultCellsReadWithTheirHeader();

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
    QCOMPARE(w.windowTitle(), QString("Quillon[*]"));  // "[*]": where the modified mark goes
    // 1100 x 700 where the screen has room for it, else within the screen (the offscreen one is smaller).
    const QSize room = w.screen()->availableGeometry().size();
    QVERIFY(room.width() < 1200 || room.height() < 800 || w.size() == QSize(1100, 700));
    QVERIFY(w.width() <= std::max(room.width(), w.minimumWidth()) && w.height() <= std::max(room.height(), w.minimumHeight()));
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
    QTest::newRow("New, Ctrl+N") << "New(&N)" << "File" << QKeySequence("Ctrl+N") << "NewProject()";
    // FILE-SLOT-ROWS: Open (Ctrl+O, OpenProject()), Save (Ctrl+S, SaveProject()), Export PDF (ExportPDF())
    QTest::newRow("Open, Ctrl+O") << "Open(&O)..." << "File" << QKeySequence("Ctrl+O") << "OpenProject()";
    QTest::newRow("Save, Ctrl+S") << "Save(&S)" << "File" << QKeySequence("Ctrl+S") << "SaveProject()";
    QTest::newRow("Save As, Ctrl+Shift+S") << QString::fromUtf8("Save As…") << "File" << QKeySequence("Ctrl+Shift+S")
                                           << "SaveProjectAs()";
    QTest::newRow("Export PDF, no shortcut") << "Export PDF" << "File" << QKeySequence() << "ExportPDF()";
    QTest::newRow("Quit, Ctrl+Q") << "Quit" << "File" << QKeySequence("Ctrl+Q") << "close()";
    QTest::newRow("Topics, F1") << "Topics" << "Help" << QKeySequence(QKeySequence::HelpContents) << "HelpTopics()";
    QTest::newRow("About, no shortcut") << "About" << "Help" << QKeySequence() << "HelpAbout()";
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
    QCOMPARE(parentMenu->title().remove('&'), menu);  // the mnemonics: menuBarHoldsFileThenHelp
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
    w.resize(1100, 700);  // the same logical size at every scale, whatever room the screen has
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

// The program itself: --help and --version print and exit 0, a wrong command line exits with 64.
void AppTest::commandLineStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("firstLine");  // of stdout for status 0, else of stderr
    setApplicationIdentity();
    const QString version = "quillon " + QCoreApplication::applicationVersion();
    QTest::newRow("--help: 0") << QStringList{"--help"} << 0 << "Usage: quillon [FILE.stm]";
    QTest::newRow("--version after Qt's own option: 0") << QStringList{"-style", "fusion", "--version"} << 0 << version;
    QTest::newRow("unknown option: 64") << QStringList{"--bogus"} << 64 << "quillon: Unknown option 'bogus'.";
}

void AppTest::commandLineStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, firstLine);
    QProcess quillon;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // --help and --version need no display: xcb without one would abort (a wrong line is told after Qt's start).
    env.insert("QT_QPA_PLATFORM", status == 0 ? "xcb" : "offscreen");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    QTemporaryDir runtime;  // else Qt's own warning about it would come first on stderr
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    quillon.setProcessEnvironment(env);
    quillon.start(QStringLiteral(QUILLON_APP), arguments);
    QVERIFY2(quillon.waitForStarted(30000), qPrintable(quillon.errorString()));
    QVERIFY(quillon.waitForFinished(60000));
    QCOMPARE(quillon.exitStatus(), QProcess::NormalExit);
    QCOMPARE(quillon.exitCode(), status);
    const QString output =
        QString::fromUtf8(status == 0 ? quillon.readAllStandardOutput() : quillon.readAllStandardError()).remove('\r');
    QCOMPARE(output.section('\n', 0, 0), firstLine);
    QVERIFY2(status == 0 || output.section('\n', 1).startsWith("Usage: quillon [FILE.stm]\n"), qPrintable(output));
}

void AppTest::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("shown");  // the boxes the key brings up for QP-220 without cables
    const QString calculate = "Loop1:Please select cable type! // Loop2:Please select cable type!";
    QTest::newRow("F5 calculates") << int(Qt::Key_F5) << int(Qt::NoModifier) << calculate;
    QTest::newRow("Ctrl+Return calculates") << int(Qt::Key_Return) << int(Qt::ControlModifier) << calculate;
    QTest::newRow("Ctrl+Enter on the keypad calculates")
        << int(Qt::Key_Enter) << int(Qt::ControlModifier | Qt::KeypadModifier) << calculate;
    QTest::newRow("F1 shows the topics")
        << int(Qt::Key_F1) << int(Qt::NoModifier)
        << "1:Select panel model\n\n2:Select cable type\n\n3:Full in the number of device\n\n4:Click the calculate button";
}

// Real key events from the panel box and from a count field, which takes Return and digits itself.
void AppTest::keys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, shown);
    MainWindow &w = fixture->window();
    QVERIFY(showOnTab(w, 1));
    w.panelComboBox->setCurrentIndex(w.panelComboBox->findText("QP-220 (2 loops)"));
    for (QWidget *focus : {static_cast<QWidget *>(w.panelComboBox), static_cast<QWidget *>(w.deviceCountEdits[0][0])}) {
        seam->clear();
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(seam->texts().join(" // "), shown);
    }
}

// A window taller than the screen hid Calculate: the minimum size keeps it and the first fields in sight.
void AppTest::minimumSizeKeepsCalculationInSight()
{
    MainWindow &w = fixture->window();
    w.panelComboBox->setCurrentIndex(w.panelComboBox->findText("QP-1640 (16 loops)"));
    QVERIFY(showOnTab(w, 1));
    w.resize(300, 200);
    QTRY_VERIFY(w.width() > 300 && w.height() > 200);
    // Wholly inside the window and inside the part of its table that shows.
    auto shown = [&w](QWidget *widget, QWidget *clip) {
        const QRect r(widget->mapTo(&w, QPoint(0, 0)), widget->size());
        return !r.isEmpty() && w.rect().contains(r) && QRect(clip->mapTo(&w, QPoint(0, 0)), clip->size()).contains(r);
    };
    QTRY_VERIFY(shown(w.cableComboBoxes[0], w.cableTable->viewport()));
    QVERIFY(shown(w.deviceCountEdits[0][0], w.deviceTable->viewport()));
    QVERIFY(shown(w.calculateButton, &w));
    QVERIFY(w.calculateButton->width() >= w.calculateButton->sizeHint().width());
    // And it fits a screen at 150 %: 1280 x 720 logical pixels, less a task bar.
    QVERIFY2(w.width() <= 1280 && w.height() <= 650, qPrintable(QString("%1x%2").arg(w.width()).arg(w.height())));
}

void AppTest::resultCellsReadWithTheirHeader()
{
    MainWindow &w = fixture->window();
    w.panelComboBox->setCurrentIndex(w.panelComboBox->findText("QP-110 (1 loop)"));
    w.cableComboBoxes[0]->setCurrentIndex(1);
    w.deviceCountEdits[0][0]->setText("10");
    w.flushCalculation();
    auto cellName = [](QWidget *table, int column) {
        return QAccessible::queryAccessibleInterface(table)->tableInterface()->cellAt(0, column)->text(QAccessible::Name);
    };
    QCOMPARE(cellName(w.calculationTable, 1), "Quiescent Current: " + w.calculationTable->item(0, 1)->text());
    QCOMPARE(cellName(w.calculationTable, 4), QString("State: normal"));
    QCOMPARE(cellName(w.summaryTable, 1), QString("Detectors: 10"));
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
