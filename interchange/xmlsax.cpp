// SPDX-License-Identifier: GPL-3.0-or-later
#include "interchange/xmlsax.h"

#include <libxml/parser.h>

#include <climits>
#include <cstring>

namespace {

struct Context {
    XmlHandler* handler;
    QString firstError;
};

std::string_view view(const xmlChar* s) {
    return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

void onStart(void* ctx, const xmlChar* localName, const xmlChar*, const xmlChar*, int, const xmlChar**,
             int attributeCount, int, const xmlChar** attributes) {
    static_cast<Context*>(ctx)->handler->startElement(view(localName),
                                                      XmlAttributes(attributes, attributeCount));
}

void onEnd(void* ctx, const xmlChar* localName, const xmlChar*, const xmlChar*) {
    static_cast<Context*>(ctx)->handler->endElement(view(localName));
}

void onText(void* ctx, const xmlChar* text, int length) {
    static_cast<Context*>(ctx)->handler->text(
        std::string_view(reinterpret_cast<const char*>(text), size_t(length)));
}

void onError(void* ctx, xmlErrorPtr e) {
    auto* c = static_cast<Context*>(ctx);
    if (!c->firstError.isEmpty() || !e || e->level < XML_ERR_ERROR)
        return;
    c->firstError = QStringLiteral("line %1: %2").arg(e->line).arg(QString::fromUtf8(e->message).trimmed());
}

// libxml2 prints what the structured handler does not take; nothing here
// may write to the terminal.
void quiet(void*, const char*, ...) {}

} // namespace

std::string_view XmlAttributes::value(std::string_view localName) const {
    // Five pointers per attribute: local name, prefix, URI, value start, value end.
    for (int i = 0; i < count_; ++i) {
        const unsigned char** a = list_ + 5 * i;
        if (view(a[0]) == localName)
            return std::string_view(reinterpret_cast<const char*>(a[3]), size_t(a[4] - a[3]));
    }
    return {};
}

bool ParseXml(const QByteArray& bytes, XmlHandler& handler, QString* error) {
    if (bytes.size() > INT_MAX) {
        *error = QStringLiteral("the file is too large to read");
        return false;
    }
    xmlSetGenericErrorFunc(nullptr, quiet);
    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = onStart;
    sax.endElementNs = onEnd;
    sax.characters = onText;
    sax.cdataBlock = onText;
    sax.serror = onError;
    Context context{&handler, QString()};
    const int rc = xmlSAXUserParseMemory(&sax, &context, bytes.constData(), int(bytes.size()));
    if (rc == 0)
        return true;
    *error = QStringLiteral("it is not well-formed XML (%1)")
                 .arg(context.firstError.isEmpty() ? QStringLiteral("error %1").arg(rc) : context.firstError);
    return false;
}

ReadResult FinishXmlRead(ReadResult rows, bool wellFormed, const QString& parseError,
                         const QString& refusal) {
    if (!refusal.isEmpty() || !wellFormed) {
        ReadResult failed;
        failed.error = refusal.isEmpty() ? parseError : refusal;
        return failed;
    }
    rows.ok = true;
    return rows;
}
