#include "catalogue/dat_codec.h"

#include <QBuffer>
#include <QDataStream>
#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

void configure(QDataStream &stream)
{
    stream.setByteOrder(QDataStream::LittleEndian);
    stream.setFloatingPointPrecision(QDataStream::SinglePrecision);
}

class DatWriter {
public:
    explicit DatWriter(QByteArray *bytes) : buffer(bytes), stream(&buffer)
    {
        buffer.open(QIODevice::WriteOnly);
        configure(stream);
    }
    void int32(qint32 value) { stream << value; }
    // The 4-byte image is copied, so NaN payloads and signalling NaNs survive unchanged.
    void float32(float value)
    {
        quint32 image;
        std::memcpy(&image, &value, sizeof image);
        stream << image;
    }
    void text(const QString &value)
    {
        const QByteArray utf8 = value.toUtf8();
        stream.writeBytes(utf8.constData(), uint(utf8.size()));
    }

private:
    QBuffer buffer;
    QDataStream stream;
};

// Every read checks what is left first, so a truncated file or a lying length is noticed at once
// and nothing is ever allocated beyond the file's own size. The first failure keeps why; what is
// read is named only then, so that reading a good file builds no texts.
class DatReader {
public:
    explicit DatReader(const QByteArray &bytes) : data(bytes) {}

    bool int32(qint32 &value, const char *what, int index = -1)
    {
        quint32 image = 0;
        if (!uint32(image, what, index))
            return false;
        value = qint32(image);
        return true;
    }
    bool float32(float &value, const char *what, int index = -1)
    {
        quint32 image = 0;
        if (!uint32(image, what, index))
            return false;
        std::memcpy(&value, &image, sizeof value);
        return true;
    }
    bool text(QString &value, const char *what, int index = -1)
    {
        const int at = position;
        quint32 length = 0;
        if (!uint32(length, what, index))
            return false;
        if (length > quint32(data.size() - position))
            return endsEarly(at, what, index);
        value = QString::fromUtf8(data.constData() + position, int(length));
        position += int(length);
        return true;
    }
    bool count(qint32 &value, int capacity, const char *what)
    {
        if (!int32(value, what))
            return false;
        if (value >= 0 && value <= capacity)
            return true;
        return fail(QStringLiteral("The %1 is %2; a catalogue holds 0 to %3.")
                        .arg(QLatin1String(what))
                        .arg(value)
                        .arg(capacity));
    }
    bool atEnd() const { return position == data.size(); }
    bool fail(const QString &why)
    {
        reason = why;
        return false;
    }

    QString reason;

private:
    bool uint32(quint32 &value, const char *what, int index)
    {
        if (data.size() - position < 4)
            return endsEarly(position, what, index);
        const auto *p = reinterpret_cast<const uchar *>(data.constData() + position);
        value = quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
        position += 4;
        return true;
    }
    bool endsEarly(int at, const char *what, int index)
    {
        if (data.isEmpty())
            return fail(QStringLiteral("The file is empty."));
        QString field = QLatin1String(what);
        if (index >= 0)
            field += QLatin1Char(' ') + QString::number(index + 1);
        return fail(QStringLiteral("The file ends early, at byte %1, %2 the %3.")
                        .arg(data.size())
                        .arg(at == data.size() ? QStringLiteral("before") : QStringLiteral("inside"), field));
    }

    const QByteArray &data;
    int position = 0;
};

bool refuse(const DatReader &in, QString *reason)
{
    if (reason)
        *reason = in.reason;
    return false;
}

}  // namespace

