// SPDX-License-Identifier: GPL-3.0-or-later
// KML placemarks in (Point; the points of a LineString and of a gx:Track as
// track points), one Point placemark per row out. KMZ: the KML inside the zip.
#include "interchange/formats.h"
#include "interchange/xmlsax.h"
#include "interchange/xmltext.h"

#include <QRegularExpression>
#include <string>
#include <vector>

using namespace InterchangeText;

namespace {

struct Placemark {
    QString name, description, icon;
    QString dataElevation, dataDescription; // from ExtendedData, when the geometry has none
    QStringList points;                     // "lon,lat[,alt]" of Point geometries
    QStringList linePoints;                 // of LineString geometries
    QStringList whens;                      // gx:Track times
    QStringList coords;                     // gx:Track "lon lat alt"
};

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

// Collects placemarks while the parser walks the file.
class KmlReader final : public XmlHandler {
public:
    explicit KmlReader(ReadResult& result) : result_(result) {}
    QString notKml; // set when the first element is not <kml>

    void startElement(std::string_view name, const XmlAttributes& attributes) override {
        open_.emplace_back(name);
        if (open_.size() == 1) {
            if (name != "kml")
                notKml =
                    QStringLiteral("it is not a KML file (its first element is <%1>)").arg(ToQString(name));
            return;
        }
        if (!notKml.isEmpty())
            return;
        if (placemarkDepth_ == 0) {
            if (name == "Placemark") {
                placemarkDepth_ = open_.size();
                p_ = Placemark{};
            }
            return;
        }
        if (captureDepth_)
            return; // markup inside a captured text: its text is kept
        const bool direct = open_.size() == placemarkDepth_ + 1;
        if (name == "Data" || name == "SimpleData")
            dataKey_ = ToQString(attributes.value("name")).toLower();
        if ((direct && (name == "name" || name == "description")) || name == "coordinates" ||
            name == "when" || name == "coord" || name == "SimpleData" ||
            (name == "value" && parent() == "Data")) {
            captureDepth_ = open_.size();
            text_.clear();
        }
    }

    void endElement(std::string_view name) override {
        if (captureDepth_ == open_.size()) {
            captureDepth_ = 0;
            captured(name);
        } else if (placemarkDepth_ == open_.size()) {
            placemarkDepth_ = 0;
            emitPlacemark();
        }
        open_.pop_back();
    }

    void text(std::string_view utf8) override {
        if (captureDepth_)
            text_.append(utf8);
    }

private:
    std::string_view parent() const {
        return open_.size() >= 2 ? std::string_view(open_[open_.size() - 2]) : std::string_view();
    }

    // The innermost geometry open: "Point", "LineString", "Track" or "".
    std::string_view geometry() const {
        for (auto it = open_.rbegin(); it != open_.rend(); ++it)
            if (*it == "Point" || *it == "LineString" || *it == "Track")
                return *it;
        return {};
    }

    void captured(std::string_view name) {
        const QString t = ToQString(text_).trimmed();
        const std::string_view g = geometry();
        if (name == "name" && open_.size() == placemarkDepth_ + 1) {
            p_.name = t;
        } else if (name == "description" && open_.size() == placemarkDepth_ + 1) {
            p_.description = t;
        } else if (name == "coordinates") {
            static const QRegularExpression blanks(QStringLiteral("\\s+"));
            const QStringList tuples = t.split(blanks, Qt::SkipEmptyParts);
            if (g == "Point")
                p_.points += tuples;
            else if (g == "LineString")
                p_.linePoints += tuples;
        } else if (name == "when" && g == "Track") {
            p_.whens += t;
        } else if (name == "coord" && g == "Track") {
            p_.coords += t.simplified();
        } else if (name == "SimpleData" || name == "value") {
            if (dataKey_ == QLatin1String("icon") || dataKey_ == QLatin1String("sym") ||
                dataKey_ == QLatin1String("symbol"))
                p_.icon = t;
            else if (dataKey_ == QLatin1String("ele") || dataKey_ == QLatin1String("elevation") ||
                     dataKey_ == QLatin1String("alt") || dataKey_ == QLatin1String("altitude"))
                p_.dataElevation = t;
            else if (dataKey_ == QLatin1String("desc") || dataKey_ == QLatin1String("cmt") ||
                     dataKey_ == QLatin1String("comment"))
                p_.dataDescription = t;
        }
    }

