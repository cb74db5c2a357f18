#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <libxml/parser.h>

#include "CRemoteFileRequests.h"

namespace {

// A sender that records each request and answers with a scripted reply
// text (or a failure code).
struct ScriptedSender {
    std::vector<std::string> requests;
    std::vector<uint32_t> timeouts;
    std::string reply;
    int32_t code = 0;

    ServiceRequestSender Sender()
    {
        return [this](const char* text, uint32_t length, xmlDocPtr* out, uint32_t timeoutMs) {
            requests.emplace_back(text, length);
            timeouts.push_back(timeoutMs);
            if (code != 0)
                return code;
            *out = xmlReadMemory(reply.data(), static_cast<int>(reply.size()), nullptr, nullptr, XML_PARSE_NONET);
            return *out ? 0 : -532;
        };
    }
};

std::string Call(const std::string& method, const std::string& parameters)
{
    return "<VltServiceRequest><Call method=\"" + method + "\"><Parameters>" + parameters
        + "</Parameters></Call></VltServiceRequest>";
}

std::string Data(const std::string& returnData)
{
    return "<VltServiceResponse><ReturnData>" + returnData + "</ReturnData></VltServiceResponse>";
}

constexpr char kSuccess[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?><VltServiceResponse error=\"false\"></VltServiceResponse>";
constexpr char kError[] = "<VltServiceResponse error=\"true\" ><ErrorText>Non-specific error (LastError=13 : Permission denied)</ErrorText></VltServiceResponse>";

class RemoteFiles : public ::testing::Test {
protected:
    ScriptedSender script;
    CRemoteFileRequests requests{script.Sender()};
};

} // namespace

TEST_F(RemoteFiles, ChangeRequestsTextsAndTimeouts)
{
    script.reply = kSuccess;
    EXPECT_EQ(requests.CreateRemoteDirectory(L"C:\\new"), 0);
    EXPECT_EQ(requests.RenameRemoteFile(L"C:\\d&e", L"old", L"new"), 0);
    EXPECT_EQ(requests.DeleteRemoteFile(L"C:\\x"), 0);
    ASSERT_EQ(script.requests.size(), 3u);
    EXPECT_EQ(script.requests[0], Call("FSW32_REMOTE_DIR_CREATE", "<NewDirectory>C:\\new</NewDirectory>"));
    EXPECT_EQ(script.requests[1], Call("FSW32_REMOTE_FILE_RENAME",
                                       "<Directory>C:\\d&amp;e</Directory><NewName>new</NewName><OldName>old</OldName>"));
    EXPECT_EQ(script.requests[2], Call("FSW32_REMOTE_FILE_DELETE", "<Pathname>C:\\x</Pathname>"));
    EXPECT_EQ(script.timeouts, (std::vector<uint32_t>{3000, 3000, 120000}));
}

TEST_F(RemoteFiles, ErrorRepliesAreFailures)
{
    script.reply = kError;
    EXPECT_EQ(requests.DeleteRemoteFile(L"C:\\x"), kServiceResultMissing);
    EXPECT_EQ(requests.GetLastServiceError(), L"Non-specific error (LastError=13 : Permission denied)");
    EXPECT_EQ(requests.CreateRemoteDirectory(L"C:\\x"), kServiceResultMissing);
    script.reply = "<VltServiceResponse handled=\"false\"></VltServiceResponse>";
    EXPECT_EQ(requests.RenameRemoteFile(L"C:\\", L"a", L"b"), kServiceResultMissing);
    script.code = -7;
    EXPECT_EQ(requests.DeleteRemoteFile(L"C:\\x"), -7);
}

TEST_F(RemoteFiles, ListingReadsEntries)
{
    script.reply = Data("<File00000000 Attribs=\"16\" FileSize=\"0\" ModifyTime=\"133000000000000000\">Sub</File00000000>"
                        "<File00000002 Attribs=\"128\" FileSize=\"5\" LinkPath=\"C:\\Sub\" LinkIsDir=\"1\" "
                        "ModifyTime=\"12x\">to sub.desktop</File00000002><FileCount>3</FileCount>");
    std::vector<CRemoteFileEntry> entries;
    ASSERT_EQ(requests.EnumRemoteFiles(L"C:\\", entries), 0);
    EXPECT_EQ(script.requests[0], Call("FSW32_REMOTE_ENUM_FILES", "<Directory>C:\\</Directory>"));
    EXPECT_EQ(script.timeouts[0], 20000u);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, L"Sub");
    EXPECT_TRUE(entries[0].IsDirectory());
    EXPECT_EQ(entries[0].time, 133000000000000000ull);
    EXPECT_EQ(entries[1].name, L"");
    EXPECT_EQ(entries[1].attributes, CRemoteFileEntry::kDefaultAttributes);
    EXPECT_EQ(entries[2].name, L"to sub.desktop");
    EXPECT_EQ(entries[2].secondText, L"C:\\Sub");
    EXPECT_EQ(entries[2].flags, CRemoteFileEntry::kLinkIsDirFlag);
    EXPECT_EQ(entries[2].size, 5u);
    EXPECT_EQ(entries[2].time, 0u); // trailing characters: not taken
    EXPECT_FALSE(entries[2].IsDirectory());
}

