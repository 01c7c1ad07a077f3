// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator/utmcalculation.h"

#include "conversion/angletext.h"
#include "conversion/conversionerror.h"
#include "conversion/gpsconversion.h"
#include "conversion/numbertext.h"
#include "crs/coordinatesystem.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>

double InputDegrees(std::string_view text, std::string_view what) {
    if (auto v = numtext::ParseNumber(text))
        return *v;
    try {
        const GPSConversion::Angle a = GPSConversion::ReadAngleText(text);
        const bool latitude = what == "latitude";
        if (a.letter ==
            (latitude ? GPSConversion::AngleLetter::EastWest : GPSConversion::AngleLetter::NorthSouth))
            throw AngleTextError(std::string(text),
                                 latitude ? "E and W belong to a longitude" : "N and S belong to a latitude");
        return a.degrees;
    } catch (const AngleTextError& e) {
        throw CalculationError(GPSConversion::UnreadableAngleMessage(what, text, e.reason()));
    }
}

int ZoneFromText(std::string_view text, bool* numeric) {
    auto v = numtext::ParseNumber(text);
    if (numeric)
        *numeric = v.has_value();
    if (!v)
        return 0;
    double z = std::nearbyint(*v); // the default rounding mode sends halves to even
    if (!(z >= -32768 && z <= 32767))
        throw CalculationError("The UTM zone must be a whole number from -32768 to 32767.");
    return static_cast<int>(z);
}

namespace {
void CheckRange(double latitude, double longitude) {
    if (!(latitude >= -90 && latitude <= 90))
        throw CalculationError("The latitude must lie between -90 and 90 degrees.");
    if (!(longitude >= -180 && longitude <= 180))
        throw CalculationError("The longitude must lie between -180 and 180 degrees.");
}
} // namespace

UtmCalculation CalculateUtm(double latitude, double longitude, bool metric, int zone) {
    CheckRange(latitude, longitude);
    UtmCalculation r;
    r.zone = zone;
    try {
        GPSConversion::LatLongToUTM(latitude, longitude, r.easting, r.northing, metric, r.zone);
    } catch (const ConversionError&) {
        r.easting = r.northing = NAN; // reported below
    }
    if (!std::isfinite(r.easting) || !std::isfinite(r.northing))
        throw CalculationError("This latitude and longitude cannot be converted to UTM.");
    return r;
}

std::string ResultText(double value) {
    return numtext::NumberToText(std::round(value * 1e4) / 1e4);
}

std::string ZoneNote(double latitude, double longitude, int asked, int used, bool* outside) {
    if (outside)
        *outside = false;
    const std::string zone = "Zone " + std::to_string(used);
    if (asked == 0)
        return zone + ", the zone of the point's longitude.";
    if (used != asked)
        return zone + ": the special zones of Norway and Svalbard apply here, not zone " +
               std::to_string(asked) + ".";
    int own = 0;
    double e = 0, n = 0;
    try {
        GPSConversion::LatLongToUTM(latitude, longitude, e, n, true, own);
    } catch (const ConversionError&) {
        own = used; // CalculateUtm refused the point before a note is asked for
    }
    const std::string empty = " Empty the box to use zone " + std::to_string(own) + ".";
    if (used < 1 || used > 60) {
        if (outside)
            *outside = true;
        return zone + " from the UTM Zone box is not a UTM zone (1 to 60)." + empty;
    }
    const double off = GPSConversion::DegreesOutsideZone(used, latitude, longitude);
    if (own == used || off == 0)
        return zone + " from the UTM Zone box.";
    if (outside)
        *outside = true;
    char degrees[32];
    std::snprintf(degrees, sizeof degrees, "%.1f", off);
    return zone + " from the UTM Zone box: this point lies in zone " + std::to_string(own) + ", " + degrees +
           "\u00B0 outside zone " + std::to_string(used) + "." + empty;
}

ProjectedPoint CalculateInSystem(const CoordinateSystem& system, double latitude, double longitude) {
    CheckRange(latitude, longitude);
    const ProjectedPoint p = system.forward(latitude, longitude);
    if (!std::isfinite(p.easting) || !std::isfinite(p.northing))
        throw CalculationError("This latitude and longitude cannot be converted to " + system.name() + ".");
    return p;
}

double GridValue(std::string_view text, std::string_view what) {
    const auto v = numtext::ParseNumber(text);
    if (!v || !std::isfinite(*v))
        throw CalculationError("The " + std::string(what) + " must be a number of metres or feet, such as " +
                               (what == "northing" ? "3907096.1763" : "747726.7435") + ", not \"" +
                               std::string(text) + "\".");
    return *v;
}

int InverseZone(std::string_view text) {
    const auto v = numtext::ParseNumber(text);
    if (!v || !(*v >= 1 && *v <= 60) || *v != std::trunc(*v))
        throw CalculationError("The UTM zone must be a whole number from 1 to 60, not \"" +
                               std::string(text) + "\".");
    return static_cast<int>(*v);
}

bool SouthFromText(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (text == "N" || text == "n")
        return false;
    if (text == "S" || text == "s")
        return true;
    throw CalculationError("The hemisphere must be N or S, not \"" + std::string(text) + "\".");
}

LatLongCalculation CalculateLatLong(int zone, bool south, double easting, double northing, bool metric) {
    if (zone < 1 || zone > 60)
        throw CalculationError("The UTM zone must be a whole number from 1 to 60.");
    LatLongCalculation r;
    try {
        const GPSConversion::GeographicPosition p =
            GPSConversion::UTMToLatLong(zone, south, easting, northing, metric);
        r.latitude = p.latitude;
        r.longitude = p.longitude;
    } catch (const std::invalid_argument&) {
        r.latitude = NAN; // reported below
    }
    if (!std::isfinite(r.latitude) || !std::isfinite(r.longitude))
        throw CalculationError("This easting and northing cannot be converted to latitude and longitude.");
    r.outsideZone = GPSConversion::DegreesOutsideZone(zone, r.latitude, r.longitude);
    return r;
}

GeographicPoint CalculateFromSystem(const CoordinateSystem& system, double easting, double northing) {
    const GeographicPoint p = system.inverse(easting, northing);
    if (!std::isfinite(p.latitude) || !std::isfinite(p.longitude))
        throw CalculationError("This easting and northing of " + system.name() +
                               " cannot be converted to latitude and longitude.");
    return p;
}

std::string DegreesText(double degrees) {
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, degrees, std::chars_format::fixed, 10);
    std::string out(buffer, r.ptr);
    if (out == "-0.0000000000")
        out.erase(0, 1);
    return out;
}

std::string DmsText(double degrees, bool latitude) {
    const char letter = latitude ? (degrees < 0 ? 'S' : 'N') : (degrees < 0 ? 'W' : 'E');
    // Whole units of 1e-5 second, so that rounding never shows 60 seconds.
    const long long units = std::llround(std::fabs(degrees) * 3600 * 1e5);
    const long long wholeDegrees = units / (3600LL * 100000);
    const long long minutes = units / (60LL * 100000) % 60;
    const long long seconds = units % (60LL * 100000);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%lld\u00B0%lld'%lld.%05lld\"%c", wholeDegrees, minutes,
                  seconds / 100000, seconds % 100000, units == 0 ? (latitude ? 'N' : 'E') : letter);
    return buffer;
}
