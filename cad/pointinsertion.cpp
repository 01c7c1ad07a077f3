// SPDX-License-Identifier: GPL-3.0-or-later
#include "cad/pointinsertion.h"

#include "cad/acadstuff.h"
#include "conversion/conversionerror.h"
#include "conversion/gpsconversion.h"
#include "crs/coordinatesystem.h"
#include "dxf/dxfdrawing.h"
#include "platform/numbers.h"
#include "platform/programfolder.h"
#include "platform/prompts.h"
#include "rules/rulesdb.h"
#include "table/waypointrows.h"

#include <QStringList>
#include <QVariantList>

#include <cfenv>
#include <cmath>

namespace PointInsertion {

namespace {

// Row numbers listed in a closing message before the rest is summed up.
constexpr int kRowsListed = 10;

// "3 rows <what> (<why>): rows 2, 3, 4." The list stops after kRowsListed rows.
QString rowsSentence(const QList<int>& rows, const QString& what, const QString& why) {
    QStringList listed;
    for (int i = 0; i < rows.size() && i < kRowsListed; ++i)
        listed << QString::number(rows[i]);
    QString list = listed.join(QStringLiteral(", "));
    if (rows.size() > kRowsListed)
        list += QStringLiteral(" and %1 more").arg(rows.size() - kRowsListed);
    const bool one = rows.size() == 1;
    return QStringLiteral("%1 %2 %3 (%4): %5 %6.")
        .arg(rows.size())
        .arg(one ? QStringLiteral("row") : QStringLiteral("rows"), what, why,
             one ? QStringLiteral("row") : QStringLiteral("rows"), list);
}

// The lines that follow a closing message's first line. leftOut: what
// happened to a row that gave no block or vertex.
QStringList problemLines(const InsertionReport& r, const QString& leftOut) {
    QStringList lines;
    if (!r.unusableCoordinates.isEmpty())
        lines << rowsSentence(r.unusableCoordinates, leftOut,
                              QStringLiteral("latitude or longitude is not a usable position"));
    if (!r.failedInsertions.isEmpty())
        lines << rowsSentence(r.failedInsertions, leftOut, QStringLiteral("the drawing refused the block"));
    lines << r.refusals.mid(0, kRowsListed);
    if (r.refusals.size() > kRowsListed)
        lines << QStringLiteral("%1 more reasons are not listed.").arg(r.refusals.size() - kRowsListed);
    if (!r.unreadableElevations.isEmpty())
        lines << rowsSentence(r.unreadableElevations, QStringLiteral("given elevation 0"),
                              QStringLiteral("elevation could not be read"));
    return lines;
}

// The block drawing of an icon under the device model's folder: the file of
// the whole icon name ("aa.dxf") when there is one, else that of its first
// letter ("a.dxf", where one-letter block files keep working for two-letter
// icons). An icon that would leave the model's folder ("/", "\\", "..") names
// no file. Returns "" when no drawing exists.
QString iconBlockPath(const QString& model, const QString& icon) {
    for (const QString& name : {icon, icon.left(1)}) {
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
            name.contains(QLatin1String("..")))
            continue;
        const QString path = SupportPath(QStringLiteral("Inserts/%1/%2.dxf").arg(model, name));
        if (FileExists(path))
            return path;
    }
    return QString();
}

// What happens to changes the drawing could not take to disk.
// what: "" for a whole command, or the part of one that was not saved.
QString unsavedNote(UnsavedChanges unsaved, const QString& what = QString()) {
    if (unsaved == UnsavedChanges::Dropped)
        return what.isEmpty() ? QStringLiteral("The drawing file was not changed.")
                              : QStringLiteral("The drawing file was not changed by %1.").arg(what);
    return QStringLiteral("The changes are kept; the next drawing command tries to save them again.");
}

} // namespace

double RoundTo2(double x) {
    if (!std::isfinite(x))
        return x;
    // nearbyint follows the current rounding mode; ties-to-even is the default
    // and is set explicitly in case a library changed it.
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(x * 100.0) / 100.0;
    std::fesetround(mode);
    return r;
}

