// The sync device's component as a host sees it: registered into a private
// registry, created by its ProgID, used through its interfaces.
#include "CComBSTR.h"
#include "CComPtr.h"
#include "CComVariant.h"
#include "ComCreate.h"
#include "Hub6Sim.h"
#include "Hub6TestHost.h"
#include "ServiceProtocol.h"
#include "TestSupport.h"
#include "InprocServer.h"
#include "SafeArray.h"
#include "SystemErrorText.h"
#include "TextConv.h"
#include "VltHUB6.h"

#include <QApplication>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QTimer>

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <vector>
#include <unistd.h>

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "hub6_tests";
        static char* argv[] = {name, nullptr};
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // Kept to the end of the process: deleting it unloads Qt's platform
        // plugin, whose thread-local data the leak checker then trips over.
        new QApplication(argc, argv);
    }
};
[[maybe_unused]] ::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

class Hub6Component : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tmp = std::getenv("VLT_TEST_TMP");
        std::filesystem::path base = tmp ? tmp : std::filesystem::temp_directory_path().string();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = base / ("hub6-" + std::string(info->name()) + "-" + std::to_string(getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        setenv("VLT_REGISTRY_DIR", m_dir.c_str(), 1);

        m_lib = dlopen(HUB6COM_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_lib, nullptr) << dlerror();
        Sym(m_register, "DllRegisterServer");
        Sym(m_unregister, "DllUnregisterServer");
        Sym(m_canUnload, "DllCanUnloadNow");
        Sym(m_reset, "Hub6Sim_Reset");
        Sym(m_setLocal, "Hub6Sim_SetLocalDevices");
        Sym(m_inject, "Hub6Sim_InjectResult");
        Sym(m_triggerCount, "Hub6Sim_GetTriggerCount");
        ASSERT_EQ(m_register(), S_OK);
        m_reset();
    }
    void TearDown() override
    {
        if (m_reset)
            m_reset();
        // The library stays loaded, as the runtime keeps every server it loaded.
        unsetenv("VLT_REGISTRY_DIR");
        std::filesystem::remove_all(m_dir);
    }
    template <class F>
    void Sym(F& f, const char* name)
    {
        f = reinterpret_cast<F>(dlsym(m_lib, name));
        ASSERT_NE(f, nullptr) << name;
    }
    static CComPtr<IVltHUB6> Create()
    {
        CLSID clsid;
        EXPECT_EQ(CLSIDFromProgID(kHub6ProgId, &clsid), S_OK);
        CComPtr<IVltHUB6> unit;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IVltHUB6::iid,
                                   reinterpret_cast<void**>(&unit)),
                  S_OK);
        return unit;
    }
    static CComPtr<IVltHUB6> Virtual(uint32_t serial)
    {
        CComPtr<IVltHUB6> unit = Create();
        EXPECT_EQ(unit->OpenVirtual(serial, 1), S_OK);
        return unit;
    }
    static std::wstring Error(IVltHUB6* unit)
    {
        CComBSTR text;
        EXPECT_EQ(unit->GetErrorText(0, &text), S_OK);
        return std::wstring(text.View());
    }
    static std::wstring Item(IVltHUB6* unit, uint32_t item)
    {
        CComBSTR text;
        EXPECT_EQ(unit->GetStringItem(item, &text), S_OK);
        return std::wstring(text.View());
    }
    static double Rate(IVltHUB6* unit)
    {
        double rate = -1.0;
        EXPECT_EQ(unit->GetDeviceClockRate(&rate), S_OK);
        return rate;
    }

    std::filesystem::path m_dir;
    void* m_lib = nullptr;
    PfnDllRegisterServer m_register = nullptr;
    PfnDllUnregisterServer m_unregister = nullptr;
    PfnDllCanUnloadNow m_canUnload = nullptr;
    PfnHub6SimReset m_reset = nullptr;
    PfnHub6SimSetLocalDevices m_setLocal = nullptr;
    PfnHub6SimInjectResult m_inject = nullptr;
    PfnHub6SimGetCount m_triggerCount = nullptr;
};

