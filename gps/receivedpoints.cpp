// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/receivedpoints.h"

#include "gps/magellansentence.h"
#include "platform/prompts.h"
#include "table/waypointrows.h"

#include <vector>

AddedPoints AppendReceivedPoints(WaypointRows& grid, const QStringList& dataLines) {
    AddedPoints result;
    std::vector<ReceivedPoint> points;
    points.reserve(static_cast<size_t>(dataLines.size()));
    for (const QString& line : dataLines) {
        ReceivedPoint p;
        switch (ParseDataLine(line, &p)) {
        case LineProblem::None:
            points.push_back(std::move(p));
            break;
        case LineProblem::Checksum:
            ++result.badChecksum;
            break;
        case LineProblem::TooFewFields:
            ++result.tooFewFields;
            break;
        case LineProblem::BadCoordinate:
            ++result.badCoordinate;
            break;
        }
    }
    if (points.empty())
        return result;

    grid.beginBulkUpdate();
    int row = grid.Rows();
    grid.setRows(row + static_cast<int>(points.size()));
    for (const ReceivedPoint& p : points) {
        grid.setTextMatrix(row, 1, p.name);
        grid.setTextMatrix(row, 2, p.latitude);
        grid.setTextMatrix(row, 3, p.longitude);
        grid.setTextMatrix(row, 4, p.elevation);
        grid.setTextMatrix(row, 5, p.message);
        grid.setTextMatrix(row, 6, p.icon);
        ++row;
    }
    grid.endBulkUpdate();
    result.added = static_cast<int>(points.size());
    return result;
}

QString SkippedLinesMessage(const AddedPoints& r) {
    if (r.skipped() == 0)
        return QString();
    QString text =
        QStringLiteral("%1 of the lines received from the GPS device could not be added to the list:")
            .arg(r.skipped());
    if (r.badChecksum)
        text += vbCrLf + QStringLiteral("%1 with a wrong checksum").arg(r.badChecksum);
    if (r.tooFewFields)
        text += vbCrLf + QStringLiteral("%1 with fewer than ten fields").arg(r.tooFewFields);
    if (r.badCoordinate)
        text += vbCrLf +
                QStringLiteral("%1 with a latitude or longitude that could not be read").arg(r.badCoordinate);
    return text;
}
