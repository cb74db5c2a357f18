#include "CFwPackageGenerator.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "DeviceErrorBox.h"
#include "FwGenControls.h"
#include "MessageBox.h"
#include "OwnedTempFile.h"
#include "TextConv.h"

namespace {

constexpr uint32_t kMixedFirmwareVersion = 0x63000000; // 99.0.0.0
constexpr int32_t kChunkLX50 = 2;
constexpr int32_t kChunkSX95T_1 = 4;
constexpr int32_t kChunkSX95T_2 = 5;
constexpr long kFileTimeWarningSeconds = 960;
constexpr int64_t kReadmeSeverities = 2;

bool FileExists(const std::wstring& path)
{
    std::error_code ec;
    const auto status = std::filesystem::status(vlt::WideToUtf8(path), ec);
    return !ec && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

// A FIFO or a device reports no size: only a regular file is known empty.
bool IsEmptyRegularFile(const std::wstring& path)
{
    std::error_code ec;
    const std::string narrow = vlt::WideToUtf8(path);
    return std::filesystem::is_regular_file(narrow, ec) && std::filesystem::file_size(narrow, ec) == 0 && !ec;
}

// After the last '/' or backslash: a package reader takes a backslash for a
// folder, and an entry name holds none.
std::string LastComponent(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A new, empty, uniquely named file in the temporary folder. Its name
// carries this process's id, so that the next run removes the manifest of
// a run that was killed before it could.
std::string CreateTempFile()
{
    const char* dir = std::getenv("TMPDIR");
    const std::string prefix = std::string(dir && *dir ? dir : "/tmp") + "/CF6";
    vlt::RemoveOrphanedTempFiles(prefix);
    std::string path;
    const int fd = vlt::CreateOwnedTempFile(prefix, path);
    if (fd < 0)
        return std::string();
    close(fd);
    return path;
}

// One file under both names: links and other spellings included.
bool SameFile(const std::wstring& a, const std::wstring& b)
{
    struct stat first{}, second{};
    return !a.empty() && !b.empty() && stat(vlt::WideToUtf8(a).c_str(), &first) == 0
        && stat(vlt::WideToUtf8(b).c_str(), &second) == 0 && first.st_dev == second.st_dev
        && first.st_ino == second.st_ino;
}

bool ModificationTime(const std::wstring& path, time_t& seconds)
{
    struct stat info{};
    if (stat(vlt::WideToUtf8(path).c_str(), &info) != 0)
        return false;
    seconds = info.st_mtime;
    return true;
}

} // namespace

CFwPackageGenerator::CFwPackageGenerator(const CFwGenSettings& settings)
    : m_settings(settings)
{
}

bool CFwPackageGenerator::Fail(const std::wstring& text, int control, bool selectAll)
{
    vlt::ShowMessageBox(text, MB_OK | MB_ICONERROR);
    m_focus = Focus{control, selectAll};
    return false;
}

bool CFwPackageGenerator::CheckOutput()
{
    if (m_settings.m_fwpkgPath.empty())
        return Fail(L"Please specify a pathname for output firmware package file", IDC_OUTPUT_PATH);
    // Writing the package there would destroy that input.
    const bool twoProms = m_settings.m_fpgaType == kFpgaVirtex5SX95T;
    for (const std::wstring* input : {&m_settings.m_xcf32pPath, &m_settings.m_xcf16pPath, &m_settings.m_readmePath})
        if ((input != &m_settings.m_xcf16pPath || twoProms) && SameFile(m_settings.m_fwpkgPath, *input))
            return Fail(L"The output firmware package file '" + m_settings.m_fwpkgPath
                            + L"' is one of the input files. Please specify another pathname.",
                        IDC_OUTPUT_PATH, true);
    std::error_code ec;
    // Written over, a FIFO or a device would be replaced by the package.
    const auto kind = std::filesystem::status(vlt::WideToUtf8(m_settings.m_fwpkgPath), ec).type();
    if (!ec && kind != std::filesystem::file_type::regular && kind != std::filesystem::file_type::not_found)
        return Fail(L"The output firmware package file '" + m_settings.m_fwpkgPath
                        + L"' is not a regular file. Please specify another pathname.",
                    IDC_OUTPUT_PATH, true);
    if (m_settings.m_ovrwrtPrompt && std::filesystem::exists(vlt::WideToUtf8(m_settings.m_fwpkgPath), ec)
        && vlt::ShowMessageBox(L"Specified output file already exists. Overwrite?", MB_YESNO | MB_ICONQUESTION)
            != IDYES)
        return false;
    return true;
}

bool CFwPackageGenerator::CheckBitstream(const std::wstring& path, int control, const wchar_t* missingText)
{
    if (path.empty())
        return Fail(missingText, control);
    if (!FileExists(path))
        return Fail(L"File '" + path + L"' does not exist", control, true);
    // A package with an empty bitstream would program nothing into its PROM.
    if (IsEmptyRegularFile(path))
        return Fail(L"File '" + path + L"' is empty", control, true);
    return true;
}

bool CFwPackageGenerator::ValidateAndBuildContext(CFwContextTQ8& context, FwPackagePairs& pairs)
{
    const CFwGenSettings& s = m_settings;
    m_focus = Focus{};
    if (!CheckOutput())
        return false;
    if (!s.m_readmePath.empty() && !FileExists(s.m_readmePath))
        return Fail(L"Specified readme file does not exist", IDC_README_PATH, true);
    // The manifest's severity is the index + 1: 1 normal, 2 important.
    const int64_t readmeSeverity = int64_t(s.m_readmeSev) + 1;
    if (!s.m_readmePath.empty() && (readmeSeverity < 1 || readmeSeverity > kReadmeSeverities))
        return Fail(L"Please select a readme severity", IDC_README_SEV);
    if (s.m_fpgaType != kFpgaVirtex5LX50 && s.m_fpgaType != kFpgaVirtex5SX95T)
        return Fail(L"Unknown FPGA type!");
    if (!CheckBitstream(s.m_xcf32pPath, IDC_XCF32P_PATH, L"Please specify a XSVF file for xcf32p EEPROM"))
        return false;
    const bool twoProms = s.m_fpgaType == kFpgaVirtex5SX95T;
    if (twoProms) {
        if (!CheckBitstream(s.m_xcf16pPath, IDC_XCF16P_PATH, L"Please specify a XSVF file for xcf16p EEPROM"))
            return false;
        // Both go into one folder of the archive: one name each.
        if (LastComponent(vlt::WideToUtf8(s.m_xcf32pPath)) == LastComponent(vlt::WideToUtf8(s.m_xcf16pPath)))
            return Fail(L"The xcf32p and xcf16p files must have different file names", IDC_XCF16P_PATH, true);
        if (!CheckFirmwareFileTimes(s.m_xcf32pPath, s.m_xcf16pPath))
            return false;
    }
    context.Clear();
    context.m_versionPkg = kMixedFirmwareVersion;
    context.m_custEnumPkg = s.m_fwCustEnum;
    context.m_reqBoardRevision = 0;
    AddChunk(context, pairs, twoProms ? kChunkSX95T_1 : kChunkLX50, s.m_xcf32pPath);
    if (twoProms)
        AddChunk(context, pairs, kChunkSX95T_2, s.m_xcf16pPath);
    if (!s.m_readmePath.empty()) {
        context.m_readmeSev = static_cast<int32_t>(readmeSeverity);
        pairs.emplace_back(vlt::WideToUtf8(s.m_readmePath), "fw_readme.txt");
    }
    return true;
}

void CFwPackageGenerator::AddChunk(CFwContextTQ8& context, FwPackagePairs& pairs, int32_t id,
                                   const std::wstring& path) const
{
    const std::string source = vlt::WideToUtf8(path);
    const std::string name = LastComponent(source);
    auto& chunk = context.m_chunks[id];
    chunk.m_version = m_settings.m_fwVer;
    chunk.m_custEnum = m_settings.m_fwCustEnum;
    chunk.m_flags = m_settings.m_preRel ? 1 : 0;
    chunk.m_fileCount = 1;
    chunk.m_files = {name};
    pairs.emplace_back(source, name);
}

bool CFwPackageGenerator::CheckFirmwareFileTimes(const std::wstring& first, const std::wstring& second)
{
    time_t a = 0, b = 0;
    if (!ModificationTime(first, a) || !ModificationTime(second, b))
        return true;
    const long long difference = a > b ? static_cast<long long>(a - b) : static_cast<long long>(b - a);
    if (difference < kFileTimeWarningSeconds)
        return true;
    return vlt::ShowMessageBox(L"Warning: The file modification times for the specified firmware files differ by "
                               L"more than 15 minutes. In general, these files will be generated around the same "
                               L"time. Continue with firmware update file generation?",
                               MB_YESNO | MB_ICONWARNING)
        == IDYES;
}

bool CFwPackageGenerator::Generate()
{
    CFwContextTQ8 context;
    FwPackagePairs pairs;
    if (!ValidateAndBuildContext(context, pairs))
        return false;
    const std::string manifest = CreateTempFile();
    int result = manifest.empty() ? kFwContextUnwritable : context.Save(manifest);
    if (result != kFwOk) {
        if (!manifest.empty())
            std::remove(manifest.c_str());
        ShowDeviceErrorBox(result, L"Failed to write firmware file context data: ");
        return false;
    }
    pairs.insert(pairs.begin(), {manifest, "context_v2.xml"});
    std::string reason;
    result = WriteFirmwarePackage(vlt::WideToUtf8(m_settings.m_fwpkgPath), pairs, &reason);
    std::remove(manifest.c_str());
    if (result != kFwOk) {
        // The library's text for the code, then the system's reason ("No
        // space left on device") where there is one.
        std::wstring text = DeviceErrorText(result, L"Failed to write firmware package file: ", nullptr);
        if (!reason.empty())
            text += L"\n\n" + vlt::Utf8ToWide(reason);
        vlt::ShowMessageBox(text, MB_OK | MB_ICONERROR);
        return false;
    }
    vlt::ShowMessageBox(L"Firmware package created.\n\nThis firmware can be uploaded using the TQ3300 Scope "
                        L"Application. Select 'Upload Firmware...' from the Hardware menu and browse to the new "
                        L"firmware package.",
                        MB_OK);
    return true;
}
