// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/dxfrender.h"

#include "platform/ansi.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int kMaxNesting = 16;      // nested block references followed this deep
constexpr double kMinTextPixels = 3; // smaller text is left out
constexpr int kArcSegments = 48;     // per full turn, for arcs that a transform distorts
constexpr int kColorByBlock = 0, kColorByLayer = 256;
// Entities drawn at most per scene: nested and arrayed references multiply, and
// a drawing must not make the window hang (well under a second of building).
constexpr long long kEntityBudget = 1000000;

QByteArray upper(const QByteArray& s) {
    return s.trimmed().toUpper();
}

double num(const DxfObject& o, int code, double fallback = 0) {
    return o.number(code).value_or(fallback);
}

QPointF xy(const DxfObject& o, int xCode) {
    return {num(o, xCode), num(o, xCode + 10)};
}

int intValue(const DxfObject& o, int code, int fallback) {
    auto v = o.number(code);
    return v ? static_cast<int>(*v) : fallback;
}

double radians(double degrees) {
    return degrees * std::numbers::pi / 180;
}

// Lengths of the images of the unit axes, and whether the map keeps circles circles.
struct Shape {
    double sx, sy, angle; // angle of the image of the x axis, degrees
    bool conformal;       // uniform scale and rotation, no mirror
};
Shape shapeOf(const QTransform& m) {
    const double sx = std::hypot(m.m11(), m.m12()), sy = std::hypot(m.m21(), m.m22());
    const double dot = m.m11() * m.m21() + m.m12() * m.m22();
    const double tol = 1e-9 * std::max({sx, sy, 1e-300});
    const double det = m.m11() * m.m22() - m.m12() * m.m21();
    return {sx, sy, std::atan2(m.m12(), m.m11()) * 180 / std::numbers::pi,
            std::abs(sx - sy) <= tol && std::abs(dot) <= tol * std::max(sx, sy) && det > 0};
}

} // namespace

// ---------------------------------------------------------------- view

QTransform DxfView::transform(const QSizeF& target) const {
    return QTransform(scale, 0, 0, -scale, target.width() / 2 - center.x() * scale,
                      target.height() / 2 + center.y() * scale);
}

QPointF DxfView::toDevice(const QPointF& world, const QSizeF& target) const {
    return transform(target).map(world);
}

QPointF DxfView::toWorld(const QPointF& device, const QSizeF& target) const {
    return {center.x() + (device.x() - target.width() / 2) / scale,
            center.y() - (device.y() - target.height() / 2) / scale};
}

DxfView DxfView::fit(const QRectF& extents, const QSizeF& target) {
    DxfView v;
    if (extents.isNull() || target.isEmpty())
        return v;
    v.center = extents.center();
    const double margin = 0.95; // of the target the drawing may fill
    const double w = std::max(extents.width(), 1e-9), h = std::max(extents.height(), 1e-9);
    v.scale = std::min(target.width() * margin / w, target.height() * margin / h);
    if (extents.width() <= 0 && extents.height() <= 0)
        v.scale = 1; // a single point: any scale shows it
    return v;
}

void DxfView::zoomAbout(const QPointF& device, const QSizeF& target, double factor) {
    if (!(factor > 0) || !std::isfinite(factor))
        return;
    const QPointF fixed = toWorld(device, target);
    const double next = scale * factor;
    if (!(next > 1e-12 && next < 1e12))
        return; // beyond what doubles draw sensibly
    scale = next;
    // Keep `fixed` under `device`.
    const QPointF now = toWorld(device, target);
    center += fixed - now;
}

void DxfView::pan(const QPointF& delta) {
    center += QPointF(-delta.x() / scale, delta.y() / scale);
}

// ---------------------------------------------------------------- colours

