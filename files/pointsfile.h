// SPDX-License-Identifier: GPL-3.0-or-later
// The points file record format (extension ".gps").
//
// A points file has no header, count or trailer: records follow each other
// with no padding and the file ends after the last one. Each record holds six
// fields in this order:
//   name       text field
//   latitude   8-byte IEEE-754 double, little-endian, decimal degrees (south negative)
//   longitude  8-byte IEEE-754 double, little-endian, decimal degrees (west negative)
//   elevation  text field
//   message    text field
//   icon       text field
// A text field is a 16-bit little-endian byte count n followed by n bytes of
// Windows-1252 text, no terminator (n = 0 for empty text).
//
// Example, 36 bytes: WP1, 35.5, -90.25, "0000028M", "", "a" is
//   03 00 'W' 'P' '1' | 8 bytes of 35.5 | 8 bytes of -90.25 |
//   08 00 "0000028M" | 00 00 | 01 00 'a'
//
// These functions are pure: they touch no file and no window.
#pragma once
#include <QByteArray>
#include <QString>

#include <cstddef>

struct PointsRecord {
    QString name;
    double latitude = 0.0;  // decimal degrees
    double longitude = 0.0; // decimal degrees
    QString elevation;
    QString message;
    QString icon;

    bool operator==(const PointsRecord&) const = default;
};

// Largest byte count a text field can carry.
inline constexpr int kMaxTextFieldBytes = 0xFFFF;

// Which field of a record; the numbers are the table's column numbers.
enum PointsField : int {
    fieldName = 1,
    fieldLatitude = 2,
    fieldLongitude = 3,
    fieldElevation = 4,
    fieldMessage = 5,
    fieldIcon = 6
};

// Appends the record's bytes to out. Characters Windows-1252 lacks are written
// as '?'; *changedFields (when given) gets bit (1 << field) set for each text
// field that had such a character. When a text field needs more than
// kMaxTextFieldBytes bytes, nothing is appended, *tooLong (when given) is set
// to that field, and the result is false.
bool AppendRecord(QByteArray& out, const PointsRecord& record, PointsField* tooLong = nullptr,
                  unsigned* changedFields = nullptr);

// Decodes the record at the front of data[0, size). Returns the number of
// bytes it took, or 0 when the bytes do not hold one whole record (none at all,
// or one cut short); out is then unspecified. Never reads past data + size.
std::size_t DecodeRecord(const char* data, std::size_t size, PointsRecord& out);
