#include "CComBSTR.h"
#include "CStdFont.h"
#include "CStdPicture.h"
#include "CScopeWnd.h"
#include <QScrollBar>
#include "OleColor.h"
#include "ScopeTestSupport.h"

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// A control with a recording property-change sink.
class ScopePut : public ::testing::Test {
protected:
    void SetUp() override
    {
        scope = NewScope();
        sink = MakeSink<NotifySink>();
        Connect(scope, IPropertyNotifySink::iid, static_cast<IPropertyNotifySink*>(sink.p));
    }
    CScopeCtrl* ctrl() { return Impl(scope); }
    // Runs put and tells what it sent: the DISPIDs notified and the redraws asked.
    struct Effect {
        HRESULT hr;
        std::vector<DISPID> notified;
        int redraws;
    };
    template <class F>
    Effect Run(F put)
    {
        sink->changed.clear();
        const int before = ctrl()->InvalidateCount();
        HRESULT hr = put();
        return {hr, sink->changed, ctrl()->InvalidateCount() - before};
    }

    CComPtr<IScopeTQ8> scope;
    CComPtr<NotifySink> sink;
};

using Ids = std::vector<DISPID>;

struct OwnPut {
    const char* name;
    DISPID id;
    std::function<HRESULT(IScopeTQ8*)> put;
    bool notifies;
    int redraws;
};

} // namespace

