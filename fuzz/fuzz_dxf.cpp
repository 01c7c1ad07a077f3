// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the DXF reader, as a drawing to edit and as a block
// drawing. Whatever is accepted must write back to bytes that read again to
// the same bytes, sections kept as text must give the same bytes and objects
// as sections split into tags, and editing (new layer, block, references with
// labels, polyline) must keep the drawing readable with its old text intact.
// The point reader takes the same bytes: an error or points, never a crash,
// and whatever the engine accepted and edited it reads too.
#include "dxf/drawingpoints.h"
#include "dxf/dxfdocument.h"
#include "dxf/dxfdrawing.h"
#include "render/dxfrender.h"

#include <QGuiApplication>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

// A block drawing with a line and the label's attribute definition.
const QByteArray kFlag = "  0\nSECTION\n  2\nENTITIES\n"
                         "  0\nLINE\n  8\n0\n 10\n0\n 20\n0\n 11\n0\n 21\n3\n"
                         "  0\nATTDEF\n  8\n0\n 10\n0.2\n 20\n2.5\n 40\n1\n  1\n\n  2\nTRANSFERTEXT\n"
                         "  3\nLabel\n 70\n0\n  0\nENDSEC\n  0\nEOF\n";

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
    // Kept as text, the same drawing: same bytes, and the same objects once split.
    DxfDocument spliced = DxfDocument::parseSpliced(bytes, {"ENTITIES", "OBJECTS"});
    check(DxfDocument::parse(spliced.toBytes()).toBytes() == once);
    check(spliced.expanded().toBytes() == once);
    const DxfDocument whole = spliced.expanded();
    check(whole.sections().size() == spliced.sections().size());
    for (size_t i = 0; i < spliced.sections().size(); ++i) {
        const DxfSection& split = whole.sections()[i];
        size_t n = 0;
        DxfDocument::forEachObject(spliced.sections()[i], [&](const DxfObject& o) {
            check(n < split.objects.size() && split.objects[n].tags.size() == o.tags.size());
            ++n;
        });
        check(n == split.objects.size());
    }

    try {
        DxfDrawing d = DxfDrawing::open(bytes);
        d.addLayer(QStringLiteral("Fuzz"));
        d.add3DPolyline({0, 0, 0, 1, 2, 3});
        const QString block = d.blockFromData(QStringLiteral("/fuzz/flag.dxf"), kFlag);
        const QByteArray handle = d.insertBlock(block, {1, 2, 3}, 1, 1, 1, 0.25);
        for (int a : d.attributesOf(d.entityIndex(handle)))
            d.setAttributeText(a, QStringLiteral("Caf\u00E9 \u20AC \u2116"));
        PointData data;
        data.zone = 33;
        data.name = QStringLiteral("Caf\u00E9");
        d.setExtendedData(d.entityIndex(handle), PointDataXData::toExtendedData(data));
        d.zoomExtents();
        QByteArray written = d.toBytes();
        const DrawingPointsResult points = ReadDrawingPointsFromData(written, {{}, true});
        check(points.ok());
        if (const DxfSection* e = spliced.section("ENTITIES"))
            check(written.contains(e->raw));
        DxfDrawing again = DxfDrawing::open(written);
        check(again.hasLayer(QStringLiteral("Fuzz")));
        check(again.toBytes() == written);
        asScene(again.document());
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

// fontconfig keeps what it loads for a font asked for the first time (a text
// style's face) for the life of the process; it is not ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

// The drawing window's scene measures text with the fonts of a GUI
// application, as in the program: one without a screen.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    asDrawing(bytes);
    asBlock(bytes);
    const DrawingPointsResult points = ReadDrawingPointsFromData(bytes, {{}, true});
    check(points.ok() || points.points.empty());
    return 0;
}
