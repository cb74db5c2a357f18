#pragma once
// One connection's power service: restart or switch off the computer.
#include <cstdint>

#include "IVltServiceInstance.h"

class CSvcPdWin32Inst final : public IVltServiceInstance {
public:
    CSvcPdWin32Inst() = default;
    void Release() override;
    int32_t HandleRequest(int socket, xmlDocPtr request, int32_t flags) override;

    // Sends the error reply with the code's text; 1.
    static int32_t SendErrorReply(int socket, int32_t code);

    int32_t OnPdReboot(int socket, xmlDocPtr request);
    int32_t OnPdShutdown(int socket, xmlDocPtr request);

    // 0 when the system accepted the request, -1 otherwise.
    static int32_t ExitWindowsWithPrivilege(bool reboot);

private:
    ~CSvcPdWin32Inst() = default;
};
