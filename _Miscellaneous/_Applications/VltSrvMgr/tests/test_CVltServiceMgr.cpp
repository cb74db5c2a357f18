#include <arpa/inet.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include "CTestServiceClass.h"
#include "CTestServiceInstance.h"
#include "CVltServiceMgr.h"
#include "CVltServiceModule.h"
#include "IVltServiceInstance.h"
#include "ServiceErrors.h"
#include "ServiceProtocol.h"
#include "TestSupport.h"

using namespace srvtest;

namespace {

// Keeps a plug-in library loaded beside the manager's own handle, to ask it
// how many of its classes are alive.
class PluginProbe {
public:
    explicit PluginProbe(const char* path) : m_lib(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {}
    ~PluginProbe()
    {
        if (m_lib)
            dlclose(m_lib);
    }
    int AliveClasses() const
    {
        auto fn = reinterpret_cast<int (*)()>(dlsym(m_lib, "TestPluginAliveClasses"));
        return fn ? fn() : -1;
    }

private:
    void* m_lib;
};

class ServiceMgr : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        manager.SetBuiltInServices({[] { return new CTestServiceClass("FileSvc", kVltNoPort); }});
    }
    // Writes a configuration with these Service elements and loads it.
    int32_t Load(const std::string& services, bool start = false)
    {
        const std::string path = dir + "/VltSvcCfg.xml";
        WriteTextFile(path, "<?xml version=\"1.0\"?>\n<VltServiceCfg>" + services + "</VltServiceCfg>");
        return manager.LoadConfig(path.c_str(), start);
    }
    static std::string Service(const char* library, const std::string& attributes = "")
    {
        return "<Service" + (attributes.empty() ? "" : " " + attributes) + ">" + library + "</Service>";
    }
    std::vector<int32_t> Ids()
    {
        std::vector<int32_t> ids;
        manager.GetServiceIds(ids);
        return ids;
    }
    std::string NameOf(int32_t id)
    {
        std::string name;
        EXPECT_EQ(manager.GetServiceInfo(id, &name, nullptr, nullptr), 0);
        return name;
    }
    uint16_t PortOf(int32_t id)
    {
        uint16_t port = 0;
        EXPECT_EQ(manager.GetServiceInfo(id, nullptr, nullptr, &port), 0);
        return port;
    }

    std::string dir;
    CVltServiceMgr manager;
};

} // namespace

TEST_F(ServiceMgr, MissingConfigurationKeepsTheBuiltInServices)
{
    EXPECT_EQ(manager.LoadConfig((dir + "/none.xml").c_str(), false), kSvcInvalidContextFile);
    ASSERT_EQ(Ids(), std::vector<int32_t>{1});
    std::string description;
    uint16_t port = 0;
    EXPECT_EQ(manager.GetServiceInfo(1, nullptr, &description, &port), 0);
    EXPECT_EQ(description, "Test service FileSvc");
    EXPECT_EQ(port, kVltNoPort);
    EXPECT_EQ(manager.GetServiceInfo(2, nullptr, nullptr, nullptr), kSvcInvalidServiceId);
    EXPECT_EQ(manager.LoadConfig(nullptr, false), kSvcArgument1);
}

