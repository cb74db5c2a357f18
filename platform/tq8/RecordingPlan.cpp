#include "RecordingPlan.h"

#include <algorithm>

#include "CTransferQueue.h"
#include "ChannelSelection.h"
#include "ErrorTexts.h"

namespace tq8 {

int32_t CopyRecordingParams(const TQ8_REC_SESSION_PARAMS* params, RecordingPlan& out, std::wstring* reason)
{
    if (params == nullptr || params->Rsp_ss != sizeof(TQ8_REC_SESSION_PARAMS))
        return Refuse(TQ8_ERR_INVALID_ARG, reason, L"The recording record is missing or not of its size.");
    const uint32_t kind = params->Rsp_flags & ~TQ8_RSP_FLAG_SNAPSHOTS;
    if (kind != TQ8_RSP_FLAGS_TO_HOST && kind != TQ8_RSP_FLAGS_VIA_BOARD)
        return Refuse(TQ8_ERR_INVALID_ARG, reason,
                      L"The recording type (flags " + std::to_wstring(params->Rsp_flags) + L") is not one the library knows.");
    const bool snapshots = (params->Rsp_flags & TQ8_RSP_FLAG_SNAPSHOTS) != 0;
    if (params->Rsp_acqSamples == 0)
        return Refuse(TQ8_ERR_INVALID_ARG, reason, L"The acquisition size is 0 samples; an acquisition needs at least one.");
    if (snapshots && params->Rsp_snapshotSamples == 0)
        return Refuse(TQ8_ERR_INVALID_ARG, reason, L"The snapshot length is 0 samples; a snapshot needs at least one.");
    RecordingPlan plan;
    plan.flags = params->Rsp_flags;
    plan.samplesToRecord = params->Rsp_samplesToRecord;
    plan.acqSamples = params->Rsp_acqSamples;
    plan.transferSamples = params->Rsp_transferSamples;
    plan.snapshots = snapshots;
    if (snapshots) {
        plan.snapshotSamples = params->Rsp_snapshotSamples;
        plan.snapshotIntervalCount = params->Rsp_snapshotIntervalCount;
        plan.snapshotIntervalMs = params->Rsp_snapshotIntervalMs;
    }
    int32_t rc = CopyFileWriteParams(params->Rsp_fileWrite, plan, reason);
    if (rc != TQ8_OK)
        return rc;
    out = std::move(plan);
    return TQ8_OK;
}

uint32_t WholeFrames(uint64_t samples, uint32_t channels)
{
    return static_cast<uint32_t>(samples / channels * channels);
}

TransferLayout PlanTransfers(const RecordingPlan& plan, uint32_t channels, uint64_t ringBytes)
{
    TransferLayout layout;
    layout.acqSamples = WholeFrames(plan.acqSamples, channels);
    // A transfer of a few samples costs about as much as a large one.
    const uint32_t transfer = plan.transferSamples != 0 ? std::max(plan.transferSamples, TQ8_REC_MIN_TRANSFER_SAMPLES)
                                                        : kDefaultTransferSamples;
    // The ring holds at least two transfers, so board and files overlap.
    const uint64_t ringTransfer = std::max<uint64_t>(ringBytes / kMinQueueSlots, channels);
    layout.transferSamples = std::clamp(WholeFrames(std::min<uint64_t>(transfer, ringTransfer), channels), channels,
                                        layout.acqSamples);
    // Blocks start on pages: the ring is counted in whole blocks, so that a
    // small transfer gets fewer blocks rather than a larger mapping.
    const uint64_t stride = CTransferQueue::BlockStride(layout.transferSamples);
    layout.queueSlots = static_cast<size_t>(std::max<uint64_t>(kMinQueueSlots, ringBytes / stride));
    return layout;
}

int32_t CheckRecordingSizes(const RecordingPlan& plan, const CBoardSettings& settings, std::wstring* reason)
{
    const int sel = settings.GetInt(SettingId::ActiveChannels);
    const uint32_t channels = static_cast<uint32_t>(ChannelCount(sel));
    if (channels == 0)
        return Refuse(TQ8_ERR_INVALID_ARG, reason, L"The board has no active channels.");
    if (plan.acqSamples < channels)
        return Refuse(TQ8_ERR_INVALID_ARG, reason,
                      L"The acquisition size of " + SampleCountText(plan.acqSamples)
                          + L" is less than one sample for each of the " + std::to_wstring(channels)
                          + L" active channels.");
    if (plan.acqSamples > settings.MaxSamples(sel))
        return Refuse(TQ8_ERR_OUT_OF_BOUNDS, reason,
                      L"The acquisition size of " + SampleCountText(plan.acqSamples)
                          + L" is more than the board's memory holds with the active channels ("
                          + SampleCountText(settings.MaxSamples(sel)) + L").");
    const uint64_t segment = plan.maxSegmentBytes;
    if (segment == 0 || (segment > plan.headerBytes && segment - plan.headerBytes >= channels))
        return TQ8_OK;
    std::wstring text = L"The static file size of " + ByteCountText(segment) + L" leaves no room for a frame of "
                        + SampleCountText(channels);
    if (plan.headerBytes != 0)
        text += L" after the " + ByteCountText(plan.headerBytes) + L" skipped at the start of each file";
    return Refuse(TQ8_ERR_INVALID_ARG, reason, text + L".");
}

} // namespace tq8
