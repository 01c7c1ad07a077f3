// SPDX-License-Identifier: GPL-3.0-or-later
// The in-place cell editor on the main window, driven by real mouse clicks on
// the grid and key events on Text1 (offscreen), plus its commit rules.
#include "platform/twips.h"
#include "shell/form1.h"
#include "shell/modmain.h"
#include "support/scriptedprompts.h"
#include "table/celleditor.h"
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString kLatitudeExample = QStringLiteral("35N16'35\"");

// A shown, active main window whose table holds n rows: name "WP<r>",
// latitude "3<r>.5", longitude "-9<r>.25", elevation, message "M<r>", icon "a".
struct Editing {
    explicit Editing(int n) {
        LoadForm(&form);
        form.resize(1000, 500);
        FlexGrid& g = grid();
        g.setRows(n + 1);
        for (int r = 1; r <= n; ++r) {
            g.setTextMatrix(r, colName, QStringLiteral("WP%1").arg(r));
            g.setTextMatrix(r, colLatitude, QStringLiteral("3%1.5").arg(r));
            g.setTextMatrix(r, colLongitude, QStringLiteral("-9%1.25").arg(r));
            g.setTextMatrix(r, colElevation, QStringLiteral("0000028M"));
            g.setTextMatrix(r, colMessage, QStringLiteral("M%1").arg(r));
            g.setTextMatrix(r, colIcon, QStringLiteral("a"));
        }
        form.show();
        QApplication::setActiveWindow(&form);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
    }
    FlexGrid& grid() { return *form.MSFlexGrid1; }
    QLineEdit& text() { return *form.Text1; }
    QPoint cellPoint(int r, int c) { return grid().visualRect(grid().gridModel()->index(r - 1, c)).center(); }
    void click(int r, int c) {
        QTest::mouseClick(grid().viewport(), Qt::LeftButton, {}, cellPoint(r, c));
        QCoreApplication::processEvents();
    }
    // A first click on a data cell only arms the editor; a click on another
    // data cell then opens it there.
    void openOn(int r, int c) {
        click(r, c == 1 ? 2 : 1);
        click(r, c);
        ASSERT_TRUE(text().isVisible());
        ASSERT_EQ(text().text(), grid().TextMatrix(r, c));
        ASSERT_EQ(form.intCurRow, r);
        ASSERT_EQ(form.intCurCol, c);
    }
    void key(Qt::Key k) {
        QTest::keyClick(&text(), k);
        QCoreApplication::processEvents();
    }
    void type(const QString& s) { QTest::keyClicks(&text(), s); }
    bool editingAt(int r, int c) {
        return text().isVisible() && form.intCurRow == r && form.intCurCol == c && grid().Row() == r &&
               grid().Col() == c;
    }
    Form1 form;
};

} // namespace

TEST(CellEditor, OpensOverTheCellWithItsTextSelectedAndFocused) {
    Editing e(3);
    e.openOn(2, 3);
    EXPECT_EQ(e.text().selectedText(), QStringLiteral("-92.25"));
    EXPECT_EQ(e.text().selectionStart(), 0);
    EXPECT_TRUE(e.text().hasFocus());
    // The editor lies on the cell as drawn: same left edge and width (the few
    // twips of the formula are under a pixel), top within a pixel.
    const QRect cell = e.grid().visualRect(e.grid().gridModel()->index(1, 3));
    const QPoint cellTopLeft = e.grid().viewport()->mapTo(e.text().parentWidget(), cell.topLeft());
    EXPECT_NEAR(e.text().x(), cellTopLeft.x(), 1);
    EXPECT_NEAR(e.text().y(), cellTopLeft.y(), 1);
    EXPECT_EQ(e.text().width(), e.grid().columnWidth(colLongitude));
    EXPECT_EQ(e.text().height(), TwipsToPixels(PixelsToTwips(e.grid().rowHeight(1)) - 50));
    EXPECT_TRUE(e.form.blnSaved);
}

