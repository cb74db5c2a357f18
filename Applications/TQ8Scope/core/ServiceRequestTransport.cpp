#include "ServiceRequestTransport.h"

#include "CAutoFreeServiceResponse.h"

void FreeServiceResponse(xmlDocPtr reply)
{
    // The library frees only what it handed out; a reply that another
    // sender parsed itself is a plain document.
    if (reply && FreeServiceResponseTQ8(reply) != TQ8_OK)
        xmlFreeDoc(reply);
}

ServiceRequestSender DeviceServiceSender(TQ8_HANDLE handle)
{
    return [handle](const char* text, uint32_t length, xmlDocPtr* reply, uint32_t timeoutMs) -> int32_t {
        if (!reply)
            return -2;
        void* parsed = nullptr;
        const int32_t rc = SendServiceRequestTQ8(handle, text, length, &parsed, timeoutMs, 0);
        *reply = static_cast<xmlDocPtr>(parsed);
        return rc;
    };
}

int32_t SendServiceRequest(const ServiceRequestSender& sender, const std::string& text,
                           CAutoFreeServiceResponse& reply, uint32_t timeoutMs)
{
    if (!sender)
        return -2;
    return sender(text.data(), static_cast<uint32_t>(text.size()), reply.Receive(), timeoutMs);
}
