#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include <unzip.h>

#include "BadFiles.h"
#include "CFwPackageGenerator.h"
#include "FwGenControls.h"
#include "FullDisk.h"
#include "FwGenTestEnv.h"
#include "MessageBox.h"
#include "TextConv.h"

namespace fs = std::filesystem;

namespace {

const std::wstring kTimeWarning =
    L"Warning: The file modification times for the specified firmware files differ by more than 15 minutes. "
    L"In general, these files will be generated around the same time. Continue with firmware update file "
    L"generation?";

const std::wstring kCreated =
    L"Firmware package created.\n\nThis firmware can be uploaded using the TQ3300 Scope Application. Select "
    L"'Upload Firmware...' from the Hardware menu and browse to the new firmware package.";

std::vector<std::pair<std::string, std::string>> ArchiveEntries(const std::string& path)
{
    std::vector<std::pair<std::string, std::string>> entries;
    unzFile zip = unzOpen64(path.c_str());
    if (!zip)
        return entries;
    for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        char name[512] = {};
        unzGetCurrentFileInfo64(zip, nullptr, name, sizeof name, nullptr, 0, nullptr, 0);
        std::string content;
        if (unzOpenCurrentFile(zip) == UNZ_OK) {
            char buf[4096];
            int n;
            while ((n = unzReadCurrentFile(zip, buf, sizeof buf)) > 0)
                content.append(buf, static_cast<size_t>(n));
            unzCloseCurrentFile(zip);
        }
        entries.emplace_back(name, content);
    }
    unzClose(zip);
    return entries;
}

class PackageGeneratorTest : public ::testing::Test {
protected:
    PackageGeneratorTest()
        : m_env("gen")
    {
        fs::create_directories(m_env.Path("one"));
        fs::create_directories(m_env.Path("two"));
        WriteTestFile(m_env.Path("one/user32.xsvf"), "first bitstream");
        WriteTestFile(m_env.Path("two/user16.xsvf"), "second bitstream");
        WriteTestFile(m_env.Path("readme.txt"), "notes");
        m_s.m_fpgaType = kFpgaVirtex5SX95T;
        m_s.m_xcf32pPath = W("one/user32.xsvf");
        m_s.m_xcf16pPath = W("two/user16.xsvf");
        m_s.m_fwpkgPath = W("out.tq8fw");
        m_s.m_fwVer = 0x01020304;
        m_s.m_fwCustEnum = 4321;
    }

    std::wstring W(const std::string& name) const { return vlt::Utf8ToWide(m_env.Path(name)); }

    // Sets the second file's time this many seconds after the first's.
    void SetTimesApart(long long seconds)
    {
        const auto base = fs::last_write_time(m_env.Path("one/user32.xsvf"));
        fs::last_write_time(m_env.Path("two/user16.xsvf"), base + std::chrono::seconds(seconds));
    }

    bool Check(CFwContextTQ8& ctx, FwPackagePairs& pairs)
    {
        CFwPackageGenerator gen(m_s);
        const bool ok = gen.ValidateAndBuildContext(ctx, pairs);
        m_focus = gen.FocusAfterFailure();
        return ok;
    }

    bool Check()
    {
        CFwContextTQ8 ctx;
        FwPackagePairs pairs;
        return Check(ctx, pairs);
    }

    FwGenTestEnv m_env;
    CFwGenSettings m_s;
    CFwPackageGenerator::Focus m_focus;
};

TEST_F(PackageGeneratorTest, OutputPathMissing)
{
    vlt::MessageBoxRecorder boxes;
    m_s.m_fwpkgPath.clear();
    m_s.m_fpgaType = 7; // later checks are not reached
    EXPECT_FALSE(Check());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"Please specify a pathname for output firmware package file");
    EXPECT_EQ(boxes.Boxes()[0].style, MB_OK | MB_ICONERROR);
    EXPECT_EQ(m_focus.control, IDC_OUTPUT_PATH);
    EXPECT_FALSE(m_focus.selectAll);
}

