#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "CFreqDomainController.h"
#include "FreqDomainFakes.h"

using namespace fd_test;

namespace {

constexpr int kN = 8192;

// Interleaved unsigned 16-bit frames: channel c carries a tone on bin
// bins[c] of a kN-point transform.
std::vector<uint16_t> Tones(const std::vector<int>& bins, uint64_t frames)
{
    std::vector<uint16_t> out;
    out.reserve(frames * bins.size());
    for (uint64_t i = 0; i < frames; ++i)
        for (int bin : bins)
            out.push_back(static_cast<uint16_t>(
                std::lround(32768.0 + 20000.0 * std::sin(2 * std::numbers::pi * bin * double(i) / kN))));
    return out;
}

class FreqDomainControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.main = &main;
        controller.AttachPlot(&own);
    }
    FakeSource& AddSource(uint32_t id, const std::wstring& name, std::vector<int> bins, double rate,
                          uint64_t frames = kN)
    {
        sources.push_back(std::make_unique<FakeSource>(name, static_cast<uint32_t>(bins.size()), VT_UI2));
        FakeSource& s = *sources.back();
        s.SetFrames(Tones(bins, frames));
        main.AddSource(id, &s, id * 4);
        host.SetRate(id, rate, 16);
        return s;
    }
    CFFTOptions WithFlags(uint32_t flags) const
    {
        CFFTOptions o = controller.Options();
        o.flags = flags;
        return o;
    }
    CFreqDomainController::Display ShowTab(int index)
    {
        controller.SelectTab(index);
        return controller.GetDisplay();
    }

    FakePlot main;
    FakePlot own;
    FakeHost host;
    std::vector<std::unique_ptr<FakeSource>> sources; // outlive the controller
    CFreqDomainController controller{host};
};

} // namespace

TEST_F(FreqDomainControllerTest, InterleavedSourceIsReadOncePerUpdate)
{
    FakeSource& source = AddSource(3, L"Board", {100, 200, 300, 400}, 250.0);
    controller.OnSourceAdded(3);
    ASSERT_EQ(controller.Tabs().size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(controller.TabText(i), L"Board - Ch. " + std::to_wstring(i + 1));
        EXPECT_EQ(controller.Channel(i).rate, 250.0);
        EXPECT_EQ(controller.Channel(i).chanId, 12u + i);
    }
    EXPECT_EQ(source.reads, 1);
    EXPECT_TRUE(controller.UpdateSpectra(-1));
    EXPECT_EQ(source.reads, 2);
    // Each channel's own tone, from its own elements.
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(controller.Channel(i).current.metrics.fundamental, 250.0 * 100 * (i + 1) / kN, 0.01);
    EXPECT_EQ(own.traces.size(), 4u);
    EXPECT_TRUE(controller.WithChannels());
    EXPECT_EQ(own.texts["LabelXR"], L"125 MHz");
    EXPECT_EQ(own.ints["PageWidth"], kN / 2);
    EXPECT_EQ(own.texts["LabelYB"], L"-" + std::to_wstring(CFFT::GetFullScaleDbOffset(kN, 16)));
}

TEST_F(FreqDomainControllerTest, AveragingRestartsAfterItsCount)
{
    AddSource(1, L"File", {100}, 100.0);
    CFFTOptions o = WithFlags(CFFTOptions::kFlagAveraging);
    o.avgRestartCount = 4;
    controller.ApplyOptions(o);
    controller.OnSourceAdded(1); // the first spectrum
    ASSERT_EQ(controller.Tabs().size(), 2u);
    EXPECT_EQ(controller.TabText(1), L"File - Ch. 1 (Avg.)");
    std::vector<std::wstring> shown{ShowTab(1).averaged};
    for (int i = 0; i < 4; ++i) {
        controller.UpdateSpectra(-1);
        shown.push_back(controller.GetDisplay().averaged);
    }
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"1", L"2", L"3", L"0", L"1"}));
    EXPECT_TRUE(controller.GetDisplay().averagedTab);
    EXPECT_NE(own.FindTrace(L"File - Ch. 1(Avg)"), nullptr);
    // Averaging off takes the averaged tabs and traces away.
    controller.ApplyOptions(WithFlags(0));
    EXPECT_EQ(controller.Tabs().size(), 1u);
    EXPECT_EQ(own.FindTrace(L"File - Ch. 1(Avg)"), nullptr);
    EXPECT_EQ(controller.CurrentTab(), 0);
}

