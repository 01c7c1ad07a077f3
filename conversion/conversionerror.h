// SPDX-License-Identifier: GPL-3.0-or-later
// Failures of the coordinate conversion. Each carries the classic run-time
// failure number and description, so that a handler can show them in the
// system's "number: description" form (for example "13: Type mismatch").
#pragma once
#include <stdexcept>
#include <string>
#include <utility>

class ConversionError : public std::runtime_error {
public:
    // number: the classic failure number (6 overflow, 13 type mismatch);
    // description: its text, also returned by what().
    ConversionError(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    int number() const noexcept { return number_; }
    std::string description() const { return what(); }

private:
    int number_;
};

// Angle text that cannot be read. number() is 13, description "Type
// mismatch"; part() is the text (or the part of it) that could not be read,
// reason() a short explanation for the user ("" when there is none).
class AngleTextError : public ConversionError {
public:
    explicit AngleTextError(std::string part, std::string reason = std::string())
        : ConversionError(13, "Type mismatch"), part_(std::move(part)), reason_(std::move(reason)) {}
    const std::string& part() const noexcept { return part_; }
    const std::string& reason() const noexcept { return reason_; }

private:
    std::string part_;
    std::string reason_;
};

// A longitude outside -180..180 degrees (number 5, "Invalid procedure call or
// argument"): it has no UTM zone.
class LongitudeRangeError : public ConversionError {
public:
    LongitudeRangeError() : ConversionError(5, "Invalid procedure call or argument") {}
};
