#include "project/project_check.h"

#include "calc/loop_calculation.h"
#include "loops/loop_indexes.h"
#include "loops/loop_state.h"
#include "project/project_open.h"

#include <QMap>
#include <algorithm>

namespace {

const QString kNormal = QStringLiteral("normal");
const QString kNearLimit = QStringLiteral("near limit");
const QString kOverLimit = QStringLiteral("over limit");
const QString kLeftOut = QStringLiteral("left out: ");

// The warnings that left loop k out, as the window words them. A warning about the loop itself
// loses its "Loop3:" lead, which the line already says; a warning about another loop (the
// cable of loop 2 stops the whole calculation) keeps it.
QString leftOutReason(const QStringList &warnings, int k, bool ownOnly)
{
    const QString lead = loopLabel(k + 1) + QLatin1Char(':');
    QStringList own, others;
    for (const QString &warning : warnings) {
        if (warning.startsWith(lead))
            own.append(warning.mid(lead.size()));
        else
            others.append(warning);
    }
    return kLeftOut + (own.isEmpty() && !ownOnly ? others : own).join(QStringLiteral("; "));
}

// Count texts as the grid holds them after Open: the file's texts where it has them, "0" in
// every field a freshly built grid has and the file does not fill.
QVector<QStringList> gridAfterOpening(const Catalogue &c, const ProjectData &data, int loops)
{
    const int rows = deviceGridRowCount(c);
    const int filled = std::min<int>(data.loopCount, loops);
    QVector<QStringList> grid(rows, QStringList());
    for (int r = 0; r < rows; ++r) {
        const QStringList *fileRow = projectCountRow(data, r);
        for (int i = 0; i < loops; ++i)
            grid[r].append(fileRow && i < filled ? fileRow->value(i) : QStringLiteral("0"));
    }
    return grid;
}

}  // namespace

ProjectCheck checkProject(const Catalogue &c, const ProjectData &data)
{
    QMap<QString, PanelRecord> panels;
    QMap<QString, CableRecord> cables;
    QMap<QString, DeviceRecord> devices;
    indexPanelsByName(c, panels);
    indexCablesByName(c, cables);
    indexDevicesByKey(c, devices);

    ProjectCheck check;
    CalculationInputs inputs;
    QStringList cableTexts;
    const auto panel = panels.constFind(data.panelName);
    if (panel != panels.cend()) {
        check.panel = panel->name;
        inputs.loopCount = usableLoopCount(panel->loopCount);
        inputs.panelLoopVoltage = panel->loopVoltage;
        inputs.panelMaxLoopCurrent = panel->maxLoopCurrent;
        std::copy(panel->maxDevices, panel->maxDevices + inputs.loopCount, inputs.loopMaxDevices);
    }
    const int loops = inputs.loopCount;
    for (int i = 0; i < loops; ++i) {
        const auto cable = cables.constFind(data.cableNames.value(i));
        const bool chosen = i < data.loopCount && cable != cables.cend();
        cableTexts.append(chosen ? cable->name : QString());
        inputs.loopCableResistance[i] = chosen ? cable->resistance : 0.0f;
    }
    // An empty field, which Calculate shows as "0", reads as 0 all the same.
    inputs.countTexts = gridAfterOpening(c, data, loops);
    inputs.readCounts = loops > 0;
    inputs.condition = c.condition;

    const SelectionCheck selection = checkSelection(check.panel, loops, cableTexts);
    LoopResults results;
    if (selection.complete)
        results = calculateLoops(devices, inputs);
    else if (loops == 0)
        check.leftOut = selection.warnings.join(QStringLiteral("; "));

    for (int k = 0; k < loops; ++k) {
        LoopCheck loop;
        loop.loop = loopLabel(k + 1);
        loop.cable = cableTexts.at(k);
        if (!selection.complete) {
            loop.verdict = LoopVerdict::LeftOut;
            loop.state = leftOutReason(selection.warnings, k, false);
        } else {
            loop.texts = loopResultTexts(results, k, c.condition.maxLoopLength);
            if (!loop.texts.shown) {
                loop.verdict = LoopVerdict::LeftOut;
                loop.state = leftOutReason(results.checkWarnings, k, true);
            } else if (loop.texts.status == CurrentStatus::Overloaded) {
                loop.verdict = LoopVerdict::OverLimit;
                loop.state = kOverLimit;
            } else if (loop.texts.status == CurrentStatus::NearLimit) {
                loop.verdict = LoopVerdict::NearLimit;
                loop.state = kNearLimit;
            } else {
                loop.state = kNormal;
            }
        }
        check.worst = std::max(check.worst, loop.verdict);
        check.loops.append(loop);
    }
    if (!check.leftOut.isEmpty())
        check.worst = std::max(check.worst, LoopVerdict::LeftOut);

    // The loops the check shows as left out count as left out for the battery too.
    QVector<BatteryLoopTotal> batteryLoops = selection.complete ? batteryLoopTotals(results, loops)
                                                                : QVector<BatteryLoopTotal>(loops);
    if (!selection.complete)
        for (BatteryLoopTotal &loop : batteryLoops)
            loop.state = BatteryLoopState::LeftOut;
    check.battery = calculateBattery(
        resolveBatteryInputs(data.battery, panel != panels.cend() ? &*panel : nullptr, batteryLoops));
    return check;
}

