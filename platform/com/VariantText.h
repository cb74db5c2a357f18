#pragma once
// The value conversions of the component runtime that callers need besides
// copying: a variant's number as a double, and its value as text.
#include "Variant.h"

#include <string>

namespace vlt {

// Any integer, float or boolean variant; DISP_E_TYPEMISMATCH for others.
HRESULT VariantToDouble(const VARIANT& v, double* out);

// Integers in decimal, floats with 7 (VT_R4) or 15 (VT_R8) significant
// digits, booleans as "True" or "False", text as it is; DISP_E_TYPEMISMATCH
// for other types.
HRESULT VariantToText(const VARIANT& v, std::wstring* out);

} // namespace vlt
