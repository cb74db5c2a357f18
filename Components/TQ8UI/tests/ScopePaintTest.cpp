// The paint of the plot control on pixels: draw order, decorations, the
// selection overlay and fitting the value range.
#include "CComBSTR.h"
#include "FakeSource.h"
#include "GdiDraw.h"
#include "OleColor.h"
#include "RecordingDevice.h"
#include "ScopeText.h"
#include "ScopeWithSources.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <limits>

namespace {

QSize FixedExtent(const QFont&, const QString& text) { return QSize(7 * int(text.size()), 13); }

class ScopePaint : public ScopeWithSources {
protected:
    void SetUp() override
    {
        ScopeWithSources::SetUp();
        scopetext::SetMeasureFunction(&FixedExtent);
        scope->put_AutoXLabels(VARIANT_FALSE);
        scope->put_AutoYLabels(VARIANT_FALSE);
        scope->put_HScrollBar(ScrollbarNo);
    }
    void TearDown() override { scopetext::SetMeasureFunction(nullptr); }
    CScopeCtrl* ctrl() { return Impl(scope); }
    // A full paint of a control whose plot is w x h (margins of 4 round it).
    QImage Paint(int w, int h, HRESULT* result = nullptr)
    {
        QImage image(w + 8, h + 8, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        scope->RefreshScope();
        const HRESULT hr = ctrl()->OnDraw(&image, {0, 0, w + 8, h + 8});
        if (result)
            *result = hr;
        return image;
    }
    // Pixel of the plot area at plot coordinates.
    static QRgb At(const QImage& image, int x, int y) { return image.pixel(x + 4, y + 4); }
    template <class T>
    uint32_t AddTyped(const std::vector<T>& data, uint32_t channels = 1)
    {
        buffers.push_back(std::make_unique<ArrayHolder>(MakeArray(data)));
        uint32_t id = kNone;
        EXPECT_EQ(scope->AddBufferChannelSource(CComBSTR(L"Typed"),
                                                ArrayVariant(buffers.back()->get(), SampleTraits<T>::vt), channels, 0,
                                                VARIANT_FALSE, &id),
                  S_OK);
        return id;
    }
    void ResetScope()
    {
        scope->ResetScopeData();
        scope->put_MinSampleValue(0);
        scope->put_MaxSampleValue(255);
    }
    std::pair<int32_t, int32_t> Range()
    {
        int32_t lo = 0, hi = 0;
        scope->get_MinSampleValue(&lo);
        scope->get_MaxSampleValue(&hi);
        return {lo, hi};
    }

    const QRgb back = QColor(0, 0x80, 0x80).rgb();    // ScopeBackColor 0x808000
    const QRgb grid = vlt::OleColorToQColor(0x11DDEE).rgb();
};

TEST_F(ScopePaint, AnOverlayOnlyPaintFetchesNothing)
{
    auto source = MakeFakeSource(1, 1000);
    Add(source);
    QImage image(208, 108, QImage::Format_RGB32);
    ASSERT_EQ(ctrl()->OnDraw(&image, {0, 0, 208, 108}), S_OK);
    const size_t fetched = source->requests.size();
    ASSERT_GT(fetched, 0u);
    image.fill(Qt::black);
    ASSERT_EQ(ctrl()->OnDraw(&image, {0, 0, 208, 108}), S_OK);
    EXPECT_EQ(source->requests.size(), fetched);
    EXPECT_EQ(At(image, 0, 0), grid); // the kept picture, copied
    ctrl()->OnDraw(&image, {0, 0, 209, 108}); // new bounds: a full paint
    EXPECT_GT(source->requests.size(), fetched);
}

TEST_F(ScopePaint, GridRowsAndColumns)
{
    scope->put_GridLineStyle(LineSolid);
    scope->put_GridColumns(1);
    scope->put_GridRows(1);
    QImage image = Paint(400, 200);
    for (int y = 1; y < 199; ++y)
        ASSERT_NE(At(image, 5, y), grid) << y;
    scope->put_GridRows(4);
    image = Paint(400, 200);
    for (int y = 1; y < 199; ++y)
        EXPECT_EQ(At(image, 5, y) == grid, y == 50 || y == 100 || y == 150) << y;
}

TEST_F(ScopePaint, AHugeGridCountDrawsEveryRowOnce)
{
    scope->put_GridLineStyle(LineSolid);
    scope->put_GridColumns(1);
    scope->put_GridRows(std::numeric_limits<int32_t>::max());
    const QImage image = Paint(50, 40);
    for (int y = 0; y < 40; ++y)
        EXPECT_EQ(At(image, 25, y), grid) << y;
}

TEST_F(ScopePaint, SegmentLinesOnlyWhenAtMost64BoundariesFall)
{
    scope->put_GridRows(1);
    scope->put_GridColumns(1);
    scope->put_SegmentLineStyle(LineSolid);
    scope->put_SegmentLineColor(0x0000FF);
    scope->put_SegmentSize(1000);
    scope->put_MaxPageWidth(100000);
    const QRgb red = QColor(Qt::red).rgb();
    scope->put_PageWidth(65000);
    QImage image = Paint(640, 100);
    EXPECT_NE(At(image, int(1000 * (640.0 / 64999)), 50), red);
    scope->put_PageWidth(64999);
    image = Paint(640, 100);
    EXPECT_EQ(At(image, int(1000 * (640.0 / 64998)), 50), red);
    EXPECT_EQ(At(image, int(64000 * (640.0 / 64998)), 50), red);
}

TEST_F(ScopePaint, LevelLinesAtLevel1OnTheTopRowAndAt0OutsideThePlot)
{
    scope->put_GridRows(1);
    scope->put_TriggerMarkStyle1(TrigMarkLine);
    scope->put_TrigMarkLineColor1(0x0000FF);
    const QRgb red = QColor(Qt::red).rgb();
    auto redIn = [&](const QImage& image, int y) {
        int n = 0;
        for (int x = 1; x < 99; ++x)
            n += At(image, x, y) == red;
        return n;
    };
    scope->put_TrigMarkLevel1(1.0f);
    QImage image = Paint(100, 80);
    EXPECT_GT(redIn(image, 0), 20); // dotted
    scope->put_TrigMarkLevel1(0.0f);
    image = Paint(100, 80);
    for (int y = 0; y < 80; ++y)
        EXPECT_EQ(redIn(image, y), 0) << y;
}

TEST_F(ScopePaint, TriggerImageAlphaHalfIs127)
{
    EXPECT_EQ(gdidraw::ConstantAlpha(0.5), 127);
    EXPECT_EQ(gdidraw::ConstantAlpha(1.0), 255);
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::black);
    QImage white(2, 2, QImage::Format_RGB32);
    white.fill(Qt::white);
    {
        QPainter painter(&image);
        gdidraw::AlphaBlend(painter, {1, 1}, white, 127);
    }
    EXPECT_NEAR(qRed(image.pixel(1, 1)), 127, 2);
    EXPECT_EQ(qRed(image.pixel(0, 0)), 0);
}

TEST_F(ScopePaint, TheEmptyPlotPictureFromAPlotOf386By161)
{
    scope->put_GridRows(1);
    scope->put_GridColumns(1);
    auto pictureShown = [&](int w, int h) {
        const QImage image = Paint(w, h);
        int other = 0;
        for (int y = 8; y < 8 + 129; ++y)
            for (int x = std::max(1, w - 354 - 33); x < w - 33; ++x)
                other += At(image, x, y) != back;
        return other > 0;
    };
    EXPECT_TRUE(pictureShown(386, 161));
    EXPECT_FALSE(pictureShown(385, 161));
    EXPECT_FALSE(pictureShown(386, 160));
}

TEST_F(ScopePaint, TheSpanLabelCountsTheSelectedSamples)
{
    EXPECT_EQ(ctrl()->SpanLabelText(100, 1123), L"(\u0394 1,024 samples)");
    EXPECT_EQ(ctrl()->SelectionLabelText(4096), L"4,096");
}

TEST_F(ScopePaint, SelectionLabelsArePushedApartAndTheSpanLabelLeftOut)
{
    AddBuffer(1, 100000);
    scope->put_AllowDataSelection(VARIANT_TRUE);
    ctrl()->StoreSelection(1000, 1200);
    Paint(800, 100);
    auto rects = ctrl()->SelectionLabelRects();
    EXPECT_FALSE(rects[0].Intersects(rects[1]));
    EXPECT_TRUE(rects[2].IsEmpty());
    // Both moved by the same amount.
    const int lowCentre = 4 + int(1000 * (800.0 / 8191)), highCentre = 4 + int(1200 * (800.0 / 8191));
    EXPECT_EQ(lowCentre - (rects[0].left + rects[0].right) / 2, (rects[1].left + rects[1].right) / 2 - highCentre);

    ctrl()->StoreSelection(1000, 5000);
    Paint(800, 100);
    rects = ctrl()->SelectionLabelRects();
    EXPECT_FALSE(rects[2].IsEmpty());
}

TEST_F(ScopePaint, SelectionLabelsAtThePlotsEdgesAreMovedInsideIt)
{
    AddBuffer(1, 100000);
    scope->put_AutoXLabels(VARIANT_TRUE);
    scope->put_AllowDataSelection(VARIANT_TRUE);
    const std::pair<uint64_t, uint64_t> selections[] = {{8190, 8190}, {1, 1}, {8180, 8190}, {1, 12}, {1, 8190}};
    for (const auto& [low, high] : selections) {
        ctrl()->StoreSelection(low, high);
        Paint(800, 100);
        const PixRect& plot = ctrl()->PlotRect();
        const auto rects = ctrl()->SelectionLabelRects();
        EXPECT_FALSE(rects[0].IsEmpty()) << low;
        for (const PixRect& rect : rects) {
            if (rect.IsEmpty())
                continue;
            EXPECT_GE(rect.left, plot.left) << low << "-" << high;
            EXPECT_LE(rect.right, plot.right) << low << "-" << high;
            EXPECT_LE(rect.bottom, 108) << low << "-" << high; // the client area's bottom
        }
        EXPECT_FALSE(rects[0].Intersects(rects[1])) << low << "-" << high;
    }
}

TEST_F(ScopePaint, TheSelectionBandIsInvertedOnlyOnTheScreenCopy)
{
    AddTyped(std::vector<uint8_t>(100000, 0));
    scope->put_GridRows(1);
    scope->put_GridColumns(1);
    scope->put_AllowDataSelection(VARIANT_TRUE);
    ctrl()->StoreSelection(2000, 4000);
    const QImage image = Paint(800, 100);
    const int x = 3000 * 800 / 8191;
    EXPECT_EQ(At(image, x, 5), back ^ 0x00FFFFFFu);
    EXPECT_EQ(ctrl()->BackBuffer().pixel(x + 4, 9), back);
    // Moving the selection repaints from the kept picture: the old band is gone.
    ctrl()->StoreSelection(CScopeCtrl::kNoSample, CScopeCtrl::kNoSample);
    QImage again = image;
    ctrl()->OnDraw(&again, {0, 0, 808, 108});
    EXPECT_EQ(At(again, x, 5), back);
}

TEST_F(ScopePaint, ABackBufferThatCannotBeMadeDrawsNothing)
{
    auto source = MakeFakeSource(1, 1000);
    Add(source);
    RecordingDevice device(100, 100);
    EXPECT_EQ(ctrl()->OnDraw(&device, {0, 0, 1 << 29, 10}), S_OK);
    EXPECT_TRUE(ctrl()->BackBuffer().isNull());
    EXPECT_TRUE(source->requests.empty());
    EXPECT_TRUE(device.Log().empty());
    EXPECT_EQ(ctrl()->OnDraw(&device, {0, 0, 1 << 29, 10}), S_OK); // and again, until the bounds change
    EXPECT_TRUE(device.Log().empty());
}

TEST_F(ScopePaint, BorderStyles)
{
    scope->put_BorderColor(0x0000FF);
    scope->put_BorderStyle(1);
    QImage image = Paint(100, 50);
    EXPECT_EQ(image.pixel(0, 0), QColor(Qt::red).rgb());
    EXPECT_EQ(image.pixel(107, 57), QColor(Qt::red).rgb());
    EXPECT_EQ(image.pixel(50, 57), QColor(Qt::red).rgb());
    scope->put_BorderStyle(2); // etched, within (0, 0, right - 1, bottom - 1)
    image = Paint(100, 50);
    EXPECT_EQ(image.pixel(0, 0), vlt::ColorRefToQColor(GetSysColor(16)).rgb());
    EXPECT_EQ(image.pixel(1, 1), vlt::ColorRefToQColor(GetSysColor(20)).rgb());
    EXPECT_EQ(image.pixel(106, 56), vlt::ColorRefToQColor(GetSysColor(20)).rgb());
    EXPECT_NE(image.pixel(107, 57), vlt::ColorRefToQColor(GetSysColor(20)).rgb());
    scope->put_BorderVisible(VARIANT_FALSE);
    image = Paint(100, 50);
    EXPECT_EQ(image.pixel(0, 0), vlt::OleColorToQColor(GetSysColor(COLOR_BTNFACE)).rgb());
}

TEST_F(ScopePaint, DesignTimeShowsTheScrollBarPlaceholder)
{
    ctrl()->SetAmbientUserMode(false);
    scope->put_HScrollBar(ScrollbarYes);
    const QImage image = Paint(400, 100);
    const QRgb face = vlt::ColorRefToQColor(GetSysColor(0)).rgb();
    EXPECT_EQ(image.pixel(10, ctrl()->ScrollBarRect().top + 2), face);
}

// ---- auto scaling ----

TEST_F(ScopePaint, AutoScalingWidensTheRangeByAFifthPlusFour)
{
    std::vector<int16_t> data(1000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = int16_t(100 + i % 101);
    AddTyped(data);
    auto notes = MakeSink<NotifySink>();
    Connect(scope, IPropertyNotifySink::iid, notes);
    EXPECT_EQ(scope->AutoSetScaling(), S_OK);
    EXPECT_EQ(Range(), std::make_pair(-14, 214));
    EXPECT_EQ(notes->changed, (std::vector<DISPID>{22, 23}));
}

TEST_F(ScopePaint, AutoScalingOnZerosSetsBothToZero)
{
    AddTyped(std::vector<uint8_t>(100, 0));
    EXPECT_EQ(scope->AutoSetScaling(), S_OK);
    EXPECT_EQ(Range(), std::make_pair(0, 0));
    Paint(100, 100); // a range of no steps still paints
}

TEST_F(ScopePaint, AutoScalingWithEveryChannelHiddenChangesNothing)
{
    const uint32_t id = AddTyped(std::vector<uint8_t>(100, 50), 2);
    scope->put_ChannelVisibility(First(id), VARIANT_FALSE);
    scope->put_ChannelVisibility(First(id) + 1, VARIANT_FALSE);
    EXPECT_EQ(scope->AutoSetScaling(), S_FALSE);
    EXPECT_EQ(Range(), std::make_pair(0, 255));
}

TEST_F(ScopePaint, AutoScalingKeepsHugeAndNonFiniteValuesInRange)
{
    AddTyped(std::vector<double>{1e12, -std::numeric_limits<double>::infinity(), NAN, 5});
    EXPECT_EQ(scope->AutoSetScaling(), S_OK);
    EXPECT_EQ(Range(), std::make_pair(INT32_MIN, INT32_MAX));
    ResetScope();
    AddTyped(std::vector<uint32_t>{4000000000u, 0});
    EXPECT_EQ(scope->AutoSetScaling(), S_OK);
    EXPECT_EQ(Range().second, INT32_MAX);
    ResetScope();
    AddTyped(std::vector<float>{NAN, 100, 200, NAN});
    EXPECT_EQ(scope->AutoSetScaling(), S_OK);
    EXPECT_EQ(Range(), std::make_pair(-14, 214));
}

TEST_F(ScopePaint, AutoScalingAsksTheArbiterFirst)
{
    auto source = MakeFakeSource(1, 1000);
    auto arbiter = MakeArbiter();
    arbiter->answer = S_FALSE;
    Add(source, 0, arbiter);
    EXPECT_EQ(scope->AutoSetScaling(), S_FALSE);
    EXPECT_TRUE(source->requests.empty());
}

} // namespace
