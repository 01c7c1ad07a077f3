// SPDX-License-Identifier: GPL-3.0-or-later
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <QColor>
#include <QHeaderView>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A waypoint table with n data rows whose name column reads "WP<r>".
void fill(FlexGrid& g, int n) {
    SetUpEmptyTable(g);
    g.setRows(n + 1);
    for (int r = 1; r <= n; ++r)
        g.setTextMatrix(r, colName, QStringLiteral("WP%1").arg(r));
}

std::vector<int> markedRows(const FlexGrid& g) {
    std::vector<int> out;
    for (int r = 1; r < g.Rows(); ++r)
        if (g.isMarked(r))
            out.push_back(r);
    return out;
}

} // namespace

TEST(FlexGrid, EmptyTableLayout) {
    FlexGrid g;
    SetUpEmptyTable(g);
    EXPECT_EQ(g.Rows(), 1);
    EXPECT_EQ(g.Cols(), 7);
    EXPECT_EQ(g.gridModel()->rowCount(), 0);
    const char* headers[] = {"", "Waypoint", "Latitude", "Longitude", "Elevation", "Message", "Icon"};
    const int widths[] = {300, 2000, 2000, 2000, 1500, 2500, 500};
    int total = 0;
    for (int c = 0; c < 7; ++c) {
        EXPECT_EQ(g.TextMatrix(0, c), QString::fromLatin1(headers[c]));
        EXPECT_EQ(g.gridModel()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
                  QString::fromLatin1(headers[c]));
        EXPECT_EQ(g.ColWidth(c), widths[c]);
        total += g.ColWidth(c);
    }
    EXPECT_EQ(total, 10800);
    EXPECT_EQ(g.font().family(), QStringLiteral("Arial"));
    EXPECT_DOUBLE_EQ(g.font().pointSizeF(), 9.75);
}

TEST(FlexGrid, RowCountChangesKeepOrDropRowsWithTheirMarks) {
    FlexGrid g;
    fill(g, 5);
    g.setMarked(5, true);
    g.setMarked(2, true);
    g.setRows(4); // drops rows 4 and 5, and row 5's mark with it
    EXPECT_EQ(g.gridModel()->rowCount(), 3);
    g.setRows(6);
    EXPECT_EQ(g.TextMatrix(5, colName), QString());
    EXPECT_EQ(markedRows(g), std::vector<int>{2});
    g.setRows(0); // the header always stays
    EXPECT_EQ(g.Rows(), 1);
    // Out-of-range cells read empty and ignore writes.
    g.setTextMatrix(3, 1, QStringLiteral("x"));
    EXPECT_EQ(g.TextMatrix(3, 1), QString());
    EXPECT_EQ(g.TextMatrix(-1, 9), QString());
}

TEST(FlexGrid, CurrentCellChangesRaiseEnterCellOncePerChange) {
    FlexGrid g;
    fill(g, 3);
    QSignalSpy spy(&g, &FlexGrid::EnterCell);
    g.setRow(2);
    g.setCol(1);
    g.setCol(1); // no change, no notification
    g.setRow(2);
    EXPECT_EQ(spy.count(), 2);
    g.setCol(0);
    EXPECT_EQ(g.Text(), QString());
    g.setCol(colName);
    EXPECT_EQ(g.Text(), QStringLiteral("WP2"));
    g.setText(QStringLiteral("HOME"));
    EXPECT_EQ(g.TextMatrix(2, colName), QStringLiteral("HOME"));
    // The picture lives in column 0 only.
    g.setCellPicture(true);
    EXPECT_FALSE(g.isMarked(2));
    g.setCol(0);
    g.setCellPicture(true);
    EXPECT_TRUE(g.CellPicture());
    EXPECT_TRUE(g.isMarked(2));
}

