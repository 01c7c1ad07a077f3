// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/dxfrender.h"

#include "dxf/dxfconvert.h"
#include "platform/ansi.h"
#include "render/mtextlayout.h"

#include <QElapsedTimer>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>

namespace {

constexpr int kMaxNesting = 16;      // nested block references followed this deep
constexpr double kMinTextPixels = 3; // smaller text is left out
constexpr int kArcSegments = 48;     // per full turn, for arcs that a transform distorts
constexpr int kCurveSegments = 64;   // per full turn of an ellipse
constexpr int kColorByBlock = 0, kColorByLayer = 256;
// Entities drawn at most per scene: nested and arrayed references multiply,
// and memory and frame time grow with what is drawn. What is beyond is counted.
constexpr long long kEntityBudget = 3000000;
// For the extents of a TEXT: measuring every label would cost more than the
// rest of building; an average glyph is about 0.8 of the height (of the
// capitals) wide.
constexpr double kAverageGlyphWidth = 0.8;

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
    return v && std::abs(*v) < 2e9 ? static_cast<int>(*v) : fallback;
}

double radians(double degrees) {
    return degrees * std::numbers::pi / 180;
}

double degrees(double radians) {
    return radians * 180 / std::numbers::pi;
}

double tagNumber(const DxfTag& t) {
    return DxfDocument::parseNumber(t.value).value_or(0);
}

// Lengths of the images of the unit axes, and whether the map keeps circles circles.
struct Shape {
    double sx, sy, angle; // angle of the image of the x axis, degrees
    bool conformal;       // uniform scale and right angles kept
    bool mirrored;        // orientation reversed
};
Shape shapeOf(const QTransform& m) {
    const double sx = std::hypot(m.m11(), m.m12()), sy = std::hypot(m.m21(), m.m22());
    const double dot = m.m11() * m.m21() + m.m12() * m.m22();
    const double tol = 1e-9 * std::max({sx, sy, 1e-300});
    const double det = m.m11() * m.m22() - m.m12() * m.m21();
    return {sx, sy, degrees(std::atan2(m.m12(), m.m11())),
            std::abs(sx - sy) <= tol && std::abs(dot) <= tol * std::max(sx, sy) && det != 0, det < 0};
}

struct Vec3 {
    double x = 0, y = 0, z = 0;
};
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 normalized(const Vec3& v) {
    const double l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return l > 0 ? Vec3{v.x / l, v.y / l, v.z / l} : Vec3{0, 0, 1};
}
Vec3 extrusion(const DxfObject& o) {
    if (o.find(230) < 0)
        return {0, 0, 1};
    return normalized({num(o, 210), num(o, 220), num(o, 230, 1)});
}
bool isPlusZ(const Vec3& n) {
    return std::abs(n.x) < 1e-12 && std::abs(n.y) < 1e-12 && n.z > 0;
}

// An entity's object coordinate system seen from above: OCS x, y -> plan x, y
// (the arbitrary axis algorithm; elevation is the OCS z of the entity).
QTransform ocsToPlan(const Vec3& n, double elevation = 0) {
    if (isPlusZ(n))
        return QTransform();
    const Vec3 ax = normalized(std::abs(n.x) < 1.0 / 64 && std::abs(n.y) < 1.0 / 64 ? cross({0, 1, 0}, n)
                                                                                    : cross({0, 0, 1}, n));
    const Vec3 ay = normalized(cross(n, ax));
    return QTransform(ax.x, ax.y, ay.x, ay.y, elevation * n.x, elevation * n.y);
}

// Points of a circular arc from `from` to `to` with the DXF bulge (tan of a
// quarter of the included angle; > 0 counter-clockwise), `to` excluded.
void bulgePoints(std::vector<QPointF>& out, const QPointF& from, const QPointF& to, double bulge) {
    out.push_back(from);
    const QPointF chord = to - from;
    const double d = std::hypot(chord.x(), chord.y());
    if (bulge == 0 || !std::isfinite(bulge) || d == 0 || std::abs(bulge) > 1e6)
        return;
    const double included = 4 * std::atan(bulge); // signed
    const QPointF normal(-chord.y() / d, chord.x() / d);
    const QPointF centre = (from + to) / 2 + normal * (d / 2 * (1 - bulge * bulge) / (2 * bulge));
    const double r = std::hypot(from.x() - centre.x(), from.y() - centre.y());
    const double a0 = std::atan2(from.y() - centre.y(), from.x() - centre.x());
    const int n =
        std::max(2, static_cast<int>(std::ceil(kArcSegments * std::abs(included) / (2 * std::numbers::pi))));
    for (int i = 1; i < n; ++i) {
        const double a = a0 + included * i / n;
        out.push_back(centre + QPointF(r * std::cos(a), r * std::sin(a)));
    }
}

// Points of a (rational) B-spline of the degree over its control points.
std::vector<QPointF> bSpline(int degree, std::vector<double> knots, const std::vector<QPointF>& control,
                             std::vector<double> weights) {
    const int n = static_cast<int>(control.size());
    std::vector<QPointF> out;
    if (n < 2)
        return control;
    degree = std::clamp(degree, 1, n - 1);
    if (weights.size() != control.size())
        weights.assign(control.size(), 1.0);
    bool knotsUsable = knots.size() == static_cast<size_t>(n + degree + 1) &&
                       std::is_sorted(knots.begin(), knots.end()) && knots[degree] < knots[n];
    if (!knotsUsable) { // clamped and uniform
        knots.clear();
        for (int i = 0; i < n + degree + 1; ++i)
            knots.push_back(std::clamp(i - degree, 0, n - degree));
    }
    const double u0 = knots[degree], u1 = knots[n];
    const int samples = std::clamp(n * 12, 32, 4000);
    std::vector<std::array<double, 3>> d(degree + 1);
    for (int s = 0; s <= samples; ++s) {
        const double u = u0 + (u1 - u0) * s / samples;
        int k = degree;
        while (k < n - 1 && !(u < knots[k + 1]))
            ++k;
        for (int j = 0; j <= degree; ++j) {
            const int i = j + k - degree;
            const double w = weights[i] > 0 ? weights[i] : 1;
            d[j] = {control[i].x() * w, control[i].y() * w, w};
        }
        for (int r = 1; r <= degree; ++r)
            for (int j = degree; j >= r; --j) {
                const double lo = knots[j + k - degree], hi = knots[j + 1 + k - r];
                const double alpha = hi > lo ? (u - lo) / (hi - lo) : 0;
                for (int c = 0; c < 3; ++c)
                    d[j][c] = (1 - alpha) * d[j - 1][c] + alpha * d[j][c];
            }
        if (d[degree][2] != 0)
            out.emplace_back(d[degree][0] / d[degree][2], d[degree][1] / d[degree][2]);
    }
    return out;
}

