#pragma once
// The PATH= line of a system environment file (lines KEY=VALUE, the value
// optionally in quotes), read and replaced with every other line kept byte
// for byte.
#include <string>

namespace vlt {

// The value of the last PATH= line, quotes removed; false when none.
bool FindPathLine(const std::string& text, std::string& value);

// The text with its last PATH= line made PATH="value", or that line
// appended when there is none.
std::string WithPathLine(const std::string& text, const std::string& value);

} // namespace vlt
