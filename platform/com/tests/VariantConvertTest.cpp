#include "CComObject.h"
#include "CComPtr.h"
#include "CComVariant.h"
#include "SafeArray.h"
#include "VariantConvert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct Plain : IUnknown, vlt::CComObjectRoot {
    HRESULT InternalQueryInterface(const IID& riid, void** ppv)
    {
        return vlt::QiEntry<IUnknown>(this, riid, ppv) ? S_OK : E_NOINTERFACE;
    }
};

struct LateBound : IDispatch, vlt::CComObjectRoot {
    HRESULT InternalQueryInterface(const IID& riid, void** ppv)
    {
        return vlt::QiEntry<IUnknown, IDispatch>(this, riid, ppv) || vlt::QiEntry<IDispatch>(this, riid, ppv)
                   ? S_OK
                   : E_NOINTERFACE;
    }
    HRESULT GetIDsOfNames(const wchar_t* const*, uint32_t, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*, uint32_t*) override { return E_NOTIMPL; }
};

template <class T>
CComPtr<T> Make()
{
    vlt::CComObject<T>* p = nullptr;
    vlt::CComObject<T>::CreateInstance(&p);
    return CComPtr<T>(p);
}

// The result of converting v to vt, or the failure as a VT_ERROR variant.
CComVariant To(const VARIANT& v, VARTYPE vt)
{
    CComVariant out;
    const HRESULT hr = vlt::VariantChangeType(&out, v, vt);
    if (FAILED(hr)) {
        out.vt = VT_ERROR;
        out.scode = hr;
    }
    return out;
}

CComVariant Error(HRESULT hr)
{
    CComVariant v;
    v.vt = VT_ERROR;
    v.scode = hr;
    return v;
}

CComVariant Text(const wchar_t* s) { return CComVariant(std::wstring_view(s)); }

void ExpectSame(const CComVariant& got, const CComVariant& want)
{
    EXPECT_TRUE(vlt::VariantEqual(got, want)) << "vt " << got.vt << " value " << got.ullVal << ", wanted vt "
                                              << want.vt << " value " << want.ullVal;
}

} // namespace

TEST(VariantConvert, NumbersConvertWithinRangeAndNeverWrap)
{
    ExpectSame(To(CComVariant(int32_t(7)), VT_UI4), CComVariant(uint32_t(7)));
    ExpectSame(To(CComVariant(int32_t(-1)), VT_UI4), Error(DISP_E_OVERFLOW));
    ExpectSame(To(CComVariant(uint32_t(70000)), VT_I2), Error(DISP_E_OVERFLOW));
    ExpectSame(To(CComVariant(std::numeric_limits<uint64_t>::max()), VT_I8), Error(DISP_E_OVERFLOW));
    ExpectSame(To(CComVariant(std::numeric_limits<uint64_t>::max()), VT_UI8),
               CComVariant(std::numeric_limits<uint64_t>::max()));
    // Halves round to even; out of range, infinite or NaN is an overflow.
    ExpectSame(To(CComVariant(2.5), VT_I4), CComVariant(int32_t(2)));
    ExpectSame(To(CComVariant(3.5f), VT_I4), CComVariant(int32_t(4)));
    ExpectSame(To(CComVariant(-2.5), VT_I8), CComVariant(int64_t(-2)));
    ExpectSame(To(CComVariant(1e20), VT_UI8), Error(DISP_E_OVERFLOW));
    ExpectSame(To(CComVariant(std::nan("")), VT_I4), Error(DISP_E_OVERFLOW));
    ExpectSame(To(CComVariant(1e300), VT_R4), Error(DISP_E_OVERFLOW));
    ExpectSame(To(CComVariant(uint8_t(3)), VT_R8), CComVariant(3.0));
    // Booleans are 0 and -1.
    ExpectSame(To(CComVariant(true), VT_I2), CComVariant(int16_t(-1)));
    ExpectSame(To(CComVariant(true), VT_UI1), Error(DISP_E_OVERFLOW));
    ExpectSame(To(CComVariant(0.25), VT_BOOL), CComVariant(true));
    ExpectSame(To(CComVariant(uint64_t(0)), VT_BOOL), CComVariant(false));
}

