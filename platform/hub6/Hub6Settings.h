#pragma once
// The settings text of one HUB3300-6 unit: <HUB6Settings ClockRateMHz="1500"/>.
#include <string>
#include <string_view>

struct Hub6Settings {
    double clockRate = 0.0; // MHz
};

// The clock is written in its shortest exact form, so that it reads back equal.
std::string WriteHub6Settings(const Hub6Settings& settings);
// false for text that is not such an element, or a clock outside the unit's range.
bool ReadHub6Settings(std::string_view xml, Hub6Settings& settings);
bool IsValidHub6ClockRate(double rate);
