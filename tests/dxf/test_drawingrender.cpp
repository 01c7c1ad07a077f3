// SPDX-License-Identifier: GPL-3.0-or-later
// The model space renderer, painted into images: where things land, in which
// colour, through block references, and what is left out.
#include "dxf/dxfdrawing.h"
#include "dxf/dxfrender.h"
#include "support/drawingfixture.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

const QSize kSize(400, 300);

struct Picture {
    DxfScene scene;
    DxfView view;
    QImage image;

    explicit Picture(const DxfDocument& doc, double scale = 0) {
        scene.build(doc);
        view = DxfView::fit(scene.extents(), kSize);
        if (scale > 0)
            view.scale = scale;
        paint();
    }
    void paint() {
        image = QImage(kSize, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        scene.render(p, image.rect(), view);
    }
    QPoint at(double x, double y) const { return view.toDevice({x, y}, kSize).toPoint(); }
    // The colour drawn within one pixel of the drawing point, or white.
    QColor near(double x, double y) const {
        const QPoint c = at(x, y);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const QPoint q = c + QPoint(dx, dy);
                if (image.rect().contains(q) && image.pixel(q) != qRgb(255, 255, 255))
                    return image.pixelColor(q);
            }
        return Qt::white;
    }
    bool inked(double x, double y) const { return near(x, y) != QColor(Qt::white); }
    // Pixels drawn inside the box between two drawing points.
    int inkIn(double x0, double y0, double x1, double y1) const {
        const QRect r = QRect(at(x0, y0), at(x1, y1)).normalized() & image.rect();
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += image.pixel(x, y) != qRgb(255, 255, 255);
        return n;
    }
};

// Tags one per pair of lines, "0\nLINE\n8\n0\n..." written as {"0", "LINE", ...}.
QByteArray dxf(std::initializer_list<const char*> tags) {
    QByteArray out;
    for (const char* t : tags)
        out += QByteArray(t) + "\n";
    return out;
}

} // namespace

TEST(DrawingRender, AnEmptyDrawingShowsAnEmptyView) {
    DxfDrawing d = DxfDrawing::createNew();
    Picture pic(d.document());
    EXPECT_TRUE(pic.scene.isEmpty());
    EXPECT_EQ(pic.inkIn(-1000, -1000, 1000, 1000), 0);
}

TEST(DrawingRender, InsertedPointsLandAtTheirPixelsAfterZoomToExtents) {
    DxfDrawing d = DxfDrawing::createNew();
    const QString block = d.blockFromFile(flag());
    // Survey-sized coordinates: what users insert.
    d.insertBlock(block, {500000, 4100000, 0}, 1, 1, 1, 0);
    d.insertBlock(block, {500200, 4100100, 12}, 1, 1, 1, 0);
    Picture pic(d.document());
    // The extents hold both flags, with a margin: nothing is cut off.
    EXPECT_LE(pic.scene.extents().left(), 500000);
    EXPECT_GE(pic.scene.extents().right(), 500200);
    // The flag's pole runs from the insertion point 3 units up.
    EXPECT_TRUE(pic.inked(500000, 4100001.5));
    EXPECT_TRUE(pic.inked(500200, 4100101.5));
    EXPECT_FALSE(pic.inked(500100, 4100050)) << "nothing between the two points";
    for (const QPoint p : {pic.at(500000, 4100000), pic.at(500200, 4100103)})
        EXPECT_TRUE(pic.image.rect().contains(p)) << p.x() << "," << p.y();
}

TEST(DrawingRender, BlockReferencesAreScaledRotatedAndMoved) {
    DxfDrawing d = DxfDrawing::createNew();
    const QString block = d.blockFromFile(flag());
    // A quarter turn, doubled: the pole (0,0)-(0,3) now points along -x, 6 long.
    d.insertBlock(block, {100, 100, 0}, 2, 2, 2, std::numbers::pi / 2);
    d.insertBlock(block, {80, 80, 0}, 1, 1, 1, 0); // to give the view some room
    Picture pic(d.document());
    EXPECT_TRUE(pic.inked(97, 100));
    EXPECT_TRUE(pic.inked(94.5, 100));
    EXPECT_FALSE(pic.inked(100, 104)) << "the unrotated pole would be here";
}

