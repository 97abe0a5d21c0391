// Placeholder builders until the input groups land.
#include "app/main_window.h"

#include "app/combo_text_signal.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QTableWidget>
#include <QTextEdit>

QGroupBox *MainWindow::buildProjectInformationGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Project Information"));
    auto *layout = new QFormLayout;
    projectNameEdit = new QLineEdit;
    projectLocationEdit = new QLineEdit;
    companyNameEdit = new QLineEdit;
    emailEdit = new QLineEdit;
    commentEdit = new QTextEdit;
    layout->addRow(QStringLiteral("Project Name:"), projectNameEdit);
    layout->addRow(QStringLiteral("Project Location:"), projectLocationEdit);
    layout->addRow(QStringLiteral("Company Name:"), companyNameEdit);
    layout->addRow(QStringLiteral("E-mail:"), emailEdit);
    layout->addRow(QStringLiteral("Comment:"), commentEdit);
    group->setLayout(layout);
    return group;
}

QGroupBox *MainWindow::buildPanelSelectionGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Panel Selection"));
    auto *layout = new QFormLayout;
    panelComboBox = new QComboBox;
    panelComboBox->addItem(QString());
    layout->addRow(QStringLiteral("Panel model:"), panelComboBox);
    group->setLayout(layout);
    connectCurrentText(panelComboBox, this, &MainWindow::setLoopColumn);
    connectCurrentText(panelComboBox, this, &MainWindow::flushPanel);
    return group;
}

QGroupBox *MainWindow::buildCableSelectionGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Cable Selection"));
    auto *layout = new QHBoxLayout;
    cableTable = new QTableWidget;
    layout->addWidget(cableTable);
    group->setLayout(layout);
    return group;
}

QGroupBox *MainWindow::buildDeviceCountGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Number of Device"));
    auto *layout = new QHBoxLayout;
    deviceTable = new QTableWidget;
    layout->addWidget(deviceTable);
    group->setLayout(layout);
    return group;
}

void MainWindow::flushPanel(QString) {}
void MainWindow::setLoopColumn(QString) {}
void MainWindow::flushCableLoop(int, const QString &) {}
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
