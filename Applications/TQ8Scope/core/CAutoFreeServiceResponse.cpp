#include "CAutoFreeServiceResponse.h"

#include "ServiceRequestTransport.h"

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
