// A source whose arbiter refuses is drawn as it was last drawn while the
// view is that of the drawing, and not at all once the view has changed.
#include "FakeSource.h"
#include "ScopeWithSources.h"

#include <QImage>
#include <QPainter>

namespace {

class ScopeKeptTraces : public ScopeWithSources {
protected:
    void SetUp() override
    {
        ScopeWithSources::SetUp();
        scope->put_AutoXLabels(VARIANT_FALSE);
        scope->put_AutoYLabels(VARIANT_FALSE);
        scope->put_HScrollBar(ScrollbarNo);
        guarded = MakeFakeSource(2, 5000);
        arbiter = MakeArbiter();
        id = Add(guarded, 0, arbiter);
    }
    CScopeCtrl* ctrl() { return Impl(scope); }
    // The traces of a plot of width x height on black.
    QImage Plot(int width = 200, int height = 100, HRESULT* result = nullptr)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::black);
        ctrl()->RecalcLayout(&image, {0, 0, width + 8, height + 8});
        QPainter painter(&image);
        const HRESULT hr = ctrl()->PlotAllSources(painter);
        if (result)
            *result = hr;
        return image;
    }
    static QImage Blank(int width = 200, int height = 100)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::black);
        return image;
    }

    FakeSourcePtr guarded;
    CComPtr<TestArbiter> arbiter;
    uint32_t id = kNone;
};

TEST_F(ScopeKeptTraces, ARefusedSourceShowsItsLastDrawingWithItsPoints)
{
    ASSERT_EQ(scope->put_PageWidth(20), S_OK); // markers and recorded points
    const QImage read = Plot();
    ASSERT_NE(read, Blank());
    const uint32_t first = First(id);
    const uint64_t points = ctrl()->ChannelState(first)->points.filled;
    ASSERT_EQ(points, 20u);

    arbiter->answer = S_FALSE;
    guarded->requests.clear();
    HRESULT hr = E_FAIL;
    for (int paint = 1; paint <= 2; ++paint) {
        EXPECT_EQ(Plot(200, 100, &hr), read) << paint;
        EXPECT_EQ(hr, S_OK); // a refusal is no failure
        EXPECT_EQ(arbiter->needed.size(), size_t(paint));
    }
    EXPECT_TRUE(guarded->requests.empty());
    EXPECT_EQ(ctrl()->ChannelState(first)->points.filled, points);
}

TEST_F(ScopeKeptTraces, AnotherPageScaleOrSizeDrawsNothingUntilTheSourceIsReadAgain)
{
    ASSERT_EQ(scope->put_PageWidth(1000), S_OK);
    const QImage read = Plot();
    arbiter->answer = S_FALSE;
    const auto refusedAfter = [&](auto change) {
        change();
        return Plot();
    };
    EXPECT_EQ(refusedAfter([&] { scope->put_StartSample(10); }), Blank()); // scrolled
    EXPECT_EQ(refusedAfter([&] { scope->put_StartSample(0); }), Blank());  // and back: forgotten
    EXPECT_EQ(ctrl()->ChannelState(First(id))->points.filled, 0u);

    arbiter->answer = S_OK;
    ASSERT_EQ(Plot(), read);
    arbiter->answer = S_FALSE;
    EXPECT_EQ(refusedAfter([&] { scope->put_PageWidth(500); }), Blank()); // zoomed
    arbiter->answer = S_OK;
    const QImage zoomed = Plot();
    EXPECT_NE(zoomed, read);
    arbiter->answer = S_FALSE;
    EXPECT_EQ(Plot(), zoomed); // the new page is kept now
    EXPECT_EQ(refusedAfter([&] { scope->put_MaxSampleValue(300); }), Blank());
    arbiter->answer = S_OK;
    Plot();
    arbiter->answer = S_FALSE;
    EXPECT_EQ(Plot(200, 90), Blank(200, 90)); // another plot size
}

TEST_F(ScopeKeptTraces, ALookOrShapeChangeOfTheSourceForgetsItsDrawing)
{
    const uint32_t first = First(id);
    const auto keptAfter = [&](auto change) {
        arbiter->answer = S_OK;
        Plot();
        change();
        return ctrl()->KeptTraces().Holds(id);
    };
    EXPECT_TRUE(keptAfter([] {}));
    EXPECT_TRUE(keptAfter([&] { scope->RefreshChannelSource(id); })); // new data, same shape
    EXPECT_FALSE(keptAfter([&] {
        guarded->total = 4000;
        scope->RefreshChannelSource(kNone);
    }));
    EXPECT_FALSE(keptAfter([&] { scope->put_ChannelColor(first + 1, 0x0000FF); }));
    EXPECT_FALSE(keptAfter([&] { scope->put_ChannelVisibility(first, VARIANT_FALSE); }));
    AddBuffer(1, 100);
    EXPECT_FALSE(keptAfter([&] { scope->RemoveChannelSource(id); }));
    id = Add(guarded, 0, arbiter); // takes the removed source's id again
    EXPECT_FALSE(ctrl()->KeptTraces().Holds(id));
    EXPECT_FALSE(keptAfter([&] { scope->ResetScopeData(); }));
}

TEST_F(ScopeKeptTraces, OnlyGuardedSourcesGetALayerAndOthersDrawOverIt)
{
    ASSERT_EQ(scope->put_PageWidth(1000), S_OK);
    const uint32_t buffer = AddBuffer(1, 5000);
    const QImage both = Plot();
    EXPECT_TRUE(ctrl()->KeptTraces().Holds(id));
    EXPECT_FALSE(ctrl()->KeptTraces().Holds(buffer));
    arbiter->answer = S_FALSE;
    EXPECT_EQ(Plot(), both); // the buffer drawn over the kept layer, as before
}

TEST_F(ScopeKeptTraces, TheLayerLooksAsTheDirectPaint)
{
    for (uint32_t page : {20u, 300u, 5000u}) { // markers, lines, spans
        ASSERT_EQ(scope->put_PageWidth(page), S_OK);
        const QImage layered = Plot();
        ASSERT_NE(layered, Blank());
        scope->RemoveChannelSource(id);
        id = Add(guarded); // the same ids and colours, without an arbiter
        EXPECT_EQ(Plot(), layered) << page;
        scope->RemoveChannelSource(id);
        id = Add(guarded, 0, arbiter);
    }
}

} // namespace
