// SPDX-License-Identifier: GPL-3.0-or-later
// The widget that shows a drawing's model space: the mouse wheel zooms about
// the pointer, dragging with any button pans. It rebuilds its scene lazily, at
// the next paint after the drawing changed, so thousands of changes between
// two paints cost one rebuild.
#pragma once
#include "dxf/dxfrender.h"

#include <QPoint>
#include <QWidget>

#include <functional>

class DxfDocument;

class DrawingView final : public QWidget {
    Q_OBJECT
public:
    // source: the document to draw at the next paint (nullptr: nothing); it is
    // asked each time the scene is rebuilt, so it may change between calls.
    explicit DrawingView(std::function<const DxfDocument*()> source, QWidget* parent = nullptr);

    // The drawing changed: rebuild before the next paint.
    void invalidate();
    // Fits the view to the drawing's extents (at the next paint, after any rebuild).
    void zoomExtents();

    const DxfView& view() const { return view_; }
    void setView(const DxfView& view);
    // The scene as the next paint draws it (rebuilt now when the drawing changed).
    const DxfScene& scene();
    QSize sizeHint() const override { return {800, 600}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void prepare();

    std::function<const DxfDocument*()> source_;
    DxfScene scene_;
    DxfView view_;
    bool stale_ = true;
    bool fitPending_ = true;
    bool userMoved_ = false; // zoomed or panned since the last fit: a resize keeps the view
    bool dragging_ = false;
    QPoint lastPos_;
};
