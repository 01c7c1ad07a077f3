// SPDX-License-Identifier: GPL-3.0-or-later
// The widget that shows a drawing's model space: the mouse wheel zooms about
// the pointer, dragging with any button pans. It rebuilds its scene lazily, at
// the next paint after the drawing changed, so thousands of changes between
// two paints cost one rebuild. A big drawing is built in slices of a few tens
// of milliseconds through the event loop, so the program's windows stay
// responsive meanwhile; the view shows what is built so far.
#pragma once
#include "dxf/dxfrender.h"

#include <QPoint>
#include <QPointF>
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
    // Zooms about the middle of the view (factor > 1 enlarges).
    void zoomBy(double factor);
    // Whether the scene is being built, and the status line's text about it:
    // progress while building, then what was not drawn ("" when all was).
    bool building() const { return scene_.building(); }
    QString sceneStatus() const;

    const DxfView& view() const { return view_; }
    void setView(const DxfView& view);
    // The scene as the next paint draws it (rebuilt now when the drawing changed).
    const DxfScene& scene();
    QSize sizeHint() const override { return {800, 600}; }

signals:
    // The drawing point under the pointer.
    void cursorMoved(QPointF world);
    // sceneStatus() changed.
    void statusChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void prepare();
    // Builds for about the time given; schedules the next slice when unfinished.
    void buildSlice(double milliseconds);

    std::function<const DxfDocument*()> source_;
    DxfScene scene_;
    DxfView view_;
    bool stale_ = true;
    bool sliceQueued_ = false;
    int slicesSincePaint_ = 0;
    bool fitPending_ = true;
    bool userMoved_ = false; // zoomed or panned since the last fit: a resize keeps the view
    bool dragging_ = false;
    QPoint lastPos_;
};