TEST_F(RemoteFiles, DriveListing)
{
    script.reply = Data("<File00000000 DriveType=\"3\" BytesTotal=\"1000\" BytesFree=\"400\" VolumeName=\"Data\">C:\\</File00000000>"
                        "<FileCount>1</FileCount>");
    std::vector<CRemoteFileEntry> entries;
    ASSERT_EQ(requests.EnumRemoteFiles(L"", entries, false), 0);
    EXPECT_EQ(script.requests[0], Call("FSW32_REMOTE_ENUM_FILES", "<Directory></Directory><NoDetails>1</NoDetails>"));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, L"C:\\");
    EXPECT_EQ(entries[0].attributes, 3u);
    EXPECT_EQ(entries[0].size, 1000u);
    EXPECT_EQ(entries[0].time, 400u);
    EXPECT_EQ(entries[0].secondText, L"Data");
    // In report view the details are asked for.
    requests.EnumRemoteFiles(L"", entries, true);
    EXPECT_EQ(script.requests[1], Call("FSW32_REMOTE_ENUM_FILES", "<Directory></Directory>"));
}

TEST_F(RemoteFiles, FailedListingLeavesNoStaleRows)
{
    std::vector<CRemoteFileEntry> entries(4);
    script.reply = Data("<File00000000 Attribs=\"16\">A</File00000000>");
    EXPECT_EQ(requests.EnumRemoteFiles(L"C:\\", entries), kServiceResultMissing);
    EXPECT_TRUE(entries.empty());
    entries.resize(2);
    script.reply = Data("<FileCount>-1</FileCount>");
    EXPECT_EQ(requests.EnumRemoteFiles(L"C:\\", entries), kServiceResultMissing);
    EXPECT_TRUE(entries.empty());
    script.reply = Data("<FileCount>2000000000</FileCount>");
    EXPECT_EQ(requests.EnumRemoteFiles(L"C:\\", entries), kServiceResultMissing);
    EXPECT_TRUE(entries.empty());
    entries.resize(2);
    script.code = -525;
    EXPECT_EQ(requests.EnumRemoteFiles(L"C:\\", entries), -525);
    EXPECT_TRUE(entries.empty());
}

TEST_F(RemoteFiles, Checks)
{
    EXPECT_TRUE(requests.RemoteDirectoryExists(L""));
    EXPECT_TRUE(script.requests.empty());
    script.reply = Data("<Valid>1</Valid>");
    EXPECT_TRUE(requests.RemoteDirectoryExists(L"C:\\a"));
    int32_t failure = 5;
    EXPECT_TRUE(requests.RemoteFileExists(L"C:\\a\\f", &failure));
    EXPECT_EQ(failure, 0);
    EXPECT_EQ(script.requests[0], Call("FSW32_REMOTE_DIR_CHECK", "<Directory>C:\\a</Directory>"));
    EXPECT_EQ(script.requests[1], Call("FSW32_REMOTE_FILE_CHECK", "<Pathname>C:\\a\\f</Pathname>"));
    script.reply = Data("<Valid>0</Valid>");
    EXPECT_FALSE(requests.RemoteDirectoryExists(L"C:\\a"));
    EXPECT_FALSE(requests.RemoteFileExists(L"C:\\a\\f"));
    // In doubt a file counts as existing, so the overwrite question is asked.
    script.reply = Data("");
    EXPECT_FALSE(requests.RemoteDirectoryExists(L"C:\\a"));
    EXPECT_TRUE(requests.RemoteFileExists(L"C:\\a\\f", &failure));
    EXPECT_EQ(failure, kServiceResultMissing);
}

TEST_F(RemoteFiles, SpecialFolders)
{
    std::wstring path = L"x";
    EXPECT_TRUE(requests.GetRemoteSpecialFolder(17, path));
    EXPECT_EQ(path, L"");
    EXPECT_TRUE(script.requests.empty());
    script.reply = Data("<Path>C:\\Documents</Path>");
    EXPECT_TRUE(requests.GetRemoteSpecialFolder(5, path));
    EXPECT_EQ(path, L"C:\\Documents");
    EXPECT_EQ(script.requests[0], Call("FSW32_REMOTE_GET_SPECIAL_FOLDER", "<csidl>5</csidl>"));
    EXPECT_EQ(script.timeouts[0], 3000u);
    script.reply = kError;
    path = L"kept";
    EXPECT_FALSE(requests.GetRemoteSpecialFolder(16, path));
    EXPECT_EQ(path, L"kept");
}

TEST_F(RemoteFiles, WideNamesTravelAsUtf8)
{
    script.reply = kSuccess;
    EXPECT_EQ(requests.CreateRemoteDirectory(L"C:\\Mess\u00fcng"), 0);
    EXPECT_EQ(script.requests[0], Call("FSW32_REMOTE_DIR_CREATE", "<NewDirectory>C:\\Mess\xc3\xbcng</NewDirectory>"));
}

TEST_F(RemoteFiles, EntriesInAnyOrderFirstOfEachIndexCounts)
{
    script.reply = Data("<File0000000B>eleven</File0000000B><File00000001>one</File00000001>"
                        "<File0000000b>lower case</File0000000b><File00000001>again</File00000001>"
                        "<File00000000>zero</File00000000><File0000000C>past the count</File0000000C>"
                        "<FileCount>12</FileCount>");
    std::vector<CRemoteFileEntry> entries;
    ASSERT_EQ(requests.EnumRemoteFiles(L"C:\\", entries), 0);
    ASSERT_EQ(entries.size(), 12u);
    EXPECT_EQ(entries[0].name, L"zero");
    EXPECT_EQ(entries[1].name, L"one");
    EXPECT_EQ(entries[10].name, L"");
    EXPECT_EQ(entries[11].name, L"eleven");
}
