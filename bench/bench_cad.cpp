// SPDX-License-Identifier: GPL-3.0-or-later
// 10,000 point insertions (InsertPointBlock + SetBlockAttribute) through
// ACADStuff into one drawing of the built-in engine, shown in its window, the
// file written at the end: into a new (R12) drawing, then into an R2018
// drawing ezdxf wrote; then ezdxf doing the same job (bench_cad_ezdxf.py under
// /usr/bin/python3). Prints the times and the ratio. A timed program, one run of each.
#include "cad/acadstuff.h"
#include "cad/drawingview.h"
#include "cad/drawingwindow.h"
#include "dxf/dxfengine.h"
#include "platform/settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    QTemporaryDir work;
    const int count = 10000;
    const QString flag = QStringLiteral(KORVEL_SOURCE_DIR "/support/Inserts/Flag.dxf");
    DrawingWindow::install(); // as the program does: the drawing is shown while points go in
    double ours = 0;
    int failures = 0;
    for (const char* version : {"R12", "R2018"}) {
        const QString drawing = work.filePath(QStringLiteral("Bench-%1.dxf").arg(version));
        if (QByteArray(version) != "R12" &&
            QProcess::execute(
                QStringLiteral("/usr/bin/python3"),
                {"-c", QStringLiteral("import ezdxf; ezdxf.new('%1').saveas('%2')").arg(version, drawing)}) !=
                0)
            return 1;
        SaveSetting(DrawingSetting::kApp, DrawingSetting::kSection, DrawingSetting::kPath, drawing);
        ACADStuff acad;
        DxfApplication* engine = nullptr;
        int savesBefore = 0; // the engine starts (or is found) with the first insertion
        int failed = 0;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < count; ++i) {
            const QVariantList at{i * 1.5, (i % 100) * 2.0, 0.0};
            const QString handle = acad.InsertPointBlock(at, flag, QStringLiteral("POINTS"));
            if (handle.isEmpty() || !acad.SetBlockAttribute(handle, QStringLiteral("TRANSFERTEXT"),
                                                            QStringLiteral("WP%1").arg(i)))
                ++failed;
            if (i == 0) {
                engine = dynamic_cast<DxfApplication*>(acad.AcadApp.get());
                savesBefore = engine ? engine->saveCount() : 0;
            }
        }
        // After the command: the coalesced save, then the window shows the result
        // (one scene rebuild and one frame).
        QElapsedTimer shown;
        shown.start();
        QCoreApplication::processEvents();
        int windows = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<DrawingWindow*>(w); d && d->isVisible()) {
                d->view()->repaint();
                ++windows;
            }
        const double showMs = double(shown.nsecsElapsed()) / 1e6;
        engine = dynamic_cast<DxfApplication*>(acad.AcadApp.get());
        const bool saved = engine && engine->flush() && engine->saveCount() == savesBefore + 1;
        const double seconds = double(t.nsecsElapsed()) / 1e9;
        if (ours == 0)
            ours = seconds;
        std::printf("engine, %s drawing: %d inserts with attributes through ACADStuff, file written: %.3f s "
                    "(%lld bytes, %d failed, %s)\n",
                    version, count, seconds, static_cast<long long>(QFile(drawing).size()), failed,
                    saved ? "written once" : "NOT written once");
        std::printf(
            "  of which after the last insertion (save, window rebuild and frame): %.1f ms (%d window "
            "shown)\n",
            showMs, windows);
        if (failed || !saved || windows != 1)
            ++failures;
    }

    QProcess py;
    py.start(QStringLiteral("/usr/bin/python3"),
             {QStringLiteral(KORVEL_SOURCE_DIR "/bench/bench_cad_ezdxf.py"), flag,
              work.filePath(QStringLiteral("Ezdxf.dxf")), QString::number(count)});
    if (!py.waitForFinished(600000) || py.exitCode() != 0) {
        std::printf("ezdxf: failed (%s)\n", py.readAllStandardError().constData());
        return 1;
    }
    const double theirs = py.readAllStandardOutput().trimmed().toDouble();
    std::printf("ezdxf: %d inserts with attributes, file written: %.3f s\n", count, theirs);
    std::printf("ratio ezdxf/engine (R12): %.2f (above 1: the engine is faster)\n",
                ours > 0 ? theirs / ours : 0.0);
    return failures ? 1 : 0;
}
