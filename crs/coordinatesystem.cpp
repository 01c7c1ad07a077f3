// SPDX-License-Identifier: GPL-3.0-or-later
#include "crs/coordinatesystem.h"

#include <proj.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <unordered_map>
#include <utility>

namespace {

// This thread's PROJ context and its transformations by PROJ text. PROJ
// objects belong to the context they were made in, and a context must not be
// used by two threads at once, hence one of each per thread.
class ThreadProj {
public:
    ThreadProj() : ctx_(proj_context_create()) {
        // PROJ's own messages would go to standard error; keep the last one
        // to name the reason in an exception instead.
        proj_log_func(ctx_, this, [](void* self, int, const char* message) {
            static_cast<ThreadProj*>(self)->lastMessage_ = message ? message : "";
        });
    }
    ~ThreadProj() {
        for (auto& [text, op] : operations_)
            proj_destroy(op);
        proj_context_destroy(ctx_);
    }
    ThreadProj(const ThreadProj&) = delete;
    ThreadProj& operator=(const ThreadProj&) = delete;

    PJ_CONTEXT* context() const { return ctx_; }

    // PROJ's last message, and then none.
    std::string takeMessage() { return std::exchange(lastMessage_, std::string()); }

    // The transformation from EPSG:4326 (longitude, latitude in) to the
    // system (easting, northing out), made on first use; null when PROJ
    // cannot make one.
    PJ* operation(const std::string& projText) {
        if (auto it = operations_.find(projText); it != operations_.end())
            return it->second;
        PJ* raw = proj_create_crs_to_crs(ctx_, "EPSG:4326", projText.c_str(), nullptr);
        if (!raw)
            return nullptr;
        PJ* op = proj_normalize_for_visualization(ctx_, raw);
        proj_destroy(raw);
        if (op)
            operations_.emplace(projText, op);
        return op;
    }

private:
    PJ_CONTEXT* ctx_;
    std::string lastMessage_;
    std::unordered_map<std::string, PJ*> operations_;
};

ThreadProj& threadProj() {
    thread_local ThreadProj proj;
    return proj;
}

// Owns one PJ for the length of a scope.
struct PjHolder {
    PJ* pj;
    explicit PjHolder(PJ* p) : pj(p) {}
    ~PjHolder() { proj_destroy(pj); }
    PjHolder(const PjHolder&) = delete;
    PjHolder& operator=(const PjHolder&) = delete;
};

std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string trimmed(std::string_view s) {
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

const char* kindOf(PJ_TYPE type) {
    switch (type) {
    case PJ_TYPE_GEOGRAPHIC_2D_CRS:
    case PJ_TYPE_GEOGRAPHIC_3D_CRS:
    case PJ_TYPE_GEOGRAPHIC_CRS:
        return "a geographic system (latitude and longitude)";
    case PJ_TYPE_GEOCENTRIC_CRS:
        return "a geocentric system";
    case PJ_TYPE_VERTICAL_CRS:
        return "a vertical system";
    case PJ_TYPE_COMPOUND_CRS:
        return "a compound system (give its horizontal part)";
    case PJ_TYPE_BOUND_CRS:
        return "a bound system";
    default:
        return "not a coordinate system";
    }
}

bool isBallparkName(std::string_view name) {
    return lowered(name).find("ballpark") != std::string::npos;
}

} // namespace

bool AreaOfUse::contains(double latitude, double longitude) const {
    if (!(latitude >= south && latitude <= north))
        return false;
    if (west <= east)
        return longitude >= west && longitude <= east;
    return longitude >= west || longitude <= east; // across the 180th meridian
}

CoordinateSystem::CoordinateSystem(std::string_view code) : code_(code) {
    ThreadProj& proj = threadProj();
    PJ_CONTEXT* ctx = proj.context();
    const std::string text = trimmed(code);
    const auto refuse = [&](const std::string& why) {
        throw CoordinateSystemError("The coordinate system \"" + code_ + "\" cannot be used: " + why + ".");
    };
    if (text.empty())
        refuse("no code was given");
    projText_ = std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })
                    ? "EPSG:" + text
                    : text;
    proj.takeMessage();
    PjHolder crs(proj_create(ctx, projText_.c_str()));
    if (!crs.pj) {
        const std::string message = proj.takeMessage();
        refuse("PROJ does not know it" + (message.empty() ? std::string() : " (" + message + ")"));
    }
    const PJ_TYPE type = proj_get_type(crs.pj);
    if (type != PJ_TYPE_PROJECTED_CRS)
        refuse(std::string("it is not a projected system but ") + kindOf(type));
    if (const char* n = proj_get_name(crs.pj))
        name_ = n;

    PjHolder cs(proj_crs_get_coordinate_system(ctx, crs.pj));
    const char* unitName = nullptr;
    if (!cs.pj || !proj_cs_get_axis_info(ctx, cs.pj, 0, nullptr, nullptr, nullptr, &unitToMetres_, &unitName,
                                         nullptr, nullptr))
        refuse("PROJ gives no unit for its axes");
    unitName_ = unitName ? unitName : "";

    const char* areaName = nullptr;
    if (proj_get_area_of_use(ctx, crs.pj, &area_.west, &area_.south, &area_.east, &area_.north, &areaName) &&
        area_.west > -1000) {
        area_.name = areaName ? areaName : "";
    } else { // a system made from a PROJ string has none: the whole world
        area_ = AreaOfUse{-180, -90, 180, 90, "World"};
    }

    PJ* op = proj.operation(projText_);
    if (!op) {
        const std::string message = proj.takeMessage();
        refuse("PROJ finds no transformation to it from WGS 84" +
               (message.empty() ? std::string() : " (" + message + ")"));
    }
    // The operation PROJ picks at the centre of the area of use.
    double centreLongitude = (area_.west + area_.east) / 2;
    if (area_.west > area_.east)
        centreLongitude = std::remainder(centreLongitude + 180, 360);
    proj_trans(op, PJ_FWD, proj_coord(centreLongitude, (area_.south + area_.north) / 2, 0, 0));
    proj_errno_reset(op);
    PjHolder used(proj_trans_get_last_used_operation(op));
    PJ* described = used.pj ? used.pj : op;
    if (const char* n = proj_get_name(described))
        transformationName_ = n;
    transformationAccuracy_ = proj_coordoperation_get_accuracy(ctx, described);
    ballpark_ = !proj_coordoperation_is_instantiable(ctx, described) || isBallparkName(transformationName_);
    proj.takeMessage();
}

