#include "project/project_file.h"

#include "catalogue/catalogue.h"

#include <QDataStream>
#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <cmath>

namespace {

void prepare(QDataStream &stream)
{
    // The layout is fixed: big-endian, Qt 5's text encoding (quint32 byte length, UTF-16BE).
    stream.setByteOrder(QDataStream::BigEndian);
    stream.setVersion(QDataStream::Qt_5_0);
}

void writeText(QDataStream &out, const QString &text)
{
    if (text.isEmpty())
        out << quint32(0);
    else
        out << text;
}

void writeRow(QDataStream &out, const QStringList &row, int loopCount)
{
    for (int loop = 0; loop < loopCount; ++loop)
        writeText(out, row.value(loop));
}

// Every read is checked at once: past the end, later reads would quietly return zeros.
bool readInt(QDataStream &in, qint32 *value)
{
    in >> *value;
    return in.status() == QDataStream::Ok;
}

bool readText(QDataStream &in, QString *text)
{
    // A length beyond the end of the file would make the stream allocate up to 2 MiB before
    // it notices; refusing it here is the same answer, found without the allocation.
    QIODevice *device = in.device();
    const QByteArray prefix = device->peek(4);
    if (prefix.size() == 4) {
        const quint32 length = qFromBigEndian<quint32>(prefix.constData());
        if (length != 0xFFFFFFFFu && qint64(length) > device->bytesAvailable() - 4)
            return false;
    }
    // An odd byte count cannot be UTF-16: the stream reports ReadCorruptData.
    in >> *text;
    return in.status() == QDataStream::Ok;
}

bool readCountRows(QDataStream &in, int rows, int loopCount, QVector<QStringList> *out)
{
    out->reserve(rows);
    for (int row = 0; row < rows; ++row) {
        QStringList texts;
        texts.reserve(loopCount);
        for (int loop = 0; loop < loopCount; ++loop) {
            QString text;
            if (!readText(in, &text) || !isCountText(text))
                return false;
            texts.append(text);
        }
        out->append(texts);
    }
    return true;
}

// The battery block's payload: the standard, then each number as int32 given (0/1) and a
// double (0 when not given); the own currents are preceded by int32 typed (0/1).
QByteArray encodeBattery(const BatteryInputs &b)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    prepare(out);
    const auto number = [&out](const std::optional<double> &value) {
        out << qint32(value ? 1 : 0) << value.value_or(0.0);
    };
    out << qint32(b.standard);
    number(b.standbyHours);
    number(b.alarmMinutes);
    out << qint32(b.ownQuiescentTyped ? 1 : 0);
    number(b.ownQuiescent);
    out << qint32(b.ownAlarmTyped ? 1 : 0);
    number(b.ownAlarm);
    number(b.additionalStandby);
    number(b.additionalAlarm);
    return bytes;
}

bool readFlag(QDataStream &in, bool *flag)
{
    qint32 value = 0;
    if (!readInt(in, &value) || (value != 0 && value != 1))
        return false;
    *flag = value == 1;
    return true;
}

// Periods and currents are never negative, infinite or NaN; anything else is a damaged file.
bool readNumber(QDataStream &in, std::optional<double> *number)
{
    bool given = false;
    double value = 0.0;
    if (!readFlag(in, &given))
        return false;
    in >> value;
    if (in.status() != QDataStream::Ok || !std::isfinite(value) || value < 0.0)
        return false;
    *number = given ? std::optional<double>(value) : std::nullopt;
    return true;
}

// Bytes after the fields this reader knows are left for later versions of the block.
bool decodeBattery(const QByteArray &payload, BatteryInputs *battery)
{
    QDataStream in(payload);
    prepare(in);
    BatteryInputs b;
    qint32 standard = 0;
    if (!readInt(in, &standard) || standard < 0 || standard > qint32(BatteryStandard::Nfpa72_2019))
        return false;
    b.standard = BatteryStandard(standard);
    if (!readNumber(in, &b.standbyHours) || !readNumber(in, &b.alarmMinutes) || !readFlag(in, &b.ownQuiescentTyped) ||
        !readNumber(in, &b.ownQuiescent) || !readFlag(in, &b.ownAlarmTyped) || !readNumber(in, &b.ownAlarm) ||
        !readNumber(in, &b.additionalStandby) || !readNumber(in, &b.additionalAlarm))
        return false;
    *battery = b;
    return true;
}

}  // namespace

const QStringList *projectCountRow(const ProjectData &data, int row)
{
    if (row < 0)
        return nullptr;
    if (row < data.countRows.size())
        return &data.countRows[row];
    const int extra = row - data.countRows.size();
    return data.hasExtraRows && extra < data.extraCountRows.size() ? &data.extraCountRows[extra] : nullptr;
}

std::optional<qint32> storedCatalogueVersionNumber(const QByteArray &bytes)
{
    if (bytes.size() < 12)
        return std::nullopt;
    const char *data = bytes.constData();
    if (qFromBigEndian<qint32>(data) != kProjectFileMagic || qFromBigEndian<qint32>(data + 4) != kProjectFormatVersion)
        return std::nullopt;
    return qFromBigEndian<qint32>(data + 8);
}

