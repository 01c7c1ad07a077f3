// SPDX-License-Identifier: GPL-3.0-or-later
#include "interchange/xmltext.h"

#include <cmath>
#include <cstdio>

namespace InterchangeText {

namespace {

void appendCodePoint(QByteArray& out, char32_t u) {
    if (u < 0x80) {
        out.append(char(u));
    } else if (u < 0x800) {
        out.append(char(0xC0 | (u >> 6)));
        out.append(char(0x80 | (u & 0x3F)));
    } else if (u < 0x10000) {
        out.append(char(0xE0 | (u >> 12)));
        out.append(char(0x80 | ((u >> 6) & 0x3F)));
        out.append(char(0x80 | (u & 0x3F)));
    } else {
        out.append(char(0xF0 | (u >> 18)));
        out.append(char(0x80 | ((u >> 12) & 0x3F)));
        out.append(char(0x80 | ((u >> 6) & 0x3F)));
        out.append(char(0x80 | (u & 0x3F)));
    }
}

// Calls sink with each code point of text; unpaired surrogates are dropped.
template <typename F> void forEachCodePoint(const QString& text, F&& sink) {
    const QChar* c = text.constData();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = c[i].unicode();
        if (QChar::isHighSurrogate(u)) {
            if (i + 1 < n && QChar::isLowSurrogate(c[i + 1].unicode())) {
                sink(QChar::surrogateToUcs4(u, c[i + 1].unicode()));
                ++i;
            }
            continue;
        }
        if (QChar::isLowSurrogate(u))
            continue;
        sink(char32_t(u));
    }
}

} // namespace

void AppendUtf8(QByteArray& out, const QString& text) {
    forEachCodePoint(text, [&out](char32_t u) { appendCodePoint(out, u); });
}

void AppendXmlEscaped(QByteArray& out, const QString& text) {
    forEachCodePoint(text, [&out](char32_t u) {
        switch (u) {
        case '&':
            out.append("&amp;");
            return;
        case '<':
            out.append("&lt;");
            return;
        case '>':
            out.append("&gt;");
            return;
        case '"':
            out.append("&quot;");
            return;
        default:
            break;
        }
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xFFFE || u == 0xFFFF)
            return;
        appendCodePoint(out, u);
    });
}

void AppendXmlElement(QByteArray& out, const char* tag, const QString& text, const char* indent) {
    if (text.isEmpty())
        return;
    out.append(indent).append('<').append(tag).append('>');
    AppendXmlEscaped(out, text);
    out.append("</").append(tag).append(">\n");
}

void AppendCoordinate(QByteArray& out, const QString& tableText, double value) {
    if (IsNumberText(tableText)) {
        AppendUtf8(out, tableText);
        return;
    }
    AppendUtf8(out, CoordinateText(value));
}

void AppendMetres(QByteArray& out, double metres) {
    if (metres == std::trunc(metres) && std::fabs(metres) < 1e15) {
        char buf[32];
        const int len = std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(metres));
        out.append(buf, len);
        return;
    }
    AppendUtf8(out, CoordinateText(metres));
}

} // namespace InterchangeText
