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
    vt &= static_cast<VARTYPE>(~VT_ARRAY);
    if (vt == VT_I8 || vt == VT_UI8)
        return 8;
    return vlt::SampleTypeSize(vt);
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
