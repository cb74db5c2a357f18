#pragma once
// The mapping of frames and values to pixels that layout, traces and input
// share. Results stay within a range the painter clips safely, far outside
// any plot, whatever the sample (non-finite floats included).
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace pixelmap {

constexpr double kPixelLimit = 1 << 22;

inline int32_t ToPixel(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<int32_t>(std::trunc(std::clamp(v, -kPixelLimit, kPixelLimit)));
}

// Column of the frame with this index in the page.
inline int32_t Column(uint64_t index, double xScale) { return ToPixel(double(index) * xScale); }

// Row of a value in a plot of `height` rows whose bottom row holds minValue.
inline int32_t Row(double value, int32_t height, int32_t minValue, double yScale)
{
    return height - 1 - ToPixel((value - double(minValue)) * yScale);
}

} // namespace pixelmap
