#include <gtest/gtest.h>


#include "CFwContextTQ8.h"
#include "FwTestFiles.h"

namespace {

// Joins lines with CR LF after each, as the manifest is written.
std::string Lines(std::initializer_list<const char*> lines)
{
    std::string text;
    for (const char* line : lines)
        text += std::string(line) + "\r\n";
    return text;
}

size_t CountLines(const std::string& text)
{
    size_t n = 0;
    for (size_t pos = 0; (pos = text.find("\r\n", pos)) != std::string::npos; pos += 2)
        ++n;
    return n;
}

class FwContextTest : public ::testing::Test {
protected:
    void SetUp() override { m_dir = MakeTestDir("ctx"); }
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }

    std::string SaveText(CFwContextTQ8& ctx)
    {
        EXPECT_EQ(ctx.Save(Path("context_v2.xml")), 0);
        return ReadTestFile(Path("context_v2.xml"));
    }

    int LoadText(CFwContextTQ8& ctx, const std::string& body)
    {
        WriteTestFile(Path("in.xml"), body);
        return ctx.Load(Path("in.xml"));
    }

    int LoadVersion(CFwContextTQ8& ctx, const std::string& version)
    {
        return LoadText(ctx, "<TQ8_Firmware><version_pkg>" + version + "</version_pkg></TQ8_Firmware>");
    }

    std::string m_dir;
};

const std::string kHead = Lines({
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>",
    "<TQ8_Firmware>",
    "<!--Firmware package information-->",
    " <version_pkg>99.0.0.0</version_pkg>",
    " <cust_enum_pkg>1234</cust_enum_pkg>",
    " <ucd>0</ucd>",
});

const std::string kRequirementsToAux = Lines({
    " <fw_flags>0</fw_flags>",
    "",
    "<!-- Firmware requirements -->",
    " <req_boardrevision>0</req_boardrevision>",
    " <req_customhwenum>0</req_customhwenum>",
    " <req_maxhwrevision>0.0.0.0</req_maxhwrevision>",
    " <req_minhwrevision>0.0.0.0</req_minhwrevision>",
    " <req_minswversion>0.0.0.0</req_minswversion>",
    "",
    "<!-- Firmware notes -->",
    " <readmesev>0</readmesev>",
    "",
    "<!-- Auxiliary file info -->",
    " <auxfilecount>0</auxfilecount>",
});

const std::string kTail = Lines({"", "</TQ8_Firmware>"});

CFwContextTQ8 GeneratorModel()
{
    CFwContextTQ8 ctx;
    ctx.m_versionPkg = 0x63000000;
    ctx.m_custEnumPkg = 1234;
    return ctx;
}

TEST_F(FwContextTest, NewModelIsCleared)
{
    CFwContextTQ8 ctx;
    EXPECT_EQ(ctx.m_versionPkg, 0u);
    EXPECT_TRUE(ctx.m_relDate.empty());
    EXPECT_TRUE(ctx.m_chunks.empty());
    EXPECT_TRUE(ctx.m_auxFiles.empty());
    EXPECT_TRUE(ctx.m_userDefined.empty());
}

TEST_F(FwContextTest, ReleaseDateOnlyGives23Lines)
{
    CFwContextTQ8 ctx = GeneratorModel();
    ctx.m_relDate = "2026-12-08";
    const std::string text = SaveText(ctx);
    EXPECT_EQ(text, kHead + Lines({" <rel_date>2026-12-08</rel_date>"}) + kRequirementsToAux + kTail);
    EXPECT_EQ(CountLines(text), 23u);
}

TEST_F(FwContextTest, WithoutReleaseDateGives22Lines)
{
    CFwContextTQ8 ctx = GeneratorModel();
    const std::string text = SaveText(ctx);
    EXPECT_EQ(text, kHead + kRequirementsToAux + kTail);
    EXPECT_EQ(CountLines(text), 22u);
}

