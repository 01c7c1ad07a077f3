// SPDX-License-Identifier: GPL-3.0-or-later
// 10,000 labelled point insertions into one drawing of the built-in engine,
// shown in its window, the file written at the end, through the surface the
// insertion commands use (one ConnectAcad, InsertLabelledBlock per point, one
// Commit, each block with the extended data Insert All gives it) and through
// the classic calls (InsertPointBlock + SetBlockAttribute,
// connecting again per call): into a new (R12) drawing and into an R2018
// drawing of about KORVEL_BENCH_BASE_MB megabytes (20 unless set; 0: empty)
// that ezdxf wrote; beside ezdxf doing the same job on the same drawing
// (bench_cad_ezdxf.py under /usr/bin/python3). Prints the times and the
// ratios. A timed program, one run of each.
#include "cad/acadstuff.h"
#include "cad/drawingview.h"
#include "cad/drawingwindow.h"
#include "dxf/dxfengine.h"
#include "dxf/pointdata.h"
#include "platform/settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
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
    const QString script = QStringLiteral(KORVEL_SOURCE_DIR "/bench/bench_cad_ezdxf.py");
    const double baseMb = qEnvironmentVariableIsSet("KORVEL_BENCH_BASE_MB")
                              ? qEnvironmentVariable("KORVEL_BENCH_BASE_MB").toDouble()
                              : 20.0;
    const QString base = work.filePath(QStringLiteral("Base-R2018.dxf"));
    if (QProcess::execute(QStringLiteral("/usr/bin/python3"),
                          {script, QStringLiteral("--base"), base, QString::number(baseMb)}) != 0)
        return 1;
    // ezdxf's time for the same job, into a new R12 drawing or into the base.
    auto ezdxf = [&](const QString& into) {
        QProcess py;
        QStringList args{script, flag, work.filePath(QStringLiteral("Ezdxf.dxf")), QString::number(count)};
        if (!into.isEmpty())
            args << into;
        py.start(QStringLiteral("/usr/bin/python3"), args);
        if (!py.waitForFinished(600000) || py.exitCode() != 0) {
            std::printf("ezdxf: failed (%s)\n", py.readAllStandardError().constData());
            return -1.0;
        }
        return py.readAllStandardOutput().trimmed().toDouble();
    };
    int failures = 0;
    for (const bool command : {true, false})
        for (const char* version : {"R12", "R2018"}) {
            const QString drawing = work.filePath(
                QStringLiteral("Bench-%1-%2.dxf").arg(version, command ? "command" : "classic"));
            if (QByteArray(version) != "R12" && !QFile::copy(base, drawing))
                return 1;
            const qint64 before = QFileInfo(drawing).size();
            SaveSetting(DrawingSetting::kApp, DrawingSetting::kSection, DrawingSetting::kPath, drawing);
            // The engine is given its drawing by its owner, as the main window gives it.
            if (auto* automation = dynamic_cast<DxfAutomation*>(&CurrentAcadAutomation()))
                automation->setDrawingPath(drawing);
            ACADStuff acad;
            DxfApplication* engine = nullptr;
            int savesBefore = 0; // the engine starts (or is found) with the first insertion
            int failed = 0;
            QElapsedTimer t;
            t.start();
            if (command) {
                if (!acad.ConnectAcad())
                    return 1;
                engine = dynamic_cast<DxfApplication*>(acad.AcadApp.get());
                savesBefore = engine ? engine->saveCount() : 0;
            }
            for (int i = 0; i < count; ++i) {
                const QString label = QStringLiteral("WP%1").arg(i);
                if (command) {
                    PointData placed;
                    placed.zone = 15;
                    placed.hemisphere = QLatin1Char('N');
                    placed.name = label;
                    placed.icon = QStringLiteral("a");
                    if (!acad.InsertLabelledBlock({i * 1.5, (i % 100) * 2.0, 0.0}, flag,
                                                  QStringLiteral("POINTS"), QStringLiteral("TRANSFERTEXT"),
                                                  label, PointDataXData::toExtendedData(placed)))
                        ++failed;
                    continue;
                }
                const QVariantList at{i * 1.5, (i % 100) * 2.0, 0.0};
                const QString handle = acad.InsertPointBlock(at, flag, QStringLiteral("POINTS"));
                if (handle.isEmpty() ||
                    !acad.SetBlockAttribute(handle, QStringLiteral("TRANSFERTEXT"), label))
                    ++failed;
                if (i == 0) {
                    engine = dynamic_cast<DxfApplication*>(acad.AcadApp.get());
                    savesBefore = engine ? engine->saveCount() : 0;
                }
            }
            if (command && !acad.Commit(true).isEmpty())
                ++failed;
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
            std::printf("engine, %s drawing of %.1f MB: %d inserts with attributes %s, file written: %.3f s "
                        "(%lld bytes, %d failed, %s)\n",
                        version, double(before) / 1e6, count,
                        command ? "as the insertion commands make them"
                                : "through the classic ACADStuff calls",
                        seconds, static_cast<long long>(QFile(drawing).size()), failed,
                        saved ? "written once" : "NOT written once");
            std::printf(
                "  of which after the last insertion (save, window rebuild and frame): %.1f ms (%d window "
                "shown)\n",
                showMs, windows);
            if (failed || !saved || windows != 1)
                ++failures;
            if (command) {
                const double theirs = ezdxf(QByteArray(version) == "R12" ? QString() : base);
                if (theirs < 0)
                    return 1;
                std::printf(
                    "ezdxf, same job: %.3f s; ratio ezdxf/engine: %.2f (above 1: the engine is faster)\n",
                    theirs, theirs / seconds);
            }
        }
    return failures ? 1 : 0;
}
