// SPDX-License-Identifier: GPL-3.0-or-later
// The grid report on large tables: laying out the pages, and writing them
// all as one PDF file. Prints one line per figure.
//   bench_report [rows ...]   (default 5700 and 100000)
// With KORVEL_PRINT_DIR set, the pages are kept there for viewing.
#include "bench/benchutil.h"
#include "report/gridreport.h"
#include "report/reportprinter.h"
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<int> counts;
    for (int i = 1; i < argc; ++i)
        counts << QString::fromLocal8Bit(argv[i]).toInt();
    if (counts.isEmpty())
        counts = {5700, 100000};

    for (const int rows : counts) {
        FlexGrid grid;
        SetUpEmptyTable(grid);
        FillBenchRows(grid, rows, true);

        QElapsedTimer t;
        t.start();
        const GridReport report(grid.rows(), GridReportLook::of(grid), QDate::currentDate());
        const double layoutMs = double(t.nsecsElapsed()) / 1e6;

        QTemporaryDir dir;
        const QString keep = qEnvironmentVariable("KORVEL_PRINT_DIR");
        t.restart();
        const ReportResult result =
            ReportPrinter::toPdfFolder(keep.isEmpty() ? dir.path() : keep).print(report);
        const double writeMs = double(t.nsecsElapsed()) / 1e6;
        const qint64 bytes = QFileInfo(result.file).size();
        if (result.status != ReportResult::WrittenAsPdf) {
            std::printf("%d rows: FAILED: %s\n", rows, qPrintable(result.error));
            return 1;
        }
        std::printf("%d rows: page layout %.1f ms; one PDF of %d pages written in %.0f ms (%.2f ms a page), "
                    "%.1f MB\n",
                    rows, layoutMs, result.pages, writeMs, writeMs / result.pages, double(bytes) / 1e6);
    }
    return 0;
}