TEST_F(ServiceMgr, BuiltInFactoryMayDecline)
{
    manager.SetBuiltInServices({[] { return new CTestServiceClass("FileSvc", kVltNoPort); },
                                [] { return static_cast<IVltServiceClass*>(nullptr); },
                                [] { return new CTestServiceClass("PowerSvc", kVltNoPort); }});
    EXPECT_EQ(Load(""), 0);
    EXPECT_EQ(Ids(), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(NameOf(2), "PowerSvc");
}

TEST_F(ServiceMgr, WrongRootOrBrokenFileIsInvalid)
{
    WriteTextFile(dir + "/a.xml", "<Other><Service>x</Service></Other>");
    EXPECT_EQ(manager.LoadConfig((dir + "/a.xml").c_str(), false), kSvcInvalidContextFile);
    WriteTextFile(dir + "/b.xml", "<VltServiceCfg><Service>");
    EXPECT_EQ(manager.LoadConfig((dir + "/b.xml").c_str(), false), kSvcInvalidContextFile);
}

TEST_F(ServiceMgr, EmptyConfigurationLoadsNothing)
{
    EXPECT_EQ(Load(""), 0);
    EXPECT_EQ(Ids().size(), 1u);
}

TEST_F(ServiceMgr, PluginEntryPoints)
{
    EXPECT_EQ(Load(Service(PLUGIN_vltsrv_plugin_good) + Service(PLUGIN_vltsrv_plugin_both)
                   + Service(PLUGIN_vltsrv_plugin_std)),
              0);
    ASSERT_EQ(Ids(), (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(NameOf(2), "ViaC");
    EXPECT_EQ(NameOf(3), "ViaC"); // both exported: only the C entry is called
    EXPECT_EQ(NameOf(4), "ViaStd");
    EXPECT_EQ(PortOf(2), kVltNoPort);
}

TEST_F(ServiceMgr, PluginFailures)
{
    EXPECT_EQ(Load(Service(PLUGIN_vltsrv_plugin_none)), kSvcNotServiceLibrary);
    EXPECT_EQ(Load(Service(PLUGIN_vltsrv_plugin_fail)), kSvcClassNotCreated);
    EXPECT_EQ(Load(Service(PLUGIN_vltsrv_plugin_fail, "Index=\"1\"")), kSvcClassNotCreated);
    EXPECT_EQ(Load(Service(PLUGIN_vltsrv_plugin_empty)), kSvcNameInvalid);
    EXPECT_EQ(Load(Service("/nonexistent/libnothing.so")), kSvcLibraryNotLoaded);
    EXPECT_EQ(Load(Service(PLUGIN_vltsrv_plugin_good, "Index=\"1\"")), kSvcNoPorts); // default port 0
    // Only the built-in services of each start are registered.
    for (int32_t id : Ids())
        EXPECT_EQ(NameOf(id), "FileSvc");
}

TEST_F(ServiceMgr, SomeLoadedIsPartialSuccess)
{
    EXPECT_EQ(Load(Service(PLUGIN_vltsrv_plugin_good) + Service(PLUGIN_vltsrv_plugin_none)), kSvcPartial);
    EXPECT_EQ(Ids().size(), 2u);
}

TEST_F(ServiceMgr, ElementWithoutTextCountsAsNotLoaded)
{
    EXPECT_EQ(Load(Service(PLUGIN_vltsrv_plugin_good) + "<Service Port=\"junk\"/>"), kSvcPartial);
    EXPECT_EQ(Load("<Service></Service>"), kSvcInvalidContextFile);
}

TEST_F(ServiceMgr, SameExplicitPortTwice)
{
    EXPECT_EQ(Load(Service(PLUGIN_vltsrv_plugin_good, "Port=\"40001\"")
                   + Service(PLUGIN_vltsrv_plugin_good, "Port=\"40001\" Index=\"4\"")),
              kSvcPartial);
    ASSERT_EQ(Ids().size(), 2u);
    EXPECT_EQ(PortOf(2), 40001);
}

TEST_F(ServiceMgr, BadNumbersStopTheReading)
{
    for (const char* attributes : {"Port=\"65536\"", "Port=\"-1\"", "Port=\"abc\"", "Port=\"\"", "Index=\"x\"",
                                   "Index=\"2147483648\"", "Port=\"4294967297\""}) {
        manager.UnloadAll();
        EXPECT_EQ(Load(Service(PLUGIN_vltsrv_plugin_good) + Service(PLUGIN_vltsrv_plugin_good, attributes)
                       + Service(PLUGIN_vltsrv_plugin_std)),
                  kSvcInvalidXml)
            << attributes;
        // The earlier element stays registered; the later one is never read.
        EXPECT_EQ(Ids().size(), 2u) << attributes;
    }
}

TEST_F(ServiceMgr, NumbersAreReadFromTheirStart)
{
    EXPECT_EQ(Load(Service(PLUGIN_vltsrv_plugin_good, "Port=\" 40002 tcp\" Index=\"+4th\"")), 0);
    EXPECT_EQ(PortOf(2), 40002);
    EXPECT_EQ(NameOf(2), "ViaC4");
}

TEST_F(ServiceMgr, NoPortClassesNeverClash)
{
    EXPECT_EQ(Load(Service(PLUGIN_vltsrv_plugin_good) + Service(PLUGIN_vltsrv_plugin_good, "Index=\"5\"")
                   + Service(PLUGIN_vltsrv_plugin_good, "Port=\"65535\" Index=\"6\"")),
              0);
    EXPECT_EQ(PortOf(2), kVltNoPort);
    EXPECT_EQ(PortOf(3), kVltNoPort);
    EXPECT_EQ(PortOf(4), kVltNoPort);
}

TEST_F(ServiceMgr, LibraryPathIsTakenUnchanged)
{
    EXPECT_EQ(Load(Service((std::string(" ") + PLUGIN_vltsrv_plugin_good).c_str())), kSvcLibraryNotLoaded);
}

TEST_F(ServiceMgr, SpacedNameIsFoundTrimmed)
{
    EXPECT_EQ(Load(Service(PLUGIN_vltsrv_plugin_good, "Index=\"2\"")), 0);
    EXPECT_EQ(NameOf(2), "  Spaced Svc  ");
    IVltServiceInstance* instance = nullptr;
    std::shared_ptr<CVltServiceModule> keep;
    ASSERT_EQ(manager.CreateServiceInstance("Spaced Svc", &instance, &keep), 0);
    ASSERT_NE(instance, nullptr);
    instance->Release();
}

TEST_F(ServiceMgr, CreateServiceInstanceFailures)
{
    EXPECT_EQ(Load(Service(PLUGIN_vltsrv_plugin_good, "Index=\"3\"")), 0);
    IVltServiceInstance* instance = reinterpret_cast<IVltServiceInstance*>(1);
    EXPECT_EQ(manager.CreateServiceInstance(nullptr, &instance), kSvcArgument1);
    EXPECT_EQ(manager.CreateServiceInstance("FileSvc", nullptr), kSvcArgument2);
    EXPECT_EQ(manager.CreateServiceInstance("filesvc", &instance), kSvcUnknownService);
    EXPECT_EQ(instance, nullptr);
    EXPECT_EQ(manager.CreateServiceInstance("ViaC3", &instance), kSvcInstanceNotCreated);
    ASSERT_EQ(manager.CreateServiceInstance("FileSvc", &instance), 0);
    instance->Release();
}

TEST_F(ServiceMgr, DuplicateNameLeadsToTheNewerClass)
{
    manager.SetBuiltInServices({[] { return new CTestServiceClass("Twin", kVltNoPort); },
                                [] { return new CTestServiceClass(" Twin", kVltNoPort, true); }});
    EXPECT_EQ(Load(""), 0);
    EXPECT_EQ(Ids().size(), 2u);
    IVltServiceInstance* instance = nullptr;
    EXPECT_EQ(manager.CreateServiceInstance("Twin", &instance), kSvcInstanceNotCreated); // the second, failing one
}

TEST_F(ServiceMgr, UnloadReleasesPluginClassesAndRestartsIds)
{
    PluginProbe probe(PLUGIN_vltsrv_plugin_good);
    EXPECT_TRUE(manager.UnloadAll()); // nothing registered
    EXPECT_EQ(Load(Service(PLUGIN_vltsrv_plugin_good) + Service(PLUGIN_vltsrv_plugin_good, "Index=\"4\"")), 0);
    EXPECT_EQ(probe.AliveClasses(), 2);
    EXPECT_TRUE(manager.UnloadAll());
    EXPECT_EQ(probe.AliveClasses(), 0);
    EXPECT_TRUE(Ids().empty());
    EXPECT_EQ(Load(Service(PLUGIN_vltsrv_plugin_std)), 0);
    EXPECT_EQ(Ids(), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(NameOf(2), "ViaStd");
}

TEST_F(ServiceMgr, HeldInstanceKeepsItsLibraryLoaded)
{
    PluginProbe probe(PLUGIN_vltsrv_plugin_good);
    EXPECT_EQ(Load(Service(PLUGIN_vltsrv_plugin_good)), 0);
    IVltServiceInstance* instance = nullptr;
    std::shared_ptr<CVltServiceModule> keep;
    ASSERT_EQ(manager.CreateServiceInstance("ViaC", &instance, &keep), 0);
    manager.UnloadAll();
    EXPECT_EQ(probe.AliveClasses(), 1);
    // The instance still works after its class was removed.
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    const std::string request = CallRequest("Echo", "<Text>still</Text>");
    xmlDocPtr doc = xmlReadMemory(request.data(), static_cast<int>(request.size()), nullptr, nullptr, 0);
    EXPECT_EQ(instance->HandleRequest(fds[1], doc, 0), 1);
    xmlFreeDoc(doc);
    std::string reply;
    ASSERT_TRUE(ReadFrame(fds[0], reply));
    EXPECT_EQ(reply, EchoReply("still", "ViaC"));
    close(fds[0]);
    close(fds[1]);
    instance->Release();
    keep.reset();
    EXPECT_EQ(probe.AliveClasses(), 0);
}

TEST_F(ServiceMgr, HostAddressIsAnInterfaceAddress)
{
    std::string address;
    ASSERT_EQ(manager.GetHostAddress(address), 0);
    in_addr parsed{};
    ASSERT_EQ(inet_pton(AF_INET, address.c_str(), &parsed), 1) << address;
    bool hasInterface = false;
    ifaddrs* list = nullptr;
    ASSERT_EQ(getifaddrs(&list), 0);
    for (ifaddrs* e = list; e; e = e->ifa_next) {
        if (e->ifa_addr && e->ifa_addr->sa_family == AF_INET && (e->ifa_flags & IFF_UP)
            && (ntohl(reinterpret_cast<sockaddr_in*>(e->ifa_addr)->sin_addr.s_addr) >> 24) != 127)
            hasInterface = true;
    }
    freeifaddrs(list);
    if (hasInterface) {
        EXPECT_NE(ntohl(parsed.s_addr) >> 24, 127u) << address;
    }
    std::string again;
    EXPECT_EQ(manager.GetHostAddress(again), 0);
    EXPECT_EQ(again, address);
}
