// SPDX-License-Identifier: GPL-3.0-or-later
// The main window around the table: title and status bar, the ways into the
// cell editor, menu shortcuts, the view kept by row walks, the first layout.
#include "shell/form1.h"
#include "shell/modmain.h"
#include "support/scriptedprompts.h"
#include "support/tablerows.h"
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Shown {
    Shown() {
        LoadForm(&form);
        form.show();
        form.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
    }
    FlexGrid& grid() { return *form.MSFlexGrid1; }
    QString status(const char* name) { return form.findChild<QLabel*>(QLatin1String(name))->text(); }
    void trigger(const char* name) {
        form.item(QLatin1String(name))->trigger();
        QCoreApplication::processEvents();
    }
    Form1 form;
};

} // namespace

TEST(Form1View, TitleAndStatusFollowOpenEditAndSave) {
    QTemporaryDir dir;
    const QString file = dir.filePath("trip.gps");
    ScriptedPrompts prompts;
    Shown f;
    EXPECT_EQ(f.form.windowTitle(), "Korvel Transfer");
    EXPECT_EQ(f.status("StatusRows"), "0 rows, 0 marked");
    EXPECT_EQ(f.status("StatusFile"), "File: none");
    EXPECT_EQ(f.status("StatusReceiver"), "Receiver: none");
    EXPECT_TRUE(f.status("StatusDrawing").startsWith("Drawing: ")) << f.status("StatusDrawing").toStdString();

    AppendTableRow(f.grid(), {"A", "35.5", "-90.25"}, true);
    AppendTableRow(f.grid(), {"B", "35.6", "-90.26"});
    f.trigger("cmdInsertRow"); // an edit: the third row, blank
    EXPECT_EQ(f.form.windowTitle(), "Untitled* \u2014 Korvel Transfer");
    EXPECT_EQ(f.status("StatusRows"), "3 rows, 1 marked");

    prompts.answerFile(file);
    f.trigger("cmdSave"); // no file yet: Save As
    EXPECT_EQ(f.form.windowTitle(), "trip.gps \u2014 Korvel Transfer");
    EXPECT_EQ(f.status("StatusFile"), "File: trip.gps");

    f.trigger("cmdInvert");
    EXPECT_EQ(f.status("StatusRows"), "3 rows, 2 marked");
    f.trigger("cmdInsertRow");
    EXPECT_EQ(f.form.windowTitle(), "trip.gps* \u2014 Korvel Transfer");

    prompts.answerMessage(vbNo).answerFile(file); // unsaved: Open asks first
    f.trigger("cmdOpen");
    EXPECT_EQ(f.form.windowTitle(), "trip.gps \u2014 Korvel Transfer");
    // The blank row was not written.
    EXPECT_TRUE(f.status("StatusRows").startsWith("2 rows, ")) << f.status("StatusRows").toStdString();
}

