#pragma once
// Small helpers over the component runtime's colours, types and arrays.
#include <cstdint>

#include "ComTypes.h"

struct SAFEARRAY;

// The colour translated (no palette), or the default when it cannot be.
COLORREF OleColorToColorRef(OLE_COLOR color, COLORREF defaultColor);
// Bytes per element of an automation type, the array bit ignored; 0 for
// types without a fixed element size.
uint32_t GetVarTypeSize(VARTYPE vt);
// Elements of a one-dimensional safe array; 0 for null or unreadable bounds.
uint32_t GetSafeArrayCount(SAFEARRAY* array);
