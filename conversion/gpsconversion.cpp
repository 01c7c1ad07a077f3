// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/gpsconversion.h"

#include "conversion/angletext.h"
#include "conversion/conversionerror.h"
#include "conversion/numbertext.h"
#include "conversion/utmoptions.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <stdexcept>

namespace GPSConversion {

namespace {

// The constants below are the ones the stored drawings were made with; several
// differ in their last digits from textbook values (pi ends in ...989, the
// higher arc terms use the program's own divisors). Do not "correct" them.
constexpr double Pi = 3.14159265358989;
constexpr double DegreesPerRadian = 180 / Pi;
constexpr double E2 = 0.00669437999013;
constexpr double OneMinusE2 = 0.99330562000987; // stored, not 1 - E2
constexpr double AK0 = 6375585.7452;            // semi-major axis (m) times 0.9996
constexpr double FalseEasting = 500000;
constexpr double FalseNorthingSouth = 10000000;

// Meridian arc series: S = AK0 * (C0 phi - C2 sin 2phi + C4 sin 4phi - C6 sin 6phi
// + C8 sin 8phi - C10 sin 10phi).
constexpr double C0 = 1 - 0.01338875998026 / 8 - 0.0005377766814270353 / 256 - 1.8000407276518304e-5 / 3072 -
                      1.5062695785764324e-7 / 16384 - 5.929122064819407e-9 / 65536;
constexpr double C2 = 0.02008313997039 / 8 + 0.0010755533628540705 / 256 + 4.050091637216618e-5 / 3072 +
                      2.1087774100070053e-7 / 2048 + 2.9645610324097035e-8 / 65536;
constexpr double C4 = 0.0006722208517837941 / 256 + 4.050091637216618e-5 / 3072 +
                      1.0543887050035027e-6 / 4096 + 2.1175435945783594e-8 / 16384;
constexpr double C6 =
    3.514629016678342e-7 / 2048 + 1.0500237577969011e-5 / 3072 + 1.4822805162048517e-7 / 131072;
constexpr double C8 = 6.326332230021016e-7 / 16384 + 2.9645610324097035e-8 / 65536;
constexpr double C10 = 9.317191816144782e-9 / 131072;

// A value within 1 cm below a whole metre is pushed over it, so that the cut to
// 0.1 mm below cannot leave e.g. 312345.9999 where 312346.00 was meant.
double nudgeBelowWholeMetre(double v) {
    if (std::floor(v + 0.01) == std::floor(v) + 1)
        v += 0.01;
    return v;
}

// The zone of a longitude in -180..180: 1 to 60, the eastern edge 180 in
// zone 60 like the western edge -180 in zone 1 (they are one meridian).
int automaticZone(double longitude) {
    return std::min(static_cast<int>(std::floor(longitude / 6 + 31)), 60);
}

bool containsNoCase(std::string_view s, char upper, std::size_t* pos) {
    char lower = static_cast<char>(upper - 'A' + 'a');
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == upper || s[i] == lower) {
            *pos = i;
            return true;
        }
    }
    return false;
}

} // namespace

void UTMZoneExceptions(double latitude, double longitude, int& zone) {
    if (latitude > 56 && latitude < 64 && longitude > 3 && longitude < 12)
        zone = 32;
    if (latitude > 72 && longitude > 0 && longitude < 9)
        zone = 31;
    if (latitude > 72 && longitude > 9 && longitude < 21)
        zone = 33;
    if (latitude > 72 && longitude > 21 && longitude < 33)
        zone = 35;
    if (latitude > 72 && longitude > 33 && longitude < 42)
        zone = 37;
}

