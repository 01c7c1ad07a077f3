// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator/batchconverter.h"
#include "calculator/utmcalculation.h"
#include "crs/coordinatesystem.h"

#include "support/angletextcases.h"

#include <QProcess>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {
const char* const Input = "35.2763888888889 -90.2763888888889\n"
                          "35N16'35\" 90W16'35\"\n"
                          "  60\t5  \r\n"
                          "95 10\n"
                          "abN 10\n"
                          "35\n"
                          "\n"
                          "1 2 3\n"
                          "0S30' 0E30'\n";
} // namespace

TEST(BatchConverter, OneOutputLinePerInputLine) {
    std::istringstream in(Input);
    std::ostringstream out;
    long errors = BatchConverter(BatchOptions{}).run(in, out);
    EXPECT_EQ(out.str(),
              "15 747726.7435 3907096.1763\n"
              "15 747726.7435 3907096.1763\n"
              "32 276979.9263 6658157.2013\n"
              "ERROR: The latitude must lie between -90 and 90 degrees.\n"
              "ERROR: The latitude \"abN\" cannot be read: \"a\" does not belong in a coordinate. Type "
              "decimal degrees, such as 35.2764, or degrees, minutes and seconds, such as 35N16'35\", "
              "35\u00B016'35\"N, N35\u00B016.583', 35 16 35 N or 35:16:35.\n"
              "ERROR: expected LATITUDE LONGITUDE, found 1 fields\n"
              "ERROR: expected LATITUDE LONGITUDE, found 0 fields\n"
              // Three fields that give no latitude and longitude however split.
              "ERROR: expected LATITUDE LONGITUDE, found 3 fields; when a value holds blanks, separate the "
              "latitude from the longitude with a tab or a comma\n"
              "31 221734.2217 9944681.96\n"); // 2.5 degrees west of 3E, just south
    EXPECT_EQ(errors, 5);
}

