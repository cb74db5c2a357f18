#pragma once
// The one place where text changes between UTF-8 (files, wire, libxml2) and
// wide characters (the applications' own strings).
#include <string>
#include <string_view>

namespace vlt {

// Invalid UTF-8 sequences become U+FFFD; nothing is dropped silently.
std::wstring Utf8ToWide(std::string_view utf8);
// Wide characters that are not Unicode scalar values become U+FFFD.
std::string WideToUtf8(std::wstring_view wide);
// UTF-16 (the kernel's strings); lone surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);
std::u16string Utf8ToUtf16(std::string_view utf8);

} // namespace vlt
