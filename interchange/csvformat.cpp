// SPDX-License-Identifier: GPL-3.0-or-later
// CSV with a header row. Columns are found by name in any order and case;
// the separator is whichever of "," ";" tab the header row uses most; fields
// may be quoted ("" for a quote inside); UTF-8 with or without a BOM, else
// Windows-1252 (with a note saying so). Text fields (name, message, icon) that
// a spreadsheet would run as a formula are written behind a "'" that reading
// takes off again; numbers are written as they are.
#include "interchange/formats.h"
#include "interchange/xmltext.h"
#include "platform/ansi.h"

#include <QStringDecoder>

#include <array>
#include <optional>

namespace {

enum Column { colName, colLat, colLon, colEle, colMessage, colIcon, colCount };

int columnFor(const QString& header) {
    static const std::array<QStringList, colCount> names = {
        QStringList{QStringLiteral("name")},
        QStringList{QStringLiteral("latitude"), QStringLiteral("lat")},
        QStringList{QStringLiteral("longitude"), QStringLiteral("lon"), QStringLiteral("lng"),
                    QStringLiteral("long")},
        QStringList{QStringLiteral("elevation"), QStringLiteral("ele"), QStringLiteral("alt"),
                    QStringLiteral("altitude")},
        QStringList{QStringLiteral("message"), QStringLiteral("desc"), QStringLiteral("description"),
                    QStringLiteral("comment"), QStringLiteral("cmt")},
        QStringList{QStringLiteral("icon"), QStringLiteral("sym"), QStringLiteral("symbol")},
    };
    const QString h = header.trimmed().toLower();
    for (int c = 0; c < colCount; ++c)
        if (names[size_t(c)].contains(h))
            return c;
    return -1;
}

QChar detectSeparator(const QString& text) {
    int comma = 0, semicolon = 0, tab = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == QLatin1Char('\n'))
            break;
        else if (c == QLatin1Char(','))
            ++comma;
        else if (c == QLatin1Char(';'))
            ++semicolon;
        else if (c == QLatin1Char('\t'))
            ++tab;
    }
    if (tab > comma && tab >= semicolon)
        return QLatin1Char('\t');
    if (semicolon > comma)
        return QLatin1Char(';');
    return QLatin1Char(',');
}

// Spreadsheets run a cell whose text begins with one of these as a formula.
bool startsLikeFormula(QStringView text) {
    return !text.isEmpty() && QStringView(u"=+-@\t\r").contains(text.front());
}

// Text fields are written with a leading "'" where a spreadsheet would take
// them for a formula; further "'" in front of such a text are doubled up the
// same way, so that taking one "'" off on import gives back any text.
bool needsFormulaMark(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char('\''))
        ++i;
    return startsLikeFormula(text.mid(i));
}

// Where a quote opened a field that nothing in the file closes.
struct UnclosedQuote {
    qsizetype line = 0;       // 1-based line of the opening quote
    qsizetype linesAfter = 0; // lines after it that it would have taken in
};

// Splits text into records of fields. A quoted field may hold separators, line
// breaks and doubled quotes. Blank lines give no record. A quote that opens a
// field but is never closed would take in the whole rest of the file; it is
// read as an ordinary character instead, so its line and every line after it
// stay rows of their own. At most one such quote exists in any text: any later
// field-opening quote would have closed it.
class CsvParser {
public:
    CsvParser(const QString& text, QChar separator) : text_(text), sep_(separator) {}

    bool next(QStringList& fields) {
        fields.clear();
        const qsizetype n = text_.size();
        while (pos_ < n) {
            QString field;
            bool wasQuoted = false;
            if (text_.at(pos_) == QLatin1Char('"') && pos_ != literalQuote_) {
                const qsizetype open = pos_;
                wasQuoted = readQuoted(field);
                if (!wasQuoted) {
                    noteUnclosed(open);
                    literalQuote_ = open;
                    pos_ = open;
                    field.clear();
                }
            }
            // Unquoted text (or what follows a closing quote) up to the separator.
            const qsizetype start = pos_;
            while (pos_ < n && text_.at(pos_) != sep_ && text_.at(pos_) != QLatin1Char('\n') &&
                   text_.at(pos_) != QLatin1Char('\r'))
                ++pos_;
            field += QStringView(text_).mid(start, pos_ - start);
            fields.push_back(wasQuoted ? field : field.trimmed());
            if (pos_ < n && text_.at(pos_) == sep_) {
                ++pos_;
                continue;
            }
            // End of the record.
            if (pos_ < n && text_.at(pos_) == QLatin1Char('\r'))
                ++pos_;
            if (pos_ < n && text_.at(pos_) == QLatin1Char('\n'))
                ++pos_;
            if (fields.size() == 1 && fields.front().isEmpty() && !wasQuoted) {
                fields.clear();
                continue; // a blank line
            }
            return true;
        }
        return !fields.isEmpty();
    }

