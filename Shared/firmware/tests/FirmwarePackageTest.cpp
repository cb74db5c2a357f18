#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>

#include <unzip.h>

#include "CFwContextTQ8.h"
#include "FirmwarePackage.h"
#include "FwTestFiles.h"

namespace {

std::string RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes)
        c = static_cast<char>(gen() & 0xFF);
    return bytes;
}

// An entry as minizip's reader sees it.
struct EntryInfo {
    std::string name;
    unz_file_info64 info{};
    std::string content;
};

std::vector<EntryInfo> ReadArchive(const std::string& path, std::string* comment = nullptr)
{
    std::vector<EntryInfo> entries;
    unzFile zip = unzOpen64(path.c_str());
    if (!zip)
        return entries;
    unz_global_info64 global{};
    unzGetGlobalInfo64(zip, &global);
    if (comment) {
        char text[256] = {};
        unzGetGlobalComment(zip, text, sizeof text);
        *comment = text;
    }
    for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        EntryInfo entry;
        char name[512] = {};
        unzGetCurrentFileInfo64(zip, &entry.info, name, sizeof name, nullptr, 0, nullptr, 0);
        entry.name = name;
        if (unzOpenCurrentFile(zip) == UNZ_OK) {
            char buf[8192];
            int n;
            while ((n = unzReadCurrentFile(zip, buf, sizeof buf)) > 0)
                entry.content.append(buf, static_cast<size_t>(n));
            unzCloseCurrentFile(zip);
        }
        entries.push_back(std::move(entry));
    }
    unzClose(zip);
    return entries;
}

class FirmwarePackageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = MakeTestDir("pkg");
        m_manifest = Path("CF6manifest.tmp");
        CFwContextTQ8 ctx;
        ctx.m_versionPkg = 0x63000000;
        ctx.m_chunks[4].m_files = {"first.xsvf"};
        ctx.m_chunks[5].m_files = {"second.xsvf"};
        ASSERT_EQ(ctx.Save(m_manifest), 0);
        m_first = RandomBytes(100000, 1); // several copy pieces
        m_second = std::string(16384, 'x'); // exactly one piece
        m_readme = "Read me & weep\r\n";
        WriteTestFile(Path("first.xsvf"), m_first);
        WriteTestFile(Path("second.xsvf"), m_second);
        WriteTestFile(Path("notes.txt"), m_readme);
        m_pairs = {{m_manifest, "context_v2.xml"},
                   {Path("first.xsvf"), "first.xsvf"},
                   {Path("second.xsvf"), "second.xsvf"},
                   {Path("notes.txt"), "fw_readme.txt"}};
        m_package = Path("out.tq8fw");
    }

    std::string Path(const std::string& name) const { return m_dir + "/" + name; }

    std::string m_dir, m_manifest, m_first, m_second, m_readme, m_package;
    FwPackagePairs m_pairs;
};

TEST_F(FirmwarePackageTest, EntriesInOrderDeflatedWithoutFileInformation)
{
    ASSERT_EQ(WriteFirmwarePackage(m_package, m_pairs), 0);
    std::string comment = "unset";
    const auto entries = ReadArchive(m_package, &comment);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(comment, "");
    const std::vector<std::string> names{"context_v2.xml", "first.xsvf", "second.xsvf", "fw_readme.txt"};
    const std::vector<std::string> contents{ReadTestFile(m_manifest), m_first, m_second, m_readme};
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].name, names[i]);
        EXPECT_EQ(entries[i].content, contents[i]) << names[i];
        EXPECT_EQ(entries[i].info.compression_method, 8u);
        EXPECT_EQ(entries[i].info.dosDate, 0u);
        EXPECT_EQ(entries[i].info.external_fa, 0u);
        // minizip itself marks entries that look like text (bit 0).
        EXPECT_EQ(entries[i].info.internal_fa & ~1ul, 0u);
        EXPECT_EQ(entries[i].info.size_file_extra, 0u);
        EXPECT_EQ(entries[i].info.size_file_comment, 0u);
    }
}

