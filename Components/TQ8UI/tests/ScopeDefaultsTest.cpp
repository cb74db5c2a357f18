#include "CComBSTR.h"
#include "OleColor.h"
#include "ScopeTestSupport.h"

#include <gtest/gtest.h>

namespace {

template <class T>
T Get(IScopeTQ8* s, HRESULT (IScopeTQ8::*getter)(T*))
{
    T v{};
    EXPECT_EQ((s->*getter)(&v), S_OK);
    return v;
}

std::wstring Text(IScopeTQ8* s, HRESULT (IScopeTQ8::*getter)(BSTR*))
{
    CComBSTR b;
    EXPECT_EQ((s->*getter)(&b), S_OK);
    EXPECT_FALSE(b.IsNull());
    return std::wstring(b.View());
}

} // namespace

TEST(ScopeDefaults, ColoursAndStyles)
{
    auto s = NewScope();
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_BackColor), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_BorderColor), 0u);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_ForeColor), 0u);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_ScopeForeColor), 0x11DDEEu);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_ScopeBackColor), 0x808000u);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_TraceColor), 0x00FFFFu);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_SegmentLineColor), 0x00DD80u);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_TrigMarkLineColor1), 0xFFBF00u);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_TrigMarkLineColor2), 0xFFBF00u);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_GridLineStyle), LineDotted);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_SegmentLineStyle), LineDashDotDot);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_TriggerMarkStyle1), TrigMarkNone);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_TriggerMarkStyle2), TrigMarkNone);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_HScrollBar), ScrollbarAuto);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_BorderStyle), 0);
}

TEST(ScopeDefaults, Numbers)
{
    auto s = NewScope();
    for (auto g : {&IScopeTQ8::get_MarginLeft, &IScopeTQ8::get_MarginRight, &IScopeTQ8::get_MarginTop,
                   &IScopeTQ8::get_MarginBottom})
        EXPECT_EQ(Get(s.p, g), 4);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_GridRows), 4);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_GridColumns), 4);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_PointRadius), 2);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_AutoXLabelRadix), 10);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_AutoYLabelRadix), 10);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_SampleValueTipsRadix), 10);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_StartSample), 0u);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_PageWidth), 8192u);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_MaxPageWidth), 32768u);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_MaxSampleValue), 255);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_MinSampleValue), 0);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_MaxSampleCount), 0u);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_SegmentSize), 0u);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_SampleValueTipsChannelId), 0xFFFFFFFFu);
    EXPECT_FLOAT_EQ(Get(s.p, &IScopeTQ8::get_TrigMarkLevel1), 0.5f);
    EXPECT_FLOAT_EQ(Get(s.p, &IScopeTQ8::get_TrigMarkLevel2), 0.5f);
    EXPECT_DOUBLE_EQ(Get(s.p, &IScopeTQ8::get_TrigMarkImageAlpha1), 0.5);
    EXPECT_DOUBLE_EQ(Get(s.p, &IScopeTQ8::get_TrigMarkImageAlpha2), 0.5);
}

TEST(ScopeDefaults, BooleansAndFlags)
{
    auto s = NewScope();
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_Enabled), VARIANT_TRUE);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_BorderVisible), VARIANT_TRUE);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_AutoXLabels), 1);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_AutoYLabels), 1);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_AllowDataSelection), 1);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_ContextMenuEnabled), 0);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_SampleValueTipsEnabled), 1);
    EXPECT_EQ(Get(s.p, &IScopeTQ8::get_Redraw), 1);
    EXPECT_EQ(Impl(s)->Flags(), CScopeCtrl::kDefaultFlags);
    EXPECT_FALSE(Impl(s)->HasSelection());
}

TEST(ScopeDefaults, TextsAndChannelColours)
{
    auto s = NewScope();
    CComBSTR caption(L"x");
    caption.Empty();
    EXPECT_EQ(s->get_Caption(&caption), S_OK);
    EXPECT_TRUE(caption.IsNull());
    for (auto g : {&IScopeTQ8::get_LabelXL, &IScopeTQ8::get_LabelXM, &IScopeTQ8::get_LabelXR, &IScopeTQ8::get_LabelYT,
                   &IScopeTQ8::get_LabelYM, &IScopeTQ8::get_LabelYB, &IScopeTQ8::get_LabelYT2,
                   &IScopeTQ8::get_LabelYM2, &IScopeTQ8::get_LabelYB2})
        EXPECT_EQ(Text(s.p, g), L"");
    const OLE_COLOR seeds[] = {0x00FF00, 0xFF0000, 0x241CED, 0x0EC9FF};
    for (uint32_t id = 0; id < 4; ++id) {
        OLE_COLOR c = 0;
        EXPECT_EQ(s->get_ChannelColor(id, &c), S_OK);
        EXPECT_EQ(c, seeds[id]);
    }
    OLE_COLOR c = 0;
    EXPECT_EQ(s->get_ChannelColor(4, &c), S_OK);
    EXPECT_EQ(c, 0xFFFFFFu);
    EXPECT_EQ(s->get_ChannelColor(0xFFFFFFFF, &c), S_OK);
    EXPECT_EQ(c, 0xFFFFFFu);
}