// Every own property: a new value notifies its DISPID (or not) and redraws as
// the property says; the same value again sends and redraws nothing.
TEST_F(ScopePut, EachOwnPropertyNotifiesAndRedrawsAsItShould)
{
    const std::vector<OwnPut> puts = {
        {"LabelYT2", ScopeDispId::LabelYT2, [](IScopeTQ8* s) { return s->put_LabelYT2(CComBSTR(L"mV")); }, true, 1},
        {"LabelYM2", ScopeDispId::LabelYM2, [](IScopeTQ8* s) { return s->put_LabelYM2(CComBSTR(L"0")); }, true, 1},
        {"LabelYB2", ScopeDispId::LabelYB2, [](IScopeTQ8* s) { return s->put_LabelYB2(CComBSTR(L"-1")); }, true, 1},
        {"AutoXLabelRadix", ScopeDispId::AutoXLabelRadix, [](IScopeTQ8* s) { return s->put_AutoXLabelRadix(16); }, true, 1},
        {"AutoYLabelRadix", ScopeDispId::AutoYLabelRadix, [](IScopeTQ8* s) { return s->put_AutoYLabelRadix(2); }, true, 1},
        {"AllowDataSelection", ScopeDispId::AllowDataSelection, [](IScopeTQ8* s) { return s->put_AllowDataSelection(0); }, false, 1},
        {"MarginLeft", ScopeDispId::MarginLeft, [](IScopeTQ8* s) { return s->put_MarginLeft(10); }, true, 1},
        {"MarginRight", ScopeDispId::MarginRight, [](IScopeTQ8* s) { return s->put_MarginRight(0); }, true, 1},
        {"MarginTop", ScopeDispId::MarginTop, [](IScopeTQ8* s) { return s->put_MarginTop(7); }, true, 1},
        {"MarginBottom", ScopeDispId::MarginBottom, [](IScopeTQ8* s) { return s->put_MarginBottom(9); }, true, 1},
        {"PageWidth", ScopeDispId::PageWidth, [](IScopeTQ8* s) { return s->put_PageWidth(1000); }, true, 1},
        {"MaxSampleValue", ScopeDispId::MaxSampleValue, [](IScopeTQ8* s) { return s->put_MaxSampleValue(1000); }, true, 1},
        {"MinSampleValue", ScopeDispId::MinSampleValue, [](IScopeTQ8* s) { return s->put_MinSampleValue(-1000); }, true, 1},
        {"PointRadius", ScopeDispId::PointRadius, [](IScopeTQ8* s) { return s->put_PointRadius(5); }, true, 0},
        {"GridRows", ScopeDispId::GridRows, [](IScopeTQ8* s) { return s->put_GridRows(8); }, true, 1},
        {"GridColumns", ScopeDispId::GridColumns, [](IScopeTQ8* s) { return s->put_GridColumns(0); }, true, 1},
        {"GridLineStyle", ScopeDispId::GridLineStyle, [](IScopeTQ8* s) { return s->put_GridLineStyle(LineSolid); }, true, 1},
        {"TriggerMarkStyle1", ScopeDispId::TriggerMarkStyle1, [](IScopeTQ8* s) { return s->put_TriggerMarkStyle1(TrigMarkLine); }, true, 1},
        {"TriggerMarkStyle2", ScopeDispId::TriggerMarkStyle2, [](IScopeTQ8* s) { return s->put_TriggerMarkStyle2(TrigMarkAll); }, true, 1},
        {"TrigMarkLevel1", ScopeDispId::TrigMarkLevel1, [](IScopeTQ8* s) { return s->put_TrigMarkLevel1(0.25f); }, true, 1},
        {"TrigMarkLevel2", ScopeDispId::TrigMarkLevel2, [](IScopeTQ8* s) { return s->put_TrigMarkLevel2(1.0f); }, true, 1},
        {"TrigMarkLineColor1", ScopeDispId::TrigMarkLineColor1, [](IScopeTQ8* s) { return s->put_TrigMarkLineColor1(0x123456); }, true, 1},
        {"TrigMarkLineColor2", ScopeDispId::TrigMarkLineColor2, [](IScopeTQ8* s) { return s->put_TrigMarkLineColor2(0x654321); }, true, 1},
        {"ScopeForeColor", ScopeDispId::ScopeForeColor, [](IScopeTQ8* s) { return s->put_ScopeForeColor(0xFFFFFF); }, true, 1},
        {"ScopeBackColor", ScopeDispId::ScopeBackColor, [](IScopeTQ8* s) { return s->put_ScopeBackColor(0x000000); }, true, 1},
        {"TraceColor", ScopeDispId::TraceColor, [](IScopeTQ8* s) { return s->put_TraceColor(0x0000FF); }, true, 0},
        {"SegmentSize", ScopeDispId::SegmentSize, [](IScopeTQ8* s) { return s->put_SegmentSize(512); }, true, 1},
        {"SegmentLineStyle", ScopeDispId::SegmentLineStyle, [](IScopeTQ8* s) { return s->put_SegmentLineStyle(LineDashed); }, true, 1},
        {"SegmentLineColor", ScopeDispId::SegmentLineColor, [](IScopeTQ8* s) { return s->put_SegmentLineColor(0x112233); }, true, 1},
        {"ContextMenuEnabled", ScopeDispId::ContextMenuEnabled, [](IScopeTQ8* s) { return s->put_ContextMenuEnabled(VARIANT_TRUE); }, true, 0},
        {"SampleValueTipsEnabled", ScopeDispId::SampleValueTipsEnabled, [](IScopeTQ8* s) { return s->put_SampleValueTipsEnabled(0); }, true, 0},
        {"SampleValueTipsRadix", ScopeDispId::SampleValueTipsRadix, [](IScopeTQ8* s) { return s->put_SampleValueTipsRadix(16); }, false, 1},
        {"AutoXLabels", ScopeDispId::AutoXLabels, [](IScopeTQ8* s) { return s->put_AutoXLabels(0); }, true, 1},
        {"AutoYLabels", ScopeDispId::AutoYLabels, [](IScopeTQ8* s) { return s->put_AutoYLabels(0); }, true, 1},
        {"HScrollBar", ScopeDispId::HScrollBar, [](IScopeTQ8* s) { return s->put_HScrollBar(ScrollbarNo); }, true, 0},
    };
    for (const auto& p : puts) {
        SCOPED_TRACE(p.name);
        Effect first = Run([&] { return p.put(scope); });
        EXPECT_EQ(first.hr, S_OK);
        EXPECT_EQ(first.notified, p.notifies ? Ids{p.id} : Ids{});
        EXPECT_EQ(first.redraws, p.redraws);
        Effect again = Run([&] { return p.put(scope); });
        EXPECT_EQ(again.hr, S_OK);
        EXPECT_EQ(again.notified, Ids{});
        EXPECT_EQ(again.redraws, 0);
    }
    EXPECT_TRUE(sink->requested.empty()); // own properties never ask first
}

