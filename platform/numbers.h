// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers as text for the Qt side; the rules live in conversion/numbertext.h.
#pragma once
#include <QString>

// The shortest text with at most 15 significant digits, "." as decimal point.
QString NumberToText(double x);
// True when the whole text (blanks around it allowed) is a number.
bool IsNumeric(const QString& text);
// The number the text holds; *ok (when given) tells whether it was one. 0 when not.
double TextToNumber(const QString& text, bool* ok = nullptr);
// The classic Val: the number at the start of the text, 0 when none.
double Val(const QString& text);