// Runs action on the next modal dialog.
class DialogAnswer {
public:
    explicit DialogAnswer(std::function<void(QDialog*)> action) : m_action(std::move(action))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                m_timer.stop();
                m_action(dlg);
            }
        });
        m_timer.start(10);
    }

private:
    std::function<void(QDialog*)> m_action;
    QTimer m_timer;
};

} // namespace

TEST_F(Hub6Component, RegistrationNamesTheLibraryAndUnregistrationRemovesIt)
{
    std::wstring path;
    const std::wstring key = L"CLSID\\" + vlt::GuidToString(CLSID_VltHUB6) + L"\\InprocServer32";
    ASSERT_TRUE(vlt::ClassesRootGetString(key, L"", path));
    EXPECT_TRUE(std::filesystem::equivalent(vlt::WideToUtf8(path), HUB6COM_LIBRARY_PATH));
    std::wstring curVer;
    EXPECT_TRUE(vlt::ClassesRootGetString(L"HUB6COM.VltHUB6\\CurVer", L"", curVer));
    EXPECT_EQ(curVer, L"HUB6COM.VltHUB6.1");
    ASSERT_EQ(m_unregister(), S_OK);
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(kHub6ProgId, &clsid), CO_E_CLASSSTRING);
    EXPECT_FALSE(vlt::ClassesRootKeyExists(L"CLSID\\" + vlt::GuidToString(CLSID_VltHUB6PropPage)));
}

TEST_F(Hub6Component, ObjectsCountForUnloading)
{
    {
        CComPtr<IVltHUB6> unit = Create();
        EXPECT_EQ(m_canUnload(), S_FALSE);
        CComPtr<IDispatch> dispatch;
        EXPECT_EQ(unit.QueryInterface(&dispatch), S_OK);
        EXPECT_TRUE(IsSameObject(unit, dispatch));
    }
    EXPECT_EQ(m_canUnload(), S_OK);
}

TEST_F(Hub6Component, VirtualUnitAnswersWhatItIs)
{
    CComPtr<IVltHUB6> unit = Virtual(6000);
    uint32_t serial = 0;
    EXPECT_EQ(unit->GetSerialNumber(&serial), S_OK);
    EXPECT_EQ(serial, 6000u);
    EXPECT_EQ(unit->IsVirtual(), S_OK);
    EXPECT_EQ(unit->IsLocal(), S_OK);
    EXPECT_EQ(unit->IsRemote(), S_FALSE);
    EXPECT_EQ(Item(unit, kHub6ItemDisplayName), L"HUB3300-6 #6000");
    EXPECT_EQ(Item(unit, kHub6ItemErrorName), L"HUB3300-6 #6000");
    VARIANT_BOOL yes = VARIANT_FALSE;
    EXPECT_EQ(unit->GetSyncNowAvailable(&yes), S_OK);
    EXPECT_EQ(yes, VARIANT_TRUE);
    EXPECT_EQ(unit->GetTriggerNowAvailable(&yes), S_OK);
    EXPECT_EQ(yes, VARIANT_TRUE);
    EXPECT_EQ(Rate(unit), kHub6DefaultClockRate);
    EXPECT_EQ(unit->SoftwareTrigger(), S_OK);
    EXPECT_EQ(m_triggerCount(6000), 1u);
}

