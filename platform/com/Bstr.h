#pragma once
// Counted text handed across component interfaces. A null BSTR and an empty
// one are different values: null means "none".
#include <cstdint>
#include <string>
#include <string_view>

using BSTR = wchar_t*;

// nullptr only when memory runs out (or src is null for SysAllocString).
BSTR SysAllocString(const wchar_t* src);
// src may be null: the text is then len zero characters.
BSTR SysAllocStringLen(const wchar_t* src, uint32_t len);
void SysFreeString(BSTR s);
uint32_t SysStringLen(BSTR s);     // 0 for null
uint32_t SysStringByteLen(BSTR s); // in bytes, 0 for null

namespace vlt {
// An empty view for null.
inline std::wstring_view BstrView(BSTR s) { return std::wstring_view(s ? s : L"", SysStringLen(s)); }
// Same text, and both null or both not null.
bool BstrEqual(BSTR a, BSTR b);
} // namespace vlt
