#pragma once
// One service's side of one client connection. Called only on that
// connection's thread; instances of one class may run on several at once.
#include <cstdint>
#include <libxml/tree.h>

class IVltServiceInstance {
public:
    // Called once when the connection ends; the instance frees itself.
    virtual void Release() = 0;
    // 0: not for this instance, nothing sent. Positive: handled, exactly one
    // framed reply sent on the socket. Negative: a result code, nothing sent
    // (the host answers with its error reply). The flag is always 0.
    virtual int32_t HandleRequest(int socket, xmlDocPtr request, int32_t flags) = 0;

protected:
    ~IVltServiceInstance() = default; // destroyed only through Release
};