TEST_F(FreqDomainControllerTest, BlockStartFollowsTheGrabMode)
{
    FakeSource& source = AddSource(1, L"File", {100}, 100.0, 3 * kN);
    controller.OnSourceAdded(1); // grab mode 1, nothing selected
    EXPECT_EQ(source.lastOffset, 0u);
    EXPECT_EQ(controller.GetDisplay().fftSize, L"8192");
    main.selStart = 700;
    controller.OnPlotSelectionChanged();
    EXPECT_EQ(source.lastOffset, 700u);
    EXPECT_EQ(controller.GetDisplay().fftSize, L"8192 (@Src+700)");
    CFFTOptions o = controller.Options();
    o.grabMode = CFFTOptions::kGrabFromOffset;
    o.explicitOffset = 5000;
    controller.ApplyOptions(o);
    controller.OnPlotSelectionChanged(); // not the selection's mode: nothing
    EXPECT_EQ(source.lastOffset, 700u);
    controller.UpdateSpectra(1);
    EXPECT_EQ(source.lastOffset, 5000u);
    o.grabMode = CFFTOptions::kGrabFromStart;
    controller.ApplyOptions(o);
    controller.UpdateSpectra(-1);
    EXPECT_EQ(source.lastOffset, 0u);
}

TEST_F(FreqDomainControllerTest, ShortBlockIsPaddedWithZeros)
{
    FakeSource& source = AddSource(1, L"File", {100}, 100.0);
    source.SetFrames(std::vector<uint16_t>(kN, 60000));
    controller.OnSourceAdded(1);
    EXPECT_EQ(controller.GetDisplay().minMax, L"60000, 60000");
    source.SetFrames(std::vector<uint16_t>(kN / 2, 100));
    controller.UpdateSpectra(-1);
    EXPECT_EQ(controller.GetDisplay().minMax, L"0, 100");
}

TEST_F(FreqDomainControllerTest, SizeChangeReplotsFromLargerTracesAndResetsAverages)
{
    FakeSource& source = AddSource(1, L"File", {100, 300}, 100.0, 65536);
    controller.ApplyOptions(WithFlags(CFFTOptions::kFlagAveraging));
    controller.OnSourceAdded(1);
    controller.UpdateSpectra(-1);
    EXPECT_EQ(controller.Channel(0).averageCount, 2);
    const int reads = source.reads;
    CFFTOptions o = controller.Options();
    o.fftSize = 65536;
    controller.ApplyOptions(o); // the fake reads every trace it holds on each call
    EXPECT_EQ(source.reads, reads); // recomputed only at the next update
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(controller.Channel(i).preparedSize, 65536);
        EXPECT_EQ(controller.Channel(i).averageCount, 0);
        EXPECT_GE(controller.Channel(i).current.trace->rgsabound[0].cElements, 32768u);
    }
    ASSERT_EQ(own.traces.size(), 4u); // the old spectra, shown from the new arrays
    for (auto& [id, t] : own.traces)
        EXPECT_EQ(t.samples, kN / 2u);
    controller.UpdateSpectra(-1);
    EXPECT_EQ(own.ints["PageWidth"], 32768);
    for (auto& [id, t] : own.traces)
        EXPECT_EQ(t.samples, 32768u);
    own.Touch();
}

TEST_F(FreqDomainControllerTest, PeakHeaderClicksSortTheList)
{
    AddSource(1, L"File", {100}, 100.0);
    sources.back()->SetFrames([] {
        std::vector<uint16_t> x(kN);
        for (int i = 0; i < kN; ++i) {
            const double t = 2 * std::numbers::pi * double(i) / kN;
            x[i] = static_cast<uint16_t>(std::lround(32768 + 20000 * std::sin(100 * t) + 3000 * std::sin(700 * t) +
                                                     8000 * std::sin(1500 * t)));
        }
        return x;
    }());
    CFFTOptions o = WithFlags(CFFTOptions::kFlagPeakTracking);
    o.maxPeaks = 3;
    controller.ApplyOptions(o);
    controller.OnSourceAdded(1);
    auto bins = [&] {
        std::vector<std::wstring> out;
        for (auto& row : controller.GetDisplay().peaks)
            out.push_back(row.bin);
        return out;
    };
    using V = std::vector<std::wstring>;
    EXPECT_EQ(bins(), (V{L"100", L"1500", L"700"})); // level, descending
    controller.ClickPeakHeader(0);
    EXPECT_EQ(bins(), (V{L"700", L"1500", L"100"}));
    controller.ClickPeakHeader(0);
    EXPECT_EQ(bins(), (V{L"100", L"1500", L"700"}));
    controller.ClickPeakHeader(2);
    EXPECT_EQ(bins(), (V{L"1500", L"700", L"100"}));
    EXPECT_EQ(controller.Options().peakSort, 2);
    const auto rows = controller.GetDisplay().peaks;
    EXPECT_EQ(rows[0].frequency, L"18.311 MHz");
    EXPECT_TRUE(controller.ActivatePeak(rows[0].entry));
    EXPECT_EQ(own.selStart, 1500u);
    EXPECT_EQ(own.selEnd, 1500u);
}

