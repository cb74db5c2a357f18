#include "OwnedTempFile.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace vlt {
namespace {

// mkstemp's characters after the process id and its dot.
constexpr size_t kUniqueChars = 6;

// The process id in an entry named for the prefix's file-name part, or 0
// when the entry is not one.
pid_t WriterOf(const std::string& entry, const std::string& namePrefix)
{
    if (entry.size() <= namePrefix.size() + 1 + kUniqueChars || entry.compare(0, namePrefix.size(), namePrefix) != 0)
        return 0;
    const size_t dot = entry.size() - kUniqueChars - 1;
    if (entry[dot] != '.')
        return 0;
    pid_t pid = 0;
    for (size_t i = namePrefix.size(); i < dot; ++i) {
        if (entry[i] < '0' || entry[i] > '9' || pid > 99999999)
            return 0;
        pid = pid * 10 + (entry[i] - '0');
    }
    return pid;
}

bool ProcessIsGone(pid_t pid)
{
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

} // namespace

int CreateOwnedTempFile(const std::string& prefix, std::string& path)
{
    std::string pattern = prefix + std::to_string(::getpid()) + "." + std::string(kUniqueChars, 'X');
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0)
        path = std::move(pattern);
    return fd;
}

void RemoveOrphanedTempFiles(const std::string& prefix)
{
    const auto slash = prefix.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : prefix.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? prefix : prefix.substr(slash + 1);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return;
    const int saved = errno;
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t writer = WriterOf(entry->d_name, name);
        if (writer > 0 && writer != self && ProcessIsGone(writer))
            ::unlink((folder + entry->d_name).c_str());
    }
    ::closedir(dir);
    errno = saved;
}

} // namespace vlt
