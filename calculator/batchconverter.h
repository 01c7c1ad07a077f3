// SPDX-License-Identifier: GPL-3.0-or-later
// zenobar --batch [--feet] [--zone N]: the window's Calculate for many points.
// Reads lines of "LATITUDE LONGITUDE" (each as the window accepts it: decimal
// degrees or angle text, separated by blanks) and writes one line per input
// line: "ZONE EASTING NORTHING" in the texts the window shows, or
// "ERROR: reason". Each line is converted on its own: --zone N forces zone N
// (special areas still apply) on every line, without it every line gets its
// own zone. Metres unless --feet.
#pragma once
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

struct BatchOptions {
    bool metric = true;
    int zone = 0;
};

class BatchConverter {
public:
    explicit BatchConverter(const BatchOptions& options) : options_(options) {}

    // Parses the arguments that follow "--batch". False, with the reason in
    // *error, for an unknown argument or a zone that is not a 16-bit integer.
    static bool parseArguments(const std::vector<std::string>& args, BatchOptions* options,
                               std::string* error);

    // One input line (without its line end; a trailing CR is ignored) to one
    // output line (without line end).
    std::string convertLine(std::string_view line) const;

    // Converts every line of in onto out; returns how many lines were errors.
    // Stops at the first write to out that fails (out's state then says so).
    long run(std::istream& in, std::ostream& out) const;

    // The whole --batch run: run(), then the exit status: 0 when every line
    // converted, 1 when some gave ERROR, 2 when out could not take the results
    // (a full disk, a closed pipe); then a line on err says why.
    int runProgram(std::istream& in, std::ostream& out, std::ostream& err) const;

private:
    BatchOptions options_;
};
