// SPDX-License-Identifier: GPL-3.0-or-later
// The waypoint table with 100,000 rows: Select All, Invert Selection and Insert
// Row through Form1's handlers, and the memory the program holds for them.
// Prints one line per figure.
#include "shell/form1.h"
#include "shell/modmain.h"
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <QApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <cstdio>
#include <functional>

namespace {
double timeMs(const std::function<void()>& f) {
    QElapsedTimer t;
    t.start();
    f();
    QCoreApplication::processEvents();
    return double(t.nsecsElapsed()) / 1e6;
}
long peakRssMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}
} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = 100000;
    std::printf("baseline peak memory: %ld MB\n", peakRssMb());
    Form1 form;
    LoadForm(&form);
    form.show();
    FlexGrid& g = *form.MSFlexGrid1;
    const double fill = timeMs([&] {
        g.beginBulkUpdate();
        g.setRows(rows + 1);
        for (int r = 1; r <= rows; ++r) {
            g.setTextMatrix(r, colName, QStringLiteral("WP%1").arg(r));
            g.setTextMatrix(r, colLatitude, QStringLiteral("35.2763888888889"));
            g.setTextMatrix(r, colLongitude, QStringLiteral("-90.2763888888889"));
            g.setTextMatrix(r, colElevation, QStringLiteral("0000028M"));
            g.setTextMatrix(r, colMessage, QStringLiteral("Message text %1").arg(r));
            g.setTextMatrix(r, colIcon, QStringLiteral("a"));
        }
        g.endBulkUpdate();
    });
    std::printf("fill %d rows: %.1f ms\n", rows, fill);
    std::printf("Select All: %.1f ms\n", timeMs([&] { form.cmdSelectAll_Click(); }));
    std::printf("Invert Selection: %.1f ms\n", timeMs([&] { form.cmdInvert_Click(); }));
    std::printf("Unselect All: %.1f ms\n", timeMs([&] { form.cmdUnselectAll_Click(); }));
    std::printf("Insert Row: %.3f ms\n", timeMs([&] { form.cmdInsertRow_Click(); }));
    std::printf("peak memory holding %d rows (whole process): %ld MB\n", rows, peakRssMb());
    form.blnSaved = true;
    return 0;
}