TEST_F(Hub6Component, ClosedObjectRefusesWithAText)
{
    CComPtr<IVltHUB6> unit = Create();
    uint32_t serial = 0;
    EXPECT_EQ(unit->GetSerialNumber(&serial), E_UNEXPECTED);
    EXPECT_EQ(Error(unit), L"No HUB3300-6 device is open");
    EXPECT_TRUE(FAILED(unit->SynchronizeExternal()));
    EXPECT_TRUE(FAILED(unit->IsVirtual()));
    EXPECT_EQ(Item(unit, kHub6ItemErrorName), L"");
    VARIANT_BOOL yes = VARIANT_TRUE;
    EXPECT_EQ(unit->GetSyncNowAvailable(&yes), S_OK);
    EXPECT_EQ(yes, VARIANT_FALSE);
    EXPECT_EQ(unit->GetSerialNumber(nullptr), E_POINTER);
    BSTR text = nullptr;
    EXPECT_EQ(unit->GetStringItem(5, &text), E_INVALIDARG);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(Error(unit), L"Unknown HUB3300-6 string item 5");
}

TEST_F(Hub6Component, OpenRefusesBadArgumentsAndASecondOpen)
{
    CComPtr<IVltHUB6> unit = Create();
    EXPECT_EQ(unit->OpenVirtual(0, 1), E_INVALIDARG);
    EXPECT_EQ(Error(unit), L"Invalid HUB3300-6 serial number 0");
    EXPECT_EQ(unit->OpenVirtual(6000, 2), E_INVALIDARG);
    EXPECT_EQ(Error(unit), L"Invalid virtual HUB3300-6 flags 2");
    ASSERT_EQ(unit->OpenVirtual(6000, 1), S_OK);
    EXPECT_EQ(unit->OpenVirtual(6001, 1), E_UNEXPECTED);
    EXPECT_EQ(Error(unit), L"A HUB3300-6 device is already open");
    EXPECT_EQ(unit->Close(), S_OK);
    EXPECT_EQ(unit->OpenVirtual(6001, 1), S_OK);
}

TEST_F(Hub6Component, LocalUnitsAreOnlyThoseDeclared)
{
    CComPtr<IVltHUB6> unit = Create();
    EXPECT_TRUE(FAILED(unit->OpenLocal(1)));
    EXPECT_EQ(Error(unit), L"Local HUB3300-6 device 1 not found");
    const uint32_t serials[] = {7001, 7002};
    ASSERT_EQ(m_setLocal(serials, 2), 0);
    EXPECT_TRUE(FAILED(unit->OpenLocal(0)));
    EXPECT_TRUE(FAILED(unit->OpenLocal(3)));
    ASSERT_EQ(unit->OpenLocal(2), S_OK);
    uint32_t serial = 0;
    EXPECT_EQ(unit->GetSerialNumber(&serial), S_OK);
    EXPECT_EQ(serial, 7002u);
    EXPECT_EQ(unit->IsLocal(), S_OK);
    EXPECT_EQ(unit->IsVirtual(), S_FALSE);
    EXPECT_EQ(unit->IsRemote(), S_FALSE);
}

TEST_F(Hub6Component, ObjectsOnOneUnitShareItsClock)
{
    CComPtr<IVltHUB6> a = Virtual(6000);
    CComPtr<IVltHUB6> b = Virtual(6000);
    CComPtr<IVltHUB6> other = Virtual(6001);
    ASSERT_EQ(a->SetDeviceClockRate(1000.0), S_OK);
    EXPECT_EQ(Rate(b), 1000.0);
    EXPECT_EQ(Rate(other), kHub6DefaultClockRate);
}

TEST_F(Hub6Component, ClockRateOutsideTheRangeIsRefused)
{
    CComPtr<IVltHUB6> unit = Virtual(6000);
    EXPECT_EQ(unit->SetDeviceClockRate(kHub6MinClockRate), S_OK);
    EXPECT_EQ(unit->SetDeviceClockRate(kHub6MaxClockRate), S_OK);
    EXPECT_EQ(unit->SetDeviceClockRate(6000.5), E_INVALIDARG);
    EXPECT_EQ(Error(unit), L"Clock rate 6000.500 MHz is out of range (1.000 to 6000.000 MHz)");
    EXPECT_EQ(unit->SetDeviceClockRate(std::numeric_limits<double>::quiet_NaN()), E_INVALIDARG);
    EXPECT_EQ(unit->SetDeviceClockRate(-std::numeric_limits<double>::infinity()), E_INVALIDARG);
    EXPECT_EQ(Rate(unit), kHub6MaxClockRate);
}

