#pragma once
// The sync-device service of the service host: serves the HUB3300-6 units
// of the computer it runs on (the simulated local units of its process) and
// virtual units, one unit per client connection.
#include <cstdint>

#include "IVltServiceClass.h"

class CSvcHub6 final : public IVltServiceClass {
public:
    CSvcHub6() = default;
    void Release() override;
    const char* GetName() override;
    const char* GetDescription() override;
    uint16_t GetDefaultPort() override;
    int32_t CreateInstance(IVltServiceInstance** instance) override;

private:
    ~CSvcHub6() = default;
};