TEST_F(PackageGeneratorTest, ExistingOutputAsksAndNoEndsQuietly)
{
    WriteTestFile(m_env.Path("out.tq8fw"), "old");
    vlt::MessageBoxRecorder boxes;
    boxes.QueueAnswer(IDNO);
    EXPECT_FALSE(CFwPackageGenerator(m_s).Generate());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"Specified output file already exists. Overwrite?");
    EXPECT_EQ(boxes.Boxes()[0].style, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(ReadTestFile(m_env.Path("out.tq8fw")), "old");
}

TEST_F(PackageGeneratorTest, ExistingOutputYesReplaces)
{
    WriteTestFile(m_env.Path("out.tq8fw"), "old");
    SetTimesApart(0);
    vlt::MessageBoxRecorder boxes;
    boxes.QueueAnswer(IDYES);
    boxes.QueueAnswer(IDOK);
    EXPECT_TRUE(CFwPackageGenerator(m_s).Generate());
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(ArchiveEntries(m_env.Path("out.tq8fw")).size(), 3u);
}

TEST_F(PackageGeneratorTest, PromptOffReplacesWithoutQuestion)
{
    WriteTestFile(m_env.Path("out.tq8fw"), "old");
    SetTimesApart(0);
    m_s.m_ovrwrtPrompt = false;
    vlt::MessageBoxRecorder boxes;
    EXPECT_TRUE(CFwPackageGenerator(m_s).Generate());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), kCreated);
    EXPECT_EQ(boxes.Boxes()[0].style, MB_OK);
}

TEST_F(PackageGeneratorTest, OutputThatNamesAnInputIsRefusedBeforeAnythingIsWritten)
{
    SetTimesApart(0);
    m_s.m_readmePath = W("readme.txt");
    fs::create_symlink(m_env.Path("readme.txt"), m_env.Path("link.txt"));
    fs::create_hard_link(m_env.Path("two/user16.xsvf"), m_env.Path("hard.xsvf"));
    for (const char* output : {"one/user32.xsvf", "two/../one/user32.xsvf", "link.txt", "hard.xsvf"}) {
        for (bool prompt : {true, false}) {
            SCOPED_TRACE(std::string(output) + (prompt ? ", prompt" : ", no prompt"));
            m_s.m_fwpkgPath = W(output);
            m_s.m_ovrwrtPrompt = prompt;
            vlt::MessageBoxRecorder boxes;
            boxes.QueueAnswer(IDYES);
            EXPECT_FALSE(CFwPackageGenerator(m_s).Generate());
            ASSERT_EQ(boxes.Count(), 1u);
            EXPECT_EQ(boxes.LastText(), L"The output firmware package file '" + W(output)
                                            + L"' is one of the input files. Please specify another pathname.");
            EXPECT_EQ(ReadTestFile(m_env.Path("one/user32.xsvf")), "first bitstream");
            EXPECT_EQ(ReadTestFile(m_env.Path("two/user16.xsvf")), "second bitstream");
            EXPECT_EQ(ReadTestFile(m_env.Path("readme.txt")), "notes");
            EXPECT_TRUE(fs::is_empty(m_env.Tmp()));
            EXPECT_EQ(std::distance(fs::directory_iterator(m_env.Path("one")), fs::directory_iterator()), 1);
        }
    }
    CFwPackageGenerator gen(m_s);
    CFwContextTQ8 ctx;
    FwPackagePairs pairs;
    vlt::MessageBoxRecorder boxes;
    EXPECT_FALSE(gen.ValidateAndBuildContext(ctx, pairs));
    EXPECT_EQ(gen.FocusAfterFailure().control, IDC_OUTPUT_PATH);
    EXPECT_TRUE(gen.FocusAfterFailure().selectAll);
}

