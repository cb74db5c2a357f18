#include "CSignalGenerator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "ChannelSelection.h"

namespace tq8 {

CSignalGenerator::CSignalGenerator()
{
    // Distinct tones per channel, so a user can tell the traces apart.
    const double freqs[4] = {10.0, 25.0, 40.0, 55.0};
    for (size_t c = 0; c < 4; ++c)
        m_signals[c].frequencyMHz = freqs[c];
}

void CSignalGenerator::SetSignal(int channel, const ChannelSignal& signal)
{
    m_signals[static_cast<size_t>(channel & 3)] = signal;
}

const ChannelSignal& CSignalGenerator::Signal(int channel) const
{
    return m_signals[static_cast<size_t>(channel & 3)];
}

std::optional<double> CSignalGenerator::CrossingPhase(int channel, double center, int level, int direction) const
{
    const ChannelSignal& s = Signal(channel);
    if (!(s.amplitude > 0.0) || !(s.frequencyMHz > 0.0))
        return std::nullopt;
    double x = (level - center) / s.amplitude;
    if (x <= -1.0 || x >= 1.0)
        return std::nullopt;
    double rising = std::asin(x);
    return direction == 0 ? rising : std::numbers::pi - rising;
}

double CSignalGenerator::HarmonicAmplitude(int channel) const
{
    const ChannelSignal& s = m_signals[static_cast<size_t>(channel)];
    return s.harmonicsDbc > -200.0 ? s.amplitude * std::pow(10.0, s.harmonicsDbc / 20.0) : 0.0;
}

uint8_t CSignalGenerator::SampleAt(int channel, const RenderSetup& setup, double frameFromTrigger, double harmonic,
                                   SimRng& rng) const
{
    const ChannelSignal& s = m_signals[static_cast<size_t>(channel)];
    double t = frameFromTrigger / setup.rateMHz; // microseconds
    double phase = 2.0 * std::numbers::pi * s.frequencyMHz * t + setup.phaseAtTrigger[static_cast<size_t>(channel)];
    double v = setup.center[static_cast<size_t>(channel)] + s.amplitude * std::sin(phase);
    if (s.harmonicsDbc > -200.0)
        v += harmonic * (std::sin(2.0 * phase) + std::sin(3.0 * phase));
    if (s.noise > 0.0)
        v += s.noise * rng.Gauss();
    return static_cast<uint8_t>(std::clamp(std::lround(v), 0l, 255l));
}

void CSignalGenerator::Render(const RenderSetup& setup, uint64_t firstFrame, uint32_t frames, uint8_t* dst,
                              SimRng& rng) const
{
    int count = ChannelCount(setup.selection);
    if (count == 0 || !(setup.rateMHz > 0.0))
        return;
    // Per position of the frame: the physical channel and its harmonic level.
    std::array<int, 4> channel{};
    std::array<double, 4> harmonic{};
    for (int k = 0; k < count; ++k) {
        channel[static_cast<size_t>(k)] = PhysicalChannel(setup.selection, k);
        harmonic[static_cast<size_t>(k)] = HarmonicAmplitude(channel[static_cast<size_t>(k)]);
    }
    for (uint32_t i = 0; i < frames; ++i) {
        uint64_t frame = firstFrame + i;
        double local = static_cast<double>(frame);
        if (setup.framesPerSegment != 0)
            local = static_cast<double>(frame % setup.framesPerSegment);
        double fromTrigger = local - setup.triggerFrame;
        for (size_t k = 0; k < static_cast<size_t>(count); ++k)
            *dst++ = SampleAt(channel[k], setup, fromTrigger, harmonic[k], rng);
    }
}

} // namespace tq8
