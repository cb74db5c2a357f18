#include "CAutoFreeServiceResponse.h"

#include <atomic>

namespace {

std::atomic<ServiceResponseReleaser> g_releaser{nullptr};

} // namespace

void SetServiceResponseReleaser(ServiceResponseReleaser releaser)
{
    g_releaser.store(releaser);
}

void FreeServiceResponse(xmlDocPtr reply)
{
    if (!reply)
        return;
    // A reply that no registered library owns is a plain document its
    // sender parsed itself.
    const ServiceResponseReleaser releaser = g_releaser.load();
    if (releaser == nullptr || !releaser(reply))
        xmlFreeDoc(reply);
}

CAutoFreeServiceResponse::~CAutoFreeServiceResponse()
{
    Free();
}

void CAutoFreeServiceResponse::Free()
{
    if (m_response)
        FreeServiceResponse(m_response);
    m_response = nullptr;
}

xmlDocPtr* CAutoFreeServiceResponse::Receive()
{
    Free();
    return &m_response;
}
