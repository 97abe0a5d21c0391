#include "app/main_window.h"

#include "loops/loop_state.h"

void MainWindow::flushPanel(QString text)
{
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
