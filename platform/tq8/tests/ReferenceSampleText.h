#pragma once
// The text formatter that the sample tables replaced, kept only as the
// reference that text and hexadecimal files are checked against: a sample
// at a time, digits by division, a blank before every sample but a line's
// first, CR LF after its last; column carries the place in the line.
#include <cstddef>
#include <cstdint>
#include <string>

std::string ReferenceText(const uint8_t* data, size_t bytes, bool hex, bool toSigned, uint32_t perLine,
                          uint32_t& column);
