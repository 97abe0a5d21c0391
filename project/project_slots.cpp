// Placeholder until project files land.
#include "app/main_window.h"

void MainWindow::OpenProject() {}
void MainWindow::SaveProject() {}
bool MainWindow::loadProjectFile(const QString &) { return false; }
bool MainWindow::saveProjectFile(const QString &) { return false; }
