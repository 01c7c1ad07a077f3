// SPDX-License-Identifier: GPL-3.0-or-later
// CSV with a header row. Columns are found by name in any order and case;
// the separator is whichever of "," ";" tab the header row uses most; fields
// may be quoted ("" for a quote inside); UTF-8 with or without a BOM.
#include "interchange/formats.h"
#include "interchange/xmltext.h"

#include <QStringDecoder>

#include <array>

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

// Splits text into records of fields. A quoted field may hold separators, line
// breaks and doubled quotes. Blank lines give no record.
class CsvParser {
public:
    CsvParser(const QString& text, QChar separator) : text_(text), sep_(separator) {}

    bool next(QStringList& fields) {
        fields.clear();
        const qsizetype n = text_.size();
        while (pos_ < n) {
            QString field;
            bool wasQuoted = false;
            if (text_.at(pos_) == QLatin1Char('"')) {
                wasQuoted = true;
                ++pos_;
                while (pos_ < n) {
                    const QChar c = text_.at(pos_++);
                    if (c == QLatin1Char('"')) {
                        if (pos_ < n && text_.at(pos_) == QLatin1Char('"')) {
                            field += c;
                            ++pos_;
                        } else {
                            break;
                        }
                    } else {
                        field += c;
                    }
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

private:
    const QString& text_;
    QChar sep_;
    qsizetype pos_ = 0;
};

void appendField(QByteArray& out, const QString& text) {
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                       text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
                       text.contains(QLatin1Char(';')) || text.contains(QLatin1Char('\t')) ||
                       (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quote) {
        InterchangeText::AppendUtf8(out, text);
        return;
    }
    QString doubled = text;
    doubled.replace(QLatin1Char('"'), QLatin1String("\"\""));
    out.append('"');
    InterchangeText::AppendUtf8(out, doubled);
    out.append('"');
}

} // namespace

ReadResult ReadCsv(const QByteArray& bytes) {
    ReadResult result;
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decode(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
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
        row.name = field(colName);
        if (const auto metres = ElevationMetres(field(colEle)))
            row.elevation = ElevationText(*metres);
        row.message = field(colMessage);
        row.icon = field(colIcon);
        result.rows.push_back(std::move(row));
    }
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
