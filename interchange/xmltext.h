// SPDX-License-Identifier: GPL-3.0-or-later
// Writing the interchange files: UTF-8 text, XML escaping and numbers, appended
// straight to the file's bytes (a 100,000-row export builds no other copy).
#pragma once
#include "interchange/pointrows.h"

#include <QByteArray>
#include <QString>

namespace InterchangeText {

// text as UTF-8; an unpaired surrogate is left out.
void AppendUtf8(QByteArray& out, const QString& text);

// text as UTF-8 with &, <, > and " escaped, and characters XML 1.0 cannot
// carry (control characters other than tab, CR, LF; U+FFFE, U+FFFF; unpaired
// surrogates) left out.
void AppendXmlEscaped(QByteArray& out, const QString& text);

// indent "<tag>text</tag>" LF, when text is not empty.
void AppendXmlElement(QByteArray& out, const char* tag, const QString& text, const char* indent);

// A coordinate: the table's text itself when it is already plain number text
// for value, else CoordinateText(value).
void AppendCoordinate(QByteArray& out, const QString& tableText, double value);

// Metres: a whole number as digits, otherwise CoordinateText's form.
void AppendMetres(QByteArray& out, double metres);

} // namespace InterchangeText