TEST(CellEditor, EnterStoresConvertedAngleTextAndWalksDown) {
    Editing e(3);
    e.openOn(1, colLatitude);
    e.type(kLatitudeExample);
    e.key(Qt::Key_Return);
    EXPECT_EQ(e.grid().TextMatrix(1, colLatitude), QStringLiteral("35.2763888888889"));
    // One row down, same column, editor open again there (not two rows: the
    // editor hiding itself is no focus loss).
    EXPECT_TRUE(e.editingAt(2, colLatitude));
    EXPECT_EQ(e.text().selectedText(), QStringLiteral("32.5"));
    // A commit that changes the cell is a change for the closing prompt.
    EXPECT_FALSE(e.form.blnSaved);

    // Enter on the last row commits and closes without moving.
    e.key(Qt::Key_Return);
    EXPECT_TRUE(e.editingAt(3, colLatitude));
    e.type(QStringLiteral("1S30'"));
    e.key(Qt::Key_Return);
    EXPECT_EQ(e.grid().TextMatrix(3, colLatitude), QStringLiteral("-1.5"));
    EXPECT_FALSE(e.text().isVisible());
    EXPECT_EQ(e.grid().Row(), 3);
    EXPECT_EQ(e.form.intCurRow, 3);
}

// An edited cell used to be lost on Exit without a question.
TEST(CellEditor, AnEditThatChangesTheCellIsAChangeForTitleAndExit) {
    Editing e(3);
    e.openOn(2, colLatitude);
    e.type(QStringLiteral("32N30'")); // the 32.5 already there, as angle text
    e.key(Qt::Key_Return);
    EXPECT_TRUE(e.editingAt(3, colLatitude));
    EXPECT_TRUE(e.form.blnSaved);
    e.type(QStringLiteral("1S30'"));
    e.key(Qt::Key_Return);
    EXPECT_FALSE(e.form.blnSaved);
    QCoreApplication::processEvents();
    EXPECT_EQ(e.form.windowTitle(), QStringLiteral("Untitled* \u2014 Korvel Transfer"));
    ScriptedPrompts prompts;
    prompts.answerMessage(vbCancel);
    EXPECT_FALSE(e.form.Form_QueryUnload());
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("Do you want to save changes?")});
}

TEST(CellEditor, ConvertsOnlyAngleColumnsWithTheirHemisphereLetters) {
    struct Case {
        int col;
        QString typed;
        QString stored;
        bool refused = false;
    };
    const Case cases[] = {
        {colLatitude, QStringLiteral("35.5"), QStringLiteral("35.5")},
        {colLongitude, QStringLiteral("90w16'35\""), QStringLiteral("-90.2763888888889")},
        {colLongitude, QStringLiteral("90E30'"), QStringLiteral("90.5")},
        {colName, QStringLiteral("North Gate"), QStringLiteral("North Gate")},
        {colMessage, QStringLiteral("35N16'35\""), QStringLiteral("35N16'35\"")},
        {colLatitude, QStringLiteral("35\u00B016'35\"N"), QStringLiteral("35.2763888888889")},
        {colLongitude, QStringLiteral("90:16:35"), QStringLiteral("90.2763888888889")},
        // The other column's letter, a comma and a number out of range are
        // refused: the cell keeps its text (was stored as typed).
        {colLatitude, QStringLiteral("12E"), QStringLiteral("31.5"), true},
        {colLongitude, QStringLiteral("12n"), QStringLiteral("-91.25"), true},
        {colLatitude, QStringLiteral("35,5"), QStringLiteral("31.5"), true},
        {colLongitude, QStringLiteral("181"), QStringLiteral("-91.25"), true},
    };
    for (const Case& c : cases) {
        Editing e(2);
        e.openOn(1, c.col);
        e.type(c.typed);
        ScriptedPrompts prompts;
        if (c.refused)
            prompts.answerMessage(vbOK);
        e.key(Qt::Key_Return);
        EXPECT_EQ(e.grid().TextMatrix(1, c.col), c.stored) << c.typed.toStdString();
        EXPECT_EQ(prompts.messages().size(), c.refused ? 1 : 0) << c.typed.toStdString();
    }
}

TEST(CellEditor, UnreadableAngleTextIsReportedAndKeepsTheOldText) {
    Editing e(3);
    e.openOn(2, colLatitude);
    e.type(QStringLiteral("3x5N"));
    {
        ScriptedPrompts prompts;
        prompts.answerMessage(vbOK);
        e.key(Qt::Key_Return);
        ASSERT_EQ(prompts.messages().size(), 1);
        EXPECT_TRUE(prompts.messages()[0].startsWith(QStringLiteral("The latitude \"3x5N\" cannot be read")));
        EXPECT_EQ(prompts.prompts()[0].title, QStringLiteral("Korvel Transfer"));
    }
    EXPECT_EQ(e.grid().TextMatrix(2, colLatitude), QStringLiteral("32.5"));
    EXPECT_FALSE(e.text().isVisible());
    EXPECT_EQ(e.grid().Row(), 2);
}

