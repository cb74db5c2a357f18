#include "ServiceRequestTransport.h"

int32_t SendServiceRequest(const ServiceRequestSender& sender, const std::string& text,
                           CAutoFreeServiceResponse& reply, uint32_t timeoutMs)
{
    if (!sender)
        return -2;
    return sender(text.data(), static_cast<uint32_t>(text.size()), reply.Receive(), timeoutMs);
}
