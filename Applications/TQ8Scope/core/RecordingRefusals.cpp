#include "RecordingRefusals.h"

#include <string_view>

#include "TextConv.h"
#include "ValueFormat.h"

namespace {

std::wstring Samples(uint64_t count)
{
    return FormatWithThousandsSeparator(count) + (count == 1 ? L" sample" : L" samples");
}

std::wstring Bytes(uint64_t count)
{
    return FormatWithThousandsSeparator(count) + (count == 1 ? L" byte" : L" bytes");
}

std::wstring TransferReason(const TQ8_REC_SESSION_PARAMS& record)
{
    const uint32_t transfer = record.Rsp_transferSamples;
    if (transfer == 0 || transfer >= TQ8_REC_MIN_TRANSFER_SAMPLES)
        return {};
    return L"The transfer size of " + Samples(transfer) + L" (Program Options, \"Data Recording\") is below the "
           + Samples(TQ8_REC_MIN_TRANSFER_SAMPLES) + L" a transfer takes at the least; 0 lets the library choose.";
}

std::wstring AcquisitionReason(TQ8_HANDLE device, const TQ8_REC_SESSION_PARAMS& record, uint32_t channels)
{
    const uint32_t acq = record.Rsp_acqSamples;
    if (acq < channels)
        return L"The acquisition size of " + Samples(acq) + L" is less than one sample for each of the "
               + std::to_wstring(channels) + L" active channels.";
    uint32_t most = 0;
    if (GetMaxSampleCountForActiveChanSelTQ8(device, GetActiveChannelsTQ8(device, 1), &most) == TQ8_OK && acq > most)
        return L"The acquisition size of " + Samples(acq) + L" is more than the board's memory holds with the "
               L"active channels (" + Samples(most) + L").";
    return {};
}

std::wstring SnapshotReason(const TQ8_REC_SESSION_PARAMS& record)
{
    if (!(record.Rsp_flags & TQ8_RSP_FLAG_SNAPSHOTS) || record.Rsp_snapshotSamples != 0)
        return {};
    return L"The snapshot length (\"Snapshot Options...\") is 0 samples; a snapshot needs at least one.";
}

std::wstring FileReason(const TQ8_FILE_WRITE_PARAMS& files, uint32_t channels)
{
    const uint64_t segment = files.Fwp_maxseg;
    if (segment == 0)
        return {};
    if (files.Fwp_flags & (TQ8_FWP_TEXT | TQ8_FWP_HEX))
        return L"Spanning data over multiple files takes binary files only, and \"Save data as text\" is checked "
               L"(\"Advanced Options...\").";
    const uint64_t header = files.Fwp_hdrskp;
    if (segment > header && segment - header >= channels)
        return {};
    std::wstring text = L"The static file size of " + Bytes(segment)
                        + L" (\"Advanced Options...\") leaves no room for a frame of " + Samples(channels);
    if (header != 0)
        text += L" after the " + Bytes(header) + L" skipped at the start of each file";
    return text + L".";
}

std::wstring PathsReason(const TQ8_FILE_WRITE_PARAMS& files)
{
    std::wstring paths;
    for (const char* path : {files.Fwp_path1, files.Fwp_path2, files.Fwp_path3, files.Fwp_path4, files.Fwp_tsPath})
        if (path != nullptr && *path != '\0')
            paths += (paths.empty() ? L"\"" : L", \"") + vlt::Utf8ToWide(path) + L"\"";
    return paths.empty() ? paths : L"The paths given: " + paths + L".";
}

// "X:\" or "X:/" and more.
bool IsServerPath(std::string_view path)
{
    const bool letter = !path.empty() && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return letter && path.size() > 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

} // namespace

std::wstring RecordingRefusalReason(TQ8_HANDLE device, const TQ8_REC_SESSION_PARAMS& record, int32_t result)
{
    if (result == TQ8_ERR_PATH_NOT_SERVED && record.Rsp_fileWrite)
        return PathsReason(*record.Rsp_fileWrite);
    if (result != TQ8_ERR_INVALID_ARG && result != TQ8_ERR_OUT_OF_BOUNDS)
        return {};
    const int32_t channels = GetChannelCountFromChanSelTQ8(GetActiveChannelsTQ8(device, 1));
    const uint32_t frame = channels > 0 ? uint32_t(channels) : 1u;
    for (std::wstring reason : {TransferReason(record), AcquisitionReason(device, record, frame),
                                SnapshotReason(record),
                                record.Rsp_fileWrite ? FileReason(*record.Rsp_fileWrite, frame) : std::wstring()})
        if (!reason.empty())
            return reason;
    return {};
}

std::string FirstPathOffServer(const TQ8_FILE_WRITE_PARAMS& record)
{
    for (const char* path : {record.Fwp_path1, record.Fwp_path2, record.Fwp_path3, record.Fwp_path4,
                             record.Fwp_tsPath})
        if (path != nullptr && *path != '\0' && !IsServerPath(path))
            return path;
    return {};
}