// --inverse: grid lines back to latitude and longitude. Expected figures from
// GeoConvert -g -p 5 (GeographicLib) and cs2cs EPSG:27700 EPSG:4326.
TEST(BatchConverter, InverseLines) {
    const BatchConverter metres({true, 0, {}, true});
    const BatchConverter feet({false, 0, {}, true});
    const BatchConverter british({true, 0, "EPSG:27700", true});
    const char* const memphis = "35.2763888954 -90.2763888885";
    struct Case {
        const BatchConverter& converter;
        const char* line;
        const char* out;
    } cases[] = {
        {metres, "15 N 747726.7435 3907096.1763", memphis},
        {metres, "15n\t747726.7435\t3907096.1763\r", memphis},
        {metres, " 15N, 747726.7435, 3907096.1763 ", memphis},
        {metres, "56 S 334368.6336 6250948.3454", "-33.8687999999 151.2092999995"},
        {metres, "1 N 210000 100000", "0.9037891108 -179.6055747308"}, // across 180
        {feet, "15 N 2453164.331877105 12818518.348090328", memphis},
        {british, "530000 180000", "51.5039908276 -0.1283539405"},
        {metres, "0 N 500000 0", "ERROR: The UTM zone must be a whole number from 1 to 60, not \"0\"."},
        {metres, "15.5 N 500000 0", "ERROR: The UTM zone must be a whole number from 1 to 60, not \"15.5\"."},
        {metres, "15 E 500000 0", "ERROR: The hemisphere must be N or S, not \"E\"."},
        {metres, "15 N 5OOOOO 0",
         "ERROR: The easting must be a number of metres or feet, such as 747726.7435, not \"5OOOOO\"."},
        {metres, "15 N 500000 1e999",
         "ERROR: The northing must be a number of metres or feet, such as 3907096.1763, not \"1e999\"."},
        {metres, "15 N 500000", "ERROR: expected ZONE N|S EASTING NORTHING, found 3 fields"},
        {metres, "", "ERROR: expected ZONE N|S EASTING NORTHING, found 0 fields"},
        {metres, "15 N 1e12 0",
         "ERROR: This easting and northing cannot be converted to latitude and longitude."},
        {british, "15 N 530000 180000", "ERROR: expected EASTING NORTHING, found 4 fields"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.converter.convertLine(c.line), c.out) << c.line;
}

TEST(BatchConverter, FeetAndForcedZone) {
    BatchConverter feet14({false, 14, {}});
    EXPECT_EQ(feet14.convertLine("35.2763888888889 -90.2763888888889"),
              "14 4246646.1173 12922465.0389"); // 1294381.6404 m and 3938779.2232 m in feet, to 4 decimals
                                                // as the metres (they used to print 15 digits)
    BatchConverter zone33({true, 33, {}});
    EXPECT_EQ(zone33.convertLine("60 5").substr(0, 3), "32 ") << "special areas still apply";
}

TEST(BatchConverter, Arguments) {
    BatchOptions o;
    std::string error;
    EXPECT_TRUE(BatchConverter::parseArguments({}, &o, &error));
    EXPECT_TRUE(o.metric);
    EXPECT_EQ(o.zone, 0);
    EXPECT_TRUE(BatchConverter::parseArguments({"--zone", "14", "--feet"}, &o, &error));
    EXPECT_FALSE(o.metric);
    EXPECT_EQ(o.zone, 14);
    EXPECT_TRUE(BatchConverter::parseArguments({"--zone", "0"}, &o, &error));
    EXPECT_EQ(o.zone, 0);
    EXPECT_TRUE(BatchConverter::parseArguments({"--crs", "2274"}, &o, &error));
    EXPECT_EQ(o.crs, "2274");
    EXPECT_TRUE(o.metric);
    EXPECT_FALSE(o.inverse);
    EXPECT_TRUE(BatchConverter::parseArguments({"--inverse", "--feet"}, &o, &error));
    EXPECT_TRUE(o.inverse);
    EXPECT_FALSE(o.metric);
    for (auto bad : std::vector<std::vector<std::string>>{{"--zone"},
                                                          {"--zone", "x"},
                                                          {"--zone", "14.5"},
                                                          {"--zone", "61"},
                                                          {"--zone", "-1"},
                                                          {"--zone", "40000"},
                                                          {"--zone", "1e300"},
                                                          {"--crs"},
                                                          {"--crs", "--feet"},
                                                          {"--crs", "EPSG:2274", "--feet"},
                                                          {"--zone", "14", "--crs", "EPSG:2274"},
                                                          {"--inverse", "--zone", "14"},
                                                          {"--zone", "0", "--inverse"},
                                                          {"--inverse", "--crs", "27700", "--feet"},
                                                          {"-x"}}) {
        EXPECT_FALSE(BatchConverter::parseArguments(bad, &o, &error)) << bad.back();
        EXPECT_FALSE(error.empty());
    }
}

TEST(BatchConverter, TheProgram) {
    QProcess p;
    p.start(QStringLiteral(KORVEL_BIN_DIR "/zenobar"), {"--batch", "--zone", "14"});
    ASSERT_TRUE(p.waitForStarted());
    p.write("35.2763888888889 -90.2763888888889\nnonsenseN 1\n");
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(
        QString::fromUtf8(p.readAllStandardOutput()).split('\n').mid(0, 2).join('|'),
        "14 1294381.6404 3938779.2232|ERROR: The latitude \"nonsenseN\" cannot be read: \"o\" does not "
        "belong in a coordinate. Type decimal degrees, such as 35.2764, or degrees, minutes and seconds, "
        "such as 35N16'35\", 35\u00B016'35\"N, N35\u00B016.583', 35 16 35 N or 35:16:35.");
    EXPECT_EQ(p.exitCode(), 1) << "some lines were errors";

    for (const QStringList& args :
         {QStringList{"--batch", "--zone"}, {"--batch", "--inverse", "--zone", "15"}}) {
        p.start(QStringLiteral(KORVEL_BIN_DIR "/zenobar"), args);
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 2) << args.join(' ').toStdString();
        EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
    }

    p.start(QStringLiteral(KORVEL_BIN_DIR "/zenobar"), {"--batch", "--inverse"});
    ASSERT_TRUE(p.waitForStarted());
    p.write("15 N 747726.7435 3907096.1763\n");
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.readAllStandardOutput(), "35.2763888954 -90.2763888885\n");
    EXPECT_EQ(p.exitCode(), 0);
    p.start(QStringLiteral(KORVEL_BIN_DIR "/zenobar"), {"--batch", "--inverse", "--crs", "27700"});
    ASSERT_TRUE(p.waitForStarted());
    p.write("530000 180000\n61 N 0 0\n");
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.readAllStandardOutput(),
              "51.5039908276 -0.1283539405\nERROR: expected EASTING NORTHING, found 4 fields\n");
    EXPECT_EQ(p.exitCode(), 1);
    p.start(QStringLiteral(KORVEL_BIN_DIR "/zenobar"), {"--help"});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_TRUE(p.readAllStandardOutput().contains("--inverse"));
}

