// SPDX-License-Identifier: GPL-3.0-or-later
// Delete Selected Rows through Form1's handler on tables of 25,000, 50,000 and
// 100,000 rows with every other row marked. Prints one line per size (best and
// median of five runs), so that the growth with the row count shows too.
#include "bench/benchutil.h"
#include "shell/form1.h"
#include "shell/modmain.h"
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void fill(FlexGrid& g, int rows) {
    g.beginBulkUpdate();
    SetUpEmptyTable(g);
    FillBenchRows(g, rows, true);
    g.endBulkUpdate();
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Form1 form;
    LoadForm(&form);
    form.show();
    FlexGrid& g = *form.MSFlexGrid1;
    for (int rows : {25000, 50000, 100000}) {
        std::vector<double> ms;
        for (int run = 0; run < 5; ++run) {
            fill(g, rows);
            ms.push_back(TimeMs([&] { form.cmdDeleteRecords_Click(); }));
            if (g.Rows() != rows / 2 + 1) {
                std::printf("wrong result: %d rows left of %d\n", g.Rows() - 1, rows);
                return 1;
            }
        }
        std::sort(ms.begin(), ms.end());
        std::printf("Delete Selected Rows, %d rows, every other marked: best %.1f ms, median %.1f ms\n", rows,
                    ms.front(), ms[ms.size() / 2]);
    }
    form.blnSaved = true;
    return 0;
}
