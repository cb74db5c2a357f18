#include "Base64.h"

#include <array>

namespace vlt {

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> MakeReverse()
{
    std::array<int8_t, 256> table{};
    for (auto& v : table)
        v = -1;
    for (int i = 0; i < 64; ++i)
        table[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
    return table;
}
constexpr std::array<int8_t, 256> kReverse = MakeReverse();
} // namespace

void Base64Encode(const uint8_t* data, size_t count, std::string& out)
{
    out.resize((count + 2) / 3 * 4);
    char* o = out.data();
    size_t i = 0;
    for (; i + 3 <= count; i += 3) {
        const uint32_t v = (uint32_t(data[i]) << 16) | (uint32_t(data[i + 1]) << 8) | data[i + 2];
        *o++ = kAlphabet[v >> 18];
        *o++ = kAlphabet[(v >> 12) & 63];
        *o++ = kAlphabet[(v >> 6) & 63];
        *o++ = kAlphabet[v & 63];
    }
    if (i < count) {
        const bool two = i + 1 < count;
        const uint32_t v = (uint32_t(data[i]) << 16) | (two ? uint32_t(data[i + 1]) << 8 : 0);
        *o++ = kAlphabet[v >> 18];
        *o++ = kAlphabet[(v >> 12) & 63];
        *o++ = two ? kAlphabet[(v >> 6) & 63] : '=';
        *o++ = '=';
    }
}

bool Base64Decode(std::string_view text, uint8_t* dst, size_t capacity, size_t& written)
{
    written = 0;
    if (text.size() % 4 != 0)
        return false;
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int v[4];
        int pad = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=' && last && k >= 2) {
                v[k] = 0;
                ++pad;
                continue;
            }
            if (pad > 0 || (v[k] = kReverse[static_cast<uint8_t>(c)]) < 0)
                return false;
        }
        const uint32_t bits = (uint32_t(v[0]) << 18) | (uint32_t(v[1]) << 12) | (uint32_t(v[2]) << 6) | uint32_t(v[3]);
        const size_t n = 3 - static_cast<size_t>(pad);
        if (written + n > capacity)
            return false;
        dst[written++] = static_cast<uint8_t>(bits >> 16);
        if (n > 1)
            dst[written++] = static_cast<uint8_t>(bits >> 8);
        if (n > 2)
            dst[written++] = static_cast<uint8_t>(bits);
    }
    return true;
}

} // namespace vlt
