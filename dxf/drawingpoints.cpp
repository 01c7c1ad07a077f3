// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/drawingpoints.h"

#include "dxf/dxfconvert.h"
#include "dxf/dxfdocument.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

// A value line inside the file's bytes, blanks around it trimmed.
struct View {
    const char* p = nullptr;
    qsizetype n = 0;
    bool is(const char* text) const {
        return n == qsizetype(std::strlen(text)) && std::memcmp(p, text, n) == 0;
    }
    QByteArray bytes() const { return QByteArray::fromRawData(p, n); }
};

View trimmed(const char* p, qsizetype n) {
    while (n > 0 && (*p == ' ' || *p == '\t')) {
        ++p;
        --n;
    }
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\t' || p[n - 1] == '\r'))
        --n;
    return {p, n};
}

std::optional<double> number(View v) {
    const char* b = v.p;
    const char* e = v.p + v.n;
    if (b != e && *b == '+')
        ++b;
    double value = 0;
    auto [ptr, ec] = std::from_chars(b, e, value);
    if (b == e || ec != std::errc() || ptr != e || !std::isfinite(value))
        return std::nullopt;
    return value;
}

struct Tag {
    int code;
    View value;     // trimmed
    View untrimmed; // as read: text values keep their blanks
};

using Vec = std::array<double, 3>;

// The arbitrary axis algorithm: OCS axes of an extrusion direction.
struct Ocs {
    Vec ax{1, 0, 0}, ay{0, 1, 0}, az{0, 0, 1};
    bool identity = true;
    explicit Ocs(Vec n = {0, 0, 1}) {
        const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (!(len > 0) || !std::isfinite(len))
            return;
        n = {n[0] / len, n[1] / len, n[2] / len};
        if (n[0] == 0 && n[1] == 0 && n[2] > 0)
            return;
        identity = false;
        auto cross = [](const Vec& a, const Vec& b) {
            return Vec{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
        };
        const double limit = 1.0 / 64;
        ax = std::fabs(n[0]) < limit && std::fabs(n[1]) < limit ? cross({0, 1, 0}, n) : cross({0, 0, 1}, n);
        const double l = std::sqrt(ax[0] * ax[0] + ax[1] * ax[1] + ax[2] * ax[2]);
        ax = {ax[0] / l, ax[1] / l, ax[2] / l};
        ay = cross(n, ax);
        az = n;
    }
    Vec toWcs(const Vec& p) const {
        if (identity)
            return p;
        return {p[0] * ax[0] + p[1] * ay[0] + p[2] * az[0], p[0] * ax[1] + p[1] * ay[1] + p[2] * az[1],
                p[0] * ax[2] + p[1] * ay[2] + p[2] * az[2]};
    }
};

// What the tags of one entity say before its extended data.
struct Common {
    View handle, layer, owner;
    bool paper = false;
    size_t xdata = 0; // index of the first extended data tag (tags.size() when none)
    bool hasOurData = false;
};

class PointReader {
public:
    PointReader(DrawingPointsResult& out, const DrawingPointsOptions& options)
        : out_(out), options_(options) {
        for (const QString& l : options.layers)
            filter_.insert(l.toUpper());
    }

    void read(const QByteArray& bytes);

private:
    enum class Section { Other, Header, Tables, Entities };

    void object(Section section);
    void headerTag(int code, View value);
    void tableEntry();
    void entity();
    Common common() const;
    QString decode(View v) const;
    const QString& name(View v);
    bool wanted(const QString& layer) const { return filter_.isEmpty() || filter_.contains(layer.toUpper()); }
    std::optional<PointData> data(const Common& c) const;
    void noteLayer(const QString& layer);

    DrawingPointsResult& out_;
    const DrawingPointsOptions& options_;
    QSet<QString> filter_;
    QByteArray version_ = "AC1009";
    QByteArray codepage_;
    QByteArray variable_; // the header variable whose value tags come now
    QSet<QByteArray> paperRecords_;
    QSet<QString> layersListed_; // upper case
    QHash<QByteArray, QString> names_;
    std::vector<Tag> tags_; // the object being read: its type tag first

