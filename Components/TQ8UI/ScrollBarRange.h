#pragma once
// The horizontal scroll bar's units: a scroll bar counts in 32 bits, so a
// longer record is mapped onto it with a scale of samples per unit.
#include <cstdint>

struct ScrollBarRange {
    double scale = 1.0; // samples per scroll-bar unit
    int32_t minimum = 0;
    int32_t maximum = 0; // as a count of units: the last unit is maximum - 1
    int32_t page = 0;
    int32_t position = 0;
};

// The range, page and position that show the page of pageWidth samples from
// start within sampleCount samples.
ScrollBarRange ScrollBarRangeFor(uint64_t sampleCount, uint32_t pageWidth, uint64_t start);
// Position of a start sample with a given scale.
int32_t ScrollBarPositionFor(uint64_t start, double scale);
