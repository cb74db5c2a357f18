#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AtomicFile.h"
#include "BadFiles.h"
#include "CPersistentOpts.h"
#include "PersistentOptsKeys.h"
#include "TextConv.h"

namespace {

std::string MakeTempDir()
{
    std::string base = std::getenv("VLT_TEST_TMP") ? std::getenv("VLT_TEST_TMP") : "/tmp";
    ::mkdir(base.c_str(), 0755);
    std::string dir = base + "/optsXXXXXX";
    EXPECT_NE(::mkdtemp(dir.data()), nullptr);
    return dir;
}

std::string ReadFile(const std::string& path)
{
    std::string data;
    vlt::ReadWholeFile(path, data);
    return data;
}

std::wstring W(const std::string& s) { return vlt::Utf8ToWide(s); }

// Sets or clears the immutable attribute of a folder, so that even root
// cannot create files in it. false where the file system does not allow it.
bool SetImmutable(const std::string& dir, bool on)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

} // namespace

TEST(CPersistentOpts, MissingFileGivesDefaults)
{
    const std::string dir = MakeTempDir();
    CPersistentOpts opts;
    EXPECT_FALSE(opts.Load(W(dir + "/DefWsOpts.xml").c_str()));
    EXPECT_EQ(opts.GetLastErrorText(), W("Workspace options file not found: '" + dir + "/DefWsOpts.xml'"));

    uint32_t flags = 0;
    int32_t startup = -1;
    uint64_t dur = 0;
    std::wstring last = L"x";
    EXPECT_TRUE(opts.GetItemUInt(opts::kAppFlags, flags, opts::kAppFlagsDefault));
    EXPECT_TRUE(opts.GetItemInt(opts::kAppStartupType, startup, opts::kAppStartupTypeDefault));
    EXPECT_TRUE(opts.GetItemU64(opts::kRpmDurSamps, dur, opts::kRpmDurSampsDefault));
    EXPECT_TRUE(opts.GetItemString(opts::kAppLastWs, last, nullptr));
    EXPECT_EQ(flags, 1u);
    EXPECT_EQ(startup, 0);
    EXPECT_EQ(dur, 104857600u);
    EXPECT_EQ(last, L"");

    // The first save creates the file at the path given to Load.
    EXPECT_TRUE(opts.SetItemUInt(opts::kAppFlags, 3));
    EXPECT_TRUE(opts.Save());
    CPersistentOpts again;
    ASSERT_TRUE(again.Load(W(dir + "/DefWsOpts.xml").c_str()));
    EXPECT_TRUE(again.GetItemUInt(L"appflags", flags, 1));
    EXPECT_EQ(flags, 3u);
}

TEST(CPersistentOpts, EveryTypeRoundTripsThroughTheFile)
{
    const std::string dir = MakeTempDir();
    const std::wstring path = W(dir + "/DefWsOpts.xml");
    const std::wstring tricky[] = {
        L"/home/u/R&D/ws.tq8ws", L"a<b>c", L"\"quoted\" 'single'", L"",
        L"Me\u00DFger\u00E4t \u0412\u0435\u043B\u044C\u0442\u0440\u0430\u043D \u6E2C\u5B9A",
        L"  leading and trailing  ", L"&amp; stays literal", L"]]>",
    };
    CPersistentOpts opts;
    for (size_t i = 0; i < std::size(tricky); ++i)
        ASSERT_TRUE(opts.SetItem((L"text" + std::to_wstring(i)).c_str(), tricky[i].c_str()));
    ASSERT_TRUE(opts.SetItemInt(L"neg", INT32_MIN));
    ASSERT_TRUE(opts.SetItemUInt(L"umax", UINT32_MAX));
    ASSERT_TRUE(opts.SetItemU64(L"qmax", UINT64_MAX));
    ASSERT_TRUE(opts.Save(path.c_str())) << vlt::WideToUtf8(opts.GetLastErrorText());

    CPersistentOpts back;
    ASSERT_TRUE(back.Load(path.c_str()));
    for (size_t i = 0; i < std::size(tricky); ++i) {
        std::wstring value;
        ASSERT_TRUE(back.GetItem((L"text" + std::to_wstring(i)).c_str(), &value));
        EXPECT_EQ(value, tricky[i]) << i;
    }
    int32_t neg = 0;
    uint32_t umax = 0;
    uint64_t qmax = 0;
    EXPECT_TRUE(back.GetItemInt(L"neg", neg, 0));
    EXPECT_TRUE(back.GetItemUInt(L"umax", umax, 0));
    EXPECT_TRUE(back.GetItemU64(L"qmax", qmax, 0));
    EXPECT_EQ(neg, INT32_MIN);
    EXPECT_EQ(umax, UINT32_MAX);
    EXPECT_EQ(qmax, UINT64_MAX);

    const std::string text = ReadFile(vlt::WideToUtf8(path));
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TQ8_ScopeAppWsOpts>\n", 0), 0u);
    EXPECT_NE(text.find("\n  <text3/>\n"), std::string::npos);
    if (::access("/usr/bin/xmllint", X_OK) == 0) {
        const std::string cmd = "/usr/bin/xmllint --noout '" + vlt::WideToUtf8(path) + "' 2>/dev/null";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
    }
}

