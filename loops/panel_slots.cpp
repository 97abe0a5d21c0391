#include "app/main_window.h"

#include "loops/loop_state.h"

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
