#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// A block of device counts as spreadsheets copy it: rows separated by line breaks (LF, CR LF or
// CR), cells by tabs, or by ";" or "," in text without a tab. One line break at the end ends the
// last row and adds none. Each cell is trimmed; an empty cell counts 0.
struct CountBlock {
    // Counts row by row; rows may differ in length (a short row leaves the fields after it alone).
    QVector<QVector<int>> rows;
    int width = 0;  // cells in the longest row
    // More rows than any grid holds (kMaxDeviceRows): the rows after that were not read.
    bool tooManyRows = false;

    // The first cell, in reading order, that is not a whole number from 0 to 999; row and
    // column count from 1 in the block. badRow is 0 when every cell read is a count.
    int badRow = 0;
    int badColumn = 0;
    QString badText;

    bool hasBadCell() const { return badRow > 0; }
    bool isEmpty() const { return rows.isEmpty(); }
};

CountBlock parseCountBlock(const QString &text);

// One cell: digits only, leading zeros allowed ("007" is 7), 0 to 999; empty is 0. -1 otherwise.
int countCellValue(const QString &trimmedCell);

// The text a count field keeps of what was typed or pasted into it: blanks removed and leading
// zeros dropped ("007" becomes "7", "00" becomes "0"). pos, the cursor, moves with the text.
void normaliseCountInput(QString &input, int &pos);

// The grid as tab-separated text for a spreadsheet: the header row, then one line per row, each
// ending in a line feed. Tabs and line breaks inside a text become blanks.
QString tabSeparatedText(const QStringList &headers, const QVector<QStringList> &rows);