FileCheck checkProjectBytes(const std::optional<QByteArray> &bytes, const Catalogue &c,
                            const QMap<QString, PanelRecord> &panels, const BatteryOverrides &overrides)
{
    FileCheck file;
    if (!bytes) {
        file.error = QStringLiteral("the file cannot be read");
        return file;
    }
    ProjectData data;
    QString reason;
    const ProjectOpenResult result = checkProjectForOpen(*bytes, c, panels, QString(), 0, &data, &reason);
    if (result == ProjectOpenResult::Accepted) {
        applyBatteryOverrides(data.battery, overrides);
        file.check = checkProject(c, data);
    } else {
        file.error = refusalLine(result, reason);
    }
    return file;
}

QString refusalLine(ProjectOpenResult result, const QString &reason)
{
    const QString text = projectRefusalText(result);
    return text + (text.endsWith(QLatin1Char('.')) ? QStringLiteral(" ") : QStringLiteral(". ")) + reason;
}

QStringList checkTextLines(const QString &file, const ProjectCheck &check)
{
    QStringList lines;
    const QString lead = file + QStringLiteral(": ");
    for (const LoopCheck &loop : check.loops) {
        const QStringList fields{check.panel, loop.cable, loop.texts.quiescent, loop.texts.alarm,
                                 loop.texts.length.value_or(QString()), loop.state};
        lines.append(lead + loop.loop + QStringLiteral(": ") + fields.join(QStringLiteral("; ")));
    }
    for (const LoopCheck &loop : check.loops)
        for (const QString &comment : loop.texts.comments)
            lines.append(lead + QStringLiteral("comment: ") + comment);
    if (!check.leftOut.isEmpty())
        lines.append(lead + kLeftOut + check.leftOut);
    lines.append(checkBatteryTextLine(file, check.battery));
    return lines;
}

QString checkBatteryTextLine(const QString &file, const BatteryResult &b)
{
    const QString lead = file + QStringLiteral(": battery: ");
    if (!b.calculated)
        return lead + QStringLiteral("not calculated: ") + b.reason;
    const QString factor = b.d ? QStringLiteral("D ") + formatFactor(*b.d) : QStringLiteral("SF ") + formatFactor(b.factor);
    const QString battery = b.batteryAh ? QStringLiteral("battery ") + formatBatterySize(*b.batteryAh) : kLoadMustBeDivided;
    const QStringList fields{batteryStandardName(b.standard),
                             QStringLiteral("standby %1 x %2").arg(formatBatteryCurrent(b.standbyMa), formatHours(b.standbyHours)),
                             QStringLiteral("alarm %1 x %2").arg(formatBatteryCurrent(b.alarmMa), formatMinutes(b.alarmMinutes)),
                             factor, QStringLiteral("required ") + formatAmpHours(b.requiredAh), battery};
    return lead + fields.join(QStringLiteral("; "));
}

QString checkErrorTextLine(const QString &file, const QString &error)
{
    return file + QStringLiteral(": error: ") + error;
}