TEST(CPersistentOpts, KeysAreTrimmedAndCaseFolded)
{
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/DefWsOpts.xml";
    CPersistentOpts opts;
    ASSERT_TRUE(opts.SetItem(L"  AppFlags \t", L"5"));
    std::wstring value;
    EXPECT_TRUE(opts.GetItem(L"APPFLAGS", &value));
    EXPECT_EQ(value, L"5");
    EXPECT_TRUE(opts.SetItem(L"appflags", L"6"));
    ASSERT_TRUE(opts.SetItem(L"AppStartupType", L"0"));
    ASSERT_TRUE(opts.SetItem(L"AppLastWs", L"/x"));
    ASSERT_TRUE(opts.Save(W(path).c_str()));
    EXPECT_EQ(ReadFile(path),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TQ8_ScopeAppWsOpts>\n"
              "  <appflags>6</appflags>\n  <applastws>/x</applastws>\n"
              "  <appstartuptype>0</appstartuptype>\n</TQ8_ScopeAppWsOpts>\n");
}

TEST(CPersistentOpts, MissingKeySetsTheErrorUnknownKeyDoesNot)
{
    CPersistentOpts opts;
    EXPECT_FALSE(opts.GetItem(nullptr));
    EXPECT_EQ(opts.GetLastErrorText(), L"Empty workdspace item name specified");
    EXPECT_FALSE(opts.GetItem(L"  \t "));
    opts.SetItem(L"a", L"1");
    EXPECT_FALSE(opts.GetItem(L"zzz"));
    EXPECT_TRUE(opts.GetItem(L"A"));
    EXPECT_EQ(opts.GetLastErrorText(), L"Empty workdspace item name specified");
}

TEST(CPersistentOpts, KeysThatCannotBeElementNamesAreRefused)
{
    const std::string dir = MakeTempDir();
    CPersistentOpts opts;
    for (const wchar_t* bad : {L"", L"   ", L"a b", L"1abc", L"x<y", L"xmlthing", L"a&b"})
        EXPECT_FALSE(opts.SetItem(bad, L"v")) << vlt::WideToUtf8(bad);
    EXPECT_TRUE(opts.SetItem(L"good_key-1.x", L"v"));
    ASSERT_TRUE(opts.Save(W(dir + "/o.xml").c_str()));
    CPersistentOpts back;
    ASSERT_TRUE(back.Load(W(dir + "/o.xml").c_str()));
    EXPECT_TRUE(back.GetItem(L"good_key-1.x"));
    EXPECT_FALSE(back.GetItem(L"a b"));
}