// A smooth curve through the points (Catmull-Rom).
std::vector<QPointF> throughPoints(std::vector<QPointF> p, bool closed) {
    if (p.size() < 3)
        return p;
    if (closed)
        p.push_back(p.front());
    std::vector<QPointF> out;
    const size_t n = p.size();
    auto at = [&](long i) -> QPointF {
        if (closed) {
            const long m = static_cast<long>(n) - 1;
            return p[static_cast<size_t>(((i % m) + m) % m)];
        }
        return p[static_cast<size_t>(std::clamp(i, 0L, static_cast<long>(n) - 1))];
    };
    constexpr int kSteps = 12;
    for (size_t i = 0; i + 1 < n; ++i) {
        const long k = static_cast<long>(i);
        const QPointF p0 = at(k - 1), p1 = at(k), p2 = at(k + 1), p3 = at(k + 2);
        for (int s = 0; s < kSteps; ++s) {
            const double t = static_cast<double>(s) / kSteps, t2 = t * t, t3 = t2 * t;
            out.push_back(0.5 * ((2 * p1) + (-p0 + p2) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t2 +
                                 (-p0 + 3 * p1 - 3 * p2 + p3) * t3));
        }
    }
    out.push_back(p.back());
    return out;
}

// Points of an elliptic arc: centre + cos(t) major + sin(t) minor, t from t0 to t1 (radians).
void ellipsePoints(std::vector<QPointF>& out, const QPointF& centre, const QPointF& major,
                   const QPointF& minor, double t0, double t1) {
    const double span = t1 - t0;
    const int n =
        std::max(4, static_cast<int>(std::ceil(kCurveSegments * std::abs(span) / (2 * std::numbers::pi))));
    for (int i = 0; i <= n; ++i) {
        const double t = t0 + span * i / n;
        out.push_back(centre + major * std::cos(t) + minor * std::sin(t));
    }
}

// Reads tags in order, for entities whose codes repeat (HATCH).
struct TagReader {
    const std::vector<DxfTag>& tags;
    size_t i = 0;
    bool at(int code) const { return i < tags.size() && tags[i].code == code; }
    // The next tag's number when it has the code (and moves on), else fallback.
    double take(int code, double fallback = 0) {
        if (!at(code))
            return fallback;
        return tagNumber(tags[i++]);
    }
    // Moves to the next tag with the code; false at the end.
    bool seek(int code) {
        while (i < tags.size() && tags[i].code != code)
            ++i;
        return i < tags.size();
    }
    QPointF point(int xCode) {
        const double x = take(xCode);
        const double y = take(xCode + 10);
        if (at(xCode + 20))
            ++i;
        return {x, y};
    }
};

// A plausible count from a file: never a reason to allocate without bound.
int count(double v, int limit = 1000000) {
    return std::isfinite(v) ? std::clamp(static_cast<int>(v), 0, limit) : 0;
}

// The loops of a hatch boundary, in its OCS, each as points.
std::vector<std::vector<QPointF>> hatchLoops(const DxfObject& o) {
    std::vector<std::vector<QPointF>> loops;
    TagReader r{o.tags};
    if (!r.seek(91))
        return loops;
    const int paths = count(r.take(91), 100000);
    for (int p = 0; p < paths && r.seek(92); ++p) {
        const int flags = static_cast<int>(r.take(92));
        std::vector<QPointF> loop;
        if (flags & 2) { // polyline
            const bool hasBulge = r.take(72) != 0;
            const bool closed = r.take(73, 1) != 0;
            const int n = count(r.take(93));
            std::vector<QPointF> pts;
            std::vector<double> bulges;
            for (int v = 0; v < n && r.at(10); ++v) {
                pts.push_back(r.point(10));
                bulges.push_back(hasBulge ? r.take(42) : r.take(42, 0));
            }
            for (size_t v = 0; v < pts.size(); ++v) {
                if (v + 1 < pts.size())
                    bulgePoints(loop, pts[v], pts[v + 1], bulges[v]);
                else if (closed && pts.size() > 1)
                    bulgePoints(loop, pts[v], pts[0], bulges[v]);
                else
                    loop.push_back(pts[v]);
            }
        } else {
            const int edges = count(r.take(93));
            for (int e = 0; e < edges && r.at(72); ++e) {
                const int type = static_cast<int>(r.take(72));
                if (type == 1) {
                    const QPointF a = r.point(10), b = r.point(11);
                    loop.push_back(a);
                    loop.push_back(b);
                } else if (type == 2 || type == 3) {
                    const QPointF c = r.point(10);
                    QPointF major(r.take(40, 0), 0);
                    double ratio = 1;
                    if (type == 3) {
                        major = r.point(11);
                        ratio = r.take(40, 1);
                    }
                    const double s = r.take(50), e2 = r.take(51, 360);
                    const bool ccw = r.take(73, 1) != 0;
                    const QPointF minor = QPointF(-major.y(), major.x()) * ratio;
                    double span = std::fmod(e2 - s, 360.0);
                    if (span <= 0)
                        span += 360;
                    // Clockwise edges store their angles measured clockwise.
                    const double t0 = radians(ccw ? s : -s);
                    ellipsePoints(loop, c, major, minor, t0, t0 + radians(ccw ? span : -span));
                } else if (type == 4) {
                    const int degree = static_cast<int>(r.take(94, 3));
                    const bool rational = r.take(73) != 0;
                    r.take(74);
                    const int nk = count(r.take(95)), nc = count(r.take(96));
                    std::vector<double> knots, weights;
                    std::vector<QPointF> control;
                    for (int k = 0; k < nk && r.at(40); ++k)
                        knots.push_back(r.take(40));
                    for (int k = 0; k < nc && r.at(10); ++k) {
                        control.push_back(r.point(10));
                        if (rational || r.at(42))
                            weights.push_back(r.take(42, 1));
                    }
                    std::vector<QPointF> fit;
                    const int nf = r.at(97) ? count(r.take(97)) : 0;
                    for (int k = 0; k < nf && r.at(11); ++k)
                        fit.push_back(r.point(11));
                    const std::vector<QPointF> pts = control.size() >= 2
                                                         ? bSpline(degree, knots, control, weights)
                                                         : throughPoints(fit, false);
                    loop.insert(loop.end(), pts.begin(), pts.end());
                    while (r.at(12) || r.at(22) || r.at(13) || r.at(23))
                        ++r.i;
                } else {
                    break; // an edge type we cannot read: the rest of this loop is unknowable
                }
            }
        }
        if (loop.size() >= 2)
            loops.push_back(std::move(loop));
    }
    return loops;
}

} // namespace

// ---------------------------------------------------------------- text

