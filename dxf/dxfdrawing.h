// SPDX-License-Identifier: GPL-3.0-or-later
// An editable drawing of any ASCII DXF version from R12 (AC1009) to 2018
// (AC1032) on top of the tag model: layers, blocks defined from block drawing
// files, block references with attributes, 3D polylines, entity handles and
// extents. The drawing keeps its version. Everything it held when it was read
// is kept byte for byte: the big sections (ENTITIES, OBJECTS) stay as the text
// they were read as and what the engine adds is spliced in after them. The
// engine never rewrites an object it did not add, handles included.
//
// What readers rely on in what is added: a unique handle on every new entity,
// table entry, block and block end (ATTRIB, VERTEX and SEQEND included) with
// $HANDSEED above every handle of the file; tables LTYPE with CONTINUOUS, LAYER
// with "0" and every layer used, STYLE with STANDARD; an INSERT with
// attributes has 66=1, then its ATTRIBs in world coordinates, then SEQEND;
// numbers use ".". From R13 (AC1012) on, also: an owner (330) on every new
// object (the *Model_Space block record, the INSERT or POLYLINE of an ATTRIB,
// VERTEX or SEQEND, the block record of a block's entities, the table of a
// table entry), subclass markers (100), and a BLOCK_RECORD for every new
// block. Text is UTF-8 from AC1021 on, before that the drawing's code page.
#pragma once
#include "dxf/dxfdocument.h"
#include "dxf/pointdata.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <array>
#include <vector>

// An axis-aligned box in drawing units; empty until a point is added.
struct DxfBox {
    std::array<double, 3> min{0, 0, 0};
    std::array<double, 3> max{0, 0, 0};
    bool empty = true;
    void add(double x, double y, double z);
    void add(const DxfBox& other);
};

class DxfDrawing {
public:
    // A new empty drawing with the header, tables and sections a reader needs.
    static DxfDrawing createNew();
    // Reads a drawing to edit. Throws DxfError for anything DxfDocument::parse
    // refuses and for a version outside R12 (AC1009) to 2018 (AC1032). A
    // drawing without $ACADVER is taken as R12.
    static DxfDrawing open(const QByteArray& bytes);
    // The drawing's bytes, $HANDSEED set ahead of every handle.
    QByteArray toBytes();

    // ---- layers (names compared without regard to case, kept as typed) ----
    bool hasLayer(const QString& name) const;
    // Adds the layer (colour 7, CONTINUOUS) unless it exists. Throws DxfError
    // for a name no DXF allows (empty, a control character or one of < > / \ " : ; ? * | = `).
    void addLayer(const QString& name);
    static QString layerNameProblem(const QString& name); // "" when the name is allowed
    QString currentLayer() const;                         // $CLAYER when that layer exists, else "0"

    // ---- blocks ----
    // Defines a block from the entities of a block drawing file (DXF of any
    // version this class reads) once per path and returns its name: the file's
    // base name, made unique when another definition already holds that name.
    // Blocks the file's entities refer to are copied too, at every depth, under
    // "<name>$<their name>". Handle references among the copied entities
    // (extended data, reactors, pointers) name the copies; those naming
    // anything else are dropped. Layer, line type and text style names no
    // reader accepts are made valid, and entities of R12 and older drawings
    // are put in the form readers need (DxfConvert::adapt). Throws DxfError
    // when the file is missing, unreadable, not a usable DXF drawing, or holds
    // an entity the drawing's version cannot hold or that cannot be put right
    // (the message names the file, the entity type and the reason).
    QString blockFromFile(const QString& path);
    // The same for a block drawing already read: bytes stand for the file at path.
    QString blockFromData(const QString& path, const QByteArray& bytes);

    // ---- entities (model space) ----
    // Inserts a reference to an existing block at point (drawing units) with the
    // scales and the rotation (radians), with one ATTRIB per non-constant ATTDEF
    // of the block. Returns the INSERT's handle.
    QByteArray insertBlock(const QString& blockName, const std::array<double, 3>& point, double xScale,
                           double yScale, double zScale, double rotation);
    // A 3D polyline through x1, y1, z1, x2, ... (at least two vertices).
    // vertexData: none, or one entry per vertex, each vertex's extended data
    // (an empty entry gives that vertex none).
    QByteArray add3DPolyline(const std::vector<double>& vertices,
                             const std::vector<DxfExtendedData>& vertexData = {});
    // Gives the entity at index the extended data (registering its
    // application), in place of what it held for that application.
    void setExtendedData(int index, const DxfExtendedData& data);

    // Index of the model space entity with that handle (case-insensitive hex), or -1.
    int entityIndex(const QByteArray& handle) const;
    const DxfObject& entity(int index) const;
    // Indexes of the ATTRIBs that follow the INSERT at index, in file order.
    std::vector<int> attributesOf(int insertIndex) const;
    // Moves a block reference to layer (which must exist); its SEQEND and the
    // ATTRIBs that were on the reference's layer move with it.
    void setEntityLayer(int insertIndex, const QString& layer);
    // Rewrites an ATTRIB's text (control characters become blanks).
    void setAttributeText(int attribIndex, const QString& text);

