// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/waypointtransfer.h"

#include "gps/gpsdevice.h"
#include "gps/magellansentence.h"
#include "platform/prompts.h"
#include "table/waypointrows.h"

#include <algorithm>

namespace {

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString waypoints(int n) {
    return n == 1 ? QStringLiteral("1 waypoint") : QStringLiteral("%1 waypoints").arg(n);
}

// "the GPS device SporTrak", or without a model when none is known.
QString deviceNamed(const QString& model) {
    return model.isEmpty() ? QStringLiteral("the GPS device") : QStringLiteral("the GPS device ") + model;
}

enum class LongNames { Shorten, LeaveOut, SendNothing };

// Asks what to do with the marked rows whose names the receiver would cut,
// listing at most 20 of them with the names they would get.
LongNames askAboutLongNames(const AskUser& ask, const QString& model, int keep, const QStringList& names,
                            const QStringList& shortened) {
    constexpr int kListed = 20;
    QString text = QStringLiteral("The GPS device%1 keeps waypoint names of at most %2 characters and cuts "
                                  "longer ones. These selected waypoints have longer names:")
                       .arg(model.isEmpty() ? QString() : QLatin1Char(' ') + model)
                       .arg(keep);
    for (qsizetype i = 0; i < names.size() && i < kListed; ++i)
        text += vbCrLf + QStringLiteral("%1 becomes %2").arg(quoted(names[i]), quoted(shortened[i]));
    if (names.size() > kListed)
        text += vbCrLf + QStringLiteral("(and %1 more)").arg(names.size() - kListed);
    text += vbCrLf + vbCrLf + QStringLiteral("Yes: shorten these names in the list as shown, then upload.") +
            vbCrLf + QStringLiteral("No: upload the other selected waypoints and leave these out.") + vbCrLf +
            QStringLiteral("Cancel: upload nothing.");
    switch (ask(text, vbYesNoCancel + vbQuestion)) {
    case vbYes:
        return LongNames::Shorten;
    case vbNo:
        return LongNames::LeaveOut;
    default:
        return LongNames::SendNothing;
    }
}
} // namespace

QStringList ShortenedNames(const QStringList& names, int length, QSet<QString>& taken) {
    QStringList out;
    for (const QString& name : names) {
        QString shortName = name.left(length);
        for (int n = 2; taken.contains(shortName); ++n) {
            const QString suffix = QString::number(n);
            shortName = name.left(qMax<qsizetype>(0, length - suffix.size())) + suffix;
        }
        taken.insert(shortName);
        out << shortName;
    }
    return out;
}

bool WaypointFieldsOfRow(const WaypointRows& grid, int row, QString* fields, QString* problem) {
    const QString latText = grid.TextMatrix(row, colLatitude);
    const QString lonText = grid.TextMatrix(row, colLongitude);
    const QString elevation = grid.TextMatrix(row, colElevation);
    QString lat, latHem, lon, lonHem, altitude, unit;
    if (!CoordinateToField(latText, 2, QLatin1Char('N'), QLatin1Char('S'), &lat, &latHem)) {
        *problem = QStringLiteral("its latitude %1 is not a number").arg(quoted(latText));
        return false;
    }
    if (!CoordinateToField(lonText, 3, QLatin1Char('E'), QLatin1Char('W'), &lon, &lonHem)) {
        *problem = QStringLiteral("its longitude %1 is not a number").arg(quoted(lonText));
        return false;
    }
    if (!ElevationToFields(elevation, &altitude, &unit)) {
        *problem =
            QStringLiteral("its elevation %1 needs the altitude and its unit letter (such as 0000028M)")
                .arg(quoted(elevation));
        return false;
    }
    *fields = QStringList{lat,
                          latHem,
                          lon,
                          lonHem,
                          altitude,
                          unit,
                          grid.TextMatrix(row, colName),
                          grid.TextMatrix(row, colMessage),
                          grid.TextMatrix(row, colIcon)}
                  .join(QLatin1Char(','));
    return true;
}

