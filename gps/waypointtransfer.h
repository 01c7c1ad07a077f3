// SPDX-License-Identifier: GPL-3.0-or-later
// The table side of uploads and deletions: which rows go to the receiver, the
// waypoint fields built from a row's texts, and what the user is told.
//
// Nothing here shows a message: each transfer returns what the user is to be
// told, in order, and asks its one question through the caller's AskUser. The
// grid and the device must outlive the calls.
#pragma once
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class WaypointRows;
class GPSDevice;

// Puts a question to the user and returns the answer: text, the buttons as a
// MsgBoxStyle sum (vbYesNo or vbYesNoCancel, with vbQuestion), the result a
// MsgBoxResult. The window asks with MsgBox.
using AskUser = std::function<int(const QString& text, int buttons)>;

// Fields 1 to 9 of a "$PMGNWPL" sentence for one table row, joined with ",":
// latitude, N/S, longitude, E/W, altitude, unit, name, message, icon. Returns
// false, with the reason in *problem, when the row's latitude or longitude is
// not a number or its elevation has fewer than two characters.
bool WaypointFieldsOfRow(const WaypointRows& grid, int row, QString* fields, QString* problem);

struct UploadResult {
    int selected = 0;         // rows carrying the selection mark
    int uploaded = 0;         // sent and answered by silence
    int notSent = 0;          // left out because a field could not be built
    int lateRefused = 0;      // refused after their wait (not in uploaded), rows unknown
    int renamed = 0;          // names shortened in the table to what the receiver keeps
    int longNamesLeftOut = 0; // rows left out because the user kept their long names
    bool cancelled = false;   // the user stopped it; later rows were not sent
    QStringList messages;     // for the user, in order; the closing one last
};

// The names rows would get when shortened to length characters, in the order
// of rows: the name cut to length, made different from every name in taken
// (and from the ones before it) by ending it in 2, 3, ... Each new name is
// added to taken.
QStringList ShortenedNames(const QStringList& names, int length, QSet<QString>& taken);

// Sends every marked row (rows 1 to Rows()-1, the count read once) with
// SendWaypoint, in order, each row tested by moving the current cell to its
// column 0; rows removed during the transfer (events run while it waits) are
// not read. A refused row is reported by name and the next row still goes; a
// row whose fields cannot be built is reported with its number and reason and
// left out. After the last row, late replies are waited for
// (GPSDevice::TakeLateRefusals); late refusals are counted, not named. The
// closing message says "All waypoints were uploaded." only when every marked
// row was uploaded, else how many of how many were.
// The progress window counts "n of m" and offers Cancel, which stops before
// the next row and says how many of the marked rows went.
// Names longer than the receiver keeps (ReceiverNameLength) would be cut by
// the receiver, which then holds a name the table does not: before anything
// is sent, such rows are listed and ask offers Yes (shorten them in the
// table, see ShortenedNames), No (leave them out) or Cancel (send nothing,
// tell nothing). Messages from the device (port failures) come in their place.
UploadResult UploadSelectedWaypoints(WaypointRows& grid, GPSDevice& device, const AskUser& ask);

struct DeleteResult {
    bool declined = false; // the user answered No to the question; nothing was sent
    bool all = false;      // the receiver's whole list was deleted at once
    int attempted = 0;     // rows sent one by one
    int failed = 0;        // ... that the receiver did not delete
    bool cleared = false;
    bool cancelled = false; // the user stopped it; the table was kept
    QStringList messages;   // for the user, in order
};

// Removes the table's waypoints from the receiver: one by one ("$PMGNDWP",
// every row, marked or not, blank rows left out, each by the name the receiver
// holds: cut to ReceiverNameLength) unless the connected model is exactly
// "Meridian", which gets one delete-all command. ask puts one question
// before anything is sent (Yes/No), with the number of waypoints; No sends
// and tells nothing. After success the user is told, and the
// table is cleared (headings included) and left with two rows. When the
// delete-all command fails nothing changes; when any one-by-one deletion
// fails, the table is kept, since it is then the only record of what is
// still on the receiver, and the closing message says how many were not deleted.
// One by one, the progress window counts "n of m" and offers Cancel, which
// stops before the next waypoint and keeps the table.
DeleteResult DeleteListedWaypoints(WaypointRows& grid, GPSDevice& device, const AskUser& ask);
