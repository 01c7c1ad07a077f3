// SPDX-License-Identifier: GPL-3.0-or-later
// The model space renderer, painted into images: where things land, in which
// colour, through block references, and what is left out.
#include "dxf/dxfconvert.h"
#include "dxf/dxfdrawing.h"
#include "render/dxfrender.h"
#include "render/mtextlayout.h"
#include "support/drawingfixture.h"

#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

const QSize kSize(400, 300);

struct Picture {
    DxfScene scene;
    DxfView view;
    QImage image;
    DxfBackground background = DxfBackground::Light;

    explicit Picture(const DxfDocument& doc, double scale = 0) {
        scene.build(doc);
        view = DxfView::fit(scene.extents(), kSize);
        if (scale > 0)
            view.scale = scale;
        paint();
    }
    void paint() {
        image = QImage(kSize, QImage::Format_RGB32);
        image.fill(backgroundColor(background));
        QPainter p(&image);
        scene.render(p, image.rect(), view, background);
    }
    QRgb paper() const { return backgroundColor(background).rgb(); }
    QPoint at(double x, double y) const { return view.toDevice({x, y}, kSize).toPoint(); }
    // The colour drawn within one pixel of the drawing point, or the background.
    QColor near(double x, double y) const {
        const QPoint c = at(x, y);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const QPoint q = c + QPoint(dx, dy);
                if (image.rect().contains(q) && image.pixel(q) != paper())
                    return image.pixelColor(q);
            }
        return QColor(paper());
    }
    bool inked(double x, double y) const { return near(x, y) != QColor(paper()); }
    // Pixels drawn inside the box between two drawing points.
    int inkIn(double x0, double y0, double x1, double y1) const {
        const QRect r = QRect(at(x0, y0), at(x1, y1)).normalized() & image.rect();
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += image.pixel(x, y) != paper();
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

TEST(DrawingRender, PointsTooSmallToSeeAtExtentsAreMarkedUntilZoomedIn) {
    // Ten flags, 3 units high, over 4.5 by 2.7 km: a fraction of a pixel each at extents.
    DxfDrawing d = DxfDrawing::createNew();
    const QString block = d.blockFromFile(flag());
    std::vector<QPointF> points;
    for (int i = 0; i < 10; ++i) {
        points.emplace_back(500000 + 500.0 * i, 4100000 + 300.0 * ((i * 7) % 10));
        const int at =
            d.entityIndex(d.insertBlock(block, {points.back().x(), points.back().y(), 0}, 1, 1, 1, 0));
        d.setAttributeText(d.attributesOf(at).front(), QStringLiteral("WP%1").arg(i));
    }
    // A square marker of 5 pixels centred on each insertion point.
    const auto markerInk = [](const Picture& pic, const QPointF& p) {
        const QPoint c = pic.at(p.x(), p.y());
        int n = 0;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                n += pic.image.pixel(c + QPoint(dx, dy)) != pic.paper();
        return n;
    };
    for (const DxfBackground background : {DxfBackground::Light, DxfBackground::Dark}) {
        Picture pic(d.document());
        pic.background = background;
        pic.paint();
        ASSERT_LT(3 * pic.view.scale, 1);
        for (const QPointF& p : points)
            EXPECT_EQ(markerInk(pic, p), 25) << p.x() << "," << p.y();
        EXPECT_EQ(pic.image.pixel(pic.at(points[0].x(), points[0].y())),
                  background == DxfBackground::Dark ? qRgb(255, 255, 255) : qRgb(0, 0, 0))
            << "in the reference's colour, 7";

        // Zoomed in until the flag shows: the flag itself and its label, no marker.
        pic.view = DxfView{points[0] + QPointF(2, 1.5), 20};
        pic.paint();
        EXPECT_TRUE(pic.inked(points[0].x(), points[0].y() + 1.5)) << "the pole";
        EXPECT_LT(markerInk(pic, points[0]), 10);
        EXPECT_GT(pic.inkIn(points[0].x() + 2, points[0].y(), points[0].x() + 5, points[0].y() + 1), 20)
            << "the label";
    }
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

TEST(DrawingRender, ZoomExtentsLeavesAMarginOnEachSide) {
    // Wider than the target, and taller: 5% free on both sides of the fuller direction.
    for (const QRectF extents : {QRectF(500000, 4100000, 4000, 1000), QRectF(-3, -200, 10, 400)}) {
        const DxfView v = DxfView::fit(extents, kSize);
        const QRectF shown =
            QRectF(v.toDevice(extents.topLeft(), kSize), v.toDevice(extents.bottomRight(), kSize))
                .normalized();
        const double mx = shown.left() / kSize.width(), my = shown.top() / kSize.height();
        EXPECT_NEAR(std::min(mx, my), 0.05, 1e-9);
    }
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
    // of 3,000,000 drawn entities a scene, and the build ends.
    const QByteArray bytes =
        dxf({"0",  "SECTION", "2",  "BLOCKS", "0",  "BLOCK",   "2",  "L",        "0",  "LINE",
             "8",  "0",       "10", "0",      "20", "0",       "11", "1",        "21", "0",
             "0",  "ENDBLK",  "0",  "ENDSEC", "0",  "SECTION", "2",  "ENTITIES", "0",  "INSERT",
             "8",  "0",       "2",  "L",      "10", "0",       "20", "0",        "70", "10000",
             "71", "10000",   "44", "2",      "45", "2",       "0",  "ENDSEC",   "0",  "EOF"});
    DxfScene scene;
    scene.build(DxfDocument::parse(bytes));
    EXPECT_GT(scene.lineCount(), 1000u);
    EXPECT_LE(scene.lineCount(), 3000000u);
}

namespace {

// A picture of the ENTITIES given as tags (and BLOCKS, when given), 10 pixels a
// unit round the origin: x from -20 to 20, y from -15 to 15.
Picture modelSpace(std::initializer_list<const char*> entities,
                   std::initializer_list<const char*> blocks = {}) {
    QByteArray bytes = "0\nSECTION\n2\nBLOCKS\n" + dxf(blocks) + "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n" +
                       dxf(entities) + "0\nENDSEC\n0\nEOF\n";
    Picture pic(DxfDocument::parse(bytes), 10);
    pic.view.center = {0, 0};
    pic.paint();
    return pic;
}

struct Probe {
    double x, y;
    bool ink;
};

void expectInk(const Picture& pic, std::initializer_list<Probe> probes, const char* what) {
    for (const Probe& p : probes)
        EXPECT_EQ(pic.inked(p.x, p.y), p.ink) << what << " at (" << p.x << ", " << p.y << ")";
}

} // namespace

TEST(DrawingRender, CurvedEntitiesOfNewerDrawingsLandOnTheirCurves) {
    // A bulge of 1 is a half circle: from (0,0) to (10,0) counter-clockwise
    // passes below the chord, a bulge of -1 above it.
    expectInk(modelSpace({"0", "LWPOLYLINE", "90", "2", "70", "0", "10", "0", "20", "0", "42", "1", "10",
                          "10", "20", "0"}),
              {{5, -5, true}, {5, 0, false}, {5, 5, false}}, "LWPOLYLINE bulge");
    expectInk(modelSpace({"0", "POLYLINE", "66", "1", "70",     "0",  "0",  "VERTEX", "10", "0", "20",
                          "0", "42",       "-1", "0", "VERTEX", "10", "10", "20",     "0",  "0", "SEQEND"}),
              {{5, 5, true}, {5, 0, false}, {5, -5, false}}, "POLYLINE bulge");
    // The upper half of an ellipse 20 by 10.
    expectInk(modelSpace({"0", "ELLIPSE", "10", "0", "20", "0", "11", "10", "21", "0", "40", "0.5", "41", "0",
                          "42", "3.14159265"}),
              {{0, 5, true}, {-10, 0, true}, {0, -5, false}}, "ELLIPSE");
    // A quadratic spline over three control points peaks half way to the middle one;
    // through fit points, the curve passes the points.
    expectInk(modelSpace({"0",  "SPLINE", "70", "8", "71", "2",  "72", "6",  "73", "3", "40", "0",
                          "40", "0",      "40", "0", "40", "1",  "40", "1",  "40", "1", "10", "-10",
                          "20", "0",      "10", "0", "20", "10", "10", "10", "20", "0"}),
              {{0, 5, true}, {0, 10, false}, {-5, 3.75, true}}, "SPLINE control points");
    expectInk(modelSpace({"0",  "SPLINE", "70", "8", "71", "3", "74", "3",  "11", "-10",
                          "21", "0",      "11", "0", "21", "8", "11", "10", "21", "0"}),
              {{0, 8, true}, {0, 0, false}}, "SPLINE fit points");
}

TEST(DrawingRender, HatchesDimensionsAndMirroredEntitiesAreDrawnAsCadProgramsShowThem) {
    // A solid hatch fills its square; a pattern hatch shows its boundary only.
    const auto hatch = [](const char* pattern, const char* solid) {
        return modelSpace({"0",  "HATCH", "10", "0",  "20", "0", "30", "0",  "2",  pattern, "70", solid,
                           "71", "0",     "91", "1",  "92", "2", "72", "0",  "73", "1",     "93", "4",
                           "10", "-5",    "20", "-5", "10", "5", "20", "-5", "10", "5",     "20", "5",
                           "10", "-5",    "20", "5",  "97", "0", "75", "0",  "76", "1",     "98", "0"});
    };
    expectInk(hatch("SOLID", "1"), {{0, 0, true}, {5, 0, true}, {8, 0, false}}, "solid HATCH");
    expectInk(hatch("ANSI31", "0"), {{0, 0, false}, {5, 0, true}, {-5, 2, true}}, "pattern HATCH");
    // A dimension shows its block.
    expectInk(modelSpace({"0", "DIMENSION", "2", "*D1", "10", "0", "20", "0", "70", "0"},
                         {"0", "BLOCK", "2",  "*D1", "70", "1",  "10", "0", "20", "0", "0", "LINE",
                          "8", "0",     "10", "3",   "20", "-8", "11", "3", "21", "8", "0", "ENDBLK"}),
              {{3, 0, true}, {0, 0, false}}, "DIMENSION");
    // Extrusion (0,0,-1): object x runs along -x of the plan.
    expectInk(
        modelSpace({"0", "CIRCLE", "10", "10", "20", "0", "40", "2", "210", "0", "220", "0", "230", "-1"}),
        {{-8, 0, true}, {-12, 0, true}, {8, 0, false}}, "mirrored CIRCLE");
    expectInk(modelSpace({"0", "ARC", "10", "0", "20", "0", "40", "10", "50", "0", "51", "90", "210", "0",
                          "220", "0", "230", "-1"}),
              {{-7.07, 7.07, true}, {7.07, 7.07, false}}, "mirrored ARC");
    expectInk(modelSpace({"0",  "LWPOLYLINE", "90", "2", "70",  "0", "10",  "2", "20",  "1",
                          "10", "8",          "20", "1", "210", "0", "220", "0", "230", "-1"}),
              {{-5, 1, true}, {5, 1, false}}, "mirrored LWPOLYLINE");
    // Mirrored text reads right to left from its point.
    const Picture text = modelSpace(
        {"0", "TEXT", "10", "5", "20", "0", "40", "2", "1", "MIRROR", "210", "0", "220", "0", "230", "-1"});
    EXPECT_GT(text.inkIn(-12, 0.2, -6, 1.8), 10);
    EXPECT_EQ(text.inkIn(5.5, 0, 15, 2), 0);
}

TEST(DrawingRender, MTextShowsItsPlainTextWrappedAtItsWidth) {
    // Top left at (-10, 10), 2 high, 10 wide: "AAAA" on the first line, "BBBB" on the second.
    const Picture pic = modelSpace({"0", "MTEXT", "10", "-10", "20", "10", "40", "2", "41", "10", "71", "1",
                                    "1", "{\\fDejaVu Sans|b1;AAAA} \\C1;BBBB"});
    EXPECT_EQ(pic.scene.texts(), QStringList({"AAAA", "BBBB"}));
    EXPECT_GT(pic.inkIn(-10, 8.2, -5, 9.8), 20) << "first line";
    EXPECT_GT(pic.inkIn(-10, 4.9, -5, 6.4), 20) << "second line, a line space below";
    EXPECT_EQ(pic.inkIn(0.5, 4, 5, 10), 0) << "nothing beyond the width";
}

TEST(DrawingRender, AlignedAndFitTextRunAlongTheirTwoPointsAndFillThem) {
    // From (0, 0) to (30, 40): 50 long, at 53.13 degrees; height 2, width factor 0.5.
    auto placed = [](const char* justification) {
        DxfScene scene;
        scene.build(DxfDocument::parse(
            dxf({"0",  "SECTION",     "2",  "ENTITIES", "0",  "TEXT",  "10", "0",      "20", "0",
                 "11", "30",          "21", "40",       "40", "2",     "41", "0.5",    "50", "90",
                 "72", justification, "73", "2",        "1",  "Along", "0",  "ENDSEC", "0",  "EOF"})));
        EXPECT_EQ(scene.textCount(), 1u);
        return scene.placedText(0);
    };
    for (const char* j : {"3", "5"}) {
        const DxfScene::PlacedText t = placed(j);
        ASSERT_GT(t.fitWidth, 0) << j;
        const QPointF start = t.frame.map(QPointF(0, 0)), end = t.frame.map(QPointF(t.fitWidth, 0));
        EXPECT_NEAR(start.x(), 0, 1e-9) << j;
        EXPECT_NEAR(start.y(), 0, 1e-9) << j;
        EXPECT_NEAR(end.x(), 30, 1e-9) << j << ": the text ends at the second point";
        EXPECT_NEAR(end.y(), 40, 1e-9) << j;
        const QPointF up = t.frame.map(QPointF(0, 1)) - start;
        const double height = std::hypot(up.x(), up.y());
        EXPECT_NEAR(std::atan2(up.y(), up.x()), std::atan2(40, 30) + std::numbers::pi / 2, 1e-9)
            << j << ": upright on its baseline";
        if (j[0] == '5')
            EXPECT_NEAR(height, 2, 1e-9) << "Fit keeps the height";
        else // Aligned keeps the proportions: the width factor's share of the 50 units
            EXPECT_NEAR(height, 50 / (t.fitWidth * 0.5), 1e-9) << "Aligned scales the height";
    }
    // Painted: a horizontal Fit text from (-15, 0) to (5, 0) fills those 20 units, and no more.
    const Picture fit = modelSpace(
        {"0", "TEXT", "10", "-15", "20", "0", "11", "5", "21", "0", "40", "3", "72", "5", "1", "WIDE"});
    EXPECT_GT(fit.inkIn(-15, 0, -13, 2.5), 0) << "from the first point";
    EXPECT_GT(fit.inkIn(3, 0, 5, 2.5), 0) << "to the second";
    EXPECT_EQ(fit.inkIn(5.5, -1, 20, 4), 0) << "not beyond it";
}

TEST(DrawingRender, MTextRunsKeepTheirFormatAndColour) {
    // Top left at (-15, 10), 3 high; \c gives blue as 0xFF0000 (its low byte is red).
    const Picture pic = modelSpace({"0", "MTEXT", "10", "-15", "20", "10", "40", "3", "71", "1", "1",
                                    "{\\fDejaVu Sans|b1|i1;Bold} \\L\\C1;Red\\l \\c16711680;Blue\\P\\S1^2;"});
    ASSERT_EQ(pic.scene.texts(), QStringList({"Bold", "Red", "Blue", "1/2"}));
    const DxfScene::PlacedText bold = pic.scene.placedText(0), red = pic.scene.placedText(1),
                               blue = pic.scene.placedText(2), half = pic.scene.placedText(3);
    EXPECT_EQ(bold.style, unsigned(MTextRun::Bold | MTextRun::Italic));
    EXPECT_EQ(red.style, unsigned(MTextRun::Underline));
    EXPECT_EQ(blue.style, 0u);
    EXPECT_EQ(red.color, qRgb(255, 0, 0));
    EXPECT_EQ(blue.color, qRgb(0, 0, 255));
    // One line: each run starts where the one before ends (a space between), on one baseline.
    const QPointF b0 = bold.frame.map(QPointF(0, 0)), r0 = red.frame.map(QPointF(0, 0));
    EXPECT_NEAR(b0.x(), -15, 1e-9);
    EXPECT_NEAR(b0.y(), 7, 1e-9) << "the top line's baseline a height below the top";
    EXPECT_NEAR(r0.y(), b0.y(), 1e-9);
    EXPECT_GT(r0.x(), bold.frame.map(QPointF(bold.fitWidth, 0)).x());
    EXPECT_NEAR(half.frame.map(QPointF(0, 0)).y(), 7 - 5, 1e-9) << "the next paragraph 5/3 heights lower";
    // Painted in their colours.
    const QPointF redEnd = red.frame.map(QPointF(red.fitWidth, 0));
    int reds = 0;
    for (double x = r0.x(); x < redEnd.x(); x += 0.1)
        for (double y = r0.y() - 0.5; y < r0.y() + 3; y += 0.1)
            reds += pic.near(x, y) == QColor(Qt::red);
    EXPECT_GT(reds, 50) << "the \\C1 run is red";
}

TEST(DrawingRender, TextCodesAndCodePages) {
    const struct {
        QString raw, text, mtext;
    } codes[] = {
        {"45%%d 10%%c %%p0.5", QString::fromUtf8("45° 10⌀ ±0.5"), QString::fromUtf8("45° 10⌀ ±0.5")},
        {"%%uUnder%%u 100%%%", "Under 100%", "Under 100%"},
        {"a\\Pb\\~c", "a\\Pb\\~c", QString::fromUtf8("a\nb\u00A0c")},
        {"\\A1;{\\H2x;\\Q15;big} \\S1/2; \\U+00E9\\\\", "\\A1;{\\H2x;\\Q15;big} \\S1/2; \\U+00E9\\\\",
         QString::fromUtf8("big 1/2 é\\")},
    };
    for (const auto& c : codes) {
        EXPECT_EQ(textSpecialCodes(c.raw), c.text) << c.raw.toStdString();
        EXPECT_EQ(textSpecialCodes(mtextPlainText(c.raw)), c.mtext) << c.raw.toStdString();
    }
    // Bytes of "Café" and "Привет" in each drawing's encoding.
    const struct {
        const char* version;
        const char* codepage;
        QByteArray bytes;
        QString text;
    } pages[] = {
        {"AC1009", "ANSI_1252", "Caf\xe9", QString::fromUtf8("Café")},
        {"AC1015", "ANSI_1251", "\xcf\xf0\xe8\xe2\xe5\xf2", QString::fromUtf8("Привет")},
        {"AC1032", "ANSI_1252", "Caf\xc3\xa9", QString::fromUtf8("Café")},
        {"AC1018", "ANSI_1252", "Caf\\U+00E9", QString::fromUtf8("Café")},
        {"AC1009", "DOS850", "Caf\x82", QString::fromUtf8("Café")},
        {"AC1015", "ISO8859-2",
         "\xa3\xf3"
         "d\xbc",
         QString::fromUtf8("Łódź")},
        {"AC2.10", "ANSI_1252", "Caf\xe9", QString::fromUtf8("Café")}, // older than any UTF-8 drawing
    };
    for (const auto& p : pages) {
        const QByteArray bytes = QByteArray("0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\n") + p.version +
                                 "\n9\n$DWGCODEPAGE\n3\n" + p.codepage +
                                 "\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\nTEXT\n10\n0\n20\n0\n40\n1\n1\n" +
                                 p.bytes + "\n0\nENDSEC\n0\nEOF\n";
        DxfScene scene;
        scene.build(DxfDocument::parse(bytes));
        EXPECT_EQ(scene.texts(), QStringList{p.text}) << p.version << " " << p.codepage;
        // The engine reads (and writes) the drawing's text as the window shows it.
        EXPECT_EQ(DxfConvert::decodeText(p.bytes, p.version, p.codepage), p.text)
            << p.version << " " << p.codepage;
        EXPECT_EQ(DxfConvert::decodeText(DxfConvert::encodeText(p.text, p.version, p.codepage), p.version,
                                         p.codepage),
                  p.text)
            << p.version << " " << p.codepage;
    }
}

TEST(DrawingRender, EntitiesThatCannotBeDrawnAreCountedAndBuildingInStepsGivesTheSameScene) {
    QByteArray entities;
    for (int i = 0; i < 3000; ++i) {
        entities +=
            "0\nLINE\n10\n" + QByteArray::number(i) + "\n20\n0\n11\n" + QByteArray::number(i) + "\n21\n5\n";
        if (i % 7 == 0) // polylines whose vertices fall across the chunks a spliced section is read in
            entities += "0\nPOLYLINE\n66\n1\n0\nVERTEX\n10\n0\n20\n-1\n0\nVERTEX\n10\n" +
                        QByteArray::number(i) + "\n20\n-2\n0\nVERTEX\n10\n1\n20\n-3\n0\nSEQEND\n";
    }
    entities += "0\n3DSOLID\n8\n0\n0\nIMAGE\n8\n0\n0\n3DSOLID\n8\n0\n";
    const DxfDocument doc =
        DxfDocument::parse("0\nSECTION\n2\nENTITIES\n" + entities + "0\nENDSEC\n0\nEOF\n");
    DxfScene whole;
    whole.build(doc);
    EXPECT_EQ(whole.notDrawn(), 3);
    EXPECT_EQ(whole.notDrawnTypes(), QStringList({"3DSOLID", "IMAGE"}));
    DxfScene stepped;
    stepped.begin(doc);
    int steps = 1;
    while (!stepped.step(doc, 0))
        ++steps;
    EXPECT_GT(steps, 10);
    EXPECT_EQ(stepped.lineCount(), 3000u + 429 * 2);
    EXPECT_EQ(stepped.extents(), whole.extents());
    EXPECT_EQ(stepped.notDrawn(), 3);

    // The same drawing with its entities kept as text, and one split entity after them.
    DxfDocument spliced = DxfDocument::parseSpliced(
        "0\nSECTION\n2\nENTITIES\n" + entities + "0\nENDSEC\n0\nEOF\n", {"ENTITIES"});
    spliced.section("ENTITIES")
        ->objects.push_back(
            {{DxfDocument::tag(0, "LINE"), DxfDocument::tag(10, 0.0), DxfDocument::tag(20, 9.0),
              DxfDocument::tag(11, 1.0), DxfDocument::tag(21, 9.0)}});
    ASSERT_FALSE(spliced.section("ENTITIES")->raw.isEmpty());
    DxfScene fromText;
    fromText.begin(spliced);
    while (!fromText.step(spliced, 0)) {
    }
    EXPECT_EQ(fromText.lineCount(), stepped.lineCount() + 1);
    EXPECT_EQ(fromText.extents(), whole.extents().united(QRectF(0, 5, 1, 4)));
    EXPECT_EQ(fromText.notDrawnTypes(), QStringList({"3DSOLID", "IMAGE"}));
    EXPECT_EQ(fromText.entitiesDone(), fromText.entitiesTotal());
}

TEST(DrawingRender, ADrawingWrittenByEzdxfIsDrawnWhole) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r2018.dxf"));
    // Another writer's R2018 drawing: each of the newer entity types at a known place.
    const QString script = QStringLiteral(R"(
import sys, ezdxf
doc = ezdxf.new('R2018', setup=True)
msp = doc.modelspace()
msp.add_lwpolyline([(0, 0, 0, 0, 1), (10, 0, 0, 0, 0)], format='xyseb')
msp.add_mtext('{\\fArial|b1;Wrapped} text over lines', dxfattribs={'char_height': 1, 'width': 9, 'insert': (-20, 14)})
msp.add_ellipse((0, 20), major_axis=(8, 0), ratio=0.5, start_param=0, end_param=3.14159265)
msp.add_spline(fit_points=[(-20, -10), (-15, -5), (-10, -10), (-5, -5)])
h = msp.add_hatch(color=1)
h.paths.add_polyline_path([(20, -10), (30, -10), (30, 0), (20, 0)], is_closed=True)
msp.add_text('N 45%%d', dxfattribs={'height': 1.5, 'insert': (-20, 8)})
msp.add_circle((10, 0), 2, dxfattribs={'extrusion': (0, 0, -1)})
msp.add_linear_dim(base=(0, -6), p1=(0, -3), p2=(10, -3)).render()
doc.saveas(sys.argv[1])
)");
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, path});
    ASSERT_TRUE(python.waitForFinished(60000) && python.exitCode() == 0)
        << python.readAllStandardError().toStdString();
    Picture pic(DxfDocument::parse(readAll(path)));
    EXPECT_EQ(pic.scene.notDrawn(), 0) << pic.scene.notDrawnTypes().join(u' ').toStdString();
    EXPECT_TRUE(pic.scene.texts().contains(QString::fromUtf8("N 45°")));
    // The bold word is a run of its own; the words come in order, wrapped.
    EXPECT_EQ(pic.scene.texts().join(u' ').split(u' ', Qt::SkipEmptyParts).mid(0, 4),
              QStringList({"Wrapped", "text", "over", "lines"}))
        << pic.scene.texts().join(u'|').toStdString();
    EXPECT_FALSE(pic.scene.texts().filter(QRegularExpression(QStringLiteral("^\\d+$"))).isEmpty())
        << "the dimension's measurement";
    expectInk(pic,
              {{5, -5, true},   // the bulge's arc, below its chord
               {5, 0, false},   // not the chord
               {0, 24, true},   // the ellipse's top
               {0, 16, false},  // not its lower half
               {-15, -5, true}, // the spline through its fit points
               {-12, 0, true},  // the mirrored circle, round (-10, 0)
               {12, 0, false},  // not round (10, 0)
               {5, -6, true}},  // the dimension line
              "ezdxf R2018");
    EXPECT_EQ(pic.near(25, -5), QColor(Qt::red)) << "the solid hatch is filled";
}

