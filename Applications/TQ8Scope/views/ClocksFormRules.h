#pragma once
// The decisions and texts of the "Sampling Rate" page, apart from its
// widgets: the external clock's divider table and the lists built from it,
// the post-ADC division list and which control groups are enabled.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "AdcRateRule.h"

namespace clocksform {

// A divider pair in one word: divider 1 low, divider 2 high.
inline constexpr uint32_t PackDividers(uint32_t div1, uint32_t div2) { return (div1 & 0xFFFFu) | (div2 << 16); }
inline constexpr uint32_t Divider1(uint32_t packed) { return packed & 0xFFFFu; }
inline constexpr uint32_t Divider2(uint32_t packed) { return packed >> 16; }

// Total division factor -> packed pair; of the pairs with the same product
// the one with the largest divider 1 (divider 1 up to 32, divider 2 up to 6).
const std::map<uint32_t, uint32_t>& DividerTable();

// Lowest rate the divided external clock may give, in MHz.
inline constexpr double kMinDividedRate = tq8::kMinRateMHz;

struct DividerItem {
    std::wstring text;
    uint32_t packed;
};
// The divider list for an external rate in MHz: "%0.3f MHz" for the
// products that leave at least 200 MHz, or "Ext. rate ÷ %d" for every
// product when the rate is 0 (unknown).
std::vector<DividerItem> DividerListItems(double externalRate);
// The item to select for the board's dividers: the same pair, else the
// first with the same product; -1 for none.
int DividerSelection(const std::vector<DividerItem>& items, uint32_t div1, uint32_t div2);
// "÷%u (÷%u÷%u)".
std::wstring DividerText(uint32_t div1, uint32_t div2);

// The six post-ADC division items for an ADC rate in MHz (0: unknown).
std::vector<std::wstring> PostAdcItems(double adcRate);

// "MHz [%u, %u]": 500 or 200 up to 1500.
std::wstring RateRangeText(bool interleaved);
// "%0.3f".
std::wstring RateText(double rate);

struct Enables {
    bool internal; // rate, range and reference
    bool external; // rate and range
    bool divider;
};
// By the clock source and master/slave configuration; a slave that has its
// master takes the master's rate, so it cannot be typed.
Enables DecideEnables(int32_t source, int32_t masterSlave, bool hasMaster);

} // namespace clocksform
