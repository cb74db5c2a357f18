#include <gtest/gtest.h>

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