TEST_F(PackageGeneratorTest, InputThatIsNoPlainFileFailsAtOnce)
{
    m_s.m_fpgaType = kFpgaVirtex5LX50;
    m_s.m_readmePath = W("readme.txt");
    for (const char* input : {"one/user32.xsvf", "readme.txt"}) {
        for (badfiles::Kind kind : {badfiles::Kind::Fifo, badfiles::Kind::Sparse, badfiles::Kind::DevZero}) {
            SCOPED_TRACE(std::string(input) + ": " + badfiles::Name(kind));
            ASSERT_TRUE(badfiles::Make(kind, m_env.Path(input)));
            vlt::MessageBoxRecorder boxes;
            badfiles::HangGuard guard;
            EXPECT_FALSE(CFwPackageGenerator(m_s).Generate());
            ASSERT_EQ(boxes.Count(), 1u);
            EXPECT_EQ(boxes.LastText().rfind(L"Failed to write firmware package file: ", 0), 0u);
            EXPECT_FALSE(TestFileExists(m_env.Path("out.tq8fw")));
            EXPECT_TRUE(fs::is_empty(m_env.Tmp()));
        }
        fs::remove(m_env.Path(input));
        WriteTestFile(m_env.Path(input), "restored");
    }
}

TEST_F(PackageGeneratorTest, ReadmeSeverityOutsideTheListIsRefused)
{
    m_s.m_readmePath = W("readme.txt");
    for (int32_t severity : {-1, 2, INT_MAX, INT_MIN}) {
        m_s.m_readmeSev = severity;
        vlt::MessageBoxRecorder boxes;
        EXPECT_FALSE(Check()) << severity;
        EXPECT_EQ(boxes.LastText(), L"Please select a readme severity");
        EXPECT_EQ(m_focus.control, IDC_README_SEV);
    }
}

TEST_F(PackageGeneratorTest, ReadmeMissing)
{
    vlt::MessageBoxRecorder boxes;
    m_s.m_readmePath = W("nope.txt");
    EXPECT_FALSE(Check());
    EXPECT_EQ(boxes.LastText(), L"Specified readme file does not exist");
    EXPECT_EQ(m_focus.control, IDC_README_PATH);
    EXPECT_TRUE(m_focus.selectAll);
}

TEST_F(PackageGeneratorTest, UnknownFpgaType)
{
    for (int type : {-1, 2}) {
        vlt::MessageBoxRecorder boxes;
        m_s.m_fpgaType = type;
        EXPECT_FALSE(Check());
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.LastText(), L"Unknown FPGA type!");
    }
}

TEST_F(PackageGeneratorTest, FirstBitstreamChecks)
{
    vlt::MessageBoxRecorder boxes;
    m_s.m_xcf32pPath.clear();
    EXPECT_FALSE(Check());
    EXPECT_EQ(boxes.LastText(), L"Please specify a XSVF file for xcf32p EEPROM");
    EXPECT_EQ(m_focus.control, IDC_XCF32P_PATH);
    m_s.m_xcf32pPath = W("missing.xsvf");
    EXPECT_FALSE(Check());
    EXPECT_EQ(boxes.LastText(), L"File '" + W("missing.xsvf") + L"' does not exist");
    EXPECT_EQ(m_focus.control, IDC_XCF32P_PATH);
    EXPECT_TRUE(m_focus.selectAll);
    m_s.m_xcf32pPath = W("one"); // a folder is not a file
    EXPECT_FALSE(Check());
    EXPECT_EQ(boxes.LastText(), L"File '" + W("one") + L"' does not exist");
    // An empty bitstream would make a package that programs nothing.
    WriteTestFile(m_env.Path("empty32.xsvf"), "");
    m_s.m_xcf32pPath = W("empty32.xsvf");
    boxes.Clear();
    EXPECT_FALSE(CFwPackageGenerator(m_s).Generate());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"File '" + W("empty32.xsvf") + L"' is empty");
    EXPECT_FALSE(TestFileExists(m_env.Path("out.tq8fw")));
    EXPECT_FALSE(Check());
    EXPECT_EQ(m_focus.control, IDC_XCF32P_PATH);
    EXPECT_TRUE(m_focus.selectAll);
}

