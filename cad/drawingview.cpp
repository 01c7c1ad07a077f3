// SPDX-License-Identifier: GPL-3.0-or-later
#include "cad/drawingview.h"

#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>

DrawingView::DrawingView(std::function<const DxfDocument*()> source, QWidget* parent)
    : QWidget(parent), source_(std::move(source)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::WheelFocus);
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
}

namespace {
// A slice of building: short enough that the program's windows answer at once.
constexpr double kSliceMilliseconds = 40;
} // namespace

void DrawingView::invalidate() {
    stale_ = true;
    update();
}

void DrawingView::zoomExtents() {
    fitPending_ = true;
    update();
}

void DrawingView::setView(const DxfView& view) {
    view_ = view;
    fitPending_ = false;
    userMoved_ = true;
    update();
}

void DrawingView::zoomBy(double factor) {
    prepare();
    view_.zoomAbout(QPointF(width() / 2.0, height() / 2.0), size(), factor);
    fitPending_ = false;
    userMoved_ = true;
    update();
}

QString DrawingView::sceneStatus() const {
    if (scene_.building())
        return QStringLiteral("Drawing... %L1 of %L2 entities")
            .arg(static_cast<qulonglong>(scene_.entitiesDone()))
            .arg(static_cast<qulonglong>(scene_.entitiesTotal()));
    if (scene_.notDrawn() > 0) {
        QStringList types = scene_.notDrawnTypes();
        if (types.size() > 4)
            types = types.mid(0, 4) << QStringLiteral("...");
        return QStringLiteral("%L1 entities not drawn%2")
            .arg(scene_.notDrawn())
            .arg(types.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(types.join(QStringLiteral(", "))));
    }
    return QString();
}

const DxfScene& DrawingView::scene() {
    prepare();
    if (scene_.building())
        buildSlice(1e12); // callers want the whole scene now
    return scene_;
}

void DrawingView::prepare() {
    if (stale_) {
        const DxfDocument* doc = source_ ? source_() : nullptr;
        if (doc)
            scene_.begin(*doc);
        else
            scene_.clear();
        stale_ = false;
        buildSlice(kSliceMilliseconds);
        emit statusChanged();
    }
    if (fitPending_) {
        view_ = DxfView::fit(scene_.extents(), size());
        // Until the scene is complete, the next paint fits again.
        fitPending_ = scene_.building();
        userMoved_ = false;
    }
}

void DrawingView::buildSlice(double milliseconds) {
    if (!scene_.building())
        return;
    const DxfDocument* doc = source_ ? source_() : nullptr;
    if (!doc) {
        scene_.clear();
        emit statusChanged();
        return;
    }
    const bool done = scene_.step(*doc, milliseconds);
    emit statusChanged();
    if (done || sliceQueued_)
        return;
    sliceQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        sliceQueued_ = false;
        if (stale_)
            return; // the next paint starts over
        buildSlice(kSliceMilliseconds);
        // Show the progress now and then, and the finished scene at once.
        if (!scene_.building() || ++slicesSincePaint_ >= 8) {
            slicesSincePaint_ = 0;
            update();
        }
    });
}

void DrawingView::paintEvent(QPaintEvent*) {
    prepare();
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    scene_.render(p, rect(), view_);
}

void DrawingView::resizeEvent(QResizeEvent*) {
    if (!userMoved_)
        fitPending_ = true;
}

void DrawingView::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0)
        return;
    prepare();
    view_.zoomAbout(event->position(), size(), std::pow(1.25, steps));
    userMoved_ = true;
    update();
    event->accept();
}

void DrawingView::mousePressEvent(QMouseEvent* event) {
    dragging_ = true;
    lastPos_ = event->position().toPoint();
    setCursor(Qt::ClosedHandCursor);
}

void DrawingView::mouseMoveEvent(QMouseEvent* event) {
    emit cursorMoved(view_.toWorld(event->position(), size()));
    if (!dragging_)
        return;
    const QPoint pos = event->position().toPoint();
    prepare();
    view_.pan(pos - lastPos_);
    lastPos_ = pos;
    userMoved_ = true;
    update();
}

void DrawingView::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
    setCursor(Qt::CrossCursor);
}
