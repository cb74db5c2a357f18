#include "ScrollBarRange.h"

#include "Saturating.h"

namespace {
constexpr uint64_t kDirectLimit = uint64_t(1) << 31;
constexpr int32_t kScaledMaximum = 0x7FFFFFFE;
} // namespace

int32_t ScrollBarPositionFor(uint64_t start, double scale)
{
    return saturating::ToI32(double(start) / scale);
}

ScrollBarRange ScrollBarRangeFor(uint64_t sampleCount, uint32_t pageWidth, uint64_t start)
{
    ScrollBarRange r;
    if (sampleCount < kDirectLimit) {
        r.scale = 1.0;
        r.maximum = static_cast<int32_t>(sampleCount);
    } else {
        r.scale = double(sampleCount) / 2147483647.0;
        r.maximum = kScaledMaximum;
    }
    r.page = saturating::ToI32(double(pageWidth) / r.scale);
    r.position = ScrollBarPositionFor(start, r.scale);
    return r;
}
