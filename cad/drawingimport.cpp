// SPDX-License-Identifier: GPL-3.0-or-later
#include "cad/drawingimport.h"

#include "conversion/gpsconversion.h"
#include "crs/coordinatesystem.h"
#include "dxf/drawingpoints.h"
#include "gps/gpsdevice.h"

#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>

namespace {

const QString kApp = QStringLiteral("Korvel Transfer");
const QString kSection = QStringLiteral("DrawingImport");

// How one point is turned into latitude and longitude: a UTM zone, or a
// projected system (by its code).
struct Placement {
    int zone = 0;
    bool south = false;
    bool metric = true;
    QString crs;
};

// The placement a point's own data records, or nothing when the record names
// neither a usable zone nor a system.
std::optional<Placement> OwnPlacement(const PointData& data) {
    Placement p;
    if (!data.crs.trimmed().isEmpty()) {
        p.crs = data.crs.trimmed();
        return p;
    }
    if (data.zone < 1 || data.zone > 60)
        return std::nullopt;
    p.zone = data.zone;
    p.south = data.hemisphere == QLatin1Char('S');
    p.metric = data.metric;
    return p;
}

// Systems made once per import: PROJ's set-up costs far more than a point.
class Systems {
public:
    // The system for code, or null with error set (the file and PROJ's reason).
    const CoordinateSystem* get(const QString& code, const QString& path, QString* error) {
        auto it = systems_.find(code);
        if (it == systems_.end()) {
            try {
                it = systems_.emplace(code, std::make_unique<CoordinateSystem>(code.toStdString())).first;
            } catch (const CoordinateSystemError& e) {
                *error = QStringLiteral("%1: %2").arg(path, QString::fromStdString(e.what()));
                return nullptr;
            }
        }
        return it->second.get();
    }

private:
    std::map<QString, std::unique_ptr<CoordinateSystem>> systems_;
};

QString plural(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

} // namespace

DrawingImportResult ReadDrawingRows(const QString& path, const DrawingImportOptions& options) {
    DrawingImportResult result;
    DrawingPointsOptions read;
    read.layers = options.layers;
    read.polylineVertices = options.vertices;
    DrawingPointsResult drawing = ReadDrawingPoints(path, read);
    result.layers = drawing.layers;
    if (!drawing.ok()) {
        result.error = drawing.error;
        return result;
    }

    const bool optionsGiven = !options.crs.trimmed().isEmpty() || (options.zone >= 1 && options.zone <= 60);
    int withoutData = 0;
    for (const DrawingPoint& point : drawing.points)
        if (!point.data || !OwnPlacement(*point.data))
            ++withoutData;
    if (withoutData > 0 && !optionsGiven) {
        result.needsOptions = true;
        result.error = QStringLiteral("%1: %2 of the drawing were not placed by this program; name the UTM "
                                      "zone (and hemisphere) or the coordinate system the drawing is in to "
                                      "read them.")
                           .arg(path, withoutData == 1 ? QStringLiteral("1 point")
                                                       : QStringLiteral("%1 points").arg(withoutData));
        return result;
    }

    Placement given;
    given.crs = options.crs.trimmed();
    given.zone = options.zone;
    given.south = options.south;
    given.metric = options.metric;

    Systems systems;
    if (!given.crs.isEmpty() && withoutData > 0 && !systems.get(given.crs, path, &result.error))
        return result;

    const int keep = ReceiverNameLength(QString());
    result.rows.reserve(drawing.points.size());
    for (const DrawingPoint& point : drawing.points) {
        const std::optional<Placement> own = point.data ? OwnPlacement(*point.data) : std::nullopt;
        const Placement& placement = own ? *own : given;

        double latitude = NAN, longitude = NAN, metres = NAN;
        bool outsideZone = false, outsideArea = false;
        if (!placement.crs.isEmpty()) {
            const CoordinateSystem* system = systems.get(placement.crs, path, &result.error);
            if (!system) {
                DrawingImportResult failed;
                failed.error = result.error;
                failed.layers = result.layers;
                return failed;
            }
            const GeographicPoint g = system->inverse(point.x, point.y);
            latitude = g.latitude;
            longitude = g.longitude;
            outsideArea = !g.insideArea;
            metres = point.z * system->unitToMetres();
        } else if (std::isfinite(point.x) && std::isfinite(point.y)) {
            try {
                const GPSConversion::GeographicPosition g = GPSConversion::UTMToLatLong(
                    placement.zone, placement.south, point.x, point.y, placement.metric);
                latitude = g.latitude;
                longitude = g.longitude;
                outsideZone = GPSConversion::DegreesOutsideZone(placement.zone, latitude, longitude) > 0;
            } catch (const std::invalid_argument&) {
            }
            metres = placement.metric ? point.z : point.z / GPSConversion::FeetPerMetre;
        }

        PointRow row;
        if (!std::isfinite(latitude) || !std::isfinite(longitude) || !std::isfinite(metres) ||
            !SetRowCoordinates(row, CoordinateText(latitude), CoordinateText(longitude))) {
            ++result.leftOut;
            continue;
        }
        row.elevation = ElevationText(metres);
        if (point.data) {
            row.name = point.data->name;
            row.message = point.data->message;
            row.icon = point.data->icon;
        } else {
            row.name = DrawingPointName(point);
        }
        if (own)
            ++result.fromOwnData;
        if (row.name.size() > keep)
            ++result.longNames;
        result.outsideZone += outsideZone ? 1 : 0;
        result.outsideArea += outsideArea ? 1 : 0;
        result.rows.push_back(std::move(row));
    }
    result.ok = true;
    return result;
}

QString DrawingImportNotes(const DrawingImportResult& result) {
    QStringList lines;
    if (result.longNames > 0)
        lines << QStringLiteral("%1 longer than the receiver keeps (8 characters) and will be shortened "
                                "on upload.")
                     .arg(result.longNames == 1 ? QStringLiteral("1 name is")
                                                : QStringLiteral("%1 names are").arg(result.longNames));
    if (result.outsideZone > 0)
        lines << QStringLiteral("%1 outside the band of %2 UTM zone.")
                     .arg(result.outsideZone == 1 ? QStringLiteral("1 point lies")
                                                  : QStringLiteral("%1 points lie").arg(result.outsideZone),
                          result.outsideZone == 1 ? QStringLiteral("its") : QStringLiteral("their"));
    if (result.outsideArea > 0)
        lines << QStringLiteral("%1 outside the coordinate system's area of use.")
                     .arg(result.outsideArea == 1 ? QStringLiteral("1 point lies")
                                                  : QStringLiteral("%1 points lie").arg(result.outsideArea));
    if (result.leftOut > 0)
        lines << QStringLiteral("%1 left out: no usable position.")
                     .arg(plural(result.leftOut, "point was", "points were"));
    return lines.join(QLatin1Char('\n'));
}

DrawingImportOptions StoredDrawingImportOptions() {
    const auto value = [](const char* key, const QString& fallback = QString()) {
        return GetSetting(kApp, kSection, QLatin1String(key), fallback).trimmed();
    };
    const auto flag = [&](const char* key, bool fallback) {
        const QString t = value(key);
        if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 || t == QLatin1String("1"))
            return true;
        if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0 || t == QLatin1String("0"))
            return false;
        return fallback;
    };
    DrawingImportOptions o;
    bool ok = false;
    const int zone = value("Zone").toInt(&ok);
    o.zone = ok && zone >= 1 && zone <= 60 ? zone : 0;
    o.south = flag("South", false);
    o.metric = flag("Metric", true);
    o.crs = value("CRS");
    // A layer name may hold blanks and commas but never "|".
    const QString layers = GetSetting(kApp, kSection, QStringLiteral("Layers"));
    if (!layers.isEmpty())
        o.layers = layers.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    o.vertices = flag("Vertices", false);
    return o;
}

SettingSaved SaveDrawingImportOptions(const DrawingImportOptions& options) {
    const auto text = [](bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); };
    const std::pair<const char*, QString> values[] = {
        {"Zone", QString::number(options.zone)},
        {"South", text(options.south)},
        {"Metric", text(options.metric)},
        {"CRS", options.crs.trimmed()},
        {"Layers", options.layers.join(QLatin1Char('|'))},
        {"Vertices", text(options.vertices)},
    };
    SettingSaved first;
    for (const auto& [key, value] : values) {
        SettingSaved saved = SaveSetting(kApp, kSection, QLatin1String(key), value);
        if (first.ok && !saved.ok)
            first = saved;
        else if (first.message.isEmpty() && !saved.message.isEmpty())
            first.message = saved.message;
    }
    return first;
}
