#pragma once
// Rules for key and value names: case-blind comparison, key paths split at
// backslashes, and which characters a name may hold.
#include <string>
#include <string_view>
#include <vector>

namespace vlt {

// Names compare without regard to case (Unicode simple case mapping).
bool SameRegName(std::wstring_view a, std::wstring_view b);

// "A\\B\\C" -> {"A", "B", "C"}. Empty parts (leading, trailing or doubled
// backslashes) are dropped, so "" and "\\" name the root of the hive.
std::vector<std::wstring> SplitKeyPath(std::wstring_view path);

// True when every character may stand in an XML document as it is.
bool IsXmlText(std::wstring_view text);

} // namespace vlt