QColor aciColor(int index) {
    static const QRgb basic[] = {qRgb(0, 0, 0),       qRgb(255, 0, 0),    qRgb(255, 255, 0), qRgb(0, 255, 0),
                                 qRgb(0, 255, 255),   qRgb(0, 0, 255),    qRgb(255, 0, 255), qRgb(0, 0, 0),
                                 qRgb(128, 128, 128), qRgb(192, 192, 192)};
    index = std::abs(index);
    if (index < 10)
        return QColor(basic[index]);
    if (index >= 250 && index <= 255) {
        const int grey = 51 + (index - 250) * 40;
        return QColor(grey, grey, grey);
    }
    if (index > 255)
        return QColor(basic[7]);
    // 10..249: 24 hues of 15 degrees, each in five shades, full and half saturation.
    const int hue = ((index / 10) - 1) * 15;
    const int shade = (index % 10) / 2;
    static const double value[] = {1.0, 0.8, 0.6, 0.5, 0.3};
    const double saturation = (index % 2) ? 0.5 : 1.0;
    return QColor::fromHsvF(hue / 360.0, saturation, value[shade]);
}

// ---------------------------------------------------------------- building

struct DxfScene::Context {
    struct Layer {
        int color = 7;
        bool shown = true;
    };
    QHash<QByteArray, Layer> layers;
    QHash<QByteArray, Block> blocks;
    const std::vector<DxfObject>* blockObjects = nullptr;
    QSet<QByteArray> expanding; // blocks being drawn now, against self-reference
    long long budget = kEntityBudget;

    Layer layer(const QByteArray& name) const { return layers.value(upper(name), Layer{}); }
};

void DxfScene::clear() {
    batches_.clear();
    texts_.clear();
    extents_ = QRectF();
    hasExtents_ = false;
}

size_t DxfScene::lineCount() const {
    size_t n = 0;
    for (const Batch& b : batches_)
        n += b.lines.size();
    return n;
}

DxfScene::Batch& DxfScene::batch(QRgb color) {
    for (Batch& b : batches_)
        if (b.color == color)
            return b;
    batches_.push_back(Batch{color, {}, {}, {}, {}, {}});
    return batches_.back();
}

void DxfScene::include(const QPointF& p) {
    if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
        return;
    if (!hasExtents_) {
        extents_ = QRectF(p, QSizeF(0, 0));
        hasExtents_ = true;
        return;
    }
    extents_.setLeft(std::min(extents_.left(), p.x()));
    extents_.setRight(std::max(extents_.right(), p.x()));
    extents_.setTop(std::min(extents_.top(), p.y()));
    extents_.setBottom(std::max(extents_.bottom(), p.y()));
}

void DxfScene::addLine(QRgb color, const QPointF& a, const QPointF& b) {
    batch(color).lines.emplace_back(a, b);
    include(a);
    include(b);
}

void DxfScene::addArc(QRgb color, const QTransform& m, const QPointF& c, double r, double start, double end) {
    double span = std::fmod(end - start, 360.0);
    if (span <= 0)
        span += 360;
    const Shape s = shapeOf(m);
    if (s.conformal) {
        const QPointF centre = m.map(c);
        const double radius = r * s.sx;
        batch(color).arcs.push_back({centre, radius, start + s.angle, span});
        // Extents: the arc's ends and the quadrant points it passes.
        for (double a = 0; a < 720; a += 90)
            if (a >= start + s.angle && a <= start + s.angle + span)
                include(centre + QPointF(radius * std::cos(radians(a)), radius * std::sin(radians(a))));
        include(centre + QPointF(radius * std::cos(radians(start + s.angle)),
                                 radius * std::sin(radians(start + s.angle))));
        include(centre + QPointF(radius * std::cos(radians(start + s.angle + span)),
                                 radius * std::sin(radians(start + s.angle + span))));
        return;
    }
    // Scaled unevenly or mirrored: straight segments in drawing units.
    const int n = std::max(2, static_cast<int>(std::ceil(kArcSegments * span / 360)));
    QPointF prev;
    for (int i = 0; i <= n; ++i) {
        const double a = radians(start + span * i / n);
        const QPointF p = m.map(c + QPointF(r * std::cos(a), r * std::sin(a)));
        if (i > 0)
            addLine(color, prev, p);
        prev = p;
    }
}

