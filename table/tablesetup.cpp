// SPDX-License-Identifier: GPL-3.0-or-later
#include "table/tablesetup.h"

#include "table/flexgrid.h"

namespace {
constexpr int kWidths[WaypointColumns] = {300, 2000, 2000, 2000, 1500, 2500, 500};
}

void SetUpEmptyTable(FlexGrid& grid) {
    SetUpEmptyRows(grid.rows());
    for (int c = 0; c < WaypointColumns; ++c)
        grid.setColWidth(c, kWidths[c]);
}

bool TestMark(FlexGrid& grid, int row) {
    grid.setRow(row);
    grid.setCol(0);
    return grid.CellPicture();
}

void SetMark(FlexGrid& grid, int row, bool marked) {
    grid.setRow(row);
    grid.setCol(0);
    grid.setCellPicture(marked);
}

void SelectAll(FlexGrid& grid) {
    const int n = grid.Rows();
    for (int r = 1; r < n; ++r)
        SetMark(grid, r, true);
}

void UnselectAll(FlexGrid& grid) {
    const int n = grid.Rows();
    for (int r = 1; r < n; ++r)
        SetMark(grid, r, false);
}

void InvertSelection(FlexGrid& grid) {
    const int n = grid.Rows();
    for (int r = 1; r < n; ++r)
        SetMark(grid, r, !TestMark(grid, r));
}

void RemoveRow(FlexGrid& grid, int row) {
    if (row < 1 || row >= grid.Rows())
        return;
    if (grid.Rows() == 2) {
        grid.setMarked(row, false);
        for (int c = 1; c < grid.Cols(); ++c)
            grid.setTextMatrix(row, c, QString());
        return;
    }
    grid.RemoveItem(row);
}
