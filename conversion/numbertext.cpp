// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/numbertext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <system_error>

namespace numtext {

std::string NumberToText(double x) {
    if (std::isnan(x))
        return "NaN";
    if (std::isinf(x))
        return x < 0 ? "-Infinity" : "Infinity";
    if (x == 0)
        return "0";
    // Round to 15 significant digits first; the exponent of the rounded value
    // decides between fixed and scientific form. to_chars, unlike printf, never
    // follows the C locale, which a Qt program takes from the environment
    // (a decimal comma under de_DE).
    char buf[64];
    const auto printed = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 14);
    std::string s(buf, printed.ptr);
    auto epos = s.find('e');
    std::string mant = s.substr(0, epos);
    int exp10 = std::atoi(s.c_str() + epos + 1);
    bool negative = mant[0] == '-';
    if (negative)
        mant.erase(0, 1);
    std::string digits;
    for (char c : mant)
        if (c != '.')
            digits += c;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exp10 >= -4 && exp10 < 15) {
        if (exp10 < 0) {
            out += "0.";
            out += std::string(static_cast<size_t>(-exp10 - 1), '0');
            out += digits;
        } else {
            size_t intLen = static_cast<size_t>(exp10) + 1;
            if (digits.size() <= intLen) {
                out += digits;
                out += std::string(intLen - digits.size(), '0');
            } else {
                out += digits.substr(0, intLen);
                out += '.';
                out += digits.substr(intLen);
            }
        }
        return out;
    }
    out += digits.substr(0, 1);
    if (digits.size() > 1) {
        out += '.';
        out += digits.substr(1);
    }
    char ebuf[16];
    std::snprintf(ebuf, sizeof ebuf, "E%c%02d", exp10 < 0 ? '-' : '+', exp10 < 0 ? -exp10 : exp10);
    out += ebuf;
    return out;
}

namespace {
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length of the longest prefix of s that reads as a number (0 when none),
// and its canonical form for toDouble in *canon.
size_t scanNumber(std::string_view s, std::string* canon) {
    size_t i = 0;
    std::string c;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        c += s[i++];
    size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        c += s[i++];
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        size_t save = i;
        std::string csave = c;
        c += s[i++];
        size_t frac = 0;
        while (i < s.size() && isDigit(s[i])) {
            c += s[i++];
            ++frac;
        }
        if (digits + frac == 0) {
            i = save;
            c = csave;
        }
        digits += frac;
    }
    if (digits == 0)
        return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        size_t j = i + 1;
        std::string e = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            e += s[j++];
        size_t ed = 0;
        while (j < s.size() && isDigit(s[j])) {
            e += s[j++];
            ++ed;
        }
        if (ed > 0) {
            c += e;
            i = j;
        }
    }
    *canon = c;
    return i;
}

// A number from scanNumber's canonical form. from_chars reads "." as the
// decimal point whatever the C locale says (strtod would stop at the "." under
// a decimal-comma locale and give 35 for "35.5"). Beyond the range of a double
// the result is +/-infinity (overflow) or +/-0 (underflow), as strtod gives.
double toDouble(const std::string& canon) {
    const char* first = canon.data();
    const char* last = first + canon.size();
    const bool negative = *first == '-';
    if (*first == '+' || *first == '-')
        ++first; // from_chars takes no "+", and the sign is applied below
    double v = 0;
    const auto r = std::from_chars(first, last, v, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        // Which way it went: the decimal exponent of the first significant digit.
        const char* p = first;
        long magnitude = 0;
        bool seenDigit = false;
        bool afterPoint = false;
        for (; p != last && *p != 'e'; ++p) {
            if (*p == '.') {
                afterPoint = true;
            } else if (!seenDigit && *p == '0') {
                if (afterPoint)
                    --magnitude;
            } else if (!seenDigit) {
                seenDigit = true;
                magnitude += afterPoint ? -1 : 0;
            } else if (!afterPoint) {
                ++magnitude;
            }
        }
        long exponent = 0;
        if (p != last) {
            ++p; // 'e'
            const bool negativeExponent = *p == '-';
            if (*p == '+' || *p == '-')
                ++p;
            for (; p != last; ++p)
                exponent = std::min(exponent * 10 + (*p - '0'), 100000L);
            if (negativeExponent)
                exponent = -exponent;
        }
        v = magnitude + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -v : v;
}
} // namespace

std::optional<double> ParseNumber(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;
    std::string_view t = text.substr(b, e - b);
    if (t.empty())
        return std::nullopt;
    std::string canon;
    size_t n = scanNumber(t, &canon);
    if (n == 0 || n != t.size())
        return std::nullopt;
    // A number beyond the range of a double ("1E999") is not a number, as the
    // classic conversion refused it with an overflow.
    double v = toDouble(canon);
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

double Val(std::string_view text) {
    size_t b = 0;
    while (b < text.size() && isBlank(text[b]))
        ++b;
    std::string canon;
    size_t n = scanNumber(text.substr(b), &canon);
    return n == 0 ? 0.0 : toDouble(canon);
}

} // namespace numtext
