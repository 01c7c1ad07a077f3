// SPDX-License-Identifier: GPL-3.0-or-later
// What the interchange formats read and write: rows of the waypoint table's
// six texts, and the rules that turn file values into those texts and back.
//
// Table texts: latitude and longitude are signed decimal degrees as number
// text ("." decimal point, at most 15 significant digits); the elevation is the
// receiver's form, a signed whole number of at least seven digits followed by
// its unit letter ("0000028M", "-0000012M", "0000091F"), or "" when unknown.
#pragma once
#include <QString>
#include <QStringList>

#include <optional>
#include <string_view>
#include <vector>

struct PointRow {
    QString name;
    QString latitude;
    QString longitude;
    QString elevation;
    QString message;
    QString icon;

    bool operator==(const PointRow&) const = default;
};
using PointRows = std::vector<PointRow>;

// What reading a file gave.
struct ReadResult {
    bool ok = false;   // false: the file could not be read as its format; rows is empty
    PointRows rows;    // in file order
    int skipped = 0;   // points left out: coordinates not numbers or out of range
    QString error;     // why not, when !ok (without the file name)
    QStringList notes; // when ok: how the file was read other than as written, one sentence each
};

// What writing rows gave.
struct WriteResult {
    bool ok = false;
    int written = 0; // rows in the file
    int skipped = 0; // rows left out: latitude or longitude not a usable number
    QString error;   // why not, when !ok
};

// One row's coordinates from the table's texts, or nothing when either is not
// a number or lies outside -90..90 / -180..180.
struct Coordinates {
    double latitude = 0;
    double longitude = 0;
};
std::optional<Coordinates> RowCoordinates(const PointRow& row);

// The row's elevation in metres, or nothing when the text is empty or not
// understood. A bare number is metres; a trailing "M"/"m" is metres, "F"/"f"
// feet (3.28083 feet to the metre, as everywhere in this program).
std::optional<double> ElevationMetres(const QString& elevation);

// Metres as the table's receiver form: rounded to whole metres, at least
// seven digits, "M" ("0000028M", "-0000012M").
QString ElevationText(double metres);

// Coordinate text for a file: the table's number text when it is plain
// decimal, else fixed notation (XML and CSV readers do not all take "1E-05").
QString CoordinateText(double degrees);

// True when text is exactly what the table's number text makes of its own
// value (plain decimal, no "+", no needless zeros, at most 15 significant
// digits, 0.0001 <= |value| < 1E+15, or "0"), so it can be kept as it is.
bool IsNumberText(std::string_view text);
bool IsNumberText(const QString& text);

// A coordinate pair read from a file, checked: both numbers (text as the file
// holds it, "." decimal point) and within range. On success sets the table
// texts of row.
bool SetRowCoordinates(PointRow& row, const QString& latitude, const QString& longitude);
bool SetRowCoordinates(PointRow& row, std::string_view latitude, std::string_view longitude);

// The name a track download gives a track point: the time of day of an ISO
// 8601 time ("2014-06-02T13:05:05.77Z"), in UTC, as "hhmmss.ss"; the point's
// number (1 for the first) when the time is empty or cannot be read.
QString TrackPointName(const QString& isoTime, int number);

// Rows that are all empty (a fresh Insert Row) carry nothing to export.
bool IsEmptyRow(const PointRow& row);

// Calls write(row, coordinates) for each row a file can hold: empty rows are
// passed over, rows whose coordinates are unusable counted in result.skipped.
template <typename Write> void ForEachWritableRow(const PointRows& rows, WriteResult& result, Write&& write) {
    for (const PointRow& row : rows) {
        if (IsEmptyRow(row))
            continue;
        const std::optional<Coordinates> c = RowCoordinates(row);
        if (!c) {
            ++result.skipped;
            continue;
        }
        write(row, *c);
    }
}
