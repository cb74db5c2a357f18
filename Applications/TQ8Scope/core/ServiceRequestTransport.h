#pragma once
// The one road by which the scope application hands a service request to a
// board's computer and gets the parsed reply back: over the device
// library's connection of a remote board.
#include <cstdint>
#include <functional>
#include <string>

#include <libxml/tree.h>

#include "TQ8_64.h"

class CAutoFreeServiceResponse;

// (request text, its length in bytes, out reply, time-out in ms) -> 0 with a
// reply document stored, or a non-zero result code.
using ServiceRequestSender = std::function<int32_t(const char*, uint32_t, xmlDocPtr*, uint32_t)>;

// Releases a reply that a sender handed out.
void FreeServiceResponse(xmlDocPtr reply);

// Requests on the connection of the remote board behind the handle.
ServiceRequestSender DeviceServiceSender(TQ8_HANDLE handle);

// Sends the text; the reply ends up in the holder (which frees any reply
// it held first). -2 without a sender.
int32_t SendServiceRequest(const ServiceRequestSender& sender, const std::string& text,
                           CAutoFreeServiceResponse& reply, uint32_t timeoutMs);
