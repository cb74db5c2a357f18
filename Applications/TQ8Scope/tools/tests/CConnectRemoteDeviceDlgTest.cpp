#include <cerrno>
#include <filesystem>
#include <string>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <unistd.h>

#include "AppProfile.h"
#include "CConnectRemoteSyncDeviceDlg.h"
#include "CRecentServerList.h"
#include "CVltHub6Mgr.h"
#include "DevMgrTestSupport.h"
#include "ErrorBox.h"
#include "Hub6Library.h"
#include "Hub6TestHost.h"
#include "MessageBox.h"
#include "RemoteConnectTexts.h"
#include "RemoteDeviceCommand.h"
#include "ServiceClientSocket.h"
#include "SystemErrorText.h"
#include "TQ8Sim.h"
#include "TestSupport.h"
#include "TextConv.h"

namespace {

// Answers the server test from a list instead of a server.
class FakeServerDlg : public CConnectRemoteDeviceDlg {
public:
    using CConnectRemoteDeviceDlg::CConnectRemoteDeviceDlg;
    std::vector<uint32_t> serials;
    bool unsafe = false;

protected:
    bool TestServer(const std::wstring&, uint16_t, std::vector<uint32_t>& out) override
    {
        out = serials;
        return true;
    }
    bool IsUnsafeMode() const override { return unsafe; }
};

class ConnectRemoteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        devmgr_test::EnsureQtApp();
        m_dir = std::filesystem::temp_directory_path() /
                ("vlt_connect_" + std::to_string(getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        setenv("VLT_REGISTRY_DIR", m_dir.c_str(), 1);
        vlt::AppProfile::SetRegistryKey(L"Veltrane");
        vlt::AppProfile::SetProfileName(L"TQ3300 Scope");
    }
    void TearDown() override
    {
        unsetenv("VLT_REGISTRY_DIR");
        std::filesystem::remove_all(m_dir);
    }
    static QComboBox* Box(QDialog& dlg, const char* name) { return dlg.findChild<QComboBox*>(name); }
    static QCheckBox* Check(QDialog& dlg, int index) { return dlg.findChildren<QCheckBox*>().at(index); }
    static void Click(QDialog& dlg, const QString& text)
    {
        for (QPushButton* b : dlg.findChildren<QPushButton*>()) {
            if (b->text() == text) {
                QTest::mouseClick(b, Qt::LeftButton);
                return;
            }
        }
        FAIL() << text.toStdString();
    }

    std::filesystem::path m_dir;
    vlt::MessageBoxRecorder boxes;
};

} // namespace

TEST(RemoteConnectTexts, BoardNumbers)
{
    using remote_connect::BoardNumberResult;
    uint32_t n = 0;
    EXPECT_EQ(remote_connect::ParseBoardNumber(L"2 : SN:12345", n), BoardNumberResult::Ok);
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(remote_connect::ParseBoardNumber(L" 12345 ", n), BoardNumberResult::Ok);
    EXPECT_EQ(n, 12345u);
    EXPECT_EQ(remote_connect::ParseBoardNumber(L"12a", n), BoardNumberResult::Invalid);
    EXPECT_EQ(remote_connect::ParseBoardNumber(L"-3", n), BoardNumberResult::Invalid);
    EXPECT_EQ(remote_connect::ParseBoardNumber(L"4294967296", n), BoardNumberResult::Invalid);
    EXPECT_EQ(remote_connect::ParseBoardNumber(L"  ", n), BoardNumberResult::Empty);
    EXPECT_EQ(remote_connect::ParseBoardNumber(L": SN:1", n), BoardNumberResult::Invalid);
    EXPECT_EQ(n, 12345u);
}

