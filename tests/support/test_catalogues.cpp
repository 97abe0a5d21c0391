#include "test_catalogues.h"

#include "app/application_setup.h"
#include "app/user_settings.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "app/main_window.h"
#include "loops/loop_state.h"
#include "project/recovery.h"

namespace {

PanelRecord panel(const QString &code, const QString &name, int loops, float voltage, float current,
                  int maxDevices)
{
    PanelRecord p;
    p.code = code;
    p.name = name;
    p.loopCount = loops;
    p.loopVoltage = voltage;
    p.maxLoopCurrent = current;
    for (int i = 0; i < loops && i < kMaxLoops; ++i)
        p.maxDevices[i] = maxDevices;
    return p;
}

CableRecord cable(const QString &code, const QString &name, float resistance)
{
    CableRecord c;
    c.code = code;
    c.name = name;
    c.resistance = resistance;
    return c;
}

}  // namespace

DeviceRecord makeDevice(const QString &code, const QString &name, const QString &type, float quiescent,
                        float alarm)
{
    DeviceRecord d;
    d.code = code;
    d.name = name;
    d.type = type;
    d.quiescentCurrent = quiescent;
    d.alarmCurrent = alarm;
    return d;
}


Catalogue sampleCatalogue()
{
    Catalogue c;
    const PanelRecord panels[] = {
        panel("QP110", "QP-110 (1 loop)", 1, 24.0f, 250.0f, 126),
        panel("QP220", "QP-220 (2 loops)", 2, 27.5f, 400.0f, 126),
        panel("QP420", "QP-420 (4 loops)", 4, 27.5f, 400.0f, 127),
        panel("QP440", "QP-440 HP (4 loops)", 4, 32.0f, 500.0f, 250),
        panel("QP840", "QP-840 (8 loops)", 8, 32.0f, 500.0f, 250),
        panel("QP1640", "QP-1640 (16 loops)", 16, 36.0f, 500.0f, 200),
    };
    for (const PanelRecord &p : panels)
        c.panels[c.panelCount++] = p;
    // The panels' own quiescent and alarm currents, mA.
    const float own[][2] = {{85, 160}, {110, 220}, {140, 290}, {160, 340}, {220, 480}, {320, 720}};
    for (int i = 0; i < c.panelCount; ++i) {
        c.panels[i].ownQuiescentCurrent = own[i][0];
        c.panels[i].ownAlarmCurrent = own[i][1];
    }
    const CableRecord cables[] = {
        cable("C10", QString::fromUtf8("FR 2x1.0mm²"), 18.1f),
        cable("C15", QString::fromUtf8("FR 2x1.5mm²"), 12.1f),
        cable("C25", QString::fromUtf8("FR 2x2.5mm²"), 7.41f),
        cable("C40", QString::fromUtf8("FR 2x4.0mm²"), 4.61f),
        cable("C08", "STP 2x0.8mm", 36.6f),
    };
    for (const CableRecord &k : cables)
        c.cables[c.cableCount++] = k;
    const DeviceRecord devices[] = {
        makeDevice("1", "OPT-100", "Detector", 0.34f, 0.45f),
        makeDevice("2", "HRR-200", "Detector", 0.25f, 0.35f),
        makeDevice("3", "HFT-210", "Detector", 0.25f, 0.35f),
        makeDevice("4", "MUL-300", "Detector", 0.50f, 0.60f),
        makeDevice("5", "MCP-50", "CallPoint", 0.23f, 0.35f),
        makeDevice("6", "IN-1", "Module", 0.50f, 2.10f),
        makeDevice("7", "SND-70", "Sounder", 0.14f, 5.00f),
        makeDevice("8", "VAD-80", "Sounder", 0.30f, 6.00f),
        makeDevice("9", "SBC-90", "Sounder", 0.35f, 9.00f),
        makeDevice("10", "OUT-1", "Module", 1.20f, 4.00f),
        makeDevice("11", "IO-3", "Module", 1.20f, 6.00f),
        makeDevice("12", "BSN-12", "Sounder", 0.40f, 9.00f),
        makeDevice("13", "ISO-1", "Isolator", 0.12f, 0.12f),
        makeDevice("14", "CZI-1", "Module", 4.00f, 24.00f),
        makeDevice("15", "SCC-1", "Module", 1.90f, 3.00f),
    };
    for (const DeviceRecord &d : devices)
        c.devices[c.deviceCount++] = d;
    c.devices[0].hasSecondRow = true;
    c.devices[0].secondRowName = "OPT-100I";
    c.devices[4].hasSecondRow = true;
    c.devices[4].secondRowName = "MCP-50W";
    c.extraDeviceRows = 2;
    c.condition.minLoopVoltage = 17.0f;
    c.condition.maxLoopLength = 2000.0f;
    c.condition.maxDeviceSum = 32;
    c.catalogueVersion = "Sample catalogue 2026.12";
    c.catalogueVersionNumber = 1;
    return c;
}