double Elevation(const QString& text, bool metric, bool* read) {
    if (read)
        *read = true;
    if (text.isEmpty())
        return 0.0;
    bool ok = false;
    if (!metric) {
        // ElevationInFeet gives 0 for what it cannot read; tell that apart from a
        // real 0 by reading the same part it reads: the text before the first
        // "M", else before the first "F", else the whole text ("28FT" is 28).
        qsizetype unit = text.indexOf(QLatin1Char('M'), 0, Qt::CaseInsensitive);
        if (unit < 0)
            unit = text.indexOf(QLatin1Char('F'), 0, Qt::CaseInsensitive);
        TextToNumber(unit < 0 ? text : text.left(unit), &ok);
        if (!ok) {
            if (read)
                *read = false;
            return 0.0;
        }
        return GPSConversion::ElevationInFeet(text.toStdString());
    }
    double value = TextToNumber(text, &ok);
    if (ok)
        return value;
    const QChar last = text.back().toUpper();
    const QString rest = text.left(text.size() - 1);
    if (last == QLatin1Char('M')) {
        value = TextToNumber(rest, &ok);
        if (ok)
            return value;
    } else if (last == QLatin1Char('F')) {
        value = TextToNumber(rest, &ok);
        if (ok)
            return value / GPSConversion::FeetPerMetre;
    }
    if (read)
        *read = false;
    return 0.0;
}

namespace {

// Latitude and longitude texts as finite numbers, the latitude strictly
// between -90 and 90; false when either cannot be used.
bool readLatLong(const QString& latitude, const QString& longitude, double* lat, double* lon) {
    bool latOk = false;
    bool lonOk = false;
    *lat = TextToNumber(latitude, &latOk);
    *lon = TextToNumber(longitude, &lonOk);
    return latOk && lonOk && std::isfinite(*lat) && std::isfinite(*lon) && std::fabs(*lat) < 90.0;
}

} // namespace

std::optional<RowPosition> Position(const QString& latitude, const QString& longitude,
                                    const QString& elevation, bool metric, int zone) {
    double lat = 0;
    double lon = 0;
    // UTM has no position at or beyond a pole: the series gives meaningless values there.
    if (!readLatLong(latitude, longitude, &lat, &lon))
        return std::nullopt;
    double easting = 0;
    double northing = 0;
    try {
        GPSConversion::LatLongToUTM(lat, lon, easting, northing, metric, zone);
    } catch (const ConversionError&) {
        return std::nullopt;
    }
    RowPosition p;
    p.easting = RoundTo2(easting);
    p.northing = RoundTo2(northing);
    p.elevation = RoundTo2(Elevation(elevation, metric, &p.elevationRead));
    p.zone = zone;
    p.south = lat < 0;
    if (!std::isfinite(p.easting) || !std::isfinite(p.northing) || !std::isfinite(p.elevation))
        return std::nullopt;
    return p;
}

double ElevationInUnit(const QString& text, double unitToMetres, bool* read) {
    if (unitToMetres == 1.0)
        return Elevation(text, true, read);
    if (read)
        *read = true;
    if (text.isEmpty())
        return 0.0;
    // The text before the first "M" (metres), else before the first "F"
    // (feet), else the whole text (already in the unit), as for feet.
    double toUnit = 1.0;
    qsizetype unit = text.indexOf(QLatin1Char('M'), 0, Qt::CaseInsensitive);
    if (unit >= 0) {
        toUnit = 1.0 / unitToMetres;
    } else if (unit = text.indexOf(QLatin1Char('F'), 0, Qt::CaseInsensitive); unit >= 0) {
        toUnit = 1.0 / GPSConversion::FeetPerMetre / unitToMetres;
    }
    bool ok = false;
    const double value = TextToNumber(unit < 0 ? text : text.left(unit), &ok);
    if (!ok) {
        if (read)
            *read = false;
        return 0.0;
    }
    return value * toUnit;
}

