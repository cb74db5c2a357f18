#pragma once
// The registry of the service classes the host offers: the built-in ones and
// those of the plug-in libraries named in the configuration file. Driven
// from one thread (start, list, stop); connection threads only create
// sub-service instances through it. What the host application uses is
// virtual, so that its tests can stand in for the services.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <pthread.h>
#include <set>
#include <string>
#include <vector>

#include <libxml/tree.h>

#include "ServiceHostOptions.h"

class CVltServiceClass;
class CVltServiceModule;
class IVltServiceClass;
class IVltServiceInstance;

class CVltServiceMgr {
public:
    // Makes one built-in service class, or returns null when it is not to be
    // offered at this start (a service the options switch off).
    using BuiltInFactory = std::function<IVltServiceClass*()>;

    explicit CVltServiceMgr(const ServiceHostOptions& options = {});
    virtual ~CVltServiceMgr();
    CVltServiceMgr(const CVltServiceMgr&) = delete;
    CVltServiceMgr& operator=(const CVltServiceMgr&) = delete;

    // Reads the host's own entries of the configuration (null when the file
    // cannot be read), at every LoadConfig before the built-ins are made.
    using ConfigReader = std::function<void(xmlDocPtr config)>;

    // The built-in services registered, in this order, at every LoadConfig.
    void SetBuiltInServices(std::vector<BuiltInFactory> factories);
    void SetConfigReader(ConfigReader reader);

    // 0: every Service element loaded; 512: some; otherwise a negative code.
    virtual int32_t LoadConfig(const char* path, bool startListening);
    // Stops and removes every class; true.
    virtual bool UnloadAll();
    virtual size_t GetServiceIds(std::vector<int32_t>& ids);
    // 0 or -528. The name as the class gives it; port 0xFFFF: no listener.
    virtual int32_t GetServiceInfo(int32_t id, std::string* name, std::string* description, uint16_t* port);
    // 0, -513, -514, -538 or -539. keepAlive, when given, receives what keeps
    // the instance's code loaded; hold it until the instance is released.
    int32_t CreateServiceInstance(const char* name, IVltServiceInstance** instance,
                                  std::shared_ptr<CVltServiceModule>* keepAlive = nullptr);
    // This computer's IPv4 address as dotted text: 0 or -530.
    virtual int32_t GetHostAddress(std::string& address);

    int32_t LoadServiceLibrary(const char* path, int32_t index, uint16_t port, bool startListening);
    // The class registered under this id, for the host's listing; null if none.
    CVltServiceClass* FindClass(int32_t id);

private:
    int32_t RegisterBuiltInServices(bool startListening);
    int32_t RegisterServiceClass(std::unique_ptr<CVltServiceClass> serviceClass, uint16_t port, bool startListening);
    int32_t LoadServiceElements(xmlDocPtr doc, bool startListening, int32_t& loaded, int32_t& total);
    bool IsPortInUse(uint16_t port);
    uint16_t CheckPortFree(uint16_t port);
    // Raises every class's stop flag; called under the exclusive lock.
    void StopListening();
    void RemoveServiceClass();

    std::string m_hostAddress;
    pthread_rwlock_t m_lock;
    std::map<int32_t, std::unique_ptr<CVltServiceClass>> m_classes;
    std::map<std::string, int32_t> m_names;
    std::set<uint16_t> m_usedPorts;
    int32_t m_nextId = 1;
    ServiceHostOptions m_options;
    std::vector<BuiltInFactory> m_builtIns;
    ConfigReader m_configReader;
};
