// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator/batchconverter.h"

#include "calculator/utmcalculation.h"
#include "conversion/numbertext.h"
#include "crs/coordinatesystem.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <istream>
#include <iterator>
#include <ostream>
#include <unistd.h>

namespace {

// Bytes asked of the input per read.
constexpr std::size_t kReadBytes = 64 * 1024;
// Bytes of an over-long line quoted in its ERROR line.
constexpr std::size_t kQuotedStart = 40;
// No latitude or longitude text is longer (angletext.h refuses longer ones),
// so no split with a longer side needs to be tried.
constexpr std::size_t kMaxValueBytes = 100;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isInverseSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',';
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        std::size_t b = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        if (i > b)
            out.push_back(line.substr(b, i - b));
    }
    return out;
}

bool readable(std::string_view text, std::string_view what) {
    if (text.size() > kMaxValueBytes)
        return false;
    try {
        InputDegrees(text, what);
        return true;
    } catch (const CalculationError&) {
        return false;
    }
}

const char* const kSeparateHint = "separate the latitude from the longitude with a tab or a comma";

// The line's two values. False with *error when it does not hold two.
//  - A comma separates them, unless it stands between two digits (35,5 is a
//    decimal comma, which the value's own reading then refuses).
//  - Else a single run of tabs between the two.
//  - Else blanks: two fields are the two values; with more fields (values
//    with blanks inside), the one split whose sides read as a latitude and a
//    longitude (the hemisphere letters, which belong to one side each, and the
//    order of the parts mostly leave one). Where none or several read, the
//    ERROR asks for a tab or a comma, which then names the value at fault.
bool splitLine(std::string_view line, std::string_view* latitude, std::string_view* longitude,
               std::string* error) {
    line = trimmed(line);
    std::vector<std::size_t> commas;
    for (std::size_t i = 0; i < line.size(); ++i)
        if (line[i] == ',' && !(i > 0 && i + 1 < line.size() && isDigit(line[i - 1]) && isDigit(line[i + 1])))
            commas.push_back(i);
    if (commas.size() == 1) {
        *latitude = trimmed(line.substr(0, commas[0]));
        *longitude = trimmed(line.substr(commas[0] + 1));
        return true;
    }
    if (commas.size() > 1) {
        *error = "expected LATITUDE, LONGITUDE, found " + std::to_string(commas.size() + 1) +
                 " values separated by commas";
        return false;
    }
    if (const std::size_t tab = line.find('\t'); tab != std::string_view::npos) {
        const std::size_t after = line.find_first_not_of('\t', tab);
        if (line.find('\t', after) == std::string_view::npos) {
            *latitude = trimmed(line.substr(0, tab));
            *longitude = trimmed(line.substr(after));
            if (!latitude->empty() && !longitude->empty())
                return true;
        }
    }
    const std::vector<std::string_view> f = fields(line);
    if (f.size() == 2) {
        *latitude = f[0];
        *longitude = f[1];
        return true;
    }
    auto splitAt = [&](std::size_t k) {
        *latitude = line.substr(0, std::size_t(f[k - 1].end() - line.begin()));
        *longitude = line.substr(std::size_t(f[k].begin() - line.begin()));
    };
    std::size_t readableSplits = 0, readableAt = 0;
    for (std::size_t k = 1; k < f.size(); ++k) {
        splitAt(k);
        if (readable(*latitude, "latitude") && readable(*longitude, "longitude"))
            ++readableSplits, readableAt = k;
    }
    if (readableSplits == 1) {
        splitAt(readableAt);
        return true;
    }
    if (readableSplits > 1)
        *error = "the line can be read as a latitude and a longitude in more than one way: " +
                 std::string(kSeparateHint);
    else if (f.size() > 2)
        *error = "expected LATITUDE LONGITUDE, found " + std::to_string(f.size()) +
                 " fields; when a value holds blanks, " + kSeparateHint;
    else
        *error = "expected LATITUDE LONGITUDE, found " + std::to_string(f.size()) + " fields";
    return false;
}