std::optional<RowPosition> Position(const QString& latitude, const QString& longitude,
                                    const QString& elevation, const CoordinateSystem& system,
                                    bool* insideArea) {
    double lat = 0;
    double lon = 0;
    if (!readLatLong(latitude, longitude, &lat, &lon) || !(std::fabs(lon) <= 180.0))
        return std::nullopt;
    const ProjectedPoint projected = system.forward(lat, lon);
    if (insideArea)
        *insideArea = projected.insideArea;
    RowPosition p;
    p.easting = RoundTo2(projected.easting);
    p.northing = RoundTo2(projected.northing);
    p.elevation = RoundTo2(ElevationInUnit(elevation, system.unitToMetres(), &p.elevationRead));
    if (!std::isfinite(p.easting) || !std::isfinite(p.northing) || !std::isfinite(p.elevation))
        return std::nullopt;
    return p;
}

QString AttributeText(const QString& strAttribute, const QString& name, const QString& message) {
    if (strAttribute == QLatin1String("Name"))
        return name;
    if (strAttribute == QLatin1String("Message && Name"))
        return message + QStringLiteral(": ") + name;
    if (strAttribute == QLatin1String("Name && Message"))
        return name + QStringLiteral(": ") + message;
    return message;
}

namespace {

// The coordinate system the options choose, or none for the built-in UTM. One
// that cannot be used leaves its reason in report; a transformation PROJ
// calls a ballpark one, or gives no accuracy for, is noted there too.
std::optional<CoordinateSystem> chosenSystem(const InsertionOptions& o, InsertionReport& report) {
    if (o.strCrs.isEmpty())
        return std::nullopt;
    try {
        CoordinateSystem system(o.strCrs.toStdString());
        report.crsName = QString::fromStdString(system.name());
        if (system.isBallpark())
            report.crsCaution =
                QStringLiteral("PROJ has only a ballpark transformation to %1: positions may be off by up to "
                               "some hundred metres.")
                    .arg(report.crsName);
        else if (system.transformationAccuracy() < 0)
            report.crsCaution = QStringLiteral("PROJ states no accuracy for its transformation to %1 (%2).")
                                    .arg(report.crsName, QString::fromStdString(system.transformationName()));
        return system;
    } catch (const CoordinateSystemError& e) {
        report.crsProblem = QString::fromStdString(e.what());
        return std::nullopt;
    }
}

// How a row's point was placed, for the drawing's extended data.
DxfExtendedData placement(const InsertionOptions& o, const RowPosition& p, const WaypointRows& grid,
                          int row) {
    PointData d;
    if (o.strCrs.isEmpty()) {
        d.zone = p.zone;
        d.hemisphere = p.south ? QLatin1Char('S') : QLatin1Char('N');
        d.metric = o.blnMetric;
    } else {
        d.crs = o.strCrs;
    }
    d.name = grid.TextMatrix(row, colName);
    d.message = grid.TextMatrix(row, colMessage);
    d.icon = grid.TextMatrix(row, colIcon);
    return PointDataXData::toExtendedData(d);
}

// The closing lines about the chosen coordinate system.
QStringList systemLines(const InsertionReport& r) {
    QStringList lines;
    if (r.outsideArea == 1)
        lines << QStringLiteral("1 point lies outside the area of use of %1.").arg(r.crsName);
    else if (r.outsideArea > 1)
        lines << QStringLiteral("%1 points lie outside the area of use of %2.")
                     .arg(r.outsideArea)
                     .arg(r.crsName);
    if (!r.crsCaution.isEmpty())
        lines << r.crsCaution;
    return lines;
}

} // namespace

