// SPDX-License-Identifier: GPL-3.0-or-later
// Open a 100,000-row points file into the waypoint table and save it again.
// Prints the time of each and the process's peak memory afterwards.
#include "files/pointsfile.h"
#include "files/pointstable.h"
#include "table/waypointrows.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

constexpr int kRows = 100000;
QString sourceFile;
QString targetFile;

// Rows like a receiver's: names, 15-digit coordinates, elevation, short messages.
QByteArray sampleFile() {
    QByteArray out;
    for (int i = 0; i < kRows; ++i) {
        PointsRecord r{QStringLiteral("WP%1").arg(i, 6, 10, QLatin1Char('0')),
                       35.0 + i * 1.23456789e-5,
                       -90.0 - i * 9.87654321e-6,
                       QStringLiteral("%1M").arg(i % 3000, 7, 10, QLatin1Char('0')),
                       i % 4 ? QString() : QStringLiteral("Camp site near the river"),
                       QStringLiteral("a")};
        AppendRecord(out, r);
    }
    return out;
}

void BM_OpenPointsFile(benchmark::State& state) {
    WaypointRows grid;
    for (auto _ : state) {
        const PointsLoadResult r = LoadPointsFile(sourceFile, grid);
        if (!r.ok || r.rows != kRows)
            state.SkipWithError("load failed");
    }
    state.counters["rows"] = grid.Rows() - 1;
}

void BM_SavePointsFile(benchmark::State& state) {
    WaypointRows grid;
    if (!LoadPointsFile(sourceFile, grid).ok)
        state.SkipWithError("load failed");
    for (auto _ : state) {
        const PointsSaveResult r = SavePointsFile(targetFile, grid);
        if (!r.ok || r.records != kRows)
            state.SkipWithError("save failed");
    }
    state.counters["rows"] = grid.Rows() - 1;
}

BENCHMARK(BM_OpenPointsFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SavePointsFile)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    sourceFile = dir.filePath(QStringLiteral("source.gps"));
    targetFile = dir.filePath(QStringLiteral("target.gps"));
    QFile f(sourceFile);
    const QByteArray bytes = sampleFile();
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return 1;
    f.close();
    std::printf("points file: %d rows, %lld bytes\n", kRows, static_cast<long long>(bytes.size()));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory (max RSS): %.1f MB\n", usage.ru_maxrss / 1024.0);
    return 0;
}
