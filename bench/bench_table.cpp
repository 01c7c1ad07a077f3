// SPDX-License-Identifier: GPL-3.0-or-later
// The waypoint table with 100,000 rows: Select All, Invert Selection and Insert
// Row through Form1's handlers, and the memory the program holds for them.
// Prints one line per figure.
#include "bench/benchutil.h"
#include "shell/form1.h"
#include "shell/modmain.h"
#include "table/flexgrid.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = 100000;
    std::printf("baseline peak memory: %ld MB\n", PeakRssMb());
    Form1 form;
    LoadForm(&form);
    form.show();
    FlexGrid& g = *form.MSFlexGrid1;
    const double fill = TimeMs([&] { FillBenchRows(g, rows); });
    std::printf("fill %d rows: %.1f ms\n", rows, fill);
    std::printf("Select All: %.1f ms\n", TimeMs([&] { form.cmdSelectAll_Click(); }));
    std::printf("Invert Selection: %.1f ms\n", TimeMs([&] { form.cmdInvert_Click(); }));
    std::printf("Unselect All: %.1f ms\n", TimeMs([&] { form.cmdUnselectAll_Click(); }));
    std::printf("Insert Row: %.3f ms\n", TimeMs([&] { form.cmdInsertRow_Click(); }));
    std::printf("peak memory holding %d rows (whole process): %ld MB\n", rows, PeakRssMb());
    form.blnSaved = true;
    return 0;
}