TEST_F(FwContextTest, FirstFpgaTypePackageTextByteForByte)
{
    CFwContextTQ8 ctx = GeneratorModel();
    auto& chunk = ctx.m_chunks[2];
    chunk.m_version = 0x01020304;
    chunk.m_custEnum = 1234;
    chunk.m_flags = 1;
    chunk.m_fileCount = 1;
    chunk.m_files = {"user_lx50.xsvf"};
    const std::string expected = kHead + kRequirementsToAux + Lines({
        "",
        "<!-- Per-firmware chunk information -->",
        "",
        "<!-- Firmware chunk: 2 = ZabV5LX50_1 (xcf32p)-->",
        " <firmware_chunk id=\"2\">",
        "  <fwc_version>1.2.3.4</fwc_version>",
        "  <fwc_cust_enum>1234</fwc_cust_enum>",
        "  <fwc_flags>1</fwc_flags>",
        "  <fwc_file_count>1</fwc_file_count>",
        "   <fwc_file1>user_lx50.xsvf</fwc_file1>",
        " </firmware_chunk>",
        "",
    }) + kTail;
    EXPECT_EQ(SaveText(ctx), expected);
}

TEST_F(FwContextTest, AllBlocksTextByteForByte)
{
    CFwContextTQ8 ctx = GeneratorModel();
    ctx.m_reqBoardRevision = -3;
    ctx.m_reqMaxHwRevision = 0x01000000;
    ctx.m_reqMinSwVersion = (uint64_t{2} << 48) | (uint64_t{8} << 32) | 6;
    ctx.m_readmeSev = 2;
    ctx.m_auxFileCount = 2;
    ctx.m_auxFiles = {"a.bin", "b<c>.bin"};
    ctx.m_userDefined = {{"Author", "Tom's"}};
    ctx.m_chunks[5].m_files = {"second.xsvf"};
    ctx.m_chunks[4].m_files = {"first.xsvf"};
    ctx.m_chunks[9].m_fileCount = 0;
    const std::string expected = Lines({
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>",
        "<TQ8_Firmware>",
        "<!--Firmware package information-->",
        " <version_pkg>99.0.0.0</version_pkg>",
        " <cust_enum_pkg>1234</cust_enum_pkg>",
        " <ucd>0</ucd>",
        " <fw_flags>0</fw_flags>",
        "",
        "<!-- Firmware requirements -->",
        " <req_boardrevision>-3</req_boardrevision>",
        " <req_customhwenum>0</req_customhwenum>",
        " <req_maxhwrevision>1.0.0.0</req_maxhwrevision>",
        " <req_minhwrevision>0.0.0.0</req_minhwrevision>",
        " <req_minswversion>2.8.0.6</req_minswversion>",
        "",
        "<!-- Firmware notes -->",
        " <readmesev>2</readmesev>",
        "",
        "<!-- Auxiliary file info -->",
        " <auxfilecount>2</auxfilecount>",
        "  <auxfile1>a.bin</auxfile1>",
        "  <auxfile2>b&lt;c&gt;.bin</auxfile2>",
        "",
        "<!-- User defined items -->",
        " <UserDefined>",
        "    <Author>Tom&apos;s</Author>",
        "</UserDefined>",
        "",
        "<!-- Per-firmware chunk information -->",
        "",
        "<!-- Firmware chunk: 4 = ZabV5SX95T_1 (xcf32p)-->",
        " <firmware_chunk id=\"4\">",
        "  <fwc_version>0.0.0.0</fwc_version>",
        "  <fwc_cust_enum>0</fwc_cust_enum>",
        "  <fwc_flags>0</fwc_flags>",
        "  <fwc_file_count>1</fwc_file_count>",
        "   <fwc_file1>first.xsvf</fwc_file1>",
        " </firmware_chunk>",
        "",
        "",
        "<!-- Firmware chunk: 5 = ZabV5SX95T_2 (xcf16p)-->",
        " <firmware_chunk id=\"5\">",
        "  <fwc_version>0.0.0.0</fwc_version>",
        "  <fwc_cust_enum>0</fwc_cust_enum>",
        "  <fwc_flags>0</fwc_flags>",
        "  <fwc_file_count>1</fwc_file_count>",
        "   <fwc_file1>second.xsvf</fwc_file1>",
        " </firmware_chunk>",
        "",
        "",
        "<!-- Firmware chunk: 9 = (Unknown firmware chunk type)-->",
        " <firmware_chunk id=\"9\">",
        "  <fwc_version>0.0.0.0</fwc_version>",
        "  <fwc_cust_enum>0</fwc_cust_enum>",
        "  <fwc_flags>0</fwc_flags>",
        "  <fwc_file_count>0</fwc_file_count>",
        " </firmware_chunk>",
        "",
        "",
        "</TQ8_Firmware>",
    });
    EXPECT_EQ(SaveText(ctx), expected);
}

