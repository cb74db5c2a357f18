#include "CComVariant.h"
#include "ScopeTestSupport.h"

#include <gtest/gtest.h>

namespace {
HRESULT Put(IScopeTQ8* s, DISPID id, CComVariant value)
{
    DISPPARAMS args{&value, 1};
    return s->Invoke(id, DISPATCH_PROPERTYPUT, &args, nullptr, nullptr, nullptr);
}
} // namespace

TEST(ScopeDispatch, PutAndGetByDispid)
{
    auto s = NewScope();
    EXPECT_EQ(Put(s, ScopeDispId::GridRows, CComVariant(int32_t(7))), S_OK);
    int32_t rows = 0;
    s->get_GridRows(&rows);
    EXPECT_EQ(rows, 7);
    // The put's own result comes back through Invoke.
    EXPECT_EQ(Put(s, ScopeDispId::GridRows, CComVariant(int32_t(-1))), E_FAIL);
    EXPECT_EQ(Put(s, ScopeDispId::MaxPageWidth, CComVariant(uint32_t(2))), S_FALSE);
}

TEST(ScopeDispatch, RefusesWrongTypesCountsAndMembers)
{
    auto s = NewScope();
    EXPECT_EQ(Put(s, ScopeDispId::GridRows, CComVariant(uint32_t(7))), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Put(s, ScopeDispId::LabelXL, CComVariant(int32_t(1))), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Put(s, ScopeDispId::MaxSampleCount, CComVariant(uint64_t(1))), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Put(s, 100, CComVariant()), DISP_E_MEMBERNOTFOUND); // a method
    DISPPARAMS none;
    CComVariant out;
    EXPECT_EQ(s->Invoke(ScopeDispId::GridRows, DISPATCH_PROPERTYGET, nullptr, nullptr, nullptr, nullptr), E_POINTER);
    EXPECT_EQ(s->Invoke(ScopeDispId::ChannelColor, DISPATCH_PROPERTYGET, &none, &out, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    CComVariant chan(uint32_t(1));
    DISPPARAMS one{&chan, 1};
    EXPECT_EQ(s->Invoke(ScopeDispId::ChannelColor, DISPATCH_PROPERTYGET, &one, &out, nullptr, nullptr), S_OK);
    EXPECT_EQ(out.vt, VT_UI4);
    EXPECT_EQ(out.ulVal, 0xFF0000u);
    // A font property given an object that is not a font.
    auto other = NewScope();
    EXPECT_EQ(Put(s, DISPID_FONT, CComVariant(static_cast<IUnknown*>(static_cast<IScopeTQ8*>(other.p)))),
              DISP_E_TYPEMISMATCH);
}

TEST(ScopeDispatch, NamesAreFoundWithoutRegardToCase)
{
    auto s = NewScope();
    DISPID id = 0;
    EXPECT_EQ(s->GetIDOfName(L"pagewidth", &id), S_OK);
    EXPECT_EQ(id, ScopeDispId::PageWidth);
    EXPECT_EQ(s->GetIDOfName(L"BackColor", &id), S_OK);
    EXPECT_EQ(id, DISPID_BACKCOLOR);
    EXPECT_EQ(s->GetIDOfName(L"PageWidthX", &id), DISP_E_UNKNOWNNAME);
}