TEST(RemoteConnectTexts, LeadingZerosAreStillDecimal)
{
    // A zero-padded serial or port is what the user typed, not an octal number.
    uint32_t n = 0;
    EXPECT_EQ(remote_connect::ParseBoardNumber(L"0123456", n), remote_connect::BoardNumberResult::Ok);
    EXPECT_EQ(n, 123456u);
    EXPECT_EQ(remote_connect::ParseBoardNumber(L"09", n), remote_connect::BoardNumberResult::Ok);
    EXPECT_EQ(n, 9u);
    uint16_t port = 0;
    EXPECT_TRUE(remote_connect::ParsePort(L"02000", port));
    EXPECT_EQ(port, 2000);
    EXPECT_TRUE(remote_connect::ParsePort(L"03494", port));
    EXPECT_EQ(port, 3494);
}

TEST(RemoteConnectTexts, PortRangeAndMessages)
{
    uint16_t port = 0;
    EXPECT_FALSE(remote_connect::ParsePort(L"1023", port));
    EXPECT_FALSE(remote_connect::ParsePort(L"65536", port));
    EXPECT_FALSE(remote_connect::ParsePort(L"", port));
    EXPECT_TRUE(remote_connect::ParsePort(L"1024", port));
    EXPECT_EQ(port, 1024);
    EXPECT_TRUE(remote_connect::ParsePort(L"65535", port));
    EXPECT_EQ(port, 65535);
    EXPECT_EQ(remote_connect::ServerTestMessage(0, L"TQ3300"), L"Server is running but has no TQ3300 devices");
    EXPECT_EQ(remote_connect::ServerTestMessage(1, L"TQ3300"), L"Server has 1 TQ3300 device");
    EXPECT_EQ(remote_connect::ServerTestMessage(2, L"HUB3300-6"), L"Server has 2 HUB3300-6 devices");
    EXPECT_EQ(remote_connect::DeviceItemText(1, 12345), L"1 : SN:12345");
}

TEST_F(ConnectRemoteTest, RecentListMovesOtherCaseUpAndDropsTheOldest)
{
    CRecentServerList list(L"Recent Servers");
    for (int i = 1; i <= 10; ++i)
        list.AddServer(L"host" + std::to_wstring(i) + L"|3494");
    list.AddServer(L"HOST3|3494");
    ASSERT_EQ(list.GetSize(), 10u);
    EXPECT_EQ(list[0], L"HOST3|3494");
    EXPECT_EQ(list[1], L"host10|3494");
    list.AddServer(L"host11|3494");
    ASSERT_EQ(list.GetSize(), 10u);
    EXPECT_EQ(list[0], L"host11|3494");
    EXPECT_EQ(list[9], L"host2|3494");
    ASSERT_TRUE(list.WriteList());
    CRecentServerList again(L"Recent Servers");
    again.ReadList();
    EXPECT_EQ(again.Items(), list.Items());
    EXPECT_EQ(vlt::AppProfile::GetString(L"Recent Servers", L"Server1"), L"host11|3494");
}

TEST_F(ConnectRemoteTest, StartShowsKindTextsAndTheMostRecentServer)
{
    CRecentServerList list(L"Recent Servers");
    list.AddServer(L"old-pc|4000");
    list.AddServer(L"lab-pc|5000");
    ASSERT_TRUE(list.WriteList());
    CConnectRemoteDeviceDlg dlg(nullptr, L"Recent Servers");
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Connect to Remote TQ3300 Device"));
    EXPECT_EQ(Box(dlg, "server")->currentText(), QStringLiteral("lab-pc"));
    EXPECT_EQ(Box(dlg, "port")->currentText(), QStringLiteral("5000"));
    EXPECT_EQ(Box(dlg, "server")->count(), 2);
    EXPECT_TRUE(Check(dlg, 0)->isChecked());
    EXPECT_FALSE(Check(dlg, 1)->isVisible());
    EXPECT_FALSE(Box(dlg, "boardNumber")->isEnabled());
    QTest::mouseClick(Check(dlg, 0), Qt::LeftButton);
    EXPECT_TRUE(Box(dlg, "boardNumber")->isEnabled());
}

