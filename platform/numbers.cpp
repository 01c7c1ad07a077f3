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
