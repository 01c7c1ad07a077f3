// SPDX-License-Identifier: GPL-3.0-or-later
// Form1: construction, menus, load, resize, closing, the grid's mouse routing and
// the table's popup commands. The other handlers live in form1_<area>.cpp.
#include "shell/form1.h"

#include "cad/drawingwindow.h"
#include "gps/commport.h"
#include "platform/promptowner.h"
#include "platform/prompts.h"
#include "platform/twips.h"
#include "table/flexgrid.h"
#include "table/tablesetup.h"
#include "table/viewkeeper.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QWindow>

namespace {

// One menu item: control name, caption, shortcut. A caption of "-" is a separator.
struct MenuItem {
    const char* name;
    const char* caption;
    const char* shortcut;
};
struct MenuDef {
    const char* name;
    const char* caption;
    std::vector<MenuItem> items;
};

const std::vector<MenuDef>& menuTree() {
    static const std::vector<MenuDef> tree = {
        {"mnuRightClick",
         "Right Click",
         {{"cmdSelectAll", "Select All", nullptr},
          {"cmdUnselectAll", "Unselect All", nullptr},
          {"cmdInvert", "Invert Selection", nullptr},
          {"cmdRemoveRow", "Remove Row", nullptr},
          {"cmdInsertRow", "Insert Row", nullptr},
          {"mnuFileBar1", "-", nullptr},
          {"cmdCopyCell", "Copy Cell", nullptr},
          {"cmdPasteCell", "Paste Cell", nullptr},
          {"mnuFileBar2", "-", nullptr},
          {"cmdCopyRow", "Copy Row", nullptr},
          {"cmdPasteRow", "Paste Row", nullptr}}},
        {"mnuFile",
         "File",
         {{"cmdNewDB", "New", "Ctrl+N"},
          {"cmdOpen", "Open", "Ctrl+O"},
          {"cmdImport", "Import...", nullptr},
          {"cmdSave", "Save", "Ctrl+S"},
          {"cmdSaveAs", "Save As", "Ctrl+Shift+S"},
          {"cmdExport", "Export...", nullptr},
          {"mnuFileBar0", "-", nullptr},
          {"cmdPrintGrid", "Print", "Ctrl+P"},
          {"cmdExit", "Exit", "Ctrl+Q"}}},
        {"mnuEdit",
         "Edit",
         {{"cmdAddNewRecord", "Add New Row", "Ctrl+A"},
          {"cmdDeleteRecords", "Delete Selected Rows", "Ctrl+D"}}},
        {"mnuACAD",
         "AutoCAD",
         {{"cmdInsertAll", "Insert All Into DWG", nullptr},
          {"cmdInsertSelected", "Insert Selected Into DWG", nullptr},
          {"cmdInsertLine", "Insert a Line From Selected Points", nullptr},
          {"cmdShowDrawing", "Show Drawing", nullptr},
          {"cmdOptions", "Options", nullptr}}},
        {"mnuGPS",
         "GPS",
         {{"cmdConnect", "Connect to GPS", nullptr},
          {"cmdDisconnect", "Disconnect GPS", nullptr},
          {"mnuFileBar3", "-", nullptr},
          {"cmdGetWaypoints", "Get Waypoints", nullptr},
          {"cmdGetTrack", "Get Track", nullptr},
          {"cmdDeleteWaypoints", "Delete Waypoints", nullptr},
          {"mnuFileBar4", "-", nullptr},
          {"cmdUploadWPs", "Upload Selected Waypoints", nullptr}}},
        {"mnuHelp",
         "Help",
         {{"cmdHelp", "Help", "F1"}, {"mnuFileBar5", "-", nullptr}, {"cmdAbout", "About Korvel", nullptr}}},
    };
    return tree;
}

// The access key (Alt+letter) of a menu or item: which letter of its caption
// is underlined. The captions keep their letters; only the marker is added.
const QHash<QString, QString>& accessKeys() {
    static const QHash<QString, QString> keys = {
        {"mnuFile", "&File"},
        {"mnuEdit", "&Edit"},
        {"mnuACAD", "&AutoCAD"},
        {"mnuGPS", "&GPS"},
        {"mnuHelp", "&Help"},
        {"cmdSelectAll", "&Select All"},
        {"cmdUnselectAll", "&Unselect All"},
        {"cmdInvert", "&Invert Selection"},
        {"cmdRemoveRow", "&Remove Row"},
        {"cmdInsertRow", "Insert Ro&w"},
        {"cmdCopyCell", "&Copy Cell"},
        {"cmdPasteCell", "&Paste Cell"},
        {"cmdCopyRow", "C&opy Row"},
        {"cmdPasteRow", "P&aste Row"},
        {"cmdNewDB", "&New"},
        {"cmdOpen", "&Open"},
        {"cmdImport", "&Import..."},
        {"cmdSave", "&Save"},
        {"cmdSaveAs", "Save &As"},
        {"cmdExport", "&Export..."},
        {"cmdPrintGrid", "&Print"},
        {"cmdExit", "E&xit"},
        {"cmdAddNewRecord", "&Add New Row"},
        {"cmdDeleteRecords", "&Delete Selected Rows"},
        {"cmdInsertAll", "Insert &All Into DWG"},
        {"cmdInsertSelected", "Insert &Selected Into DWG"},
        {"cmdInsertLine", "Insert a &Line From Selected Points"},
        {"cmdShowDrawing", "Show &Drawing"},
        {"cmdOptions", "&Options"},
        {"cmdConnect", "&Connect to GPS"},
        {"cmdDisconnect", "&Disconnect GPS"},
        {"cmdGetWaypoints", "Get &Waypoints"},
        {"cmdGetTrack", "Get &Track"},
        {"cmdDeleteWaypoints", "D&elete Waypoints"},
        {"cmdUploadWPs", "&Upload Selected Waypoints"},
        {"cmdHelp", "&Help"},
        {"cmdAbout", "&About Korvel"},
    };
    return keys;
}

// The caption as shown: with its access key when it has one. A marker that
// would change the caption's letters is a slip in the table above: the
// caption then shows without it.
QString shownCaption(const char* name, const char* caption) {
    const QString plain = QString::fromLatin1(caption);
    const QString keyed = accessKeys().value(QString::fromLatin1(name));
    return QString(keyed).remove(QLatin1Char('&')) == plain && !keyed.isEmpty() ? keyed : plain;
}

} // namespace

