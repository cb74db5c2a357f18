#include "CFFTOptions.h"
#include "CPersistentOpts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

std::filesystem::path ScratchDir(const std::string& name)
{
    const char* base = std::getenv("VLT_TEST_TMP");
    std::filesystem::path dir = base ? base : std::filesystem::temp_directory_path();
    dir /= "fft_options_" + name + "_" + std::to_string(::getpid());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

} // namespace

TEST(CFFTOptions, Defaults)
{
    const CFFTOptions o;
    EXPECT_EQ(o.flags, 0u);
    EXPECT_EQ(o.fftSize, 8192);
    EXPECT_EQ(o.windowChoice, 3);
    EXPECT_EQ(o.EngineWindowType(), 4);
    EXPECT_EQ(o.grabMode, 1);
    EXPECT_EQ(o.explicitOffset, 0u);
    EXPECT_EQ(o.avgRestartCount, 0);
    EXPECT_EQ(o.maxPeaks, 10);
    EXPECT_EQ(o.peakSort, 0);
    EXPECT_EQ(o.exclusionPercent, 0.0);
}

TEST(CFFTOptions, FreshOptionsGiveTheDefaults)
{
    CPersistentOpts opts;
    CFFTOptions o;
    EXPECT_TRUE(o.Load(opts));
    EXPECT_EQ(o.fftSize, 8192);
    EXPECT_EQ(o.windowChoice, 3);
    EXPECT_EQ(o.grabMode, 1);
    EXPECT_EQ(o.flags, 0u);
    EXPECT_EQ(o.maxPeaks, 10);
}

TEST(CFFTOptions, RoundTripThroughTheOptionsFile)
{
    const auto dir = ScratchDir("roundtrip");
    const std::wstring path = (dir / "DefWsOpts.xml").wstring();
    CFFTOptions written;
    written.flags = 0x3;
    written.fftSize = 65536;
    written.windowChoice = 0;
    written.grabMode = 2;
    written.explicitOffset = 0xFFFFFFFFFFFFFFFFull;
    written.avgRestartCount = -7;
    written.maxPeaks = 64;
    written.peakSort = static_cast<int32_t>(0x80000002u);
    written.exclusionPercent = 12.5;
    {
        CPersistentOpts opts;
        written.Save(opts);
        ASSERT_TRUE(opts.Save(path.c_str()));
    }
    CPersistentOpts opts;
    ASSERT_TRUE(opts.Load(path.c_str()));
    std::wstring text;
    ASSERT_TRUE(opts.GetItemString(L"fft_opts_tdexplicit", text));
    EXPECT_EQ(text, L"18446744073709551615");
    ASSERT_TRUE(opts.GetItemString(L"fft_opts_peaksort", text));
    EXPECT_EQ(text, L"-2147483646");
    CFFTOptions read;
    EXPECT_TRUE(read.Load(opts));
    EXPECT_EQ(read.flags, written.flags);
    EXPECT_EQ(read.fftSize, written.fftSize);
    EXPECT_EQ(read.windowChoice, written.windowChoice);
    EXPECT_EQ(read.grabMode, written.grabMode);
    EXPECT_EQ(read.explicitOffset, written.explicitOffset);
    EXPECT_EQ(read.avgRestartCount, written.avgRestartCount);
    EXPECT_EQ(read.maxPeaks, written.maxPeaks);
    EXPECT_EQ(read.peakSort, written.peakSort);
    EXPECT_EQ(read.exclusionPercent, 0.0); // not stored
    std::filesystem::remove_all(dir);
}

TEST(CFFTOptions, MalformedItemLeavesItsFieldAndTheOthersAreStillRead)
{
    CPersistentOpts opts;
    opts.SetItem(L"fft_opts_flags", L"-1");
    opts.SetItem(L"fft_opts_fftsize", L"4096");
    opts.SetItem(L"fft_opts_maxpeaks", L"12 peaks");
    opts.SetItem(L"fft_opts_tdexplicit", L"-5");
    opts.SetItem(L"fft_opts_peaksort", L"1");
    CFFTOptions o;
    o.flags = 0x2;
    o.maxPeaks = 33;
    o.explicitOffset = 9;
    EXPECT_FALSE(o.Load(opts));
    EXPECT_EQ(o.flags, 0x2u);
    EXPECT_EQ(o.maxPeaks, 33);
    EXPECT_EQ(o.explicitOffset, 9u);
    EXPECT_EQ(o.fftSize, 4096);
    EXPECT_EQ(o.peakSort, 1);
}

TEST(CFFTOptions, CopiesEveryField)
{
    CFFTOptions a;
    a.flags = 1;
    a.fftSize = 256;
    a.exclusionPercent = 3.5;
    a.explicitOffset = 77;
    CFFTOptions b(a);
    EXPECT_EQ(b.fftSize, 256);
    EXPECT_EQ(b.exclusionPercent, 3.5);
    CFFTOptions c;
    c = a;
    EXPECT_EQ(c.explicitOffset, 77u);
    EXPECT_EQ(c.flags, 1u);
}
