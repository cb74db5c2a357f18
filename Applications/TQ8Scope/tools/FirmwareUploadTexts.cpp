#include "FirmwareUploadTexts.h"

#include <cwchar>

#include "TQ8_64.h"
#include "ValueFormat.h"

namespace fwtext {

namespace {
constexpr uint32_t kOutShutDown = 0x1;
constexpr uint32_t kOutReboot = 0x2;
constexpr uint32_t kOutUpToDate = 0x4;
constexpr uint32_t kOutVerified = 0x8;

std::wstring ActionWord(vlt::PowerAction action)
{
    return action == vlt::PowerAction::PowerOff ? L"shut down" : L"reboot";
}
} // namespace

std::wstring PackageVersionText(uint32_t version, uint32_t customId)
{
    if (version == kMixedFirmware)
        return L"Mixed firmware";
    std::wstring text;
    FormatVersion32(version, text);
    if (customId != 0) {
        std::wstring custom;
        FormatCustomFirmwareId(customId, custom);
        text += L" (Custom: " + custom + L")";
    }
    return text;
}

uint64_t WidenVersion(uint32_t version)
{
    uint64_t wide = 0;
    for (int shift = 24; shift >= 0; shift -= 8)
        wide = (wide << 16) | ((version >> shift) & 0xFF);
    return wide;
}

std::wstring VerifyVersionWarning(uint32_t packageVersion, uint64_t boardVersion)
{
    std::wstring package, board;
    FormatVersion64(WidenVersion(packageVersion), package);
    FormatVersion64(boardVersion, board);
    return L"Warning: The selected firmware verify file version (" + package +
           L") does not match the current firmware version (" + board + L") and will likely fail verification.";
}

std::wstring StageText(bool verify, int32_t fileIndex, uint32_t fileCount)
{
    if (fileCount <= 1)
        return std::wstring(L"Please wait while the TQ3300 firmware is ") + (verify ? L"verified" : L"uploaded") +
               L"...";
    return std::wstring(verify ? L"Verifying" : L"Uploading") + L" firmware file " + std::to_wstring(fileIndex) +
           L" of " + std::to_wstring(fileCount) + L"...";
}

std::optional<int64_t> RemainingSeconds(std::chrono::steady_clock::time_point end,
                                        std::chrono::steady_clock::time_point now)
{
    if (now >= end)
        return std::nullopt;
    return std::chrono::duration_cast<std::chrono::seconds>(end - now).count();
}

std::wstring WaitText(int64_t seconds)
{
    if (seconds < 0)
        seconds = 0;
    wchar_t span[32];
    std::swprintf(span, sizeof span / sizeof span[0], L"%02lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return std::wstring(L"Current operation requires a wait: ") + span;
}

std::wstring FailureText(bool verify, int32_t code, const wchar_t* libraryText)
{
    // Only a real mismatch is reported as one: a verify file that cannot be
    // read or a board that cannot be reached says why instead.
    if (verify && code == TQ8_ERR_FW_VERIFY_MISMATCH)
        return kVerifyMismatch;
    std::wstring text = L"Firmware update failed : ";
    if (libraryText && *libraryText)
        return text + libraryText;
    return text + L"(Unknown reason, error code=" + std::to_wstring(code) + L")";
}

std::wstring FailureStatus(bool verify)
{
    return verify ? L"Verify failed" : L"Firmware upload failed";
}

CompletionReport ReportFor(uint32_t outFlags)
{
    CompletionReport report;
    if (outFlags == 0) {
        report.notices.push_back(L"Firmware update complete");
        return report;
    }
    // A verification wrote nothing, so nothing needs a restart.
    if (outFlags & kOutVerified) {
        report.notices.push_back(L"Firmware verified; no firmware uploaded");
        return report;
    }
    if (outFlags & kOutUpToDate) {
        report.notices.push_back(L"Firmware is up-to-date; no firmware uploaded");
        return report;
    }
    if (outFlags & kOutShutDown)
        report.ask = vlt::PowerAction::PowerOff;
    else if (outFlags & kOutReboot)
        report.ask = vlt::PowerAction::Reboot;
    return report;
}

std::wstring PowerQuestion(vlt::PowerAction action)
{
    const std::wstring word = ActionWord(action);
    return L"Firmware update complete. The system must be " + word +
           L" for changes to have effect.\n\nWould you like to " + word + L" now?";
}

std::wstring PowerFailurePrefix(vlt::PowerAction action)
{
    return L"Failed to " + ActionWord(action) + L" the system: ";
}

} // namespace fwtext
