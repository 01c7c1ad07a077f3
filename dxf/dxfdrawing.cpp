// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/dxfdrawing.h"

#include "dxf/drawingdetail.h"
#include "dxf/dxfconvert.h"
#include "platform/ansi.h"
#include "platform/durablewrite.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cmath>
#include <cstring>
#include <numbers>

namespace {

constexpr const char* kTableOrder[] = {"VPORT", "LTYPE", "LAYER",    "STYLE",       "VIEW",
                                       "UCS",   "APPID", "DIMSTYLE", "BLOCK_RECORD"};
constexpr int kTables = 9;
constexpr int kMaxNesting = 16; // block references inside blocks followed this deep for extents

using T = DxfDocument;
using namespace dxfdetail;

bool isStructural(const QByteArray& type) {
    return type == "TABLE" || type == "ENDTAB";
}

std::optional<unsigned long long> parseHandle(const QByteArray& text) {
    QByteArray t = text.trimmed();
    if (t.isEmpty() || t.size() > 16)
        return std::nullopt;
    bool ok = false;
    unsigned long long v = t.toULongLong(&ok, 16);
    if (!ok || v == 0)
        return std::nullopt;
    return v;
}

void requireFinite(double v) {
    if (!std::isfinite(v))
        throw DxfError(QStringLiteral("A coordinate, scale or angle is not a finite number."));
}

// Value lines can hold no line break; other control characters would not
// survive readers either.
QByteArray safeText(QByteArray bytes) {
    for (char& c : bytes)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return bytes;
}

// A copy of a table entry without what belongs to that entry alone: 102
// groups (reactors, extension dictionary), owned objects and extended data.
DxfObject shapeOf(const DxfObject& model) {
    DxfObject out{{model.tags.front()}};
    bool inGroup = false;
    for (size_t i = 1; i < model.tags.size(); ++i) {
        const DxfTag& t = model.tags[i];
        if (t.code == 102) {
            inGroup = t.value.trimmed().startsWith('{');
            continue;
        }
        if (inGroup || t.code == 360 || t.code == 310 || t.code >= 1000)
            continue;
        out.tags.push_back(t);
    }
    return out;
}

} // namespace

void DxfBox::add(double x, double y, double z) {
    std::array<double, 3> p{x, y, z};
    for (int i = 0; i < 3; ++i) {
        if (empty || p[i] < min[i])
            min[i] = p[i];
        if (empty || p[i] > max[i])
            max[i] = p[i];
    }
    empty = false;
}

void DxfBox::add(const DxfBox& other) {
    if (other.empty)
        return;
    add(other.min[0], other.min[1], other.min[2]);
    add(other.max[0], other.max[1], other.max[2]);
}

// ---------------------------------------------------------------- open / new

DxfDrawing DxfDrawing::createNew() {
    static const char kNew[] = "  0\nSECTION\n  2\nHEADER\n"
                               "  9\n$ACADVER\n  1\nAC1009\n"
                               "  9\n$DWGCODEPAGE\n  3\nANSI_1252\n"
                               "  9\n$INSBASE\n 10\n0.0\n 20\n0.0\n 30\n0.0\n"
                               "  9\n$EXTMIN\n 10\n0.0\n 20\n0.0\n 30\n0.0\n"
                               "  9\n$EXTMAX\n 10\n0.0\n 20\n0.0\n 30\n0.0\n"
                               "  9\n$CLAYER\n  8\n0\n"
                               "  9\n$HANDLING\n 70\n1\n"
                               "  9\n$HANDSEED\n  5\n1\n"
                               "  0\nENDSEC\n"
                               "  0\nSECTION\n  2\nTABLES\n  0\nENDSEC\n"
                               "  0\nSECTION\n  2\nBLOCKS\n  0\nENDSEC\n"
                               "  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n"
                               "  0\nEOF\n";
    DxfDrawing d;
    d.doc_ = DxfDocument::parse(QByteArray(kNew));
    d.prepare();
    d.modified_ = true;
    return d;
}

DxfDrawing DxfDrawing::open(const QByteArray& bytes) {
    DxfDrawing d;
    d.doc_ = DxfDocument::parseSpliced(bytes, {"ENTITIES", "OBJECTS", "ACDSDATA", "THUMBNAILIMAGE"});
    QByteArray version = d.doc_.version();
    if (!version.isEmpty() && !isEditable(version))
        throw DxfError(QStringLiteral("The drawing is a DXF of version %1; only DXF drawings of AutoCAD R12 "
                                      "(AC1009) to AutoCAD 2018 (AC1032) can be added to. The file was left "
                                      "unchanged.")
                           .arg(versionName(version)));
    d.prepare();
    // The extents the file states: they cover geometry whose bounds the box
    // cannot compute (text, solids, curves), so what is added only widens them.
    // A box of one point (the 0,0,0 of an empty new drawing) or an inverted one
    // (the 1E+20/-1E+20 of an empty AutoCAD drawing) states nothing.
    const DxfObject* min = d.doc_.headerVariable("$EXTMIN");
    const DxfObject* max = d.doc_.headerVariable("$EXTMAX");
    if (min && max && min->find(10) >= 0 && min->find(20) >= 0 && max->find(10) >= 0 && max->find(20) >= 0) {
        const std::array<double, 3> lo = point(*min, 10), hi = point(*max, 10);
        bool usable = (lo[0] < hi[0] || lo[1] < hi[1]) && lo[0] <= hi[0] && lo[1] <= hi[1] && lo[2] <= hi[2];
        for (int i = 0; i < 3; ++i)
            usable = usable && std::isfinite(lo[i]) && std::isfinite(hi[i]);
        if (usable) {
            d.statedExtents_.add(lo[0], lo[1], lo[2]);
            d.statedExtents_.add(hi[0], hi[1], hi[2]);
        }
    }
    // What prepare() supplied (header variables, tables for names in use) is
    // written with the first change; a drawing only opened is never rewritten.
    d.modified_ = false;
    return d;
}

