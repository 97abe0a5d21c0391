#include "app/main_window.h"

#include "app/combo_text_signal.h"
#include "loops/loop_indexes.h"
#include "loops/loop_state.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableWidget>
#include <QTextEdit>

QGroupBox *MainWindow::buildProjectInformationGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Project Information"));
    auto *layout = new QFormLayout;
    layout->setRowWrapPolicy(QFormLayout::DontWrapRows);
    layout->setSpacing(40);

    projectNameEdit = new QLineEdit;
    projectLocationEdit = new QLineEdit;
    companyNameEdit = new QLineEdit;
    emailEdit = new QLineEdit;
    commentEdit = new QTextEdit;
    for (QLineEdit *edit : {projectNameEdit, projectLocationEdit, companyNameEdit, emailEdit})
        edit->setFixedHeight(30);

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
    layout->setRowWrapPolicy(QFormLayout::DontWrapRows);

    panelComboBox = new QComboBox;
    panelComboBox->setFixedSize(230, 25);
    indexPanelsByName(catalogue, loopState.panelsByName);
    panelComboBox->addItem(QString());
    for (auto it = loopState.panelsByName.cbegin(); it != loopState.panelsByName.cend(); ++it)
        panelComboBox->addItem(it.key());

    layout->addRow(QStringLiteral("Panel model:"), panelComboBox);
    group->setLayout(layout);

    // Connected only now, so that filling the list runs no slot. panelChosen runs setLoopColumn
    // and then flushPanel, which copies the device maxima for the loop count setLoopColumn sets.
    connectCurrentText(panelComboBox, this, &MainWindow::panelChosen);
    return group;
}

QGroupBox *MainWindow::buildCableSelectionGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Cable Selection"));
    auto *layout = new QHBoxLayout;

    cableTable = new QTableWidget;
    // Hidden before the table gets rows and columns: each count change sizes every visible header.
    cableTable->verticalHeader()->setVisible(false);
    cableTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    cableTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    cableTable->setColumnCount(2);
    cableTable->setHorizontalHeaderLabels({QStringLiteral("Loop"), QStringLiteral("Cable Type")});
    cableTable->setColumnWidth(0, 70);
    cableTable->setColumnWidth(1, 250);

    indexCablesByName(catalogue, loopState.cablesByName);

    layout->addWidget(cableTable, 0);
    group->setLayout(layout);
    return group;
}

QGroupBox *MainWindow::buildDeviceCountGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Number of Device"));
    auto *layout = new QHBoxLayout;

    const int rowCount = deviceGridRowCount(catalogue);
    deviceTable = new QTableWidget;
    // Hidden first: a visible row header would measure every row's label at each count change.
    deviceTable->verticalHeader()->setVisible(false);
    deviceTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    deviceTable->setRowCount(rowCount);
    deviceTable->setColumnCount(2);
    deviceTable->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Type")});
    deviceTable->setColumnWidth(0, 80);
    deviceTable->setColumnWidth(1, 100);

    indexDevicesByKey(catalogue, loopState.devicesByKey);

    for (const DeviceRow &row : deviceRowOrder(loopState.devicesByKey, rowCount)) {
        const DeviceRecord &device = loopState.devicesByKey[row.key];
        deviceTable->setItem(row.row, 0,
                             new QTableWidgetItem(row.secondRow ? device.secondRowName : device.name));
        deviceTable->setItem(row.row, 1, new QTableWidgetItem(device.type));
    }

    // Filler rows (extraDeviceRows above the number of second rows) must be read-only as well.
    for (int r = 0; r < rowCount; ++r) {
        for (int column = 0; column < 2; ++column) {
            QTableWidgetItem *item = deviceTable->item(r, column);
            if (!item) {
                item = new QTableWidgetItem(QString());
                deviceTable->setItem(r, column, item);
            }
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        }
    }

    prepareDeviceCountFields();

    layout->addWidget(deviceTable, 0);
    group->setLayout(layout);
    return group;
}
