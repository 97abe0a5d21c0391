// Placeholder until the calculation lands.
#include "app/main_window.h"

void MainWindow::flushCalculation() {}
