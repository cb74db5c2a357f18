#pragma once
// Conversions that the view arithmetic needs to be defined for any input:
// a scale can be as small as the smallest normal double, so quotients reach
// far beyond 64 bits. Out-of-range results stick to the nearest limit; NaN
// becomes 0.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace saturating {

// Truncated toward zero; negative values give 0.
inline uint64_t ToU64(double v)
{
    if (!(v > 0.0))
        return 0;
    // 2^64 is exactly representable; anything at or above it saturates.
    if (v >= 18446744073709551616.0)
        return std::numeric_limits<uint64_t>::max();
    return static_cast<uint64_t>(v);
}

inline int64_t ToI64(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 9223372036854775808.0)
        return std::numeric_limits<int64_t>::max();
    if (v <= -9223372036854775808.0)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(v);
}

inline int32_t ToI32(int64_t v)
{
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

inline int32_t ToI32(double v) { return ToI32(ToI64(v)); }

inline uint64_t Add(uint64_t a, uint64_t b)
{
    const uint64_t sum = a + b;
    return sum < a ? std::numeric_limits<uint64_t>::max() : sum;
}

// a - b, or 0 when b is larger.
inline uint64_t Sub(uint64_t a, uint64_t b) { return a > b ? a - b : 0; }

inline int64_t Add(int64_t a, int64_t b)
{
    int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
    return sum;
}

inline int64_t Sub(int64_t a, int64_t b)
{
    int64_t diff = 0;
    if (__builtin_sub_overflow(a, b, &diff))
        return b < 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
    return diff;
}

} // namespace saturating