// --crs: the system's code as given and its own unit (US survey feet here),
// the usual ERROR lines and status; an unknown or unprojected code is named,
// with status 2 and nothing written.
TEST(BatchConverter, CoordinateSystemThroughTheProgram) {
    const CoordinateSystem tennessee("EPSG:2274");
    const ProjectedPoint nashville = tennessee.forward(36.16, -86.78);
    const ProjectedPoint memphis = tennessee.forward(35.2763888888889, -90.2763888888889);
    QProcess p;
    p.start(QStringLiteral(KORVEL_BIN_DIR "/zenobar"), {"--batch", "--crs", "2274"});
    ASSERT_TRUE(p.waitForStarted());
    p.write("36.16 -86.78\n35N16'35\" 90W16'35\"\n95 10\n");
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.readAllStandardOutput().toStdString(),
              "2274 " + ResultText(nashville.easting) + " " + ResultText(nashville.northing) + "\n2274 " +
                  ResultText(memphis.easting) + " " + ResultText(memphis.northing) +
                  "\nERROR: The latitude must lie between -90 and 90 degrees.\n");
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_NEAR(nashville.easting, 1738244.1972, 0.001) << "cs2cs -f %.4f EPSG:4326 EPSG:2274, in ftUS";

    for (const char* code : {"EPSG:999999", "EPSG:4326", "nonsense"}) {
        p.start(QStringLiteral(KORVEL_BIN_DIR "/zenobar"), {"--batch", "--crs", code});
        ASSERT_TRUE(p.waitForStarted());
        p.write("36.16 -86.78\n");
        p.closeWriteChannel();
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 2) << code;
        EXPECT_TRUE(p.readAllStandardOutput().isEmpty()) << code;
        EXPECT_TRUE(
            QString::fromUtf8(p.readAllStandardError())
                .startsWith(QString("zenobar: The coordinate system \"%1\" cannot be used: ").arg(code)))
            << code;
    }
}

// The shared table of typed coordinates through the program: every readable
// form gives the result of its decimal degrees, every other text an ERROR
// line (never a result), and the exit status says so. Forms with inner blanks
// are split off where only one split reads.
TEST(BatchConverter, EveryTypedFormThroughTheProgram) {
    std::string input;
    std::vector<std::string> expected;
    const BatchConverter converter{BatchOptions{}};
    for (const AngleTextCase& c : AngleTextCases()) {
        const std::string text(c.text);
        const bool longitude = c.degrees && text.find_first_of("EeWw") != std::string::npos;
        auto line = [&](const std::string& angle) { return longitude ? "10 " + angle : angle + " 10"; };
        input += line(text) + "\n";
        expected.push_back(c.degrees ? converter.convertLine(line(c.degrees)) : std::string("ERROR"));
    }
    // Longitudes at and beyond the edges, and line ends that are not a line end.
    const char* const more[][2] = {
        {"0 180\n", "60 833978.5568 0"},
        {"0 -180\n", "1 166021.4431 0"},
        {"0 180.000001\n", "ERROR: The longitude must lie between"},
        {"0 -180.000001\n", "ERROR: The longitude must lie between"},
        {"0 1000\n", "ERROR: The longitude must lie between"},
        {"0 -1000\n", "ERROR: The longitude must lie between"},
        {"35N 90W\r\r\n", "ERROR"},
        {"90W16'35\" 35N\n", "ERROR: The latitude \"90W16'35\"\" cannot be read: E and W"},
        // Values with blanks inside that no split makes readable, or more than one.
        {"N35 16 30 16 35 W\n", "ERROR: the line can be read as a latitude and a longitude in more than one "
                                "way: separate the latitude from the longitude with a tab or a comma"},
        {"35 16 75 N 90 16 35 W\n", "ERROR: expected LATITUDE LONGITUDE, found 8 fields; when a value holds "
                                    "blanks, separate the latitude from the longitude with a tab or a comma"},
        {"35 16 75 N\t90 16 35 W\n",
         "ERROR: The latitude \"35 16 75 N\" cannot be read: minutes and seconds"},
        {"1, 2, 3\n", "ERROR: expected LATITUDE, LONGITUDE, found 3 values separated by commas"}};
    for (const auto& m : more) {
        input += m[0];
        expected.push_back(m[1]);
    }
    // Values with blanks inside: split where the letters show, or by a tab or a
    // comma, each giving what the plain decimal pair gives.
    const char* const split[][2] = {
        {"35\u00B0 16.583' N  W90\u00B016.583'\n", "35.2763833333333 -90.2763833333333"},
        {"35 16 35 N 90 16 35 W\n", "35.2763888888889 -90.2763888888889"},
        {"35\u00B0 16.583' N\t90\u00B0 16.583' W\n", "35.2763833333333 -90.2763833333333"},
        {"35\u00B0 16.583' N, 90\u00B0 16.583' W\n", "35.2763833333333 -90.2763833333333"},
        {"35.5,-90.25\n", "35.5 -90.25"}};
    for (const auto& m : split) {
        input += m[0];
        expected.push_back(converter.convertLine(m[1]));
        EXPECT_EQ(expected.back().find("ERROR"), std::string::npos) << m[1];
    }

    QProcess p;
    p.start(QStringLiteral(KORVEL_BIN_DIR "/zenobar"), {"--batch"});
    ASSERT_TRUE(p.waitForStarted());
    p.write(input.data(), qint64(input.size()));
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(30000));
    const QByteArray out = p.readAllStandardOutput();
    const QList<QByteArray> lines = out.split('\n');
    ASSERT_EQ(lines.size(), qsizetype(expected.size()) + 1) << out.toStdString();
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(lines[qsizetype(i)].startsWith(expected[i].c_str()))
            << "line " << i + 1 << ": " << lines[qsizetype(i)].toStdString() << "\nexpected " << expected[i];
    EXPECT_EQ(p.exitCode(), 1);
}

