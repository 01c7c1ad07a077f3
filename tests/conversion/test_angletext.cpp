// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/angletext.h"
#include "conversion/conversionerror.h"
#include "conversion/gpsconversion.h"
#include "conversion/numbertext.h"
#include "support/angletextcases.h"

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
        {"35N16'35", "35.2763888888889"}, // the last part without its mark: seconds (was dropped)
        {"35N", "35"},
        {"35N16.5'", "35.275"},
        {"35.5N30'", "36"},
        {"35N16'30.6\"", "35.2751666666667"},
        {"35N35\"", "35.0097222222222"}, // seconds without minutes
        {"35 N 16' 35\"", "35.2763888888889"},
        {"0S0'", "0"}, // negative zero prints as 0
        {"", ""},      // blank: nothing typed
        {"  ", ""},
        {"35.27", "35.27"}, // read without a letter too (was "")
        {"35'16\"", "0.587777777777778"},
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
    // part() is the whole text; reason() says what is wrong with it.
    struct Case {
        const char* in;
        const char* reason;
    } cases[] = {
        {"xN16'", "\"x\" does not belong"},
        {"35Nab'", "\"a\" does not belong"},
        {"35N16'xx\"", "\"x\" does not belong"},
        {"35N1e'", "more than one hemisphere letter"},
        {"35N'", "where a number belongs"},
        {"35N16'\"", "where a number belongs"},
        {"1e999N", "more than one hemisphere letter"},
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
                EXPECT_EQ(e.part(), c.in);
                EXPECT_NE(e.reason().find(c.reason), std::string::npos) << e.reason();
                EXPECT_EQ(e.number(), 13);
                EXPECT_STREQ(e.what(), "Type mismatch");
            }
        }
    }
    EXPECT_THROW(ConvertToDecimalDegreesValue("x'"), AngleTextError);
    EXPECT_THROW(ConvertToDecimalDegreesValue(""), AngleTextError) << "an empty box is not 0";
}

// Every case of the shared table, straight through the reader.
TEST(AngleText, OneReaderForEveryTypedForm) {
    for (const AngleTextCase& c : AngleTextCases()) {
        SCOPED_TRACE(std::string(c.text));
        try {
            const Angle a = ReadAngleText(c.text);
            ASSERT_NE(c.degrees, nullptr) << "read as " << a.degrees;
            EXPECT_EQ(numtext::NumberToText(a.degrees), c.degrees);
        } catch (const AngleTextError& e) {
            ASSERT_NE(c.reason, nullptr) << e.reason();
            EXPECT_NE(e.reason().find(c.reason), std::string::npos) << e.reason();
            const std::string message = UnreadableAngleMessage("latitude", c.text, e.reason());
            EXPECT_EQ(message.find('\0'), std::string::npos) << "control bytes are not shown";
            EXPECT_NE(message.find("35:16:35."), std::string::npos) << "the accepted forms close it";
        }
    }
    // The letter's kind is told, for callers that check the box it came from.
    EXPECT_EQ(ReadAngleText("35N").letter, AngleLetter::NorthSouth);
    EXPECT_EQ(ReadAngleText("W90:16").letter, AngleLetter::EastWest);
    EXPECT_EQ(ReadAngleText("35:16").letter, AngleLetter::None);
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
