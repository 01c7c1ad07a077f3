// SPDX-License-Identifier: GPL-3.0-or-later
// The widget that shows a drawing's model space: the mouse wheel zooms about
// the pointer, dragging with any button pans. It rebuilds its scene lazily, at
// the next paint after the drawing changed, so thousands of changes between
// two paints cost one rebuild. A big drawing is built in slices of a few tens
// of milliseconds through the event loop, and its frames are painted by a
// worker thread into an image, so the program's windows stay responsive
// meanwhile; until then the view shows the previous picture. Model space is
// drawn on a dark background, or a light one for printing-like viewing.
#pragma once
#include "render/dxfrender.h"

#include <QPoint>
#include <QPointF>
#include <QWidget>

#include <QImage>

#include <functional>
#include <memory>
#include <optional>
#include <thread>

class DxfDocument;

class DrawingView final : public QWidget {
    Q_OBJECT
public:
    // source: the document to draw at the next paint (nullptr: nothing); it is
    // asked each time the scene is rebuilt, so it may change between calls.
    explicit DrawingView(std::function<const DxfDocument*()> source, QWidget* parent = nullptr);
    ~DrawingView() override;

    // The drawing changed: rebuild before the next paint.
    void invalidate();
    // Fits the view to the drawing's extents (at the next paint, after any rebuild).
    void zoomExtents();
    // Zooms about the middle of the view (factor > 1 enlarges).
    void zoomBy(double factor);
    // Whether the scene is being built, and the status line's text about it:
    // progress while building, then what was not drawn ("" when all was).
    bool building() const { return scene_->building(); }
    // Whether the picture on screen is the scene as it is now, in the view as it is now.
    bool upToDate() const;
    QString sceneStatus() const;

    const DxfView& view() const { return view_; }
    void setView(const DxfView& view);
    DxfBackground background() const { return background_; }
    void setBackground(DxfBackground background);
    // The scene as the next paint draws it (rebuilt now when the drawing changed).
    const DxfScene& scene();
    QSize sizeHint() const override { return {800, 600}; }

signals:
    // The drawing point under the pointer: as it moves, and as the view moves
    // under it (zoom, pan, a fit to another drawing's extents).
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
    void paintScene(QPainter& painter);
    void startRender();
    // Builds for about the time given; schedules the next slice when unfinished.
    void buildSlice(double milliseconds);
    // view_ changed: what is under the pointer did too.
    void viewMoved();

    std::function<const DxfDocument*()> source_;
    std::shared_ptr<DxfScene> scene_;       // being built, or complete
    std::shared_ptr<const DxfScene> shown_; // the last complete scene; never changed again
    DxfView view_;
    DxfBackground background_ = DxfBackground::Dark;
    std::optional<QPointF> pointer_; // where the pointer was last seen over the view
    // Frames of big scenes, painted by a worker thread.
    struct Frame {
        std::shared_ptr<const DxfScene> scene;
        DxfView view;
        QSize size;
        qreal ratio = 1;
        DxfBackground background = DxfBackground::Dark;
        bool operator==(const Frame& o) const {
            return scene == o.scene && view.center == o.view.center && view.scale == o.view.scale &&
                   size == o.size && ratio == o.ratio && background == o.background;
        }
    };
    Frame painted_; // what image_ shows
    QImage image_;
    bool rendering_ = false;
    std::thread renderer_;
    bool stale_ = true;
    bool sliceQueued_ = false;
    int slicesSincePaint_ = 0;
    bool fitPending_ = true;
    bool userMoved_ = false; // zoomed or panned since the last fit: a resize keeps the view
    bool dragging_ = false;
    QPoint lastPos_;
};