TEST(CPersistentOpts, MalformedNumbersFallBackToTheDefault)
{
    CPersistentOpts opts;
    opts.SetItem(L"n", L"12abc");
    int32_t i = 0;
    EXPECT_FALSE(opts.GetItemInt(L"n", i, 99));
    EXPECT_EQ(i, 99);
    EXPECT_EQ(opts.GetLastErrorText(), L"Item not integer format: 12abc");
    uint32_t u = 0;
    EXPECT_FALSE(opts.GetItemUInt(L"n", u, 7));
    EXPECT_EQ(opts.GetLastErrorText(), L"Item not unsigned integer format: 12abc");
    uint64_t q = 0;
    EXPECT_FALSE(opts.GetItemU64(L"n", q, 8));
    EXPECT_EQ(q, 8u);
    EXPECT_EQ(opts.GetLastErrorText(), L"Item not 64-bit unsigned integer format: 12abc");

    opts.SetItem(L"n", L" 42");
    EXPECT_TRUE(opts.GetItemInt(L"n", i, 0));
    EXPECT_EQ(i, 42);
    opts.SetItem(L"n", L"42 ");
    EXPECT_FALSE(opts.GetItemInt(L"n", i, 1));
    EXPECT_EQ(i, 1);
    opts.SetItem(L"n", L"");
    EXPECT_TRUE(opts.GetItemUInt(L"n", u, 5));
    EXPECT_EQ(u, 0u);
}

TEST(CPersistentOpts, ThirtyTwoBitItemsAreRangeChecked)
{
    CPersistentOpts opts;
    uint32_t u = 0;
    opts.SetItem(L"n", L"4294967296");
    EXPECT_FALSE(opts.GetItemUInt(L"n", u, 11));
    EXPECT_EQ(u, 11u);
    uint64_t q = 0;
    EXPECT_TRUE(opts.GetItemU64(L"n", q, 0));
    EXPECT_EQ(q, 4294967296u);
    opts.SetItem(L"n", L"-1");
    EXPECT_FALSE(opts.GetItemUInt(L"n", u, 12));
    EXPECT_EQ(u, 12u);
    EXPECT_FALSE(opts.GetItemU64(L"n", q, 13));
    int32_t i = 0;
    EXPECT_TRUE(opts.GetItemInt(L"n", i, 0));
    EXPECT_EQ(i, -1);
    opts.SetItem(L"n", L"2147483648");
    EXPECT_FALSE(opts.GetItemInt(L"n", i, 3));
    EXPECT_EQ(i, 3);
}

TEST(CPersistentOpts, RootIsCheckedWithoutRegardToCase)
{
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/o.xml";
    ASSERT_TRUE(vlt::AtomicWriteFile(path, "<tq8_scopeappwsopts><AppFlags>2</AppFlags><x>1</x><x>2</x>"
                                           "<nest>a<b>b</b></nest></tq8_scopeappwsopts>"));
    CPersistentOpts opts;
    opts.SetItem(L"kept", L"yes");
    ASSERT_TRUE(opts.Load(W(path).c_str()));
    std::wstring v;
    EXPECT_TRUE(opts.GetItem(L"appflags", &v));
    EXPECT_EQ(v, L"2");
    EXPECT_TRUE(opts.GetItem(L"x", &v));
    EXPECT_EQ(v, L"2"); // the later of two wins
    EXPECT_TRUE(opts.GetItem(L"nest", &v));
    EXPECT_EQ(v, L"ab");
    EXPECT_TRUE(opts.GetItem(L"kept", &v)); // items absent from the file stay

    ASSERT_TRUE(vlt::AtomicWriteFile(path, "<OtherRoot><a>1</a></OtherRoot>"));
    CPersistentOpts wrong;
    EXPECT_FALSE(wrong.Load(W(path).c_str()));
    EXPECT_EQ(wrong.GetLastErrorText(), L"Invalid workspace options file");
    EXPECT_FALSE(wrong.GetItem(L"a"));

    ASSERT_TRUE(vlt::AtomicWriteFile(path, "<TQ8_ScopeAppWsOpts><a>1</a>"));
    EXPECT_FALSE(wrong.Load(W(path).c_str()));
    EXPECT_EQ(wrong.GetLastErrorText().rfind(L"Failed to load workspace options file: ", 0), 0u);
}

