// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing window of the built-in drawing engine: a view of the active
// drawing's model space, the drawing file's full path in its title. It follows
// the engine: shown and hidden with Visible, fitted by ZoomExtents, redrawn by
// Update. Closing it only hides it (Visible becomes false); the engine keeps
// running. It never keeps the program running on its own. When the program
// ends with changes the engine cannot write, the user chooses what happens to
// them: try again, save the drawing under another name, or discard them.
//
// Showing it (Visible) maps it and nothing more: changes of the drawing never
// raise it, so a command inserting 10,000 blocks costs no window calls. The
// command that made the changes brings it forward once at its end
// (bringForward). The first time it opens at two thirds of the screen, over
// the program's main window and inside the screen; then where the user left
// it (settings section "DrawingWindow"). Its status line shows the easting
// and northing under the pointer in drawing units, the progress of building a
// big drawing, how many entities were not drawn, and, when another file
// becomes the active drawing, that insertions go into it from now on.
// Model space is dark, or light after View > Light Background (remembered in
// the same section).
#pragma once
#include <QMainWindow>
#include <QPointer>

class DxfApplication;
class DrawingView;
class QAction;

class DrawingWindow final : public QMainWindow {
    Q_OBJECT
public:
    // engine: not owned; it must outlive the window (install() sees to that).
    explicit DrawingWindow(DxfApplication& engine, QWidget* parent = nullptr);
    ~DrawingWindow() override;

    // Gives every drawing engine started from now on its window. The windows
    // go with their engine, or when the application object is destroyed,
    // whichever comes first. Called once by the main program.
    static void install();

    // As the program ends: returns once the running engine's drawing changes
    // are on disk or the user chose to discard them (asked through the prompt
    // service while they cannot be written). Nothing is asked when all is saved.
    static void settleUnsavedDrawing();
    void settleUnsavedChanges();

    // The window of a running engine (null when install() gave it none).
    static DrawingWindow* of(const DxfApplication& engine);
    // Shows the window in front of the program's other windows and gives it
    // the keyboard. Called by the window that is active now (the main window
    // after one of its commands), so that window managers that refuse a raise
    // from a window in the background take it as a hand-over of activation.
    void bringForward();

    DrawingView* view() const { return view_; }
    QAction* zoomExtentsAction() const { return zoomAction_; }
    QAction* zoomInAction() const { return zoomInAction_; }
    QAction* zoomOutAction() const { return zoomOutAction_; }
    QAction* lightBackgroundAction() const { return lightAction_; }
    // The status line's texts: coordinates under the pointer, and the scene's state.
    QString coordinatesText() const;
    QString sceneText() const;
    // Settings of the window's place and size.
    static constexpr char kSettingsSection[] = "DrawingWindow";
    static constexpr char kGeometryKey[] = "Geometry";
    static constexpr char kLightBackgroundKey[] = "LightBackground"; // "1" or "0"

public slots:
    // File menu. Failures (a drawing the engine refuses, a file that cannot be
    // written) are shown in a message box; the active drawing stays as it was.
    void newDrawing();
    void openDrawing();
    void saveDrawingAs();
    // View menu.
    void zoomExtents();
    void setLightBackground(bool light);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void drawingChanged();
    void activeDrawingChanged(const QString& path);
    void engineVisibleChanged(bool visible);
    void showCoordinates(const QPointF& world);
    void placeFirstTime();
    void saveGeometrySetting();

    DxfApplication& engine_;
    DrawingView* view_;
    QAction* zoomAction_;
    QAction* zoomInAction_;
    QAction* zoomOutAction_;
    QAction* lightAction_;
    class QLabel* coordinates_;
    class QLabel* sceneStatus_;
    QString shownPath_;
    bool placed_ = false;
};
