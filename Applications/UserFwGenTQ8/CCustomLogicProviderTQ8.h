#pragma once
// The custom-logic provider file "VltFpgaProc.tq3300.xml": who supplies the
// board's custom logic, and its custom firmware enumeration.
#include <cstdint>
#include <string>

class CCustomLogicProviderTQ8 {
public:
    static const char* const kFileName;

    CCustomLogicProviderTQ8() = default;
    virtual ~CCustomLogicProviderTQ8() = default;

    // 0, -529 (unreadable), -530 (other root element) or -543 (GUID or
    // CustomFwEnum missing, or CustomFwEnum not a 16-bit number).
    virtual int Load(const std::string& path);
    virtual void Clear();

    // The client name, else the short name, else "<Unspecified>".
    std::string DisplayName() const;

    std::string m_guid;
    std::string m_clientName;
    std::string m_shortName;
    std::string m_groupName;
    uint16_t m_customFwEnum = 0;
};