void DxfScene::build(const DxfDocument& doc) {
    clear();
    Context cx;
    if (const DxfSection* tables = doc.section("TABLES"))
        for (const DxfObject& o : tables->objects)
            if (o.type() == "LAYER") {
                const int color = intValue(o, 62, 7);
                const int flags = intValue(o, 70, 0);
                cx.layers.insert(upper(o.value(2)),
                                 {color == 0 ? 7 : std::abs(color), color >= 0 && !(flags & 1)});
            }
    static const std::vector<DxfObject> none;
    const DxfSection* blocks = doc.section("BLOCKS");
    cx.blockObjects = blocks ? &blocks->objects : &none;
    for (size_t i = 0; i < cx.blockObjects->size(); ++i) {
        const DxfObject& o = (*cx.blockObjects)[i];
        if (o.type() != "BLOCK")
            continue;
        Block b{xy(o, 10), i + 1, i + 1};
        while (b.to < cx.blockObjects->size() && (*cx.blockObjects)[b.to].type() != "ENDBLK")
            ++b.to;
        const QByteArray key = upper(o.value(2));
        if (!cx.blocks.contains(key))
            cx.blocks.insert(key, b);
        i = b.to;
    }
    if (const DxfSection* entities = doc.section("ENTITIES"))
        emitEntities(cx, entities->objects, 0, entities->objects.size(), QTransform(), QByteArray("0"),
                     kColorByLayer, 0);
    if (hasExtents_ && extents_.width() == 0 && extents_.height() == 0)
        extents_.adjust(-1, -1, 1, 1); // a single point: a small box round it, not a null one
}

