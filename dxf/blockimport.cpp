// SPDX-License-Identifier: GPL-3.0-or-later
// Importing a block drawing into the drawing: its text recoded to the
// drawing's code page, its entities converted to the drawing's version, the
// blocks it nests renamed where their names are taken by other content, and
// a drawing already imported under the same content used again.
#include "dxf/dxfdrawing.h"

#include "dxf/drawingdetail.h"
#include "dxf/dxfconvert.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <optional>
#include <utility>

namespace {

using T = DxfDocument;
using namespace dxfdetail;

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

QString sanitizeBlockName(const QString& base) {
    const QString name = DxfConvert::validName(base);
    return name.isEmpty() ? QStringLiteral("BLOCK") : name;
}

// Entity tags without handles, to compare two definitions of a block: the
// handle and owner are left out, other references count by their place only.
std::vector<std::pair<int, QByteArray>> content(const std::vector<DxfObject>& objects) {
    std::vector<std::pair<int, QByteArray>> out;
    for (const DxfObject& o : objects)
        for (size_t i = 0; i < o.tags.size(); ++i) {
            const int code = o.tags[i].code;
            if (i > 0 && (code == 5 || code == 330))
                continue;
            out.emplace_back(code, i > 0 && DxfConvert::isReference(code) ? QByteArray()
                                                                          : o.tags[i].value.trimmed());
        }
    return out;
}

} // namespace

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
    const QByteArray sourceVersion = source.version();
    if (!isR12OrOlder(sourceVersion) && !isEditable(sourceVersion))
        throw DxfError(
            QStringLiteral("The block drawing \"%1\" is a DXF of version %2; only block drawings of "
                           "AutoCAD R12 (AC1009) to AutoCAD 2018 (AC1032) can be inserted.")
                .arg(path, versionName(sourceVersion)));
    // Early and damaged drawings may name layers in ways no reader accepts.
    DxfConvert::makeNamesValid(source);
    const bool fromModern = DxfConvert::isModern(sourceVersion);
    QByteArray sourceCodepage;
    if (const DxfObject* cp = source.headerVariable("$DWGCODEPAGE"); cp && cp->tags.size() > 1)
        sourceCodepage = cp->tags[1].value.trimmed();
    const bool sameText =
        DxfConvert::isUtf8(sourceVersion) == DxfConvert::isUtf8(version_) &&
        (DxfConvert::isUtf8(version_) || upper(sourceCodepage.isEmpty() ? "ANSI_1252" : sourceCodepage) ==
                                             upper(codepage_.isEmpty() ? "ANSI_1252" : codepage_));
    const DxfConvert::Recode recode = [&](const QByteArray& b) {
        return sameText ? b : encodeText(DxfConvert::decodeText(b, sourceVersion, sourceCodepage));
    };
    auto adapt = [&](const std::vector<DxfObject>& objects) {
        return DxfConvert::adapt(objects, fromModern, version_, recode, path);
    };

    std::array<double, 3> base{0, 0, 0};
    if (const DxfObject* ins = source.headerVariable("$INSBASE"))
        base = point(*ins, 10);

    // Model space entities of the block drawing.
    std::vector<DxfObject> body;
    if (const DxfSection* ents = source.section("ENTITIES"))
        for (const DxfObject& o : ents->objects)
            if (o.value(67).trimmed() != "1")
                body.push_back(o);
    body = adapt(body);

    // The block definitions of the block drawing, by upper-case name.
    struct SourceBlock {
        QByteArray name;
        std::array<double, 3> base{0, 0, 0};
        int flags = 0;
        std::vector<DxfObject> entities;
    };
    QHash<QByteArray, SourceBlock> sourceBlocks;
    if (const DxfSection* srcBlocks = source.section("BLOCKS")) {
        SourceBlock* current = nullptr;
        for (const DxfObject& o : srcBlocks->objects) {
            QByteArray type = o.type();
            if (type == "BLOCK") {
                QByteArray key = upper(o.value(2));
                current = nullptr;
                if (key.isEmpty() || key.startsWith("*MODEL_SPACE") || key.startsWith("*PAPER_SPACE"))
                    continue;
                SourceBlock& b = sourceBlocks[key];
                b = SourceBlock{
                    o.value(2).trimmed(), point(o, 10), static_cast<int>(o.number(70).value_or(0)) & 2, {}};
                current = &b;
            } else if (type == "ENDBLK") {
                current = nullptr;
            } else if (current) {
                current->entities.push_back(o);
            }
        }
    }

    // References to blocks of the block drawing are renamed under this
    // block's name; `fresh` gives a name no block here holds yet.
    QHash<QByteArray, QByteArray> nested; // source block (upper case) -> name here
    std::vector<QByteArray> order;        // source blocks in the order met
    QSet<QByteArray> pending;             // upper-case names given but not yet defined
    auto rename = [&](std::vector<DxfObject>& objects, const QByteArray& prefix, bool fresh) {
        for (DxfObject& o : objects) {
            QByteArray type = o.type();
            if (type != "INSERT" && type != "DIMENSION")
                continue;
            int i = o.find(2);
            if (i < 0)
                continue;
            const QByteArray inner = upper(o.tags[i].value);
            if (sourceBlocks.contains(inner)) {
                if (!nested.contains(inner)) {
                    QByteArray wanted = prefix + "$" +
                                        encodeText(DxfConvert::validName(
                                            decodeText(o.tags[i].value.trimmed().replace('*', ""))));
                    QByteArray name = wanted;
                    for (int n = 2; fresh && (blockExists(name) || pending.contains(upper(name))); ++n)
                        name = wanted + "_" + QByteArray::number(n);
                    nested.insert(inner, name);
                    pending.insert(upper(name));
                    order.push_back(inner);
                }
                o.tags[i].value = nested.value(inner);
            } else if (!blockExists(inner)) {
                if (type == "INSERT")
                    throw DxfError(QStringLiteral("The block drawing \"%1\" refers to a block \"%2\" that it "
                                                  "does not define; the block was not inserted.")
                                       .arg(path, decodeText(o.tags[i].value.trimmed())));
                // A dimension without its block draws nothing anywhere.
                o.tags.erase(o.tags.begin() + i);
            }
        }
    };

    // Handle references may only name what is copied: the model space entities
    // and the entities of the blocks they refer to, at every depth. The others
    // are dropped here, so that a definition left by an earlier run compares
    // equal below; copies get their new handles when they are defined.
    QSet<QByteArray> copied;
    {
        std::vector<const std::vector<DxfObject>*> walk{&body};
        QSet<QByteArray> reached;
        for (size_t w = 0; w < walk.size(); ++w)
            for (const DxfObject& o : *walk[w]) {
                if (int h = o.find(5); h >= 0)
                    copied.insert(upper(o.tags[h].value));
                const QByteArray type = o.type();
                const QByteArray inner = upper(o.value(2));
                if ((type == "INSERT" || type == "DIMENSION") && sourceBlocks.contains(inner) &&
                    !reached.contains(inner)) {
                    reached.insert(inner);
                    walk.push_back(&sourceBlocks[inner].entities);
                }
            }
    }
    const DxfConvert::HandleMap inCopy = [&copied](const QByteArray& h) -> std::optional<QByteArray> {
        return copied.contains(upper(h)) ? std::optional<QByteArray>(h) : std::nullopt;
    };
    for (DxfObject& o : body)
        DxfConvert::remapReferences(o, inCopy);

    // Choose the name: the file's base name, or the first free variant of it.
    // A definition identical to the one this file gives (left by an earlier run)
    // is used again rather than duplicated.
    const QString baseName = sanitizeBlockName(QFileInfo(absolute).completeBaseName());
    QString name;
    bool reuse = false;
    std::vector<DxfObject> renamed;
    for (int n = 1;; ++n) {
        name = n == 1 ? baseName : QStringLiteral("%1_%2").arg(baseName).arg(n);
        QByteArray nameBytes = encodeText(name);
        bool taken = false;
        for (const QString& known : blockByPath_)
            taken = taken || known.compare(name, Qt::CaseInsensitive) == 0;
        if (taken)
            continue;
        nested.clear();
        order.clear();
        pending.clear();
        renamed = body;
        rename(renamed, nameBytes, false);
        if (!blockExists(nameBytes))
            break;
        if (content(blockEntities(nameBytes)) == content(renamed)) {
            reuse = true;
            break;
        }
    }
    const QByteArray nameBytes = encodeText(name);

    // Layers, line types and text styles the entities name must exist here.
    auto ensureResources = [&](const std::vector<DxfObject>& objects) {
        for (const DxfObject& o : objects) {
            ensureLayer(o.value(8, "0"), &source);
            if (o.find(6) >= 0)
                ensureLinetype(o.value(6), &source);
            QByteArray type = o.type();
            if ((type == "TEXT" || type == "ATTDEF" || type == "ATTRIB" || type == "MTEXT") && o.find(7) >= 0)
                ensureStyle(o.value(7), &source);
            // Extended data names its application, which must be registered.
            for (const DxfTag& t : o.tags)
                if (t.code == 1001)
                    ensureAppId(t.value);
        }
    };
    // A block is defined in two steps: every copied entity of every block gets
    // its handle first (kept in `handles`, old upper-case handle -> new), then
    // the references among them are mapped and the definitions written.
    struct NewBlock {
        QByteArray name;
        std::vector<DxfObject> objects;
        std::vector<QByteArray> handles, owners; // per object
        QByteArray record, head, end;
        int flags = 0;
        std::array<double, 3> origin{0, 0, 0};
    };
    QHash<QByteArray, QByteArray> handles;
    auto prepareBlock = [&](const QByteArray& blockName, std::vector<DxfObject> objects, int flags,
                            const std::array<double, 3>& origin) {
        ensureResources(objects);
        NewBlock nb{blockName, std::move(objects), {}, {}, "0", {}, {}, flags, origin};
        if (modern_)
            nb.record = addTableEntry("BLOCK_RECORD", blockRecord(blockName));
        // Entities of a block belong to its record; ATTRIB, VERTEX and SEQEND
        // to the INSERT or POLYLINE before them.
        QByteArray parent;
        for (const DxfObject& o : nb.objects) {
            const QByteArray type = o.type();
            const bool child =
                (type == "ATTRIB" || type == "VERTEX" || type == "SEQEND") && !parent.isEmpty();
            const QByteArray handle = newHandle();
            if (int h = o.find(5); h >= 0)
                handles.insert(upper(o.tags[h].value), handle);
            nb.handles.push_back(handle);
            nb.owners.push_back(child ? parent : nb.record);
            if (type == "INSERT" || type == "POLYLINE")
                parent = handle;
            else if (!child || type == "SEQEND")
                parent.clear();
        }
        nb.head = newHandle();
        nb.end = newHandle();
        return nb;
    };
    const DxfConvert::HandleMap toCopy = [&handles](const QByteArray& h) -> std::optional<QByteArray> {
        auto it = handles.constFind(upper(h));
        return it == handles.constEnd() ? std::nullopt : std::optional<QByteArray>(it.value());
    };
    auto defineBlock = [&](NewBlock& nb) {
        for (size_t i = 0; i < nb.objects.size(); ++i) {
            DxfConvert::remapReferences(nb.objects[i], toCopy);
            own(nb.objects[i], nb.handles[i], nb.owners[i]);
        }
        std::vector<DxfObject> def;
        DxfObject head{{T::tag(0, "BLOCK")}};
        if (modern_)
            head.tags.insert(head.tags.end(), {T::tag(100, "AcDbEntity"), T::tag(8, "0"),
                                               T::tag(100, "AcDbBlockBegin"), T::tag(2, nb.name)});
        else
            head.tags.insert(head.tags.end(), {T::tag(8, "0"), T::tag(2, nb.name)});
        head.tags.push_back(T::tagInt(70, nb.flags));
        setPoint(head.tags, 10, nb.origin);
        head.tags.push_back(T::tag(3, nb.name));
        if (modern_)
            head.tags.push_back(T::tag(1, ""));
        own(head, nb.head, nb.record);
        def.push_back(std::move(head));
        for (DxfObject& o : nb.objects)
            def.push_back(std::move(o));
        DxfObject end{{T::tag(0, "ENDBLK"), T::tag(8, "0")}};
        if (modern_)
            end.tags = {T::tag(0, "ENDBLK"), T::tag(100, "AcDbEntity"), T::tag(8, "0"),
                        T::tag(100, "AcDbBlockEnd")};
        own(end, nb.end, nb.record);
        def.push_back(std::move(end));
        DxfSection& b = blocks();
        b.objects.insert(b.objects.end(), std::make_move_iterator(def.begin()),
                         std::make_move_iterator(def.end()));
        blockBoxes_.remove(upper(nb.name));
    };

    if (!reuse) {
        // Blocks the entities refer to, at every depth, under names no block
        // here holds; defined before the blocks that use them.
        nested.clear();
        order.clear();
        pending.clear();
        renamed = body;
        rename(renamed, nameBytes, true);
        std::vector<std::pair<QByteArray, std::vector<DxfObject>>> inner;
        for (size_t i = 0; i < order.size(); ++i) {
            const SourceBlock& sb = sourceBlocks.value(order[i]);
            std::vector<DxfObject> objects = adapt(sb.entities);
            for (DxfObject& o : objects)
                DxfConvert::remapReferences(o, inCopy);
            rename(objects, nameBytes, true);
            inner.emplace_back(order[i], std::move(objects));
        }
        std::vector<NewBlock> defined;
        for (auto it = inner.rbegin(); it != inner.rend(); ++it) {
            const SourceBlock& sb = sourceBlocks.value(it->first);
            defined.push_back(
                prepareBlock(nested.value(it->first), std::move(it->second), sb.flags, sb.base));
        }
        bool hasAttdefs = false;
        for (const DxfObject& o : renamed)
            hasAttdefs = hasAttdefs || o.type() == "ATTDEF";
        defined.push_back(prepareBlock(nameBytes, renamed, hasAttdefs ? 2 : 0, base));
        for (NewBlock& nb : defined)
            defineBlock(nb);
    } else {
        ensureResources(renamed);
    }
    blockByPath_.insert(absolute, name);
    blockInfo_.remove(upper(nameBytes));
    blockBoxes_.remove(upper(nameBytes));
    return name;
}
