// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator/utmcalculation.h"

#include "conversion/angletext.h"
#include "conversion/conversionerror.h"
#include "conversion/gpsconversion.h"
#include "conversion/numbertext.h"

#include <cmath>

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

UtmCalculation CalculateUtm(double latitude, double longitude, bool metric, int zone) {
    if (!(latitude >= -90 && latitude <= 90))
        throw CalculationError("The latitude must lie between -90 and 90 degrees.");
    if (!(longitude >= -180 && longitude <= 180))
        throw CalculationError("The longitude must lie between -180 and 180 degrees.");
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