// What one object of the file tells: its handle, the layers, line types and
// text styles it names and, for a model space entity, its extents.
void DxfDrawing::scanObject(const DxfObject& o, bool entity, unsigned long long& maxHandle,
                            std::vector<std::pair<int, QByteArray>>& used) {
    const QByteArray type = o.type();
    for (size_t i = 1; i < o.tags.size(); ++i) {
        const DxfTag& t = o.tags[i];
        if (t.code == 5 || t.code == 105) {
            if (auto h = parseHandle(t.value))
                maxHandle = std::max(maxHandle, *h);
        } else if (t.code == 8 || t.code == 6 || t.code == 7) {
            if (t.code == 8 && (type == "LAYER" || !entity))
                continue;
            if (t.code == 7 && type != "TEXT" && type != "ATTDEF" && type != "ATTRIB" && type != "MTEXT")
                continue;
            if (!used.empty() && used.back().first == t.code && used.back().second == t.value)
                continue; // the usual case: the same layer as the entity before
            QByteArray key = QByteArray::number(t.code) + ':' + t.value;
            if (!usedSeen_.contains(key)) {
                usedSeen_.insert(key);
                used.emplace_back(t.code, QByteArray(t.value.constData(), t.value.size()));
            }
        }
    }
}

// Sets the header variables an editable drawing needs and adds the tables
// readers need. Objects already in the drawing keep their handles, or their
// lack of one: new handles start above every handle the file holds.
void DxfDrawing::prepare() {
    if (doc_.version().isEmpty()) {
        doc_.setHeaderVariable("$ACADVER", {T::tag(1, "AC1009")});
        modified_ = true;
    }
    version_ = doc_.version();
    modern_ = DxfConvert::isModern(version_);
    if (const DxfObject* cp = doc_.headerVariable("$DWGCODEPAGE"); cp && cp->tags.size() > 1)
        codepage_ = cp->tags[1].value.trimmed();

    if (!modern_) {
        const DxfObject* handling = doc_.headerVariable("$HANDLING");
        if (!handling || handling->tags.size() < 2 || handling->tags[1].value.trimmed() != "1") {
            doc_.setHeaderVariable("$HANDLING", {T::tag(70, "1")});
            modified_ = true;
        }
    }

    unsigned long long maxHandle = 0;
    std::vector<std::pair<int, QByteArray>> used;
    // Every section the engine adds to exists before any reference to one is
    // taken (adding a section moves the others).
    tables();
    blocks();
    DxfSection& ents = entities();
    for (DxfSection& s : doc_.sections()) {
        if (s.name != "TABLES" && s.name != "BLOCKS" && s.name != "ENTITIES" && s.name != "OBJECTS")
            continue;
        const bool isEntities = &s == &ents;
        const bool names = isEntities || s.name == "BLOCKS" || s.name == "TABLES";
        for (const DxfObject& o : s.objects)
            if (!isStructural(o.type()))
                scanObject(o, names && s.name != "TABLES", maxHandle, used);
        if (s.raw.isEmpty())
            continue;
        // Kept as text: read in place, one object at a time.
        DxfObject current;
        auto finish = [&] {
            if (current.tags.empty())
                return;
            if (isEntities) {
                scanObject(current, true, maxHandle, used);
                addObjectToBox(extents_, current, 0);
            } else {
                int i = current.find(5);
                if (i >= 0)
                    if (auto h = parseHandle(current.tags[i].value))
                        maxHandle = std::max(maxHandle, *h);
            }
            current.tags.clear();
        };
        DxfTagReader r(s.raw);
        while (r.next()) {
            if (r.code() == 0)
                finish();
            current.tags.push_back(DxfTag{r.code(), r.value(), {}});
        }
        finish();
    }
    usedSeen_.clear();
    nextHandle_ = maxHandle < ~0ULL ? maxHandle + 1 : maxHandle;
    if (const DxfObject* seed = doc_.headerVariable("$HANDSEED"))
        if (seed->tags.size() > 1)
            if (auto h = parseHandle(seed->tags[1].value))
                nextHandle_ = std::max(nextHandle_, *h);

    indexTables();
    for (const DxfObject& o : tables().objects)
        if (o.type() == "BLOCK_RECORD" && upper(o.value(2)) == "*MODEL_SPACE")
            modelSpace_ = o.value(5, "0").trimmed();
    if (!linetypes_.contains("CONTINUOUS"))
        ensureLinetype("CONTINUOUS", nullptr);
    if (!layers_.contains("0"))
        ensureLayer("0", nullptr);
    if (!styles_.contains("STANDARD"))
        ensureStyle("STANDARD", nullptr);
    // Every layer, line type and text style the drawing uses must be defined.
    for (const auto& [code, name] : used) {
        if (code == 8)
            ensureLayer(name, nullptr);
        else if (code == 6)
            ensureLinetype(name, nullptr);
        else
            ensureStyle(name, nullptr);
    }

    entityByHandle_.clear();
    for (size_t i = 0; i < ents.objects.size(); ++i) {
        const DxfObject& o = ents.objects[i];
        entityByHandle_.insert(upper(o.value(5)), static_cast<int>(i));
        addObjectToBox(extents_, o, 0);
    }
}

void DxfDrawing::expandEntities() {
    DxfSection& ents = entities();
    if (ents.raw.isEmpty())
        return;
    doc_.expandSection(ents);
    entityByHandle_.clear();
    entityByHandle_.reserve(static_cast<qsizetype>(ents.objects.size()));
    for (size_t i = 0; i < ents.objects.size(); ++i)
        entityByHandle_.insert(upper(ents.objects[i].value(5)), static_cast<int>(i));
}

