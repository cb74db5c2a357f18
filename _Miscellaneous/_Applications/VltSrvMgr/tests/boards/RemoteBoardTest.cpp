// Remote boards through a real service host on loopback with the board
// service plug-in loaded: the library is client and (through the plug-in)
// server in one process, so the server's own handles can be counted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <libxml/tree.h>

#include "CFwContextTQ8.h"
#include "CServedFolders.h"
#include "FirmwarePackage.h"
#include "FwTestFiles.h"
#include "RemoteTestHost.h"
#include "ServiceHostOptions.h"
#include "ServiceProtocol.h"
#include "TQ8Sim.h"
#include "TQ8_64.h"
#include "TestSupport.h"
#include "TextConv.h"
#include "XmlRoutines.h"

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint32_t kBoardA = 4101;
constexpr uint32_t kBoardB = 4102;

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class RemoteBoardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TQ8Sim_Reset();
        for (uint32_t serial : {kBoardA, kBoardB}) {
            TQ8SIM_BOARD_DESC desc;
            TQ8Sim_DefaultBoardDesc(&desc, serial);
            ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
        }
        m_root = srvtest::ScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        m_host = std::make_unique<RemoteTestHost>(m_root);
        ASSERT_TRUE(m_host->Started());
    }
    void TearDown() override
    {
        for (TQ8_HANDLE h : m_handles)
            DisconnectFromDeviceTQ8(h);
        m_host.reset();
        TQ8Sim_Reset();
    }

    TQ8_REMOTE_CONN_INFO Record(const wchar_t* server = L"127.0.0.1") const
    {
        TQ8_REMOTE_CONN_INFO conn{};
        conn.size = sizeof conn;
        conn.port = m_host->Port();
        conn.server = server;
        conn.clientName = L"TQ3300 Scope";
        conn.subServices = L"FileServerWindows;PowerDownWindows";
        return conn;
    }
    TQ8_HANDLE Remote(uint32_t serial, bool isVirtual = false)
    {
        const TQ8_REMOTE_CONN_INFO conn = Record();
        TQ8_HANDLE h = nullptr;
        const int32_t rc = isVirtual ? ConnectToRemoteVirtualDeviceWTQ8(&h, serial, 1, &conn)
                                     : ConnectToRemoteDeviceWTQ8(&h, serial, &conn);
        EXPECT_EQ(rc, TQ8_OK);
        if (h)
            m_handles.push_back(h);
        return h;
    }
    TQ8_HANDLE Duplicate(TQ8_HANDLE h)
    {
        TQ8_HANDLE d = nullptr;
        EXPECT_EQ(DuplicateHandleTQ8(h, &d), TQ8_OK);
        if (d)
            m_handles.push_back(d);
        return d;
    }
    void Disconnect(TQ8_HANDLE h)
    {
        EXPECT_EQ(DisconnectFromDeviceTQ8(h), TQ8_OK);
        std::erase(m_handles, h);
    }
    static bool ServerHandlesBecome(uint32_t serial, int32_t count)
    {
        for (int i = 0; i < 500 && RemoteTestHost::OpenHandles(serial) != count; ++i)
            usleep(10000);
        return RemoteTestHost::OpenHandles(serial) == count;
    }
    static void WaitForMode(TQ8_HANDLE h, int32_t mode)
    {
        for (int i = 0; i < 500 && GetOperatingModeTQ8(h, 0) != mode; ++i)
            usleep(10000);
        ASSERT_EQ(GetOperatingModeTQ8(h, 0), mode);
    }

    // An acquisition on worker that waits for a trigger that never comes,
    // under way (seen through watch) when this returns.
    static std::thread BlockedAcquisition(TQ8_HANDLE worker, TQ8_HANDLE watch, int32_t& rc)
    {
        EXPECT_EQ(SetTriggerSourceTQ8(worker, 4), TQ8_OK); // external
        std::thread t([worker, &rc] { rc = AcquireToBoardRamTQ8(worker, 0, 1048576, 0, 0); });
        WaitForMode(watch, TQ8_MODE_RAM_ACQ);
        return t;
    }

    std::string m_root;
    std::unique_ptr<RemoteTestHost> m_host;
    std::vector<TQ8_HANDLE> m_handles;
};

uint32_t Serial(TQ8_HANDLE h)
{
    uint32_t serial = 0;
    EXPECT_EQ(GetSerialNumberTQ8(h, &serial), TQ8_OK);
    return serial;
}

std::wstring VersionText(TQ8_HANDLE h, int32_t item)
{
    wchar_t* text = nullptr;
    EXPECT_EQ(GetVersionTextWTQ8(h, item, &text, 64), TQ8_OK) << item;
    std::wstring version = text ? text : L"";
    FreeMemoryTQ8(text);
    return version;
}

// A package of one image per chunk id, each chunk at version 1.2.0.<id>.
std::wstring WriteImagesPackage(const std::string& dir, const std::vector<int32_t>& ids)
{
    CFwContextTQ8 context;
    context.m_versionPkg = 0x63000000;
    FwPackagePairs pairs{{dir + "/context.xml", "context_v2.xml"}};
    for (int32_t id : ids) {
        const std::string file = "image" + std::to_string(id) + ".bit";
        context.m_chunks[id].m_version = 0x01020000 + static_cast<uint32_t>(id);
        context.m_chunks[id].m_files.push_back(file);
        WriteTestFile(dir + "/" + file, std::string(100, char('a' + id)));
        pairs.emplace_back(dir + "/" + file, file);
    }
    EXPECT_EQ(context.Save(pairs[0].first), kFwOk);
    EXPECT_EQ(WriteFirmwarePackage(dir + "/images.tq8fw", pairs), kFwOk);
    return vlt::Utf8ToWide(dir + "/images.tq8fw");
}

} // namespace

TEST_F(RemoteBoardTest, ConnectsVirtualAndLocalBoardsBySerialAndOrdinal)
{
    TQ8_HANDLE v = Remote(77, true);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(IsDeviceRemoteTQ8(v), 1);
    EXPECT_EQ(IsDeviceVirtualTQ8(v), 1);
    EXPECT_EQ(Serial(v), 77u);
    TQ8_HANDLE bySerial = Remote(kBoardB);
    ASSERT_NE(bySerial, nullptr);
    EXPECT_EQ(Serial(bySerial), kBoardB);
    EXPECT_EQ(IsDeviceVirtualTQ8(bySerial), 0);
    TQ8_HANDLE byOrdinal = Remote(1);
    ASSERT_NE(byOrdinal, nullptr);
    EXPECT_EQ(Serial(byOrdinal), kBoardA);

    wchar_t* server = nullptr;
    uint32_t port = 0;
    ASSERT_EQ(GetHostServerInfoWTQ8(byOrdinal, &server, &port), TQ8_OK);
    EXPECT_STREQ(server, L"127.0.0.1");
    EXPECT_EQ(port, m_host->Port());
    FreeMemoryTQ8(server);

    const TQ8_REMOTE_CONN_INFO conn = Record();
    TQ8_HANDLE none = nullptr;
    EXPECT_EQ(ConnectToRemoteDeviceWTQ8(&none, 9999, &conn), TQ8_ERR_DEVICE_NOT_FOUND);
    EXPECT_EQ(none, nullptr);
}