TEST_F(ScopePut, PageWidthIsClampedBetween8AndTheMaximum)
{
    uint32_t w = 0;
    EXPECT_EQ(scope->put_PageWidth(0), S_OK);
    scope->get_PageWidth(&w);
    EXPECT_EQ(w, 8u);
    EXPECT_EQ(scope->put_PageWidth(100000), S_OK);
    scope->get_PageWidth(&w);
    EXPECT_EQ(w, 32768u);
    // Clamped to what is stored: nothing happens.
    Effect e = Run([&] { return scope->put_PageWidth(50000); });
    EXPECT_EQ(e.hr, S_OK);
    EXPECT_EQ(e.notified, Ids{});
}

TEST_F(ScopePut, SmallMaxPageWidthIsRaisedTo8AndPullsPageWidthDown)
{
    Effect e = Run([&] { return scope->put_MaxPageWidth(4); });
    EXPECT_EQ(e.hr, S_FALSE);
    EXPECT_EQ(e.notified, (Ids{ScopeDispId::MaxPageWidth, ScopeDispId::PageWidth}));
    EXPECT_EQ(e.redraws, 1); // only the page width's own
    uint32_t max = 0, w = 0;
    scope->get_MaxPageWidth(&max);
    scope->get_PageWidth(&w);
    EXPECT_EQ(max, 8u);
    EXPECT_EQ(w, 8u);
    Effect again = Run([&] { return scope->put_MaxPageWidth(2); });
    EXPECT_EQ(again.hr, S_FALSE);
    EXPECT_EQ(again.notified, Ids{});
    Effect larger = Run([&] { return scope->put_MaxPageWidth(100000); });
    EXPECT_EQ(larger.hr, S_OK);
    EXPECT_EQ(larger.notified, Ids{ScopeDispId::MaxPageWidth});
    EXPECT_EQ(larger.redraws, 0);
}

TEST_F(ScopePut, SampleValueRangeStaysOrdered)
{
    int32_t v = 0;
    Effect e = Run([&] { return scope->put_MaxSampleValue(-5); });
    EXPECT_EQ(e.hr, S_FALSE);
    EXPECT_EQ(e.notified, Ids{ScopeDispId::MaxSampleValue});
    scope->get_MaxSampleValue(&v);
    EXPECT_EQ(v, 1);

    scope->put_MaxSampleValue(255);
    e = Run([&] { return scope->put_MinSampleValue(300); });
    EXPECT_EQ(e.hr, S_FALSE);
    scope->get_MinSampleValue(&v);
    EXPECT_EQ(v, 254);
}

TEST_F(ScopePut, SampleValueRangeAtThe32BitLimits)
{
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    int32_t lo = 0, hi = 0;
    EXPECT_EQ(scope->put_MaxSampleValue(kMax), S_OK);
    EXPECT_EQ(scope->put_MinSampleValue(kMax), S_FALSE);
    scope->get_MinSampleValue(&lo);
    EXPECT_EQ(lo, kMax - 1);
    EXPECT_EQ(scope->put_MinSampleValue(kMin), S_OK);
    EXPECT_EQ(scope->put_MaxSampleValue(kMin), S_FALSE);
    scope->get_MaxSampleValue(&hi);
    EXPECT_EQ(hi, kMin + 1);
    EXPECT_GT(ctrl()->YScale(), 0.0);
}

