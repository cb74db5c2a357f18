#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "CSignalGenerator.h"

using namespace tq8;

namespace {
std::vector<uint8_t> RenderOne(const ChannelSignal& sig, double rate, uint32_t frames, uint64_t seed = 1)
{
    CSignalGenerator gen;
    gen.SetSignal(0, sig);
    RenderSetup setup;
    setup.selection = 5; // Ch1 only
    setup.rateMHz = rate;
    setup.center = {128, 128, 128, 128};
    std::vector<uint8_t> out(frames);
    SimRng rng(seed);
    gen.Render(setup, 0, frames, out.data(), rng);
    return out;
}

double DftMagnitude(const std::vector<uint8_t>& x, double cyclesPerSample)
{
    double re = 0, im = 0;
    for (size_t n = 0; n < x.size(); ++n) {
        double a = 2 * std::numbers::pi * cyclesPerSample * static_cast<double>(n);
        re += (x[n] - 128.0) * std::cos(a);
        im -= (x[n] - 128.0) * std::sin(a);
    }
    return std::hypot(re, im);
}
} // namespace

TEST(CSignalGenerator, ToneHasTheConfiguredFrequency)
{
    ChannelSignal sig{37.5, 90, 0, 0, -300};
    const uint32_t frames = 15000;
    auto x = RenderOne(sig, 1500, frames);
    int rising = 0;
    for (size_t i = 1; i < x.size(); ++i)
        rising += x[i - 1] < 128 && x[i] >= 128;
    double expected = frames * 37.5 / 1500;
    EXPECT_NEAR(rising, expected, 1.0);
    // The spectrum peaks at the tone, not beside it.
    double at = DftMagnitude(x, 37.5 / 1500);
    EXPECT_GT(at, 20 * DftMagnitude(x, 30.0 / 1500));
    EXPECT_GT(at, 20 * DftMagnitude(x, 45.0 / 1500));
}

TEST(CSignalGenerator, SamplesAreClippedToEightBits)
{
    ChannelSignal sig{10, 400, 0, 0, -300};
    auto x = RenderOne(sig, 1500, 3000);
    EXPECT_EQ(*std::min_element(x.begin(), x.end()), 0);
    EXPECT_EQ(*std::max_element(x.begin(), x.end()), 255);
}

TEST(CSignalGenerator, SameSeedSameNoiseOtherSeedOtherNoise)
{
    ChannelSignal sig{10, 50, 3, 0, -60};
    EXPECT_EQ(RenderOne(sig, 1500, 4096, 5), RenderOne(sig, 1500, 4096, 5));
    EXPECT_NE(RenderOne(sig, 1500, 4096, 5), RenderOne(sig, 1500, 4096, 6));
}

TEST(CSignalGenerator, WritingPastTheCachesGivesTheSameSamples)
{
    // Every channel count, at an aligned and an unaligned destination, over
    // a length that ends inside a vector step.
    CSignalGenerator gen;
    for (int c = 0; c < 4; ++c)
        gen.SetSignal(c, ChannelSignal{9.0 + 13 * c, 90, 4, 0, -30});
    constexpr uint32_t kFrames = 5003;
    for (int selection : {0, 1, 4, 5}) {
        RenderSetup setup;
        setup.selection = selection;
        setup.center = {128, 128, 128, 128};
        for (size_t shift : {0u, 1u}) {
            std::vector<uint8_t> cached(kFrames * 4), streamed(kFrames * 4 + 64);
            auto* at = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(streamed.data()) + 31) / 32 * 32) + shift;
            SimRng a(3), b(3);
            gen.Render(setup, 77, kFrames, cached.data(), a);
            gen.Render(setup, 77, kFrames, at, b, true);
            EXPECT_TRUE(std::equal(cached.begin(), cached.end(), at)) << "selection " << selection << " shift " << shift;
        }
    }
}

