#pragma once
// The texts of the recorded-data details: rates, sizes, lengths and
// durations as the "General" page shows them.
#include <cstdint>
#include <string>

// "%0.4f %s" in MHz, or in kHz or Hz for small rates.
std::wstring FormatRecordedRate(double rateMHz);
// "%u byte%s", with " (%u bits)" when the bits are not 8 per byte.
std::wstring FormatRecordedSampleSize(uint32_t bytesPerSample, uint32_t bitsPerSample);
// From a minute on "h:mm:ss", below in seconds, ms or μs.
std::wstring FormatRecordedDuration(double seconds);
// Samples (with their base-1024 figure and the duration at the rate, when
// the rate is known), or bytes when the sample size is 0. The rate is that
// of each channel: the duration is of the frames of `channels` samples
// (0 when the count is not known: one sample per frame).
std::wstring FormatRecordedDataLength(uint64_t bytes, uint32_t bytesPerSample, double rateMHz, uint32_t channels);
