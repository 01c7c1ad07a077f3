// SPDX-License-Identifier: GPL-3.0-or-later
// What one Calculate does, free of widgets, shared by the window and the batch
// converter. Every failure is a CalculationError whose text is meant for the
// user as it stands.
#pragma once
#include <stdexcept>
#include <string>
#include <string_view>

class CalculationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct UtmCalculation {
    int zone = 0;        // the zone used
    double easting = 0;  // metres or feet, as asked
    double northing = 0; // metres or feet, as asked
};

// Decimal degrees from the text of a latitude or longitude box (UTF-8): a
// numeric text is taken as it is, anything else as angle text (angletext.h;
// 30' gives 0.5). what names the box ("latitude" or "longitude").
// Throws CalculationError, with the reason and the accepted forms, for text
// that cannot be read (empty text included) and for a hemisphere letter of
// the other kind (E or W in the latitude box, N or S in the longitude box).
double InputDegrees(std::string_view text, std::string_view what);

// The zone a zone box asks for: 0 (automatic) for text that is not numeric,
// else the number rounded to a whole number, halves to even.
// Throws CalculationError for a number outside -32768..32767.
// *numeric (when given) tells whether the text was numeric.
int ZoneFromText(std::string_view text, bool* numeric = nullptr);

// The text a result box (and a batch line) shows for an easting or northing:
// the shortest number text, with at most the 4 decimals (0.1 mm) the metre
// results carry, feet included (a foot value would otherwise print 15
// significant digits of an unchanged 0.1 mm precision).
std::string ResultText(double value);

// What the window says beside its results about the zone used, in one or two
// sentences for the user. asked: the zone of the zone box (0: none);
// used: the zone the calculation used. When a zone from the box puts the
// point outside that zone's 6-degree band (the special zones of Norway and
// Svalbard count as the point's own), the note says in which zone the point
// lies and how far outside the band it is, and how to get the point's own
// zone. *outside (when given) tells whether that is so.
std::string ZoneNote(double latitude, double longitude, int asked, int used, bool* outside = nullptr);

// Projects one point. latitude must lie in -90..90, longitude in -180..180
// and the results must be finite, else CalculationError; zone 0 lets the
// conversion choose.
UtmCalculation CalculateUtm(double latitude, double longitude, bool metric, int zone);

class CoordinateSystem;
struct ProjectedPoint;
struct GeographicPoint;

// Projects one point into a coordinate system of the PROJ database, easting
// and northing in its unit. latitude must lie in -90..90, longitude in
// -180..180 and the results must be finite, else CalculationError.
ProjectedPoint CalculateInSystem(const CoordinateSystem& system, double latitude, double longitude);

// The reverse direction: grid coordinates back to latitude and longitude.

// An easting or northing typed for the reverse direction: a plain number
// (numbertext.h's ParseNumber). what names the box ("easting", "northing").
// Throws CalculationError for anything else.
double GridValue(std::string_view text, std::string_view what);

// The zone of the reverse direction: a whole number from 1 to 60, else
// CalculationError.
int InverseZone(std::string_view text);

// The hemisphere letter: "N" or "S", any case, blanks around allowed. True
// for S. Else CalculationError.
bool SouthFromText(std::string_view text);

struct LatLongCalculation {
    double latitude = 0;  // degrees, south negative
    double longitude = 0; // degrees, west negative, -180..180
    // Degrees of longitude the point lies outside the zone's band (0 inside,
    // GPSConversion::DegreesOutsideZone).
    double outsideZone = 0;
};

// Unprojects one UTM position (easting and northing in metres, or feet when
// metric is false; the northing with the southern false northing when south).
// Throws CalculationError for a zone outside 1..60, and when the position is
// so far out that it has no latitude and longitude.
LatLongCalculation CalculateLatLong(int zone, bool south, double easting, double northing, bool metric);

// Unprojects one point of a coordinate system (its unit) to WGS 84.
// Throws CalculationError when PROJ cannot reach it.
GeographicPoint CalculateFromSystem(const CoordinateSystem& system, double easting, double northing);

// Decimal degrees as a result box (and a batch line) shows them: fixed, 10
// decimals (about 0.01 mm on the ground), "-" for south and west.
std::string DegreesText(double degrees);

// Degrees, minutes and seconds, seconds to 5 decimals (0.3 mm), with the
// hemisphere letter after: 35°16'35.00000"N (UTF-8). latitude chooses N/S or
// E/W. The text reads back through InputDegrees.
std::string DmsText(double degrees, bool latitude);