TEST_F(Hub6Component, SettingsRoundTripExactly)
{
    CComPtr<IVltHUB6> a = Virtual(6000);
    CComPtr<IVltHUB6> b = Virtual(6001);
    const double rate = std::nextafter(1234.5, 2000.0);
    ASSERT_EQ(a->SetDeviceClockRate(rate), S_OK);
    CComBSTR xml;
    ASSERT_EQ(a->SaveSettingsToString(&xml), S_OK);
    EXPECT_EQ(std::wstring(xml.View()).rfind(L"<HUB6Settings ClockRateMHz=\"", 0), 0u);
    ASSERT_EQ(b->LoadSettingsFromString(xml), S_OK);
    EXPECT_EQ(Rate(b), rate);
}

TEST_F(Hub6Component, BadSettingsLeaveTheUnitAsItWas)
{
    CComPtr<IVltHUB6> unit = Virtual(6000);
    for (const wchar_t* bad : {L"", L"<HUB6Settings ClockRateMHz=\"0\"/>", L"<HUB6Settings ClockRateMHz=\" \"/>",
                               L"<HUB6Settings ClockRateMHz=\"1e999\"/>", L"<HUB6Settings ClockRateMHz=\"10\"",
                               L"<hub6settings ClockRateMHz=\"10\"/>"}) {
        CComBSTR xml(bad);
        EXPECT_EQ(unit->LoadSettingsFromString(xml), E_INVALIDARG) << vlt::WideToUtf8(bad);
        EXPECT_EQ(Error(unit), L"Invalid HUB3300-6 settings");
    }
    EXPECT_EQ(unit->LoadSettingsFromString(nullptr), E_INVALIDARG);
    EXPECT_EQ(Rate(unit), kHub6DefaultClockRate);
}

// A peer that takes one connection and answers each message with the next
// of its replies, whatever was asked; then it waits for the client to go.
class ScriptedPeer {
public:
    explicit ScriptedPeer(std::vector<std::string> replies)
    {
        m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(m_listen, reinterpret_cast<sockaddr*>(&address), size);
        listen(m_listen, 1);
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this, replies = std::move(replies)] {
            const int fd = accept(m_listen, nullptr, nullptr);
            srvtest::SetClientTimeout(fd, 10);
            std::string request;
            for (const std::string& reply : replies)
                if (!srvtest::ReadFrame(fd, request) || !srvtest::WriteAll(fd, srvtest::Frame(reply)))
                    break;
            srvtest::PeerClosed(fd);
            close(fd);
        });
    }
    ~ScriptedPeer()
    {
        m_thread.join();
        close(m_listen);
    }
    uint16_t Port() const { return m_port; }

private:
    int m_listen = -1;
    uint16_t m_port = 0;
    std::thread m_thread;
};

constexpr wchar_t kLoopback[] = L"127.0.0.1";

std::wstring Where(uint16_t port)
{
    return L"127.0.0.1:" + std::to_wstring(port);
}