Catalogue fullCatalogue()
{
    Catalogue c;
    for (int i = 0; i < kPanelCapacity; ++i) {
        const int loops = i == kPanelCapacity - 1 ? 16 : i + 1;
        c.panels[i] = panel(QString("P%1").arg(i + 1), QString("Panel %1 (%2 loops)").arg(i + 1).arg(loops),
                            loops, 36.0f, 500.0f, 250);
    }
    c.panelCount = kPanelCapacity;
    for (int i = 0; i < kCableCapacity; ++i)
        c.cables[i] = cable(QString("K%1").arg(i + 1), QString("Cable %1").arg(i + 1), 4.0f + i);
    c.cableCount = kCableCapacity;
    const char *types[] = {"Detector", "Module", "Sounder", "Isolator", "CallPoint"};
    for (int i = 0; i < kDeviceCapacity; ++i) {
        DeviceRecord d = makeDevice(QString::number(i + 1), QString("DEV-%1").arg(i + 1), types[i % 5],
                                0.1f + 0.01f * i, 0.5f + 0.1f * i);
        d.hasSecondRow = true;
        d.secondRowName = QString("DEV-%1B").arg(i + 1);
        c.devices[i] = d;
    }
    c.deviceCount = kDeviceCapacity;
    c.extraDeviceRows = kDeviceCapacity;
    c.condition.minLoopVoltage = 17.0f;
    c.condition.maxLoopLength = 2000.0f;
    c.condition.maxDeviceSum = 32;
    c.catalogueVersion = "Full catalogue";
    c.catalogueVersionNumber = 7;
    return c;
}

QString missingFileReason()
{
    QTemporaryDir dir;
    QFile missing(dir.filePath("missing"));
    missing.open(QIODevice::ReadOnly);
    return missing.errorString();
}

void resetProcessState()
{
    catalogue = Catalogue();
    loopState = LoopState();
}

WindowFixture::WindowFixture(const Catalogue &c, const QString &recoveryDir)
{
    // Settings the window keeps (the last folder used) go to a test folder, never the user's.
    QStandardPaths::setTestModeEnabled(true);
    setApplicationIdentity();
    setUserSettingsFileForTesting(directory.path() + "/settings.ini");
    resetProcessState();
    catalogue = c;
    MainWindow::writeDataFile(directory.path() + "/data.dat");
    MainWindow::writeNameFile(directory.path() + "/name.dat");
    resetProcessState();
    setCatalogueDirectoryForTesting(directory.path());
    // Recovery files too: a window of another test process never offers this one's.
    setRecoveryDirectoryForTesting(recoveryDir.isEmpty() ? directory.path() + "/recovery" : recoveryDir);
    mainWindow = std::make_unique<MainWindow>();
    setCatalogueDirectoryForTesting(QString());
    setRecoveryDirectoryForTesting(QString());
}

WindowFixture::~WindowFixture()
{
    mainWindow.reset();
    setUserSettingsFileForTesting(QString());
    resetProcessState();
}
