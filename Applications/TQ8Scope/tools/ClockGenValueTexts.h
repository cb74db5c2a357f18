#pragma once
// Texts of the clock generators' coded fields; "<Unknown>" outside each list.
#include <cstdint>

const wchar_t* PllPowerDownToText(int32_t value);
const wchar_t* ChargePumpModeToText(int32_t value);
const wchar_t* ChargePumpCurrentToText(int32_t value);
const wchar_t* PrescalerModeToText(int32_t value);
const wchar_t* OutputPowerDownToText(int32_t value);
// The 6-bit STATUS pin control field.
const wchar_t* StatusPinControlToText(int32_t value);
