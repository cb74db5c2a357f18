// The control's traces: every source's page drawn through a recording paint
// device and into an image.
#include "CComBSTR.h"
#include "FakeSource.h"
#include "RecordingDevice.h"
#include "ScopeWithSources.h"

#include <QImage>
#include <QPainter>

namespace {

class ScopePlot : public ScopeWithSources {
protected:
    void SetUp() override
    {
        ScopeWithSources::SetUp();
        scope->put_AutoXLabels(VARIANT_FALSE);
        scope->put_AutoYLabels(VARIANT_FALSE);
        scope->put_HScrollBar(ScrollbarNo);
    }
    CScopeCtrl* ctrl() { return Impl(scope); }
    // Lays out a plot of width x height and draws the traces on the device.
    HRESULT Plot(int width, int height)
    {
        ctrl()->RecalcLayout(&device, {0, 0, width + 8, height + 8});
        QPainter painter(&device);
        return ctrl()->PlotAllSources(painter);
    }
    bool AllLinesVertical() const
    {
        for (const std::string& e : device.Log()) {
            int x1, y1, x2, y2;
            if (std::sscanf(e.c_str(), "line %d,%d %d,%d", &x1, &y1, &x2, &y2) == 4 && x1 != x2)
                return false;
        }
        return true;
    }
    RecordingDevice device{400, 400};
};

TEST_F(ScopePlot, ASourceItsArbiterRefusesIsLeftOutWithoutFailing)
{
    auto source = MakeFakeSource(1, 1000);
    auto arbiter = MakeArbiter();
    arbiter->answer = S_FALSE;
    const uint32_t id = Add(source, 0, arbiter);
    EXPECT_EQ(Plot(100, 100), S_OK);
    EXPECT_TRUE(device.Log().empty());
    EXPECT_TRUE(source->requests.empty());
    EXPECT_EQ(arbiter->needed, std::vector<uint32_t>{id});
}

TEST_F(ScopePlot, MarkersAtRadius2AndRecordedPointsAtRadius1)
{
    auto source = MakeFakeSource(1, 1000);
    const uint32_t first = First(Add(source));
    ASSERT_EQ(scope->put_PageWidth(8), S_OK);
    ASSERT_EQ(Plot(100, 100), S_OK); // 14.3 pixels per frame
    EXPECT_EQ(device.Count("ellipse"), 6u);
    EXPECT_GT(device.Count("rect"), 0u); // the wedge and the end mark, in pixel runs
    ASSERT_EQ(scope->put_PointRadius(1), S_OK);
    device.Clear();
    ASSERT_EQ(Plot(100, 100), S_OK);
    EXPECT_EQ(device.Count("ellipse") + device.Count("rect"), 0u);
    EXPECT_EQ(ctrl()->ChannelState(first)->points.filled, 8u);
    EXPECT_EQ(device.Count("line"), 7u);
}

TEST_F(ScopePlot, EveryChannelGetsItsWedgeAndAFreshSpanStateEachPaint)
{
    const uint32_t one = Add(MakeFakeSource(1, 100000));
    ASSERT_EQ(scope->put_PageWidth(8), S_OK);
    ASSERT_EQ(Plot(100, 100), S_OK);
    const size_t marks = device.Count("rect");
    ASSERT_GT(marks, 0u);
    scope->RemoveChannelSource(one);
    Add(MakeFakeSource(2, 100000));
    device.Clear();
    ASSERT_EQ(Plot(100, 100), S_OK);
    EXPECT_EQ(device.Count("rect"), 2 * marks);

    ASSERT_EQ(scope->put_PageWidth(20000), S_OK);
    device.Clear();
    ASSERT_EQ(Plot(100, 100), S_OK);
    const auto firstPaint = device.Log();
    device.Clear();
    ASSERT_EQ(Plot(100, 100), S_OK);
    EXPECT_EQ(device.Log(), firstPaint); // no column left over from the paint before
}

TEST_F(ScopePlot, SixteenFramesPerColumnAreDrawnAsSpans)
{
    Add(MakeFakeSource(1, 5000));
    ASSERT_EQ(scope->put_PageWidth(1025), S_OK);
    ASSERT_EQ(Plot(64, 100), S_OK);
    ASSERT_EQ(ctrl()->XScale(), 0.0625);
    EXPECT_TRUE(AllLinesVertical());
    ASSERT_EQ(scope->put_PageWidth(1024), S_OK);
    device.Clear();
    ASSERT_EQ(Plot(64, 100), S_OK);
    EXPECT_FALSE(AllLinesVertical());
}

TEST_F(ScopePlot, ALongPageIsFetchedInChunksOf65536Frames)
{
    auto source = MakeFakeSource(1, 200000);
    Add(source);
    ASSERT_EQ(scope->put_MaxPageWidth(100000), S_OK);
    ASSERT_EQ(scope->put_PageWidth(100000), S_OK);
    ASSERT_EQ(Plot(100, 100), S_OK);
    const std::vector<std::pair<uint64_t, uint32_t>> expected{{0, 65536}, {65536, 34464}};
    EXPECT_EQ(source->requests, expected);
}

TEST_F(ScopePlot, ShortReadsAndOverclaimingSourcesStayWithinThePage)
{
    AddBuffer(1, 10000);
    auto shortSource = MakeFakeSource(1, 5);
    const uint32_t first = First(Add(shortSource));
    ASSERT_EQ(scope->put_PageWidth(8), S_OK);
    ASSERT_EQ(Plot(100, 100), S_OK);
    EXPECT_EQ(ctrl()->ChannelState(first)->points.filled, 5u);
    shortSource->overclaim = 1000000; // only the 8 frames asked are drawn
    ASSERT_EQ(Plot(100, 100), S_OK);
    EXPECT_EQ(ctrl()->ChannelState(first)->points.filled, 8u);
    EXPECT_EQ(ctrl()->ChannelState(first)->points.points.size(), 8u);
}

TEST_F(ScopePlot, FailedSourcesCount)
{
    auto bad = MakeFakeSource(1, 1000);
    bad->failAtCall = 0;
    Add(bad);
    EXPECT_EQ(Plot(100, 100), E_FAIL);
    Add(MakeFakeSource(1, 1000));
    bad->requests.clear();
    EXPECT_EQ(Plot(100, 100), S_FALSE);
}

TEST_F(ScopePlot, AFlatTraceShowsInItsChannelColourOnTheImage)
{
    std::vector<uint8_t> flat(8192, 0x80);
    buffers.push_back(std::make_unique<ArrayHolder>(MakeArray(flat)));
    uint32_t id = kNone;
    ASSERT_EQ(scope->AddBufferChannelSource(CComBSTR(L"Flat"), ArrayVariant(buffers.back()->get(), VT_UI1), 1, 0,
                                            VARIANT_FALSE, &id),
              S_OK);
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(Qt::black);
    ctrl()->RecalcLayout(&image, {0, 0, 108, 108});
    {
        QPainter painter(&image);
        ASSERT_EQ(ctrl()->PlotAllSources(painter), S_OK);
    }
    const int row = 99 - int(128 * 100.0 / 254);
    EXPECT_EQ(image.pixel(10, row), QColor(Qt::green).rgb());
    EXPECT_EQ(image.pixel(10, row - 1), QColor(Qt::black).rgb());
}

} // namespace