const DxfDocument& DxfDrawing::document() const {
    auto* self = const_cast<DxfDrawing*>(this);
    self->expandEntities();
    for (DxfSection& s : self->doc_.sections())
        self->doc_.expandSection(s);
    return doc_;
}

QByteArray DxfDrawing::encodeText(const QString& text) const {
    return DxfConvert::encodeText(text, version_, codepage_);
}

QString DxfDrawing::decodeText(const QByteArray& bytes) const {
    return DxfConvert::decodeText(bytes, version_, codepage_);
}

QByteArray DxfDrawing::toBytes() {
    doc_.setHeaderVariable("$HANDSEED", {T::tag(5, QByteArray::number(nextHandle_, 16).toUpper())});
    return doc_.toBytes();
}

QByteArray DxfDrawing::newHandle() {
    modified_ = true;
    return QByteArray::number(nextHandle_++, 16).toUpper();
}

DxfSection& DxfDrawing::tables() {
    return doc_.ensureSection("TABLES", {"BLOCKS", "ENTITIES", "OBJECTS"});
}
DxfSection& DxfDrawing::blocks() {
    return doc_.ensureSection("BLOCKS", {"ENTITIES", "OBJECTS"});
}
DxfSection& DxfDrawing::entities() {
    return doc_.ensureSection("ENTITIES", {"OBJECTS"});
}

// ---------------------------------------------------------------- tables

void DxfDrawing::indexTables() {
    layers_.clear();
    linetypes_.clear();
    styles_.clear();
    DxfSection& t = tables();
    for (const DxfObject& o : t.objects) {
        QByteArray type = o.type();
        QByteArray name = o.value(2).trimmed();
        if (type == "LAYER")
            layers_.insert(name.toUpper(), name);
        else if (type == "LTYPE")
            linetypes_.insert(name.toUpper(), name);
        else if (type == "STYLE")
            styles_.insert(name.toUpper(), name);
    }
}

int DxfDrawing::tableEnd(const char* name) {
    DxfSection& t = tables();
    for (size_t i = 0; i < t.objects.size(); ++i) {
        if (t.objects[i].type() == "TABLE" && upper(t.objects[i].value(2)) == name) {
            for (size_t j = i + 1; j < t.objects.size(); ++j)
                if (t.objects[j].type() == "ENDTAB" || t.objects[j].type() == "TABLE")
                    return static_cast<int>(j);
            break;
        }
    }
    // Missing: create it before the first table that follows it in R12 order.
    int rank = 0;
    while (rank < kTables && std::strcmp(kTableOrder[rank], name) != 0)
        ++rank;
    size_t at = t.objects.size();
    for (size_t i = 0; i < t.objects.size() && at == t.objects.size(); ++i) {
        if (t.objects[i].type() != "TABLE")
            continue;
        QByteArray other = upper(t.objects[i].value(2));
        for (int r = rank + 1; r < kTables; ++r)
            if (other == kTableOrder[r]) {
                at = i;
                break;
            }
    }
    DxfObject head{{T::tag(0, "TABLE"), T::tag(2, name), T::tag(70, "0")}};
    if (modern_)
        head.tags = {T::tag(0, "TABLE"),
                     T::tag(2, name),
                     T::tag(5, newHandle()),
                     T::tag(330, "0"),
                     T::tag(100, "AcDbSymbolTable"),
                     T::tag(70, "0")};
    DxfObject end{{T::tag(0, "ENDTAB")}};
    t.objects.insert(t.objects.begin() + static_cast<std::ptrdiff_t>(at), {head, end});
    modified_ = true;
    return static_cast<int>(at + 1);
}

QByteArray DxfDrawing::tableHandle(const char* name) {
    DxfSection& t = tables();
    for (const DxfObject& o : t.objects)
        if (o.type() == "TABLE" && upper(o.value(2)) == name)
            return o.value(5, "0").trimmed();
    return "0";
}

void DxfDrawing::own(DxfObject& o, const QByteArray& handle, const QByteArray& owner) {
    DxfConvert::setHandle(o, handle, modern_ ? &owner : nullptr);
}

QByteArray DxfDrawing::addTableEntry(const char* table, DxfObject entry) {
    int end = tableEnd(table);
    const QByteArray handle = newHandle();
    own(entry, handle, tableHandle(table));
    DxfSection& t = tables();
    // Keep the table's maximum-entries count at least the number of entries.
    int head = end - 1;
    while (head >= 0 && t.objects[head].type() != "TABLE")
        --head;
    t.objects.insert(t.objects.begin() + end, std::move(entry));
    if (head >= 0) {
        int count = end - head; // entries after the insertion
        auto n = t.objects[head].number(70);
        if (!n || *n < count)
            t.objects[head].set(70, QByteArray::number(count));
    }
    modified_ = true;
    return handle;
}

const DxfObject* DxfDrawing::findEntry(const DxfDocument& doc, const char* table,
                                       const QByteArray& name) const {
    const DxfSection* t = doc.section("TABLES");
    if (!t)
        return nullptr;
    for (const DxfObject& o : t->objects)
        if (o.type() == table && upper(o.value(2)) == upper(name))
            return &o;
    return nullptr;
}