TEST_F(ConnectRemoteTest, SyncKindDefaultsAndUnsafeVirtualBox)
{
    CConnectRemoteSyncDeviceDlg sync(nullptr, L"Recent Sync Servers");
    sync.show();
    EXPECT_EQ(sync.windowTitle(), QStringLiteral("Connect to Remote HUB3300-6 Device"));
    EXPECT_EQ(Box(sync, "port")->currentText(), QStringLiteral("3496"));
    FakeServerDlg board(nullptr, L"Recent Servers");
    board.unsafe = true;
    board.show();
    EXPECT_EQ(Box(board, "port")->currentText(), QStringLiteral("3494"));
    EXPECT_TRUE(Check(board, 1)->isVisible());
}

TEST_F(ConnectRemoteTest, OkChecksPortServerAndBoardNumber)
{
    FakeServerDlg dlg(nullptr, L"Recent Servers");
    dlg.show();
    Box(dlg, "port")->setEditText(QStringLiteral("1023"));
    Click(dlg, QStringLiteral("OK"));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(boxes.LastText(), L"Please enter an integer between 1024 and 65535.");
    Box(dlg, "port")->setEditText(QStringLiteral("65536"));
    Click(dlg, QStringLiteral("OK"));
    EXPECT_EQ(boxes.Count(), 2u);
    Box(dlg, "port")->setEditText(QStringLiteral("4000"));
    Click(dlg, QStringLiteral("OK"));
    EXPECT_EQ(boxes.LastText(), L"Please enter a server address. This can be in URL or IP format");
    Box(dlg, "server")->setEditText(QStringLiteral("a|b"));
    Click(dlg, QStringLiteral("OK"));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_NE(boxes.LastText().find(L"\"|\""), std::wstring::npos);
    Box(dlg, "server")->setEditText(QStringLiteral("lab-pc"));
    QTest::mouseClick(Check(dlg, 0), Qt::LeftButton);
    Box(dlg, "boardNumber")->setEditText(QStringLiteral("12a"));
    Click(dlg, QStringLiteral("OK"));
    EXPECT_EQ(boxes.LastText(), L"Please enter a valid integral board number");
    Box(dlg, "boardNumber")->setEditText(QString());
    Click(dlg, QStringLiteral("OK"));
    EXPECT_EQ(boxes.LastText(), L"Please specify a TQ3300 serial or ordinal number");
    EXPECT_TRUE(dlg.isVisible());
    Box(dlg, "boardNumber")->setEditText(QStringLiteral("2 : SN:12345"));
    Click(dlg, QStringLiteral("OK"));
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.GetBoardNumber(), 2);
    EXPECT_EQ(dlg.GetPort(), 4000);
    EXPECT_EQ(dlg.GetServer(), L"lab-pc");
    EXPECT_FALSE(dlg.GetAllDevices());
}

TEST_F(ConnectRemoteTest, TestServerFillsTheBoardList)
{
    FakeServerDlg dlg(nullptr, L"Recent Servers");
    dlg.show();
    Click(dlg, QStringLiteral("&Test Server"));
    EXPECT_EQ(boxes.LastText(), L"Please enter a server address. This can be any IP address or URL");
    Box(dlg, "server")->setEditText(QStringLiteral("lab-pc"));
    dlg.serials = {12345, 777};
    Click(dlg, QStringLiteral("&Test Server"));
    EXPECT_EQ(boxes.LastText(), L"Server has 2 TQ3300 devices");
    ASSERT_EQ(Box(dlg, "boardNumber")->count(), 2);
    EXPECT_EQ(Box(dlg, "boardNumber")->currentText(), QStringLiteral("1 : SN:12345"));
    dlg.serials = {};
    Click(dlg, QStringLiteral("&Test Server"));
    EXPECT_EQ(boxes.LastText(), L"Server is running but has no TQ3300 devices");
    EXPECT_EQ(Box(dlg, "boardNumber")->count(), 2);
}

