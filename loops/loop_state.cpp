#include "loops/loop_state.h"

#include <algorithm>

LoopState loopState;

int usableLoopCount(int panelLoopCount) { return std::clamp(panelLoopCount, 0, kMaxLoops); }

int deviceGridRowCount(const Catalogue &c)
{
    // 64-bit sum: extraDeviceRows comes straight from a spreadsheet cell.
    const qint64 rows = qint64(validDeviceCount(c)) + c.extraDeviceRows;
    return int(std::clamp<qint64>(rows, 0, kMaxDeviceRows));
}

QVector<DeviceRow> deviceRowOrder(const QMap<QString, DeviceRecord> &devices, int rowLimit)
{
    QVector<DeviceRow> rows;
    const int limit = std::clamp(rowLimit, 0, kMaxDeviceRows);
    int row = 0;
    for (auto it = devices.cbegin(); it != devices.cend() && row < limit; ++it) {
        rows.append({it.key(), false, row++});
        if (it->hasSecondRow && row < limit)
            rows.append({it.key(), true, row++});
    }
    return rows;
}
