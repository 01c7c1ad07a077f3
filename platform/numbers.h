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
// For display only: a plain decimal text (optional sign, digits, ".", digits)
// with more than `decimals` digits after the point, rounded half away from
// zero to `decimals` digits, trailing zeros and a bare point dropped ("-0"
// becomes "0"). Rounding works on the digits, so no binary error creeps in.
// Any other text (exponent forms, hemisphere letters, blanks) and a number
// with `decimals` digits or fewer come back unchanged.
QString RoundedDecimalText(const QString& text, int decimals);