TEST_F(PackageGeneratorTest, SecondBitstreamChecks)
{
    vlt::MessageBoxRecorder boxes;
    m_s.m_xcf16pPath.clear();
    EXPECT_FALSE(Check());
    EXPECT_EQ(boxes.LastText(), L"Please specify a XSVF file for xcf16p EEPROM");
    EXPECT_EQ(m_focus.control, IDC_XCF16P_PATH);
    m_s.m_xcf16pPath = W("missing16.xsvf");
    EXPECT_FALSE(Check());
    EXPECT_EQ(boxes.LastText(), L"File '" + W("missing16.xsvf") + L"' does not exist");
    EXPECT_EQ(m_focus.control, IDC_XCF16P_PATH);
    EXPECT_TRUE(m_focus.selectAll);
    WriteTestFile(m_env.Path("two/empty16.xsvf"), "");
    m_s.m_xcf16pPath = W("two/empty16.xsvf");
    EXPECT_FALSE(Check());
    EXPECT_EQ(boxes.LastText(), L"File '" + W("two/empty16.xsvf") + L"' is empty");
    EXPECT_EQ(m_focus.control, IDC_XCF16P_PATH);
    EXPECT_TRUE(m_focus.selectAll);
}

TEST_F(PackageGeneratorTest, SameFileNameForBothPromsIsRefused)
{
    WriteTestFile(m_env.Path("two/user32.xsvf"), "other");
    m_s.m_xcf16pPath = W("two/user32.xsvf");
    vlt::MessageBoxRecorder boxes;
    EXPECT_FALSE(Check());
    EXPECT_EQ(boxes.LastText(), L"The xcf32p and xcf16p files must have different file names");
}

TEST_F(PackageGeneratorTest, FirstTypeIgnoresSecondBitstream)
{
    m_s.m_fpgaType = kFpgaVirtex5LX50;
    m_s.m_xcf16pPath = W("missing16.xsvf");
    SetTimesApart(7200);
    vlt::MessageBoxRecorder boxes;
    CFwContextTQ8 ctx;
    FwPackagePairs pairs;
    ASSERT_TRUE(Check(ctx, pairs));
    EXPECT_EQ(boxes.Count(), 0u);
    ASSERT_EQ(ctx.m_chunks.size(), 1u);
    ASSERT_EQ(ctx.m_chunks.count(2), 1u);
    EXPECT_EQ(ctx.m_chunks[2].m_files, std::vector<std::string>{"user32.xsvf"});
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].first, m_env.Path("one/user32.xsvf"));
    EXPECT_EQ(pairs[0].second, "user32.xsvf");
}

TEST_F(PackageGeneratorTest, FileTimes959SecondsApartGiveNoWarning)
{
    SetTimesApart(959);
    vlt::MessageBoxRecorder boxes;
    EXPECT_TRUE(Check());
    EXPECT_EQ(boxes.Count(), 0u);
    SetTimesApart(-959);
    EXPECT_TRUE(Check());
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(PackageGeneratorTest, FileTimes960SecondsApartWarn)
{
    SetTimesApart(-960);
    vlt::MessageBoxRecorder boxes;
    boxes.QueueAnswer(IDNO);
    EXPECT_FALSE(Check());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), kTimeWarning);
    EXPECT_EQ(boxes.Boxes()[0].style, MB_YESNO | MB_ICONWARNING);
    SetTimesApart(960);
    boxes.QueueAnswer(IDYES);
    EXPECT_TRUE(Check());
    EXPECT_EQ(boxes.Count(), 2u);
}