void DxfDrawing::ensureLinetype(const QByteArray& name, const DxfDocument* source) {
    QByteArray key = upper(name);
    if (key.isEmpty() || key == "BYLAYER" || key == "BYBLOCK" || linetypes_.contains(key))
        return;
    // Built from the values: the shape of an entry differs between versions.
    const DxfObject* from = source ? findEntry(*source, "LTYPE", name) : nullptr;
    auto value = [&](int code, const QByteArray& fallback) {
        return from && from->find(code) >= 0 ? from->value(code).trimmed() : fallback;
    };
    DxfObject entry{{T::tag(0, "LTYPE")}};
    if (modern_)
        entry.tags.insert(entry.tags.end(),
                          {T::tag(100, "AcDbSymbolTableRecord"), T::tag(100, "AcDbLinetypeTableRecord")});
    entry.tags.insert(entry.tags.end(),
                      {T::tag(2, name.trimmed()), T::tag(70, value(70, "0")),
                       T::tag(3, from ? from->value(3) : QByteArray(key == "CONTINUOUS" ? "Solid line" : "")),
                       T::tag(72, value(72, "65")), T::tag(73, value(73, "0")),
                       T::tag(40, value(40, "0.0"))});
    if (from)
        for (size_t i = 1; i < from->tags.size(); ++i)
            if (from->tags[i].code == 49) {
                entry.tags.push_back(from->tags[i]);
                if (modern_)
                    entry.tags.push_back(T::tag(74, "0"));
            }
    addTableEntry("LTYPE", std::move(entry));
    linetypes_.insert(key, name.trimmed());
}

void DxfDrawing::ensureStyle(const QByteArray& name, const DxfDocument* source) {
    QByteArray key = upper(name);
    if (key.isEmpty() || styles_.contains(key))
        return;
    const DxfObject* from = source ? findEntry(*source, "STYLE", name) : nullptr;
    auto value = [&](int code, const QByteArray& fallback) {
        return from && from->find(code) >= 0 ? from->value(code).trimmed() : fallback;
    };
    DxfObject entry{{T::tag(0, "STYLE")}};
    if (modern_)
        entry.tags.insert(entry.tags.end(),
                          {T::tag(100, "AcDbSymbolTableRecord"), T::tag(100, "AcDbTextStyleTableRecord")});
    entry.tags.insert(entry.tags.end(),
                      {T::tag(2, name.trimmed()), T::tag(70, value(70, "0")), T::tag(40, value(40, "0.0")),
                       T::tag(41, value(41, "1.0")), T::tag(50, value(50, "0.0")), T::tag(71, value(71, "0")),
                       T::tag(42, value(42, "0.2")), T::tag(3, from ? from->value(3) : QByteArray("txt")),
                       T::tag(4, from ? from->value(4) : QByteArray())});
    addTableEntry("STYLE", std::move(entry));
    styles_.insert(key, name.trimmed());
}

void DxfDrawing::ensureLayer(const QByteArray& name, const DxfDocument* source) {
    QByteArray key = upper(name);
    if (key.isEmpty() || layers_.contains(key))
        return;
    const DxfObject* from = source ? findEntry(*source, "LAYER", name) : nullptr;
    auto value = [&](int code, const QByteArray& fallback) {
        return from && from->find(code) >= 0 ? from->value(code).trimmed() : fallback;
    };
    const QByteArray linetype = value(6, linetypes_.value("CONTINUOUS", "CONTINUOUS"));
    ensureLinetype(linetype, source);
    DxfObject entry;
    const DxfObject* zero = modern_ ? findEntry(doc_, "LAYER", "0") : nullptr;
    if (zero) {
        // The shape of layer "0" of this drawing (plot style and material
        // included where they name objects of the drawing).
        entry = shapeOf(*zero);
        dropDanglingReferences(entry);
        entry.set(2, name.trimmed());
        entry.set(70, value(70, "0"));
        entry.set(62, value(62, "7"));
        entry.set(6, linetype);
    } else {
        entry.tags = {T::tag(0, "LAYER")};
        if (modern_)
            entry.tags.insert(entry.tags.end(),
                              {T::tag(100, "AcDbSymbolTableRecord"), T::tag(100, "AcDbLayerTableRecord")});
        entry.tags.insert(entry.tags.end(), {T::tag(2, name.trimmed()), T::tag(70, value(70, "0")),
                                             T::tag(62, value(62, "7")), T::tag(6, linetype)});
    }
    addTableEntry("LAYER", std::move(entry));
    layers_.insert(key, name.trimmed());
}

void DxfDrawing::dropDanglingReferences(DxfObject& o) {
    QSet<QByteArray> wanted;
    for (size_t i = 1; i < o.tags.size(); ++i)
        if (DxfConvert::isReference(o.tags[i].code)) {
            const QByteArray h = upper(o.tags[i].value);
            if (h != "0" && !handleKnown_.contains(h))
                wanted.insert(h);
        }
    if (!wanted.isEmpty()) {
        // Pointers of table entries name objects of OBJECTS or TABLES: those
        // are looked through first, the big sections only when still needed.
        for (const char* name : {"OBJECTS", "TABLES", "BLOCKS", "ENTITIES"}) {
            const DxfSection* section = doc_.section(name);
            if (!section)
                continue;
            DxfDocument::forEachObject(*section, [&](const DxfObject& object) {
                if (wanted.isEmpty())
                    return;
                for (int code : {5, 105})
                    if (int i = object.find(code); i >= 0) {
                        const QByteArray h = upper(object.tags[i].value);
                        if (wanted.remove(h))
                            handleKnown_.insert(QByteArray(h.constData(), h.size()), true);
                    }
            });
            if (wanted.isEmpty())
                break;
        }
        for (const QByteArray& h : wanted)
            handleKnown_.insert(h, false);
    }
    DxfConvert::remapReferences(o, [this](const QByteArray& h) -> std::optional<QByteArray> {
        return handleKnown_.value(upper(h), false) ? std::optional<QByteArray>(h) : std::nullopt;
    });
}