TEST_F(Hub6Component, RemoteUnitIsServedByTheServiceOfAnotherHost)
{
    hub6test::Hub6TestHost host({8001, 8002});
    ASSERT_TRUE(host.Started());
    CComBSTR server(kLoopback);
    CComPtr<IVltHUB6> unit = Create();
    ASSERT_EQ(unit->ConnectRemoteDevice(8001, 0, host.Port(), server, 0, 0), S_OK);
    EXPECT_EQ(unit->IsRemote(), S_OK);
    EXPECT_EQ(unit->IsLocal(), S_FALSE);
    EXPECT_EQ(unit->IsVirtual(), S_FALSE);
    EXPECT_EQ(Item(unit, kHub6ItemDisplayName), L"HUB3300-6 #8001");
    EXPECT_EQ(Rate(unit), kHub6DefaultClockRate);
    ASSERT_EQ(unit->SetDeviceClockRate(2000.5), S_OK);

    // The clock lives on the server: a second connection to the unit sees it.
    CComPtr<IVltHUB6> again = Create();
    ASSERT_EQ(again->ConnectRemoteDevice(8001, 0, host.Port(), server, 0, 0), S_OK);
    EXPECT_EQ(Rate(again), 2000.5);
    EXPECT_EQ(unit->SynchronizeExternal(), S_OK);
    EXPECT_EQ(again->SoftwareTrigger(), S_OK);
    EXPECT_EQ(host.SyncCount(8001), 1u);
    EXPECT_EQ(host.TriggerCount(8001), 1u);

    CComBSTR xml;
    ASSERT_EQ(unit->SaveSettingsToString(&xml), S_OK);
    EXPECT_EQ(std::wstring(xml.View()), L"<HUB6Settings ClockRateMHz=\"2000.5\"/>");
    CComBSTR other(L"<HUB6Settings ClockRateMHz=\"1234.25\"/>");
    ASSERT_EQ(again->LoadSettingsFromString(other), S_OK);
    EXPECT_EQ(Rate(unit), 1234.25);
    // Not the local unit of that serial.
    ASSERT_EQ(m_setLocal(std::array<uint32_t, 1>{8001}.data(), 1), 0);
    CComPtr<IVltHUB6> local = Create();
    ASSERT_EQ(local->OpenLocal(1), S_OK);
    EXPECT_EQ(Rate(local), kHub6DefaultClockRate);
}

TEST_F(Hub6Component, RemoteRefusalsCarryTheServersText)
{
    hub6test::Hub6TestHost host({8001});
    ASSERT_TRUE(host.Started());
    CComBSTR server(kLoopback);
    CComPtr<IVltHUB6> unit = Create();
    EXPECT_EQ(unit->ConnectRemoteDevice(8003, 0, host.Port(), server, 0, 0), E_FAIL);
    EXPECT_EQ(Error(unit), L"HUB3300-6 device 8003 is not on this server");
    EXPECT_EQ(unit->IsRemote(), E_UNEXPECTED);
    ASSERT_EQ(unit->ConnectRemoteDevice(8001, 0, host.Port(), server, 0, 0), S_OK);
    host.Inject("SynchronizeExternal", E_FAIL, 1);
    EXPECT_EQ(unit->SynchronizeExternal(), E_FAIL);
    EXPECT_EQ(Error(unit), L"Simulated failure of SynchronizeExternal");
    EXPECT_EQ(unit->SynchronizeExternal(), S_OK);
    EXPECT_EQ(host.SyncCount(8001), 1u);

    // A virtual unit of the server, apart from the local virtual one.
    CComPtr<IVltHUB6> remoteVirtual = Create();
    ASSERT_EQ(remoteVirtual->ConnectRemoteVirtualDevice(6000, 1, 0, host.Port(), server, 0, 0), S_OK);
    EXPECT_EQ(remoteVirtual->IsRemote(), S_OK);
    EXPECT_EQ(remoteVirtual->IsVirtual(), S_OK);
    ASSERT_EQ(remoteVirtual->SetDeviceClockRate(100.0), S_OK);
    EXPECT_EQ(Rate(Virtual(6000)), kHub6DefaultClockRate);
    EXPECT_EQ(remoteVirtual->ConnectRemoteVirtualDevice(6000, 2, 0, host.Port(), server, 0, 0), E_INVALIDARG);
}

