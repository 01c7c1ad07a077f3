// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/gpsconversion.h"
#include "support/utmreference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

using GPSConversion::DegreesOutsideZone;
using GPSConversion::UTMToLatLong;

namespace {

// Longitude difference the short way round, degrees.
double lonDiff(double a, double b) {
    return std::remainder(a - b, 360.0);
}

// Grid values from the exact projection back through the inverse must land on
// the starting point. offsets: degrees of longitude from the central meridian.
void expectRoundTrip(int zone, const std::initializer_list<double>& latitudes,
                     const std::initializer_list<double>& offsets, bool metric, double tolerance) {
    for (double lat : latitudes) {
        for (double off : offsets) {
            const double lon = std::remainder(6.0 * zone - 183 + off, 360.0);
            const bool south = lat < 0;
            const auto grid = UtmExactGrid(lat, lon, zone, south, metric);
            SCOPED_TRACE(::testing::Message()
                         << "zone " << zone << " lat " << lat << " lon " << lon << (metric ? " m" : " ft"));
            const auto p = UTMToLatLong(zone, south, grid[0], grid[1], metric);
            EXPECT_NEAR(p.latitude, lat, tolerance);
            EXPECT_NEAR(lonDiff(p.longitude, lon), 0, tolerance);
            EXPECT_GE(p.longitude, -180);
            EXPECT_LE(p.longitude, 180);
        }
    }
}

} // namespace

TEST(UTMToLatLong, MatchesTheExactProjectionInTheZoneAndThreeDegreesBeyond) {
    // Inside the band (|offset| <= 3), on its edges and up to 3 degrees past
    // them, both hemispheres, zones at both ends of the numbering and across
    // the 180th meridian (zones 1 and 60).
    const auto lats = {-80.0, -45.5, -10.0, -1e-7, 0.0, 0.3, 35.2763888888889, 60.0, 72.5, 84.0};
    const auto offs = {-6.0, -4.5, -3.0, -1.25, 0.0, 0.7, 3.0, 5.0, 6.0};
    for (int zone : {1, 15, 31, 32, 60})
        for (bool metric : {true, false})
            expectRoundTrip(zone, lats, offs, metric, 1e-9);
}

TEST(UTMToLatLong, FarOutsideTheZoneStillConverts) {
    // Less accurate, but a position and not a failure.
    expectRoundTrip(15, {-60.0, 10.0, 70.0}, {-12.0, 9.0, 15.0}, true, 1e-6);
}

TEST(UTMToLatLong, KnownPositionsAndTheHemisphereFlag) {
    // Zone 15's central meridian at the equator: easting 500000, northing 0 (N)
    // or 10000000 (S) are one and the same point.
    for (bool south : {false, true}) {
        const auto p = UTMToLatLong(15, south, 500000, south ? 10000000 : 0, true);
        EXPECT_NEAR(p.latitude, 0, 1e-12);
        EXPECT_NEAR(p.longitude, -93, 1e-12);
    }
    // A southern-hemisphere grid value above the false northing lies north of
    // the equator.
    const auto grid = UtmExactGrid(0.5, -92, 15, true);
    EXPECT_NEAR(UTMToLatLong(15, true, grid[0], grid[1], true).latitude, 0.5, 1e-9);
    // Feet: the same point as the metres divided by the program's factor.
    const auto m = UTMToLatLong(15, false, 747726.7435, 3907096.1763, true);
    const auto f = UTMToLatLong(15, false, 747726.7435 * 3.28083, 3907096.1763 * 3.28083, false);
    EXPECT_NEAR(m.latitude, f.latitude, 1e-12);
    EXPECT_NEAR(m.longitude, f.longitude, 1e-12);
}

TEST(UTMToLatLong, RefusesZonesOutsideOneToSixtyAndNonFiniteValues) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_THROW(UTMToLatLong(0, false, 500000, 0, true), std::invalid_argument);
    EXPECT_THROW(UTMToLatLong(61, false, 500000, 0, true), std::invalid_argument);
    EXPECT_THROW(UTMToLatLong(-15, false, 500000, 0, true), std::invalid_argument);
    EXPECT_THROW(UTMToLatLong(15, false, nan, 0, true), std::invalid_argument);
    EXPECT_THROW(UTMToLatLong(15, true, 500000, inf, false), std::invalid_argument);
    EXPECT_NO_THROW(UTMToLatLong(1, false, 500000, 0, true));
    EXPECT_NO_THROW(UTMToLatLong(60, true, 500000, 0, true));
}

TEST(DegreesOutsideZone, BandEdgesWrapAndSpecialZones) {
    struct Case {
        int zone;
        double lat, lon, off;
    } cases[] = {
        {15, 35, -90, 0},      // east edge of zone 15 (-96..-90)
        {15, 35, -96, 0},      // west edge
        {15, 35, -99, 3},      // 3 degrees west
        {15, 35, -87.5, 2.5},  // 2.5 degrees east
        {1, 10, 179, 1},       // zone 1 lies just east of 180
        {60, 10, -179.5, 0.5}, // and zone 60 just west of it
        {32, 60, 11, 0},       // Norway: zone 32 reaches 12 degrees east
        {31, 60, 4, 0},        // the band of zone 31 still counts
        {33, 75, 20, 0},       // Svalbard's widened zone 33
        {32, 75, 5, 1},        // zone 32 is not used on Svalbard: band 6..12
        {15, -89.9, -93, 0},   // near the pole
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "zone " << c.zone << " at " << c.lat << ", " << c.lon);
        EXPECT_NEAR(DegreesOutsideZone(c.zone, c.lat, c.lon), c.off, 1e-12);
    }
    EXPECT_EQ(DegreesOutsideZone(0, 10, 10), std::numeric_limits<double>::infinity());
    EXPECT_EQ(DegreesOutsideZone(61, 10, 10), std::numeric_limits<double>::infinity());
    EXPECT_EQ(DegreesOutsideZone(15, std::nan(""), 10), std::numeric_limits<double>::infinity());
}