TEST(DrawingRender, ColourSevenFollowsTheBackgroundAndLightColoursAreDarkenedOnALightOne) {
    // Horizontal lines: colour 7 by layer, red 1, yellow 2, cyan 4.
    const std::initializer_list<const char*> lines = {
        "0", "LINE", "8",  "0", "10", "-10", "20", "6",  "11", "10", "21", "6",  "0", "LINE",
        "8", "0",    "62", "1", "10", "-10", "20", "2",  "11", "10", "21", "2",  "0", "LINE",
        "8", "0",    "62", "2", "10", "-10", "20", "-2", "11", "10", "21", "-2", "0", "LINE",
        "8", "0",    "62", "4", "10", "-10", "20", "-6", "11", "10", "21", "-6"};
    Picture light = modelSpace(lines);
    EXPECT_EQ(light.near(0, 6), QColor(Qt::black));
    EXPECT_EQ(light.near(0, 2), QColor(Qt::red));
    // Yellow and cyan darkened to a contrast with white of at least 3:1.
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) {
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    for (const double y : {-2.0, -6.0}) {
        const QColor c = light.near(0, y);
        EXPECT_GE(1.05 / (luminance(c) + 0.05), 3.0) << c.name().toStdString();
        EXPECT_NE(c.hue(), -1) << "still a colour, not grey";
    }
    Picture dark = modelSpace(lines);
    dark.background = DxfBackground::Dark;
    dark.paint();
    EXPECT_EQ(dark.near(0, 6), QColor(Qt::white));
    EXPECT_EQ(dark.near(0, 2), QColor(Qt::red));
    EXPECT_EQ(dark.near(0, -2), QColor(Qt::yellow));
    EXPECT_EQ(dark.near(0, -6), QColor(Qt::cyan));
}
