#pragma once
// A thin client transport for tests: one connection to a service host on
// loopback, speaking the real framing, that hands parsed replies to the
// scope application's request routines in place of the device library.
#include <cstdint>

#include <libxml/tree.h>

#include "ServiceRequestTransport.h"

class CLoopbackServiceTransport {
public:
    explicit CLoopbackServiceTransport(uint16_t port);
    ~CLoopbackServiceTransport();
    CLoopbackServiceTransport(const CLoopbackServiceTransport&) = delete;
    CLoopbackServiceTransport& operator=(const CLoopbackServiceTransport&) = delete;

    bool Connected() const { return m_socket >= 0; }
    // 0 with the reply parsed; -525 on a failed exchange, -532 when the
    // reply is not well-formed.
    int32_t Send(const char* text, uint32_t length, xmlDocPtr* reply, uint32_t timeoutMs);
    ServiceRequestSender Sender();

private:
    int m_socket = -1;
};
