// SPDX-License-Identifier: GPL-3.0-or-later
// A DXF drawing at the level of its tags: sections of (group code, value)
// pairs, split into objects (an entity, a table entry, a header variable).
// Reading and writing a drawing gives back every tag as it was, so content the
// engine does not understand (unknown entities or sections, comments, extended
// data) survives untouched. Which versions may be edited is the engine's
// decision (dxfdrawing.h); this level reads any ASCII DXF.
#pragma once
#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

// A drawing that cannot be read: the text says why, in words for the user.
class DxfError : public std::runtime_error {
public:
    explicit DxfError(const QString& description);
    const QString& description() const { return description_; }

private:
    QString description_;
};

struct DxfTag {
    int code = 0;
    QByteArray value;   // the value line as read, without its line end
    QByteArray rawCode; // the code line as read when it differs from the written form
    bool is(int c, const char* v) const;
};

// Tags from one code 0 tag up to the next (in HEADER: from one code 9 tag).
struct DxfObject {
    std::vector<DxfTag> tags;
    QByteArray type() const; // value of the first tag, blanks trimmed ("INSERT", "$ACADVER")
    // Index of the first tag with the code, or -1.
    int find(int code) const;
    QByteArray value(int code, const QByteArray& fallback = QByteArray()) const;
    std::optional<double> number(int code) const;
    // Replaces the first tag of the code, or appends one.
    void set(int code, const QByteArray& value);
};

struct DxfSection {
    QByteArray name;                // as read, trimmed, upper case ("ENTITIES")
    std::vector<DxfTag> open;       // 0 SECTION, 2 name and anything before the first object
    std::vector<DxfObject> objects; // in file order
    std::vector<DxfTag> close;      // 0 ENDSEC
    // Objects kept as the bytes they were read as, from the first object's
    // code line up to the line before ENDSEC; written before `objects`. Empty
    // unless the section was read with DxfDocument::parseSpliced.
    QByteArray raw;
};

// Walks the tags of DXF text without copying them: values are views into the
// text, valid while it lives. Line ends are LF or CR LF.
class DxfTagReader {
public:
    explicit DxfTagReader(const QByteArray& text) : data_(text.constData()), size_(text.size()) {}
    // False at the end of the text; throws DxfError for a line that is not a
    // group code or a code without its value.
    bool next();
    int code() const { return code_; }
    // The value line without its line end, as a view (QByteArray::fromRawData).
    QByteArray value() const { return QByteArray::fromRawData(value_, valueLen_); }
    const char* valueData() const { return value_; }
    qsizetype valueSize() const { return valueLen_; }
    bool valueIs(const char* text) const; // value, blanks trimmed, equals text
    // Offset of the current tag's code line, and of the line after its value.
    qsizetype tagStart() const { return tagStart_; }
    qsizetype position() const { return pos_; }
    qsizetype lineNumber() const { return line_; }
    // The code line as read when it differs from the usual "%3d" form.
    QByteArray rawCode() const;

private:
    bool line(const char** start, qsizetype* len);
    const char* data_;
    qsizetype size_;
    qsizetype pos_ = 0, tagStart_ = 0, line_ = 0;
    int code_ = 0;
    const char* codeLine_ = nullptr;
    qsizetype codeLen_ = 0;
    const char* value_ = nullptr;
    qsizetype valueLen_ = 0;
};

class DxfDocument {
public:
    // Reads an ASCII DXF drawing. Throws DxfError for a binary DXF, a file that
    // is not DXF, or a damaged structure (a section without its end, a file
    // cut short inside a section).
    static DxfDocument parse(const QByteArray& bytes);
    // The same, but the objects of the sections named in `raw` (upper case) are
    // kept as their bytes (DxfSection::raw), not split into tags: appending to
    // a big drawing then costs little more than reading and writing its bytes.
    static DxfDocument parseSpliced(const QByteArray& bytes, const std::vector<QByteArray>& raw);
    // Splits a section's raw bytes into objects, placed before its other objects.
    void expandSection(DxfSection& section) const;
    // A copy with every section split into objects (what readers of tags want).
    DxfDocument expanded() const;
    // Calls f with each object of the section in file order, those kept as
    // text included without splitting the section: their tag values are views
    // into the text, valid during the call only.
    static void forEachObject(const DxfSection& section, const std::function<void(const DxfObject&)>& f);
    // The exact bytes: tags as read, new tags in the usual R12 layout.
    QByteArray toBytes() const;

    std::vector<DxfSection>& sections() { return sections_; }
    const std::vector<DxfSection>& sections() const { return sections_; }
    DxfSection* section(const char* name);
    const DxfSection* section(const char* name) const;
    // The section of that name, created empty before the first of `before`
    // (names in write order) that exists, else at the end.
    DxfSection& ensureSection(const char* name, const std::vector<const char*>& before);

    // Header variables ($ACADVER...). Null when absent.
    DxfObject* headerVariable(const char* name);
    const DxfObject* headerVariable(const char* name) const;
    // Sets a variable's value tags (the tags after "9 $NAME"), adding it when absent.
    void setHeaderVariable(const char* name, const std::vector<DxfTag>& valueTags);

    // The $ACADVER value ("" when the drawing has none).
    QByteArray version() const;

    static DxfTag tag(int code, const QByteArray& value);
    static DxfTag tag(int code, const char* value) { return tag(code, QByteArray(value)); }
    static DxfTag tag(int code, double value);
    static DxfTag tagInt(int code, long long value);
    // Shortest text that reads back as the same double, "." as decimal point.
    static QByteArray formatNumber(double value);
    // Strict number parse of a value line (blanks around allowed).
    static std::optional<double> parseNumber(const QByteArray& text);

private:
    static DxfDocument parseImpl(const QByteArray& bytes, const std::vector<QByteArray>* raw);
    QByteArray source_;            // the text raw sections point into
    std::vector<DxfTag> preamble_; // comments before the first section
    std::vector<DxfSection> sections_;
    std::vector<DxfTag> eof_; // 0 EOF (empty when the file had none)
    QByteArray trailer_;      // bytes after EOF, kept as they were
    QByteArray eol_ = "\n";
};
