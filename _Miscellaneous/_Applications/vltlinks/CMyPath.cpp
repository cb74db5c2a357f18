#include "CMyPath.h"

#include <cerrno>
#include <cctype>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "SpecialFolders.h"
#include "TextConv.h"

namespace {

constexpr const char* kBlanks = " \t\r\n\v\f";

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool SameIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string WithoutLeadingDot(const std::string& text)
{
    return !text.empty() && text.front() == '.' ? text.substr(1) : text;
}

bool Stat(const std::string& path, struct stat& info)
{
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

// Where the last component begins.
size_t LastComponentStart(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

// The position of the extension's dot in the last component, or npos.
size_t ExtensionDot(const std::string& path)
{
    const size_t dot = path.rfind('.');
    return dot == std::string::npos || dot < LastComponentStart(path) ? std::string::npos : dot;
}

std::string CanonicalText(const std::string& path)
{
    const bool absolute = !path.empty() && path.front() == '/';
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!absolute)
                parts.push_back(part);
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out = absolute ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i)
        out += (i ? "/" : "") + parts[i];
    if (out.empty())
        return ".";
    if (path.back() == '/' && out.back() != '/')
        out += '/';
    return out;
}

} // namespace

CMyPath::CMyPath(const char* text) : m_path(text ? Trimmed(text) : std::string())
{
}

CMyPath::CMyPath(const std::string& text) : m_path(Trimmed(text))
{
}

CMyPath::CMyPath(std::wstring_view wide) : m_path(Trimmed(vlt::WideToUtf8(wide)))
{
}

void CMyPath::Set(const std::string& text)
{
    std::string trimmed = Trimmed(text);
    if (trimmed != m_path)
        m_path = std::move(trimmed);
}

CMyPath CMyPath::Folder() const
{
    const size_t slash = m_path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return CMyPath(slash == 0 ? std::string("/") : m_path.substr(0, slash));
}

std::string CMyPath::FileName() const
{
    return m_path.substr(LastComponentStart(m_path));
}

std::string CMyPath::Title() const
{
    const size_t start = LastComponentStart(m_path);
    const size_t dot = ExtensionDot(m_path);
    return m_path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
}

std::string CMyPath::Extension() const
{
    const size_t dot = ExtensionDot(m_path);
    return dot == std::string::npos ? std::string() : m_path.substr(dot + 1);
}

std::string CMyPath::FirstComponent() const
{
    const size_t slash = m_path.find('/');
    return slash == std::string::npos ? std::string() : m_path.substr(0, slash);
}

std::string CMyPath::LastComponent() const
{
    const size_t slash = m_path.rfind('/');
    return slash == std::string::npos ? std::string() : m_path.substr(slash + 1);
}

bool CMyPath::IsFileName(const std::string& text)
{
    return text.find('/') == std::string::npos;
}

bool CMyPath::IsRelative() const
{
    return m_path.empty() || m_path.front() != '/';
}

bool CMyPath::IsDirectory() const
{
    struct stat info {};
    return Stat(m_path, info) && S_ISDIR(info.st_mode);
}

bool CMyPath::Exists() const
{
    struct stat info {};
    return Stat(m_path, info);
}

bool CMyPath::IsReadOnly() const
{
    struct stat info {};
    return Stat(m_path, info) && (info.st_mode & 0222) == 0;
}

bool CMyPath::ContainsBlank() const
{
    return m_path.find(' ') != std::string::npos;
}

bool CMyPath::IsQuoted(bool whole) const
{
    if (!whole)
        return m_path.find('"') != std::string::npos;
    return m_path.size() >= 2 && m_path.front() == '"' && m_path.back() == '"';
}

bool CMyPath::HasPrefix(const std::string& prefix) const
{
    std::string folder = Trimmed(prefix);
    if (m_path.empty() || folder.empty())
        return false;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (folder == "/")
        return m_path.front() == '/';
    return m_path.compare(0, folder.size(), folder) == 0
        && (m_path.size() == folder.size() || m_path[folder.size()] == '/');
}

