// SPDX-License-Identifier: GPL-3.0-or-later
// A second program working on the same drawing, for the tests of drawings
// shared between programs: into the drawing the settings name, inserts `count` flag blocks labelled
// "<label> <n>" through the drawing engine, `batch` at a time with an update
// (and the save it schedules) after each batch. Starts when a line arrives on
// standard input, so that a test can start two at once. When that line is
// "step", each batch waits for a line of its own and is saved before "saved"
// is printed, until a line "run" lets the rest go freely: a test can then
// interleave two programs' saves for certain. Prints "rereads N"
// (how often another program's version had to be read) and exits 0 when every
// insert was saved, 1 otherwise.
#include "dxf/dxfengine.h"
#include "platform/clock.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s block label count batch\n", argv[0]);
        return 2;
    }
    const QString block = QString::fromLocal8Bit(argv[1]);
    const QString label = QString::fromLocal8Bit(argv[2]);
    const int count = std::atoi(argv[3]);
    const int batch = std::atoi(argv[4]);
    std::printf("ready\n");
    std::fflush(stdout);
    std::string go;
    std::getline(std::cin, go);
    bool stepping = go == "step";

    try {
        DxfAutomation automation(DrawingPathSetting()); // as the main window gives it
        auto engine = std::dynamic_pointer_cast<DxfApplication>(automation.CreateObject());
        for (int n = 0; n < count;) {
            if (stepping) {
                std::string next;
                stepping = std::getline(std::cin, next) && next != "run";
            }
            auto ms = engine->ActiveDocument()->ModelSpace();
            for (int i = 0; i < batch && n < count; ++i, ++n) {
                auto ref = ms->InsertBlock({double(n), label.size() * 10.0, 0}, block, 1, 1, 1, 0);
                ref->GetAttributes().at(0)->setTextString(QStringLiteral("%1 %2").arg(label).arg(n));
            }
            engine->ZoomExtents();
            engine->Update();
            if (stepping) {
                if (!engine->flush())
                    std::fprintf(stderr, "%s\n", qPrintable(engine->lastSaveError()));
                std::printf("saved\n");
                std::fflush(stdout);
                continue;
            }
            QCoreApplication::processEvents(); // the scheduled save
            Sleep(5);                          // give the other program its turn
        }
        const bool saved = engine->flush();
        if (!saved)
            std::fprintf(stderr, "%s\n", qPrintable(engine->lastSaveError()));
        std::printf("rereads %d\n", engine->rereadCount());
        return saved ? 0 : 1;
    } catch (const AcadError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
}
