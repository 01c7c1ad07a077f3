// SPDX-License-Identifier: GPL-3.0-or-later
// The points of a DXF drawing, for turning them into waypoint rows: block
// references (with their attributes), POINT entities and, when asked, the
// vertices of polylines, read from model space only. Any ASCII DXF version
// (R12 to 2018 and the ones between; a drawing without $ACADVER is taken as
// R12), text decoded as the engine decodes it (UTF-8 from AC1021 on, else the
// drawing's $DWGCODEPAGE).
//
// The file is read as a stream of tags: nothing but the points is kept, so a
// drawing of 100,000 labelled blocks costs little more than its bytes.
//
// Paper space is skipped: an entity with 67 = 1, or owned (330) by a *Paper_Space
// block record; the BLOCKS section (block definitions, other layouts) is not
// read at all.
//
// Coordinates are world coordinates (WCS) in drawing units. An INSERT, an
// LWPOLYLINE and a 2D POLYLINE whose extrusion (210/220/230) is not +Z hold
// their points in the object coordinate system: they are turned into WCS with
// the arbitrary axis algorithm. An LWPOLYLINE's z is its elevation (38), a 2D
// POLYLINE's the z of its 10 group, in OCS before that turn. POINT and 3D
// polyline vertices are WCS already.
#pragma once
#include "dxf/pointdata.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

struct DrawingPointsOptions {
    // Layers whose points are read (names compared without regard to case);
    // empty: every layer.
    QStringList layers;
    // Vertices of LWPOLYLINE and 2D/3D POLYLINE entities count as points.
    // Mesh and polyface vertices never do, nor the vertices a spline fit made.
    bool polylineVertices = false;
};

struct DrawingPoint {
    enum class Kind { Block, Point, Vertex };
    Kind kind = Kind::Point;
    QString handle; // of the INSERT or POINT; of the polyline for a vertex
    QString layer;
    QString block; // block name (Block only)
    double x = 0, y = 0, z = 0;
    QList<QPair<QString, QString>> attributes; // tag, text, in drawing order
    int vertex = 0;                            // 1-based vertex number in its polyline (Vertex only)
    // How the program placed the point, when the entity (a vertex: itself,
    // else its polyline) carries the program's extended data.
    std::optional<PointData> data;
};

struct DrawingPointsResult {
    std::vector<DrawingPoint> points; // in drawing order
    // The drawing's layers: the LAYER table in order, then layers that
    // model-space entities use without a table entry.
    QStringList layers;
    QString version; // $ACADVER ("AC1009" when the drawing has none)
    QString error;   // why the file could not be read, for the user; "" when it was
    bool ok() const { return error.isEmpty(); }
};

DrawingPointsResult ReadDrawingPoints(const QString& path, const DrawingPointsOptions& options);
// The same for a drawing's bytes (the file's name appears in no message).
DrawingPointsResult ReadDrawingPointsFromData(const QByteArray& bytes, const DrawingPointsOptions& options);

// The waypoint name for a point: a block's TRANSFERTEXT attribute when it has
// text, else its first attribute with text, else "<block>-<handle>"; a POINT's
// handle; a vertex's "<polyline handle>-<vertex number>".
QString DrawingPointName(const DrawingPoint& point);
