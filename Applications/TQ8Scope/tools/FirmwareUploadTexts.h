#pragma once
// Texts and decisions of the firmware upload window, kept apart from its
// widgets: the package's version, the stage and wait lines, the failure
// message and what the completion report shows by the upload's out flags.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "PowerCommand.h"

namespace fwtext {

inline constexpr uint32_t kMixedFirmware = 0x63000000;
// Package flag: the package verifies the loaded firmware, it writes nothing.
inline constexpr uint32_t kVerifyPackage = 0x1;

inline constexpr wchar_t kUploadCaption[] = L"Upload TQ3300 Firmware";
inline constexpr wchar_t kVerifyCaption[] = L"Verify TQ3300 Firmware";
inline constexpr wchar_t kUploadReady[] = L"Please select Upload to begin the firmware update";
inline constexpr wchar_t kVerifyReady[] = L"Please select Verify to begin the firmware verification";
inline constexpr wchar_t kNoVersion[] = L"---";
inline constexpr wchar_t kPackageUnknown[] = L"<Failed to determine>";
inline constexpr wchar_t kPleaseWait[] = L"Please wait...";
inline constexpr wchar_t kVerifyFileNotice[] =
    L"The selected file is a firmware verify file. Running this file will verify that the currently loaded "
    L"firmware matches the expected firmware image. This will not modify the existing firmware in any way.";
inline constexpr wchar_t kEepromFailure[] =
    L"Configuration EEPROM validation failed. This error can occur if the TQ3300 device firmware is in a bad "
    L"state. You may want to do a power cycle (shut down and start back up) and  retry the firmware "
    L"upload/verify operation";
inline constexpr wchar_t kJtagCheckFailure[] = L"Failed to check JTAG access: ";
inline constexpr wchar_t kJtagFailure[] =
    L"JTAG IO verification failed. A common cause for this is that jumper JP1 is not set for PCIe JTAG access. "
    L"Jumper JP1 is located on the top left corner of the front face of the TQ3300 card. In order to upload or "
    L"verify firmware via TQ3300 software the jumper must be set to connect the upper two pins. Please power "
    L"down the system and carefully remove the TQ3300 card from the computer before changing jumper settings.";
inline constexpr wchar_t kThreadFailure[] = L"Failed to create firmware upload thread: ";
inline constexpr wchar_t kVerifyMismatch[] =
    L"Firmware verify failed. The firmware image in the verify file does not match the currently loaded "
    L"firmware.";

// "Mixed firmware", or the dotted version with " (Custom: %s)" for a custom id.
std::wstring PackageVersionText(uint32_t version, uint32_t customId);
// Each 8-bit part of a package version becomes one 16-bit part.
uint64_t WidenVersion(uint32_t version);
std::wstring VerifyVersionWarning(uint32_t packageVersion, uint64_t boardVersion);

// The status line of a file stage.
std::wstring StageText(bool verify, int32_t fileIndex, uint32_t fileCount);
// Whole seconds left until end; none once end has come.
std::optional<int64_t> RemainingSeconds(std::chrono::steady_clock::time_point end,
                                        std::chrono::steady_clock::time_point now);
// "Current operation requires a wait: %M:%S".
std::wstring WaitText(int64_t seconds);

// The message of a failed upload; libraryText null when the library had none.
std::wstring FailureText(bool verify, int32_t code, const wchar_t* libraryText);
std::wstring FailureStatus(bool verify);

struct CompletionReport {
    std::vector<std::wstring> notices;       // information boxes, in order
    std::optional<vlt::PowerAction> ask; // then the question whether to do it now
};
CompletionReport ReportFor(uint32_t outFlags);
std::wstring PowerQuestion(vlt::PowerAction action);
// Leads the system's text when the shut-down or restart request fails.
std::wstring PowerFailurePrefix(vlt::PowerAction action);

} // namespace fwtext
