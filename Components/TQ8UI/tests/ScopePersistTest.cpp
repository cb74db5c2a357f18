#include "CComBSTR.h"
#include "CComVariant.h"
#include "CMemStream.h"
#include "CStdFont.h"
#include "CStdPicture.h"
#include "ScopeDispatch.h"
#include "ScopePropertyMap.h"
#include "ScopeTestSupport.h"
#include "StreamIo.h"

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> SaveBytes(IScopeTQ8* scope)
{
    CComPtr<IPersistStreamInit> persist;
    EXPECT_EQ(scope->QueryInterface(&persist), S_OK);
    CComPtr<IStream> out;
    vlt::CMemStream::Create(&out);
    EXPECT_EQ(persist->Save(out, true), S_OK);
    return vlt::MemStreamBytes(out);
}

HRESULT LoadBytes(IScopeTQ8* scope, const std::vector<uint8_t>& bytes)
{
    CComPtr<IPersistStreamInit> persist;
    scope->QueryInterface(&persist);
    CComPtr<IStream> in;
    vlt::CMemStream::Create(&in, bytes);
    return persist->Load(in);
}

CComVariant GetProp(IScopeTQ8* scope, DISPID id)
{
    CComVariant v;
    DISPPARAMS none;
    EXPECT_EQ(scope->Invoke(id, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr), S_OK) << id;
    return v;
}

// Same value; objects compared by what they hold.
bool SameValue(const VARIANT& a, const VARIANT& b)
{
    if (a.vt != VT_UNKNOWN || b.vt != VT_UNKNOWN)
        return vlt::VariantEqual(a, b);
    if (!a.punkVal || !b.punkVal)
        return a.punkVal == b.punkVal;
    CComPtr<IFont> fa, fb;
    if (SUCCEEDED(a.punkVal->QueryInterface(&fa)) && SUCCEEDED(b.punkVal->QueryInterface(&fb)))
        return fa->IsEqual(fb) == S_OK;
    CComPtr<IPicture> pa, pb;
    if (SUCCEEDED(a.punkVal->QueryInterface(&pa)) && SUCCEEDED(b.punkVal->QueryInterface(&pb))) {
        QImage ia, ib;
        pa->GetImage(&ia);
        pb->GetImage(&ib);
        return ia == ib;
    }
    return false;
}

CComPtr<IFontDisp> Font(const wchar_t* face, double points, int16_t weight)
{
    FONTDESC d;
    d.lpstrName = face;
    d.points = points;
    d.sWeight = weight;
    CComPtr<IFontDisp> f;
    OleCreateFontIndirect(d, IFontDisp::iid, reinterpret_cast<void**>(&f));
    return f;
}

CComPtr<IPictureDisp> Picture(int w, int h, QRgb fill)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(fill);
    CComPtr<IPictureDisp> p;
    vlt::CStdPicture::Create(img, IPictureDisp::iid, reinterpret_cast<void**>(&p));
    return p;
}

