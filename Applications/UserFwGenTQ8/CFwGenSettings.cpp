#include "CFwGenSettings.h"

#include "RegistryStore.h"

using vlt::RegHive;
using vlt::RegistryStore;

const wchar_t* const CFwGenSettings::kProfileKey =
    L"Software\\Veltrane\\TQ3300 User Firmware File Generator\\Settings";

namespace {

void LoadNumber(const wchar_t* name, uint32_t& field)
{
    RegistryStore::GetDWord(RegHive::CurrentUser, CFwGenSettings::kProfileKey, name, field);
}

void LoadSigned(const wchar_t* name, int32_t& field)
{
    uint32_t value = 0;
    if (RegistryStore::GetDWord(RegHive::CurrentUser, CFwGenSettings::kProfileKey, name, value))
        field = static_cast<int32_t>(value);
}

void LoadFlag(const wchar_t* name, bool& field)
{
    uint32_t value = 0;
    if (RegistryStore::GetDWord(RegHive::CurrentUser, CFwGenSettings::kProfileKey, name, value))
        field = value != 0;
}

void LoadText(const wchar_t* name, std::wstring& field)
{
    RegistryStore::GetString(RegHive::CurrentUser, CFwGenSettings::kProfileKey, name, field);
}

bool SaveNumber(const wchar_t* name, uint32_t value)
{
    return RegistryStore::SetDWord(RegHive::CurrentUser, CFwGenSettings::kProfileKey, name, value);
}

bool SaveText(const wchar_t* name, const std::wstring& value)
{
    return RegistryStore::SetString(RegHive::CurrentUser, CFwGenSettings::kProfileKey, name, value);
}

} // namespace

void CFwGenSettings::Load()
{
    LoadSigned(L"fpga_type", m_fpgaType);
    LoadText(L"xcf32p_path", m_xcf32pPath);
    LoadText(L"xcf16p_path", m_xcf16pPath);
    LoadText(L"fwpkg_path", m_fwpkgPath);
    LoadNumber(L"fw_ver", m_fwVer);
    LoadNumber(L"fw_cust_enum", m_fwCustEnum);
    LoadFlag(L"pre_rel", m_preRel);
    LoadFlag(L"ovrwrt_prompt", m_ovrwrtPrompt);
    LoadText(L"readme_path", m_readmePath);
    LoadSigned(L"readme_sev", m_readmeSev);
}

bool CFwGenSettings::Save() const
{
    return SaveNumber(L"fpga_type", static_cast<uint32_t>(m_fpgaType))
        && SaveText(L"xcf32p_path", m_xcf32pPath)
        && SaveText(L"xcf16p_path", m_xcf16pPath)
        && SaveText(L"fwpkg_path", m_fwpkgPath)
        && SaveNumber(L"fw_ver", m_fwVer)
        && SaveNumber(L"fw_cust_enum", m_fwCustEnum)
        && SaveNumber(L"pre_rel", m_preRel ? 1 : 0)
        && SaveNumber(L"ovrwrt_prompt", m_ovrwrtPrompt ? 1 : 0)
        && SaveText(L"readme_path", m_readmePath)
        && SaveNumber(L"readme_sev", static_cast<uint32_t>(m_readmeSev));
}