    // Writes $EXTMIN/$EXTMAX: the model space extents, widened to the extents
    // the file stated when it was read.
    void zoomExtents();
    const DxfBox& extents() const { return extents_; }

    bool modified() const { return modified_; }
    void markSaved() { modified_ = false; }
    // The whole drawing as tags (sections kept as text are split first, once).
    const DxfDocument& document() const;
    // The drawing as held: big sections kept as text (DxfSection::raw), read
    // them with DxfDocument::forEachObject; nothing is split, so a reader of a
    // big drawing costs no more memory than the text.
    const DxfDocument& splicedDocument() const { return doc_; }
    // The drawing's $ACADVER ("AC1009" for a new drawing).
    QByteArray version() const { return version_; }
    // Text as this drawing holds it, and back (see DxfConvert::encodeText).
    QByteArray encodeText(const QString& text) const;
    QString decodeText(const QByteArray& bytes) const;

private:
    struct AttDef {
        DxfObject def;
        std::array<double, 3> position{0, 0, 0};
        std::array<double, 3> alignment{0, 0, 0};
        bool hasAlignment = false;
    };
    struct BlockInfo {
        QString name;
        std::array<double, 3> base{0, 0, 0};
        std::vector<AttDef> attdefs;
        DxfBox box; // in block coordinates
    };

    void prepare();
    void scanObject(const DxfObject& o, bool entity, unsigned long long& maxHandle,
                    std::vector<std::pair<int, QByteArray>>& used);
    void expandEntities();
    bool modern() const { return modern_; }
    // Handle of the TABLE head of `name`, or "0".
    QByteArray tableHandle(const char* name);
    // The handle and owner of a new object: the owner only in modern drawings.
    void own(DxfObject& o, const QByteArray& handle, const QByteArray& owner);
    DxfObject blockRecord(const QByteArray& name);
    void ensureAppId(const QByteArray& name);
    // Drops the references of an entry shaped after another (layer "0", the
    // *Model_Space record) that name no object of this drawing.
    void dropDanglingReferences(DxfObject& o);
    DxfObject seqEnd(const QByteArray& owner, const QByteArray& layer);
    QByteArray newHandle();
    DxfSection& entities();
    DxfSection& blocks();
    DxfSection& tables();
    // Objects of table `name` ("LAYER"); creates the table when missing.
    // Returns the index of its ENDTAB in the TABLES section.
    int tableEnd(const char* name);
    // Adds the entry with a new handle (and owner) and returns the handle.
    QByteArray addTableEntry(const char* table, DxfObject entry);
    void indexTables();
    void ensureLinetype(const QByteArray& name, const DxfDocument* source);
    void ensureStyle(const QByteArray& name, const DxfDocument* source);
    void ensureLayer(const QByteArray& name, const DxfDocument* source);
    const DxfObject* findEntry(const DxfDocument& doc, const char* table, const QByteArray& name) const;
    void appendEntities(std::vector<DxfObject>&& objects);
    void addToBox(DxfBox& box, const std::vector<DxfObject>& objects, size_t from, size_t to, int depth);
    void addObjectToBox(DxfBox& box, const DxfObject& o, int depth);
    QByteArray uniqueBlockName(const QByteArray& wanted) const;
    DxfBox blockBox(const QByteArray& name, int depth);
    const BlockInfo& blockInfo(const QString& name);
    bool blockExists(const QByteArray& name) const;
    // Entities of the block, or empty when absent.
    std::vector<DxfObject> blockEntities(const QByteArray& name) const;

    DxfDocument doc_;
    QByteArray version_ = "AC1009";
    QByteArray codepage_;
    bool modern_ = false;
    QByteArray modelSpace_ = "0"; // handle of the *Model_Space block record (modern drawings)
    unsigned long long nextHandle_ = 1;
    bool modified_ = false;
    DxfBox extents_;
    DxfBox statedExtents_;                  // $EXTMIN/$EXTMAX as read; empty when they stated nothing
    QSet<QByteArray> usedSeen_;             // while reading: names already listed
    QHash<QByteArray, int> entityByHandle_; // upper-case handle -> index in ENTITIES
    QHash<QByteArray, QByteArray> layers_, linetypes_, styles_; // upper-case -> as spelled
    QHash<QString, QString> blockByPath_;                       // absolute path -> block name
    QHash<QString, BlockInfo> blockInfo_;                       // upper-case block name -> what inserts need
    QHash<QByteArray, DxfBox> blockBoxes_;                      // upper-case block name -> extents
    QSet<QByteArray> appIds_;             // application names known to be registered, as asked and upper case
    QHash<QByteArray, bool> handleKnown_; // upper-case handle -> an object of the drawing has it
};
