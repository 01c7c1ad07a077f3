// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/drawingjournal.h"

#include "dxf/dxfdrawing.h"

void DrawingJournal::addLayer(const QString& name) {
    ops_.push_back({Kind::AddLayer, name, {}, {}, {}, {}, 0, {}, {}, {}});
}

void DrawingJournal::insertBlock(const QString& blockPath, const QByteArray& blockBytes,
                                 const std::array<double, 3>& point, const std::array<double, 3>& scales,
                                 double rotation, const QByteArray& handle,
                                 const std::vector<QByteArray>& attributes) {
    ops_.push_back(
        {Kind::Insert, blockPath, handle.toUpper(), blockBytes, point, scales, rotation, {}, {}, {}});
    for (const QByteArray& a : attributes)
        ops_.back().attributes.push_back(a.toUpper());
}

void DrawingJournal::setLayer(const QByteArray& insertHandle, const QString& layer) {
    ops_.push_back({Kind::SetLayer, layer, insertHandle.toUpper(), {}, {}, {}, 0, {}, {}, {}});
}

void DrawingJournal::setAttributeText(const QByteArray& attribHandle, const QString& text) {
    ops_.push_back({Kind::SetText, text, attribHandle.toUpper(), {}, {}, {}, 0, {}, {}, {}});
}

void DrawingJournal::setExtendedData(const QByteArray& handle, const DxfExtendedData& data) {
    // Data given to a block just inserted travels with its insertion: one
    // record per point keeps the journal of a big command small.
    const QByteArray key = handle.toUpper();
    for (size_t back = 1; back <= 3 && back <= ops_.size(); ++back) {
        Op& op = ops_[ops_.size() - back];
        if (op.kind == Kind::Insert && op.handle == key) {
            op.data = {data};
            return;
        }
    }
    ops_.push_back({Kind::ExtendedData, {}, key, {}, {}, {}, 0, {}, {}, {data}});
}

void DrawingJournal::add3DPolyline(const std::vector<double>& vertices,
                                   const std::vector<DxfExtendedData>& vertexData) {
    ops_.push_back({Kind::Polyline, {}, {}, {}, {}, {}, 0, {}, vertices, vertexData});
}

void DrawingJournal::zoomExtents() {
    zoom_ = true;
}

QHash<QByteArray, QByteArray> DrawingJournal::replay(DxfDrawing& drawing) {
    QHash<QByteArray, QByteArray> renamed;
    // An entity this journal made is found under its new handle; any other
    // (one the file already held) under its own, if it is still there.
    auto indexOf = [&](const QByteArray& handle) {
        return drawing.entityIndex(renamed.value(handle, handle));
    };
    for (Op& op : ops_) {
        switch (op.kind) {
        case Kind::AddLayer:
            drawing.addLayer(op.text);
            break;
        case Kind::Insert: {
            const QString block = drawing.blockFromData(op.text, op.blockBytes);
            const QByteArray handle =
                drawing.insertBlock(block, op.point, op.scales[0], op.scales[1], op.scales[2], op.rotation)
                    .toUpper();
            renamed.insert(op.handle, handle);
            op.handle = handle;
            if (!op.data.empty())
                drawing.setExtendedData(drawing.entityIndex(handle), op.data.front());
            const std::vector<int> attribs = drawing.attributesOf(drawing.entityIndex(handle));
            for (size_t i = 0; i < op.attributes.size() && i < attribs.size(); ++i) {
                const QByteArray fresh = drawing.entity(attribs[i]).value(5).trimmed().toUpper();
                renamed.insert(op.attributes[i], fresh);
                op.attributes[i] = fresh;
            }
            break;
        }
        case Kind::SetLayer: {
            const int i = indexOf(op.handle);
            op.handle = renamed.value(op.handle, op.handle);
            if (i < 0)
                break;
            drawing.addLayer(op.text); // the other program may have removed it
            drawing.setEntityLayer(i, op.text);
            break;
        }
        case Kind::SetText: {
            const int i = indexOf(op.handle);
            op.handle = renamed.value(op.handle, op.handle);
            if (i >= 0)
                drawing.setAttributeText(i, op.text);
            break;
        }
        case Kind::ExtendedData: {
            const int i = indexOf(op.handle);
            op.handle = renamed.value(op.handle, op.handle);
            if (i >= 0)
                drawing.setExtendedData(i, op.data.front());
            break;
        }
        case Kind::Polyline:
            drawing.add3DPolyline(op.vertices, op.data);
            break;
        }
    }
    if (zoom_)
        drawing.zoomExtents();
    return renamed;
}