QString textSpecialCodes(const QString& text) {
    if (!text.contains(QLatin1String("%%")))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'%' || i + 2 >= text.size() || text[i + 1] != u'%') {
            out += text[i];
            continue;
        }
        const QChar c = text[i + 2].toLower();
        if (c == u'd')
            out += QChar(0x00B0);
        else if (c == u'c')
            out += QChar(0x2300);
        else if (c == u'p')
            out += QChar(0x00B1);
        else if (c == u'%')
            out += u'%';
        else if (c == u'u' || c == u'o' || c == u'k')
            ; // underline, overline, strike-through toggles
        else if (c.isDigit() && i + 4 < text.size() && text[i + 3].isDigit() && text[i + 4].isDigit()) {
            out += QChar(static_cast<char16_t>(text.mid(i + 2, 3).toInt()));
            i += 2;
        } else {
            out += text.mid(i, 3);
        }
        i += 2;
    }
    return out;
}

namespace {
// \U+XXXX at i (the backslash): the character and the length, or nothing.
std::optional<std::pair<char32_t, int>> unicodeEscape(const QString& s, qsizetype i) {
    if (i + 6 < s.size() && (s[i + 1] == u'U' || s[i + 1] == u'u') && s[i + 2] == u'+') {
        bool ok = false;
        const uint v = s.mid(i + 3, 4).toUInt(&ok, 16);
        if (ok)
            return std::make_pair(static_cast<char32_t>(v), 7);
    }
    return std::nullopt;
}

QString decodeUnicodeEscapes(const QString& s) {
    if (!s.contains(QLatin1String("\\U+"), Qt::CaseInsensitive))
        return s;
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'\\')
            if (auto e = unicodeEscape(s, i)) {
                out += QString::fromUcs4(&e->first, 1);
                i += e->second - 1;
                continue;
            }
        out += s[i];
    }
    return out;
}
} // namespace

QString mtextPlainText(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'{' || c == u'}')
            continue;
        if (c != u'\\' || i + 1 >= s.size()) {
            out += c;
            continue;
        }
        if (auto e = unicodeEscape(s, i)) {
            out += QString::fromUcs4(&e->first, 1);
            i += e->second - 1;
            continue;
        }
        const QChar code = s[++i];
        switch (code.unicode()) {
        case 'P':
            out += u'\n';
            break;
        case '~':
            out += QChar(0x00A0);
            break;
        case '\\':
        case '{':
        case '}':
            out += code;
            break;
        case 'S': { // stacked: "\Snum^den;" or with / or #
            qsizetype j = i + 1;
            QString stacked;
            while (j < s.size() && s[j] != u';') {
                if (s[j] == u'\\' && j + 1 < s.size())
                    ++j;
                stacked += (s[j] == u'^' || s[j] == u'#') ? QChar(u'/') : s[j];
                ++j;
            }
            out += stacked.trimmed();
            i = j;
            break;
        }
        case 'f':
        case 'F':
        case 'H':
        case 'W':
        case 'Q':
        case 'T':
        case 'A':
        case 'C':
        case 'c':
        case 'p': { // a value up to ';'
            qsizetype j = i + 1;
            while (j < s.size() && s[j] != u';')
                ++j;
            i = j;
            break;
        }
        default: // toggles such as \L \l \O \o \K \k, and unknown codes
            break;
        }
    }
    return out;
}

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
    const double margin = 0.90; // of the target the drawing may fill: 5% free each side
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

namespace {
// Colour 7 in a built scene: no colour of its own, the background decides.
// Fully transparent, so no colour a drawing gives (always opaque) is taken for it.
constexpr QRgb kForeground = qRgba(0, 0, 0, 0);

// The colour a scene's colour is painted in on the background.
QRgb shownColor(QRgb color, DxfBackground background) {
    const bool light = background == DxfBackground::Light;
    if (color == kForeground)
        return light ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
    // Yellow and cyan have a contrast of about 1.1:1 and 1.25:1 with white;
    // darkened to about 3:1, as legible as ordinary lines on paper.
    if (light && color == qRgb(255, 255, 0))
        return qRgb(160, 150, 0);
    if (light && color == qRgb(0, 255, 255))
        return qRgb(0, 150, 160);
    return color;
}
} // namespace

QColor backgroundColor(DxfBackground background) {
    // The dark grey blue of CAD programs' model space: softer than black, and
    // dark colours (blue 5, the greys 250..252) still show on it.
    return background == DxfBackground::Light ? QColor(255, 255, 255) : QColor(33, 40, 48);
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
    bool utf8 = false;
    std::optional<QStringDecoder> codepage; // null: Windows-1252
    MTextLayout text;                       // measures and lays out in the face render paints with
    // What step() needs to find the document as begin() left it.
    const DxfDocument* doc = nullptr;
    std::pair<const DxfObject*, size_t> entitiesAt, blocksAt;
    std::pair<const char*, qsizetype> rawAt; // the ENTITIES kept as text
    qsizetype rawPos = 0;                    // where the next object of that text starts
    size_t rawDone = 0;                      // objects read from that text so far
    std::vector<DxfObject> chunk;            // objects of that text being drawn: views into it
    size_t next = 0;                         // next model space entity of the split objects

    Layer layer(const QByteArray& name) const { return layers.value(upper(name), Layer{}); }
    QString decode(const QByteArray& bytes) {
        QString s;
        if (utf8)
            s = QString::fromUtf8(bytes);
        else if (codepage)
            s = codepage->decode(bytes);
        else
            s = FromAnsi(bytes);
        return s;
    }
    // Width of text in units of its height.
    double width(const QString& s, unsigned style = 0) { return text.width(s, style); }
};

DxfScene::DxfScene() = default;
DxfScene::~DxfScene() = default;
DxfScene::DxfScene(DxfScene&&) noexcept = default;
DxfScene& DxfScene::operator=(DxfScene&&) noexcept = default;

void DxfScene::clear() {
    batches_.clear();
    texts_.clear();
    extents_ = Bounds();
    cx_.reset();
    done_ = total_ = 0;
    notDrawn_ = 0;
    notDrawnTypes_.clear();
}

size_t DxfScene::lineCount() const {
    size_t n = 0;
    for (const Batch& b : batches_)
        n += b.lineCount;
    return n;
}

QStringList DxfScene::texts() const {
    QStringList out;
    for (const Text& t : texts_)
        out << t.text;
    return out;
}

DxfScene::PlacedText DxfScene::placedText(size_t i) const {
    const Text& t = texts_.at(i);
    return {t.text, t.frame, t.fitWidth, t.style, t.color};
}

size_t DxfScene::primitiveCount() const {
    size_t n = texts_.size();
    for (const Batch& b : batches_)
        n += b.lineCount + b.fills.size() + b.areas.size() + b.circles.size() + b.arcs.size() +
             b.points.size() + b.markers.size();
    return n;
}

