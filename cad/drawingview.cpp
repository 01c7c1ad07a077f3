// SPDX-License-Identifier: GPL-3.0-or-later
#include "cad/drawingview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

DrawingView::DrawingView(std::function<const DxfDocument*()> source, QWidget* parent)
    : QWidget(parent), source_(std::move(source)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::WheelFocus);
    setCursor(Qt::CrossCursor);
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
    update();
}

const DxfScene& DrawingView::scene() {
    prepare();
    return scene_;
}

void DrawingView::prepare() {
    if (stale_) {
        const DxfDocument* doc = source_ ? source_() : nullptr;
        if (doc)
            scene_.build(*doc);
        else
            scene_.clear();
        stale_ = false;
    }
    if (fitPending_) {
        view_ = DxfView::fit(scene_.extents(), size());
        fitPending_ = false;
        userMoved_ = false;
    }
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
