// SPDX-License-Identifier: GPL-3.0-or-later
// The rows model alone, with no view and no widget.
#include "table/waypointrows.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

// Rows "WP1".."WPn", every row whose number is in marked marked.
void fill(WaypointRows& rows, int n, std::initializer_list<int> marked = {}) {
    SetUpEmptyRows(rows);
    rows.setRows(n + 1);
    for (int r = 1; r <= n; ++r)
        rows.setTextMatrix(r, colName, QStringLiteral("WP%1").arg(r));
    for (int r : marked)
        rows.setMarked(r, true);
}

// "name*" for a marked row, "name" otherwise, rows 1 .. Rows()-1.
QStringList shown(const WaypointRows& rows) {
    QStringList out;
    for (int r = 1; r < rows.Rows(); ++r)
        out << rows.TextMatrix(r, colName) + (rows.isMarked(r) ? "*" : "");
    return out;
}

} // namespace

TEST(WaypointRows, BulkUpdatesAndMarkingAllTellViewsOnce) {
    WaypointRows rows;
    fill(rows, 3);
    QSignalSpy reset(&rows, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&rows, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&rows, &QAbstractItemModel::dataChanged);
    rows.beginBulkUpdate();
    rows.beginBulkUpdate(); // nested: only the outermost end tells
    rows.setRows(1001);
    for (int r = 1; r <= 1000; ++r)
        rows.setTextMatrix(r, colMessage, QString::number(r));
    rows.setMarked(5, true);
    rows.endBulkUpdate();
    EXPECT_EQ(reset.count(), 0);
    rows.endBulkUpdate();
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(inserted.count() + changed.count(), 0);
    EXPECT_EQ(rows.rowCount(), 1000);
    EXPECT_EQ(rows.data(rows.index(999, colMessage), Qt::DisplayRole).toString(), "1000");
    EXPECT_TRUE(rows.data(rows.index(4, 0), WaypointRows::MarkRole).toBool());
    EXPECT_EQ(rows.headerData(colLatitude, Qt::Horizontal, Qt::DisplayRole).toString(), "Latitude");

    rows.setAllMarked(true);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].value<QModelIndex>().row(), 0);
    EXPECT_EQ(changed[0][1].value<QModelIndex>().row(), 999);
    EXPECT_FALSE(rows.isMarked(0)); // the header is never marked
    EXPECT_TRUE(rows.isMarked(1000));
}

TEST(WaypointRows, RemovingRowsTakesTheirMarksAlong) {
    WaypointRows rows;
    fill(rows, 6, {2, 3, 5});
    std::vector<bool> remove(7, false);
    remove[3] = remove[4] = true;
    remove[0] = true; // the header is never removed
    rows.RemoveRows(remove);
    EXPECT_EQ(shown(rows), QStringList({"WP1", "WP2*", "WP5*", "WP6"}));
    rows.RemoveItem(2);
    rows.RemoveItem(0); // ignored
    rows.RemoveItem(9); // ignored
    EXPECT_EQ(shown(rows), QStringList({"WP1", "WP5*", "WP6"}));
    EXPECT_EQ(rows.TextMatrix(0, colName), "Waypoint");

    // Columns come and go with their texts kept where both have them.
    rows.setCols(3);
    EXPECT_EQ(rows.TextMatrix(2, colName), "WP5");
    EXPECT_EQ(rows.TextMatrix(2, colLongitude), "");
    rows.setCols(WaypointColumns);
    EXPECT_EQ(rows.TextMatrix(3, colName), "WP6");
    EXPECT_TRUE(rows.isMarked(2));
}

TEST(WaypointRows, ClearEmptiesEveryCellAndMarkButKeepsTheCounts) {
    WaypointRows rows;
    fill(rows, 3, {1, 3});
    QSignalSpy reset(&rows, &QAbstractItemModel::modelReset);
    rows.Clear();
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(rows.Rows(), 4);
    EXPECT_EQ(rows.Cols(), WaypointColumns);
    EXPECT_EQ(shown(rows), QStringList({"", "", ""}));
    EXPECT_EQ(rows.TextMatrix(0, colName), ""); // header texts too
    EXPECT_TRUE(IsBlankRow(rows, 2));
    // The format's alignment stays; a new format brings the header texts back.
    EXPECT_EQ(rows.alignment(colName), Qt::AlignCenter);
    rows.setFormatString(QStringLiteral("<|>Right|Left"));
    EXPECT_EQ(rows.TextMatrix(0, 1), "Right");
    EXPECT_EQ(rows.alignment(1), Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(rows.alignment(2), Qt::AlignCenter);
    EXPECT_EQ(rows.alignment(0), Qt::AlignLeft | Qt::AlignVCenter);
}