TEST(DrawingRender, CirclesAndArcsRunCounterClockwiseAndDistortWithTheirReference) {
    const QByteArray bytes = dxf(
        {"0",  "SECTION", "2",  "BLOCKS", "0",  "BLOCK",   "2",  "RING",     "70", "0",      "10", "0",
         "20", "0",       "0",  "CIRCLE", "8",  "0",       "10", "0",        "20", "0",      "40", "10",
         "0",  "ENDBLK",  "0",  "ENDSEC", "0",  "SECTION", "2",  "ENTITIES", "0",  "CIRCLE", "8",  "0",
         "10", "0",       "20", "0",      "40", "10",      "0",  "ARC",      "8",  "0",      "10", "30",
         "20", "0",       "40", "10",     "50", "0",       "51", "90",       "0",  "INSERT", "8",  "0",
         "2",  "RING",    "10", "0",      "20", "-40",     "41", "2",        "42", "1",      "0",  "ENDSEC",
         "0",  "EOF"});
    Picture pic(DxfDocument::parse(bytes));
    EXPECT_TRUE(pic.inked(10, 0));
    EXPECT_TRUE(pic.inked(-7.07, 7.07));
    EXPECT_FALSE(pic.inked(0, 0));
    // The arc from 0 to 90 degrees: the upper right quarter only.
    EXPECT_TRUE(pic.inked(30 + 7.07, 7.07));
    EXPECT_FALSE(pic.inked(30 + 7.07, -7.07));
    EXPECT_FALSE(pic.inked(30 - 7.07, 7.07));
    // The ring stretched twice along x: an ellipse 20 by 10 round (0, -40).
    EXPECT_TRUE(pic.inked(20, -40));
    EXPECT_TRUE(pic.inked(20 * std::cos(0.7), -40 + 10 * std::sin(0.7)));
    EXPECT_FALSE(pic.inked(10 * std::cos(0.7), -40 + 10 * std::sin(0.7)));
}

TEST(DrawingRender, ColoursComeFromEntityLayerAndReferenceAndHiddenLayersStayHidden) {
    const QByteArray bytes = dxf(
        {"0",  "SECTION", "2",  "TABLES",  "0",  "TABLE",    "2",  "LAYER",  "0",  "LAYER",   "2",  "0",
         "62", "7",       "70", "0",       "0",  "LAYER",    "2",  "RED",    "62", "1",       "70", "0",
         "0",  "LAYER",   "2",  "OFF",     "62", "-3",       "70", "0",      "0",  "LAYER",   "2",  "FROZEN",
         "62", "3",       "70", "1",       "0",  "ENDTAB",   "0",  "ENDSEC", "0",  "SECTION", "2",  "BLOCKS",
         "0",  "BLOCK",   "2",  "INNER",   "10", "0",        "20", "0",      "0",  "LINE",    "8",  "0",
         "10", "0",       "20", "0",       "11", "10",       "21", "0",      "0",  "LINE",    "8",  "0",
         "62", "0",       "10", "0",       "20", "2",        "11", "10",     "21", "2",       "0",  "ENDBLK",
         "0",  "BLOCK",   "2",  "OUTER",   "10", "0",        "20", "0",      "0",  "INSERT",  "8",  "0",
         "2",  "INNER",   "10", "0",       "20", "5",        "0",  "ENDBLK", "0",  "BLOCK",   "2",  "LOOP",
         "10", "0",       "20", "0",       "0",  "INSERT",   "8",  "0",      "2",  "LOOP",    "0",  "ENDBLK",
         "0",  "ENDSEC",  "0",  "SECTION", "2",  "ENTITIES", "0",  "LINE",   "8",  "0",       "62", "5",
         "10", "0",       "20", "0",       "11", "0",        "21", "50",     "0",  "INSERT",  "8",  "RED",
         "2",  "OUTER",   "10", "100",     "20", "100",      "41", "2",      "42", "2",       "0",  "INSERT",
         "8",  "RED",     "62", "3",       "2",  "INNER",    "10", "100",    "20", "60",      "0",  "INSERT",
         "8",  "OFF",     "2",  "OUTER",   "10", "0",        "20", "0",      "0",  "LINE",    "8",  "FROZEN",
         "10", "60",      "20", "0",       "11", "60",       "21", "40",     "0",  "INSERT",  "8",  "0",
         "2",  "LOOP",    "10", "5",       "20", "5",        "0",  "ENDSEC", "0",  "EOF"});
    Picture pic(DxfDocument::parse(bytes));
    EXPECT_EQ(pic.near(0, 25), QColor(Qt::blue)) << "colour 5 given on the entity";
    // Layer "0" inside nested blocks takes the reference's layer: RED.
    EXPECT_EQ(pic.near(110, 110), QColor(Qt::red));
    // BYBLOCK takes the reference's colour: through OUTER's BYLAYER reference red,
    // directly from a reference of colour 3 green.
    EXPECT_EQ(pic.near(110, 114), QColor(Qt::red));
    EXPECT_EQ(pic.near(105, 62), QColor(Qt::green));
    EXPECT_EQ(pic.near(105, 60), QColor(Qt::red));
    EXPECT_FALSE(pic.inked(5, 5)) << "a layer that is off";
    EXPECT_FALSE(pic.inked(60, 20)) << "a frozen layer";
}