TEST(CellEditor, ArrowsLeaveOnlyFromTheEdgeOfTheText) {
    Editing e(3);
    // Fully selected text: no first arrow leaves the cell.
    for (Qt::Key k : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right}) {
        e.openOn(2, colLongitude);
        e.key(k);
        EXPECT_TRUE(e.editingAt(2, colLongitude)) << k;
        EXPECT_FALSE(e.text().hasSelectedText()) << k;
        e.key(Qt::Key_Escape);
    }

    // Right from the end of the text moves one column right, same row.
    e.openOn(2, colLongitude);
    e.key(Qt::Key_End);
    e.key(Qt::Key_Right);
    EXPECT_TRUE(e.editingAt(2, colElevation));
    // Left: the first press only drops the selection; from the start it leaves.
    e.key(Qt::Key_Left);
    EXPECT_TRUE(e.editingAt(2, colElevation));
    e.key(Qt::Key_Home);
    e.key(Qt::Key_Left);
    EXPECT_TRUE(e.editingAt(2, colLongitude));

    // Down with the caret mid-text jumps to the end first, then leaves.
    e.key(Qt::Key_Home);
    e.key(Qt::Key_Right);
    e.key(Qt::Key_Down);
    EXPECT_TRUE(e.editingAt(2, colLongitude));
    EXPECT_EQ(e.text().cursorPosition(), e.text().text().size());
    e.key(Qt::Key_Down);
    EXPECT_TRUE(e.editingAt(3, colLongitude));
    // Up: to the start, then one row up.
    e.key(Qt::Key_Up);
    EXPECT_TRUE(e.editingAt(3, colLongitude));
    EXPECT_EQ(e.text().cursorPosition(), 0);
    e.key(Qt::Key_Up);
    EXPECT_TRUE(e.editingAt(2, colLongitude));
    // Every cell passed through kept (or got back) its text.
    EXPECT_EQ(e.grid().TextMatrix(2, colLongitude), QStringLiteral("-92.25"));
    EXPECT_EQ(e.grid().TextMatrix(2, colElevation), QStringLiteral("0000028M"));
}

TEST(CellEditor, ArrowsAtTheTableEdgeCommitAndStay) {
    Editing e(3);
    // Right at the end of the text in the Icon column (the last column).
    e.openOn(2, colIcon);
    e.type(QStringLiteral("b"));
    e.key(Qt::Key_Right);
    EXPECT_EQ(e.grid().TextMatrix(2, colIcon), QStringLiteral("b"));
    EXPECT_FALSE(e.text().isVisible());
    EXPECT_EQ(e.grid().Col(), colIcon);

    // Left at the start of the text in the Waypoint column.
    e.openOn(2, colName);
    e.type(QStringLiteral("Gate"));
    e.key(Qt::Key_Home);
    e.key(Qt::Key_Left);
    EXPECT_EQ(e.grid().TextMatrix(2, colName), QStringLiteral("Gate"));
    EXPECT_FALSE(e.text().isVisible());
    EXPECT_EQ(e.grid().Col(), colName);

    // Up in row 1, with angle text converted on the way.
    e.openOn(1, colLatitude);
    e.type(QStringLiteral("10N30'"));
    e.key(Qt::Key_Home);
    e.key(Qt::Key_Up);
    EXPECT_EQ(e.grid().TextMatrix(1, colLatitude), QStringLiteral("10.5"));
    EXPECT_FALSE(e.text().isVisible());
    EXPECT_EQ(e.grid().Row(), 1);
}

TEST(CellEditor, FirstArrowOnAnEmptyCellCommitsAndMoves) {
    Editing e(3);
    e.grid().setTextMatrix(2, colMessage, QString());
    e.openOn(2, colMessage);
    e.key(Qt::Key_Up);
    EXPECT_TRUE(e.editingAt(1, colMessage));
    EXPECT_EQ(e.grid().TextMatrix(2, colMessage), QString());
}