InsertionReport InsertPoints(WaypointRows& grid, const InsertionContext& context, bool selectedOnly) {
    InsertionReport report;
    // A system that cannot be used is found before the drawing is touched.
    const std::optional<CoordinateSystem> system = chosenSystem(context.options, report);
    if (!report.crsProblem.isEmpty())
        return report;
    ACADStuff& acad = *context.acad;
    if (AcadConnection connection = acad.ConnectAcad(); !connection) {
        report.connectProblem = std::move(connection.problem);
        return report;
    }
    report.connected = true;

    const InsertionOptions& o = context.options;
    // A layer name no DXF allows would leave every block unlabelled on the
    // current layer (the layer can be neither set nor added): insert nothing.
    report.layerProblem = DxfDrawing::layerNameProblem(o.strLayer);
    if (!report.layerProblem.isEmpty())
        return report;
    const QString defaultBlock = DefaultBlockPath();
    const bool labelIsMessage = o.strAttribute != QLatin1String("Name") &&
                                o.strAttribute != QLatin1String("Message && Name") &&
                                o.strAttribute != QLatin1String("Name && Message");
    const QString tag = QStringLiteral("TRANSFERTEXT");
    QString strMessage; // the label; kept from row to row as the command's working value

    for (int row = 1; row < grid.Rows(); ++row) {
        if (selectedOnly) {
            if (!grid.isMarked(row))
                continue;
            report.rowSelected = true;
        }
        const QString latitude = grid.TextMatrix(row, colLatitude);
        const QString longitude = grid.TextMatrix(row, colLongitude);
        if (longitude.isEmpty() || latitude.isEmpty()) {
            ++report.noCoordinates;
            continue;
        }
        bool inside = true;
        const auto position =
            system
                ? Position(latitude, longitude, grid.TextMatrix(row, colElevation), *system, &inside)
                : Position(latitude, longitude, grid.TextMatrix(row, colElevation), o.blnMetric, o.intZone);
        if (!position) {
            report.unusableCoordinates << row;
            continue;
        }
        if (context.loadOptions && !context.loadOptions())
            continue;

        const QString message = grid.TextMatrix(row, colMessage);
        strMessage = AttributeText(o.strAttribute, grid.TextMatrix(row, colName), message);

        QString blockPath;
        if (o.strBlock == QLatin1String("Flag")) {
            blockPath = defaultBlock;
        } else if (o.strBlock == QLatin1String("By Icon")) {
            blockPath = iconBlockPath(context.deviceModel, grid.TextMatrix(row, colIcon));
        } else if (o.strBlock == QLatin1String("By Message")) {
            // With the message as the label the matched value is cut from the
            // label itself; otherwise a copy is handed over and the label keeps it.
            QString copy = message;
            QString& asked = labelIsMessage ? strMessage : copy;
            blockPath = context.checkRules ? context.checkRules(asked) : defaultBlock;
        }
        if (blockPath.isEmpty() || !FileExists(blockPath))
            blockPath = defaultBlock;

        if (!position->elevationRead)
            report.unreadableElevations << row;
        if (acad.InsertLabelledBlock({position->easting, position->northing, position->elevation}, blockPath,
                                     o.strLayer, tag, strMessage, placement(o, *position, grid, row))) {
            ++report.inserted;
            if (!inside)
                ++report.outsideArea;
        } else {
            report.failedInsertions << row;
            if (const QString why = acad.lastFailure(); !why.isEmpty() && !report.refusals.contains(why))
                report.refusals << why;
        }
    }
    // The command's changes are written before its closing message, which
    // must be able to say when they could not be.
    report.saveError = acad.Commit(report.inserted > 0);
    return report;
}

