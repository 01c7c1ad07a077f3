// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/dxfconvert.h"

#include "platform/ansi.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

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
    DxfObject out{{o.tags.front(), T::tag(100, "AcDbEntity")}};
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

void dropPointers(DxfObject& o) {
    std::vector<DxfTag> kept;
    kept.reserve(o.tags.size());
    const bool hatch = o.type() == "HATCH";
    bool inGroup = false;
    for (size_t i = 0; i < o.tags.size(); ++i) {
        DxfTag t = o.tags[i];
        if (i > 0 && t.code == 102) {
            inGroup = t.value.trimmed().startsWith('{');
            continue;
        }
        if (inGroup)
            continue;
        if (i > 0 && (t.code == 5 || t.code == 330 || t.code == 340 || t.code == 347 || t.code == 348 ||
                      t.code == 360 || t.code == 390))
            continue;
        if (hatch && (t.code == 97 || t.code == 71))
            t.value = "0"; // boundary objects are not copied: no longer associative
        kept.push_back(std::move(t));
    }
    o.tags = std::move(kept);
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
            dropPointers(o);
        } else {
            o.tags.erase(
                std::remove_if(o.tags.begin() + 1, o.tags.end(), [](const DxfTag& t) { return t.code == 5; }),
                o.tags.end());
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

namespace {

// The Qt codec for a $DWGCODEPAGE value ("ANSI_1251" -> "windows-1251").
QByteArray codecName(const QByteArray& codepage) {
    QByteArray cp = codepage.trimmed().toUpper();
    if (cp.startsWith("ANSI_"))
        return "windows-" + cp.mid(5);
    return "windows-1252";
}

} // namespace

QByteArray encodeText(const QString& text, const QByteArray& version, const QByteArray& codepage) {
    if (isUtf8(version))
        return text.toUtf8();
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
