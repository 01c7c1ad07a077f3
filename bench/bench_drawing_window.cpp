// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing window over a big drawing: a generated R12 drawing of about
// 200 MB (2,000,000 LINEs on a few layers and 20,000 block references), opened
// by the DXF engine as the program opens it, then shown in the drawing window
// next to a stand-in main window whose timer beats every 5 ms. Prints how long
// the first complete frame takes, the main thread's longest pause while the
// picture is built and the process's peak memory. The drawing is written to a
// temporary folder (settings too) and removed afterwards.
// Usage: bench_drawing_window [lines] (default 2000000).
#include "cad/drawingview.h"
#include "cad/drawingwindow.h"
#include "dxf/dxfengine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

// Peak resident memory of this process so far, in MB (VmHWM).
double peakMegabytes() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toDouble() / 1024;
    return 0;
}

// Writes the drawing to f in pieces, so the generator's memory does not count
// in the peak. Returns the bytes written, or -1.
qint64 generate(QFile& f, long lines, int inserts) {
    QByteArray out;
    qint64 written = 0;
    auto flush = [&] {
        if (f.write(out) != out.size())
            return false;
        written += out.size();
        out.clear();
        return true;
    };
    out += "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1009\n0\nENDSEC\n";
    out += "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n70\n4\n";
    for (const char* l : {"0", "CONTOURS", "WALLS", "SERVICES"})
        out += QByteArray("0\nLAYER\n2\n") + l + "\n70\n0\n62\n" + QByteArray::number(1 + (l[0] % 6)) +
               "\n6\nCONTINUOUS\n";
    out += "0\nENDTAB\n0\nENDSEC\n";
    out += "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nMARK\n70\n0\n10\n0.0\n20\n0.0\n30\n0.0\n"
           "0\nCIRCLE\n8\n0\n10\n0.0\n20\n0.0\n30\n0.0\n40\n0.5\n"
           "0\nLINE\n8\n0\n10\n-1.0\n20\n0.0\n30\n0.0\n11\n1.0\n21\n0.0\n31\n0.0\n"
           "0\nLINE\n8\n0\n10\n0.0\n20\n-1.0\n30\n0.0\n11\n0.0\n21\n1.0\n31\n0.0\n"
           "0\nTEXT\n8\n0\n10\n0.6\n20\n0.6\n30\n0.0\n40\n0.4\n1\nMK\n0\nENDBLK\n8\n0\n0\nENDSEC\n";
    out += "0\nSECTION\n2\nENTITIES\n";
    const char* layers[] = {"CONTOURS", "WALLS", "SERVICES"};
    unsigned seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % 100000;
    };
    char buf[256];
    for (long i = 0; i < lines; ++i) {
        const double x = 500000 + next() * 0.05, y = 4100000 + next() * 0.05;
        const int n = std::snprintf(
            buf, sizeof buf, "0\nLINE\n8\n%s\n10\n%.6f\n20\n%.6f\n30\n0.0\n11\n%.6f\n21\n%.6f\n31\n0.0\n",
            layers[i % 3], x, y, x + next() * 0.0002, y + next() * 0.0002);
        out.append(buf, n);
        if (out.size() > (1 << 20) && !flush())
            return -1;
    }
    for (int i = 0; i < inserts; ++i) {
        const int n =
            std::snprintf(buf, sizeof buf, "0\nINSERT\n8\nWALLS\n2\nMARK\n10\n%.3f\n20\n%.3f\n30\n0.0\n",
                          500000 + next() * 0.05, 4100000 + next() * 0.05);
        out.append(buf, n);
    }
    out += "0\nENDSEC\n0\nEOF\n";
    return flush() ? written : -1;
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    // The engine remembers its drawing in the settings: not the user's.
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    QApplication app(argc, argv);
    const long lines = argc > 1 ? std::atol(argv[1]) : 2000000;

    const QString path = dir.filePath(QStringLiteral("big.dxf"));
    qint64 size = 0;
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || (size = generate(f, lines, 20000)) < 0)
            return 1;
    }
    QElapsedTimer clock;
    clock.start();
    DxfApplication engine;
    engine.openDrawing(path);
    std::printf("drawing: %.1f MB, %ld LINEs + 20000 INSERTs, opened by the engine in %.2f s\n",
                static_cast<double>(size) / 1e6, lines, clock.nsecsElapsed() / 1e9);

    // The program's main window, already on screen with its text (fonts loaded).
    QMainWindow main;
    main.setCentralWidget(new QLabel(QStringLiteral("Waypoints")));
    main.resize(1200, 800);
    main.show();
    app.processEvents();
    qint64 longestPause = 0, lastBeat = 0;
    QElapsedTimer beat;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = beat.nsecsElapsed();
        longestPause = std::max(longestPause, now - lastBeat);
        lastBeat = now;
    });

    DrawingWindow window(engine);
    window.resize(1280, 800);
    DrawingView& view = *window.view();
    beat.start();
    heartbeat.start();
    clock.restart();
    engine.setVisible(true); // as the program shows it
    // The event loop runs as it would in the program until the scene is
    // complete and its frame is on screen.
    double built = 0;
    do {
        app.processEvents(QEventLoop::AllEvents, 5);
        if (built == 0 && !view.building() && clock.elapsed() > 50)
            built = clock.nsecsElapsed() / 1e9;
    } while (!view.upToDate() || clock.elapsed() < 50);
    const double firstFrame = clock.nsecsElapsed() / 1e9;
    app.processEvents();
    heartbeat.stop();
    std::printf("first complete frame: %.2f s (scene built in %.2f s, %zu primitives)\n", firstFrame, built,
                view.scene().primitiveCount());
    std::printf("main thread's longest pause while building: %.0f ms (target: at most 100 ms)\n",
                longestPause / 1e6);
    std::printf("peak memory: %.0f MB (%.1f times the file)\n", peakMegabytes(),
                peakMegabytes() * 1e6 / static_cast<double>(size));
    std::printf("status: %s\n", qPrintable(view.sceneStatus().isEmpty() ? QStringLiteral("(everything drawn)")
                                                                        : view.sceneStatus()));
    return 0;
}
