#pragma once
// Test support: things that stand where a reader expects a plain file, and a
// guard that ends the test program when a read blocks, so that a hang fails
// the test instead of stalling the run.
#include <cstdint>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace badfiles {

enum class Kind { Fifo, Sparse, DevZero, Folder };
inline constexpr Kind kAll[] = {Kind::Fifo, Kind::Sparse, Kind::DevZero, Kind::Folder};

inline const char* Name(Kind kind)
{
    switch (kind) {
    case Kind::Fifo: return "a FIFO";
    case Kind::Sparse: return "a sparse file above the limit";
    case Kind::DevZero: return "a link to /dev/zero";
    case Kind::Folder: return "a folder";
    }
    return "";
}

// Sparse: a hole of sparseBytes, nothing allocated on disk. False when the
// thing could not be made.
inline bool Make(Kind kind, const std::string& path, uint64_t sparseBytes = uint64_t(3) << 30)
{
    ::unlink(path.c_str());
    switch (kind) {
    case Kind::Fifo:
        return ::mkfifo(path.c_str(), 0644) == 0;
    case Kind::Sparse: {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const bool made = fd >= 0 && ::ftruncate(fd, static_cast<off_t>(sparseBytes)) == 0;
        if (fd >= 0)
            ::close(fd);
        return made;
    }
    case Kind::DevZero:
        return ::symlink("/dev/zero", path.c_str()) == 0;
    case Kind::Folder:
        return ::mkdir(path.c_str(), 0755) == 0;
    }
    return false;
}

// While it lives, a call that blocks for `seconds` ends the program (SIGALRM).
class HangGuard {
public:
    explicit HangGuard(unsigned seconds = 10) { ::alarm(seconds); }
    ~HangGuard() { ::alarm(0); }
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;
};

} // namespace badfiles
