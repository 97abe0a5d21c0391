#include "bench.h"

#include "app/main_window.h"
#include "loops/loop_state.h"
#include "test_catalogues.h"

#include <QComboBox>
#include <QLineEdit>
#include <memory>

namespace {

// Calculate on the 16-loop panel of the full catalogue: 110 device rows x 16 loops of counts.
BenchRegistration calculate(20, [] {
    auto fixture = std::make_shared<std::unique_ptr<WindowFixture>>();
    BenchCase c;
    c.operation = "calculate (16 loops, 110 rows)";
    c.target = "< 5 ms";
    c.runs = 50;
    c.prepare = [fixture] {
        if (*fixture)
            return;
        *fixture = std::make_unique<WindowFixture>(fullCatalogue());
        MainWindow &w = (*fixture)->window();
        w.panelComboBox->setCurrentIndex(w.panelComboBox->findText("Panel 10 (16 loops)"));
        for (int i = 0; i < loopState.loopCount; ++i)
            w.cableComboBoxes[i]->setCurrentIndex(1 + i % (w.cableComboBoxes[i]->count() - 1));
        const int rows = deviceGridRowCount(catalogue);
        for (int r = 0; r < rows; ++r)
            for (int i = 0; i < loopState.loopCount; ++i)
                w.deviceCountEdits[r][i]->setText(QString::number(1 + (r + i) % 2));
    };
    c.run = [fixture] { (*fixture)->window().flushCalculation(); };
    c.finish = [fixture] { fixture->reset(); };
    return c;
});

}  // namespace