TEST_F(ScopePut, StartSampleBeyondTheDataIsRefused)
{
    Effect zero = Run([&] { return scope->put_StartSample(0); });
    EXPECT_EQ(zero.hr, S_OK);
    EXPECT_EQ(zero.notified, Ids{});
    for (uint64_t n : {uint64_t(1), uint64_t(8192), UINT64_MAX}) {
        Effect e = Run([&] { return scope->put_StartSample(n); });
        EXPECT_EQ(e.hr, E_FAIL);
        EXPECT_EQ(e.notified, Ids{});
        EXPECT_EQ(e.redraws, 0);
    }
    uint64_t start = 99;
    scope->get_StartSample(&start);
    EXPECT_EQ(start, 0u);
}

TEST_F(ScopePut, RangeChecksRefuseAndLeaveTheValue)
{
    EXPECT_EQ(scope->put_PointRadius(17), E_INVALIDARG);
    EXPECT_EQ(scope->put_PointRadius(-1), E_INVALIDARG);
    EXPECT_EQ(scope->put_PointRadius(16), S_OK);
    EXPECT_EQ(scope->put_AutoXLabelRadix(1), E_INVALIDARG);
    EXPECT_EQ(scope->put_AutoXLabelRadix(37), E_INVALIDARG);
    EXPECT_EQ(scope->put_AutoXLabelRadix(2), S_OK);
    EXPECT_EQ(scope->put_AutoXLabelRadix(36), S_OK);
    EXPECT_EQ(scope->put_AutoYLabelRadix(0), E_INVALIDARG);
    EXPECT_EQ(scope->put_MarginLeft(-1), E_INVALIDARG);
    EXPECT_EQ(scope->put_MarginBottom(-100), E_INVALIDARG);
    EXPECT_EQ(scope->put_GridRows(-1), E_FAIL);
    EXPECT_EQ(scope->put_GridColumns(-4), E_FAIL);
    EXPECT_EQ(scope->put_HScrollBar(static_cast<TQ8ScrollBar>(3)), E_UNEXPECTED);
    EXPECT_EQ(scope->put_HScrollBar(static_cast<TQ8ScrollBar>(-1)), E_UNEXPECTED);
    EXPECT_EQ(scope->put_TrigMarkLevel1(1.0f), S_OK);
    EXPECT_EQ(scope->put_TrigMarkLevel1(1.0001f), E_INVALIDARG);
    EXPECT_EQ(scope->put_TrigMarkLevel2(-0.0001f), E_INVALIDARG);
    EXPECT_EQ(scope->put_TrigMarkLevel2(std::nanf("")), E_INVALIDARG);
    EXPECT_EQ(scope->put_TrigMarkImageAlpha1(1.5), E_INVALIDARG);
    EXPECT_EQ(scope->put_TrigMarkImageAlpha2(std::nan("")), E_INVALIDARG);
    EXPECT_EQ(scope->put_AxisFont(nullptr), E_POINTER);
    EXPECT_EQ(scope->put_SampleValueTipsChannelId(3), E_NOINTERFACE);
    EXPECT_EQ(scope->put_ChannelVisibility(0, 0), E_NOINTERFACE);
    VARIANT_BOOL vis = 7;
    EXPECT_EQ(scope->get_ChannelVisibility(0, &vis), E_NOINTERFACE);
    EXPECT_EQ(sink->changed,
              (Ids{ScopeDispId::PointRadius, ScopeDispId::AutoXLabelRadix, ScopeDispId::AutoXLabelRadix,
                   ScopeDispId::TrigMarkLevel1}));

    int32_t r = 0, m = 0, rows = 0;
    float level = 0;
    scope->get_PointRadius(&r);
    scope->get_MarginLeft(&m);
    scope->get_GridRows(&rows);
    scope->get_TrigMarkLevel1(&level);
    EXPECT_EQ(r, 16);
    EXPECT_EQ(m, 4);
    EXPECT_EQ(rows, 4);
    EXPECT_EQ(level, 1.0f);
}

