// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps what the user sees of the table across a command that walks the rows
// (the mark test moves the current cell row by row): on destruction the
// current cell and both scroll positions are put back as they were. Putting
// the cell back raises no cell-entered notification, so it can never open the
// cell editor. Rows removed meanwhile clamp the cell to the table.
#pragma once
#include <QPointer>

class FlexGrid;

class TableViewKeeper {
public:
    explicit TableViewKeeper(FlexGrid& grid);
    ~TableViewKeeper();
    TableViewKeeper(const TableViewKeeper&) = delete;
    TableViewKeeper& operator=(const TableViewKeeper&) = delete;

private:
    QPointer<FlexGrid> grid_;
    int row_;
    int col_;
    int hScroll_;
    int vScroll_;
};
