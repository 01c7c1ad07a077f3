// SPDX-License-Identifier: GPL-3.0-or-later
// Extended data (XDATA) of a registered application, and the record this
// program attaches to each block it inserts and each vertex of a line it draws:
// how the point was placed (UTM zone, hemisphere and unit, or the projected
// coordinate system) and the row it came from (name, message, icon). A reader
// of the drawing can then turn a point that was moved in CAD back into
// latitude and longitude, and give it its row's texts.
//
// Layout after "1001 KORVEL_TRANSFER", by position (six groups: each point
// carries them, so they are kept few):
//   1070 zone       1..60 for UTM; 0 when a projected system placed the point
//   1000 N | S      the hemisphere (UTM), or the system's code ("EPSG:2274")
//   1000 m | ft     the unit (UTM), or empty
//   1000 name, 1000 message, 1000 icon   the row's texts
// Every string fits the 255 bytes old readers allow once encoded for the
// drawing (code page text before AC1021, UTF-8 from it on).
#pragma once
#include "dxf/dxfdocument.h"

#include <QString>

#include <algorithm>
#include <optional>
#include <vector>

// The application name under which the program's extended data is registered
// (APPID table) and written (1001).
inline constexpr char kPointDataApp[] = "KORVEL_TRANSFER";

// One application's extended data: the groups after its 1001 tag.
struct DxfExtendedData {
    struct Item {
        int code = 1000; // 1000 text, 1040 real, 1070 16-bit integer
        QString text;    // for 1000
        double number = 0;
    };
    QString application; // empty: no extended data
    std::vector<Item> items;
    bool empty() const { return application.isEmpty(); }
};

// How a point was placed, and its row's texts.
struct PointData {
    int zone = 0;       // 1..60; 0 when crs names the system
    QChar hemisphere;   // 'N' or 'S' (UTM only)
    bool metric = true; // UTM unit: metres, else feet
    QString crs;        // "EPSG:2274"; empty for UTM
    QString name, message, icon;
    bool operator==(const PointData&) const = default;
};

namespace PointDataXData {

DxfExtendedData toExtendedData(const PointData& data);

// The program's record among the extended data tags of one entity (tags of
// codes 1000 and up, any applications), or nothing when it has none. Texts are
// decoded with decode.
template <typename Decode> std::optional<PointData> fromTags(const std::vector<DxfTag>& tags, Decode decode);

// Extended data as tags for a drawing: each string encoded by encode and cut
// (at a character) to fit 255 bytes, control characters made blanks.
template <typename Encode> std::vector<DxfTag> toTags(const DxfExtendedData& data, Encode encode);

// Parses one record from the (code, text) pairs that follow its 1001 tag.
std::optional<PointData> parse(const std::vector<std::pair<int, QString>>& groups);

inline constexpr qsizetype kMaxStringBytes = 255;

} // namespace PointDataXData

// ---------------------------------------------------------------- templates

template <typename Decode>
std::optional<PointData> PointDataXData::fromTags(const std::vector<DxfTag>& tags, Decode decode) {
    std::vector<std::pair<int, QString>> groups;
    bool ours = false;
    for (const DxfTag& t : tags) {
        if (t.code == 1001) {
            if (ours)
                break;
            ours = t.value.trimmed() == kPointDataApp;
            continue;
        }
        if (ours)
            groups.emplace_back(t.code,
                                t.code == 1000 ? decode(t.value) : QString::fromLatin1(t.value.trimmed()));
    }
    return ours ? parse(groups) : std::nullopt;
}

template <typename Encode>
std::vector<DxfTag> PointDataXData::toTags(const DxfExtendedData& data, Encode encode) {
    std::vector<DxfTag> out;
    if (data.empty())
        return out;
    out.push_back(DxfDocument::tag(1001, data.application.toLatin1()));
    for (const DxfExtendedData::Item& item : data.items) {
        if (item.code == 1070) {
            out.push_back(DxfDocument::tagInt(1070, static_cast<long long>(item.number)));
        } else if (item.code == 1040) {
            out.push_back(DxfDocument::tag(1040, item.number));
        } else {
            QString text = item.text;
            for (QChar& c : text)
                if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                    c = QLatin1Char(' ');
            // Every character takes at least one byte: start at 255 characters
            // and drop whole characters until the encoded text fits.
            if (text.size() > kMaxStringBytes)
                text.truncate(kMaxStringBytes);
            // Plain ASCII is the same bytes in every encoding a drawing uses.
            const bool ascii =
                std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
            QByteArray bytes = ascii ? text.toLatin1() : encode(text);
            while (bytes.size() > kMaxStringBytes) {
                text.chop(text.size() >= 2 && text.back().isLowSurrogate() ? 2 : 1);
                bytes = encode(text);
            }
            out.push_back(DxfDocument::tag(item.code, bytes));
        }
    }
    return out;
}