TEST(FlexGrid, RemovingRowsMovesTheRestUpWithTheirMarks) {
    FlexGrid g;
    fill(g, 5);
    g.setMarked(3, true);
    g.RemoveItem(2);
    EXPECT_EQ(g.Rows(), 5);
    EXPECT_EQ(g.TextMatrix(2, colName), QStringLiteral("WP3"));
    EXPECT_EQ(markedRows(g), std::vector<int>{2});
    g.RemoveItem(0); // the header cannot go
    EXPECT_EQ(g.Rows(), 5);

    fill(g, 6);
    g.setMarked(6, true);
    g.RemoveRows({false, true, false, true, false, false}); // rows 1 and 3; row 6 past the flags stays
    ASSERT_EQ(g.Rows(), 5);
    QStringList names;
    for (int r = 1; r < g.Rows(); ++r)
        names << g.TextMatrix(r, colName);
    EXPECT_EQ(names, QStringList({"WP2", "WP4", "WP5", "WP6"}));
    EXPECT_EQ(markedRows(g), std::vector<int>{4});
    EXPECT_EQ(g.gridModel()->rowCount(), 4);
}

TEST(FlexGrid, ClearEmptiesTextsAndMarksButKeepsCounts) {
    FlexGrid g;
    fill(g, 2);
    g.setMarked(1, true);
    g.Clear();
    EXPECT_EQ(g.Rows(), 3);
    EXPECT_EQ(g.TextMatrix(0, colName), QString());
    EXPECT_EQ(g.TextMatrix(1, colName), QString());
    EXPECT_TRUE(markedRows(g).empty());
}

TEST(Selection, SelectUnselectInvert) {
    FlexGrid g;
    SetUpEmptyTable(g);
    SelectAll(g);
    InvertSelection(g);
    EXPECT_EQ(g.Rows(), 1); // nothing to do on an empty table

    fill(g, 4);
    SetMark(g, 1, true);
    SetMark(g, 3, true);
    InvertSelection(g);
    EXPECT_EQ(markedRows(g), (std::vector<int>{2, 4}));
    EXPECT_EQ(g.Row(), 4);
    EXPECT_EQ(g.Col(), 0);
    InvertSelection(g);
    EXPECT_EQ(markedRows(g), (std::vector<int>{1, 3}));
    SelectAll(g);
    EXPECT_EQ(markedRows(g), (std::vector<int>{1, 2, 3, 4}));
    UnselectAll(g);
    EXPECT_TRUE(markedRows(g).empty());
    // Texts are never touched by marks.
    EXPECT_EQ(g.TextMatrix(3, colName), QStringLiteral("WP3"));
}

TEST(Selection, MarkTestWalksTheCurrentCellThroughEnterCell) {
    FlexGrid g;
    fill(g, 3);
    QSignalSpy spy(&g, &FlexGrid::EnterCell);
    SelectAll(g);
    // (1,0), then (2,0), (3,0): one notification per change.
    EXPECT_EQ(spy.count(), 3);
}

TEST(Selection, RemoveRowKeepsTheLastDataRowButEmptiesIt) {
    FlexGrid g;
    fill(g, 5);
    RemoveRow(g, 2);
    EXPECT_EQ(g.Rows(), 5);
    EXPECT_EQ(g.TextMatrix(2, colName), QStringLiteral("WP3"));

    fill(g, 1);
    for (int c = 1; c < 7; ++c)
        g.setTextMatrix(1, c, QStringLiteral("x"));
    g.setMarked(1, true);
    RemoveRow(g, 1);
    EXPECT_EQ(g.Rows(), 2);
    for (int c = 1; c < 7; ++c)
        EXPECT_EQ(g.TextMatrix(1, c), QString()) << c;
    EXPECT_FALSE(g.isMarked(1));
    RemoveRow(g, 7); // outside the table: nothing
    EXPECT_EQ(g.Rows(), 2);
}