TEST(VariantConvert, TextIsReadAsOneNumberAndNumbersBecomeText)
{
    ExpectSame(To(Text(L" 42"), VT_UI4), CComVariant(uint32_t(42)));
    ExpectSame(To(Text(L"18446744073709551615"), VT_UI8), CComVariant(std::numeric_limits<uint64_t>::max()));
    ExpectSame(To(Text(L"1.5"), VT_I4), CComVariant(int32_t(2)));
    ExpectSame(To(Text(L"-1"), VT_UI2), Error(DISP_E_OVERFLOW));
    ExpectSame(To(Text(L"42 dB"), VT_I4), Error(DISP_E_TYPEMISMATCH));
    ExpectSame(To(Text(L""), VT_I4), Error(DISP_E_TYPEMISMATCH));
    ExpectSame(To(Text(L"tRUE"), VT_BOOL), CComVariant(true));
    ExpectSame(To(Text(L"False"), VT_BOOL), CComVariant(false));
    ExpectSame(To(Text(L"True"), VT_I4), Error(DISP_E_TYPEMISMATCH));
    ExpectSame(To(CComVariant(int8_t(-5)), VT_BSTR), Text(L"-5"));
    ExpectSame(To(CComVariant(false), VT_BSTR), Text(L"False"));
}

TEST(VariantConvert, ObjectsConvertBetweenTheirTwoFaces)
{
    auto plain = Make<Plain>();
    auto late = Make<LateBound>();
    CComVariant unknown(static_cast<IUnknown*>(plain.p));
    ExpectSame(To(unknown, VT_DISPATCH), Error(DISP_E_TYPEMISMATCH));
    ExpectSame(To(unknown, VT_I4), Error(DISP_E_TYPEMISMATCH));

    CComVariant lateUnknown(static_cast<IUnknown*>(late.p));
    CComVariant disp = To(lateUnknown, VT_DISPATCH);
    ASSERT_EQ(disp.vt, VT_DISPATCH);
    EXPECT_EQ(static_cast<IUnknown*>(disp.pdispVal), static_cast<IUnknown*>(late.p));
    ExpectSame(To(disp, VT_UNKNOWN), lateUnknown);
    const CComVariant none = To(CComVariant(static_cast<IUnknown*>(nullptr)), VT_DISPATCH);
    EXPECT_EQ(none.vt, VT_DISPATCH);
    EXPECT_EQ(none.pdispVal, nullptr);
    disp.Clear();
    lateUnknown.Clear();
    // Every reference handed out has been given back.
    EXPECT_EQ(late->AddRef(), 2u);
    late->Release();
}

TEST(VariantConvert, ReferencesAreReadThroughAndOwnNothing)
{
    uint32_t value = 300;
    VARIANT ref;
    ref.vt = VT_BYREF | VT_UI4;
    ref.pulVal = &value;
    ExpectSame(To(ref, VT_I2), CComVariant(int16_t(300)));
    ExpectSame(To(ref, VT_UI1), Error(DISP_E_OVERFLOW));
    CComVariant copy(ref); // a copy of the reference
    EXPECT_EQ(copy.pulVal, &value);
    copy.Clear();
    VariantClear(&ref);
    EXPECT_EQ(value, 300u);

    SAFEARRAY* psa = SafeArrayCreateVector(VT_I2, 0, 4);
    VARIANT arrayRef;
    arrayRef.vt = VT_BYREF | VT_ARRAY | VT_I2;
    arrayRef.pparray = &psa;
    VARIANT view;
    ASSERT_EQ(vlt::VariantDeref(arrayRef, &view), S_OK);
    EXPECT_EQ(view.vt, VT_ARRAY | VT_I2);
    EXPECT_EQ(view.parray, psa);
    ExpectSame(To(arrayRef, VT_ARRAY | VT_I4), Error(DISP_E_TYPEMISMATCH));
    SafeArrayDestroy(psa);

    ref.vt = VT_BYREF | VT_UI4;
    ref.byref = nullptr;
    ExpectSame(To(ref, VT_I4), Error(E_POINTER));
}

TEST(VariantConvert, AFailureLeavesTheTargetAndInPlaceWorks)
{
    CComVariant target(int32_t(9));
    EXPECT_EQ(vlt::VariantChangeType(&target, Text(L"x"), VT_I4), DISP_E_TYPEMISMATCH);
    ExpectSame(target, CComVariant(int32_t(9)));
    EXPECT_EQ(vlt::VariantChangeType(&target, CComVariant(), VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(vlt::VariantChangeType(&target, target, VT_I4 | VT_BYREF), DISP_E_BADVARTYPE);
    CComVariant text = Text(L"12");
    ASSERT_EQ(vlt::VariantChangeType(&text, text, VT_UI8), S_OK);
    ExpectSame(text, CComVariant(uint64_t(12)));
}
