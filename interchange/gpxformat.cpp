// SPDX-License-Identifier: GPL-3.0-or-later
// GPX 1.0 and 1.1: wpt, rte/rtept and trk/trkseg/trkpt in; one wpt per row out.
#include "interchange/formats.h"
#include "interchange/xmlsax.h"
#include "interchange/xmltext.h"

#include <string>

using namespace InterchangeText;

namespace {

// Collects the points while the parser walks the file.
class GpxReader final : public XmlHandler {
public:
    explicit GpxReader(ReadResult& result) : result_(result) {}
    QString notGpx; // set when the first element is not <gpx>

    void startElement(std::string_view name, const XmlAttributes& attributes) override {
        ++depth_;
        if (depth_ == 1) {
            if (name != "gpx")
                notGpx =
                    QStringLiteral("it is not a GPX file (its first element is <%1>)").arg(ToQString(name));
            return;
        }
        if (!notGpx.isEmpty())
            return;
        if (pointDepth_ == 0) {
            if (name == "wpt" || name == "rtept" || name == "trkpt") {
                pointDepth_ = depth_;
                track_ = name == "trkpt";
                lat_ = attributes.value("lat");
                lon_ = attributes.value("lon");
                for (std::string& f : fields_)
                    f.clear();
            }
            return;
        }
        if (depth_ == pointDepth_ + 1 && capture_ < 0) {
            static constexpr std::string_view names[] = {"ele", "time", "name", "desc", "cmt", "sym"};
            for (int i = 0; i < 6; ++i)
                if (name == names[i])
                    capture_ = i;
            if (capture_ >= 0)
                fields_[capture_].clear();
        }
    }

    void endElement(std::string_view) override {
        if (pointDepth_ && depth_ == pointDepth_ + 1)
            capture_ = -1;
        else if (pointDepth_ && depth_ == pointDepth_) {
            pointDepth_ = 0;
            emitPoint();
        }
        --depth_;
    }

    void text(std::string_view utf8) override {
        if (capture_ >= 0)
            fields_[capture_].append(utf8);
    }

private:
    enum { ele, time, name, desc, cmt, sym };

    QString field(int i) const { return ToQString(fields_[i]).trimmed(); }

    void emitPoint() {
        if (track_)
            ++trackPoints_;
        PointRow row;
        if (!SetRowCoordinates(row, std::string_view(lat_), std::string_view(lon_))) {
            ++result_.skipped;
            return;
        }
        row.name = track_ ? TrackPointName(field(time), trackPoints_) : field(name);
        if (!fields_[ele].empty())
            if (const auto metres = ElevationMetres(field(ele)))
                row.elevation = ElevationText(*metres);
        row.message = fields_[desc].empty() ? field(cmt) : field(desc);
        row.icon = field(sym);
        result_.rows.push_back(std::move(row));
    }

    ReadResult& result_;
    int depth_ = 0;
    int pointDepth_ = 0; // depth of the open point element; 0 outside one
    bool track_ = false;
    int trackPoints_ = 0;
    int capture_ = -1; // the field whose text is being collected
    std::string lat_, lon_;
    std::string fields_[6];
};

} // namespace

ReadResult ReadGpx(const QByteArray& bytes) {
    ReadResult result;
    GpxReader reader(result);
    QString error;
    const bool wellFormed = ParseXml(bytes, reader, &error);
    return FinishXmlRead(std::move(result), wellFormed, error, reader.notGpx);
}

QByteArray WriteGpx(const PointRows& rows, WriteResult& result) {
    QByteArray out;
    out.reserve(qsizetype(rows.size()) * 110 + 400);
    out.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<gpx version=\"1.1\" creator=\"Korvel Transfer\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
               "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
               "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
               "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n");
    ForEachWritableRow(rows, result, [&](const PointRow& row, const Coordinates& coords) {
        out.append("  <wpt lat=\"");
        AppendCoordinate(out, row.latitude, coords.latitude);
        out.append("\" lon=\"");
        AppendCoordinate(out, row.longitude, coords.longitude);
        out.append("\">\n");
        if (const auto metres = ElevationMetres(row.elevation)) {
            out.append("    <ele>");
            AppendMetres(out, *metres);
            out.append("</ele>\n");
        }
        AppendXmlElement(out, "name", row.name, "    ");
        AppendXmlElement(out, "desc", row.message, "    ");
        AppendXmlElement(out, "sym", row.icon, "    ");
        out.append("  </wpt>\n");
        ++result.written;
    });
    out.append("</gpx>\n");
    return out;
}