TEST_F(FirmwarePackageTest, UnzipToolListsAndTestsThePackage)
{
    if (!HaveProgram("unzip"))
        GTEST_SKIP() << "unzip is not installed";
    ASSERT_EQ(WriteFirmwarePackage(m_package, m_pairs), 0);
    int status = -1;
    const std::string test = RunCommand("unzip -t '" + m_package + "' 2>&1", status);
    EXPECT_EQ(status, 0) << test;
    EXPECT_NE(test.find("No errors detected"), std::string::npos) << test;
    const std::string list = RunCommand("unzip -l '" + m_package + "' 2>&1", status);
    EXPECT_EQ(status, 0) << list;
    const size_t a = list.find("context_v2.xml"), b = list.find("first.xsvf"), c = list.find("second.xsvf"),
                 d = list.find("fw_readme.txt");
    ASSERT_NE(d, std::string::npos) << list;
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_LT(c, d);
    EXPECT_NE(list.find("100000"), std::string::npos) << list;
    EXPECT_NE(list.find("4 files"), std::string::npos) << list;
}

TEST_F(FirmwarePackageTest, PythonZipfileReadsThePackage)
{
    if (!HaveProgram("python3"))
        GTEST_SKIP() << "python3 is not installed";
    ASSERT_EQ(WriteFirmwarePackage(m_package, m_pairs), 0);
    // One line per entry: name, method, extra length, comment length,
    // external attributes, and the path of a file holding its content.
    const std::string script = Path("check.py");
    WriteTestFile(script,
                  "import sys, zipfile\n"
                  "z = zipfile.ZipFile(sys.argv[1])\n"
                  "assert z.testzip() is None\n"
                  "print('comment', len(z.comment))\n"
                  "for i, info in enumerate(z.infolist()):\n"
                  "    out = sys.argv[2] + '/py%d.bin' % i\n"
                  "    open(out, 'wb').write(z.read(info))\n"
                  "    print(info.filename, info.compress_type, len(info.extra), len(info.comment),"
                  " info.external_attr, out)\n");
    int status = -1;
    const std::string out = RunCommand("python3 '" + script + "' '" + m_package + "' '" + m_dir + "' 2>&1", status);
    ASSERT_EQ(status, 0) << out;
    std::istringstream lines(out);
    std::string word;
    int commentLength = -1;
    lines >> word >> commentLength;
    EXPECT_EQ(commentLength, 0);
    const std::vector<std::string> names{"context_v2.xml", "first.xsvf", "second.xsvf", "fw_readme.txt"};
    const std::vector<std::string> contents{ReadTestFile(m_manifest), m_first, m_second, m_readme};
    for (size_t i = 0; i < names.size(); ++i) {
        std::string name, file;
        int method = -1, extra = -1, comment = -1, attrs = -1;
        ASSERT_TRUE(lines >> name >> method >> extra >> comment >> attrs >> file) << out;
        EXPECT_EQ(name, names[i]);
        EXPECT_EQ(method, 8);
        EXPECT_EQ(extra, 0);
        EXPECT_EQ(comment, 0);
        EXPECT_EQ(attrs, 0);
        EXPECT_EQ(ReadTestFile(file), contents[i]) << name;
    }
    EXPECT_FALSE(lines >> word) << out;
}

TEST_F(FirmwarePackageTest, ExistingPackageIsReplaced)
{
    WriteTestFile(m_package, "old package");
    ASSERT_EQ(WriteFirmwarePackage(m_package, {{Path("notes.txt"), "fw_readme.txt"}}), 0);
    const auto entries = ReadArchive(m_package);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].content, m_readme);
}

TEST_F(FirmwarePackageTest, MissingSourceFailsAndKeepsOldPackage)
{
    WriteTestFile(m_package, "old package");
    m_pairs.insert(m_pairs.begin() + 2, {Path("absent.xsvf"), "absent.xsvf"});
    EXPECT_EQ(WriteFirmwarePackage(m_package, m_pairs), -1);
    EXPECT_EQ(ReadTestFile(m_package), "old package");
}

TEST_F(FirmwarePackageTest, UnreadableSourceGives554)
{
    std::filesystem::create_directory(Path("folder.xsvf"));
    EXPECT_EQ(WriteFirmwarePackage(m_package, {{Path("folder.xsvf"), "folder.xsvf"}}), -554);
    EXPECT_FALSE(TestFileExists(m_package));
}

