#include "app/main_window.h"

#include "app/font_substitutes.h"
#include "app/ui_seam.h"
#include "catalogue/catalogue_check.h"
#include "catalogue/xlsx_reader.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTextEdit>
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
    setWindowTitle(QStringLiteral("Quillon"));
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

    setUpKeyboardUse();
    setUpWindowSize();
}

MainWindow::~MainWindow() = default;

void MainWindow::createMenus()
{
    QMenu *fileMenu = new QMenu(QStringLiteral("&File"), menuBar());
    QMenu *helpMenu = new QMenu(QStringLiteral("&Help"), menuBar());

    QAction *newAction = new QAction(QStringLiteral("New(&N)"), fileMenu);
    QAction *openAction = new QAction(QStringLiteral("Open(&O)..."), fileMenu);
    QAction *saveAction = new QAction(QStringLiteral("Save(&S)"), fileMenu);
    QAction *exportAction = new QAction(QStringLiteral("Export PDF"), fileMenu);
    QAction *topicsAction = new QAction(QStringLiteral("Topics"), helpMenu);
    QAction *aboutAction = new QAction(QStringLiteral("About"), helpMenu);

    newAction->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_N));
    openAction->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_O));
    saveAction->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_S));
    topicsAction->setShortcut(QKeySequence::HelpContents);

    fileMenu->addAction(newAction);
    fileMenu->addAction(openAction);
    fileMenu->addAction(saveAction);
    fileMenu->addAction(exportAction);
    helpMenu->addAction(topicsAction);
    helpMenu->addAction(aboutAction);
    menuBar()->addMenu(fileMenu);
    menuBar()->addMenu(helpMenu);

    connect(newAction, &QAction::triggered, this, &MainWindow::NewProject);
    connect(openAction, &QAction::triggered, this, &MainWindow::OpenProject);
    connect(saveAction, &QAction::triggered, this, &MainWindow::SaveProject);
    connect(exportAction, &QAction::triggered, this, &MainWindow::ExportPDF);
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
    projectNameEdit->setText(QString());
    projectLocationEdit->setText(QString());
    companyNameEdit->setText(QString());
    emailEdit->setText(QString());
    commentEdit->setText(QString());
    // Selecting the blank entry runs setLoopColumn and flushPanel, which reset the loop tables.
    panelComboBox->setCurrentText(QString());
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
