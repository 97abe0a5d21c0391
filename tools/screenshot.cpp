// Drives the real window through a typical calculation and saves a picture of the
// "Calculation" tab, for the README. Run by scripts/make-screenshot under a virtual X server.
// Given a third argument, it also saves that example as a project file, which the Windows
// installer check opens through the .stm association.
#include "app/application_setup.h"
#include "app/main_window.h"
#include "recording_seam.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QStringList>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <cstdio>

namespace {

bool choose(QComboBox *box, const QString &text)
{
    const int index = box->findText(text);
    if (index < 0)
        return false;
    box->setCurrentIndex(index);
    return true;
}

// Sets the count of the device whose "Name" cell reads name, in loop column `loop`.
bool setCount(MainWindow &w, const QString &name, int loop, int count)
{
    for (int row = 0; row < w.deviceTable->rowCount(); ++row) {
        QTableWidgetItem *item = w.deviceTable->item(row, 0);
        if (item && item->text() == name && w.deviceCountEdits[row][loop]) {
            w.deviceCountEdits[row][loop]->setText(QString::number(count));
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char *argv[])
{
    prepareHighDpiScaling();
    QApplication app(argc, argv);
    setUpApplication();
    // Qt's arguments, not argv: on Windows argv is in the local code page, which cannot hold
    // every folder name.
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: quillon_screenshot CATALOGUE_DIR OUTPUT.png [PROJECT.stm]\n");
        return 2;
    }
    setCatalogueDirectoryForTesting(QFileInfo(arguments[1]).absoluteFilePath());
    RecordingSeam seam;  // the current warnings of the example must not block

    MainWindow w;
    w.projectNameEdit->setText("Riverside Offices");
    bool ok = choose(w.panelComboBox, "QP-420 (4 loops)");
    const char *cables[] = {"FR 2x1.5mm²", "FR 2x2.5mm²", "FR 2x1.5mm²", "FR 2x1.0mm²"};
    for (int loop = 0; loop < 4 && ok; ++loop)
        ok = choose(w.cableComboBoxes[loop], QString::fromUtf8(cables[loop]));
    const struct {
        const char *name;
        int counts[4];
    } devices[] = {
        {"OPT-100", {60, 80, 45, 30}}, {"MCP-50", {10, 12, 8, 6}}, {"SBC-90", {20, 14, 28, 10}},
        {"SND-70", {4, 6, 4, 2}},      {"ISO-1", {2, 3, 2, 2}},    {"CZI-1", {0, 1, 6, 0}},
    };
    for (const auto &d : devices)
        for (int loop = 0; loop < 4 && ok; ++loop)
            ok = setCount(w, d.name, loop, d.counts[loop]);
    if (!ok) {
        std::fprintf(stderr, "the sample catalogue was not found in %s\n", qUtf8Printable(arguments[1]));
        return 1;
    }
    w.findChild<QTabWidget *>()->setCurrentIndex(1);
    w.show();
    w.flushCalculation();
    if (arguments.size() > 3 && !w.saveProjectFile(arguments[3])) {
        std::fprintf(stderr, "could not save %s\n", qUtf8Printable(arguments[3]));
        return 1;
    }

    const QString &output = arguments[2];
    int status = 1;
    QTimer::singleShot(500, [&] {
        const QPixmap shot = w.screen()->grabWindow(w.winId());
        status = shot.save(output) ? 0 : 1;
        app.quit();
    });
    app.exec();
    return status;
}
