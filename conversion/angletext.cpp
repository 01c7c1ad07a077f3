// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/angletext.h"

#include "conversion/conversionerror.h"
#include "conversion/numbertext.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace GPSConversion {

namespace {

// Longer texts and numbers are not typed by people; they are refused rather
// than read into a value nobody meant.
constexpr std::size_t kMaxTextBytes = 100;
constexpr std::size_t kMaxNumberChars = 24;

enum class Kind { Number, Degree, Minute, Second, Colon, Blank, Letter, Sign };

struct Token {
    Kind kind;
    double value = 0; // Number
    char letter = 0;  // Letter: N, S, E or W; Sign: '+' or '-'
};

[[noreturn]] void refuse(std::string_view text, const std::string& reason) {
    throw AngleTextError(std::string(text), reason);
}

// The next code point of UTF-8 text at i (advanced past it); nothing when the
// bytes there are not well-formed UTF-8 (overlong forms and surrogates too).
std::optional<char32_t> nextCodePoint(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07, min = 0x10000;
    } else {
        return std::nullopt;
    }
    if (i + static_cast<std::size_t>(extra) >= s.size())
        return std::nullopt;
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        if ((b & 0xC0) != 0x80)
            return std::nullopt;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return std::nullopt;
    i += static_cast<std::size_t>(extra) + 1;
    return cp;
}

std::vector<Token> tokenize(std::string_view text) {
    std::vector<Token> out;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t start = i;
        const std::optional<char32_t> cp = nextCodePoint(text, i);
        if (!cp)
            refuse(text, "it is not UTF-8 text");
        const char32_t c = *cp;
        if ((c >= '0' && c <= '9') || c == '.') {
            i = start;
            while (i < text.size() && ((text[i] >= '0' && text[i] <= '9') || text[i] == '.'))
                ++i;
            const std::string_view digits = text.substr(start, i - start);
            if (digits.size() > kMaxNumberChars)
                refuse(text, "a number in it is too long");
            const std::optional<double> v = numtext::ParseNumber(digits);
            if (!v)
                refuse(text, "\"" + std::string(digits) + "\" is not a number");
            out.push_back({Kind::Number, *v, 0});
            continue;
        }
        switch (c) {
        case ' ':
        case '\t':
        case 0xA0: // no-break space
            if (out.empty() || out.back().kind != Kind::Blank)
                out.push_back({Kind::Blank});
            continue;
        case 0xB0:  // degree sign
        case 0xBA:  // masculine ordinal, often typed for it
        case 0x2DA: // ring above
            out.push_back({Kind::Degree});
            continue;
        case '\'':
        case 0x2032: // prime
        case 0x2019: // right single quotation mark
        case 0xB4:   // acute accent
            // Two minute marks in a row are a seconds mark.
            if (!out.empty() && out.back().kind == Kind::Minute && start > 0 &&
                !(text[start - 1] == ' ' || text[start - 1] == '\t'))
                out.back().kind = Kind::Second;
            else
                out.push_back({Kind::Minute});
            continue;
        case '"':
        case 0x2033: // double prime
        case 0x201D: // right double quotation mark
            out.push_back({Kind::Second});
            continue;
        case ':':
            out.push_back({Kind::Colon});
            continue;
        case '+':
        case '-':
        case 0x2212: // minus sign
            out.push_back({Kind::Sign, 0, c == '+' ? '+' : '-'});
            continue;
        case ',':
            refuse(text, "decimals are written with a point, not a comma (35.5, not 35,5)");
        default:
            break;
        }
        const char32_t upper = (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
        if (upper == 'N' || upper == 'S' || upper == 'E' || upper == 'W') {
            out.push_back({Kind::Letter, 0, static_cast<char>(upper)});
            continue;
        }
        if (c < 0x20 || c == 0x7F)
            refuse(text, "it holds a control character");
        refuse(text,
               "\"" + std::string(text.substr(start, i - start)) + "\" does not belong in a coordinate");
    }
    while (!out.empty() && out.back().kind == Kind::Blank)
        out.pop_back();
    if (!out.empty() && out.front().kind == Kind::Blank)
        out.erase(out.begin());
    return out;
}

} // namespace

