// SPDX-License-Identifier: GPL-3.0-or-later
// The waypoint table's side of import and export: interchange rows into the
// grid and out of it, and the messages both commands (window and command
// line) give. No prompts here: callers show or print the texts.
#pragma once
#include "interchange/pointrows.h"

#include <QString>

class WaypointRows;

// Appends rows after the table's last row, unmarked, as a download does.
void AppendRowsToTable(WaypointRows& grid, const PointRows& rows);

// Data rows 1 .. Rows()-1 (only the marked ones when markedOnly), in order.
PointRows TableRows(const WaypointRows& grid, bool markedOnly);
bool AnyRowMarked(const WaypointRows& grid);

// The one message for points a file held but that were left out; "" for none.
QString SkippedImportMessage(const QString& path, int skipped);
// The one message for rows an export left out; "" for none.
QString SkippedExportMessage(const QString& path, int skipped);

struct ImportOutcome {
    bool ok = false; // false: nothing was imported; error says why
    int added = 0;
    int skipped = 0;
    QString error; // when !ok: names the file and the reason
    QString skippedMessage;
    QString notesMessage; // "" or how the file was read other than as written (ReadResult::notes)
};
// Reads path (any interchange format, by extension) and appends its rows.
ImportOutcome ImportIntoTable(const QString& path, WaypointRows& grid);
