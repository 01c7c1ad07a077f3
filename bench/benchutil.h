// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers the table benchmarks share: a table filled with benchmark
// waypoints, a handler's time, and the process's peak memory.
#pragma once
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <sys/resource.h>

// Data rows 1..rows of grid (its row count becomes rows + 1) filled in one bulk
// update with waypoints "WP<row>"; markEveryOther marks the even rows and
// unmarks the odd ones.
inline void FillBenchRows(FlexGrid& grid, int rows, bool markEveryOther = false) {
    grid.beginBulkUpdate();
    grid.setRows(rows + 1);
    for (int r = 1; r <= rows; ++r) {
        grid.setTextMatrix(r, colName, QStringLiteral("WP%1").arg(r));
        grid.setTextMatrix(r, colLatitude, QStringLiteral("35.2763888888889"));
        grid.setTextMatrix(r, colLongitude, QStringLiteral("-90.2763888888889"));
        grid.setTextMatrix(r, colElevation, QStringLiteral("0000028M"));
        grid.setTextMatrix(r, colMessage, QStringLiteral("Message text %1").arg(r));
        grid.setTextMatrix(r, colIcon, QStringLiteral("a"));
        if (markEveryOther)
            grid.setMarked(r, r % 2 == 0);
    }
    grid.endBulkUpdate();
}

// Milliseconds f takes, the events it leaves behind (the view catching up)
// processed and counted too.
template <typename F> double TimeMs(F&& f) {
    QElapsedTimer t;
    t.start();
    f();
    QCoreApplication::processEvents();
    return double(t.nsecsElapsed()) / 1e6;
}

// The most memory the whole process has held so far, in MB.
inline long PeakRssMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}