ProjectedPoint CoordinateSystem::forward(double latitude, double longitude) const {
    ProjectedPoint p;
    unsigned char inside = 0;
    forward(&latitude, &longitude, 1, &p.easting, &p.northing, &inside);
    p.insideArea = inside != 0;
    return p;
}

void CoordinateSystem::forward(const double* latitude, const double* longitude, std::size_t n,
                               double* easting, double* northing, unsigned char* insideArea) const {
    PJ* op = threadProj().operation(projText_);
    // Transformed in place, a chunk at a time, in buffers of our own so the
    // outputs may alias the inputs.
    constexpr std::size_t kChunk = 1024;
    double x[kChunk], y[kChunk];
    for (std::size_t start = 0; start < n; start += kChunk) {
        const std::size_t count = std::min(kChunk, n - start);
        for (std::size_t i = 0; i < count; ++i) {
            const double lat = latitude[start + i], lon = longitude[start + i];
            const bool valid = lat >= -90 && lat <= 90 && lon >= -180 && lon <= 180;
            x[i] = valid ? lon : HUGE_VAL;
            y[i] = valid ? lat : HUGE_VAL;
            if (insideArea)
                insideArea[start + i] = valid && area_.contains(lat, lon);
        }
        if (op)
            proj_trans_generic(op, PJ_FWD, x, sizeof(double), count, y, sizeof(double), count, nullptr, 0, 0,
                               nullptr, 0, 0);
        else
            std::fill(x, x + count, HUGE_VAL);
        if (op)
            proj_errno_reset(op);
        for (std::size_t i = 0; i < count; ++i) {
            const bool ok = std::isfinite(x[i]) && std::isfinite(y[i]);
            easting[start + i] = ok ? x[i] : HUGE_VAL;
            northing[start + i] = ok ? y[i] : HUGE_VAL;
        }
    }
}

