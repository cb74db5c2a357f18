#pragma once
// The scope application's sender of service requests: over the device
// library's connection of a remote board.
#include "ServiceRequestTransport.h"
#include "TQ8_64.h"

// Requests on the connection of the remote board behind the handle; the
// replies go back to the device library when they are freed.
ServiceRequestSender DeviceServiceSender(TQ8_HANDLE handle);