TEST_F(FwContextTest, ChunkNames)
{
    EXPECT_STREQ(CFwContextTQ8::ChunkName(0), "SysV5LX50_1 (xcf32p)");
    EXPECT_STREQ(CFwContextTQ8::ChunkName(1), "SysV5LX50_2 (xcf16p)");
    EXPECT_STREQ(CFwContextTQ8::ChunkName(3), "ZabV5LX50_2 (xcf16p)");
    EXPECT_STREQ(CFwContextTQ8::ChunkName(-1), "(Unknown firmware chunk type)");
    EXPECT_STREQ(CFwContextTQ8::ChunkName(6), "(Unknown firmware chunk type)");
}

TEST_F(FwContextTest, ZeroFileCountIsWrittenAsNameCountAndStored)
{
    CFwContextTQ8 ctx = GeneratorModel();
    ctx.m_chunks[2].m_files = {"x.xsvf"};
    const std::string text = SaveText(ctx);
    EXPECT_NE(text.find("  <fwc_file_count>1</fwc_file_count>\r\n"), std::string::npos);
    EXPECT_EQ(ctx.m_chunks[2].m_fileCount, 1);
}

TEST_F(FwContextTest, AmpersandsAreEscapedAndReadBack)
{
    CFwContextTQ8 ctx = GeneratorModel();
    ctx.m_relDate = "Q3 & Q4";
    ctx.m_chunks[2].m_files = {"R&D.xsvf"};
    const std::string text = SaveText(ctx);
    EXPECT_NE(text.find("   <fwc_file1>R&amp;D.xsvf</fwc_file1>\r\n"), std::string::npos);
    EXPECT_NE(text.find(" <rel_date>Q3 &amp; Q4</rel_date>\r\n"), std::string::npos);

    CFwContextTQ8 back;
    ASSERT_EQ(back.Load(Path("context_v2.xml")), 0);
    EXPECT_EQ(back.m_relDate, "Q3 & Q4");
    EXPECT_EQ(back.m_chunks[2].m_files, std::vector<std::string>{"R&D.xsvf"});
}

