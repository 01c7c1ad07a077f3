// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing window of the built-in drawing engine: a view of the active
// drawing's model space, the drawing file's full path in its title. It follows
// the engine: shown and hidden with Visible, fitted by ZoomExtents, redrawn by
// Update. Closing it only hides it (Visible becomes false); the engine keeps
// running. It never keeps the program running on its own. When the program
// ends with changes the engine cannot write, the user chooses what happens to
// them: try again, save the drawing under another name, or discard them.
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

    DrawingView* view() const { return view_; }
    QAction* zoomExtentsAction() const { return zoomAction_; }

public slots:
    // File menu. Failures (a drawing the engine refuses, a file that cannot be
    // written) are shown in a message box; the active drawing stays as it was.
    void newDrawing();
    void openDrawing();
    void saveDrawingAs();
    // View menu.
    void zoomExtents();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void drawingChanged();

    DxfApplication& engine_;
    DrawingView* view_;
    QAction* zoomAction_;
    QString shownPath_;
};
