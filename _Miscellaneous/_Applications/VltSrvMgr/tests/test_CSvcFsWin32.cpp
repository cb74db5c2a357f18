#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <atomic>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>
#include <libxml/parser.h>

#include "BuiltInHost.h"
#include "CAutoXmlDoc.h"
#include "CServedFolders.h"
#include "ClientPaths.h"
#include "CSvcFsWin32.h"
#include "IVltServiceInstance.h"
#include "ServiceProtocol.h"
#include "TestSupport.h"
#include "XmlRoutines.h"

namespace fs = std::filesystem;
using namespace srvtest;

namespace {

// 2020-01-01 00:00:00 UTC as seconds since 1970 and as the file time
// (100 ns since 1601).
constexpr time_t kNewYear2020 = 1577836800;
constexpr char kNewYear2020FileTime[] = "132223104000000000";

constexpr char kValid1[] = "<VltServiceResponse><ReturnData><Valid>1</Valid></ReturnData></VltServiceResponse>";
constexpr char kValid0[] = "<VltServiceResponse><ReturnData><Valid>0</Valid></ReturnData></VltServiceResponse>";

void Write(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

void SetModifyTime(const std::string& path, time_t seconds)
{
    timespec times[2] = {{seconds, 0}, {seconds, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

std::string Param(const std::string& name, const std::string& value)
{
    return "<" + name + ">" + value + "</" + name + ">";
}

std::string List(const std::string& entries)
{
    return "<VltServiceResponse><ReturnData>" + entries + "</ReturnData></VltServiceResponse>";
}

bool IsErrorReply(const std::string& reply, const std::string& text)
{
    return reply.find("<VltServiceResponse error=\"true\"") != std::string::npos
        && reply.find("<ErrorText>" + text) != std::string::npos;
}

// Attribute of the listing entry whose text is name; "<none>" when absent.
std::string EntryAttr(const std::string& reply, const std::string& name, const char* attribute)
{
    CAutoXmlDoc doc(xmlReadMemory(reply.data(), static_cast<int>(reply.size()), nullptr, nullptr, XML_PARSE_NONET));
    for (xmlNodePtr node = xmlDocGetRootElement(doc.Get())->children->children; node; node = node->next) {
        std::string text;
        XmlNodeGetText(node, text);
        std::string value;
        if (text == name)
            return XmlGetAttrString(node, attribute, value) ? value : "<none>";
    }
    return "<no entry>";
}

class FileService : public ::testing::Test {
protected:
    void SetUp() override
    {
        base = ScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(base);
        base = fs::weakly_canonical(base).string();
        root = base + "/root";
        outside = base + "/outside";
        fs::create_directories(root);
        fs::create_directories(outside);
        Write(outside + "/victim.txt", "keep");
        host = std::make_unique<BuiltInHost>(std::vector<std::string>{root, base + "/second"}, 0);
        fs::create_directories(base + "/second");
        ASSERT_TRUE(host->Started());
        fd = ConnectClient(host->Port());
        ASSERT_GE(fd, 0);
    }
    void TearDown() override
    {
        if (fd >= 0)
            close(fd);
        host.reset();
    }
    std::string Call(const std::string& method, const std::string& parameters)
    {
        return Ask(fd, CallRequest(method, parameters));
    }
    std::string Enum(const std::string& directory) { return Call("FSW32_REMOTE_ENUM_FILES", Param("Directory", directory)); }
    std::string Delete(const std::string& path) { return Call("FSW32_REMOTE_FILE_DELETE", Param("Pathname", path)); }
    std::string Create(const std::string& path) { return Call("FSW32_REMOTE_DIR_CREATE", Param("NewDirectory", path)); }
    std::string Rename(const std::string& dir, const std::string& oldName, const std::string& newName)
    {
        return Call("FSW32_REMOTE_FILE_RENAME", Param("Directory", dir) + Param("NewName", newName) + Param("OldName", oldName));
    }
    bool OutsideUntouched()
    {
        std::ifstream in(outside + "/victim.txt");
        std::string text;
        in >> text;
        return text == "keep" && std::distance(fs::directory_iterator(outside), fs::directory_iterator()) == 1
            && std::distance(fs::directory_iterator(base), fs::directory_iterator()) == 3;
    }

    std::string base, root, outside;
    std::unique_ptr<BuiltInHost> host;
    int fd = -1;
};

} // namespace

TEST_F(FileService, ListsOneFileExactly)
{
    fs::create_directories(root + "/d");
    Write(root + "/d/a&b.txt", "12345");
    SetModifyTime(root + "/d/a&b.txt", kNewYear2020);
    EXPECT_EQ(Enum("C:\\d"), List(std::string("<File00000000 Attribs=\"128\" FileSize=\"5\" ModifyTime=\"") + kNewYear2020FileTime
                                  + "\">a&amp;b.txt</File00000000><FileCount>1</FileCount>"));
    // A trailing backslash (doubled, too) names the same folder.
    EXPECT_EQ(Enum("C:\\d\\"), Enum("c:/d\\\\"));
}

TEST_F(FileService, EmptyFolderAndFileAndMissing)
{
    fs::create_directories(root + "/empty");
    Write(root + "/f.txt", "x");
    EXPECT_EQ(Enum("C:\\empty"), List("<FileCount>0</FileCount>"));
    EXPECT_EQ(Enum("C:\\f.txt"), kValid0);
    EXPECT_EQ(Enum("C:\\missing"), kValid0);
    EXPECT_EQ(std::string(kValid0).size(), 82u);
}

TEST_F(FileService, FoldersLinksAndHidden)
{
    fs::create_directories(root + "/Sub");
    Write(root + "/.hidden", "");
    fs::create_directory_symlink(root + "/Sub", root + "/in");
    fs::create_directory_symlink(outside, root + "/out");
    Write(root + "/to sub.desktop", "[Desktop Entry]\nType=Link\nURL=file://" + root + "/Sub\n");
    Write(root + "/away.desktop", "[Desktop Entry]\nType=Link\nURL=file://" + outside + "/victim.txt\n");
    const std::string reply = Enum("C:\\");
    EXPECT_NE(reply.find("<FileCount>6</FileCount>"), std::string::npos) << reply;
    EXPECT_EQ(EntryAttr(reply, "Sub", "Attribs"), "16");
    EXPECT_EQ(EntryAttr(reply, ".hidden", "Attribs"), "2");
    EXPECT_EQ(EntryAttr(reply, "in", "LinkPath"), "C:\\Sub");
    EXPECT_EQ(EntryAttr(reply, "in", "LinkIsDir"), "1");
    EXPECT_EQ(EntryAttr(reply, "to sub.desktop", "LinkPath"), "C:\\Sub");
    EXPECT_EQ(EntryAttr(reply, "to sub.desktop", "LinkIsDir"), "1");
    // Targets outside the served folders are not shown.
    EXPECT_EQ(EntryAttr(reply, "out", "LinkPath"), "<none>");
    EXPECT_EQ(EntryAttr(reply, "away.desktop", "LinkPath"), "<none>");
    // Listing through a link that leaves the root shows nothing of outside.
    EXPECT_EQ(Enum("C:\\out"), kValid0);
}

TEST_F(FileService, Drives)
{
    EXPECT_EQ(Call("FSW32_REMOTE_ENUM_FILES", Param("Directory", "") + "<NoDetails/>"),
              List("<File00000000 DriveType=\"3\">C:\\</File00000000><File00000001 DriveType=\"3\">D:\\</File00000001>"
                   "<FileCount>2</FileCount>"));
    const std::string detailed = Enum("");
    EXPECT_NE(EntryAttr(detailed, "C:\\", "BytesTotal"), "<none>");
    EXPECT_NE(EntryAttr(detailed, "D:\\", "BytesFree"), "<none>");
}

TEST_F(FileService, Checks)
{
    fs::create_directories(root + "/d");
    Write(root + "/d/f", "x");
    fs::create_directory_symlink(outside, root + "/out");
    EXPECT_EQ(Call("FSW32_REMOTE_DIR_CHECK", Param("Directory", "C:\\d")), kValid1);
    EXPECT_EQ(Call("FSW32_REMOTE_DIR_CHECK", Param("Directory", "C:\\d\\f")), kValid0);
    EXPECT_EQ(Call("FSW32_REMOTE_FILE_CHECK", Param("Pathname", "C:\\d")), kValid1);
    EXPECT_EQ(Call("FSW32_REMOTE_FILE_CHECK", Param("Pathname", "C:\\d\\f")), kValid1);
    EXPECT_EQ(Call("FSW32_REMOTE_FILE_CHECK", Param("Pathname", "C:\\d\\g")), kValid0);
    // Outside the served folders nothing exists.
    EXPECT_EQ(Call("FSW32_REMOTE_DIR_CHECK", Param("Directory", "C:\\..\\outside")), kValid0);
    EXPECT_EQ(Call("FSW32_REMOTE_FILE_CHECK", Param("Pathname", "C:\\out\\victim.txt")), kValid0);
    EXPECT_EQ(Call("FSW32_REMOTE_FILE_CHECK", Param("Pathname", outside + "/victim.txt")), kValid0);
    EXPECT_EQ(Call("FSW32_REMOTE_DIR_CHECK", Param("Directory", "E:\\")), kValid0);
}

TEST_F(FileService, DeletesFilesAndFoldersRecursively)
{
    fs::create_directories(root + "/tree/a/b");
    Write(root + "/tree/a/b/f", "x");
    Write(root + "/tree/g", "x");
    Write(root + "/single", "x");
    EXPECT_EQ(Delete("C:\\single"), kReplySuccess);
    EXPECT_FALSE(fs::exists(root + "/single"));
    EXPECT_EQ(Delete("C:\\tree"), kReplySuccess);
    EXPECT_FALSE(fs::exists(root + "/tree"));
    EXPECT_TRUE(IsErrorReply(Delete("C:\\tree"), "Non-specific error"));
}

TEST_F(FileService, DeleteStaysInsideTheRoot)
{
    Write(root + "/keep", "x");
    fs::create_directory_symlink(outside, root + "/out");
    EXPECT_TRUE(IsErrorReply(Delete("C:\\..\\outside\\victim.txt"), "Non-specific error"));
    EXPECT_TRUE(IsErrorReply(Delete("C:\\..\\..\\"), "Non-specific error"));
    EXPECT_TRUE(IsErrorReply(Delete("C:\\out\\victim.txt"), "Non-specific error"));
    EXPECT_TRUE(IsErrorReply(Delete(outside + "/victim.txt"), "Non-specific error"));
    EXPECT_TRUE(IsErrorReply(Delete("C:\\"), "Non-specific error"));
    EXPECT_TRUE(IsErrorReply(Delete("C:"), "Non-specific error"));
    EXPECT_TRUE(fs::exists(root + "/keep"));
    EXPECT_TRUE(OutsideUntouched());
    // The link itself may go; what it points at stays.
    EXPECT_EQ(Delete("C:\\out"), kReplySuccess);
    EXPECT_FALSE(fs::exists(fs::symlink_status(root + "/out")));
    EXPECT_TRUE(OutsideUntouched());
}

TEST_F(FileService, LongPathsAreRefusedNotCut)
{
    const std::string name(250, 'n');
    Write(root + "/" + name, "x");
    EXPECT_EQ(Call("FSW32_REMOTE_FILE_CHECK", Param("Pathname", "C:\\" + name)), kValid1);
    EXPECT_TRUE(IsErrorReply(Delete("C:\\.\\.\\.\\.\\.\\" + name), "Non-specific error"));
    EXPECT_TRUE(IsErrorReply(Rename("C:\\.\\.\\.\\.\\.", name, "x"), "Non-specific error"));
    EXPECT_TRUE(fs::exists(root + "/" + name));
}

TEST_F(FileService, RenameAndItsRefusals)
{
    fs::create_directories(root + "/d");
    Write(root + "/d/old", "1");
    Write(root + "/d/other", "2");
    EXPECT_EQ(Rename("C:\\d", "old", "new"), kReplySuccess);
    EXPECT_TRUE(fs::exists(root + "/d/new"));
    EXPECT_FALSE(fs::exists(root + "/d/old"));
    // An existing entry is never replaced.
    EXPECT_TRUE(IsErrorReply(Rename("C:\\d", "new", "other"), "Non-specific error"));
    EXPECT_TRUE(fs::exists(root + "/d/new"));
    // Names that leave the folder.
    for (const char* bad : {"..\\x", "../x", "..", ".", "", "a\\b", "C:x"})
        EXPECT_TRUE(IsErrorReply(Rename("C:\\d", "new", bad), "Non-specific error")) << bad;
    EXPECT_TRUE(IsErrorReply(Rename("C:\\d", "..\\..\\outside\\victim.txt", "mine"), "Non-specific error"));
    EXPECT_TRUE(IsErrorReply(Rename("C:\\..\\outside", "victim.txt", "gone"), "Non-specific error"));
    EXPECT_TRUE(fs::exists(root + "/d/new"));
    EXPECT_TRUE(OutsideUntouched());
    // A missing parameter is a malformed request.
    EXPECT_TRUE(IsErrorReply(Call("FSW32_REMOTE_FILE_RENAME", Param("Directory", "C:\\d") + Param("NewName", "x")),
                             "A malformed client request was received"));
}

TEST_F(FileService, CreateFolders)
{
    EXPECT_EQ(Create("C:\\made"), kReplySuccess);
    EXPECT_TRUE(fs::is_directory(root + "/made"));
    EXPECT_TRUE(IsErrorReply(Create("C:\\made"), "Non-specific error"));
    EXPECT_TRUE(IsErrorReply(Create("C:\\no\\parent"), "Non-specific error"));
    fs::create_directory_symlink(outside, root + "/out");
    EXPECT_TRUE(IsErrorReply(Create("C:\\..\\evil"), "Non-specific error"));
    EXPECT_TRUE(IsErrorReply(Create("C:\\out\\evil"), "Non-specific error"));
    EXPECT_TRUE(IsErrorReply(Create(base + "/evil"), "Non-specific error"));
    EXPECT_FALSE(fs::exists(base + "/evil"));
    EXPECT_TRUE(OutsideUntouched());
}

TEST_F(FileService, CreatesNothingItCannotRemove)
{
    const std::string a(100, 'a'), b(100, 'b');
    fs::create_directories(root + "/" + a + "/" + b);
    const std::string parent = "C:\\" + a + "\\" + b; // 204 characters
    const std::string tooLong = parent + "\\" + std::string(131, 'c');
    ASSERT_EQ(tooLong.size(), 336u);
    // Refused with the very reply its delete gets.
    const std::string refused = Create(tooLong);
    EXPECT_TRUE(IsErrorReply(refused, "Non-specific error")) << refused;
    EXPECT_EQ(refused, Delete(tooLong));
    EXPECT_FALSE(fs::exists(root + "/" + a + "/" + b + "/" + std::string(131, 'c')));
    // A name that would make the path too long is not given by a rename either.
    Write(root + "/" + a + "/" + b + "/short", "x");
    EXPECT_EQ(Rename(parent, "short", std::string(131, 'c')), refused);
    // The longest path it creates it also removes.
    const std::string longest = parent + "\\" + std::string(259 - parent.size() - 1, 'd');
    ASSERT_EQ(longest.size(), 259u);
    EXPECT_EQ(Create(longest), kReplySuccess);
    EXPECT_EQ(Delete(longest), kReplySuccess);
}

TEST_F(FileService, SpecialFolders)
{
    // The host reads HOME when asked; the root stands in for the home here.
    fs::create_directories(root + "/Documents");
    setenv("HOME", root.c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
    const std::string documents = "<VltServiceResponse><ReturnData><Path>C:\\Documents</Path></ReturnData></VltServiceResponse>";
    EXPECT_EQ(Call("FSW32_REMOTE_GET_SPECIAL_FOLDER", Param("csidl", "5")), documents);
    EXPECT_EQ(Call("FSW32_REMOTE_GET_SPECIAL_FOLDER", Param("csidl", std::to_string(5 | 0x8000))), documents);
    EXPECT_TRUE(IsErrorReply(Call("FSW32_REMOTE_GET_SPECIAL_FOLDER", Param("csidl", "16")), "Non-specific error"));
    EXPECT_TRUE(IsErrorReply(Call("FSW32_REMOTE_GET_SPECIAL_FOLDER", Param("csidl", "abc")),
                             "A malformed client request was received"));
    // A folder outside the served ones is not handed out.
    setenv("HOME", outside.c_str(), 1);
    fs::create_directories(outside + "/Documents");
    EXPECT_TRUE(IsErrorReply(Call("FSW32_REMOTE_GET_SPECIAL_FOLDER", Param("csidl", "5")), "Non-specific error"));
}

TEST_F(FileService, MethodNamesAndMissingParameters)
{
    EXPECT_EQ(Call("fsw32_remote_dir_check", Param("Directory", "C:\\")), kReplyNotHandled);
    EXPECT_TRUE(IsErrorReply(Ask(fd, "<VltServiceRequest><Call></Call></VltServiceRequest>"),
                             "A malformed client request was received"));
    EXPECT_TRUE(IsErrorReply(Call("FSW32_REMOTE_ENUM_FILES", ""), "A malformed client request was received"));
    EXPECT_TRUE(IsErrorReply(Call("FSW32_REMOTE_FILE_DELETE", ""), "A malformed client request was received"));
}

TEST(FileServiceClass, Identity)
{
    IVltServiceClass* service = new CSvcFsWin32({"/"});
    EXPECT_STREQ(service->GetName(), "FileServerWindows");
    EXPECT_STREQ(service->GetDescription(), "Manages Windows file services");
    EXPECT_EQ(service->GetDefaultPort(), kVltNoPort);
    EXPECT_EQ(service->CreateInstance(nullptr), -2);
    IVltServiceInstance* instance = nullptr;
    ASSERT_EQ(service->CreateInstance(&instance), 0);
    EXPECT_EQ(instance->HandleRequest(-1, nullptr, 0), -2);
    instance->Release();
    service->Release();
}

TEST_F(FileService, NamesAReplyCannotCarryAreLeftOut)
{
    fs::create_directories(root + "/d");
    Write(root + "/d/ok", "");
    Write(root + "/d/bad\xff", "");
    Write(root + "/d/ctl\x01", "");
    const std::string reply = Enum("C:\\d");
    CAutoXmlDoc doc(xmlReadMemory(reply.data(), static_cast<int>(reply.size()), nullptr, nullptr, XML_PARSE_NONET));
    ASSERT_FALSE(doc.IsEmpty()) << reply;
    EXPECT_EQ(EntryAttr(reply, "ok", "Attribs"), "128");
    EXPECT_NE(reply.find("<FileCount>1</FileCount>"), std::string::npos) << reply;
}

TEST_F(FileService, SeveralClientsAtOnce)
{
    // Each client changes its own folder; the service keeps them apart.
    std::vector<std::thread> clients;
    std::atomic<int> good{0};
    for (int c = 0; c < 4; ++c) {
        clients.emplace_back([this, c, &good] {
            const int own = ConnectClient(host->Port());
            const std::string dir = "C:\\c" + std::to_string(c);
            bool ok = own >= 0;
            for (int i = 0; ok && i < 20; ++i) {
                ok = Ask(own, CallRequest("FSW32_REMOTE_DIR_CREATE", Param("NewDirectory", dir))) == kReplySuccess
                    && Ask(own, CallRequest("FSW32_REMOTE_DIR_CHECK", Param("Directory", dir))) == kValid1
                    && Ask(own, CallRequest("FSW32_REMOTE_FILE_DELETE", Param("Pathname", dir))) == kReplySuccess;
            }
            if (own >= 0)
                close(own);
            good += ok;
        });
    }
    for (std::thread& t : clients)
        t.join();
    EXPECT_EQ(good, 4);
    EXPECT_TRUE(fs::is_empty(root));
}

// The served folders named by the host's configuration, seen by a client.
TEST(FileServiceConfig, ConfiguredFoldersAreDrivesInOrderAndAMissingOneIsSkipped)
{
    // The table is the process's: later tests find it as it was.
    struct ResetServedFolders {
        ~ResetServedFolders() { vlt::CServedFolders::Set(std::nullopt); }
    } reset;
    std::string base = ScratchDir("served-folders");
    fs::remove_all(base);
    base = fs::weakly_canonical(base).string();
    const std::string first = base + "/first", second = base + "/second", missing = base + "/missing";
    const std::string outside = base + "/outside";
    for (const std::string& dir : {first, second, outside})
        fs::create_directories(dir);
    Write(first + "/a.txt", "a");
    Write(second + "/b.txt", "b");
    Write(outside + "/victim.txt", "keep");
    const std::string config = base + "/VltSvcCfg.xml";
    Write(config, "<VltServiceCfg><FileServerWindows><Folder>" + first + "</Folder>\n<Folder> " + missing
                      + " </Folder><Folder>relative/dir</Folder><Folder>" + second
                      + "</Folder></FileServerWindows></VltServiceCfg>");
    testing::internal::CaptureStderr();
    auto host = std::make_unique<BuiltInHost>(config);
    const std::string log = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(host->Started());
    EXPECT_NE(log.find("VltSrvMgr: the served folder \"" + missing + "\" does not exist; it is not served\n"),
              std::string::npos) << log;
    EXPECT_NE(log.find("\"relative/dir\" is not an absolute path"), std::string::npos) << log;
    const int fd = ConnectClient(host->Port());
    ASSERT_GE(fd, 0);
    auto call = [fd](const std::string& method, const std::string& parameters) {
        return Ask(fd, CallRequest(method, parameters));
    };
    EXPECT_EQ(call("FSW32_REMOTE_ENUM_FILES", Param("Directory", "") + "<NoDetails/>"),
              List("<File00000000 DriveType=\"3\">C:\\</File00000000><File00000001 DriveType=\"3\">D:\\</File00000001>"
                   "<FileCount>2</FileCount>"));
    EXPECT_NE(call("FSW32_REMOTE_ENUM_FILES", Param("Directory", "C:\\")).find(">a.txt<"), std::string::npos);
    EXPECT_NE(call("FSW32_REMOTE_ENUM_FILES", Param("Directory", "D:\\")).find(">b.txt<"), std::string::npos);
    EXPECT_EQ(call("FSW32_REMOTE_DIR_CHECK", Param("Directory", "E:\\")), kValid0);
    // Out of either folder stays refused.
    for (const char* drive : {"C:", "D:"}) {
        const std::string d(drive);
        EXPECT_EQ(call("FSW32_REMOTE_DIR_CHECK", Param("Directory", d + "\\..\\outside")), kValid0) << d;
        EXPECT_EQ(call("FSW32_REMOTE_FILE_CHECK", Param("Pathname", d + "\\..\\outside\\victim.txt")), kValid0);
        EXPECT_TRUE(IsErrorReply(call("FSW32_REMOTE_FILE_DELETE", Param("Pathname", d + "\\..\\outside\\victim.txt")),
                                 "Non-specific error"));
        EXPECT_TRUE(IsErrorReply(call("FSW32_REMOTE_DIR_CREATE", Param("NewDirectory", d + "\\..\\escape")),
                                 "Non-specific error"));
    }
    EXPECT_TRUE(fs::exists(outside + "/victim.txt"));
    EXPECT_FALSE(fs::exists(base + "/escape"));
    // The board service writes into the same drives.
    EXPECT_EQ(vlt::CServedFolders::Get(), (std::vector<std::string>{first, second}));
    close(fd);
    host.reset();

    // A configuration that names none serves the home folder.
    Write(config, "<VltServiceCfg><FileServerWindows/></VltServiceCfg>");
    host = std::make_unique<BuiltInHost>(config);
    EXPECT_EQ(vlt::CServedFolders::Get(), vlt::DefaultServedRoots());
}