TEST_F(ScopePut, AlphaIsStoredAndNotifiedEvenWhenUnchanged)
{
    Effect e = Run([&] { return scope->put_TrigMarkImageAlpha1(0.5); });
    EXPECT_EQ(e.hr, S_OK);
    EXPECT_EQ(e.notified, Ids{ScopeDispId::TrigMarkImageAlpha1});
    EXPECT_EQ(e.redraws, 1);
}

TEST_F(ScopePut, LabelsKeepTheirFlagsAndRedrawOnlyWithoutAutoLabels)
{
    Effect e = Run([&] { return scope->put_LabelXL(CComBSTR(L"0 s")); });
    EXPECT_EQ(e.notified, Ids{ScopeDispId::LabelXL});
    EXPECT_EQ(e.redraws, 0); // automatic X labels are shown instead
    EXPECT_TRUE(ctrl()->HasFlag(CScopeCtrl::XLabelTextSet));
    e = Run([&] { return scope->put_LabelXL(CComBSTR(L"0 s")); });
    EXPECT_EQ(e.notified, Ids{});
    scope->put_LabelXR(CComBSTR(L"1 s"));
    scope->put_LabelXL(CComBSTR(L""));
    EXPECT_TRUE(ctrl()->HasFlag(CScopeCtrl::XLabelTextSet));
    scope->put_LabelXR(nullptr); // null clears like empty text
    EXPECT_FALSE(ctrl()->HasFlag(CScopeCtrl::XLabelTextSet));

    scope->put_AutoYLabels(0);
    e = Run([&] { return scope->put_LabelYM(CComBSTR(L"0 V")); });
    EXPECT_EQ(e.notified, Ids{ScopeDispId::LabelYM});
    EXPECT_EQ(e.redraws, 1);
    EXPECT_TRUE(ctrl()->HasFlag(CScopeCtrl::YLabelTextSet));
    EXPECT_FALSE(ctrl()->HasFlag(CScopeCtrl::Y2LabelTextSet));

    CComBSTR back;
    scope->get_LabelYM(&back);
    EXPECT_EQ(back.View(), L"0 V");
}

TEST_F(ScopePut, RadixRedrawsOnlyWhileItsAutoLabelsShow)
{
    scope->put_AutoXLabels(0);
    Effect e = Run([&] { return scope->put_AutoXLabelRadix(16); });
    EXPECT_EQ(e.notified, Ids{ScopeDispId::AutoXLabelRadix});
    EXPECT_EQ(e.redraws, 0);
}

TEST_F(ScopePut, AnyNonZeroBooleanCountsAsTrue)
{
    scope->put_AutoXLabels(0);
    Effect e = Run([&] { return scope->put_AutoXLabels(5); });
    EXPECT_EQ(e.notified, Ids{ScopeDispId::AutoXLabels});
    e = Run([&] { return scope->put_AutoXLabels(VARIANT_TRUE); });
    EXPECT_EQ(e.notified, Ids{});
    VARIANT_BOOL v = 0;
    scope->get_AutoXLabels(&v);
    EXPECT_EQ(v, 1);
}

TEST_F(ScopePut, ScrollBarModeIsStoredBeforeTheNotification)
{
    TQ8ScrollBar seen = ScrollbarAuto;
    sink->onChanged = [&](DISPID id) {
        if (id == ScopeDispId::HScrollBar)
            scope->get_HScrollBar(&seen);
    };
    EXPECT_EQ(scope->put_HScrollBar(ScrollbarYes), S_OK);
    EXPECT_EQ(seen, ScrollbarYes);
    // No window yet: the bar waits for it.
    EXPECT_TRUE(ctrl()->HasFlag(CScopeCtrl::ScrollBarInUse));
    EXPECT_TRUE(ctrl()->HasFlag(CScopeCtrl::ScrollBarPending));
    EXPECT_EQ(scope->put_HScrollBar(ScrollbarNo), S_OK);
    EXPECT_EQ(seen, ScrollbarNo);
    EXPECT_FALSE(ctrl()->HasFlag(CScopeCtrl::ScrollBarInUse));
    EXPECT_FALSE(ctrl()->HasFlag(CScopeCtrl::ScrollBarPending));
}

