#include "app/main_window.h"

#include "app/ui_seam.h"
#include "loops/loop_state.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <algorithm>

void MainWindow::flushPanel(QString text)
{
    // The blank entry (and so New) leaves no panel chosen: Save and the PDF must not name the
    // panel it replaced. The limits may stay, as nothing reads them while loopCount is 0.
    if (text.isEmpty()) {
        loopState.selectedPanelName.clear();
        return;
    }
    const auto it = loopState.panelsByName.constFind(text);
    if (it == loopState.panelsByName.cend())
        return;
    const PanelRecord &panel = *it;
    loopState.selectedPanelName = panel.name;
    loopState.panelLoopVoltage = panel.loopVoltage;
    loopState.panelMaxLoopCurrent = panel.maxLoopCurrent;
    // Only the loops of the panel just chosen; setLoopColumn has already set loopCount.
    const int loops = usableLoopCount(loopState.loopCount);
    for (int i = 0; i < loops; ++i)
        loopState.loopMaxDevices[i] = panel.maxDevices[i];
}

void MainWindow::panelChosen(QString text)
{
    const int chosenIndex = panelComboBox->currentIndex();
    if (replacingProject) {
        setLoopColumn(text);
        flushPanel(text);
        panelIndexShown = chosenIndex;
        noteProjectChange();
        return;
    }

    const auto panel = loopState.panelsByName.constFind(text);
    const int newLoops = text.isEmpty() ? 0
        : panel != loopState.panelsByName.cend() ? usableLoopCount(panel->loopCount)
                                                  : usableLoopCount(loopState.loopCount);
    const QVector<LoopContents> loops = shownLoops();
    const QList<int> losing = loopsLosingWork(loops, newLoops);
    if (!losing.isEmpty()) {
        const QMessageBox::StandardButton answer =
            uiSeam().question(this, QStringLiteral("Quillon"), panelChangeQuestion(losing),
                              QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel,
                              panelChangeDetail(text, newLoops));
        if (answer != QMessageBox::Ok) {
            // Nothing has changed yet but the box's own entry.
            const QSignalBlocker blocker(panelComboBox);
            panelComboBox->setCurrentIndex(panelIndexShown);
            return;
        }
    }

    setLoopColumn(text);
    flushPanel(text);
    panelIndexShown = chosenIndex;

    // The loops the new panel has too get their cable and counts back.
    const int kept = std::min({newLoops, int(loops.size()), usableLoopCount(loopState.loopCount)});
    const int rows = deviceGridRowCount(catalogue);
    for (int i = 0; i < kept; ++i) {
        const LoopContents &loop = loops[i];
        if (QComboBox *box = cableComboBoxes[i]) {
            const int index = loop.cable.isEmpty() ? -1 : box->findText(loop.cable);
            if (index > 0)
                box->setCurrentIndex(index);
        }
        for (int r = 0; r < rows && r < loop.counts.size(); ++r)
            if (QLineEdit *field = deviceCountEdits[r][i])
                if (field->text() != loop.counts[r])
                    field->setText(loop.counts[r]);
    }
    noteProjectChange();
}

QVector<LoopContents> MainWindow::shownLoops() const
{
    QVector<LoopContents> loops;
    const int count = usableLoopCount(loopState.loopCount);
    const int rows = deviceGridRowCount(catalogue);
    for (int i = 0; i < count; ++i) {
        LoopContents loop;
        if (const QComboBox *box = cableComboBoxes[i])
            loop.cable = box->currentText();
        for (int r = 0; r < rows; ++r) {
            const QLineEdit *field = deviceCountEdits[r][i];
            loop.counts << (field ? field->text() : QString());
        }
        loops << loop;
    }
    return loops;
}
