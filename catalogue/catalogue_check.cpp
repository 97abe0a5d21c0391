#include "catalogue/catalogue_check.h"

#include "catalogue/catalogue.h"
#include "catalogue/dat_codec.h"
#include "catalogue/whole_file.h"
#include "catalogue/workbook_import_rules.h"

#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <functional>

namespace {

const QString kDataWorkbook = QStringLiteral("data.xlsx");
const QString kNameWorkbook = QStringLiteral("name.xlsx");
const QString kDataFile = QStringLiteral("data.dat");
const QString kNameFile = QStringLiteral("name.dat");

// How far below the records a forgotten record or name is still looked for.
constexpr int kScanRows = 1000;

QString columnName(int column)
{
    QString name;
    for (; column > 0; column = (column - 1) / 26)
        name.prepend(QChar('A' + (column - 1) % 26));
    return name;
}

QString cellName(int row, int column) { return columnName(column) + QString::number(row); }

bool isText(const QVariant &raw) { return raw.userType() == QMetaType::QString; }

bool isBlank(const QVariant &raw) { return !raw.isValid() || (isText(raw) && raw.toString().isEmpty()); }

QString quoted(const QString &text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

// Seven significant digits give back what was typed for any float a maintainer enters.
QString number(double value) { return QString::number(value, 'g', 7); }

QString rowSpan(int first, int last)
{
    return first == last ? QStringLiteral("row %1").arg(first) : QStringLiteral("rows %1 to %2").arg(first).arg(last);
}

// Differs from the expected text only in letter case or blanks, as a tab name or type may.
bool nearMiss(const QString &text, const QString &expected)
{
    if (text == expected)
        return false;
    // Blanks as QChar::isSpace() tells them, the same as the \s of a pattern, without building a
    // pattern for each of the many names compared at every start.
    QString squeezed;
    squeezed.reserve(text.size());
    for (const QChar c : text)
        if (!c.isSpace())
            squeezed.append(c);
    return squeezed.compare(expected, Qt::CaseInsensitive) == 0;
}

// A number cell as the import reads it.
struct NumberCell {
    QVariant raw;
    double value = 0.0;  // what the import stores, widened to double
    bool blank = false;
    bool unconverted = false;  // text the import could not convert; already reported
};

// "12.1 Ω/km", or "empty, so 0 Ω/km" for a blank cell.
QString says(const NumberCell &cell, const QString &unit = QString())
{
    const QString value = number(cell.value) + unit;
    return cell.blank ? QStringLiteral("empty, so ") + value : value;
}

struct RecordKind {
    QString sheet;
    QString one;   // "panel"
    QString many;  // "panels"
    int capacity;
};

const RecordKind kPanels{QStringLiteral("Panel"), QStringLiteral("panel"), QStringLiteral("panels"), kPanelCapacity};
const RecordKind kCables{QStringLiteral("Cable"), QStringLiteral("cable"), QStringLiteral("cables"), kCableCapacity};
const RecordKind kDevices{QStringLiteral("Device"), QStringLiteral("device"), QStringLiteral("devices"),
                          kDeviceCapacity};

int lastSheet(const Workbook &workbook, const QString &name)
{
    for (int position = workbook.sheetCount(); position >= 1; --position)
        if (workbook.sheetName(position) == name)
            return position;
    return 0;
}

// A device row of the count table: the order in which projects store their counts.
struct TableRow {
    QString code;
    bool second;
    bool operator==(const TableRow &other) const { return code == other.code && second == other.second; }
    bool operator!=(const TableRow &other) const { return !(*this == other); }
};

// Devices by code, the later record standing for a repeated code, as the window indexes them.
QVector<TableRow> tableRows(const Catalogue &c)
{
    QMap<QString, bool> second;
    for (int i = 0; i < validDeviceCount(c); ++i)
        second.insert(c.devices[i].code, c.devices[i].hasSecondRow);
    QVector<TableRow> rows;
    for (auto it = second.cbegin(); it != second.cend(); ++it) {
        rows.append({it.key(), false});
        if (it.value())
            rows.append({it.key(), true});
    }
    return rows;
}

QString tableRowLabel(const TableRow &row)
{
    return row.second ? QStringLiteral("the second row of device %1").arg(quoted(row.code))
                      : QStringLiteral("device %1").arg(quoted(row.code));
}

class Checker {
public:
    explicit Checker(const CatalogueCheckInput &input) : in(input) {}
    QVector<CatalogueFinding> run();

private:
    // A sheet of one of the workbooks.
    struct Place {
        const Workbook *workbook = nullptr;
        QString file;
        QString sheet;
        int position = 0;
        QVariant cell(int row, int column) const { return workbook->cellValue(position, row, column); }
    };

    Place place(const Workbook *workbook, const QString &file, const QString &sheet) const;
    void add(FindingSeverity severity, const Place &p, int row, int column, const QString &text);
    void addFile(FindingSeverity severity, const QString &file, const QString &sheet, const QString &text);
    NumberCell integerCell(const Place &p, int row, int column);
    NumberCell realCell(const Place &p, int row, int column);
    bool finite(const Place &p, int row, int column, const QString &field, const NumberCell &cell);

    void loadCatalogues();
    void checkTabs(const Workbook &workbook, const QString &file, const QStringList &expected,
                   const QStringList &consequences, FindingSeverity missing);
    int checkRecordCount(const Place &p, const RecordKind &kind);
    void checkPanels(const Place &p, int lastRow);
    void checkCables(const Place &p, int lastRow);
    void checkDevices(const Place &p, int lastRow);
    void checkCondition(const Place &p);
    void checkNames(const RecordKind &kind, int count, const std::function<const QString &(int)> &name,
                    const std::function<QString(int)> &code);
    void checkNameRowsBelow(const RecordKind &kind, int count);
    void checkSecondRows(const Place &p);
    void checkAgainstFiles();
    QString dataSource() const { return in.dataWorkbook ? kDataWorkbook : kDataFile; }

    const CatalogueCheckInput &in;
    Catalogue now;     // what the start-up will hold
    Catalogue before;  // the .dat files the workbooks replace
    bool dataFileRead = false;
    bool haveBefore = false;
    QHash<QString, int> lastRecordRow;  // data.xlsx sheet -> last row that lists a record
    QVector<CatalogueFinding> findings;
};

Checker::Place Checker::place(const Workbook *workbook, const QString &file, const QString &sheet) const
{
    Place p;
    if (workbook) {
        p.workbook = workbook;
        p.file = file;
        p.sheet = sheet;
        p.position = lastSheet(*workbook, sheet);
    }
    return p;
}

void Checker::add(FindingSeverity severity, const Place &p, int row, int column, const QString &text)
{
    findings.append({severity, p.file, p.sheet, cellName(row, column), text});
}

void Checker::addFile(FindingSeverity severity, const QString &file, const QString &sheet, const QString &text)
{
    findings.append({severity, file, sheet, QString(), text});
}

NumberCell Checker::integerCell(const Place &p, int row, int column)
{
    NumberCell cell;
    cell.raw = p.cell(row, column);
    cell.blank = isBlank(cell.raw);
    bool ok = false;
    cell.value = cellInteger(cell.raw, &ok);
    if (cell.blank)
        return cell;
    if (isText(cell.raw) && !ok) {
        add(FindingSeverity::Error, p, row, column,
            QStringLiteral("%1 is not a whole number; Quillon reads %2").arg(quoted(cell.raw.toString())).arg(cell.value));
        cell.unconverted = true;
    } else if (cell.raw.userType() == QMetaType::Double) {
        const double typed = cell.raw.toDouble();
        if (std::floor(typed) != typed)
            add(FindingSeverity::Warning, p, row, column,
                QStringLiteral("%1 is not a whole number; Quillon reads %2").arg(cell.raw.toString()).arg(cell.value));
        else if (typed != cell.value) {
            add(FindingSeverity::Error, p, row, column,
                QStringLiteral("%1 is too large for a whole number; Quillon reads %2")
                    .arg(cell.raw.toString())
                    .arg(cell.value));
            cell.unconverted = true;
        }
    }
    return cell;
}

NumberCell Checker::realCell(const Place &p, int row, int column)
{
    NumberCell cell;
    cell.raw = p.cell(row, column);
    cell.blank = isBlank(cell.raw);
    bool ok = false;
    cell.value = double(cellReal(cell.raw, &ok));
    if (!cell.blank && isText(cell.raw) && !ok) {
        add(FindingSeverity::Error, p, row, column,
            QStringLiteral("%1 is not a number; Quillon reads %2").arg(quoted(cell.raw.toString()), number(cell.value)));
        cell.unconverted = true;
    }
    return cell;
}

// False, after reporting, for an infinite or NaN value (a cell may hold the text "nan").
bool Checker::finite(const Place &p, int row, int column, const QString &field, const NumberCell &cell)
{
    if (std::isfinite(cell.value))
        return true;
    add(FindingSeverity::Error, p, row, column,
        QStringLiteral("the %1 is %2, not a finite number; every result that uses it is wrong")
            .arg(field, number(cell.value)));
    return false;
}

void Checker::loadCatalogues()
{
    dataFileRead = in.dataFile && decodeDataFile(*in.dataFile, before);
    haveBefore = dataFileRead && in.nameFile && decodeNameFile(*in.nameFile, before);

    // The same steps, in the same order, as the start-up.
    if (in.dataWorkbook)
        importDataSheets(*in.dataWorkbook, now);
    else if (in.dataFile)
        decodeDataFile(*in.dataFile, now);
    if (in.nameWorkbook)
        importNameSheets(*in.nameWorkbook, now);
    else if (in.nameFile)
        decodeNameFile(*in.nameFile, now);
}

void Checker::checkTabs(const Workbook &workbook, const QString &file, const QStringList &expected,
                        const QStringList &consequences, FindingSeverity missing)
{
    QSet<QString> seen;
    for (int position = 1; position <= workbook.sheetCount(); ++position) {
        const QString name = workbook.sheetName(position);
        if (expected.contains(name)) {
            if (seen.contains(name))
                addFile(FindingSeverity::Warning, file, name,
                        QStringLiteral("an earlier tab has the same name; Quillon reads both and keeps this one"));
            seen.insert(name);
            continue;
        }
        for (int i = 0; i < expected.size(); ++i) {
            if (!nearMiss(name, expected[i]))
                continue;
            if (lastSheet(workbook, expected[i]))
                addFile(FindingSeverity::Warning, file, name,
                        QStringLiteral("the tab name %1 is not %2; Quillon skips this tab")
                            .arg(quoted(name), quoted(expected[i])));
            else
                addFile(FindingSeverity::Error, file, name,
                        QStringLiteral("the tab name %1 is not %2; Quillon skips this tab and %3")
                            .arg(quoted(name), quoted(expected[i]), consequences[i]));
        }
    }
    for (int i = 0; i < expected.size(); ++i) {
        if (lastSheet(workbook, expected[i]))
            continue;
        bool nearMissFound = false;
        for (int position = 1; position <= workbook.sheetCount(); ++position)
            nearMissFound = nearMissFound || nearMiss(workbook.sheetName(position), expected[i]);
        if (!nearMissFound)
            addFile(missing, file, QString(),
                    QStringLiteral("there is no tab named %1; Quillon %2").arg(quoted(expected[i]), consequences[i]));
    }
}

// Returns the last row that lists a record (3 when none does).
int Checker::checkRecordCount(const Place &p, const RecordKind &kind)
{
    const NumberCell count = integerCell(p, 2, 1);
    int lastRow = kFirstRecordRow - 1;
    for (int row = kFirstRecordRow; row < kFirstRecordRow + kScanRows; ++row)
        if (!isBlank(p.cell(row, 1)) || !isBlank(p.cell(row, 2)))
            lastRow = row;
    lastRecordRow.insert(p.sheet, lastRow);
    if (count.unconverted)
        return lastRow;

    const int listed = int(count.value);
    const int rows = lastRow - (kFirstRecordRow - 1);
    const int first = kFirstRecordRow;
    if (listed > kind.capacity) {
        add(FindingSeverity::Error, p, 2, 1,
            QStringLiteral("the count is %1, more than the %2 %3 Quillon holds; it reads only %4")
                .arg(listed)
                .arg(kind.capacity)
                .arg(kind.many, rowSpan(first, first + kind.capacity - 1)));
    } else if (rows > std::max(listed, 0)) {
        add(FindingSeverity::Error, p, 2, 1,
            QStringLiteral("the count is %1 but %2 list %3 %4; Quillon reads %5")
                .arg(says(count), rowSpan(first, lastRow))
                .arg(rows)
                .arg(kind.many,
                     listed > 0 ? QStringLiteral("only ") + rowSpan(first, first + listed - 1)
                                : QStringLiteral("no ") + kind.many));
    } else if (listed > rows) {
        const QString listing = rows > 0 ? QStringLiteral("only %1 list %2").arg(rowSpan(first, lastRow), kind.many)
                                         : QStringLiteral("no row lists %1").arg(kind.many);
        const QString what = &kind == &kDevices ? QStringLiteral("devices with no code or name, drawing 0 mA")
                                                : kind.many + QStringLiteral(" with no name");
        add(FindingSeverity::Error, p, 2, 1,
            QStringLiteral("the count is %1 but %2; Quillon also reads %3 as %4")
                .arg(listed)
                .arg(listing, rowSpan(lastRow + 1, first + listed - 1), what));
    }
    return lastRow;
}

void Checker::checkPanels(const Place &p, int lastRow)
{
    const QString minimum = number(double(now.condition.minLoopVoltage)) + QStringLiteral(" V");
    for (int i = 0; i < validPanelCount(now); ++i) {
        const int row = kFirstRecordRow + i;
        if (row > lastRow)
            break;
        const NumberCell loops = integerCell(p, row, 3);
        if (!loops.unconverted && loops.value < 1)
            add(FindingSeverity::Error, p, row, 3,
                QStringLiteral("the loop count is %1, not 1 to 16; Quillon shows no loop for this panel").arg(says(loops)));
        else if (!loops.unconverted && loops.value > kMaxLoops)
            add(FindingSeverity::Error, p, row, 3,
                QStringLiteral("the loop count is %1, not 1 to 16; Quillon shows only 16 loops").arg(says(loops)));

        const NumberCell volts = realCell(p, row, 4);
        if (!volts.unconverted && finite(p, row, 4, QStringLiteral("loop voltage"), volts)
            && !(float(volts.value) > now.condition.minLoopVoltage))
            add(FindingSeverity::Error, p, row, 4,
                QStringLiteral("the loop voltage is %1, not above the minimum loop voltage of %2 in Condition!A2; "
                               "Quillon shows a maximum length of 0.0m on every loop of this panel")
                    .arg(says(volts, QStringLiteral(" V")), minimum));

        const NumberCell current = realCell(p, row, 5);
        if (!current.unconverted && finite(p, row, 5, QStringLiteral("loop current limit"), current)
            && current.value <= 0.0)
            add(FindingSeverity::Error, p, row, 5,
                QStringLiteral("the loop current limit is %1; Quillon marks every loop of this panel as overloaded")
                    .arg(says(current, QStringLiteral(" mA"))));

        const QString ownFields[] = {QStringLiteral("own quiescent current"), QStringLiteral("own alarm current")};
        const int ownColumns[] = {kOwnQuiescentColumn, kOwnAlarmColumn};
        const bool ownBlank[] = {isBlank(p.cell(row, ownColumns[0])), isBlank(p.cell(row, ownColumns[1]))};
        for (int k = 0; k < 2; ++k) {
            const int column = ownColumns[k];
            const QVariant raw = p.cell(row, column);
            // One without the other is most likely forgotten: the battery needs both.
            if (ownBlank[k] && !ownBlank[1 - k])
                add(FindingSeverity::Warning, p, row, column,
                    QStringLiteral("the %1 is empty but the %2 is given; Quillon computes no battery for this panel")
                        .arg(ownFields[k], ownFields[1 - k]));
            if (ownBlank[k])
                continue;
            const std::optional<float> own = cellOptionalReal(raw);
            if (!own)
                add(FindingSeverity::Error, p, row, column,
                    QStringLiteral("%1 is not a number; Quillon reads no %2 and computes no battery for this panel")
                        .arg(isText(raw) ? quoted(raw.toString()) : raw.toString(), ownFields[k]));
            else if (!std::isfinite(*own) || *own < 0.0f)
                add(FindingSeverity::Error, p, row, column,
                    QStringLiteral("the %1 is %2 mA, not a current; Quillon computes no battery for this panel")
                        .arg(ownFields[k], number(double(*own))));
        }

        // Only the loops the panel has are read by the window; the other limits are ignored.
        const int loopCount = std::clamp(now.panels[i].loopCount, 0, kMaxLoops);
        for (int loop = 0; loop < loopCount; ++loop) {
            const NumberCell limit = integerCell(p, row, 6 + loop);
            if (!limit.unconverted && limit.value <= 0)
                add(FindingSeverity::Error, p, row, 6 + loop,
                    QStringLiteral("the device limit of loop %1 is %2; Quillon refuses any device on that loop")
                        .arg(loop + 1)
                        .arg(says(limit)));
        }
    }
}

void Checker::checkCables(const Place &p, int lastRow)
{
    const QString cap = number(double(now.condition.maxLoopLength)) + QLatin1Char('m');
    for (int i = 0; i < validCableCount(now); ++i) {
        const int row = kFirstRecordRow + i;
        if (row > lastRow)
            break;
        const NumberCell resistance = realCell(p, row, 3);
        if (resistance.unconverted || !finite(p, row, 3, QStringLiteral("resistance"), resistance))
            continue;
        if (resistance.value == 0.0)
            add(FindingSeverity::Error, p, row, 3,
                QStringLiteral("the resistance is %1; Quillon computes an unlimited length and shows the maximum "
                               "of %2 on every loop with this cable")
                    .arg(says(resistance, QStringLiteral(" Ω/km")), cap));
        else if (resistance.value < 0.0)
            add(FindingSeverity::Error, p, row, 3,
                QStringLiteral("the resistance is %1, below 0; Quillon shows a negative maximum length on every "
                               "loop with this cable")
                    .arg(says(resistance, QStringLiteral(" Ω/km"))));
    }
}

void Checker::checkDevices(const Place &p, int lastRow)
{
    QHash<QString, int> firstRowOfCode;
    for (int i = 0; i < validDeviceCount(now); ++i) {
        const int row = kFirstRecordRow + i;
        if (row > lastRow)
            break;
        const DeviceRecord &device = now.devices[i];
        if (device.code.isEmpty())
            add(FindingSeverity::Warning, p, row, 1,
                QStringLiteral("the device code is empty; Quillon lists this device first, under an empty code"));
        if (firstRowOfCode.contains(device.code))
            add(FindingSeverity::Error, p, row, 1,
                QStringLiteral("the code %1 is also in %2; Quillon keeps only the device of this row under it")
                    .arg(quoted(device.code), cellName(firstRowOfCode.value(device.code), 1)));
        else
            firstRowOfCode.insert(device.code, row);

        QString bare = device.code.trimmed();
        while (bare.size() > 1 && bare.startsWith(QLatin1Char('0')))
            bare.remove(0, 1);
        for (const char *joint : {"7", "8", "9"})
            if (bare == QLatin1String(joint) && device.code != bare)
                add(FindingSeverity::Warning, p, row, 1,
                    QStringLiteral("the code %1 is not %2; Quillon does not count this device towards the limit "
                                   "of devices 7, 8 and 9")
                        .arg(quoted(device.code), quoted(bare)));

        for (const char *type : {"Detector", "Module", "Sounder"})
            if (nearMiss(device.type, QLatin1String(type)))
                add(FindingSeverity::Warning, p, row, 3,
                    QStringLiteral("the type %1 is not %2; Quillon counts this device as other")
                        .arg(quoted(device.type), quoted(QLatin1String(type))));

        const QString fields[] = {QStringLiteral("quiescent current"), QStringLiteral("alarm current")};
        for (int k = 0; k < 2; ++k) {
            const int column = 4 + k;
            const NumberCell current = realCell(p, row, column);
            if (current.unconverted)
                continue;
            if (current.blank)
                add(FindingSeverity::Warning, p, row, column,
                    QStringLiteral("the %1 is empty; Quillon reads 0 mA").arg(fields[k]));
            else if (finite(p, row, column, fields[k], current) && current.value < 0.0)
                add(FindingSeverity::Error, p, row, column,
                    QStringLiteral("the %1 is %2, below 0; Quillon subtracts it from the current of every loop "
                                   "with this device")
                        .arg(fields[k], says(current, QStringLiteral(" mA"))));
        }
    }
}

void Checker::checkCondition(const Place &p)
{
    const NumberCell minimum = realCell(p, 2, 1);
    if (!minimum.unconverted && finite(p, 2, 1, QStringLiteral("minimum loop voltage"), minimum)
        && minimum.value <= 0.0)
        add(FindingSeverity::Error, p, 2, 1,
            QStringLiteral("the minimum loop voltage is %1; Quillon computes every maximum length as if the devices "
                           "worked down to that voltage")
                .arg(says(minimum, QStringLiteral(" V"))));

    const NumberCell length = realCell(p, 4, 1);
    if (!length.unconverted && finite(p, 4, 1, QStringLiteral("maximum loop length"), length) && length.value <= 0.0)
        add(FindingSeverity::Error, p, 4, 1,
            QStringLiteral("the maximum loop length is %1; Quillon shows %2m as the maximum length of every loop")
                .arg(says(length, QStringLiteral(" m")), number(length.value)));

    const NumberCell jointLimit = integerCell(p, 6, 1);
    bool jointDevices = false;
    for (int i = 0; i < validDeviceCount(now); ++i) {
        const QString &code = now.devices[i].code;
        jointDevices = jointDevices || code == QLatin1String("7") || code == QLatin1String("8")
                       || code == QLatin1String("9");
    }
    if (!jointLimit.unconverted && jointDevices && jointLimit.value <= 0)
        add(FindingSeverity::Error, p, 6, 1,
            QStringLiteral("the limit of devices 7, 8 and 9 per loop is %1; Quillon refuses every loop with one "
                           "of them")
                .arg(says(jointLimit)));
}

// Empty and repeated names, in the cells the start-up takes them from: a sheet of name.xlsx, else
// data.xlsx as long as name.dat does not replace them.
void Checker::checkNames(const RecordKind &kind, int count, const std::function<const QString &(int)> &name,
                         const std::function<QString(int)> &code)
{
    Place p = place(in.nameWorkbook, kNameWorkbook, kind.sheet);
    int firstRow = kFirstNameRow;
    int lastRow = kFirstNameRow + count;
    if (!p.position) {
        // Without that sheet the names are the data step's, which name.dat replaces when there
        // is no name.xlsx at all.
        if (!in.nameWorkbook && in.nameFile)
            return;
        p = place(in.dataWorkbook, kDataWorkbook, kind.sheet);
        if (!p.position)
            return;
        firstRow = kFirstRecordRow;
        lastRow = lastRecordRow.value(kind.sheet);
    }
    QHash<QString, int> firstRowOfName;
    for (int i = 0; i < count; ++i) {
        const int row = firstRow + i;
        if (row > lastRow)
            break;
        const QString label = code(i).isEmpty() ? QStringLiteral("%1 %2").arg(kind.one).arg(i + 1)
                                                : QStringLiteral("%1 %2").arg(kind.one, quoted(code(i)));
        if (name(i).isEmpty()) {
            add(FindingSeverity::Error, p, row, 2,
                QStringLiteral("the name of %1 is empty; %2")
                    .arg(label, &kind == &kDevices ? QStringLiteral("its row in the count table has no name")
                                                   : QStringLiteral("Quillon does not list it")));
        } else if (firstRowOfName.contains(name(i))) {
            const QString other = cellName(firstRowOfName.value(name(i)), 2);
            if (&kind == &kDevices)
                add(FindingSeverity::Warning, p, row, 2,
                    QStringLiteral("the device name %1 is also in %2; the count table shows two rows under that name")
                        .arg(quoted(name(i)), other));
            else
                add(FindingSeverity::Error, p, row, 2,
                    QStringLiteral("the %1 name %2 is also in %3; the %4 list shows one entry, the %1 of this row")
                        .arg(kind.one, quoted(name(i)), other, kind.one));
        } else {
            firstRowOfName.insert(name(i), row);
        }
    }
}

void Checker::checkNameRowsBelow(const RecordKind &kind, int count)
{
    const Place p = place(in.nameWorkbook, kNameWorkbook, kind.sheet);
    if (!p.position)
        return;
    int first = 0, names = 0;
    for (int row = kFirstNameRow + count; row < kFirstNameRow + count + kScanRows; ++row) {
        if (isBlank(p.cell(row, 2)))
            continue;
        first = first ? first : row;
        ++names;
    }
    if (!first)
        return;
    const QString source = in.dataWorkbook || in.dataFile ? dataSource() : QStringLiteral("the catalogue");
    add(FindingSeverity::Warning, p, first, 2,
        names == 1 ? QStringLiteral("%1 lists %2 %3, so Quillon does not read this name").arg(source).arg(count).arg(kind.many)
                   : QStringLiteral("%1 lists %2 %3, so Quillon does not read this name or the %4 after it")
                         .arg(source)
                         .arg(count)
                         .arg(kind.many)
                         .arg(names - 1));
}

void Checker::checkSecondRows(const Place &p)
{
    const NumberCell extraRows = integerCell(p, 2, 4);
    int marked = 0;
    for (int i = 0; i < validDeviceCount(now); ++i) {
        const int row = kFirstNameRow + i;
        const DeviceRecord &device = now.devices[i];
        if (device.hasSecondRow) {
            ++marked;
            if (device.secondRowName.isEmpty())
                add(FindingSeverity::Warning, p, row, 1,
                    QStringLiteral("the second row of device %1 has no name; the count table shows it without one")
                        .arg(quoted(device.code)));
            continue;
        }
        const QVariant marker = p.cell(row, 3);
        bool isOne = false;
        if (isText(marker)) {
            bool ok = false;
            isOne = marker.toString().trimmed().toDouble(&ok) == 1.0 && ok;
        }
        if (isOne || (marker.userType() == QMetaType::Bool && marker.toBool()))
            add(FindingSeverity::Error, p, row, 3,
                QStringLiteral("the marker %1 is not \"1\"; Quillon gives device %2 no second row")
                    .arg(isText(marker) ? quoted(marker.toString()) : QStringLiteral("TRUE"), quoted(device.code)));
    }
    if (extraRows.unconverted || int(extraRows.value) == marked)
        return;
    const int difference = int(extraRows.value) - marked;
    const QString consequence =
        difference > 0 ? QStringLiteral("Quillon adds %1 blank %2 to the count table")
                             .arg(difference)
                             .arg(difference == 1 ? QStringLiteral("row") : QStringLiteral("rows"))
                       : QStringLiteral("Quillon cuts the last %1 %2 off the count table")
                             .arg(-difference)
                             .arg(difference == -1 ? QStringLiteral("row") : QStringLiteral("rows"));
    add(FindingSeverity::Error, p, 2, 4,
        QStringLiteral("the number of second rows is %1 but column C marks %2 %3 with \"1\"; %4")
            .arg(says(extraRows))
            .arg(marked)
            .arg(marked == 1 ? QStringLiteral("device") : QStringLiteral("devices"), consequence));
}

void Checker::checkAgainstFiles()
{
    if (!in.dataWorkbook && !in.nameWorkbook)
        return;
    if (in.dataFile && !dataFileRead) {
        addFile(FindingSeverity::Warning, kDataFile, QString(),
                QStringLiteral("the file cannot be read, so the workbooks are not compared with the catalogue "
                               "they replace"));
        return;
    }
    if (in.nameFile && in.dataFile && !haveBefore) {
        addFile(FindingSeverity::Warning, kNameFile, QString(),
                QStringLiteral("the file cannot be read, so the workbooks are not compared with the catalogue "
                               "they replace"));
        return;
    }
    if (!haveBefore)
        return;

    // name.dat holds names only, in record order, for the counts it was written with.
    if (in.dataWorkbook && !in.nameWorkbook) {
        const struct {
            const RecordKind &kind;
            int now, before;
        } counts[] = {{kPanels, validPanelCount(now), validPanelCount(before)},
                      {kCables, validCableCount(now), validCableCount(before)},
                      {kDevices, validDeviceCount(now), validDeviceCount(before)}};
        for (const auto &c : counts) {
            const Place p = place(in.dataWorkbook, kDataWorkbook, c.kind.sheet);
            if (p.position && c.now != c.before)
                add(FindingSeverity::Error, p, 2, 1,
                    QStringLiteral("the count is %1 but name.dat holds the names of %2 %3; without name.xlsx "
                                   "Quillon cannot match the names to the %3")
                        .arg(c.now)
                        .arg(c.before)
                        .arg(c.kind.many));
        }
    }

    if (now.catalogueVersionNumber != before.catalogueVersionNumber)
        return;
    const Place version = place(in.nameWorkbook, kNameWorkbook, QStringLiteral("Version"));
    const auto report = [&](FindingSeverity severity, const QString &change, const QString &consequence) {
        const QString text = QStringLiteral("the version number is still %1 but %2; projects saved under version %1 %3")
                                 .arg(now.catalogueVersionNumber)
                                 .arg(change, consequence);
        if (version.position)
            add(severity, version, 2, 2, text);
        else
            addFile(severity, in.nameWorkbook ? kNameWorkbook : kNameFile, QString(), text);
    };

    const QVector<TableRow> oldRows = tableRows(before), newRows = tableRows(now);
    if (oldRows != newRows) {
        int k = 0;
        while (k < oldRows.size() && k < newRows.size() && oldRows[k] == newRows[k])
            ++k;
        const QString change =
            k < oldRows.size() && k < newRows.size()
                ? QStringLiteral("row %1 of the count table was %2 and is now %3")
                      .arg(k + 1)
                      .arg(tableRowLabel(oldRows[k]), tableRowLabel(newRows[k]))
                : QStringLiteral("the count table has %1 device rows instead of %2").arg(newRows.size()).arg(oldRows.size());
        report(FindingSeverity::Error, change, QStringLiteral("open with their counts on other devices"));
    } else {
        QMap<QString, QString> oldNames, newNames;
        for (int i = 0; i < validDeviceCount(before); ++i)
            oldNames.insert(before.devices[i].code, before.devices[i].name);
        for (int i = 0; i < validDeviceCount(now); ++i)
            newNames.insert(now.devices[i].code, now.devices[i].name);
        for (auto it = newNames.cbegin(); it != newNames.cend(); ++it) {
            const QString oldName = oldNames.value(it.key());
            const QString movedTo = oldName.isEmpty() || oldName == it.value() ? QString() : newNames.key(oldName);
            if (movedTo.isEmpty())
                continue;
            report(FindingSeverity::Error,
                   QStringLiteral("device %1 was %2 and is now %3, and %2 is now device %4")
                       .arg(quoted(it.key()), oldName, it.value(), quoted(movedTo)),
                   QStringLiteral("show their counts on other devices"));
            break;
        }
    }

    // "the panel "A" is gone", "the panels "A", "B", "C" and 2 more are gone"
    const auto gone = [](const QString &one, const QString &many, const QStringList &oldNames,
                         const QStringList &newNames) {
        QStringList missing;
        for (const QString &name : oldNames)
            if (!name.isEmpty() && !newNames.contains(name) && !missing.contains(quoted(name)))
                missing.append(quoted(name));
        if (missing.isEmpty())
            return QString();
        if (missing.size() == 1)
            return QStringLiteral("the %1 %2 is gone").arg(one, missing[0]);
        const QString last = missing.size() > 3 ? QStringLiteral("%1 more").arg(missing.size() - 3) : missing.last();
        return QStringLiteral("the %1 %2 and %3 are gone").arg(many, missing.mid(0, std::min(3, int(missing.size()) - 1)).join(QStringLiteral(", ")), last);
    };
    QStringList oldPanels, newPanels, oldCables, newCables;
    for (int i = 0; i < validPanelCount(before); ++i)
        oldPanels.append(before.panels[i].name);
    for (int i = 0; i < validPanelCount(now); ++i)
        newPanels.append(now.panels[i].name);
    for (int i = 0; i < validCableCount(before); ++i)
        oldCables.append(before.cables[i].name);
    for (int i = 0; i < validCableCount(now); ++i)
        newCables.append(now.cables[i].name);
    const QString panelsGone = gone(kPanels.one, kPanels.many, oldPanels, newPanels);
    if (!panelsGone.isEmpty())
        report(FindingSeverity::Warning, panelsGone, QStringLiteral("with such a panel are refused as not legal"));
    const QString cablesGone = gone(kCables.one, kCables.many, oldCables, newCables);
    if (!cablesGone.isEmpty())
        report(FindingSeverity::Warning, cablesGone, QStringLiteral("with such a cable open without it"));
}

QVector<CatalogueFinding> Checker::run()
{
    loadCatalogues();

    if (in.dataWorkbook) {
        checkTabs(*in.dataWorkbook, kDataWorkbook,
                  {kPanels.sheet, kCables.sheet, kDevices.sheet, QStringLiteral("Condition")},
                  {QStringLiteral("reads no panels"), QStringLiteral("reads no cables"), QStringLiteral("reads no devices"),
                   QStringLiteral("reads 0 for the minimum loop voltage, the maximum loop length and the limit of "
                                  "devices 7, 8 and 9")},
                  FindingSeverity::Error);
        const Place panels = place(in.dataWorkbook, kDataWorkbook, kPanels.sheet);
        if (panels.position)
            checkPanels(panels, checkRecordCount(panels, kPanels));
        const Place cables = place(in.dataWorkbook, kDataWorkbook, kCables.sheet);
        if (cables.position)
            checkCables(cables, checkRecordCount(cables, kCables));
        const Place devices = place(in.dataWorkbook, kDataWorkbook, kDevices.sheet);
        if (devices.position)
            checkDevices(devices, checkRecordCount(devices, kDevices));
        const Place condition = place(in.dataWorkbook, kDataWorkbook, QStringLiteral("Condition"));
        if (condition.position)
            checkCondition(condition);
    }

    if (in.nameWorkbook) {
        const QString names = QStringLiteral("keeps the %1 names of ") + dataSource();
        checkTabs(*in.nameWorkbook, kNameWorkbook, {kPanels.sheet, kCables.sheet, kDevices.sheet, QStringLiteral("Version")},
                  {names.arg(kPanels.one), names.arg(kCables.one),
                   QStringLiteral("gives no device a second row and ") + names.arg(kDevices.one),
                   QStringLiteral("reads an empty catalogue version and version number 0")},
                  FindingSeverity::Warning);
    }
    checkNames(kPanels, validPanelCount(now), [this](int i) -> const QString & { return now.panels[i].name; },
               [this](int i) { return now.panels[i].code; });
    checkNames(kCables, validCableCount(now), [this](int i) -> const QString & { return now.cables[i].name; },
               [this](int i) { return now.cables[i].code; });
    checkNames(kDevices, validDeviceCount(now), [this](int i) -> const QString & { return now.devices[i].name; },
               [this](int i) { return now.devices[i].code; });
    if (in.nameWorkbook) {
        checkNameRowsBelow(kPanels, validPanelCount(now));
        checkNameRowsBelow(kCables, validCableCount(now));
        checkNameRowsBelow(kDevices, validDeviceCount(now));
        const Place devices = place(in.nameWorkbook, kNameWorkbook, kDevices.sheet);
        if (devices.position)
            checkSecondRows(devices);
        const Place version = place(in.nameWorkbook, kNameWorkbook, QStringLiteral("Version"));
        if (version.position)
            integerCell(version, 2, 2);
    }

    checkAgainstFiles();
    return findings;
}

bool plainSheetName(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (const QChar c : name)
        if (!c.isLetterOrNumber())
            return false;
    return true;
}

}  // namespace

QVector<CatalogueFinding> checkCatalogue(const CatalogueCheckInput &input) { return Checker(input).run(); }

void readCatalogueFiles(const QString &dir, CatalogueCheckInput &input)
{
    const auto read = [](const QString &path) -> std::optional<QByteArray> {
        if (!QFileInfo::exists(path))
            return std::nullopt;
        QByteArray bytes;
        if (!readWholeFile(path, kMaxDatFileBytes, bytes))
            bytes.clear();
        return bytes;
    };
    input.dataFile = read(dir + QLatin1Char('/') + kDataFile);
    input.nameFile = read(dir + QLatin1Char('/') + kNameFile);
}

QString findingLine(const CatalogueFinding &finding)
{
    QString where = finding.file;
    if (!finding.sheet.isEmpty()) {
        QString sheet = finding.sheet;
        if (!plainSheetName(sheet))
            sheet = QLatin1Char('\'') + sheet.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
        where += QLatin1Char(':') + sheet;
        if (!finding.cell.isEmpty())
            where += QLatin1Char('!') + finding.cell;
    }
    return where + (finding.severity == FindingSeverity::Error ? QStringLiteral(": error: ") : QStringLiteral(": warning: "))
           + finding.text;
}

QString findingSummary(const QVector<CatalogueFinding> &findings, int maxLines)
{
    QVector<CatalogueFinding> ordered = findings;
    std::stable_sort(ordered.begin(), ordered.end(), [](const CatalogueFinding &a, const CatalogueFinding &b) {
        return a.severity == FindingSeverity::Error && b.severity != FindingSeverity::Error;
    });
    QStringList lines;
    for (int i = 0; i < ordered.size() && i < maxLines; ++i)
        lines.append(findingLine(ordered[i]));
    if (ordered.size() > maxLines)
        lines.append(QStringLiteral("and %1 more").arg(ordered.size() - maxLines));
    return lines.join(QLatin1Char('\n'));
}
