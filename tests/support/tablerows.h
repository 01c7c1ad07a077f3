// SPDX-License-Identifier: GPL-3.0-or-later
// Filling the waypoint table in tests.
#pragma once
#include "table/flexgrid.h"

#include <QStringList>

// Appends a data row whose columns 1, 2, ... hold texts (name, latitude,
// longitude, elevation, message, icon; missing ones stay empty), marked or
// not. Returns the new row's number.
inline int AppendTableRow(WaypointRows& grid, const QStringList& texts, bool marked = false) {
    const int row = grid.Rows();
    grid.setRows(row + 1);
    for (int c = 0; c < texts.size(); ++c)
        grid.setTextMatrix(row, c + 1, texts[c]);
    grid.setMarked(row, marked);
    return row;
}

inline int AppendTableRow(FlexGrid& grid, const QStringList& texts, bool marked = false) {
    return AppendTableRow(grid.rows(), texts, marked);
}