TEST_F(ScopePut, ChannelColourIsStoredBeforeTheNotification)
{
    OLE_COLOR seen = 0;
    sink->onChanged = [&](DISPID id) {
        if (id == ScopeDispId::ChannelColor)
            scope->get_ChannelColor(5, &seen);
    };
    Effect e = Run([&] { return scope->put_ChannelColor(5, 0x0000FF); });
    EXPECT_EQ(e.hr, S_OK);
    EXPECT_EQ(e.notified, Ids{ScopeDispId::ChannelColor});
    EXPECT_EQ(seen, 0x0000FFu);
    e = Run([&] { return scope->put_ChannelColor(5, 0x0000FF); });
    EXPECT_EQ(e.notified, Ids{});
    // Channel 0 already has green from the start.
    e = Run([&] { return scope->put_ChannelColor(0, 0x00FF00); });
    EXPECT_EQ(e.notified, Ids{});
}

TEST_F(ScopePut, StockPropertiesAskFirstAndMayBeRefused)
{
    Effect e = Run([&] { return scope->put_BackColor(0x0000FF); });
    EXPECT_EQ(e.hr, S_OK);
    EXPECT_EQ(sink->requested, Ids{DISPID_BACKCOLOR});
    EXPECT_EQ(e.notified, Ids{DISPID_BACKCOLOR});
    EXPECT_EQ(e.redraws, 1);
    CComPtr<IPersistStreamInit> persist;
    scope.QueryInterface(&persist);
    EXPECT_EQ(persist->IsDirty(), S_OK);

    sink->editAnswer = S_FALSE;
    e = Run([&] { return scope->put_BorderColor(0x00FF00); });
    EXPECT_EQ(e.hr, S_FALSE);
    EXPECT_EQ(e.notified, Ids{});
    EXPECT_EQ(e.redraws, 0);
    OLE_COLOR c = 1;
    scope->get_BorderColor(&c);
    EXPECT_EQ(c, 0u);
    e = Run([&] { return scope->put_Caption(CComBSTR(L"Scope")); });
    EXPECT_EQ(e.hr, S_FALSE);
    CComBSTR caption;
    scope->get_Caption(&caption);
    EXPECT_TRUE(caption.IsNull());
}

TEST_F(ScopePut, StockPutsDoNotMarkTheLayoutDirty)
{
    scope->put_MarginLeft(5); // marks it
    EXPECT_TRUE(ctrl()->HasFlag(CScopeCtrl::LayoutDirty));
    auto fresh = NewScope();
    fresh->put_ForeColor(0x123456);
    fresh->put_Enabled(VARIANT_FALSE);
    EXPECT_FALSE(Impl(fresh)->HasFlag(CScopeCtrl::LayoutDirty));
    VARIANT_BOOL en = 1;
    fresh->get_Enabled(&en);
    EXPECT_EQ(en, VARIANT_FALSE);
}

TEST_F(ScopePut, FontPutClonesAndPutrefShares)
{
    FONTDESC d;
    d.lpstrName = L"DejaVu Sans";
    d.points = 11;
    CComPtr<IFontDisp> font;
    ASSERT_EQ(OleCreateFontIndirect(d, IFontDisp::iid, reinterpret_cast<void**>(&font)), S_OK);

    Effect e = Run([&] { return scope->put_Font(font); });
    EXPECT_EQ(e.notified, Ids{DISPID_FONT});
    EXPECT_EQ(e.redraws, 2);
    CComPtr<IFontDisp> got;
    scope->get_Font(&got);
    EXPECT_FALSE(IsSameObject(got, font));
    CComPtr<IFont> a, b;
    got.QueryInterface(&a);
    font.QueryInterface(&b);
    EXPECT_EQ(a->IsEqual(b), S_OK);

    got.Release();
    scope->putref_Font(font);
    scope->get_Font(&got);
    EXPECT_TRUE(IsSameObject(got, font));

    got.Release();
    e = Run([&] { return scope->put_AxisFont(font); });
    EXPECT_EQ(e.notified, Ids{ScopeDispId::AxisFont});
    scope->get_AxisFont(&got);
    EXPECT_TRUE(IsSameObject(got, font));
    e = Run([&] { return scope->put_AxisFont(font); }); // no same-value test
    EXPECT_EQ(e.notified, Ids{ScopeDispId::AxisFont});
}