void DxfScene::emitEntities(Context& cx, const std::vector<DxfObject>& objects, size_t from, size_t to,
                            const QTransform& m, const QByteArray& parentLayer, int parentColor, int depth) {
    const Shape shape = shapeOf(m);
    for (size_t k = from; k < to && cx.budget > 0; ++k, --cx.budget) {
        const DxfObject& o = objects[k];
        const QByteArray type = o.type();
        if (depth == 0 && o.value(67).trimmed() == "1")
            continue; // paper space
        // Layer "0" inside a block takes the reference's layer.
        QByteArray layer = o.value(8, "0").trimmed();
        if (depth > 0 && layer == "0")
            layer = parentLayer;
        const Context::Layer l = cx.layer(layer);
        int color = intValue(o, 62, kColorByLayer);
        if (color == kColorByLayer)
            color = l.color;
        else if (color == kColorByBlock)
            color = parentColor == kColorByLayer ? 7 : parentColor;
        const bool shown = l.shown && color > 0;
        const QRgb rgb = aciColor(color).rgb();

        if (type == "POLYLINE") {
            // Its VERTEXes follow up to SEQEND; collected even when hidden, to skip them.
            const int flags = intValue(o, 70, 0);
            std::vector<QPointF> vertices;
            size_t j = k + 1;
            for (; j < to && objects[j].type() == "VERTEX"; ++j) {
                const int vflags = intValue(objects[j], 70, 0);
                if (!(vflags & 128) || (vflags & 64)) // not a polyface's face record
                    vertices.push_back(m.map(xy(objects[j], 10)));
            }
            if (j < to && objects[j].type() == "SEQEND")
                k = j;
            else
                k = j - 1;
            if (!shown || (flags & 16))
                continue; // hidden, or a polygon mesh (no plan outline to draw)
            for (size_t v = 1; v < vertices.size(); ++v)
                addLine(rgb, vertices[v - 1], vertices[v]);
            if ((flags & 1) && vertices.size() > 2)
                addLine(rgb, vertices.back(), vertices.front());
            continue;
        }
        if (!shown)
            continue;
        if (type == "LINE") {
            addLine(rgb, m.map(xy(o, 10)), m.map(xy(o, 11)));
        } else if (type == "CIRCLE") {
            const double r = std::abs(num(o, 40));
            if (shape.conformal) {
                const QPointF c = m.map(xy(o, 10));
                batch(rgb).circles.push_back({c, r * shape.sx});
                include(c - QPointF(r * shape.sx, r * shape.sx));
                include(c + QPointF(r * shape.sx, r * shape.sx));
            } else {
                addArc(rgb, m, xy(o, 10), r, 0, 360);
            }
        } else if (type == "ARC") {
            addArc(rgb, m, xy(o, 10), std::abs(num(o, 40)), num(o, 50), num(o, 51));
        } else if (type == "POINT") {
            const QPointF p = m.map(xy(o, 10));
            batch(rgb).points.push_back(p);
            include(p);
        } else if (type == "SOLID" || type == "TRACE" || type == "3DFACE") {
            const QPointF p1 = m.map(xy(o, 10)), p2 = m.map(xy(o, 11)), p3 = m.map(xy(o, 12));
            const QPointF p4 = o.find(13) >= 0 ? m.map(xy(o, 13)) : p3;
            if (type == "3DFACE") {
                addLine(rgb, p1, p2);
                addLine(rgb, p2, p3);
                addLine(rgb, p3, p4);
                addLine(rgb, p4, p1);
            } else {
                // Corners 1, 2, 4, 3 go round the outline.
                batch(rgb).fills.push_back(QPolygonF({p1, p2, p4, p3}));
                for (const QPointF& p : {p1, p2, p3, p4})
                    include(p);
            }
        } else if (type == "TEXT" || type == "ATTRIB" || (type == "ATTDEF" && depth == 0)) {
            if (type != "TEXT" && (intValue(o, 70, 0) & 1))
                continue; // invisible attribute
            const int hAlign = intValue(o, 72, 0);
            const int vAlign = intValue(o, type == "TEXT" ? 73 : 74, 0);
            const bool aligned = (hAlign != 0 || vAlign != 0) && o.find(11) >= 0;
            QString text = FromAnsi(type == "ATTDEF" ? o.value(2).trimmed() : o.value(1));
            if (text.trimmed().isEmpty())
                continue;
            const double height = std::abs(num(o, 40, 1)) * shape.sy;
            const QPointF at = m.map(aligned ? xy(o, 11) : xy(o, 10));
            const double widthFactor = std::abs(num(o, 41, 1)) * (shape.sy > 0 ? shape.sx / shape.sy : 1);
            texts_.push_back({at, height, num(o, 50) + shape.angle, widthFactor, aligned ? hAlign : 0,
                              aligned ? vAlign : 0, rgb, text});
            // An estimate of the text's box (average glyph about 0.6 of the height wide).
            const double width = 0.6 * height * widthFactor * text.size();
            const double a = radians(num(o, 50) + shape.angle);
            include(at);
            include(at + QPointF(width * std::cos(a), width * std::sin(a)));
            include(at + QPointF(-height * std::sin(a), height * std::cos(a)));
        } else if (type == "INSERT") {
            emitInsert(cx, o, m, layer, color, depth);
        }
    }
}

void DxfScene::emitInsert(Context& cx, const DxfObject& o, const QTransform& m, const QByteArray& layer,
                          int color, int depth) {
    const QByteArray key = upper(o.value(2));
    auto it = cx.blocks.constFind(key);
    if (it == cx.blocks.constEnd() || depth >= kMaxNesting || cx.expanding.contains(key))
        return;
    const Block block = it.value();
    const double sx = num(o, 41, 1), sy = num(o, 42, 1);
    const double rotation = num(o, 50);
    const int columns = std::clamp(intValue(o, 70, 1), 1, 10000),
              rows = std::clamp(intValue(o, 71, 1), 1, 10000);
    const double columnSpacing = num(o, 44), rowSpacing = num(o, 45);
    const QPointF at = xy(o, 10);
    cx.expanding.insert(key);
    for (int r = 0; r < rows && cx.budget > 0; ++r)
        for (int c = 0; c < columns && cx.budget > 0; ++c) {
            // Block coordinates -> reference: base to origin, scale, array offset, rotate, move.
            const QTransform local = QTransform::fromTranslate(-block.base.x(), -block.base.y()) *
                                     QTransform::fromScale(sx, sy) *
                                     QTransform::fromTranslate(c * columnSpacing, r * rowSpacing);
            QTransform rot;
            rot.rotate(rotation);
            const QTransform full = local * rot * QTransform::fromTranslate(at.x(), at.y()) * m;
            emitEntities(cx, *cx.blockObjects, block.from, block.to, full, layer, color, depth + 1);
        }
    cx.expanding.remove(key);
}

