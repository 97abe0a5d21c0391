#include "app/main_window.h"

#include "app/font_substitutes.h"
#include "app/ui_seam.h"
#include "app/user_input_watch.h"
#include "app/wheel_guard.h"
#include "catalogue/catalogue_check.h"
#include "catalogue/xlsx_reader.h"
#include "project/project_document.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScopedValueRollback>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

const QString softwareVersionText = QStringLiteral("Soft Version:SV1.0");

namespace {
QString catalogueDirectoryOverride;
}

QString catalogueDirectory()
{
    return catalogueDirectoryOverride.isEmpty() ? QCoreApplication::applicationDirPath()
                                                : catalogueDirectoryOverride;
}

void setCatalogueDirectoryForTesting(const QString &dir) { catalogueDirectoryOverride = dir; }

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    installFontSubstitutes();
    setWindowTitle(documentWindowTitle(QString()));
    resize(1100, 700);
    createMenus();

    auto *central = new QWidget;
    setCentralWidget(central);
    auto *tabs = new QTabWidget(central);
    projectPage = new QWidget;
    calculationPage = new QWidget;
    summaryPage = new QWidget;
    tabs->addTab(projectPage, QStringLiteral("Project"));
    tabs->addTab(calculationPage, QStringLiteral("Calculation"));
    tabs->addTab(summaryPage, QStringLiteral("Summary"));
    batteryPage = new QWidget;
    tabs->addTab(batteryPage, QStringLiteral("Battery"));
    auto *centralLayout = new QHBoxLayout;
    centralLayout->addWidget(tabs, 0);
    central->setLayout(centralLayout);

    // The group builders fill their lists from the catalogue, so it must be loaded first.
    loadCatalogue();

    auto *projectLayout = new QVBoxLayout;
    auto *calculationLayout = new QGridLayout;
    auto *summaryLayout = new QHBoxLayout;
    projectPage->setLayout(projectLayout);
    calculationPage->setLayout(calculationLayout);
    summaryPage->setLayout(summaryLayout);

    QGroupBox *projectInformation = buildProjectInformationGroup();
    QGroupBox *loopSummary = buildLoopSummaryGroup();
    QGroupBox *panelSelection = buildPanelSelectionGroup();
    QGroupBox *cableSelection = buildCableSelectionGroup();
    QGroupBox *deviceCount = buildDeviceCountGroup();
    QGroupBox *calculation = buildCalculationGroup();
    QGroupBox *comment = buildCommentGroup();

    projectLayout->addWidget(projectInformation, 1);
    summaryLayout->addWidget(loopSummary, 1);
    calculationLayout->addWidget(panelSelection, 0, 0, 1, 5);
    calculationLayout->addWidget(cableSelection, 1, 0, 2, 5);
    calculationLayout->addWidget(deviceCount, 0, 5, 3, 7);
    calculationLayout->addWidget(calculation, 3, 0, 2, 12);
    calculationLayout->addWidget(comment, 5, 0, 1, 12);

    // The battery inputs follow the panel list, which the Panel Selection group fills.
    auto *batteryLayout = new QVBoxLayout;
    batteryPage->setLayout(batteryLayout);
    batteryLayout->addWidget(buildBatteryGroup(), 1);
    ignoreWheelWithoutFocus(panelComboBox);
    // Count fields are typed into, and Calculate may fill empty ones. Made before the timer it
    // starts, so that it goes first when the window's children are deleted.
    new UserInputWatch(this, [this] { noteProjectChange(); });
    // Signals only say when to look: "modified" is the project compared with its saved value.
    modifiedCheck = new QTimer(this);
    modifiedCheck->setSingleShot(true);
    modifiedCheck->setInterval(0);
    connect(modifiedCheck, &QTimer::timeout, this, &MainWindow::updateModifiedMark);
    for (QLineEdit *edit : {projectNameEdit, projectLocationEdit, companyNameEdit, emailEdit})
        connect(edit, &QLineEdit::textChanged, this, &MainWindow::noteProjectChange);
    connect(commentEdit, &QTextEdit::textChanged, this, &MainWindow::noteProjectChange);
    recovery = std::make_unique<ProjectRecovery>(recoveryDirectory());
    recoveryTimer = new QTimer(this);
    recoveryTimer->setSingleShot(true);
    recoveryTimer->setInterval(5000);
    connect(recoveryTimer, &QTimer::timeout, this, &MainWindow::writeRecovery);
    setCurrentFile(QString());
    setUpKeyboardUse();
    setUpWindowSize();
}

// A window that goes away without a crash leaves no recovery file behind.
MainWindow::~MainWindow()
{
    if (recovery)
        recovery->discard();
}