TEST_F(FreqDomainControllerTest, RemovedSourcesTakeTheirTabsAndTraces)
{
    AddSource(1, L"A", {100, 200}, 100.0);
    AddSource(2, L"B", {300}, 100.0);
    controller.ApplyOptions(WithFlags(CFFTOptions::kFlagAveraging));
    controller.AddAllSources();
    ASSERT_EQ(controller.Tabs().size(), 6u);
    EXPECT_EQ(controller.TabText(2), L"B - Ch. 1");
    EXPECT_EQ(controller.TabText(5), L"B - Ch. 1 (Avg.)");
    EXPECT_EQ(own.traces.size(), 6u);
    controller.SelectTab(5);
    EXPECT_EQ(controller.RemoveSourceChannels(1), 2);
    EXPECT_EQ(controller.Tabs().size(), 2u);
    EXPECT_EQ(controller.TabText(controller.CurrentTab()), L"B - Ch. 1 (Avg.)");
    EXPECT_EQ(own.traces.size(), 2u);
    EXPECT_TRUE(controller.WithChannels());
    EXPECT_EQ(controller.RemoveSourceChannels(2), 1);
    EXPECT_TRUE(own.traces.empty());
    EXPECT_FALSE(controller.WithChannels());
    EXPECT_EQ(controller.CurrentTab(), -1);
    EXPECT_EQ(controller.GetDisplay().snr, L"0.000 dB");
}

TEST_F(FreqDomainControllerTest, RefusedOrUnreadableSourcesKeepTheirFigures)
{
    FakeSource& source = AddSource(1, L"File", {100}, 100.0);
    source.offerArbiter = true;
    controller.OnSourceAdded(1);
    const std::wstring snr = controller.GetDisplay().snr;
    source.SetFrames(Tones({900}, kN));
    source.arbiterAnswer = S_FALSE;
    EXPECT_FALSE(controller.UpdateSpectra(-1));
    EXPECT_EQ(source.reads, 1);
    EXPECT_EQ(controller.GetDisplay().snr, snr);
    source.arbiterAnswer = S_OK;
    EXPECT_TRUE(controller.UpdateSpectra(-1));
    EXPECT_NEAR(controller.Channel(0).current.metrics.fundamental, 100.0 * 900 / kN, 0.01);

    // A type the engine does not take fails the same way.
    sources.push_back(std::make_unique<FakeSource>(L"Text", 1, VT_BSTR));
    main.AddSource(2, sources.back().get(), 8);
    controller.OnSourceAdded(2);
    EXPECT_FALSE(controller.UpdateSpectra(2));
    EXPECT_EQ(controller.Channel(1).current.traceId, CFftChannel::kNoTrace);
}

TEST(FreqDomainBlock, SizeIsComputedWithoutWrapping)
{
    uint64_t bytes = 0;
    EXPECT_TRUE(CFreqDomainController::BlockBytes(65536, 4, 2, bytes));
    EXPECT_EQ(bytes, 524288u);
    // 4 GiB: zero in 32 bits.
    EXPECT_FALSE(CFreqDomainController::BlockBytes(65536, 8192, 8, bytes));
    EXPECT_EQ(bytes, uint64_t(1) << 32);
    EXPECT_FALSE(CFreqDomainController::BlockBytes(65536, 70000, 1, bytes)); // more elements than 32 bits
    EXPECT_FALSE(CFreqDomainController::BlockBytes(65536, 4, 0, bytes));     // no fixed sample size
}