TEST_F(FwContextTest, FullRoundTrip)
{
    CFwContextTQ8 ctx;
    ctx.m_versionPkg = 0x01020304;
    ctx.m_custEnumPkg = 4000000000u;
    ctx.m_ucd = 7;
    ctx.m_relDate = "8 Dec 2026 <beta>";
    ctx.m_fwFlags = 0x80000001u;
    ctx.m_reqBoardRevision = -2147483647 - 1;
    ctx.m_reqCustomHwEnum = 65535;
    ctx.m_reqMaxHwRevision = 0xFFFEFDFCu;
    ctx.m_reqMinHwRevision = 0x00000001u;
    ctx.m_reqMinSwVersion = 0xFFFF000100020003ull;
    ctx.m_readmeSev = 1;
    ctx.m_auxFileCount = 2;
    ctx.m_auxFiles = {"aux one.bin", "\"two\".bin"};
    ctx.m_userDefined = {{"Build", "7 > 6"}, {"Owner", "Müller & Søn"}};
    auto& c4 = ctx.m_chunks[4];
    c4.m_version = 0xFF000001u;
    c4.m_custEnum = 65534;
    c4.m_flags = 1;
    c4.m_fileCount = 2;
    c4.m_files = {"a.xsvf", "b.xsvf"};
    ctx.m_chunks[-7].m_files = {"neg.xsvf"};
    ASSERT_EQ(ctx.Save(Path("rt.xml")), 0);

    CFwContextTQ8 back;
    ASSERT_EQ(back.Load(Path("rt.xml")), 0);
    EXPECT_EQ(back.m_versionPkg, ctx.m_versionPkg);
    EXPECT_EQ(back.m_custEnumPkg, ctx.m_custEnumPkg);
    EXPECT_EQ(back.m_ucd, ctx.m_ucd);
    EXPECT_EQ(back.m_relDate, ctx.m_relDate);
    EXPECT_EQ(back.m_fwFlags, ctx.m_fwFlags);
    EXPECT_EQ(back.m_reqBoardRevision, ctx.m_reqBoardRevision);
    EXPECT_EQ(back.m_reqCustomHwEnum, ctx.m_reqCustomHwEnum);
    EXPECT_EQ(back.m_reqMaxHwRevision, ctx.m_reqMaxHwRevision);
    EXPECT_EQ(back.m_reqMinHwRevision, ctx.m_reqMinHwRevision);
    EXPECT_EQ(back.m_reqMinSwVersion, ctx.m_reqMinSwVersion);
    EXPECT_EQ(back.m_readmeSev, ctx.m_readmeSev);
    EXPECT_EQ(back.m_auxFileCount, ctx.m_auxFileCount);
    EXPECT_EQ(back.m_auxFiles, ctx.m_auxFiles);
    EXPECT_EQ(back.m_userDefined, ctx.m_userDefined);
    ASSERT_EQ(back.m_chunks.size(), 2u);
    EXPECT_EQ(back.m_chunks[4].m_version, c4.m_version);
    EXPECT_EQ(back.m_chunks[4].m_custEnum, c4.m_custEnum);
    EXPECT_EQ(back.m_chunks[4].m_flags, c4.m_flags);
    EXPECT_EQ(back.m_chunks[4].m_fileCount, 2);
    EXPECT_EQ(back.m_chunks[4].m_files, c4.m_files);
    EXPECT_EQ(back.m_chunks[-7].m_files, std::vector<std::string>{"neg.xsvf"});
    // Written again, the text is the same.
    EXPECT_EQ(back.Format(), ctx.Format());
}

TEST_F(FwContextTest, SaveToUnwritablePathFailsAndKeepsModel)
{
    CFwContextTQ8 ctx = GeneratorModel();
    ctx.m_chunks[2].m_files = {"x.xsvf"};
    EXPECT_EQ(ctx.Save(m_dir + "/missing/dir/context_v2.xml"), -552);
    EXPECT_EQ(ctx.m_chunks[2].m_fileCount, 0);
}

TEST_F(FwContextTest, SaveRefusesUserNameThatIsNoElementName)
{
    CFwContextTQ8 ctx = GeneratorModel();
    ctx.m_userDefined = {{"R&D", "x"}};
    EXPECT_EQ(ctx.Save(Path("bad.xml")), -552);
    EXPECT_FALSE(TestFileExists(Path("bad.xml")));
    ctx.m_userDefined = {{"", "x"}};
    EXPECT_EQ(ctx.Save(Path("bad.xml")), -552);
}

TEST_F(FwContextTest, FailedSaveKeepsThePreviousFile)
{
    CFwContextTQ8 ctx = GeneratorModel();
    const std::string before = SaveText(ctx);
    ctx.m_userDefined = {{"1bad", "x"}};
    EXPECT_EQ(ctx.Save(Path("context_v2.xml")), -552);
    EXPECT_EQ(ReadTestFile(Path("context_v2.xml")), before);
}

