// The scope application's remote file requests against a real service host
// on loopback, over the device library's connection of a remote board.
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include <gtest/gtest.h>

#include "CRemoteFileRequests.h"
#include "RemoteTestHost.h"
#include "DeviceServiceSender.h"
#include "TQ8_64.h"
#include "TestSupport.h"

namespace fs = std::filesystem;
using namespace srvtest;

namespace {

class RemoteFileLoopback : public ::testing::Test {
protected:
    void SetUp() override
    {
        base = ScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(base);
        root = base + "/root";
        fs::create_directories(root + "/Documents");
        fs::create_directories(base + "/outside");
        setenv("HOME", root.c_str(), 1);
        unsetenv("XDG_DOCUMENTS_DIR");
        host = std::make_unique<RemoteTestHost>(root);
        ASSERT_TRUE(host->Started());
        ASSERT_EQ(host->ConnectVirtualBoard(31, &board), TQ8_OK);
        requests = std::make_unique<CRemoteFileRequests>(DeviceServiceSender(board));
    }
    void TearDown() override
    {
        requests.reset();
        if (board)
            DisconnectFromDeviceTQ8(board);
        host.reset();
    }

    std::string base, root;
    std::unique_ptr<RemoteTestHost> host;
    TQ8_HANDLE board = nullptr;
    std::unique_ptr<CRemoteFileRequests> requests;
};

} // namespace

TEST_F(RemoteFileLoopback, CreateListRenameDelete)
{
    ASSERT_EQ(requests->CreateRemoteDirectory(L"C:\\Mess\u00fcng & Co"), 0);
    std::ofstream(root + "/Mess\xc3\xbcng & Co/run.dat") << "123";
    std::vector<CRemoteFileEntry> entries;
    ASSERT_EQ(requests->EnumRemoteFiles(L"C:\\Mess\u00fcng & Co", entries), 0);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, L"run.dat");
    EXPECT_EQ(entries[0].size, 3u);
    EXPECT_FALSE(entries[0].IsDirectory());
    EXPECT_GT(entries[0].time, 0u);

    EXPECT_TRUE(requests->RemoteFileExists(L"C:\\Mess\u00fcng & Co\\run.dat"));
    EXPECT_EQ(requests->RenameRemoteFile(L"C:\\Mess\u00fcng & Co", L"run.dat", L"old run.dat"), 0);
    EXPECT_FALSE(requests->RemoteFileExists(L"C:\\Mess\u00fcng & Co\\run.dat"));
    EXPECT_TRUE(requests->RemoteDirectoryExists(L"C:\\Mess\u00fcng & Co"));
    EXPECT_EQ(requests->DeleteRemoteFile(L"C:\\Mess\u00fcng & Co"), 0);
    EXPECT_FALSE(requests->RemoteDirectoryExists(L"C:\\Mess\u00fcng & Co"));
    EXPECT_FALSE(fs::exists(root + "/Mess\xc3\xbcng & Co"));
}

TEST_F(RemoteFileLoopback, DrivesAndSpecialFolders)
{
    std::vector<CRemoteFileEntry> entries;
    ASSERT_EQ(requests->EnumRemoteFiles(L"", entries, false), 0);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, L"C:\\");
    EXPECT_EQ(entries[0].attributes, 3u);
    EXPECT_EQ(entries[0].size, 0u); // no details asked for
    ASSERT_EQ(requests->EnumRemoteFiles(L"", entries, true), 0);
    EXPECT_GT(entries[0].size, 0u);
    std::wstring path;
    ASSERT_TRUE(requests->GetRemoteSpecialFolder(5, path));
    EXPECT_EQ(path, L"C:\\Documents");
    EXPECT_FALSE(requests->GetRemoteSpecialFolder(16, path));
}

TEST_F(RemoteFileLoopback, RefusalsReachTheCaller)
{
    EXPECT_EQ(requests->DeleteRemoteFile(L"C:\\"), kServiceResultMissing);
    EXPECT_NE(requests->GetLastServiceError().find(L"Non-specific error"), std::wstring::npos);
    EXPECT_EQ(requests->CreateRemoteDirectory(L"C:\\..\\outside\\x"), kServiceResultMissing);
    EXPECT_EQ(requests->RenameRemoteFile(L"C:\\", L"Documents", L"..\\outside\\Documents"), kServiceResultMissing);
    EXPECT_TRUE(fs::is_directory(root + "/Documents"));
    EXPECT_TRUE(fs::is_empty(base + "/outside"));
    std::vector<CRemoteFileEntry> entries(3);
    EXPECT_EQ(requests->EnumRemoteFiles(L"C:\\missing", entries), kServiceResultMissing);
    EXPECT_TRUE(entries.empty());
}
