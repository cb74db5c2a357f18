#pragma once
// Figures of merit and peak search over a power spectrum of N/2 bins.
// Bins 0 .. 3 hold the DC level and are never a fundamental, harmonic, spur
// or noise bin.
#include "FftResults.h"

#include <cstdint>

// Half-width of the band around the fundamental counted as signal.
int GetSignalBinSpan(int n);

// dB between the raw bin power of a full-scale tone and 0 dBFS, for an
// n-point transform of samples of the given resolution; 0 when either is 0.
uint8_t GetFullScaleDbOffset(int n, int adcBits);

// true when a is listed before b: filled entries by falling level, empty
// entries last.
bool ComparePeaksByLevel(const FftPeak& a, const FftPeak& b);

// Finds the fundamental, its folded 2nd and 3rd harmonics, the largest spur
// and the noise. exclusionPercent widens the band beside the signal that is
// left out of the noise (in percent of the fundamental frequency); it is
// skipped when the rate is 0. 0; -1 for n outside 256 .. 65536; -2 when an
// array is missing.
int AnalyzeSpectrum(int n, const double* power, FftAnalysis* out, double rate, double exclusionPercent);

// Levels from an analysis; -2, with out untouched, when a ratio would divide
// by nothing (no signal, noise or spur power, or no noise bins). The last
// three fields of out are left as they are.
int MetricsFromAnalysis(const FftAnalysis& analysis, int n, double rate, FftMetrics& out);

// Keeps the count highest local maxima (bins 9 .. N/2-2) in peaks, highest
// first, each with the power summed around it (the signal span for the
// highest, +/- 4 bins for the others); unused entries are empty.
void FindSpectrumPeaks(const double* power, int n, FftPeak* peaks, int count);

// Turns the band powers of a peak list into dBFS and bins into frequencies.
void ConvertPeaksToDbfs(FftPeak* peaks, int count, int n, int adcBits, double rate);

// Whole decibels of count bin powers, 10 log10(max(power, 1)) truncated and
// capped at 255, exactly as the logarithm gives them.
void PowerToDbBytes(const double* power, int count, uint8_t* trace);