// What stands in place of the file is named in the user's message, and the
// parser's line and reason too; nothing goes to the terminal.
TEST(CPersistentOpts, UnreadableFileGivesTheReaderAndParserReasons)
{
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/DefWsOpts.xml";
    for (badfiles::Kind kind : badfiles::kAll) {
        ASSERT_TRUE(badfiles::Make(kind, path)) << badfiles::Name(kind);
        badfiles::HangGuard guard;
        CPersistentOpts opts;
        EXPECT_FALSE(opts.Load(W(path).c_str()));
        EXPECT_TRUE(opts.IsDamaged()) << badfiles::Name(kind);
        const std::string text = vlt::WideToUtf8(opts.GetLastErrorText());
        const char* reason = kind == badfiles::Kind::Sparse ? "larger than" : "not a regular file";
        EXPECT_NE(text.find(reason), std::string::npos) << badfiles::Name(kind) << ": " << text;
        ::rmdir(path.c_str());
        ::unlink(path.c_str());
    }
    ASSERT_TRUE(vlt::AtomicWriteFile(path, "<?xml version=\"1.0\"?>\n<TQ8_ScopeAppWsOpts>\n<a>1</b>\n"));
    testing::internal::CaptureStderr();
    CPersistentOpts opts;
    EXPECT_FALSE(opts.Load(W(path).c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    const std::string text = vlt::WideToUtf8(opts.GetLastErrorText());
    EXPECT_NE(text.find("line 3: Opening and ending tag mismatch: a line 3 and b"), std::string::npos) << text;
}

TEST(CPersistentOpts, DamagedFileIsSetAsideBeforeTheFirstSave)
{
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/DefWsOpts.xml";
    const std::string bad = path + ".bad";
    const std::string head = "<?xml version=\"1.0\"?>\n<TQ8_ScopeAppWsOpts><fft_opts_fftsize>4096</fft_opts_fftsize>";
    for (const std::string& bytes : {head + "<rec_notes>R&D</rec_notes></TQ8_ScopeAppWsOpts>\n",
                                     head + "<rec_notes>\xff\xfe</rec_notes></TQ8_ScopeAppWsOpts>\n",
                                     std::string("<OtherRoot><a>1</a></OtherRoot>")}) {
        ASSERT_TRUE(vlt::AtomicWriteFile(path, bytes));
        ASSERT_TRUE(vlt::AtomicWriteFile(bad, "an older copy"));
        CPersistentOpts opts;
        EXPECT_FALSE(opts.Load(W(path).c_str()));
        EXPECT_TRUE(opts.IsDamaged());
        EXPECT_EQ(opts.GetDamagedCopyPath(), W(bad));
        opts.SetItem(L"appflags", L"1");
        ASSERT_TRUE(opts.Save()) << vlt::WideToUtf8(opts.GetLastErrorText());
        EXPECT_FALSE(opts.IsDamaged());
        EXPECT_EQ(ReadFile(bad), bytes);
        CPersistentOpts back;
        EXPECT_TRUE(back.Load(W(path).c_str()));
        EXPECT_FALSE(back.IsDamaged());
    }
    CPersistentOpts none;
    EXPECT_FALSE(none.Load(W(dir + "/absent.xml").c_str()));
    EXPECT_FALSE(none.IsDamaged());
}

TEST(CPersistentOpts, FailedSaveKeepsTheOldFile)
{
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/DefWsOpts.xml";
    CPersistentOpts opts;
    opts.SetItem(L"a", L"old");
    ASSERT_TRUE(opts.Save(W(path).c_str()));
    const std::string before = ReadFile(path);

    EXPECT_FALSE(opts.Save(W(dir + "/no/such/folder/DefWsOpts.xml").c_str()));
    EXPECT_EQ(opts.GetLastErrorText().rfind(L"Failed to save workspace options file", 0), 0u);

    opts.SetItem(L"a", L"new");
    bool locked = false;
    if (::geteuid() != 0)
        locked = ::chmod(dir.c_str(), 0555) == 0;
    else
        locked = SetImmutable(dir, true);
    if (!locked)
        GTEST_SKIP() << "cannot make a folder unwritable here";
    const bool saved = opts.Save(W(path).c_str());
    if (::geteuid() != 0)
        ::chmod(dir.c_str(), 0755);
    else
        SetImmutable(dir, false);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFile(path), before);
}
