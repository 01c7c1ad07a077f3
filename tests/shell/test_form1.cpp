// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: menu tree, menu-opening rules, mouse routing, popup
// commands, resize rule, closing, start-up.
#include "gps/commport.h"
#include "shell/form1.h"
#include "shell/modmain.h"
#include "support/scriptedprompts.h"
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A port that only knows whether it is open.
class OpenStatePort final : public CommPort {
public:
    explicit OpenStatePort(bool open) : open_(open) {}
    bool PortOpen() const override { return open_; }
    void setPortOpen(bool open) override { open_ = open; }

protected:
    void writeBytes(const QByteArray&) override {}
    QByteArray readAvailable() override { return {}; }

private:
    bool open_;
};

struct Loaded {
    Loaded() {
        LoadForm(&form);
        form.resize(900, 500);
    }
    FlexGrid& grid() { return *form.MSFlexGrid1; }
    void rows(int n) {
        grid().setRows(n + 1);
        for (int r = 1; r <= n; ++r) {
            grid().setTextMatrix(r, colName, QStringLiteral("WP%1").arg(r));
            grid().setTextMatrix(r, colLatitude, QStringLiteral("35.5"));
            grid().setTextMatrix(r, colLongitude, QStringLiteral("-90.25"));
        }
    }
    bool enabled(const char* name) { return form.item(QString::fromLatin1(name))->isEnabled(); }
    Form1 form;
};

QStringList itemNames(const QMenu* m) {
    QStringList out;
    for (const QAction* a : m->actions())
        out << a->objectName() + (a->isSeparator() ? "|-" : "|" + QString(a->text()).remove('&')) +
                   (a->shortcut().isEmpty() ? QString() : "|" + a->shortcut().toString());
    return out;
}

} // namespace

TEST(Form1Menus, TreeNamesCaptionsOrderAndShortcuts) {
    Loaded f;
    EXPECT_EQ(f.form.windowTitle(), QStringLiteral("Korvel Transfer"));
    QStringList bar;
    for (QAction* a : f.form.menuBar()->actions())
        bar << a->menu()->objectName() + "|" + QString(a->text()).remove('&');
    EXPECT_EQ(bar,
              QStringList({"mnuFile|File", "mnuEdit|Edit", "mnuACAD|AutoCAD", "mnuGPS|GPS", "mnuHelp|Help"}));
    EXPECT_EQ(itemNames(f.form.mnuRightClick),
              QStringList({"cmdSelectAll|Select All", "cmdUnselectAll|Unselect All",
                           "cmdInvert|Invert Selection", "cmdRemoveRow|Remove Row", "cmdInsertRow|Insert Row",
                           "mnuFileBar1|-", "cmdCopyCell|Copy Cell", "cmdPasteCell|Paste Cell",
                           "mnuFileBar2|-", "cmdCopyRow|Copy Row", "cmdPasteRow|Paste Row"}));
    EXPECT_EQ(itemNames(f.form.menu("mnuFile")),
              QStringList({"cmdNewDB|New|Ctrl+N", "cmdOpen|Open|Ctrl+O", "cmdImport|Import...",
                           "cmdSave|Save|Ctrl+S", "cmdSaveAs|Save As|Ctrl+Shift+S", "cmdExport|Export...",
                           "mnuFileBar0|-", "cmdPrintGrid|Print|Ctrl+P", "cmdExit|Exit|Ctrl+Q"}));
    EXPECT_EQ(
        itemNames(f.form.menu("mnuEdit")),
        QStringList({"cmdAddNewRecord|Add New Row|Ctrl+A", "cmdDeleteRecords|Delete Selected Rows|Ctrl+D"}));
    EXPECT_EQ(itemNames(f.form.menu("mnuACAD")),
              QStringList({"cmdInsertAll|Insert All Into DWG", "cmdInsertSelected|Insert Selected Into DWG",
                           "cmdInsertLine|Insert a Line From Selected Points", "cmdShowDrawing|Show Drawing",
                           "cmdOptions|Options"}));
    EXPECT_EQ(itemNames(f.form.menu("mnuGPS")),
              QStringList({"cmdConnect|Connect to GPS", "cmdDisconnect|Disconnect GPS", "mnuFileBar3|-",
                           "cmdGetWaypoints|Get Waypoints", "cmdGetTrack|Get Track",
                           "cmdDeleteWaypoints|Delete Waypoints", "mnuFileBar4|-",
                           "cmdUploadWPs|Upload Selected Waypoints"}));
    EXPECT_EQ(itemNames(f.form.menu("mnuHelp")),
              QStringList({"cmdHelp|Help|F1", "mnuFileBar5|-", "cmdAbout|About Korvel"}));
    // Nothing starts disabled or checked. Every menu and item has one access
    // key (Alt+letter), and no two in one menu share it.
    const auto expectKeys = [](const QList<QAction*>& actions, const QString& where) {
        QSet<QChar> keys;
        for (QAction* a : actions) {
            if (a->isSeparator())
                continue;
            const QString text = a->text();
            ASSERT_EQ(text.count('&'), 1) << text.toStdString();
            const QChar key = text.at(text.indexOf('&') + 1).toLower();
            EXPECT_FALSE(keys.contains(key)) << where.toStdString() << ": " << text.toStdString();
            keys.insert(key);
        }
    };
    expectKeys(f.form.menuBar()->actions(), "menu bar");
    for (QMenu* m : f.form.findChildren<QMenu*>()) {
        expectKeys(m->actions(), m->objectName());
        for (QAction* a : m->actions()) {
            EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
            EXPECT_FALSE(a->isChecked());
        }
    }
}