// The ERROR line of a line longer than kMaxBatchLineBytes: its length and its
// first bytes, cut at a character boundary, control characters as "?".
std::string tooLongLine(std::string_view start, std::uint64_t bytes) {
    std::size_t cut = std::min(start.size(), kQuotedStart);
    while (cut > 0 && cut < start.size() && (static_cast<unsigned char>(start[cut]) & 0xC0) == 0x80)
        --cut;
    std::string shown(start.substr(0, cut));
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return "ERROR: the line is " + std::to_string(bytes) + " bytes long, more than the " +
           std::to_string(kMaxBatchLineBytes) + " a line may hold; it begins \"" + shown + "...\"";
}

} // namespace

BatchConverter::BatchConverter(const BatchOptions& options) : options_(options) {
    if (!options_.crs.empty())
        system_ = std::make_shared<const CoordinateSystem>(options_.crs);
}

bool BatchConverter::parseArguments(const std::vector<std::string>& args, BatchOptions* options,
                                    std::string* error) {
    BatchOptions o;
    bool zoneGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--feet") {
            o.metric = false;
        } else if (args[i] == "--zone") {
            auto z = i + 1 < args.size() ? numtext::ParseNumber(args[i + 1]) : std::nullopt;
            if (!z || *z < 0 || *z > 60 || *z != std::trunc(*z)) {
                *error = "--zone needs a UTM zone from 1 to 60 (0 = each point's own zone)";
                return false;
            }
            o.zone = static_cast<int>(*z);
            zoneGiven = true;
            ++i;
        } else if (args[i] == "--inverse") {
            o.inverse = true;
        } else if (args[i] == "--crs") {
            if (i + 1 >= args.size() || args[i + 1].empty() || args[i + 1].starts_with("--")) {
                *error = "--crs needs a coordinate system code, such as EPSG:2274";
                return false;
            }
            o.crs = args[++i];
        } else {
            *error = "unknown argument: " + args[i];
            return false;
        }
    }
    if (!o.crs.empty() && (!o.metric || o.zone != 0)) {
        *error =
            "--crs gives results in the coordinate system's own unit: --feet and --zone do not go with it";
        return false;
    }
    if (o.inverse && zoneGiven) {
        *error = "--inverse reads the zone from every line: --zone does not go with it";
        return false;
    }
    *options = o;
    return true;
}

std::string BatchConverter::convertLine(std::string_view line) const {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (options_.inverse)
        return convertInverse(line);
    std::string_view latitudeText, longitudeText;
    if (std::string why; !splitLine(line, &latitudeText, &longitudeText, &why))
        return "ERROR: " + why;
    try {
        double latitude = InputDegrees(latitudeText, "latitude");
        double longitude = InputDegrees(longitudeText, "longitude");
        if (system_) {
            const ProjectedPoint p = CalculateInSystem(*system_, latitude, longitude);
            std::string out = options_.crs;
            out += ' ';
            out += ResultText(p.easting);
            out += ' ';
            out += ResultText(p.northing);
            return out;
        }
        UtmCalculation r = CalculateUtm(latitude, longitude, options_.metric, options_.zone);
        std::string out = std::to_string(r.zone);
        out += ' ';
        out += ResultText(r.easting);
        out += ' ';
        out += ResultText(r.northing);
        return out;
    } catch (const CalculationError& e) {
        return std::string("ERROR: ") + e.what();
    }
}

