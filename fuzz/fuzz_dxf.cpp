// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the DXF reader, as a drawing to edit and as a block
// drawing. Whatever is accepted must write back to bytes that read again to
// the same bytes, and editing must keep the drawing readable.
#include "dxf/dxfdocument.h"
#include "dxf/dxfdrawing.h"
#include "dxf/dxfrender.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

// The drawing window's scene: whatever the tags hold, building ends and gives
// finite extents.
void asScene(const DxfDocument& doc) {
    DxfScene scene;
    scene.build(doc);
    const QRectF e = scene.extents();
    check(std::isfinite(e.left()) && std::isfinite(e.right()) && std::isfinite(e.top()) &&
          std::isfinite(e.bottom()));
}

void asDrawing(const QByteArray& bytes) {
    QByteArray once;
    try {
        DxfDocument doc = DxfDocument::parse(bytes);
        asScene(doc);
        once = doc.toBytes();
    } catch (const DxfError&) {
        return;
    }
    check(DxfDocument::parse(once).toBytes() == once);

    try {
        DxfDrawing d = DxfDrawing::open(bytes);
        d.addLayer(QStringLiteral("Fuzz"));
        d.add3DPolyline({0, 0, 0, 1, 2, 3});
        d.zoomExtents();
        QByteArray written = d.toBytes();
        DxfDrawing again = DxfDrawing::open(written);
        check(again.hasLayer(QStringLiteral("Fuzz")));
        check(again.toBytes() == written);
    } catch (const DxfError&) {
    }
}

void asBlock(const QByteArray& bytes) {
    DxfDrawing d = DxfDrawing::createNew();
    try {
        QString name = d.blockFromData(QStringLiteral("/fuzz/block.dxf"), bytes);
        QByteArray handle = d.insertBlock(name, {1, 2, 3}, 2, 2, 2, 0.5);
        int index = d.entityIndex(handle);
        check(index >= 0);
        for (int a : d.attributesOf(index))
            d.setAttributeText(a, QStringLiteral("label\r\n"));
        d.zoomExtents();
        asScene(d.document());
        DxfDrawing::open(d.toBytes());
    } catch (const DxfError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    asDrawing(bytes);
    asBlock(bytes);
    return 0;
}