bool CMyPath::HasExtensionInList(const std::string& list, int* position) const
{
    const std::string extension = Extension();
    if (extension.empty())
        return false;
    const std::string items = Trimmed(list);
    int index = 0;
    for (size_t start = 0; start <= items.size(); ++index) {
        size_t end = items.find(';', start);
        if (end == std::string::npos)
            end = items.size();
        const std::string item = WithoutLeadingDot(items.substr(start, end - start));
        if (!item.empty() && SameIgnoringCase(item, extension)) {
            if (position)
                *position = index;
            return true;
        }
        start = end + 1;
    }
    return false;
}

void CMyPath::Append(const std::string& name)
{
    const std::string more = Trimmed(name);
    if (more.empty())
        return;
    if (more.front() == '/' || m_path.empty())
        m_path = more;
    else
        m_path += (m_path.back() == '/' ? "" : "/") + more;
    Canonicalize();
}

void CMyPath::Prepend(const std::string& folder)
{
    const std::string trimmed = Trimmed(folder);
    if (trimmed.empty())
        return;
    if (m_path.empty()) {
        m_path = trimmed;
        return;
    }
    CMyPath joined(trimmed);
    joined.Append(m_path);
    m_path = joined.m_path;
}

void CMyPath::MoveToFolder(const std::string& folder)
{
    CMyPath moved(folder);
    moved.Append(FileName());
    m_path = moved.m_path;
}

void CMyPath::AddExtension(const std::string& extension)
{
    const std::string bare = WithoutLeadingDot(extension);
    if (bare.empty() || SameIgnoringCase(Extension(), bare))
        return;
    m_path += "." + bare;
}

void CMyPath::RenameExtension(const std::string& extension)
{
    if (extension.empty())
        return;
    const size_t dot = ExtensionDot(m_path);
    if (dot != std::string::npos)
        m_path.erase(dot);
    m_path += extension.front() == '.' ? extension : "." + extension;
}

void CMyPath::AddTrailingSlash()
{
    if (!m_path.empty() && m_path.back() != '/')
        m_path += '/';
}

void CMyPath::RemoveTrailingSlash()
{
    while (m_path.size() > 1 && m_path.back() == '/')
        m_path.pop_back();
}

void CMyPath::GoUp()
{
    const size_t slash = m_path.rfind('/');
    m_path = slash == std::string::npos ? std::string() : m_path.substr(0, slash);
}

void CMyPath::DropFirstComponent()
{
    const size_t slash = m_path.find('/');
    m_path = slash == std::string::npos ? std::string() : m_path.substr(slash + 1);
}

void CMyPath::ReplacePrefix(const std::string& oldPrefix, const std::string& newPrefix)
{
    const std::string prefix = Trimmed(oldPrefix);
    if (!HasPrefix(prefix))
        return;
    const std::string rest = m_path.substr(prefix.size());
    const bool needsSlash = !newPrefix.empty() && !rest.empty() && rest.front() != '/' && newPrefix.back() != '/';
    m_path = newPrefix + (needsSlash ? "/" : "") + rest;
}

void CMyPath::RemoveQuotes()
{
    std::erase(m_path, '"');
}

void CMyPath::Quote(bool force)
{
    m_path = Quoted(m_path, force);
}

std::string CMyPath::Quoted(const std::string& text, bool force)
{
    const bool enclosed = text.size() >= 2 && text.front() == '"' && text.back() == '"';
    if (text.empty() || enclosed || !(force || text.find(' ') != std::string::npos))
        return text;
    return "\"" + text + "\"";
}

bool CMyPath::Canonicalize()
{
    if (m_path.empty())
        return false;
    m_path = CanonicalText(m_path);
    return true;
}

bool CMyPath::FindOnSearchPath()
{
    if (Exists())
        return true;
    if (m_path.empty() || !IsFileName())
        return false;
    const char* variable = std::getenv("PATH");
    const std::string folders = variable ? variable : "";
    for (size_t start = 0; start <= folders.size();) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        CMyPath candidate(end == start ? std::string(".") : folders.substr(start, end - start));
        candidate.Append(m_path);
        if (candidate.Exists()) {
            m_path = candidate.m_path;
            return true;
        }
        start = end + 1;
    }
    return false;
}

CMyPath CMyPath::ShortForm() const
{
    if (m_path.empty())
        return {};
    char* resolved = ::realpath(m_path.c_str(), nullptr);
    if (!resolved)
        return {};
    CMyPath out;
    out.m_path = resolved;
    std::free(resolved);
    return out;
}

