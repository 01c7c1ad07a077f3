// SPDX-License-Identifier: GPL-3.0-or-later
#include "cad/drawingwindow.h"
#include "platform/qtpromptresponder.h"
#include "platform/windowplacement.h"
#include "shell/commandline.h"
#include "shell/form1.h"
#include "shell/modmain.h"

#include <QApplication>

#include <memory>

int main(int argc, char* argv[]) {
    // Conversions and downloads run before, and without, any window.
    if (IsCommandLineMode(argc, argv))
        return RunCommandLine(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvel Transfer"));
    UseQtPrompts();
    InstallWindowPlacement();
    DrawingWindow::install(); // the drawing engine shows its drawing in this window
    std::unique_ptr<Form1> form(StartUp(QApplication::arguments().mid(1)));
    if (!form)
        return 1;
    return QApplication::exec();
}