TEST_F(FreqDomainControllerTest, SilentBlockKeepsPeaksInDecibels)
{
    FakeSource& source = AddSource(1, L"File", {100}, 100.0);
    CFFTOptions o = WithFlags(CFFTOptions::kFlagPeakTracking);
    o.maxPeaks = 4;
    controller.ApplyOptions(o);
    controller.OnSourceAdded(1);
    const std::wstring snr = controller.GetDisplay().snr;
    source.SetFrames(std::vector<uint16_t>(kN, 0));
    controller.UpdateSpectra(-1); // no signal: the figures stay
    EXPECT_EQ(controller.GetDisplay().snr, snr);
    for (const FftPeak& peak : controller.Channel(0).current.peaks)
        EXPECT_LE(peak.level, 0.0);
}

TEST_F(FreqDomainControllerTest, HiddenResultStaysHiddenWhenReplotted)
{
    AddSource(1, L"File", {100}, 100.0);
    controller.OnSourceAdded(1);
    controller.SetResultHidden(true);
    const uint32_t trace = static_cast<uint32_t>(controller.Channel(0).current.traceId);
    EXPECT_FALSE(own.visible[trace * FakePlot::kChannelIdStep]);
    controller.UpdateSpectra(-1);
    const uint32_t again = static_cast<uint32_t>(controller.Channel(0).current.traceId);
    EXPECT_NE(again, trace);
    EXPECT_FALSE(own.visible[again * FakePlot::kChannelIdStep]);
    EXPECT_TRUE(controller.GetDisplay().hidden);
}

TEST_F(FreqDomainControllerTest, LowSnrEndsContinuousModeOnlyWhenUnsafe)
{
    AddSource(1, L"File", {100}, 100.0);
    host.minSnr = 1000.0;
    host.continuous = true;
    controller.OnSourceAdded(1);
    EXPECT_TRUE(host.continuous);
    host.unsafe = true;
    controller.UpdateSpectra(-1);
    EXPECT_FALSE(host.continuous);
}

TEST_F(FreqDomainControllerTest, LabelProviderTexts)
{
    IScopeTQ8CustomLabelProvider* labels = own.provider;
    ASSERT_NE(labels, nullptr);
    BSTR text = nullptr;
    EXPECT_EQ(labels->GetXAxisLabel(10, &text), E_NOTIMPL); // no rate, no size yet
    AddSource(1, L"File", {100}, 100.0);
    controller.OnSourceAdded(1);
    ASSERT_EQ(labels->GetXAxisLabel(4096, &text), S_OK);
    EXPECT_STREQ(text, L"50 MHz");
    SysFreeString(text);
    ASSERT_EQ(labels->GetXSelLabel(100, &text), S_OK);
    EXPECT_STREQ(text, L"1.22 MHz");
    SysFreeString(text);
    ASSERT_EQ(labels->GetXSelSpanLabel(0, 8192, &text), S_OK);
    EXPECT_STREQ(text, L"(\u0394 100.00 MHz)");
    SysFreeString(text);
    EXPECT_EQ(labels->GetYAxisLabel(1.0, &text), E_NOTIMPL);
    EXPECT_EQ(labels->GetSampleTipLabel(0, 0, VARIANT(), &text), E_NOTIMPL);
    controller.Close();
    EXPECT_EQ(own.provider, nullptr);
    EXPECT_EQ(own.refs, 1u);
    EXPECT_EQ(controller.ChannelCount(), 0u);
}

TEST_F(FreqDomainControllerTest, OptionsAreLoadedCheckedAndSaved)
{
    host.options.SetItemInt(L"fft_opts_fftsize", 1000); // not a size the engine takes
    host.options.SetItemUInt(L"fft_opts_flags", CFFTOptions::kFlagPeakTracking);
    host.options.SetItemInt(L"fft_opts_maxpeaks", 5);
    controller.LoadOptions();
    EXPECT_EQ(controller.Options().fftSize, 8192);
    EXPECT_EQ(controller.Engine().GetMaxPeaks(), 5);
    EXPECT_TRUE(controller.GetDisplay().peakList);
    controller.ClickPeakHeader(1);
    controller.Close();
    int32_t sort = 0;
    host.options.GetItemInt(L"fft_opts_peaksort", sort, 0);
    EXPECT_EQ(sort, 1);
}

