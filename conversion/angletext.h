// SPDX-License-Identifier: GPL-3.0-or-later
// The one reader of latitude and longitude text as people type or paste it,
// shared by the table's editor, Add New Row, the Zenobar window and its batch
// mode. Standard library only.
//
// Accepted (blanks between the parts are allowed, letters in any case):
//   plain decimal degrees        35.2763888   -90.25
//   receiver style               35N16'35"    90W16'35"    35N16.583'   35N
//   marks, letter behind         35°16'35"N   35° 16.583' N   35.2763888°
//   letter in front              N35°16.583'  S35:16:35
//   blanks, with a letter        35 16 35 N
//   colons                       35:16:35     -35:16:35
// Marks: degrees ° º ˚; minutes ' ′ ’ ´; seconds " ″ ” or two minute marks
// (''). The last part may leave out its mark: it is then the unit after the
// one before (35N16'35 is 35N16'35"), and such a part must be below 60.
// S, W and a leading "-" make the value negative; a sign and a letter
// together are refused, as are two letters. Text with no letter and no mark
// must be a plain number (so 35 16 35 is refused). Decimals use ".": a
// comma is refused with its own reason. NUL and other control characters,
// text that is not UTF-8, and numbers or texts too long to be typed are
// refused. The value is not range-checked here.
#pragma once
#include <string>
#include <string_view>

namespace GPSConversion {

// Which kind of hemisphere letter the text carried.
enum class AngleLetter { None, NorthSouth, EastWest };

struct Angle {
    double degrees = 0; // decimal degrees, south and west negative
    AngleLetter letter = AngleLetter::None;
};

// Reads utf8 as above. Throws AngleTextError (conversionerror.h) whose part()
// is the whole text and reason() says what is wrong.
Angle ReadAngleText(std::string_view utf8);

// The text a person is shown for unreadable input: what ("latitude" or
// "longitude") and the text as typed, the reason, and the accepted forms.
std::string UnreadableAngleMessage(std::string_view what, std::string_view text, std::string_view reason);

// A short list of the accepted forms, one sentence.
std::string AcceptedAngleForms();

} // namespace GPSConversion
