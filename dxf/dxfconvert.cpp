// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/dxfconvert.h"

#include "platform/ansi.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>

namespace DxfConvert {

namespace {

using T = DxfDocument;

int versionNumber(const QByteArray& version) {
    if (version.size() == 6 && version.startsWith("AC10")) {
        bool ok = false;
        int n = version.mid(2).toInt(&ok);
        return ok ? n : 0;
    }
    return 0;
}

QString refused(const QString& path, const QByteArray& type, const char* why) {
    return QStringLiteral("The block drawing \"%1\" holds a %2 entity, which %3; the block was not inserted.")
        .arg(path, QString::fromLatin1(type), QLatin1String(why));
}

bool isTextCode(int code) {
    return (code >= 1 && code <= 9) || code == 1000;
}

// Codes an R12 entity can hold: the rest belong to later versions.
bool isR12Code(int code) {
    if (code == 48 || code == 60 || code == 92)
        return false;
    return code < 100 || (code >= 210 && code <= 239) || code == 999 || code >= 1000;
}

// The subclass markers of an R12 entity in a modern drawing: `first` after
// AcDbEntity holds every code but those of `second`, which follow `secondName`.
struct Layout {
    std::vector<const char*> first;
    const char* secondName = nullptr;
    QSet<int> second;
};

std::optional<Layout> modernLayout(const DxfObject& o) {
    const QByteArray type = o.type();
    const int flags = static_cast<int>(o.number(70).value_or(0));
    if (type == "LINE")
        return Layout{{"AcDbLine"}, nullptr, {}};
    if (type == "POINT")
        return Layout{{"AcDbPoint"}, nullptr, {}};
    if (type == "CIRCLE")
        return Layout{{"AcDbCircle"}, nullptr, {}};
    if (type == "ARC")
        return Layout{{"AcDbCircle"}, "AcDbArc", {50, 51}};
    if (type == "TEXT")
        return Layout{{"AcDbText"}, "AcDbText", {73}};
    if (type == "ATTDEF")
        return Layout{{"AcDbText"}, "AcDbAttributeDefinition", {3, 2, 70, 73, 74}};
    if (type == "ATTRIB")
        return Layout{{"AcDbText"}, "AcDbAttribute", {2, 70, 73, 74}};
    if (type == "SOLID" || type == "TRACE")
        return Layout{{"AcDbTrace"}, nullptr, {}};
    if (type == "3DFACE")
        return Layout{{"AcDbFace"}, nullptr, {}};
    if (type == "INSERT")
        return Layout{{"AcDbBlockReference"}, nullptr, {}};
    if (type == "SHAPE")
        return Layout{{"AcDbShape"}, nullptr, {}};
    if (type == "SEQEND")
        return Layout{{}, nullptr, {}};
    if (type == "POLYLINE") {
        const char* kind = (flags & 8)    ? "AcDb3dPolyline"
                           : (flags & 16) ? "AcDbPolygonMesh"
                           : (flags & 64) ? "AcDbPolyFaceMesh"
                                          : "AcDb2dPolyline";
        return Layout{{kind}, nullptr, {}};
    }
    if (type == "VERTEX") {
        const char* kind = (flags & 32)                    ? "AcDb3dPolylineVertex"
                           : (flags & 128) && (flags & 64) ? "AcDbPolyFaceMeshVertex"
                           : (flags & 128)                 ? "AcDbFaceRecord"
                           : (flags & 64)                  ? "AcDbPolygonMeshVertex"
                                                           : "AcDb2dVertex";
        return Layout{{"AcDbVertex", kind}, nullptr, {}};
    }
    return std::nullopt;
}

DxfObject modernEntity(const DxfObject& o, const QString& path) {
    std::optional<Layout> layout = modernLayout(o);
    if (!layout)
        throw DxfError(refused(path, o.type(), "cannot be converted to a later DXF version"));
    static const QSet<int> common = {67, 8, 6, 62, 370, 48, 60};
    DxfObject out{{o.tags.front()}};
    if (int h = o.find(5); h >= 0)
        out.tags.push_back(o.tags[h]);
    out.tags.push_back(T::tag(100, "AcDbEntity"));
    std::vector<DxfTag> body, second, xdata;
    for (size_t i = 1; i < o.tags.size(); ++i) {
        const DxfTag& t = o.tags[i];
        if (t.code == 5 || t.code == 330 || t.code == 100)
            continue;
        if (t.code >= 1000)
            xdata.push_back(t);
        else if (common.contains(t.code))
            out.tags.push_back(t);
        else if (layout->second.contains(t.code))
            second.push_back(t);
        else
            body.push_back(t);
    }
    for (const char* marker : layout->first)
        out.tags.push_back(T::tag(100, marker));
    out.tags.insert(out.tags.end(), body.begin(), body.end());
    if (layout->secondName) {
        out.tags.push_back(T::tag(100, layout->secondName));
        out.tags.insert(out.tags.end(), second.begin(), second.end());
    }
    out.tags.insert(out.tags.end(), xdata.begin(), xdata.end());
    return out;
}

// An LWPOLYLINE as POLYLINE, VERTEX..., SEQEND: same vertices, bulges and
// widths, elevation as the vertices' z, the same flags (closed, linetype
// generation) and extrusion.
void lwpolylineToR12(const DxfObject& o, std::vector<DxfObject>& out) {
    DxfObject poly{{T::tag(0, "POLYLINE")}};
    if (int h = o.find(5); h >= 0)
        poly.tags.push_back(o.tags[h]); // references to the LWPOLYLINE name the POLYLINE
    std::vector<DxfTag> common;
    double elevation = o.number(38).value_or(0);
    for (size_t i = 1; i < o.tags.size(); ++i) {
        int c = o.tags[i].code;
        if (c == 8 || c == 6 || c == 62 || c == 67)
            common.push_back(o.tags[i]);
    }
    poly.tags.insert(poly.tags.end(), common.begin(), common.end());
    poly.tags.push_back(T::tag(66, "1"));
    poly.tags.push_back(T::tag(10, 0.0));
    poly.tags.push_back(T::tag(20, 0.0));
    poly.tags.push_back(T::tag(30, elevation));
    if (int i = o.find(39); i >= 0)
        poly.tags.push_back(o.tags[i]);
    poly.tags.push_back(T::tagInt(70, static_cast<int>(o.number(70).value_or(0)) & (1 | 128)));
    if (auto w = o.number(43)) {
        poly.tags.push_back(T::tag(40, *w));
        poly.tags.push_back(T::tag(41, *w));
    }
    for (int c : {210, 220, 230})
        if (int i = o.find(c); i >= 0)
            poly.tags.push_back(o.tags[i]);
    out.push_back(std::move(poly));
    const QByteArray layer = o.value(8, "0");
    DxfObject* vertex = nullptr;
    for (size_t i = 1; i < o.tags.size(); ++i) {
        const DxfTag& t = o.tags[i];
        if (t.code == 10) {
            out.push_back(DxfObject{{T::tag(0, "VERTEX"), T::tag(8, layer), t}});
            vertex = &out.back();
        } else if (vertex && t.code == 20) {
            vertex->tags.push_back(t);
            vertex->tags.push_back(T::tag(30, elevation));
        } else if (vertex && (t.code == 40 || t.code == 41 || t.code == 42)) {
            vertex->tags.push_back(t);
        }
    }
    for (DxfObject& v : out)
        if (v.type() == "VERTEX" && v.find(70) < 0)
            v.tags.push_back(T::tag(70, "0"));
    out.push_back(DxfObject{{T::tag(0, "SEQEND"), T::tag(8, layer)}});
}

// A HATCH whose boundary objects stay behind: the pointers to them (330 after
// the first subclass marker) go, and the hatch is no longer associative.
void unlinkHatch(DxfObject& o) {
    std::vector<DxfTag> kept;
    bool marker = false;
    for (size_t i = 0; i < o.tags.size(); ++i) {
        DxfTag t = o.tags[i];
        marker = marker || t.code == 100;
        if (marker && t.code == 330)
            continue;
        if (t.code == 97 || t.code == 71)
            t.value = "0";
        kept.push_back(std::move(t));
    }
    o.tags = std::move(kept);
}

// An entity of an R12 or older drawing in the form readers need: the
// coordinates of each point together, x then y then z (early writers put all
// x first: 10 11 20 21), and the 3DLINE of early versions as the LINE it
// became. Codes 10-17 are x, 20-27 their y, 30-37 their z (38 is the old
// elevation); the k-th x pairs with the k-th y and z. Extended data keeps its
// order. An entity already in order comes back unchanged.
DxfObject legacyForm(const DxfObject& o, const QString& path) {
    constexpr int kBases = 8;
    size_t xdata = o.tags.size();
    std::array<std::array<std::vector<size_t>, 3>, kBases> at;         // [base][axis] -> tag indexes
    std::vector<std::pair<int, size_t>> group(o.tags.size(), {-1, 0}); // tag -> (base, occurrence)
    for (size_t i = 1; i < o.tags.size(); ++i) {
        const int c = o.tags[i].code;
        if (c >= 1000) {
            xdata = i;
            break;
        }
        if (c < 10 || c > 37 || c % 10 >= kBases)
            continue;
        const int base = c % 10, axis = c / 10 - 1;
        group[i] = {base, at[base][axis].size()};
        at[base][axis].push_back(i);
    }
    for (int b = 0; b < kBases; ++b) {
        const auto& [x, y, z] = at[b];
        if (x.size() != y.size() || z.size() > x.size()) {
            const QByteArray why = "has a point whose coordinates do not pair up (group codes " +
                                   QByteArray::number(10 + b) + ", " + QByteArray::number(20 + b) + " and " +
                                   QByteArray::number(30 + b) + ")";
            throw DxfError(refused(path, o.type(), why.constData()));
        }
    }
    DxfObject out{{o.tags.front()}};
    if (o.type() == "3DLINE")
        out.tags.front().value = "LINE";
    std::array<std::vector<bool>, kBases> emitted;
    for (int b = 0; b < kBases; ++b)
        emitted[b].assign(at[b][0].size(), false);
    for (size_t i = 1; i < xdata; ++i) {
        const auto [base, k] = group[i];
        if (base < 0) {
            out.tags.push_back(o.tags[i]);
            continue;
        }
        if (emitted[base][k])
            continue;
        emitted[base][k] = true;
        for (int axis = 0; axis < 3; ++axis)
            if (k < at[base][axis].size())
                out.tags.push_back(o.tags[at[base][axis][k]]);
    }
    out.tags.insert(out.tags.end(), o.tags.begin() + static_cast<std::ptrdiff_t>(xdata), o.tags.end());
    return out;
}

void toR12(const DxfObject& o, std::vector<DxfObject>& out, const QString& path) {
    static const QSet<QByteArray> kept = {"LINE",   "POINT",  "CIRCLE", "ARC",      "TEXT",   "ATTDEF",
                                          "ATTRIB", "SOLID",  "TRACE",  "3DFACE",   "INSERT", "POLYLINE",
                                          "VERTEX", "SEQEND", "SHAPE",  "DIMENSION"};
    const QByteArray type = o.type();
    if (type == "LWPOLYLINE") {
        lwpolylineToR12(o, out);
        return;
    }
    if (!kept.contains(type))
        throw DxfError(refused(path, type, "an AutoCAD R12 drawing cannot hold"));
    if (o.find(101) >= 0)
        throw DxfError(refused(path, type + " (multi-line)", "an AutoCAD R12 drawing cannot hold"));
    DxfObject r{{o.tags.front()}};
    for (size_t i = 1; i < o.tags.size(); ++i)
        if (isR12Code(o.tags[i].code))
            r.tags.push_back(o.tags[i]);
    if (type == "POLYLINE" && r.find(66) < 0)
        r.tags.insert(r.tags.begin() + 1, T::tag(66, "1"));
    out.push_back(std::move(r));
}

} // namespace

bool isModern(const QByteArray& version) {
    return versionNumber(version) >= 1012;
}

bool isUtf8(const QByteArray& version) {
    return versionNumber(version) >= 1021;
}

bool isReference(int code) {
    return (code >= 320 && code <= 369) || (code >= 390 && code <= 399) || code == 480 || code == 481 ||
           code == 1005;
}

void remapReferences(DxfObject& o, const HandleMap& map) {
    // The new value of a reference, or nothing when it is dropped.
    auto remapped = [&](const DxfTag& t) -> std::optional<DxfTag> {
        const QByteArray h = t.value.trimmed();
        if (h == "0")
            return t;
        std::optional<QByteArray> to = map(h);
        if (!to)
            return std::nullopt;
        return DxfTag{t.code, *to, t.rawCode};
    };
    const std::vector<DxfTag>& in = o.tags;
    std::vector<DxfTag> out;
    out.reserve(in.size());
    out.push_back(in.front());
    size_t i = 1;
    while (i < in.size()) {
        const DxfTag& t = in[i];
        if (t.code == 102 && t.value.trimmed().startsWith('{')) {
            size_t end = i + 1;
            while (end < in.size() && !(in[end].code == 102 && in[end].value.trimmed().startsWith('}')))
                ++end;
            const bool reactors = t.value.trimmed() == "{ACAD_REACTORS";
            std::vector<DxfTag> kept;
            bool lost = false;
            for (size_t k = i + 1; k < end; ++k) {
                if (!isReference(in[k].code)) {
                    kept.push_back(in[k]);
                } else if (auto r = remapped(in[k])) {
                    kept.push_back(*r);
                } else {
                    lost = true;
                }
            }
            if (!kept.empty() && (reactors || !lost)) {
                out.push_back(t);
                out.insert(out.end(), kept.begin(), kept.end());
                if (end < in.size())
                    out.push_back(in[end]);
            }
            i = end + 1;
        } else if (t.code == 1001) {
            size_t end = i + 1;
            while (end < in.size() && in[end].code != 1001)
                ++end;
            std::vector<DxfTag> group{t};
            bool lost = false;
            for (size_t k = i + 1; k < end && !lost; ++k) {
                if (in[k].code != 1005)
                    group.push_back(in[k]);
                else if (auto r = remapped(in[k]))
                    group.push_back(*r);
                else
                    lost = true;
            }
            if (!lost)
                out.insert(out.end(), group.begin(), group.end());
            i = end;
        } else {
            if (!isReference(t.code))
                out.push_back(t);
            else if (auto r = remapped(t))
                out.push_back(*r);
            ++i;
        }
    }
    o.tags = std::move(out);
}

QString validName(const QString& name) {
    QString out = name;
    for (QChar& c : out)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral("<>/\\\":;?*|=`").contains(c))
            c = QLatin1Char('_');
    return out.trimmed();
}