TEST_F(PackageGeneratorTest, ModelForSecondFpgaType)
{
    SetTimesApart(1);
    m_s.m_preRel = true;
    m_s.m_readmePath = W("readme.txt");
    m_s.m_readmeSev = 1;
    vlt::MessageBoxRecorder boxes;
    CFwContextTQ8 ctx;
    FwPackagePairs pairs;
    ASSERT_TRUE(Check(ctx, pairs));
    EXPECT_EQ(ctx.m_versionPkg, 0x63000000u);
    EXPECT_EQ(ctx.m_custEnumPkg, 4321u);
    EXPECT_EQ(ctx.m_readmeSev, 2);
    ASSERT_EQ(ctx.m_chunks.size(), 2u);
    for (int id : {4, 5}) {
        EXPECT_EQ(ctx.m_chunks[id].m_version, 0x01020304u);
        EXPECT_EQ(ctx.m_chunks[id].m_custEnum, 4321u);
        EXPECT_EQ(ctx.m_chunks[id].m_flags, 1u);
        EXPECT_EQ(ctx.m_chunks[id].m_fileCount, 1);
    }
    EXPECT_EQ(ctx.m_chunks[4].m_files, std::vector<std::string>{"user32.xsvf"});
    EXPECT_EQ(ctx.m_chunks[5].m_files, std::vector<std::string>{"user16.xsvf"});
    const FwPackagePairs expected{{m_env.Path("one/user32.xsvf"), "user32.xsvf"},
                                  {m_env.Path("two/user16.xsvf"), "user16.xsvf"},
                                  {m_env.Path("readme.txt"), "fw_readme.txt"}};
    EXPECT_EQ(pairs, expected);
}

TEST_F(PackageGeneratorTest, ArchiveNameHoldsNoBackslash)
{
    // A package reader takes a backslash for a folder, which no entry may hold.
    WriteTestFile(m_env.Path("one/sub\\user32.xsvf"), "first bitstream");
    m_s.m_fpgaType = kFpgaVirtex5LX50;
    m_s.m_xcf32pPath = W("one/sub\\user32.xsvf");
    vlt::MessageBoxRecorder boxes;
    CFwContextTQ8 ctx;
    FwPackagePairs pairs;
    ASSERT_TRUE(Check(ctx, pairs));
    EXPECT_EQ(ctx.m_chunks[2].m_files, std::vector<std::string>{"user32.xsvf"});
    const FwPackagePairs expected{{m_env.Path("one/sub\\user32.xsvf"), "user32.xsvf"}};
    EXPECT_EQ(pairs, expected);
}

TEST_F(PackageGeneratorTest, GeneratedPackageWithReadme)
{
    SetTimesApart(0);
    m_s.m_readmePath = W("readme.txt");
    m_s.m_readmeSev = 0;
    vlt::MessageBoxRecorder boxes;
    ASSERT_TRUE(CFwPackageGenerator(m_s).Generate());
    EXPECT_EQ(boxes.LastText(), kCreated);
    const auto entries = ArchiveEntries(m_env.Path("out.tq8fw"));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].first, "context_v2.xml");
    EXPECT_EQ(entries[1], (std::pair<std::string, std::string>{"user32.xsvf", "first bitstream"}));
    EXPECT_EQ(entries[2], (std::pair<std::string, std::string>{"user16.xsvf", "second bitstream"}));
    EXPECT_EQ(entries[3], (std::pair<std::string, std::string>{"fw_readme.txt", "notes"}));
    WriteTestFile(m_env.Path("manifest.xml"), entries[0].second);
    CFwContextTQ8 ctx;
    ASSERT_EQ(ctx.Load(m_env.Path("manifest.xml")), 0);
    EXPECT_EQ(ctx.m_readmeSev, 1);
    EXPECT_EQ(ctx.m_chunks.size(), 2u);
    // The temporary manifest is gone.
    EXPECT_TRUE(fs::is_empty(m_env.Tmp()));
}

TEST_F(PackageGeneratorTest, EmptyReadmePathGivesNoEntry)
{
    m_s.m_fpgaType = kFpgaVirtex5LX50;
    vlt::MessageBoxRecorder boxes;
    ASSERT_TRUE(CFwPackageGenerator(m_s).Generate());
    const auto entries = ArchiveEntries(m_env.Path("out.tq8fw"));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_NE(entries[0].second.find(" <readmesev>0</readmesev>\r\n"), std::string::npos);
}

TEST_F(PackageGeneratorTest, PackageWriteFailureIsReportedAndTempRemoved)
{
    m_s.m_fpgaType = kFpgaVirtex5LX50;
    m_s.m_fwpkgPath = W("no/such/folder/out.tq8fw");
    vlt::MessageBoxRecorder boxes;
    EXPECT_FALSE(CFwPackageGenerator(m_s).Generate());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"Failed to write firmware package file: ", 0), 0u) << vlt::WideToUtf8(boxes.LastText());
    EXPECT_NE(boxes.LastText().find(L"No such file or directory"), std::wstring::npos);
    EXPECT_EQ(boxes.Boxes()[0].style, MB_OK | MB_ICONERROR);
    EXPECT_TRUE(fs::is_empty(m_env.Tmp()));
}