TEST(FlexGrid, MouseReportsCellsButtonsAndKeepsTheMarkColumnFixed) {
    FlexGrid g;
    fill(g, 4);
    g.resize(800, 300);
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    QSignalSpy up(&g, &FlexGrid::MouseUp);
    QSignalSpy enter(&g, &FlexGrid::EnterCell);

    const QPoint cell22 = g.visualRect(g.gridModel()->index(1, 2)).center();
    QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, cell22);
    EXPECT_EQ(g.MouseRow(), 2);
    EXPECT_EQ(g.MouseCol(), 2);
    EXPECT_EQ(g.Row(), 2);
    EXPECT_EQ(g.Col(), 2);
    EXPECT_EQ(enter.count(), 1);
    ASSERT_EQ(up.count(), 1);
    EXPECT_EQ(up[0][0].toInt(), 1);

    // Column 0 is fixed: the pointer is over row 3, the current cell stays.
    const QPoint mark3 = g.visualRect(g.gridModel()->index(2, 0)).center();
    QTest::mouseClick(g.viewport(), Qt::RightButton, Qt::ShiftModifier, mark3);
    EXPECT_EQ(g.MouseRow(), 3);
    EXPECT_EQ(g.MouseCol(), 0);
    EXPECT_EQ(g.Row(), 2);
    ASSERT_EQ(up.count(), 2);
    EXPECT_EQ(up[1][0].toInt(), 2);
    EXPECT_EQ(up[1][1].toInt(), 1);

    // The header row is row 0 under the pointer.
    QHeaderView* header = g.horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
    EXPECT_EQ(g.MouseRow(), 0);
    EXPECT_EQ(g.MouseCol(), 1);
    EXPECT_EQ(up.count(), 3);
}

TEST(FlexGrid, CellGeometryInTwipsFollowsTheView) {
    FlexGrid g;
    fill(g, 3);
    g.resize(800, 300);
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    g.setRow(2);
    g.setCol(3);
    const QRect r = g.visualRect(g.gridModel()->index(1, 3)).translated(g.viewport()->pos());
    EXPECT_EQ(g.CellLeft(), r.left() * 15);
    EXPECT_EQ(g.CellTop(), r.top() * 15);
    EXPECT_EQ(g.CellWidth(), g.columnWidth(3) * 15);
    EXPECT_EQ(g.CellHeight(), g.rowHeight(1) * 15);
}

TEST(FlexGrid, BulkUpdateTellsViewsOnceAtTheEnd) {
    FlexGrid g;
    SetUpEmptyTable(g);
    QSignalSpy reset(g.gridModel(), &QAbstractItemModel::modelReset);
    QSignalSpy changed(g.gridModel(), &QAbstractItemModel::dataChanged);
    ASSERT_EQ(g.verticalHeader()->count(), 0); // lays out what the set-up posted
    g.beginBulkUpdate();
    g.setRows(1001);
    for (int r = 1; r <= 1000; ++r)
        g.setTextMatrix(r, colName, QString::number(r));
    // The view has been told nothing yet: it still shows no rows.
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(g.verticalHeader()->count(), 0);
    g.endBulkUpdate();
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(g.verticalHeader()->count(), 1000);
    EXPECT_EQ(g.gridModel()->rowCount(), 1000);
    EXPECT_EQ(g.gridModel()->data(g.gridModel()->index(999, 1), Qt::DisplayRole).toString(),
              QStringLiteral("1000"));
}

namespace {
// Pixels of the check mark's dark green inside rect of the grabbed image.
int tickPixels(const QImage& image, const QRect& rect) {
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += (c.green() > c.red() + 40 && c.green() > c.blue() + 40) ? 1 : 0;
        }
    return n;
}
} // namespace

// Every marked row shows its tick, also the one whose mark cell is the
// current cell of a focused grid (its frame is drawn under the tick).
TEST(FlexGrid, TheCurrentCellsFrameNeverHidesTheMark) {
    for (const bool focused : {true, false}) {
        FlexGrid g;
        fill(g, 5);
        g.resize(600, 200);
        g.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
        for (int r = 1; r <= 4; ++r)
            g.setMarked(r, true);
        if (focused) {
            g.activateWindow();
            g.setFocus(Qt::OtherFocusReason);
        }
        for (const int current : {1, 3, 4}) {
            g.setRow(current);
            g.setCol(0);
            QCoreApplication::processEvents();
            ASSERT_EQ(g.currentIndex(), g.gridModel()->index(current - 1, 0));
            const QImage image = g.viewport()->grab().toImage();
            for (int r = 1; r <= 5; ++r) {
                const QRect cell = g.visualRect(g.gridModel()->index(r - 1, 0));
                const int ticks = tickPixels(image, cell);
                if (r <= 4)
                    EXPECT_GT(ticks, 15) << "row " << r << ", current " << current << ", focused " << focused;
                else
                    EXPECT_EQ(ticks, 0) << "current " << current;
            }
        }
    }
}