void makeNamesValid(DxfDocument& source) {
    const QByteArray version = source.version();
    QByteArray codepage;
    if (const DxfObject* cp = source.headerVariable("$DWGCODEPAGE"); cp && cp->tags.size() > 1)
        codepage = cp->tags[1].value.trimmed();
    // Checked as text: in a double-byte code page a "\\" byte may be half a character.
    auto fix = [&](DxfObject& o, int code, const char* fallback) {
        const int i = o.find(code);
        if (i < 0)
            return;
        QByteArray& value = o.tags[i].value;
        const QString text = decodeText(value, version, codepage);
        const QString valid = validName(text);
        if (valid.isEmpty())
            value = fallback;
        else if (valid != text.trimmed())
            value = encodeText(valid, version, codepage);
    };
    if (DxfSection* tables = source.section("TABLES"))
        for (DxfObject& o : tables->objects) {
            const QByteArray type = o.type();
            if (type == "LAYER" || type == "LTYPE" || type == "STYLE")
                fix(o, 2, type == "LAYER" ? "0" : type == "LTYPE" ? "CONTINUOUS" : "STANDARD");
            if (type == "LAYER")
                fix(o, 6, "CONTINUOUS");
        }
    for (const char* name : {"ENTITIES", "BLOCKS"})
        if (DxfSection* section = source.section(name))
            for (DxfObject& o : section->objects) {
                const QByteArray type = o.type();
                if (type == "BLOCK" || type == "ENDBLK")
                    continue;
                fix(o, 8, "0");
                fix(o, 6, "BYLAYER");
                if (type == "TEXT" || type == "ATTDEF" || type == "ATTRIB" || type == "MTEXT")
                    fix(o, 7, "STANDARD");
            }
}

