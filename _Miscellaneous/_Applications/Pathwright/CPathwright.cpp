#include "CPathwright.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "AtomicFile.h"
#include "EnvironmentFile.h"
#include "RegistryStore.h"
#include "SettingChange.h"
#include "ShellFile.h"
#include "SpecialFolders.h"
#include "SystemErrorText.h"
#include "TextConv.h"

namespace fs = std::filesystem;

namespace {

const wchar_t* const kKey = L"System\\CurrentControlSet\\Control\\Session Manager\\Environment";
const wchar_t* const kValue = L"Path";
constexpr size_t kMaxEnvironmentBytes = 1024 * 1024;
// Where a first run starts when neither the registry nor the environment
// file has a path: the system's own default, so that it is kept.
constexpr const char* kDefaultSystemPath = "/usr/local/sbin;/usr/local/bin;/usr/sbin;/usr/bin;/sbin;/bin";

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> pieces;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

std::string Join(const std::vector<std::string>& pieces, char separator)
{
    std::string text;
    for (size_t i = 0; i < pieces.size(); ++i)
        text += (i ? std::string(1, separator) : std::string()) + pieces[i];
    return text;
}

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// An entry both the ';' value and the ':' line of the environment file can
// carry, and the registry can store.
bool CanBeHeld(const std::string& path)
{
    for (unsigned char c : path)
        if (c == ':' || c == ';' || c < 0x20 || c == 0x7F)
            return false;
    return vlt::WideToUtf8(vlt::Utf8ToWide(path)) == path;
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// 0 when the machine hive can be written, else the errno that stops it.
int HiveWriteAccess()
{
    const std::string file = vlt::RegistryStore::HiveFile(vlt::RegHive::LocalMachine);
    struct stat info {};
    if (::stat(file.c_str(), &info) == 0) {
        if (::access(file.c_str(), W_OK) != 0)
            return errno;
    } else if (errno != ENOENT) {
        return errno;
    }
    std::string folder = FolderOf(file);
    while (::stat(folder.c_str(), &info) != 0) {
        if (errno != ENOENT || folder == "/" || folder == ".")
            return errno;
        folder = FolderOf(folder);
    }
    if (!S_ISDIR(info.st_mode))
        return ENOTDIR;
    return ::access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

std::string FullForm(const std::string& path)
{
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    return ec ? std::string() : WithoutTrailingSlash(absolute.lexically_normal().string());
}

std::string CanonicalForm(const std::string& path)
{
    std::error_code ec;
    const fs::path canonical = fs::canonical(path, ec);
    return ec ? std::string() : canonical.string();
}

std::string EnvironmentFilePath()
{
    return vlt::SystemRootPath("/etc/environment");
}

// The file the environment file's name leads to: a link stays a link and
// the file it names gets the change.
std::string EnvironmentFileTarget()
{
    const std::string path = EnvironmentFilePath();
    std::error_code ec;
    const fs::path target = fs::canonical(path, ec);
    return ec ? path : target.string();
}

} // namespace

CPathwright::CPathwright(std::ostream& out) : m_out(out)
{
}

bool CPathwright::ParseArguments(const std::vector<std::string>& args)
{
    bool usable = true;
    for (const std::string& arg : args) {
        const bool dashOption = !arg.empty() && arg.front() == '-';
        const bool slashOption = arg.size() > 1 && arg.front() == '/' && Lower(arg.substr(1)) == "remove";
        if (dashOption || slashOption) {
            if (Lower(arg.substr(1)) == "remove")
                m_remove = true;
            else
                usable = false;
            continue;
        }
        std::string path = arg;
        std::erase(path, '"');
        if (!path.empty())
            m_paths.push_back(path);
    }
    return usable && !m_paths.empty();
}

void CPathwright::PrintUsage()
{
    m_out << "Usage:\n"
          << "Pathwright [-remove] [Path]...\n"
          << "Where:\n"
          << " -remove : Remove paths from system PATH\n"
          << "  Path   : Path to append/remove\n";
}

void CPathwright::PrintSystemError(const char* prefix, const std::string& text, int code)
{
    m_out << prefix;
    if (!text.empty()) {
        m_out << text << "\n";
        return;
    }
    char line[64];
    std::snprintf(line, sizeof line, "A file or system error occurred. (0x%08X)\n", static_cast<unsigned>(code));
    m_out << line;
}

bool CPathwright::CheckPathsToAdd()
{
    for (const std::string& path : m_paths) {
        if (!CanBeHeld(path)) {
            m_out << "Cannot add \"" << path
                  << "\": a directory in the system PATH cannot contain ':', ';', control characters or invalid UTF-8\n";
            return false;
        }
    }
    return true;
}

bool CPathwright::ReadStoredPath(std::optional<std::string>& stored)
{
    using vlt::RegistryStore;
    const std::optional<vlt::RegValue> value = RegistryStore::GetValue(vlt::RegHive::LocalMachine, kKey, kValue);
    if (!value) {
        const std::string reason = RegistryStore::LastError();
        if (reason.empty())
            return true; // no value yet
        PrintSystemError("Failed to read PATH from registry: ", reason, EIO);
        return false;
    }
    if (value->type != vlt::RegType::String) {
        PrintSystemError("Failed to read PATH from registry: ", "the value \"Path\" does not hold text", EINVAL);
        return false;
    }
    stored = vlt::WideToUtf8(value->text);
    return true;
}

CPathwright::Mirror CPathwright::ReadMirror()
{
    Mirror mirror;
    int code = 0;
    if (!vlt::ReadRegularFile(EnvironmentFilePath(), kMaxEnvironmentBytes, mirror.text, &mirror.reason, &code)) {
        mirror.failed = code != ENOENT && code != ENOTDIR;
        return mirror;
    }
    std::string line;
    if (vlt::FindPathLine(mirror.text, line))
        mirror.line = line;
    return mirror;
}

std::optional<size_t> CPathwright::FindEntry(const std::string& path) const
{
    const std::string full = FullForm(path);
    const std::string canonical = CanonicalForm(path);
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const std::string entry = WithoutTrailingSlash(m_entries[i]);
        if ((!full.empty() && entry == full) || (!canonical.empty() && entry == canonical))
            return i;
    }
    return std::nullopt;
}

int32_t CPathwright::AddPaths()
{
    int32_t changes = 0;
    for (const std::string& path : m_paths) {
        if (FindEntry(path))
            continue;
        m_out << " To add: \"" << path << "\"\n";
        m_entries.push_back(path);
        ++changes;
    }
    return changes;
}

int32_t CPathwright::RemovePaths()
{
    int32_t changes = 0;
    for (const std::string& path : m_paths) {
        const std::optional<size_t> found = FindEntry(path);
        if (!found)
            continue;
        m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(*found));
        m_out << " To remove: \"" << path << "\"\n";
        ++changes;
    }
    return changes;
}

