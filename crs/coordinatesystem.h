// SPDX-License-Identifier: GPL-3.0-or-later
// A projected coordinate system from the PROJ database (State Plane, British
// National Grid, MGA, Swiss LV95, ... any EPSG code or text PROJ reads), and
// the transformation into it from WGS 84 latitude and longitude. Plain C++;
// PROJ stays behind this header.
//
// The transformation is the one cs2cs chooses for "cs2cs EPSG:4326 CODE" (and
// backwards for "cs2cs CODE EPSG:4326"):
// PROJ's candidate operations from EPSG:4326 to the system, the best one for
// each point picked by PROJ (so a datum shift with a grid or published
// parameters inside its area, a ballpark one elsewhere), with the axes put in
// longitude, latitude in and easting, northing out whatever order the system
// declares.
//
// Threads: a CoordinateSystem may be shared between threads once made. Every
// thread has its own PROJ context, and its own copy of each transformation,
// made on its first use there and kept until the thread ends.
#pragma once
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A system that cannot be used: what() names the code as given and says why.
class CoordinateSystemError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where a system is meant to be used, in degrees of WGS 84 longitude and
// latitude. west > east for an area that crosses the 180th meridian.
struct AreaOfUse {
    double west = 0;
    double south = 0;
    double east = 0;
    double north = 0;
    std::string name; // "United States (USA) - Tennessee - counties of ..."

    // Whether the point (degrees) lies inside, edges included.
    bool contains(double latitude, double longitude) const;
};

// One projected point, in the system's linear unit.
struct ProjectedPoint {
    double easting = 0;
    double northing = 0;
    bool insideArea = false; // whether the point lies in the system's area of use
};

// One point back in WGS 84, degrees.
struct GeographicPoint {
    double latitude = 0;
    double longitude = 0;
    bool insideArea = false; // whether the point lies in the system's area of use
};

class CoordinateSystem {
public:
    // code: "EPSG:2274", a bare number ("2274", taken as EPSG), or any other
    // text PROJ reads as a coordinate system ("ESRI:102719", WKT, a PROJ
    // string). Throws CoordinateSystemError, naming code, when PROJ cannot
    // read it, does not know it, or it is not a projected system (EPSG:4326,
    // a geographic system, is refused; so are compound and geocentric ones).
    explicit CoordinateSystem(std::string_view code);

    const std::string& code() const { return code_; }         // as given
    const std::string& name() const { return name_; }         // "NAD83 / Tennessee (ftUS)"
    const std::string& unitName() const { return unitName_; } // "US survey foot", "metre"
    double unitToMetres() const { return unitToMetres_; }     // 0.304800609601219 for US survey feet
    const AreaOfUse& areaOfUse() const { return area_; }

    // The transformation from WGS 84 used inside the area of use (the one
    // PROJ picks for its centre): its name, its accuracy in metres (-1 when
    // PROJ gives none), and whether it is a ballpark one (datum shift
    // ignored or guessed: errors of up to some hundred metres).
    const std::string& transformationName() const { return transformationName_; }
    double transformationAccuracy() const { return transformationAccuracy_; }
    bool isBallpark() const { return ballpark_; }

    // latitude in -90..90, longitude in -180..180, degrees of WGS 84.
    // Easting and northing in the system's unit; both are infinite where the
    // transformation cannot reach the point (far outside a projection's
    // reach). Agrees with cs2cs to well below a millimetre.
    ProjectedPoint forward(double latitude, double longitude) const;

    // The same for n points at once (faster for many). latitude and longitude
    // are read, easting and northing written, insideArea (when not null)
    // written with 0 or 1; any output may be the same array as an input.
    void forward(const double* latitude, const double* longitude, std::size_t n, double* easting,
                 double* northing, unsigned char* insideArea = nullptr) const;

    // The reverse: easting and northing in the system's unit to WGS 84
    // latitude (-90..90) and longitude (-180..180), degrees, by the same
    // transformation run backwards (as "cs2cs CODE EPSG:4326", agreeing to
    // well below 1e-8 degree). Both are infinite where PROJ cannot reach the
    // point (non-finite input included); insideArea is then false.
    GeographicPoint inverse(double easting, double northing) const;

    // The same for n points at once, with the aliasing and insideArea rules
    // of the batch forward().
    void inverse(const double* easting, const double* northing, std::size_t n, double* latitude,
                 double* longitude, unsigned char* insideArea = nullptr) const;

private:
    std::string code_;
    std::string projText_; // what PROJ is given: "EPSG:2274" for "2274"
    std::string name_;
    std::string unitName_;
    double unitToMetres_ = 1;
    AreaOfUse area_;
    std::string transformationName_;
    double transformationAccuracy_ = -1;
    bool ballpark_ = false;
};

// A projected system of the PROJ database.
struct CoordinateSystemInfo {
    std::string code;     // "EPSG:2274"
    std::string name;     // "NAD83 / Tennessee (ftUS)"
    std::string areaName; // its area of use
};

// The projected systems of authority (default EPSG; "" for every authority)
// whose name holds every blank-separated word of text, case ignored: "MGA 56"
// finds "GDA94 / MGA zone 56". Deprecated systems are left out. In the
// database's order (by code). An empty text lists them all.
std::vector<CoordinateSystemInfo> FindCoordinateSystems(std::string_view text,
                                                        std::string_view authority = "EPSG");