std::vector<DxfObject> adapt(const std::vector<DxfObject>& entities, bool fromModern,
                             const QByteArray& toVersion, const Recode& recode, const QString& path) {
    const bool toModern = isModern(toVersion);
    const int target = versionNumber(toVersion);
    // The first version of each entity type later than R13.
    static const QHash<QByteArray, int> since = {{"LWPOLYLINE", 1014},      {"HATCH", 1014},
                                                 {"WIPEOUT", 1015},         {"ARC_DIMENSION", 1018},
                                                 {"HELIX", 1021},           {"LIGHT", 1021},
                                                 {"SECTIONOBJECT", 1021},   {"PLANESURFACE", 1021},
                                                 {"EXTRUDEDSURFACE", 1021}, {"LOFTEDSURFACE", 1021},
                                                 {"REVOLVEDSURFACE", 1021}, {"SWEPTSURFACE", 1021},
                                                 {"NURBSURFACE", 1024},     {"MESH", 1024},
                                                 {"POINTCLOUD", 1024},      {"GEOPOSITIONMARKER", 1027}};
    // Entities that need objects of their own drawing (definitions, styles)
    // cannot be copied without them.
    static const QSet<QByteArray> needsObjects = {"IMAGE",       "PDFUNDERLAY", "DWFUNDERLAY",
                                                  "DGNUNDERLAY", "MLINE",       "MULTILEADER",
                                                  "MLEADER",     "ACAD_TABLE",  "ACAD_PROXY_ENTITY"};
    std::vector<DxfObject> out;
    out.reserve(entities.size());
    for (DxfObject o : entities) {
        if (o.tags.empty())
            continue;
        for (size_t i = 1; i < o.tags.size(); ++i)
            if (isTextCode(o.tags[i].code))
                o.tags[i].value = recode(o.tags[i].value);
        if (fromModern) {
            if (needsObjects.contains(o.type()))
                throw DxfError(refused(path, o.type(), "depends on objects of its own drawing"));
            if (o.type() == "HATCH")
                unlinkHatch(o);
        } else {
            o = legacyForm(o, path);
        }
        const int first = since.value(o.type(), 0);
        if (fromModern && toModern && first > target) {
            if (o.type() != "LWPOLYLINE") {
                const QByteArray why = "a drawing of version " + toVersion + " cannot hold";
                throw DxfError(refused(path, o.type(), why.constData()));
            }
            // R13 has no LWPOLYLINE: the same polyline in its older form.
            std::vector<DxfObject> old;
            toR12(o, old, path);
            for (const DxfObject& p : old)
                out.push_back(modernEntity(p, path));
        } else if (fromModern && !toModern)
            toR12(o, out, path);
        else if (!fromModern && toModern)
            out.push_back(modernEntity(o, path));
        else
            out.push_back(std::move(o));
    }
    return out;
}