TEST_F(FreqDomainControllerTest, SourceAnnouncedTwiceKeepsOneSetOfChannels)
{
    AddSource(1, L"File", {100, 200}, 100.0);
    controller.OnSourceAdded(1);
    controller.OnSourceAdded(1);
    EXPECT_EQ(controller.ChannelCount(), 2u);
    EXPECT_EQ(controller.Tabs().size(), 2u);
    EXPECT_EQ(own.traces.size(), 2u);
}

namespace {

// Takes the right-hand frequency label as a real plot does: when it draws
// again after a scale change.
class LabelTakingPlot : public FakePlot {
public:
    HRESULT put_Redraw(VARIANT_BOOL v) override
    {
        BSTR text = nullptr;
        if (v && provider && ints.count("PageWidth") &&
            provider->GetXAxisLabel(uint64_t(ints["PageWidth"] - 1), &text) == S_OK) {
            rightLabel = text;
            SysFreeString(text);
        }
        return FakePlot::put_Redraw(v);
    }
    std::wstring rightLabel;
};

} // namespace

TEST_F(FreqDomainControllerTest, NewSizeGivesTheRedrawnScaleItsFrequencies)
{
    LabelTakingPlot plot;
    CFreqDomainController window{host};
    window.AttachPlot(&plot);
    AddSource(1, L"File", {100}, 100.0, 65536);
    window.OnSourceAdded(1);
    CFFTOptions o = window.Options();
    o.fftSize = 65536;
    window.ApplyOptions(o);
    window.UpdateSpectra(-1);
    EXPECT_EQ(plot.rightLabel, L"50.00 MHz");
    window.Close();
}

TEST_F(FreqDomainControllerTest, TheBoardIsReadOnlyBetweenAcquisitions)
{
    FakeSource& board = AddSource(3, L"Board", {100, 300}, 250.0, 2 * kN);
    FakeSource arbiter(L"Document", 1, VT_UI1); // the board document, as arbiter
    host.arbiters[3] = &arbiter;
    CFFTOptions o = controller.Options();
    o.grabMode = CFFTOptions::kGrabFromSelection;
    controller.ApplyOptions(o);
    controller.OnSourceAdded(3);
    ASSERT_EQ(board.reads, 1);
    const double snr = controller.Channel(1).current.metrics.snr;

    arbiter.arbiterAnswer = S_FALSE; // acquiring
    main.selStart = 1000;
    controller.OnPlotSelectionChanged();
    EXPECT_EQ(board.reads, 1);
    EXPECT_NE(own.FindTrace(L"Board - Ch. 2"), nullptr); // the last spectrum stays
    EXPECT_EQ(controller.Channel(1).current.metrics.snr, snr);
    EXPECT_TRUE(controller.GetDisplay().note.empty());

    arbiter.arbiterAnswer = S_OK; // the acquisition completed and asks for the update
    EXPECT_TRUE(controller.UpdateSpectra(3));
    EXPECT_EQ(board.reads, 2);
    EXPECT_EQ(board.lastOffset, 1000u);
}

const std::wstring kStale = L"Trace, figures and peaks are those of the last good block; the new one gave none. ";

TEST_F(FreqDomainControllerTest, AFailedReadKeepsTheLastSpectrumAndSaysWhy)
{
    FakeSource& board = AddSource(3, L"Board", {100, 300}, 250.0);
    FakeSource& file = AddSource(5, L"File", {200}, 100.0);
    controller.ApplyOptions(WithFlags(CFFTOptions::kFlagPeakTracking));
    controller.OnSourceAdded(3);
    controller.OnSourceAdded(5);
    const CFreqDomainController::Display good = ShowTab(1);
    ASSERT_NE(good.snr, L"0.000 dB");
    ASSERT_FALSE(good.peaks.empty());

    board.failWith = E_FAIL;
    board.errorText = L"Synchronous data transfer failed: no board";
    file.failWith = E_ABORT;
    EXPECT_FALSE(controller.UpdateSpectra(-1));
    for (int tab : {0, 1})
        EXPECT_EQ(ShowTab(tab).note, kStale + board.errorText);
    const CFreqDomainController::Display kept = ShowTab(1);
    for (auto [now, was] : {std::pair{&kept.snr, &good.snr}, {&kept.fftSize, &good.fftSize},
                            {&kept.rate, &good.rate}, {&kept.fundamental, &good.fundamental}})
        EXPECT_EQ(*now, *was);
    ASSERT_EQ(kept.peaks.size(), good.peaks.size());
    EXPECT_EQ(kept.peaks[0].power, good.peaks[0].power);
    EXPECT_NE(own.FindTrace(L"Board - Ch. 1"), nullptr);
    EXPECT_NE(own.FindTrace(L"Board - Ch. 2"), nullptr);
    EXPECT_EQ(ShowTab(2).note, kStale + L"Failed to obtain data for data source 5 (HRESULT=0x80004004)");

    board.failWith = S_OK;
    EXPECT_FALSE(controller.UpdateSpectra(-1)); // the file still fails
    EXPECT_TRUE(ShowTab(1).note.empty());
    EXPECT_FALSE(ShowTab(2).note.empty());
}

