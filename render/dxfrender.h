// SPDX-License-Identifier: GPL-3.0-or-later
// Draws a drawing's model space, seen from above (z is dropped), into any
// QPainter: the drawing window paints with it and tests render into a QImage.
//
// DxfScene::build turns the tags into flat lists of primitives in drawing
// units once per change of the drawing (block references expanded, nested
// blocks included, colours resolved); render only transforms and paints them,
// so a frame costs little more than the lines it draws. Text smaller than a
// few pixels is left out, as it could not be read anyway.
//
// Drawn: LINE, CIRCLE, ARC, POINT, TEXT (Aligned and Fit along their two
// points), MTEXT (formatted, wrapped and aligned: render/mtextlayout.h), ATTRIB (and a model space ATTDEF's
// tag), SOLID, TRACE, 3DFACE, POLYLINE with its VERTEXes and LWPOLYLINE (bulges as arcs), ELLIPSE and
// elliptic arcs, SPLINE (along its control points, else through its fit
// points), HATCH (boundary; filled when solid), DIMENSION (its block), and
// INSERT with its point, scales, rotation, rows and columns and nested blocks.
// Entities in an object coordinate system (extrusion other than +z) are
// projected onto the plan, so (0,0,-1) shows mirrored as CAD programs show it.
// Colours come from the entity (62, or its true colour 420), its layer, or the
// block reference (BYBLOCK, and layer "0" inside a block); layers that are off
// or frozen are not drawn. Colour 7 is drawn in the colour that contrasts with
// the background (white on dark, black on light). Text is UTF-8 from AC1021
// on, before that in the drawing's $DWGCODEPAGE. A block reference too small
// on screen to be seen is marked by a small square at its insertion point.
//
// A big drawing is built in steps (begin, then step until it returns true), so
// a caller on the GUI thread can keep its window responsive; build() does all
// steps at once. What is not drawn (entity types the renderer lacks, and
// block expansions beyond a budget) is counted, never dropped silently.
#pragma once
#include "dxf/dxfdocument.h"

#include <QColor>
#include <QLineF>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QTransform>

#include <memory>
#include <vector>

class QPainter;

// Where the view looks: drawing units to pixels. Pixel y grows downwards,
// drawing y upwards.
struct DxfView {
    QPointF center{0, 0}; // the drawing point at the middle of the target
    double scale = 1;     // pixels per drawing unit, > 0

    QTransform transform(const QSizeF& target) const;
    QPointF toDevice(const QPointF& world, const QSizeF& target) const;
    QPointF toWorld(const QPointF& device, const QSizeF& target) const;
    // The view that shows extents whole in target, 5% of it left free on each
    // side of the fuller direction (room for markers and labels); for
    // null extents a view of the origin at one pixel per unit.
    static DxfView fit(const QRectF& extents, const QSizeF& target);
    // Zooms by factor (> 1 enlarges) keeping the drawing point under the
    // device point where it is.
    void zoomAbout(const QPointF& device, const QSizeF& target, double factor);
    // Moves the drawing with the pointer by delta pixels.
    void pan(const QPointF& delta);
};

// The colour of AutoCAD colour index 1..255 (7 gives black, for a white background).
QColor aciColor(int index);

// What a scene is painted on. Dark is model space as CAD programs show it;
// Light is for printing-like viewing: colour 7 turns black, and yellow and cyan,
// unreadable on white, are darkened.
enum class DxfBackground { Dark, Light };
QColor backgroundColor(DxfBackground background);

// Plain text of an MTEXT value: paragraph breaks as line breaks, formatting
// codes removed, stacked fractions as "a/b", \U+XXXX characters decoded.
QString mtextPlainText(const QString& text);
// TEXT control codes: %%d degree, %%c diameter, %%p plus-minus, %%nnn a
// character code; %%u, %%o and %%k (underline, overline, strike) dropped.
QString textSpecialCodes(const QString& text);

class DxfScene {
public:
    DxfScene();
    ~DxfScene();
    DxfScene(DxfScene&&) noexcept;
    DxfScene& operator=(DxfScene&&) noexcept;

    void build(const DxfDocument& doc);
    void clear();
    // Building in steps: begin clears the scene and starts over on doc; each
    // step adds entities for about maxMilliseconds and returns true once the
    // scene is complete. Each step must be given the same document, unchanged
    // apart from edits a step can see (a document whose sections were resized
    // or moved makes the step start over).
    void begin(const DxfDocument& doc);
    bool step(const DxfDocument& doc, double maxMilliseconds);
    bool building() const { return cx_ != nullptr; }
    // Model space entities done so far, and in all (while building; an
    // estimate while entities kept as text, DxfSection::raw, are being read).
    size_t entitiesDone() const { return done_; }
    size_t entitiesTotal() const { return total_; }

