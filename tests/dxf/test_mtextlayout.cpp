// SPDX-License-Identifier: GPL-3.0-or-later
// MTEXT layout: which runs the inline codes make, and where paragraphs go.
// Lengths are in units of the MTEXT's height, as the layout gives them.
#include "render/mtextlayout.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct Expected {
    Expected(QString t, unsigned s = 0, int a = -1, std::optional<QRgb> c = {}, double h = 1, double w = 1,
             double q = 0)
        : text(std::move(t)), style(s), aci(a), rgb(c), height(h), widthFactor(w), oblique(q) {}
    QString text;
    unsigned style;
    int aci;
    std::optional<QRgb> rgb;
    double height, widthFactor, oblique;
};

QString describe(const std::vector<MTextRun>& runs) {
    QStringList out;
    for (const MTextRun& r : runs)
        out << QStringLiteral("[%1 s%2 c%3 h%4 w%5 x%6 y%7]")
                   .arg(r.text)
                   .arg(r.style)
                   .arg(r.aci)
                   .arg(r.height)
                   .arg(r.widthFactor)
                   .arg(r.x)
                   .arg(r.y);
    return out.join(u' ');
}

double end(const MTextRun& r) {
    return r.x + r.advance;
}

} // namespace

TEST(MTextLayout, InlineCodesMakeRunsAndAreNeverShown) {
    const QRgb red = qRgb(255, 0, 0);
    const struct {
        const char* content;
        std::vector<Expected> runs;
    } cases[] = {
        {"{\\fArial|b1|i0|c0|p34;Bold} plain", {{"Bold", MTextRun::Bold}, {" plain"}}},
        {"\\fArial|i1;It\\fArial|b0|i0;Not", {{"It", MTextRun::Italic}, {"Not"}}},
        {"a\\Lund\\lb", {{"a"}, {"und", MTextRun::Underline}, {"b"}}},
        {"\\Kgone\\k\\Oover\\o", {{"gone", MTextRun::Strike}, {"over", MTextRun::Overline}}},
        {"\\C1;red\\C256;x", {{"red", 0, 1}, {"x"}}},
        {"\\c255;t", {{"t", 0, -1, red}}},
        {"\\H2.5;abs{\\H0.5x;rel}back",
         {{"abs", 0, -1, {}, 2.5}, {"rel", 0, -1, {}, 1.25}, {"back", 0, -1, {}, 2.5}}},
        {"\\W2;wide\\Q15;lean", {{"wide", 0, -1, {}, 1, 2}, {"lean", 0, -1, {}, 1, 2, 15}}},
        {"\\S1^2; \\S3/4; \\S5#6;", {{"1/2 3/4 5/6"}}},
        {"a^Ib\\~c", {{QString::fromUtf8("a b\u00A0c")}}},
        {"\\\\\\{\\}{}", {{"\\{}"}}},
        {"\\A1;\\T1.5;\\pxqc;\\U+00E9%%d", {{QString::fromUtf8("é°")}}},
    };
    MTextLayout layout;
    for (const auto& c : cases) {
        const std::vector<MTextRun> runs = layout.layout(QString::fromUtf8(c.content), 0, 1, 1);
        ASSERT_EQ(runs.size(), c.runs.size()) << c.content << ": " << describe(runs).toStdString();
        for (size_t i = 0; i < runs.size(); ++i) {
            const MTextRun& r = runs[i];
            const Expected& e = c.runs[i];
            EXPECT_EQ(r.text, e.text) << c.content;
            EXPECT_EQ(r.style, e.style) << c.content << " " << i;
            EXPECT_EQ(r.aci, e.aci) << c.content << " " << i;
            EXPECT_EQ(r.rgb, e.rgb) << c.content << " " << i;
            EXPECT_DOUBLE_EQ(r.height, e.height) << c.content << " " << i;
            EXPECT_DOUBLE_EQ(r.widthFactor, e.widthFactor) << c.content << " " << i;
            EXPECT_DOUBLE_EQ(r.oblique, e.oblique) << c.content << " " << i;
            // Runs of one line follow each other without gap or overlap.
            if (i > 0 && runs[i - 1].y == r.y) {
                EXPECT_NEAR(end(runs[i - 1]), r.x, 1e-9) << c.content << " " << i;
            }
        }
    }
    // Broken or hostile codes show nothing of themselves (and stay within UBSan's rules).
    for (const char* broken : {"\\c1e30;x", "\\H1e400;x", "\\C-5;x", "\\S;x", "\\p;\\f;x}}}{", "x\\",
                               "\\Z\\U+zzzzx", "\\W0;\\H0x;x", "\\S1^", "^"}) {
        for (const MTextRun& r : layout.layout(QString::fromUtf8(broken), 5, 5, 1))
            EXPECT_FALSE(r.text.contains(u'\\') || r.text.contains(u';'))
                << broken << ": " << r.text.toStdString();
    }
    // Width factor and height widen the text they apply to.
    const double plain = layout.layout(QStringLiteral("wide"), 0, 1, 1)[0].advance;
    EXPECT_NEAR(layout.layout(QStringLiteral("\\W2;wide"), 0, 1, 1)[0].advance, 2 * plain, 1e-9);
    EXPECT_NEAR(layout.layout(QStringLiteral("\\H3;wide"), 0, 1, 1)[0].advance, 3 * plain, 1e-9);
}