void MainWindow::createMenus()
{
    QMenu *fileMenu = new QMenu(QStringLiteral("&File"), menuBar());
    QMenu *helpMenu = new QMenu(QStringLiteral("&Help"), menuBar());

    QAction *newAction = new QAction(QStringLiteral("New(&N)"), fileMenu);
    QAction *openAction = new QAction(QStringLiteral("Open(&O)..."), fileMenu);
    QAction *saveAction = new QAction(QStringLiteral("Save(&S)"), fileMenu);
    QAction *saveAsAction = new QAction(QStringLiteral("Save As\u2026"), fileMenu);
    QAction *exportAction = new QAction(QStringLiteral("Export PDF"), fileMenu);
    QAction *quitAction = new QAction(QStringLiteral("Quit"), fileMenu);
    QAction *topicsAction = new QAction(QStringLiteral("Topics"), helpMenu);
    QAction *aboutAction = new QAction(QStringLiteral("About"), helpMenu);

    newAction->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_N));
    openAction->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_O));
    saveAction->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_S));
    saveAsAction->setShortcut(QKeySequence(Qt::CTRL + Qt::SHIFT + Qt::Key_S));
    // The platform's own binding where it has one; Windows has none, and gets Ctrl+Q.
    const QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
    quitAction->setShortcuts(quitKeys.isEmpty() ? QList<QKeySequence>{QKeySequence(Qt::CTRL + Qt::Key_Q)} : quitKeys);
    topicsAction->setShortcut(QKeySequence::HelpContents);

    fileMenu->addAction(newAction);
    fileMenu->addAction(openAction);
    fileMenu->addAction(saveAction);
    fileMenu->addAction(saveAsAction);
    fileMenu->addAction(exportAction);
    fileMenu->addAction(quitAction);
    helpMenu->addAction(topicsAction);
    helpMenu->addAction(aboutAction);
    menuBar()->addMenu(fileMenu);
    menuBar()->addMenu(helpMenu);

    connect(newAction, &QAction::triggered, this, &MainWindow::NewProject);
    connect(openAction, &QAction::triggered, this, &MainWindow::OpenProject);
    connect(saveAction, &QAction::triggered, this, &MainWindow::SaveProject);
    connect(saveAsAction, &QAction::triggered, this, &MainWindow::SaveProjectAs);
    connect(exportAction, &QAction::triggered, this, &MainWindow::ExportPDF);
    // Through closeEvent, as closing the window is.
    connect(quitAction, &QAction::triggered, this, &QWidget::close);
    connect(topicsAction, &QAction::triggered, this, &MainWindow::HelpTopics);
    connect(aboutAction, &QAction::triggered, this, &MainWindow::HelpAbout);
}

void MainWindow::loadCatalogue()
{
    const QString dir = catalogueDirectory();
    const QString dataWorkbook = dir + QStringLiteral("/data.xlsx");
    const QString nameWorkbook = dir + QStringLiteral("/name.xlsx");

    // The check compares the workbooks with the .dat files they replace, so read those first.
    CatalogueCheckInput check;
    if (QFileInfo::exists(dataWorkbook) || QFileInfo::exists(nameWorkbook))
        readCatalogueFiles(dir, check);

    // An unreadable workbook keeps the last good .dat file in use instead of replacing it.
    XlsxWorkbook data, names;
    const bool dataImported = QFileInfo::exists(dataWorkbook) && importDataWorkbook(dataWorkbook, data);
    if (dataImported)
        writeDataFile(dir + QStringLiteral("/data.dat"));
    else
        readDataFile(dir + QStringLiteral("/data.dat"));

    const bool nameImported = QFileInfo::exists(nameWorkbook) && importNameWorkbook(nameWorkbook, names);
    if (nameImported)
        writeNameFile(dir + QStringLiteral("/name.dat"));
    else
        readNameFile(dir + QStringLiteral("/name.dat"));

    if (dataImported || nameImported) {
        check.dataWorkbook = dataImported ? &data : nullptr;
        check.nameWorkbook = nameImported ? &names : nullptr;
        checkImportedCatalogue(check);
    }
}

void MainWindow::NewProject()
{
    if (!maybeSave())
        return;
    QScopedValueRollback<bool> replacing(replacingProject, true);
    projectNameEdit->setText(QString());
    projectLocationEdit->setText(QString());
    companyNameEdit->setText(QString());
    emailEdit->setText(QString());
    commentEdit->setText(QString());
    // Selecting the blank entry runs setLoopColumn and flushPanel, which reset the loop tables.
    panelComboBox->setCurrentText(QString());
    setBatteryInputs(defaultBatteryInputs());
    setCurrentFile(QString());
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!maybeSave()) {
        event->ignore();
        return;
    }
    recovery->discard();
    event->accept();
}

void MainWindow::HelpTopics()
{
    uiSeam().message(this, MessageKind::About, QStringLiteral("Topic"),
                     QStringLiteral("1:Select panel model\n\n2:Select cable type\n\n"
                                    "3:Full in the number of device\n\n4:Click the calculate button"));
}

void MainWindow::HelpAbout()
{
    uiSeam().message(this, MessageKind::About, QStringLiteral("about"),
                     softwareVersionText + QLatin1Char('\n') + catalogue.catalogueVersion);
}