// ---------------------------------------------------------------- painting

void DxfScene::render(QPainter& painter, const QRectF& target, const DxfView& view) const {
    painter.save();
    painter.setClipRect(target);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QTransform world =
        view.transform(target.size()) * QTransform::fromTranslate(target.x(), target.y());
    painter.setTransform(world);
    for (const Batch& b : batches_) {
        QPen pen{QColor(b.color)};
        pen.setCosmetic(true);
        pen.setWidth(0);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        if (!b.lines.empty())
            painter.drawLines(b.lines.data(), static_cast<int>(b.lines.size()));
        for (const Ellipse& e : b.circles)
            painter.drawEllipse(e.center, e.radius, e.radius);
        for (const Arc& a : b.arcs) {
            // Qt's angles run counter-clockwise on screen; drawing y is flipped by the
            // transform, so the drawing's counter-clockwise angles become clockwise.
            const QRectF box(a.center.x() - a.radius, a.center.y() - a.radius, 2 * a.radius, 2 * a.radius);
            painter.drawArc(box, static_cast<int>(std::lround(-a.start * 16)),
                            static_cast<int>(std::lround(-a.span * 16)));
        }
        if (!b.points.empty())
            painter.drawPoints(b.points.data(), static_cast<int>(b.points.size()));
        if (!b.fills.empty()) {
            painter.setBrush(QColor(b.color));
            for (const QPolygonF& f : b.fills)
                painter.drawPolygon(f);
        }
    }

    // Text upright in pixels, placed through the same transform.
    painter.setTransform(QTransform());
    const QRectF visible = target.adjusted(-1, -1, 1, 1);
    QFont font(QStringLiteral("DejaVu Sans"));
    QFontMetricsF fm(font);
    int fontPixels = -1;
    for (const Text& t : texts_) {
        const double pixels = t.height * view.scale;
        if (pixels < kMinTextPixels || pixels > 1e5)
            continue;
        const QPointF anchor = world.map(t.at);
        // Anchors far outside cannot put text into view (the text runs at most
        // its estimated length from the anchor).
        const double reach = pixels * (1 + 0.8 * t.widthFactor * t.text.size());
        if (!visible.adjusted(-reach, -reach, reach, reach).contains(anchor))
            continue;
        const int px = std::max(1, static_cast<int>(std::lround(pixels)));
        if (px != fontPixels) {
            font.setPixelSize(px);
            painter.setFont(font);
            fm = QFontMetricsF(font);
            fontPixels = px;
        }
        const double width = fm.horizontalAdvance(t.text);
        double dx = 0, dy = 0;
        switch (t.hAlign) {
        case 1:
        case 3:
        case 4:
        case 5:
            dx = -width / 2;
            break;
        case 2:
            dx = -width;
            break;
        default:
            break;
        }
        if (t.hAlign == 4)
            dy = px / 2.0; // middle: centred on the cap height
        switch (t.vAlign) {
        case 1:
            dy = -fm.descent() * px / fm.height();
            break;
        case 2:
            dy = px / 2.0;
            break;
        case 3:
            dy = px;
            break;
        default:
            break;
        }
        painter.save();
        painter.translate(anchor);
        painter.rotate(-t.angle);
        painter.scale(t.widthFactor, 1);
        painter.setPen(QColor(t.color));
        painter.drawText(QPointF(dx, dy), t.text);
        painter.restore();
    }
    painter.restore();
}