TEST_F(RemoteBoardTest, CountsTheServersBoardsWithAndWithoutTheList)
{
    uint32_t* serials = nullptr;
    ASSERT_EQ(GetRemoteDeviceCountWTQ8(L"127.0.0.1", m_host->Port(), &serials), 2);
    ASSERT_NE(serials, nullptr);
    EXPECT_EQ(serials[0], kBoardA);
    EXPECT_EQ(serials[1], kBoardB);
    EXPECT_EQ(FreeMemoryTQ8(serials), TQ8_OK);
    EXPECT_EQ(GetRemoteDeviceCountWTQ8(L"127.0.0.1", m_host->Port(), nullptr), 2);
    EXPECT_TRUE(ServerHandlesBecome(kBoardA, 0));
}

// A name that does not resolve, a numeric address that is none and a port
// nobody listens on each say which; the last with the connect's error.
TEST_F(RemoteBoardTest, AnUnknownNameAMalformedAddressOrAClosedPortSayWhich)
{
    const TQ8_REMOTE_CONN_INFO unknown = Record(L"no-such-host.invalid");
    TQ8_HANDLE h = nullptr;
    EXPECT_EQ(ConnectToRemoteDeviceWTQ8(&h, kBoardA, &unknown), TQ8_ERR_SERVER_NOT_FOUND);
    EXPECT_EQ(GetRemoteDeviceCountWTQ8(L"no-such-host.invalid", 3494, nullptr), TQ8_ERR_SERVER_NOT_FOUND);
    const TQ8_REMOTE_CONN_INFO malformed = Record(L"127.0.0.300");
    EXPECT_EQ(ConnectToRemoteVirtualDeviceWTQ8(&h, 77, 1, &malformed), TQ8_ERR_SERVER_ADDRESS_INVALID);
    EXPECT_EQ(GetRemoteDeviceCountWTQ8(L"1.2.3.4.5", 3494, nullptr), TQ8_ERR_SERVER_ADDRESS_INVALID);

    TQ8_REMOTE_CONN_INFO closed = Record();
    closed.port = srvtest::FreePort();
    errno = 0;
    EXPECT_EQ(ConnectToRemoteDeviceWTQ8(&h, kBoardA, &closed), TQ8_ERR_SERVER_UNREACHABLE);
    EXPECT_EQ(errno, ECONNREFUSED);
    errno = 0;
    EXPECT_EQ(GetRemoteDeviceCountWTQ8(L"127.0.0.1", closed.port, nullptr), TQ8_ERR_SERVER_UNREACHABLE);
    EXPECT_EQ(errno, ECONNREFUSED);
    EXPECT_EQ(h, nullptr);
    // Any other result leaves no reason behind.
    EXPECT_EQ(GetRemoteDeviceCountWTQ8(L"127.0.0.1", m_host->Port(), nullptr), 2);
    EXPECT_EQ(errno, 0);
}

TEST_F(RemoteBoardTest, SettersRealignOnTheServerAndCachedGettersStayLocal)
{
    TQ8_HANDLE h = Remote(kBoardA);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(SetInternalAdcClockRateTQ8(h, 1000.4), TQ8_OK);
    ASSERT_EQ(SetTriggerLevelATQ8(h, 99), TQ8_OK);
    EXPECT_EQ(SetInternalAdcClockRateTQ8(h, 100.0), TQ8_ERR_RATE_TOO_LOW);

    const uint64_t sent = TQ8Sim_RemoteMessagesSent();
    double rate = 0;
    ASSERT_EQ(GetInternalAdcClockRateTQ8(h, &rate, 1), TQ8_OK);
    EXPECT_EQ(GetTriggerLevelATQ8(h, 1), 99);
    EXPECT_EQ(TQ8Sim_RemoteMessagesSent(), sent);

    // The board on the server has what the copy shows.
    TQ8_HANDLE local = nullptr;
    ASSERT_EQ(ConnectToDeviceTQ8(&local, kBoardA), TQ8_OK);
    double there = 0;
    ASSERT_EQ(GetInternalAdcClockRateTQ8(local, &there, 1), TQ8_OK);
    EXPECT_EQ(rate, there);
    EXPECT_EQ(rate, 1000.0);
    EXPECT_EQ(GetTriggerLevelATQ8(local, 1), 99);

    char* text = nullptr;
    ASSERT_EQ(SaveSettingsToStringXmlATQ8(local, 0, &text), TQ8_OK);
    ASSERT_EQ(SetTriggerLevelATQ8(h, 12), TQ8_OK);
    ASSERT_EQ(LoadSettingsFromStringXmlATQ8(h, 0, text), TQ8_OK);
    EXPECT_EQ(GetTriggerLevelATQ8(local, 1), 99);
    FreeMemoryTQ8(text);
    DisconnectFromDeviceTQ8(local);
}

TEST_F(RemoteBoardTest, SettingsFilesStayOnTheClient)
{
    TQ8_HANDLE h = Remote(kBoardB);
    ASSERT_NE(h, nullptr);
    const std::wstring path = fs::path(m_root + "/client.tq8set").wstring();
    ASSERT_EQ(SetTriggerLevelBTQ8(h, 201), TQ8_OK);
    ASSERT_EQ(SaveSettingsToFileXmlWTQ8(h, 0, path.c_str(), nullptr), TQ8_OK);
    ASSERT_EQ(SetTriggerLevelBTQ8(h, 5), TQ8_OK);
    ASSERT_EQ(LoadSettingsFromFileXmlWTQ8(h, 0, path.c_str()), TQ8_OK);
    TQ8_HANDLE local = nullptr;
    ASSERT_EQ(ConnectToDeviceTQ8(&local, kBoardB), TQ8_OK);
    EXPECT_EQ(GetTriggerLevelBTQ8(local, 1), 201); // the text went to the board
    DisconnectFromDeviceTQ8(local);
}

TEST_F(RemoteBoardTest, StandbyFromTheUiHandleEndsAnAcquisitionOnTheDuplicate)
{
    TQ8_HANDLE ui = Remote(kBoardA);
    ASSERT_NE(ui, nullptr);
    TQ8_HANDLE worker = Duplicate(ui);
    ASSERT_NE(worker, nullptr);
    EXPECT_EQ(IsDeviceRemoteTQ8(worker), 1);
    int32_t rc = 1;
    std::thread t = BlockedAcquisition(worker, ui, rc);
    const auto start = Clock::now();
    ASSERT_EQ(SetOperatingModeTQ8(ui, TQ8_MODE_STANDBY), TQ8_OK);
    t.join();
    EXPECT_LT(MsSince(start), 2000);
    EXPECT_EQ(rc, TQ8_ERR_CANCELLED);
    EXPECT_TRUE(InIdleModeTQ8(ui));
}

TEST_F(RemoteBoardTest, StandbyOnTheHandleBlockedInACallTakesAConnectionOfItsOwn)
{
    TQ8_HANDLE h = Remote(kBoardA);
    ASSERT_NE(h, nullptr);
    TQ8_HANDLE probe = nullptr;
    ASSERT_EQ(ConnectToDeviceTQ8(&probe, kBoardA), TQ8_OK);
    int32_t rc = 1;
    std::thread t = BlockedAcquisition(h, probe, rc);
    const auto start = Clock::now();
    EXPECT_EQ(SetOperatingModeTQ8(h, TQ8_MODE_STANDBY), TQ8_OK);
    t.join();
    EXPECT_LT(MsSince(start), 2000);
    EXPECT_EQ(rc, TQ8_ERR_CANCELLED);
    DisconnectFromDeviceTQ8(probe);
}

