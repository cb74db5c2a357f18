#include "CComBSTR.h"
#include "CComPtr.h"
#include "CComVariant.h"
#include "CMemStream.h"
#include "CStdFont.h"
#include "CStdPicture.h"
#include "StreamIo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

CComPtr<IStream> NewStream(const std::vector<uint8_t>& bytes = {})
{
    CComPtr<IStream> s;
    EXPECT_EQ(vlt::CMemStream::Create(&s, bytes), S_OK);
    return s;
}

CComVariant RoundTrip(const VARIANT& v)
{
    auto out = NewStream();
    EXPECT_EQ(vlt::WriteVariant(out, v), S_OK);
    auto in = NewStream(vlt::MemStreamBytes(out));
    CComVariant back;
    EXPECT_EQ(vlt::ReadVariant(in, &back), S_OK);
    return back;
}

} // namespace

TEST(StreamIo, ScalarVariantsRoundTrip)
{
    const CComVariant values[] = {CComVariant(int8_t(-5)),     CComVariant(uint8_t(200)),
                                  CComVariant(int16_t(-300)),  CComVariant(uint16_t(65000)),
                                  CComVariant(int32_t(-7)),    CComVariant(uint32_t(0xFFFFFFFF)),
                                  CComVariant(int64_t(-1)),    CComVariant(uint64_t(1) << 63),
                                  CComVariant(0.25f),          CComVariant(-1e300),
                                  CComVariant(true),           CComVariant(false),
                                  CComVariant(),               CComVariant(std::wstring_view(L"Zeit \u00b5s \u2192"))};
    for (const auto& v : values) {
        CComVariant back = RoundTrip(v);
        EXPECT_TRUE(vlt::VariantEqual(v, back)) << "vt " << v.vt;
    }
}

TEST(StreamIo, NullTextAndEmptyTextStayApart)
{
    CComVariant null = RoundTrip(CComVariant::FromBstr(nullptr));
    ASSERT_EQ(null.vt, VT_BSTR);
    EXPECT_EQ(null.bstrVal, nullptr);
    CComVariant empty = RoundTrip(CComVariant(std::wstring_view(L"")));
    ASSERT_EQ(empty.vt, VT_BSTR);
    ASSERT_NE(empty.bstrVal, nullptr);
    EXPECT_EQ(SysStringLen(empty.bstrVal), 0u);
}

TEST(StreamIo, TruncatedStreamFailsAndLeavesVariantEmpty)
{
    auto out = NewStream();
    ASSERT_EQ(vlt::WriteVariant(out, CComVariant(std::wstring_view(L"abcdef"))), S_OK);
    std::vector<uint8_t> bytes = vlt::MemStreamBytes(out);
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        auto in = NewStream(std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut));
        CComVariant back;
        EXPECT_TRUE(FAILED(vlt::ReadVariant(in, &back))) << cut;
        EXPECT_EQ(back.vt, VT_EMPTY);
    }
}

TEST(StreamIo, RefusesHugeTextLengthWithoutAllocating)
{
    auto out = NewStream();
    vlt::WriteU16(out, VT_BSTR);
    vlt::WriteU32(out, 0xFFFFFFF0u);
    auto in = NewStream(vlt::MemStreamBytes(out));
    CComVariant back;
    EXPECT_EQ(vlt::ReadVariant(in, &back), STG_E_READFAULT);
}

TEST(StreamIo, RefusesUnknownTypesAndOutOfRangeValues)
{
    CComVariant arr;
    arr.vt = VT_ARRAY | VT_UI1;
    arr.parray = nullptr;
    auto out = NewStream();
    EXPECT_EQ(vlt::WriteVariant(out, arr), DISP_E_BADVARTYPE);

    auto bad = NewStream();
    vlt::WriteU16(bad, VT_UI1);
    vlt::WriteU64(bad, 0x100);
    auto in = NewStream(vlt::MemStreamBytes(bad));
    CComVariant back;
    EXPECT_EQ(vlt::ReadVariant(in, &back), STG_E_READFAULT);
}

