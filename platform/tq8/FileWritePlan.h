#pragma once
// What a file-write record asks for, copied out of the caller's record and
// the texts it points to, so the caller may free them once the call that
// took it has returned.
#include <array>
#include <cstdint>
#include <string>

#include "TQ8_64.h"

namespace tq8 {

constexpr uint32_t kFwpKnownFlags = 0x3FFDu; // every option the applications name

// A destination path of this computer: a backslash is a folder separator
// (applications join folders and names with one).
std::string LocalPath(std::string path);

struct FileWritePlan {
    std::string path;                      // UTF-8, Fwp_path1
    std::array<std::string, 3> otherPaths; // Fwp_path2..4
    uint32_t fileFlags = 0;
    uint32_t headerBytes = 0;
    uint64_t maxSegmentBytes = 0; // whole file, header included; 0: one file
    int32_t chanSel = 0;
    std::string notes;
    std::string timestampPath;
    TQ8_FILE_PROGRESS_CALLBACK callback = nullptr;
    void* callbackContext = nullptr;

    bool Has(uint32_t flag) const { return (fileFlags & flag) != 0; }
    bool IsText() const { return Has(TQ8_FWP_TEXT | TQ8_FWP_HEX); }
    bool WantsContextFile() const { return Has(TQ8_FWP_FLAG_DEFAULT | TQ8_FWP_FLAG_NAMED_STREAMS); }
    bool WantsTimestamps() const { return Has(TQ8_FWP_TS_BINARY | TQ8_FWP_TS_TEXT); }
    // The destination of channel k (0..3) of the format.
    const std::string& PathOf(size_t k) const { return k == 0 ? path : otherPaths[k - 1]; }
};

// TQ8_ERR_INVALID_ARG for a malformed record: wrong size, unknown flags,
// no destination, spanning with text, a format outside 0..8; reason, when
// given, then says which setting it is.
int32_t CopyFileWriteParams(const TQ8_FILE_WRITE_PARAMS* fw, FileWritePlan& out, std::wstring* reason = nullptr);

// The code, with the reason when one is asked for.
int32_t Refuse(int32_t code, std::wstring* reason, std::wstring text);

} // namespace tq8
