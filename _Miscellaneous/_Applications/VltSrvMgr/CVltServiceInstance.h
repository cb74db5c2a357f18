#pragma once
// One client connection: its socket, the service instances serving it (the
// listening class's own first, then the sub-services the client attached)
// and the conversation, run on the connection's own thread.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "ServiceHostOptions.h"
#include "ServiceProtocol.h"

class CConnectionActivity;
class CVltServiceMgr;
class CVltServiceModule;
class IVltServiceInstance;

class CVltServiceInstance {
public:
    // The socket stays the caller's: it is neither shut down nor closed here.
    // activity, when given, is told when the connection waits for a message,
    // when one begins and when a service takes a call; it must outlive the
    // instance.
    CVltServiceInstance(CVltServiceMgr* manager, std::shared_ptr<CVltServiceModule> serviceClass,
                        int socket, const ServiceHostOptions& options, CConnectionActivity* activity = nullptr);
    virtual ~CVltServiceInstance();
    CVltServiceInstance(const CVltServiceInstance&) = delete;
    CVltServiceInstance& operator=(const CVltServiceInstance&) = delete;

    // The whole conversation; returns when it ends (0 after a disconnect,
    // otherwise the code that ended it). The instances are released at the end.
    virtual int32_t Run();
    virtual void AttachSubServices(const std::string& names);

    int32_t ReceiveMessage(xmlDocPtr& doc, uint32_t& length);
    int32_t HandleConnect(xmlDocPtr doc);
    // A message after the connect: ping, disconnect (sets ended) or a call.
    int32_t HandleControlRequest(xmlDocPtr doc, bool& ended);
    int32_t DispatchCall(xmlDocPtr doc);
    void ReleaseInstances();

    const std::string& GetClientApp() const { return m_clientApp; }
    size_t GetInstanceCount() const { return m_instances.size(); }

private:
    struct InstanceRef {
        IVltServiceInstance* instance;
        std::shared_ptr<CVltServiceModule> module; // keeps the instance's code loaded
    };

    int32_t CheckRoot(xmlDocPtr doc) const;
    int32_t Converse();

    CVltServiceMgr* m_manager;
    std::shared_ptr<CVltServiceModule> m_serviceClass;
    std::vector<InstanceRef> m_instances;
    int m_socket;
    std::vector<char> m_buffer;
    MessageReceiveState m_receive; // kept from one message to the next
    std::string m_clientApp;
    ServiceHostOptions m_options;
    CConnectionActivity* m_activity;
};
