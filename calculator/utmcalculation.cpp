// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator/utmcalculation.h"

#include "conversion/angletext.h"
#include "conversion/conversionerror.h"
#include "conversion/gpsconversion.h"
#include "conversion/numbertext.h"
#include "crs/coordinatesystem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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
    const double west = -180.0 + (used - 1) * 6.0;
    const double east = west + 6.0;
    if (own == used || (longitude >= west && longitude <= east))
        return zone + " from the UTM Zone box.";
    // Degrees outside the band, the short way round (zone 1 lies just east of 180).
    double off = 360;
    for (double shift : {-360.0, 0.0, 360.0}) {
        const double lon = longitude + shift;
        off = std::min(off, lon < west ? west - lon : lon > east ? lon - east : 0.0);
    }
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
