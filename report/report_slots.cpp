// Placeholder until the PDF report lands.
#include "app/main_window.h"

void MainWindow::ExportPDF() {}
bool MainWindow::paintSummarySheet(QPagedPaintDevice *) { return false; }
