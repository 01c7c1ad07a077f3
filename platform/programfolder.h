// SPDX-License-Identifier: GPL-3.0-or-later
// The program folder: every data path is this folder + "/Support/...".
#pragma once
#include <QString>

// Folder of the running executable, without a trailing separator. Tests may
// point it elsewhere (an empty override restores the real folder).
QString AppPath();
void SetAppPathOverride(const QString& folder);

// AppPath() + "/Support/" + relative ('/' separators; relative may be empty,
// giving the Support folder with a trailing '/').
QString SupportPath(const QString& relative = QString());

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
