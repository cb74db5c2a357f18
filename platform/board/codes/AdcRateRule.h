#pragma once
// The rates a board's ADC runs at, and the rate its clock source gives it:
// the card model keeps to them, and a program checks a clock against them
// before it hands the clock to a board. C++ only.
#include <algorithm>
#include <cstdint>

#include "TQ8Codes.h"

namespace tq8 {

inline constexpr double kMinRateMHz = 200.0;
// With ADC interleaving two converters share the clock.
inline constexpr double kMinInterleavedRateMHz = 500.0;
inline constexpr double kMaxRateMHz = 1500.0;

// The ADC's clock in MHz: the synthesizer's rate, the external input
// brought down by its two dividers, or a master's clock as it comes.
constexpr double AdcRateMHz(int32_t source, double internalMHz, double externalMHz, int32_t divider1,
                            int32_t divider2)
{
    switch (source) {
    case TQ8_CLOCK_INTERNAL:
        return internalMHz;
    case TQ8_CLOCK_EXTERNAL:
        return externalMHz / (std::max(1, divider1) * std::max(1, divider2));
    default:
        return externalMHz;
    }
}

// TQ8_OK when the ADC runs at the rate, else TQ8_ERR_RATE_TOO_LOW or
// TQ8_ERR_RATE_TOO_HIGH.
constexpr int32_t AdcRateRefusal(double adcMHz, bool interleaved)
{
    if (adcMHz < (interleaved ? kMinInterleavedRateMHz : kMinRateMHz))
        return TQ8_ERR_RATE_TOO_LOW;
    return adcMHz > kMaxRateMHz ? TQ8_ERR_RATE_TOO_HIGH : TQ8_OK;
}

} // namespace tq8
