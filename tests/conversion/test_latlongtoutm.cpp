// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/conversionerror.h"
#include "conversion/gpsconversion.h"
#include "conversion/utmoptions.h"
#include "support/utmreference.h"

#include <gtest/gtest.h>

#include <cmath>

using GPSConversion::LatLongToUTM;

namespace {

constexpr double Lat = 35.2763888888889;
constexpr double Lon = -90.2763888888889;

struct Utm {
    int zone;
    double easting;
    double northing;
};

Utm convert(double lat, double lon, bool metric = true, int zone = 0) {
    Utm r{zone, 0, 0};
    LatLongToUTM(lat, lon, r.easting, r.northing, metric, r.zone);
    return r;
}

// Restores the process-wide options whatever a test does with them.
class OptionsGuard {
public:
    OptionsGuard() : saved_(CurrentUtmOptions()) {}
    ~OptionsGuard() { CurrentUtmOptions() = saved_; }

private:
    UtmOptions saved_;
};

} // namespace

TEST(LatLongToUTM, ReferencePointsInMetres) {
    struct Case {
        double lat, lon;
        int zoneIn, zone;
        double easting, northing;
    } cases[] = {
        {Lat, Lon, 0, 15, 747726.7435, 3907096.1763},   // automatic zone
        {Lat, Lon, 14, 14, 1294381.6404, 3938779.2232}, // forced into the next zone west
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.zoneIn);
        Utm r = convert(c.lat, c.lon, true, c.zoneIn);
        EXPECT_EQ(r.zone, c.zone);
        EXPECT_NEAR(r.easting, c.easting, 1e-6);
        EXPECT_NEAR(r.northing, c.northing, 1e-6);
    }
}

TEST(LatLongToUTM, FeetAreTheCutMetresTimesTheFactor) {
    Utm m = convert(Lat, Lon, true);
    Utm f = convert(Lat, Lon, false);
    EXPECT_EQ(f.zone, 15);
    EXPECT_DOUBLE_EQ(f.easting, m.easting * 3.28083);
    EXPECT_DOUBLE_EQ(f.northing, m.northing * 3.28083);
    EXPECT_NEAR(f.easting, 2453164.33188, 5e-6); // figures given to 5 decimals
    EXPECT_NEAR(f.northing, 12818518.3481, 5e-5);
}

TEST(LatLongToUTM, FalseNorthingOnlyBelowTheEquator) {
    Utm equator = convert(0, 3);
    EXPECT_EQ(equator.northing, 0);
    Utm south = convert(-0.0001, 3);
    EXPECT_GT(south.northing, 9999980);
    EXPECT_LT(south.northing, 10000000);
    // Mirror images about the equator, apart from the false northing (and the
    // 0.1 mm cut, which goes down on both sides).
    EXPECT_NEAR(convert(-1, 4).northing, 10000000 - convert(1, 4).northing, 0.0002);
}

