// SPDX-License-Identifier: GPL-3.0-or-later
// Add New Row, the copy and paste commands and Delete Selected Rows, through
// Form1's handlers and the popup menu, with scripted input boxes.
#include "platform/prompts.h"
#include "shell/form1.h"
#include "shell/modmain.h"
#include "support/scriptedprompts.h"
#include "table/flexgrid.h"
#include "table/rowcommands.h"
#include "table/tablesetup.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>

#include <gtest/gtest.h>

namespace {

// A loaded main window whose table holds n rows; every cell reads "<r>.<c>",
// the selection column's text included, so that any moved or lost text shows.
struct Table {
    explicit Table(int n) {
        LoadForm(&form);
        fill(grid(), n);
    }
    static void fill(FlexGrid& g, int n) {
        SetUpEmptyTable(g);
        g.setRows(n + 1);
        for (int r = 1; r <= n; ++r)
            for (int c = 0; c < 7; ++c)
                g.setTextMatrix(r, c, QStringLiteral("%1.%2").arg(r).arg(c));
    }
    FlexGrid& grid() { return *form.MSFlexGrid1; }
    // A right click on (r, c) whose popup menu runs the command named.
    void popup(int r, int c, const char* command) {
        form.popupRunner = [this, command](QMenu*) { form.item(QString::fromLatin1(command))->trigger(); };
        grid().setMouseCell(r, c);
        form.MSFlexGrid1_MouseUp(2, 0, 0, 0);
        form.popupRunner = nullptr;
    }
    Form1 form;
};

// The first text of each row (the selection column's, "<r>.0" as filled) and
// the rows' marks, as one readable list.
QStringList rowsOf(const FlexGrid& g) {
    QStringList out;
    for (int r = 1; r < g.Rows(); ++r)
        out << g.TextMatrix(r, 0) + (g.isMarked(r) ? "*" : "");
    return out;
}

// Delete Selected Rows exactly as the command was first written: restart the
// mark search from row 1 after every removal; with one data row left, blank
// and unmark it instead.
void deleteByRestartingSearch(FlexGrid& g) {
    for (;;) {
        if (g.Rows() == 2) {
            if (TestMark(g, 1)) {
                SetMark(g, 1, false);
                for (int c = 1; c <= 6; ++c)
                    g.setTextMatrix(1, c, QString());
            }
            return;
        }
        const int n = g.Rows();
        int found = 0;
        for (int r = 1; r < n && !found; ++r)
            if (TestMark(g, r))
                found = r;
        if (!found)
            return;
        g.RemoveItem(found);
    }
}

} // namespace

// Every box answered with nothing typed (Cancel now abandons the row).
TEST(AddNewRow, EmptyAnswersStillAppendARowAndAsksExactly) {
    Table t(2);
    t.grid().setMarked(2, true);
    ScriptedPrompts prompts;
    for (int i = 0; i < 6; ++i)
        prompts.answerInput(QString());
    t.form.cmdAddNewRecord_Click();

    ASSERT_EQ(t.grid().Rows(), 4);
    for (int c = 1; c <= 6; ++c)
        EXPECT_EQ(t.grid().TextMatrix(3, c), QString()) << c;
    EXPECT_FALSE(t.grid().isMarked(3));
    EXPECT_EQ(rowsOf(t.grid()), (QStringList{"1.0", "2.0*", ""}));
    EXPECT_FALSE(t.form.blnSaved);

    const QVector<PromptRecord>& asked = prompts.prompts();
    ASSERT_EQ(asked.size(), 6);
    const char* expected[6][3] = {
        {"Waypoint Name", "Input the name of the waypoint.", ""},
        {"Latitude", "Input degrees, minutes, and seconds latitude.\r\n( 35N16'35\" )", ""},
        {"Longitude", "Input degrees, minutes, and seconds longitude.\r\n( 90W16'35\" )", ""},
        {"Waypoint Altitude", "Input the altitude of the waypoint.", "0000028M"},
        {"Waypoint Message", "Input the message for the waypoint.", ""},
        {"Waypoint Icon", "Input the icon identifier.", "a"},
    };
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(asked[i].kind, PromptRecord::Input);
        EXPECT_EQ(asked[i].title, QString::fromLatin1(expected[i][0])) << i;
        EXPECT_EQ(asked[i].text, QString::fromLatin1(expected[i][1])) << i;
        EXPECT_EQ(asked[i].defaultText, QString::fromLatin1(expected[i][2])) << i;
    }
}

