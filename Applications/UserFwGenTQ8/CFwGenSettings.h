#pragma once
// The generator form's ten settings and their place in the registry store:
// the "Settings" section of the program's profile.
#include <cstdint>
#include <string>

class CFwGenSettings {
public:
    static const wchar_t* const kProfileKey;

    // Missing or unreadable values keep their defaults.
    void Load();
    // False with the store's reason in RegistryStore::LastError().
    bool Save() const;

    int32_t m_fpgaType = 0;
    std::wstring m_xcf32pPath;
    std::wstring m_xcf16pPath;
    std::wstring m_fwpkgPath;
    uint32_t m_fwVer = 0;
    uint32_t m_fwCustEnum = 0;
    bool m_preRel = false;
    bool m_ovrwrtPrompt = true;
    std::wstring m_readmePath;
    int32_t m_readmeSev = 0;
};