Form1::Form1(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Korvel Transfer"));
    auto* client = new QWidget(this);
    setCentralWidget(client);
    client->installEventFilter(this);

    // Made after client, so deleted after the grid inside it (children go in
    // the order they were made): the grid never outlives its rows.
    waypointRows = new WaypointRows(this);
    MSFlexGrid1 = new FlexGrid(waypointRows, client);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    MSFlexGrid1->move(0, 0);

    Text1 = new QLineEdit(client);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(TwipsToPixels(2040), TwipsToPixels(120), TwipsToPixels(1215), TwipsToPixels(285));
    Text1->setText(QStringLiteral("Text1"));
    Text1->setVisible(false);

    buildMenus();
    connect(MSFlexGrid1, &FlexGrid::MouseUp, this, &Form1::MSFlexGrid1_MouseUp);
    connect(MSFlexGrid1, &FlexGrid::EnterCell, this, &Form1::MSFlexGrid1_EnterCell);

    setUpView();
    // Client area at design: 5355 twips high; wide enough for every column of
    // the table, its frame and a vertical scroll bar.
    resize(TwipsToPixels(12300), TwipsToPixels(5355) + menuBar()->sizeHint().height());
    SetPromptParent(this);
}

Form1::~Form1() = default;

void Form1::buildMenus() {
    for (const MenuDef& def : menuTree()) {
        const QString menuName = QString::fromLatin1(def.name);
        QMenu* m = nullptr;
        if (menuName == QLatin1String("mnuRightClick")) {
            m = new QMenu(QString::fromLatin1(def.caption), this);
            mnuRightClick = m;
        } else {
            m = menuBar()->addMenu(shownCaption(def.name, def.caption));
        }
        m->setObjectName(menuName);
        menus_.insert(menuName, m);
        for (const MenuItem& it : def.items) {
            QAction* a = nullptr;
            if (QLatin1String(it.caption) == QLatin1String("-")) {
                a = m->addSeparator();
            } else {
                a = m->addAction(shownCaption(it.name, it.caption));
                if (it.shortcut)
                    a->setShortcut(QKeySequence(QString::fromLatin1(it.shortcut)));
                // Handlers are slots named after the control: cmdSave -> cmdSave_Click().
                const QByteArray slot = QByteArray(it.name) + "_Click";
                connect(a, &QAction::triggered, this, [this, slot] {
                    QMetaObject::invokeMethod(this, slot.constData(), Qt::DirectConnection);
                });
            }
            a->setObjectName(QString::fromLatin1(it.name));
            items_.insert(QString::fromLatin1(it.name), a);
        }
    }
    connect(menus_.value("mnuFile"), &QMenu::aboutToShow, this, &Form1::mnuFile_Click);
    connect(menus_.value("mnuEdit"), &QMenu::aboutToShow, this, &Form1::mnuEdit_Click);
    connect(menus_.value("mnuACAD"), &QMenu::aboutToShow, this, &Form1::mnuACAD_Click);
    connect(menus_.value("mnuGPS"), &QMenu::aboutToShow, this, &Form1::mnuGPS_Click);
}

// ---------------------------------------------------------------- load, resize, close

void Form1::Form_Load() {
    SetUpEmptyTable(*MSFlexGrid1);
    loadInsertionWindows();
    blnSaved = true;
    Form_Resize();
}