TEST(DrawingRender, PolylinesAreDrawnInPlanAndLabelsWhenLargeEnough) {
    DxfDrawing d = DxfDrawing::createNew();
    d.add3DPolyline({0, 0, 100, 40, 0, -50, 40, 30, 7});
    const int at = d.entityIndex(d.insertBlock(d.blockFromFile(flag()), {0, 20, 0}, 1, 1, 1, 0));
    const int label = d.attributesOf(at).front();
    Picture pic(d.document());
    EXPECT_TRUE(pic.inked(20, 0));
    EXPECT_TRUE(pic.inked(40, 15));
    EXPECT_FALSE(pic.inked(20, 15)) << "an open polyline is not closed";

    // The label sits at (2, 20), 1 unit high: drawn at 20 pixels a unit, left out at 2.
    pic.view.center = {4, 20};
    pic.view.scale = 20;
    pic.paint();
    EXPECT_EQ(pic.inkIn(2, 20, 6, 21), 0) << "the attribute's default text is empty";
    d.setAttributeText(label, QStringLiteral("WP1"));
    pic.scene.build(d.document());
    pic.paint();
    EXPECT_GT(pic.inkIn(2, 20, 6, 21), 20);
    EXPECT_EQ(pic.inkIn(-1, 19, 1.9, 19.9), 0) << "text runs right of its point";
    pic.view.scale = 2;
    pic.paint();
    EXPECT_EQ(pic.inkIn(2.2, 20.1, 6, 21), 0);
}

TEST(DrawingRender, ViewZoomsAboutThePointerAndPans) {
    DxfView v = DxfView::fit(QRectF(0, 0, 100, 50), kSize);
    EXPECT_EQ(v.toDevice({50, 25}, kSize), QPointF(200, 150));
    EXPECT_NEAR(v.toDevice({0, 0}, kSize).y(), 150 + 25 * v.scale, 1e-9) << "drawing y runs up";
    const QPointF pointer(300, 70);
    const QPointF under = v.toWorld(pointer, kSize);
    v.zoomAbout(pointer, kSize, 3);
    EXPECT_NEAR(v.toWorld(pointer, kSize).x(), under.x(), 1e-9);
    EXPECT_NEAR(v.toWorld(pointer, kSize).y(), under.y(), 1e-9);
    const QPointF before = v.toDevice({10, 10}, kSize);
    v.pan({15, -5});
    EXPECT_NEAR(v.toDevice({10, 10}, kSize).x(), before.x() + 15, 1e-9);
    EXPECT_NEAR(v.toDevice({10, 10}, kSize).y(), before.y() - 5, 1e-9);
    const double scale = v.scale;
    v.zoomAbout(pointer, kSize, 0);
    v.zoomAbout(pointer, kSize, std::nan(""));
    EXPECT_EQ(v.scale, scale);
}

TEST(DrawingRender, ArrayedReferencesCannotMakeTheSceneEndless) {
    // 10,000 x 10,000 copies of a line: drawn in part, up to the renderer's budget
    // of 1,000,000 entities a scene, and the build ends.
    const QByteArray bytes =
        dxf({"0",  "SECTION", "2",  "BLOCKS", "0",  "BLOCK",   "2",  "L",        "0",  "LINE",
             "8",  "0",       "10", "0",      "20", "0",       "11", "1",        "21", "0",
             "0",  "ENDBLK",  "0",  "ENDSEC", "0",  "SECTION", "2",  "ENTITIES", "0",  "INSERT",
             "8",  "0",       "2",  "L",      "10", "0",       "20", "0",        "70", "10000",
             "71", "10000",   "44", "2",      "45", "2",       "0",  "ENDSEC",   "0",  "EOF"});
    DxfScene scene;
    scene.build(DxfDocument::parse(bytes));
    EXPECT_GT(scene.lineCount(), 1000u);
    EXPECT_LE(scene.lineCount(), 1000000u);
}