TEST(Form1Menus, OpeningRulesFollowRowCountAndPortState) {
    Loaded f;
    // File: Save and Save As need a waypoint; Print never changes.
    emit f.form.menu("mnuFile")->aboutToShow();
    EXPECT_FALSE(f.enabled("cmdSave"));
    EXPECT_FALSE(f.enabled("cmdSaveAs"));
    EXPECT_TRUE(f.enabled("cmdPrintGrid"));
    f.rows(1);
    f.form.mnuFile_Click();
    EXPECT_TRUE(f.enabled("cmdSave"));
    EXPECT_TRUE(f.enabled("cmdSaveAs"));

    // Edit and AutoCAD share the insert commands: the last opened decides.
    f.grid().setRows(1);
    f.form.mnuEdit_Click();
    for (const char* n : {"cmdDeleteRecords", "cmdInsertAll", "cmdInsertLine", "cmdInsertSelected"})
        EXPECT_FALSE(f.enabled(n)) << n;
    EXPECT_TRUE(f.enabled("cmdAddNewRecord"));
    f.form.mnuACAD_Click();
    EXPECT_TRUE(f.enabled("cmdOptions"));
    EXPECT_TRUE(f.enabled("cmdShowDrawing")) << "the drawing can be looked at without waypoints";
    EXPECT_FALSE(f.enabled("cmdInsertAll"));
    f.rows(2);
    f.form.mnuACAD_Click();
    for (const char* n :
         {"cmdDeleteRecords", "cmdInsertAll", "cmdInsertLine", "cmdInsertSelected", "cmdOptions"})
        EXPECT_TRUE(f.enabled(n)) << n;

    // GPS: closed port greys everything but Connect.
    const char* gpsItems[] = {"cmdDisconnect", "cmdGetWaypoints", "cmdGetTrack", "cmdDeleteWaypoints",
                              "cmdUploadWPs"};
    f.form.setCommPort(std::make_unique<OpenStatePort>(false));
    f.form.mnuGPS_Click();
    for (const char* n : gpsItems)
        EXPECT_FALSE(f.enabled(n)) << n;
    EXPECT_TRUE(f.enabled("cmdConnect"));
    f.form.setCommPort(std::make_unique<OpenStatePort>(true));
    f.form.mnuGPS_Click();
    for (const char* n : gpsItems)
        EXPECT_TRUE(f.enabled(n)) << n;
    f.grid().setRows(1);
    f.form.mnuGPS_Click();
    EXPECT_TRUE(f.enabled("cmdGetTrack"));
    EXPECT_FALSE(f.enabled("cmdDeleteWaypoints"));
    EXPECT_FALSE(f.enabled("cmdUploadWPs"));
}

