#pragma once
// The board service of the service host: serves the TQ3300 boards of the
// computer it runs on, one board handle per client connection.
#include <cstdint>

#include "IVltServiceClass.h"

class CSvcTQ8Board final : public IVltServiceClass {
public:
    CSvcTQ8Board() = default;
    void Release() override;
    const char* GetName() override;
    const char* GetDescription() override;
    uint16_t GetDefaultPort() override;
    int32_t CreateInstance(IVltServiceInstance** instance) override;

private:
    ~CSvcTQ8Board() = default;
};