TEST_F(ConnectRemoteTest, FailedLibraryTestShowsTheErrorBox)
{
    CConnectRemoteDeviceDlg dlg(nullptr, L"Recent Servers");
    dlg.show();
    Box(dlg, "server")->setEditText(QStringLiteral("127.0.0.1"));
    ASSERT_EQ(TQ8Sim_InjectResult("GetRemoteDeviceCountWTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    Click(dlg, QStringLiteral("&Test Server"));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"Remote server test failed: ", 0), 0u);
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONERROR);
}

// A numeric address that is none is refused before anything is tried; the
// dialog stays open for it to be mended.
TEST_F(ConnectRemoteTest, MalformedNumericAddressIsRefusedAsSuch)
{
    FakeServerDlg dlg(nullptr, L"Recent Servers");
    dlg.serials = {12345};
    dlg.show();
    Box(dlg, "server")->setEditText(QStringLiteral("192.168.1.300"));
    Click(dlg, QStringLiteral("OK"));
    EXPECT_TRUE(dlg.isVisible());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.LastText().find(L"\"192.168.1.300\" is not a valid IP address"), std::wstring::npos)
        << boxes.LastText();
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONERROR);
    Box(dlg, "server")->setEditText(QStringLiteral("1.2.3.4.5"));
    Click(dlg, QStringLiteral("&Test Server"));
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_NE(boxes.LastText().find(L"\"1.2.3.4.5\" is not a valid IP address"), std::wstring::npos);
    EXPECT_EQ(Box(dlg, "boardNumber")->count(), 0);
}

// The dialog refuses as malformed only what the connection refuses too: a
// short form the system's resolver takes ("127.1") is an address.
TEST_F(ConnectRemoteTest, AShortNumericAddressIsTakenAsTheResolverTakesIt)
{
    for (const char* text : {"127.1", "10.0.0", "192.168.1.300", "1.2.3.4.5"}) {
        FakeServerDlg dlg(nullptr, L"Recent Servers");
        dlg.show();
        Box(dlg, "server")->setEditText(QString::fromLatin1(text));
        Click(dlg, QStringLiteral("OK"));
        EXPECT_EQ(dlg.result() == QDialog::Accepted, !IsMalformedNumericAddress(text)) << text;
    }
    FakeServerDlg dlg(nullptr, L"Recent Servers");
    dlg.serials = {12345};
    dlg.show();
    boxes.Clear();
    Box(dlg, "server")->setEditText(QStringLiteral("127.1"));
    Click(dlg, QStringLiteral("&Test Server"));
    EXPECT_EQ(boxes.LastText(), L"Server has 1 TQ3300 device");
    Click(dlg, QStringLiteral("OK"));
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.GetServer(), L"127.1");
    EXPECT_EQ(boxes.Count(), 1u);
}

// The library's text, then the connect's own reason.
TEST_F(ConnectRemoteTest, AServerThatRefusesTheConnectionSaysSo)
{
    CConnectRemoteDeviceDlg dlg(nullptr, L"Recent Servers");
    dlg.show();
    Box(dlg, "server")->setEditText(QStringLiteral("127.0.0.1"));
    Box(dlg, "port")->setEditText(QString::number(srvtest::FreePort()));
    Click(dlg, QStringLiteral("&Test Server"));
    ASSERT_EQ(boxes.Count(), 1u);
    std::wstring library;
    ASSERT_EQ(GetErrorTextString(TQ8_ERR_SERVER_UNREACHABLE, library, nullptr), 0);
    EXPECT_EQ(boxes.LastText(), L"Remote server test failed: " + library + L": " +
                                    vlt::Utf8ToWide(vlt::SystemErrorText(ECONNREFUSED)));
}