TEST(ScopeDefaults, FontsAndPictures)
{
    auto s = NewScope();
    for (auto g : {&IScopeTQ8::get_Font, &IScopeTQ8::get_AxisFont}) {
        CComPtr<IFontDisp> disp;
        ASSERT_EQ((s.p->*g)(&disp), S_OK);
        ASSERT_NE(disp.p, nullptr);
        CComPtr<IFont> font;
        ASSERT_EQ(disp.QueryInterface(&font), S_OK);
        CComBSTR name;
        double points = 0;
        int16_t weight = 0;
        font->get_Name(&name);
        font->get_Size(&points);
        font->get_Weight(&weight);
        EXPECT_EQ(name.View(), L"MS Shell Dlg");
        EXPECT_EQ(points, 8.0);
        EXPECT_EQ(weight, 400);
    }
    for (auto g : {&IScopeTQ8::get_TrigMarkImage1, &IScopeTQ8::get_TrigMarkImage2}) {
        CComPtr<IPictureDisp> disp;
        ASSERT_EQ((s.p->*g)(&disp), S_OK);
        CComPtr<IPicture> pic;
        ASSERT_EQ(disp.QueryInterface(&pic), S_OK);
        int32_t w = 0, h = 0;
        pic->get_Width(&w);
        pic->get_Height(&h);
        EXPECT_EQ(w, 24);
        EXPECT_EQ(h, 15);
    }
    EXPECT_EQ(Impl(s)->EmptyPlotImage().size(), QSize(354, 129));
    EXPECT_EQ(Impl(s)->EmptyPlotImage().pixel(0, 0), QColor(0, 0x80, 0x80).rgb());
}

TEST(ScopeDefaults, GettersRefuseNullPointers)
{
    auto s = NewScope();
    EXPECT_EQ(s->get_PageWidth(nullptr), E_POINTER);
    EXPECT_EQ(s->get_LabelXL(nullptr), E_POINTER);
    EXPECT_EQ(s->get_Font(nullptr), E_POINTER);
    EXPECT_EQ(s->get_AxisFont(nullptr), E_POINTER);
    EXPECT_EQ(s->get_TrigMarkImage1(nullptr), E_POINTER);
    EXPECT_EQ(s->get_ChannelColor(0, nullptr), E_POINTER);
    EXPECT_EQ(s->get_ChannelVisibility(0, nullptr), E_POINTER);
    EXPECT_EQ(s->get_Caption(nullptr), E_POINTER);
}

TEST(ScopeDefaults, AnswersItsInterfaces)
{
    auto s = NewScope();
    CComPtr<IDispatch> disp;
    CComPtr<IPersistStreamInit> persist;
    CComPtr<IPersist> p;
    CComPtr<IConnectionPointContainer> cpc;
    CComPtr<IOleWindow> wnd;
    CComPtr<IUnknown> unk;
    EXPECT_EQ(s.QueryInterface(&disp), S_OK);
    EXPECT_EQ(s.QueryInterface(&persist), S_OK);
    EXPECT_EQ(s.QueryInterface(&p), S_OK);
    EXPECT_EQ(s.QueryInterface(&cpc), S_OK);
    EXPECT_EQ(s.QueryInterface(&wnd), S_OK);
    EXPECT_EQ(s.QueryInterface(&unk), S_OK);
    EXPECT_EQ(static_cast<void*>(unk.p), static_cast<void*>(static_cast<IUnknown*>(s.p)));
    CComPtr<IFont> none;
    EXPECT_EQ(s.QueryInterface(&none), E_NOINTERFACE);
    CLSID clsid;
    EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_CScopeCtrl);
}

TEST(ScopeDrawingState, BackBufferFollowsTheRectangle)
{
    auto s = NewScope();
    EXPECT_TRUE(Impl(s)->CreateBackBuffer(QRect(10, 20, 100, 50)));
    EXPECT_EQ(Impl(s)->BackBuffer().size(), QSize(100, 50));
    EXPECT_FALSE(Impl(s)->CreateBackBuffer(QRect(0, 0, 0, 10)));
    EXPECT_TRUE(Impl(s)->BackBuffer().isNull());
}

TEST(ScopeDrawingState, PointMarkersNeedRoomBetweenSamples)
{
    auto s = NewScope();
    // Without a laid-out plot there is no room for markers or tips.
    EXPECT_FALSE(Impl(s)->ArePointMarkersVisible(false));
    EXPECT_FALSE(Impl(s)->ArePointMarkersVisible(true));
    auto [lo, hi] = Impl(s)->GetOrderedSelection();
    EXPECT_EQ(lo, CScopeCtrl::kNoSample);
    EXPECT_EQ(hi, CScopeCtrl::kNoSample);
}

TEST(ScopeDrawingState, EmphasisFontIsTheSameFaceInSemiBold)
{
    auto s = NewScope();
    CComPtr<IFont> font;
    ASSERT_NE(Impl(s)->EmphasisFont(), nullptr);
    ASSERT_EQ(Impl(s)->EmphasisFont()->QueryInterface(&font), S_OK);
    CComBSTR name;
    int16_t weight = 0;
    font->get_Name(&name);
    font->get_Weight(&weight);
    EXPECT_EQ(name.View(), L"MS Shell Dlg");
    EXPECT_EQ(weight, 600);
}
