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
// Drawn: LINE, CIRCLE, ARC, POINT, TEXT, ATTRIB (and a model space ATTDEF's
// tag), SOLID, TRACE, 3DFACE, POLYLINE with its VERTEXes (2D and 3D; straight
// segments), and INSERT with its point, scales, rotation, rows and columns and
// nested blocks. Colours come from the entity (62), its layer, or the block
// reference (BYBLOCK, and layer "0" inside a block); layers that are off or
// frozen are not drawn. Colour 7 is black on the white background.
#pragma once
#include "dxf/dxfdocument.h"

#include <QColor>
#include <QLineF>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QTransform>

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
    // The view that shows extents whole in target with a small margin; for
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

class DxfScene {
public:
    void build(const DxfDocument& doc);
    void clear();

    // Plan extents of everything drawn (text by an estimate of its width);
    // a null rectangle when nothing is drawn.
    QRectF extents() const { return extents_; }
    bool isEmpty() const { return extents_.isNull(); }
    // Counts, for tests and figures.
    size_t lineCount() const;
    size_t textCount() const { return texts_.size(); }

    // Paints the primitives over target (the device rectangle the view fills;
    // the caller paints the background).
    void render(QPainter& painter, const QRectF& target, const DxfView& view) const;

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
    struct Batch {
        QRgb color = 0;
        std::vector<QLineF> lines;
        std::vector<QPolygonF> fills;
        std::vector<Ellipse> circles;
        std::vector<Arc> arcs;
        std::vector<QPointF> points;
    };
    struct Text {
        QPointF at;    // the anchor that the alignment refers to
        double height; // drawing units
        double angle;  // degrees, counter-clockwise
        double widthFactor;
        int hAlign; // 0 left, 1 center, 2 right, 4 middle (3, 5: as 1 at the midpoint)
        int vAlign; // 0 baseline, 1 bottom, 2 middle, 3 top
        QRgb color;
        QString text;
    };
    struct Block {
        QPointF base;
        size_t from = 0, to = 0; // entity range in the BLOCKS section
    };
    struct Context;

    Batch& batch(QRgb color);
    void emitEntities(Context& cx, const std::vector<DxfObject>& objects, size_t from, size_t to,
                      const QTransform& m, const QByteArray& parentLayer, int parentColor, int depth);
    void emitInsert(Context& cx, const DxfObject& o, const QTransform& m, const QByteArray& layer, int color,
                    int depth);
    void addLine(QRgb color, const QPointF& a, const QPointF& b);
    void addArc(QRgb color, const QTransform& m, const QPointF& c, double r, double start, double end);
    void include(const QPointF& p);

    std::vector<Batch> batches_;
    std::vector<Text> texts_;
    QRectF extents_;
    bool hasExtents_ = false;
};
