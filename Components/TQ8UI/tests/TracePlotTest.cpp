// The per-type trace plotters: line mode with its marks, span mode, and the
// column scan of span mode against the plain per-frame algorithm.
#include "TracePlot.h"

#include "GdiDraw.h"
#include "OleColor.h"

#include <QBrush>
#include <QPen>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

class RecordingCanvas : public TraceCanvas {
public:
    void SelectPen(const QPen&) override {}
    void SelectBrush(const QBrush&) override {}
    void MoveTo(int32_t x, int32_t y) override { Add("move", x, y); }
    void LineTo(int32_t x, int32_t y) override { Add("line", x, y); }
    void SetPixel(int32_t x, int32_t y, QRgb c) override { Add("pixel", x, y, int64_t(c)); }
    void Ellipse(const PixRect& b) override { Add("ellipse", b.left, b.top, b.right, b.bottom); }
    void Pie(const PixRect& b, QPoint s, QPoint e) override
    {
        Add("pie", b.left, b.top, b.right, b.bottom, s.x(), s.y(), e.x(), e.y());
    }
    size_t Count(const std::string& what) const
    {
        size_t n = 0;
        for (const auto& e : log)
            n += e.rfind(what + " ", 0) == 0;
        return n;
    }
    std::vector<std::string> log;

private:
    template <class... V>
    void Add(const char* what, V... v)
    {
        std::string s = what;
        ((s += " " + std::to_string(v)), ...);
        log.push_back(s);
    }
};

// Channel records with pen and brush (a copied record remakes them, so they are made in place).
std::vector<CLocalChanState> Channels(size_t n, OLE_COLOR colour = 0x00FF00)
{
    std::vector<CLocalChanState> chans(n);
    for (auto& c : chans) {
        c.colour = colour;
        c.pen = gdidraw::CosmeticPen(vlt::OleColorToQColor(colour));
        c.brush = QBrush(vlt::OleColorToQColor(colour));
    }
    return chans;
}

// Draws `frames` frames of interleaved data in chunks of `chunk` frames, as
// the control hands them over; gives the plotter's last result.
template <class T>
HRESULT PlotChunks(const std::vector<T>& data, std::vector<CLocalChanState>& chans, PlotRequest base, uint32_t chunk,
                   bool reference, SpanScratch* scratch = nullptr)
{
    std::vector<CLocalChanState*> ptrs;
    for (auto& c : chans)
        ptrs.push_back(&c);
    const uint32_t channels = static_cast<uint32_t>(chans.size());
    const uint64_t frames = data.size() / channels;
    PlotRequest req = base;
    req.channels = ptrs.data();
    req.channelCount = channels;
    req.scratch = scratch;
    HRESULT hr = S_OK;
    for (uint64_t done = 0; done < frames; done += chunk) {
        req.frames = static_cast<uint32_t>(std::min<uint64_t>(chunk, frames - done));
        req.done = done;
        req.samples = data.data() + done * channels;
        req.lastChunk = done + req.frames == frames;
        hr = reference ? PlotTraceReference(req) : PlotTrace(req);
        req.firstChunk = false;
    }
    return hr;
}

PlotRequest Request(TraceCanvas& canvas, VARTYPE type, double xScale, int32_t height = 100, double yScale = 0.5)
{
    PlotRequest r;
    r.canvas = &canvas;
    r.sampleType = type;
    r.xScale = xScale;
    r.yScale = yScale;
    r.plotHeight = height;
    return r;
}

TEST(TracePlot, LineModeCarriesTheWedgeFirstAndTheEndMarkLast)
{
    RecordingCanvas canvas;
    auto chans = Channels(1);
    PlotRequest req = Request(canvas, VT_UI1, 10.0, 100, 1.0);
    req.drawMarkers = true;
    const std::vector<uint8_t> data{0, 10, 20, 30};
    ASSERT_EQ(PlotChunks(data, chans, req, 4, false), S_OK);
    const std::vector<std::string> expected{
        "move 0 99",        "pie -2 97 3 102 1 101 1 97", // the wedge: radials (x+R-1, y+R) to (x+R-1, y-R)
        "line 10 89",       "ellipse 8 87 13 92",          "line 20 79", "ellipse 18 77 23 82",
        "line 30 69",       "pie 28 67 33 72 31 67 32 72", // the end mark: (x+R-1, y-R) to (x+R, y+R+1)
    };
    EXPECT_EQ(canvas.log, expected);
}

