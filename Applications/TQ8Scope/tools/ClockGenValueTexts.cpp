#include "ClockGenValueTexts.h"

#include <cstddef>

namespace {

template <size_t N>
const wchar_t* Lookup(const wchar_t* const (&texts)[N], int32_t value)
{
    if (value < 0 || static_cast<size_t>(value) >= N)
        return L"<Unknown>";
    return texts[value];
}

constexpr const wchar_t* kGround = L"LVL: Ground (DC)";

// 33 to 63, after the dynamic outputs 1 to 6 and the grounded codes.
constexpr const wchar_t* kStatusFrom33[] = {
    L"DYN: REF 1 clock",
    L"DYN: REF 2 clock",
    L"DYN: Selected reference to PLL",
    L"DYN: Unselected reference to PLL",
    L"LVL: Status of selected reference; active high",
    L"LVL: Status of unselected reference; active high",
    L"LVL: Status REF1 frequency; active high",
    L"LVL: Status REF2 frequency; active high",
    L"LVL: (Status REF1 freq) AND (Status REF2 freq)",
    L"LVL: (DLD) AND (status of selected ref) AND (status of VCO)",
    L"LVL: Status of VCO freq; active high",
    L"LVL: Selected reference (Low=REF1,High=REF2)",
    L"LVL: Digital lock detect (DLD); active high",
    L"LVL: Holdover active; active high",
    L"LVL: LD pin comparator output; active high",
    L"LVL: VS (PLL supply",
    L"DYN: REF1 clock_",
    L"DYN: REF2 clock_",
    L"DYN: Selected ref to PLL_",
    L"DYN: Unselected ref to PLL",
    L"LVL: Status of selected ref; active low",
    L"LVL: Status of unselected ref; active low",
    L"LVL: Status of REF1 freq; active low",
    L"LVL: Status of REF2 freq; active low",
    L"LVL: (Status of REF1 freq)_ AND (Status of REF 2 freq)_",
    L"LVL: (DLD)_ AND (Status of selected ref)_ AND (Status of VCO)_",
    L"LVL: Status of VCO frequency; active low",
    L"LVL: Selected reference (Low=REF2,High=REF1)",
    L"LVL: Digital lock detect (DLD); active low",
    L"LVL: Holdover active; active low",
    L"LVL: LD pin comparator output; active low",
};

static_assert(sizeof kStatusFrom33 / sizeof kStatusFrom33[0] == 31, "codes 33 to 63");

constexpr const wchar_t* kStatusFrom1[] = {
    L"DYN: N divider output (after the delay)",
    L"DYN: R divider output (after the delay)",
    L"DYN: A divider output",
    L"DYN: Prescaler output",
    L"DYN: PFD up pulse",
    L"DYN: PFD down pulse",
};

} // namespace

const wchar_t* PllPowerDownToText(int32_t value)
{
    static constexpr const wchar_t* t[] = {L"Normal operation", L"Asynchronous power-down", L"Normal operation",
                                           L"Synchronous power-down"};
    return Lookup(t, value);
}

const wchar_t* ChargePumpModeToText(int32_t value)
{
    static constexpr const wchar_t* t[] = {L"High impedance state", L"Force source current (pump up)",
                                           L"Force sink current (pump down)", L"Normal operation"};
    return Lookup(t, value);
}

const wchar_t* ChargePumpCurrentToText(int32_t value)
{
    static constexpr const wchar_t* t[] = {L"0.6mA", L"1.2mA", L"1.8mA", L"2.4mA",
                                           L"3.0mA", L"3.6mA", L"4.2mA", L"4.8mA"};
    return Lookup(t, value);
}

const wchar_t* PrescalerModeToText(int32_t value)
{
    static constexpr const wchar_t* t[] = {L"Divide by 1", L"Divide by 2", L"2/3",   L"4/5",
                                           L"8/9",         L"16/17",       L"32/33", L"Divide by 3"};
    return Lookup(t, value);
}

const wchar_t* OutputPowerDownToText(int32_t value)
{
    static constexpr const wchar_t* t[] = {L"Normal operation", L"Power-down (1)", L"Power-down (2)",
                                           L"Total power-down"};
    return Lookup(t, value);
}

const wchar_t* StatusPinControlToText(int32_t value)
{
    if (value >= 1 && value <= 6)
        return kStatusFrom1[value - 1];
    if (value == 0 || (value >= 7 && value <= 32))
        return kGround;
    if (value >= 33 && value <= 63)
        return kStatusFrom33[value - 33];
    return L"<Unknown>";
}
