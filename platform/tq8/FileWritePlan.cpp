#include "FileWritePlan.h"

#include "ChannelSelection.h"

namespace tq8 {

std::string LocalPath(std::string path)
{
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

namespace {
std::string Text(const char* p)
{
    return p != nullptr ? std::string(p) : std::string();
}
} // namespace

int32_t Refuse(int32_t code, std::wstring* reason, std::wstring text)
{
    if (reason != nullptr)
        *reason = std::move(text);
    return code;
}

int32_t CopyFileWriteParams(const TQ8_FILE_WRITE_PARAMS* fw, FileWritePlan& out, std::wstring* reason)
{
    if (fw == nullptr || fw->Fwp_ss != sizeof(TQ8_FILE_WRITE_PARAMS))
        return Refuse(TQ8_ERR_INVALID_ARG, reason, L"The file-write record is missing or not of its size.");
    if ((fw->Fwp_flags & ~kFwpKnownFlags) != 0)
        return Refuse(TQ8_ERR_INVALID_ARG, reason,
                      L"The file options hold flags the library does not know (" + std::to_wstring(fw->Fwp_flags)
                          + L").");
    FileWritePlan plan;
    plan.path = LocalPath(Text(fw->Fwp_path1));
    plan.otherPaths = {LocalPath(Text(fw->Fwp_path2)), LocalPath(Text(fw->Fwp_path3)), LocalPath(Text(fw->Fwp_path4))};
    plan.fileFlags = fw->Fwp_flags;
    plan.headerBytes = fw->Fwp_hdrskp;
    plan.maxSegmentBytes = fw->Fwp_maxseg;
    plan.chanSel = fw->Fwp_chanSel;
    plan.notes = Text(fw->Fwp_opNotes);
    plan.timestampPath = LocalPath(Text(fw->Fwp_tsPath));
    plan.callback = reinterpret_cast<TQ8_FILE_PROGRESS_CALLBACK>(fw->Fwp_progressCb);
    plan.callbackContext = fw->Fwp_progressCtx;
    if (plan.Has(TQ8_FWP_ASSUME_FORMAT) && (plan.chanSel < 0 || plan.chanSel > 8))
        return Refuse(TQ8_ERR_INVALID_ARG, reason,
                      L"The data format's channel selection " + std::to_wstring(plan.chanSel) + L" is not one of 0 to 8.");
    if (plan.IsText() && plan.maxSegmentBytes != 0)
        return Refuse(TQ8_ERR_INVALID_ARG, reason,
                      L"Spanning data over multiple files (a static file size) takes binary files only, and the data "
                      L"is to be saved as text.");
    bool anyPath = !plan.path.empty();
    if (plan.Has(TQ8_FWP_DEINTERLEAVE))
        for (const std::string& p : plan.otherPaths)
            anyPath = anyPath || !p.empty();
    if (!anyPath)
        return Refuse(TQ8_ERR_INVALID_ARG, reason, L"No destination file is given.");
    out = std::move(plan);
    return TQ8_OK;
}

} // namespace tq8
