// SPDX-License-Identifier: GPL-3.0-or-later
// Failures of the coordinate conversion. Each carries the classic run-time
// failure number and description, so that a handler can show them in the
// system's "number: description" form (for example "13: Type mismatch").
#pragma once
#include <stdexcept>
#include <string>

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

// A part of an angle text (degrees, minutes or seconds) is not a number.
// Thrown by GPSConversion::ConvertToDecimalDegrees and its calculator variant;
// number() is 13, description "Type mismatch"; part() is the offending text.
class AngleTextError : public ConversionError {
public:
    explicit AngleTextError(std::string part)
        : ConversionError(13, "Type mismatch"), part_(std::move(part)) {}
    const std::string& part() const noexcept { return part_; }

private:
    std::string part_;
};