TEST(CellEditor, EscapeAndAnEmptiedEditorLosingFocusKeepTheOldText) {
    Editing e(4);
    e.openOn(2, colName);
    e.type(QStringLiteral("Changed"));
    e.key(Qt::Key_Escape);
    EXPECT_FALSE(e.text().isVisible());
    EXPECT_EQ(e.grid().TextMatrix(2, colName), QStringLiteral("WP2"));
    EXPECT_EQ(e.grid().Row(), 2);

    // Emptied, then a click on another cell: nothing written; the editor opens
    // on the clicked cell.
    e.openOn(2, colName);
    e.key(Qt::Key_Backspace);
    ASSERT_EQ(e.text().text(), QString());
    e.click(4, colMessage);
    EXPECT_EQ(e.grid().TextMatrix(2, colName), QStringLiteral("WP2"));
    EXPECT_EQ(e.grid().TextMatrix(3, colName), QStringLiteral("WP3"));
    EXPECT_TRUE(e.editingAt(4, colMessage));
}

// A menu does not take the editor's focus, so New or Open can replace the
// table under an open editor; a later Enter must not land in the header.
// New stores the open edit first (it used to drop it), so its question about
// unsaved changes covers the text being typed.
TEST(CellEditor, NewAndOpenCloseAnOpenEditorUnwritten) {
    {
        Editing e(3);
        e.openOn(2, colName);
        e.type(QStringLiteral("Gate"));
        {
            ScriptedPrompts prompts;
            prompts.answerMessage(vbCancel);
            e.form.cmdNewDB_Click();
            EXPECT_EQ(prompts.messages(), QStringList{"Do you want to save changes?"});
        }
        EXPECT_EQ(e.grid().TextMatrix(2, colName), QStringLiteral("Gate"));
        EXPECT_FALSE(e.text().isVisible());
        ScriptedPrompts prompts;
        prompts.answerMessage(vbNo);
        e.form.cmdNewDB_Click();
        e.form.Text1_KeyPress(13);
        EXPECT_EQ(e.grid().TextMatrix(0, colName), QStringLiteral("Waypoint"));
        EXPECT_EQ(e.grid().Rows(), 1);
    }
    {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        Editing e(3);
        e.openOn(2, colMessage);
        e.type(QStringLiteral("Spring"));
        ASSERT_TRUE(e.form.OpenFile(dir.filePath(QStringLiteral("new.gps"))));
        EXPECT_FALSE(e.text().isVisible());
        e.form.Text1_KeyPress(13);
        EXPECT_EQ(e.grid().TextMatrix(0, colMessage), QStringLiteral("Message"));
        EXPECT_EQ(e.grid().Rows(), 1);
    }
}

// The text being typed is what the user sees in the table: Save writes it and
// Exit asks about it (both used to act as if the editor were not open).
TEST(CellEditor, SaveAndExitStoreAnOpenEditFirst) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Editing e(3);
    e.form.strCurrentFile = dir.filePath(QStringLiteral("t.gps"));
    e.openOn(2, colName);
    e.type(QStringLiteral("Gate"));
    e.form.cmdSave_Click();
    EXPECT_FALSE(e.text().isVisible());
    EXPECT_TRUE(e.form.blnSaved);
    QFile saved(e.form.strCurrentFile);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains("Gate"));

    e.openOn(1, colMessage);
    e.type(QStringLiteral("Post"));
    ScriptedPrompts prompts;
    prompts.answerMessage(vbCancel);
    EXPECT_FALSE(e.form.Form_QueryUnload());
    EXPECT_EQ(prompts.messages(), QStringList{"Do you want to save changes?"});
    EXPECT_EQ(e.grid().TextMatrix(1, colMessage), QStringLiteral("Post"));
}

TEST(CellEditor, LosingFocusWithTextCommits) {
    Editing e(4);
    e.openOn(1, colMessage);
    e.type(QStringLiteral("Spring"));
    e.click(4, colName);
    EXPECT_EQ(e.grid().TextMatrix(1, colMessage), QStringLiteral("Spring"));
    // The row below was entered by the commit and the clicked cell by the
    // click; neither was written.
    EXPECT_EQ(e.grid().TextMatrix(2, colMessage), QStringLiteral("M2"));
    EXPECT_TRUE(e.editingAt(4, colName));
}

