// SPDX-License-Identifier: GPL-3.0-or-later
#include "cad/drawingview.h"

#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>

DrawingView::DrawingView(std::function<const DxfDocument*()> source, QWidget* parent)
    : QWidget(parent), source_(std::move(source)), scene_(std::make_shared<DxfScene>()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::WheelFocus);
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
}

namespace {
// A slice of building: short enough that the program's windows answer at once.
constexpr double kSliceMilliseconds = 20;
// Scenes up to this many primitives are painted at once in the paint event
// (a few milliseconds); bigger ones by the worker thread.
constexpr size_t kDirectPaintLimit = 150000;
} // namespace

DrawingView::~DrawingView() {
    if (renderer_.joinable())
        renderer_.join(); // its result, posted to this object, goes with it
}

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
    viewMoved();
    update();
}

void DrawingView::setBackground(DxfBackground background) {
    background_ = background;
    update();
}

void DrawingView::viewMoved() {
    if (pointer_)
        emit cursorMoved(view_.toWorld(*pointer_, size()));
}

void DrawingView::zoomBy(double factor) {
    prepare();
    view_.zoomAbout(QPointF(width() / 2.0, height() / 2.0), size(), factor);
    fitPending_ = false;
    userMoved_ = true;
    viewMoved();
    update();
}

QString DrawingView::sceneStatus() const {
    if (scene_->building())
        return QStringLiteral("Drawing... %L1 of %L2 entities")
            .arg(static_cast<qulonglong>(scene_->entitiesDone()))
            .arg(static_cast<qulonglong>(scene_->entitiesTotal()));
    if (scene_->notDrawn() > 0) {
        QStringList types = scene_->notDrawnTypes();
        if (types.size() > 4)
            types = types.mid(0, 4) << QStringLiteral("...");
        return QStringLiteral("%L1 %2 not drawn%3")
            .arg(scene_->notDrawn())
            .arg(scene_->notDrawn() == 1 ? QStringLiteral("entity") : QStringLiteral("entities"))
            .arg(types.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(types.join(QStringLiteral(", "))));
    }
    return QString();
}

const DxfScene& DrawingView::scene() {
    prepare();
    if (scene_->building())
        buildSlice(1e12); // callers want the whole scene now
    return *scene_;
}

void DrawingView::prepare() {
    if (stale_) {
        const DxfDocument* doc = source_ ? source_() : nullptr;
        // A new scene object: the complete one stays as it is for the worker.
        scene_ = std::make_shared<DxfScene>();
        if (doc)
            scene_->begin(*doc);
        stale_ = false;
        buildSlice(kSliceMilliseconds);
        if (!scene_->building())
            shown_ = scene_;
        emit statusChanged();
    }
    if (fitPending_ && !scene_->building()) {
        view_ = DxfView::fit(scene_->extents(), size());
        fitPending_ = false;
        userMoved_ = false;
        viewMoved();
    }
}

void DrawingView::buildSlice(double milliseconds) {
    if (!scene_->building())
        return;
    const DxfDocument* doc = source_ ? source_() : nullptr;
    if (!doc) {
        scene_->clear();
        shown_ = scene_;
        emit statusChanged();
        return;
    }
    const bool done = scene_->step(*doc, milliseconds);
    if (done)
        shown_ = scene_;
    emit statusChanged();
    if (done || sliceQueued_)
        return;
    sliceQueued_ = true;
    // A timer, not a posted call: timers of other windows due meanwhile run
    // between two slices (posted calls may run back to back).
    QTimer::singleShot(1, this, [this] {
        sliceQueued_ = false;
        if (stale_)
            return; // the next paint starts over
        buildSlice(kSliceMilliseconds);
        // Show the progress now and then, and the finished scene at once.
        if (!scene_->building() || ++slicesSincePaint_ >= 8) {
            slicesSincePaint_ = 0;
            update();
        }
    });
}

void DrawingView::paintEvent(QPaintEvent*) {
    prepare();
    QPainter p(this);
    paintScene(p);
}

bool DrawingView::upToDate() const {
    if (stale_ || scene_->building())
        return false;
    if (shown_ && shown_->primitiveCount() > kDirectPaintLimit)
        return painted_ == Frame{shown_, view_, size(), devicePixelRatioF(), background_} && !image_.isNull();
    return true;
}

void DrawingView::paintScene(QPainter& p) {
    const QColor background = backgroundColor(background_);
    if (!shown_ || shown_->primitiveCount() <= kDirectPaintLimit) {
        p.fillRect(rect(), background);
        if (shown_)
            shown_->render(p, rect(), view_, background_);
        return;
    }
    const Frame wanted{shown_, view_, size(), devicePixelRatioF(), background_};
    if (!(painted_ == wanted) && !rendering_)
        startRender();
    if (image_.isNull()) {
        p.fillRect(rect(), background);
        return;
    }
    if (painted_.view.center == view_.center && painted_.view.scale == view_.scale) {
        p.drawImage(QPointF(0, 0), image_);
        return;
    }
    // Until the worker's frame arrives: the last one, moved and scaled to the view.
    p.fillRect(rect(), background);
    const double k = view_.scale / painted_.view.scale;
    const QPointF origin = view_.toDevice(painted_.view.toWorld(QPointF(0, 0), painted_.size), size());
    p.drawImage(QRectF(origin, QSizeF(painted_.size) * k), image_);
}

void DrawingView::startRender() {
    if (renderer_.joinable())
        renderer_.join(); // finished: rendering_ was false
    Frame frame{shown_, view_, size(), devicePixelRatioF(), background_};
    rendering_ = true;
    renderer_ = std::thread([this, frame] {
        QImage image((QSizeF(frame.size) * frame.ratio).toSize(), QImage::Format_RGB32);
        image.setDevicePixelRatio(frame.ratio);
        image.fill(backgroundColor(frame.background));
        {
            QPainter p(&image);
            frame.scene->render(p, QRectF(QPointF(0, 0), QSizeF(frame.size)), frame.view, frame.background);
        }
        QMetaObject::invokeMethod(
            this,
            [this, frame, image] {
                rendering_ = false;
                painted_ = frame;
                image_ = image;
                update(); // paints it, or starts the frame the view wants now
            },
            Qt::QueuedConnection);
    });
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
    pointer_ = event->position();
    viewMoved();
    update();
    event->accept();
}

void DrawingView::mousePressEvent(QMouseEvent* event) {
    dragging_ = true;
    lastPos_ = event->position().toPoint();
    setCursor(Qt::ClosedHandCursor);
}

void DrawingView::mouseMoveEvent(QMouseEvent* event) {
    pointer_ = event->position();
    if (dragging_) {
        const QPoint pos = event->position().toPoint();
        prepare();
        view_.pan(pos - lastPos_);
        lastPos_ = pos;
        userMoved_ = true;
        update();
    }
    viewMoved(); // after the pan: the drawing point now under the pointer
}

void DrawingView::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
    setCursor(Qt::CrossCursor);
}
