#include "FirmwarePackage.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <unistd.h>

#include <zip.h>

#include "AtomicFile.h"
#include "CFwContextTQ8.h"
#include "MemoryArchive.h"

namespace {

constexpr size_t kCopyBufferSize = 16384;

struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

// At most kMaxPackageSourceBytes, also from a file that grows meanwhile.
int CopyIntoEntry(zipFile zip, int source)
{
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCopyBufferSize]);
    if (!buffer)
        return kFwNoMemory;
    uint64_t copied = 0;
    for (;;) {
        const ssize_t n = ::read(source, buffer.get(), kCopyBufferSize);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return kFwSourceUnreadable;
        if (n == 0)
            return kFwOk;
        copied += uint64_t(n);
        if (copied > kMaxPackageSourceBytes)
            return kFwSourceUnreadable;
        if (zipWriteInFileInZip(zip, buffer.get(), static_cast<unsigned>(n)) != ZIP_OK)
            return kFwFailed;
    }
}

// Names are UTF-8, as in the manifest; readers learn it from the flag,
// which ASCII names do not need.
uLong NameFlags(const std::string& name)
{
    constexpr uLong kUtf8Names = 1u << 11;
    for (unsigned char c : name)
        if (c >= 0x80)
            return kUtf8Names;
    return 0;
}

int AddEntry(zipFile zip, const std::string& source, const std::string& name, std::string* reason)
{
    // A FIFO, a device or an oversized file is refused before the entry exists.
    const int fd = vlt::OpenRegularFile(source, kMaxPackageSourceBytes, nullptr, reason);
    if (fd < 0)
        return errno == EINVAL || errno == EFBIG ? kFwSourceUnreadable : kFwFailed;
    FdCloser closer{fd};
    if (zipOpenNewFileInZip4_64(zip, name.c_str(), nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr,
                                0, 0, NameFlags(name), 0)
        != ZIP_OK)
        return kFwFailed;
    const int result = CopyIntoEntry(zip, fd);
    const int closed = zipCloseFileInZip(zip);
    return result != kFwOk ? result : (closed == ZIP_OK ? kFwOk : kFwFailed);
}

bool NamesAreValid(const FwPackagePairs& pairs)
{
    std::set<std::string> names;
    for (const auto& pair : pairs) {
        const std::string name = PackageEntryName(pair);
        if (name.empty() || !names.insert(name).second)
            return false;
    }
    return true;
}

} // namespace

std::string PackageEntryName(const std::pair<std::string, std::string>& pair)
{
    if (!pair.second.empty())
        return pair.second;
    const size_t slash = pair.first.find_last_of("/\\");
    return slash == std::string::npos ? pair.first : pair.first.substr(slash + 1);
}

int WriteFirmwarePackage(const std::string& path, const FwPackagePairs& pairs, std::string* reason)
{
    if (reason)
        reason->clear();
    // Two entries with one name would leave a reader to pick one of them.
    if (!NamesAreValid(pairs))
        return kFwFailed;
    MemoryArchive mem;
    zlib_filefunc64_def functions = MemoryFunctions(mem);
    zipFile zip = zipOpen2_64(path.c_str(), APPEND_STATUS_CREATE, nullptr, &functions);
    if (!zip)
        return kFwFailed;
    int result = kFwOk;
    for (const auto& pair : pairs) {
        result = AddEntry(zip, pair.first, PackageEntryName(pair), reason);
        if (result != kFwOk)
            break;
    }
    if (zipClose(zip, nullptr) != ZIP_OK && result == kFwOk)
        result = kFwFailed;
    if (result == kFwOk && (mem.failed || !vlt::AtomicWriteFile(path, mem.bytes, reason)))
        result = mem.failed ? kFwNoMemory : kFwFailed;
    return result;
}
