// SPDX-License-Identifier: GPL-3.0-or-later
// An editable R12 drawing on top of the tag model: layers, blocks defined from
// block drawing files, block references with attributes, 3D polylines, entity
// handles and extents. Everything the drawing held when it was read is kept;
// the engine only adds objects (and handles where a reader needs them).
//
// What R12 readers rely on, and what every drawing written here keeps:
// $HANDLING 1 with a unique handle on every entity, table entry, block and
// block end (ATTRIB, VERTEX and SEQEND included) and $HANDSEED above all of
// them; tables LTYPE with CONTINUOUS, LAYER with "0" and every layer used,
// STYLE with STANDARD; an INSERT with attributes has 66=1, then its ATTRIBs in
// world coordinates, then SEQEND; text is Windows-1252; numbers use ".".
#pragma once
#include "dxf/dxfdocument.h"

#include <QHash>
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
    // refuses and for a version other than R12 (AC1009). A drawing without
    // $ACADVER is taken as R12.
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
    // Defines a block from the entities of a block drawing file (DXF, R12 or
    // older) once per path and returns its name: the file's base name, made
    // unique when another definition already holds that name. Throws DxfError
    // when the file is missing, unreadable or not a usable DXF drawing.
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
    QByteArray add3DPolyline(const std::vector<double>& vertices);

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

    // Writes $EXTMIN/$EXTMAX from the model space extents.
    void zoomExtents();
    const DxfBox& extents() const { return extents_; }

    bool modified() const { return modified_; }
    void markSaved() { modified_ = false; }
    const DxfDocument& document() const { return doc_; }

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
    QByteArray newHandle();
    DxfSection& entities();
    DxfSection& blocks();
    DxfSection& tables();
    // Objects of table `name` ("LAYER"); creates the table when missing.
    // Returns the index of its ENDTAB in the TABLES section.
    int tableEnd(const char* name);
    void addTableEntry(const char* table, DxfObject entry);
    void indexTables();
    void ensureLinetype(const QByteArray& name, const DxfDocument* source);
    void ensureStyle(const QByteArray& name, const DxfDocument* source);
    void ensureLayer(const QByteArray& name, const DxfDocument* source);
    const DxfObject* findEntry(const DxfDocument& doc, const char* table, const QByteArray& name) const;
    void appendEntities(std::vector<DxfObject>&& objects);
    void addToBox(DxfBox& box, const std::vector<DxfObject>& objects, size_t from, size_t to, int depth);
    DxfBox blockBox(const QByteArray& name, int depth);
    const BlockInfo& blockInfo(const QString& name);
    bool blockExists(const QByteArray& name) const;
    // Entities of the block, or empty when absent.
    std::vector<DxfObject> blockEntities(const QByteArray& name) const;

    DxfDocument doc_;
    unsigned long long nextHandle_ = 1;
    bool modified_ = false;
    DxfBox extents_;
    QHash<QByteArray, int> entityByHandle_;                     // upper-case handle -> index in ENTITIES
    QHash<QByteArray, QByteArray> layers_, linetypes_, styles_; // upper-case -> as spelled
    QHash<QString, QString> blockByPath_;                       // absolute path -> block name
    QHash<QString, BlockInfo> blockInfo_;                       // upper-case block name -> what inserts need
    QHash<QByteArray, DxfBox> blockBoxes_;                      // upper-case block name -> extents
};
