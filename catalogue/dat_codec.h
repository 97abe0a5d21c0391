#pragma once

#include "catalogue/catalogue.h"

#include <QByteArray>
#include <QString>

// data.dat and name.dat: little-endian, no header. Texts are a uint32 byte count and UTF-8.

// A catalogue file larger than this is refused unread (the largest real one is a few hundred KB).
constexpr qint64 kMaxDatFileBytes = 64 * 1024 * 1024;

// Panels, cables, devices and the condition values, then a trailing block that older readers
// never reach: per panel, its own quiescent and alarm current, each as int32 given (0/1) and
// float32 mA. Counts outside 0..capacity are written clamped, so the reader always accepts what
// the writer wrote.
QByteArray encodeDataFile(const Catalogue &c);

// Replaces the records, their counts and the condition values of c. The own-current block is
// optional: without it no panel gives its own currents. Returns false, leaving c unchanged, when
// a count is negative or above the capacity, the bytes end before the last field (also inside
// the block) or a given-flag is neither 0 nor 1; *reason, when given, then says which count or
// where the file ends. Bytes after the block are ignored.
bool decodeDataFile(const QByteArray &bytes, Catalogue &c, QString *reason = nullptr);

// The names of the first panelCount/cableCount/deviceCount records, the version text and number,
// then extraDeviceRows and each device's second row (hasSecondRow as int32 0/1, secondRowName).
QByteArray encodeNameFile(const Catalogue &c);

// Reads the names with the counts already in c. The second-row block is optional: without it the
// second-row fields and extraDeviceRows are left as they are. Returns false, leaving c unchanged,
// when the bytes end early (also inside the block) or a second-row flag is neither 0 nor 1, with
// why in *reason when given.
bool decodeNameFile(const QByteArray &bytes, Catalogue &c, QString *reason = nullptr);
