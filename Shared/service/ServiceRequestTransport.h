#pragma once
// The one road by which a client hands a service request to a computer's
// service host and gets the parsed reply back: whatever sender it is given
// (the scope application's goes over the device library's connection of a
// remote board).
#include <cstdint>
#include <functional>
#include <string>

#include <libxml/tree.h>

#include "CAutoFreeServiceResponse.h"

// (request text, its length in bytes, out reply, time-out in ms) -> 0 with a
// reply document stored, or a non-zero result code.
using ServiceRequestSender = std::function<int32_t(const char*, uint32_t, xmlDocPtr*, uint32_t)>;

// Sends the text; the reply ends up in the holder (which frees any reply
// it held first). -2 without a sender.
int32_t SendServiceRequest(const ServiceRequestSender& sender, const std::string& text,
                           CAutoFreeServiceResponse& reply, uint32_t timeoutMs);
