#pragma once
// Typed values: the eight sample types, wider integers, booleans, text,
// objects and one-dimensional safe arrays of the sample types.
#include "Bstr.h"
#include "ComTypes.h"

#include <cstdint>

struct IUnknown;
struct SAFEARRAY;

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_BSTR = 8,
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
        SAFEARRAY* parray;
    };
    VARIANT() : ullVal(0) {}
};

void VariantInit(VARIANT* v);
// Frees what the variant owns (text, object reference, array) and empties it.
// DISP_E_ARRAYISLOCKED leaves a locked array's variant as it was.
HRESULT VariantClear(VARIANT* v);
// Deep copy: text and arrays copied, objects referenced again.
HRESULT VariantCopy(VARIANT* dst, const VARIANT* src);

namespace vlt {
// Size in bytes of one element of a sample type; 0 for any other type.
uint32_t SampleTypeSize(VARTYPE vt);
// Compares type and value (text by content, objects by identity, arrays by
// type and elements).
bool VariantEqual(const VARIANT& a, const VARIANT& b);
} // namespace vlt