bool CPathwright::WriteStoredPath()
{
    using vlt::RegistryStore;
    if (RegistryStore::SetString(vlt::RegHive::LocalMachine, kKey, kValue, vlt::Utf8ToWide(Join(m_entries, ';'))))
        return true;
    PrintSystemError("Failed to update registry: ", RegistryStore::LastError(), EIO);
    return false;
}

bool CPathwright::SyncMirror(const std::string& value, const Mirror& mirror)
{
    if (mirror.failed) {
        m_out << "Failed to update the environment file: " << mirror.reason << "\n";
        return false;
    }
    std::vector<std::string> wanted;
    for (const std::string& entry : Split(value, ';'))
        if (CanBeHeld(entry))
            wanted.push_back(entry);
    if (mirror.line && Split(*mirror.line, ':') == wanted)
        return true;
    if (!mirror.line && wanted.empty())
        return true;
    std::string error;
    if (vlt::AtomicWriteFile(EnvironmentFileTarget(), vlt::WithPathLine(mirror.text, Join(wanted, ':')), &error))
        return true;
    m_out << "Failed to update the environment file: " << error << "\n";
    return false;
}

int32_t CPathwright::Run(const std::vector<std::string>& args)
{
    if (!ParseArguments(args)) {
        PrintUsage();
        return -1;
    }
    if (!m_remove && !CheckPathsToAdd())
        return -1;
    m_out << "Reading current settings from registry...\n";
    if (const int err = HiveWriteAccess()) {
        PrintSystemError("Failed to open registry key: ", vlt::SystemErrorText(err), err);
        return -2;
    }
    std::optional<std::string> stored;
    if (!ReadStoredPath(stored))
        return -3;
    const Mirror mirror = ReadMirror();
    std::string start;
    if (stored) {
        start = *stored;
    } else if (mirror.failed) {
        m_out << "Failed to read the environment file: " << mirror.reason << "\n";
        return -3;
    } else {
        start = mirror.line ? Join(Split(*mirror.line, ':'), ';') : kDefaultSystemPath;
    }
    m_entries = Split(start, ';');

    const int32_t changes = m_remove ? RemovePaths() : AddPaths();
    int32_t result = 0;
    if (changes > 0) {
        m_out << "Applying changes to registry...\n";
        if (WriteStoredPath())
            stored = Join(m_entries, ';');
        else
            result = -1;
        m_out << "Notifying system of PATH change...\n";
        vlt::BroadcastSettingChange("Environment");
    }
    if (stored && !SyncMirror(*stored, mirror))
        result = -1;
    return result;
}
