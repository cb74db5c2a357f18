#pragma once
// Holds one service reply and frees it when it goes, or when asked; never
// copied, so that a reply is freed exactly once.
#include <libxml/tree.h>

class CAutoFreeServiceResponse {
public:
    CAutoFreeServiceResponse() = default;
    virtual ~CAutoFreeServiceResponse();
    CAutoFreeServiceResponse(const CAutoFreeServiceResponse&) = delete;
    CAutoFreeServiceResponse& operator=(const CAutoFreeServiceResponse&) = delete;

    // Frees the reply held, if any; safe to repeat.
    void Free();
    // The out-parameter for a sender: frees a held reply first.
    xmlDocPtr* Receive();
    xmlDocPtr Get() const { return m_response; }

private:
    xmlDocPtr m_response = nullptr;
};