TEST_F(FirmwarePackageTest, OutputFolderMissingGivesMinusOne)
{
    EXPECT_EQ(WriteFirmwarePackage(Path("no/such/dir/x.tq8fw"), m_pairs), -1);
}

TEST_F(FirmwarePackageTest, DuplicateEntryNamesAreRefused)
{
    EXPECT_EQ(WriteFirmwarePackage(m_package, {{Path("first.xsvf"), "same.xsvf"}, {Path("second.xsvf"), "same.xsvf"}}),
              -1);
    EXPECT_EQ(WriteFirmwarePackage(m_package, {{Path("first.xsvf"), ""}, {Path("notes.txt"), "first.xsvf"}}), -1);
    EXPECT_FALSE(TestFileExists(m_package));
}

TEST_F(FirmwarePackageTest, EmptySourceGivesEmptyEntry)
{
    WriteTestFile(Path("empty.xsvf"), "");
    ASSERT_EQ(WriteFirmwarePackage(m_package, {{Path("empty.xsvf"), "empty.xsvf"}}), 0);
    const auto entries = ReadArchive(m_package);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "empty.xsvf");
    EXPECT_EQ(entries[0].content, "");
}

TEST_F(FirmwarePackageTest, EmptyNameTakesLastPathComponent)
{
    ASSERT_EQ(WriteFirmwarePackage(m_package, {{Path("first.xsvf"), ""}}), 0);
    const auto entries = ReadArchive(m_package);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "first.xsvf");
    EXPECT_EQ(entries[0].content, m_first);
}

TEST(PackageEntryName, Rules)
{
    EXPECT_EQ(PackageEntryName({"/a/b/c.xsvf", ""}), "c.xsvf");
    EXPECT_EQ(PackageEntryName({"C:\\fw\\d.xsvf", ""}), "d.xsvf");
    EXPECT_EQ(PackageEntryName({"plain.xsvf", ""}), "plain.xsvf");
    EXPECT_EQ(PackageEntryName({"/a/b/c.xsvf", "given"}), "given");
}

TEST_F(FirmwarePackageTest, SourceWithoutFolderIsUsedWhole)
{
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(m_dir);
    const int result = WriteFirmwarePackage("rel.tq8fw", {{"second.xsvf", ""}});
    std::filesystem::current_path(cwd);
    ASSERT_EQ(result, 0);
    const auto entries = ReadArchive(Path("rel.tq8fw"));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "second.xsvf");
}

TEST_F(FirmwarePackageTest, EmptyPairListGivesEmptyArchive)
{
    ASSERT_EQ(WriteFirmwarePackage(m_package, {}), 0);
    EXPECT_TRUE(ReadArchive(m_package).empty());
    EXPECT_TRUE(TestFileExists(m_package));
}

} // namespace

namespace {

TEST_F(FirmwarePackageTest, NonAsciiNameMatchesManifestForZipReaders)
{
    if (!HaveProgram("python3"))
        GTEST_SKIP() << "python3 is not installed";
    const std::string name = "Grün_été.xsvf";
    WriteTestFile(Path(name), "bits");
    CFwContextTQ8 ctx;
    ctx.m_chunks[2].m_files = {name};
    ASSERT_EQ(ctx.Save(m_manifest), 0);
    ASSERT_EQ(WriteFirmwarePackage(m_package, {{m_manifest, "context_v2.xml"}, {Path(name), name}}), 0);
    const std::string script = Path("names.py");
    WriteTestFile(script, "import sys, zipfile\n"
                          "for n in zipfile.ZipFile(sys.argv[1]).namelist():\n"
                          "    sys.stdout.buffer.write(n.encode('utf-8') + b'\\n')\n");
    int status = -1;
    const std::string out = RunCommand("python3 '" + script + "' '" + m_package + "'", status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(out, "context_v2.xml\n" + name + "\n");
    EXPECT_NE(ReadTestFile(m_manifest).find("<fwc_file1>" + name + "</fwc_file1>"), std::string::npos);
}

} // namespace
