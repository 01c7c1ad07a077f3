// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/mtextlayout.h"

#include "render/dxfrender.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kLineSpacing = 5.0 / 3; // baseline to baseline, of the height, at factor 1
constexpr double kWrapTolerance = 1.001; // a line this much wider than the box still fits

struct Format {
    double height = 1, widthFactor = 1, oblique = 0;
    unsigned style = 0;
    int aci = -1;
    std::optional<QRgb> rgb;
    bool operator==(const Format&) const = default;
};

struct ParagraphFormat {
    double indent = 0, left = 0, right = 0; // first line beyond left; left; right
    MTextAlign align = MTextAlign::Default;
};

struct Piece {
    QString text;
    Format format;
    bool space = false;
    double width = 0;
};

struct Paragraph {
    std::vector<Piece> pieces;
    ParagraphFormat format;
    double emptyHeight = 1; // of the line when it holds nothing
};

// A number at s[i], with an optional trailing "x" when relative is allowed;
// i moves past it and past a terminating ';'.
std::optional<double> readNumber(const QString& s, qsizetype& i, bool* relative = nullptr) {
    qsizetype j = i;
    while (j < s.size() && (s[j].isDigit() || s[j] == u'.' || s[j] == u'-' || s[j] == u'+' ||
                            ((s[j] == u'e' || s[j] == u'E') && j > i)))
        ++j;
    bool ok = false;
    const double v = s.mid(i, j - i).toDouble(&ok);
    if (relative)
        *relative = j < s.size() && (s[j] == u'x' || s[j] == u'X');
    if (relative && *relative)
        ++j;
    if (j < s.size() && s[j] == u';')
        ++j;
    i = j;
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

// The value of a code up to its ';' (or the end), from i; i moves past the ';'.
QString readToSemicolon(const QString& s, qsizetype& i, bool escapes) {
    QString out;
    while (i < s.size() && s[i] != u';') {
        if (escapes && s[i] == u'\\' && i + 1 < s.size())
            ++i;
        out += s[i++];
    }
    if (i < s.size())
        ++i;
    return out;
}

void paragraphProperties(const QString& value, ParagraphFormat& p) {
    for (const QString& item : value.split(u',')) {
        QString v = item.trimmed();
        while (v.startsWith(u'x'))
            v.remove(0, 1);
        if (v.isEmpty())
            continue;
        const QChar key = v[0];
        if (key == u'q' && v.size() > 1) {
            switch (v[1].unicode()) {
            case 'l':
                p.align = MTextAlign::Left;
                break;
            case 'c':
                p.align = MTextAlign::Center;
                break;
            case 'r':
                p.align = MTextAlign::Right;
                break;
            case 'j':
            case 'd':
                p.align = MTextAlign::Justified;
                break;
            default:
                p.align = MTextAlign::Default;
                break;
            }
            continue;
        }
        bool ok = false;
        const double n = v.mid(1).toDouble(&ok);
        if (!ok || !std::isfinite(n))
            continue;
        if (key == u'i')
            p.indent = n;
        else if (key == u'l')
            p.left = n;
        else if (key == u'r')
            p.right = n;
    }
}

// The content cut into paragraphs of pieces (words and single spaces, one format each).
std::vector<Paragraph> parse(const QString& s) {
    std::vector<Paragraph> paragraphs(1);
    Format f;
    ParagraphFormat pf;
    std::vector<std::pair<Format, ParagraphFormat>> groups;
    auto put = [&](QChar c) {
        std::vector<Piece>& pieces = paragraphs.back().pieces;
        if (c == u' ') {
            pieces.push_back({QStringLiteral(" "), f, true, 0});
            return;
        }
        if (!pieces.empty() && !pieces.back().space && pieces.back().format == f)
            pieces.back().text += c;
        else
            pieces.push_back({QString(c), f, false, 0});
    };
    auto newParagraph = [&] {
        paragraphs.back().emptyHeight = f.height;
        paragraphs.push_back({{}, pf, f.height});
    };
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'{') {
            groups.emplace_back(f, pf);
            continue;
        }
        if (c == u'}') {
            if (!groups.empty()) {
                f = groups.back().first;
                pf = groups.back().second;
                groups.pop_back();
            }
            continue;
        }
        if (c == u'^' && i + 1 < s.size()) { // caret notation of control characters
            const QChar next = s[i + 1];
            if (next == u'J') {
                newParagraph();
                ++i;
            } else if (next == u' ') {
                put(u'^');
                ++i;
            } else if (next >= u'@' && next <= u'_') {
                put(u' '); // ^I (tab) and the other control characters
                ++i;
            } else {
                put(c);
            }
            continue;
        }
        if (c == u'\n') {
            newParagraph();
            continue;
        }
        if (c < u' ') {
            put(u' ');
            continue;
        }
        if (c != u'\\') {
            put(c);
            continue;
        }
        if (i + 1 >= s.size())
            break; // a code cut off at the end
        if (i + 6 < s.size() && (s[i + 1] == u'U' || s[i + 1] == u'u') && s[i + 2] == u'+') {
            bool ok = false;
            const uint v = s.mid(i + 3, 4).toUInt(&ok, 16);
            if (ok) {
                const char32_t u = v;
                for (QChar q : QString::fromUcs4(&u, 1))
                    put(q);
                i += 6;
                continue;
            }
        }
        const QChar code = s[++i];
        qsizetype j = i + 1;
        switch (code.unicode()) {
        case '\\':
        case '{':
        case '}':
            put(code);
            break;
        case 'P':
        case 'N': // column break: the columns are not laid out, so a new paragraph
        case 'X':
            newParagraph();
            break;
        case '~':
            put(QChar(0x00A0));
            break;
        case 'L':
        case 'l':
        case 'O':
        case 'o':
        case 'K':
        case 'k': {
            const unsigned flag = code.toUpper() == u'L'   ? MTextRun::Underline
                                  : code.toUpper() == u'O' ? MTextRun::Overline
                                                           : MTextRun::Strike;
            if (code.isUpper())
                f.style |= flag;
            else
                f.style &= ~flag;
            break;
        }
        case 'S': { // stacked: "a^b", "a/b" or "a#b", shown as "a/b"
            const QString value = readToSemicolon(s, j, true);
            qsizetype at = 0;
            while (at < value.size() && value[at] != u'^' && value[at] != u'/' && value[at] != u'#')
                ++at;
            if (at == value.size())
                at = -1;
            const QString shown =
                at < 0 ? value.trimmed() : value.left(at).trimmed() + u'/' + value.mid(at + 1).trimmed();
            for (QChar q : shown)
                put(q == u' ' ? QChar(0x00A0) : q); // one unit: never broken
            i = j - 1;
            break;
        }
        case 'C': {
            if (auto v = readNumber(s, j); v && *v >= 0 && *v < 257) {
                const int aci = static_cast<int>(*v);
                f.aci = aci == 0 || aci == 256 ? -1 : aci; // BYBLOCK, BYLAYER: the entity's
                f.rgb.reset();
            }
            i = j - 1;
            break;
        }
        case 'c': {
            if (auto v = readNumber(s, j); v && *v >= 0 && *v < 4294967296.0) {
                const auto bgr = static_cast<unsigned long long>(*v) & 0xFFFFFF;
                f.rgb = qRgb(bgr & 255, (bgr >> 8) & 255, (bgr >> 16) & 255);
            }
            i = j - 1;
            break;
        }
        case 'H':
        case 'W': {
            bool relative = false;
            if (auto v = readNumber(s, j, &relative); v && std::abs(*v) > 0) {
                double& target = code == u'H' ? f.height : f.widthFactor;
                target = relative ? target * std::abs(*v) : std::abs(*v);
                target = std::clamp(target, 1e-3, 1e3);
            }
            i = j - 1;
            break;
        }
        case 'Q': {
            if (auto v = readNumber(s, j))
                f.oblique = std::clamp(*v, -85.0, 85.0);
            i = j - 1;
            break;
        }
        case 'T': // tracking: not followed
            readNumber(s, j);
            i = j - 1;
            break;
        case 'A': // vertical alignment of the line's pieces: not followed
            j = std::min(j + 1, s.size());
            if (j < s.size() && s[j] == u';')
                ++j;
            i = j - 1;
            break;
        case 'p':
            paragraphProperties(readToSemicolon(s, j, false), pf);
            paragraphs.back().format = pf;
            i = j - 1;
            break;
        case 'f':
        case 'F': {
            const QStringList parts = readToSemicolon(s, j, false).split(u'|');
            if (!parts.isEmpty() && !parts[0].isEmpty()) { // an empty family changes nothing
                f.style &= ~unsigned(MTextRun::Bold | MTextRun::Italic);
                for (const QString& part : parts.mid(1)) {
                    if (part.startsWith(QLatin1String("b1")))
                        f.style |= MTextRun::Bold;
                    else if (part.startsWith(QLatin1String("i1")))
                        f.style |= MTextRun::Italic;
                }
            }
            i = j - 1;
            break;
        }
        default: // unknown codes are not shown
            break;
        }
    }
    paragraphs.back().emptyHeight = f.height;
    return paragraphs;
}