bool isCountText(const QString &text)
{
    if (text.size() > 3)
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return text.size() <= 1 || text.at(0) != QLatin1Char('0');
}

QByteArray encodeProject(const ProjectData &data)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    prepare(out);
    const int loopCount = std::clamp<int>(data.loopCount, 0, kMaxLoops);
    out << kProjectFileMagic << kProjectFormatVersion << data.catalogueVersionNumber;
    writeText(out, data.projectName);
    writeText(out, data.projectLocation);
    writeText(out, data.companyName);
    writeText(out, data.email);
    writeText(out, data.comment);
    writeText(out, data.panelName);
    out << qint32(loopCount);
    writeRow(out, data.cableNames, loopCount);
    for (const QStringList &row : data.countRows)
        writeRow(out, row, loopCount);
    if (data.hasExtraRows || data.hasBattery) {
        out << qint32(data.hasExtraRows ? data.extraCountRows.size() : 0);
        for (const QStringList &row : data.extraCountRows)
            if (data.hasExtraRows)
                writeRow(out, row, loopCount);
    }
    if (data.hasBattery) {
        const QByteArray payload = encodeBattery(data.battery);
        out << kBatteryBlockTag << qint32(payload.size());
        out.writeRawData(payload.constData(), payload.size());
    }
    return out.status() == QDataStream::Ok && bytes.size() <= kMaxProjectFileBytes ? bytes : QByteArray();
}

ProjectFileError decodeProject(const QByteArray &bytes, qint32 catalogueVersionNumber, int deviceCount,
                               ProjectData *data)
{
    QDataStream in(bytes);
    prepare(in);
    const int rows = std::clamp(deviceCount, 0, kMaxDeviceRows);
    ProjectData read;

    qint32 magic = 0, formatVersion = 0;
    if (!readInt(in, &magic) || magic != kProjectFileMagic)
        return ProjectFileError::NotLegal;
    if (!readInt(in, &formatVersion))
        return ProjectFileError::NotLegal;
    if (formatVersion != kProjectFormatVersion)
        return ProjectFileError::WrongVersion;
    if (!readInt(in, &read.catalogueVersionNumber))
        return ProjectFileError::NotLegal;
    if (read.catalogueVersionNumber != catalogueVersionNumber)
        return ProjectFileError::WrongVersion;

    if (!readText(in, &read.projectName) || !readText(in, &read.projectLocation) ||
        !readText(in, &read.companyName) || !readText(in, &read.email) || !readText(in, &read.comment) ||
        !readText(in, &read.panelName))
        return ProjectFileError::NotLegal;
    if (!readInt(in, &read.loopCount) || read.loopCount < 0 || read.loopCount > kMaxLoops)
        return ProjectFileError::NotLegal;
    for (int loop = 0; loop < read.loopCount; ++loop) {
        QString name;
        if (!readText(in, &name))
            return ProjectFileError::NotLegal;
        read.cableNames.append(name);
    }
    if (!readCountRows(in, rows, read.loopCount, &read.countRows))
        return ProjectFileError::NotLegal;

    if (!in.atEnd()) {
        qint32 extraRows = 0;
        if (!readInt(in, &extraRows) || extraRows < 0 || extraRows > kMaxDeviceRows - rows)
            return ProjectFileError::NotLegal;
        if (!readCountRows(in, extraRows, read.loopCount, &read.extraCountRows))
            return ProjectFileError::NotLegal;
        read.hasExtraRows = true;
    }
    // Tagged blocks. Bytes that are not a block this reader knows were always ignored, and are
    // left for later versions of the format; a battery block must be whole and sound.
    QIODevice *device = in.device();
    while (device->bytesAvailable() >= 4) {
        const QByteArray head = device->peek(8);
        const qint32 tag = qFromBigEndian<qint32>(head.constData());
        const qint64 length = head.size() == 8 ? qFromBigEndian<qint32>(head.constData() + 4) : -1;
        const bool fits = length >= 0 && length <= device->bytesAvailable() - 8;
        if (tag != kBatteryBlockTag) {
            if (!fits)
                break;
            device->skip(8 + length);
            continue;
        }
        if (!fits || read.hasBattery)
            return ProjectFileError::NotLegal;
        device->skip(8);
        if (!decodeBattery(device->read(length), &read.battery))
            return ProjectFileError::NotLegal;
        read.hasBattery = true;
    }
    *data = read;
    return ProjectFileError::None;
}

bool operator==(const ProjectData &a, const ProjectData &b)
{
    return a.catalogueVersionNumber == b.catalogueVersionNumber && a.projectName == b.projectName &&
           a.projectLocation == b.projectLocation && a.companyName == b.companyName && a.email == b.email &&
           a.comment == b.comment && a.panelName == b.panelName && a.loopCount == b.loopCount &&
           a.cableNames == b.cableNames && a.countRows == b.countRows && a.hasExtraRows == b.hasExtraRows &&
           a.extraCountRows == b.extraCountRows && a.hasBattery == b.hasBattery && a.battery == b.battery;
}
