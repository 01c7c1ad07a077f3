// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/conversionerror.h"
#include "conversion/gpsconversion.h"
#include "conversion/numbertext.h"

#include <gtest/gtest.h>

#include <string>

using namespace GPSConversion;

TEST(ConvertToDecimalDegrees, AngleTexts) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"35N16'35\"", "35.2763888888889"},
        {"90W16'35\"", "-90.2763888888889"},
        {"90E16'35\"", "90.2763888888889"}, // E found by its own search
        {"35S16'35\"", "-35.2763888888889"},
        {"35n16'35\"", "35.2763888888889"}, // any case
        {"90w16'35\"", "-90.2763888888889"},
        {"35n16'", "35.2666666666667"},
        {"35N16'35", "35.2666666666667"}, // seconds without their mark are ignored
        {"35N", "35"},
        {"35N16.5'", "35.275"},
        {"35.5N30'", "36"},
        {"35N16'30.6\"", "35.2751666666667"},
        {"35N35\"", "35.0097222222222"}, // seconds without minutes
        {"35 N 16' 35\"", "35.2763888888889"},
        {"35N90W", "35"}, // N is searched first: read as a latitude
        {"0S0'", "0"},    // negative zero prints as 0
        {"", ""},         // no hemisphere letter
        {"35.27", ""},
        {"35'16\"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConvertToDecimalDegrees(c.in), c.out) << "input " << c.in;
}

TEST(ConvertToDecimalDegreesValue, HemisphereLetterDecidesTheSign) {
    struct Case {
        const char* in;
        double out;
    } cases[] = {
        {"0N30'", 0.5},  // was -0.5: the sign followed the degrees, not the letter
        {"0S30'", -0.5}, //
        {"0E15'", 0.25},
        {"0W15'", -0.25},
        {"30'", 0.5}, // no letter: minutes and seconds from the whole text, positive
        {"30'36\"", 0.51},
        {"abc", 0}, // no letter and no marks
        {"", 0},
        {"35N16'35\"", 35.2763888888889},
        {"35s16'35\"", -35.2763888888889},
        {"90W16'35\"", -90.2763888888889},
        {"35N", 35},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(ConvertToDecimalDegreesValue(c.in), c.out, 1e-12) << "input " << c.in;
    // The same parsing as the main program's text form.
    for (const char* in : {"35N16'35\"", "90W16'35\"", "12.5S7.25'3\"", "1E1'"})
        EXPECT_EQ(ConvertToDecimalDegrees(in), numtext::NumberToText(ConvertToDecimalDegreesValue(in))) << in;
}

TEST(AngleText, PartThatIsNotANumberThrowsAngleTextError) {
    struct Case {
        const char* in;
        const char* part;
    } cases[] = {
        {"xN16'", "x"},  {"N16'35\"", ""}, {"35Nab'", "ab"}, {"35N16'xx\"", "xx"}, {"35N1e'", "1e"},
        {"3 5N", "3 5"}, {"35N'", ""},     {"35N16'\"", ""}, {"1e999N", "1e999"}, // overflow is not a number
                                                                                  // either
    };
    for (const auto& c : cases) {
        for (int variant = 0; variant < 2; ++variant) {
            SCOPED_TRACE(std::string(c.in) + (variant ? " (calculator)" : ""));
            try {
                if (variant)
                    ConvertToDecimalDegreesValue(c.in);
                else
                    ConvertToDecimalDegrees(c.in);
                ADD_FAILURE() << "no error";
            } catch (const AngleTextError& e) {
                EXPECT_EQ(e.part(), c.part);
                EXPECT_EQ(e.number(), 13);
                EXPECT_STREQ(e.what(), "Type mismatch");
            }
        }
    }
    // Without a letter the calculator reads the marks from the whole text.
    EXPECT_THROW(ConvertToDecimalDegreesValue("x'"), AngleTextError);
}

TEST(ElevationInFeet, UnitLetters) {
    struct Case {
        const char* in;
        double feet;
    } cases[] = {
        {"0000028M", 91.86324},
        {"0000028m", 91.86324},
        {"91F", 91},
        {"91f", 91},
        {"28", 28},
        {"-5M", -16.40415},
        {"28.5M", 93.503655},
        {"28MF", 91.86324}, // the M is looked at first
        {"5F3M", 0},
        {"abcM", 0},
        {"M", 0},
        {"xF", 0},
        {"", 0},
        {"12x", 0},
        {"1e999M", 0},
        {"1e308M", 0}, // beyond a double in feet
        {" 28 M", 91.86324},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(ElevationInFeet(c.in), c.feet, 1e-9) << "input " << c.in;
}
