#pragma once
// The product's install folder: "InstallPath" under
// "Software\Veltrane\TQ3300" in the machine hive when that folder exists,
// else the folder of the running program.
#include <string>

// programFolder: the running program's folder (empty: look it up).
// Empty when no candidate exists.
std::wstring FindInstallFolder(const std::wstring& programFolder = std::wstring());
