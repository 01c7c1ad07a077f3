// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated receiver's memory: waypoints and track points, kept as the
// text fields a receiver sends, and the data file that holds them.
//
// Data file: one point per line, fields separated by "|", "#" starts a comment.
//   W|lat ddmm.mmm|N/S|lon dddmm.mmm|E/W|altitude (7 digits)|unit|name|message|icon
//   T|lat ddmm.mmm|N/S|lon dddmm.mmm|E/W|altitude (5 digits)|unit|hhmmss.ss|track name|ddmmyy
// Fields may hold "," and "*" but not "|".
#pragma once
#include <string>
#include <vector>

struct SimWaypoint {
    std::string lat, latHem, lon, lonHem, alt, unit, name, message, icon;
};

struct SimTrackPoint {
    std::string lat, latHem, lon, lonHem, alt, unit, time, track, date;
};

class ReceiverStore {
public:
    // Reads a data file; false (with a reason in *error) when it cannot be read
    // or a line is malformed.
    bool load(const std::string& path, std::string* error);
    // Writes the waypoints and track points in the data file format, atomically.
    bool save(const std::string& path) const;

    std::vector<SimWaypoint> waypoints;
    std::vector<SimTrackPoint> track;

    // Stores a waypoint, replacing one of the same name.
    void putWaypoint(const SimWaypoint& w);
    // Removes the waypoint of that name; false when there is none.
    bool deleteWaypoint(const std::string& name);
};

// Magellan sentence helpers.
// Two upper-case hex digits of the XOR of body's bytes.
std::string checksumHex(const std::string& body);
// "$" body "*" hh CR LF.
std::string frame(const std::string& body);
// A field as a receiver writes it: "," becomes ESC "2C".
std::string escapeField(const std::string& field);
// The reverse: ESC and two hex digits become that byte.
std::string unescapeField(const std::string& field);
// Splits at ",".
std::vector<std::string> splitFields(const std::string& body);