namespace {

constexpr uint32_t kRecordedSamples = 4 * 65536;

// A recording of kRecordedSamples into the file of files, written on the
// server.
TQ8_REC_SESSION_PARAMS ServerRecording(TQ8_FILE_WRITE_PARAMS& files, const char* path)
{
    files = TQ8_FILE_WRITE_PARAMS{};
    files.Fwp_ss = sizeof files;
    files.Fwp_flags = TQ8_FWP_FLAG_DEFAULT;
    files.Fwp_path1 = path;
    TQ8_REC_SESSION_PARAMS params{};
    params.Rsp_ss = sizeof params;
    params.Rsp_flags = TQ8_RSP_FLAGS_TO_HOST;
    params.Rsp_acqSamples = 65536;
    params.Rsp_samplesToRecord = kRecordedSamples;
    params.Rsp_fileWrite = &files;
    return params;
}

// One poll of the session's progress; its result in rc.
TQ8_REC_SESSION_PROGRESS Poll(TQ8_REC_SESSION session, int32_t& rc)
{
    TQ8_REC_SESSION_PROGRESS progress{};
    progress.Rpr_ss = sizeof progress;
    rc = GetRecordingSessionProgressTQ8(session, &progress, 0);
    FreeMemoryTQ8(progress.Rpr_errorText);
    progress.Rpr_errorText = nullptr;
    return progress;
}

// Polls every pauseMs until the session has ended or a poll fails.
TQ8_REC_SESSION_PROGRESS PollUntilEnded(TQ8_REC_SESSION session, int32_t& rc, unsigned pauseMs)
{
    TQ8_REC_SESSION_PROGRESS progress{};
    for (int i = 0; i < 500; ++i) {
        progress = Poll(session, rc);
        if (rc != TQ8_OK || progress.Rpr_status >= TQ8_REC_STATUS_COMPLETED)
            break;
        usleep(pauseMs * 1000);
    }
    return progress;
}

} // namespace

TEST_F(RemoteBoardTest, RecordingsAreWrittenOnTheServerInsideItsServedFolders)
{
    setenv("HOME", m_root.c_str(), 1); // the board service serves the home folder
    fs::create_directories(m_root + "/rec");
    TQ8_HANDLE h = Remote(kBoardA);
    ASSERT_NE(h, nullptr);
    TQ8_FILE_WRITE_PARAMS files{};
    TQ8_REC_SESSION_PARAMS params = ServerRecording(files, "C:\\rec\\x.rd8");
    TQ8_REC_SESSION session = nullptr;
    ASSERT_EQ(CreateRecordingSessionTQ8(h, &params, &session), TQ8_OK);
    ASSERT_EQ(ArmRecordingSessionTQ8(session), TQ8_OK);
    int32_t rc = TQ8_OK;
    const TQ8_REC_SESSION_PROGRESS progress = PollUntilEnded(session, rc, 10);
    ASSERT_EQ(rc, TQ8_OK);
    EXPECT_EQ(progress.Rpr_status, TQ8_REC_STATUS_COMPLETED);
    EXPECT_EQ(progress.Rpr_samplesRecorded, kRecordedSamples);
    uint32_t flags = 99;
    EXPECT_EQ(GetRecordingSessionOutFlagsTQ8(session, &flags), TQ8_OK);
    EXPECT_EQ(DeleteRecordingSessionTQ8(session), TQ8_OK);
    EXPECT_EQ(ArmRecordingSessionTQ8(session), TQ8_ERR_INVALID_HANDLE);
    EXPECT_EQ(fs::file_size(m_root + "/rec/x.rd8"), kRecordedSamples);
    EXPECT_TRUE(fs::exists(m_root + "/rec/x.rd8.vrdc"));

    // Outside the served folders: refused, and nothing written anywhere.
    const std::string outside = m_root + "/../outside-" + std::to_string(getpid()) + ".rd8";
    for (const char* path : {"C:\\..\\escape.rd8", "Q:\\x.rd8", outside.c_str()}) {
        files.Fwp_path1 = path;
        EXPECT_EQ(CreateRecordingSessionTQ8(h, &params, &session), TQ8_ERR_PATH_NOT_SERVED) << path;
    }
    EXPECT_FALSE(fs::exists(outside));
    EXPECT_FALSE(fs::exists(fs::path(m_root).parent_path() / "escape.rd8"));
}

