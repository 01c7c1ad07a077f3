// SPDX-License-Identifier: GPL-3.0-or-later
// Form1: the main window of Korvel Transfer. It owns the waypoint table, the
// hidden cell editor, the serial port and the menus. Handlers stay thin: each
// calls the subsystem that does the work, which takes the grid as an argument.
//
// The handlers live in one file per subsystem (form1_<area>.cpp) so that each
// subsystem's wiring sits beside the others without touching them.
#pragma once
#include "files/pointstable.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class FlexGrid;
class WaypointRows;
class QLineEdit;
class QMenu;
class QAction;
class CommPort;

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // ---- state shared by several subsystems ----
    bool blnSaved = true;   // the table has no unsaved changes
    QString strCurrentFile; // current points file, "" when none
    // Row and column last right-clicked or edited. Wider than the classic
    // 16-bit members: a table may hold more than 32,767 rows.
    int intCurRow = 0;
    int intCurCol = 0;
    bool blnEditReady = false; // a left click on a data cell armed the editor

    // The table's rows (owned by this window) and the grid that shows them.
    WaypointRows* waypointRows = nullptr;
    FlexGrid* MSFlexGrid1 = nullptr;
    QLineEdit* Text1 = nullptr;
    std::unique_ptr<CommPort> MSComm1;

    // Menus and items by control name ("mnuFile", "cmdSave", "mnuFileBar0", ...).
    QMenu* menu(const QString& name) const { return menus_.value(name); }
    QAction* item(const QString& name) const { return items_.value(name); }
    QMenu* mnuRightClick = nullptr;

    // Loads the points file strFile into the table (see form1_files.cpp) and
    // marks it saved; the caller makes strFile the current file. On a failure
    // (false) the table holds what was read before it, there is no current
    // file, and rows read count as unsaved.
    bool OpenFile(const QString& strFile);
    // Appends the waypoints of a GPX, CSV or KML file, or the points of a DXF
    // drawing, to the table (form1_interchange.cpp); false after a message
    // when nothing could be read, and when the user cancelled a drawing's
    // placement.
    bool ImportFile(const QString& path);

    // Replaces the serial port (tests install a fake or a port on a pty).
    void setCommPort(std::unique_ptr<CommPort> port);

    // Closes the window through the close handler; returns true when it closed.
    bool requestClose();

    // Runs the table's popup menu. Empty: the menu is shown at the pointer and
    // waited for. Tests install a runner that picks an item instead.
    std::function<void(QMenu*)> popupRunner;

    // ---- files (form1_files.cpp) ----
    // The points file as this window last read or wrote it; Save asks before
    // writing over other content that another program put there since.
    PointsFileStamp pointsFileStamp;
    // ---- table editing (form1_edit.cpp) ----
    QString strCellBuffer;   // last copied cell text (Copy Cell)
    QString strRowBuffer[7]; // last copied row, columns 0 to 6 (Copy Row)
    // Moves pending from a key-down in Text1 to the next key-up; at most one set.
    bool blnMoveLeft = false;
    bool blnMoveRight = false;
    bool blnMoveDown = false;
    bool blnMoveUp = false;
    // Text1's handlers (its events reach them through a filter installed when
    // the editor first opens). KeyCode: 37 left, 38 up, 39 right, 40 down;
    // KeyAscii: 13 Enter, 27 Escape.
    void Text1_KeyDown(int KeyCode, int Shift);
    void Text1_KeyPress(int KeyAscii);
    void Text1_KeyUp(int KeyCode, int Shift);
    void Text1_LostFocus();
    // ---- gps (form1_gps.cpp) ----
    // The receiver link (model, serial number, last download) and its progress
    // window, made on first use and kept as long as this window.
    class GPSDevice& gpsDevice();
    class frmCommunication* communicationWindow();
    // Appends the last download's data lines to the table; reports lines left out.
    void AddReceivedPoints();
    std::shared_ptr<class GPSDevice> gpsDevice_;
    class frmCommunication* frmCommunication_ = nullptr;
    // ---- cad (form1_cad.cpp) ----
    // Insertion options and block rules windows: made and loaded hidden when this
    // window loads, owned by it (Qt parent), shown by "Options" and "Set Rules".
    class frmOptions* optionsWindow = nullptr;
    class frmRules* rulesWindow = nullptr;
    // ---- title, status bar, window place, editing keys (form1_view.cpp) ----
    // Brings the window title ("trip.gps* — Korvel Transfer") and the status
    // bar's counts, files and receiver up to date. Runs after every menu
    // command and, coalesced, after table changes; callable at any time.
    void updateTitleAndStatus();
    // Says in the status bar how many rows a download or an import added.
    void showRowsAdded(int rows, const QString& from);
    // The window's size and place between runs (settings "Window"/"Geometry").
    void restoreWindowPlace();
    void saveWindowPlace() const;
    // ---- report, help, about (form1_help.cpp) ----
    QPointer<class frmAbout> aboutForm; // the About window while it is open