TEST_F(Hub6Component, ListServerDevicesGivesAnArrayOfSerials)
{
    hub6test::Hub6TestHost host({8002, 8001});
    ASSERT_TRUE(host.Started());
    CComPtr<IVltHUB6> unit = Create();
    CComBSTR server(kLoopback);
    uint32_t count = 0;
    CComVariant list;
    ASSERT_EQ(unit->ListServerDevices(server, host.Port(), &count, &list), S_OK);
    ASSERT_EQ(count, 2u);
    ASSERT_EQ(list.vt, VT_ARRAY | VT_UI4);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(list.parray, &data), S_OK);
    EXPECT_EQ(static_cast<uint32_t*>(data)[0], 8002u);
    EXPECT_EQ(static_cast<uint32_t*>(data)[1], 8001u);
    SafeArrayUnaccessData(list.parray);

    host.Serve({});
    CComVariant none;
    ASSERT_EQ(unit->ListServerDevices(server, host.Port(), &count, &none), S_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(none.vt, VT_EMPTY);

    const uint16_t port = host.Port();
    host.Stop();
    CComVariant failed;
    EXPECT_EQ(unit->ListServerDevices(server, port, &count, &failed), E_FAIL);
    EXPECT_EQ(Error(unit), L"Could not connect to HUB3300-6 server " + Where(port) + L": "
                               + vlt::Utf8ToWide(vlt::SystemErrorText(ECONNREFUSED)));
}

TEST_F(Hub6Component, PeerGoneFailsEveryLaterCall)
{
    hub6test::Hub6TestHost host({8001});
    ASSERT_TRUE(host.Started());
    CComBSTR server(kLoopback);
    CComPtr<IVltHUB6> unit = Create();
    ASSERT_EQ(unit->ConnectRemoteDevice(8001, 0, host.Port(), server, 0, 0), S_OK);
    host.Stop();
    const std::wstring lost = L"Lost the connection to HUB3300-6 server " + Where(host.Port());
    EXPECT_EQ(unit->SoftwareTrigger(), E_FAIL);
    EXPECT_EQ(Error(unit), lost);
    double rate = 0.0;
    EXPECT_EQ(unit->GetDeviceClockRate(&rate), E_FAIL);
    EXPECT_EQ(Error(unit), lost);
    // The object can be closed and used for another unit.
    EXPECT_EQ(unit->Close(), S_OK);
    EXPECT_EQ(unit->OpenVirtual(6000, 1), S_OK);
}

TEST_F(Hub6Component, BadRepliesAreRefused)
{
    const std::string ok = kReplySuccess;
    CComBSTR server(kLoopback);
    {
        ScriptedPeer peer({ok, ok, "this is not XML"});
        CComPtr<IVltHUB6> unit = Create();
        ASSERT_EQ(unit->ConnectRemoteDevice(8001, 0, peer.Port(), server, 0, 0), S_OK);
        double rate = 0.0;
        EXPECT_EQ(unit->GetDeviceClockRate(&rate), E_FAIL);
        EXPECT_EQ(Error(unit), L"Invalid reply from HUB3300-6 server " + Where(peer.Port()));
        // Out of step after it: the connection is given up.
        EXPECT_EQ(unit->SoftwareTrigger(), E_FAIL);
        EXPECT_EQ(Error(unit), L"Lost the connection to HUB3300-6 server " + Where(peer.Port()));
    }
    {
        const std::string badRate = "<VltServiceResponse><ReturnData><Rate>fast</Rate></ReturnData></VltServiceResponse>";
        const std::string noRate = "<VltServiceResponse><ReturnData/></VltServiceResponse>";
        const std::string notHandled = kReplyNotHandled;
        ScriptedPeer peer({ok, ok, badRate, noRate, notHandled});
        CComPtr<IVltHUB6> unit = Create();
        ASSERT_EQ(unit->ConnectRemoteDevice(8001, 0, peer.Port(), server, 0, 0), S_OK);
        double rate = 0.0;
        const std::wstring invalid = L"Invalid reply from HUB3300-6 server " + Where(peer.Port());
        EXPECT_EQ(unit->GetDeviceClockRate(&rate), E_FAIL);
        EXPECT_EQ(Error(unit), invalid);
        EXPECT_EQ(unit->GetDeviceClockRate(&rate), E_FAIL);
        EXPECT_EQ(Error(unit), invalid);
        EXPECT_EQ(unit->SynchronizeExternal(), E_FAIL);
        EXPECT_EQ(Error(unit), L"HUB3300-6 server " + Where(peer.Port()) + L" refused the request");
    }
    {
        // The count and the serials disagree.
        ScriptedPeer peer({ok, "<VltServiceResponse><ReturnData><Count>2</Count><Device>1</Device>"
                               "</ReturnData></VltServiceResponse>"});
        CComPtr<IVltHUB6> unit = Create();
        uint32_t count = 0;
        CComVariant list;
        EXPECT_EQ(unit->ListServerDevices(server, peer.Port(), &count, &list), E_FAIL);
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(Error(unit), L"Invalid reply from HUB3300-6 server " + Where(peer.Port()));
    }
    {
        // A host without the service refuses the connection.
        ScriptedPeer peer({"<VltServiceResponse error=\"true\"><ErrorText>No such service</ErrorText>"
                           "</VltServiceResponse>"});
        CComPtr<IVltHUB6> unit = Create();
        EXPECT_EQ(unit->ConnectRemoteDevice(8001, 0, peer.Port(), server, 0, 0), E_FAIL);
        EXPECT_EQ(Error(unit), L"Could not connect to HUB3300-6 server " + Where(peer.Port()) + L": No such service");
    }
}

