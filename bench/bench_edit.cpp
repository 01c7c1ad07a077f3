// SPDX-License-Identifier: GPL-3.0-or-later
// Delete Selected Rows through Form1's handler on tables of 25,000, 50,000 and
// 100,000 rows with every other row marked. Prints one line per size (best and
// median of five runs), so that the growth with the row count shows too.
#include "shell/form1.h"
#include "shell/modmain.h"
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void fill(FlexGrid& g, int rows) {
    g.beginBulkUpdate();
    SetUpEmptyTable(g);
    g.setRows(rows + 1);
    for (int r = 1; r <= rows; ++r) {
        g.setTextMatrix(r, colName, QStringLiteral("WP%1").arg(r));
        g.setTextMatrix(r, colLatitude, QStringLiteral("35.2763888888889"));
        g.setTextMatrix(r, colLongitude, QStringLiteral("-90.2763888888889"));
        g.setTextMatrix(r, colElevation, QStringLiteral("0000028M"));
        g.setTextMatrix(r, colMessage, QStringLiteral("Message text %1").arg(r));
        g.setTextMatrix(r, colIcon, QStringLiteral("a"));
        g.setMarked(r, r % 2 == 0);
    }
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
            QElapsedTimer t;
            t.start();
            form.cmdDeleteRecords_Click();
            QCoreApplication::processEvents(); // the view catching up counts too
            ms.push_back(double(t.nsecsElapsed()) / 1e6);
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
