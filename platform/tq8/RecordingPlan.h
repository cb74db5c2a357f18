#pragma once
// A recording session's parameters, copied out of the caller's records (the
// session record, its file-write record and the texts they point to) so the
// caller may free them as soon as the session is created.
#include <cstddef>
#include <cstdint>
#include <string>

#include "CBoardSettings.h"
#include "FileWritePlan.h"
#include "TQ8_64.h"

namespace tq8 {

struct RecordingPlan : FileWritePlan {
    uint32_t flags = 0; // Rsp_flags
    uint64_t samplesToRecord = 0;
    uint32_t acqSamples = 0;
    uint32_t transferSamples = 0;
    bool snapshots = false;
    uint32_t snapshotSamples = 0;
    uint32_t snapshotIntervalCount = 0;
    uint32_t snapshotIntervalMs = 0;
};

// How an armed session moves its samples: acquisitions and transfers of
// whole frames, and the number of blocks between board and files.
struct TransferLayout {
    uint32_t acqSamples = 0;
    uint32_t transferSamples = 0;
    size_t queueSlots = 0;
};

// Blocks in flight between board and files at the least, and the transfer
// size when the caller leaves it to the library.
inline constexpr size_t kMinQueueSlots = 2;
inline constexpr uint32_t kDefaultTransferSamples = 4u << 20;

// The samples of whole frames in count.
uint32_t WholeFrames(uint64_t samples, uint32_t channels);

// The layout of a plan whose sizes passed CheckRecordingSizes, for a board
// with that many channels and a ring of ringBytes between board and files:
// a transfer size below TQ8_REC_MIN_TRANSFER_SAMPLES is raised to it.
TransferLayout PlanTransfers(const RecordingPlan& plan, uint32_t channels, uint64_t ringBytes);

// TQ8_ERR_INVALID_ARG for a malformed record (see CopyFileWriteParams);
// reason, when given, then names the setting at fault.
int32_t CopyRecordingParams(const TQ8_REC_SESSION_PARAMS* params, RecordingPlan& out, std::wstring* reason = nullptr);

// The sizes against the board's settings: an acquisition of at least one
// frame that fits board memory, a segment file with room for a frame after
// its header. A transfer below the smallest the library takes is raised to
// it (PlanTransfers), not refused.
int32_t CheckRecordingSizes(const RecordingPlan& plan, const CBoardSettings& settings,
                            std::wstring* reason = nullptr);

} // namespace tq8
