// SPDX-License-Identifier: GPL-3.0-or-later
// The changes the engine made to a drawing since it last matched its file on
// disk, kept so that they can be made again on a newer copy of the file that
// another program wrote meanwhile. Every change is recorded after it succeeded
// on the drawing held in memory; a successful write (or a fresh read) clears
// the journal.
//
// Handles: a block reference made again gets a new handle (the other program
// may have used the old one). replay() says which handle became which, so the
// engine can keep the handles it gave out usable. A change to an object that
// is no longer in the newer copy (the other program deleted it) is dropped.
#pragma once
#include <QByteArray>
#include <QHash>
#include <QString>

#include "dxf/pointdata.h"

#include <array>
#include <deque>
#include <vector>

class DxfDrawing;

class DrawingJournal {
public:
    void addLayer(const QString& name);
    // blockPath/blockBytes: the block drawing file as it was read for the insert.
    // handle: the new INSERT's handle; attributes: its ATTRIBs' handles in order.
    void insertBlock(const QString& blockPath, const QByteArray& blockBytes,
                     const std::array<double, 3>& point, const std::array<double, 3>& scales, double rotation,
                     const QByteArray& handle, const std::vector<QByteArray>& attributes);
    void setLayer(const QByteArray& insertHandle, const QString& layer);
    void setAttributeText(const QByteArray& attribHandle, const QString& text);
    void setExtendedData(const QByteArray& handle, const DxfExtendedData& data);
    void add3DPolyline(const std::vector<double>& vertices,
                       const std::vector<DxfExtendedData>& vertexData = {});
    void zoomExtents();

    bool empty() const { return ops_.empty() && !zoom_; }
    void clear() {
        ops_.clear();
        zoom_ = false;
    }

    // Makes every recorded change again on drawing, in order, and records the
    // new handles in place of the old ones. Returns old handle -> new handle
    // (upper case) for every entity made again. Throws DxfError when a change
    // cannot be made on this drawing.
    QHash<QByteArray, QByteArray> replay(DxfDrawing& drawing);

private:
    enum class Kind { AddLayer, Insert, SetLayer, SetText, Polyline, ExtendedData };
    struct Op {
        Kind kind;
        QString text; // layer name, attribute text or block path
        QByteArray handle;
        QByteArray blockBytes;
        std::array<double, 3> point{0, 0, 0};
        std::array<double, 3> scales{1, 1, 1};
        double rotation = 0;
        std::vector<QByteArray> attributes;
        std::vector<double> vertices;
        std::vector<DxfExtendedData> data; // the entity's (one) or each vertex's
    };
    std::deque<Op> ops_; // a deque: thousands of records are appended per command, none is moved
    bool zoom_ = false;  // the extents were fitted: once more at the end of a replay
};