    const std::optional<UnclosedQuote>& unclosed() const { return unclosed_; }

private:
    // Reads the quoted field whose opening quote is at pos_ into field; false
    // (pos_ then at the end) when no quote closes it.
    bool readQuoted(QString& field) {
        const qsizetype n = text_.size();
        ++pos_;
        while (pos_ < n) {
            const QChar c = text_.at(pos_++);
            if (c != QLatin1Char('"')) {
                field += c;
            } else if (pos_ < n && text_.at(pos_) == QLatin1Char('"')) {
                field += c;
                ++pos_;
            } else {
                return true;
            }
        }
        return false;
    }

    void noteUnclosed(qsizetype open) {
        if (unclosed_)
            return;
        const QStringView all(text_);
        const qsizetype line = all.left(open).count(QLatin1Char('\n')) + 1;
        const qsizetype lines = all.count(QLatin1Char('\n')) + (all.endsWith(QLatin1Char('\n')) ? 0 : 1);
        unclosed_ = UnclosedQuote{line, lines - line};
    }

    const QString& text_;
    QChar sep_;
    qsizetype pos_ = 0;
    qsizetype literalQuote_ = -1; // the opening quote read as an ordinary character
    std::optional<UnclosedQuote> unclosed_;
};

void appendField(QByteArray& out, QString text) {
    if (needsFormulaMark(text))
        text.prepend(QLatin1Char('\''));
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                       text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
                       text.contains(QLatin1Char(';')) || text.contains(QLatin1Char('\t')) ||
                       (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quote) {
        InterchangeText::AppendUtf8(out, text);
        return;
    }
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    out.append('"');
    InterchangeText::AppendUtf8(out, text);
    out.append('"');
}

// A text field as this program wrote it: without the formula mark.
QString textField(const QString& field) {
    if (field.startsWith(QLatin1Char('\'')) && needsFormulaMark(QStringView(field).mid(1)))
        return field.mid(1);
    return field;
}

} // namespace

ReadResult ReadCsv(const QByteArray& bytes) {
    ReadResult result;
    const QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decode(body);
    if (decode.hasError()) {
        // Not UTF-8: most likely an older spreadsheet's export in the Windows
        // code page, which any byte sequence decodes as. Never "\uFFFD" silently.
        text = FromAnsi(body);
        result.notes << QStringLiteral(
            "It is not UTF-8 text, so it was read as Windows-1252 (the code page of older spreadsheet "
            "exports); check that letters such as \u00E9, \u00FC or \u00DF in the names look right.");
    }
    CsvParser parser(text, detectSeparator(text));
    QStringList fields;
    if (!parser.next(fields)) {
        result.error = QStringLiteral("the file is empty");
        return result;
    }
    std::array<int, colCount> at;
    at.fill(-1);
    for (int i = 0; i < fields.size(); ++i)
        if (const int c = columnFor(fields.at(i)); c >= 0 && at[size_t(c)] < 0)
            at[size_t(c)] = i;
    if (at[colLat] < 0 || at[colLon] < 0) {
        result.error = QStringLiteral("its first line names no %1 column (a CSV file needs a header row "
                                      "naming at least latitude and longitude)")
                           .arg(at[colLat] < 0 ? QStringLiteral("latitude") : QStringLiteral("longitude"));
        return result;
    }
    auto field = [&](int c) {
        const int i = at[size_t(c)];
        return i >= 0 && i < fields.size() ? fields.at(i) : QString();
    };
    while (parser.next(fields)) {
        PointRow row;
        if (!SetRowCoordinates(row, field(colLat), field(colLon))) {
            ++result.skipped;
            continue;
        }
        row.name = textField(field(colName));
        if (const auto metres = ElevationMetres(field(colEle)))
            row.elevation = ElevationText(*metres);
        row.message = textField(field(colMessage));
        row.icon = textField(field(colIcon));
        result.rows.push_back(std::move(row));
    }
    if (const auto& q = parser.unclosed())
        result.notes << QStringLiteral("Line %1 opens a quoted field that is never closed: read as written, "
                                       "that field would have taken in the %2 line(s) after it. Line %1 "
                                       "was read with the quote as an ordinary character, and the lines "
                                       "after it as rows of their own.")
                            .arg(q->line)
                            .arg(q->linesAfter);
    result.ok = true;
    return result;
}

QByteArray WriteCsv(const PointRows& rows, WriteResult& result) {
    QByteArray out;
    out.reserve(qsizetype(rows.size()) * 60 + 64);
    out.append("name,latitude,longitude,elevation,message,icon\r\n");
    ForEachWritableRow(rows, result, [&](const PointRow& row, const Coordinates& coords) {
        appendField(out, row.name);
        out.append(',');
        InterchangeText::AppendCoordinate(out, row.latitude, coords.latitude);
        out.append(',');
        InterchangeText::AppendCoordinate(out, row.longitude, coords.longitude);
        out.append(',');
        if (const auto metres = ElevationMetres(row.elevation))
            InterchangeText::AppendMetres(out, *metres);
        out.append(',');
        appendField(out, row.message);
        out.append(',');
        appendField(out, row.icon);
        out.append("\r\n");
        ++result.written;
    });
    return out;
}
