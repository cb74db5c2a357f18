#pragma once
// The points one channel plotted with markers in the last paint: entry i
// belongs to the i-th plotted sample from StartSample on. The sample-value
// tips read it.
#include "CComVariant.h"

#include <cstdint>
#include <vector>

struct PlottedPoint {
    int32_t x = 0; // plot pixels
    int32_t y = 0;
    CComVariant value;
};

class CPlottedPointCache {
public:
    CPlottedPointCache() = default;
    CPlottedPointCache(const CPlottedPointCache&) = default;
    CPlottedPointCache& operator=(const CPlottedPointCache&) = default;
    virtual ~CPlottedPointCache() = default;

    // Makes the cache hold at least `entries` entries; it never shrinks.
    // E_OUTOFMEMORY when they cannot be had.
    HRESULT Reserve(uint64_t entries);

    std::vector<PlottedPoint> points;
    uint64_t filled = 0; // entries the last paint filled
};
