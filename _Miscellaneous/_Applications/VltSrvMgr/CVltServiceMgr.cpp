#include "CVltServiceMgr.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <libxml/parser.h>
#include <libxml/xpath.h>

#include "CAutoAcquireReadLock.h"
#include "CAutoAcquireWriteLock.h"
#include "CAutoXmlDoc.h"
#include "CVltServiceClass.h"
#include "CVltServiceModule.h"
#include "IVltServiceClass.h"
#include "NumberParse.h"
#include "ServiceErrors.h"
#include "XmlRoutines.h"

namespace {

std::string Trim(const char* text)
{
    const std::string s = text ? text : "";
    const char* blanks = " \t\r\n\v\f";
    const size_t first = s.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

bool IsLoopback(in_addr address)
{
    return (ntohl(address.s_addr) >> 24) == 127;
}

std::string Dotted(in_addr address)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

// The first IPv4 address of an interface that is up and not the loopback.
bool FindInterfaceAddress(std::string& address)
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !(entry->ifa_flags & IFF_UP))
            continue;
        const in_addr ip = reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr;
        if (!IsLoopback(ip)) {
            address = Dotted(ip);
            break;
        }
    }
    freeifaddrs(list);
    return !address.empty();
}

// What the host name resolves to; on Debian often 127.0.1.1, so only used
// when no interface has an address of its own.
bool ResolveHostName(std::string& address)
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* result = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &result) != 0 || !result)
        return false;
    address = Dotted(reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr);
    freeaddrinfo(result);
    return true;
}

// An attribute that, when present, must begin with a number of type T.
template <class T>
bool ReadNumberAttribute(xmlNodePtr node, const char* name, T& value)
{
    std::string text;
    if (!XmlNodeGetAttribute(node, name, text))
        return true;
    return vlt::ParseNumberPrefix(text, value);
}

} // namespace

CVltServiceMgr::CVltServiceMgr(const ServiceHostOptions& options) : m_options(options)
{
    xmlInitParser();
    pthread_rwlock_init(&m_lock, nullptr);
}

CVltServiceMgr::~CVltServiceMgr()
{
    RemoveServiceClass();
    pthread_rwlock_destroy(&m_lock);
}

void CVltServiceMgr::SetBuiltInServices(std::vector<BuiltInFactory> factories)
{
    m_builtIns = std::move(factories);
}

void CVltServiceMgr::SetConfigReader(ConfigReader reader)
{
    m_configReader = std::move(reader);
}

