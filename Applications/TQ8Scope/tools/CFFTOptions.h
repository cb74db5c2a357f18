#pragma once
// Settings of the spectrum window: transform size, window, where the block
// of samples is taken from, averaging and peak tracking. All but the
// exclusion percent are kept in the application's options file.
#include <cstdint>

class CPersistentOpts;

class CFFTOptions {
public:
    static constexpr uint32_t kFlagAveraging = 0x1;
    static constexpr uint32_t kFlagPeakTracking = 0x2;

    enum WindowChoice : int32_t { kRectangular = 0, kHanning = 1, kHamming = 2, kBlackmanHarris = 3 };
    enum GrabMode : int32_t { kGrabFromStart = 0, kGrabFromSelection = 1, kGrabFromOffset = 2 };

    CFFTOptions();

    // Reads the items into the record; a missing or malformed item leaves
    // its field as it was. false when any item was malformed (the options
    // hold the reason).
    bool Load(CPersistentOpts& opts);
    void Save(CPersistentOpts& opts) const;

    // The engine's window type for the choice.
    int32_t EngineWindowType() const { return windowChoice + 1; }

    uint32_t flags;
    int32_t fftSize;
    int32_t windowChoice;
    int32_t grabMode;
    uint64_t explicitOffset;
    int32_t avgRestartCount;
    int32_t maxPeaks;
    int32_t peakSort; // column in the low 24 bits, bit 31 for reversed order
    double exclusionPercent; // not stored
};
