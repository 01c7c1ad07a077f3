// SPDX-License-Identifier: GPL-3.0-or-later
// Points files to and from the waypoint table. The table is the document:
// loading fills the grid's cells, saving reads them; there is no other copy.
// Nothing here shows a message: results carry the text the caller shows.
#pragma once
#include <QByteArray>
#include <QString>

class FlexGrid;
class QIODevice;

struct PointsLoadResult {
    bool ok = false;
    bool fileExisted = false; // a file or folder was at the path before the load
    int rows = 0;             // data rows now in the table
    QString error;            // message for the user when !ok (names the file)
};

// Sets up the empty table, then appends one unmarked row per whole record of
// the file at path, in file order: name, latitude and longitude as number text
// ("." decimal point, at most 15 significant digits), elevation, message, icon.
// A cut-short last record is dropped. A path where nothing exists is created as
// an empty file and gives an empty table. An existing file is only read, so a
// read-only file opens; a folder, pipe or device is refused. On a failure the
// rows read so far stay in the table.
PointsLoadResult LoadPointsFile(const QString& path, FlexGrid& grid);

// The reading part of LoadPointsFile: appends the records that in (open for
// reading) holds from its position to its end after the table's last row.
// error names `name` when the device fails.
PointsLoadResult LoadPoints(QIODevice& in, FlexGrid& grid, const QString& name);

struct PointsBytes {
    bool ok = false;
    QByteArray bytes;
    int records = 0; // records in bytes
    int skipped = 0; // empty rows left out
    QString error;   // message for the user when !ok (names row, column and text)
};

// The file image of data rows 1 .. Rows()-1, one record per row. A row whose
// columns 1 to 6 are all empty (a fresh Insert Row) is left out. A row whose
// latitude or longitude is not a number, or with a text longer than a field can
// hold, makes the whole result fail: nothing of a half-right table is written.
PointsBytes BuildPointsBytes(const FlexGrid& grid);

struct PointsSaveResult {
    bool ok = false;
    int records = 0;
    QString error; // message for the user when !ok
};

// Writes the table to path, replacing any file there atomically: the new file
// is written beside it and renamed over it only once complete, so on any failure
// the old file is left exactly as it was. A read-only file, a folder, a pipe or
// a device at path is refused.
PointsSaveResult SavePointsFile(const QString& path, const FlexGrid& grid);

// The replace step of SavePointsFile. Returns false with *error set to the
// system's reason when the file could not be written.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error);
