#include "catalogue/workbook_import_rules.h"

QString cellText(const QVariant &raw) { return raw.toString(); }

qint32 cellInteger(const QVariant &raw, bool *ok) { return raw.toInt(ok); }

float cellReal(const QVariant &raw, bool *ok) { return raw.toFloat(ok); }

std::optional<float> cellOptionalReal(const QVariant &raw)
{
    bool ok = false;
    const float value = cellReal(raw, &ok);
    return ok ? std::optional<float>(value) : std::nullopt;
}

namespace {

class SheetCells {
public:
    SheetCells(const Workbook &workbook, int sheet) : workbook(workbook), sheet(sheet) {}
    QString text(int row, int column) const { return cellText(workbook.cellValue(sheet, row, column)); }
    qint32 integer(int row, int column) const { return cellInteger(workbook.cellValue(sheet, row, column)); }
    float real(int row, int column) const { return cellReal(workbook.cellValue(sheet, row, column)); }
    std::optional<float> optionalReal(int row, int column) const
    {
        return cellOptionalReal(workbook.cellValue(sheet, row, column));
    }

    // The record count of cell (2, 1), kept within 0..capacity; a cut is noted.
    int recordCount(const QString &name, int capacity, QVector<CapacityCut> &cuts) const
    {
        const int listed = integer(2, 1);
        if (listed > capacity) {
            cuts.append({name, listed, capacity});
            return capacity;
        }
        return listed < 0 ? 0 : listed;
    }

private:
    const Workbook &workbook;
    const int sheet;
};

}  // namespace

QVector<CapacityCut> importDataSheets(const Workbook &workbook, Catalogue &c)
{
    QVector<CapacityCut> cuts;
    for (int sheet = 1; sheet <= workbook.sheetCount(); ++sheet) {
        const QString name = workbook.sheetName(sheet);
        const SheetCells cells(workbook, sheet);
        if (name == QLatin1String("Panel")) {
            c.panelCount = cells.recordCount(name, kPanelCapacity, cuts);
            for (int i = 0; i < c.panelCount; ++i) {
                const int row = kFirstRecordRow + i;
                PanelRecord &p = c.panels[i];
                p.code = cells.text(row, 1);
                p.name = cells.text(row, 2);
                p.loopCount = cells.integer(row, 3);
                p.loopVoltage = cells.real(row, 4);
                p.maxLoopCurrent = cells.real(row, 5);
                for (int loop = 0; loop < kMaxLoops; ++loop)
                    p.maxDevices[loop] = cells.integer(row, 6 + loop);
                p.ownQuiescentCurrent = cells.optionalReal(row, kOwnQuiescentColumn);
                p.ownAlarmCurrent = cells.optionalReal(row, kOwnAlarmColumn);
            }
        } else if (name == QLatin1String("Cable")) {
            c.cableCount = cells.recordCount(name, kCableCapacity, cuts);
            for (int i = 0; i < c.cableCount; ++i) {
                const int row = kFirstRecordRow + i;
                c.cables[i].code = cells.text(row, 1);
                c.cables[i].name = cells.text(row, 2);
                c.cables[i].resistance = cells.real(row, 3);
            }
        } else if (name == QLatin1String("Device")) {
            c.deviceCount = cells.recordCount(name, kDeviceCapacity, cuts);
            for (int i = 0; i < c.deviceCount; ++i) {
                const int row = kFirstRecordRow + i;
                DeviceRecord &d = c.devices[i];
                d.code = cells.text(row, 1);
                d.name = cells.text(row, 2);
                d.type = cells.text(row, 3);
                d.quiescentCurrent = cells.real(row, 4);
                d.alarmCurrent = cells.real(row, 5);
            }
        } else if (name == QLatin1String("Condition")) {
            c.condition.minLoopVoltage = cells.real(2, 1);
            c.condition.maxLoopLength = cells.real(4, 1);
            c.condition.maxDeviceSum = cells.integer(6, 1);
        }
    }
    return cuts;
}

void importNameSheets(const Workbook &workbook, Catalogue &c)
{
    const int panels = validPanelCount(c);
    const int cables = validCableCount(c);
    const int devices = validDeviceCount(c);
    for (int sheet = 1; sheet <= workbook.sheetCount(); ++sheet) {
        const QString name = workbook.sheetName(sheet);
        const SheetCells cells(workbook, sheet);
        if (name == QLatin1String("Panel")) {
            for (int i = 0; i < panels; ++i)
                c.panels[i].name = cells.text(kFirstNameRow + i, 2);
        } else if (name == QLatin1String("Cable")) {
            for (int i = 0; i < cables; ++i)
                c.cables[i].name = cells.text(kFirstNameRow + i, 2);
        } else if (name == QLatin1String("Device")) {
            c.extraDeviceRows = cells.integer(2, 4);
            for (int i = 0; i < devices; ++i) {
                const int row = kFirstNameRow + i;
                DeviceRecord &d = c.devices[i];
                d.name = cells.text(row, 2);
                d.hasSecondRow = cells.text(row, 3) == QLatin1String("1");
                if (d.hasSecondRow)
                    d.secondRowName = cells.text(row, 1);
            }
        } else if (name == QLatin1String("Version")) {
            c.catalogueVersion = cells.text(2, 1);
            c.catalogueVersionNumber = cells.integer(2, 2);
        }
    }
}

QString capacityCutMessage(const QString &fileName, const CapacityCut &cut)
{
    return QStringLiteral("The sheet %1 of %2 lists %3 records; only the first %4 were read.")
        .arg(cut.sheet, fileName)
        .arg(cut.listed)
        .arg(cut.capacity);
}