QStringList DxfScene::notDrawnTypes() const {
    QStringList out;
    for (const QByteArray& t : notDrawnTypes_)
        out << QString::fromLatin1(t);
    return out;
}

void DxfScene::Batch::addLine(const QPointF& a, const QPointF& b) {
    constexpr size_t kChunk = 65536;
    if (lines.empty() || lines.back().size() == kChunk) {
        lines.emplace_back();
        lines.back().reserve(kChunk);
    }
    lines.back().emplace_back(a, b);
    ++lineCount;
}

DxfScene::Batch& DxfScene::batch(QRgb color) {
    for (Batch& b : batches_)
        if (b.color == color)
            return b;
    batches_.push_back(Batch{color, {}, 0, {}, {}, {}, {}, {}, {}});
    return batches_.back();
}

void DxfScene::Bounds::add(const QPointF& p) {
    if (!any) {
        box = QRectF(p, QSizeF(0, 0));
        any = true;
        return;
    }
    box.setLeft(std::min(box.left(), p.x()));
    box.setRight(std::max(box.right(), p.x()));
    box.setTop(std::min(box.top(), p.y()));
    box.setBottom(std::max(box.bottom(), p.y()));
}

void DxfScene::include(const QPointF& p) {
    if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
        return;
    if (tracking_)
        tracking_->add(p);
    extents_.add(p);
}

void DxfScene::addLine(QRgb color, const QPointF& a, const QPointF& b) {
    batch(color).addLine(a, b);
    include(a);
    include(b);
}

void DxfScene::addPath(QRgb color, const std::vector<QPointF>& points) {
    if (points.size() < 2)
        return;
    Batch& b = batch(color);
    for (size_t i = 1; i < points.size(); ++i)
        b.addLine(points[i - 1], points[i]);
    for (const QPointF& p : points)
        include(p);
}

void DxfScene::addArc(QRgb color, const QTransform& m, const QPointF& c, double r, double start, double end) {
    double span = std::fmod(end - start, 360.0);
    if (span <= 0)
        span += 360;
    const Shape s = shapeOf(m);
    if (s.conformal) {
        const QPointF centre = m.map(c);
        const double radius = r * s.sx;
        // A mirror reverses the sense: the arc runs from the image of its end.
        const double from = s.mirrored ? s.angle - start - span : start + s.angle;
        batch(color).arcs.push_back({centre, radius, from, span});
        // Extents: the arc's ends and the quadrant points it passes.
        const double lo = std::fmod(from, 360.0) + (from < 0 ? 360 : 0);
        for (double a = 0; a < 720; a += 90)
            if (a >= lo && a <= lo + span)
                include(centre + QPointF(radius * std::cos(radians(a)), radius * std::sin(radians(a))));
        include(centre + QPointF(radius * std::cos(radians(from)), radius * std::sin(radians(from))));
        include(centre +
                QPointF(radius * std::cos(radians(from + span)), radius * std::sin(radians(from + span))));
        return;
    }
    // Scaled unevenly: straight segments in drawing units.
    const int n = std::max(2, static_cast<int>(std::ceil(kArcSegments * span / 360)));
    std::vector<QPointF> pts;
    for (int i = 0; i <= n; ++i) {
        const double a = radians(start + span * i / n);
        pts.push_back(m.map(c + QPointF(r * std::cos(a), r * std::sin(a))));
    }
    addPath(color, pts);
}

void DxfScene::addPolyline(QRgb color, const QTransform& m, const std::vector<QPointF>& points,
                           const std::vector<double>& bulges, bool closed) {
    std::vector<QPointF> pts;
    const size_t n = points.size();
    for (size_t v = 0; v < n; ++v) {
        const double bulge = v < bulges.size() ? bulges[v] : 0;
        if (v + 1 < n)
            bulgePoints(pts, points[v], points[v + 1], bulge);
        else if (closed && n > 2)
            bulgePoints(pts, points[v], points[0], bulge);
        else
            pts.push_back(points[v]);
    }
    if (closed && n > 2)
        pts.push_back(points[0]);
    for (QPointF& p : pts)
        p = m.map(p);
    addPath(color, pts);
}

void DxfScene::addText(Text t, double estimatedWidth) {
    // The box of the text in text units, by its alignment.
    double x0 = 0;
    if (t.hAlign == 2)
        x0 = -estimatedWidth;
    else if (t.hAlign != 0)
        x0 = -estimatedWidth / 2;
    double y0 = 0;
    if (t.vAlign == 3 || t.hAlign == 4 || t.vAlign == 2)
        y0 = t.vAlign == 3 ? -1 : -0.5;
    for (const QPointF& p : {QPointF(x0, y0), QPointF(x0 + estimatedWidth, y0), QPointF(x0, y0 + 1),
                             QPointF(x0 + estimatedWidth, y0 + 1)})
        include(t.frame.map(p));
    texts_.push_back(std::move(t));
}

namespace {
// Where a section's objects are, to notice a document that was reshaped.
std::pair<const DxfObject*, size_t> where(const DxfDocument& doc, const char* section) {
    const DxfSection* s = doc.section(section);
    return s ? std::make_pair(s->objects.data(), s->objects.size()) : std::make_pair(nullptr, size_t(0));
}
std::pair<const char*, qsizetype> rawWhere(const DxfDocument& doc) {
    const DxfSection* s = doc.section("ENTITIES");
    return s ? std::make_pair(s->raw.constData(), s->raw.size()) : std::make_pair(nullptr, qsizetype(0));
}

// Objects read from a section's text per chunk (a polyline's or a block
// reference's following objects always come with it).
constexpr size_t kChunkObjects = 256;

// Reads the objects of raw from pos into chunk (views into raw) and returns
// where the next chunk starts.
qsizetype readChunk(const QByteArray& raw, qsizetype pos, std::vector<DxfObject>& chunk) {
    chunk.clear();
    const QByteArray rest = QByteArray::fromRawData(raw.constData() + pos, raw.size() - pos);
    DxfTagReader r(rest);
    while (r.next()) {
        if (r.code() == 0 || chunk.empty()) {
            if (r.code() == 0 && chunk.size() >= kChunkObjects && !r.valueIs("VERTEX") &&
                !r.valueIs("ATTRIB") && !r.valueIs("SEQEND"))
                return pos + r.tagStart();
            chunk.emplace_back();
        }
        chunk.back().tags.push_back(DxfTag{r.code(), r.value(), {}});
    }
    return raw.size();
}
} // namespace

void DxfScene::build(const DxfDocument& doc) {
    begin(doc);
    while (!step(doc, 1e12)) {
    }
}

