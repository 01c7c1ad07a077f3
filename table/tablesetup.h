// SPDX-License-Identifier: GPL-3.0-or-later
// The waypoint table's layout and the operations several commands share.
#pragma once
#include "table/waypointrows.h"

#include <QString>

class FlexGrid;

// Empty-table set-up: the rows' (SetUpEmptyRows) and the column widths 300,
// 2000, 2000, 2000, 1500, 2500, 500 twips.
void SetUpEmptyTable(FlexGrid& grid);

// The classic mark test: makes (row, 0) the current cell (row first, then
// column 0, each change raising the cell-entered notification) and tells
// whether its picture is present.
bool TestMark(FlexGrid& grid, int row);
// Makes (row, 0) current and sets or clears its mark picture.
void SetMark(FlexGrid& grid, int row, bool marked);

// Select All, Unselect All, Invert Selection over data rows 1 .. Rows()-1. The
// current cell ends at (Rows()-1, 0) when the table has data rows.
void SelectAll(FlexGrid& grid);
void UnselectAll(FlexGrid& grid);
void InvertSelection(FlexGrid& grid);

// Remove Row: removes the row; when it is the only data row, clears its mark
// and the texts of columns 1 to 6 instead. Rows outside 1 .. Rows()-1 are ignored.
void RemoveRow(FlexGrid& grid, int row);
