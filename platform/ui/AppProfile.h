#pragma once
// The framework's per-user profile, kept in the registry store under
// "Software\<company>\<application>\<section>".
#include <cstdint>
#include <string>

namespace vlt {

class AppProfile {
public:
    // Company key (the brand, "Veltrane") and the application's profile name
    // (its title). Both must be set before the profile is used.
    static void SetRegistryKey(const std::wstring& company);
    static void SetProfileName(const std::wstring& application);
    static std::wstring SectionKey(const std::wstring& section);

    static std::wstring GetString(const std::wstring& section, const std::wstring& entry,
                                  const std::wstring& defaultValue = {});
    static bool WriteString(const std::wstring& section, const std::wstring& entry, const std::wstring& value);
    static uint32_t GetInt(const std::wstring& section, const std::wstring& entry, uint32_t defaultValue);
    static bool WriteInt(const std::wstring& section, const std::wstring& entry, uint32_t value);
    static bool DeleteEntry(const std::wstring& section, const std::wstring& entry);
    static bool DeleteSection(const std::wstring& section);
};

} // namespace vlt
