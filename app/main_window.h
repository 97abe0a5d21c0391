#pragma once

#include "catalogue/catalogue.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

struct CatalogueCheckInput;
class XlsxWorkbook;
class CountFieldPool;
class CountGrid;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPagedPaintDevice;
class QPushButton;
class QTableWidget;
class QTextEdit;
class QValidator;

// "Soft Version:SV1.0": shown by Help > About and in the PDF footer.
extern const QString softwareVersionText;

// Where data.xlsx, name.xlsx, data.dat and name.dat are looked up: the executable's directory.
// Tests point it elsewhere so that parallel test processes never share catalogue files.
QString catalogueDirectory();
void setCatalogueDirectoryForTesting(const QString &dir);  // empty restores the default

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Catalogue files; the readers report an unreadable file with an "Error" box.
    void readDataFile(const QString &path);
    void readNameFile(const QString &path);
    static void writeDataFile(const QString &path);
    static void writeNameFile(const QString &path);

    // Workbook imports; false when the workbook could not be read (the catalogue is unchanged).
    bool importDataWorkbook(const QString &path);
    bool importNameWorkbook(const QString &path);

    // Project files; false when the file was not opened/accepted or could not be written.
    bool loadProjectFile(const QString &fileName);
    // false on failure, with the system's reason in *reason when given
    bool saveProjectFile(const QString &fileName, QString *reason = nullptr);
    // The project named by the first argument after the program's own name, if any: opened as
    // File > Open opens a chosen file, without the "opened" box. A path that does not exist, is
    // not a file or cannot be read gets an "Error" box naming it.
    void openProjectFromCommandLine(const QStringList &arguments);

    // Draws the summary sheet onto any paged device; returns false if the painter could not start.
    bool paintSummarySheet(QPagedPaintDevice *device);

    QLineEdit *projectNameEdit = nullptr;
    QLineEdit *projectLocationEdit = nullptr;
    QLineEdit *companyNameEdit = nullptr;
    QLineEdit *emailEdit = nullptr;
    QTextEdit *commentEdit = nullptr;
    QTableWidget *summaryTable = nullptr;
    QComboBox *panelComboBox = nullptr;
    QTableWidget *cableTable = nullptr;
    QComboBox *cableComboBoxes[kMaxLoops] = {};
    QLineEdit *deviceCountEdits[kMaxDeviceRows][kMaxLoops] = {};
    QTableWidget *deviceTable = nullptr;
    QTableWidget *calculationTable = nullptr;
    QPushButton *calculateButton = nullptr;
    QLabel *commentLabels[kMaxLoops] = {};

    // Count fields made in idle time and ready for the next panel change.
    int spareCountFields() const;

public slots:
    void NewProject();
    void OpenProject();
    void SaveProject();
    void ExportPDF();
    void HelpTopics();
    void HelpAbout();
    void flushPanel(QString text);
    void flushCableLoop1(QString text1);
    void flushCableLoop2(QString text2);
    void flushCableLoop3(QString text3);
    void flushCableLoop4(QString text4);
    void flushCableLoop5(QString text5);
    void flushCableLoop6(QString text6);
    void flushCableLoop7(QString text7);
    void flushCableLoop8(QString text8);
    void flushCableLoop9(QString text9);
    void flushCableLoop10(QString text10);
    void flushCableLoop11(QString text11);
    void flushCableLoop12(QString text12);
    void flushCableLoop13(QString text13);
    void flushCableLoop14(QString text14);
    void flushCableLoop15(QString text15);
    void flushCableLoop16(QString text16);
    void setLoopColumn(QString text);
    void flushCalculation();

private:
    enum class OpenedBox { Show, Skip };
    // Open's one path from a file name to the window: File > Open and the command line.
    void openProject(const QString &fileName, OpenedBox openedBox);

    void createMenus();
    void loadCatalogue();
    // The imports open each workbook into the caller's reader, which the check then reuses.
    bool importDataWorkbook(const QString &path, XlsxWorkbook &workbook);
    bool importNameWorkbook(const QString &path, XlsxWorkbook &workbook);
    // One "Warning" box listing what the check finds in the imported workbooks, if anything.
    void checkImportedCatalogue(CatalogueCheckInput &input);

    QGroupBox *buildProjectInformationGroup();
    QGroupBox *buildPanelSelectionGroup();
    QGroupBox *buildCableSelectionGroup();
    QGroupBox *buildDeviceCountGroup();
    QGroupBox *buildLoopSummaryGroup();
    QGroupBox *buildCalculationGroup();
    QGroupBox *buildCommentGroup();

    void flushCableLoop(int loopNumber, const QString &text);
    void rebuildCableRows();
    void rebuildResultRows();
    void prepareDeviceCountFields();
    void discardDeviceCountFields(int firstLoop);
    // earlierLoops: loop columns the table had before this change; only those can hold fields.
    void rebuildDeviceCountFields(int earlierLoops);

    // Shared by every count field; made with the "Number of Device" group.
    QValidator *deviceCountValidator = nullptr;
    CountFieldPool *countFieldPool = nullptr;

    // Keyboard use: Tab order, the grid's keys, paste and "Copy counts" (CountGrid); the Edit
    // menu, the Calculate keys and the window's size limits.
    CountGrid *countGrid = nullptr;
    void setUpKeyboardUse();
    void setUpWindowSize();
    void addUseForEveryLoopAction(QComboBox *box);
    // The comment lines that have text, and never fewer than 3: the rest of the height goes to
    // the grid and the result table.
    void showCommentLines();

    QWidget *projectPage = nullptr;
    QWidget *calculationPage = nullptr;
    QWidget *summaryPage = nullptr;
};
