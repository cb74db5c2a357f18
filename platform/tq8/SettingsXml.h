#pragma once
// Board settings as XML: one <TQ8Settings> element with one child per
// setting, in UTF-8. Files add an XML declaration; the string form does not,
// so callers can embed it in their own documents.
#include <cstdint>
#include <string>
#include <string_view>

#include "CBoardSettings.h"

namespace tq8 {

// Larger settings texts and files are refused unread.
inline constexpr size_t kMaxSettingsXmlBytes = size_t(16) << 20;

std::string SettingsToXmlElement(const CBoardSettings& settings);
std::string SettingsToXmlFile(const CBoardSettings& settings);
// Reads settings onto a copy of `base` (defaults first, then every value
// found, validated for that board). TQ8_ERR_BAD_SETTINGS for text that is
// not a settings element, names no setting or holds a value the board
// refuses; `out` is only written on success. For a value that cannot be
// taken, `reason` (when given) names the element and the value.
int32_t SettingsFromXml(std::string_view xml, const CBoardSettings& base, CBoardSettings& out,
                        std::string* reason = nullptr);

} // namespace tq8
