#pragma once
// One row of a remote listing: a file or folder, or at the computer level a
// drive (then the fields carry the drive's values, see below).
#include <cstdint>
#include <string>

class CRemoteFileEntry {
public:
    static constexpr uint32_t kDefaultAttributes = 0x80;
    static constexpr uint32_t kDirectoryAttribute = 0x10;
    static constexpr uint32_t kLinkIsDirFlag = 0x1;

    void Reset() { *this = CRemoteFileEntry(); }
    bool IsDirectory() const { return (attributes & kDirectoryAttribute) != 0; }

    std::wstring name;       // entry name, or the drive's root
    std::wstring secondText; // shortcut target, or the volume name
    uint32_t attributes = kDefaultAttributes; // or the drive type
    uint64_t time = 0;       // modification as 100 ns since 1601 (UTC), or bytes free
    uint64_t size = 0;       // bytes, or the drive's total bytes
    uint32_t flags = 0;      // kLinkIsDirFlag: the shortcut's target is a folder
};
