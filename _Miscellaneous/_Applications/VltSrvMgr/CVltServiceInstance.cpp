#include "CVltServiceInstance.h"

#include <chrono>
#include <cstring>
#include <strings.h>

#include "CAutoXmlDoc.h"
#include "CConnectionActivity.h"
#include "CVltServiceMgr.h"
#include "CVltServiceModule.h"
#include "IVltServiceClass.h"
#include "IVltServiceInstance.h"
#include "ServiceErrors.h"
#include "ServiceProtocol.h"
#include "XmlRoutines.h"

namespace {

constexpr const char* kBlanks = " \t\r\n\v\f";

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

} // namespace

CVltServiceInstance::CVltServiceInstance(CVltServiceMgr* manager, std::shared_ptr<CVltServiceModule> serviceClass,
                                         int socket, const ServiceHostOptions& options,
                                         CConnectionActivity* activity)
    : m_manager(manager), m_serviceClass(std::move(serviceClass)), m_socket(socket), m_options(options),
      m_activity(activity)
{
    if (m_activity)
        m_receive.messageBegins = [activity] { return activity->MessageBegins(); };
}

CVltServiceInstance::~CVltServiceInstance()
{
    ReleaseInstances();
    FreeMessageParser(m_receive.parser);
}

void CVltServiceInstance::ReleaseInstances()
{
    for (InstanceRef& ref : m_instances)
        ref.instance->Release();
    m_instances.clear();
}

int32_t CVltServiceInstance::Run()
{
    m_buffer.resize(kReceiveBufferSize);
    IVltServiceClass* own = m_serviceClass ? m_serviceClass->Get() : nullptr;
    IVltServiceInstance* instance = nullptr;
    if (own)
        own->CreateInstance(&instance);
    if (!instance)
        return kSvcInstanceNotCreated;
    m_instances.push_back({instance, m_serviceClass});
    // A client that stops reading must not hold a reply's send forever.
    SetSocketTimeouts(m_socket, 0, m_options.messageTimeoutMs);
    m_receive.receiveTimeoutMs = 0;
    // The connect message has its time from now: a connection that sends
    // nothing, or trickles, does not keep its place for long.
    if (m_options.connectTimeoutMs > 0)
        m_receive.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_options.connectTimeoutMs);
    const int32_t rc = Converse();
    ReleaseInstances();
    return rc;
}

int32_t CVltServiceInstance::Converse()
{
    for (bool first = true;; first = false) {
        xmlDocPtr parsed = nullptr;
        uint32_t length = 0;
        // Idle only with nothing of the next message read ahead.
        if (m_activity && m_receive.pending.empty())
            m_activity->WaitsForMessage();
        int32_t rc = ReceiveMessage(parsed, length);
        CAutoXmlDoc doc(parsed);
        if (rc == 0)
            rc = CheckRoot(doc);
        if (rc != 0)
            return rc;
        if (first) {
            rc = HandleConnect(doc);
            if (rc == 0)
                rc = SendFramedMessage(m_socket, kReplySuccess, sizeof kReplySuccess - 1);
            if (rc != 0)
                return rc;
            continue;
        }
        bool ended = false;
        rc = HandleControlRequest(doc, ended);
        if (rc != 0 || ended)
            return rc;
    }
}

int32_t CVltServiceInstance::ReceiveMessage(xmlDocPtr& doc, uint32_t& length)
{
    if (m_buffer.size() < kReceiveBufferSize)
        m_buffer.resize(kReceiveBufferSize);
    return ReceiveFramedMessage(m_socket, m_buffer.data(), &m_options, doc, length, m_receive);
}

int32_t CVltServiceInstance::CheckRoot(xmlDocPtr doc) const
{
    xmlNodePtr root = xmlDocGetRootElement(doc);
    if (!root)
        return kSvcMalformedXml;
    if (strcasecmp(reinterpret_cast<const char*>(root->name), kRequestRoot) != 0)
        return kSvcMalformedRequest;
    return 0;
}

int32_t CVltServiceInstance::HandleConnect(xmlDocPtr doc)
{
    xmlNodePtr connect = FindRequestNode(doc, {"Connect"});
    if (!connect)
        return kSvcMalformedRequest;
    std::string wanted;
    if (XmlNodeGetAttribute(connect, "service", wanted)) {
        IVltServiceClass* own = m_serviceClass ? m_serviceClass->Get() : nullptr;
        if (!own || wanted != own->GetName())
            return kSvcOtherService;
    }
    if (xmlNodePtr app = FindRequestNode(doc, {"Connect", "ClientApp"})) {
        xmlChar* text = xmlNodeListGetString(doc, app->children, 1);
        m_clientApp = text ? reinterpret_cast<const char*>(text) : "";
        xmlFree(text);
    }
    if (xmlNodePtr subs = FindRequestNode(doc, {"Connect", "SubServices"})) {
        xmlChar* text = xmlNodeGetContent(subs);
        if (!text)
            return kSvcXmlError;
        std::string names(reinterpret_cast<const char*>(text));
        xmlFree(text);
        AttachSubServices(names);
    }
    return 0;
}

void CVltServiceInstance::AttachSubServices(const std::string& names)
{
    const std::string list = Trim(names);
    // One pass over the list: a client's long list must not cost the square
    // of its length (and hold up the host's shutdown meanwhile).
    for (size_t start = 0; start < list.size();) {
        size_t cut = list.find(';', start);
        if (cut == std::string::npos)
            cut = list.size();
        const std::string name = Trim(list.substr(start, cut - start));
        start = cut + 1;
        if (name.empty() || !m_manager)
            continue;
        IVltServiceInstance* instance = nullptr;
        std::shared_ptr<CVltServiceModule> module;
        if (m_manager->CreateServiceInstance(name.c_str(), &instance, &module) == 0)
            m_instances.push_back({instance, std::move(module)});
    }
}

int32_t CVltServiceInstance::HandleControlRequest(xmlDocPtr doc, bool& ended)
{
    ended = false;
    if (FindRequestNode(doc, {"Ping"}))
        return SendFramedMessage(m_socket, kReplySuccess, sizeof kReplySuccess - 1);
    if (FindRequestNode(doc, {"Disconnect"})) {
        ended = true;
        return 0;
    }
    return DispatchCall(doc);
}

int32_t CVltServiceInstance::DispatchCall(xmlDocPtr doc)
{
    // A service may set the socket's time-outs for its own work.
    m_receive.receiveTimeoutMs = -1;
    for (InstanceRef& ref : m_instances) {
        const int32_t rc = ref.instance->HandleRequest(m_socket, doc, 0);
        // The service may now hold the client's work (an open board, its
        // recordings): a full host must not end this connection for another.
        if (rc != 0 && m_activity)
            m_activity->HoldsWork();
        if (rc > 0)
            return 0;
        if (rc < 0)
            return SendResponse(m_socket, false, kInvalidRequestText);
    }
    return SendFramedMessage(m_socket, kReplyNotHandled, sizeof kReplyNotHandled - 1);
}
