// SPDX-License-Identifier: GPL-3.0-or-later
// One table of typed coordinates for every reader of them: the forms read
// before the reader was shared (with their old values), the forms people paste,
// and texts that must be refused (with a part of the reason).
#pragma once
#include <string_view>
#include <vector>

struct AngleTextCase {
    std::string_view text;
    const char* degrees; // NumberToText of the value; nullptr when refused
    const char* reason;  // part of the refusal's reason
    bool innerBlanks = false;
};

inline const std::vector<AngleTextCase>& AngleTextCases() {
    using namespace std::string_view_literals;
    static const std::vector<AngleTextCase> cases = {
        // Read before, same values.
        {"35N16'35\"", "35.2763888888889", nullptr},
        {"90W16'35\"", "-90.2763888888889", nullptr},
        {"90E16'35\"", "90.2763888888889", nullptr},
        {"35s16'35\"", "-35.2763888888889", nullptr},
        {"35n16'", "35.2666666666667", nullptr},
        {"35N", "35", nullptr},
        {"35.5N30'", "36", nullptr},
        {"35N16'30.6\"", "35.2751666666667", nullptr},
        {"35N35\"", "35.0097222222222", nullptr},
        {"35N75'", "36.25", nullptr}, // a marked part may pass 60, as before
        {"35 N 16' 35\"", "35.2763888888889", nullptr, true},
        {"0S0'", "0", nullptr},
        {"0N30'", "0.5", nullptr},
        {"0W15'", "-0.25", nullptr},
        {"30'", "0.5", nullptr}, // no degrees: minutes and seconds alone
        {"30'36\"", "0.51", nullptr},
        {"12.5S7.25'3\"", "-12.6216666666667", nullptr},
        {"1E1'", "1.01666666666667", nullptr},
        {"35.2763888888889", "35.2763888888889", nullptr},
        {"-80.25", "-80.25", nullptr},
        // Pasted forms: the same value as the receiver-style spelling.
        {"35\u00B016'35\"N", "35.2763888888889", nullptr},
        {"35\u00B0 16.583' N", "35.2763833333333", nullptr, true},
        {"N35\u00B016.583'", "35.2763833333333", nullptr},
        {"35 16 35 N", "35.2763888888889", nullptr, true},
        {"35:16:35", "35.2763888888889", nullptr},
        {"-35:16:35", "-35.2763888888889", nullptr},
        {"W90:16:35", "-90.2763888888889", nullptr},
        {"35.2763888\u00B0", "35.2763888", nullptr},
        {"35\u00B016\u203235\u2033N", "35.2763888888889", nullptr},
        {"35\u00B016'35''n", "35.2763888888889", nullptr},
        {"s35\u00BA16\u201935\u201D", "-35.2763888888889", nullptr},
        {"35N16'35", "35.2763888888889", nullptr}, // was 35.2666666666667: the 35 was dropped
        {"N16'35\"", "0.276388888888889", nullptr},
        // Refused.
        {"abc", nullptr, "\"a\" does not belong"},
        {"35,5", nullptr, "with a point, not a comma"},
        {"35 16 35", nullptr, "need a hemisphere letter", true},
        {"12abc", nullptr, "\"a\" does not belong"},
        {"1.2.3", nullptr, "\"1.2.3\" is not a number"},
        {"0x10", nullptr, "\"x\" does not belong"},
        {"?", nullptr, "\"?\" does not belong"},
        {"xN16'", nullptr, "\"x\" does not belong"},
        {"35\0N"sv, nullptr, "control character"},
        {"35\xFF", nullptr, "not UTF-8"},
        {"35\xC2\xB0\xB0", nullptr, "not UTF-8"},
        {"35\xC0\xB0", nullptr, "not UTF-8"}, // an overlong "0"
        {"1234567890123456789012345", nullptr, "too long"},
        {"1e999", nullptr, "below 60"},
        {"35N90W", nullptr, "more than one hemisphere letter"},
        {"-35N", nullptr, "not both"},
        {"35\u00B0N16'", nullptr, "must come first, last"},
        {"35'16\u00B0", nullptr, "in that order"},
        {"35:16'", nullptr, "colons or marks"},
        {"4::5", nullptr, "a number on each side"},
        {"35N'", nullptr, "where a number belongs"},
        {"35-16", nullptr, "a sign stands inside"},
    };
    return cases;
}
