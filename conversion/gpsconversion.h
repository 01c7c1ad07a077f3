// SPDX-License-Identifier: GPL-3.0-or-later
// Geographic to UTM conversion and the text conversions that feed it, shared by
// Korvel Transfer and Zenobar. Standard library only.
//
// The projection is the classic series form of the transverse Mercator
// projection on the ellipsoid with a = 6378137 m and e^2 = 0.00669437999013,
// scale factor 0.9996 on the central meridian, false easting 500000 m and a
// false northing of 10000000 m south of the equator. Receivers deliver WGS 84;
// the drawings treat the result as NAD 83, which agrees to well under a metre.
//
// Accuracy: against an exact transverse Mercator (GeographicLib's UTMUPS) the
// results stay within 15 mm for |latitude| <= 84 degrees and a longitude inside
// the point's zone (within 3 degrees of its central meridian, 6 degrees in the
// widened zones of Norway and Svalbard). The +0.01 m nudge below a whole metre
// and the truncation (not rounding) to 0.1 mm are part of that budget; they are
// kept because stored drawings were made with them.
#pragma once
#include <stdexcept>
#include <string>
#include <string_view>

namespace GPSConversion {

constexpr double FeetPerMetre = 3.28083;

// Calculator form.
//   latitude, longitude: decimal degrees, south and west negative. Latitudes
//     beyond +/-90 are not rejected here and give meaningless results; at
//     exactly +/-90 the results are huge but finite.
//   easting, northing (out): metres when metric is true, else feet; northing
//     includes the southern false northing when latitude < 0.
//   zone (in-out): 0 asks for the zone of the longitude, floor(longitude/6 + 31)
//     (180 itself is in zone 60), which is written back; any other value is
//     used as given. Either way the special areas of UTMZoneExceptions may
//     change it, and the zone used is written back.
// Throws LongitudeRangeError (conversionerror.h) for a longitude outside
// -180..180 (or not a number), whatever the zone.
void LatLongToUTM(double latitude, double longitude, double& easting, double& northing, bool metric,
                  int& zone);

// Main-program form: zone and unit from CurrentUtmOptions() (utmoptions.h);
// the options are not changed. Same units, ranges and failures as above.
void LatLongToUTM(double latitude, double longitude, double& easting, double& northing);

// Moves zone to the zone of the special areas: 32 for 56 < latitude < 64 and
// 3 < longitude < 12 (south-west Norway); above latitude 72, 31, 33, 35 or 37 for
// longitudes strictly inside (0,9), (9,21), (21,33), (33,42) (Svalbard). Bounds
// are strict: a point exactly on one keeps its zone. Degrees in, zone in-out.
void UTMZoneExceptions(double latitude, double longitude, int& zone);

// A latitude and longitude in degrees, south and west negative.
struct GeographicPosition {
    double latitude;
    double longitude;
};

// The inverse of the UTM conversion: grid coordinates of `zone` back to
// latitude and longitude on the same ellipsoid (a = 6378137 m,
// e^2 = 0.00669437999013, scale 0.9996, false easting 500000 m).
//   zone: 1..60; its central meridian is 6 * zone - 183 degrees.
//   south: the northing carries the 10000000 m false northing of the southern
//     hemisphere (a point north of the equator then has a northing above it).
//   easting, northing: metres when metric is true, else feet (FeetPerMetre).
// Result: longitude normalised to -180..180.
// Accuracy: within 1e-9 degree of an exact transverse Mercator for points
// within 6 degrees of longitude of the central meridian (the zone's band and
// 3 degrees beyond); it uses Krueger's series to sixth order in the third
// flattening, as GeographicLib's TransverseMercator does. Points farther out
// still convert, less accurately; grid values far beyond the ellipsoid
// (thousands of km of easting) give non-finite results, which callers check.
// The results are not cut or rounded.
// Throws std::invalid_argument for a zone outside 1..60 or a non-finite
// easting or northing.
GeographicPosition UTMToLatLong(int zone, bool south, double easting, double northing, bool metric);

// How many degrees of longitude a point lies outside the 6-degree band of
// `zone` (the shorter way round, so zone 1 lies just east of 180): 0 inside
// the band, on its edges, or where the special zones of Norway and Svalbard
// (UTMZoneExceptions) make `zone` the point's own. A zone outside 1..60 or a
// non-finite input gives +infinity. Degrees in.
double DegreesOutsideZone(int zone, double latitude, double longitude);

// Angle text (UTF-8, any form ReadAngleText reads, angletext.h) to decimal
// degrees as text (main program): 35N16'35" gives "35.2763888888889",
// 90W16'35" gives "-90.2763888888889". The result is in NumberToText form; ""
// for empty or blank text. Throws AngleTextError for text that cannot be read.
std::string ConvertToDecimalDegrees(std::string_view strInput);

// Zenobar's variant: the same reading with a numeric result. A text with only
// minutes or seconds has 0 degrees (30' gives 0.5); the letter alone decides
// the sign (0S30' gives -0.5, 0N30' 0.5). Throws AngleTextError for text that
// cannot be read, the empty text included.
double ConvertToDecimalDegreesValue(std::string_view strInput);

// Elevation text in feet: "<number>M" (metres, any case) times 3.28083,
// "<number>F" (feet, any case) as is, a bare number as is. 0 when the part
// before the unit letter (or the whole text) is not a finite number. Never throws.
// "0000028M" gives 91.86324.
double ElevationInFeet(std::string_view text);

} // namespace GPSConversion
