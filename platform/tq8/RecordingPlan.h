#pragma once
// A recording session's parameters, copied out of the caller's records (the
// session record, its file-write record and the texts they point to) so the
// caller may free them as soon as the session is created.
#include <array>
#include <cstdint>
#include <string>

#include "CBoardSettings.h"
#include "TQ8_64.h"

namespace tq8 {

// File-write flags the recording writes as asked; the others that callers
// name are refused with TQ8_ERR_NOT_SUPPORTED rather than silently ignored.
// 0x200 (named streams) has no equivalent here: the details go to the
// context file, as with 0x100.
constexpr uint32_t kFwpNoUnbufferedIo = 0x8u;
constexpr uint32_t kFwpAssumeFormat = 0x10u;
constexpr uint32_t kFwpKnownFlags = 0x3FFDu; // every option the applications name
constexpr uint32_t kFwpSupportedFlags =
    kFwpNoUnbufferedIo | kFwpAssumeFormat | TQ8_FWP_FLAG_DEFAULT | TQ8_FWP_FLAG_NAMED_STREAMS;

struct RecordingPlan {
    uint32_t flags = 0; // Rsp_flags
    uint64_t samplesToRecord = 0;
    uint32_t acqSamples = 0;
    uint32_t transferSamples = 0;
    bool snapshots = false;
    uint32_t snapshotSamples = 0;
    uint32_t snapshotIntervalCount = 0;
    uint32_t snapshotIntervalMs = 0;

    std::string path;                      // UTF-8, the first data file
    std::array<std::string, 3> otherPaths; // kept for the context file only
    uint32_t fileFlags = 0;
    uint32_t headerBytes = 0;
    uint64_t maxSegmentBytes = 0; // whole file, header included; 0: one file
    int32_t chanSel = 0;
    std::string notes;
    std::string timestampPath;

    bool WantsContextFile() const
    {
        return (fileFlags & (TQ8_FWP_FLAG_DEFAULT | TQ8_FWP_FLAG_NAMED_STREAMS)) != 0;
    }
};

// A destination path of this computer: a backslash is a folder separator
// (applications join folders and names with one).
std::string LocalPath(std::string path);

// TQ8_ERR_INVALID_ARG for a malformed record, TQ8_ERR_NOT_SUPPORTED for
// file-write options this library does not write.
int32_t CopyRecordingParams(const TQ8_REC_SESSION_PARAMS* params, RecordingPlan& out);

// The sizes against the board's settings: an acquisition of at least one
// frame that fits board memory, a segment file with room for a frame after
// its header.
int32_t CheckRecordingSizes(const RecordingPlan& plan, const CBoardSettings& settings);

} // namespace tq8
