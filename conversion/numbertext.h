// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers as text, independent of the locale: "." is always the decimal point.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace numtext {

// The shortest text of x with at most 15 significant digits, as the classic
// runtime prints a double: fixed notation for 1E-05 < |x| < 1E+15
// ("35.2763888888889", "-90.25", "0.0001"), otherwise scientific with a signed
// two-digit-minimum exponent ("1E-05", "1.5E+15"). NaN gives "NaN", infinities
// "Infinity" / "-Infinity"; -0 prints as "0".
std::string NumberToText(double x);

// Strict parse of the whole text (surrounding blanks allowed): optional sign,
// digits with at most one ".", optional exponent (E or D, optional sign,
// digits). Returns nothing when the text is not such a number or its value is
// beyond the range of a double.
std::optional<double> ParseNumber(std::string_view text);

// True when ParseNumber succeeds.
inline bool IsNumeric(std::string_view text) {
    return ParseNumber(text).has_value();
}

// The number at the start of the text, as the classic Val: leading blanks
// skipped, then the longest prefix that reads as a number; 0 when none.
double Val(std::string_view text);

} // namespace numtext