// The server says why it refuses a path, naming it; and its library why it
// refuses a setting. Recordings and saves alike.
TEST_F(RemoteBoardTest, RefusedPathsAndSettingsAreExplained)
{
    setenv("HOME", m_root.c_str(), 1);
    TQ8_HANDLE h = Remote(kBoardA);
    ASSERT_NE(h, nullptr);
    TQ8_FILE_WRITE_PARAMS files{};
    files.Fwp_ss = sizeof files;
    files.Fwp_flags = TQ8_FWP_FLAG_DEFAULT;
    TQ8_REC_SESSION_PARAMS params{};
    params.Rsp_ss = sizeof params;
    params.Rsp_flags = TQ8_RSP_FLAGS_TO_HOST;
    params.Rsp_acqSamples = 65536;
    params.Rsp_fileWrite = &files;
    // "code text" of the recording's and the save's check.
    const auto why = [&](bool recording) {
        wchar_t* text = nullptr;
        const int32_t rc = recording ? GetRecordingSessionErrorWTQ8(h, &params, &text)
                                     : GetFileWriteErrorWTQ8(h, &files, &text);
        const std::string out = std::to_string(rc) + " " + (text ? vlt::WideToUtf8(text) : "(none)");
        FreeMemoryTQ8(text);
        return out;
    };
    const std::string notServed = std::to_string(TQ8_ERR_PATH_NOT_SERVED) + " ";
    const std::string tooLong = "C:\\" + std::string(120, 'f') + "\\" + std::string(126, 'a');
    struct Case {
        std::string path;
        std::string expected;
    };
    const Case cases[] = {
        {"rel.rd8", notServed + "\"rel.rd8\" is not a path on the board's server. A remote board writes its files "
                                "on its server and needs a path there, such as C:\\recs\\file.rd8."},
        {"Q:\\x.rd8", notServed + "\"Q:\\x.rd8\" is outside the folders the server shares."},
        {tooLong, std::to_string(TQ8_ERR_FILE_WRITE) + " The path \"" + tooLong
                      + "\" is 250 characters long; the server takes paths of at most 249 characters."},
        {"C:\\fine.rd8", "0 (none)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        files.Fwp_path1 = c.path.c_str();
        EXPECT_EQ(why(true), c.expected);
        EXPECT_EQ(why(false), c.expected);
        TQ8_REC_SESSION session = nullptr;
        EXPECT_EQ(CreateRecordingSessionTQ8(h, &params, &session), std::stoi(c.expected));
        DeleteRecordingSessionTQ8(session);
    }
    ASSERT_EQ(SetActiveChannelsTQ8(h, 0), TQ8_OK); // four channels
    params.Rsp_acqSamples = 2;
    EXPECT_EQ(why(true), std::to_string(TQ8_ERR_INVALID_ARG) + " The acquisition size of 2 samples is less than one "
                                                              "sample for each of the 4 active channels.");
    EXPECT_FALSE(fs::exists(m_root + "/fine.rd8"));
}

// A full host lets other computers in, but never by ending the connection
// of a board that records: between its polls that connection is idle, and
// its end would delete the recording.
TEST_F(RemoteBoardTest, ARecordingOutlastsNewcomersFillingTheHost)
{
    constexpr unsigned kPollMs = 1000;
    constexpr int kHostLimit = 4;
    constexpr int kLateComers = 3;
    setenv("HOME", m_root.c_str(), 1);
    fs::create_directories(m_root + "/rec");
    ServiceHostOptions limits;
    limits.maxConnections = kHostLimit;
    m_host.reset();
    m_host = std::make_unique<RemoteTestHost>(m_root, 0, limits);
    ASSERT_TRUE(m_host->Started());
    const auto served = [](int fd, const std::string& request) {
        std::string reply;
        return fd >= 0 && srvtest::WriteAll(fd, srvtest::Frame(request)) && srvtest::ReadFrame(fd, reply)
            && reply == kReplySuccess;
    };
    std::vector<int> clients;
    // A connection is busy for a moment after its reply has gone; a newcomer
    // that found nobody to take the place of was refused and tries again.
    const auto newcomer = [&](const std::string& address) {
        for (int attempt = 0; attempt < 200; ++attempt) {
            const int fd = srvtest::ConnectLoopbackFrom(address.c_str(), m_host->Port());
            if (served(fd, srvtest::ConnectRequest()) && served(fd, srvtest::kPing)) {
                clients.push_back(fd);
                return true;
            }
            if (fd >= 0)
                close(fd);
            usleep(10000);
        }
        return false;
    };

    TQ8_HANDLE h = Remote(kBoardA);
    ASSERT_NE(h, nullptr);
    TQ8_FILE_WRITE_PARAMS files{};
    TQ8_REC_SESSION_PARAMS params = ServerRecording(files, "C:\\rec\\held.rd8");
    TQ8_REC_SESSION session = nullptr;
    ASSERT_EQ(CreateRecordingSessionTQ8(h, &params, &session), TQ8_OK);
    ASSERT_EQ(ArmRecordingSessionTQ8(session), TQ8_OK);
    // The recording's computer holds one more connection, which only pings:
    // its address is the busiest. Two other computers fill the host.
    ASSERT_TRUE(newcomer("127.0.0.1"));
    for (int i = 0; clients.size() + 1 < static_cast<size_t>(kHostLimit); ++i)
        ASSERT_TRUE(newcomer("127.0.0." + std::to_string(2 + i)));

    // After each poll every other connection speaks (those still served):
    // the recording's connection is the longest idle; then another computer
    // comes.
    int32_t rc = TQ8_OK;
    for (int i = 0; i < kLateComers; ++i) {
        usleep(kPollMs * 1000);
        Poll(session, rc);
        ASSERT_EQ(rc, TQ8_OK) << "poll " << i;
        for (int fd : clients)
            served(fd, srvtest::kPing);
        EXPECT_TRUE(newcomer("127.0.1." + std::to_string(1 + i))) << i;
    }
    const TQ8_REC_SESSION_PROGRESS progress = PollUntilEnded(session, rc, kPollMs);
    ASSERT_EQ(rc, TQ8_OK);
    EXPECT_EQ(progress.Rpr_status, TQ8_REC_STATUS_COMPLETED);
    EXPECT_EQ(progress.Rpr_samplesRecorded, kRecordedSamples);
    EXPECT_EQ(DeleteRecordingSessionTQ8(session), TQ8_OK);
    EXPECT_EQ(fs::file_size(m_root + "/rec/held.rd8"), kRecordedSamples);
    for (int fd : clients)
        close(fd);
}

TEST_F(RemoteBoardTest, TimeStampFilesNamedByALinkOutOfTheServedFoldersAreRefused)
{
    setenv("HOME", (m_root + "/served").c_str(), 1);
    fs::create_directories(m_root + "/served");
    const std::string outside = m_root + "/outside.txt";
    std::ofstream(outside) << "keep";
    // The recording's own name is inside; the time-stamp file's name beside it leads out.
    fs::create_symlink(outside, m_root + "/served/x.tq8ts");
    fs::create_symlink(outside, m_root + "/served/y.tq8ts.txt");
    TQ8_HANDLE h = Remote(kBoardA);
    ASSERT_NE(h, nullptr);
    TQ8_FILE_WRITE_PARAMS files{};
    files.Fwp_ss = sizeof files;
    TQ8_REC_SESSION_PARAMS params{};
    params.Rsp_ss = sizeof params;
    params.Rsp_flags = TQ8_RSP_FLAGS_TO_HOST;
    params.Rsp_acqSamples = 65536;
    params.Rsp_samplesToRecord = 65536;
    params.Rsp_fileWrite = &files;
    struct Case {
        uint32_t flags;
        const char* path;
        const char* timestamps;
    };
    for (const Case& c : {Case{TQ8_FWP_TS_BINARY, "C:\\x.rd8", nullptr}, Case{TQ8_FWP_TS_TEXT, "C:\\z.rd8", "C:\\y"},
                          Case{TQ8_FWP_TS_BINARY, "C:\\z.rd8", "C:\\x.tq8ts"}}) {
        files.Fwp_flags = c.flags;
        files.Fwp_path1 = c.path;
        files.Fwp_tsPath = c.timestamps;
        TQ8_REC_SESSION session = nullptr;
        EXPECT_EQ(CreateRecordingSessionTQ8(h, &params, &session), TQ8_ERR_PATH_NOT_SERVED) << c.path;
        if (session)
            DeleteRecordingSessionTQ8(session);
    }
    std::string kept;
    std::ifstream(outside) >> kept;
    EXPECT_EQ(kept, "keep");
}

TEST_F(RemoteBoardTest, DisconnectingAHandleBlockedInACallReturnsAtOnce)
{
    TQ8_HANDLE ui = Remote(kBoardA);
    ASSERT_NE(ui, nullptr);
    TQ8_HANDLE worker = Duplicate(ui);
    int32_t rc = 1;
    std::thread t = BlockedAcquisition(worker, ui, rc);
    const auto start = Clock::now();
    Disconnect(worker);
    t.join();
    EXPECT_LT(MsSince(start), 2000);
    EXPECT_EQ(rc, TQ8_ERR_CANCELLED);
    // The server ends its side of the acquisition and releases that handle.
    EXPECT_TRUE(ServerHandlesBecome(kBoardA, 1));
    WaitForMode(ui, TQ8_MODE_STANDBY);
}

TEST_F(RemoteBoardTest, ReadsSampleMemoryInChunksSynchronouslyAndAsynchronously)
{
    TQ8_HANDLE h = Remote(kBoardA);
    ASSERT_NE(h, nullptr);
    constexpr uint32_t kBytes = 3 * 1048576 + 4096; // several chunks, the last one short
    ASSERT_EQ(SetActiveMemoryRegionTQ8(h, kBytes, 0), TQ8_OK);
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, kBytes, 0, 0), TQ8_OK);
    std::vector<uint8_t> expected(kBytes), sync(kBytes), async(kBytes);
    TQ8_HANDLE local = nullptr;
    ASSERT_EQ(ConnectToDeviceTQ8(&local, kBoardA), TQ8_OK);
    ASSERT_EQ(ReadSampleRamBufTQ8(local, 0, kBytes, expected.data(), 0), TQ8_OK);
    DisconnectFromDeviceTQ8(local);

    ASSERT_EQ(ReadSampleRamBufTQ8(h, 0, kBytes, sync.data(), 0), TQ8_OK);
    EXPECT_EQ(sync, expected);
    ASSERT_EQ(ReadSampleRamBufTQ8(h, 0, kBytes, async.data(), 1), TQ8_OK);
    EXPECT_EQ(WaitForTransferCompleteTQ8(h, 30000), TQ8_OK);
    EXPECT_EQ(async, expected);
    EXPECT_EQ(WaitForTransferCompleteTQ8(h, 0), TQ8_OK); // nothing pending

    uint8_t* dma = nullptr;
    ASSERT_EQ(AllocateDmaBufferTQ8(h, 65536, &dma), TQ8_OK);
    ASSERT_EQ(ReadSampleRamFastTQ8(h, 4096, 65536, dma, 0), TQ8_OK);
    EXPECT_EQ(std::memcmp(dma, expected.data() + 4096, 65536), 0);
    FreeDmaBufferTQ8(h, dma);
}

