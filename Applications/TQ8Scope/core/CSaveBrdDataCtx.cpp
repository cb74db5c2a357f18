#include "CSaveBrdDataCtx.h"

uint32_t CSaveBrdDataCtx::GetStoredFlags() const
{
    return DestFileOpts.Template.Fwp_flags & ~kFlagNotStored;
}

void CSaveBrdDataCtx::SetStoredFlags(uint32_t flags)
{
    DestFileOpts.Template.Fwp_flags = flags & ~kFlagNotStored;
}
