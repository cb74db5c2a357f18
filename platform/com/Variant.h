#pragma once
// Typed values: the eight sample types, wider integers, booleans, text,
// objects and one-dimensional safe arrays of the sample types, and
// references (VT_BYREF) to any of these, which own nothing.
#include "Bstr.h"
#include "ComTypes.h"

#include <cstdint>

struct IUnknown;
struct IDispatch;
struct SAFEARRAY;

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_UNKNOWN = 13,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
};

struct VARIANT {
    VARTYPE vt = VT_EMPTY;
    union {
        int8_t cVal;
        uint8_t bVal;
        int16_t iVal;
        uint16_t uiVal;
        int32_t lVal;
        uint32_t ulVal;
        int64_t llVal;
        uint64_t ullVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        HRESULT scode;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
        // VT_BYREF: the caller's storage of the referenced type.
        void* byref;
        uint32_t* pulVal;
        uint64_t* pullVal;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        SAFEARRAY** pparray;
    };
    VARIANT() : ullVal(0) {}
};

void VariantInit(VARIANT* v);
// Frees what the variant owns (text, object reference, array) and empties it.
// DISP_E_ARRAYISLOCKED leaves a locked array's variant as it was.
HRESULT VariantClear(VARIANT* v);
// Deep copy: text and arrays copied, objects referenced again; a reference
// is copied as the reference.
HRESULT VariantCopy(VARIANT* dst, const VARIANT* src);

namespace vlt {
// Size in bytes of one element of a sample type; 0 for any other type.
uint32_t SampleTypeSize(VARTYPE vt);
// Compares type and value (text by content, objects by identity, arrays by
// type and elements, references by address).
bool VariantEqual(const VARIANT& a, const VARIANT& b);
// The value that a VT_BYREF variant refers to, as a view that owns nothing
// and must not be cleared; any other variant is viewed as it is. E_POINTER
// for a null reference, DISP_E_BADVARTYPE for a type that has no value here.
HRESULT VariantDeref(const VARIANT& v, VARIANT* view);
} // namespace vlt