TEST_F(FwContextTest, VersionTextRules)
{
    CFwContextTQ8 ctx;
    ASSERT_EQ(LoadVersion(ctx, "1.2"), 0);
    EXPECT_EQ(ctx.m_versionPkg, 0x01020000u);
    ASSERT_EQ(LoadVersion(ctx, "1.2.3.4.5"), 0);
    EXPECT_EQ(ctx.m_versionPkg, 0x01020304u);
    EXPECT_EQ(LoadVersion(ctx, "1.256.0.0"), -551);
    ASSERT_EQ(LoadVersion(ctx, "1. 2"), 0);
    EXPECT_EQ(ctx.m_versionPkg, 0x01020000u);
    EXPECT_EQ(LoadVersion(ctx, "1 .2"), -551);
    ASSERT_EQ(LoadVersion(ctx, ""), 0);
    EXPECT_EQ(ctx.m_versionPkg, 0u);
    ASSERT_EQ(LoadVersion(ctx, "  7..9  "), 0);
    EXPECT_EQ(ctx.m_versionPkg, 0x07000900u);
    EXPECT_EQ(LoadVersion(ctx, "1.-1"), -551);
    EXPECT_EQ(LoadVersion(ctx, "1.x"), -551);
}

TEST_F(FwContextTest, RootNameInOtherCaseIsAccepted)
{
    CFwContextTQ8 ctx;
    ASSERT_EQ(LoadText(ctx, "<tq8_FIRMWARE><version_pkg>3.0.0.0</version_pkg><ucd>5</ucd></tq8_FIRMWARE>"), 0);
    EXPECT_EQ(ctx.m_versionPkg, 0x03000000u);
    EXPECT_EQ(ctx.m_ucd, 5u);
}

TEST_F(FwContextTest, LoadFailures)
{
    CFwContextTQ8 ctx;
    EXPECT_EQ(ctx.Load(Path("nothing-here.xml")), -551);
    EXPECT_EQ(LoadText(ctx, "not xml at all"), -551);
    EXPECT_EQ(LoadText(ctx, "<Other><version_pkg>1</version_pkg></Other>"), -551);
    EXPECT_EQ(LoadText(ctx, "<TQ8_Firmware><ucd>1</ucd></TQ8_Firmware>"), -543);
    EXPECT_EQ(LoadText(ctx, "<TQ8_Firmware><version_pkg>1</version_pkg>"
                            "<req_maxhwrevision>300</req_maxhwrevision></TQ8_Firmware>"), -551);
    EXPECT_EQ(LoadText(ctx, "<TQ8_Firmware><version_pkg>1</version_pkg>"
                            "<req_minswversion>1.65536</req_minswversion></TQ8_Firmware>"), -551);
}

TEST_F(FwContextTest, MalformedOptionalNumberKeepsFieldAndIsNoError)
{
    CFwContextTQ8 ctx;
    ASSERT_EQ(LoadText(ctx, "<TQ8_Firmware><version_pkg>1</version_pkg><cust_enum_pkg>abc</cust_enum_pkg>"
                            "<readmesev>-1</readmesev><req_customhwenum>70000</req_customhwenum>"
                            "<req_minswversion>65535.1</req_minswversion><fw_flags>12 flags</fw_flags>"
                            "</TQ8_Firmware>"), 0);
    EXPECT_EQ(ctx.m_custEnumPkg, 0u);
    EXPECT_EQ(ctx.m_readmeSev, -1);
    EXPECT_EQ(ctx.m_reqCustomHwEnum, 0u);
    EXPECT_EQ(ctx.m_reqMinSwVersion, 0xFFFF000100000000ull);
    EXPECT_EQ(ctx.m_fwFlags, 12u);
}

TEST_F(FwContextTest, ChunkWithMissingFileFails)
{
    CFwContextTQ8 ctx;
    EXPECT_EQ(LoadText(ctx, "<TQ8_Firmware><version_pkg>1</version_pkg>"
                            "<firmware_chunk id=\"2\"><fwc_version>1.0</fwc_version>"
                            "<fwc_file_count>2</fwc_file_count><fwc_file1>a</fwc_file1>"
                            "</firmware_chunk></TQ8_Firmware>"), -551);
}