TEST(Form1View, DoubleClickF2AndTypingOpenTheEditorOnTheCurrentCell) {
    Shown f;
    for (int i = 0; i < 3; ++i)
        AppendTableRow(f.grid(), {QStringLiteral("WP%1").arg(i), "35.5", "-90.25", "", "note"});
    QCoreApplication::processEvents();
    FlexGrid& g = f.grid();

    // Double-click without an armed editor.
    f.form.blnEditReady = false;
    const QRect cell = g.visualRect(g.gridModel()->index(1, colMessage)); // row 2
    QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_FALSE(f.form.Text1->isVisible()); // a first click only arms the editor
    QTest::mouseDClick(g.viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_TRUE(f.form.Text1->isVisible());
    EXPECT_EQ(f.form.Text1->text(), "note");
    EXPECT_EQ(f.form.intCurRow, 2);
    EXPECT_EQ(f.form.intCurCol, colMessage);
    QTest::keyClick(f.form.Text1, Qt::Key_Escape);
    EXPECT_FALSE(f.form.Text1->isVisible());

    // F2 on the current cell, then typing replaces the text.
    g.setRow(3);
    g.setCol(colName);
    g.setFocus();
    QTest::keyClick(&g, Qt::Key_F2);
    ASSERT_TRUE(f.form.Text1->isVisible());
    EXPECT_EQ(f.form.Text1->text(), "WP2");
    QTest::keyClick(f.form.Text1, Qt::Key_Escape);

    g.setFocus();
    QTest::keyClicks(&g, "Q7");
    ASSERT_TRUE(f.form.Text1->isVisible());
    QTest::keyClick(f.form.Text1, Qt::Key_Return);
    EXPECT_EQ(g.TextMatrix(3, colName), "Q7");

    // The mark column is no cell to edit.
    g.setCol(0);
    g.setFocus();
    QTest::keyClick(&g, Qt::Key_F2);
    EXPECT_FALSE(f.form.Text1->isVisible());
}

TEST(Form1View, MenuShortcutsRunTheirCommands) {
    ScriptedPrompts prompts;
    Shown f;
    AppendTableRow(f.grid(), {"A", "35.5", "-90.25"});
    // Each command's first prompt shows that the shortcut reached it.
    prompts.answerFile(""); // Ctrl+O: the chooser, cancelled
    QTest::keyClick(&f.form, Qt::Key_O, Qt::ControlModifier);
    prompts.answerFile(""); // Ctrl+Shift+S: Save As, cancelled
    QTest::keyClick(&f.form, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(prompts.prompts().size(), 2);
    EXPECT_FALSE(prompts.prompts()[0].file.save);
    EXPECT_TRUE(prompts.prompts()[1].file.save);

    // Ctrl+D on an empty table, through the menu's rule, leaves the item
    // disabled; rows added since must bring the shortcut back.
    f.form.MSFlexGrid1->setRows(1);
    f.form.mnuEdit_Click();
    ASSERT_FALSE(f.form.item("cmdDeleteRecords")->isEnabled());
    AppendTableRow(f.grid(), {"A", "35.5", "-90.25"});
    AppendTableRow(f.grid(), {"B", "35.5", "-90.25"}, true);
    QCoreApplication::processEvents();
    QTest::keyClick(&f.form, Qt::Key_D, Qt::ControlModifier); // Delete Selected Rows
    EXPECT_EQ(f.grid().Rows(), 2);
    prompts.answerMessage(vbNo);                              // the deletion is unsaved: New asks first
    QTest::keyClick(&f.form, Qt::Key_N, Qt::ControlModifier); // New
    EXPECT_EQ(f.grid().Rows(), 1);
}

TEST(Form1View, RowWalksKeepTheCurrentCellAndScrollPosition) {
    Shown f;
    f.form.resize(900, 400);
    for (int i = 1; i <= 300; ++i)
        AppendTableRow(f.grid(), {QStringLiteral("WP%1").arg(i), "35.5", "-90.25"}, i % 7 == 0);
    QCoreApplication::processEvents();
    FlexGrid& g = f.grid();
    g.setRow(120);
    g.setCol(colLatitude);
    QCoreApplication::processEvents();
    g.verticalScrollBar()->setValue(100);
    const int scrolled = g.verticalScrollBar()->value();
    ASSERT_GT(scrolled, 0);
    for (const char* command : {"cmdSelectAll", "cmdInvert", "cmdUnselectAll"}) {
        f.trigger(command);
        QCoreApplication::processEvents();
        EXPECT_EQ(g.Row(), 120) << command;
        EXPECT_EQ(g.Col(), colLatitude) << command;
        EXPECT_EQ(g.verticalScrollBar()->value(), scrolled) << command;
    }
}

TEST(Form1View, FirstWindowShowsEveryColumnAndMessageTakesTheRest) {
    Shown f;
    QCoreApplication::processEvents();
    FlexGrid& g = f.grid();
    EXPECT_FALSE(g.horizontalScrollBar()->isVisible());
    int others = 0;
    for (int c = 0; c < g.Cols(); ++c)
        if (c != colMessage)
            others += g.columnWidth(c);
    EXPECT_EQ(g.columnWidth(colMessage), qMax(2500 / 15, g.viewport()->width() - others));
    EXPECT_EQ(g.ColWidth(colMessage), 2500); // the report's layout is unchanged
    f.form.resize(1400, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(g.columnWidth(colMessage), g.viewport()->width() - others);
}

// The first window (no saved place) takes a good share of the screen, lies on
// it, and its table reaches down to the status bar; a message too long for
// one line wraps and the table gives it the room, still reaching down to it.
TEST(Form1View, FirstWindowTakesAShareOfTheScreenAndTheTableFillsTheHeight) {
    Form1 form;
    LoadForm(&form);
    form.restoreWindowPlace();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QRect avail = form.screen()->availableGeometry();
    EXPECT_GE(form.frameGeometry().width(), avail.width() * 7 / 10);
    EXPECT_GE(form.frameGeometry().height(), avail.height() * 6 / 10);
    EXPECT_TRUE(avail.contains(form.frameGeometry())) << form.frameGeometry().width();

    const auto expectFilled = [&] {
        QCoreApplication::processEvents();
        const FlexGrid& g = *form.MSFlexGrid1;
        const QPoint bottom = g.mapTo(&form, QPoint(0, g.height()));
        EXPECT_EQ(bottom.y(), form.statusBar()->geometry().top());
        EXPECT_EQ(g.pos(), QPoint(0, 0));
    };
    expectFilled();
    const int oneLine = form.statusBar()->height();

    const QString from = QStringLiteral("the receiver w2-receiver-download-from-the-field-trip.gpx");
    form.showRowsAdded(2434, from);
    QTest::qWait(100);
    form.resize(480, 400);
    auto* message = form.findChild<QLabel*>(QStringLiteral("StatusMessage"));
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text(), QStringLiteral("2434 rows added from ") + from + QLatin1Char('.'));
    // The status bar takes the new height once its layout request is served.
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.statusBar()->height() > oneLine; }, 2000));
    // Every line of it has room: nothing is cut at the bottom or the side.
    EXPECT_TRUE(message->isVisible());
    const QRect inside = message->contentsRect();
    const QRect drawn = message->fontMetrics().boundingRect(QRect(0, 0, inside.width(), 10000),
                                                            Qt::TextWordWrap, message->text());
    EXPECT_GE(inside.height(), drawn.height()) << inside.width();
    EXPECT_GT(drawn.height(), message->fontMetrics().height()); // it did wrap
    EXPECT_GE(message->width(), message->fontMetrics().horizontalAdvance(QStringLiteral("receiver.")));
    expectFilled();
}

// Latitude and longitude show nine decimals at most; the editor and the cell
// keep every digit.
TEST(Form1View, CoordinateCellsShowNineDecimalsAndEditTheFullText) {
    Shown f;
    AppendTableRow(f.grid(), {"1.23456789012", "35.2763888888889", "-90.2511111111111"});
    FlexGrid& g = f.grid();
    const auto shown = [&](int col) { return g.gridModel()->index(0, col).data(Qt::DisplayRole).toString(); };
    EXPECT_EQ(shown(colLatitude), "35.276388889");
    EXPECT_EQ(shown(colLongitude), "-90.251111111");
    EXPECT_EQ(shown(colName), "1.23456789012");
    g.setRow(1);
    g.setCol(colLatitude);
    g.setFocus();
    QTest::keyClick(&g, Qt::Key_F2);
    ASSERT_TRUE(f.form.Text1->isVisible());
    EXPECT_EQ(f.form.Text1->text(), "35.2763888888889");
    QTest::keyClick(f.form.Text1, Qt::Key_Return);
    EXPECT_EQ(g.TextMatrix(1, colLatitude), "35.2763888888889");
}