void LatLongToUTM(double latitude, double longitude, double& easting, double& northing, bool metric,
                  int& zone) {
    const double phi = latitude / DegreesPerRadian;
    const double sinPhi = std::sin(phi);
    const double cosPhi = std::cos(phi);
    const double tanPhi = sinPhi / cosPhi;

    // sin 2k*phi for k = 1..5 from sin and cos of phi by the Chebyshev recurrence
    // sin((k+1)x) = 2 cos x sin kx - sin((k-1)x), x = 2phi, instead of five more
    // library calls. The rounding differences are below 1e-10 m, six orders under
    // the 0.1 mm cut; this is what keeps the conversion several times faster than
    // an exact transverse Mercator.
    const double sin2 = 2 * sinPhi * cosPhi;
    const double cos2 = (cosPhi - sinPhi) * (cosPhi + sinPhi);
    const double sin4 = 2 * cos2 * sin2;
    const double sin6 = 2 * cos2 * sin4 - sin2;
    const double sin8 = 2 * cos2 * sin6 - sin4;
    const double sin10 = 2 * cos2 * sin8 - sin6;
    const double s = AK0 * (C0 * phi - C2 * sin2 + C4 * sin4 - C6 * sin6 + C8 * sin8 - C10 * sin10);

    if (!(longitude >= -180 && longitude <= 180))
        throw LongitudeRangeError();
    int z = zone != 0 ? zone : automaticZone(longitude);
    UTMZoneExceptions(latitude, longitude, z);
    zone = z;
    // In double: a forced zone may be any int, and 6 * zone must not overflow.
    const double centralMeridian = 6.0 * z - 183;

    const double a = (longitude - centralMeridian) / DegreesPerRadian * cosPhi;
    const double n = AK0 / std::sqrt(1 - E2 * (sinPhi * sinPhi));
    const double q = E2 * (cosPhi * cosPhi) / OneMinusE2;
    const double t = tanPhi * tanPhi;
    const double a2 = a * a;

    double e =
        n * a * (1 + a2 / 6 * (1 - t + q + a2 / 20 * (5 - 18 * t + t * t + q * (14 - 58 * t + 2 * t * t)))) +
        FalseEasting;
    double nn = s + n * tanPhi * a2 / 2 *
                        (1 + a2 / 12 * (5 - t + 9 * q + 4 * q * q + a2 / 30 * (61 - 58 * t + t * t)));
    if (latitude < 0)
        nn += FalseNorthingSouth;

    e = nudgeBelowWholeMetre(e);
    nn = nudgeBelowWholeMetre(nn);

    // Work in units of 100 km, cut (not round) to 9 decimals = 0.1 mm.
    e *= 0.00001;
    nn *= 0.00001;
    if (nn < 0)
        nn += 100;
    e = std::floor(e * 1e9) / 1e9 * 100000;
    nn = std::floor(nn * 1e9) / 1e9 * 100000;

    if (!metric) {
        e *= FeetPerMetre;
        nn *= FeetPerMetre;
    }
    easting = e;
    northing = nn;
}

namespace {

// The inverse uses textbook constants (not the stored ones above): it is held
// to an exact transverse Mercator, not to the drawings.
constexpr double InvPi = 3.141592653589793238462643383279502884;
constexpr double SemiMajorAxis = 6378137;
constexpr double ScaleFactor = 0.9996;

// Krueger's series for the inverse, to sixth order in the third flattening n
// (Karney, "Transverse Mercator with an accuracy of a few nanometers", 2011,
// eq. 36 and 14): the rectifying radius A and the coefficients beta_1..6.
struct KruegerInverse {
    double e; // eccentricity
    double oneMinusE2;
    double radius; // k0 * A, metres
    double beta[6];
    KruegerInverse() {
        const double e2 = E2;
        e = std::sqrt(e2);
        oneMinusE2 = 1 - e2;
        const double f = 1 - std::sqrt(1 - e2);
        const double n = f / (2 - f);
        const double n2 = n * n, n3 = n2 * n, n4 = n3 * n, n5 = n4 * n, n6 = n5 * n;
        radius = ScaleFactor * SemiMajorAxis / (1 + n) * (1 + n2 / 4 + n4 / 64 + n6 / 256);
        beta[0] = n / 2 - 2 * n2 / 3 + 37 * n3 / 96 - n4 / 360 - 81 * n5 / 512 + 96199 * n6 / 604800;
        beta[1] = n2 / 48 + n3 / 15 - 437 * n4 / 1440 + 46 * n5 / 105 - 1118711 * n6 / 3870720;
        beta[2] = 17 * n3 / 480 - 37 * n4 / 840 - 209 * n5 / 4480 + 5569 * n6 / 90720;
        beta[3] = 4397 * n4 / 161280 - 11 * n5 / 504 - 830251 * n6 / 7257600;
        beta[4] = 4583 * n5 / 161280 - 108847 * n6 / 3991680;
        beta[5] = 20648693 * n6 / 638668800;
    }
};

const KruegerInverse& krueger() {
    static const KruegerInverse k;
    return k;
}

// The tangent of the geographic latitude from that of the conformal latitude,
// by Newton's method (as GeographicLib's Math::tauf): a few iterations reach
// full double precision.
double geographicTangent(double conformalTan, const KruegerInverse& k) {
    const auto eatanhe = [&](double x) { return k.e * std::atanh(k.e * x); };
    const double tol = std::sqrt(std::numeric_limits<double>::epsilon()) / 10;
    double tau =
        std::fabs(conformalTan) > 70 ? conformalTan * std::exp(eatanhe(1)) : conformalTan / k.oneMinusE2;
    for (int i = 0; i < 5; ++i) {
        const double tau1 = std::hypot(1.0, tau);
        const double sig = std::sinh(eatanhe(tau / tau1));
        const double taupa = std::hypot(1.0, sig) * tau - sig * tau1;
        const double dtau = (conformalTan - taupa) * (1 + k.oneMinusE2 * tau * tau) /
                            (k.oneMinusE2 * tau1 * std::hypot(1.0, taupa));
        tau += dtau;
        if (!(std::fabs(dtau) >= tol * std::max(1.0, std::fabs(tau))))
            break;
    }
    return tau;
}

} // namespace