TEST_F(RemoteBoardTest, AnAsyncReadThatTimesOutWritesNothingAfterTheWait)
{
    TQ8_HANDLE h = Remote(kBoardA);
    ASSERT_NE(h, nullptr);
    constexpr uint32_t kBytes = 64u << 20;
    std::vector<uint8_t> buffer(kBytes, 0xA5);
    ASSERT_EQ(ReadSampleRamBufTQ8(h, 0, kBytes, buffer.data(), 1), TQ8_OK);
    ASSERT_EQ(WaitForTransferCompleteTQ8(h, 1), TQ8_ERR_TIMEOUT);
    const std::vector<uint8_t> after = buffer;
    usleep(200000);
    EXPECT_EQ(buffer, after);
    // The handle goes on working over a new connection.
    EXPECT_EQ(SetTriggerLevelATQ8(h, 40), TQ8_OK);
    EXPECT_EQ(GetTriggerLevelATQ8(h, 1), 40);
}

TEST_F(RemoteBoardTest, ServiceRequestsReachTheFileServiceOnTheBoardsConnection)
{
    fs::create_directories(m_root + "/rec");
    srvtest::WriteTextFile(m_root + "/rec/a.rd8", "12345");
    TQ8_HANDLE h = Remote(kBoardA);
    ASSERT_NE(h, nullptr);
    const std::string request = "<VltServiceRequest><Call method=\"FSW32_REMOTE_ENUM_FILES\"><Parameters>"
                                "<Directory>C:\\rec</Directory></Parameters></Call></VltServiceRequest>";
    void* reply = nullptr;
    ASSERT_EQ(SendServiceRequestTQ8(h, request.data(), static_cast<uint32_t>(request.size()), &reply, 20000, 0),
              TQ8_OK);
    ASSERT_NE(reply, nullptr);
    std::string count;
    EXPECT_EQ(XPathGetString(static_cast<xmlDocPtr>(reply), "/VltServiceResponse/ReturnData/FileCount", count), 0);
    EXPECT_EQ(count, "1");
    EXPECT_EQ(FreeServiceResponseTQ8(reply), TQ8_OK);
    EXPECT_EQ(FreeServiceResponseTQ8(reply), TQ8_ERR_INVALID_ARG); // not twice
    int unknown = 0;
    EXPECT_EQ(FreeServiceResponseTQ8(&unknown), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(FreeServiceResponseTQ8(nullptr), TQ8_OK);

    TQ8_HANDLE virtualLocal = nullptr;
    ASSERT_EQ(ConnectToVirtualDeviceTQ8(&virtualLocal, 5, 1), TQ8_OK);
    EXPECT_EQ(SendServiceRequestTQ8(virtualLocal, request.data(), static_cast<uint32_t>(request.size()), &reply,
                                    3000, 0),
              TQ8_ERR_NOT_SUPPORTED);
    EXPECT_EQ(reply, nullptr);
    DisconnectFromDeviceTQ8(virtualLocal);
}

TEST_F(RemoteBoardTest, ARequestThatTimesOutLeavesNoReplyForTheNextCall)
{
    TQ8_HANDLE h = Remote(kBoardA);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(SetTriggerSourceTQ8(h, 4), TQ8_OK);
    // An acquisition that waits for a trigger that never comes.
    const std::string slow = "<VltServiceRequest><Call method=\"TQ8_ACQUIRE\"><Parameters><Target>0</Target>"
                             "<Start>0</Start><Count>65536</Count></Parameters></Call></VltServiceRequest>";
    void* reply = nullptr;
    EXPECT_EQ(SendServiceRequestTQ8(h, slow.data(), static_cast<uint32_t>(slow.size()), &reply, 200, 0),
              TQ8_ERR_TIMEOUT);
    EXPECT_EQ(reply, nullptr);
    // The late reply (a Result) is never taken for this call's answer.
    ASSERT_EQ(SetTriggerLevelATQ8(h, 17), TQ8_OK);
    EXPECT_EQ(GetTriggerLevelATQ8(h, 1), 17);
    EXPECT_TRUE(ServerHandlesBecome(kBoardA, 1));
}

TEST_F(RemoteBoardTest, ServerHandlesAreReleasedWhenClientsDisconnect)
{
    TQ8_HANDLE a = Remote(kBoardA);
    TQ8_HANDLE b = Remote(kBoardA);
    TQ8_HANDLE d = Duplicate(a);
    ASSERT_TRUE(a && b && d);
    EXPECT_TRUE(ServerHandlesBecome(kBoardA, 3));
    Disconnect(d);
    Disconnect(a);
    Disconnect(b);
    EXPECT_TRUE(ServerHandlesBecome(kBoardA, 0));
}

// The service host stopped and started again on its port while a client
// holds a virtual board (which goes with the host's end of the connection):
// the next call connects again and gives the new board the client's
// settings first, or fails; never the defaults taken for the client's.
TEST_F(RemoteBoardTest, AfterAHostRestartTheBoardHasTheClientsSettingsOrTheCallFails)
{
    constexpr uint32_t kVirtual = 4301;
    TQ8_HANDLE h = Remote(kVirtual, true);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(SetTriggerLevelATQ8(h, 99), TQ8_OK);
    const uint16_t port = m_host->Port();
    auto restart = [&] {
        m_host.reset();
        TQ8SIM_SIGNAL signal{};
        signal.size = sizeof signal;
        EXPECT_EQ(TQ8Sim_GetSignal(kVirtual, 0, &signal), TQ8_ERR_DEVICE_NOT_FOUND); // the board is gone
        m_host = std::make_unique<RemoteTestHost>(m_root, port);
        ASSERT_TRUE(m_host->Started());
    };
    auto serverLevel = [] {
        TQ8_HANDLE local = nullptr;
        EXPECT_EQ(ConnectToVirtualDeviceTQ8(&local, kVirtual, 1), TQ8_OK);
        const int32_t level = GetTriggerLevelATQ8(local, 1);
        DisconnectFromDeviceTQ8(local);
        return level;
    };
    uint32_t value = 0;
    restart();
    ASSERT_EQ(ReadDeviceRegTQ8(h, 0, &value, 0, 0), TQ8_OK);
    EXPECT_EQ(GetTriggerLevelATQ8(h, 0), 99);
    EXPECT_EQ(serverLevel(), 99);

    // A server that cannot take them: the call fails and says why.
    restart();
    ASSERT_EQ(TQ8Sim_InjectResult("LoadSettingsFromStringXmlATQ8", TQ8_ERR_BAD_SETTINGS, 1), TQ8_OK);
    EXPECT_EQ(ReadDeviceRegTQ8(h, 0, &value, 0, 0), TQ8_ERR_SETTINGS_NOT_RESTORED);
    wchar_t* text = nullptr;
    ASSERT_EQ(GetErrorTextWTQ8(TQ8_ERR_SETTINGS_NOT_RESTORED, &text, 0, h), TQ8_OK);
    EXPECT_STREQ(text, L"Connection to the server was lost and the board's settings could not be restored");
    FreeMemoryTQ8(text);
    EXPECT_EQ(GetTriggerLevelATQ8(h, 0), 99);
    // The next call tries again.
    ASSERT_EQ(ReadDeviceRegTQ8(h, 0, &value, 0, 0), TQ8_OK);
    EXPECT_EQ(serverLevel(), 99);

    // A new handle of the board (an acquisition thread's) restores them too.
    restart();
    ASSERT_NE(Duplicate(h), nullptr);
    EXPECT_EQ(serverLevel(), 99);
}

TEST_F(RemoteBoardTest, RegistersTimeStampsAndEepromReachTheServersBoard)
{
    TQ8_HANDLE h = Remote(kBoardA);
    ASSERT_NE(h, nullptr);
    TQ8_HANDLE local = nullptr;
    ASSERT_EQ(ConnectToDeviceTQ8(&local, kBoardA), TQ8_OK);
    // Device register 4 holds trigger level A: the settings copy follows.
    ASSERT_EQ(WriteDeviceRegTQ8(h, 4, 0xFF, 77, 0, 0, 0), TQ8_OK);
    EXPECT_EQ(GetTriggerLevelATQ8(h, 1), 77);
    EXPECT_EQ(GetTriggerLevelATQ8(local, 1), 77);
    uint32_t value = 0;
    ASSERT_EQ(ReadDeviceRegTQ8(h, 4, &value, 2, 0), TQ8_OK);
    EXPECT_EQ(value & 0xFF, 77u);
    const uint32_t* remoteWords = nullptr;
    const uint32_t* localWords = nullptr;
    ASSERT_EQ(GetRegSetTQ8(h, 1, &remoteWords), TQ8_OK);
    ASSERT_EQ(GetRegSetTQ8(local, 1, &localWords), TQ8_OK);
    EXPECT_EQ(std::memcmp(remoteWords, localWords, TQ8_REGSET_CLOCKGEN_WORDS * 4), 0);
    EXPECT_EQ(WriteDeviceRegTQ8(h, 11, 1, 1, 0, 0, 0), TQ8_ERR_INVALID_ARG); // read-only, as locally

    uint16_t word = 0;
    ASSERT_EQ(InternWriteConfigEepromTQ8(h, 0x47, 0x1234), TQ8_OK);
    ASSERT_EQ(InternReadConfigEepromTQ8(local, 0x47, &word), TQ8_OK);
    EXPECT_EQ(word, 0x1234);

    uint32_t depth = 0, localDepth = 0;
    ASSERT_EQ(GetTimestampFifoDepthTQ8(h, &depth), TQ8_OK);
    ASSERT_EQ(GetTimestampFifoDepthTQ8(local, &localDepth), TQ8_OK);
    EXPECT_EQ(depth, localDepth);
    ASSERT_EQ(SetTimestampModeTQ8(h, 2), TQ8_OK);
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 65536, 0, 0), TQ8_OK);
    const int32_t waiting = GetTimestampAvailabilityTQ8(h);
    EXPECT_EQ(waiting, GetTimestampAvailabilityTQ8(local));
    std::vector<uint64_t> stamps(16);
    uint32_t count = 99;
    ASSERT_EQ(ReadTimestampDataTQ8(h, stamps.data(), 16, &count, 0, 0, nullptr), TQ8_OK);
    EXPECT_EQ(count, static_cast<uint32_t>(std::min(waiting, 16)));
    EXPECT_EQ(ResetTimestampFifoTQ8(h), TQ8_OK);
    EXPECT_EQ(GetTimestampAvailabilityTQ8(local), 0);
    DisconnectFromDeviceTQ8(local);
}

