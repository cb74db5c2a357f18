#include "FwGenFormExchange.h"

#include "FwGenControls.h"
#include "MessageBox.h"
#include "NumberParse.h"
#include "TextConv.h"
#include "VersionText.h"

namespace {

constexpr uint32_t kMinCustEnum = 1;
constexpr uint32_t kMaxCustEnum = 0xFFFE; // 0xFFFF means "non-specific"

bool TakeCustomEnum(const std::wstring& text, uint32_t& value)
{
    std::string narrow = vlt::WideToUtf8(text);
    while (!narrow.empty() && (narrow.back() == ' ' || narrow.back() == '\t'))
        narrow.pop_back();
    uint32_t number = 0;
    if (!vlt::ParseNumber(narrow, number, vlt::ParseRules{true, true, vlt::Trailing::Refuse, 10})) {
        vlt::ShowMessageBox(L"Please enter a positive integer.", MB_OK | MB_ICONERROR);
        return false;
    }
    if (number < kMinCustEnum || number > kMaxCustEnum) {
        vlt::ShowMessageBox(L"Please enter an integer between " + std::to_wstring(kMinCustEnum) + L" and "
                                + std::to_wstring(kMaxCustEnum) + L".",
                            MB_OK | MB_ICONERROR);
        return false;
    }
    value = number;
    return true;
}

bool TakeVersion(const std::wstring& text, uint32_t& value)
{
    if (ParseFirmwareVersionText(text, value))
        return true;
    vlt::ShowMessageBox(L"Bad version format. Proper version format is:\r\n\r\n#[.#[.#[.#]]]\r\n\r\nWhere:\r\n"
                        L" -# is a number in the range [0, 255]\r\n -Bracketed items are optional.",
                        MB_OK | MB_ICONERROR);
    return false;
}

} // namespace

FwGenFormValues FormValuesFromSettings(const CFwGenSettings& s)
{
    FwGenFormValues v;
    v.fpgaType = s.m_fpgaType;
    v.xcf32pPath = s.m_xcf32pPath;
    v.xcf16pPath = s.m_xcf16pPath;
    v.readmePath = s.m_readmePath;
    v.readmeSev = s.m_readmeSev;
    v.outputPath = s.m_fwpkgPath;
    v.custEnum = std::to_wstring(s.m_fwCustEnum);
    v.version = vlt::Utf8ToWide(FormatVersion32(s.m_fwVer));
    v.preRelease = s.m_preRel;
    v.overwritePrompt = s.m_ovrwrtPrompt;
    return v;
}

bool ExchangeFromForm(const FwGenFormValues& v, CFwGenSettings& s, int& failedControl)
{
    failedControl = 0;
    s.m_fpgaType = v.fpgaType;
    s.m_xcf32pPath = v.xcf32pPath;
    s.m_xcf16pPath = v.xcf16pPath;
    s.m_readmePath = v.readmePath;
    s.m_readmeSev = v.readmeSev;
    s.m_fwpkgPath = v.outputPath;
    if (!TakeCustomEnum(v.custEnum, s.m_fwCustEnum)) {
        failedControl = IDC_CUST_ENUM;
        return false;
    }
    if (!TakeVersion(v.version, s.m_fwVer)) {
        failedControl = IDC_FW_VERSION;
        return false;
    }
    s.m_preRel = v.preRelease;
    s.m_ovrwrtPrompt = v.overwritePrompt;
    return true;
}
