#pragma once
// Base64 (RFC 4648, with padding) for binary data carried inside XML text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vlt {

void Base64Encode(const uint8_t* data, size_t count, std::string& out);
// Decoded size of a well-formed text of this length (an upper bound).
inline size_t Base64MaxDecoded(size_t textLength)
{
    return textLength / 4 * 3;
}
// Decodes into dst (room for `capacity` bytes). False, with *written
// undefined, for a length that is not a multiple of 4, a foreign character,
// misplaced padding or output that would not fit.
bool Base64Decode(std::string_view text, uint8_t* dst, size_t capacity, size_t& written);

} // namespace vlt
