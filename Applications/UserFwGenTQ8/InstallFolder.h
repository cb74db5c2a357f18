#pragma once
// The product's install folder: "InstallPath" under
// "Software\Veltrane\TQ3300" in the machine hive when that folder exists,
// else the folder of the running program when the device library lies in it.
// There is no system-wide program folder to look in here.
#include <string>

// The device library's file name, which marks a program folder as the product's.
extern const char kDeviceLibraryFile[];

// programFolder: the running program's folder (empty: look it up).
// Empty when no candidate exists.
std::wstring FindInstallFolder(const std::wstring& programFolder = std::wstring());
