#pragma once
// Result records of the spectrum engine.
#include <cstdint>

// One entry of the peak list. An empty entry has bin -1.
struct FftPeak {
    int32_t bin = -1;
    double level = 0.0;     // dB relative to full scale once converted
    double frequency = 0.0; // in the unit of the caller's rate
};

// Figures of merit of one spectrum. Frequencies are in the unit of the rate
// the caller passes.
struct FftMetrics {
    double snr = 0.0;          // dB
    double sinad = 0.0;        // dB
    double sfdr = 0.0;         // dB
    double thd = 0.0;          // dB
    double harmonic2 = 0.0;    // dBc
    double harmonic3 = 0.0;    // dBc
    double fundamental = 0.0;  // frequency
    double rate = 0.0;
    double fftSize = 0.0;
    double rmsNoiseCounts = 0.0;
    double rmsTotalCounts = 0.0;
    double minSample = 0.0;
    double maxSample = 0.0;
    double meanSample = 0.0;
};
static_assert(sizeof(FftMetrics) == 14 * sizeof(double));

// Sums behind the figures of merit.
struct FftAnalysis {
    double signal = 0.0;
    double noise = 0.0;
    double harmonic2 = 0.0;
    double harmonic3 = 0.0;
    double spur = 0.0;
    double fundamentalFraction = 0.0; // of the sampling rate
    double fundamentalBin = 0.0;
    double noiseBins = 0.0;
    double moment = 0.0;              // sum of bin x power over the signal span
    double total = 0.0;
};
static_assert(sizeof(FftAnalysis) == 10 * sizeof(double));