TEST(CSignalGenerator, CrossingPhaseHonoursLevelAndDirection)
{
    CSignalGenerator gen;
    gen.SetSignal(0, ChannelSignal{10, 100, 0, 0, -300});
    auto rising = gen.CrossingPhase(0, 128, 178, 0);
    auto falling = gen.CrossingPhase(0, 128, 178, 1);
    ASSERT_TRUE(rising && falling);
    EXPECT_NEAR(128 + 100 * std::sin(*rising), 178, 1e-9);
    EXPECT_GT(std::cos(*rising), 0); // rising slope
    EXPECT_LT(std::cos(*falling), 0);
    EXPECT_FALSE(gen.CrossingPhase(0, 128, 250, 0)); // never reached
}

TEST(CSignalGenerator, FollowsTheExactWaveformAcrossBlocksAndSegments)
{
    // Without noise every sample is the rounded tone with harmonics, within
    // one code, far from frame 0 and when each segment restarts the tone.
    CSignalGenerator gen;
    for (int c = 0; c < 4; ++c)
        gen.SetSignal(c, ChannelSignal{7.3 + 11.1 * c, 60.0 + 20 * c, 0, 0, -20});
    const double h = [] { return std::pow(10.0, -20 / 20.0); }();
    for (uint32_t segment : {0u, 1000u}) {
        RenderSetup setup;
        setup.selection = 0;
        setup.rateMHz = 1500;
        setup.triggerFrame = 123.25;
        setup.framesPerSegment = segment;
        setup.phaseAtTrigger = {0.1, 1.7, 3.3, 5.9};
        setup.center = {128, 120, 135, 128};
        const uint64_t first = 3'000'000'017ull;
        const uint32_t frames = 20000;
        std::vector<uint8_t> out(frames * 4);
        SimRng rng(1);
        gen.Render(setup, first, frames, out.data(), rng);
        int worst = 0;
        for (uint32_t i = 0; i < frames; ++i) {
            uint64_t frame = first + i;
            double local = static_cast<double>(segment ? frame % segment : frame);
            for (size_t c = 0; c < 4; ++c) {
                const ChannelSignal& s = gen.Signal(static_cast<int>(c));
                double phase = std::fmod(2 * std::numbers::pi * s.frequencyMHz * (local - setup.triggerFrame) / 1500,
                                         2 * std::numbers::pi)
                               + setup.phaseAtTrigger[c];
                double v = setup.center[c] + s.amplitude * std::sin(phase)
                           + s.amplitude * h * (std::sin(2 * phase) + std::sin(3 * phase));
                long expected = std::clamp(std::lround(v), 0l, 255l);
                worst = std::max(worst, static_cast<int>(std::abs(out[i * 4 + c] - expected)));
            }
        }
        EXPECT_LE(worst, 1) << "segment " << segment;
    }
}

TEST(CSignalGenerator, NoiseHasTheConfiguredLevelAndANormalShape)
{
    auto x = RenderOne(ChannelSignal{10, 0, 6, 0, -300}, 1500, 400000, 9);
    double sum = 0, squares = 0;
    size_t inOneSigma = 0, beyondTwo = 0;
    for (uint8_t v : x) {
        double d = v - 128.0;
        sum += d;
        squares += d * d;
        inOneSigma += std::abs(d) <= 6;
        beyondTwo += std::abs(d) > 12;
    }
    const double n = static_cast<double>(x.size());
    EXPECT_NEAR(sum / n, 0.0, 0.1);
    EXPECT_NEAR(std::sqrt(squares / n - (sum / n) * (sum / n)), 6.0 * std::sqrt(1 + 1 / (12 * 36.0)), 0.15);
    // Rounding to whole codes widens the band a little.
    EXPECT_NEAR(inOneSigma / n, 0.721, 0.015); // P(|Z| <= 6.5 / 6)
    EXPECT_NEAR(beyondTwo / n, 0.037, 0.005);  // P(|Z| > 12.5 / 6)
}