CMyPath CMyPath::LongForm() const
{
    return ShortForm();
}

bool CMyPath::Touch(bool noCreate, timespec* written) const
{
    if (m_path.empty() || IsDirectory())
        return false;
    int fd = ::open(m_path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        if (errno != ENOENT || noCreate)
            return false;
        fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0)
            return false;
        ::close(fd);
        return true;
    }
    timespec now {};
    bool done = ::clock_gettime(CLOCK_REALTIME, &now) == 0;
    const timespec times[2] = {{0, UTIME_OMIT}, now};
    done = done && ::futimens(fd, times) == 0;
    if (done && written)
        *written = now;
    ::close(fd);
    return done;
}

bool CMyPath::MakeTempFileName(const std::string& folder, const std::string& prefix)
{
    CMyPath name(Trimmed(folder).empty() ? std::string(".") : folder);
    name.Append((prefix.empty() ? std::string("MRD") : prefix) + "XXXXXX.tmp");
    std::string pattern = name.m_path;
    const int fd = ::mkstemps(pattern.data(), 4);
    if (fd < 0)
        return false;
    ::close(fd);
    m_path = pattern;
    return true;
}

CMyPath CMyPath::AbsoluteForm(const std::string& base) const
{
    if (m_path.empty() || !IsRelative())
        return *this;
    CMyPath joined(Trimmed(base).empty() ? CurrentFolder() : base);
    if (joined.IsEmpty())
        return {};
    joined.Append(m_path);
    return joined;
}

bool CMyPath::MakeAbsolute(const std::string& base)
{
    *this = AbsoluteForm(base);
    return !m_path.empty();
}

CMyPath CMyPath::RelativeForm(const CMyPath& other) const
{
    if (m_path.empty() || other.IsEmpty() || IsRelative() || other.IsRelative())
        return {};
    CMyPath folder = other.IsDirectory() ? other : other.Folder();
    folder.RemoveTrailingSlash();
    if (!HasPrefix(folder.m_path))
        return *this;
    CMyPath out;
    out.m_path = folder.m_path == "/" ? "./" + m_path.substr(1) : "." + m_path.substr(folder.m_path.size());
    return out;
}

bool CMyPath::FileExists(const std::string& path, bool directoriesAllowed)
{
    struct stat info {};
    return Stat(path, info) && (directoriesAllowed || !S_ISDIR(info.st_mode));
}

int64_t CMyPath::FileSize(const std::string& path)
{
    struct stat info {};
    if (!Stat(path, info) || S_ISDIR(info.st_mode))
        return -1;
    return static_cast<int64_t>(info.st_size);
}

std::string CMyPath::CurrentFolder()
{
    std::error_code ec;
    const std::filesystem::path current = std::filesystem::current_path(ec);
    return ec ? std::string() : current.string();
}

bool CMyPath::FileExistsOrCanBeCreated(const std::string& path, bool tryCreate)
{
    if (FileExists(path))
        return true;
    if (!tryCreate || path.empty())
        return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    // Remove the name only while it still names the file made here.
    struct stat made {};
    struct stat named {};
    if (::fstat(fd, &made) == 0 && ::lstat(path.c_str(), &named) == 0 && made.st_dev == named.st_dev
        && made.st_ino == named.st_ino)
        ::unlink(path.c_str());
    ::close(fd);
    return true;
}

bool CMyPath::IsValidFileName(const std::string& text)
{
    const std::string name = Trimmed(text);
    if (name.empty() || name == "." || name == "..")
        return false;
    return name.find_first_of("/?:&\\*\"<>|#%") == std::string::npos;
}

CMyPath CMyPath::SpecialFolder(int32_t folder, bool create)
{
    std::string path;
    if (!vlt::GetSpecialFolderPath(folder | vlt::kFolderFlagDontVerify, path))
        return {};
    std::error_code ec;
    if (create && !std::filesystem::is_directory(path, ec) && !std::filesystem::create_directories(path, ec))
        return {};
    return CMyPath(path);
}

std::string CMyPath::TempFolder()
{
    const char* variable = std::getenv("TMPDIR");
    std::string folder = variable && *variable == '/' ? variable : "/tmp";
    if (folder.back() != '/')
        folder += '/';
    return folder;
}
