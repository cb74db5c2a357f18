#pragma once
// Version numbers as text: 32-bit versions are four 8-bit parts, 64-bit
// versions four 16-bit parts, most significant first ("99.0.0.0").
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

std::string FormatVersion32(uint32_t version);
std::string FormatVersion64(uint64_t version);

// Trims the text, splits it at "." into at most four parts (text after a
// fourth "." is ignored); each part is a whole decimal number (leading blanks
// and a sign allowed) or empty (0). Missing parts are 0.
bool ParseVersionParts(std::string_view text, std::array<int64_t, 4>& parts);
// As above with every part in 0..255, packed from the top byte down.
bool ParseVersion32(std::string_view text, uint32_t& version);
// As above with every part in 0..65535.
bool ParseVersion64(std::string_view text, uint64_t& version);

// The form's version field: empty gives 0; up to four numbers 0..255 with
// leading blanks allowed before each, "." between them and nothing else.
bool ParseFirmwareVersionText(std::wstring_view text, uint32_t& version);