QString csvField(const QString &text)
{
    static const QString special = QStringLiteral(",\"\r\n");
    if (std::none_of(text.cbegin(), text.cend(), [](QChar ch) { return special.contains(ch); }))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

namespace {

const QStringList &loopCsvColumns()
{
    static const QStringList columns{QStringLiteral("File"), QStringLiteral("Loop"), QStringLiteral("Panel"),
                                     QStringLiteral("Cable Type"), QStringLiteral("Quiescent current (mA)"),
                                     QStringLiteral("Total alarm current (mA)"), QStringLiteral("Max length (m)"),
                                     QStringLiteral("State"), QStringLiteral("Comment")};
    return columns;
}

// The battery row's own columns, after those of the loops.
const QStringList &batteryCsvColumns()
{
    static const QStringList columns{QStringLiteral("Battery Standard"), QStringLiteral("Standby Current (mA)"),
                                     QStringLiteral("Standby Period (h)"), QStringLiteral("Alarm Current (mA)"),
                                     QStringLiteral("Alarm Period (min)"), QStringLiteral("D"),
                                     QStringLiteral("Factor"), QStringLiteral("Required Capacity (Ah)"),
                                     QStringLiteral("Battery (Ah)")};
    return columns;
}

// Every row has the header's width: the fields not given are empty.
QString csvRow(QStringList fields)
{
    const int width = loopCsvColumns().size() + batteryCsvColumns().size();
    while (fields.size() < width)
        fields.append(QString());
    QStringList quoted;
    for (const QString &field : fields)
        quoted.append(csvField(field));
    return quoted.join(QLatin1Char(','));
}

// A spreadsheet reads "29.9" as a number and "29.9mA" as text: the unit goes into the header.
QString withoutUnit(QString text, QLatin1String unit)
{
    if (text.endsWith(unit))
        text.chop(unit.size());
    return text;
}

QString batteryCsvRow(const QString &file, const QString &panel, const BatteryResult &b)
{
    QStringList fields{file, QStringLiteral("battery"), panel, QString(), QString(), QString(), QString()};
    if (!b.calculated) {
        fields << QStringLiteral("not calculated: ") + b.reason;
        return csvRow(fields);
    }
    fields << (b.batteryAh ? QStringLiteral("calculated") : kLoadMustBeDivided) << QString()
           << batteryStandardName(b.standard) << withoutUnit(formatBatteryCurrent(b.standbyMa), QLatin1String("mA"))
           << withoutUnit(formatHours(b.standbyHours), QLatin1String("h"))
           << withoutUnit(formatBatteryCurrent(b.alarmMa), QLatin1String("mA"))
           << withoutUnit(formatMinutes(b.alarmMinutes), QLatin1String("min"))
           << (b.d ? formatFactor(*b.d) : QString()) << formatFactor(b.factor)
           << withoutUnit(formatAmpHours(b.requiredAh), QLatin1String("Ah"))
           << (b.batteryAh ? withoutUnit(formatBatterySize(*b.batteryAh), QLatin1String("Ah")) : QString());
    return csvRow(fields);
}

}  // namespace

QString checkCsvHeader() { return csvRow(loopCsvColumns() + batteryCsvColumns()); }

QStringList checkCsvRows(const QString &file, const ProjectCheck &check)
{
    QStringList rows;
    for (const LoopCheck &loop : check.loops)
        rows.append(csvRow({file, loop.loop, check.panel, loop.cable,
                            withoutUnit(loop.texts.quiescent, QLatin1String("mA")),
                            withoutUnit(loop.texts.alarm, QLatin1String("mA")),
                            withoutUnit(loop.texts.length.value_or(QString()), QLatin1String("m")), loop.state,
                            loop.texts.comments.join(QStringLiteral("; "))}));
    if (!check.leftOut.isEmpty())
        rows.append(csvRow({file, QString(), check.panel, QString(), QString(), QString(), QString(),
                            kLeftOut + check.leftOut, QString()}));
    rows.append(batteryCsvRow(file, check.panel, check.battery));
    return rows;
}

QString checkErrorCsvRow(const QString &file, const QString &error)
{
    return csvRow({file, QString(), QString(), QString(), QString(), QString(), QString(),
                   QStringLiteral("error: ") + error, QString()});
}
