// SPDX-License-Identifier: GPL-3.0-or-later
// Magellan sentences: "$", keyword and comma-separated fields, "*", two
// upper-case hexadecimal digits of the XOR of every byte between "$" and "*",
// CR LF. Pure text functions, no port and no clock.
#pragma once
#include <QString>
#include <QStringList>

// The two-digit checksum of text passed as "$" ... "*" CR LF: the XOR of the
// ANSI bytes from the second through the fourth-last character, upper-case hex
// with a leading zero below 16. Shorter texts give "00".
QString SentenceChecksum(const QString& text);

// bodyThroughStar ("$PMGNCMD,TRACK,2*") followed by its checksum and CR LF.
QString BuildSentence(const QString& bodyThroughStar);

// Fixed sentences, CR LF included.
extern const QString kVersionRequest;   // "$PMGNCMD,VERSION,2*36"
extern const QString kTonCommand;       // "$PMGNCMD,TON*27"
extern const QString kWaypointRequest;  // "$PMGNCMD,WAYPOINT*71"
extern const QString kTrackRequest;     // "$PMGNCMD,TRACK,2*23"
extern const QString kDeleteAllRequest; // "$PMGNCMD,DELETE,WAYPOINT*44"
// Fixed replies, without CR LF.
extern const QString kUnableReply; // "$PMGNCMD,UNABLE*63"
extern const QString kEndReply;    // "$PMGNCMD,END*3D"

// True when line (without CR LF) is "$", body, "*", two hex digits that equal
// the body's checksum. The last "*" starts the checksum, so a body may hold "*".
bool HasValidChecksum(const QString& line);

// line without a trailing "*hh" (when it ends that way) and without CR LF.
QString StripChecksum(const QString& line);

// A field as received: each ESC (27) followed by two hexadecimal digits stands
// for the character of that code (a receiver writes "," as ESC "2C"). An ESC
// not followed by two hex digits is kept as it is.
QString DecodeEscapes(const QString& field);

// line without "*hh" and CR LF, split at "," and each field decoded.
QStringList SplitReceivedFields(const QString& line);

// Degrees from a receiver's ddmm.mmm / dddmm.mmm field: the digits before the
// last two in front of the decimal point are degrees, the rest minutes. The
// three-decimal form gives exactly Val(degrees) + Val(minutes) / 60. Returns
// false when the field is not of that form (too short, not digits).
bool ParseDegreesMinutes(const QString& field, double* degrees);

// One data line of a download turned into table texts.
struct ReceivedPoint {
    QString name;      // field 7
    QString latitude;  // signed decimal degrees as text
    QString longitude; // signed decimal degrees as text
    QString elevation; // fields 5 and 6 joined ("0000028M")
    QString message;   // field 8
    QString icon;      // field 9 of a waypoint line; its first character otherwise
};
enum class LineProblem { None, Checksum, TooFewFields, BadCoordinate };
// Converts one received line (without CR LF). Checks the checksum first.
LineProblem ParseDataLine(const QString& line, ReceivedPoint* out);

// Upload fields from table texts.
// A decimal-degree text as the receiver's field: degrees padded with "0" to
// degreeDigits (2 latitude, 3 longitude), minutes rounded to three decimals
// (halves to even) in the form mm.mmm. A text without "." is whole degrees.
// hemisphere is positive ("N"/"E") for a value above zero, else negative
// ("S"/"W"). Returns false (and leaves the outputs alone) when text is not a number.
bool CoordinateToField(const QString& text, int degreeDigits, QChar positive, QChar negative, QString* field,
                       QString* hemisphere);
// Altitude and unit from an elevation text such as "0000028M": the last four
// characters before the unit letter ("0028"), a leading "-" kept ("-0012");
// the unit is the last character. Returns false for texts shorter than two.
bool ElevationToFields(const QString& elevation, QString* altitude, QString* unit);
