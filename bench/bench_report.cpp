#include "bench.h"

#include "app/main_window.h"
#include "app/ui_seam.h"
#include "loops/loop_state.h"
#include "test_catalogues.h"

#include <QComboBox>
#include <QPushButton>
#include <QLineEdit>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

namespace {

// Answers the "Save as" dialog with one path; everything else stays silent.
class ExportSeam final : public UiSeam {
public:
    void message(QWidget *, MessageKind, const QString &, const QString &text, const QString &) override
    {
        failures << text;
    }
    QMessageBox::StandardButton question(QWidget *, const QString &, const QString &, QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton, const QString &) override
    {
        return buttons.testFlag(QMessageBox::Discard) ? QMessageBox::Discard : QMessageBox::Ok;
    }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override { return path; }
    void openUrl(const QUrl &) override {}
    QString path;
    QStringList failures;
};

struct ExportBench {
    std::unique_ptr<WindowFixture> fixture;
    QTemporaryDir dir;
    ExportSeam seam;
    UiSeam *previous = nullptr;
};

// A 16-loop project on the full catalogue: a cable on every loop, every device row counted on
// every loop, calculated.
void setUpProject(MainWindow &w)
{
    w.projectNameEdit->setText("Benchmark depot");
    w.panelComboBox->setCurrentText(catalogue.panels[kPanelCapacity - 1].name);
    for (int i = 0; i < 16 && w.cableComboBoxes[i]; ++i)
        w.cableComboBoxes[i]->setCurrentIndex(1 + i % kCableCapacity);
    for (int row = 0; row < kMaxDeviceRows; ++row)
        for (int i = 0; i < 16; ++i)
            if (QLineEdit *edit = w.deviceCountEdits[row][i])
                edit->setText(QString::number((row + i) % 3));
    w.calculateButton->click();
}

BenchRegistration reg(600, [] {
    auto bench = std::make_shared<ExportBench>();
    BenchCase c;
    c.operation = "Export PDF, 16 loops, full catalogue";
    c.target = "< 150 ms";
    c.runs = 30;
    c.prepare = [bench] {
        if (!bench->fixture) {
            bench->fixture = std::make_unique<WindowFixture>(fullCatalogue());
            setUpProject(bench->fixture->window());
            bench->seam.path = bench->dir.filePath("sheet.pdf");
            bench->previous = &uiSeam();
            installUiSeam(&bench->seam);
        }
        QFile::remove(bench->seam.path);
    };
    c.run = [bench] { bench->fixture->window().ExportPDF(); };
    c.finish = [bench] {
        if (!bench->seam.failures.isEmpty() || !QFile::exists(bench->seam.path) || loopState.loopCount != 16)
            qWarning("Export PDF benchmark: the export failed or the project was not set up");
        installUiSeam(bench->previous);
        bench->fixture.reset();
    };
    return c;
});

}  // namespace