struct Line {
    std::vector<Piece> pieces;
    double width = 0;  // without trailing spaces
    double height = 0; // the tallest piece
    double indent = 0; // from the box's left edge
    double right = 0;  // right indent
    MTextAlign align = MTextAlign::Default;
    bool last = false; // of its paragraph
};

} // namespace

MTextLayout::MTextLayout() : font_(QStringLiteral("DejaVu Sans")) {
    font_.setPixelSize(100);
}

double MTextLayout::capHeight() {
    static const double cap = [] {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(100);
        const double c = QFontMetricsF(f).capHeight() / 100;
        return c > 0.3 && c < 1.5 ? c : 0.73;
    }();
    return cap;
}

double MTextLayout::width(const QString& text, unsigned style) {
    const size_t k = (style & MTextRun::Bold ? 1 : 0) | (style & MTextRun::Italic ? 2 : 0);
    if (!metrics_[k]) {
        QFont f = font_;
        f.setBold(k & 1);
        f.setItalic(k & 2);
        metrics_[k].emplace(f);
    }
    return metrics_[k]->horizontalAdvance(text) / (100 * capHeight());
}

std::vector<MTextRun> MTextLayout::layout(const QString& content, double boxWidth, int attachment,
                                          double lineSpacing) {
    std::vector<Paragraph> paragraphs = parse(content);
    if (!(boxWidth > 0) || !std::isfinite(boxWidth))
        boxWidth = 0;
    const double spacing = kLineSpacing * std::clamp(lineSpacing, 0.25, 4.0);
    attachment = std::clamp(attachment, 1, 9);
    const int column = (attachment - 1) % 3; // 0 left, 1 centre, 2 right
    const int row = (attachment - 1) / 3;    // 0 top, 1 middle, 2 bottom

    // Measure, and break each paragraph into lines at spaces.
    std::vector<Line> lines;
    for (Paragraph& p : paragraphs) {
        for (Piece& piece : p.pieces) {
            if (!piece.space)
                piece.text = textSpecialCodes(piece.text);
            piece.width =
                width(piece.text, piece.format.style) * piece.format.height * piece.format.widthFactor;
        }
        Line line;
        std::vector<Piece> pendingSpaces;
        double pendingWidth = 0;
        bool hasWord = false;
        auto startLine = [&](bool first) {
            line = Line{};
            line.indent = p.format.left + (first ? p.format.indent : 0);
            line.right = p.format.right;
            line.align = p.format.align;
        };
        auto finishLine = [&](bool last) {
            line.last = last;
            if (line.pieces.empty())
                line.height = p.emptyHeight;
            lines.push_back(std::move(line));
        };
        startLine(true);
        const std::vector<Piece>& ps = p.pieces;
        for (size_t k = 0; k < ps.size();) {
            if (ps[k].space) {
                pendingSpaces.push_back(ps[k]);
                pendingWidth += ps[k].width;
                ++k;
                continue;
            }
            size_t end = k;
            double wordWidth = 0;
            while (end < ps.size() && !ps[end].space)
                wordWidth += ps[end++].width;
            const double room = boxWidth - line.indent - line.right;
            if (hasWord && boxWidth > 0 && line.width + pendingWidth + wordWidth > room * kWrapTolerance) {
                finishLine(false);
                startLine(false);
                pendingSpaces.clear(); // the spaces at a break are not shown
                pendingWidth = 0;
            }
            for (Piece& sp : pendingSpaces)
                line.pieces.push_back(std::move(sp));
            line.width += pendingWidth + wordWidth;
            pendingSpaces.clear();
            pendingWidth = 0;
            for (; k < end; ++k) {
                line.height = std::max(line.height, ps[k].format.height);
                line.pieces.push_back(ps[k]);
            }
            hasWord = true;
        }
        finishLine(true);
    }

    // Baselines from the top edge down, then moved by the attachment's row.
    // The top of a line is the spacing times its height below the top of the
    // line before: a tall line pushes the next one down, not the one before.
    std::vector<double> baselines(lines.size());
    double top = 0;
    for (size_t k = 0; k < lines.size(); ++k) {
        if (k > 0)
            top -= spacing * lines[k - 1].height;
        baselines[k] = top - lines[k].height;
    }
    const double bottom = lines.empty() ? 0 : baselines.back();
    const double shift = row == 0 ? 0 : row == 1 ? -bottom / 2 : -bottom;

    double box = boxWidth;
    if (box == 0)
        for (const Line& l : lines)
            box = std::max(box, l.indent + l.width + l.right);
    const double boxLeft = -column * box / 2;

    std::vector<MTextRun> runs;
    for (size_t k = 0; k < lines.size(); ++k) {
        const Line& l = lines[k];
        const double room = box - l.indent - l.right;
        MTextAlign align = l.align;
        if (align == MTextAlign::Default)
            align = column == 0 ? MTextAlign::Left : column == 1 ? MTextAlign::Center : MTextAlign::Right;
        double x = boxLeft + l.indent, extra = 0;
        if (align == MTextAlign::Center)
            x += (room - l.width) / 2;
        else if (align == MTextAlign::Right)
            x += room - l.width;
        else if (align == MTextAlign::Justified && !l.last && boxWidth > 0 && room > l.width) {
            // The room left is shared by the spaces between words (not the leading ones).
            size_t firstWord = 0;
            while (firstWord < l.pieces.size() && l.pieces[firstWord].space)
                ++firstWord;
            const auto gaps = std::count_if(l.pieces.begin() + static_cast<std::ptrdiff_t>(firstWord),
                                            l.pieces.end(), [](const Piece& p) { return p.space; });
            if (gaps > 0)
                extra = (room - l.width) / static_cast<double>(gaps);
        }
        const double y = baselines[k] + shift;
        bool leading = true;
        for (const Piece& p : l.pieces) {
            const double w = p.width + (p.space && !leading ? extra : 0);
            leading = leading && p.space;
            MTextRun* last = runs.empty() ? nullptr : &runs.back();
            // Pieces of one format join one run, unless spaces are stretched.
            const bool joins = last && last->y == y && std::abs(last->x + last->advance - x) < 1e-9 &&
                               extra == 0 && last->height == p.format.height &&
                               last->widthFactor == p.format.widthFactor &&
                               last->oblique == p.format.oblique && last->style == p.format.style &&
                               last->aci == p.format.aci && last->rgb == p.format.rgb;
            if (joins) {
                last->text += p.text;
                last->advance += w;
            } else {
                MTextRun r;
                r.text = p.text;
                r.x = x;
                r.y = y;
                r.advance = w;
                r.height = p.format.height;
                r.widthFactor = p.format.widthFactor;
                r.oblique = p.format.oblique;
                r.style = p.format.style;
                r.aci = p.format.aci;
                r.rgb = p.format.rgb;
                runs.push_back(std::move(r));
            }
            x += w;
        }
    }
    // Runs of spaces only show when a line runs through them.
    const unsigned lined = MTextRun::Underline | MTextRun::Overline | MTextRun::Strike;
    std::erase_if(runs, [&](const MTextRun& r) { return r.text.trimmed().isEmpty() && !(r.style & lined); });
    return runs;
}