std::string BatchConverter::convertInverse(std::string_view line) const {
    // Fields separated by any run of blanks, tabs and commas.
    std::string_view f[5];
    std::size_t count = 0;
    for (std::size_t i = 0; i < line.size();) {
        while (i < line.size() && isInverseSeparator(line[i]))
            ++i;
        const std::size_t b = i;
        while (i < line.size() && !isInverseSeparator(line[i]))
            ++i;
        if (i > b) {
            if (count < std::size(f))
                f[count] = line.substr(b, i - b);
            ++count;
        }
    }
    try {
        double latitude = 0, longitude = 0;
        if (system_) {
            if (count != 2)
                return "ERROR: expected EASTING NORTHING, found " + std::to_string(count) + " fields";
            const GeographicPoint p =
                CalculateFromSystem(*system_, GridValue(f[0], "easting"), GridValue(f[1], "northing"));
            latitude = p.latitude;
            longitude = p.longitude;
        } else {
            std::string_view zone = f[0], hemisphere, easting = f[2], northing = f[3];
            if (count == 4) {
                hemisphere = f[1];
            } else if (count == 3 && !f[0].empty() && !isDigit(f[0].back())) { // "15N"
                zone = f[0].substr(0, f[0].size() - 1);
                hemisphere = f[0].substr(f[0].size() - 1);
                easting = f[1];
                northing = f[2];
            } else {
                return "ERROR: expected ZONE N|S EASTING NORTHING, found " + std::to_string(count) +
                       " fields";
            }
            const LatLongCalculation r =
                CalculateLatLong(InverseZone(zone), SouthFromText(hemisphere), GridValue(easting, "easting"),
                                 GridValue(northing, "northing"), options_.metric);
            latitude = r.latitude;
            longitude = r.longitude;
        }
        std::string out = DegreesText(latitude);
        out += ' ';
        out += DegreesText(longitude);
        return out;
    } catch (const CalculationError& e) {
        return std::string("ERROR: ") + e.what();
    }
}

long BatchConverter::run(const BatchInput& in, std::ostream& out, std::string* readError) const {
    long errors = 0;
    // The line so far: its first kMaxBatchLineBytes + 1 bytes (one more tells a
    // line that is too long), its whole length and its last byte.
    std::string line;
    std::uint64_t lineBytes = 0;
    char lastByte = 0;
    std::string result;
    auto finishLine = [&] {
        const std::uint64_t length = lineBytes - (lastByte == '\r' ? 1 : 0);
        result = length > kMaxBatchLineBytes ? tooLongLine(line, length) : convertLine(line);
        if (result.compare(0, 6, "ERROR:") == 0)
            ++errors;
        result += '\n';
        line.clear();
        lineBytes = 0;
        lastByte = 0;
        return bool(out.write(result.data(), static_cast<std::streamsize>(result.size())));
    };
    std::vector<char> buffer(kReadBytes);
    for (;;) {
        const long got = in(buffer.data(), buffer.size());
        if (got < 0) {
            if (readError)
                *readError = std::strerror(errno);
            out.flush();
            return errors; // a line cut short by the error is not converted
        }
        if (got == 0)
            break;
        const char* p = buffer.data();
        const char* const end = p + got;
        while (p < end) {
            const auto* nl = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
            const char* const stop = nl ? nl : end;
            const std::size_t n = std::size_t(stop - p);
            if (line.size() <= kMaxBatchLineBytes)
                line.append(p, std::min(n, kMaxBatchLineBytes + 1 - line.size()));
            if (n > 0)
                lastByte = stop[-1];
            lineBytes += n;
            if (!nl)
                break;
            if (!finishLine())
                return errors; // the rest could not be written either
            p = nl + 1;
        }
    }
    if (lineBytes > 0 && !finishLine()) // a last line without a line end
        return errors;
    out.flush();
    return errors;
}

long BatchConverter::run(std::istream& in, std::ostream& out) const {
    return run(
        [&in](char* buffer, std::size_t size) -> long {
            in.read(buffer, static_cast<std::streamsize>(size));
            if (in.bad()) {
                errno = EIO;
                return -1;
            }
            return static_cast<long>(in.gcount());
        },
        out);
}

BatchInput BatchConverter::FileInput(int fd) {
    return [fd](char* buffer, std::size_t size) -> long {
        for (;;) {
            const ssize_t n = ::read(fd, buffer, size);
            if (n >= 0 || errno != EINTR)
                return static_cast<long>(n);
        }
    };
}

int BatchConverter::runProgram(const BatchInput& in, std::ostream& out, std::ostream& err) const {
    errno = 0;
    std::string readError;
    const long errors = run(in, out, &readError);
    if (!out) {
        const int why = errno; // as the failed write left it
        err << "zenobar: the results could not be written: "
            << (why != 0 ? std::strerror(why) : "write error on standard output") << '\n';
        err.flush();
        return 2;
    }
    if (!readError.empty()) {
        err << "zenobar: standard input could not be read: " << readError
            << "; the lines before the error were converted\n";
        err.flush();
        return 2;
    }
    return errors == 0 ? 0 : 1;
}