// A run killed while it wrote the package leaves its manifest in the
// temporary folder; the next run removes it, but not one of a run that
// still goes on (process 1 always runs), nor a file that only looks alike.
TEST_F(PackageGeneratorTest, TheNextRunRemovesTheManifestOfAKilledOne)
{
    m_s.m_fpgaType = kFpgaVirtex5LX50;
    // The id of a process that has ended.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string stale = m_env.Tmp() + "/CF6" + std::to_string(child) + ".Ab12Cd";
    const std::string running = m_env.Tmp() + "/CF61.Ab12Cd";
    const std::string alike = m_env.Tmp() + "/CF6notours";
    for (const std::string* path : {&stale, &running, &alike})
        WriteTestFile(*path, "<manifest/>");
    vlt::MessageBoxRecorder boxes;
    EXPECT_TRUE(CFwPackageGenerator(m_s).Generate());
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_TRUE(fs::exists(alike));
}

// The system's reason of a failed write reaches the user.
TEST_F(PackageGeneratorTest, AFullDiskIsNamedInTheMessage)
{
    m_s.m_fpgaType = kFpgaVirtex5LX50;
    fs::create_directories(m_env.Path("full"));
    const auto text = fulldisk::Run(m_env.Path("full"), 1 << 20, 0, [this](const std::string& folder) {
        m_s.m_fwpkgPath = vlt::Utf8ToWide(folder + "/out.tq8fw");
        vlt::MessageBoxRecorder boxes;
        const bool made = CFwPackageGenerator(m_s).Generate();
        return std::string(made ? "made" : "") + vlt::WideToUtf8(boxes.LastText());
    });
    if (!text)
        GTEST_SKIP() << "no full file system can be mounted here";
    EXPECT_EQ(text->rfind("Failed to write firmware package file: The operation failed\n\nCannot write '", 0), 0u)
        << *text;
    EXPECT_NE(text->find("out.tq8fw': No space left on device"), std::string::npos) << *text;
    EXPECT_TRUE(fs::is_empty(m_env.Tmp()));
}

// A FIFO, a device link or a folder named as the output is refused before
// anything is written, and stays.
TEST_F(PackageGeneratorTest, OutputThatIsNoPlainFileIsRefused)
{
    m_s.m_fpgaType = kFpgaVirtex5LX50;
    for (badfiles::Kind kind : {badfiles::Kind::Fifo, badfiles::Kind::DevZero, badfiles::Kind::Folder}) {
        SCOPED_TRACE(badfiles::Name(kind));
        ASSERT_TRUE(badfiles::Make(kind, m_env.Path("out.tq8fw")));
        vlt::MessageBoxRecorder boxes;
        badfiles::HangGuard guard;
        EXPECT_FALSE(CFwPackageGenerator(m_s).Generate());
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.LastText(), L"The output firmware package file '" + W("out.tq8fw")
                                        + L"' is not a regular file. Please specify another pathname.");
        EXPECT_FALSE(fs::is_regular_file(m_env.Path("out.tq8fw")));
        EXPECT_TRUE(fs::is_empty(m_env.Tmp()));
        fs::remove(m_env.Path("out.tq8fw"));
    }
}

TEST_F(PackageGeneratorTest, ManifestWriteFailureIsReported)
{
    m_s.m_fpgaType = kFpgaVirtex5LX50;
    setenv("TMPDIR", m_env.Path("no-such-tmp").c_str(), 1);
    vlt::MessageBoxRecorder boxes;
    EXPECT_FALSE(CFwPackageGenerator(m_s).Generate());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"Failed to write firmware file context data: ", 0), 0u);
    EXPECT_FALSE(TestFileExists(m_env.Path("out.tq8fw")));
}

} // namespace