// The service as any client reaches it: bad requests get error replies and
// the connection goes on.
TEST(Hub6Service, RefusesBadRequestsAndGoesOn)
{
    hub6test::Hub6TestHost host({8001});
    ASSERT_TRUE(host.Started());
    const int fd = srvtest::ConnectLoopback(host.Port());
    ASSERT_GE(fd, 0);
    auto ask = [fd](const std::string& request) {
        std::string reply;
        if (!srvtest::WriteAll(fd, srvtest::Frame(request)) || !srvtest::ReadFrame(fd, reply))
            return std::string("<no reply>");
        return reply;
    };
    auto error = [](const std::string& text) {
        return "<?xml version=\"1.0\" encoding=\"utf-8\"?><VltServiceResponse error=\"true\" ><ErrorText>" + text
            + "</ErrorText></VltServiceResponse>";
    };
    ASSERT_EQ(ask(srvtest::ConnectRequest("", "VltHUB6")), kReplySuccess);
    EXPECT_EQ(ask(srvtest::CallRequest("HUB6_SYNC")), error("No HUB3300-6 device is open"));
    const std::string malformed = ask(srvtest::CallRequest("HUB6_OPEN", "<Serial>-1</Serial><Virtual>0</Virtual>"));
    EXPECT_NE(malformed.find("error=\"true\""), std::string::npos) << malformed;
    EXPECT_NE(ask(srvtest::CallRequest("HUB6_OPEN", "<Serial>8001</Serial><Virtual>2</Virtual>")).find("error=\"true\""),
              std::string::npos);
    EXPECT_NE(ask(srvtest::CallRequest("HUB6_OPEN", "<Serial>8001</Serial>")).find("error=\"true\""), std::string::npos);
    EXPECT_EQ(ask(srvtest::CallRequest("HUB6_UNKNOWN")), kReplyNotHandled);
    ASSERT_EQ(ask(srvtest::CallRequest("HUB6_OPEN", "<Serial>8001</Serial><Virtual>0</Virtual>")), kReplySuccess);
    EXPECT_EQ(ask(srvtest::CallRequest("HUB6_OPEN", "<Serial>8001</Serial><Virtual>0</Virtual>")),
              error("A HUB3300-6 device is already open"));
    EXPECT_EQ(ask(srvtest::CallRequest("HUB6_SET_CLOCK", "<Rate>1e9</Rate>")), error("Clock rate 1e9 MHz is out of range"));
    EXPECT_NE(ask(srvtest::CallRequest("HUB6_SET_CLOCK", "<Rate>fast</Rate>")).find("error=\"true\""), std::string::npos);
    EXPECT_EQ(ask(srvtest::CallRequest("HUB6_SET_CLOCK", "<Rate>2500</Rate>")), kReplySuccess);
    EXPECT_EQ(ask(srvtest::CallRequest("HUB6_GET_CLOCK")),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?><VltServiceResponse><ReturnData><Rate>2500</Rate>"
              "</ReturnData></VltServiceResponse>");
    close(fd);
}

