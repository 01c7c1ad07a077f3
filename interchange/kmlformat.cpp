// SPDX-License-Identifier: GPL-3.0-or-later
// KML placemarks in (Point; the points of a LineString and of a gx:Track as
// track points), one Point placemark per row out. KMZ: the KML inside the zip.
#include "interchange/formats.h"
#include "interchange/xmltext.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

using namespace InterchangeXml;

namespace {

struct Placemark {
    QString name, description, icon;
    QString dataElevation, dataDescription; // from ExtendedData, when the geometry has none
    QStringList points;                     // "lon,lat[,alt]" of Point geometries
    QStringList linePoints;                 // of LineString geometries
    QStringList whens;                      // gx:Track times
    QStringList coords;                     // gx:Track "lon lat alt"
};

void readPlacemark(QXmlStreamReader& xml, Placemark& p) {
    QStringList open; // elements open inside the placemark, outermost first
    auto geometry = [&open]() -> QString {
        for (qsizetype i = open.size() - 1; i >= 0; --i)
            if (open.at(i) == QLatin1String("Point") || open.at(i) == QLatin1String("LineString") ||
                open.at(i) == QLatin1String("Track"))
                return open.at(i);
        return QString();
    };
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            if (open.isEmpty())
                return; // </Placemark>
            open.removeLast();
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QString n = xml.name().toString();
        if (n == QLatin1String("name") && open.isEmpty()) {
            p.name = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (n == QLatin1String("description") && open.isEmpty()) {
            p.description = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (n == QLatin1String("Data") || n == QLatin1String("SimpleData")) {
            // ExtendedData as GDAL writes it (SimpleData) or by hand (Data/value).
            const QString key = xml.attributes().value(QLatin1String("name")).toString().toLower();
            QString value;
            if (n == QLatin1String("SimpleData")) {
                value = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            } else {
                while (xml.readNextStartElement()) {
                    if (xml.name() == QLatin1String("value"))
                        value = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
                    else
                        xml.skipCurrentElement();
                }
            }
            if (key == QLatin1String("icon") || key == QLatin1String("sym") || key == QLatin1String("symbol"))
                p.icon = value;
            else if (key == QLatin1String("ele") || key == QLatin1String("elevation") ||
                     key == QLatin1String("alt") || key == QLatin1String("altitude"))
                p.dataElevation = value;
            else if (key == QLatin1String("desc") || key == QLatin1String("cmt") ||
                     key == QLatin1String("comment"))
                p.dataDescription = value;
        } else if (n == QLatin1String("coordinates")) {
            static const QRegularExpression blanks(QStringLiteral("\\s+"));
            const QStringList tuples = xml.readElementText().split(blanks, Qt::SkipEmptyParts);
            const QString g = geometry();
            if (g == QLatin1String("Point"))
                p.points += tuples;
            else if (g == QLatin1String("LineString"))
                p.linePoints += tuples;
        } else if (n == QLatin1String("when") && geometry() == QLatin1String("Track")) {
            p.whens += xml.readElementText().trimmed();
        } else if (n == QLatin1String("coord") && geometry() == QLatin1String("Track")) {
            p.coords += xml.readElementText().simplified();
        } else if (n == QLatin1String("Style") || n == QLatin1String("StyleMap") ||
                   n == QLatin1String("Polygon")) {
            xml.skipCurrentElement();
        } else {
            open.push_back(n);
        }
    }
}

// One row from a "lon,lat[,alt]" tuple (sep ",") or "lon lat [alt]" (sep " ").
bool rowFromTuple(const QString& tuple, QChar sep, PointRow& row) {
    const QStringList parts = tuple.split(sep);
    if (parts.size() < 2 || !SetRowCoordinates(row, parts.at(1), parts.at(0)))
        return false;
    if (parts.size() >= 3)
        if (const auto metres = ElevationMetres(parts.at(2)))
            row.elevation = ElevationText(*metres);
    return true;
}

} // namespace

ReadResult ReadKml(const QByteArray& bytes) {
    ReadResult result;
    QXmlStreamReader xml(bytes);
    if (!ReadRoot(xml, "kml", QStringLiteral("KML"), &result.error))
        return result;
    int trackPoints = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("Placemark"))
            continue;
        Placemark p;
        readPlacemark(xml, p);
        for (const QString& t : p.points) {
            PointRow row;
            if (!rowFromTuple(t, QLatin1Char(','), row)) {
                ++result.skipped;
                continue;
            }
            row.name = p.name;
            row.message = p.description.isEmpty() ? p.dataDescription : p.description;
            row.icon = p.icon;
            if (row.elevation.isEmpty())
                if (const auto metres = ElevationMetres(p.dataElevation))
                    row.elevation = ElevationText(*metres);
            result.rows.push_back(std::move(row));
        }
        for (const QString& t : p.linePoints) {
            PointRow row;
            ++trackPoints;
            if (!rowFromTuple(t, QLatin1Char(','), row)) {
                ++result.skipped;
                continue;
            }
            row.name = TrackPointName(QString(), trackPoints);
            result.rows.push_back(std::move(row));
        }
        for (qsizetype i = 0; i < p.coords.size(); ++i) {
            PointRow row;
            ++trackPoints;
            if (!rowFromTuple(p.coords.at(i), QLatin1Char(' '), row)) {
                ++result.skipped;
                continue;
            }
            row.name = TrackPointName(i < p.whens.size() ? p.whens.at(i) : QString(), trackPoints);
            result.rows.push_back(std::move(row));
        }
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

QByteArray WriteKml(const PointRows& rows, WriteResult& result) {
    QString out;
    out.reserve(qsizetype(rows.size()) * 200 + 300);
    out += QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
                         "<Document>\n"
                         "  <name>Korvel Transfer</name>\n");
    for (const PointRow& row : rows) {
        if (IsEmptyRow(row))
            continue;
        const auto c = RowCoordinates(row);
        if (!c) {
            ++result.skipped;
            continue;
        }
        out += QLatin1String("  <Placemark>\n");
        AppendElement(out, "name", row.name, "    ");
        AppendElement(out, "description", row.message, "    ");
        if (!row.icon.isEmpty()) {
            out += QLatin1String("    <ExtendedData><Data name=\"icon\"><value>");
            AppendEscaped(out, row.icon);
            out += QLatin1String("</value></Data></ExtendedData>\n");
        }
        out += QLatin1String("    <Point>");
        const auto metres = ElevationMetres(row.elevation);
        if (metres)
            out += QLatin1String("<altitudeMode>absolute</altitudeMode>");
        out += QLatin1String("<coordinates>");
        out += CoordinateText(c->longitude);
        out += QLatin1Char(',');
        out += CoordinateText(c->latitude);
        if (metres) {
            out += QLatin1Char(',');
            out += CoordinateText(*metres);
        }
        out += QLatin1String("</coordinates></Point>\n  </Placemark>\n");
        ++result.written;
    }
    out += QLatin1String("</Document>\n</kml>\n");
    return out.toUtf8();
}

ReadResult ReadKmz(const QByteArray& bytes) {
    ReadResult result;
    QByteArray kml;
    if (!ExtractKmlFromZip(bytes, &kml, &result.error))
        return result;
    return ReadKml(kml);
}
