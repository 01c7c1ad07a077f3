// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/interchangetable.h"

#include "interchange/formats.h"
#include "platform/prompts.h"
#include "table/waypointrows.h"

void AppendRowsToTable(WaypointRows& grid, const PointRows& rows) {
    if (rows.empty())
        return;
    grid.beginBulkUpdate();
    int row = grid.Rows();
    grid.setRows(row + int(rows.size()));
    for (const PointRow& p : rows) {
        grid.setTextMatrix(row, colName, p.name);
        grid.setTextMatrix(row, colLatitude, p.latitude);
        grid.setTextMatrix(row, colLongitude, p.longitude);
        grid.setTextMatrix(row, colElevation, p.elevation);
        grid.setTextMatrix(row, colMessage, p.message);
        grid.setTextMatrix(row, colIcon, p.icon);
        ++row;
    }
    grid.endBulkUpdate();
}

PointRows TableRows(const WaypointRows& grid, bool markedOnly) {
    PointRows rows;
    const int n = grid.Rows();
    rows.reserve(size_t(qMax(n - 1, 0)));
    for (int r = 1; r < n; ++r) {
        if (markedOnly && !grid.isMarked(r))
            continue;
        rows.push_back({grid.TextMatrix(r, colName), grid.TextMatrix(r, colLatitude),
                        grid.TextMatrix(r, colLongitude), grid.TextMatrix(r, colElevation),
                        grid.TextMatrix(r, colMessage), grid.TextMatrix(r, colIcon)});
    }
    return rows;
}

bool AnyRowMarked(const WaypointRows& grid) {
    for (int r = 1; r < grid.Rows(); ++r)
        if (grid.isMarked(r))
            return true;
    return false;
}

QString SkippedImportMessage(const QString& path, int skipped) {
    if (skipped == 0)
        return QString();
    return QStringLiteral("%1 point(s) in \"%2\" could not be added to the list:").arg(skipped).arg(path) +
           vbCrLf +
           QStringLiteral("their latitude or longitude is not a number or lies outside -90..90 / -180..180.");
}

QString SkippedExportMessage(const QString& path, int skipped) {
    if (skipped == 0)
        return QString();
    return QStringLiteral("%1 row(s) were not written to \"%2\":").arg(skipped).arg(path) + vbCrLf +
           QStringLiteral("their latitude or longitude is not a number or lies outside -90..90 / -180..180.");
}

ImportOutcome ImportIntoTable(const QString& path, WaypointRows& grid) {
    ImportOutcome out;
    const ReadResult read = ReadInterchangeFile(path);
    if (!read.ok) {
        out.error = read.error;
        return out;
    }
    AppendRowsToTable(grid, read.rows);
    out.ok = true;
    out.added = int(read.rows.size());
    out.skipped = read.skipped;
    out.skippedMessage = SkippedImportMessage(path, read.skipped);
    if (!read.notes.isEmpty())
        out.notesMessage =
            QStringLiteral("While reading \"%1\":").arg(path) + vbCrLf + read.notes.join(vbCrLf);
    return out;
}
