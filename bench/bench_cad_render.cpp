// SPDX-License-Identifier: GPL-3.0-or-later
// Frames of the drawing window's renderer over a drawing of 10,000 inserted
// flag blocks with their labels, into a 1280 x 800 image: the whole drawing
// (zoom extents), views where labels are drawn, and the scene rebuild that
// follows a change of the drawing.
#include "dxf/dxfdrawing.h"
#include "render/dxfrender.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

constexpr int kInserts = 10000;

// 10,000 references of the block in a 100 x 100 grid, 10 units apart, each
// with its label (1 unit high) set.
DxfDrawing makeDrawing(const char* blockFile) {
    DxfDrawing d = DxfDrawing::createNew();
    const QString block = d.blockFromFile(QStringLiteral(KORVEL_SOURCE_DIR "/support/Inserts/") + blockFile);
    d.addLayer(QStringLiteral("POINTS"));
    for (int i = 0; i < kInserts; ++i) {
        const QByteArray h = d.insertBlock(block, {(i % 100) * 10.0, (i / 100) * 10.0, 0}, 1, 1, 1, 0);
        const int at = d.entityIndex(h);
        d.setEntityLayer(at, QStringLiteral("POINTS"));
        for (int a : d.attributesOf(at))
            d.setAttributeText(a, QStringLiteral("WP%1").arg(i));
    }
    return d;
}

const DxfDrawing& drawing() {
    static DxfDrawing d = makeDrawing("Flag.dxf");
    return d;
}

// An icon block with circles in it: circles cost more per frame than lines.
const DxfDrawing& iconDrawing() {
    static DxfDrawing d = makeDrawing("SporTrak/a.dxf");
    return d;
}

// pixelsPerUnit 0: zoom extents. Labels are 1 unit high.
void frame(benchmark::State& state, double pixelsPerUnit, const DxfDrawing& d = drawing()) {
    DxfScene scene;
    scene.build(d.document());
    QImage image(1280, 800, QImage::Format_ARGB32_Premultiplied);
    DxfView view = DxfView::fit(scene.extents(), image.size());
    if (pixelsPerUnit > 0)
        view.scale = pixelsPerUnit;
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter p(&image);
        scene.render(p, image.rect(), view);
    }
    state.counters["lines"] = static_cast<double>(scene.lineCount());
    state.counters["texts"] = static_cast<double>(scene.textCount());
}

void BM_FrameZoomExtents(benchmark::State& state) {
    frame(state, 0);
}
// The most labels at once: the smallest size at which they are drawn (~1,000 in view).
void BM_FrameSmallLabels(benchmark::State& state) {
    frame(state, 3.2);
}
// Close up: ~30 flags in view, labels 20 px high.
void BM_FrameCloseUp(benchmark::State& state) {
    frame(state, 20);
}
void BM_FrameZoomExtentsIcons(benchmark::State& state) {
    frame(state, 0, iconDrawing());
}
void BM_SceneRebuild(benchmark::State& state) {
    for (auto _ : state) {
        DxfScene scene;
        scene.build(drawing().document());
        benchmark::DoNotOptimize(scene.extents());
    }
}

BENCHMARK(BM_FrameZoomExtents)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameSmallLabels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameCloseUp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameZoomExtentsIcons)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneRebuild)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv); // fonts need the GUI application
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
