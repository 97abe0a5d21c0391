#include "app/main_window.h"

#include "loops/loop_indexes.h"
#include "loops/loop_state.h"

void MainWindow::flushCableLoop(int loopNumber, const QString &text)
{
    if (loopNumber < 1 || loopNumber > kMaxLoops)
        return;
    // The blank first item matches no cable: the loop keeps what it had.
    const auto it = loopState.cablesByName.constFind(text);
    if (it == loopState.cablesByName.cend())
        return;
    const int i = loopNumber - 1;
    loopState.loopCableResistance[i] = it->resistance;
    loopState.loopCableCaptions[i] = cableCaption(loopNumber, it->name);
    loopState.loopCableNames[i] = it->name;
    clearBatteryResult();
}

void MainWindow::flushCableLoop1(QString text1) { flushCableLoop(1, text1); }
void MainWindow::flushCableLoop2(QString text2) { flushCableLoop(2, text2); }
void MainWindow::flushCableLoop3(QString text3) { flushCableLoop(3, text3); }
void MainWindow::flushCableLoop4(QString text4) { flushCableLoop(4, text4); }
void MainWindow::flushCableLoop5(QString text5) { flushCableLoop(5, text5); }
void MainWindow::flushCableLoop6(QString text6) { flushCableLoop(6, text6); }
void MainWindow::flushCableLoop7(QString text7) { flushCableLoop(7, text7); }
void MainWindow::flushCableLoop8(QString text8) { flushCableLoop(8, text8); }
void MainWindow::flushCableLoop9(QString text9) { flushCableLoop(9, text9); }
void MainWindow::flushCableLoop10(QString text10) { flushCableLoop(10, text10); }
void MainWindow::flushCableLoop11(QString text11) { flushCableLoop(11, text11); }
void MainWindow::flushCableLoop12(QString text12) { flushCableLoop(12, text12); }
void MainWindow::flushCableLoop13(QString text13) { flushCableLoop(13, text13); }
void MainWindow::flushCableLoop14(QString text14) { flushCableLoop(14, text14); }
void MainWindow::flushCableLoop15(QString text15) { flushCableLoop(15, text15); }
void MainWindow::flushCableLoop16(QString text16) { flushCableLoop(16, text16); }
