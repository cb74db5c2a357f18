#pragma once
// A service host on loopback for the built-in service tests: the file
// service over the given roots, the power service when the options allow
// it, and one listening test service "Board" that clients connect to.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CVltServiceMgr;

namespace srvtest {

class BuiltInHost {
public:
    BuiltInHost(std::vector<std::string> roots, uint32_t hostOptions);
    // The file service over the folders this configuration file names, read
    // as the host program reads it.
    explicit BuiltInHost(const std::string& configPath);
    ~BuiltInHost();
    BuiltInHost(const BuiltInHost&) = delete;
    BuiltInHost& operator=(const BuiltInHost&) = delete;

    bool Started() const { return m_started; }
    uint16_t Port() const { return m_port; }
    bool Offers(const std::string& name);

private:
    void MakeManager();
    void Start(const std::string& configPath, int32_t expected);

    std::unique_ptr<CVltServiceMgr> m_manager;
    uint16_t m_port = 0;
    bool m_started = false;
};

// Connected to the host with both built-ins asked for as sub-services; -1
// when the connect failed.
int ConnectClient(uint16_t port);
// One request out, its reply text back ("<no reply>" on failure).
std::string Ask(int fd, const std::string& request);

} // namespace srvtest
