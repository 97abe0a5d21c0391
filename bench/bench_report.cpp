#include "bench.h"

#include "app/main_window.h"
#include "app/ui_seam.h"
#include "loops/loop_state.h"
#include "test_catalogues.h"

#include <QComboBox>
#include <QLineEdit>
#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

namespace {

// Answers the "Save as" dialog with one path; everything else stays silent.
class ExportSeam final : public UiSeam {
public:
    void message(QWidget *, MessageKind, const QString &, const QString &text) override { failures << text; }
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

// A 16-loop project on the full catalogue: a cable on every loop, every device and second row
// counted on every loop, every Loop Summary cell filled as Calculate leaves it.
void setUpProject(MainWindow &w)
{
    w.projectNameEdit->setText("Benchmark depot");
    w.panelComboBox->setCurrentText(catalogue.panels[kPanelCapacity - 1].name);
    for (int i = 0; i < 16 && w.cableComboBoxes[i]; ++i)
        w.cableComboBoxes[i]->setCurrentIndex(1 + i % kCableCapacity);
    int k = 0;
    for (DeviceRecord &d : loopState.devicesByKey) {
        for (int i = 0; i < 16; ++i) {
            d.loopCounts[i] = (k + i) % 40;
            d.secondRowLoopCounts[i] = (k * 3 + i) % 40;
        }
        ++k;
    }
    for (int i = 0; i < w.summaryTable->rowCount(); ++i) {
        const QStringList cells{QString("Loop%1").arg(i + 1), "12", "4", "6", "2", "18.4mA", "245.0mA",
                                "812.3m", loopState.loopCableNames[i], QString::fromUtf8("√")};
        for (int column = 0; column < 10; ++column)
            w.summaryTable->setItem(i, column, new QTableWidgetItem(cells[column]));
    }
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
