// SPDX-License-Identifier: GPL-3.0-or-later
#include "table/viewkeeper.h"

#include "table/flexgrid.h"

#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>

TableViewKeeper::TableViewKeeper(FlexGrid& grid)
    : grid_(&grid), row_(grid.Row()), col_(grid.Col()), hScroll_(grid.horizontalScrollBar()->value()),
      vScroll_(grid.verticalScrollBar()->value()) {}

TableViewKeeper::~TableViewKeeper() {
    if (!grid_)
        return;
    {
        const QSignalBlocker quiet(grid_.data());
        grid_->setRow(row_);
        grid_->setCol(col_);
    }
    const auto restoreScroll = [grid = grid_, h = hScroll_, v = vScroll_] {
        if (!grid)
            return;
        grid->horizontalScrollBar()->setValue(h);
        grid->verticalScrollBar()->setValue(v);
    };
    restoreScroll();
    // The view follows the grid's current cell once control returns to the
    // event loop, scrolling it into sight; the positions are put back after that.
    QTimer::singleShot(0, grid_.data(), restoreScroll);
}
