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

// Reads field by field; every read is checked at once (past the end, later reads would quietly
// return zeros), and the first failure keeps why, naming the field and the byte.
class FieldReader {
public:
    explicit FieldReader(const QByteArray &bytes) : bytes_(bytes), in_(bytes) { prepare(in_); }

    bool int32(qint32 *value, const QString &what)
    {
        const qint64 at = position();
        in_ >> *value;
        return in_.status() == QDataStream::Ok || endsEarly(at, what);
    }

    bool text(QString *value, const QString &what)
    {
        const qint64 at = position();
        if (bytes_.size() - at < 4)
            return endsEarly(at, what);
        // A length beyond the end of the file would make the stream allocate up to 2 MiB before
        // it notices; refusing it here is the same answer, found without the allocation.
        const quint32 length = qFromBigEndian<quint32>(bytes_.constData() + at);
        if (length != 0xFFFFFFFFu && qint64(length) > bytes_.size() - at - 4)
            return endsEarly(at, what);
        if (length != 0xFFFFFFFFu && length % 2 != 0)
            return fail(QStringLiteral("%1 at byte %2 has an odd length of %3 bytes, which UTF-16 text "
                                       "cannot have.")
                            .arg(capitalised(what))
                            .arg(at)
                            .arg(length));
        in_ >> *value;
        return in_.status() == QDataStream::Ok || endsEarly(at, what);
    }

    bool countRows(int rows, int firstRow, int loopCount, QVector<QStringList> *out)
    {
        out->reserve(rows);
        for (int row = 0; row < rows; ++row) {
            QStringList texts;
            texts.reserve(loopCount);
            for (int loop = 0; loop < loopCount; ++loop) {
                const QString what =
                    QStringLiteral("the count of device row %1 on Loop%2").arg(firstRow + row + 1).arg(loop + 1);
                QString text;
                if (!this->text(&text, what))
                    return false;
                if (!isCountText(text))
                    return fail(QStringLiteral("%1 is \"%2\", which a count field cannot hold (0 to 999).")
                                    .arg(capitalised(what), text.left(20)));
                texts.append(text);
            }
            out->append(texts);
        }
        return true;
    }

    bool fail(const QString &why)
    {
        reason = why;
        return false;
    }
    bool atEnd() const { return in_.atEnd(); }
    qint64 position() const { return in_.device()->pos(); }
    QIODevice *device() const { return in_.device(); }

    QString reason;

private:
    static QString capitalised(QString text)
    {
        if (!text.isEmpty())
            text[0] = text[0].toUpper();
        return text;
    }

    bool endsEarly(qint64 at, const QString &what)
    {
        if (bytes_.isEmpty())
            return fail(QStringLiteral("The file is empty."));
        return fail(QStringLiteral("The file ends early, at byte %1, %2 %3.")
                        .arg(bytes_.size())
                        .arg(at == bytes_.size() ? QStringLiteral("before") : QStringLiteral("inside"), what));
    }

    const QByteArray &bytes_;
    QDataStream in_;
};

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

bool readInt(QDataStream &in, qint32 *value)
{
    in >> *value;
    return in.status() == QDataStream::Ok;
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

QString otherCatalogueReason(qint32 saved, qint32 current)
{
    return QStringLiteral("It was saved under catalogue version number %1; this catalogue is number %2. "
                          "quillon-project migrate carries a project over.")
        .arg(saved)
        .arg(current);
}

namespace {

ProjectFileError refuse(ProjectFileError error, const QString &why, QString *reason)
{
    if (reason)
        *reason = why;
    return error;
}

QString hexBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

}  // namespace

ProjectFileError decodeProject(const QByteArray &bytes, qint32 catalogueVersionNumber, int deviceCount,
                               ProjectData *data, QString *reason)
{
    FieldReader in(bytes);
    const int rows = std::clamp(deviceCount, 0, kMaxDeviceRows);
    const auto notLegal = [&in, reason] { return refuse(ProjectFileError::NotLegal, in.reason, reason); };
    ProjectData read;

    qint32 magic = 0, formatVersion = 0;
    if (!in.int32(&magic, QStringLiteral("the mark that begins a project file")))
        return notLegal();
    if (magic != kProjectFileMagic) {
        QByteArray expected(4, '\0');
        qToBigEndian(kProjectFileMagic, expected.data());
        return refuse(ProjectFileError::NotLegal,
                      QStringLiteral("It is not a Quillon project: it begins with the bytes %1, where a project "
                                     "file begins with %2.")
                          .arg(hexBytes(bytes.left(4)), hexBytes(expected)),
                      reason);
    }
    if (!in.int32(&formatVersion, QStringLiteral("the format version")))
        return notLegal();
    if (formatVersion != kProjectFormatVersion)
        return refuse(ProjectFileError::WrongVersion,
                      QStringLiteral("It is written in project format version %1; this Quillon reads format "
                                     "version %2.")
                          .arg(formatVersion)
                          .arg(kProjectFormatVersion),
                      reason);
    if (!in.int32(&read.catalogueVersionNumber, QStringLiteral("the catalogue version number")))
        return notLegal();
    if (read.catalogueVersionNumber != catalogueVersionNumber)
        return refuse(ProjectFileError::WrongVersion,
                      otherCatalogueReason(read.catalogueVersionNumber, catalogueVersionNumber), reason);

    if (!in.text(&read.projectName, QStringLiteral("the project name")) ||
        !in.text(&read.projectLocation, QStringLiteral("the project location")) ||
        !in.text(&read.companyName, QStringLiteral("the company name")) ||
        !in.text(&read.email, QStringLiteral("the e-mail address")) ||
        !in.text(&read.comment, QStringLiteral("the comment")) ||
        !in.text(&read.panelName, QStringLiteral("the panel name")))
        return notLegal();
    if (!in.int32(&read.loopCount, QStringLiteral("the loop count")))
        return notLegal();
    if (read.loopCount < 0 || read.loopCount > kMaxLoops)
        return refuse(ProjectFileError::NotLegal,
                      QStringLiteral("The loop count is %1; a project has 0 to %2 loops.")
                          .arg(read.loopCount)
                          .arg(kMaxLoops),
                      reason);
    for (int loop = 0; loop < read.loopCount; ++loop) {
        QString name;
        if (!in.text(&name, QStringLiteral("the cable name of Loop%1").arg(loop + 1)))
            return notLegal();
        read.cableNames.append(name);
    }
    if (!in.countRows(rows, 0, read.loopCount, &read.countRows))
        return notLegal();

    if (!in.atEnd()) {
        qint32 extraRows = 0;
        if (!in.int32(&extraRows, QStringLiteral("the number of further count rows")))
            return notLegal();
        if (extraRows < 0 || extraRows > kMaxDeviceRows - rows)
            return refuse(ProjectFileError::NotLegal,
                          QStringLiteral("The file holds %1 further count rows; this catalogue has room for 0 "
                                         "to %2.")
                              .arg(extraRows)
                              .arg(kMaxDeviceRows - rows),
                          reason);
        if (!in.countRows(extraRows, rows, read.loopCount, &read.extraCountRows))
            return notLegal();
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
        const qint64 at = device->pos();
        const auto damaged = [&] {
            return refuse(ProjectFileError::NotLegal,
                          QStringLiteral("The battery inputs at byte %1 are damaged.").arg(at), reason);
        };
        if (!fits || read.hasBattery)
            return damaged();
        device->skip(8);
        if (!decodeBattery(device->read(length), &read.battery))
            return damaged();
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
