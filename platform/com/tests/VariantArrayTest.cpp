#include "CComObject.h"
#include "CComPtr.h"
#include "CComVariant.h"
#include "SafeArray.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace {
struct Counted : IUnknown, vlt::CComObjectRoot {
    HRESULT InternalQueryInterface(const IID& riid, void** ppv)
    {
        return vlt::QiEntry<IUnknown>(this, riid, ppv) ? S_OK : E_NOINTERFACE;
    }
};

uint32_t RefCount(IUnknown* p)
{
    p->AddRef();
    return p->Release();
}
} // namespace

TEST(SafeArray, ElementSizesOfTheEightSampleTypes)
{
    const std::pair<VARTYPE, uint32_t> types[] = {{VT_I1, 1}, {VT_UI1, 1}, {VT_I2, 2}, {VT_UI2, 2},
                                                   {VT_I4, 4}, {VT_UI4, 4}, {VT_R4, 4}, {VT_R8, 8}};
    for (auto [vt, size] : types) {
        SAFEARRAY* psa = SafeArrayCreateVector(vt, 0, 3);
        ASSERT_NE(psa, nullptr) << vt;
        EXPECT_EQ(SafeArrayGetElemsize(psa), size);
        EXPECT_EQ(SafeArrayGetDim(psa), 1u);
        VARTYPE got = 0;
        EXPECT_EQ(SafeArrayGetVartype(psa, &got), S_OK);
        EXPECT_EQ(got, vt);
        EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    }
}

TEST(SafeArray, RefusesOtherTypesAndOverflowingBounds)
{
    EXPECT_EQ(SafeArrayCreateVector(VT_BSTR, 0, 1), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_I8, 0, 1), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_UI1, std::numeric_limits<int32_t>::max(), 2), nullptr);
    SAFEARRAY* last = SafeArrayCreateVector(VT_UI1, std::numeric_limits<int32_t>::max(), 1);
    ASSERT_NE(last, nullptr);
    int32_t ub = 0;
    EXPECT_EQ(SafeArrayGetUBound(last, 1, &ub), S_OK);
    EXPECT_EQ(ub, std::numeric_limits<int32_t>::max());
    SafeArrayDestroy(last);
}

TEST(SafeArray, BoundsAndZeroFill)
{
    SAFEARRAY* psa = SafeArrayCreateVector(VT_I2, -2, 5);
    ASSERT_NE(psa, nullptr);
    int32_t lb = 0, ub = 0;
    EXPECT_EQ(SafeArrayGetLBound(psa, 1, &lb), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &ub), S_OK);
    EXPECT_EQ(lb, -2);
    EXPECT_EQ(ub, 2);
    EXPECT_EQ(SafeArrayGetLBound(psa, 2, &lb), DISP_E_BADINDEX);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, &data), S_OK);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(static_cast<int16_t*>(data)[i], 0);
    EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(psa), E_UNEXPECTED);
    SafeArrayDestroy(psa);

    SAFEARRAY* empty = SafeArrayCreateVector(VT_R8, 0, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SafeArrayGetUBound(empty, 1, &ub), S_OK);
    EXPECT_EQ(ub, -1);
    SafeArrayDestroy(empty);
}

TEST(SafeArray, LockedArrayCannotBeDestroyed)
{
    SAFEARRAY* psa = SafeArrayCreateVector(VT_R4, 0, 4);
    ASSERT_EQ(SafeArrayLock(psa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    VARIANT v;
    v.vt = VT_ARRAY | VT_R4;
    v.parray = psa;
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(v.parray, psa);
    SafeArrayUnlock(psa);
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
}

TEST(Variant, CopyIsDeepForTextAndArrays)
{
    CComVariant text(std::wstring_view(L"label"));
    CComVariant copy(text);
    ASSERT_EQ(copy.vt, VT_BSTR);
    EXPECT_NE(copy.bstrVal, text.bstrVal);
    EXPECT_TRUE(vlt::VariantEqual(copy, text));

    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI4, 0, 2);
    static_cast<uint32_t*>(psa->pvData)[1] = 42;
    CComVariant arr;
    arr.vt = VT_ARRAY | VT_UI4;
    arr.parray = psa;
    CComVariant arrCopy(arr);
    ASSERT_NE(arrCopy.parray, arr.parray);
    EXPECT_EQ(static_cast<uint32_t*>(arrCopy.parray->pvData)[1], 42u);
    EXPECT_TRUE(vlt::VariantEqual(arr, arrCopy));
    static_cast<uint32_t*>(psa->pvData)[1] = 7;
    EXPECT_FALSE(vlt::VariantEqual(arr, arrCopy));
}

TEST(Variant, ObjectsAreReferencedAndReleased)
{
    vlt::CComObject<Counted>* obj = nullptr;
    ASSERT_EQ(vlt::CComObject<Counted>::CreateInstance(&obj), S_OK);
    CComPtr<IUnknown> hold(static_cast<IUnknown*>(obj));
    EXPECT_EQ(RefCount(hold), 1u);
    {
        CComVariant v(hold.p);
        EXPECT_EQ(RefCount(hold), 2u);
        CComVariant w(v);
        EXPECT_EQ(RefCount(hold), 3u);
        EXPECT_TRUE(vlt::VariantEqual(v, w));
    }
    EXPECT_EQ(RefCount(hold), 1u);
}

TEST(Variant, NullTextStaysNull)
{
    CComVariant v = CComVariant::FromBstr(nullptr);
    EXPECT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(v.bstrVal, nullptr);
    CComVariant e(std::wstring_view(L""));
    EXPECT_FALSE(vlt::VariantEqual(v, e));
}

TEST(Variant, TypesMustMatchToBeEqual)
{
    EXPECT_FALSE(vlt::VariantEqual(CComVariant(int32_t(1)), CComVariant(uint32_t(1))));
    EXPECT_TRUE(vlt::VariantEqual(CComVariant(true), CComVariant(true)));
    EXPECT_FALSE(vlt::VariantEqual(CComVariant(1.0f), CComVariant(1.5f)));
}
