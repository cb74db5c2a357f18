#include "InstallFolder.h"

#include <filesystem>
#include <system_error>

#include "RegistryStore.h"
#include "TextConv.h"

const char kDeviceLibraryFile[] = TQ8_DEVICE_LIBRARY_FILE;

namespace {

bool FolderExists(const std::wstring& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(vlt::WideToUtf8(path), ec);
}

std::wstring RunningProgramFolder()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::wstring() : vlt::Utf8ToWide(exe.parent_path().string());
}

bool HoldsDeviceLibrary(const std::wstring& folder)
{
    std::error_code ec;
    return FolderExists(folder)
        && std::filesystem::exists(std::filesystem::path(vlt::WideToUtf8(folder)) / kDeviceLibraryFile, ec);
}

} // namespace

std::wstring FindInstallFolder(const std::wstring& programFolder)
{
    std::wstring path;
    if (vlt::RegistryStore::GetString(vlt::RegHive::LocalMachine, L"Software\\Veltrane\\TQ3300", L"InstallPath", path)
        && FolderExists(path))
        return path;
    path = programFolder.empty() ? RunningProgramFolder() : programFolder;
    return HoldsDeviceLibrary(path) ? path : std::wstring();
}