TEST(Form1Table, MouseRoutingMarksArmsAndPopsUp) {
    Loaded f;
    f.rows(4);
    QStringList popups;
    // The cell is stored before the menu shows: its commands act on it.
    f.form.popupRunner = [&](QMenu* m) {
        popups << QStringLiteral("%1 %2,%3").arg(m->objectName()).arg(f.form.intCurRow).arg(f.form.intCurCol);
    };
    FlexGrid& g = f.grid();

    // Header row: nothing, not even the popup.
    g.setMouseCell(0, 2);
    f.form.MSFlexGrid1_MouseUp(2, 0, 0, 0);
    f.form.MSFlexGrid1_MouseUp(1, 0, 0, 0);
    EXPECT_TRUE(popups.isEmpty());
    EXPECT_FALSE(f.form.blnEditReady);

    // Left or middle on column 0 toggles that row's mark only; saved state unchanged.
    g.setMouseCell(3, 0);
    f.form.MSFlexGrid1_MouseUp(1, 0, 0, 0);
    EXPECT_TRUE(g.isMarked(3));
    f.form.MSFlexGrid1_MouseUp(4, 0, 0, 0);
    EXPECT_FALSE(g.isMarked(3));
    f.form.MSFlexGrid1_MouseUp(1, 0, 0, 0);
    EXPECT_TRUE(g.isMarked(3));
    EXPECT_FALSE(g.isMarked(2));
    EXPECT_TRUE(f.form.blnSaved);
    EXPECT_FALSE(f.form.blnEditReady);

    // Left on a data cell arms the editor.
    g.setMouseCell(2, 4);
    f.form.MSFlexGrid1_MouseUp(1, 0, 0, 0);
    EXPECT_TRUE(f.form.blnEditReady);

    // Right click (even on column 0) stores the cell, hides the editor, pops up, disarms.
    f.form.Text1->show();
    g.setMouseCell(4, 0);
    f.form.MSFlexGrid1_MouseUp(2, 0, 0, 0);
    EXPECT_EQ(popups, QStringList{"mnuRightClick 4,0"});
    EXPECT_EQ(f.form.intCurRow, 4);
    EXPECT_EQ(f.form.intCurCol, 0);
    EXPECT_FALSE(f.form.Text1->isVisible());
    EXPECT_FALSE(f.form.blnEditReady);
}

TEST(Form1Table, CellEnteredOpensNothingUnlessArmedAndOverData) {
    Loaded f;
    f.rows(3);
    FlexGrid& g = f.grid();
    g.setMouseCell(2, 2);
    g.setRow(2);
    g.setCol(2);
    EXPECT_EQ(f.form.intCurRow, 0); // not armed: nothing stored
    f.form.blnEditReady = true;
    g.setMouseCell(0, 2); // pointer over the header
    g.setRow(3);
    EXPECT_EQ(f.form.intCurRow, 0);
    g.setMouseCell(3, 3);
    g.setCol(3);
    EXPECT_EQ(f.form.intCurRow, 3);
    EXPECT_EQ(f.form.intCurCol, 3);
}

TEST(Form1Table, PopupRowCommandsCountAsChangesMarksDoNot) {
    Loaded f;
    f.rows(5);
    f.form.cmdSelectAll_Click();
    f.form.cmdInvert_Click();
    f.form.cmdInvert_Click();
    f.form.cmdUnselectAll_Click();
    EXPECT_TRUE(f.form.blnSaved);

    f.form.cmdInsertRow_Click();
    EXPECT_EQ(f.grid().Rows(), 7);
    EXPECT_EQ(f.grid().TextMatrix(6, colName), QString());
    EXPECT_FALSE(f.grid().isMarked(6));
    EXPECT_FALSE(f.form.blnSaved);

    f.form.blnSaved = true;
    f.form.intCurRow = 2;
    f.form.cmdRemoveRow_Click();
    EXPECT_EQ(f.grid().Rows(), 6);
    EXPECT_EQ(f.grid().TextMatrix(2, colName), QStringLiteral("WP3"));
    EXPECT_FALSE(f.form.blnSaved);
}

TEST(Form1Table, PopupCommandsReachRowsPast32767) {
    Loaded f;
    f.rows(40000);
    f.form.popupRunner = [&](QMenu*) {
        f.form.cmdCopyRow_Click();
        f.form.cmdRemoveRow_Click();
    };
    f.grid().setMouseCell(33000, colLatitude);
    f.form.MSFlexGrid1_MouseUp(2, 0, 0, 0);
    EXPECT_EQ(f.form.intCurRow, 33000);
    EXPECT_EQ(f.form.strRowBuffer[colName], QStringLiteral("WP33000"));
    EXPECT_EQ(f.grid().Rows(), 40000);
    EXPECT_EQ(f.grid().TextMatrix(33000, colName), QStringLiteral("WP33001"));
}