// Every persisted property away from its default.
void SetEverything(IScopeTQ8* s)
{
    ASSERT_EQ(s->put_BackColor(0x010203), S_OK);
    ASSERT_EQ(s->put_BorderColor(0x040506), S_OK);
    ASSERT_EQ(s->put_BorderStyle(1), S_OK);
    ASSERT_EQ(s->put_BorderVisible(VARIANT_FALSE), S_OK);
    ASSERT_EQ(s->put_Caption(CComBSTR(L"Kanal \u00c4")), S_OK);
    ASSERT_EQ(s->put_Enabled(VARIANT_FALSE), S_OK);
    ASSERT_EQ(s->put_Font(Font(L"DejaVu Sans", 10.5, 700)), S_OK);
    ASSERT_EQ(s->put_ForeColor(0x070809), S_OK);
    ASSERT_EQ(s->put_LabelXL(CComBSTR(L"XL")), S_OK);
    ASSERT_EQ(s->put_LabelXR(CComBSTR(L"XR")), S_OK);
    ASSERT_EQ(s->put_LabelXM(CComBSTR(L"XM")), S_OK);
    ASSERT_EQ(s->put_LabelYT(CComBSTR(L"YT")), S_OK);
    ASSERT_EQ(s->put_LabelYM(CComBSTR(L"YM")), S_OK);
    ASSERT_EQ(s->put_LabelYB(CComBSTR(L"YB")), S_OK);
    ASSERT_EQ(s->put_LabelYT2(CComBSTR(L"YT2")), S_OK);
    ASSERT_EQ(s->put_LabelYM2(CComBSTR(L"YM2")), S_OK);
    ASSERT_EQ(s->put_LabelYB2(CComBSTR(L"YB2")), S_OK);
    ASSERT_EQ(s->put_MarginLeft(1), S_OK);
    ASSERT_EQ(s->put_MarginRight(2), S_OK);
    ASSERT_EQ(s->put_MarginTop(3), S_OK);
    ASSERT_EQ(s->put_MarginBottom(5), S_OK);
    ASSERT_EQ(s->put_MaxPageWidth(100000), S_OK);
    ASSERT_EQ(s->put_PageWidth(50000), S_OK);
    ASSERT_EQ(s->put_MinSampleValue(-100), S_OK);
    ASSERT_EQ(s->put_MaxSampleValue(-50), S_OK);
    ASSERT_EQ(s->put_ScopeForeColor(0x0A0B0C), S_OK);
    ASSERT_EQ(s->put_ScopeBackColor(0x0D0E0F), S_OK);
    ASSERT_EQ(s->put_GridRows(6), S_OK);
    ASSERT_EQ(s->put_GridColumns(10), S_OK);
    ASSERT_EQ(s->put_AxisFont(Font(L"Liberation Mono", 7, 300)), S_OK);
    ASSERT_EQ(s->put_PointRadius(3), S_OK);
    ASSERT_EQ(s->put_TriggerMarkStyle1(TrigMarkAll), S_OK);
    ASSERT_EQ(s->put_TrigMarkLineColor1(0x111111), S_OK);
    ASSERT_EQ(s->put_TrigMarkLevel1(0.125f), S_OK);
    ASSERT_EQ(s->put_TrigMarkImage1(Picture(3, 2, qRgba(1, 2, 3, 4))), S_OK);
    ASSERT_EQ(s->put_TrigMarkImageAlpha1(0.75), S_OK);
    ASSERT_EQ(s->put_TriggerMarkStyle2(TrigMarkImageHotLine), S_OK);
    ASSERT_EQ(s->put_TrigMarkLineColor2(0x222222), S_OK);
    ASSERT_EQ(s->put_TrigMarkLevel2(0.875f), S_OK);
    ASSERT_EQ(s->put_TrigMarkImage2(Picture(1, 7, qRgb(9, 9, 9))), S_OK);
    ASSERT_EQ(s->put_TrigMarkImageAlpha2(0.0), S_OK);
    ASSERT_EQ(s->put_HScrollBar(ScrollbarNo), S_OK);
    ASSERT_EQ(s->put_GridLineStyle(LineDashDot), S_OK);
    ASSERT_EQ(s->put_AutoXLabels(0), S_OK);
    ASSERT_EQ(s->put_AutoYLabels(0), S_OK);
    ASSERT_EQ(s->put_AutoXLabelRadix(16), S_OK);
    ASSERT_EQ(s->put_AutoYLabelRadix(8), S_OK);
    ASSERT_EQ(s->put_TraceColor(0x333333), S_OK);
    ASSERT_EQ(s->put_AllowDataSelection(0), S_OK);
    ASSERT_EQ(s->put_SegmentSize(4096), S_OK);
    ASSERT_EQ(s->put_SegmentLineStyle(LineSolid), S_OK);
    ASSERT_EQ(s->put_SegmentLineColor(0x444444), S_OK);
    ASSERT_EQ(s->put_ContextMenuEnabled(VARIANT_TRUE), S_OK);
    ASSERT_EQ(s->put_SampleValueTipsEnabled(0), S_OK);
}

void ExpectSameProperties(IScopeTQ8* a, IScopeTQ8* b)
{
    size_t n = 0;
    const ScopeMapEntry* map = ScopePropertyMap(&n);
    ASSERT_EQ(n, 57u);
    for (size_t i = 0; i < n; ++i)
        EXPECT_TRUE(SameValue(GetProp(a, map[i].id), GetProp(b, map[i].id))) << "property " << map[i].id;
}

} // namespace

TEST(ScopePersist, RoundTripOfEveryProperty)
{
    auto saved = NewScope();
    SetEverything(saved);
    Impl(saved)->SetExtent({1234, 5678});
    auto bytes = SaveBytes(saved);

    auto loaded = NewScope();
    ASSERT_EQ(LoadBytes(loaded, bytes), S_OK);
    ExpectSameProperties(saved, loaded);
    EXPECT_EQ(Impl(loaded)->Extent().cx, 1234u);
    EXPECT_EQ(Impl(loaded)->Extent().cy, 5678u);

    // Spot checks on the bounded pairs, which a load in map order would lose.
    uint32_t w = 0, max = 0;
    int32_t lo = 0, hi = 0;
    loaded->get_PageWidth(&w);
    loaded->get_MaxPageWidth(&max);
    loaded->get_MinSampleValue(&lo);
    loaded->get_MaxSampleValue(&hi);
    EXPECT_EQ(w, 50000u);
    EXPECT_EQ(max, 100000u);
    EXPECT_EQ(lo, -100);
    EXPECT_EQ(hi, -50);
}

TEST(ScopePersist, RangeAboveTheDefaultComesBack)
{
    auto saved = NewScope();
    saved->put_MaxSampleValue(400);
    saved->put_MinSampleValue(300);
    saved->put_MaxPageWidth(16);
    saved->put_PageWidth(8);
    auto loaded = NewScope();
    ASSERT_EQ(LoadBytes(loaded, SaveBytes(saved)), S_OK);
    ExpectSameProperties(saved, loaded);
}