UploadResult UploadSelectedWaypoints(WaypointRows& grid, GPSDevice& device, const AskUser& ask) {
    UploadResult result;
    const int rows = grid.Rows();
    const int keep = ReceiverNameLength(device.deviceModel());
    int total = 0;
    std::vector<int> longRows;
    QStringList longNames;
    QSet<QString> taken; // the names the receiver holds, or would, for the other rows
    for (int r = 1; r < rows; ++r) {
        const QString name = grid.TextMatrix(r, colName);
        if (grid.isMarked(r) && name.size() > keep) {
            longRows.push_back(r);
            longNames << name;
        } else {
            taken.insert(name.left(keep));
        }
        total += grid.isMarked(r) ? 1 : 0;
    }
    std::vector<int> leftOut;
    if (!longRows.empty()) {
        const QStringList shortened = ShortenedNames(longNames, keep, taken);
        switch (askAboutLongNames(ask, device.deviceModel(), keep, longNames, shortened)) {
        case LongNames::Shorten:
            for (size_t i = 0; i < longRows.size(); ++i)
                grid.setTextMatrix(longRows[i], colName, shortened[static_cast<qsizetype>(i)]);
            result.renamed = static_cast<int>(longRows.size());
            break;
        case LongNames::LeaveOut:
            leftOut = longRows;
            result.longNamesLeftOut = static_cast<int>(longRows.size());
            break;
        case LongNames::SendNothing:
            result.cancelled = true;
            return result;
        }
    }
    device.beginBatch(QStringLiteral("Uploading Waypoints To GPS Device"), total);
    // Events run during every wait: rows the user removed meanwhile are not read.
    for (int r = 1; r < rows && r < grid.Rows(); ++r) {
        // Cancel stops between waypoints, never in the middle of one.
        if (device.cancelRequested()) {
            result.cancelled = true;
            break;
        }
        if (!grid.isMarked(r))
            continue;
        ++result.selected;
        if (std::find(leftOut.begin(), leftOut.end(), r) != leftOut.end())
            continue;
        device.stepBatch(result.selected, total);
        const QString name = grid.TextMatrix(r, colName);
        QString fields, problem;
        if (!WaypointFieldsOfRow(grid, r, &fields, &problem)) {
            ++result.notSent;
            result.messages << QStringLiteral("Row %1 (%2) was not uploaded: %3.").arg(r).arg(name, problem);
            continue;
        }
        const bool sent = device.SendWaypoint(fields);
        result.messages << device.takeMessages();
        if (sent)
            ++result.uploaded;
        else
            result.messages << QStringLiteral("An error ocurred while trying to uplaod waypoint ") + name +
                                   QStringLiteral(".");
    }
    // Refusals that came after their waypoint's wait belong to rows counted
    // as uploaded; which rows cannot be told, so none is named.
    if (result.selected > result.notSent + result.longNamesLeftOut) {
        result.lateRefused = std::min(device.TakeLateRefusals(), result.uploaded);
        result.messages << device.takeMessages();
    }
    device.endBatch();
    result.uploaded -= result.lateRefused;
    QString closing;
    if (result.cancelled)
        closing = QStringLiteral("The upload was cancelled: %1 of the %2 selected waypoints were uploaded.")
                      .arg(result.uploaded)
                      .arg(total);
    else
        closing = result.uploaded == result.selected
                      ? QStringLiteral("All waypoints were uploaded.")
                      : QStringLiteral("%1 of the %2 selected waypoints were uploaded.")
                            .arg(result.uploaded)
                            .arg(result.selected);
    if (result.lateRefused > 0)
        closing += vbCrLf + QStringLiteral("The GPS device refused %1 more after the wait for its answer; "
                                           "which waypoints it refused cannot be told.")
                                .arg(result.lateRefused);
    result.messages << closing;
    return result;
}

DeleteResult DeleteListedWaypoints(WaypointRows& grid, GPSDevice& device, const AskUser& ask) {
    DeleteResult result;
    int total = 0; // rows to delete one by one
    const QString model = device.deviceModel();
    const int rows = grid.Rows();
    for (int r = 1; r < rows; ++r)
        total += IsBlankRow(grid, r) ? 0 : 1;
    result.all = model == QLatin1String("Meridian");
    // Deleting cannot be undone: the user confirms once, knowing how many.
    const QString question =
        result.all
            ? QStringLiteral("Delete every user waypoint on %1? This model deletes them all at once, not "
                             "only the %2 in the list.")
                  .arg(deviceNamed(model), waypoints(total))
            : QStringLiteral("Delete %1 from %2? Each waypoint in the list is deleted on the device by "
                             "its name.")
                  .arg(waypoints(total), deviceNamed(model));
    if ((result.all || total > 0) && ask(question, vbYesNo + vbQuestion) != vbYes) {
        result.declined = true;
        return result;
    }
    if (result.all) {
        const bool deleted = device.DeleteAllDeviceWaypoints();
        result.messages << device.takeMessages();
        if (!deleted) {
            result.messages << QStringLiteral("Unable to processs command.");
            return result;
        }
    } else {
        // The receiver holds a long name cut to the length it keeps.
        const int keep = ReceiverNameLength(model);
        device.beginBatch(QStringLiteral("Deleting Waypoints From GPS Device"), total);
        for (int r = 1; r < rows && r < grid.Rows(); ++r) {
            // Asking the receiver to delete a nameless waypoint only earns a
            // refusal, which would keep the list as if a deletion had failed.
            if (IsBlankRow(grid, r))
                continue;
            if (device.cancelRequested()) {
                result.cancelled = true;
                break;
            }
            ++result.attempted;
            device.stepBatch(result.attempted, total);
            const QString name = grid.TextMatrix(r, colName);
            const bool deleted = device.DeleteDeviceWaypoint(name.left(keep), grid.TextMatrix(r, colIcon));
            result.messages << device.takeMessages();
            if (!deleted) {
                ++result.failed;
                result.messages << QStringLiteral("Could not delete way point ") + name;
            }
        }
    }

    device.endBatch();
    if (result.cancelled) {
        // What is left on the receiver is still listed: the table stays.
        result.messages << (QStringLiteral(
                                "The deletion was cancelled: %1 of the %2 waypoints in the list were deleted "
                                "from the GPS device.")
                                .arg(result.attempted - result.failed)
                                .arg(total) +
                            vbCrLf + QStringLiteral("The list was not cleared."));
        return result;
    }
    if (result.failed > 0) {
        result.messages
            << (QStringLiteral(
                    "%1 of the %2 waypoints in the list could not be deleted from the GPS device %3.")
                    .arg(result.failed)
                    .arg(result.attempted)
                    .arg(model) +
                vbCrLf + QStringLiteral("The list was not cleared."));
        return result;
    }
    result.messages << QStringLiteral("All user waypoints have been deleted") + vbCrLf +
                           QStringLiteral("from the GPS device ") + model + vbCrLf +
                           QStringLiteral("Serial Number: ") + device.deviceSerialNumber() + vbCrLf +
                           QStringLiteral(" The list will now be cleared.");
    grid.Clear();
    grid.setRows(2);
    result.cleared = true;
    return result;
}