TEST(Form1Layout, ResizeRuleKeepsTheCornerAndClampsAtZero) {
    Loaded f;
    f.form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.form));
    // 100 and 700 twips less than the window: 6.67 and 46.67 pixels, which
    // round to 7 and 47.
    const auto expectRule = [&] {
        const QRect outer = f.form.frameGeometry();
        EXPECT_EQ(f.grid().width(), qMax(0, outer.width() - 7));
        // In place of the classic 700 twips, the window's own menu bar, status
        // bar and frame come off: the table reaches the status bar.
        EXPECT_EQ(f.grid().height(), f.form.centralWidget()->height());
        EXPECT_EQ(f.grid().pos(), QPoint(0, 0));
    };
    f.form.resize(800, 400);
    expectRule();
    const int before = f.grid().width();
    const int height = f.grid().height();
    f.form.resize(800 + 100, 400 + 60); // 1500 twips wider, 900 higher
    EXPECT_EQ(f.grid().width(), before + 100);
    EXPECT_EQ(f.grid().height(), height + 60);
    expectRule();
    f.form.resize(3, 3);
    expectRule();
}

TEST(Form1Close, CancelKeepsEverythingNoClosesAndShutsThePort) {
    Loaded f;
    f.rows(1);
    f.form.blnSaved = false;
    f.form.setCommPort(std::make_unique<OpenStatePort>(true));
    {
        ScriptedPrompts prompts;
        prompts.answerMessage(vbCancel);
        EXPECT_FALSE(f.form.Form_QueryUnload());
        ASSERT_EQ(prompts.prompts().size(), 1);
        EXPECT_EQ(prompts.prompts()[0].text, QStringLiteral("Do you want to save changes?"));
        // The line under the question says which table it is about.
        EXPECT_EQ(prompts.prompts()[0].detail,
                  QStringLiteral("The table is untitled: it has not been saved to a file yet."));
        EXPECT_EQ(prompts.prompts()[0].title, QStringLiteral("Korvel Transfer"));
        EXPECT_EQ(prompts.prompts()[0].buttons & 0xF, int(vbYesNoCancel));
        EXPECT_TRUE(f.form.MSComm1->PortOpen());
        EXPECT_EQ(f.grid().Rows(), 2);
    }
    {
        ScriptedPrompts prompts;
        prompts.answerMessage(vbCancel);
        f.form.strCurrentFile = QStringLiteral("/data/trips/trip1.gps");
        EXPECT_FALSE(f.form.Form_QueryUnload());
        ASSERT_EQ(prompts.prompts().size(), 1);
        EXPECT_EQ(prompts.prompts()[0].text, QStringLiteral("Do you want to save changes?"));
        EXPECT_EQ(prompts.prompts()[0].detail, QStringLiteral("trip1.gps has unsaved changes."));
    }
    {
        ScriptedPrompts prompts;
        prompts.answerMessage(vbNo);
        EXPECT_TRUE(f.form.Form_QueryUnload());
        EXPECT_FALSE(f.form.MSComm1->PortOpen());
    }
    // Saved: no question at all.
    f.form.blnSaved = true;
    ScriptedPrompts none;
    EXPECT_TRUE(f.form.Form_QueryUnload());
}

TEST(Form1Close, YesSavesToTheCurrentFileOrAsksForOne) {
    QTemporaryDir dir;
    {
        Loaded f;
        f.rows(2);
        f.form.blnSaved = false;
        f.form.strCurrentFile = dir.filePath("current.gps");
        ScriptedPrompts prompts;
        prompts.answerMessage(vbYes);
        EXPECT_TRUE(f.form.Form_QueryUnload());
        EXPECT_TRUE(QFile::exists(dir.filePath("current.gps")));
        EXPECT_TRUE(f.form.blnSaved);
    }
    {
        Loaded f;
        f.rows(2);
        f.form.blnSaved = false;
        ScriptedPrompts prompts;
        prompts.answerMessage(vbYes).answerFile(dir.filePath("chosen"));
        EXPECT_TRUE(f.form.Form_QueryUnload());
        EXPECT_TRUE(QFile::exists(dir.filePath("chosen.gps")));
    }
    {
        // Yes, then no file chosen: nothing was saved, so the window stays
        // open with the table (closing used to drop it).
        Loaded f;
        f.rows(2);
        f.form.blnSaved = false;
        ScriptedPrompts prompts;
        prompts.answerMessage(vbYes).answerFile(QString());
        EXPECT_FALSE(f.form.Form_QueryUnload());
        EXPECT_EQ(f.grid().Rows(), 3);
        EXPECT_FALSE(f.form.blnSaved);
    }
}

TEST(Form1Close, FailedSaveKeepsTheWindowOpen) {
    Loaded f;
    f.rows(2);
    f.form.blnSaved = false;
    f.form.strCurrentFile = QStringLiteral("/nonexistent-folder/trip.gps");
    ScriptedPrompts prompts;
    prompts.answerMessage(vbYes);
    prompts.setAnswerMessagesWithOk(true); // the save's own failure message
    EXPECT_FALSE(f.form.Form_QueryUnload());
    EXPECT_EQ(prompts.messages().size(), 2);
    EXPECT_FALSE(f.form.blnSaved);
    EXPECT_EQ(f.grid().Rows(), 3);
}

