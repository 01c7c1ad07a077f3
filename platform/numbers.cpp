// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/numbers.h"

#include "conversion/numbertext.h"

QString NumberToText(double x) {
    return QString::fromStdString(numtext::NumberToText(x));
}

bool IsNumeric(const QString& text) {
    return numtext::IsNumeric(text.toStdString());
}

double TextToNumber(const QString& text, bool* ok) {
    auto v = numtext::ParseNumber(text.toStdString());
    if (ok)
        *ok = v.has_value();
    return v.value_or(0.0);
}

double Val(const QString& text) {
    return numtext::Val(text.toStdString());
}

QString RoundedDecimalText(const QString& text, int decimals) {
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    if (point < 0 || decimals < 0 || text.size() - point - 1 <= decimals)
        return text;
    const bool negative = text.startsWith(QLatin1Char('-'));
    const qsizetype start = (negative || text.startsWith(QLatin1Char('+'))) ? 1 : 0;
    QString digits; // integer and kept fraction digits, without the point
    for (qsizetype i = start; i < text.size(); ++i) {
        if (i == point)
            continue;
        if (!text.at(i).isDigit() || text.at(i).unicode() > '9')
            return text;
        digits += text.at(i);
    }
    if (point == start && digits.isEmpty())
        return text;
    const qsizetype intDigits = point - start;
    const bool roundUp = digits.at(intDigits + decimals).unicode() >= '5';
    digits.truncate(intDigits + decimals);
    if (roundUp) {
        qsizetype i = digits.size() - 1;
        for (; i >= 0; --i) {
            if (digits.at(i) == QLatin1Char('9')) {
                digits[i] = QLatin1Char('0');
                continue;
            }
            digits[i] = QChar(digits.at(i).unicode() + 1);
            break;
        }
        if (i < 0)
            digits.prepend(QLatin1Char('1'));
    }
    const qsizetype whole = digits.size() - decimals;
    QString integer = digits.left(whole);
    QString fraction = digits.mid(whole);
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (integer.isEmpty())
        integer = QStringLiteral("0");
    const bool zero = QString(integer + fraction).count(QLatin1Char('0')) == integer.size() + fraction.size();
    QString out = (negative && !zero ? QStringLiteral("-") : QString()) + integer;
    if (!fraction.isEmpty())
        out += QLatin1Char('.') + fraction;
    return out;
}