Angle ReadAngleText(std::string_view text) {
    if (text.size() > kMaxTextBytes)
        refuse(text.substr(0, 20), "it is too long");
    std::vector<Token> t = tokenize(text);
    if (t.empty())
        refuse(text, "it is empty");

    Angle result;
    bool negative = false;
    // The hemisphere letter: at most one, in front, behind, or (receiver
    // style) right after the degrees, where it stands for the degree mark.
    std::size_t letterAt = t.size();
    for (std::size_t k = 0; k < t.size(); ++k) {
        if (t[k].kind != Kind::Letter)
            continue;
        if (letterAt != t.size())
            refuse(text, "it has more than one hemisphere letter");
        letterAt = k;
    }
    if (letterAt != t.size()) {
        const char l = t[letterAt].letter;
        result.letter = (l == 'N' || l == 'S') ? AngleLetter::NorthSouth : AngleLetter::EastWest;
        negative = l == 'S' || l == 'W';
        const bool front = letterAt == 0;
        const bool back = letterAt + 1 == t.size();
        const bool afterDegrees =
            t[0].kind == Kind::Number && (letterAt == 1 || (letterAt == 2 && t[1].kind == Kind::Blank));
        if (!front && !back && !afterDegrees)
            refuse(text, "the hemisphere letter must come first, last or right after the degrees");
        if (afterDegrees && !back)
            t[letterAt].kind = Kind::Degree;
        else
            t.erase(t.begin() + static_cast<std::ptrdiff_t>(letterAt));
        if (!t.empty() && t.front().kind == Kind::Blank)
            t.erase(t.begin());
        if (!t.empty() && t.back().kind == Kind::Blank)
            t.pop_back();
    }
    if (!t.empty() && t.front().kind == Kind::Sign) {
        if (result.letter != AngleLetter::None)
            refuse(text, "use a sign or a hemisphere letter, not both");
        negative = t.front().letter == '-';
        t.erase(t.begin());
    }

    // Parts: numbers, each with its mark or none; colons separate parts.
    struct Part {
        double value;
        int unit; // 0 degrees, 1 minutes, 2 seconds
        bool marked;
    };
    std::vector<Part> parts;
    bool colons = false;
    bool marks = false;
    bool blankBetweenNumbers = false;
    int lastUnit = -1;
    for (std::size_t k = 0; k < t.size();) {
        if (t[k].kind == Kind::Blank) {
            ++k;
            continue;
        }
        if (t[k].kind != Kind::Number)
            refuse(text, t[k].kind == Kind::Colon ? "a colon needs a number on each side"
                                                  : "a mark or sign stands where a number belongs");
        const double value = t[k].value;
        ++k;
        std::size_t m = k;
        while (m < t.size() && t[m].kind == Kind::Blank)
            ++m;
        int unit = lastUnit + 1;
        bool marked = false;
        if (m < t.size() &&
            (t[m].kind == Kind::Degree || t[m].kind == Kind::Minute || t[m].kind == Kind::Second)) {
            unit = t[m].kind == Kind::Degree ? 0 : t[m].kind == Kind::Minute ? 1 : 2;
            marked = true;
            marks = true;
            k = m + 1;
        } else if (m < t.size() && t[m].kind == Kind::Colon) {
            colons = true;
            k = m + 1;
            if (k >= t.size() || t[k].kind != Kind::Number)
                refuse(text, "a colon needs a number on each side");
        } else if (m < t.size()) {
            if (t[m].kind != Kind::Number)
                refuse(text, "a sign stands inside it");
            blankBetweenNumbers = true;
        }
        if (unit <= lastUnit || unit > 2)
            refuse(text, "degrees, minutes and seconds must come in that order, each once");
        if (!marked && unit > 0 && !(value < 60))
            refuse(text, "minutes and seconds must be below 60");
        parts.push_back({value, unit, marked});
        lastUnit = unit;
    }
    if (parts.empty())
        refuse(text, "it holds no number");
    if (colons && (marks || blankBetweenNumbers))
        refuse(text, "use colons or marks between the parts, not both");
    if (result.letter == AngleLetter::None && !marks && !colons && parts.size() > 1)
        refuse(text, "parts separated by blanks need a hemisphere letter (35 16 35 N)");

    double d = 0, m = 0, s = 0;
    for (const Part& p : parts)
        (p.unit == 0 ? d : p.unit == 1 ? m : s) = p.value;
    // The classic order of operations, so old forms keep their exact doubles.
    double value = d + (m + s / 60) / 60;
    if (!std::isfinite(value))
        refuse(text, "a number in it is too long");
    result.degrees = negative ? -value : value;
    return result;
}

std::string AcceptedAngleForms() {
    return "Type decimal degrees, such as 35.2764, or degrees, minutes and seconds, such as 35N16'35\", "
           "35\u00B016'35\"N, N35\u00B016.583', 35 16 35 N or 35:16:35.";
}

std::string UnreadableAngleMessage(std::string_view what, std::string_view text, std::string_view reason) {
    // The text is shown back as typed, except bytes a message cannot carry
    // (control characters, broken UTF-8), which show as "?".
    std::string shown;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        const std::optional<char32_t> cp = nextCodePoint(text, i);
        if (!cp) {
            shown += '?';
            i = start + 1;
        } else if (*cp < 0x20 || *cp == 0x7F) {
            shown += '?';
        } else {
            shown += text.substr(start, i - start);
        }
    }
    std::string out = "The " + std::string(what) + " \"" + shown + "\" cannot be read";
    if (!reason.empty())
        out += ": " + std::string(reason);
    out += ". ";
    out += AcceptedAngleForms();
    return out;
}

} // namespace GPSConversion
