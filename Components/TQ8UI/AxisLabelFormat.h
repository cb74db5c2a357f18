#pragma once
// Numbers as the plot writes them on its axes and selection labels: any
// radix from 2 to 36 in upper case, and in radix 10 with the C locale's
// thousands separator ("," when it has none) before every third digit.
#include <cstdint>
#include <string>

// A radix outside 2..36 is taken as 10.
std::wstring FormatUInt64Radix(uint64_t value, int radix);
// Negative values: a minus sign before the digits in radix 10, the unsigned
// 64-bit two's complement in every other radix.
std::wstring FormatInt64Radix(int64_t value, int radix);
