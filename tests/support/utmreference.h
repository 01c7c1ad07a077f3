// SPDX-License-Identifier: GPL-3.0-or-later
// Where a point must land, worked out without the program: its UTM zone from
// the longitude band and the Norway and Svalbard areas, and its position from
// GeographicLib's exact transverse Mercator. A test using it links
// GeographicLib (see tests/conversion/CMakeLists.txt).
#pragma once
#include <GeographicLib/TransverseMercator.hpp>

#include <array>
#include <cmath>

// The zone a point is drawn in: `forced` when not 0, else the 6-degree band
// of its longitude; then the Norway and Svalbard areas, which override a
// forced zone too (bounds strict, so points on a bound keep their zone).
inline int UtmZoneOf(double lat, double lon, int forced = 0) {
    int zone = forced != 0 ? forced : int(std::floor(lon / 6 + 31));
    if (lat > 56 && lat < 64 && lon > 3 && lon < 12)
        zone = 32;
    if (lat > 72) {
        if (lon > 0 && lon < 9)
            zone = 31;
        else if (lon > 9 && lon < 21)
            zone = 33;
        else if (lon > 21 && lon < 33)
            zone = 35;
        else if (lon > 33 && lon < 42)
            zone = 37;
    }
    return zone;
}

// Easting and northing of (lat, lon) in `zone`, with the 500 km false easting
// and, south of the equator, the 10000 km false northing; in metres, or in
// feet (the program's factor 3.28083) when metric is false.
inline std::array<double, 2> UtmReference(double lat, double lon, int zone, bool metric = true) {
    double x = 0, y = 0;
    GeographicLib::TransverseMercator::UTM().Forward(6.0 * zone - 183, lat, lon, x, y);
    const double unit = metric ? 1 : 3.28083;
    return {(x + 500000) * unit, (lat < 0 ? y + 10000000 : y) * unit};
}

// The exact transverse Mercator of the UTM ellipsoid as the program states it
// (a = 6378137 m, e^2 = 0.00669437999013, k0 = 0.9996): the reference for the
// inverse conversion, good to nanometres at any distance from the meridian.
#include <GeographicLib/TransverseMercatorExact.hpp>

inline const GeographicLib::TransverseMercatorExact& UtmExact() {
    static const GeographicLib::TransverseMercatorExact tm(6378137, 1 - std::sqrt(1 - 0.00669437999013),
                                                           0.9996);
    return tm;
}

// Exact easting and northing of (lat, lon) in `zone` (false easting, and the
// southern false northing when south), in metres or the program's feet.
inline std::array<double, 2> UtmExactGrid(double lat, double lon, int zone, bool south, bool metric = true) {
    double x = 0, y = 0;
    UtmExact().Forward(6.0 * zone - 183, lat, lon, x, y);
    const double unit = metric ? 1 : 3.28083;
    return {(x + 500000) * unit, (south ? y + 10000000 : y) * unit};
}