TEST_F(Hub6Component, InjectedFailuresCountDown)
{
    CComPtr<IVltHUB6> unit = Virtual(6000);
    ASSERT_EQ(m_inject("SoftwareTrigger", E_ACCESSDENIED, 2), 0);
    EXPECT_EQ(unit->SoftwareTrigger(), E_ACCESSDENIED);
    EXPECT_EQ(Error(unit), L"Simulated failure of SoftwareTrigger");
    EXPECT_EQ(unit->SoftwareTrigger(), E_ACCESSDENIED);
    EXPECT_EQ(unit->SoftwareTrigger(), S_OK);
    EXPECT_EQ(m_triggerCount(6000), 1u);
    EXPECT_NE(m_inject("SoftwareTrigger", S_OK, 1), 0);
}

TEST_F(Hub6Component, PropertyPageSetsTheClockWhenApplied)
{
    CComPtr<IVltHUB6> unit = Virtual(6000);
    CComPtr<IVltPropertyPage> page;
    ASSERT_EQ(CoCreateInstance(CLSID_VltHUB6PropPage, nullptr, CLSCTX_INPROC_SERVER, IVltPropertyPage::iid,
                               reinterpret_cast<void**>(&page)),
              S_OK);
    CComBSTR caption(L"HUB3300-6");
    EXPECT_EQ(page->ShowFrame(nullptr, caption, 0, 0, 0), E_UNEXPECTED);
    IUnknown* objects[] = {unit.p};
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    {
        DialogAnswer answer([](QDialog* dlg) {
            EXPECT_EQ(dlg->windowTitle(), "HUB3300-6");
            dlg->findChild<QDoubleSpinBox*>("clockRate")->setValue(2000.0);
            dlg->reject();
        });
        EXPECT_EQ(page->ShowFrame(nullptr, caption, 0, 0, 0), S_FALSE);
    }
    EXPECT_EQ(Rate(unit), kHub6DefaultClockRate);
    {
        DialogAnswer answer([](QDialog* dlg) {
            dlg->findChild<QDoubleSpinBox*>("clockRate")->setValue(2000.0);
            dlg->accept();
        });
        EXPECT_EQ(page->ShowFrame(nullptr, caption, 0, 0, 0), S_OK);
    }
    EXPECT_EQ(Rate(unit), 2000.0);
    EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
}

TEST_F(Hub6Component, PropertyPageKeepsAFinerClockWhenLeftAlone)
{
    CComPtr<IVltHUB6> unit = Virtual(6000);
    // Finer than the page shows; set through another route.
    const double fine = 1234.5678;
    ASSERT_EQ(unit->SetDeviceClockRate(fine), S_OK);
    CComPtr<IVltPropertyPage> page;
    ASSERT_EQ(CoCreateInstance(CLSID_VltHUB6PropPage, nullptr, CLSCTX_INPROC_SERVER, IVltPropertyPage::iid,
                               reinterpret_cast<void**>(&page)),
              S_OK);
    IUnknown* objects[] = {unit.p};
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    CComBSTR caption(L"HUB3300-6");
    {
        DialogAnswer answer([](QDialog* dlg) { dlg->accept(); });
        EXPECT_EQ(page->ShowFrame(nullptr, caption, 0, 0, 0), S_OK);
    }
    EXPECT_EQ(Rate(unit), fine);
    EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
}
