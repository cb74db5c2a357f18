#pragma once
// The request dispatch the built-in services share: read the call's method,
// hand it to the instance's handler for that name, answer a failure with an
// error reply. An unknown method is not handled (0), so the host can offer
// the call to the next service.
#include <cstdint>
#include <map>
#include <string>

#include <libxml/tree.h>

#include "ServiceErrors.h"
#include "ServiceProtocol.h"
#include "XmlRoutines.h"

template <class Instance>
using ServiceMethodTable = std::map<std::string, int32_t (Instance::*)(int, xmlDocPtr)>;

template <class Instance>
int32_t DispatchServiceCall(Instance& instance, const ServiceMethodTable<Instance>& table, int socket,
                            xmlDocPtr request, int32_t flags)
{
    if (flags != 0 || !request)
        return kSvcInvalidArgument;
    std::string method;
    int32_t rc = kSvcMalformedRequest;
    if (XmlNodeGetAttribute(FindRequestNode(request, {"Call"}), "method", method) && !method.empty()) {
        const auto found = table.find(method);
        if (found == table.end())
            return 0;
        rc = (instance.*found->second)(socket, request);
    }
    return rc < 0 ? Instance::SendErrorReply(socket, rc) : rc;
}
