// SPDX-License-Identifier: GPL-3.0-or-later
// The insertion options as stored: settings "Korvel Transfer" / "Options",
// keys Attribute, Block, Layer, Metric, Zone, CRS. Read by the options window
// and by the command line, which takes them as one value without the window.
#pragma once
#include "cad/pointinsertion.h"

#include <QString>

// The stored options; a key never stored gives its default (Message, Flag,
// Landmarks, feet, each point's own zone, the built-in UTM). A Zone that is
// not a number, or lies outside -32768..32767, reads as 0.
InsertionOptions StoredInsertionOptions();

// "True"/"False" in any letter case, or a number (non-zero is true); anything
// else (a hand-edited store) gives fallback.
bool SettingTextToBool(const QString& text, bool fallback);

// The text as a 16-bit integer, halves rounding to even; *overflow tells a
// number outside -32768..32767. Not a number: 0.
short SettingTextToShort(const QString& text, bool* overflow);

// A coordinate-system code as stored from what the user typed: trimmed, and
// a bare number taken as an EPSG code ("2274" gives "EPSG:2274").
QString NormalisedCrsCode(const QString& text);
