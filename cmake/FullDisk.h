#pragma once
// Test support: runs a piece of a test on a file system that is full, or
// nearly. A child process takes a mount namespace of its own, mounts a small
// tmpfs on a folder, fills it and runs the piece there; the mount goes with
// the child. Making the mount needs root (CI runs as root); elsewhere Run
// says so and the test skips.
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace fulldisk {

namespace detail {

// Fills the file system at folder, then gives back freeBytes of it.
inline bool Fill(const std::string& folder, uint64_t freeBytes)
{
    const std::string filler = folder + "/filler";
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    char block[4096] = {};
    off_t size = 0;
    for (ssize_t n; (n = ::write(fd, block, sizeof block)) > 0;)
        size += n;
    const off_t kept = size > static_cast<off_t>(freeBytes) ? size - static_cast<off_t>(freeBytes) : 0;
    const bool ok = ::ftruncate(fd, kept) == 0;
    ::close(fd);
    return ok;
}

inline void WriteAll(int fd, const std::string& text)
{
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

} // namespace detail

// The text the piece returned (it is given the folder), or nullopt when no
// such file system can be made here. The folder must exist; a tmpfs of
// sizeBytes covers it in the child only.
inline std::optional<std::string> Run(const std::string& folder, uint64_t sizeBytes, uint64_t freeBytes,
                                      const std::function<std::string(const std::string&)>& piece)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        ::close(fds[0]);
        const std::string options = "size=" + std::to_string(sizeBytes);
        const bool mounted = ::unshare(CLONE_NEWNS) == 0
            && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
            && ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0 && detail::Fill(folder, freeBytes);
        detail::WriteAll(fds[1], mounted ? "1" + piece(folder) : "0");
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || text.empty())
        return std::string("the child process ended abnormally");
    if (text[0] != '1')
        return std::nullopt;
    return text.substr(1);
}

} // namespace fulldisk
