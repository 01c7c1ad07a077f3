// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/dxfdocument.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

DxfError::DxfError(const QString& description)
    : std::runtime_error(description.toStdString()), description_(description) {}

namespace {

bool sameTrimmed(const QByteArray& value, const char* text) {
    return value.trimmed() == text;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The text between b and e without the blanks around it (as QByteArray::trimmed).
void trim(const char*& b, const char*& e) {
    while (b < e && isBlank(*b))
        ++b;
    while (e > b && isBlank(e[-1]))
        --e;
}

std::optional<int> parseCode(const char* b, const char* e) {
    trim(b, e);
    if (b == e || e - b > 6)
        return std::nullopt;
    int value = 0;
    auto [ptr, ec] = std::from_chars(b, e, value);
    if (ec != std::errc() || ptr != e || value < -5 || value > 1071)
        return std::nullopt;
    return value;
}

QString notDxf(qsizetype line) {
    return QStringLiteral("The file is not a DXF drawing (line %1 is not a group code).").arg(line);
}

} // namespace

bool DxfTag::is(int c, const char* v) const {
    return code == c && sameTrimmed(value, v);
}

QByteArray DxfObject::type() const {
    return tags.empty() ? QByteArray() : tags.front().value.trimmed();
}

int DxfObject::find(int code) const {
    for (size_t i = 1; i < tags.size(); ++i)
        if (tags[i].code == code)
            return static_cast<int>(i);
    return -1;
}

QByteArray DxfObject::value(int code, const QByteArray& fallback) const {
    int i = find(code);
    return i < 0 ? fallback : tags[i].value;
}

std::optional<double> DxfObject::number(int code) const {
    int i = find(code);
    if (i < 0)
        return std::nullopt;
    return DxfDocument::parseNumber(tags[i].value);
}

void DxfObject::set(int code, const QByteArray& value) {
    int i = find(code);
    if (i < 0)
        tags.push_back(DxfDocument::tag(code, value));
    else
        tags[i].value = value;
}

DxfTag DxfDocument::tag(int code, const QByteArray& value) {
    return DxfTag{code, value, {}};
}
DxfTag DxfDocument::tag(int code, double value) {
    return DxfTag{code, formatNumber(value), {}};
}
DxfTag DxfDocument::tagInt(int code, long long value) {
    return DxfTag{code, QByteArray::number(value), {}};
}

QByteArray DxfDocument::formatNumber(double value) {
    if (value == 0) // also turns -0 into 0
        return QByteArrayLiteral("0.0");
    char buf[40];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
    if (ec != std::errc())
        return QByteArrayLiteral("0.0");
    QByteArray text(buf, ptr - buf);
    if (!text.contains('.') && !text.contains('e') && !text.contains('n') && !text.contains('i'))
        text += ".0";
    return text;
}

std::optional<double> DxfDocument::parseNumber(const QByteArray& text) {
    const char* begin = text.constData();
    const char* end = begin + text.size();
    trim(begin, end);
    if (begin != end && *begin == '+')
        ++begin;
    if (begin == end)
        return std::nullopt;
    double value = 0;
    auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool DxfTagReader::line(const char** start, qsizetype* len) {
    if (pos_ >= size_)
        return false;
    *start = data_ + pos_;
    const void* nl = std::memchr(*start, '\n', size_ - pos_);
    qsizetype n = nl ? static_cast<const char*>(nl) - *start : size_ - pos_;
    pos_ += n + (nl ? 1 : 0);
    // Every carriage return before the line feed ends the line with it: one
    // kept in the text would be written back before the document's own line
    // end and read as a line end again, so the text would shrink at each save.
    while (n > 0 && (*start)[n - 1] == '\r')
        --n;
    *len = n;
    ++line_;
    return true;
}

bool DxfTagReader::next() {
    tagStart_ = pos_;
    if (!line(&codeLine_, &codeLen_))
        return false;
    std::optional<int> code = parseCode(codeLine_, codeLine_ + codeLen_);
    if (!code)
        throw DxfError(notDxf(line_));
    code_ = *code;
    if (!line(&value_, &valueLen_))
        throw DxfError(QStringLiteral("The DXF drawing is incomplete: it ends after a group code."));
    return true;
}

bool DxfTagReader::valueIs(const char* text) const {
    const char* b = value_;
    const char* e = value_ + valueLen_;
    trim(b, e);
    const size_t n = std::strlen(text);
    return static_cast<size_t>(e - b) == n && std::memcmp(b, text, n) == 0;
}

QByteArray DxfTagReader::rawCode() const {
    char buf[16];
    int n = std::snprintf(buf, sizeof buf, "%3d", code_);
    if (codeLen_ == n && std::memcmp(buf, codeLine_, static_cast<size_t>(n)) == 0)
        return QByteArray();
    return QByteArray(codeLine_, codeLen_);
}

DxfDocument DxfDocument::parse(const QByteArray& bytes) {
    return parseImpl(bytes, nullptr);
}

DxfDocument DxfDocument::parseSpliced(const QByteArray& bytes, const std::vector<QByteArray>& raw) {
    return parseImpl(bytes, &raw);
}

DxfDocument DxfDocument::parseImpl(const QByteArray& bytes, const std::vector<QByteArray>* rawNames) {
    static const char binarySentinel[] = "AutoCAD Binary DXF";
    if (bytes.startsWith(binarySentinel))
        throw DxfError(
            QStringLiteral("The file is a binary DXF drawing; only ASCII DXF drawings can be used."));

    DxfDocument doc;
    qsizetype firstLf = bytes.indexOf('\n');
    doc.eol_ = (firstLf > 0 && bytes.at(firstLf - 1) == '\r') ? QByteArray("\r\n") : QByteArray("\n");
    if (rawNames)
        doc.source_ = bytes;

    DxfTagReader r(bytes);
    enum class State { Outside, SectionName, Inside, Done };
    State state = State::Outside;
    DxfSection* current = nullptr;
    bool header = false;
    bool rawSection = false;
    qsizetype rawStart = -1;
    auto owned = [&r]() { return DxfTag{r.code(), QByteArray(r.valueData(), r.valueSize()), r.rawCode()}; };
    while (state != State::Done && r.next()) {
        switch (state) {
        case State::Outside:
            if (r.code() == 0 && r.valueIs("SECTION")) {
                doc.sections_.emplace_back();
                current = &doc.sections_.back();
                current->open.push_back(owned());
                state = State::SectionName;
            } else if (r.code() == 0 && r.valueIs("EOF")) {
                doc.eof_.push_back(owned());
                state = State::Done;
            } else if (r.code() == 999) {
                (doc.sections_.empty() ? doc.preamble_ : doc.sections_.back().close).push_back(owned());
            } else {
                throw DxfError(
                    doc.sections_.empty()
                        ? QStringLiteral("The file is not a DXF drawing (it does not begin with a section).")
                        : QStringLiteral("The DXF drawing is damaged: line %1 lies outside every section.")
                              .arg(r.lineNumber()));
            }
            break;
        case State::SectionName: {
            DxfTag t = owned();
            if (t.code == 999) {
                current->open.push_back(std::move(t));
                break;
            }
            if (t.code != 2)
                throw DxfError(
                    QStringLiteral("The DXF drawing is damaged: the section at line %1 has no name.")
                        .arg(r.lineNumber() - 1));
            current->name = t.value.trimmed().toUpper();
            header = current->name == "HEADER";
            rawSection = rawNames && !header &&
                         std::find(rawNames->begin(), rawNames->end(), current->name) != rawNames->end();
            rawStart = -1;
            current->open.push_back(std::move(t));
            state = State::Inside;
            break;
        }
        case State::Inside:
            if (r.code() == 0 && (r.valueIs("SECTION") || r.valueIs("EOF")))
                throw DxfError(QStringLiteral("The DXF drawing is damaged: section %1 has no end.")
                                   .arg(QString::fromLatin1(current->name)));
            if (r.code() == 0 && r.valueIs("ENDSEC")) {
                if (rawStart >= 0)
                    current->raw =
                        QByteArray::fromRawData(doc.source_.constData() + rawStart, r.tagStart() - rawStart);
                current->close.push_back(owned());
                state = State::Outside;
                break;
            }
            if (rawSection) {
                if (rawStart < 0 && r.code() == 0)
                    rawStart = r.tagStart();
                if (rawStart < 0)
                    current->open.push_back(owned());
                break;
            }
            if (r.code() == (header ? 9 : 0)) {
                current->objects.emplace_back();
                current->objects.back().tags.push_back(owned());
            } else if (current->objects.empty()) {
                current->open.push_back(owned());
            } else {
                current->objects.back().tags.push_back(owned());
            }
            break;
        case State::Done:
            break;
        }
    }
    if (state == State::SectionName || state == State::Inside)
        throw DxfError(QStringLiteral("The DXF drawing is incomplete: it ends inside section %1.")
                           .arg(QString::fromLatin1(current->name)));
    if (doc.sections_.empty())
        throw DxfError(QStringLiteral("The file is not a DXF drawing (it has no sections)."));
    if (state == State::Done && r.position() < bytes.size())
        doc.trailer_ = bytes.mid(r.position());
    return doc;
}

void DxfDocument::expandSection(DxfSection& section) const {
    if (section.raw.isEmpty())
        return;
    std::vector<DxfObject> objects;
    DxfTagReader r(section.raw);
    while (r.next()) {
        DxfTag t{r.code(), QByteArray(r.valueData(), r.valueSize()), r.rawCode()};
        if (t.code == 0 || objects.empty())
            objects.emplace_back();
        objects.back().tags.push_back(std::move(t));
    }
    objects.insert(objects.end(), std::make_move_iterator(section.objects.begin()),
                   std::make_move_iterator(section.objects.end()));
    section.objects = std::move(objects);
    section.raw.clear();
}

void DxfDocument::forEachObject(const DxfSection& section, const std::function<void(const DxfObject&)>& f) {
    if (!section.raw.isEmpty()) {
        DxfObject current;
        DxfTagReader r(section.raw);
        while (r.next()) {
            if (r.code() == 0 && !current.tags.empty()) {
                f(current);
                current.tags.clear();
            }
            current.tags.push_back(DxfTag{r.code(), r.value(), {}});
        }
        if (!current.tags.empty())
            f(current);
    }
    for (const DxfObject& o : section.objects)
        f(o);
}

DxfDocument DxfDocument::expanded() const {
    DxfDocument copy = *this;
    for (DxfSection& s : copy.sections_)
        copy.expandSection(s);
    return copy;
}

QByteArray DxfDocument::toBytes() const {
    QByteArray out;
    size_t tagCount = preamble_.size() + 2;
    qsizetype rawSize = 0;
    for (const DxfSection& s : sections_) {
        rawSize += s.raw.size();
        tagCount += s.open.size() + s.close.size();
        for (const DxfObject& o : s.objects)
            tagCount += o.tags.size();
    }
    out.reserve(static_cast<qsizetype>(tagCount * 16) + rawSize + trailer_.size());
    auto write = [&](const DxfTag& t) {
        if (!t.rawCode.isEmpty()) {
            out += t.rawCode;
        } else {
            char buf[16];
            int n = std::snprintf(buf, sizeof buf, "%3d", t.code);
            out.append(buf, n);
        }
        out += eol_;
        out += t.value;
        out += eol_;
    };
    for (const DxfTag& t : preamble_)
        write(t);
    for (const DxfSection& s : sections_) {
        for (const DxfTag& t : s.open)
            write(t);
        out += s.raw;
        for (const DxfObject& o : s.objects)
            for (const DxfTag& t : o.tags)
                write(t);
        if (s.close.empty() || !s.close.front().is(0, "ENDSEC"))
            write(tag(0, "ENDSEC"));
        for (const DxfTag& t : s.close)
            write(t);
    }
    if (eof_.empty())
        write(tag(0, "EOF"));
    for (const DxfTag& t : eof_)
        write(t);
    out += trailer_;
    return out;
}

DxfSection* DxfDocument::section(const char* name) {
    for (DxfSection& s : sections_)
        if (s.name == name)
            return &s;
    return nullptr;
}

const DxfSection* DxfDocument::section(const char* name) const {
    return const_cast<DxfDocument*>(this)->section(name);
}

DxfSection& DxfDocument::ensureSection(const char* name, const std::vector<const char*>& before) {
    if (DxfSection* s = section(name))
        return *s;
    auto at = sections_.end();
    for (const char* b : before) {
        for (auto it = sections_.begin(); it != sections_.end(); ++it)
            if (it->name == b) {
                at = it;
                break;
            }
        if (at != sections_.end())
            break;
    }
    DxfSection s;
    s.name = name;
    s.open = {tag(0, "SECTION"), tag(2, name)};
    s.close = {tag(0, "ENDSEC")};
    return *sections_.insert(at, std::move(s));
}

DxfObject* DxfDocument::headerVariable(const char* name) {
    DxfSection* h = section("HEADER");
    if (!h)
        return nullptr;
    for (DxfObject& o : h->objects)
        if (o.type() == name)
            return &o;
    return nullptr;
}

const DxfObject* DxfDocument::headerVariable(const char* name) const {
    return const_cast<DxfDocument*>(this)->headerVariable(name);
}

void DxfDocument::setHeaderVariable(const char* name, const std::vector<DxfTag>& valueTags) {
    DxfObject* var = headerVariable(name);
    if (!var) {
        DxfSection& h = ensureSection("HEADER", {"CLASSES", "TABLES", "BLOCKS", "ENTITIES", "OBJECTS"});
        h.objects.emplace_back();
        var = &h.objects.back();
        var->tags.push_back(tag(9, name));
    }
    var->tags.resize(1);
    var->tags.insert(var->tags.end(), valueTags.begin(), valueTags.end());
}

QByteArray DxfDocument::version() const {
    const DxfObject* v = headerVariable("$ACADVER");
    return v && v->tags.size() > 1 ? v->tags[1].value.trimmed().toUpper() : QByteArray();
}
