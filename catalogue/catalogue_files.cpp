// Placeholder until the catalogue file codecs land.
#include "app/main_window.h"

void MainWindow::readDataFile(const QString &) {}
void MainWindow::readNameFile(const QString &) {}
void MainWindow::writeDataFile(const QString &) {}
void MainWindow::writeNameFile(const QString &) {}
