// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ansi.h"

#include <array>

namespace {
// Windows-1252 bytes 0x80..0x9F; 0 marks the five undefined bytes, which map
// to the C1 control of the same value (as Windows' own best-fit table does).
constexpr std::array<char16_t, 32> kHigh = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
} // namespace

// A table of our own rather than QStringEncoder: Qt's codec for "windows-1252"
// depends on ICU being present at run time, and the byte layout of a points
// file must not depend on how the machine's Qt was built.
QByteArray ToAnsi(const QString& text, int* unmapped) {
    QByteArray out;
    out.reserve(text.size());
    int missing = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char16_t c = text.at(i).unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.append(static_cast<char>(c));
            continue;
        }
        char b = '?';
        for (size_t k = 0; k < kHigh.size(); ++k)
            if (kHigh[k] == c) {
                b = static_cast<char>(0x80 + k);
                break;
            }
        // A surrogate pair is one character: one '?'.
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        if (b == '?')
            ++missing;
        out.append(b);
    }
    if (unmapped)
        *unmapped = missing;
    return out;
}

QString FromAnsi(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b < 0xA0)
            out.append(QChar(kHigh[b - 0x80]));
        else
            out.append(QChar(b));
    }
    return out;
}
