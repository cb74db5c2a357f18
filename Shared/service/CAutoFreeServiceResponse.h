#pragma once
// Holds one service reply and frees it when it goes, or when asked; never
// copied, so that a reply is freed exactly once.
#include <libxml/tree.h>

// A library that hands out replies it keeps account of takes them back
// through its releaser: true when the reply was its own (and is now freed).
using ServiceResponseReleaser = bool (*)(xmlDocPtr reply);

// Registers the one releaser asked before a reply is freed as a plain
// document; any thread, any time (a later call replaces the earlier one).
void SetServiceResponseReleaser(ServiceResponseReleaser releaser);

// Releases a reply that a sender handed out.
void FreeServiceResponse(xmlDocPtr reply);

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