GeographicPoint CoordinateSystem::inverse(double easting, double northing) const {
    GeographicPoint p;
    unsigned char inside = 0;
    inverse(&easting, &northing, 1, &p.latitude, &p.longitude, &inside);
    p.insideArea = inside != 0;
    return p;
}

void CoordinateSystem::inverse(const double* easting, const double* northing, std::size_t n, double* latitude,
                               double* longitude, unsigned char* insideArea) const {
    PJ* op = threadProj().operation(projText_);
    constexpr std::size_t kChunk = 1024;
    double x[kChunk], y[kChunk];
    for (std::size_t start = 0; start < n; start += kChunk) {
        const std::size_t count = std::min(kChunk, n - start);
        for (std::size_t i = 0; i < count; ++i) {
            const double e = easting[start + i], nn = northing[start + i];
            const bool valid = std::isfinite(e) && std::isfinite(nn);
            x[i] = valid ? e : HUGE_VAL;
            y[i] = valid ? nn : HUGE_VAL;
        }
        if (op) {
            proj_trans_generic(op, PJ_INV, x, sizeof(double), count, y, sizeof(double), count, nullptr, 0, 0,
                               nullptr, 0, 0);
            proj_errno_reset(op);
        } else {
            std::fill(x, x + count, HUGE_VAL);
        }
        for (std::size_t i = 0; i < count; ++i) {
            // x is the longitude, y the latitude (normalised axis order).
            const bool ok = std::isfinite(x[i]) && std::isfinite(y[i]) && y[i] >= -90 && y[i] <= 90;
            const double lon = ok ? std::remainder(x[i], 360.0) : HUGE_VAL;
            const double lat = ok ? y[i] : HUGE_VAL;
            latitude[start + i] = lat;
            longitude[start + i] = lon;
            if (insideArea)
                insideArea[start + i] = ok && area_.contains(lat, lon);
        }
    }
}

std::vector<CoordinateSystemInfo> FindCoordinateSystems(std::string_view text, std::string_view authority) {
    std::vector<std::string> words;
    const std::string wanted = lowered(text);
    for (std::size_t i = 0; i < wanted.size();) {
        const std::size_t b = wanted.find_first_not_of(" \t", i);
        if (b == std::string::npos)
            break;
        const std::size_t e = std::min(wanted.find_first_of(" \t", b), wanted.size());
        words.push_back(wanted.substr(b, e - b));
        i = e;
    }

    PJ_CONTEXT* ctx = threadProj().context();
    PROJ_CRS_LIST_PARAMETERS* params = proj_get_crs_list_parameters_create();
    PJ_TYPE projected = PJ_TYPE_PROJECTED_CRS;
    params->types = &projected;
    params->typesCount = 1;
    params->allow_deprecated = 0;
    const std::string auth(authority);
    int count = 0;
    PROJ_CRS_INFO** list =
        proj_get_crs_info_list_from_database(ctx, auth.empty() ? nullptr : auth.c_str(), params, &count);
    proj_get_crs_list_parameters_destroy(params);

    std::vector<CoordinateSystemInfo> found;
    for (int i = 0; list && i < count; ++i) {
        const PROJ_CRS_INFO& info = *list[i];
        const std::string name = info.name ? info.name : "";
        const std::string lowName = lowered(name);
        if (std::all_of(words.begin(), words.end(),
                        [&](const std::string& w) { return lowName.find(w) != std::string::npos; }))
            found.push_back(
                {std::string(info.auth_name) + ":" + info.code, name, info.area_name ? info.area_name : ""});
    }
    proj_crs_info_list_destroy(list);
    threadProj().takeMessage();
    return found;
}
