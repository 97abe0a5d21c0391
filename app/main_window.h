#pragma once

#include "battery/battery_calculation.h"
#include "calc/calculation_record.h"
#include "catalogue/catalogue.h"
#include "loops/panel_change.h"
#include "project/project_file.h"
#include "project/recovery.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <memory>

struct CatalogueCheckInput;
class XlsxWorkbook;
class CountFieldPool;
class QCloseEvent;
class CountGrid;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPagedPaintDevice;
class QPushButton;
class QTableWidget;
class QTextEdit;
class QTimer;
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

    // The open project as one value: what Save would write now.
    ProjectData currentProject() const;
    // The project file that is open; empty while none is (at start, after New).
    QString currentFilePath() const { return openFilePath; }
    // True while the project differs from the value last opened, saved or started with New.
    // The window's modified mark follows this once the event loop runs.
    bool isProjectModified() const;

    // File > Save As…: always asks for a name.
    void SaveProjectAs();

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

    // The last calculation, with what each loop's part came from: the result tables, the
    // comment lines and the summary sheet are drawn from it.
    const CalculationRecord &calculation() const { return calculationRecord; }
    // What loop k (from 0) shows as its inputs now: its cable box and its count fields.
    LoopInputsShown loopInputsShown(int k) const;

    // Offers the project that a Quillon which closed without saving left behind, newest first
    // asked; true when one was restored (the window then shows it, modified).
    bool offerRecovery();
    // How long after an unsaved change the recovery file is written, in milliseconds.
    void setRecoveryDelay(int milliseconds);

    // The "Battery" tab: its inputs, and the result of the last Calculate since they changed.
    QComboBox *batteryStandardComboBox = nullptr;
    QLineEdit *standbyHoursEdit = nullptr;
    QLineEdit *alarmMinutesEdit = nullptr;
    QLineEdit *ownQuiescentEdit = nullptr;
    QLineEdit *ownAlarmEdit = nullptr;
    QLineEdit *additionalStandbyEdit = nullptr;
    QLineEdit *additionalAlarmEdit = nullptr;
    QLabel *batteryResultLabel = nullptr;
    BatteryResult batteryResult;      // not calculated until a Calculate shows one
    bool batteryResultShown = false;  // false: the tab invites a Calculate
    // What the project keeps; own currents not typed are the chosen panel's catalogue values.
    BatteryInputs batteryInputs() const;
    void setBatteryInputs(const BatteryInputs &inputs);
    // Calculates and shows the battery for the given loop totals of a calculation just run.
    void updateBatteryResult(const QVector<BatteryLoopTotal> &loops);
    // Any input the battery depends on changed: its result no longer belongs to the inputs shown.
    void clearBatteryResult();

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

protected:
    // Closing the window, and Quit, ask before unsaved changes are discarded.
    void closeEvent(QCloseEvent *event) override;

private:
    // A checked project into the window, as Open puts it there.
    void showProject(const ProjectData &data);
    // After every check of the modified mark: an unsaved project gets its recovery file within
    // the recovery delay, a saved or discarded one loses it.
    void keepRecovery(bool modified);
    void writeRecovery();
    enum class OpenedBox { Show, Skip };
    // Asks "Save changes to NAME?" when the project is modified; false when the action that
    // would discard it must stop (Cancel, or the save was cancelled or failed).
    bool maybeSave();
    // Save and Save As; false unless the project was written.
    bool saveProject();
    bool saveProjectUnderNewName();
    bool saveProjectTo(const QString &fileName);
    // The file is now the open one, and the project as it stands is its saved value.
    void setCurrentFile(const QString &fileName);
    // A save dialog that proposes `proposed` and adds the suffix to a typed name; asks before
    // replacing a file the dialog did not ask about. Empty when cancelled.
    QString chooseFileToSave(const QString &caption, const QString &filter, const QString &suffix,
                             const QString &proposed);
    QString dialogStartFolder() const;
    // The start folder and a name made from the project's (or the open file's) name.
    QString proposedSavePath(const QString &suffix) const;
    // The project texts, panel, cables or counts may have changed: the modified mark is brought
    // up to date once the event loop runs, so that a panel change that sets a thousand count
    // fields compares the project once.
    void noteProjectChange();
    void updateModifiedMark();
    // The panel box's choice: keeps each loop that the new panel has, after asking when loops it
    // does not have hold work; then setLoopColumn and flushPanel.
    void panelChosen(QString text);
    QVector<LoopContents> shownLoops() const;


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
    QGroupBox *buildBatteryGroup();
    void batteryStandardChosen(int index);
    void batteryPanelChosen();
    void fillOwnCurrents();
    bool ownQuiescentTyped = false;
    bool ownAlarmTyped = false;

    enum class ResultCells { All, Figures, CountsAndCable };
    // Loop k's row of both result tables and its comment line, from the calculation record.
    void showLoopResult(int k, ResultCells cells = ResultCells::All);
    // Open, New and a panel change: no result stands any more.
    void clearCalculation();
    // A cable or count of loop k changed: its result goes if it no longer matches the inputs.
    void loopInputsChanged(int k);
    void countFieldChanged(const QLineEdit *field);

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

    CalculationRecord calculationRecord;
    std::unique_ptr<ProjectRecovery> recovery;
    QTimer *recoveryTimer = nullptr;
    QString openFilePath;
    ProjectData savedProject;
    QTimer *modifiedCheck = nullptr;
    // Set while New or Open put a whole project into the window: the panel box then starts afresh.
    bool replacingProject = false;
    int panelIndexShown = 0;
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
    QWidget *batteryPage = nullptr;
};