// Cancel used to answer "" and go on, leaving a half-filled row behind.
TEST(AddNewRow, CancelAtAnyQuestionAddsNoRowAndAsksNoMore) {
    const QStringList answers = {"Camp", "35.5", "-90.25", "0000028M", "Base"};
    for (int cancelAt = 0; cancelAt < 6; ++cancelAt) {
        SCOPED_TRACE(cancelAt);
        Table t(2);
        ScriptedPrompts prompts;
        for (int i = 0; i < cancelAt; ++i)
            prompts.answerInput(answers[i]);
        prompts.cancelInput();
        t.form.cmdAddNewRecord_Click();
        EXPECT_EQ(prompts.prompts().size(), cancelAt + 1);
        EXPECT_EQ(rowsOf(t.grid()), (QStringList{"1.0", "2.0"}));
        EXPECT_EQ(t.grid().TextMatrix(2, 6), QStringLiteral("2.6"));
        EXPECT_TRUE(t.form.blnSaved);
    }
}

TEST(AddNewRow, AnswersLandInTheirColumns) {
    Table t(1);
    ScriptedPrompts prompts;
    prompts.answerInput("Camp")
        .answerInput("35N16'35\"")
        .answerInput("90W16'35\"")
        .answerInput("0000028M") // the defaults, accepted
        .answerInput("Base")
        .answerInput("a");
    t.form.cmdAddNewRecord_Click();
    const QStringList row = {t.grid().TextMatrix(2, 1), t.grid().TextMatrix(2, 2), t.grid().TextMatrix(2, 3),
                             t.grid().TextMatrix(2, 4), t.grid().TextMatrix(2, 5), t.grid().TextMatrix(2, 6)};
    EXPECT_EQ(row, (QStringList{"Camp", "35.2763888888889", "-90.2763888888889", "0000028M", "Base", "a"}));
}

// An unreadable angle is asked for again with the typed text to mend (the row
// used to be added without it, and every later save then stopped on it).
TEST(AddNewRow, PlainNumbersStayAndUnreadableAnglesAreReported) {
    Table t(0);
    ScriptedPrompts prompts;
    prompts.answerInput("P").answerInput("35.5").answerInput("3x5W").answerMessage(vbOK);
    prompts.answerInput("90W15'").answerInput("").answerInput("").answerInput("");
    t.form.cmdAddNewRecord_Click();
    EXPECT_EQ(t.grid().TextMatrix(1, colLatitude), QStringLiteral("35.5"));
    EXPECT_EQ(t.grid().TextMatrix(1, colLongitude), QStringLiteral("-90.25"));
    ASSERT_EQ(prompts.prompts().size(), 8);
    EXPECT_EQ(prompts.prompts()[4].title, QStringLiteral("Longitude"));
    EXPECT_EQ(prompts.prompts()[4].defaultText, QStringLiteral("3x5W"));
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].startsWith(
        QStringLiteral("The longitude \"3x5W\" cannot be read: \"x\" does not belong in a coordinate.")))
        << prompts.messages()[0].toStdString();
    // The failed question and the ones after it were asked (queue drained).
    EXPECT_EQ(prompts.pending(), 0);
}

TEST(Clipboard, CellAndRowTextsTravelMarksDoNot) {
    Table t(4);
    FlexGrid& g = t.grid();
    g.setMarked(1, true);
    g.setMarked(4, true);

    // Paste Cell before any copy empties the cell.
    t.popup(2, 3, "cmdPasteCell");
    EXPECT_EQ(g.TextMatrix(2, 3), QString());
    EXPECT_FALSE(t.form.blnSaved);

    // A cell copied in one right click and pasted in another.
    t.form.blnSaved = true;
    t.popup(3, 5, "cmdCopyCell");
    EXPECT_TRUE(t.form.blnSaved);
    t.popup(1, 2, "cmdPasteCell");
    EXPECT_EQ(g.TextMatrix(1, 2), QStringLiteral("3.5"));
    EXPECT_EQ(g.TextMatrix(3, 5), QStringLiteral("3.5"));
    EXPECT_FALSE(t.form.blnSaved);

    // Copy Row from a marked row onto an unmarked one and back onto a marked
    // one: all seven texts, selection column included; no mark moves.
    t.form.blnSaved = true;
    t.popup(1, 4, "cmdCopyRow");
    EXPECT_TRUE(t.form.blnSaved);
    t.popup(3, 0, "cmdPasteRow");
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(g.TextMatrix(3, c), g.TextMatrix(1, c)) << c;
    EXPECT_EQ(g.TextMatrix(3, 2), QStringLiteral("3.5"));
    EXPECT_FALSE(g.isMarked(3));
    EXPECT_FALSE(t.form.blnSaved);
    t.popup(4, 1, "cmdPasteRow");
    EXPECT_EQ(g.TextMatrix(4, 0), QStringLiteral("1.0"));
    EXPECT_TRUE(g.isMarked(4));
    EXPECT_EQ(rowsOf(g), (QStringList{"1.0*", "2.0", "1.0", "1.0*"}));
}

