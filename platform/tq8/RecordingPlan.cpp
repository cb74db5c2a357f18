#include "RecordingPlan.h"

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

int32_t CheckRecordingSizes(const RecordingPlan& plan, const CBoardSettings& settings)
{
    const int sel = settings.GetInt(SettingId::ActiveChannels);
    const uint32_t channels = static_cast<uint32_t>(ChannelCount(sel));
    if (channels == 0 || plan.acqSamples < channels)
        return TQ8_ERR_INVALID_ARG;
    if (plan.acqSamples > settings.MaxSamples(sel))
        return TQ8_ERR_OUT_OF_BOUNDS;
    if (plan.maxSegmentBytes != 0
        && (plan.maxSegmentBytes <= plan.headerBytes || plan.maxSegmentBytes - plan.headerBytes < channels))
        return TQ8_ERR_INVALID_ARG;
    return TQ8_OK;
}

} // namespace tq8