// A block without noise (a margin that leaves none) or without any power
// (silence) keeps the last good trace, figures and peaks, and says why.
TEST_F(FreqDomainControllerTest, ABlockWithoutFiguresKeepsTheLastGoodOne)
{
    // Bin f - span, the one noise bin a margin never takes, lies below the
    // analysed bins for so low a tone.
    FakeSource& file = AddSource(1, L"File", {10}, 100.0);
    controller.ApplyOptions(WithFlags(CFFTOptions::kFlagPeakTracking | CFFTOptions::kFlagAveraging));
    controller.OnSourceAdded(1);
    const CFreqDomainController::Display good = controller.GetDisplay();
    const std::vector<uint8_t> trace(controller.Channel(0).TraceBytes(controller.Channel(0).current),
                                     controller.Channel(0).TraceBytes(controller.Channel(0).current) + kN / 2);
    const int averaged = controller.Channel(0).averageCount;

    CFFTOptions o = controller.Options();
    o.exclusionPercent = 100000.0;
    controller.ApplyOptions(o);
    EXPECT_FALSE(controller.UpdateSpectra(-1));
    const CFreqDomainController::Display wide = controller.GetDisplay();
    EXPECT_EQ(wide.note, kStale + L"The noise margin of 100000 % of the fundamental frequency leaves no bin for "
                                  L"the noise.");
    for (auto [now, was] : {std::pair{&wide.snr, &good.snr}, {&wide.sfdr, &good.sfdr},
                            {&wide.rmsNoise, &good.rmsNoise}, {&wide.fftSize, &good.fftSize}})
        EXPECT_EQ(*now, *was);
    ASSERT_EQ(wide.peaks.size(), good.peaks.size());
    EXPECT_EQ(wide.peaks[0].bin, good.peaks[0].bin);
    EXPECT_TRUE(std::equal(trace.begin(), trace.end(), controller.Channel(0).TraceBytes(controller.Channel(0).current)));
    EXPECT_EQ(controller.Channel(0).averageCount, averaged); // nor added to the average
    EXPECT_NE(own.FindTrace(L"File - Ch. 1"), nullptr);

    o.exclusionPercent = 10.0;
    controller.ApplyOptions(o);
    file.SetFrames(std::vector<uint16_t>(kN, 32768));
    EXPECT_FALSE(controller.UpdateSpectra(-1));
    const CFreqDomainController::Display silent = controller.GetDisplay();
    EXPECT_EQ(silent.note, kStale + L"The block holds no signal power.");
    EXPECT_EQ(silent.snr, good.snr);
    EXPECT_EQ(silent.minMax, L"32768, 32768"); // what the block held

    file.SetFrames(Tones({300}, kN));
    EXPECT_TRUE(controller.UpdateSpectra(-1));
    const CFreqDomainController::Display back = controller.GetDisplay();
    EXPECT_TRUE(back.note.empty());
    EXPECT_NE(back.fundamental, good.fundamental);
}

// Before any good block there is nothing to keep: the reason alone, and
// the size the spectrum will have.
TEST_F(FreqDomainControllerTest, AFirstBlockThatFailsSaysOnlyWhy)
{
    FakeSource& file = AddSource(1, L"File", {100}, 100.0);
    file.failWith = E_ABORT;
    controller.OnSourceAdded(1);
    const CFreqDomainController::Display d = controller.GetDisplay();
    EXPECT_EQ(d.note, L"Failed to obtain data for data source 1 (HRESULT=0x80004004)");
    EXPECT_EQ(d.fftSize, L"8192");
    EXPECT_EQ(own.FindTrace(L"File - Ch. 1"), nullptr);
}