InsertionReport InsertLine(WaypointRows& grid, const InsertionContext& context) {
    InsertionReport report;
    for (int row = 0; row < grid.Rows(); ++row)
        if (grid.isMarked(row))
            ++report.markedRows;
    report.rowSelected = report.markedRows > 0;
    if (report.markedRows < 2)
        return report;
    const std::optional<CoordinateSystem> system = chosenSystem(context.options, report);
    if (!report.crsProblem.isEmpty())
        return report;
    ACADStuff& acad = *context.acad;
    if (AcadConnection connection = acad.ConnectAcad(); !connection) {
        report.connectProblem = std::move(connection.problem);
        return report;
    }
    report.connected = true;

    std::vector<double> vertices;
    vertices.reserve(size_t(report.markedRows) * 3);
    std::vector<DxfExtendedData> vertexData;
    vertexData.reserve(size_t(report.markedRows));
    for (int row = 0; row < grid.Rows(); ++row) {
        if (!grid.isMarked(row))
            continue;
        const QString latitude = grid.TextMatrix(row, colLatitude);
        const QString longitude = grid.TextMatrix(row, colLongitude);
        if (longitude.isEmpty() || latitude.isEmpty()) {
            ++report.noCoordinates;
            continue;
        }
        bool inside = true;
        const auto position =
            system ? Position(latitude, longitude, grid.TextMatrix(row, colElevation), *system, &inside)
                   : Position(latitude, longitude, grid.TextMatrix(row, colElevation),
                              context.options.blnMetric, context.options.intZone);
        if (!position) {
            report.unusableCoordinates << row;
            continue;
        }
        if (!position->elevationRead)
            report.unreadableElevations << row;
        vertices.insert(vertices.end(), {position->easting, position->northing, position->elevation});
        vertexData.push_back(placement(context.options, *position, grid, row));
        ++report.inserted;
        if (!inside)
            ++report.outsideArea;
    }
    report.lineDrawn = acad.AddPolyline3D(vertices, vertexData);
    if (report.lineDrawn)
        report.saveError = acad.SaveDrawing();
    return report;
}

QString PointsClosingMessage(const InsertionReport& report, bool selectedOnly, UnsavedChanges unsaved) {
    if (!report.crsProblem.isEmpty())
        return report.crsProblem + vbCrLf + QStringLiteral("No way points were inserted.");
    if (!report.connected)
        return report.connectProblem;
    if (!report.layerProblem.isEmpty())
        return report.layerProblem + vbCrLf + QStringLiteral("No way points were inserted.");
    if (selectedOnly && !report.rowSelected)
        return QStringLiteral("No points were selected.");
    QStringList lines;
    if (!report.saveError.isEmpty())
        lines << report.saveError
              << (report.inserted == 1
                      ? QStringLiteral("1 way point was inserted into the drawing but not saved.")
                      : QStringLiteral("%1 way points were inserted into the drawing but not saved.")
                            .arg(report.inserted))
              << unsavedNote(unsaved);
    else if (report.unusableCoordinates.isEmpty() && report.failedInsertions.isEmpty())
        lines << QStringLiteral("All way points in the list were Inserted.");
    else
        lines << (report.inserted == 1 ? QStringLiteral("1 way point was Inserted.")
                                       : QStringLiteral("%1 way points were Inserted.").arg(report.inserted));
    lines << problemLines(report, QStringLiteral("not inserted")) << systemLines(report);
    return lines.join(vbCrLf);
}

QString LineClosingMessage(const InsertionReport& report, UnsavedChanges unsaved) {
    if (report.markedRows < 1)
        return QStringLiteral("No points were selected.");
    // One marked row is a selection, just not a line: saying that nothing was
    // selected would send the user looking for a selection that is there.
    if (report.markedRows < 2)
        return QStringLiteral("Only one point is selected. A line needs at least two selected points.");
    if (!report.crsProblem.isEmpty())
        return report.crsProblem + vbCrLf + QStringLiteral("The line was not inserted.");
    if (!report.connected)
        return report.connectProblem;
    if (!report.lineDrawn)
        return QString();
    QStringList lines;
    if (!report.saveError.isEmpty())
        lines << report.saveError << QStringLiteral("The line was inserted into the drawing but not saved.")
              << unsavedNote(unsaved, QStringLiteral("the line"));
    else
        lines << QStringLiteral("The line was Inserted.");
    lines << problemLines(report, QStringLiteral("left out of the line")) << systemLines(report);
    return lines.join(vbCrLf);
}

} // namespace PointInsertion