TEST(TracePlot, AChunkAfterTheFirstStartsAtItsOwnFirstFrame)
{
    RecordingCanvas canvas;
    auto chans = Channels(1);
    const std::vector<uint8_t> data{0, 1, 2, 3};
    ASSERT_EQ(PlotChunks(data, chans, Request(canvas, VT_UI1, 10.0, 100, 1.0), 2, false), S_OK);
    const std::vector<std::string> expected{"move 0 99", "line 10 98", "move 20 97", "line 20 97", "line 30 96"};
    EXPECT_EQ(canvas.log, expected);
}

TEST(TracePlot, PointsAreRecordedForTheTips)
{
    RecordingCanvas canvas;
    auto chans = Channels(1);
    ASSERT_EQ(chans[0].points.Reserve(3), S_OK);
    PlotRequest req = Request(canvas, VT_I2, 6.0, 100, 1.0);
    req.recordPoints = true;
    ASSERT_EQ(PlotChunks(std::vector<int16_t>{5, -3, 7}, chans, req, 3, false), S_OK);
    EXPECT_EQ(chans[0].points.filled, 3u);
    EXPECT_EQ(chans[0].points.points[1].x, 6);
    EXPECT_EQ(chans[0].points.points[1].y, 102);
    EXPECT_EQ(chans[0].points.points[1].value.vt, VT_I2);
    EXPECT_EQ(chans[0].points.points[1].value.iVal, -3);
}

TEST(TracePlot, AHiddenChannelDrawsNothingAndKeepsItsPen)
{
    RecordingCanvas canvas;
    auto chans = Channels(2);
    chans[0].flags |= CLocalChanState::Hidden;
    ASSERT_EQ(PlotChunks(std::vector<uint8_t>{1, 2, 3, 4}, chans, Request(canvas, VT_UI1, 10.0), 2, false), S_OK);
    EXPECT_EQ(canvas.log.size(), 2u); // channel 1: its move and one line
    EXPECT_TRUE(chans[0].pen.has_value());
}

TEST(TracePlot, InterleavedChannelsEachReadTheirOwnSamples)
{
    RecordingCanvas canvas;
    auto chans = Channels(3);
    const std::vector<int32_t> data{0, 10, 20, 1, 11, 21};
    ASSERT_EQ(PlotChunks(data, chans, Request(canvas, VT_I4, 5.0, 100, 1.0), 2, false), S_OK);
    const std::vector<std::string> expected{"move 0 99", "line 5 98", "move 0 89", "line 5 88", "move 0 79",
                                            "line 5 78"};
    EXPECT_EQ(canvas.log, expected);
}

TEST(TracePlot, AFlatColumnIsOnePixelInTheChannelColour)
{
    RecordingCanvas canvas;
    auto chans = Channels(1, 0x563412);
    const std::vector<uint16_t> data(64, 40);
    ASSERT_EQ(PlotChunks(data, chans, Request(canvas, VT_UI2, kSpanModeScale, 100, 1.0), 64, false), S_OK);
    // Columns 0, 1 and 2 are closed by their successors; the page's last frame closes column 3.
    EXPECT_EQ(canvas.Count("pixel"), 4u);
    EXPECT_EQ(canvas.log.back(), "pixel 3 59 " + std::to_string(0x123456));
}

TEST(TracePlot, SpanModeFromExactlySixteenFramesPerColumn)
{
    RecordingCanvas span, line;
    auto a = Channels(1), b = Channels(1);
    std::vector<uint8_t> data(64);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i % 7 * 10);
    PlotChunks(data, a, Request(span, VT_UI1, 0.0625), 64, false);
    PlotChunks(data, b, Request(line, VT_UI1, std::nextafter(0.0625, 1.0)), 64, false);
    EXPECT_LT(span.Count("line"), 12u);
    EXPECT_EQ(line.Count("line"), 63u);
}

TEST(TracePlot, NaNLeavesAGapInLineMode)
{
    RecordingCanvas canvas;
    auto chans = Channels(1);
    const std::vector<float> data{1, NAN, 3, 4};
    ASSERT_EQ(PlotChunks(data, chans, Request(canvas, VT_R4, 10.0, 100, 1.0), 4, false), S_OK);
    const std::vector<std::string> expected{"move 0 98", "move 20 96", "line 30 95"};
    EXPECT_EQ(canvas.log, expected);
}