    // Sequences: ATTRIBs after an INSERT, VERTEXes after a POLYLINE, to SEQEND.
    bool insertOpen_ = false;
    struct Polyline {
        bool open = false;
        bool is3d = false;
        QString handle, layer;
        Ocs ocs;
        double elevation = 0;
        int count = 0;
        std::optional<PointData> data;
    } poly_;
};

QString PointReader::decode(View v) const {
    bool plain = true;
    for (qsizetype i = 0; i < v.n && plain; ++i)
        plain = static_cast<unsigned char>(v.p[i]) < 0x80 && v.p[i] != '\\';
    if (plain)
        return QString::fromLatin1(v.p, v.n);
    return DxfConvert::decodeText(v.bytes(), version_, codepage_);
}

// Names (layers, blocks, attribute tags) repeat: each is decoded once.
const QString& PointReader::name(View v) {
    const QByteArray key = v.bytes();
    auto it = names_.constFind(key);
    if (it == names_.constEnd())
        it = names_.insert(QByteArray(v.p, v.n), decode(v));
    return *it;
}

void PointReader::noteLayer(const QString& layer) {
    const QString key = layer.toUpper();
    if (!layersListed_.contains(key)) {
        layersListed_.insert(key);
        out_.layers << layer;
    }
}

void PointReader::read(const QByteArray& bytes) {
    if (bytes.startsWith("AutoCAD Binary DXF"))
        throw DxfError(
            QStringLiteral("The file is a binary DXF drawing; only ASCII DXF drawings can be read."));
    DxfTagReader r(bytes);
    enum class State { Outside, Name, Inside, Done } state = State::Outside;
    Section section = Section::Other;
    QByteArray sectionName;
    bool anySection = false;
    while (state != State::Done && r.next()) {
        const View value = trimmed(r.valueData(), r.valueSize());
        switch (state) {
        case State::Outside:
            if (r.code() == 0 && value.is("SECTION")) {
                state = State::Name;
                anySection = true;
            } else if (r.code() == 0 && value.is("EOF")) {
                state = State::Done;
            } else if (r.code() != 999) {
                throw DxfError(
                    anySection
                        ? QStringLiteral("The DXF drawing is damaged: line %1 lies outside every section.")
                              .arg(r.lineNumber())
                        : QStringLiteral(
                              "The file is not a DXF drawing (it does not begin with a section)."));
            }
            break;
        case State::Name:
            if (r.code() == 999)
                break;
            if (r.code() != 2)
                throw DxfError(
                    QStringLiteral("The DXF drawing is damaged: the section at line %1 has no name.")
                        .arg(r.lineNumber() - 1));
            sectionName = value.bytes().toUpper();
            section = sectionName == "HEADER"     ? Section::Header
                      : sectionName == "TABLES"   ? Section::Tables
                      : sectionName == "ENTITIES" ? Section::Entities
                                                  : Section::Other;
            tags_.clear();
            state = State::Inside;
            break;
        case State::Inside:
            if (r.code() == 0 && (value.is("SECTION") || value.is("EOF")))
                throw DxfError(QStringLiteral("The DXF drawing is damaged: section %1 has no end.")
                                   .arg(QString::fromLatin1(sectionName)));
            if (section == Section::Header) {
                headerTag(r.code(), value);
                if (r.code() == 0 && value.is("ENDSEC"))
                    state = State::Outside;
                break;
            }
            if (r.code() == 0) {
                object(section);
                tags_.clear();
                if (value.is("ENDSEC")) {
                    state = State::Outside;
                    break;
                }
            }
            if (section != Section::Other)
                tags_.push_back({r.code(), value, {r.valueData(), r.valueSize()}});
            break;
        case State::Done:
            break;
        }
    }
    if (state == State::Name || state == State::Inside)
        throw DxfError(QStringLiteral("The DXF drawing is incomplete: it ends inside section %1.")
                           .arg(QString::fromLatin1(sectionName.isEmpty() ? QByteArray("?") : sectionName)));
    if (!anySection)
        throw DxfError(QStringLiteral("The file is not a DXF drawing (it has no sections)."));
    out_.version = QString::fromLatin1(version_);
}

void PointReader::headerTag(int code, View value) {
    if (code == 9) {
        variable_ = value.bytes().toUpper();
    } else if (variable_ == "$ACADVER" && code == 1) {
        version_ = value.bytes().toUpper();
    } else if (variable_ == "$DWGCODEPAGE" && code == 3) {
        codepage_ = QByteArray(value.p, value.n);
    }
}

void PointReader::object(Section section) {
    if (tags_.empty() || tags_.front().code != 0)
        return;
    if (section == Section::Tables)
        tableEntry();
    else if (section == Section::Entities)
        entity();
}

void PointReader::tableEntry() {
    const View type = tags_.front().value;
    const bool layer = type.is("LAYER");
    if (!layer && !type.is("BLOCK_RECORD"))
        return;
    View entryName, handle;
    for (const Tag& t : tags_) {
        if (t.code == 2 && !entryName.p)
            entryName = t.value;
        else if (t.code == 5 && !handle.p)
            handle = t.value;
    }
    if (!entryName.p)
        return;
    if (layer)
        noteLayer(name(entryName));
    else if (entryName.bytes().toUpper().startsWith("*PAPER_SPACE") && handle.p)
        paperRecords_.insert(handle.bytes().toUpper());
}

Common PointReader::common() const {
    Common c;
    c.xdata = tags_.size();
    bool inGroup = false;
    for (size_t i = 1; i < tags_.size(); ++i) {
        const Tag& t = tags_[i];
        if (t.code >= 1000) {
            if (c.xdata == tags_.size())
                c.xdata = i;
            if (t.code == 1001 && t.value.is(kPointDataApp))
                c.hasOurData = true;
            continue;
        }
        if (c.xdata != tags_.size())
            continue;
        switch (t.code) {
        case 102:
            inGroup = t.value.n > 0 && t.value.p[0] == '{';
            break;
        case 5:
            if (!c.handle.p)
                c.handle = t.value;
            break;
        case 8:
            if (!c.layer.p)
                c.layer = t.value;
            break;
        case 67:
            c.paper = c.paper || t.value.is("1");
            break;
        case 330:
            if (!inGroup && !c.owner.p)
                c.owner = t.value;
            break;
        default:
            break;
        }
    }
    return c;
}

std::optional<PointData> PointReader::data(const Common& c) const {
    if (!c.hasOurData)
        return std::nullopt;
    std::vector<DxfTag> xdata;
    for (size_t i = c.xdata; i < tags_.size(); ++i)
        xdata.push_back(DxfTag{tags_[i].code, tags_[i].untrimmed.bytes(), {}});
    return PointDataXData::fromTags(xdata, [this](const QByteArray& b) {
        return decode({b.constData(), b.size()});
    });
}

void PointReader::entity() {
    const View type = tags_.front().value;
    const Common c = common();
    // Coordinates of the first 10/20/30 group and the extrusion; false when
    // one of them is not a number.
    auto point = [&](Vec& p, Vec* extrusion) {
        for (size_t i = 1; i < c.xdata; ++i) {
            const Tag& t = tags_[i];
            int axis = -1;
            Vec* target = &p;
            if (t.code == 10 || t.code == 20 || t.code == 30)
                axis = t.code / 10 - 1;
            else if (extrusion && (t.code == 210 || t.code == 220 || t.code == 230)) {
                axis = (t.code - 200) / 10 - 1;
                target = extrusion;
            }
            if (axis < 0)
                continue;
            const auto v = number(t.value);
            if (!v)
                return false;
            (*target)[axis] = *v;
        }
        return true;
    };

    if (type.is("ATTRIB")) {
        if (!insertOpen_ || out_.points.empty())
            return;
        View tag, text;
        for (size_t i = 1; i < c.xdata; ++i) {
            const Tag& t = tags_[i];
            if (t.code == 101)
                break; // an embedded multi-line text follows: its groups are not the attribute's
            if (t.code == 2 && !tag.p)
                tag = t.value;
            else if (t.code == 1 && !text.p)
                text = t.untrimmed;
        }
        out_.points.back().attributes.append({name(tag), decode(text)});
        return;
    }
    if (type.is("VERTEX")) {
        if (!poly_.open)
            return;
        int flags = 0;
        for (size_t i = 1; i < c.xdata; ++i)
            if (tags_[i].code == 70)
                flags = static_cast<int>(number(tags_[i].value).value_or(0));
        // 8: made by a spline fit; 128: a polyface face record. Neither is a point placed.
        if (flags & (8 | 128))
            return;
        Vec p{0, 0, 0};
        if (!point(p, nullptr))
            return;
        if (!poly_.is3d)
            p = poly_.ocs.toWcs({p[0], p[1], poly_.elevation});
        DrawingPoint v;
        v.kind = DrawingPoint::Kind::Vertex;
        v.handle = poly_.handle;
        v.layer = poly_.layer;
        v.x = p[0];
        v.y = p[1];
        v.z = p[2];
        v.vertex = ++poly_.count;
        v.data = data(c);
        if (!v.data)
            v.data = poly_.data;
        out_.points.push_back(std::move(v));
        return;
    }
    insertOpen_ = false;
    poly_.open = false;
    if (type.is("SEQEND"))
        return;

    const bool isInsert = type.is("INSERT"), isPoint = type.is("POINT"), isLw = type.is("LWPOLYLINE"),
               isPoly = type.is("POLYLINE");
    if (!isInsert && !isPoint && !isLw && !isPoly)
        return;
    if (c.paper ||
        (c.owner.p && !paperRecords_.isEmpty() && paperRecords_.contains(c.owner.bytes().toUpper())))
        return;
    const QString& layer = c.layer.p ? name(c.layer) : name({"0", 1});
    noteLayer(layer);
    if (!wanted(layer))
        return;
    const QString handle = QString::fromLatin1(c.handle.p, c.handle.n);

    if (isInsert || isPoint) {
        Vec p{0, 0, 0}, extrusion{0, 0, 1};
        if (!point(p, isInsert ? &extrusion : nullptr))
            return;
        DrawingPoint d;
        d.kind = isInsert ? DrawingPoint::Kind::Block : DrawingPoint::Kind::Point;
        d.handle = handle;
        d.layer = layer;
        if (isInsert) {
            p = Ocs(extrusion).toWcs(p);
            for (size_t i = 1; i < c.xdata; ++i)
                if (tags_[i].code == 2) {
                    d.block = name(tags_[i].value);
                    break;
                }
        }
        d.x = p[0];
        d.y = p[1];
        d.z = p[2];
        d.data = data(c);
        out_.points.push_back(std::move(d));
        insertOpen_ = isInsert;
        return;
    }
    if (!options_.polylineVertices)
        return;
    const std::optional<PointData> shared = data(c);
    if (isPoly) {
        Vec p{0, 0, 0}, extrusion{0, 0, 1};
        int flags = 0;
        for (size_t i = 1; i < c.xdata; ++i)
            if (tags_[i].code == 70)
                flags = static_cast<int>(number(tags_[i].value).value_or(0));
        // 16: polygon mesh, 64: polyface mesh: their vertices are no placed points.
        if ((flags & (16 | 64)) || !point(p, &extrusion))
            return;
        poly_ = Polyline{true, (flags & 8) != 0, handle, layer, Ocs(extrusion), p[2], 0, shared};
        return;
    }
    // LWPOLYLINE: 10/20 pairs in OCS at elevation 38.
    Vec extrusion{0, 0, 1};
    double elevation = 0;
    for (size_t i = 1; i < c.xdata; ++i) {
        const Tag& t = tags_[i];
        if (t.code == 38)
            elevation = number(t.value).value_or(0);
        else if (t.code >= 210 && t.code <= 230 && t.code % 10 == 0)
            extrusion[(t.code - 200) / 10 - 1] = number(t.value).value_or(extrusion[(t.code - 200) / 10 - 1]);
    }
    const Ocs ocs(extrusion);
    int count = 0;
    for (size_t i = 1; i < c.xdata; ++i) {
        if (tags_[i].code != 10)
            continue;
        const auto x = number(tags_[i].value);
        const auto y = i + 1 < c.xdata && tags_[i + 1].code == 20 ? number(tags_[i + 1].value) : std::nullopt;
        if (!x || !y)
            continue;
        const Vec p = ocs.toWcs({*x, *y, elevation});
        DrawingPoint v;
        v.kind = DrawingPoint::Kind::Vertex;
        v.handle = handle;
        v.layer = layer;
        v.x = p[0];
        v.y = p[1];
        v.z = p[2];
        v.vertex = ++count;
        v.data = shared;
        out_.points.push_back(std::move(v));
    }
}

} // namespace