GeographicPosition UTMToLatLong(int zone, bool south, double easting, double northing, bool metric) {
    if (zone < 1 || zone > 60)
        throw std::invalid_argument("The UTM zone must be a whole number from 1 to 60.");
    if (!std::isfinite(easting) || !std::isfinite(northing))
        throw std::invalid_argument("The easting and the northing must be numbers.");
    if (!metric) {
        easting /= FeetPerMetre;
        northing /= FeetPerMetre;
    }
    const KruegerInverse& k = krueger();
    const double x = easting - FalseEasting;
    const double y = south ? northing - FalseNorthingSouth : northing;
    const double xi = y / k.radius;
    const double eta = x / k.radius;
    double xip = xi, etap = eta;
    for (int j = 1; j <= 6; ++j) {
        const double b = k.beta[j - 1];
        xip -= b * std::sin(2 * j * xi) * std::cosh(2 * j * eta);
        etap -= b * std::cos(2 * j * xi) * std::sinh(2 * j * eta);
    }
    const double sinhEtap = std::sinh(etap);
    const double cosXip = std::cos(xip);
    const double conformalTan = std::sin(xip) / std::hypot(sinhEtap, cosXip);
    const double lambda = std::atan2(sinhEtap, cosXip);

    const double degrees = 180 / InvPi;
    const double latitude = std::atan(geographicTangent(conformalTan, k)) * degrees;
    double longitude = lambda * degrees + (6.0 * zone - 183);
    longitude = std::remainder(longitude, 360.0); // -180..180
    if (longitude == -180 && lambda > 0)
        longitude = 180;
    return {latitude, longitude};
}

double DegreesOutsideZone(int zone, double latitude, double longitude) {
    if (zone < 1 || zone > 60 || !std::isfinite(latitude) || !std::isfinite(longitude))
        return HUGE_VAL;
    longitude = std::remainder(longitude, 360.0);
    int own = automaticZone(longitude);
    UTMZoneExceptions(latitude, longitude, own);
    if (own == zone)
        return 0;
    const double west = -180.0 + (zone - 1) * 6.0;
    const double east = west + 6.0;
    double off = 360;
    for (double shift : {-360.0, 0.0, 360.0}) {
        const double lon = longitude + shift;
        off = std::min(off, lon < west ? west - lon : lon > east ? lon - east : 0.0);
    }
    return off;
}

void LatLongToUTM(double latitude, double longitude, double& easting, double& northing) {
    const UtmOptions& options = CurrentUtmOptions();
    int zone = options.intZone;
    LatLongToUTM(latitude, longitude, easting, northing, options.blnMetric, zone);
}

std::string ConvertToDecimalDegrees(std::string_view strInput) {
    if (strInput.find_first_not_of(" \t") == std::string_view::npos)
        return std::string();
    return numtext::NumberToText(ReadAngleText(strInput).degrees);
}

double ConvertToDecimalDegreesValue(std::string_view strInput) {
    return ReadAngleText(strInput).degrees;
}

double ElevationInFeet(std::string_view text) {
    std::size_t p = 0;
    if (containsNoCase(text, 'M', &p)) {
        auto v = numtext::ParseNumber(text.substr(0, p));
        double feet = v ? *v * FeetPerMetre : 0.0;
        return std::isfinite(feet) ? feet : 0.0; // 1e308M overflows in feet
    }
    if (containsNoCase(text, 'F', &p))
        return numtext::ParseNumber(text.substr(0, p)).value_or(0.0);
    return numtext::ParseNumber(text).value_or(0.0);
}

} // namespace GPSConversion
