// SPDX-License-Identifier: GPL-3.0-or-later
// zenobar            opens the calculator window
// zenobar --batch [--feet] [--zone N | --crs CODE]
//                    converts "LATITUDE LONGITUDE" lines from standard input
//                    (see calculator/batchconverter.h); exit status 0 when every
//                    line converted, 1 when some gave ERROR, 2 for bad arguments
//                    (an unknown coordinate system included), input that could
//                    not be read or results that could not be written.
// zenobar --batch --inverse [--feet] [--crs CODE]
//                    the reverse: "ZONE N|S EASTING NORTHING" lines (or
//                    "EASTING NORTHING" with --crs) to "LATITUDE LONGITUDE"
// zenobar --help     says so on standard output.
#include "calculator/batchconverter.h"
#include "calculator/frmmain.h"
#include "calculator/modmain.h"
#include "crs/coordinatesystem.h"
#include "platform/prompts.h"
#include "platform/qtpromptresponder.h"
#include "platform/windowplacement.h"

#include <QApplication>

#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

const char* const kUsage = "usage: zenobar [--batch [--feet] [--zone N | --crs CODE]]\n"
                           "       zenobar --batch --inverse [--feet] [--crs CODE]\n";

const char* const kHelp =
    "\n"
    "Without arguments: opens the calculator window.\n"
    "\n"
    "--batch  reads lines of LATITUDE LONGITUDE from standard input (decimal degrees,\n"
    "         south and west negative, or angle text such as 35N16'35\" 90W16'35\";\n"
    "         separated by blanks, a tab or a comma) and writes one line per input\n"
    "         line to standard output: ZONE EASTING NORTHING, or ERROR: reason.\n"
    "  --feet       UTM in feet instead of metres\n"
    "  --zone N     force UTM zone N (1 to 60) on every line\n"
    "  --crs CODE   instead of UTM, a projected coordinate system of the PROJ\n"
    "               database: EPSG:2274 (or 2274), EPSG:27700, ESRI:102719, ...;\n"
    "               writes CODE EASTING NORTHING in the system's own unit (US\n"
    "               survey feet for EPSG:2274), transformed from WGS 84 as\n"
    "               cs2cs EPSG:4326 CODE does\n"
    "  --inverse    the other way: reads lines of ZONE N|S EASTING NORTHING\n"
    "               (15 N 747726.7435 3907096.1763; the northing with the\n"
    "               10000000 m false northing when S), or EASTING NORTHING with\n"
    "               --crs, and writes LATITUDE LONGITUDE in decimal degrees\n"
    "               (10 decimals), or ERROR: reason; --feet reads feet, --crs\n"
    "               the system's unit (as cs2cs CODE EPSG:4326); no --zone\n"
    "Exit status: 0 every line converted, 1 some lines gave ERROR, 2 bad arguments\n"
    "(an unknown coordinate system included), unreadable input or unwritable results.\n";

} // namespace

int main(int argc, char* argv[]) {
    if (argc > 1) {
        std::vector<std::string> args(argv + 1, argv + argc);
        if (args[0] == "--help" || args[0] == "-h") {
            std::cout << kUsage << kHelp;
            return 0;
        }
        if (args[0] != "--batch") {
            std::cerr << kUsage;
            return 2;
        }
        BatchOptions options;
        std::string error;
        if (!BatchConverter::parseArguments({args.begin() + 1, args.end()}, &options, &error)) {
            std::cerr << "zenobar: " << error << '\n' << kUsage;
            return 2;
        }
        std::ios::sync_with_stdio(false);
        try {
            const BatchConverter converter(options);
            return converter.runProgram(BatchConverter::FileInput(STDIN_FILENO), std::cout, std::cerr);
        } catch (const CoordinateSystemError& e) {
            std::cerr << "zenobar: " << e.what() << '\n';
            return 2;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zenobar"));
    SetAppTitle(QStringLiteral("Zenobar"));
    UseQtPrompts();
    InstallWindowPlacement();
    std::unique_ptr<frmMain> form = ZenobarStartUp();
    return QApplication::exec();
}