    // Plan extents of everything drawn (text by an estimate of its width);
    // a null rectangle when nothing is drawn.
    QRectF extents() const { return extents_.box; }
    bool isEmpty() const { return extents_.box.isNull(); }
    // Counts, for tests and figures.
    size_t lineCount() const;
    size_t textCount() const { return texts_.size(); }
    QStringList
    texts() const; // as shown, in drawing order; an MTEXT gives one per run (render/mtextlayout.h)
    // A text as placed, for tests: frame maps text units (x along the baseline,
    // y up, one unit the text's height) to drawing units; fitWidth is the
    // length in text units it is stretched to (0: the font's own width).
    struct PlacedText {
        QString text;
        QTransform frame;
        double fitWidth;
        unsigned style; // MTextRun::Style flags
        QRgb color;
    };
    PlacedText placedText(size_t i) const;
    // Everything a frame paints (lines, curves, fills, texts).
    size_t primitiveCount() const;
    // Entities that were not drawn: types the renderer cannot draw, and
    // block contents beyond the budget. notDrawnTypes names the types.
    long long notDrawn() const { return notDrawn_; }
    QStringList notDrawnTypes() const;

    // Paints the primitives over target (the device rectangle the view fills;
    // the caller paints it with backgroundColor(background) first). A complete
    // scene is not changed by painting, so other threads may paint it at the
    // same time.
    void render(QPainter& painter, const QRectF& target, const DxfView& view,
                DxfBackground background = DxfBackground::Light) const;

private:
    struct Ellipse {
        QPointF center;
        double radius; // drawing units
    };
    struct Arc {
        QPointF center;
        double radius;
        double start, span; // degrees, counter-clockwise
    };
    // A model space block reference: where it is inserted and how big what it
    // draws is, so that it can be marked where it would be too small to see.
    struct Marker {
        QPointF at;
        double size; // drawing units, the larger side of what the reference draws
    };
    // The box of what is drawn while a model space block reference is expanded.
    struct Bounds {
        QRectF box;
        bool any = false;
        void add(const QPointF& p);
    };
    struct Batch {
        QRgb color = 0; // kForeground for colour 7
        // In chunks of a fixed size: a growing scene never copies what it has.
        std::vector<std::vector<QLineF>> lines;
        size_t lineCount = 0;
        void addLine(const QPointF& a, const QPointF& b);
        std::vector<QPolygonF> fills;
        std::vector<QPainterPath> areas; // filled, odd-even
        std::vector<Ellipse> circles;
        std::vector<Arc> arcs;
        std::vector<QPointF> points;
        std::vector<Marker> markers;
    };
    struct Text {
        // Text units (x along the baseline, y up; one unit is the text height,
        // width factor included) to drawing units.
        QTransform frame;
        double height; // drawing units, for the size test
        int hAlign;    // 0 left, 1 center, 2 right, 4 middle
        int vAlign;    // 0 baseline, 1 bottom, 2 middle, 3 top
        QRgb color;
        QString text;
        // Text units the text is stretched to along its baseline, whatever the
        // font's own width at the size it is painted (fitted TEXT, MTEXT runs
        // placed by the layout); 0: its own width.
        double fitWidth = 0;
        unsigned style = 0; // MTextRun::Style flags
    };
    struct Block {
        QPointF base;
        size_t from = 0, to = 0; // entity range in the BLOCKS section
    };
    struct Context;

    Batch& batch(QRgb color);
    void emitEntities(Context& cx, const std::vector<DxfObject>& objects, size_t from, size_t to,
                      const QTransform& m, const QByteArray& parentLayer, int parentColor, int depth);
    size_t emitEntity(Context& cx, const std::vector<DxfObject>& objects, size_t k, size_t to,
                      const QTransform& m, const QByteArray& parentLayer, int parentColor, int depth);
    void emitBlock(Context& cx, const QByteArray& name, const QTransform& full, const QByteArray& layer,
                   int color, int depth);
    void emitInsert(Context& cx, const DxfObject& o, const QTransform& m, const QByteArray& layer, int color,
                    int depth);
    void emitText(Context& cx, const DxfObject& o, const QByteArray& type, const QTransform& m, QRgb rgb,
                  int depth);
    void emitMText(Context& cx, const DxfObject& o, const QTransform& m, QRgb rgb);
    void emitHatch(const DxfObject& o, const QTransform& m, QRgb rgb);
    void addText(Text t, double estimatedWidth);
    void addPolyline(QRgb color, const QTransform& m, const std::vector<QPointF>& points,
                     const std::vector<double>& bulges, bool closed);
    void addPath(QRgb color, const std::vector<QPointF>& points); // already in drawing units
    void addLine(QRgb color, const QPointF& a, const QPointF& b);
    void addArc(QRgb color, const QTransform& m, const QPointF& c, double r, double start, double end);
    void include(const QPointF& p);
    void finish();
    size_t estimateRaw(const Context& cx) const;

    std::vector<Batch> batches_;
    std::vector<Text> texts_;
    Bounds extents_;
    Bounds* tracking_ = nullptr;  // also given what include() sees, while not null
    std::unique_ptr<Context> cx_; // while building
    size_t done_ = 0, total_ = 0;
    long long notDrawn_ = 0;
    std::vector<QByteArray> notDrawnTypes_;
};
