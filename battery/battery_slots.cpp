#include "app/main_window.h"

#include "loops/loop_state.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace {

// An empty field is nothing; the validator lets through only digits with one decimal point.
std::optional<double> fieldValue(const QLineEdit *edit)
{
    bool ok = false;
    const double value = edit->text().toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

QString fieldText(const std::optional<double> &value)
{
    return value ? QString::number(*value, 'g', 10) : QString();
}

QString fieldText(const std::optional<float> &value)
{
    return value ? QString::number(double(*value), 'g', 7) : QString();
}

}  // namespace

QGroupBox *MainWindow::buildBatteryGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Battery Standby"));
    auto *layout = new QFormLayout;
    layout->setRowWrapPolicy(QFormLayout::DontWrapRows);

    batteryStandardComboBox = new QComboBox;
    for (BatteryStandard standard : kBatteryStandards)
        batteryStandardComboBox->addItem(batteryStandardName(standard), int(standard));
    batteryStandardComboBox->setMaximumWidth(230);
    // Periods and currents: up to 6 digits and 3 decimals, never negative.
    auto *validator = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,6}(\\.\\d{0,3})?")), group);
    const auto field = [validator](const QString &accessibleName) {
        auto *edit = new QLineEdit;
        edit->setValidator(validator);
        edit->setAccessibleName(accessibleName);
        edit->setMaximumWidth(120);
        return edit;
    };
    standbyHoursEdit = field(QStringLiteral("Standby period (h)"));
    alarmMinutesEdit = field(QStringLiteral("Alarm period (min)"));
    ownQuiescentEdit = field(QStringLiteral("Panel's own quiescent current (mA)"));
    ownAlarmEdit = field(QStringLiteral("Panel's own alarm current (mA)"));
    additionalStandbyEdit = field(QStringLiteral("Additional standby load (mA)"));
    additionalAlarmEdit = field(QStringLiteral("Additional alarm load (mA)"));

    layout->addRow(QStringLiteral("Standard:"), batteryStandardComboBox);
    layout->addRow(QStringLiteral("Standby period (h):"), standbyHoursEdit);
    layout->addRow(QStringLiteral("Alarm period (min):"), alarmMinutesEdit);
    layout->addRow(QStringLiteral("Panel's own quiescent current (mA):"), ownQuiescentEdit);
    layout->addRow(QStringLiteral("Panel's own alarm current (mA):"), ownAlarmEdit);
    layout->addRow(QStringLiteral("Additional standby load (mA):"), additionalStandbyEdit);
    layout->addRow(QStringLiteral("Additional alarm load (mA):"), additionalAlarmEdit);

    batteryResultLabel = new QLabel;
    batteryResultLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    batteryResultLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    batteryResultLabel->setWordWrap(true);
    layout->addRow(batteryResultLabel);
    group->setLayout(layout);

    setBatteryInputs(defaultBatteryInputs());

    connect(batteryStandardComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::batteryStandardChosen);
    for (QLineEdit *edit : {standbyHoursEdit, alarmMinutesEdit, ownQuiescentEdit, ownAlarmEdit, additionalStandbyEdit,
                            additionalAlarmEdit})
        connect(edit, &QLineEdit::textChanged, this, &MainWindow::clearBatteryResult);
    // Only the user's own typing makes a value stand over the catalogue's.
    connect(ownQuiescentEdit, &QLineEdit::textEdited, this, [this] { ownQuiescentTyped = true; });
    connect(ownAlarmEdit, &QLineEdit::textEdited, this, [this] { ownAlarmTyped = true; });
    // A panel chosen (by the user, Open or New) brings its own currents.
    connect(panelComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &MainWindow::batteryPanelChosen);
    return group;
}

void MainWindow::batteryStandardChosen(int index)
{
    const BatteryPeriods periods = defaultBatteryPeriods(BatteryStandard(batteryStandardComboBox->itemData(index).toInt()));
    standbyHoursEdit->setText(fieldText(std::optional<double>(periods.standbyHours)));
    alarmMinutesEdit->setText(fieldText(std::optional<double>(periods.alarmMinutes)));
    clearBatteryResult();
}

void MainWindow::batteryPanelChosen()
{
    ownQuiescentTyped = false;
    ownAlarmTyped = false;
    fillOwnCurrents();
    clearBatteryResult();
}

void MainWindow::fillOwnCurrents()
{
    const auto panel = loopState.panelsByName.constFind(panelComboBox->currentText());
    const bool chosen = panel != loopState.panelsByName.cend();
    if (!ownQuiescentTyped)
        ownQuiescentEdit->setText(chosen ? fieldText(panel->ownQuiescentCurrent) : QString());
    if (!ownAlarmTyped)
        ownAlarmEdit->setText(chosen ? fieldText(panel->ownAlarmCurrent) : QString());
}

BatteryInputs MainWindow::batteryInputs() const
{
    BatteryInputs inputs;
    inputs.standard = BatteryStandard(batteryStandardComboBox->currentData().toInt());
    inputs.standbyHours = fieldValue(standbyHoursEdit);
    inputs.alarmMinutes = fieldValue(alarmMinutesEdit);
    inputs.ownQuiescentTyped = ownQuiescentTyped;
    inputs.ownAlarmTyped = ownAlarmTyped;
    if (ownQuiescentTyped)
        inputs.ownQuiescent = fieldValue(ownQuiescentEdit);
    if (ownAlarmTyped)
        inputs.ownAlarm = fieldValue(ownAlarmEdit);
    inputs.additionalStandby = fieldValue(additionalStandbyEdit);
    inputs.additionalAlarm = fieldValue(additionalAlarmEdit);
    return inputs;
}

void MainWindow::setBatteryInputs(const BatteryInputs &inputs)
{
    {
        // The standard's defaults must not overwrite the periods set below.
        const QSignalBlocker blocker(batteryStandardComboBox);
        batteryStandardComboBox->setCurrentIndex(batteryStandardComboBox->findData(int(inputs.standard)));
    }
    standbyHoursEdit->setText(fieldText(inputs.standbyHours));
    alarmMinutesEdit->setText(fieldText(inputs.alarmMinutes));
    ownQuiescentTyped = inputs.ownQuiescentTyped;
    ownAlarmTyped = inputs.ownAlarmTyped;
    if (ownQuiescentTyped)
        ownQuiescentEdit->setText(fieldText(inputs.ownQuiescent));
    if (ownAlarmTyped)
        ownAlarmEdit->setText(fieldText(inputs.ownAlarm));
    fillOwnCurrents();
    additionalStandbyEdit->setText(fieldText(inputs.additionalStandby));
    additionalAlarmEdit->setText(fieldText(inputs.additionalAlarm));
    clearBatteryResult();
}

void MainWindow::updateBatteryResult(const QVector<BatteryLoopTotal> &loops)
{
    const auto panel = loopState.panelsByName.constFind(panelComboBox->currentText());
    const PanelRecord *record = panel != loopState.panelsByName.cend() ? &*panel : nullptr;
    batteryResult = calculateBattery(resolveBatteryInputs(batteryInputs(), record, loops));
    batteryResultShown = true;
    batteryResultLabel->setText(batteryResultLines(batteryResult).join(QLatin1Char('\n')));
}

void MainWindow::clearBatteryResult()
{
    batteryResult = BatteryResult();
    batteryResultShown = false;
    if (batteryResultLabel)
        batteryResultLabel->setText(QStringLiteral("Press Calculate for the battery of these inputs."));
}
