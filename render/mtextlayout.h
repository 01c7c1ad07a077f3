// SPDX-License-Identifier: GPL-3.0-or-later
// Lays out the content of an MTEXT as CAD programs show it: the inline
// formatting codes are read (never shown), paragraphs are wrapped at the
// box width and aligned, and the text is cut into runs of one format each.
//
// Codes read: \P paragraph break (and a line feed), \~ non-breaking space,
// \\ \{ \} literal characters, {} grouping (formats set inside end at "}"),
// \fName|b1|i1; bold and italic (the family is not followed: one face draws
// all text), \L..\l underline, \O..\o overline, \K..\k strike-through,
// \C ACI colour, \c true colour (the value's low byte is red), \H height
// (absolute, or relative with "x"), \W width factor, \Q obliquing angle,
// \p paragraph properties (i first-line indent, l left, r right indent, in
// units of the MTEXT's height; ql qc qr qj qd alignment), \S stacked
// fractions "a^b", "a/b", "a#b" shown as "a/b", \U+XXXX characters. Read and
// ignored: \A, \T, \N, \X. A tab (also written ^I) shows as a space; other
// caret-encoded control characters as spaces, "^J" as a paragraph break.
//
// Units: all lengths are in units of the MTEXT's character height (group
// 40), x along the text direction, y up, measured from the insertion point.
#pragma once
#include <QFont>
#include <QFontMetricsF>
#include <QRgb>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// One piece of one line in one format.
struct MTextRun {
    enum Style : unsigned { Bold = 1, Italic = 2, Underline = 4, Overline = 8, Strike = 16 };
    QString text;            // as shown, no codes
    double x = 0, y = 0;     // start of its baseline
    double advance = 0;      // its length along the baseline (justified runs are stretched to it)
    double height = 1;       // of its characters (\H)
    double widthFactor = 1;  // \W
    double oblique = 0;      // degrees, positive leans right (\Q)
    unsigned style = 0;      // Style flags
    int aci = -1;            // colour index from \C (1..255); -1: the entity's colour
    std::optional<QRgb> rgb; // true colour from \c; overrides aci
};

// Paragraph alignment, as \pq gives it; Default follows the attachment point.
enum class MTextAlign { Default, Left, Center, Right, Justified };

class MTextLayout {
public:
    MTextLayout();

    // Runs of content (decoded text, codes included) laid out in a box of
    // boxWidth (units of the height; 0 or less: no wrapping, the box is as
    // wide as the widest line), anchored at attachment point 1..9 (group 71:
    // 1 top left .. 9 bottom right), lines lineSpacing (group 44, 0.25..4)
    // times the 5/3 height spacing apart. Empty runs and runs of spaces
    // without a line through them are left out.
    std::vector<MTextRun> layout(const QString& content, double boxWidth, int attachment, double lineSpacing);

    // Width of text drawn in the renderer's face, in units of the text
    // height, by bold and italic style.
    double width(const QString& text, unsigned style = 0);
    // A text's height in CAD programs is the height of its capitals: the
    // face's cap height over its pixel size (about 0.73).
    static double capHeight();

private:
    QFont font_;
    std::array<std::optional<QFontMetricsF>, 4> metrics_; // by bold | italic
};
