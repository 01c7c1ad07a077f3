// SPDX-License-Identifier: GPL-3.0-or-later
// zenobar --batch [--feet] [--zone N | --crs CODE]: the window's Calculate for
// many points.
// Reads lines of "LATITUDE LONGITUDE" (each as the window accepts it: decimal
// degrees or angle text) and writes one line per input line: "ZONE EASTING
// NORTHING" in the texts the window shows, or "ERROR: reason". The two values
// are separated by blanks, a tab or a comma; a value with blanks inside
// (35 16 35 N) is split off where only one split reads as a latitude and a
// longitude. Each line is converted on its own: --zone N (1 to 60) forces zone
// N (special areas still apply) on every line, without it every line gets its
// own zone. Metres unless --feet.
// --crs CODE converts into a projected coordinate system of the PROJ database
// instead of UTM (crs/coordinatesystem.h): "CODE EASTING NORTHING", CODE as
// given, in the system's own unit (so --feet and --zone do not go with it).
// --inverse goes the other way: lines of "ZONE N|S EASTING NORTHING" ("15 N
// 747726.7435 3907096.1763", or "15N ..."; "EASTING NORTHING" with --crs) to
// "LATITUDE LONGITUDE" in decimal degrees with 10 decimals. Fields are
// separated by blanks, tabs or commas. --feet reads feet; --zone does not go
// with it (the zone is on every line).
#pragma once
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct BatchOptions {
    bool metric = true;
    int zone = 0;
    std::string crs;      // a coordinate system code; empty: the built-in UTM
    bool inverse = false; // grid coordinates to latitude and longitude
};

class CoordinateSystem;

// Reads up to size bytes of input into buffer: the number read, 0 at the end of
// the input, or -1 on a read error with errno saying why.
using BatchInput = std::function<long(char* buffer, std::size_t size)>;

// The longest line (bytes, without its line end) that is converted. A longer
// one gives an ERROR line quoting its start, and is never held whole.
inline constexpr std::size_t kMaxBatchLineBytes = 4096;

class BatchConverter {
public:
    // Throws CoordinateSystemError (crs/coordinatesystem.h), naming the code,
    // when options.crs is not a projected system PROJ knows.
    explicit BatchConverter(const BatchOptions& options);

    // Parses the arguments that follow "--batch". False, with the reason in
    // *error, for an unknown argument or a zone that is not a whole number
    // from 0 to 60 (0: each point its own zone), --crs without a code, and
    // --crs with --feet or --zone, --inverse with --zone. The code itself is checked by the
    // constructor.
    static bool parseArguments(const std::vector<std::string>& args, BatchOptions* options,
                               std::string* error);

    // One input line (without its line end; a trailing CR is ignored) to one
    // output line (without line end).
    std::string convertLine(std::string_view line) const;

    // Converts every line of in onto out; returns how many lines were errors.
    // Stops at the first write to out that fails (out's state then says so)
    // and at the first read error, which *readError (when given) then names; a
    // line cut short by it is not converted. Holds at most one line of
    // kMaxBatchLineBytes and one read's buffer, whatever the input.
    long run(const BatchInput& in, std::ostream& out, std::string* readError = nullptr) const;
    // The same over a stream; a stream gone bad is a read error.
    long run(std::istream& in, std::ostream& out) const;

    // The whole --batch run: run(), then the exit status: 0 when every line
    // converted, 1 when some gave ERROR, 2 when the input could not be read
    // (a folder, an I/O error) or out could not take the results (a full disk,
    // a closed pipe); then a line on err says why.
    int runProgram(const BatchInput& in, std::ostream& out, std::ostream& err) const;

    // Input from a file descriptor (standard input: 0).
    static BatchInput FileInput(int fd);

private:
    std::string convertInverse(std::string_view line) const;

    BatchOptions options_;
    std::shared_ptr<const CoordinateSystem> system_; // null: the built-in UTM
};
