#pragma once
// A service class for tests; its instances are CTestServiceInstance. Every
// instance it creates is logged by name (see CreatedLog).
#include <atomic>
#include <string>
#include <vector>

#include "IVltServiceClass.h"

class CTestServiceClass final : public IVltServiceClass {
public:
    CTestServiceClass(std::string name, uint16_t defaultPort, bool createFails = false);
    void Release() override;
    const char* GetName() override { return m_name.c_str(); }
    const char* GetDescription() override { return m_description.c_str(); }
    uint16_t GetDefaultPort() override { return m_port; }
    int32_t CreateInstance(IVltServiceInstance** instance) override;

    static std::atomic<int> s_alive;
    // Names of the instances created so far, in order; cleared by the caller.
    static std::vector<std::string> CreatedLog(bool clear = false);

private:
    ~CTestServiceClass();
    std::string m_name;
    std::string m_description;
    uint16_t m_port;
    bool m_createFails;
};