TEST_F(ScopePut, NullTriggerImageRestoresTheDefaultPicture)
{
    CComPtr<IPictureDisp> custom;
    ASSERT_EQ(vlt::CStdPicture::Create(QImage(4, 4, QImage::Format_RGB32), IPictureDisp::iid,
                                       reinterpret_cast<void**>(&custom)),
              S_OK);
    Effect e = Run([&] { return scope->put_TrigMarkImage1(custom); });
    EXPECT_EQ(e.notified, Ids{ScopeDispId::TrigMarkImage1});
    EXPECT_EQ(e.redraws, 0); // style none: the image is not shown
    CComPtr<IPictureDisp> got;
    scope->get_TrigMarkImage1(&got);
    EXPECT_TRUE(IsSameObject(got, custom));

    scope->put_TriggerMarkStyle1(TrigMarkImage);
    got.Release();
    e = Run([&] { return scope->put_TrigMarkImage1(nullptr); });
    EXPECT_EQ(e.redraws, 1);
    scope->get_TrigMarkImage1(&got);
    ASSERT_NE(got.p, nullptr);
    EXPECT_FALSE(IsSameObject(got, custom));
    CComPtr<IPicture> pic;
    got.QueryInterface(&pic);
    int32_t w = 0;
    pic->get_Width(&w);
    EXPECT_EQ(w, 24);
}

TEST_F(ScopePut, ColourAndStyleChangesRemakeTheCachedPens)
{
    EXPECT_EQ(ctrl()->GridPen().color(), vlt::OleColorToQColor(0x11DDEE));
    EXPECT_EQ(ctrl()->GridPen().style(), Qt::DotLine);
    EXPECT_EQ(ctrl()->ScopeForePen().color(), vlt::OleColorToQColor(0x11DDEE));
    scope->put_ScopeForeColor(0x0000FF);
    EXPECT_EQ(ctrl()->GridPen().color(), QColor(Qt::red));
    EXPECT_EQ(ctrl()->ScopeForePen().color(), QColor(Qt::red));
    scope->put_GridLineStyle(LineDashDot);
    EXPECT_EQ(ctrl()->GridPen().style(), Qt::DashDotLine);

    EXPECT_EQ(ctrl()->SegmentPen().style(), Qt::DashDotDotLine);
    scope->put_SegmentLineColor(0x00FF00);
    EXPECT_EQ(ctrl()->SegmentPen().color(), QColor(Qt::green));
    scope->put_SegmentLineStyle(LineNone);
    EXPECT_EQ(ctrl()->SegmentPen().style(), Qt::NoPen);

    EXPECT_EQ(ctrl()->SelectionTracePen().color(), QColor(Qt::yellow));
    scope->put_TraceColor(0xFF0000);
    EXPECT_EQ(ctrl()->SelectionTracePen().color(), QColor(Qt::blue));

    EXPECT_EQ(ctrl()->TrigMarkPen(1).color(), vlt::OleColorToQColor(0xFFBF00));
    scope->put_TrigMarkLineColor2(0x000000);
    EXPECT_EQ(ctrl()->TrigMarkPen(1).color(), QColor(Qt::black));

    EXPECT_EQ(ctrl()->BackgroundBrush().color(), QColor(0, 0x80, 0x80));
    scope->put_ScopeBackColor(0x0000FF);
    EXPECT_EQ(ctrl()->BackgroundBrush().color(), QColor(Qt::red));
    EXPECT_EQ(ctrl()->EmptyPlotImage().pixel(0, 0), QColor(Qt::red).rgb());
    // Recoloured from the original each time, so the picture itself survives.
    const QImage first = ctrl()->EmptyPlotImage();
    scope->put_ScopeBackColor(0xC0C0C0); // the picture's own trace colour
    scope->put_ScopeBackColor(0x0000FF);
    EXPECT_EQ(ctrl()->EmptyPlotImage(), first);
}