// The server in a process of its own, killed in the middle of a call.
TEST_F(RemoteBoardTest, AKilledServerGivesTheLostConnectionCodeQuickly)
{
    const uint16_t port = srvtest::FreePort();
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string portText = std::to_string(port);
    const std::string serialText = std::to_string(5001);
    char* argv[] = {const_cast<char*>(TQ8_TEST_HOST), portText.data(), m_root.data(), const_cast<char*>(serialText.c_str()),
                    nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, TQ8_TEST_HOST, &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    char ready[6] = {};
    ASSERT_EQ(read(out[0], ready, 5), 5);
    close(out[0]);
    ASSERT_STREQ(ready, "ready");

    TQ8_REMOTE_CONN_INFO conn = Record();
    conn.port = port;
    TQ8_HANDLE ui = nullptr;
    ASSERT_EQ(ConnectToRemoteDeviceWTQ8(&ui, 5001, &conn), TQ8_OK);
    m_handles.push_back(ui);
    TQ8_HANDLE worker = Duplicate(ui);
    int32_t rc = 1;
    std::thread t = BlockedAcquisition(worker, ui, rc);
    const auto start = Clock::now();
    kill(pid, SIGKILL);
    t.join();
    waitpid(pid, nullptr, 0);
    EXPECT_EQ(rc, TQ8_ERR_CONNECTION_LOST);
    EXPECT_EQ(SetTriggerLevelATQ8(ui, 3), TQ8_ERR_CONNECTION_LOST);
    EXPECT_LT(MsSince(start), 3000);
}

namespace {

// Progress seen by a save's call-back; cancels at the call numbered cancelAt.
struct SaveProgress {
    std::vector<uint64_t> done;
    std::thread::id thread;
    size_t cancelAt = 0;
    static int32_t Callback(TQ8_HANDLE, void* context, uint32_t file, uint32_t, uint32_t, uint64_t done, uint32_t,
                            uint64_t total)
    {
        auto& p = *static_cast<SaveProgress*>(context);
        p.thread = std::this_thread::get_id();
        EXPECT_EQ(file, 1u);
        EXPECT_GT(total, 0u);
        p.done.push_back(done);
        return p.done.size() == p.cancelAt ? TQ8_ERR_CANCELLED : TQ8_OK;
    }
};

TQ8_FILE_WRITE_PARAMS SaveRecord(const char* path, SaveProgress& progress, uint32_t flags = 0)
{
    TQ8_FILE_WRITE_PARAMS files{};
    files.Fwp_ss = sizeof files;
    files.Fwp_flags = flags;
    files.Fwp_path1 = path;
    files.Fwp_progressCb = reinterpret_cast<void*>(&SaveProgress::Callback);
    files.Fwp_progressCtx = &progress;
    return files;
}

std::vector<uint8_t> FileBytes(const std::string& path)
{
    std::vector<uint8_t> bytes(fs::exists(path) ? fs::file_size(path) : 0);
    FILE* f = fopen(path.c_str(), "rb");
    if (f) {
        EXPECT_EQ(fread(bytes.data(), 1, bytes.size(), f), bytes.size());
        fclose(f);
    }
    return bytes;
}

} // namespace

TEST_F(RemoteBoardTest, BoardMemorySavesAreWrittenOnTheServerWithProgressOnTheClient)
{
    setenv("HOME", m_root.c_str(), 1);
    fs::create_directories(m_root + "/save");
    TQ8_HANDLE h = Remote(kBoardA);
    ASSERT_NE(h, nullptr);
    constexpr uint32_t kBytes = 2 * 1048576 + 4096;
    ASSERT_EQ(SetActiveMemoryRegionTQ8(h, kBytes, 0), TQ8_OK);
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, kBytes, 0, 0), TQ8_OK);
    std::vector<uint8_t> expected(kBytes);
    ASSERT_EQ(ReadSampleRamBufTQ8(h, 0, kBytes, expected.data(), 0), TQ8_OK);

    SaveProgress buf;
    TQ8_FILE_WRITE_PARAMS files = SaveRecord("C:\\save\\buf.rd8", buf, TQ8_FWP_FLAG_DEFAULT);
    ASSERT_EQ(ReadSampleRamFileBufTQ8(h, 0, kBytes, &files), TQ8_OK);
    EXPECT_EQ(FileBytes(m_root + "/save/buf.rd8"), expected);
    EXPECT_TRUE(fs::exists(m_root + "/save/buf.rd8.vrdc"));
    ASSERT_GT(buf.done.size(), 2u);
    EXPECT_TRUE(std::is_sorted(buf.done.begin(), buf.done.end()));
    EXPECT_EQ(buf.done.back(), kBytes);
    EXPECT_EQ(buf.thread, std::this_thread::get_id());

    uint8_t* dma = nullptr;
    ASSERT_EQ(AllocateDmaBufferTQ8(h, 65536, &dma), TQ8_OK);
    SaveProgress fast;
    files = SaveRecord("C:\\save\\fast.rd8", fast);
    ASSERT_EQ(ReadSampleRamFileFastTQ8(h, 4096, 65536, dma, 65536, &files), TQ8_OK);
    EXPECT_EQ(FileBytes(m_root + "/save/fast.rd8"),
              std::vector<uint8_t>(expected.begin() + 4096, expected.begin() + 4096 + 65536));
    std::vector<uint8_t> other(65536);
    EXPECT_EQ(ReadSampleRamFileFastTQ8(h, 0, 65536, other.data(), 65536, &files), TQ8_ERR_DMA_BUFFER);
    FreeDmaBufferTQ8(h, dma);
    EXPECT_EQ(ReadSampleRamFileBufTQ8(h, 0, 0, &files), TQ8_ERR_INVALID_ARG);

    // Outside the served folders: refused before any call-back, nothing written.
    const std::string outside = m_root + "/../outside-save-" + std::to_string(getpid()) + ".rd8";
    for (const char* path : {"C:\\..\\escape.rd8", "Q:\\x.rd8", outside.c_str()}) {
        SaveProgress refused;
        files = SaveRecord(path, refused);
        EXPECT_EQ(ReadSampleRamFileBufTQ8(h, 0, 4096, &files), TQ8_ERR_PATH_NOT_SERVED) << path;
        EXPECT_TRUE(refused.done.empty());
    }
    EXPECT_FALSE(fs::exists(outside));
    EXPECT_FALSE(fs::exists(fs::path(m_root).parent_path() / "escape.rd8"));
}

