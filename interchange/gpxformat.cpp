// SPDX-License-Identifier: GPL-3.0-or-later
// GPX 1.0 and 1.1: wpt, rte/rtept and trk/trkseg/trkpt in; one wpt per row out.
#include "interchange/formats.h"
#include "interchange/xmltext.h"

#include <QXmlStreamReader>

using namespace InterchangeXml;

namespace {

enum class PointKind { Waypoint, RoutePoint, TrackPoint };

struct GpxPoint {
    QString lat, lon, ele, time, name, desc, cmt, sym;
};

// Reads the children of the point element the reader stands on, up to its end.
void readPoint(QXmlStreamReader& xml, GpxPoint& p) {
    const QXmlStreamAttributes attrs = xml.attributes();
    p.lat = attrs.value(QLatin1String("lat")).toString();
    p.lon = attrs.value(QLatin1String("lon")).toString();
    while (xml.readNextStartElement()) {
        const QStringView n = xml.name();
        QString* target = nullptr;
        if (n == QLatin1String("ele"))
            target = &p.ele;
        else if (n == QLatin1String("time"))
            target = &p.time;
        else if (n == QLatin1String("name"))
            target = &p.name;
        else if (n == QLatin1String("desc"))
            target = &p.desc;
        else if (n == QLatin1String("cmt"))
            target = &p.cmt;
        else if (n == QLatin1String("sym"))
            target = &p.sym;
        if (target)
            *target = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        else
            xml.skipCurrentElement();
    }
}

} // namespace

ReadResult ReadGpx(const QByteArray& bytes) {
    ReadResult result;
    QXmlStreamReader xml(bytes);
    if (!ReadRoot(xml, "gpx", QStringLiteral("GPX"), &result.error))
        return result;
    int trackPoints = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView n = xml.name();
        if (n == QLatin1String("metadata") || n == QLatin1String("extensions")) {
            xml.skipCurrentElement();
            continue;
        }
        PointKind kind;
        if (n == QLatin1String("wpt"))
            kind = PointKind::Waypoint;
        else if (n == QLatin1String("rtept"))
            kind = PointKind::RoutePoint;
        else if (n == QLatin1String("trkpt"))
            kind = PointKind::TrackPoint;
        else
            continue;
        GpxPoint p;
        readPoint(xml, p);
        if (kind == PointKind::TrackPoint)
            ++trackPoints;
        PointRow row;
        if (!SetRowCoordinates(row, p.lat, p.lon)) {
            ++result.skipped;
            continue;
        }
        row.name = kind == PointKind::TrackPoint ? TrackPointName(p.time, trackPoints) : p.name;
        if (const auto metres = ElevationMetres(p.ele))
            row.elevation = ElevationText(*metres);
        row.message = p.desc.isEmpty() ? p.cmt : p.desc;
        row.icon = p.sym;
        result.rows.push_back(std::move(row));
    }
    if (xml.hasError()) {
        result.rows.clear();
        result.skipped = 0;
        result.error = ErrorText(xml);
        return result;
    }
    result.ok = true;
    return result;
}

QByteArray WriteGpx(const PointRows& rows, WriteResult& result) {
    QString out;
    out.reserve(qsizetype(rows.size()) * 120 + 400);
    out += QLatin1String(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"Korvel Transfer\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
        "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n");
    for (const PointRow& row : rows) {
        if (IsEmptyRow(row))
            continue;
        const auto c = RowCoordinates(row);
        if (!c) {
            ++result.skipped;
            continue;
        }
        out += QLatin1String("  <wpt lat=\"");
        out += CoordinateText(c->latitude);
        out += QLatin1String("\" lon=\"");
        out += CoordinateText(c->longitude);
        out += QLatin1String("\">\n");
        if (const auto metres = ElevationMetres(row.elevation))
            AppendElement(out, "ele", CoordinateText(*metres), "    ");
        AppendElement(out, "name", row.name, "    ");
        AppendElement(out, "desc", row.message, "    ");
        AppendElement(out, "sym", row.icon, "    ");
        out += QLatin1String("  </wpt>\n");
        ++result.written;
    }
    out += QLatin1String("</gpx>\n");
    return out.toUtf8();
}
