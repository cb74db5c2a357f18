#pragma once
// Owner of one VARIANT.
#include "Variant.h"

#include <cstdint>
#include <string_view>

class CComVariant : public VARIANT {
public:
    CComVariant() = default;
    CComVariant(const VARIANT& v);
    CComVariant(const CComVariant& v);
    CComVariant(CComVariant&& v) noexcept;
    explicit CComVariant(int8_t v);
    explicit CComVariant(uint8_t v);
    explicit CComVariant(int16_t v);
    explicit CComVariant(uint16_t v);
    explicit CComVariant(int32_t v);
    explicit CComVariant(uint32_t v);
    explicit CComVariant(int64_t v);
    explicit CComVariant(uint64_t v);
    explicit CComVariant(float v);
    explicit CComVariant(double v);
    explicit CComVariant(bool v); // VT_BOOL
    explicit CComVariant(std::wstring_view text);
    explicit CComVariant(IUnknown* p); // takes a new reference; null allowed
    ~CComVariant();

    CComVariant& operator=(const CComVariant& v);
    CComVariant& operator=(CComVariant&& v) noexcept;

    HRESULT Clear() { return VariantClear(this); }
    HRESULT Copy(const VARIANT* src) { return VariantCopy(this, src); }
    // Hands the value over to *dst (which must be empty) and empties this.
    HRESULT Detach(VARIANT* dst);
    // Takes over src's value; src is left empty.
    HRESULT Attach(VARIANT* src);
    // A BSTR variant with a copy of s (null stays a null BSTR).
    static CComVariant FromBstr(BSTR s);
};
