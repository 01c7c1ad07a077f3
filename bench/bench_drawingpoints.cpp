// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the points of a drawing of 100,000 labelled blocks (each with the
// program's extended data), made by the engine, in R12 and in R2018 (the engine
// inserting into an empty drawing ezdxf wrote): ReadDrawingPoints (best of 5
// runs) beside ezdxf reading the same file and walking its model space INSERTs
// with their attributes (bench_drawingpoints_ezdxf.py, one run). Prints the
// times, the file sizes and the ratios.
#include "dxf/drawingpoints.h"
#include "dxf/dxfdrawing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kBlocks = 100000;

bool make(const QString& path, const QByteArray& start) {
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
        d.setExtendedData(index, PointDataXData::toExtendedData(data));
    }
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(d.toBytes()) > 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    const QString script = QStringLiteral(KORVEL_SOURCE_DIR "/bench/bench_drawingpoints_ezdxf.py");
    int failures = 0;
    for (const char* version : {"R12", "R2018"}) {
        const QString empty = work.filePath(QStringLiteral("Empty-%1.dxf").arg(QLatin1String(version)));
        const QString path = work.filePath(QStringLiteral("Points-%1.dxf").arg(QLatin1String(version)));
        QByteArray start = DxfDrawing::createNew().toBytes();
        if (QByteArray(version) != "R12") {
            if (QProcess::execute(QStringLiteral("/usr/bin/python3"),
                                  {script, QStringLiteral("--empty"), empty, QLatin1String(version)}) != 0)
                return 1;
            QFile f(empty);
            if (!f.open(QIODevice::ReadOnly))
                return 1;
            start = f.readAll();
        }
        if (!make(path, start))
            return 1;
        double best = 1e9;
        size_t points = 0;
        for (int run = 0; run < 5; ++run) {
            QElapsedTimer t;
            t.start();
            const DrawingPointsResult r = ReadDrawingPoints(path, {});
            best = std::min(best, double(t.nsecsElapsed()) / 1e6);
            points = r.points.size();
            if (!r.ok() || points != size_t(kBlocks) || !r.points.back().data) {
                std::printf("%s: read failed (%s, %zu points)\n", version, qPrintable(r.error), points);
                ++failures;
                break;
            }
        }
        QProcess py;
        py.start(QStringLiteral("/usr/bin/python3"), {script, path});
        double ezdxfMs = -1;
        if (py.waitForFinished(600000) && py.exitCode() == 0)
            ezdxfMs = py.readAllStandardOutput().trimmed().toDouble() * 1000;
        std::printf("%s: %d blocks, %.1f MB: ReadDrawingPoints %.0f ms, ezdxf %.0f ms (%.0fx)\n", version,
                    kBlocks, double(QFile(path).size()) / 1e6, best, ezdxfMs, ezdxfMs / best);
    }
    return failures ? 1 : 0;
}
