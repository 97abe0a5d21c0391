#include "bench.h"

#include "app/main_window.h"
#include "loops/loop_state.h"
#include "test_catalogues.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextEdit>
#include <memory>

namespace {

const QString kSixteenLoops = QStringLiteral("Panel 10 (16 loops)");

// A window on the full catalogue with the 16-loop panel, a cable on every loop and every count
// field filled, saved once as project.stm.
struct ProjectBench {
    QTemporaryDir dir;
    std::unique_ptr<WindowFixture> fixture = std::make_unique<WindowFixture>(fullCatalogue());
    QString file = dir.filePath("project.stm");

    ProjectBench()
    {
        MainWindow &w = fixture->window();
        w.projectNameEdit->setText(QStringLiteral("Benchmark project"));
        w.commentEdit->setPlainText(QStringLiteral("Sixteen loops\nevery field filled"));
        w.panelComboBox->setCurrentIndex(w.panelComboBox->findText(kSixteenLoops));
        for (int loop = 0; loop < usableLoopCount(loopState.loopCount); ++loop) {
            QComboBox *box = w.cableComboBoxes[loop];
            if (box && box->count() > 1)
                box->setCurrentIndex(1 + loop % (box->count() - 1));
            for (int row = 0; row < deviceGridRowCount(catalogue); ++row)
                if (QLineEdit *edit = w.deviceCountEdits[row][loop])
                    edit->setText(QString::number((row * 7 + loop) % 1000));
        }
        w.saveProjectFile(file);
    }
    ~ProjectBench() { fixture.reset(); }
};

BenchRegistration save(60, [] {
    auto bench = std::make_shared<ProjectBench>();
    BenchCase c;
    c.operation = "save 16-loop project";
    c.runs = 50;
    c.run = [bench] { bench->fixture->window().saveProjectFile(bench->file); };
    c.finish = [bench] { bench->fixture.reset(); };
    return c;
});

// Opening selects the panel again, which rebuilds every per-loop widget first.
BenchRegistration openNewPanel(61, [] {
    auto bench = std::make_shared<ProjectBench>();
    BenchCase c;
    c.operation = "open 16-loop project (new panel)";
    c.target = "< 16 ms";
    c.runs = 20;
    c.prepare = [bench] {
        bench->fixture->window().NewProject();
        settleIdle(&bench->fixture->window());
    };
    c.run = [bench] { bench->fixture->window().loadProjectFile(bench->file); };
    c.finish = [bench] { bench->fixture.reset(); };
    return c;
});

BenchRegistration openSamePanel(62, [] {
    auto bench = std::make_shared<ProjectBench>();
    BenchCase c;
    c.operation = "open 16-loop project (same panel)";
    c.runs = 50;
    c.run = [bench] { bench->fixture->window().loadProjectFile(bench->file); };
    c.finish = [bench] { bench->fixture.reset(); };
    return c;
});

}  // namespace
