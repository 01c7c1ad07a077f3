// SPDX-License-Identifier: GPL-3.0-or-later
// The table side of a download: received data lines become waypoint table rows.
#pragma once
#include <QStringList>

class WaypointRows;

struct AddedPoints {
    int added = 0;
    int badChecksum = 0;   // the line's checksum did not match
    int tooFewFields = 0;  // fewer than ten fields
    int badCoordinate = 0; // a latitude or longitude that is not ddmm.mmm
    int skipped() const { return badChecksum + tooFewFields + badCoordinate; }
};

// Appends one row per convertible data line after the table's last row, in
// order (columns 1 name, 2 latitude, 3 longitude, 4 elevation, 5 message,
// 6 icon; no mark). Lines that cannot be converted are left out and counted.
AddedPoints AppendReceivedPoints(WaypointRows& grid, const QStringList& dataLines);

// The one message after a download that left lines out; "" when none were.
QString SkippedLinesMessage(const AddedPoints& result);