void Form1::Form_Resize() {
    if (isMinimized())
        return;
    // Outer measures: the frame and title bar count, as the window's own size did.
    const QRect outer = frameGeometry();
    const int widthTwips = PixelsToTwips(outer.width()) - 100;
    // The classic 700 twips stood for the caption, menu bar and borders above
    // and below the table. This window's own (title bar, frame, menu bar,
    // status bar, which may grow to two lines for a long message) come off
    // instead, so the table reaches down to the status bar, and its height
    // still follows the window's one for one.
    // What is left is the client area's height.
    const int heightPixels = centralWidget()->height();
    // A window smaller than the margins leaves an empty table, never a negative size.
    MSFlexGrid1->resize(TwipsToPixels(qMax(0, widthTwips)), qMax(0, heightPixels));
}

void Form1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    // The client area also changes height without the window: when the status
    // bar takes a second line for a long message, or gives it back.
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        Form_Resize();
    return QMainWindow::eventFilter(watched, event);
}

void Form1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

bool Form1::Form_QueryUnload() {
    // An edit still open is part of the table to be saved. A save that failed
    // or a Save As with no file chosen keeps the window open, so unsaved points
    // are never lost without the user saying No.
    if (!endCellEdit() || !askToSaveChanges())
        return false;
    // Drawing changes that cannot be written are settled by the user now.
    DrawingWindow::settleUnsavedDrawing();
    closePortOnExit();
    return true;
}

void Form1::closeEvent(QCloseEvent* event) {
    if (!Form_QueryUnload()) {
        event->ignore();
        return;
    }
    event->accept();
    saveWindowPlace();
    // End the program at once: every other window goes with the main one,
    // without its own close handling.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible())
            w->hide();
    QCoreApplication::quit();
}

bool Form1::requestClose() {
    return close();
}

void Form1::cmdExit_Click() {
    close();
}

// ---------------------------------------------------------------- menu-opening rules

namespace {
void setItemsEnabled(const Form1* f, std::initializer_list<const char*> names, bool on) {
    for (const char* n : names)
        if (QAction* a = f->item(QString::fromLatin1(n)))
            a->setEnabled(on);
}
} // namespace

void Form1::mnuFile_Click() {
    setItemsEnabled(this, {"cmdSave", "cmdSaveAs"}, MSFlexGrid1->Rows() >= 2);
}

void Form1::mnuEdit_Click() {
    setItemsEnabled(this, {"cmdDeleteRecords", "cmdInsertAll", "cmdInsertLine", "cmdInsertSelected"},
                    MSFlexGrid1->Rows() >= 2);
}

void Form1::mnuACAD_Click() {
    setItemsEnabled(this, {"cmdDeleteRecords", "cmdInsertAll", "cmdInsertLine", "cmdInsertSelected"},
                    MSFlexGrid1->Rows() >= 2);
    setItemsEnabled(this, {"cmdOptions"}, true);
}

void Form1::mnuGPS_Click() {
    // While a GPS command runs (its progress window is up) no other may start.
    const bool open = MSComm1 && MSComm1->PortOpen() && !gpsBusy_;
    setItemsEnabled(this, {"cmdDisconnect", "cmdGetWaypoints", "cmdGetTrack"}, open);
    setItemsEnabled(this, {"cmdDeleteWaypoints", "cmdUploadWPs"}, open && MSFlexGrid1->Rows() >= 2);
}

// ---------------------------------------------------------------- grid notifications

void Form1::MSFlexGrid1_MouseUp(int Button, int Shift, float x, float y) {
    Q_UNUSED(Shift);
    Q_UNUSED(x);
    Q_UNUSED(y);
    FlexGrid& grid = *MSFlexGrid1;
    if (grid.MouseRow() < 1)
        return;
    if (Button == 2) {
        if (Text1->isVisible())
            Text1->hide();
        intCurRow = grid.MouseRow();
        intCurCol = grid.MouseCol();
        if (popupRunner)
            popupRunner(mnuRightClick);
        else
            mnuRightClick->exec(QCursor::pos());
        blnEditReady = false;
        return;
    }
    if (grid.MouseCol() == 0) {
        SetMark(grid, grid.MouseRow(), !TestMark(grid, grid.MouseRow()));
        return;
    }
    blnEditReady = true;
}

void Form1::MSFlexGrid1_EnterCell() {
    if (!blnEditReady)
        return;
    const FlexGrid& grid = *MSFlexGrid1;
    if (grid.MouseRow() < 1 || grid.MouseCol() < 1)
        return;
    intCurRow = grid.Row();
    intCurCol = grid.Col();
    openCellEditor();
}

// ---------------------------------------------------------------- popup commands

void Form1::cmdSelectAll_Click() {
    const TableViewKeeper keep(*MSFlexGrid1);
    SelectAll(*MSFlexGrid1);
}
void Form1::cmdUnselectAll_Click() {
    const TableViewKeeper keep(*MSFlexGrid1);
    UnselectAll(*MSFlexGrid1);
}
void Form1::cmdInvert_Click() {
    const TableViewKeeper keep(*MSFlexGrid1);
    InvertSelection(*MSFlexGrid1);
}

void Form1::cmdInsertRow_Click() {
    MSFlexGrid1->setRows(MSFlexGrid1->Rows() + 1);
    blnSaved = false;
}

void Form1::cmdRemoveRow_Click() {
    RemoveRow(*MSFlexGrid1, intCurRow);
    blnSaved = false;
}
