// SPDX-License-Identifier: GPL-3.0-or-later
// Sentence framing, checksums and the field conversions of downloads and uploads.
#include "gps/magellansentence.h"

#include "fakecommport.h"

#include <gtest/gtest.h>

namespace {
const QString crlf = QStringLiteral("\r\n");
// A framed line as received, without its CR LF.
QString line(const char* body) {
    return Framed(QString::fromLatin1(body)).chopped(2);
}

TEST(SentenceChecksum, PublishedValues) {
    const struct {
        const char* body;
        const char* sum;
    } cases[] = {
        {"PMGNCMD,TON", "27"},
        {"PMGNCMD,END", "3D"},
        {"PMGNCMD,VERSION,2", "36"},
        {"PMGNCMD,TRACK,2", "23"},
        {"PMGNCMD,DELETE,WAYPOINT", "44"},
        {"PMGNCMD,WAYPOINT", "71"},
        {"PMGNCMD,UNABLE", "63"},
        {"", "00"},
        {"J", "4A"}, // one character: the value itself
        {"PM", "1D"},
        {"AK", "0A"}, // 0x41 ^ 0x4B: below 16, written with its leading zero
    };
    for (const auto& c : cases)
        EXPECT_EQ(SentenceChecksum(QLatin1Char('$') + QLatin1String(c.body) + QLatin1Char('*') + crlf),
                  QLatin1String(c.sum))
            << c.body;
}

TEST(SentenceChecksum, FixedSentencesCarryTheComputedDigits) {
    EXPECT_EQ(kVersionRequest, QStringLiteral("$PMGNCMD,VERSION,2*36\r\n"));
    EXPECT_EQ(kTrackRequest, QStringLiteral("$PMGNCMD,TRACK,2*23\r\n"));
    EXPECT_EQ(kDeleteAllRequest, QStringLiteral("$PMGNCMD,DELETE,WAYPOINT*44\r\n"));
    EXPECT_EQ(BuildSentence(QStringLiteral("$PMGNCMD,TON*")), kTonCommand);
    EXPECT_EQ(BuildSentence(QStringLiteral("$PMGNCMD,WAYPOINT*")), kWaypointRequest);
}

TEST(SentenceChecksum, NamesWithCommaOrStarAreSentAsTheyAreAndCovered) {
    auto sum = [](const QString& s) { return s.mid(s.size() - 4, 2).toUInt(nullptr, 16); };
    const QString plain = BuildSentence(QStringLiteral("$PMGNDWP,AB,a*"));
    const QString comma = BuildSentence(QStringLiteral("$PMGNDWP,A,B,a*"));
    const QString star = BuildSentence(QStringLiteral("$PMGNDWP,A*B,a*"));
    EXPECT_TRUE(comma.startsWith(QStringLiteral("$PMGNDWP,A,B,a*")));
    EXPECT_TRUE(star.startsWith(QStringLiteral("$PMGNDWP,A*B,a*")));
    // The extra character is XORed in like any other.
    EXPECT_EQ(sum(comma), sum(plain) ^ 0x2Cu);
    EXPECT_EQ(sum(star), sum(plain) ^ 0x2Au);
    EXPECT_TRUE(HasValidChecksum(star.chopped(2)));
    EXPECT_TRUE(HasValidChecksum(comma.chopped(2)));
}

TEST(ReceivedLine, ChecksumCheck) {
    EXPECT_TRUE(HasValidChecksum(QStringLiteral("$PMGNCMD,END*3D")));
    EXPECT_TRUE(HasValidChecksum(QStringLiteral("$PMGNCMD,END*3d"))); // lower-case digits are the same number
    EXPECT_FALSE(HasValidChecksum(QStringLiteral("$PMGNCMD,END*3E")));
    EXPECT_FALSE(HasValidChecksum(QStringLiteral("$PMGNCMD,END")));
    EXPECT_FALSE(HasValidChecksum(QStringLiteral("PMGNCMD,END*3D")));
    EXPECT_FALSE(HasValidChecksum(QStringLiteral("$PMGNCMD,END*3")));
    EXPECT_FALSE(HasValidChecksum(QString()));
}

TEST(ReceivedLine, EscapesAndChecksumRemoval) {
    EXPECT_EQ(DecodeEscapes(QStringLiteral("water\x1b"
                                           "2C seasonal")),
              QStringLiteral("water, seasonal"));
    EXPECT_EQ(DecodeEscapes(QStringLiteral("a\x1b"
                                           "2a")),
              QStringLiteral("a*"));
    // An ESC without two hex digits after it stays.
    EXPECT_EQ(DecodeEscapes(QStringLiteral("a\x1bZZ")), QStringLiteral("a\x1bZZ"));
    EXPECT_EQ(DecodeEscapes(QStringLiteral("a\x1b"
                                           "2")),
              QStringLiteral("a\x1b"
                             "2"));
    EXPECT_EQ(StripChecksum(QStringLiteral("$A,B*1F\r\n")), QStringLiteral("$A,B"));
    EXPECT_EQ(StripChecksum(QStringLiteral("$A,B")), QStringLiteral("$A,B"));
    EXPECT_EQ(SplitReceivedFields(QStringLiteral("$PMGNVER,37,VER 1 06,SporTrak*10")),
              (QStringList{QStringLiteral("$PMGNVER"), QStringLiteral("37"), QStringLiteral("VER 1 06"),
                           QStringLiteral("SporTrak")}));
}

TEST(ReceivedLine, DegreesAndMinutes) {
    double d = 0;
    ASSERT_TRUE(ParseDegreesMinutes(QStringLiteral("3516.583"), &d));
    EXPECT_EQ(d, 35 + 16.583 / 60);
    ASSERT_TRUE(ParseDegreesMinutes(QStringLiteral("09016.583"), &d));
    EXPECT_EQ(d, 90 + 16.583 / 60);
    double three = 0, four = 0, five = 0;
    ASSERT_TRUE(ParseDegreesMinutes(QStringLiteral("3549.499"), &three));
    ASSERT_TRUE(ParseDegreesMinutes(QStringLiteral("3549.4990"), &four));
    ASSERT_TRUE(ParseDegreesMinutes(QStringLiteral("3549.49900"), &five));
    EXPECT_EQ(three, four);
    EXPECT_EQ(three, five);
    ASSERT_TRUE(ParseDegreesMinutes(QStringLiteral("3549.5"), &d));
    EXPECT_DOUBLE_EQ(d, 35 + 49.5 / 60);
    ASSERT_TRUE(ParseDegreesMinutes(QStringLiteral("3549"), &d));
    EXPECT_DOUBLE_EQ(d, 35 + 49.0 / 60);
    EXPECT_FALSE(ParseDegreesMinutes(QStringLiteral("49.5"), &d));
    EXPECT_FALSE(ParseDegreesMinutes(QString(), &d));
    EXPECT_FALSE(ParseDegreesMinutes(QStringLiteral("35x9.499"), &d));
    EXPECT_FALSE(ParseDegreesMinutes(QStringLiteral("3549.4a9"), &d));
}

TEST(ReceivedLine, DataLineToRow) {
    ReceivedPoint p;
    ASSERT_EQ(ParseDataLine(line("PMGNWPL,3516.583,S,09016.583,W,0000028,M,CAMP,near the ford,a"), &p),
              LineProblem::None);
    EXPECT_EQ(p.latitude, QStringLiteral("-35.2763833333333"));
    EXPECT_EQ(p.longitude, QStringLiteral("-90.2763833333333"));
    EXPECT_EQ(p.elevation, QStringLiteral("0000028M"));
    EXPECT_EQ(p.name, QStringLiteral("CAMP"));
    EXPECT_EQ(p.message, QStringLiteral("near the ford"));
    EXPECT_EQ(p.icon, QStringLiteral("a"));

    ASSERT_EQ(ParseDataLine(line("PMGNWPL,3516.583,N,09016.583,E,0000028,M,A,B,"), &p), LineProblem::None);
    EXPECT_EQ(p.latitude, QStringLiteral("35.2763833333333"));
    EXPECT_EQ(p.longitude, QStringLiteral("90.2763833333333"));
    EXPECT_EQ(p.icon, QString()); // empty icon field, not "*"

    // A two-letter icon is kept whole: cut to "a" it would change on the next upload.
    ASSERT_EQ(ParseDataLine(line("PMGNWPL,3516.583,N,09016.583,E,0000028,M,A,B,ab"), &p), LineProblem::None);
    EXPECT_EQ(p.icon, QStringLiteral("ab"));

    // A track line: time in the name column, "A" as message, the track name's first letter as icon.
    ASSERT_EQ(ParseDataLine(line("PMGNTRK,3605.259,N,08644.389,W,00151,M,201444.61,A,RIVER,020302"), &p),
              LineProblem::None);
    EXPECT_EQ(p.name, QStringLiteral("201444.61"));
    EXPECT_EQ(p.message, QStringLiteral("A"));
    EXPECT_EQ(p.icon, QStringLiteral("R"));
    EXPECT_EQ(p.elevation, QStringLiteral("00151M"));
}

TEST(ReceivedLine, LinesThatCannotBeConverted) {
    ReceivedPoint p;
    QString bad = line("PMGNWPL,3516.583,N,09016.583,E,0000028,M,A,B,a");
    bad[10] = QLatin1Char('7');
    EXPECT_EQ(ParseDataLine(bad, &p), LineProblem::Checksum);
    EXPECT_EQ(ParseDataLine(line("PMGNTRK,3605.259,N,08644.389,W,00151,M,201444.61,A"), &p),
              LineProblem::TooFewFields);
    EXPECT_EQ(ParseDataLine(line("PMGNWPL,35,N,09016.583,E,0000028,M,A,B,a"), &p),
              LineProblem::BadCoordinate);
    EXPECT_EQ(ParseDataLine(line("PMGNWPL,3516.583,N,,E,0000028,M,A,B,a"), &p), LineProblem::BadCoordinate);
    EXPECT_EQ(ParseDataLine(QString(), &p), LineProblem::Checksum);
}

TEST(UploadFields, Coordinates) {
    const struct {
        const char* text;
        int digits;
        const char* field;
        const char* hem;
    } cases[] = {
        {"-35.2763833333333", 2, "3516.583", "S"},
        {"-90.2763833333333", 3, "09016.583", "W"},
        {"35.2763833333333", 2, "3516.583", "N"},
        {"0.5", 2, "0030.000", "N"},
        {"0.0", 2, "0000.000", "S"},
        {"0.0", 3, "00000.000", "W"},
        {"35", 2, "3500.000", "N"}, // whole degrees
        {"-86", 3, "08600.000", "W"},
        {"1.0916666666666", 2, "0105.500", "N"},
        {"1.0041666666666", 2, "0100.250", "N"},
        {"35.9999999", 2, "3560.000", "N"}, // rounds to 60 minutes; degrees stay
        {"123.25", 2, "12315.000", "N"},    // longer degree texts are sent unchanged
        {"1E-05", 2, "0000.001", "N"},
        {"-3.55D1", 2, "3530.000", "S"}, // the number reader's other exponent letter
        {" 35.5 ", 2, "3530.000", "N"},
    };
    for (const auto& c : cases) {
        QString field, hem;
        ASSERT_TRUE(CoordinateToField(QLatin1String(c.text), c.digits,
                                      c.digits == 2 ? QLatin1Char('N') : QLatin1Char('E'),
                                      c.digits == 2 ? QLatin1Char('S') : QLatin1Char('W'), &field, &hem))
            << c.text;
        EXPECT_EQ(field, QLatin1String(c.field)) << c.text;
        EXPECT_EQ(hem, QLatin1String(c.hem)) << c.text;
    }
    QString field = QStringLiteral("keep"), hem = QStringLiteral("keep");
    EXPECT_FALSE(
        CoordinateToField(QStringLiteral("N35.5"), 2, QLatin1Char('N'), QLatin1Char('S'), &field, &hem));
    EXPECT_FALSE(CoordinateToField(QString(), 2, QLatin1Char('N'), QLatin1Char('S'), &field, &hem));
    EXPECT_EQ(field, QStringLiteral("keep"));
}

TEST(UploadFields, MinutesRoundHalvesToEven) {
    // These fractions give exactly 1.5, 4.5 and 7.5 thousandths of a minute.
    const struct {
        const char* text;
        const char* field;
    } cases[] = {{"0.000025", "0000.002"}, {"0.000075", "0000.004"}, {"0.000125", "0000.008"}};
    for (const auto& c : cases) {
        QString field, hem;
        ASSERT_TRUE(
            CoordinateToField(QLatin1String(c.text), 2, QLatin1Char('N'), QLatin1Char('S'), &field, &hem));
        EXPECT_EQ(field, QLatin1String(c.field)) << c.text;
    }
}

TEST(UploadFields, Elevation) {
    QString alt, unit;
    ASSERT_TRUE(ElevationToFields(QStringLiteral("0000028M"), &alt, &unit));
    EXPECT_EQ(alt, QStringLiteral("0028"));
    EXPECT_EQ(unit, QStringLiteral("M"));
    ASSERT_TRUE(ElevationToFields(QStringLiteral("28M"), &alt, &unit));
    EXPECT_EQ(alt, QStringLiteral("28"));
    ASSERT_TRUE(ElevationToFields(QStringLiteral("-0000012M"), &alt, &unit));
    EXPECT_EQ(alt, QStringLiteral("-0012"));
    ASSERT_TRUE(ElevationToFields(QStringLiteral("5F"), &alt, &unit));
    EXPECT_EQ(alt, QStringLiteral("5"));
    EXPECT_EQ(unit, QStringLiteral("F"));
    EXPECT_FALSE(ElevationToFields(QStringLiteral("M"), &alt, &unit));
    EXPECT_FALSE(ElevationToFields(QString(), &alt, &unit));
}
} // namespace