TEST_F(ConnectRemoteTest, RecentListWrittenOnlyWhenChanged)
{
    {
        FakeServerDlg dlg(nullptr, L"Recent Servers");
        dlg.show();
    }
    EXPECT_EQ(vlt::AppProfile::GetString(L"Recent Servers", L"Server1"), L"");
    // A value written behind the dialog's back survives a dialog that changed nothing.
    ASSERT_TRUE(vlt::AppProfile::WriteString(L"Recent Servers", L"Server7", L"kept|2000"));
    {
        FakeServerDlg dlg(nullptr, L"Recent Servers");
        dlg.show();
    }
    EXPECT_EQ(vlt::AppProfile::GetString(L"Recent Servers", L"Server7"), L"kept|2000");
    {
        FakeServerDlg dlg(nullptr, L"Recent Servers");
        dlg.show();
        Box(dlg, "server")->setEditText(QStringLiteral("Lab-PC"));
        Box(dlg, "port")->setEditText(QStringLiteral("3494"));
        Box(dlg, "port")->setEditText(QStringLiteral("3494"));
        Click(dlg, QStringLiteral("OK"));
        dlg.AddServerToRecentList();
    }
    EXPECT_EQ(vlt::AppProfile::GetString(L"Recent Servers", L"Server1"), L"Lab-PC|3494");
    EXPECT_EQ(vlt::AppProfile::GetString(L"Recent Servers", L"Server2"), L"kept|2000");
    EXPECT_EQ(vlt::AppProfile::GetString(L"Recent Servers", L"Server7"), L"");
}

namespace {

// The sync kind against the sync device's component library.
class SyncConnectTest : public ConnectRemoteTest {
protected:
    void SetUp() override
    {
        ConnectRemoteTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(hub6.Load());
    }
    void TearDown() override
    {
        hub6.Unload();
        ConnectRemoteTest::TearDown();
    }
    // The user connects to all devices of server:port in the next connect
    // dialog; the devices connected.
    std::vector<int32_t> ConnectAllOf(const QString& server, uint16_t port)
    {
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dlg)
                return;
            answer.stop();
            Box(*dlg, "server")->setEditText(server);
            Box(*dlg, "port")->setEditText(QString::number(port));
            Click(*dlg, QStringLiteral("OK"));
        });
        answer.start(10);
        return ConnectRemoteSyncDevices(nullptr, manager);
    }

    doc_test::Hub6Library hub6;
    CVltHub6Mgr manager;
};

} // namespace

// A sync server that cannot be reached says so; one without devices says
// nothing here. Neither adds a device or a recent server.
TEST_F(SyncConnectTest, AllDevicesOfAServerThatCannotBeReachedIsReported)
{
    EXPECT_TRUE(ConnectAllOf(QStringLiteral("127.0.0.1"), srvtest::FreePort()).empty());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"Remote server test failed. Server may be down or server parameters may be wrong.");
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONERROR);

    hub6test::Hub6TestHost host;
    ASSERT_TRUE(host.Started());
    EXPECT_TRUE(ConnectAllOf(QStringLiteral("127.0.0.1"), host.Port()).empty());
    EXPECT_EQ(boxes.Count(), 1u) << boxes.LastText();
    EXPECT_EQ(manager.GetInstanceCount(), 0u);
    EXPECT_EQ(vlt::AppProfile::GetString(L"Recent Sync Servers", L"Server1"), L"");
}

// The failed test names the server and the connect's own reason.
TEST_F(SyncConnectTest, AFailedServerTestSaysWhy)
{
    CConnectRemoteSyncDeviceDlg dlg(nullptr, L"Recent Sync Servers");
    dlg.show();
    const uint16_t port = srvtest::FreePort();
    Box(dlg, "server")->setEditText(QStringLiteral("127.0.0.1"));
    Box(dlg, "port")->setEditText(QString::number(port));
    Click(dlg, QStringLiteral("&Test Server"));
    ASSERT_EQ(boxes.Count(), 1u);
    const std::wstring text = boxes.LastText();
    EXPECT_EQ(text.rfind(L"Remote server test failed: ", 0), 0u) << text;
    EXPECT_NE(text.find(L"127.0.0.1:" + std::to_wstring(port)), std::wstring::npos) << text;
    EXPECT_NE(text.find(vlt::Utf8ToWide(vlt::SystemErrorText(ECONNREFUSED))), std::wstring::npos) << text;
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONERROR);
}
