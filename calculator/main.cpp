// SPDX-License-Identifier: GPL-3.0-or-later
// zenobar            opens the calculator window
// zenobar --batch [--feet] [--zone N]
//                    converts "LATITUDE LONGITUDE" lines from standard input
//                    (see calculator/batchconverter.h); exit status 0 when every
//                    line converted, 1 when some gave ERROR, 2 for bad arguments,
//                    input that could not be read or results that could not be
//                    written.
#include "calculator/batchconverter.h"
#include "calculator/frmmain.h"
#include "calculator/modmain.h"
#include "platform/prompts.h"
#include "platform/windowplacement.h"

#include <QApplication>

#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

int main(int argc, char* argv[]) {
    if (argc > 1) {
        std::vector<std::string> args(argv + 1, argv + argc);
        if (args[0] != "--batch") {
            std::cerr << "usage: zenobar [--batch [--feet] [--zone N]]\n";
            return 2;
        }
        BatchOptions options;
        std::string error;
        if (!BatchConverter::parseArguments({args.begin() + 1, args.end()}, &options, &error)) {
            std::cerr << "zenobar: " << error << "\nusage: zenobar --batch [--feet] [--zone N]\n";
            return 2;
        }
        std::ios::sync_with_stdio(false);
        return BatchConverter(options).runProgram(BatchConverter::FileInput(STDIN_FILENO), std::cout,
                                                  std::cerr);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zenobar"));
    SetAppTitle(QStringLiteral("Zenobar"));
    InstallWindowPlacement();
    std::unique_ptr<frmMain> form = ZenobarStartUp();
    return QApplication::exec();
}
