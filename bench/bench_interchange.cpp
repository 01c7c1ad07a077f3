// SPDX-License-Identifier: GPL-3.0-or-later
// Import a 100,000-point GPX track into the waypoint table and export the
// table as GPX again; in the same run, gpsbabel converting the same GPX to
// GPX. Prints each time (best of three) against the 0.5 s target.
#include "interchange/formats.h"
#include "shell/interchangetable.h"
#include "table/waypointrows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kPoints = 100000;

QByteArray trackGpx() {
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<gpx version=\"1.1\" creator=\"bench\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
                     "<trk><name>Bench</name><trkseg>\n";
    for (int i = 0; i < kPoints; ++i) {
        const int s = i * 5;
        out += QStringLiteral("<trkpt lat=\"%1\" lon=\"%2\"><ele>%3</ele>"
                              "<time>2014-06-02T%4:%5:%6Z</time></trkpt>\n")
                   .arg(35.0 + i * 1.23456789e-5, 0, 'f', 9)
                   .arg(-90.0 - i * 9.87654321e-6, 0, 'f', 9)
                   .arg(100 + (i % 700) * 0.5)
                   .arg(s / 3600 % 24, 2, 10, QLatin1Char('0'))
                   .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                   .arg(s % 60, 2, 10, QLatin1Char('0'))
                   .toUtf8();
    }
    return out + "</trkseg></trk>\n</gpx>\n";
}

template <typename F> double bestMs(F&& f) {
    double best = 1e300;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, double(t.nsecsElapsed()) / 1e6);
    }
    return best;
}

void report(const char* step, double ms, double babelMs) {
    std::printf("%-34s %8.1f ms  (target < 500 ms: %s; gpsbabel %.1f ms: %s)\n", step, ms,
                ms < 500 ? "met" : "MISSED", babelMs, ms < babelMs ? "faster" : "SLOWER");
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString in = dir.filePath("track.gpx"), out = dir.filePath("export.gpx");
    {
        QFile f(in);
        if (!f.open(QIODevice::WriteOnly) || f.write(trackGpx()) < 0)
            return 1;
        std::printf("%d track points, %.1f MB of GPX\n", kPoints, double(f.size()) / 1e6);
    }

    WaypointRows grid;
    int rows = 0;
    const double importMs = bestMs([&] {
        SetUpEmptyRows(grid);
        const ImportOutcome r = ImportIntoTable(in, grid);
        rows = r.added;
        QCoreApplication::processEvents();
    });
    ReadResult parsed;
    const double parseMs = bestMs([&] { parsed = ReadInterchangeFile(in); });
    const double fillMs = bestMs([&] {
        WaypointRows g;
        SetUpEmptyRows(g);
        AppendRowsToTable(g, parsed.rows);
    });
    PointRows tableRows;
    const double rowsMs = bestMs([&] { tableRows = TableRows(grid, false); });
    const double formatMs = bestMs([&] {
        WriteResult w;
        WriteGpx(tableRows, w);
    });
    const double writeMs = bestMs([&] { WriteInterchangeFile(out, tableRows); });
    std::printf(
        "  parts: parse %.1f ms, fill the table %.1f ms, rows from the table %.1f ms, format %.1f ms, "
        "format and durable write %.1f ms\n",
        parseMs, fillMs, rowsMs, formatMs, writeMs);
    const double exportMs = bestMs([&] { WriteInterchangeFile(out, TableRows(grid, false)); });
    int babelExit = -1;
    const double babelMs = bestMs([&] {
        babelExit =
            QProcess::execute("gpsbabel", {"-i", "gpx", "-f", in, "-o", "gpx", "-F", dir.filePath("b.gpx")});
    });
    if (rows != kPoints || babelExit != 0) {
        std::printf("failed: %d rows imported, gpsbabel exit %d\n", rows, babelExit);
        return 1;
    }
    report("import GPX track into the table", importMs, babelMs);
    report("export the table as GPX", exportMs, babelMs);
    std::printf("%-34s %8.1f ms\n", "gpsbabel GPX to GPX", babelMs);
    return 0;
}
