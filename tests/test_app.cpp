#include "app/main_window.h"
#include "loops/loop_state.h"
#include "recording_seam.h"
#include "test_catalogues.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

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
    QCOMPARE(w.windowTitle(), QString("Quillon"));
    QCOMPARE(w.size(), QSize(1100, 700));
    auto *tabs = w.findChild<QTabWidget *>();
    QVERIFY(tabs);
    QCOMPARE(tabs->currentIndex(), 0);
}

void AppTest::menuBarHoldsFileThenHelp()
{
    const QList<QAction *> menus = fixture->window().menuBar()->actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus[0]->text(), QString("File"));
    QCOMPARE(menus[1]->text(), QString("Help"));
    QStringList file, help;
    for (QAction *a : menus[0]->menu()->actions()) {
        QVERIFY(!a->isSeparator());
        file << a->text();
    }
    for (QAction *a : menus[1]->menu()->actions())
        help << a->text();
    QCOMPARE(file, QStringList({"New(&N)", "Open(&O)...", "Save(&S)", "Export PDF"}));
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
    QTest::newRow("Export PDF, no shortcut") << "Export PDF" << "File" << QKeySequence() << "ExportPDF()";
    QTest::newRow("Topics, no shortcut") << "Topics" << "Help" << QKeySequence() << "HelpTopics()";
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
    QCOMPARE(parentMenu->title(), menu);
    QCOMPARE(a->shortcut(), shortcut);
    // Triggering reaches the slot: each of these slots has an effect the test can see.
    MainWindow &w = fixture->window();
    w.projectNameEdit->setText("before");
    a->trigger();
    if (slot == "NewProject()") {
        QCOMPARE(w.projectNameEdit->text(), QString());
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
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), QString("Project"));
    QCOMPARE(tabs->tabText(1), QString("Calculation"));
    QCOMPARE(tabs->tabText(2), QString("Summary"));
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

QTEST_MAIN(AppTest)
#include "test_app.moc"