TEST(ScopePersist, DefaultsRoundTrip)
{
    auto saved = NewScope();
    auto loaded = NewScope();
    loaded->put_PageWidth(100);
    ASSERT_EQ(LoadBytes(loaded, SaveBytes(saved)), S_OK);
    ExpectSameProperties(saved, loaded);
}

TEST(ScopePersist, LoadSetsThroughThePutsAndNotifies)
{
    auto saved = NewScope();
    saved->put_GridRows(9);
    auto loaded = NewScope();
    auto sink = MakeSink<NotifySink>();
    Connect(loaded, IPropertyNotifySink::iid, static_cast<IPropertyNotifySink*>(sink.p));
    ASSERT_EQ(LoadBytes(loaded, SaveBytes(saved)), S_OK);
    EXPECT_NE(std::find(sink->changed.begin(), sink->changed.end(), ScopeDispId::GridRows), sink->changed.end());
}

TEST(ScopePersist, SavedStartSampleIsRefusedWithoutSourcesButTheRestLoads)
{
    // A stream as a control with data would write it: start at sample 1000.
    auto saved = NewScope();
    saved->put_GridColumns(2);
    auto bytes = SaveBytes(saved);
    size_t n = 0;
    const ScopeMapEntry* map = ScopePropertyMap(&n);
    CComPtr<IStream> out;
    vlt::CMemStream::Create(&out);
    vlt::WriteU32(out, kScopeStreamVersion);
    vlt::WriteU32(out, 5080);
    vlt::WriteU32(out, 5080);
    for (size_t i = 0; i < n; ++i) {
        CComVariant v = GetProp(saved, map[i].id);
        if (map[i].id == ScopeDispId::StartSample)
            v = CComVariant(uint64_t(1000));
        if (map[i].id == ScopeDispId::SampleValueTipsEnabled)
            v = CComVariant(false);
        ASSERT_EQ(vlt::WriteVariant(out, v), S_OK);
    }
    auto loaded = NewScope();
    ASSERT_EQ(LoadBytes(loaded, vlt::MemStreamBytes(out)), S_OK);
    uint64_t start = 1;
    int32_t cols = 0;
    VARIANT_BOOL tips = 1;
    loaded->get_StartSample(&start);
    loaded->get_GridColumns(&cols);
    loaded->get_SampleValueTipsEnabled(&tips);
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(cols, 2);
    EXPECT_EQ(tips, 0); // after StartSample in the map, still loaded
}

TEST(ScopePersist, DamagedStreamChangesNothing)
{
    auto saved = NewScope();
    SetEverything(saved);
    auto bytes = SaveBytes(saved);
    auto fresh = NewScope();
    auto reference = NewScope();
    for (size_t cut : {size_t(0), size_t(3), size_t(12), bytes.size() / 2, bytes.size() - 1}) {
        SCOPED_TRACE(cut);
        EXPECT_TRUE(FAILED(LoadBytes(fresh, std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut))));
        ExpectSameProperties(fresh, reference);
    }
    auto wrongVersion = bytes;
    wrongVersion[0] ^= 0xFF;
    EXPECT_EQ(LoadBytes(fresh, wrongVersion), STG_E_OLDFORMAT);
    ExpectSameProperties(fresh, reference);
}

TEST(ScopePersist, WrongValueTypeChangesNothing)
{
    CComPtr<IStream> out;
    vlt::CMemStream::Create(&out);
    vlt::WriteU32(out, kScopeStreamVersion);
    vlt::WriteU32(out, 1);
    vlt::WriteU32(out, 1);
    vlt::WriteVariant(out, CComVariant(std::wstring_view(L"red"))); // BackColor as text
    auto fresh = NewScope();
    auto reference = NewScope();
    EXPECT_TRUE(FAILED(LoadBytes(fresh, vlt::MemStreamBytes(out))));
    ExpectSameProperties(fresh, reference);
}

TEST(ScopePersist, DirtyMarkFollowsStockPutsSavesAndLoads)
{
    auto s = NewScope();
    CComPtr<IPersistStreamInit> persist;
    s.QueryInterface(&persist);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    s->put_ForeColor(0x10);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    CComPtr<IStream> out;
    vlt::CMemStream::Create(&out);
    ASSERT_EQ(persist->Save(out, false), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ASSERT_EQ(persist->Save(out, true), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    s->put_Caption(CComBSTR(L"c"));
    ASSERT_EQ(LoadBytes(s, SaveBytes(NewScope())), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
}

TEST(ScopePersist, MapNamesAndTypes)
{
    size_t n = 0;
    const ScopeMapEntry* map = ScopePropertyMap(&n);
    EXPECT_STREQ(map[50].name, L"AllowSelection");
    EXPECT_EQ(map[50].id, ScopeDispId::AllowDataSelection);
    EXPECT_STREQ(map[56].name, L"SampleTipsChanId");
    for (size_t i = 0; i < n; ++i) {
        const ScopeMember* p = FindScopeProperty(map[i].id);
        ASSERT_NE(p, nullptr);
        EXPECT_FALSE(p->readOnly);
        EXPECT_FALSE(p->indexed);
        for (size_t j = i + 1; j < n; ++j)
            EXPECT_NE(map[i].id, map[j].id);
    }
}
