#include "ComValueHelpers.h"

#include "OleColor.h"
#include "SafeArray.h"
#include "Variant.h"

COLORREF OleColorToColorRef(OLE_COLOR color, COLORREF defaultColor)
{
    COLORREF out = 0;
    return SUCCEEDED(OleTranslateColor(color, &out)) ? out : defaultColor;
}

uint32_t GetVarTypeSize(VARTYPE vt)
{
    switch (vt & ~VT_ARRAY) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_R4:
        return 4;
    case VT_R8:
    case VT_I8:
    case VT_UI8:
        return 8;
    default:
        return 0;
    }
}

uint32_t GetSafeArrayCount(SAFEARRAY* array)
{
    if (!array)
        return 0;
    int32_t lower = 0;
    int32_t upper = 0;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper)))
        return 0;
    const int64_t count = int64_t(upper) - int64_t(lower) + 1;
    return count > 0 ? static_cast<uint32_t>(count) : 0;
}
