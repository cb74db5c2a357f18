#pragma once
// Starting the firmware package generator, or bringing the running one to
// the front.
#include <string>

class QWidget;

inline constexpr wchar_t kFwGenWindowTitle[] = L"TQ3300 User Firmware File Generator";
inline constexpr wchar_t kFwGenProgramName[] = L"UserFwGenTQ8";

enum class FwGenLaunch { Raised, Started, NotFound, StartFailed };

// The running generator is raised; otherwise the program in the install
// folder is started with no arguments and not watched. A missing program
// and a failed start are reported with an error box. The window title finds
// the running generator (tests pass one of their own).
FwGenLaunch LaunchFirmwareGenerator(const std::wstring& installPath, QWidget* parent,
                                    const std::wstring& windowTitle = kFwGenWindowTitle);