TEST(CellEditorRules, KeyDownTable) {
    struct Case {
        int key, s, l, n;
        EditorMove move;
        int caret;
    };
    const Case cases[] = {
        {vbKeyRight, 4, 0, 4, EditorMove::Right, -1}, {vbKeyRight, 0, 4, 4, EditorMove::None, -1},
        {vbKeyLeft, 0, 0, 4, EditorMove::Left, -1},   {vbKeyLeft, 0, 2, 4, EditorMove::None, -1},
        {vbKeyDown, 4, 0, 4, EditorMove::Down, -1},   {vbKeyDown, 0, 4, 4, EditorMove::None, 4},
        {vbKeyDown, 2, 0, 4, EditorMove::None, 4},    {vbKeyUp, 0, 0, 4, EditorMove::Up, -1},
        {vbKeyUp, 0, 4, 4, EditorMove::None, 0},      {vbKeyUp, 3, 0, 4, EditorMove::None, 0},
        {vbKeyDown, 0, 0, 0, EditorMove::Down, -1},   {vbKeyUp, 0, 0, 0, EditorMove::Up, -1},
        {13, 0, 0, 0, EditorMove::None, -1},
    };
    for (const Case& c : cases) {
        const EditorKeyDown k = CellEditorKeyDown(c.key, c.s, c.l, c.n);
        EXPECT_EQ(k.move, c.move) << c.key << " s=" << c.s << " l=" << c.l << " n=" << c.n;
        EXPECT_EQ(k.caret, c.caret) << c.key << " s=" << c.s << " l=" << c.l << " n=" << c.n;
    }
}

TEST(CellEditorRules, AngleAnswersOfANewRow) {
    EXPECT_EQ(NewRowAngleValue(QStringLiteral("35.5"), colLatitude).value, QStringLiteral("35.5"));
    EXPECT_EQ(NewRowAngleValue(QStringLiteral("-90.25"), colLongitude).value, QStringLiteral("-90.25"));
    EXPECT_EQ(NewRowAngleValue(kLatitudeExample, colLatitude).value, QStringLiteral("35.2763888888889"));
    EXPECT_EQ(NewRowAngleValue(QString(), colLatitude).value, QString());
    // Unreadable text was stored as "" (or 1E5 as 1): now told, not stored.
    EXPECT_FALSE(NewRowAngleValue(QStringLiteral("abc"), colLatitude).valid);
    EXPECT_FALSE(NewRowAngleValue(QStringLiteral("1E5"), colLongitude).valid);
    EXPECT_FALSE(NewRowAngleValue(QStringLiteral("3x5N"), colLatitude).valid);
    EXPECT_FALSE(CellCommitValue(QStringLiteral("N"), colLatitude).valid);
    EXPECT_TRUE(CellCommitValue(QStringLiteral("N"), colName).valid);
}

// The line edit takes Ctrl+A as "select all" and Ctrl+D as "delete"; in the
// editor they must stay the Edit menu's commands. Each first ends the edit as
// Enter does: the typed text goes into its own cell, never into the new row.
TEST(CellEditor, CtrlAAndCtrlDEndTheEditThenRunTheirCommands) {
    Editing e(2);
    e.openOn(1, colName);
    e.type(QStringLiteral("Gate"));
    {
        ScriptedPrompts prompts;
        for (const char* answer : {"Camp", "1", "2", "", "", "a"})
            prompts.answerInput(answer);
        QTest::keyClick(&e.text(), Qt::Key_A, Qt::ControlModifier);
        QCoreApplication::processEvents();
        EXPECT_EQ(prompts.prompts().size(), 6) << "Add New Row asked its questions";
    }
    ASSERT_EQ(e.grid().Rows(), 4);
    EXPECT_FALSE(e.text().isVisible());
    EXPECT_EQ(e.grid().TextMatrix(1, colName), QStringLiteral("Gate"));
    EXPECT_EQ(e.grid().TextMatrix(3, colName), QStringLiteral("Camp"));
    EXPECT_FALSE(e.form.blnSaved);

    e.grid().setMarked(2, true);
    e.openOn(1, colMessage);
    e.type(QStringLiteral("Spring"));
    QTest::keyClick(&e.text(), Qt::Key_D, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(e.grid().Rows(), 3) << "the marked row was deleted";
    EXPECT_EQ(e.grid().TextMatrix(1, colMessage), QStringLiteral("Spring"));

    // Text the commit refuses is reported and stops the command: nothing is
    // deleted behind the message.
    e.grid().setMarked(2, true);
    e.openOn(1, colLatitude);
    e.type(QStringLiteral("3x5N"));
    ScriptedPrompts prompts;
    prompts.answerMessage(vbOK);
    QTest::keyClick(&e.text(), Qt::Key_D, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(e.grid().Rows(), 3);
    EXPECT_EQ(e.grid().TextMatrix(1, colLatitude), QStringLiteral("31.5"));
}
