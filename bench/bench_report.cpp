#include "bench.h"

#include "app/main_window.h"
#include "app/ui_seam.h"
#include "loops/loop_state.h"
#include "test_catalogues.h"

#include <QComboBox>
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

// A 16-loop project on the full catalogue: every device and second row counted on every loop,
// every Loop Summary cell filled.
void setUpProject(MainWindow &w)
{
    const QString panel = catalogue.panels[kPanelCapacity - 1].name;
    w.panelComboBox->setCurrentText(panel);
    loopState.selectedPanelName = panel;
    loopState.loopCount = 16;
    if (loopState.devicesByKey.isEmpty())
        for (int i = 0; i < catalogue.deviceCount; ++i)
            loopState.devicesByKey.insert(catalogue.devices[i].code, catalogue.devices[i]);
    int k = 0;
    for (DeviceRecord &d : loopState.devicesByKey) {
        for (int i = 0; i < 16; ++i) {
            d.loopCounts[i] = (k + i) % 40;
            d.secondRowLoopCounts[i] = (k * 3 + i) % 40;
        }
        ++k;
    }
    w.summaryTable->setRowCount(16);
    if (w.summaryTable->columnCount() < 10)
        w.summaryTable->setColumnCount(10);
    for (int i = 0; i < 16; ++i) {
        loopState.loopCableCaptions[i] = QString("Loop%1:%2").arg(i + 1).arg(catalogue.cables[i % kCableCapacity].name);
        const QStringList cells{QString("Loop%1").arg(i + 1), "12", "4", "6", "2", "18.4mA", "245.0mA",
                                "812.3m", catalogue.cables[0].name, QString::fromUtf8("√")};
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
        if (!bench->seam.failures.isEmpty() || !QFile::exists(bench->seam.path))
            qWarning("Export PDF benchmark: the export failed");
        installUiSeam(bench->previous);
        bench->fixture.reset();
    };
    return c;
});

}  // namespace