void DxfDrawing::ensureAppId(const QByteArray& name) {
    // Each inserted point asks again: the table is searched once per name.
    if (appIds_.contains(name))
        return;
    const QByteArray key = upper(name);
    if (key.isEmpty() || appIds_.contains(key))
        return;
    appIds_.insert(name);
    appIds_.insert(key);
    if (findEntry(doc_, "APPID", key))
        return;
    DxfObject entry{{T::tag(0, "APPID")}};
    if (modern_)
        entry.tags.insert(entry.tags.end(),
                          {T::tag(100, "AcDbSymbolTableRecord"), T::tag(100, "AcDbRegAppTableRecord")});
    entry.tags.insert(entry.tags.end(), {T::tag(2, name.trimmed()), T::tag(70, "0")});
    addTableEntry("APPID", std::move(entry));
}

DxfObject DxfDrawing::blockRecord(const QByteArray& name) {
    const DxfObject* model = nullptr;
    for (const DxfObject& o : tables().objects)
        if (o.type() == "BLOCK_RECORD" && upper(o.value(2)) == "*MODEL_SPACE")
            model = &o;
    DxfObject entry;
    if (model) {
        entry = shapeOf(*model);
        dropDanglingReferences(entry);
        entry.set(2, name);
        if (entry.find(340) >= 0)
            entry.set(340, "0"); // no layout
    } else {
        entry.tags = {T::tag(0, "BLOCK_RECORD"), T::tag(100, "AcDbSymbolTableRecord"),
                      T::tag(100, "AcDbBlockTableRecord"), T::tag(2, name), T::tag(340, "0")};
    }
    return entry;
}

bool DxfDrawing::hasLayer(const QString& name) const {
    return layers_.contains(upper(encodeText(name)));
}

QString DxfDrawing::layerNameProblem(const QString& name) {
    if (name.trimmed().isEmpty())
        return QStringLiteral("A layer name cannot be empty.");
    for (QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QStringLiteral("A layer name cannot hold a line break or another control character.");
        if (QStringLiteral("<>/\\\":;?*|=`").contains(c))
            return QStringLiteral("The layer name \"%1\" holds the character %2, which no DXF drawing allows "
                                  "in a name (< > / \\ \" : ; ? * | = `).")
                .arg(name, QString(c));
    }
    // Names are written in Windows-1252; a character it lacks would become '?'.
    if (FromAnsi(ToAnsi(name)) != name)
        return QStringLiteral("The layer name \"%1\" holds a character that a DXF drawing cannot hold "
                              "(only Windows-1252 text is allowed).")
            .arg(name);
    return QString();
}

void DxfDrawing::addLayer(const QString& name) {
    QString problem = layerNameProblem(name);
    if (!problem.isEmpty())
        throw DxfError(problem);
    ensureLayer(encodeText(name), nullptr);
}

QString DxfDrawing::currentLayer() const {
    const DxfObject* clayer = doc_.headerVariable("$CLAYER");
    if (clayer && clayer->tags.size() > 1) {
        auto it = layers_.find(upper(clayer->tags[1].value));
        if (it != layers_.end())
            return decodeText(it.value());
    }
    return decodeText(layers_.value("0", "0"));
}

// ---------------------------------------------------------------- blocks

bool DxfDrawing::blockExists(const QByteArray& name) const {
    const DxfSection* b = doc_.section("BLOCKS");
    if (!b)
        return false;
    for (const DxfObject& o : b->objects)
        if (o.type() == "BLOCK" && upper(o.value(2)) == upper(name))
            return true;
    return false;
}

std::vector<DxfObject> DxfDrawing::blockEntities(const QByteArray& name) const {
    std::vector<DxfObject> out;
    const DxfSection* b = doc_.section("BLOCKS");
    if (!b)
        return out;
    bool inside = false;
    for (const DxfObject& o : b->objects) {
        QByteArray type = o.type();
        if (type == "BLOCK") {
            inside = upper(o.value(2)) == upper(name);
        } else if (type == "ENDBLK") {
            if (inside)
                return out;
        } else if (inside) {
            out.push_back(o);
        }
    }
    return out;
}