TEST(TracePlot, AnUnknownTypeDrawsNothing)
{
    RecordingCanvas canvas;
    auto chans = Channels(1);
    EXPECT_EQ(PlotChunks(std::vector<int64_t>{1, 2}, chans, Request(canvas, VT_BSTR, 1.0), 2, false), E_NOTIMPL);
    EXPECT_TRUE(canvas.log.empty());
}

// ---- the column scan against the per-frame algorithm ----

template <class T>
std::vector<T> RandomData(std::mt19937_64& rng, size_t count)
{
    std::vector<T> v(count);
    std::uniform_int_distribution<int> step(-3, 3), jump(0, 500);
    double level = 0;
    for (auto& x : v) {
        level += step(rng);
        if (jump(rng) == 0)
            level = double(std::uniform_int_distribution<int>(-100000, 100000)(rng));
        if constexpr (std::is_floating_point_v<T>) {
            x = static_cast<T>(level * 0.37);
            if (jump(rng) < 10)
                x = NAN;
        } else {
            x = static_cast<T>(static_cast<int64_t>(level));
        }
    }
    if constexpr (std::is_floating_point_v<T>) { // runs of NaN, one at the very end
        const size_t at = std::uniform_int_distribution<size_t>(0, count - 1)(rng);
        for (size_t i = at; i < std::min(count, at + 200); ++i)
            v[i] = NAN;
        if (jump(rng) < 100)
            v.back() = NAN;
    }
    return v;
}

template <class T>
void CompareWithReference(std::mt19937_64& rng, VARTYPE vt)
{
    const uint32_t channels = std::uniform_int_distribution<uint32_t>(1, 4)(rng);
    const uint32_t frames = std::uniform_int_distribution<uint32_t>(17, 150000)(rng);
    const uint32_t width = std::uniform_int_distribution<uint32_t>(1, 2000)(rng);
    double xScale = double(width) / double(frames - 1);
    if (xScale > kSpanModeScale)
        xScale = std::uniform_int_distribution<int>(0, 1)(rng) ? kSpanModeScale
                                                                : std::uniform_real_distribution<double>(1e-6, 0.0625)(rng);
    const uint32_t chunk = std::uniform_int_distribution<uint32_t>(1, 3)(rng) == 1
                               ? std::uniform_int_distribution<uint32_t>(1, 5000)(rng)
                               : 65536;
    const auto data = RandomData<T>(rng, size_t(frames) * channels);
    auto fast = Channels(channels), plain = Channels(channels);
    if (channels > 1 && std::uniform_int_distribution<int>(0, 3)(rng) == 0) {
        fast[1].flags |= CLocalChanState::Hidden;
        plain[1].flags |= CLocalChanState::Hidden;
    }
    RecordingCanvas a, b;
    SpanScratch scratch;
    PlotRequest base = Request(a, vt, xScale, 300, std::uniform_real_distribution<double>(1e-4, 2.0)(rng));
    base.minValue = std::uniform_int_distribution<int32_t>(-1000, 1000)(rng);
    ASSERT_EQ(PlotChunks(data, fast, base, chunk, false, &scratch), S_OK);
    base.canvas = &b;
    ASSERT_EQ(PlotChunks(data, plain, base, chunk, true), S_OK);
    ASSERT_EQ(a.log, b.log) << "type " << vt << ", " << channels << " channels, " << frames << " frames, X "
                            << xScale << ", chunk " << chunk;
}

TEST(TracePlot, TheColumnScanDrawsWhatThePerFrameAlgorithmDraws)
{
    std::mt19937_64 rng(20261209);
    for (int trial = 0; trial < 12; ++trial) {
        CompareWithReference<uint8_t>(rng, VT_UI1);
        CompareWithReference<int8_t>(rng, VT_I1);
        CompareWithReference<uint16_t>(rng, VT_UI2);
        CompareWithReference<int16_t>(rng, VT_I2);
        CompareWithReference<uint32_t>(rng, VT_UI4);
        CompareWithReference<int32_t>(rng, VT_I4);
        CompareWithReference<float>(rng, VT_R4);
        CompareWithReference<double>(rng, VT_R8);
    }
}

} // namespace
