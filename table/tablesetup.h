// SPDX-License-Identifier: GPL-3.0-or-later
// The waypoint table's layout and the operations several commands share.
#pragma once
#include <QString>

class FlexGrid;

// Column numbers of the waypoint table.
enum WaypointColumn : int {
    colMark = 0,
    colName = 1,
    colLatitude = 2,
    colLongitude = 3,
    colElevation = 4,
    colMessage = 5,
    colIcon = 6,
    WaypointColumns = 7
};

// The header format: centred column titles.
inline const QString kWaypointFormat =
    QStringLiteral("^|^Waypoint|^Latitude|^Longitude|^Elevation|^Message|^Icon");

// Empty-table set-up: 7 columns, row count 1 (header only), the format string,
// column widths 300, 2000, 2000, 2000, 1500, 2500, 500 twips. Marks of removed
// rows go with them; the grid is not otherwise cleared.
void SetUpEmptyTable(FlexGrid& grid);

// The classic mark test: makes (row, 0) the current cell (row first, then
// column 0, each change raising the cell-entered notification) and tells
// whether its picture is present.
bool TestMark(FlexGrid& grid, int row);
// Makes (row, 0) current and sets or clears its mark picture.
void SetMark(FlexGrid& grid, int row, bool marked);

// True when columns 1 to 6 of row are all empty (as Insert Row leaves a row,
// or a clearing its one remaining row): a row that stands for no waypoint.
bool IsBlankRow(const FlexGrid& grid, int row);

// Select All, Unselect All, Invert Selection over data rows 1 .. Rows()-1. The
// current cell ends at (Rows()-1, 0) when the table has data rows.
void SelectAll(FlexGrid& grid);
void UnselectAll(FlexGrid& grid);
void InvertSelection(FlexGrid& grid);

// Remove Row: removes the row; when it is the only data row, clears its mark
// and the texts of columns 1 to 6 instead. Rows outside 1 .. Rows()-1 are ignored.
void RemoveRow(FlexGrid& grid, int row);