DrawingPointsResult ReadDrawingPointsFromData(const QByteArray& bytes, const DrawingPointsOptions& options) {
    DrawingPointsResult result;
    try {
        PointReader reader(result, options);
        reader.read(bytes);
    } catch (const DxfError& e) {
        result.points.clear();
        result.layers.clear();
        result.error = e.description();
        return result;
    }
    return result;
}

DrawingPointsResult ReadDrawingPoints(const QString& path, const DrawingPointsOptions& options) {
    DrawingPointsResult result;
    const QFileInfo info(path);
    // A FIFO or a device would block or never end: only regular files are read.
    if (!info.exists() || !info.isFile()) {
        result.error = info.exists() ? QStringLiteral("\"%1\" is not a file.").arg(path)
                                     : QStringLiteral("The drawing \"%1\" was not found.").arg(path);
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("The drawing \"%1\" cannot be read: %2.").arg(path, file.errorString());
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = QStringLiteral("The drawing \"%1\" cannot be read: %2.").arg(path, file.errorString());
        return result;
    }
    result = ReadDrawingPointsFromData(bytes, options);
    if (!result.ok())
        result.error = QStringLiteral("%1: %2").arg(path, result.error);
    return result;
}

QString DrawingPointName(const DrawingPoint& point) {
    switch (point.kind) {
    case DrawingPoint::Kind::Block: {
        for (const auto& [tag, text] : point.attributes)
            if (tag.compare(QLatin1String("TRANSFERTEXT"), Qt::CaseInsensitive) == 0 &&
                !text.trimmed().isEmpty())
                return text;
        for (const auto& attribute : point.attributes)
            if (!attribute.second.trimmed().isEmpty())
                return attribute.second;
        return point.block + QLatin1Char('-') + point.handle;
    }
    case DrawingPoint::Kind::Point:
        return point.handle;
    case DrawingPoint::Kind::Vertex:
        return point.handle + QLatin1Char('-') + QString::number(point.vertex);
    }
    return point.handle;
}