TEST(LatLongToUTM, ZoneChoiceAndSpecialAreas) {
    struct Case {
        double lat, lon;
        int zoneIn, zone;
        const char* why;
    } cases[] = {
        {60, 5, 33, 32, "forced zone inside south-west Norway is moved to 32"},
        {60, 5, 0, 32, "automatic zone 31 widened to 32"},
        {56, 5, 0, 31, "latitude 56 is on the bound: no change"},
        {64, 5, 0, 31, "latitude 64 is on the bound: no change"},
        {60, 3, 0, 31, "longitude 3 is on the bound: no change"},
        {60, 12, 0, 33, "longitude 12 is on the bound: no change"},
        {73, 9, 0, 32, "exactly longitude 9 above 72 keeps zone 32"},
        {72, 10, 0, 32, "latitude 72 is on the bound"},
        {72.0001, 10, 0, 33, "just above 72 moves to 33"},
        {80, 5, 0, 31, "Svalbard 31"},
        {80, 15, 0, 33, "Svalbard 33"},
        {80, 25, 14, 35, "Svalbard 35, even when forced"},
        {80, 40, 0, 37, "Svalbard 37"},
        {80, 42, 0, 38, "longitude 42 is on the bound"},
        {89.5, 5, 0, 31, "no upper latitude limit"},
        {0, -180, 0, 1, "date line west"},
        {0, -174.000001, 0, 1, "just west of a zone boundary"},
        {0, 179.9, 0, 60, "last zone"},
        {10, 5, 14, 14, "forced zone outside the special areas is kept"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(convert(c.lat, c.lon, true, c.zoneIn).zone, c.zone);
    }
}

TEST(LatLongToUTM, ValueJustBelowAWholeMetreIsNudgedOverIt) {
    // Aim at an easting of 312345.995 m before the nudge: find the longitude of
    // 312345.5 m (away from any metre boundary) by secant steps, then move on by
    // the local slope.
    const double lat = 35;
    auto easting = [&](double lon) { return convert(lat, lon, true, 15).easting; };
    double lo = -95.2, hi = -95.0;
    for (int i = 0; i < 8 && std::abs(easting(lo) - 312345.5) > 1e-3; ++i) {
        double mid = lo + (312345.5 - easting(lo)) / (easting(hi) - easting(lo)) * (hi - lo);
        hi = lo;
        lo = mid;
    }
    ASSERT_NEAR(easting(lo), 312345.5, 0.001);
    double slope = (easting(lo + 1e-4) - easting(lo - 1e-4)) / 2e-4; // m per degree
    double lon = lo + 0.495 / slope;
    EXPECT_NEAR(easting(lon), 312346.005, 0.0005);
    EXPECT_NEAR(easting(lon - 0.02 / slope), 312345.975, 0.0005) << "2 cm below: no nudge";

    // Over a fine scan no result lies within 1 cm below a whole metre, and every
    // result sits on the 0.1 mm grid.
    for (int i = 0; i < 20000; ++i) {
        Utm r = convert(-40 + i * 0.004, -95.3 + i * 0.00013, true, 15);
        for (double v : {r.easting, r.northing}) {
            double frac = v - std::floor(v);
            ASSERT_LT(frac, 0.99) << v;
            ASSERT_NEAR(v * 1e4, std::round(v * 1e4), 1e-4) << v;
        }
    }
}

TEST(LatLongToUTM, MainFormReadsTheInsertionOptions) {
    OptionsGuard guard;
    double e = 0, n = 0;
    CurrentUtmOptions() = UtmOptions{0, true};
    LatLongToUTM(Lat, Lon, e, n);
    EXPECT_NEAR(e, 747726.7435, 1e-6);
    EXPECT_NEAR(n, 3907096.1763, 1e-6);

    CurrentUtmOptions() = UtmOptions{14, true};
    LatLongToUTM(Lat, Lon, e, n);
    EXPECT_NEAR(e, 1294381.6404, 1e-6);
    EXPECT_EQ(CurrentUtmOptions().intZone, 14) << "the options are read, not changed";

    CurrentUtmOptions() = UtmOptions{}; // defaults: automatic zone, feet
    LatLongToUTM(Lat, Lon, e, n);
    EXPECT_DOUBLE_EQ(e, 747726.7435 * 3.28083);

    CurrentUtmOptions() = UtmOptions{33, true};
    LatLongToUTM(60, 5, e, n);
    EXPECT_EQ(CurrentUtmOptions().intZone, 33);
    EXPECT_DOUBLE_EQ(e, convert(60, 5, true, 32).easting);
}

TEST(LatLongToUTM, LongitudeOutsideItsRangeIsAConversionErrorNotAZone) {
    double e = 0, n = 0;
    for (int forced : {0, 20}) {
        for (double lon : {180.000001, -180.000001, 1000.0, -1000.0, 1e7, double(NAN)}) {
            int zone = forced;
            try {
                LatLongToUTM(10, lon, e, n, true, zone);
                ADD_FAILURE() << lon << " gave zone " << zone; // was 61, 197, -136 ...
            } catch (const LongitudeRangeError& error) {
                EXPECT_EQ(error.number(), 5);
            }
        }
    }
    // The two edges are one meridian: the first and the last zone.
    for (double lon : {180.0, -180.0}) {
        int zone = 0;
        LatLongToUTM(0, lon, e, n, true, zone);
        EXPECT_EQ(zone, lon > 0 ? 60 : 1) << lon;
        EXPECT_NEAR(e, lon > 0 ? 833978.5568 : 166021.4431, 1e-4) << lon;
    }
}

// GeographicLib's exact transverse Mercator (on WGS 84, scale 0.9996, the same
// false easting and northing) is the independent reference: the
// series, the nudge and the 0.1 mm cut together stay within 15 mm anywhere a
// point's own zone covers it up to 84 degrees. A slip in any arc coefficient or
// series term shows as metres, far beyond this bound.
TEST(LatLongToUTM, AgreesWithGeographicLibWithin15mm) {
    double worst = 0, worstLat = 0, worstLon = 0;
    for (double lat = -84; lat <= 84; lat += 0.5) {
        for (double lon = -180; lon < 180; lon += 0.2) {
            double la = lat + 0.0123, lo = lon + 0.0071; // off the grid lines
            if (la > 84 || lo > 180)
                continue;
            Utm r = convert(la, lo);
            ASSERT_EQ(r.zone, UtmZoneOf(la, lo)) << la << ", " << lo;
            const auto [x, y] = UtmReference(la, lo, UtmZoneOf(la, lo));
            double d = std::hypot(r.easting - x, r.northing - y);
            if (d > worst) {
                worst = d;
                worstLat = la;
                worstLon = lo;
            }
        }
    }
    RecordProperty("worst_mm", std::to_string(worst * 1000));
    EXPECT_LE(worst, 0.015) << "at " << worstLat << ", " << worstLon;
    EXPECT_GT(worst, 0.0001) << "a comparison that cannot differ compares nothing";
}

namespace {
// A refactoring guard, not a check of correctness: the program's own
// projection steps transcribed one for one, each sine by its own library call,
// so that the fast form's sine recurrence cannot drift from them. Correctness
// is AgreesWithGeographicLibWithin15mm above (an independent projection).
void literalSteps(double lat, double lon, int zone, double& e, double& n) {
    const double rho = 180 / 3.14159265358989, e2 = 0.00669437999013, ak0 = 6375585.7452;
    const double c0 = 1 - 0.01338875998026 / 8 - 0.0005377766814270353 / 256 - 1.8000407276518304e-5 / 3072 -
                      1.5062695785764324e-7 / 16384 - 5.929122064819407e-9 / 65536;
    const double c2 = 0.02008313997039 / 8 + 0.0010755533628540705 / 256 + 4.050091637216618e-5 / 3072 +
                      2.1087774100070053e-7 / 2048 + 2.9645610324097035e-8 / 65536;
    const double c4 = 0.0006722208517837941 / 256 + 4.050091637216618e-5 / 3072 +
                      1.0543887050035027e-6 / 4096 + 2.1175435945783594e-8 / 16384;
    const double c6 =
        3.514629016678342e-7 / 2048 + 1.0500237577969011e-5 / 3072 + 1.4822805162048517e-7 / 131072;
    const double c8 = 6.326332230021016e-7 / 16384 + 2.9645610324097035e-8 / 65536;
    const double c10 = 9.317191816144782e-9 / 131072;
    double phi = lat / rho;
    double s = ak0 * (c0 * phi - c2 * std::sin(2 * phi) + c4 * std::sin(4 * phi) - c6 * std::sin(6 * phi) +
                      c8 * std::sin(8 * phi) - c10 * std::sin(10 * phi));
    double a = (lon - (6 * zone - 183)) / rho * std::cos(phi);
    double nu = ak0 / std::sqrt(1 - e2 * std::pow(std::sin(phi), 2));
    double q = e2 * std::pow(std::cos(phi), 2) / 0.99330562000987;
    double t = std::pow(std::tan(phi), 2);
    e = nu * a *
            (1 +
             a * a / 6 * (1 - t + q + a * a / 20 * (5 - 18 * t + t * t + q * (14 - 58 * t + 2 * t * t)))) +
        500000;
    n = s + nu * std::tan(phi) * a * a / 2 *
                (1 + a * a / 12 * (5 - t + 9 * q + 4 * q * q + a * a / 30 * (61 - 58 * t + t * t)));
    if (lat < 0)
        n += 10000000;
    for (double* v : {&e, &n}) {
        if (std::floor(*v + 0.01) == std::floor(*v) + 1)
            *v += 0.01;
        *v *= 0.00001;
    }
    if (n < 0)
        n += 100;
    e = std::floor(e * 1e9) / 1e9 * 100000;
    n = std::floor(n * 1e9) / 1e9 * 100000;
}
} // namespace

TEST(LatLongToUTM, FastFormMatchesTheLiteralSteps) {
    int differing = 0;
    const int count = 200000;
    for (int i = 0; i < count; ++i) {
        double lat = -89.9 + std::fmod(i * 0.7548776662466927, 1.0) * 179.8; // low-discrepancy sample
        double lon = -180 + std::fmod(i * 0.5698402909980532, 1.0) * 359.99;
        Utm r = convert(lat, lon);
        double e = 0, n = 0;
        ASSERT_EQ(r.zone, UtmZoneOf(lat, lon)) << lat << ", " << lon;
        literalSteps(lat, lon, UtmZoneOf(lat, lon), e, n);
        ASSERT_NEAR(r.easting, e, 0.00011) << lat << ", " << lon;
        ASSERT_NEAR(r.northing, n, 0.00011) << lat << ", " << lon;
        differing += (r.easting != e) + (r.northing != n);
    }
    RecordProperty("differing", differing);
    // Only a value within rounding noise of a 0.1 mm step may land on the other side.
    EXPECT_LE(differing, count / 10000) << differing << " of " << 2 * count << " values differ by one step";
}
