#include "project/project_migration.h"

#include "calc/loop_calculation.h"
#include "loops/loop_indexes.h"
#include "loops/loop_state.h"
#include "project/project_check.h"
#include "project/project_open.h"

#include <QMap>
#include <QPair>
#include <algorithm>

namespace {

QString quoted(const QString &text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

QString deviceLabel(const DeviceRecord &d)
{
    return QStringLiteral("device %1 (%2)").arg(quoted(d.code), d.name);
}

// "Loop1 20, Loop3 2": the counts of a row that are more than 0, on the loops kept.
QString countsOf(const QStringList *row, int loops)
{
    QStringList counts;
    for (int i = 0; row && i < loops; ++i)
        if (parseCountText(row->value(i)) > 0)
            counts.append(loopLabel(i + 1) + QLatin1Char(' ') + row->value(i));
    return counts.join(QStringLiteral(", "));
}

// What is lost of one device: the counts of its first and of its second row.
struct DeviceLoss {
    QString first;
    QString second;
};

}  // namespace

ProjectMigration migrateProject(const ProjectData &project, const Catalogue &from, const Catalogue &to)
{
    QMap<QString, PanelRecord> fromPanels, toPanels;
    QMap<QString, CableRecord> toCables;
    QMap<QString, DeviceRecord> fromDevices, toDevices;
    indexPanelsByName(from, fromPanels);
    indexPanelsByName(to, toPanels);
    indexCablesByName(to, toCables);
    indexDevicesByKey(from, fromDevices);
    indexDevicesByKey(to, toDevices);

    ProjectMigration m;
    ProjectData &p = m.project;
    p.catalogueVersionNumber = to.catalogueVersionNumber;
    p.projectName = project.projectName;
    p.projectLocation = project.projectLocation;
    p.companyName = project.companyName;
    p.email = project.email;
    p.comment = project.comment;
    p.panelName = project.panelName;
    // The battery inputs do not depend on the catalogue: own currents not typed follow the new one.
    p.hasBattery = project.hasBattery;
    p.battery = project.battery;

    int loops = project.loopCount;
    const auto panel = toPanels.constFind(project.panelName);
    if (!project.panelName.isEmpty() && panel == toPanels.cend()) {
        QString line = QStringLiteral("panel %1 is not in the current catalogue; the project is left without "
                                      "panel, cables and counts")
                           .arg(quoted(project.panelName));
        // A panel renamed under its old code: say what it is called now.
        const auto old = fromPanels.constFind(project.panelName);
        for (const PanelRecord &now : qAsConst(toPanels))
            if (old != fromPanels.cend() && !old->code.isEmpty() && now.code == old->code)
                line += QStringLiteral(" (the panel of code %1 is now called %2)").arg(now.code, quoted(now.name));
        m.losses.append(line);
        p.panelName.clear();
        loops = 0;
    } else if (panel != toPanels.cend()) {
        const int panelLoops = usableLoopCount(panel->loopCount);
        for (int i = panelLoops; i < project.loopCount; ++i)
            m.losses.append(QStringLiteral("%1: panel %2 has %3 loops now; this loop is left out with its cable "
                                           "and counts")
                                .arg(loopLabel(i + 1), quoted(panel->name))
                                .arg(panelLoops));
        loops = std::min(loops, panelLoops);
    }
    p.loopCount = loops;

    for (int i = 0; i < loops; ++i) {
        const QString &name = project.cableNames.at(i);
        if (name.isEmpty() || toCables.contains(name)) {
            p.cableNames.append(name);
            continue;
        }
        m.losses.append(QStringLiteral("%1: cable %2 is not in the current catalogue; the loop is left without cable")
                            .arg(loopLabel(i + 1), quoted(name)));
        p.cableNames.append(QString());
    }

    QMap<QPair<QString, bool>, int> toRowOf;
    for (const DeviceRow &row : deviceRowOrder(toDevices, deviceGridRowCount(to)))
        toRowOf.insert(qMakePair(row.key, row.secondRow), row.row);
    QVector<QStringList> grid(deviceGridRowCount(to), QStringList());
    for (QStringList &row : grid)
        for (int i = 0; i < loops; ++i)
            row.append(QStringLiteral("0"));

    // Keyed by code, so the lines come in the count table's order.
    QMap<QString, DeviceLoss> gone, withoutRow;
    const int fromGridRows = deviceGridRowCount(from);
    const QVector<DeviceRow> fromRows = deviceRowOrder(fromDevices, fromGridRows);
    for (const DeviceRow &row : fromRows) {
        const QStringList *texts = projectCountRow(project, row.row);
        const auto target = toRowOf.constFind(qMakePair(row.key, row.secondRow));
        if (target != toRowOf.cend()) {
            for (int i = 0; texts && i < loops; ++i)
                grid[*target][i] = texts->value(i);
            continue;
        }
        const QString counts = countsOf(texts, loops);
        if (counts.isEmpty())
            continue;
        DeviceLoss &loss = (toDevices.contains(row.key) ? withoutRow : gone)[row.key];
        (row.secondRow ? loss.second : loss.first) = counts;
    }
    // "Loop1 20; second row OPT-100I: Loop1 5"
    const auto lostCounts = [&fromDevices](const QString &key, const DeviceLoss &loss) {
        QStringList parts;
        if (!loss.first.isEmpty())
            parts.append(loss.first);
        if (!loss.second.isEmpty())
            parts.append(QStringLiteral("second row %1: %2").arg(fromDevices.value(key).secondRowName, loss.second));
        return parts.join(QStringLiteral("; "));
    };
    for (auto it = gone.cbegin(); it != gone.cend(); ++it)
        m.losses.append(QStringLiteral("%1 is not in the current catalogue; its counts are left out: %2")
                            .arg(deviceLabel(fromDevices.value(it.key())), lostCounts(it.key(), *it)));
    for (auto it = withoutRow.cbegin(); it != withoutRow.cend(); ++it) {
        const DeviceRecord d = fromDevices.value(it.key());
        if (it->first.isEmpty() && !toDevices.value(it.key()).hasSecondRow)
            m.losses.append(QStringLiteral("%1 has no second row any more; the counts of its second row %2 are "
                                           "left out: %3")
                                .arg(deviceLabel(d), d.secondRowName, it->second));
        else
            // The current catalogue names fewer extra rows than it marks: the row is off the grid.
            m.losses.append(QStringLiteral("%1 has no row for them in the count table of the current catalogue; "
                                           "its counts are left out: %2")
                                .arg(deviceLabel(d), lostCounts(it.key(), *it)));
    }
    // Rows past the last device: the old catalogue named more extra rows than it marked.
    for (int r = fromRows.size(); r < fromGridRows; ++r) {
        const QString counts = countsOf(projectCountRow(project, r), loops);
        if (!counts.isEmpty())
            m.losses.append(QStringLiteral("row %1 of the count table belongs to no device; its counts are left "
                                           "out: %2")
                                .arg(r + 1)
                                .arg(counts));
    }

    const int stored = storedDeviceRows(to);
    p.countRows = grid.mid(0, stored);
    p.extraCountRows = grid.mid(stored);
    p.hasExtraRows = true;
    return m;
}

QString openForMigration(const QByteArray &bytes, const Catalogue &from, const QString &fromLabel,
                         ProjectData *project)
{
    const std::optional<qint32> saved = storedCatalogueVersionNumber(bytes);
    if (saved && *saved != from.catalogueVersionNumber)
        return QStringLiteral("the project was saved under catalogue version number %1, but %2 holds version "
                              "number %3 (%4)")
            .arg(*saved)
            .arg(fromLabel)
            .arg(from.catalogueVersionNumber)
            .arg(from.catalogueVersion);
    QMap<QString, PanelRecord> panels;
    indexPanelsByName(from, panels);
    QString reason;
    const ProjectOpenResult result = checkProjectForOpen(bytes, from, panels, QString(), 0, project, &reason);
    return result == ProjectOpenResult::Accepted ? QString() : refusalLine(result, reason);
}

QByteArray migratedBytes(const ProjectMigration &migration, const ProjectData &project, const QByteArray &bytes)
{
    return migration.project == project ? bytes : encodeProject(migration.project);
}
