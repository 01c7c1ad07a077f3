// SPDX-License-Identifier: GPL-3.0-or-later
// Korvel Transfer without a window:
//   korvel-transfer --convert INPUT OUTPUT [options]
//   korvel-transfer --receive waypoints|track OUTPUT [--port DEVICE]
//   korvel-transfer --help
// A one-line summary goes to standard output, messages (including every
// prompt the work raises) to standard error. Exit status: 0 everything went,
// 1 some rows were left out or the receiver refused, 2 bad arguments or a
// failure that wrote nothing.
#pragma once

// True when the arguments ask for the command line rather than the window.
bool IsCommandLineMode(int argc, char* argv[]);

// Runs the command line; returns the exit status. Makes its own application
// object, a core one: no widget is made and no platform plugin loaded, so no
// display is needed.
int RunCommandLine(int argc, char* argv[]);