TEST(MTextLayout, ParagraphsAlignInTheirBoxAndLinesAreSpaced) {
    MTextLayout layout;
    const double box = 20;
    const QString words = QStringLiteral("aa bb cc dd ee ff gg hh ii jj kk ll mm nn oo pp qq rr ss tt");
    // Attachment 1 (top left): the box runs from 0 to 20.
    const std::vector<MTextRun> runs =
        layout.layout(QStringLiteral("\\pql;Left\\P\\pqc;Centre\\P\\pqr;Right\\P\\pxqj;") + words, box, 1, 1);
    ASSERT_GE(runs.size(), 4u) << describe(runs).toStdString();
    EXPECT_NEAR(runs[0].x, 0, 1e-9);
    EXPECT_NEAR(runs[1].x + runs[1].advance / 2, box / 2, 1e-9);
    EXPECT_NEAR(end(runs[2]), box, 1e-9);
    EXPECT_NEAR(runs[0].y, -1, 1e-9) << "top attachment: the first baseline a height down";
    EXPECT_NEAR(runs[1].y, -1 - 5.0 / 3, 1e-9);
    // Justified: every line but the last fills the box edge to edge, wrapped, no line wider than it.
    std::vector<double> baselines;
    for (size_t i = 3; i < runs.size(); ++i) {
        EXPECT_LE(end(runs[i]), box * 1.001) << describe(runs).toStdString();
        if (baselines.empty() || baselines.back() != runs[i].y)
            baselines.push_back(runs[i].y);
    }
    ASSERT_GE(baselines.size(), 2u) << "the words wrap";
    auto lineEnd = [&](double y) {
        double e = 0;
        for (const MTextRun& r : runs)
            if (r.y == y)
                e = std::max(e, end(r));
        return e;
    };
    EXPECT_NEAR(lineEnd(baselines.front()), box, 1e-9) << describe(runs).toStdString();
    // The last line is not stretched: one run, its spaces as they are, from the left edge.
    const auto last =
        std::count_if(runs.begin(), runs.end(), [&](const MTextRun& r) { return r.y == baselines.back(); });
    EXPECT_EQ(last, 1) << describe(runs).toStdString();
    EXPECT_NEAR(runs.back().x, 0, 1e-9);

    // Without \pq the attachment's column decides: bottom right puts the
    // right edge and the last baseline at the insertion point.
    const std::vector<MTextRun> right = layout.layout(QStringLiteral("one\\Ptwo words"), 0, 9, 1);
    ASSERT_EQ(right.size(), 2u);
    EXPECT_NEAR(end(right[0]), 0, 1e-9);
    EXPECT_NEAR(end(right[1]), 0, 1e-9);
    EXPECT_NEAR(right[1].y, 0, 1e-9);
    // Middle centre with a box: centred on the insertion point both ways; a
    // \pql paragraph starts at the box's left edge.
    const std::vector<MTextRun> centre = layout.layout(QStringLiteral("mid\\P\\pql;left"), 10, 5, 2);
    ASSERT_EQ(centre.size(), 2u);
    EXPECT_NEAR(centre[0].x + centre[0].advance / 2, 0, 1e-9);
    EXPECT_NEAR(centre[1].x, -5, 1e-9);
    EXPECT_NEAR(centre[0].y + 1 + centre[1].y, 0, 1e-9) << "top and last baseline either side of 0";
    EXPECT_NEAR(centre[0].y - centre[1].y, 2 * 5.0 / 3, 1e-9) << "spacing factor 2";
}