int32_t CVltServiceMgr::LoadConfig(const char* path, bool startListening)
{
    if (!path)
        return kSvcArgument1;
    CAutoXmlDoc doc(XmlReadFile(path, nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    const bool valid = !doc.IsEmpty() && XPathFindNode(doc, "/VltServiceCfg");
    // The built-ins are made from what the file says of them.
    if (m_configReader)
        m_configReader(valid ? doc.Get() : nullptr);
    int32_t rc = RegisterBuiltInServices(startListening);
    if (rc != 0)
        return rc;
    if (!valid)
        return kSvcInvalidContextFile;
    int32_t loaded = 0;
    int32_t total = 0;
    rc = LoadServiceElements(doc.Get(), startListening, loaded, total);
    if (rc == kSvcInvalidXml || rc == kSvcXmlError)
        return rc;
    if (loaded == total)
        return 0;
    if (loaded > 0)
        return kSvcPartial;
    // Nothing loaded and nothing failed: every entry names no library.
    return rc != 0 ? rc : kSvcInvalidContextFile;
}

// Loads the Service elements in document order; returns -533 or -531 when
// reading stopped, otherwise the last load failure (0 for none).
int32_t CVltServiceMgr::LoadServiceElements(xmlDocPtr doc, bool startListening, int32_t& loaded, int32_t& total)
{
    xmlXPathContextPtr context = xmlXPathNewContext(doc);
    if (!context)
        return kSvcXmlError;
    xmlXPathObjectPtr found = xmlXPathEvalExpression(BAD_CAST "/VltServiceCfg/Service", context);
    int32_t lastFailure = 0;
    const int count = found && found->nodesetval ? found->nodesetval->nodeNr : 0;
    for (int i = 0; i < count; ++i) {
        xmlNodePtr node = found->nodesetval->nodeTab[i];
        ++total;
        xmlChar* content = xmlNodeGetContent(node);
        const std::string path = content ? reinterpret_cast<const char*>(content) : "";
        xmlFree(content);
        if (path.empty())
            continue;
        uint16_t port = 0;
        int32_t index = 0;
        if (!ReadNumberAttribute(node, "Port", port) || !ReadNumberAttribute(node, "Index", index)) {
            lastFailure = kSvcInvalidXml;
            break;
        }
        const int32_t rc = LoadServiceLibrary(path.c_str(), index, port, startListening);
        if (rc == 0)
            ++loaded;
        else
            lastFailure = rc;
    }
    xmlXPathFreeObject(found);
    xmlXPathFreeContext(context);
    return lastFailure;
}

int32_t CVltServiceMgr::RegisterBuiltInServices(bool startListening)
{
    try {
        for (const BuiltInFactory& factory : m_builtIns) {
            IVltServiceClass* builtIn = factory ? factory() : nullptr;
            if (!builtIn)
                continue;
            auto serviceClass = std::make_unique<CVltServiceClass>(this, m_options, builtIn);
            const int32_t rc = RegisterServiceClass(std::move(serviceClass), kVltNoPort, startListening);
            if (rc != 0)
                return rc;
        }
    } catch (const std::bad_alloc&) {
        return kSvcOutOfMemory;
    }
    return 0;
}

int32_t CVltServiceMgr::LoadServiceLibrary(const char* path, int32_t index, uint16_t port, bool startListening)
{
    if (!path)
        return kSvcArgument1;
    try {
        auto serviceClass = std::make_unique<CVltServiceClass>(this, m_options);
        const int32_t rc = serviceClass->Load(path, index);
        if (rc != 0)
            return rc;
        return RegisterServiceClass(std::move(serviceClass), port, startListening);
    } catch (const std::bad_alloc&) {
        return kSvcOutOfMemory;
    }
}

int32_t CVltServiceMgr::RegisterServiceClass(std::unique_ptr<CVltServiceClass> serviceClass, uint16_t port,
                                             bool startListening)
{
    if (port == 0) {
        port = serviceClass->GetPort();
        if (port != kVltNoPort && CheckPortFree(port) == 0)
            return kSvcNoPorts;
    } else if (port != kVltNoPort && IsPortInUse(port)) {
        return kSvcPortInUse;
    }
    const std::string name = Trim(serviceClass->GetName());
    if (name.empty())
        return kSvcNameInvalid;
    serviceClass->SetPort(port);
    CVltServiceClass* registered = serviceClass.get();
    {
        CAutoAcquireWriteLock hold(&m_lock);
        if (port != kVltNoPort)
            m_usedPorts.insert(port);
        const int32_t id = m_nextId++;
        m_names[name] = id;
        m_classes[id] = std::move(serviceClass);
    }
    // A class that cannot listen stays registered: it can still serve as a
    // sub-service and is listed with its port.
    if (startListening && port != kVltNoPort)
        registered->StartListening();
    return 0;
}

bool CVltServiceMgr::IsPortInUse(uint16_t port)
{
    CAutoAcquireReadLock hold(&m_lock);
    return m_usedPorts.count(port) != 0;
}

uint16_t CVltServiceMgr::CheckPortFree(uint16_t port)
{
    return port != 0 && !IsPortInUse(port) ? port : 0;
}

bool CVltServiceMgr::UnloadAll()
{
    RemoveServiceClass();
    return true;
}

void CVltServiceMgr::StopListening()
{
    // Every stop flag raised and every connection shut down at once, so that
    // the waits for the threads overlap.
    for (auto& [id, serviceClass] : m_classes)
        serviceClass->StopListening(false);
}

void CVltServiceMgr::RemoveServiceClass()
{
    std::map<int32_t, std::unique_ptr<CVltServiceClass>> removed;
    {
        CAutoAcquireWriteLock hold(&m_lock);
        if (m_classes.empty())
            return;
        StopListening();
        removed.swap(m_classes);
        m_names.clear();
        m_usedPorts.clear();
        m_nextId = 1;
    }
    // Joined outside the lock: a connection thread may be waiting for it to
    // create a sub-service instance, which now finds no class.
    for (auto& [id, serviceClass] : removed)
        serviceClass->StopListening(true);
    removed.clear();
}

size_t CVltServiceMgr::GetServiceIds(std::vector<int32_t>& ids)
{
    CAutoAcquireReadLock hold(&m_lock);
    for (const auto& [id, serviceClass] : m_classes)
        ids.push_back(id);
    return m_classes.size();
}

int32_t CVltServiceMgr::GetServiceInfo(int32_t id, std::string* name, std::string* description, uint16_t* port)
{
    CAutoAcquireReadLock hold(&m_lock);
    auto it = m_classes.find(id);
    if (it == m_classes.end())
        return kSvcInvalidServiceId;
    const char* text = nullptr;
    if (name)
        *name = (text = it->second->GetName()) ? text : "";
    if (description)
        *description = (text = it->second->GetDescription()) ? text : "";
    if (port)
        *port = it->second->GetPort();
    return 0;
}

CVltServiceClass* CVltServiceMgr::FindClass(int32_t id)
{
    CAutoAcquireReadLock hold(&m_lock);
    auto it = m_classes.find(id);
    return it == m_classes.end() ? nullptr : it->second.get();
}

int32_t CVltServiceMgr::CreateServiceInstance(const char* name, IVltServiceInstance** instance,
                                              std::shared_ptr<CVltServiceModule>* keepAlive)
{
    if (!name)
        return kSvcArgument1;
    if (!instance)
        return kSvcArgument2;
    *instance = nullptr;
    CAutoAcquireReadLock hold(&m_lock);
    auto named = m_names.find(Trim(name));
    auto found = named == m_names.end() ? m_classes.end() : m_classes.find(named->second);
    if (found == m_classes.end())
        return kSvcUnknownService;
    *instance = found->second->CreateInstance();
    if (!*instance)
        return kSvcInstanceNotCreated;
    if (keepAlive)
        *keepAlive = found->second->GetModule();
    return 0;
}

int32_t CVltServiceMgr::GetHostAddress(std::string& address)
{
    if (m_hostAddress.empty()) {
        std::string found;
        if (!FindInterfaceAddress(found) && !ResolveHostName(found))
            return kSvcNoHostAddress;
        m_hostAddress = found;
    }
    address = m_hostAddress;
    return 0;
}
