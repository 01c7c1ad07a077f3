// SPDX-License-Identifier: GPL-3.0-or-later
// A streaming XML reader for the interchange formats: libxml2's SAX parser
// (an order of magnitude faster than QXmlStreamReader on a 100,000-point
// track) behind a small interface. Element names are local names (the
// namespace is ignored, so GPX 1.0 and 1.1 read alike); text arrives in UTF-8
// pieces with entities and character references decoded. No DTD is loaded and
// no entity is expanded beyond the five predefined ones.
#pragma once
#include "interchange/pointrows.h"

#include <QByteArray>
#include <QString>

#include <string_view>

// The attributes of one start tag, valid during the call that hands them over.
class XmlAttributes {
public:
    XmlAttributes(const unsigned char** list, int count) : list_(list), count_(count) {}
    // The value of the attribute with this local name; empty when absent.
    std::string_view value(std::string_view localName) const;

private:
    const unsigned char** list_;
    int count_;
};

class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void startElement(std::string_view name, const XmlAttributes& attributes) = 0;
    virtual void endElement(std::string_view name) = 0;
    virtual void text(std::string_view utf8) = 0;
};

// Parses bytes, calling handler as it goes. False when the bytes are not
// well-formed XML; *error then says where and why, in words for the user.
bool ParseXml(const QByteArray& bytes, XmlHandler& handler, QString* error);

// The outcome of reading a points document with ParseXml: no rows and the
// reason when it was not well-formed or the reader refused it (refusal: the
// reader's own reason, "" when it took the document).
ReadResult FinishXmlRead(ReadResult rows, bool wellFormed, const QString& parseError, const QString& refusal);

inline QString ToQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}
