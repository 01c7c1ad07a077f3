// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/numbertext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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
        {"12", 12},      {" 12 ", 12}, {"\t-3.5", -3.5}, {"+3", 3},  {"-.5", -0.5},    {"1.", 1},
        {"1.5e3", 1500}, {"1D2", 100}, {"2E-2", 0.02},   {"007", 7}, {"1e308", 1e308},
    };
    for (const auto& c : good) {
        auto v = ParseNumber(c.in);
        ASSERT_TRUE(v.has_value()) << c.in;
        EXPECT_DOUBLE_EQ(*v, c.out) << c.in;
        EXPECT_TRUE(IsNumeric(c.in)) << c.in;
    }
    for (const char* bad : {"", " ", ".", "-", "+", "1e", "1e+", "12a", "a12", "--3", "1 2", "1.2.3", "0x10",
                            "1e999", "-1e999", "NaN", "inf", "35N"}) {
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