QByteArray encodeDataFile(const Catalogue &c)
{
    QByteArray bytes;
    DatWriter out(&bytes);
    const int panels = validPanelCount(c);
    out.int32(panels);
    for (int i = 0; i < panels; ++i) {
        const PanelRecord &p = c.panels[i];
        out.text(p.code);
        out.text(p.name);
        out.int32(p.loopCount);
        out.float32(p.loopVoltage);
        out.float32(p.maxLoopCurrent);
        for (qint32 limit : p.maxDevices)
            out.int32(limit);
    }
    const int cables = validCableCount(c);
    out.int32(cables);
    for (int i = 0; i < cables; ++i) {
        out.text(c.cables[i].code);
        out.text(c.cables[i].name);
        out.float32(c.cables[i].resistance);
    }
    const int devices = validDeviceCount(c);
    out.int32(devices);
    for (int i = 0; i < devices; ++i) {
        const DeviceRecord &d = c.devices[i];
        out.text(d.code);
        out.text(d.name);
        out.text(d.type);
        out.float32(d.quiescentCurrent);
        out.float32(d.alarmCurrent);
    }
    out.float32(c.condition.minLoopVoltage);
    out.float32(c.condition.maxLoopLength);
    out.int32(c.condition.maxDeviceSum);

    // Trailing block, past where older readers stop: each panel's own currents.
    for (int i = 0; i < panels; ++i) {
        for (const std::optional<float> &current : {c.panels[i].ownQuiescentCurrent, c.panels[i].ownAlarmCurrent}) {
            out.int32(current ? 1 : 0);
            out.float32(current.value_or(0.0f));
        }
    }
    return bytes;
}

bool decodeDataFile(const QByteArray &bytes, Catalogue &c, QString *reason)
{
    DatReader in(bytes);
    Catalogue read;  // fresh records: second-row fields and loop counts stay empty

    if (!in.count(read.panelCount, kPanelCapacity, "panel count"))
        return refuse(in, reason);
    for (int i = 0; i < read.panelCount; ++i) {
        PanelRecord &p = read.panels[i];
        if (!in.text(p.code, "code of panel", i) || !in.text(p.name, "name of panel", i)
            || !in.int32(p.loopCount, "loop count of panel", i) || !in.float32(p.loopVoltage, "loop voltage of panel", i)
            || !in.float32(p.maxLoopCurrent, "loop current limit of panel", i))
            return refuse(in, reason);
        for (qint32 &limit : p.maxDevices)
            if (!in.int32(limit, "device limits of panel", i))
                return refuse(in, reason);
    }
    if (!in.count(read.cableCount, kCableCapacity, "cable count"))
        return refuse(in, reason);
    for (int i = 0; i < read.cableCount; ++i) {
        CableRecord &k = read.cables[i];
        if (!in.text(k.code, "code of cable", i) || !in.text(k.name, "name of cable", i)
            || !in.float32(k.resistance, "resistance of cable", i))
            return refuse(in, reason);
    }
    if (!in.count(read.deviceCount, kDeviceCapacity, "device count"))
        return refuse(in, reason);
    for (int i = 0; i < read.deviceCount; ++i) {
        DeviceRecord &d = read.devices[i];
        if (!in.text(d.code, "code of device", i) || !in.text(d.name, "name of device", i)
            || !in.text(d.type, "type of device", i) || !in.float32(d.quiescentCurrent, "quiescent current of device", i)
            || !in.float32(d.alarmCurrent, "alarm current of device", i))
            return refuse(in, reason);
    }
    if (!in.float32(read.condition.minLoopVoltage, "minimum loop voltage")
        || !in.float32(read.condition.maxLoopLength, "maximum loop length")
        || !in.int32(read.condition.maxDeviceSum, "limit of the restricted devices"))
        return refuse(in, reason);

    // Files written before the own currents existed end here: the panels then give none.
    if (!in.atEnd()) {
        for (int i = 0; i < read.panelCount; ++i) {
            for (std::optional<float> *current : {&read.panels[i].ownQuiescentCurrent, &read.panels[i].ownAlarmCurrent}) {
                qint32 given = 0;
                float value = 0.0f;
                if (!in.int32(given, "own current flag of panel", i) || !in.float32(value, "own current of panel", i))
                    return refuse(in, reason);
                if (given != 0 && given != 1) {
                    in.fail(QStringLiteral("The own current flag of panel %1 is %2, not 0 or 1.").arg(i + 1).arg(given));
                    return refuse(in, reason);
                }
                if (given == 1)
                    *current = value;
            }
        }
    }

    std::copy(std::begin(read.panels), std::end(read.panels), std::begin(c.panels));
    std::copy(std::begin(read.cables), std::end(read.cables), std::begin(c.cables));
    std::copy(std::begin(read.devices), std::end(read.devices), std::begin(c.devices));
    c.panelCount = read.panelCount;
    c.cableCount = read.cableCount;
    c.deviceCount = read.deviceCount;
    c.condition = read.condition;
    return true;
}

