#include "DeviceServiceSender.h"

namespace {

// The library frees only what it handed out.
bool ReleaseDeviceReply(xmlDocPtr reply)
{
    return FreeServiceResponseTQ8(reply) == TQ8_OK;
}

} // namespace

ServiceRequestSender DeviceServiceSender(TQ8_HANDLE handle)
{
    SetServiceResponseReleaser(&ReleaseDeviceReply);
    return [handle](const char* text, uint32_t length, xmlDocPtr* reply, uint32_t timeoutMs) -> int32_t {
        if (!reply)
            return -2;
        void* parsed = nullptr;
        const int32_t rc = SendServiceRequestTQ8(handle, text, length, &parsed, timeoutMs, 0);
        *reply = static_cast<xmlDocPtr>(parsed);
        return rc;
    };
}