TEST(StdFont, CloneIsEqualButSeparate)
{
    FONTDESC d;
    d.lpstrName = L"DejaVu Sans";
    d.points = 9.5;
    d.sWeight = 700;
    CComPtr<IFont> font;
    ASSERT_EQ(OleCreateFontIndirect(d, IFont::iid, reinterpret_cast<void**>(&font)), S_OK);
    CComPtr<IFont> clone;
    ASSERT_EQ(font->Clone(&clone), S_OK);
    EXPECT_NE(clone.p, font.p);
    EXPECT_EQ(font->IsEqual(clone), S_OK);
    clone->put_Weight(400);
    EXPECT_EQ(font->IsEqual(clone), S_FALSE);
    int16_t w = 0;
    font->get_Weight(&w);
    EXPECT_EQ(w, 700);
    EXPECT_EQ(font->put_Size(0.0), E_INVALIDARG);
    EXPECT_EQ(font->put_Size(std::nan("")), E_INVALIDARG);
}

TEST(StdFont, RoundTripsThroughAStream)
{
    FONTDESC d;
    d.lpstrName = L"MS Shell Dlg";
    d.points = 8.25;
    d.sWeight = 600;
    d.sCharset = 2;
    CComPtr<IFontDisp> font;
    ASSERT_EQ(OleCreateFontIndirect(d, IFontDisp::iid, reinterpret_cast<void**>(&font)), S_OK);
    auto out = NewStream();
    ASSERT_EQ(vlt::SaveObject(out, font), S_OK);
    auto in = NewStream(vlt::MemStreamBytes(out));
    CComPtr<IFont> back;
    ASSERT_EQ(vlt::LoadObject(in, IFont::iid, reinterpret_cast<void**>(&back)), S_OK);
    CComPtr<IFont> orig;
    font.QueryInterface(&orig);
    EXPECT_EQ(orig->IsEqual(back), S_OK);
}

TEST(StdPicture, RoundTripsThroughAStream)
{
    QImage img(5, 3, QImage::Format_ARGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            img.setPixel(x, y, qRgba(x * 40, y * 80, 7, 255));
    CComPtr<IPictureDisp> pic;
    ASSERT_EQ(vlt::CStdPicture::Create(img, IPictureDisp::iid, reinterpret_cast<void**>(&pic)), S_OK);
    auto out = NewStream();
    ASSERT_EQ(vlt::SaveObject(out, pic), S_OK);
    auto in = NewStream(vlt::MemStreamBytes(out));
    CComPtr<IPicture> back;
    ASSERT_EQ(vlt::LoadObject(in, IPicture::iid, reinterpret_cast<void**>(&back)), S_OK);
    int32_t w = 0, h = 0;
    back->get_Width(&w);
    back->get_Height(&h);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 3);
    QImage got;
    back->GetImage(&got);
    EXPECT_EQ(got, img);
}

TEST(StdPicture, RefusesOversizedPictureData)
{
    auto out = NewStream();
    vlt::WriteGuid(out, CLSID_StdPicture);
    vlt::WriteU32(out, 1);
    vlt::WriteU32(out, 100000);
    vlt::WriteU32(out, 100000);
    auto in = NewStream(vlt::MemStreamBytes(out));
    CComPtr<IPicture> back;
    EXPECT_EQ(vlt::LoadObject(in, IPicture::iid, reinterpret_cast<void**>(&back)), STG_E_READFAULT);
    EXPECT_EQ(back.p, nullptr);
}

TEST(StreamIo, NullObjectAndUnknownClass)
{
    auto out = NewStream();
    ASSERT_EQ(vlt::WriteVariant(out, CComVariant(static_cast<IUnknown*>(nullptr))), S_OK);
    vlt::WriteU16(out, VT_UNKNOWN);
    vlt::WriteGuid(out, vlt::MakeGuid("12345678-0000-0000-0000-000000000000"));
    auto in = NewStream(vlt::MemStreamBytes(out));
    CComVariant a, b;
    ASSERT_EQ(vlt::ReadVariant(in, &a), S_OK);
    EXPECT_EQ(a.vt, VT_UNKNOWN);
    EXPECT_EQ(a.punkVal, nullptr);
    EXPECT_EQ(vlt::ReadVariant(in, &b), REGDB_E_CLASSNOTREG);
}