public slots:
    // Load, resize and close (form1.cpp).
    void Form_Load();
    void Form_Resize();
    // Returns true when closing goes on (the user did not cancel).
    bool Form_QueryUnload();

    // Menu-opening handlers: set items' Enabled state before the menu is drawn.
    void mnuFile_Click();
    void mnuEdit_Click();
    void mnuACAD_Click();
    void mnuGPS_Click();

    // Grid notifications.
    void MSFlexGrid1_MouseUp(int Button, int Shift, float x, float y);
    void MSFlexGrid1_EnterCell();

    // Popup commands of the table (form1.cpp).
    void cmdSelectAll_Click();
    void cmdUnselectAll_Click();
    void cmdInvert_Click();
    void cmdRemoveRow_Click();
    void cmdInsertRow_Click();

    // Clipboard and record commands (form1_edit.cpp).
    void cmdCopyCell_Click();
    void cmdPasteCell_Click();
    void cmdCopyRow_Click();
    void cmdPasteRow_Click();
    void cmdAddNewRecord_Click();
    void cmdDeleteRecords_Click();

    // File menu (form1_files.cpp, except Print and Exit).
    void cmdNewDB_Click();
    void cmdOpen_Click();
    void cmdSave_Click();
    void cmdSaveAs_Click();
    void cmdImport_Click(); // form1_interchange.cpp
    void cmdExport_Click();
    void cmdPrintGrid_Click();
    void cmdExit_Click();

    // AutoCAD menu (form1_cad.cpp).
    void cmdInsertAll_Click();
    void cmdInsertSelected_Click();
    void cmdInsertLine_Click();
    // Brings the drawing window forward (starting the drawing engine first when
    // it does not run yet); the window goes on showing the active drawing.
    void cmdShowDrawing_Click();
    void cmdOptions_Click();

    // GPS menu (form1_gps.cpp).
    void cmdConnect_Click();
    void cmdDisconnect_Click();
    void cmdGetWaypoints_Click();
    void cmdGetTrack_Click();
    void cmdDeleteWaypoints_Click();
    void cmdUploadWPs_Click();

    // Help menu (form1_help.cpp).
    void cmdHelp_Click();
    void cmdAbout_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    // ImportFile for a .dxf: asks where the drawing lies when it does not say.
    bool importDrawing(const QString& path);
    // While the table is unsaved, asks "Do you want to save changes?" (Yes, No,
    // Cancel); Yes runs Save, or Save As when there is no current file
    // (form1_files.cpp). True when the caller may drop the table: nothing was
    // unsaved, the answer was No, or the save went through. False on Cancel
    // and on a save that failed, was declined or got no file name.
    bool askToSaveChanges();
    // Writes the table to strCurrentFile (asking first when another program
    // changed that file); true when it was written, else the user was told.
    bool savePoints();
    // Cell editor hook (form1_edit.cpp): open Text1 over the current cell.
    void openCellEditor();
    // Ends an edit still open in Text1 as Enter does, without moving on: its
    // text goes into its cell. False when the text was refused (the user has
    // been told; the cell keeps its text), so the caller stops.
    bool endCellEdit();
    // Insertion options and rules windows (form1_cad.cpp), loaded hidden at load time.
    void loadInsertionWindows();
    // After a command connected to the drawing engine (form1_cad.cpp): the status
    // bar follows the engine's active drawing from now on, and the drawing
    // window comes forward. Returns that window (null without one) so the
    // command's closing message can open over it.
    QWidget* showDrawingAfter(const class ACADStuff& acad);
    // Insert All / Insert Selected (form1_cad.cpp).
    void insertPoints(bool selectedOnly);
    // Closes the serial port on the way out (form1_gps.cpp); shows nothing.
    void closePortOnExit();
    // True, after telling the user, while another GPS command is still running
    // (events run during every exchange, so the menu stays usable meanwhile).
    bool gpsCommandRunning();
    bool gpsBusy_ = false;
    // Status bar, title, fill column and editing keys (form1_view.cpp).
    void setUpView();
    void scheduleStatusUpdate();
    void refreshAfterChange();
    // Opens the cell editor on the current data cell (double-click, F2, a
    // typed character); false when the current cell is not a data cell.
    bool editCurrentCell();
    class QLabel* statusMessage_ = nullptr; // "StatusMessage": the last command's message
    class QLabel* statusRows_ = nullptr;
    class QLabel* statusFile_ = nullptr;
    class QLabel* statusReceiver_ = nullptr;
    class QLabel* statusDrawing_ = nullptr;
    bool statusQueued_ = false;

    QHash<QString, QMenu*> menus_;
    QHash<QString, QAction*> items_;
};