    void emitPlacemark() {
        for (const QString& t : p_.points) {
            PointRow row;
            if (!rowFromTuple(t, QLatin1Char(','), row)) {
                ++result_.skipped;
                continue;
            }
            row.name = p_.name;
            row.message = p_.description.isEmpty() ? p_.dataDescription : p_.description;
            row.icon = p_.icon;
            if (row.elevation.isEmpty())
                if (const auto metres = ElevationMetres(p_.dataElevation))
                    row.elevation = ElevationText(*metres);
            result_.rows.push_back(std::move(row));
        }
        for (const QString& t : p_.linePoints) {
            PointRow row;
            ++trackPoints_;
            if (!rowFromTuple(t, QLatin1Char(','), row)) {
                ++result_.skipped;
                continue;
            }
            row.name = TrackPointName(QString(), trackPoints_);
            result_.rows.push_back(std::move(row));
        }
        for (qsizetype i = 0; i < p_.coords.size(); ++i) {
            PointRow row;
            ++trackPoints_;
            if (!rowFromTuple(p_.coords.at(i), QLatin1Char(' '), row)) {
                ++result_.skipped;
                continue;
            }
            row.name = TrackPointName(i < p_.whens.size() ? p_.whens.at(i) : QString(), trackPoints_);
            result_.rows.push_back(std::move(row));
        }
    }

    ReadResult& result_;
    std::vector<std::string> open_; // elements open, outermost first
    size_t placemarkDepth_ = 0;     // depth of the open Placemark; 0 outside one
    size_t captureDepth_ = 0;       // depth of the element whose text is collected; 0 none
    std::string text_;
    QString dataKey_;
    Placemark p_;
    int trackPoints_ = 0;
};

} // namespace

ReadResult ReadKml(const QByteArray& bytes) {
    ReadResult result;
    KmlReader reader(result);
    QString error;
    const bool wellFormed = ParseXml(bytes, reader, &error);
    return FinishXmlRead(std::move(result), wellFormed, error, reader.notKml);
}

QByteArray WriteKml(const PointRows& rows, WriteResult& result) {
    QByteArray out;
    out.reserve(qsizetype(rows.size()) * 180 + 300);
    out.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
               "<Document>\n"
               "  <name>Korvel Transfer</name>\n");
    ForEachWritableRow(rows, result, [&](const PointRow& row, const Coordinates& coords) {
        out.append("  <Placemark>\n");
        AppendXmlElement(out, "name", row.name, "    ");
        AppendXmlElement(out, "description", row.message, "    ");
        if (!row.icon.isEmpty()) {
            out.append("    <ExtendedData><Data name=\"icon\"><value>");
            AppendXmlEscaped(out, row.icon);
            out.append("</value></Data></ExtendedData>\n");
        }
        out.append("    <Point>");
        const auto metres = ElevationMetres(row.elevation);
        if (metres)
            out.append("<altitudeMode>absolute</altitudeMode>");
        out.append("<coordinates>");
        AppendCoordinate(out, row.longitude, coords.longitude);
        out.append(',');
        AppendCoordinate(out, row.latitude, coords.latitude);
        if (metres) {
            out.append(',');
            AppendMetres(out, *metres);
        }
        out.append("</coordinates></Point>\n  </Placemark>\n");
        ++result.written;
    });
    out.append("</Document>\n</kml>\n");
    return out;
}

ReadResult ReadKmz(const QByteArray& bytes) {
    ReadResult result;
    QByteArray kml;
    if (!ExtractKmlFromZip(bytes, &kml, &result.error))
        return result;
    return ReadKml(kml);
}
