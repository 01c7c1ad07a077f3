// SPDX-License-Identifier: GPL-3.0-or-later
#include "interchange/xmltext.h"

namespace InterchangeXml {

void AppendEscaped(QString& out, const QString& text) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            continue;
        case '<':
            out += QLatin1String("&lt;");
            continue;
        case '>':
            out += QLatin1String("&gt;");
            continue;
        case '"':
            out += QLatin1String("&quot;");
            continue;
        default:
            break;
        }
        const ushort u = c.unicode();
        if (u < 0x20 && u != '\t' && u != '\n' && u != '\r')
            continue;
        if (u == 0xFFFE || u == 0xFFFF)
            continue;
        if (c.isHighSurrogate()) {
            if (i + 1 < n && text.at(i + 1).isLowSurrogate()) {
                out += c;
                out += text.at(++i);
            }
            continue;
        }
        if (c.isLowSurrogate())
            continue;
        out += c;
    }
}

void AppendElement(QString& out, const char* tag, const QString& text, const char* indent) {
    if (text.isEmpty())
        return;
    out += QLatin1String(indent);
    out += QLatin1Char('<');
    out += QLatin1String(tag);
    out += QLatin1Char('>');
    AppendEscaped(out, text);
    out += QLatin1String("</");
    out += QLatin1String(tag);
    out += QLatin1String(">\n");
}

QString ErrorText(const QXmlStreamReader& xml) {
    return QStringLiteral("it is not well-formed XML (line %1, column %2: %3)")
        .arg(xml.lineNumber())
        .arg(xml.columnNumber())
        .arg(xml.errorString());
}

bool ReadRoot(QXmlStreamReader& xml, const char* root, const QString& formatName, QString* error) {
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            if (xml.name() == QLatin1String(root))
                return true;
            *error = QStringLiteral("it is not a %1 file (its first element is <%2>)")
                         .arg(formatName, xml.name().toString());
            return false;
        }
    }
    *error = xml.hasError() ? ErrorText(xml) : QStringLiteral("it is not a %1 file").arg(formatName);
    return false;
}

} // namespace InterchangeXml
