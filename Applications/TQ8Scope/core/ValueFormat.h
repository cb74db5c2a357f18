#pragma once
// Values with units as the windows show them, and the conversions of sample
// positions and codes into seconds and volts.
#include <cstdint>
#include <string>

#include "TQ8_64.h"

inline constexpr uint32_t kFormatMicroSign = 0x1; // "µ" rather than "u"

std::wstring FormatVoltage(double volts, uint32_t flags);
// Each step down (s, ms, µs, ns) is taken while the value is below threshold.
std::wstring FormatTime(double seconds, uint32_t flags, double threshold);
std::wstring FormatSampleCount(double count);
std::wstring FormatVoltageRange(double voltsPeakToPeak);
std::wstring FormatFrequencyMHz(double mhz);
// Divides value by 1000 (1024) up to four times while it is at least that,
// giving "K", "M", "G", "T" ("Ki" ... "Ti").
void ScaleToUnitPrefix(double& value, std::wstring& prefix, bool base1024);
// Digits in groups of three, with the C locale's thousands separator or ",".
std::wstring FormatWithThousandsSeparator(uint64_t value);
void FormatVersion32(uint32_t version, std::wstring& text);
void FormatVersion64(uint64_t version, std::wstring& text);
void FormatCustomFirmwareId(uint32_t id, std::wstring& text);

// Time of a sample from the start of the record, shifted by the trigger
// offset; false when the record holds no size or no rate.
bool SampleIndexToTime(uint64_t index, const TQ8_RECORDED_DATA_INFO& info, double& seconds);
// Volts of an unsigned ADC code; false without size or range, for signed
// samples and for sample widths above 32 bits.
bool SampleValueToVolts(double code, const TQ8_RECORDED_DATA_INFO& info, double& volts);
// The record's board name, which need not be terminated within its field.
std::string RecordedBoardName(const TQ8_RECORDED_DATA_INFO& info);

// Text for plain XML: UTF-8, escaped. Empty for null.
std::string XmlEscapeWide(const wchar_t* text);
