// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/dxfdrawing.h"

#include "platform/ansi.h"
#include "platform/durablewrite.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cmath>
#include <cstring>
#include <numbers>

namespace {

constexpr const char* kTableOrder[] = {"VPORT", "LTYPE", "LAYER", "STYLE",
                                       "VIEW",  "UCS",   "APPID", "DIMSTYLE"};
constexpr int kMaxNesting = 16; // block references inside blocks followed this deep for extents

using T = DxfDocument;

QByteArray upper(const QByteArray& s) {
    return s.trimmed().toUpper();
}

bool isStructural(const QByteArray& type) {
    return type == "TABLE" || type == "ENDTAB";
}

int handleCode(const DxfObject& o) {
    return o.type() == "DIMSTYLE" ? 105 : 5;
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

// Versions whose entities an R12 drawing can hold as they are.
bool isR12OrOlder(const QByteArray& version) {
    if (version.isEmpty() || version == "AC2.10" || version.startsWith("AC1."))
        return true;
    if (version.size() == 6 && version.startsWith("AC10")) {
        bool ok = false;
        int n = version.mid(2).toInt(&ok);
        return ok && n <= 1009;
    }
    return false;
}

QString versionName(const QByteArray& v) {
    static const QHash<QByteArray, const char*> names = {
        {"AC1012", "AutoCAD R13"},  {"AC1014", "AutoCAD R14"},  {"AC1015", "AutoCAD 2000"},
        {"AC1018", "AutoCAD 2004"}, {"AC1021", "AutoCAD 2007"}, {"AC1024", "AutoCAD 2010"},
        {"AC1027", "AutoCAD 2013"}, {"AC1032", "AutoCAD 2018"}};
    auto it = names.find(v);
    QString id = QString::fromLatin1(v);
    return it == names.end() ? id : QStringLiteral("%1, %2").arg(id, QString::fromLatin1(it.value()));
}

std::array<double, 3> point(const DxfObject& o, int xCode) {
    return {o.number(xCode).value_or(0), o.number(xCode + 10).value_or(0), o.number(xCode + 20).value_or(0)};
}

void setPoint(std::vector<DxfTag>& tags, int xCode, const std::array<double, 3>& p) {
    tags.push_back(T::tag(xCode, p[0]));
    tags.push_back(T::tag(xCode + 10, p[1]));
    tags.push_back(T::tag(xCode + 20, p[2]));
}

void requireFinite(double v) {
    if (!std::isfinite(v))
        throw DxfError(QStringLiteral("A coordinate, scale or angle is not a finite number."));
}

// Value lines can hold no line break; other control characters would not
// survive readers either.
QByteArray safeText(const QString& text) {
    QByteArray bytes = ToAnsi(text);
    for (char& c : bytes)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return bytes;
}

QString sanitizeBlockName(const QString& base) {
    QString name;
    for (QChar c : base)
        name += (c.unicode() < 0x20 || QStringLiteral("<>/\\\":;?*|=`").contains(c)) ? QChar('_') : c;
    name = name.trimmed();
    return name.isEmpty() ? QStringLiteral("BLOCK") : name;
}

// Entity tags without handles, to compare two definitions of a block.
std::vector<std::pair<int, QByteArray>> content(const std::vector<DxfObject>& objects) {
    std::vector<std::pair<int, QByteArray>> out;
    for (const DxfObject& o : objects)
        for (size_t i = 0; i < o.tags.size(); ++i)
            if (!(i > 0 && o.tags[i].code == 5))
                out.emplace_back(o.tags[i].code, o.tags[i].value.trimmed());
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
    d.doc_ = DxfDocument::parse(bytes);
    QByteArray version = d.doc_.version();
    if (!version.isEmpty() && version != "AC1009")
        throw DxfError(QStringLiteral("The drawing is a DXF of version %1; only AutoCAD R12 (AC1009) DXF "
                                      "drawings can be added to. The file was left unchanged.")
                           .arg(versionName(version)));
    d.prepare();
    return d;
}

// Gives every object that needs one a unique handle, sets the header variables
// a handle-bearing R12 drawing needs and adds the tables readers need.
void DxfDrawing::prepare() {
    std::vector<DxfObject*> handled;
    for (const char* name : {"TABLES", "BLOCKS", "ENTITIES"})
        if (DxfSection* s = doc_.section(name))
            for (DxfObject& o : s->objects)
                if (!isStructural(o.type()))
                    handled.push_back(&o);
    // New handles start above every handle the file holds, table heads included
    // (some writers give them one) so that none is handed out twice.
    unsigned long long maxHandle = 0;
    for (const char* name : {"TABLES", "BLOCKS", "ENTITIES"})
        if (DxfSection* s = doc_.section(name))
            for (const DxfObject& o : s->objects) {
                int i = o.find(handleCode(o));
                if (i >= 0)
                    if (auto h = parseHandle(o.tags[i].value))
                        maxHandle = std::max(maxHandle, *h);
            }
    nextHandle_ = maxHandle + 1;
    if (const DxfObject* seed = doc_.headerVariable("$HANDSEED"))
        if (seed->tags.size() > 1)
            if (auto h = parseHandle(seed->tags[1].value))
                nextHandle_ = std::max(nextHandle_, *h);

    QSet<unsigned long long> seen;
    for (DxfObject* o : handled) {
        int code = handleCode(*o);
        int i = o->find(code);
        std::optional<unsigned long long> h = i >= 0 ? parseHandle(o->tags[i].value) : std::nullopt;
        if (h && !seen.contains(*h)) {
            seen.insert(*h);
            continue;
        }
        modified_ = true;
        if (i >= 0)
            o->tags[i].value = newHandle();
        else
            o->tags.insert(o->tags.begin() + 1, T::tag(code, newHandle()));
    }

    if (doc_.version().isEmpty()) {
        doc_.setHeaderVariable("$ACADVER", {T::tag(1, "AC1009")});
        modified_ = true;
    }
    const DxfObject* handling = doc_.headerVariable("$HANDLING");
    if (!handling || handling->tags.size() < 2 || handling->tags[1].value.trimmed() != "1") {
        doc_.setHeaderVariable("$HANDLING", {T::tag(70, "1")});
        modified_ = true;
    }

    indexTables();
    if (!linetypes_.contains("CONTINUOUS"))
        ensureLinetype("CONTINUOUS", nullptr);
    if (!layers_.contains("0"))
        ensureLayer("0", nullptr);
    if (!styles_.contains("STANDARD"))
        ensureStyle("STANDARD", nullptr);
    blocks();
    DxfSection& ents = entities();
    // Every layer, line type and text style the drawing uses must be defined.
    std::vector<std::pair<int, QByteArray>> used;
    for (const DxfSection* s : {doc_.section("TABLES"), doc_.section("BLOCKS"), &ents})
        for (const DxfObject& o : s->objects) {
            QByteArray type = o.type();
            if (s == &ents || type != "LAYER")
                if (int i = o.find(8); i >= 0 && s != doc_.section("TABLES"))
                    used.emplace_back(8, o.tags[i].value);
            if (int i = o.find(6); i >= 0 && (type == "LAYER" || s != doc_.section("TABLES")))
                used.emplace_back(6, o.tags[i].value);
            if (int i = o.find(7); i >= 0 && (type == "TEXT" || type == "ATTDEF" || type == "ATTRIB"))
                used.emplace_back(7, o.tags[i].value);
        }
    for (const auto& [code, name] : used) {
        if (code == 8)
            ensureLayer(name, nullptr);
        else if (code == 6)
            ensureLinetype(name, nullptr);
        else
            ensureStyle(name, nullptr);
    }

    entityByHandle_.clear();
    entityByHandle_.reserve(static_cast<qsizetype>(ents.objects.size()));
    for (size_t i = 0; i < ents.objects.size(); ++i) {
        const DxfObject& o = ents.objects[i];
        entityByHandle_.insert(upper(o.value(5)), static_cast<int>(i));
    }
    extents_ = DxfBox();
    addToBox(extents_, ents.objects, 0, ents.objects.size(), 0);
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
    while (rank < 8 && std::strcmp(kTableOrder[rank], name) != 0)
        ++rank;
    size_t at = t.objects.size();
    for (size_t i = 0; i < t.objects.size() && at == t.objects.size(); ++i) {
        if (t.objects[i].type() != "TABLE")
            continue;
        QByteArray other = upper(t.objects[i].value(2));
        for (int r = rank + 1; r < 8; ++r)
            if (other == kTableOrder[r]) {
                at = i;
                break;
            }
    }
    DxfObject head{{T::tag(0, "TABLE"), T::tag(2, name), T::tag(70, "0")}};
    DxfObject end{{T::tag(0, "ENDTAB")}};
    t.objects.insert(t.objects.begin() + static_cast<std::ptrdiff_t>(at), {head, end});
    modified_ = true;
    return static_cast<int>(at + 1);
}

void DxfDrawing::addTableEntry(const char* table, DxfObject entry) {
    int end = tableEnd(table);
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
    DxfObject entry;
    if (const DxfObject* from = source ? findEntry(*source, "LTYPE", name) : nullptr) {
        entry = *from;
        entry.set(5, newHandle());
    } else {
        entry.tags = {T::tag(0, "LTYPE"),
                      T::tag(5, newHandle()),
                      T::tag(2, name.trimmed()),
                      T::tag(70, "0"),
                      T::tag(3, key == "CONTINUOUS" ? "Solid line" : ""),
                      T::tag(72, "65"),
                      T::tag(73, "0"),
                      T::tag(40, 0.0)};
    }
    addTableEntry("LTYPE", std::move(entry));
    linetypes_.insert(key, name.trimmed());
}

void DxfDrawing::ensureStyle(const QByteArray& name, const DxfDocument* source) {
    QByteArray key = upper(name);
    if (key.isEmpty() || styles_.contains(key))
        return;
    DxfObject entry;
    if (const DxfObject* from = source ? findEntry(*source, "STYLE", name) : nullptr) {
        entry = *from;
        entry.set(5, newHandle());
    } else {
        entry.tags = {T::tag(0, "STYLE"), T::tag(5, newHandle()), T::tag(2, name.trimmed()),
                      T::tag(70, "0"),    T::tag(40, 0.0),        T::tag(41, 1.0),
                      T::tag(50, 0.0),    T::tag(71, "0"),        T::tag(42, 0.2),
                      T::tag(3, "txt"),   T::tag(4, "")};
    }
    addTableEntry("STYLE", std::move(entry));
    styles_.insert(key, name.trimmed());
}

void DxfDrawing::ensureLayer(const QByteArray& name, const DxfDocument* source) {
    QByteArray key = upper(name);
    if (key.isEmpty() || layers_.contains(key))
        return;
    DxfObject entry;
    if (const DxfObject* from = source ? findEntry(*source, "LAYER", name) : nullptr) {
        entry = *from;
        entry.set(5, newHandle());
        ensureLinetype(entry.value(6, "CONTINUOUS"), source);
    } else {
        entry.tags = {T::tag(0, "LAYER"),        T::tag(5, newHandle()),
                      T::tag(2, name.trimmed()), T::tag(70, "0"),
                      T::tag(62, "7"),           T::tag(6, linetypes_.value("CONTINUOUS", "CONTINUOUS"))};
    }
    addTableEntry("LAYER", std::move(entry));
    layers_.insert(key, name.trimmed());
}

bool DxfDrawing::hasLayer(const QString& name) const {
    return layers_.contains(upper(ToAnsi(name)));
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
    ensureLayer(ToAnsi(name), nullptr);
}

QString DxfDrawing::currentLayer() const {
    const DxfObject* clayer = doc_.headerVariable("$CLAYER");
    if (clayer && clayer->tags.size() > 1) {
        auto it = layers_.find(upper(clayer->tags[1].value));
        if (it != layers_.end())
            return FromAnsi(it.value());
    }
    return FromAnsi(layers_.value("0", "0"));
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

QString DxfDrawing::blockFromData(const QString& path, const QByteArray& bytes) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (auto it = blockByPath_.find(absolute); it != blockByPath_.end())
        return it.value();
    DxfDocument source;
    try {
        source = DxfDocument::parse(bytes);
    } catch (const DxfError& e) {
        throw DxfError(
            QStringLiteral("The block drawing \"%1\" cannot be used. %2").arg(path, e.description()));
    }
    if (!isR12OrOlder(source.version()))
        throw DxfError(
            QStringLiteral("The block drawing \"%1\" is a DXF of version %2; only AutoCAD R12 (AC1009) "
                           "or older block drawings can be inserted.")
                .arg(path, versionName(source.version())));

    std::array<double, 3> base{0, 0, 0};
    if (const DxfObject* ins = source.headerVariable("$INSBASE"))
        base = point(*ins, 10);

    // Model space entities of the block drawing.
    std::vector<DxfObject> body;
    if (const DxfSection* ents = source.section("ENTITIES"))
        for (const DxfObject& o : ents->objects)
            if (o.value(67).trimmed() != "1")
                body.push_back(o);

    // Choose the name: the file's base name, or the first free variant of it.
    // A definition identical to the one this file gives (left by an earlier run)
    // is used again rather than duplicated.
    const QString baseName = sanitizeBlockName(QFileInfo(absolute).completeBaseName());
    QString name;
    bool reuse = false;
    QHash<QByteArray, QByteArray> nestedNames; // block names of the source -> names here
    std::vector<DxfObject> renamed;
    for (int n = 1;; ++n) {
        name = n == 1 ? baseName : QStringLiteral("%1_%2").arg(baseName).arg(n);
        QByteArray nameBytes = ToAnsi(name);
        bool taken = false;
        for (const QString& known : blockByPath_)
            taken = taken || known.compare(name, Qt::CaseInsensitive) == 0;
        if (taken)
            continue;
        // References to blocks of the block drawing are renamed under this name.
        nestedNames.clear();
        renamed = body;
        for (DxfObject& o : renamed) {
            QByteArray type = o.type();
            if (type == "INSERT" || type == "DIMENSION") {
                int i = o.find(2);
                if (i < 0)
                    continue;
                QByteArray inner = upper(o.tags[i].value);
                if (!nestedNames.contains(inner))
                    nestedNames.insert(inner, nameBytes + "$" + o.tags[i].value.trimmed().replace('*', ""));
                o.tags[i].value = nestedNames.value(inner);
            }
        }
        if (!blockExists(nameBytes))
            break;
        if (content(blockEntities(nameBytes)) == content(renamed)) {
            reuse = true;
            break;
        }
    }
    const QByteArray nameBytes = ToAnsi(name);

    // Layers, line types and text styles the entities name must exist here.
    auto ensureResources = [&](const std::vector<DxfObject>& objects) {
        for (const DxfObject& o : objects) {
            ensureLayer(o.value(8, "0"), &source);
            if (o.find(6) >= 0)
                ensureLinetype(o.value(6), &source);
            QByteArray type = o.type();
            if ((type == "TEXT" || type == "ATTDEF" || type == "ATTRIB") && o.find(7) >= 0)
                ensureStyle(o.value(7), &source);
        }
    };
    auto addBlock = [&](const QByteArray& blockName, std::vector<DxfObject> objects, int flags) {
        ensureResources(objects);
        for (DxfObject& o : objects) {
            int h = o.find(5);
            if (h >= 0)
                o.tags[h].value = newHandle();
            else
                o.tags.insert(o.tags.begin() + 1, T::tag(5, newHandle()));
        }
        std::vector<DxfObject> def;
        DxfObject head{{T::tag(0, "BLOCK"), T::tag(5, newHandle()), T::tag(8, "0"), T::tag(2, blockName),
                        T::tagInt(70, flags)}};
        setPoint(head.tags, 10, base);
        head.tags.push_back(T::tag(3, blockName));
        def.push_back(std::move(head));
        for (DxfObject& o : objects)
            def.push_back(std::move(o));
        def.push_back(DxfObject{{T::tag(0, "ENDBLK"), T::tag(5, newHandle()), T::tag(8, "0")}});
        DxfSection& b = blocks();
        b.objects.insert(b.objects.end(), std::make_move_iterator(def.begin()),
                         std::make_move_iterator(def.end()));
    };

    if (!reuse) {
        // Nested definitions first, so that a reader meets each block before its use.
        // Only one level is copied: deeper references keep the source's name and
        // must already exist here (R12 point symbols hardly ever nest).
        if (const DxfSection* srcBlocks = source.section("BLOCKS")) {
            for (auto it = nestedNames.begin(); it != nestedNames.end(); ++it) {
                std::vector<DxfObject> inner;
                bool inside = false;
                int flags = 0;
                for (const DxfObject& o : srcBlocks->objects) {
                    QByteArray type = o.type();
                    if (type == "BLOCK") {
                        inside = upper(o.value(2)) == it.key();
                        if (inside)
                            flags = static_cast<int>(o.number(70).value_or(0)) & 2;
                    } else if (type == "ENDBLK") {
                        if (inside)
                            break;
                    } else if (inside) {
                        inner.push_back(o);
                    }
                }
                if (!blockExists(it.value()))
                    addBlock(it.value(), std::move(inner), flags);
                blockBoxes_.remove(upper(it.value()));
            }
        }
        bool hasAttdefs = false;
        for (const DxfObject& o : renamed)
            hasAttdefs = hasAttdefs || o.type() == "ATTDEF";
        addBlock(nameBytes, renamed, hasAttdefs ? 2 : 0);
    } else {
        ensureResources(renamed);
    }
    blockByPath_.insert(absolute, name);
    blockInfo_.remove(upper(nameBytes));
    blockBoxes_.remove(upper(nameBytes));
    return name;
}

const DxfDrawing::BlockInfo& DxfDrawing::blockInfo(const QString& name) {
    const QByteArray key = upper(ToAnsi(name));
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
    for (size_t k = from; k < to; ++k) {
        const DxfObject& o = objects[k];
        if (o.value(67).trimmed() == "1")
            continue; // paper space
        QByteArray type = o.type();
        if (type == "POLYLINE" || type == "SEQEND" || type == "ATTDEF")
            continue; // POLYLINE's own point is a dummy; ATTDEF is not drawn as placed
        if (type == "INSERT") {
            std::array<double, 3> p = point(o, 10);
            box.add(p[0], p[1], p[2]);
            DxfBox inner = blockBox(o.value(2), depth);
            if (inner.empty)
                continue;
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
            continue;
        }
        double radius = (type == "CIRCLE" || type == "ARC") ? std::abs(o.number(40).value_or(0)) : 0;
        for (size_t i = 1; i < o.tags.size(); ++i) {
            int c = o.tags[i].code;
            if (c < 10 || c > 18)
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
            box.add(*x - radius, *y - radius, zz);
            box.add(*x + radius, *y + radius, zz);
        }
    }
}

void DxfDrawing::zoomExtents() {
    DxfBox b = extents_;
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
    const QByteArray layer = ToAnsi(currentLayer());
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
    if (!info.attdefs.empty())
        insert.tags.push_back(T::tag(66, "1"));
    insert.tags.push_back(T::tag(2, ToAnsi(info.name)));
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
        for (int code : {6, 62})
            if (d.find(code) >= 0)
                attrib.tags.push_back(T::tag(code, d.value(code).trimmed()));
        setPoint(attrib.tags, 10, place(a.position));
        attrib.tags.push_back(T::tag(40, d.number(40).value_or(1) * std::abs(yScale)));
        attrib.tags.push_back(T::tag(1, d.value(1)));
        attrib.tags.push_back(T::tag(2, d.value(2).trimmed()));
        attrib.tags.push_back(T::tag(70, d.value(70, "0").trimmed()));
        if (d.find(73) >= 0)
            attrib.tags.push_back(T::tag(73, d.value(73).trimmed()));
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
        if (v != 0)
            attrib.tags.push_back(T::tagInt(74, v));
        objects.push_back(std::move(attrib));
    }
    if (!info.attdefs.empty())
        objects.push_back(DxfObject{{T::tag(0, "SEQEND"), T::tag(5, newHandle()), T::tag(8, layer)}});
    appendEntities(std::move(objects));
    return handle;
}

QByteArray DxfDrawing::add3DPolyline(const std::vector<double>& v) {
    if (v.size() < 6 || v.size() % 3 != 0)
        throw DxfError(
            QStringLiteral("A 3D polyline needs at least two vertices of three coordinates each."));
    for (double d : v)
        requireFinite(d);
    const QByteArray layer = ToAnsi(currentLayer());
    std::vector<DxfObject> objects;
    const QByteArray handle = newHandle();
    DxfObject poly{{T::tag(0, "POLYLINE"), T::tag(5, handle), T::tag(8, layer), T::tag(66, "1")}};
    setPoint(poly.tags, 10, {0, 0, 0});
    poly.tags.push_back(T::tag(70, "8"));
    objects.push_back(std::move(poly));
    for (size_t i = 0; i < v.size(); i += 3) {
        DxfObject vertex{{T::tag(0, "VERTEX"), T::tag(5, newHandle()), T::tag(8, layer)}};
        setPoint(vertex.tags, 10, {v[i], v[i + 1], v[i + 2]});
        vertex.tags.push_back(T::tag(70, "32"));
        objects.push_back(std::move(vertex));
    }
    objects.push_back(DxfObject{{T::tag(0, "SEQEND"), T::tag(5, newHandle()), T::tag(8, layer)}});
    appendEntities(std::move(objects));
    return handle;
}

int DxfDrawing::entityIndex(const QByteArray& handle) const {
    QByteArray key = upper(handle);
    if (key.isEmpty())
        return -1;
    return entityByHandle_.value(key, -1);
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
    const QByteArray spelled = layers_.value(upper(ToAnsi(layer)));
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

void DxfDrawing::setAttributeText(int attribIndex, const QString& text) {
    entities().objects.at(attribIndex).set(1, safeText(text));
    modified_ = true;
}
