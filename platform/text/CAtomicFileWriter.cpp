#include "CAtomicFileWriter.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "OwnedTempFile.h"
#include "SystemErrorText.h"

namespace vlt {
namespace {

// Leaves errno at err for the caller.
bool Fail(std::string* error, const std::string& what, const std::string& path, int err)
{
    if (error)
        *error = what + " '" + path + "': " + SystemErrorText(err);
    errno = err;
    return false;
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Temporary files are "<name>.tmp<pid>.XXXXXX" beside the target (see
// OwnedTempFile).
constexpr char kTempMark[] = ".tmp";

} // namespace

CAtomicFileWriter::~CAtomicFileWriter()
{
    Discard();
}

bool CAtomicFileWriter::Open(const std::string& path, std::string* error)
{
    Discard();
    if (path.empty()) {
        if (error)
            *error = "No file name given";
        errno = ENOENT;
        return false;
    }
    // Written over, a FIFO or a device would be replaced by a plain file.
    struct stat target {};
    if (::stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode)) {
        if (error)
            *error = "Cannot write '" + path + "': not a regular file";
        errno = EINVAL;
        return false;
    }
    // Left by earlier writes of this target whose process was killed midway;
    // those of a writer that still runs stay.
    RemoveOrphanedTempFiles(path + kTempMark);
    std::string tmp;
    const int fd = CreateOwnedTempFile(path + kTempMark, tmp);
    if (fd < 0)
        return Fail(error, "Cannot create a file in the folder of", path, errno);
    // Keep the permissions of the file being replaced; a new file gets the
    // usual 0666 less the umask rather than mkstemp's 0600.
    struct stat st {};
    mode_t mode = 0;
    if (::stat(path.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    m_path = path;
    m_tmp = std::move(tmp);
    m_fd = fd;
    return true;
}

bool CAtomicFileWriter::Write(std::string_view data, std::string* error)
{
    if (m_fd < 0)
        return Fail(error, "Cannot write", m_path, EBADF);
    while (!data.empty()) {
        const ssize_t n = ::write(m_fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            Discard();
            return Fail(error, "Cannot write", m_path, err);
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool CAtomicFileWriter::Commit(std::string* error)
{
    if (m_fd < 0)
        return Fail(error, "Cannot write", m_path, EBADF);
    const bool synced = ::fsync(m_fd) == 0;
    const int syncErr = errno;
    const bool closed = ::close(m_fd) == 0;
    const int closeErr = errno;
    m_fd = -1;
    const std::string path = m_path;
    if (!synced || !closed) {
        Discard();
        return Fail(error, "Cannot write", path, synced ? closeErr : syncErr);
    }
    if (::rename(m_tmp.c_str(), m_path.c_str()) != 0) {
        const int err = errno;
        Discard();
        return Fail(error, "Cannot replace", path, err);
    }
    m_tmp.clear();
    // Make the rename itself durable.
    const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void CAtomicFileWriter::Discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_tmp.empty())
        ::unlink(m_tmp.c_str());
    m_tmp.clear();
}

} // namespace vlt
