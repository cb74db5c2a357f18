#pragma once
// The built-in power service "PowerDownWindows": a sub-service only (no
// listener), registered only when the host's options allow clients to
// restart or switch off the computer.
#include <cstdint>
#include <functional>

#include "CVltServiceMgr.h"
#include "IVltServiceClass.h"

class CSvcPdWin32 final : public IVltServiceClass {
public:
    // The host's option bit that allows remote restart and power-off.
    static constexpr uint32_t kAllowOption = 0x8;

    CSvcPdWin32() = default;
    void Release() override;
    const char* GetName() override { return "PowerDownWindows"; }
    const char* GetDescription() override { return "Manages shutdown/reboot of server"; }
    uint16_t GetDefaultPort() override { return kVltNoPort; }
    int32_t CreateInstance(IVltServiceInstance** instance) override;

    // Asks for the host's options each time the services start; offers the
    // service only when they carry kAllowOption.
    static CVltServiceMgr::BuiltInFactory Factory(std::function<uint32_t()> hostOptions);

private:
    ~CSvcPdWin32() = default;
};
