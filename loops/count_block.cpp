#include "loops/count_block.h"

#include <algorithm>

#include <QStringRef>

#include "catalogue/catalogue.h"

namespace {

QChar cellSeparator(const QString &text)
{
    if (text.contains(QLatin1Char('\t')))
        return QLatin1Char('\t');
    // ";" before ",": a list separated by ";" may hold a decimal comma, which must stay in its cell.
    if (text.contains(QLatin1Char(';')))
        return QLatin1Char(';');
    if (text.contains(QLatin1Char(',')))
        return QLatin1Char(',');
    return QChar();
}

}  // namespace

int countCellValue(const QString &trimmedCell)
{
    if (trimmedCell.isEmpty())
        return 0;
    int value = 0;
    for (const QChar c : trimmedCell) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        value = value * 10 + (c.unicode() - '0');
        if (value > 999)
            return -1;
    }
    return value;
}

CountBlock parseCountBlock(const QString &text)
{
    CountBlock block;
    if (text.isEmpty())
        return block;
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (lines.endsWith(QLatin1Char('\n')))
        lines.chop(1);
    const QChar separator = cellSeparator(lines);

    int start = 0;
    while (start <= lines.size()) {
        if (block.rows.size() == kMaxDeviceRows) {
            block.tooManyRows = true;
            break;
        }
        int end = lines.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = lines.size();
        const QStringRef line = lines.midRef(start, end - start);
        const QVector<QStringRef> cells =
            separator.isNull() ? QVector<QStringRef>{line} : line.split(separator);
        QVector<int> counts;
        counts.reserve(cells.size());
        for (const QStringRef &cell : cells) {
            const QString trimmed = cell.trimmed().toString();
            const int value = countCellValue(trimmed);
            if (value < 0 && !block.hasBadCell()) {
                block.badRow = block.rows.size() + 1;
                block.badColumn = counts.size() + 1;
                block.badText = trimmed;
            }
            counts.append(value < 0 ? 0 : value);
        }
        block.width = std::max(block.width, int(counts.size()));
        block.rows.append(counts);
        start = end + 1;
    }
    return block;
}

void normaliseCountInput(QString &input, int &pos)
{
    for (int i = input.size() - 1; i >= 0; --i) {
        if (input.at(i).isSpace()) {
            input.remove(i, 1);
            if (i < pos)
                --pos;
        }
    }
    int zeros = 0;
    while (zeros + 1 < input.size() && input.at(zeros) == QLatin1Char('0'))
        ++zeros;
    if (zeros > 0) {
        input.remove(0, zeros);
        pos = std::max(0, pos - zeros);
    }
}

QString tabSeparatedText(const QStringList &headers, const QVector<QStringList> &rows)
{
    auto cleaned = [](QString cell) {
        for (QChar &c : cell)
            if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
                c = QLatin1Char(' ');
        return cell;
    };
    auto line = [&cleaned](const QStringList &cells) {
        QStringList out;
        out.reserve(cells.size());
        for (const QString &cell : cells)
            out.append(cleaned(cell));
        return out.join(QLatin1Char('\t')) + QLatin1Char('\n');
    };
    QString text = line(headers);
    for (const QStringList &row : rows)
        text += line(row);
    return text;
}
