#include "ClientPaths.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vlt {

namespace {

constexpr char kFirstDrive = 'C';
constexpr size_t kDriveCount = 'Z' - kFirstDrive + 1;

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// The drive's index from "X:", or false.
bool DriveIndex(std::string_view path, size_t& index)
{
    if (path.size() < 2 || path[1] != ':' || !std::isalpha(static_cast<unsigned char>(path[0])))
        return false;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    if (letter < kFirstDrive)
        return false;
    index = static_cast<size_t>(letter - kFirstDrive);
    return true;
}

bool Resolve(const fs::path& path, fs::path& resolved)
{
    std::error_code ec;
    resolved = fs::weakly_canonical(path, ec);
    return !ec;
}

// Follows a last component that is a link, also one whose target does not
// exist yet (which weakly_canonical leaves as it is): a file created through
// it lands at the target.
bool ResolveFollowingLinks(fs::path path, fs::path& resolved)
{
    constexpr int kMaxLinks = 40; // the system's own limit
    for (int i = 0; i < kMaxLinks; ++i) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec)))
            return Resolve(path, resolved);
        const fs::path target = fs::read_symlink(path, ec);
        if (ec)
            return false;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return false;
}

bool IsInside(const fs::path& root, const fs::path& path)
{
    const fs::path relative = path.lexically_relative(root);
    if (relative.empty())
        return false;
    const fs::path first = *relative.begin();
    return first != "..";
}

bool CanonicalRoot(const std::string& root, fs::path& canonical)
{
    std::error_code ec;
    canonical = fs::canonical(root, ec);
    return !ec;
}

} // namespace

std::vector<std::string> DefaultServedRoots()
{
    const char* home = std::getenv("HOME");
    if (home && *home)
        return {home};
    if (const passwd* user = getpwuid(getuid()); user && user->pw_dir)
        return {user->pw_dir};
    return {};
}

std::string DriveRootText(size_t index)
{
    if (index >= kDriveCount)
        return {};
    return std::string(1, static_cast<char>(kFirstDrive + index)) + ":\\";
}

bool MapClientPath(const std::vector<std::string>& roots, std::string_view clientPath,
                   std::string& localPath, size_t* rootIndex)
{
    size_t index = 0;
    if (!DriveIndex(clientPath, index) || index >= roots.size() || index >= kDriveCount)
        return false;
    if (clientPath.find('\0') != std::string_view::npos)
        return false;
    fs::path local(roots[index]);
    std::string_view rest = clientPath.substr(2);
    while (!rest.empty()) {
        size_t cut = 0;
        while (cut < rest.size() && !IsSeparator(rest[cut]))
            ++cut;
        const std::string_view part = rest.substr(0, cut);
        rest = cut < rest.size() ? rest.substr(cut + 1) : std::string_view();
        if (part.empty() || part == ".")
            continue;
        if (part == ".." || part.find(':') != std::string_view::npos)
            return false;
        local /= std::string(part);
    }
    localPath = local.string();
    if (rootIndex)
        *rootIndex = index;
    return true;
}

bool StaysInsideRoot(const std::string& root, const std::string& localPath, bool followLast)
{
    fs::path canonicalRoot;
    if (!CanonicalRoot(root, canonicalRoot))
        return false;
    const fs::path path = fs::path(localPath).lexically_normal();
    fs::path resolved;
    if (followLast || !path.has_parent_path() || path.filename().empty()) {
        if (!ResolveFollowingLinks(path, resolved))
            return false;
    } else {
        if (!Resolve(path.parent_path(), resolved))
            return false;
        resolved /= path.filename();
    }
    return IsInside(canonicalRoot, resolved);
}

bool IsRootPath(const std::string& root, const std::string& localPath)
{
    fs::path canonicalRoot;
    fs::path resolved;
    if (!CanonicalRoot(root, canonicalRoot) || !Resolve(localPath, resolved))
        return false;
    return resolved == canonicalRoot;
}

bool LocalToClientPath(const std::vector<std::string>& roots, const std::string& localPath,
                       std::string& clientPath)
{
    fs::path resolved;
    if (!Resolve(localPath, resolved))
        return false;
    for (size_t i = 0; i < roots.size() && i < kDriveCount; ++i) {
        fs::path canonicalRoot;
        if (!CanonicalRoot(roots[i], canonicalRoot) || !IsInside(canonicalRoot, resolved))
            continue;
        std::string text = DriveRootText(i);
        bool first = true;
        for (const fs::path& part : resolved.lexically_relative(canonicalRoot)) {
            if (part == ".")
                continue;
            if (!first)
                text += '\\';
            text += part.string();
            first = false;
        }
        clientPath = text;
        return true;
    }
    return false;
}

bool ConfineClientPath(const std::vector<std::string>& roots, std::string_view clientPath,
                       bool followLast, std::string& localPath)
{
    std::string local;
    size_t index = 0;
    if (!MapClientPath(roots, clientPath, local, &index) || !StaysInsideRoot(roots[index], local, followLast))
        return false;
    localPath = local;
    return true;
}

} // namespace vlt