// Results that cannot be written (a full disk) are an error, not success.
TEST(BatchConverter, AFullOutputEndsWithStatus2AndSaysWhy) {
    QProcess p;
    p.setStandardOutputFile(QStringLiteral("/dev/full"));
    p.start(QStringLiteral(KORVEL_BIN_DIR "/zenobar"), {"--batch"});
    ASSERT_TRUE(p.waitForStarted());
    p.write("35.5 -90.25\n");
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardError()),
              "zenobar: the results could not be written: No space left on device\n");
}

namespace {
// A stream of count bytes of 'x' with no line end, made as it is read.
class EndlessLine final : public std::streambuf {
public:
    explicit EndlessLine(long long count) : left_(count) {}

protected:
    int_type underflow() override {
        if (left_ <= 0)
            return traits_type::eof();
        const long long n = std::min<long long>(left_, sizeof chunk_);
        std::fill_n(chunk_, n, 'x');
        left_ -= n;
        setg(chunk_, chunk_, chunk_ + n);
        return traits_type::to_int_type(chunk_[0]);
    }

private:
    char chunk_[1 << 16];
    long long left_;
};

long peakKilobytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}
} // namespace

// A line longer than a line may be is an ERROR line quoting only its start,
// the next line converts as ever, and no line is held whole.
TEST(BatchConverter, OverlongLinesAreRefusedByTheirStartInBoundedMemory) {
    const std::string padded = "35.5" + std::string(5000, ' ') + "-90.25\n";
    std::istringstream in("\xC3\xA9" + std::string(37, 'y') + "\xC3\xA9" + padded + "35.5 -90.25\r\n");
    std::ostringstream out;
    EXPECT_EQ(BatchConverter(BatchOptions{}).run(in, out), 1);
    EXPECT_EQ(out.str(),
              "ERROR: the line is 5051 bytes long, more than the 4096 a line may hold; it begins \"\xC3\xA9" +
                  std::string(37, 'y') + "...\"\n" +
                  BatchConverter(BatchOptions{}).convertLine("35.5 -90.25") + "\n");

    constexpr long long kLine = 128LL << 20;
    EndlessLine endless(kLine);
    std::istream huge(&endless);
    std::ostringstream hugeOut;
    const long before = peakKilobytes();
    EXPECT_EQ(BatchConverter(BatchOptions{}).run(huge, hugeOut), 1);
    EXPECT_LT(peakKilobytes() - before, 32 * 1024) << "kilobytes more at the peak";
    EXPECT_EQ(hugeOut.str().rfind("ERROR: the line is " + std::to_string(kLine) + " bytes long", 0), 0u)
        << hugeOut.str();
}

// Input that cannot be read is a failure, not an empty success.
TEST(BatchConverter, UnreadableInputEndsWithStatus2AndSaysWhy) {
    QProcess p;
    p.start("/bin/sh", {"-c", "exec \"$0\" --batch < /", KORVEL_BIN_DIR "/zenobar"});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError())
                    .startsWith("zenobar: standard input could not be read: Is a directory"));
}
