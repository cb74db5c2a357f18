#pragma once
// One client connection of the sync-device service: the unit the client
// opened and the calls on it.
#include <cstdint>
#include <memory>
#include <string>

#include "IVltServiceInstance.h"

struct CHub6Unit;

class CSvcHub6Inst final : public IVltServiceInstance {
public:
    CSvcHub6Inst() = default;
    void Release() override;
    int32_t HandleRequest(int socket, xmlDocPtr request, int32_t flags) override;

    // Sends the error reply with the code's text; 1.
    static int32_t SendErrorReply(int socket, int32_t code);

    int32_t OnList(int socket, xmlDocPtr request);
    int32_t OnOpen(int socket, xmlDocPtr request);
    int32_t OnGetClock(int socket, xmlDocPtr request);
    int32_t OnSetClock(int socket, xmlDocPtr request);
    int32_t OnSync(int socket, xmlDocPtr request);
    int32_t OnTrigger(int socket, xmlDocPtr request);

private:
    ~CSvcHub6Inst() = default;
    // The failure the simulation was told to give for method, as an error
    // reply; 0 when there is none.
    int32_t SendInjected(int socket, const char* method);
    // Error reply when no unit is open; 0 when one is.
    int32_t RequireUnit(int socket);

    std::shared_ptr<CHub6Unit> m_unit;
};
