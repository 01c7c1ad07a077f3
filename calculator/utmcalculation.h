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

// Projects one point into a coordinate system of the PROJ database, easting
// and northing in its unit. latitude must lie in -90..90, longitude in
// -180..180 and the results must be finite, else CalculationError.
ProjectedPoint CalculateInSystem(const CoordinateSystem& system, double latitude, double longitude);
