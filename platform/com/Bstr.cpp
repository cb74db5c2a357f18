#include "Bstr.h"

#include <cstdlib>
#include <cstring>

namespace {
// The character count sits just before the text.
constexpr size_t kHeader = sizeof(uint32_t);
constexpr uint32_t kMaxLen = (UINT32_MAX - kHeader) / sizeof(wchar_t) - 1;

uint32_t* HeaderOf(BSTR s) { return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(s) - kHeader); }
} // namespace

BSTR SysAllocString(const wchar_t* src)
{
    if (!src)
        return nullptr;
    size_t len = std::wcslen(src);
    if (len > kMaxLen)
        return nullptr;
    return SysAllocStringLen(src, static_cast<uint32_t>(len));
}

BSTR SysAllocStringLen(const wchar_t* src, uint32_t len)
{
    if (len > kMaxLen)
        return nullptr;
    char* block = static_cast<char*>(std::malloc(kHeader + (size_t(len) + 1) * sizeof(wchar_t)));
    if (!block)
        return nullptr;
    std::memcpy(block, &len, sizeof len);
    BSTR s = reinterpret_cast<BSTR>(block + kHeader);
    if (src)
        std::memcpy(s, src, len * sizeof(wchar_t));
    else
        std::memset(s, 0, len * sizeof(wchar_t));
    s[len] = L'\0';
    return s;
}

void SysFreeString(BSTR s)
{
    if (s)
        std::free(HeaderOf(s));
}

uint32_t SysStringLen(BSTR s)
{
    return s ? *HeaderOf(s) : 0;
}

uint32_t SysStringByteLen(BSTR s)
{
    return SysStringLen(s) * static_cast<uint32_t>(sizeof(wchar_t));
}

namespace vlt {
bool BstrEqual(BSTR a, BSTR b)
{
    if (!a || !b)
        return a == b;
    return BstrView(a) == BstrView(b);
}
} // namespace vlt