void DxfScene::begin(const DxfDocument& doc) {
    clear();
    cx_ = std::make_unique<Context>();
    Context& cx = *cx_;
    cx.doc = &doc;
    if (const DxfSection* tables = doc.section("TABLES"))
        for (const DxfObject& o : tables->objects)
            if (o.type() == "LAYER") {
                const int color = intValue(o, 62, 7);
                const int flags = intValue(o, 70, 0);
                cx.layers.insert(upper(o.value(2)),
                                 {color == 0 ? 7 : std::abs(color), color >= 0 && !(flags & 1)});
            }
    cx.utf8 = DxfConvert::isUtf8(doc.version().trimmed());
    if (!cx.utf8)
        if (const DxfObject* cp = doc.headerVariable("$DWGCODEPAGE")) {
            const QByteArray name = DxfConvert::codecName(cp->value(3));
            if (name != "windows-1252") {
                QStringDecoder decoder(name.constData());
                if (decoder.isValid())
                    cx.codepage.emplace(std::move(decoder));
            }
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
    cx.entitiesAt = where(doc, "ENTITIES");
    cx.blocksAt = where(doc, "BLOCKS");
    cx.rawAt = rawWhere(doc);
    total_ = cx.entitiesAt.second + estimateRaw(cx);
}

size_t DxfScene::estimateRaw(const Context& cx) const {
    // The objects left in the text, estimated from the bytes per object so far
    // (counting them exactly would mean reading the whole text at once).
    const qsizetype left = cx.rawAt.second - cx.rawPos;
    if (left <= 0)
        return cx.rawDone;
    const double perObject =
        cx.rawDone > 0 ? static_cast<double>(cx.rawPos) / static_cast<double>(cx.rawDone) : 100.0;
    return cx.rawDone + static_cast<size_t>(static_cast<double>(left) / perObject) + 1;
}

bool DxfScene::step(const DxfDocument& doc, double maxMilliseconds) {
    if (!cx_)
        return true;
    if (cx_->doc != &doc || where(doc, "ENTITIES") != cx_->entitiesAt ||
        where(doc, "BLOCKS") != cx_->blocksAt || rawWhere(doc) != cx_->rawAt) {
        begin(doc);
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    Context& cx = *cx_;
    static const std::vector<DxfObject> none;
    const DxfSection* section = doc.section("ENTITIES");
    const std::vector<DxfObject>& entities = section ? section->objects : none;
    // First the objects kept as text, a chunk at a time, then those split.
    while (section && cx.rawPos < section->raw.size()) {
        cx.rawPos = readChunk(section->raw, cx.rawPos, cx.chunk);
        const size_t n = cx.chunk.size();
        for (size_t k = 0; k < n;) {
            if (cx.budget <= 0) {
                notDrawn_ += static_cast<long long>(n - k);
                break;
            }
            k = emitEntity(cx, cx.chunk, k, n, QTransform(), QByteArray("0"), kColorByLayer, 0);
        }
        cx.chunk.clear(); // views into the text: not kept beyond this call
        cx.rawDone += n;
        done_ = cx.rawDone;
        total_ = estimateRaw(cx) + entities.size();
        if (clock.nsecsElapsed() > maxMilliseconds * 1e6)
            return false;
    }
    const size_t total = entities.size();
    for (int n = 1; cx.next < total; ++n) {
        if (cx.budget <= 0) {
            notDrawn_ += static_cast<long long>(total - cx.next);
            cx.next = total;
            break;
        }
        cx.next = emitEntity(cx, entities, cx.next, total, QTransform(), QByteArray("0"), kColorByLayer, 0);
        done_ = cx.rawDone + cx.next;
        if (n % 16 == 0 && clock.nsecsElapsed() > maxMilliseconds * 1e6)
            return false;
    }
    total_ = cx.rawDone + total;
    finish();
    return true;
}

void DxfScene::finish() {
    done_ = total_;
    cx_.reset();
    if (extents_.any && extents_.box.width() == 0 && extents_.box.height() == 0)
        extents_.box.adjust(-1, -1, 1, 1); // a single point: a small box round it, not a null one
}

void DxfScene::emitEntities(Context& cx, const std::vector<DxfObject>& objects, size_t from, size_t to,
                            const QTransform& m, const QByteArray& parentLayer, int parentColor, int depth) {
    for (size_t k = from; k < to;) {
        if (cx.budget <= 0) {
            notDrawn_ += static_cast<long long>(to - k);
            return;
        }
        k = emitEntity(cx, objects, k, to, m, parentLayer, parentColor, depth);
    }
}

// Draws objects[k] (with what belongs to it) and returns the index after it.
size_t DxfScene::emitEntity(Context& cx, const std::vector<DxfObject>& objects, size_t k, size_t to,
                            const QTransform& m, const QByteArray& parentLayer, int parentColor, int depth) {
    --cx.budget;
    const DxfObject& o = objects[k];
    const QByteArray type = o.type();
    if (depth == 0 && o.value(67).trimmed() == "1") {
        // Paper space: not in this view; skip its vertices too.
        size_t j = k + 1;
        if (type == "POLYLINE" || type == "INSERT")
            while (j < to && (objects[j].type() == "VERTEX" || objects[j].type() == "ATTRIB"))
                ++j;
        if (j < to && j > k + 1 && objects[j].type() == "SEQEND")
            ++j;
        return j;
    }
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
    QRgb rgb = color == 7 ? kForeground : aciColor(color).rgb();
    if (const int tc = o.find(420); tc >= 0) { // a true colour overrides the index
        const long long v = static_cast<long long>(tagNumber(o.tags[static_cast<size_t>(tc)]));
        if (v > 0 && v < 0x1000000 && (v & 0xFFFFFF) != 0xFFFFFF)
            rgb = qRgb((v >> 16) & 255, (v >> 8) & 255, v & 255);
    }

    if (type == "POLYLINE") {
        // Its VERTEXes follow up to SEQEND; collected even when hidden, to skip them.
        const int flags = intValue(o, 70, 0);
        std::vector<QPointF> vertices;
        std::vector<double> bulges;
        size_t j = k + 1;
        for (; j < to && objects[j].type() == "VERTEX"; ++j) {
            const int vflags = intValue(objects[j], 70, 0);
            if (!(vflags & 128) || (vflags & 64)) { // not a polyface's face record
                vertices.push_back(xy(objects[j], 10));
                bulges.push_back(num(objects[j], 42));
            }
        }
        const size_t next = j < to && objects[j].type() == "SEQEND" ? j + 1 : j;
        if (!shown || (flags & 16))
            return next; // hidden, or a polygon mesh (no plan outline to draw)
        const bool plane = !(flags & (8 | 64));
        if (!plane)
            bulges.clear(); // 3D polylines and meshes are in world coordinates, straight
        const QTransform full = plane ? ocsToPlan(extrusion(o), num(o, 30)) * m : m;
        addPolyline(rgb, full, vertices, bulges, (flags & 1) && vertices.size() > 2);
        return next;
    }
    if (type == "INSERT") {
        size_t j = k + 1;
        while (j < to && objects[j].type() == "ATTRIB")
            ++j;
        // Its ATTRIBs (and their SEQEND) are drawn with it, or hidden with it.
        const size_t next = j > k + 1 && j < to && objects[j].type() == "SEQEND" ? j + 1 : j;
        if (shown) {
            // A model space reference is measured for its marker: what the
            // block draws, its attributes left out.
            Bounds drawn;
            if (depth == 0)
                tracking_ = &drawn;
            emitInsert(cx, o, m, layer, color, depth);
            if (depth == 0) {
                tracking_ = nullptr;
                if (drawn.any)
                    batch(rgb).markers.push_back({(ocsToPlan(extrusion(o), num(o, 30)) * m).map(xy(o, 10)),
                                                  std::max(drawn.box.width(), drawn.box.height())});
            }
            for (size_t a = k + 1; a < j; ++a)
                emitEntity(cx, objects, a, j, m, parentLayer, parentColor, depth);
        }
        return next;
    }
    if (!shown)
        return k + 1;
    if (type == "LINE") {
        addLine(rgb, m.map(xy(o, 10)), m.map(xy(o, 11)));
    } else if (type == "CIRCLE") {
        const QTransform full = ocsToPlan(extrusion(o), num(o, 30)) * m;
        const Shape shape = shapeOf(full);
        const double r = std::abs(num(o, 40));
        if (shape.conformal) {
            const QPointF c = full.map(xy(o, 10));
            batch(rgb).circles.push_back({c, r * shape.sx});
            include(c - QPointF(r * shape.sx, r * shape.sx));
            include(c + QPointF(r * shape.sx, r * shape.sx));
        } else {
            addArc(rgb, full, xy(o, 10), r, 0, 360);
        }
    } else if (type == "ARC") {
        addArc(rgb, ocsToPlan(extrusion(o), num(o, 30)) * m, xy(o, 10), std::abs(num(o, 40)), num(o, 50),
               num(o, 51));
    } else if (type == "LWPOLYLINE") {
        std::vector<QPointF> pts;
        std::vector<double> bulges;
        for (size_t t = 0; t < o.tags.size(); ++t) {
            const DxfTag& tag = o.tags[t];
            if (tag.code == 10) {
                const double y =
                    t + 1 < o.tags.size() && o.tags[t + 1].code == 20 ? tagNumber(o.tags[t + 1]) : 0;
                pts.emplace_back(tagNumber(tag), y);
                bulges.push_back(0);
            } else if (tag.code == 42 && !bulges.empty()) {
                bulges.back() = tagNumber(tag);
            }
        }
        addPolyline(rgb, ocsToPlan(extrusion(o), num(o, 38)) * m, pts, bulges,
                    (intValue(o, 70, 0) & 1) && pts.size() > 2);
    } else if (type == "ELLIPSE") {
        const Vec3 n = extrusion(o);
        const Vec3 major{num(o, 11), num(o, 21), num(o, 31)};
        const double ratio = num(o, 40, 1);
        const Vec3 minor = cross(n, major);
        // Parameters in radians; the arc runs counter-clockwise from start to end.
        constexpr double kTurn = 2 * std::numbers::pi;
        double t0 = std::fmod(num(o, 41, 0), kTurn), t1 = std::fmod(num(o, 42, kTurn), kTurn);
        if (!std::isfinite(t0) || !std::isfinite(t1))
            t0 = 0, t1 = kTurn;
        if (t1 <= t0)
            t1 += kTurn;
        std::vector<QPointF> pts;
        ellipsePoints(pts, xy(o, 10), {major.x, major.y}, QPointF(minor.x, minor.y) * ratio, t0,
                      std::min(t1, t0 + 2 * std::numbers::pi));
        for (QPointF& p : pts)
            p = m.map(p);
        addPath(rgb, pts);
    } else if (type == "SPLINE") {
        std::vector<double> knots, weights;
        std::vector<QPointF> control, fit;
        for (size_t t = 0; t < o.tags.size(); ++t) {
            const DxfTag& tag = o.tags[t];
            const double y =
                t + 1 < o.tags.size() && o.tags[t + 1].code == tag.code + 10 ? tagNumber(o.tags[t + 1]) : 0;
            if (tag.code == 40)
                knots.push_back(tagNumber(tag));
            else if (tag.code == 41)
                weights.push_back(tagNumber(tag));
            else if (tag.code == 10)
                control.emplace_back(tagNumber(tag), y);
            else if (tag.code == 11)
                fit.emplace_back(tagNumber(tag), y);
        }
        std::vector<QPointF> pts = control.size() >= 2 ? bSpline(intValue(o, 71, 3), knots, control, weights)
                                                       : throughPoints(fit, intValue(o, 70, 0) & 1);
        for (QPointF& p : pts)
            p = m.map(p);
        addPath(rgb, pts);
    } else if (type == "HATCH") {
        emitHatch(o, ocsToPlan(extrusion(o), num(o, 30)) * m, rgb);
    } else if (type == "DIMENSION") {
        // Its picture is its block, in the drawing's coordinates.
        emitBlock(cx, upper(o.value(2)), m, layer, color, depth);
    } else if (type == "POINT") {
        const QPointF p = m.map(xy(o, 10));
        batch(rgb).points.push_back(p);
        include(p);
    } else if (type == "SOLID" || type == "TRACE" || type == "3DFACE") {
        const QTransform full = type == "3DFACE" ? m : ocsToPlan(extrusion(o), num(o, 30)) * m;
        const QPointF p1 = full.map(xy(o, 10)), p2 = full.map(xy(o, 11)), p3 = full.map(xy(o, 12));
        const QPointF p4 = o.find(13) >= 0 ? full.map(xy(o, 13)) : p3;
        if (type == "3DFACE") {
            addPath(rgb, {p1, p2, p3, p4, p1});
        } else {
            // Corners 1, 2, 4, 3 go round the outline.
            batch(rgb).fills.push_back(QPolygonF({p1, p2, p4, p3}));
            for (const QPointF& p : {p1, p2, p3, p4})
                include(p);
        }
    } else if (type == "TEXT" || type == "ATTRIB" || (type == "ATTDEF" && depth == 0)) {
        emitText(cx, o, type, m, rgb, depth);
    } else if (type == "MTEXT") {
        emitMText(cx, o, m, rgb);
    } else if (type != "ATTDEF" && type != "SEQEND" && type != "VERTEX" && type != "VIEWPORT") {
        ++notDrawn_;
        if (std::find(notDrawnTypes_.begin(), notDrawnTypes_.end(), type) == notDrawnTypes_.end())
            notDrawnTypes_.push_back(QByteArray(type.constData(), type.size())); // may be a view
    }
    return k + 1;
}

void DxfScene::emitText(Context& cx, const DxfObject& o, const QByteArray& type, const QTransform& m,
                        QRgb rgb, int) {
    if (type != "TEXT" && (intValue(o, 70, 0) & 1))
        return; // invisible attribute
    const int hAlign = intValue(o, 72, 0);
    const int vAlign = intValue(o, type == "TEXT" ? 73 : 74, 0);
    const bool aligned = (hAlign != 0 || vAlign != 0) && o.find(11) >= 0;
    const QString text = textSpecialCodes(
        decodeUnicodeEscapes(cx.decode(type == "ATTDEF" ? o.value(2).trimmed() : o.value(1))));
    if (text.trimmed().isEmpty())
        return;
    double height = std::abs(num(o, 40, 1));
    double widthFactor = std::abs(num(o, 41, 1));
    double rotation = num(o, 50);
    QPointF at = aligned ? xy(o, 11) : xy(o, 10);
    int h = aligned ? hAlign : 0, v = aligned ? vAlign : 0;
    // Aligned (3) and Fit (5) run along the baseline from the first point to
    // the second and fill that length: Aligned scales the height with the
    // width, Fit the width only. Their own rotation and vertical alignment do
    // not count.
    double fitWidth = 0;
    const QPointF chord = xy(o, 11) - xy(o, 10);
    const double length = std::hypot(chord.x(), chord.y());
    if (aligned && (hAlign == 3 || hAlign == 5) && length > 0 && std::isfinite(length)) {
        fitWidth = cx.width(text); // in units of the height
        if (fitWidth > 0) {
            if (hAlign == 3 && widthFactor > 0)
                height = length / (fitWidth * widthFactor);
            else if (height > 0)
                widthFactor = length / (fitWidth * height);
            rotation = degrees(std::atan2(chord.y(), chord.x()));
            at = xy(o, 10);
            h = v = 0;
        }
    }
    // Text units -> OCS: scale, rotate, move to the anchor; then OCS -> plan -> reference.
    QTransform local = QTransform::fromScale(height * widthFactor, height);
    const int mirror = intValue(o, 71, 0); // 2: backwards, 4: upside down
    // A fitted text mirrors within its two points.
    if (mirror & 2)
        local = (fitWidth > 0 ? QTransform(-1, 0, 0, 1, fitWidth, 0) : QTransform::fromScale(-1, 1)) * local;
    if (mirror & 4)
        local = QTransform::fromScale(1, -1) * local;
    QTransform rot;
    rot.rotate(rotation);
    const QTransform frame =
        local * rot * QTransform::fromTranslate(at.x(), at.y()) * ocsToPlan(extrusion(o), num(o, 30)) * m;
    const Shape s = shapeOf(frame);
    Text t{frame, s.sy, h, v, rgb, text};
    t.fitWidth = fitWidth;
    addText(std::move(t), fitWidth > 0 ? fitWidth : kAverageGlyphWidth * text.size() * widthFactor);
}

void DxfScene::emitMText(Context& cx, const DxfObject& o, const QTransform& m, QRgb rgb) {
    QByteArray raw;
    for (const DxfTag& t : o.tags)
        if (t.code == 3)
            raw += t.value;
    raw += o.value(1);
    const double height = std::abs(num(o, 40, 1));
    if (!(height > 0))
        return;
    const std::vector<MTextRun> runs =
        cx.text.layout(cx.decode(raw), num(o, 41) / height, intValue(o, 71, 1), num(o, 44, 1));
    if (runs.empty())
        return;
    // Direction of the text: the x axis vector (11, in the plan), else the rotation in the OCS.
    const QTransform ocs = ocsToPlan(extrusion(o));
    QTransform toPlan;
    if (o.find(11) >= 0 && !xy(o, 11).isNull()) {
        const QPointF d = xy(o, 11);
        const double a = std::atan2(d.y(), d.x());
        // The y axis is the x axis turned a quarter about the extrusion: mirrored for -z.
        const double sense = extrusion(o).z < 0 ? -1 : 1;
        toPlan = QTransform(std::cos(a), std::sin(a), -sense * std::sin(a), sense * std::cos(a), 0, 0);
    } else {
        QTransform rot;
        rot.rotate(num(o, 50));
        toPlan = rot * QTransform(ocs.m11(), ocs.m12(), ocs.m21(), ocs.m22(), 0, 0);
    }
    const QPointF at = xy(o, 10);
    // Layout units (the MTEXT's height) -> drawing units.
    const QTransform place =
        QTransform::fromScale(height, height) * toPlan * QTransform::fromTranslate(at.x(), at.y()) * m;
    for (const MTextRun& r : runs) {
        // Run text units (one unit: the run's height, width factor included) -> layout units.
        const QTransform run = QTransform::fromScale(r.height * r.widthFactor, r.height) *
                               QTransform::fromTranslate(r.x, r.y) * place;
        const QTransform shear(1, 0, std::tan(radians(r.oblique)), 1, 0, 0);
        const QRgb color = r.rgb ? *r.rgb : r.aci > 0 ? aciColor(r.aci).rgb() : rgb;
        Text t{shear * run, shapeOf(run).sy, 0, 0, color, r.text};
        t.fitWidth = r.advance / (r.height * r.widthFactor);
        t.style = r.style;
        const double extent = t.fitWidth;
        addText(std::move(t), extent);
    }
}

void DxfScene::emitHatch(const DxfObject& o, const QTransform& m, QRgb rgb) {
    const bool solid = intValue(o, 70, 0) == 1;
    QPainterPath area;
    area.setFillRule(Qt::OddEvenFill);
    for (std::vector<QPointF>& loop : hatchLoops(o)) {
        for (QPointF& p : loop)
            p = m.map(p);
        if (loop.front() != loop.back())
            loop.push_back(loop.front());
        addPath(rgb, loop);
        if (solid)
            area.addPolygon(QPolygonF(QList<QPointF>(loop.begin(), loop.end())));
    }
    if (solid && !area.isEmpty())
        batch(rgb).areas.push_back(std::move(area));
}

void DxfScene::emitBlock(Context& cx, const QByteArray& key, const QTransform& full, const QByteArray& layer,
                         int color, int depth) {
    auto it = cx.blocks.constFind(key);
    if (it == cx.blocks.constEnd() || depth >= kMaxNesting || cx.expanding.contains(key))
        return;
    const Block block = it.value();
    cx.expanding.insert(key);
    emitEntities(cx, *cx.blockObjects, block.from, block.to,
                 QTransform::fromTranslate(-block.base.x(), -block.base.y()) * full, layer, color, depth + 1);
    cx.expanding.remove(key);
}

void DxfScene::emitInsert(Context& cx, const DxfObject& o, const QTransform& m, const QByteArray& layer,
                          int color, int depth) {
    const QByteArray key = upper(o.value(2));
    auto it = cx.blocks.constFind(key);
    if (it == cx.blocks.constEnd() || depth >= kMaxNesting || cx.expanding.contains(key))
        return;
    const Block block = it.value();
    if (block.from == block.to)
        return; // nothing to draw, however often it is repeated
    const double sx = num(o, 41, 1), sy = num(o, 42, 1);
    const double rotation = num(o, 50);
    const int columns = std::clamp(intValue(o, 70, 1), 1, 10000),
              rows = std::clamp(intValue(o, 71, 1), 1, 10000);
    const double columnSpacing = num(o, 44), rowSpacing = num(o, 45);
    const QPointF at = xy(o, 10);
    const QTransform ocs = ocsToPlan(extrusion(o), num(o, 30));
    cx.expanding.insert(key);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            if (cx.budget <= 0) {
                // Counted, not drawn: the rest of the array.
                const long long left = static_cast<long long>(rows - r) * columns - c;
                notDrawn_ += left * static_cast<long long>(block.to - block.from);
                cx.expanding.remove(key);
                return;
            }
            // Block coordinates -> reference: scale, array offset, rotate, move, OCS.
            const QTransform local =
                QTransform::fromScale(sx, sy) * QTransform::fromTranslate(c * columnSpacing, r * rowSpacing);
            QTransform rot;
            rot.rotate(rotation);
            const QTransform full = QTransform::fromTranslate(-block.base.x(), -block.base.y()) * local *
                                    rot * QTransform::fromTranslate(at.x(), at.y()) * ocs * m;
            emitEntities(cx, *cx.blockObjects, block.from, block.to, full, layer, color, depth + 1);
        }
    cx.expanding.remove(key);
}

// ---------------------------------------------------------------- painting

namespace {
// A model space block reference that draws less than 6 pixels across is a
// speck of a pixel or two at Zoom Extents (a 3 unit waypoint flag among points
// kilometres apart), which the eye misses; it is marked by a filled square of
// 5 pixels at its insertion point, as CAD programs mark points. 5 pixels is
// the smallest square that stands out on any background at screen density,
// and about the size of the smallest reference drawn as itself, so a point
// neither grows nor shrinks much as zooming in turns its marker into its block.
constexpr double kMinInsertPixels = 6;
constexpr int kMarkerPixels = 5;
} // namespace

void DxfScene::render(QPainter& painter, const QRectF& target, const DxfView& view,
                      DxfBackground background) const {
    painter.save();
    painter.setClipRect(target);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QTransform world =
        view.transform(target.size()) * QTransform::fromTranslate(target.x(), target.y());
    painter.setTransform(world);
    for (const Batch& b : batches_) {
        const QColor color(shownColor(b.color, background));
        QPen pen{color};
        pen.setCosmetic(true);
        pen.setWidth(0);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        for (const std::vector<QLineF>& chunk : b.lines)
            painter.drawLines(chunk.data(), static_cast<int>(chunk.size()));
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
        if (!b.fills.empty() || !b.areas.empty()) {
            painter.setBrush(color);
            for (const QPolygonF& f : b.fills)
                painter.drawPolygon(f);
            painter.setPen(Qt::NoPen);
            for (const QPainterPath& a : b.areas)
                painter.drawPath(a);
        }
    }

    // Text: its frame maps text units to drawing units; the font is sized in
    // pixels so that glyphs are hinted at the size they show.
    painter.setTransform(QTransform());
    const QRectF visible = target.adjusted(-1, -1, 1, 1);
    QFont font(QStringLiteral("DejaVu Sans"));
    QFontMetricsF fm(font);
    int fontPixels = -1;
    unsigned fontStyle = 0;
    const double cap = MTextLayout::capHeight();
    for (const Text& t : texts_) {
        const double pixels = t.height * view.scale;
        if (pixels < kMinTextPixels || pixels > 1e5)
            continue;
        const QTransform toDevice = t.frame * world;
        const QPointF anchor = toDevice.map(QPointF(0, 0));
        // Anchors far outside cannot put text into view (the text runs at most
        // its estimated length from the anchor).
        const double length = t.fitWidth > 0 ? t.fitWidth : 1.5 * t.text.size(); // text units, generous
        const double reach =
            pixels * (1 + std::hypot(t.frame.m11(), t.frame.m12()) / std::max(t.height, 1e-300) * length);
        if (!visible.adjusted(-reach, -reach, reach, reach).contains(anchor))
            continue;
        // The font's pixel size puts the capitals at the text's height; unit:
        // font pixels per text unit.
        const int px = std::max(1, static_cast<int>(std::lround(pixels / cap)));
        const double unit = px * cap;
        if (px != fontPixels || t.style != fontStyle) {
            font.setPixelSize(px);
            font.setBold(t.style & MTextRun::Bold);
            font.setItalic(t.style & MTextRun::Italic);
            font.setUnderline(t.style & MTextRun::Underline);
            font.setOverline(t.style & MTextRun::Overline);
            font.setStrikeOut(t.style & MTextRun::Strike);
            painter.setFont(font);
            fm = QFontMetricsF(font);
            fontPixels = px;
            fontStyle = t.style;
        }
        const double width = fm.horizontalAdvance(t.text);
        // Hinting makes a font's width at one pixel size differ from another's:
        // a text that must fill a given length is stretched to it.
        const double stretch = t.fitWidth > 0 && width > 0 ? t.fitWidth * unit / width : 1;
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
            dy = unit / 2; // middle: centred on the cap height
        switch (t.vAlign) {
        case 1:
            dy = -fm.descent();
            break;
        case 2:
            dy = unit / 2;
            break;
        case 3:
            dy = unit;
            break;
        default:
            break;
        }
        // Font pixels (y down) -> text units (y up) -> device.
        painter.setTransform(QTransform::fromScale(stretch / unit, -1.0 / unit) * toDevice);
        painter.setPen(QColor(shownColor(t.color, background)));
        painter.drawText(QPointF(dx, dy), t.text);
    }

    // Block references too small to see, marked at their insertion points.
    painter.setTransform(QTransform());
    std::vector<QRect> squares;
    for (const Batch& b : batches_) {
        squares.clear();
        for (const Marker& m : b.markers) {
            if (m.size * view.scale >= kMinInsertPixels)
                continue;
            const QPointF p = world.map(m.at);
            if (!visible.adjusted(-kMarkerPixels, -kMarkerPixels, kMarkerPixels, kMarkerPixels).contains(p))
                continue;
            squares.emplace_back(static_cast<int>(std::lround(p.x())) - kMarkerPixels / 2,
                                 static_cast<int>(std::lround(p.y())) - kMarkerPixels / 2, kMarkerPixels,
                                 kMarkerPixels);
        }
        if (!squares.empty()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(shownColor(b.color, background)));
            painter.drawRects(squares.data(), static_cast<int>(squares.size()));
        }
    }
    painter.restore();
}
