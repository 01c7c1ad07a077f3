// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator/batchconverter.h"

#include "calculator/utmcalculation.h"
#include "conversion/numbertext.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <istream>
#include <ostream>

namespace {
bool isBlank(char c) {
    return c == ' ' || c == '\t';
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
} // namespace

bool BatchConverter::parseArguments(const std::vector<std::string>& args, BatchOptions* options,
                                    std::string* error) {
    BatchOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--feet") {
            o.metric = false;
        } else if (args[i] == "--zone") {
            auto z = i + 1 < args.size() ? numtext::ParseNumber(args[i + 1]) : std::nullopt;
            if (!z || *z < -32768 || *z > 32767 || *z != std::trunc(*z)) {
                *error = "--zone needs a whole number from -32768 to 32767 (0 = each point's own zone)";
                return false;
            }
            o.zone = static_cast<int>(*z);
            ++i;
        } else {
            *error = "unknown argument: " + args[i];
            return false;
        }
    }
    *options = o;
    return true;
}

std::string BatchConverter::convertLine(std::string_view line) const {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    auto f = fields(line);
    if (f.size() != 2)
        return "ERROR: expected LATITUDE LONGITUDE, found " + std::to_string(f.size()) + " fields";
    try {
        double latitude = InputDegrees(f[0], "latitude");
        double longitude = InputDegrees(f[1], "longitude");
        UtmCalculation r = CalculateUtm(latitude, longitude, options_.metric, options_.zone);
        std::string out = std::to_string(r.zone);
        out += ' ';
        out += numtext::NumberToText(r.easting);
        out += ' ';
        out += numtext::NumberToText(r.northing);
        return out;
    } catch (const CalculationError& e) {
        return std::string("ERROR: ") + e.what();
    }
}

long BatchConverter::run(std::istream& in, std::ostream& out) const {
    long errors = 0;
    std::string line;
    std::string result;
    while (std::getline(in, line)) {
        result = convertLine(line);
        if (result.compare(0, 6, "ERROR:") == 0)
            ++errors;
        result += '\n';
        if (!out.write(result.data(), static_cast<std::streamsize>(result.size())))
            return errors; // the rest could not be written either
    }
    out.flush();
    return errors;
}

int BatchConverter::runProgram(std::istream& in, std::ostream& out, std::ostream& err) const {
    errno = 0;
    const long errors = run(in, out);
    if (!out) {
        const int why = errno; // as the failed write left it
        err << "zenobar: the results could not be written: "
            << (why != 0 ? std::strerror(why) : "write error on standard output") << '\n';
        err.flush();
        return 2;
    }
    return errors == 0 ? 0 : 1;
}
