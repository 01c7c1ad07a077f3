// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/numbertext.h"
#include "support/scopedenv.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>

using namespace numtext;

TEST(NumberToText, ClassicShortestForm) {
    struct Case {
        double in;
        const char* out;
    } cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {35.2763888888889, "35.2763888888889"},
        {-90.2763888888889, "-90.2763888888889"},
        {35 + (16 + 35.0 / 60) / 60, "35.2763888888889"}, // 15 significant digits
        {-90.25, "-90.25"},
        {100, "100"},
        {0.1 + 0.2, "0.3"},
        {747726.7435, "747726.7435"},
        {0.0001, "0.0001"},
        {0.00001, "1E-05"},
        {1.5e-7, "1.5E-07"},
        {123456789012345, "123456789012345"},
        {1e15, "1E+15"},
        {999999999999999.9, "1E+15"}, // rounds up into the next decade
        {1234567890123456, "1.23456789012346E+15"},
        {1e100, "1E+100"},
        {-2.5e-300, "-2.5E-300"},
        {std::numeric_limits<double>::quiet_NaN(), "NaN"},
        {std::numeric_limits<double>::infinity(), "Infinity"},
        {-std::numeric_limits<double>::infinity(), "-Infinity"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NumberToText(c.in), c.out);
}

TEST(ParseNumber, WholeTextOnly) {
    struct Good {
        const char* in;
        double out;
    } good[] = {
        {"12", 12},       {" 12 ", 12},    {"\t-3.5", -3.5},       {"+3", 3},      {"-.5", -0.5},
        {"1.", 1},        {"1.5e3", 1500}, {"1D2", 100},           {"2E-2", 0.02}, {"007", 7},
        {"1e308", 1e308}, {"1e-400", 0},   {"-0.0000001e-320", 0}, // below the smallest double: zero, as
                                                                   // strtod gave
    };
    for (const auto& c : good) {
        auto v = ParseNumber(c.in);
        ASSERT_TRUE(v.has_value()) << c.in;
        EXPECT_DOUBLE_EQ(*v, c.out) << c.in;
        EXPECT_TRUE(IsNumeric(c.in)) << c.in;
    }
    for (const char* bad : {"", " ", ".", "-", "+", "1e", "1e+", "12a", "a12", "--3", "1 2", "1.2.3", "0x10",
                            "1e999", "-1e999", "0.1e310", "NaN", "inf", "35N"}) {
        EXPECT_FALSE(ParseNumber(bad).has_value()) << bad;
        EXPECT_FALSE(IsNumeric(bad)) << bad;
    }
}

TEST(Val, LeadingNumber) {
    struct Case {
        const char* in;
        double out;
    } cases[] = {
        {"12abc", 12}, {"  -3.5x", -3.5}, {"abc", 0},   {"", 0},  {"1e5x", 1e5},
        {"1ex", 1},    {"0000028M", 28},  {".5.", 0.5}, {"+", 0}, {"2D3", 2000},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(Val(c.in), c.out) << c.in;
}

TEST(Val, OutOfRangeGoesToInfinityOrZero) {
    EXPECT_EQ(Val("1e999x"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(Val("-1e999"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(Val(std::string(400, '9')), std::numeric_limits<double>::infinity()); // no exponent
    EXPECT_EQ(Val("1e-999"), 0.0);
    EXPECT_EQ(Val("0.00000000001e-320"), 0.0);
}

// A Qt program takes its C locale from the environment (setlocale(LC_ALL, "")
// in QCoreApplication), so under de_DE printf writes and strtod expects a
// decimal comma. Numbers as text must not follow it: Zenobar under a German
// desktop read "35.5" as 35 and showed "747726,7435".
class DecimalCommaLocale : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
            if (std::setlocale(LC_NUMERIC, name))
                return;
        // No such locale installed: build one (once a run) in a private
        // temporary folder where glibc looks with LOCPATH. Built before the
        // first lookup: glibc remembers a failed one.
        static const QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        const std::filesystem::path dir = folder.path().toStdString();
        const auto locale = dir / "de_DE.UTF-8";
        if (!std::filesystem::exists(locale / "LC_NUMERIC")) {
            const std::string command =
                "localedef -c -i de_DE -f UTF-8 '" + locale.string() + "' >/dev/null 2>&1";
            if (std::system(command.c_str()) != 0)
                GTEST_SKIP() << "no decimal-comma locale available (needs the locales package)";
        }
        locpath_.emplace("LOCPATH", QByteArray(dir.c_str()));
        if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
            GTEST_SKIP() << "no decimal-comma locale available";
    }
    void TearDown() override { std::setlocale(LC_NUMERIC, "C"); }
    std::optional<ScopedEnv> locpath_; // put back when the test ends
};

TEST_F(DecimalCommaLocale, NumbersKeepTheirPoint) {
    ASSERT_EQ(std::localeconv()->decimal_point, std::string(","))
        << "the locale in force has a decimal comma";
    EXPECT_EQ(NumberToText(747726.7435), "747726.7435");
    EXPECT_EQ(NumberToText(-1.5e-7), "-1.5E-07");
    EXPECT_EQ(ParseNumber("35.5"), 35.5);
    EXPECT_FALSE(ParseNumber("35,5").has_value());
    EXPECT_EQ(Val("0.25x"), 0.25);
    EXPECT_EQ(ParseNumber("1e999"), std::nullopt);
}
