#pragma once

#include "catalogue/workbook.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVector>

// Bounds on what a workbook may make the reader do; beyond any of them it is unreadable.
namespace XlsxLimits {
constexpr qint64 maxFileBytes = 50 * 1024 * 1024;
constexpr int maxZipEntries = 1000;
constexpr qint64 maxPartBytes = 64 * 1024 * 1024;    // counted while inflating
constexpr qint64 maxTotalBytes = 100 * 1024 * 1024;  // all parts read together
constexpr int maxTagBytes = 16 * 1024;
constexpr int maxElementDepth = 64;
constexpr int maxCellTextLength = 32767;  // the spreadsheet's own limit
constexpr int maxRow = 1048576;
constexpr int maxColumn = 16384;  // XFD
}  // namespace XlsxLimits

// A whole .xlsx workbook read into memory at open(): every sheet reached from the workbook is
// parsed then, so a damaged or hostile file is refused as a whole and never yields partial data.
class XlsxWorkbook final : public Workbook {
public:
    // False, with errorString() saying why, when the file cannot be read as a workbook; the
    // workbook is then empty.
    bool open(const QString &path);
    bool openBytes(const QByteArray &bytes);
    QString errorString() const { return error; }

    int sheetCount() const override;
    QString sheetName(int position) const override;
    QVariant cellValue(int sheet, int row, int column) const override;

    enum class CellKind : quint8 { Number, Text, Boolean };
    struct Cell {
        quint64 key;  // row << 16 | column
        CellKind kind;
        double number;  // Number; Boolean as 0/1
        int text;       // index into texts for Text
    };
    struct Sheet {
        QString name;
        QVector<Cell> cells;  // sorted by key, one per position
    };

private:
    bool fail(const QString &reason);

    QVector<Sheet> sheets;
    QVector<QString> texts;
    QString error;
};

// Decodes the _xHHHH_ escapes of OOXML text (_x005F_ is the underscore itself).
QString decodeOoxmlEscapes(const QString &text);

// Parses a strict A1 reference (rows 1..1048576, columns A..XFD, no '$', upper case).
bool parseCellReference(const QString &reference, int &row, int &column);