// A path of an option that is off is neither checked nor used: a stale
// channel file or time-stamp path outside the served folders does not
// refuse a save without deinterleaving or time-stamp files.
TEST_F(RemoteBoardTest, PathsOfOptionsThatAreOffAreNotChecked)
{
    setenv("HOME", m_root.c_str(), 1); // the board service serves the home folder
    TQ8_HANDLE h = Remote(kBoardA);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(SetActiveMemoryRegionTQ8(h, 4096, 0), TQ8_OK);
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 4096, 0, 0), TQ8_OK);
    SaveProgress progress;
    TQ8_FILE_WRITE_PARAMS files = SaveRecord("C:\\off.rd8", progress, TQ8_FWP_FLAG_DEFAULT);
    files.Fwp_path2 = "p2.rd8";
    files.Fwp_tsPath = "Q:\\stamps.tq8ts";
    ASSERT_EQ(ReadSampleRamFileBufTQ8(h, 0, 4096, &files), TQ8_OK);
    EXPECT_EQ(FileBytes(m_root + "/off.rd8").size(), 4096u);
    files.Fwp_flags |= TQ8_FWP_DEINTERLEAVE;
    EXPECT_EQ(ReadSampleRamFileBufTQ8(h, 0, 4096, &files), TQ8_ERR_PATH_NOT_SERVED);
    files.Fwp_flags = TQ8_FWP_FLAG_DEFAULT | TQ8_FWP_TS_BINARY;
    EXPECT_EQ(ReadSampleRamFileBufTQ8(h, 0, 4096, &files), TQ8_ERR_PATH_NOT_SERVED);
}

// With two served folders configured, D: is the second one.
TEST_F(RemoteBoardTest, SavesGoToTheServedFolderOfTheirDrive)
{
    const std::string second = m_root + "-second";
    fs::remove_all(second);
    fs::create_directories(second);
    vlt::CServedFolders::Set(std::vector<std::string>{m_root, second});
    struct ResetServedFolders {
        ~ResetServedFolders() { vlt::CServedFolders::Set(std::nullopt); }
    } reset;
    TQ8_HANDLE h = Remote(kBoardA);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(SetActiveMemoryRegionTQ8(h, 4096, 0), TQ8_OK);
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 4096, 0, 0), TQ8_OK);
    SaveProgress progress;
    TQ8_FILE_WRITE_PARAMS files = SaveRecord("D:\\saved.rd8", progress);
    ASSERT_EQ(ReadSampleRamFileBufTQ8(h, 0, 4096, &files), TQ8_OK);
    EXPECT_EQ(FileBytes(second + "/saved.rd8").size(), 4096u);
    files = SaveRecord("E:\\saved.rd8", progress);
    EXPECT_EQ(ReadSampleRamFileBufTQ8(h, 0, 4096, &files), TQ8_ERR_PATH_NOT_SERVED);
}

TEST_F(RemoteBoardTest, DumpsTravelInChunksAndTheCallBackCancelsThem)
{
    setenv("HOME", m_root.c_str(), 1);
    TQ8_HANDLE h = Remote(kBoardA);
    ASSERT_NE(h, nullptr);
    constexpr uint32_t kBytes = 3 * 1048576 + 100; // several chunks, the last one short
    std::vector<uint8_t> data(kBytes);
    for (uint32_t i = 0; i < kBytes; ++i)
        data[i] = static_cast<uint8_t>(i * 7 + (i >> 12));

    SaveProgress whole;
    TQ8_FILE_WRITE_PARAMS files = SaveRecord("C:\\dump.rd8", whole);
    ASSERT_EQ(_DumpRawDataTQ8(h, data.data(), kBytes, &files), TQ8_OK);
    EXPECT_EQ(FileBytes(m_root + "/dump.rd8"), data);
    ASSERT_FALSE(whole.done.empty());
    EXPECT_EQ(whole.done.back(), kBytes);

    // Cancelled at the second call-back: no piece after it is written, and
    // what was written is there.
    SaveProgress cancelled;
    cancelled.cancelAt = 2;
    files = SaveRecord("C:\\cancelled.rd8", cancelled);
    EXPECT_EQ(_DumpRawDataTQ8(h, data.data(), kBytes, &files), TQ8_ERR_CANCELLED);
    ASSERT_EQ(cancelled.done.size(), 2u);
    const std::vector<uint8_t> written = FileBytes(m_root + "/cancelled.rd8");
    EXPECT_EQ(written.size(), cancelled.done[1]);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), data.begin()));

    // The connection goes on: the next save works.
    SaveProgress again;
    files = SaveRecord("C:\\again.rd8", again);
    EXPECT_EQ(_DumpRawDataTQ8(h, data.data(), 4096, &files), TQ8_OK);
    EXPECT_EQ(fs::file_size(m_root + "/again.rd8"), 4096u);
    EXPECT_EQ(_DumpRawDataTQ8(h, nullptr, 4096, &files), TQ8_ERR_INVALID_ARG);
}