// Latitude and longitude show at most nine decimals; the cell keeps its text.
TEST(FlexGrid, DisplayDecimalsShortenTheScreenTextOnly) {
    FlexGrid g;
    fill(g, 1);
    g.setDisplayDecimals(colLatitude, 9);
    const struct {
        const char* stored;
        const char* shown;
    } cases[] = {
        {"35.2763888888889", "35.276388889"},
        {"-90.2511111111111", "-90.251111111"},
        {"12.1234567895", "12.12345679"},
        {"9.9999999999", "10"},
        {"-0.0000000001", "0"},
        {"0.1000000000004", "0.1"},
        {".12345678912", "0.123456789"},
        {"35.123456789", "35.123456789"},
        {"35.5", "35.5"},
        {"1E-05", "1E-05"},
        {"35N 12'", "35N 12'"},
        {"1.2.34567890123", "1.2.34567890123"},
        {"", ""},
    };
    for (const auto& c : cases) {
        g.setTextMatrix(1, colLatitude, QString::fromLatin1(c.stored));
        g.setTextMatrix(1, colName, QString::fromLatin1(c.stored));
        const QModelIndex lat = g.gridModel()->index(0, colLatitude);
        EXPECT_EQ(lat.data(Qt::DisplayRole).toString(), QString::fromLatin1(c.shown)) << c.stored;
        EXPECT_EQ(g.TextMatrix(1, colLatitude), QString::fromLatin1(c.stored));
        // The full text is one hover away where the screen shortens it.
        EXPECT_EQ(lat.data(Qt::ToolTipRole).toString(), QLatin1String(c.stored) == QLatin1String(c.shown)
                                                            ? QString()
                                                            : QString::fromLatin1(c.stored));
        // A column without the setting shows its text as it is.
        EXPECT_EQ(g.gridModel()->index(0, colName).data(Qt::DisplayRole).toString(),
                  QString::fromLatin1(c.stored));
    }
}

TEST(FlexGrid, TwoGridsOverOneModelEachKeepTheirCurrentCellInside) {
    WaypointRows rows;
    FlexGrid a(&rows), b(&rows);
    SetUpEmptyTable(a);
    SetUpEmptyTable(b);
    fill(a, 10);
    a.setRow(9);
    a.setCol(3);
    b.setRow(4);
    QSignalSpy enteredA(&a, &FlexGrid::EnterCell);
    QSignalSpy enteredB(&b, &FlexGrid::EnterCell);

    // What one grid writes, the other shows; screen settings stay each grid's own.
    b.setTextMatrix(2, colLatitude, QStringLiteral("35.27638888888889"));
    a.setDisplayDecimals(colLatitude, 3);
    EXPECT_EQ(a.DisplayText(2, colLatitude), "35.276");
    EXPECT_EQ(b.DisplayText(2, colLatitude), "35.27638888888889");
    EXPECT_EQ(a.gridModel()->index(1, colLatitude).data(Qt::ToolTipRole).toString(), "35.27638888888889");
    EXPECT_FALSE(b.gridModel()->index(1, colLatitude).data(Qt::ToolTipRole).isValid());

    // Rows going from the end: a's current row is past it, b's is not.
    rows.setRows(6);
    EXPECT_EQ(a.Row(), 5);
    EXPECT_EQ(a.Col(), 3);
    EXPECT_EQ(b.Row(), 4);
    rows.RemoveItem(5);
    rows.RemoveItem(4);
    EXPECT_EQ(a.Row(), 3);
    EXPECT_EQ(b.Row(), 3);
    EXPECT_EQ(a.Text(), "");
    // Inside a bulk update the counts change before anything is told.
    rows.beginBulkUpdate();
    rows.setRows(2);
    EXPECT_EQ(a.Row(), 1);
    rows.endBulkUpdate();
    rows.setCols(2);
    EXPECT_EQ(a.Col(), 1);
    EXPECT_EQ(b.Col(), 0);
    EXPECT_EQ(a.Text(), "WP1");
    QCoreApplication::processEvents();
    EXPECT_EQ(enteredA.count(), 0);
    EXPECT_EQ(enteredB.count(), 0);
    // With no data row left, the current cells are on the header.
    rows.setRows(1);
    EXPECT_EQ(a.Row(), 0);
    EXPECT_EQ(b.Row(), 0);
    EXPECT_FALSE(a.CellPicture());
}
