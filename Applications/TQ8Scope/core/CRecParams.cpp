#include "CRecParams.h"

#include <cmath>

#include "CRecParamsManager.h"

namespace {

// 2^64: the first double that no longer fits an unsigned 64-bit number.
constexpr double kTwoPow64 = 18446744073709551616.0;

TQ8_FILE_WRITE_PARAMS EmptyFileWriteParams()
{
    TQ8_FILE_WRITE_PARAMS record{};
    record.Fwp_ss = sizeof(TQ8_FILE_WRITE_PARAMS);
    return record;
}

} // namespace

CRecParams::CRecParams() : m_fileWrite(EmptyFileWriteParams()) {}

CRecParams::CRecParams(const CRecParams& other) : m_fileWrite(EmptyFileWriteParams())
{
    CopyFields(other);
}

CRecParams& CRecParams::operator=(const CRecParams& other)
{
    if (this != &other) {
        CopyFields(other);
        m_fileWrite = EmptyFileWriteParams();
    }
    return *this;
}

void CRecParams::CopyFields(const CRecParams& other)
{
    Flags = other.Flags;
    OutFlags = other.OutFlags;
    RecType = other.RecType;
    RecDurType = other.RecDurType;
    DurSamples = other.DurSamples;
    DurMs = other.DurMs;
    AcqSamples = other.AcqSamples;
    DestFileOpts = other.DestFileOpts;
}

bool CRecParams::SamplesForTime(double rateMHz, uint64_t durMs, int32_t channels, uint64_t& samples)
{
    if (channels <= 0 || !std::isfinite(rateMHz) || rateMHz < 0)
        return false;
    double perChannel = rateMHz * 1000000.0 * static_cast<double>(durMs) / 1000.0;
    if (!std::isfinite(perChannel) || perChannel >= kTwoPow64)
        return false;
    uint64_t total = 0;
    if (__builtin_mul_overflow(static_cast<uint64_t>(perChannel), static_cast<uint64_t>(channels), &total))
        return false;
    samples = total;
    return true;
}

bool CRecParams::GetDurationSamples(TQ8_HANDLE handle, uint64_t& samples) const
{
    uint64_t limit = 0;
    switch (RecDurType) {
    case kDurSamples:
        limit = DurSamples;
        break;
    case kDurTime: {
        double rate = 0;
        if (GetEffectiveAcqRateTQ8(handle, &rate) != TQ8_OK)
            return false;
        int32_t selection = GetActiveChannelsTQ8(handle, 1);
        if (selection < 0 || !SamplesForTime(rate, DurMs, GetChannelCountFromChanSelTQ8(selection), limit))
            return false;
        break;
    }
    default:
        samples = 0;
        return true;
    }
    // The library takes 0 samples for no limit at all.
    if (limit == 0)
        return false;
    samples = limit;
    return true;
}

bool CRecParams::BuildSessionParams(TQ8_HANDLE handle, const CRecParamsManager& manager,
                                    TQ8_REC_SESSION_PARAMS& record, const wchar_t* baseFolder)
{
    if (RecType != kRecTypeToHost && RecType != kRecTypeViaBoard)
        return false;
    uint64_t samples = 0;
    if (!GetDurationSamples(handle, samples))
        return false;
    if (!DestFileOpts.BuildFileWriteParams(m_fileWrite, baseFolder))
        return false;
    TQ8_REC_SESSION_PARAMS built{};
    built.Rsp_ss = sizeof(TQ8_REC_SESSION_PARAMS);
    built.Rsp_flags = RecType == kRecTypeToHost ? TQ8_RSP_FLAGS_TO_HOST : TQ8_RSP_FLAGS_VIA_BOARD;
    built.Rsp_samplesToRecord = samples;
    built.Rsp_acqSamples = AcqSamples;
    built.Rsp_transferSamples = manager.TransferSamples;
    built.Rsp_fileWrite = &m_fileWrite;
    record = built;
    return true;
}