TEST_F(RemoteBoardTest, FreshPciAcquisitionsFillTheClientsDmaBufferInChunks)
{
    TQ8_HANDLE h = Remote(kBoardA);
    ASSERT_NE(h, nullptr);
    constexpr uint32_t kBytes = 2 * 1048576 + 4096; // several chunks, the last one short
    uint8_t* dma = nullptr;
    ASSERT_EQ(AllocateDmaBufferTQ8(h, kBytes, &dma), TQ8_OK);
    EXPECT_EQ(GetPciAcquisitionDataFastTQ8(h, kBytes, dma, 1), TQ8_ERR_WRONG_MODE);
    ASSERT_EQ(SetActiveMemoryRegionTQ8(h, 0, 0), TQ8_OK);
    ASSERT_EQ(SetOperatingModeTQ8(h, TQ8_MODE_PCI_BUFFERED_ACQ), TQ8_OK);
    auto changed = [dma](uint32_t from, uint32_t to) {
        return std::count_if(dma + from, dma + to, [](uint8_t v) { return v != 1; });
    };
    for (int async : {0, 1}) {
        std::fill(dma, dma + kBytes, uint8_t{1});
        ASSERT_EQ(GetPciAcquisitionDataFastTQ8(h, kBytes, dma, async), TQ8_OK) << async;
        EXPECT_EQ(WaitForTransferCompleteTQ8(h, 30000), TQ8_OK);
        EXPECT_GT(changed(0, 65536), 60000) << async;
        EXPECT_GT(changed(kBytes - 4096, kBytes), 3500) << async;
    }
    std::vector<uint8_t> plain(4096);
    EXPECT_EQ(GetPciAcquisitionDataFastTQ8(h, 4096, plain.data(), 0), TQ8_ERR_DMA_BUFFER);
    EXPECT_EQ(SetOperatingModeTQ8(h, TQ8_MODE_STANDBY), TQ8_OK);
    FreeDmaBufferTQ8(h, dma);
}

TEST_F(RemoteBoardTest, JtagCodesComeFromTheServersBoardAndAFirmwareFileIsCheckedHere)
{
    TQ8_HANDLE h = Remote(kBoardA);
    ASSERT_NE(h, nullptr);
    TQ8_HANDLE local = nullptr;
    ASSERT_EQ(ConnectToDeviceTQ8(&local, kBoardA), TQ8_OK);
    for (int32_t jumper : {1, 0}) {
        ASSERT_EQ(TQ8Sim_SetJtagJumper(kBoardA, jumper), TQ8_OK);
        char* expected = nullptr;
        char* remote = nullptr;
        ASSERT_EQ(GetJtagIdCodesATQ8(local, &expected), TQ8_OK);
        ASSERT_EQ(GetJtagIdCodesATQ8(h, &remote), TQ8_OK) << jumper;
        EXPECT_STREQ(remote, expected);
        EXPECT_EQ(jumper == 1, std::strlen(remote) > 0);
        FreeMemoryTQ8(remote);
        FreeMemoryTQ8(expected);
    }
    DisconnectFromDeviceTQ8(local);
    EXPECT_EQ(GetJtagIdCodesATQ8(h, nullptr), TQ8_ERR_INVALID_ARG);
    uint32_t out = 0;
    const uint64_t sent = TQ8Sim_RemoteMessagesSent();
    EXPECT_EQ(UploadFirmwareWTQ8(h, L"/nonexistent.tq8fw", 0, &out, nullptr, nullptr), TQ8_ERR_FILE_UNREADABLE);
    EXPECT_EQ(TQ8Sim_RemoteMessagesSent(), sent);
}

TEST_F(RemoteBoardTest, SavesMakeNoFileTheFileServiceCannotRemove)
{
    setenv("HOME", m_root.c_str(), 1);
    TQ8_HANDLE h = Remote(kBoardA);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(SetActiveMemoryRegionTQ8(h, 4096, 0), TQ8_OK);
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 4096, 0, 0), TQ8_OK);
    // Its time-stamp file would be "<stem>.tq8ts.txt", ten characters more.
    const uint32_t withTimestamps = TQ8_FWP_FLAG_DEFAULT | TQ8_FWP_TS_TEXT;
    const std::string folder(120, 'f');
    fs::create_directories(m_root + "/" + folder);
    const std::string tooLong = "C:\\" + folder + "\\" + std::string(126, 'a'); // 250 characters
    SaveProgress refused;
    TQ8_FILE_WRITE_PARAMS files = SaveRecord(tooLong.c_str(), refused, withTimestamps);
    EXPECT_EQ(ReadSampleRamFileBufTQ8(h, 0, 4096, &files), TQ8_ERR_FILE_WRITE);
    EXPECT_TRUE(refused.done.empty());
    EXPECT_TRUE(fs::is_empty(m_root + "/" + folder));
    // One character shorter: saved, and every file made is removed again.
    const std::string longest = tooLong.substr(0, 249);
    SaveProgress saved;
    files = SaveRecord(longest.c_str(), saved, withTimestamps);
    ASSERT_EQ(ReadSampleRamFileBufTQ8(h, 0, 4096, &files), TQ8_OK);
    ASSERT_FALSE(fs::is_empty(m_root + "/" + folder));
    for (const auto& entry : fs::directory_iterator(m_root + "/" + folder)) {
        const std::string request = "<VltServiceRequest><Call method=\"FSW32_REMOTE_FILE_DELETE\"><Parameters>"
                                    "<Pathname>C:\\" + folder + "\\" + entry.path().filename().string()
            + "</Pathname></Parameters></Call></VltServiceRequest>";
        void* reply = nullptr;
        ASSERT_EQ(SendServiceRequestTQ8(h, request.data(), static_cast<uint32_t>(request.size()), &reply, 20000, 0),
                  TQ8_OK);
        std::string error;
        EXPECT_EQ(XPathGetString(static_cast<xmlDocPtr>(reply), "/VltServiceResponse/@error", error), 0);
        EXPECT_EQ(error, "false") << entry.path();
        FreeServiceResponseTQ8(reply);
    }
    EXPECT_TRUE(fs::is_empty(m_root + "/" + folder));
}

TEST_F(RemoteBoardTest, EveryVersionIsTheServersBoardsAlsoAfterAnUpload)
{
    // A board with the ZAB, whose FPGA type takes chunks 4 and 5.
    constexpr uint32_t kZabBoard = 4103;
    TQ8SIM_BOARD_DESC desc;
    TQ8Sim_DefaultBoardDesc(&desc, kZabBoard);
    desc.fpgaType = 1;
    ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
    TQ8_HANDLE h = Remote(kZabBoard);
    ASSERT_NE(h, nullptr);
    TQ8_HANDLE local = nullptr;
    ASSERT_EQ(ConnectToDeviceTQ8(&local, kZabBoard), TQ8_OK);
    m_handles.push_back(local);
    const auto expectLocalVersions = [&] {
        for (int32_t item : {TQ8_VERSION_HARDWARE, TQ8_VERSION_DRIVER, TQ8_VERSION_LIBRARY,
                             TQ8_VERSION_SOFTWARE_RELEASE, TQ8_VERSION_SYSTEM_FPGA, TQ8_VERSION_ZAB_FPGA})
            EXPECT_EQ(VersionText(h, item), VersionText(local, item)) << item;
    };
    expectLocalVersions();
    EXPECT_NE(VersionText(h, TQ8_VERSION_ZAB_FPGA), L"Unknown");

    ASSERT_EQ(TQ8Sim_SetTimeFactor(0), TQ8_OK); // no start-up wait
    uint32_t out = 0;
    ASSERT_EQ(UploadFirmwareWTQ8(h, WriteImagesPackage(m_root, {4, 5}).c_str(), 0, &out, nullptr, nullptr), TQ8_OK);
    EXPECT_EQ(VersionText(h, TQ8_VERSION_ZAB_FPGA), L"1.2.0.4");
    expectLocalVersions();
}