QByteArray encodeNameFile(const Catalogue &c)
{
    QByteArray bytes;
    DatWriter out(&bytes);
    const int panels = validPanelCount(c);
    const int cables = validCableCount(c);
    const int devices = validDeviceCount(c);
    for (int i = 0; i < panels; ++i)
        out.text(c.panels[i].name);
    for (int i = 0; i < cables; ++i)
        out.text(c.cables[i].name);
    for (int i = 0; i < devices; ++i)
        out.text(c.devices[i].name);
    out.text(c.catalogueVersion);
    out.int32(c.catalogueVersionNumber);

    out.int32(c.extraDeviceRows);
    for (int i = 0; i < devices; ++i) {
        out.int32(c.devices[i].hasSecondRow ? 1 : 0);
        out.text(c.devices[i].secondRowName);
    }
    return bytes;
}

bool decodeNameFile(const QByteArray &bytes, Catalogue &c, QString *reason)
{
    DatReader in(bytes);
    const int panels = validPanelCount(c);
    const int cables = validCableCount(c);
    const int devices = validDeviceCount(c);
    QString panelNames[kPanelCapacity];
    QString cableNames[kCableCapacity];
    QString deviceNames[kDeviceCapacity];
    QString version;
    qint32 versionNumber = 0;

    for (int i = 0; i < panels; ++i)
        if (!in.text(panelNames[i], "name of panel", i))
            return refuse(in, reason);
    for (int i = 0; i < cables; ++i)
        if (!in.text(cableNames[i], "name of cable", i))
            return refuse(in, reason);
    for (int i = 0; i < devices; ++i)
        if (!in.text(deviceNames[i], "name of device", i))
            return refuse(in, reason);
    if (!in.text(version, "catalogue version") || !in.int32(versionNumber, "catalogue version number"))
        return refuse(in, reason);

    const bool hasSecondRowBlock = !in.atEnd();
    qint32 extraRows = 0;
    bool secondRowFlags[kDeviceCapacity] = {};
    QString secondRowNames[kDeviceCapacity];
    if (hasSecondRowBlock) {
        if (!in.int32(extraRows, "number of second rows"))
            return refuse(in, reason);
        for (int i = 0; i < devices; ++i) {
            qint32 flag;
            if (!in.int32(flag, "second-row mark of device", i))
                return refuse(in, reason);
            if (flag != 0 && flag != 1) {
                in.fail(QStringLiteral("The second-row mark of device %1 is %2, not 0 or 1.").arg(i + 1).arg(flag));
                return refuse(in, reason);
            }
            if (!in.text(secondRowNames[i], "second-row name of device", i))
                return refuse(in, reason);
            secondRowFlags[i] = flag == 1;
        }
    }

    for (int i = 0; i < panels; ++i)
        c.panels[i].name = panelNames[i];
    for (int i = 0; i < cables; ++i)
        c.cables[i].name = cableNames[i];
    for (int i = 0; i < devices; ++i)
        c.devices[i].name = deviceNames[i];
    c.catalogueVersion = version;
    c.catalogueVersionNumber = versionNumber;
    if (hasSecondRowBlock) {
        c.extraDeviceRows = extraRows;
        for (int i = 0; i < devices; ++i) {
            c.devices[i].hasSecondRow = secondRowFlags[i];
            c.devices[i].secondRowName = secondRowNames[i];
        }
    }
    return true;
}