QString DxfDrawing::blockFromFile(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (auto it = blockByPath_.find(absolute); it != blockByPath_.end())
        return it.value();

    QFile file(absolute);
    // A FIFO or device is refused before it is opened: it could block or never end.
    if (const QString notRegular = NotARegularFileReason(absolute); !notRegular.isEmpty())
        throw DxfError(QStringLiteral("The block drawing \"%1\" cannot be read: %2.").arg(path, notRegular));
    if (!QFileInfo(absolute).isFile())
        throw DxfError(QStringLiteral("The block drawing \"%1\" was not found.").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        throw DxfError(
            QStringLiteral("The block drawing \"%1\" cannot be read: %2").arg(path, file.errorString()));
    return blockFromData(path, file.readAll());
}

QByteArray DxfDrawing::uniqueBlockName(const QByteArray& wanted) const {
    QByteArray name = wanted;
    for (int n = 2; blockExists(name); ++n)
        name = wanted + "_" + QByteArray::number(n);
    return name;
}

const DxfDrawing::BlockInfo& DxfDrawing::blockInfo(const QString& name) {
    const QByteArray key = upper(encodeText(name));
    if (auto it = blockInfo_.find(QString::fromLatin1(key)); it != blockInfo_.end())
        return it.value();
    if (!blockExists(key))
        throw DxfError(QStringLiteral("The drawing has no block named \"%1\".").arg(name));
    BlockInfo info;
    info.name = name;
    const DxfSection& b = blocks();
    for (const DxfObject& o : b.objects)
        if (o.type() == "BLOCK" && upper(o.value(2)) == key) {
            info.base = point(o, 10);
            break;
        }
    for (const DxfObject& o : blockEntities(key)) {
        if (o.type() != "ATTDEF")
            continue;
        // Constant attributes are drawn by the block itself and get no ATTRIB.
        if (static_cast<int>(o.number(70).value_or(0)) & 2)
            continue;
        AttDef a;
        a.def = o;
        a.position = point(o, 10);
        a.hasAlignment = o.find(11) >= 0;
        a.alignment = a.hasAlignment ? point(o, 11) : a.position;
        info.attdefs.push_back(std::move(a));
    }
    info.box = blockBox(key, 0);
    return blockInfo_.insert(QString::fromLatin1(key), std::move(info)).value();
}

// ---------------------------------------------------------------- extents

DxfBox DxfDrawing::blockBox(const QByteArray& name, int depth) {
    const QByteArray key = upper(name);
    if (auto it = blockBoxes_.find(key); it != blockBoxes_.end())
        return it.value();
    // An empty placeholder first: a block that refers to itself, directly or
    // not, then meets an empty box instead of recursing.
    blockBoxes_.insert(key, DxfBox());
    DxfBox box;
    if (depth < kMaxNesting) {
        std::vector<DxfObject> objects = blockEntities(key);
        addToBox(box, objects, 0, objects.size(), depth + 1);
    }
    // Relative to the block's base point, which an INSERT places at its point.
    if (!box.empty)
        if (const DxfSection* b = doc_.section("BLOCKS"))
            for (const DxfObject& o : b->objects)
                if (o.type() == "BLOCK" && upper(o.value(2)) == key) {
                    std::array<double, 3> base = point(o, 10);
                    for (int i = 0; i < 3; ++i) {
                        box.min[i] -= base[i];
                        box.max[i] -= base[i];
                    }
                    break;
                }
    blockBoxes_.insert(key, box);
    return box;
}

void DxfDrawing::addToBox(DxfBox& box, const std::vector<DxfObject>& objects, size_t from, size_t to,
                          int depth) {
    for (size_t k = from; k < to; ++k)
        addObjectToBox(box, objects[k], depth);
}

void DxfDrawing::addObjectToBox(DxfBox& box, const DxfObject& o, int depth) {
    {
        if (o.value(67).trimmed() == "1")
            return; // paper space
        QByteArray type = o.type();
        if (type == "POLYLINE" || type == "SEQEND" || type == "ATTDEF")
            return; // POLYLINE's own point is a dummy; ATTDEF is not drawn as placed
        if (type == "INSERT") {
            std::array<double, 3> p = point(o, 10);
            box.add(p[0], p[1], p[2]);
            DxfBox inner = blockBox(o.value(2), depth);
            if (inner.empty)
                return;
            double sx = o.number(41).value_or(1), sy = o.number(42).value_or(1),
                   sz = o.number(43).value_or(1);
            double a = o.number(50).value_or(0) * std::numbers::pi / 180;
            for (int c = 0; c < 8; ++c) {
                double x = (c & 1) ? inner.max[0] : inner.min[0];
                double y = (c & 2) ? inner.max[1] : inner.min[1];
                double z = (c & 4) ? inner.max[2] : inner.min[2];
                box.add(p[0] + std::cos(a) * x * sx - std::sin(a) * y * sy,
                        p[1] + std::sin(a) * x * sx + std::cos(a) * y * sy, p[2] + z * sz);
            }
            return;
        }
        const double radius = (type == "CIRCLE" || type == "ARC") ? std::abs(o.number(40).value_or(0)) : 0;
        double rx = radius, ry = radius; // half sizes around each point
        // Codes that hold a direction or size, not a point: the end of an
        // ellipse's major axis relative to its centre, text and tolerance
        // directions, the direction of construction lines, spline tangents,
        // image edges, multiline directions.
        int vectors = 0; // bit c - 10 set: code c is no point
        if (type == "ELLIPSE") {
            // The whole ellipse (an arc of it lies within): major axis a, minor
            // axis ratio * a turned by 90 degrees, in the plan.
            const std::array<double, 3> a = point(o, 11);
            const double ratio = o.number(40).value_or(1);
            rx = std::hypot(a[0], ratio * a[1]);
            ry = std::hypot(a[1], ratio * a[0]);
            vectors = 1 << 1;
        } else if (type == "MTEXT" || type == "XLINE" || type == "RAY" || type == "TOLERANCE") {
            vectors = 1 << 1;
        } else if (type == "SPLINE" || type == "MLINE") {
            vectors = (1 << 2) | (1 << 3);
        } else if (type == "IMAGE" || type == "WIPEOUT") {
            vectors = (1 << 1) | (1 << 2);
        }
        for (size_t i = 1; i < o.tags.size(); ++i) {
            int c = o.tags[i].code;
            if (c < 10 || c > 18 || (vectors & (1 << (c - 10))))
                continue;
            auto x = DxfDocument::parseNumber(o.tags[i].value);
            if (!x)
                continue;
            std::optional<double> y, z;
            for (size_t j = i + 1; j < o.tags.size() && j <= i + 2; ++j) {
                if (o.tags[j].code == c + 10)
                    y = DxfDocument::parseNumber(o.tags[j].value);
                else if (o.tags[j].code == c + 20)
                    z = DxfDocument::parseNumber(o.tags[j].value);
            }
            if (!y)
                continue;
            double zz = z.value_or(0);
            box.add(*x - rx, *y - ry, zz);
            box.add(*x + rx, *y + ry, zz);
        }
    }
}

void DxfDrawing::zoomExtents() {
    DxfBox b = extents_;
    b.add(statedExtents_);
    if (b.empty)
        b.add(0, 0, 0);
    auto xyz = [](const std::array<double, 3>& p) {
        return std::vector<DxfTag>{T::tag(10, p[0]), T::tag(20, p[1]), T::tag(30, p[2])};
    };
    const DxfObject* oldMin = doc_.headerVariable("$EXTMIN");
    const DxfObject* oldMax = doc_.headerVariable("$EXTMAX");
    if (oldMin && oldMax && point(*oldMin, 10) == b.min && point(*oldMax, 10) == b.max)
        return;
    doc_.setHeaderVariable("$EXTMIN", xyz(b.min));
    doc_.setHeaderVariable("$EXTMAX", xyz(b.max));
    modified_ = true;
}

// ---------------------------------------------------------------- entities

void DxfDrawing::appendEntities(std::vector<DxfObject>&& objects) {
    DxfSection& ents = entities();
    size_t first = ents.objects.size();
    for (DxfObject& o : objects) {
        entityByHandle_.insert(upper(o.value(5)), static_cast<int>(ents.objects.size()));
        ents.objects.push_back(std::move(o));
    }
    addToBox(extents_, ents.objects, first, ents.objects.size(), 0);
    modified_ = true;
}

QByteArray DxfDrawing::insertBlock(const QString& blockName, const std::array<double, 3>& at, double xScale,
                                   double yScale, double zScale, double rotation) {
    for (double v : {at[0], at[1], at[2], xScale, yScale, zScale, rotation})
        requireFinite(v);
    const BlockInfo& info = blockInfo(blockName);
    const QByteArray layer = encodeText(currentLayer());
    const double degrees = rotation * 180 / std::numbers::pi;
    const double c = std::cos(rotation), s = std::sin(rotation);
    auto place = [&](const std::array<double, 3>& p) {
        double x = (p[0] - info.base[0]) * xScale, y = (p[1] - info.base[1]) * yScale;
        double z = (p[2] - info.base[2]) * zScale;
        return std::array<double, 3>{at[0] + c * x - s * y, at[1] + s * x + c * y, at[2] + z};
    };

    std::vector<DxfObject> objects;
    const QByteArray handle = newHandle();
    DxfObject insert{{T::tag(0, "INSERT"), T::tag(5, handle), T::tag(8, layer)}};
    if (modern_)
        insert.tags = {T::tag(0, "INSERT"),       T::tag(5, handle), T::tag(330, modelSpace_),
                       T::tag(100, "AcDbEntity"), T::tag(8, layer),  T::tag(100, "AcDbBlockReference")};
    if (!info.attdefs.empty())
        insert.tags.push_back(T::tag(66, "1"));
    insert.tags.push_back(T::tag(2, encodeText(info.name)));
    setPoint(insert.tags, 10, at);
    if (xScale != 1 || yScale != 1 || zScale != 1) {
        insert.tags.push_back(T::tag(41, xScale));
        insert.tags.push_back(T::tag(42, yScale));
        insert.tags.push_back(T::tag(43, zScale));
    }
    if (rotation != 0)
        insert.tags.push_back(T::tag(50, degrees));
    objects.push_back(std::move(insert));

    for (const AttDef& a : info.attdefs) {
        const DxfObject& d = a.def;
        QByteArray defLayer = d.value(8, "0").trimmed();
        DxfObject attrib{
            {T::tag(0, "ATTRIB"), T::tag(5, newHandle()), T::tag(8, defLayer == "0" ? layer : defLayer)}};
        if (modern_)
            attrib.tags = {T::tag(0, "ATTRIB"), T::tag(5, attrib.tags[1].value), T::tag(330, handle),
                           T::tag(100, "AcDbEntity"), attrib.tags[2]};
        for (int code : {6, 62})
            if (d.find(code) >= 0)
                attrib.tags.push_back(T::tag(code, d.value(code).trimmed()));
        if (modern_)
            attrib.tags.push_back(T::tag(100, "AcDbText"));
        // R12 keeps these among the text's tags; later versions in AcDbAttribute.
        std::vector<DxfTag> attribute;
        setPoint(attrib.tags, 10, place(a.position));
        attrib.tags.push_back(T::tag(40, d.number(40).value_or(1) * std::abs(yScale)));
        attrib.tags.push_back(T::tag(1, d.value(1)));
        attribute.push_back(T::tag(2, d.value(2).trimmed()));
        attribute.push_back(T::tag(70, d.value(70, "0").trimmed()));
        if (d.find(73) >= 0)
            attribute.push_back(T::tag(73, d.value(73).trimmed()));
        if (!modern_) {
            attrib.tags.insert(attrib.tags.end(), attribute.begin(), attribute.end());
            attribute.clear();
        }
        double angle = d.number(50).value_or(0) + degrees;
        if (angle != 0)
            attrib.tags.push_back(T::tag(50, std::fmod(angle, 360.0)));
        double width = d.number(41).value_or(1) * (yScale != 0 ? std::abs(xScale / yScale) : 1);
        if (width != 1)
            attrib.tags.push_back(T::tag(41, width));
        for (int code : {51, 7, 71})
            if (d.find(code) >= 0)
                attrib.tags.push_back(T::tag(code, d.value(code).trimmed()));
        int h = static_cast<int>(d.number(72).value_or(0));
        int v = static_cast<int>(d.number(74).value_or(0));
        if (h != 0)
            attrib.tags.push_back(T::tagInt(72, h));
        if (h != 0 || v != 0)
            setPoint(attrib.tags, 11, place(a.alignment));
        if (modern_) {
            attrib.tags.push_back(T::tag(100, "AcDbAttribute"));
            attrib.tags.insert(attrib.tags.end(), attribute.begin(), attribute.end());
        }
        if (v != 0)
            attrib.tags.push_back(T::tagInt(74, v));
        objects.push_back(std::move(attrib));
    }
    if (!info.attdefs.empty())
        objects.push_back(seqEnd(handle, layer));
    appendEntities(std::move(objects));
    return handle;
}

DxfObject DxfDrawing::seqEnd(const QByteArray& owner, const QByteArray& layer) {
    DxfObject o{{T::tag(0, "SEQEND"), T::tag(5, newHandle())}};
    if (modern_)
        o.tags.insert(o.tags.end(), {T::tag(330, owner), T::tag(100, "AcDbEntity")});
    o.tags.push_back(T::tag(8, layer));
    return o;
}

QByteArray DxfDrawing::add3DPolyline(const std::vector<double>& v,
                                     const std::vector<DxfExtendedData>& vertexData) {
    if (v.size() < 6 || v.size() % 3 != 0)
        throw DxfError(
            QStringLiteral("A 3D polyline needs at least two vertices of three coordinates each."));
    if (!vertexData.empty() && vertexData.size() != v.size() / 3)
        throw DxfError(QStringLiteral("A 3D polyline's vertex data must name every vertex."));
    for (double d : v)
        requireFinite(d);
    const QByteArray layer = encodeText(currentLayer());
    std::vector<DxfObject> objects;
    const QByteArray handle = newHandle();
    DxfObject poly{{T::tag(0, "POLYLINE"), T::tag(5, handle), T::tag(8, layer), T::tag(66, "1")}};
    if (modern_)
        poly.tags = {T::tag(0, "POLYLINE"),    T::tag(5, handle),
                     T::tag(330, modelSpace_), T::tag(100, "AcDbEntity"),
                     T::tag(8, layer),         T::tag(100, "AcDb3dPolyline"),
                     T::tag(66, "1")};
    setPoint(poly.tags, 10, {0, 0, 0});
    poly.tags.push_back(T::tag(70, "8"));
    objects.push_back(std::move(poly));
    for (size_t i = 0; i < v.size(); i += 3) {
        DxfObject vertex{{T::tag(0, "VERTEX"), T::tag(5, newHandle()), T::tag(8, layer)}};
        if (modern_)
            vertex.tags = {T::tag(0, "VERTEX"),
                           vertex.tags[1],
                           T::tag(330, handle),
                           T::tag(100, "AcDbEntity"),
                           T::tag(8, layer),
                           T::tag(100, "AcDbVertex"),
                           T::tag(100, "AcDb3dPolylineVertex")};
        setPoint(vertex.tags, 10, {v[i], v[i + 1], v[i + 2]});
        vertex.tags.push_back(T::tag(70, "32"));
        if (!vertexData.empty() && !vertexData[i / 3].empty()) {
            ensureAppId(vertexData[i / 3].application.toLatin1());
            const auto data =
                PointDataXData::toTags(vertexData[i / 3], [this](const QString& t) { return encodeText(t); });
            vertex.tags.insert(vertex.tags.end(), data.begin(), data.end());
        }
        objects.push_back(std::move(vertex));
    }
    objects.push_back(seqEnd(handle, layer));
    appendEntities(std::move(objects));
    return handle;
}

int DxfDrawing::entityIndex(const QByteArray& handle) const {
    QByteArray key = upper(handle);
    if (key.isEmpty())
        return -1;
    int i = entityByHandle_.value(key, -1);
    if (i < 0 && !doc_.section("ENTITIES")->raw.isEmpty()) {
        // An entity of the file as read: split the section into objects once.
        const_cast<DxfDrawing*>(this)->expandEntities();
        i = entityByHandle_.value(key, -1);
    }
    return i;
}

const DxfObject& DxfDrawing::entity(int index) const {
    return doc_.section("ENTITIES")->objects.at(index);
}

std::vector<int> DxfDrawing::attributesOf(int insertIndex) const {
    std::vector<int> out;
    const auto& objects = doc_.section("ENTITIES")->objects;
    if (insertIndex < 0 || objects.at(insertIndex).type() != "INSERT" ||
        objects[insertIndex].value(66).trimmed() != "1")
        return out;
    for (size_t i = static_cast<size_t>(insertIndex) + 1; i < objects.size(); ++i) {
        QByteArray type = objects[i].type();
        if (type != "ATTRIB")
            break;
        out.push_back(static_cast<int>(i));
    }
    return out;
}

void DxfDrawing::setEntityLayer(int insertIndex, const QString& layer) {
    auto& objects = entities().objects;
    const QByteArray spelled = layers_.value(upper(encodeText(layer)));
    if (spelled.isEmpty())
        throw DxfError(QStringLiteral("The drawing has no layer \"%1\".").arg(layer));
    DxfObject& insert = objects.at(insertIndex);
    const QByteArray old = upper(insert.value(8, "0"));
    insert.set(8, spelled);
    std::vector<int> attribs = attributesOf(insertIndex);
    for (int i : attribs)
        if (upper(objects[i].value(8, "0")) == old)
            objects[i].set(8, spelled);
    size_t after = static_cast<size_t>(insertIndex) + attribs.size() + 1;
    if (!attribs.empty() && after < objects.size() && objects[after].type() == "SEQEND")
        objects[after].set(8, spelled);
    modified_ = true;
}

void DxfDrawing::setExtendedData(int index, const DxfExtendedData& data) {
    if (data.empty())
        return;
    const QByteArray app = data.application.toLatin1();
    std::vector<DxfTag>& tags = entities().objects.at(index).tags;
    // Extended data comes last in an entity: the application's old group, from
    // its 1001 to the next 1001 or the end, gives way to the new one.
    for (size_t i = 0; i < tags.size(); ++i) {
        if (tags[i].code != 1001 || upper(tags[i].value.trimmed()) != upper(app))
            continue;
        size_t end = i + 1;
        while (end < tags.size() && tags[end].code != 1001)
            ++end;
        tags.erase(tags.begin() + static_cast<std::ptrdiff_t>(i),
                   tags.begin() + static_cast<std::ptrdiff_t>(end));
        break;
    }
    ensureAppId(app);
    const auto fresh = PointDataXData::toTags(data, [this](const QString& t) { return encodeText(t); });
    tags.insert(tags.end(), fresh.begin(), fresh.end());
    modified_ = true;
}

void DxfDrawing::setAttributeText(int attribIndex, const QString& text) {
    entities().objects.at(attribIndex).set(1, safeText(encodeText(text)));
    modified_ = true;
}
