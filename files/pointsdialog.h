// SPDX-License-Identifier: GPL-3.0-or-later
// What the Open and Save As commands share: the chooser's set-up and the
// extension rule.
#pragma once
#include <QString>

#include <cstdint>

class FileDialog;

// The chooser filter of points files.
inline const QString kPointsFilter = QStringLiteral("GPS_Points|*.gps");

// Start folder of Open and Save As: the user's data folder (UserDataPath()),
// created when missing; the user's home folder (with a trailing '/') when it
// cannot be created. Never fails.
QString PointsStartFolder();

// Sets the owner, the points filter and the start folder; no title, no switches.
// A start folder the dialog refuses falls back to the home folder, then to none.
void SetUpPointsDialog(FileDialog& dialog, std::int32_t owner);

// The name Save As writes: path with ".gps" appended unless its file name
// already contains ".gps" in any letter case ("trip" -> "trip.gps"; "TRIP.GPS"
// and "trip.gps.bak" unchanged). "" stays "".
QString WithPointsExtension(const QString& path);
