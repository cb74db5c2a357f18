#include "AppProfile.h"

#include <mutex>

#include "RegistryStore.h"

namespace vlt {
namespace {

std::mutex g_mutex;
std::wstring g_company;
std::wstring g_application;

} // namespace

void AppProfile::SetRegistryKey(const std::wstring& company)
{
    std::lock_guard lock(g_mutex);
    g_company = company;
}

void AppProfile::SetProfileName(const std::wstring& application)
{
    std::lock_guard lock(g_mutex);
    g_application = application;
}

std::wstring AppProfile::SectionKey(const std::wstring& section)
{
    std::lock_guard lock(g_mutex);
    return L"Software\\" + g_company + L"\\" + g_application + L"\\" + section;
}

std::wstring AppProfile::GetString(const std::wstring& section, const std::wstring& entry,
                                   const std::wstring& defaultValue)
{
    std::wstring value;
    if (RegistryStore::GetString(RegHive::CurrentUser, SectionKey(section), entry, value))
        return value;
    return defaultValue;
}

bool AppProfile::WriteString(const std::wstring& section, const std::wstring& entry, const std::wstring& value)
{
    return RegistryStore::SetString(RegHive::CurrentUser, SectionKey(section), entry, value);
}

uint32_t AppProfile::GetInt(const std::wstring& section, const std::wstring& entry, uint32_t defaultValue)
{
    uint32_t value = 0;
    if (RegistryStore::GetDWord(RegHive::CurrentUser, SectionKey(section), entry, value))
        return value;
    return defaultValue;
}

bool AppProfile::WriteInt(const std::wstring& section, const std::wstring& entry, uint32_t value)
{
    return RegistryStore::SetDWord(RegHive::CurrentUser, SectionKey(section), entry, value);
}

bool AppProfile::DeleteEntry(const std::wstring& section, const std::wstring& entry)
{
    return RegistryStore::DeleteValue(RegHive::CurrentUser, SectionKey(section), entry);
}

bool AppProfile::DeleteSection(const std::wstring& section)
{
    return RegistryStore::DeleteKey(RegHive::CurrentUser, SectionKey(section));
}

} // namespace vlt