TEST(ScopeRedraw, SuspensionCountsAndRepaintsAtZero)
{
    auto scope = NewScope();
    QWidget host;
    host.resize(200, 100);
    CComPtr<IOleInPlaceObject> inplace;
    ASSERT_EQ(scope.QueryInterface(&inplace), S_OK);
    ASSERT_EQ(inplace->InPlaceActivate(&host), S_OK);
    ASSERT_EQ(inplace->SetObjectRects(0, 0, 200, 100), S_OK);
    host.show();
    QApplication::processEvents();
    QWidget* wnd = nullptr;
    ASSERT_EQ(inplace->GetWindow(&wnd), S_OK);
    auto* scopeWnd = dynamic_cast<CScopeWnd*>(wnd);
    ASSERT_NE(scopeWnd, nullptr);
    auto sink = MakeSink<NotifySink>();
    Connect(scope, IPropertyNotifySink::iid, static_cast<IPropertyNotifySink*>(sink.p));

    const int start = scopeWnd->PaintCount();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(scope->put_Redraw(0), S_OK);
    EXPECT_EQ(Impl(scope)->RedrawSuspendCount(), 3);
    scope->put_Redraw(1);
    scope->put_Redraw(1);
    EXPECT_EQ(scopeWnd->PaintCount(), start);
    scope->put_Redraw(VARIANT_TRUE);
    EXPECT_EQ(scopeWnd->PaintCount(), start + 1);
    EXPECT_EQ(Impl(scope)->RedrawSuspendCount(), 0);
    scope->put_Redraw(1); // one too many: stays at 0 and paints again
    EXPECT_EQ(Impl(scope)->RedrawSuspendCount(), 0);
    EXPECT_EQ(scopeWnd->PaintCount(), start + 2);
    VARIANT_BOOL flag = 0;
    scope->get_Redraw(&flag);
    EXPECT_EQ(flag, 1);
    EXPECT_TRUE(sink->changed.empty());
    inplace->InPlaceDeactivate();
    EXPECT_EQ(inplace->GetWindow(&wnd), E_FAIL);
}

TEST(ScopeWindow, PendingScrollBarIsCreatedWithTheWindow)
{
    auto scope = NewScope();
    scope->put_HScrollBar(ScrollbarYes);
    EXPECT_TRUE(Impl(scope)->HasFlag(CScopeCtrl::ScrollBarPending));
    QWidget host;
    CComPtr<IOleInPlaceObject> inplace;
    scope.QueryInterface(&inplace);
    inplace->InPlaceActivate(&host);
    EXPECT_FALSE(Impl(scope)->HasFlag(CScopeCtrl::ScrollBarPending));
    EXPECT_TRUE(Impl(scope)->HasFlag(CScopeCtrl::ScrollBarInUse));
    QWidget* wnd = nullptr;
    inplace->GetWindow(&wnd);
    EXPECT_EQ(wnd->findChildren<QScrollBar*>().size(), 1);
    scope->put_HScrollBar(ScrollbarNo);
    EXPECT_EQ(wnd->findChildren<QScrollBar*>().size(), 0);
}

TEST(ScopeWindow, HostDeletingTheWindowFirstIsSafe)
{
    auto scope = NewScope();
    auto host = std::make_unique<QWidget>();
    CComPtr<IOleInPlaceObject> inplace;
    scope.QueryInterface(&inplace);
    inplace->InPlaceActivate(host.get());
    host.reset();
    QWidget* wnd = reinterpret_cast<QWidget*>(1);
    EXPECT_EQ(inplace->GetWindow(&wnd), E_FAIL);
    EXPECT_EQ(scope->put_MarginTop(12), S_OK); // redraw without a window
}
