#pragma once
// The component runtime's conversion of a variant to another type, as
// late-bound calls use it for their arguments.
#include "Variant.h"

namespace vlt {

// Converts src, or the value a VT_BYREF src refers to, to type vt in *dst
// (cleared first; dst may be src):
// - numbers and booleans convert among each other (true is -1, any non-zero
//   value becomes true); floats round to the nearest integer, halves to even;
//   a value outside the target's range gives DISP_E_OVERFLOW, never a wrapped
//   one;
// - text is read as one number (blanks before it allowed, nothing after it),
//   or as "True"/"False" for a boolean; numbers and booleans become the text
//   that VariantToText writes;
// - VT_UNKNOWN and VT_DISPATCH convert into each other (the latter asks the
//   object for IDispatch; null stays null);
// - the same type is copied as it is.
// Anything else (empty, arrays of another type, an object to a number ...)
// gives DISP_E_TYPEMISMATCH; a target type that has no value here
// DISP_E_BADVARTYPE. On failure *dst is left as it was.
HRESULT VariantChangeType(VARIANT* dst, const VARIANT& src, VARTYPE vt);

} // namespace vlt
