// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers the XML formats share.
#pragma once
#include "interchange/pointrows.h"

#include <QString>
#include <QXmlStreamReader>

namespace InterchangeXml {

// text with &, <, > and " escaped, and characters XML 1.0 cannot carry
// (control characters other than tab, CR, LF; unpaired surrogates) left out.
void AppendEscaped(QString& out, const QString& text);

// "<tag>text</tag>" when text is not empty.
void AppendElement(QString& out, const char* tag, const QString& text, const char* indent);

// The reader's error as words for the user ("line 3: ...").
QString ErrorText(const QXmlStreamReader& xml);

// The file's first start element has local name root (any namespace), or an
// error text saying what the file is instead.
bool ReadRoot(QXmlStreamReader& xml, const char* root, const QString& formatName, QString* error);

} // namespace InterchangeXml