QByteArray codecName(const QByteArray& codepage) {
    const QByteArray cp = codepage.trimmed().toUpper();
    if (cp.startsWith("ANSI_")) {
        const QByteArray n = cp.mid(5);
        if (n == "932")
            return "Shift_JIS";
        if (n == "936")
            return "GBK";
        if (n == "949")
            return "windows-949";
        if (n == "950")
            return "Big5";
        return "windows-" + n;
    }
    if (cp.startsWith("DOS"))
        return "IBM" + cp.mid(3);
    if (cp.startsWith("ISO8859-"))
        return "ISO-8859-" + cp.mid(8);
    return "windows-1252";
}

QByteArray encodeText(const QString& text, const QByteArray& version, const QByteArray& codepage) {
    if (isUtf8(version))
        return text.toUtf8();
    // Plain ASCII is the same bytes in every code page a drawing names, and it
    // is nearly all a drawing's text: no per-character work for it.
    if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; }))
        return text.toLatin1();
    const QByteArray codec = codecName(codepage);
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text.at(i).unicode();
        QString one(text.at(i));
        if (text.at(i).isHighSurrogate() && i + 1 < text.size()) {
            one += text.at(i + 1);
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        QByteArray bytes;
        if (codec == "windows-1252") {
            bytes = ToAnsi(one);
            if (FromAnsi(bytes) != one)
                bytes.clear();
        } else {
            QStringEncoder enc(codec.constData());
            QStringDecoder dec(codec.constData());
            if (enc.isValid() && dec.isValid()) {
                bytes = enc.encode(one);
                if (enc.hasError() || QString(dec.decode(bytes)) != one)
                    bytes.clear();
            }
        }
        if (bytes.isEmpty() && c <= 0xFFFF)
            bytes =
                QStringLiteral("\\U+%1").arg(static_cast<uint>(c), 4, 16, QChar('0')).toUpper().toLatin1();
        out += bytes.isEmpty() ? QByteArray("?") : bytes;
    }
    return out;
}