TEST_F(FwContextTest, IncompleteChunksFail)
{
    CFwContextTQ8 ctx;
    const std::string head = "<TQ8_Firmware><version_pkg>1</version_pkg>";
    EXPECT_EQ(LoadText(ctx, head + "<firmware_chunk><fwc_version>1</fwc_version>"
                                   "<fwc_file_count>0</fwc_file_count></firmware_chunk></TQ8_Firmware>"), -551);
    EXPECT_EQ(LoadText(ctx, head + "<firmware_chunk id=\"x\"><fwc_version>1</fwc_version>"
                                   "<fwc_file_count>0</fwc_file_count></firmware_chunk></TQ8_Firmware>"), -551);
    EXPECT_EQ(LoadText(ctx, head + "<firmware_chunk id=\"1\">"
                                   "<fwc_file_count>0</fwc_file_count></firmware_chunk></TQ8_Firmware>"), -551);
    EXPECT_EQ(LoadText(ctx, head + "<firmware_chunk id=\"1\"><fwc_version>1</fwc_version>"
                                   "</firmware_chunk></TQ8_Firmware>"), -551);
}

TEST_F(FwContextTest, LaterChunkOfTheSameIdReplaces)
{
    CFwContextTQ8 ctx;
    ASSERT_EQ(LoadText(ctx, "<TQ8_Firmware><version_pkg>1</version_pkg>"
                            "<firmware_chunk id=\"4\"><fwc_version>1</fwc_version>"
                            "<fwc_file_count>0</fwc_file_count></firmware_chunk>"
                            "<firmware_chunk id=\"4\"><fwc_version>2</fwc_version><fwc_flags>1</fwc_flags>"
                            "<fwc_cust_enum>9</fwc_cust_enum>"
                            "<fwc_file_count>1</fwc_file_count><fwc_file1>z</fwc_file1></firmware_chunk>"
                            "</TQ8_Firmware>"), 0);
    ASSERT_EQ(ctx.m_chunks.size(), 1u);
    EXPECT_EQ(ctx.m_chunks[4].m_version, 0x02000000u);
    EXPECT_EQ(ctx.m_chunks[4].m_flags, 1u);
    EXPECT_EQ(ctx.m_chunks[4].m_custEnum, 9u);
    EXPECT_EQ(ctx.m_chunks[4].m_files, std::vector<std::string>{"z"});
}

TEST_F(FwContextTest, HugeAuxCountVisitsOnlyExistingElements)
{
    CFwContextTQ8 ctx;
    ASSERT_EQ(LoadText(ctx, "<TQ8_Firmware><version_pkg>1</version_pkg><auxfilecount>2147483647</auxfilecount>"
                            "<auxfile3>c</auxfile3><auxfile1>a</auxfile1><auxfile01>no</auxfile01>"
                            "<auxfile1>dup</auxfile1></TQ8_Firmware>"), 0);
    EXPECT_EQ(ctx.m_auxFileCount, 2147483647);
    EXPECT_EQ(ctx.m_auxFiles, (std::vector<std::string>{"a", "c"}));
}

TEST_F(FwContextTest, AuxFilesBeyondCountAreIgnored)
{
    CFwContextTQ8 ctx;
    ASSERT_EQ(LoadText(ctx, "<TQ8_Firmware><version_pkg>1</version_pkg><auxfilecount>1</auxfilecount>"
                            "<auxfile1>a</auxfile1><auxfile2>b</auxfile2></TQ8_Firmware>"), 0);
    EXPECT_EQ(ctx.m_auxFiles, std::vector<std::string>{"a"});
    ASSERT_EQ(LoadText(ctx, "<TQ8_Firmware><version_pkg>1</version_pkg><auxfilecount>0</auxfilecount>"
                            "<auxfile1>a</auxfile1></TQ8_Firmware>"), 0);
    EXPECT_TRUE(ctx.m_auxFiles.empty());
}

TEST_F(FwContextTest, UserDefinedSkipsOtherNodeKinds)
{
    CFwContextTQ8 ctx;
    ASSERT_EQ(LoadText(ctx, "<TQ8_Firmware><version_pkg>1</version_pkg><UserDefined>text<!--c-->"
                            "<A>1</A><B/><C>x<i>y</i></C></UserDefined></TQ8_Firmware>"), 0);
    const std::vector<std::pair<std::string, std::string>> expected{{"A", "1"}, {"B", ""}, {"C", "xy"}};
    EXPECT_EQ(ctx.m_userDefined, expected);
}

