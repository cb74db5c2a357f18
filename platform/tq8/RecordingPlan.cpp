#include "RecordingPlan.h"

#include <algorithm>

#include "CTransferQueue.h"
#include "ChannelSelection.h"

namespace tq8 {

int32_t CopyRecordingParams(const TQ8_REC_SESSION_PARAMS* params, RecordingPlan& out)
{
    if (params == nullptr || params->Rsp_ss != sizeof(TQ8_REC_SESSION_PARAMS))
        return TQ8_ERR_INVALID_ARG;
    const uint32_t kind = params->Rsp_flags & ~TQ8_RSP_FLAG_SNAPSHOTS;
    if (kind != TQ8_RSP_FLAGS_TO_HOST && kind != TQ8_RSP_FLAGS_VIA_BOARD)
        return TQ8_ERR_INVALID_ARG;
    const bool snapshots = (params->Rsp_flags & TQ8_RSP_FLAG_SNAPSHOTS) != 0;
    if (params->Rsp_acqSamples == 0 || (snapshots && params->Rsp_snapshotSamples == 0))
        return TQ8_ERR_INVALID_ARG;
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
    int32_t rc = CopyFileWriteParams(params->Rsp_fileWrite, plan);
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
    const uint32_t transfer = plan.transferSamples != 0 ? plan.transferSamples : kDefaultTransferSamples;
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

int32_t CheckRecordingSizes(const RecordingPlan& plan, const CBoardSettings& settings)
{
    const int sel = settings.GetInt(SettingId::ActiveChannels);
    const uint32_t channels = static_cast<uint32_t>(ChannelCount(sel));
    if (channels == 0 || plan.acqSamples < channels)
        return TQ8_ERR_INVALID_ARG;
    if (plan.transferSamples != 0 && plan.transferSamples < TQ8_REC_MIN_TRANSFER_SAMPLES)
        return TQ8_ERR_INVALID_ARG;
    if (plan.acqSamples > settings.MaxSamples(sel))
        return TQ8_ERR_OUT_OF_BOUNDS;
    if (plan.maxSegmentBytes != 0
        && (plan.maxSegmentBytes <= plan.headerBytes || plan.maxSegmentBytes - plan.headerBytes < channels))
        return TQ8_ERR_INVALID_ARG;
    return TQ8_OK;
}

} // namespace tq8