QString decodeText(const QByteArray& bytes, const QByteArray& version, const QByteArray& codepage) {
    if (isUtf8(version))
        return QString::fromUtf8(bytes);
    // ASCII without a backslash (no \U+ escape) reads the same in every code page.
    if (std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return uchar(c) < 0x80 && c != '\\'; }))
        return QString::fromLatin1(bytes);
    const QByteArray codec = codecName(codepage);
    QString text;
    QStringDecoder dec(codec.constData());
    if (codec != "windows-1252" && dec.isValid())
        text = dec.decode(bytes);
    else
        text = FromAnsi(bytes);
    // \U+XXXX stands for a character outside the code page.
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == '\\' && i + 6 < text.size() && text.mid(i + 1, 2).toUpper() == "U+") {
            bool ok = false;
            uint c = text.mid(i + 3, 4).toUInt(&ok, 16);
            if (ok && text.mid(i + 3, 4).size() == 4) {
                out += QChar(static_cast<char16_t>(c));
                i += 6;
                continue;
            }
        }
        out += text.at(i);
    }
    return out;
}

void setHandle(DxfObject& o, const QByteArray& handle, const QByteArray* owner) {
    // Only the tags before the first subclass marker: further on 5 or 330 may be data.
    std::vector<DxfTag> tags{o.tags.front(), T::tag(5, handle)};
    if (owner)
        tags.push_back(T::tag(330, *owner));
    bool marker = false;
    for (size_t i = 1; i < o.tags.size(); ++i) {
        marker = marker || o.tags[i].code == 100;
        if (marker || (o.tags[i].code != 5 && o.tags[i].code != 330))
            tags.push_back(std::move(o.tags[i]));
    }
    o.tags = std::move(tags);
}

} // namespace DxfConvert