TEST_F(FwContextTest, LoadClearsFirstAndKeepsWhatWasReadOnFailure)
{
    CFwContextTQ8 ctx;
    ctx.m_auxFiles = {"old"};
    ASSERT_EQ(LoadText(ctx, "<TQ8_Firmware><version_pkg>5</version_pkg><ucd>3</ucd>"
                            "<firmware_chunk><fwc_version>1</fwc_version></firmware_chunk></TQ8_Firmware>"), -551);
    EXPECT_TRUE(ctx.m_auxFiles.empty());
    EXPECT_EQ(ctx.m_versionPkg, 0x05000000u);
    EXPECT_EQ(ctx.m_ucd, 3u);
}

} // namespace

// Counts and ids are read from their start: leading blanks skipped, a sign
// taken, text after the digits ignored. Text without a number, or one out of
// range, fails a chunk; an auxiliary count that is no number above 0 only
// leaves the list empty.
TEST_F(FwContextTest, CountsAndIdsReadByTheNumberRule)
{
    const std::string head = "<TQ8_Firmware><version_pkg>1</version_pkg>";
    const auto chunk = [](const std::string& id, const std::string& count) {
        return "<firmware_chunk id=\"" + id + "\"><fwc_version>1</fwc_version><fwc_file_count>" + count
            + "</fwc_file_count><fwc_file1>a</fwc_file1><fwc_file2>b</fwc_file2><fwc_file3>c</fwc_file3>"
              "</firmware_chunk>";
    };
    CFwContextTQ8 ctx;
    for (const std::string good : {"2", " 2", "2 ", "+2", "2abc", "\n\t2"}) {
        ASSERT_EQ(LoadText(ctx, head + chunk(good, good) + "</TQ8_Firmware>"), 0) << "'" << good << "'";
        ASSERT_EQ(ctx.m_chunks.count(2), 1u) << "'" << good << "'";
        EXPECT_EQ(ctx.m_chunks[2].m_fileCount, 2);
        EXPECT_EQ(ctx.m_chunks[2].m_files, (std::vector<std::string>{"a", "b"}));
        ASSERT_EQ(LoadText(ctx, head + "<auxfilecount>" + good + "</auxfilecount><auxfile1>x</auxfile1>"
                                + "<auxfile2>y</auxfile2><auxfile3>z</auxfile3></TQ8_Firmware>"), 0);
        EXPECT_EQ(ctx.m_auxFileCount, 2);
        EXPECT_EQ(ctx.m_auxFiles, (std::vector<std::string>{"x", "y"}));
    }
    ASSERT_EQ(LoadText(ctx, head + chunk("-3", "-5") + "</TQ8_Firmware>"), 0);
    EXPECT_EQ(ctx.m_chunks[-3].m_fileCount, -5);
    EXPECT_TRUE(ctx.m_chunks[-3].m_files.empty());
    for (const std::string bad : {"", " ", "abc", "-", "2147483648", "-2147483649", "18446744073709551616"}) {
        EXPECT_EQ(LoadText(ctx, head + chunk(bad, "1") + "</TQ8_Firmware>"), -551) << "id '" << bad << "'";
        EXPECT_EQ(LoadText(ctx, head + chunk("2", bad) + "</TQ8_Firmware>"), -551) << "count '" << bad << "'";
    }
    for (const std::string none : {"-1", "0", "", "abc", "2147483648"}) {
        ASSERT_EQ(LoadText(ctx, head + "<auxfilecount>" + none + "</auxfilecount><auxfile1>x</auxfile1>"
                                + "</TQ8_Firmware>"), 0) << "aux count '" << none << "'";
        EXPECT_EQ(ctx.m_auxFileCount, 0);
        EXPECT_TRUE(ctx.m_auxFiles.empty());
    }
}
