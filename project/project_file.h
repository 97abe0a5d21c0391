#pragma once

#include "battery/battery_calculation.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

// The *.stm layout, big-endian: magic, format version, catalogue version number, five texts,
// panel name, loop count, loopCount cable names, deviceCount x loopCount count texts (row-major),
// then the count texts of the grid rows beyond deviceCount: E, then E x loopCount texts, then
// tagged blocks, each int32 tag, int32 byte length and that many bytes. The battery block
// (kBatteryBlockTag) holds BatteryInputs. Files without these trailing blocks (older ones) are
// still read, and older readers stop before them.
constexpr qint32 kProjectFileMagic = 0x20220112;
constexpr qint32 kProjectFormatVersion = 1;
constexpr qint32 kBatteryBlockTag = 0x42415454;  // "BATT"

// A project file is a few kilobytes; refusing anything larger keeps a stray file from being
// read into memory whole. The writer holds to the same limit, so Open reads whatever Save wrote.
constexpr qint64 kMaxProjectFileBytes = 32 * 1024 * 1024;

struct ProjectData {
    qint32 catalogueVersionNumber = 0;
    QString projectName;
    QString projectLocation;
    QString companyName;
    QString email;
    QString comment;  // plain text, line breaks as '\n'
    QString panelName;
    qint32 loopCount = 0;                // 0..16
    QStringList cableNames;              // loopCount entries
    QVector<QStringList> countRows;      // the first deviceCount grid rows, loopCount texts each
    bool hasExtraRows = false;           // the trailing block is written / was present
    QVector<QStringList> extraCountRows; // the rows after them, loopCount texts each
    bool hasBattery = false;             // the battery block is written / was present
    BatteryInputs battery;               // the defaults when the file has no battery block
};

// Field by field: two projects that would be written to the same bytes.
bool operator==(const ProjectData &a, const ProjectData &b);

enum class ProjectFileError {
    None,
    NotLegal,      // wrong magic, ends early, damaged text, counts out of range
    WrongVersion,  // another format version or another catalogue version number
};

// Writes every row with exactly loopCount texts (missing entries as empty texts). The battery
// block follows the extra-row block; with hasBattery and no extra rows, an empty one is written. Empty texts
// are written with length 0, so the bytes do not depend on how a widget stores an empty text.
// Returns an empty array if the stream failed or the file would exceed kMaxProjectFileBytes
// (a project is never empty).
QByteArray encodeProject(const ProjectData &data);

// Reads a whole file. deviceCount is the number of rows field 12 holds for the loaded
// catalogue. On an error *data is left untouched and *reason, when given, says in one or two
// sentences what is wrong: not a project file, where it ends early, which value is out of range.
ProjectFileError decodeProject(const QByteArray &bytes, qint32 catalogueVersionNumber, int deviceCount,
                               ProjectData *data, QString *reason = nullptr);

// The reason given for a project saved under another catalogue version number.
QString otherCatalogueReason(qint32 saved, qint32 current);

// The count texts of grid row `row`, from whichever block holds it; nothing when the file does not.
const QStringList *projectCountRow(const ProjectData &data, int row);

// The catalogue version number a file was saved under (field 3), when its magic number and
// format version are right; nothing otherwise. Reads no further than field 3.
std::optional<qint32> storedCatalogueVersionNumber(const QByteArray &bytes);

// What a device-count field can hold: empty, or 0..999 without leading zeros.
bool isCountText(const QString &text);