TEST(DeleteSelectedRows, RemovesMarkedRowsKeepingTheOthersInOrder) {
    Table t(5);
    t.grid().setMarked(2, true);
    t.grid().setMarked(4, true);
    t.form.cmdDeleteRecords_Click();
    EXPECT_EQ(rowsOf(t.grid()), (QStringList{"1.0", "3.0", "5.0"}));
    EXPECT_EQ(t.grid().TextMatrix(2, 6), QStringLiteral("3.6"));
    EXPECT_FALSE(t.form.blnSaved);
    EXPECT_TRUE(t.form.blnEditReady);
}

TEST(DeleteSelectedRows, EveryRowMarkedLeavesTheFormerLastRowBlank) {
    Table t(5);
    SelectAll(t.grid());
    t.form.cmdDeleteRecords_Click();
    ASSERT_EQ(t.grid().Rows(), 2);
    EXPECT_EQ(t.grid().TextMatrix(1, 0), QStringLiteral("5.0"));
    for (int c = 1; c <= 6; ++c)
        EXPECT_EQ(t.grid().TextMatrix(1, c), QString()) << c;
    EXPECT_FALSE(t.grid().isMarked(1));
}

TEST(DeleteSelectedRows, NothingMarkedStillCountsAsAChange) {
    Table t(3);
    t.form.cmdDeleteRecords_Click();
    EXPECT_EQ(rowsOf(t.grid()), (QStringList{"1.0", "2.0", "3.0"}));
    EXPECT_EQ(t.grid().TextMatrix(3, 6), QStringLiteral("3.6"));
    EXPECT_FALSE(t.form.blnSaved);
}

// The open edit is committed into its own cell first (it used to be dropped),
// then the rows go with the editor closed, and it does not reopen.
TEST(DeleteSelectedRows, CommitsAnOpenEditorFirstAndDoesNotReopenIt) {
    Table t(4);
    t.grid().setMarked(2, true);
    // Armed, pointer over the data area, editor open on (3, 1).
    t.form.blnEditReady = true;
    t.grid().setMouseCell(3, 1);
    t.grid().setRow(3);
    t.grid().setCol(1);
    ASSERT_TRUE(t.form.Text1->isVisibleTo(&t.form));
    t.form.Text1->setText(QStringLiteral("typed"));
    t.form.cmdDeleteRecords_Click();
    EXPECT_FALSE(t.form.Text1->isVisibleTo(&t.form));
    EXPECT_EQ(rowsOf(t.grid()), (QStringList{"1.0", "3.0", "4.0"}));
    for (int r = 1; r < t.grid().Rows(); ++r)
        for (int c = 0; c < 7; ++c)
            EXPECT_EQ(t.grid().TextMatrix(r, c) == QStringLiteral("typed"), r == 2 && c == 1)
                << r << "," << c;
}

TEST(DeleteSelectedRows, SameTableAsRestartingTheSearchAfterEveryRemoval) {
    for (int n = 0; n <= 7; ++n) {
        for (unsigned pattern = 0; pattern < (1u << n); ++pattern) {
            FlexGrid expected, actual;
            Table::fill(expected, n);
            Table::fill(actual, n);
            for (int r = 1; r <= n; ++r) {
                const bool marked = (pattern >> (r - 1)) & 1u;
                expected.setMarked(r, marked);
                actual.setMarked(r, marked);
            }
            deleteByRestartingSearch(expected);
            DeleteSelectedRows(actual);
            ASSERT_EQ(actual.Rows(), expected.Rows()) << "n=" << n << " pattern=" << pattern;
            for (int r = 1; r < expected.Rows(); ++r) {
                ASSERT_EQ(actual.isMarked(r), expected.isMarked(r)) << "n=" << n << " pattern=" << pattern;
                for (int c = 0; c < 7; ++c)
                    ASSERT_EQ(actual.TextMatrix(r, c), expected.TextMatrix(r, c))
                        << "n=" << n << " pattern=" << pattern << " cell " << r << "," << c;
            }
        }
    }
}
