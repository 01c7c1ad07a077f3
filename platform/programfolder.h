// SPDX-License-Identifier: GPL-3.0-or-later
// The program folder, whose files are this folder + "/Support/...", and the
// folder of each user's own data.
#pragma once
#include <QString>

// Folder of the running executable, without a trailing separator. Tests may
// point it elsewhere (an empty override restores the real folder).
QString AppPath();
void SetAppPathOverride(const QString& folder);

// AppPath() + "/Support/" + relative ('/' separators; relative may be empty,
// giving the Support folder with a trailing '/').
QString SupportPath(const QString& relative = QString());

// File name of the marker the install step puts into an installed program's
// Support/ folder (packaging/install.cmake). A build tree never has it.
inline constexpr char kInstalledMarker[] = "Installed";

// True when the program runs from an installed program folder: its Support/
// holds the marker kInstalledMarker. Decided by the marker alone, not by
// whether the folder is writable, so root running an installed program still
// keeps data per user, and a build tree keeps its data beside the program
// whoever runs it.
bool IsInstalledProgram();

// Where the user's own files go (the default drawing Drawing1.dxf, printed
// reports, the start folder of Open and Save), with relative appended:
// - installed: $XDG_DATA_HOME/korvel-transfer/ ($HOME/.local/share/korvel-
//   transfer/ when XDG_DATA_HOME is unset, empty or not absolute), made on
//   first use with mode 0700 less the umask (missing parents too);
// - run from a build tree: Support/Data/ beside the program, as always.
// When the folder cannot be made the path is returned all the same (a write
// there then fails) and *error (when given) holds the reason in words, without
// the folder's name ("Permission denied"); else *error is "".
QString UserDataPath(const QString& relative = QString(), QString* error = nullptr);

// The file a user may change among those shipped in Support/ (the block rules,
// "Rules.rls"): run from a build tree, Support/<relative> itself; installed,
// the user's own copy UserDataPath(relative), made from the installed file
// the first time it is asked for (never replacing a copy). When no copy can
// be made, the installed file (whose changes may be refused) and *warning (when
// given) says what happened; an installed file that cannot be read gives the
// installed path too, so that opening it says why.
QString WritableSupportFile(const QString& relative, QString* warning = nullptr);

// True when a file (hidden or read-only included; not a folder) exists at path.
bool FileExists(const QString& path);

// Paths kept in files beside the program (block rules): a path inside the
// program folder is stored relative to it ("Support/Inserts/Flag.dxf"), so a
// moved, copied or installed program folder uses its own files; any other
// path is kept as it is. "" stays "".
QString ToProgramRelative(const QString& path);
// The path a stored one names now: a relative path is taken from the program
// folder; an absolute one is returned unchanged.
QString FromProgramRelative(const QString& stored);
