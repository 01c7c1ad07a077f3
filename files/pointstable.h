// SPDX-License-Identifier: GPL-3.0-or-later
// Points files to and from the waypoint table. The table is the document:
// loading fills the rows' cells, saving reads them; there is no other copy.
// Nothing here shows a message: results carry the text the caller shows.
#pragma once
#include <QByteArray>
#include <QString>

class WaypointRows;
class QIODevice;

// What a points file looked like when this window last read or wrote it, so
// that a save can tell whether another program changed it in between.
struct PointsFileStamp {
    QString path; // "" = no file known
    qint64 size = -1;
    qint64 modifiedNs = 0; // modification time, nanoseconds since the epoch
    quint64 inode = 0;
    quint64 device = 0;
    QByteArray hash; // SHA-1 of the content
};

// True when the file at stamp.path holds other content than the stamp saw (or
// cannot be read to tell). False when stamp.path is "" or not path, when
// nothing is at path any more, or when only its times changed.
bool PointsFileChangedSince(const PointsFileStamp& stamp, const QString& path);

struct PointsLoadResult {
    bool ok = false;
    bool fileExisted = false; // a file or folder was (or may be: it could not be looked at) at the path
    int rows = 0;             // data rows now in the table
    qint64 leftOutBytes = 0;  // bytes at the end that were not a whole record
    QString error;            // message for the user when !ok (names the file)
    QString warning;          // when ok: something the user must know (a cut-short end)
    PointsFileStamp stamp;    // when ok: the file as read
};

// Sets up the empty table, then appends one unmarked row per whole record of
// the file at path, in file order: name, latitude and longitude as number text
// ("." decimal point, at most 15 significant digits), elevation, message, icon.
// A cut-short last record is dropped and the result's warning says how many
// bytes were left out (the file itself is not changed). A path where nothing
// exists is created as an empty file and gives an empty table. An existing
// file is only read, so a read-only file opens; a folder, pipe or device is
// refused without being opened. On a failure the rows read so far stay in the
// table.
PointsLoadResult LoadPointsFile(const QString& path, WaypointRows& grid);

// The first sentence of the warning for a file that ends in a cut-short
// record: names the file and the bytes left out.
QString CutShortEndMessage(const QString& name, qint64 leftOutBytes);

// The reading part of LoadPointsFile: appends the records that in (open for
// reading) holds from its position to its end after the table's last row.
// error names `name` when the device fails; leftOutBytes counts the bytes of a
// cut-short last record and stamp.hash is the hash of everything read.
PointsLoadResult LoadPoints(QIODevice& in, WaypointRows& grid, const QString& name);

struct PointsBytes {
    bool ok = false;
    QByteArray bytes;
    int records = 0;       // records in bytes
    int skipped = 0;       // empty rows left out
    int changedFields = 0; // text fields whose characters Windows-1252 lacks became "?"
    QString error;         // message for the user when !ok (names row, column and text)
    QString changedNote;   // when changedFields > 0: how many, how, and the first one
};

// The file image of data rows 1 .. Rows()-1, one record per row. A row whose
// columns 1 to 6 are all empty (a fresh Insert Row) is left out. A row whose
// latitude or longitude is not a number, or with a text longer than a field can
// hold, makes the whole result fail: nothing of a half-right table is written.
// Characters the file's code page lacks are written as "?" and counted.
PointsBytes BuildPointsBytes(const WaypointRows& grid);

struct PointsSaveResult {
    bool ok = false;
    int records = 0;
    int changedFields = 0; // as PointsBytes
    QString error;         // message for the user when !ok
    QString changedNote;   // when ok and changedFields > 0: what was written in their place
    PointsFileStamp stamp; // when ok: the file as written
};

// Writes the table to path through the durable-write helper: the new file is
// written beside it, synced and renamed over it only once complete, so on any
// failure (a full disk included) the old file is left exactly as it was and
// the error gives the system's reason and the file name. A read-only file, a
// folder, a pipe or a device at path is refused.
PointsSaveResult SavePointsFile(const QString& path, const WaypointRows& grid);
