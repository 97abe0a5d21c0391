// Placeholder until the workbook reader lands.
#include "app/main_window.h"

bool MainWindow::importDataWorkbook(const QString &) { return false; }
bool MainWindow::importNameWorkbook(const QString &) { return false; }
