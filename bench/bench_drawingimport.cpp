// SPDX-License-Identifier: GPL-3.0-or-later
// A drawing of 100,000 labelled blocks made by the engine read into waypoint
// rows as File > Import... does (ReadDrawingRows, then the rows appended to
// the table's model), best of 5 runs: blocks carrying the program's extended
// data (R2018), and plain blocks placed by a UTM zone and by a projected
// system (R12). Beside it ezdxf reading the same file and walking its model
// space INSERTs with their attributes (bench_drawingpoints_ezdxf.py, one run).
#include "cad/drawingimport.h"
#include "dxf/dxfdrawing.h"
#include "shell/interchangetable.h"
#include "table/waypointrows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kBlocks = 100000;

// Blocks on a 1 km square of UTM zone 15 north, labelled WP<n>; with the
// program's data when ownData.
bool make(const QString& path, const QByteArray& start, bool ownData) {
    DxfDrawing d = DxfDrawing::open(start);
    const QString block = d.blockFromFile(QStringLiteral(KORVEL_SOURCE_DIR "/support/Inserts/Flag.dxf"));
    PointData data;
    data.zone = 15;
    data.hemisphere = QLatin1Char('N');
    data.icon = QStringLiteral("a");
    for (int i = 0; i < kBlocks; ++i) {
        const QByteArray handle =
            d.insertBlock(block, {700000.0 + i % 1000, 3900000.0 + i / 1000.0, 28}, 1, 1, 1, 0);
        const int index = d.entityIndex(handle);
        data.name = QStringLiteral("WP%1").arg(i);
        data.message = QStringLiteral("Message text %1").arg(i);
        for (int a : d.attributesOf(index))
            d.setAttributeText(a, data.name);
        if (ownData)
            d.setExtendedData(index, PointDataXData::toExtendedData(data));
    }
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(d.toBytes()) > 0;
}

double ezdxfMs(const QString& script, const QString& path) {
    QProcess py;
    py.start(QStringLiteral("/usr/bin/python3"), {script, QStringLiteral("--plain"), path});
    if (py.waitForFinished(600000) && py.exitCode() == 0)
        return py.readAllStandardOutput().trimmed().toDouble() * 1000;
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    const QString script = QStringLiteral(KORVEL_SOURCE_DIR "/bench/bench_drawingpoints_ezdxf.py");
    const QString empty2018 = work.filePath(QStringLiteral("Empty-R2018.dxf"));
    if (QProcess::execute(QStringLiteral("/usr/bin/python3"),
                          {script, QStringLiteral("--empty"), empty2018, QStringLiteral("R2018")}) != 0)
        return 1;
    QFile emptyFile(empty2018);
    if (!emptyFile.open(QIODevice::ReadOnly))
        return 1;
    const QString own = work.filePath(QStringLiteral("Own-R2018.dxf"));
    const QString plain = work.filePath(QStringLiteral("Plain-R12.dxf"));
    if (!make(own, emptyFile.readAll(), true) || !make(plain, DxfDrawing::createNew().toBytes(), false))
        return 1;

    DrawingImportOptions zone;
    zone.zone = 15;
    DrawingImportOptions system;
    system.crs = QStringLiteral("EPSG:26915"); // NAD83 / UTM zone 15N
    struct Case {
        const char* label;
        QString path;
        DrawingImportOptions options;
    };
    const Case cases[] = {{"R2018, own data", own, {}},
                          {"R12, --zone 15", plain, zone},
                          {"R12, --crs EPSG:26915", plain, system}};
    int failures = 0;
    QHash<QString, double> ezdxf; // by file: one run each
    for (const Case& c : cases) {
        double best = 1e9, bestRead = 1e9;
        for (int run = 0; run < 5; ++run) {
            WaypointRows grid;
            SetUpEmptyRows(grid);
            QElapsedTimer t;
            t.start();
            const DrawingImportResult r = ReadDrawingRows(c.path, c.options);
            bestRead = std::min(bestRead, double(t.nsecsElapsed()) / 1e6);
            AppendRowsToTable(grid, r.rows);
            best = std::min(best, double(t.nsecsElapsed()) / 1e6);
            if (!r.ok || grid.Rows() != kBlocks + 1) {
                std::printf("%s: import failed (%s, %d rows)\n", c.label, qPrintable(r.error),
                            grid.Rows() - 1);
                ++failures;
                break;
            }
        }
        if (!ezdxf.contains(c.path))
            ezdxf.insert(c.path, ezdxfMs(script, c.path));
        const double ez = ezdxf.value(c.path);
        std::printf("%s: %d blocks, %.1f MB: ReadDrawingRows %.0f ms, with the rows appended %.0f ms; "
                    "ezdxf reading it %.0f ms (%.1fx)\n",
                    c.label, kBlocks, double(QFile(c.path).size()) / 1e6, bestRead, best, ez, ez / best);
    }
    return failures ? 1 : 0;
}