TEST(StartUp, CommandLinePaths) {
    EXPECT_EQ(CommandLinePath(QString()), QString());
    EXPECT_EQ(CommandLinePath(QStringLiteral("/data/trip.gps")), QStringLiteral("/data/trip.gps"));
    EXPECT_EQ(CommandLinePath(QStringLiteral("\"/data/trip.gps\"")), QStringLiteral("/data/trip.gps"));
    EXPECT_EQ(CommandLinePath(QStringLiteral("\"a.g\"")), QString());               // 5 characters: ignored
    EXPECT_EQ(CommandLinePath(QStringLiteral("\"ab.g\"")), QStringLiteral("ab.g")); // 6: cut to 4
    EXPECT_EQ(CommandLineText({QStringLiteral("/my"), QStringLiteral("trip.gps")}),
              QStringLiteral("/my trip.gps"));
}

// A points file named on the command line is the current file (it used to
// open untitled, so Save asked for a name); a file of another kind is not.
TEST(StartUp, PointsFileFromTheCommandLineIsTheCurrentFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("start.gps");
    const QString other = dir.filePath("start.dat");
    {
        Loaded f;
        f.rows(3);
        f.form.strCurrentFile = path;
        f.form.cmdSave_Click();
        ASSERT_TRUE(QFile::copy(path, other));
    }
    std::unique_ptr<Form1> form(StartUp({path}));
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->MSFlexGrid1->Rows(), 4);
    EXPECT_EQ(form->MSFlexGrid1->TextMatrix(3, colName), QStringLiteral("WP3"));
    EXPECT_EQ(form->strCurrentFile, path);
    EXPECT_TRUE(form->blnSaved);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("start.gps \u2014 Korvel Transfer"));
    EXPECT_EQ(form->findChild<QLabel*>("StatusFile")->text(), QStringLiteral("File: start.gps"));
    // Save writes the change back to it without asking.
    form->MSFlexGrid1->setTextMatrix(3, colName, QStringLiteral("WP9"));
    form->blnSaved = false;
    {
        ScriptedPrompts none;
        form->cmdSave_Click();
    }
    EXPECT_TRUE(form->blnSaved);
    std::unique_ptr<Form1> reread(StartUp({path}));
    EXPECT_EQ(reread->MSFlexGrid1->TextMatrix(3, colName), QStringLiteral("WP9"));

    std::unique_ptr<Form1> untitled(StartUp({other}));
    EXPECT_EQ(untitled->MSFlexGrid1->Rows(), 4);
    EXPECT_EQ(untitled->strCurrentFile, QString());
}

// A GPX file named on the command line is imported into an untitled table:
// its waypoints are the rows, and Save asks for a name instead of writing
// points over the GPX file.
TEST(StartUp, GpxFileFromTheCommandLineIsImportedUntitled) {
    QTemporaryDir dir;
    const QString path = dir.filePath("start.gpx");
    const QByteArray gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"test\" "
                           "xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
                           "<wpt lat=\"35.5\" lon=\"-90.25\"><name>Gate</name><desc>east gate</desc></wpt>\n"
                           "<wpt lat=\"-1.125\" lon=\"2.5\"><name>Well</name></wpt>\n</gpx>\n";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(gpx);
    }
    std::unique_ptr<Form1> form(StartUp({path}));
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->isVisible());
    const FlexGrid& grid = *form->MSFlexGrid1;
    ASSERT_EQ(grid.Rows(), 3);
    EXPECT_EQ(QStringList({grid.TextMatrix(1, colName), grid.TextMatrix(1, colLatitude),
                           grid.TextMatrix(1, colLongitude), grid.TextMatrix(1, colMessage)}),
              QStringList({"Gate", "35.5", "-90.25", "east gate"}));
    EXPECT_EQ(QStringList({grid.TextMatrix(2, colName), grid.TextMatrix(2, colLatitude),
                           grid.TextMatrix(2, colLongitude)}),
              QStringList({"Well", "-1.125", "2.5"}));
    EXPECT_EQ(form->strCurrentFile, QString());
    ScriptedPrompts prompts;
    prompts.answerFile(QString()); // Cancel
    form->blnSaved = false;
    form->cmdSave_Click();
    EXPECT_EQ(prompts.prompts().size(), 1);
    EXPECT_FALSE(form->blnSaved);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), gpx);
}
