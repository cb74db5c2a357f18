#pragma once
// The analog inputs of a board: per channel a tone with harmonics, noise and
// a DC level, sampled and quantized to 8-bit codes as board memory holds them.
#include <array>
#include <cstdint>
#include <optional>

#include "SimRng.h"

namespace tq8 {

struct ChannelSignal {
    double frequencyMHz = 10.0;
    double amplitude = 100.0;     // peak, in codes
    double noise = 1.0;           // RMS, in codes
    double offset = 0.0;          // codes relative to mid-scale
    double harmonicsDbc = -60.0;  // 2nd and 3rd harmonic; <= -200 none
};

// How one acquisition places the waveform in time.
struct RenderSetup {
    int selection = 0;
    double rateMHz = 1500.0;              // frames per microsecond
    double triggerFrame = 0.0;            // frame of the trigger event
    uint32_t framesPerSegment = 0;        // 0: one trigger for the whole run
    std::array<double, 4> phaseAtTrigger{}; // radians, per physical channel
    std::array<double, 4> center{};         // mean code, per physical channel
};

class CSignalGenerator {
public:
    CSignalGenerator();

    void SetSignal(int channel, const ChannelSignal& signal);
    const ChannelSignal& Signal(int channel) const;

    // Phase at which the channel's tone crosses level in the direction
    // (0 rising, 1 falling); none when the tone never reaches it.
    std::optional<double> CrossingPhase(int channel, double center, int level, int direction) const;

    // Interleaved frames [firstFrame, firstFrame + frames) of the selection.
    // The noise of each sample depends on its frame, its place in the frame
    // and one draw from rng per call. bypassCaches: dst goes on to another
    // thread or a file and is not read here again, so it is written past
    // the caches; the stores are complete when Render returns.
    void Render(const RenderSetup& setup, uint64_t firstFrame, uint32_t frames, uint8_t* dst, SimRng& rng,
                bool bypassCaches = false) const;

    // The counting test pattern in place of the signal: sample of frame n
    // on physical channel c is (n + 64 c) mod 256.
    static void RenderCounting(int selection, uint64_t firstFrame, uint32_t frames, uint8_t* dst);

private:
    double HarmonicAmplitude(int channel) const;

    std::array<ChannelSignal, 4> m_signals;
};

} // namespace tq8
