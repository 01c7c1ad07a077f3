// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of Korvel Transfer.
#pragma once
#include <QString>
#include <QStringList>

class Form1;
class QWidget;

// Loads a window without showing it. On failure shows "There was an error
// loading the form." CR LF "Please contact technical support." and returns false.
// A window already loaded succeeds and does nothing.
bool LoadForm(QWidget* form);

// The command line as one text: the arguments (without the program path)
// joined by blanks.
QString CommandLineText(const QStringList& arguments);

// The path a command line names, or "" when it names none. On Linux the shell
// has already removed the quotes, so the whole line is the path; a path still
// wrapped in a pair of literal double quotes is unwrapped.
QString CommandLinePath(const QString& commandLine);

// Runs start-up: loads Form1, opens the file the command line names, shows the
// window and decides the AutoCAD menu. A points file (.gps) opened there is the
// current file, which Save writes back to; a file of another kind opened or
// imported there gives an untitled table, so Save asks for a name rather than
// writing points over it. The window is owned by the caller.
// Returns nullptr when the main window could not be loaded.
Form1* StartUp(const QStringList& arguments);
