#include <atomic>
#include <cmath>
#include <map>
#include <thread>
#include <vector>

#include <zip.h>

#include "ApiFixture.h"
#include "CFwContextTQ8.h"
#include "FirmwarePackage.h"
#include "FwTestFiles.h"
#include "TextConv.h"

namespace {
constexpr uint32_t kMixed = 0x63000000;
constexpr uint32_t kLocal = 123456;

struct Event {
    uint32_t position, range;
    int32_t index;
    uint32_t countOrWait;
    bool operator==(const Event&) const = default;
};

struct Recorder {
    std::vector<Event> events;
    int32_t failAtFile = 0; // inject a write failure when this file's stage begins
};

void Record(TQ8_HANDLE, void* context, uint32_t position, uint32_t range, int32_t index, uint32_t countOrWait)
{
    auto* r = static_cast<Recorder*>(context);
    if (r->failAtFile != 0 && index == r->failAtFile && position == 0)
        TQ8Sim_InjectResult("UploadFirmwareWTQ8.file", TQ8_ERR_TIMEOUT, 1);
    r->events.push_back({position, range, index, countOrWait});
}

using Chunks = std::map<int32_t, std::vector<std::pair<std::string, std::string>>>; // id: (name, bytes)

// Local boards take the images through the driver's scan port, virtual
// boards straight into their model.
class FirmwareTest : public OnBothPaths<ApiTest> {
protected:
    void SetUp() override
    {
        ApiTest::SetUp();
        m_dir = MakeTestDir(IsLocal() ? "fw-local" : "fw-virtual");
        if (!IsLocal()) {
            // The same ZAB FPGA type as the local board's declaration.
            m_h = Virtual(kLocal);
            ASSERT_EQ(InternWriteConfigEepromTQ8(m_h, 93, 1), TQ8_OK);
            return;
        }
        TQ8SIM_BOARD_DESC desc{};
        TQ8Sim_DefaultBoardDesc(&desc, kLocal);
        desc.fpgaType = 1;
        ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
        ASSERT_EQ(ConnectToDeviceTQ8(&m_h, kLocal), TQ8_OK);
    }

    std::wstring Package(const std::string& name, const Chunks& chunks, uint32_t flags = 0, uint32_t version = 0x01020000)
    {
        CFwContextTQ8 context;
        context.m_versionPkg = kMixed;
        context.m_custEnumPkg = 77;
        context.m_fwFlags = flags;
        FwPackagePairs pairs{{m_dir + "/" + name + ".xml", "context_v2.xml"}};
        for (const auto& [id, files] : chunks) {
            CFwContextTQ8::CFirmwareChunk& chunk = context.m_chunks[id];
            chunk.m_version = version + static_cast<uint32_t>(id);
            chunk.m_custEnum = 5;
            for (const auto& [file, bytes] : files) {
                chunk.m_files.push_back(file);
                WriteTestFile(m_dir + "/" + file, bytes);
                pairs.emplace_back(m_dir + "/" + file, file);
            }
        }
        EXPECT_EQ(context.Save(pairs[0].first), kFwOk);
        const std::string path = m_dir + "/" + name + ".tq8fw";
        EXPECT_EQ(WriteFirmwarePackage(path, pairs), kFwOk);
        return vlt::Utf8ToWide(path);
    }

    std::wstring Version(int item)
    {
        wchar_t* text = nullptr;
        EXPECT_EQ(GetVersionTextWTQ8(m_h, item, &text, 64), TQ8_OK);
        std::wstring v = text ? text : L"";
        FreeMemoryTQ8(text);
        return v;
    }

    int32_t Upload(const std::wstring& path, uint32_t& out, Recorder* r = nullptr)
    {
        return UploadFirmwareWTQ8(m_h, path.c_str(), 0, &out, r ? Record : nullptr, r);
    }

    std::string m_dir;
    TQ8_HANDLE m_h = nullptr;
};

const Chunks kSystemTwoFiles = {{0, {{"sys1.bit", std::string(150000, 'a')}}}, {1, {{"sys2.bit", std::string(70000, 'b')}}}};
} // namespace

TQ8_ON_BOTH_PATHS(FirmwareTest);

TEST_P(FirmwareTest, VersionRecordComesFromTheManifest)
{
    const std::wstring path = Package("verify", kSystemTwoFiles, 1);
    TQ8_FW_VERSION_INFO info{};
    info.size = sizeof info;
    ASSERT_EQ(QueryFirmwareVersionInfoWTQ8(path.c_str(), &info), TQ8_OK);
    EXPECT_EQ(info.version, kMixed);
    EXPECT_EQ(info.custom, 77u);
    EXPECT_EQ(info.flags & 1u, 1u);
    info.size = 19;
    EXPECT_EQ(QueryFirmwareVersionInfoWTQ8(path.c_str(), &info), TQ8_ERR_INVALID_ARG);
    info.size = sizeof info;
    EXPECT_EQ(QueryFirmwareVersionInfoWTQ8(L"/nonexistent/x.tq8fw", &info), TQ8_ERR_FILE_UNREADABLE);
}

TEST_P(FirmwareTest, TwoFileUploadReportsStagesProgressAndTheWait)
{
    Recorder r;
    uint32_t out = 99;
    ASSERT_EQ(Upload(Package("two", kSystemTwoFiles), out, &r), TQ8_OK);
    EXPECT_EQ(out, 0u);
    ASSERT_FALSE(r.events.empty());
    EXPECT_EQ(r.events.front(), (Event{0, 150000, 1, 2}));
    size_t i = 0;
    for (int32_t file = 1; file <= 2; ++file) {
        uint32_t last = 0;
        for (; i < r.events.size() && r.events[i].index == file; ++i) {
            EXPECT_EQ(r.events[i].countOrWait, 2u);
            EXPECT_GE(r.events[i].position, last);
            last = r.events[i].position;
        }
        EXPECT_EQ(last, file == 1 ? 150000u : 70000u);
    }
    // The start-up wait is reported as the user waits it: 3 s of the board's
    // time at this run's time factor.
    ASSERT_EQ(r.events.size(), i + 2);
    EXPECT_EQ(r.events[i], (Event{0, 0, 0, static_cast<uint32_t>(std::ceil(3000 * TQ8Sim_GetTimeFactor()))}));
    EXPECT_EQ(r.events[i + 1], (Event{0, 0, 0, 0}));
    EXPECT_EQ(Version(TQ8_VERSION_SYSTEM_FPGA), L"1.2.0.0");
    uint64_t pci = 0;
    ASSERT_EQ(GetPciFirmwareVersionTQ8(m_h, &pci), TQ8_OK);
    EXPECT_EQ(pci, 0x0001000200000000ull);

    // The same package again finds every image in place.
    r.events.clear();
    ASSERT_EQ(Upload(Package("two", kSystemTwoFiles), out, &r), TQ8_OK);
    EXPECT_EQ(out, static_cast<uint32_t>(TQ8_FW_OUT_UP_TO_DATE));

    // Where nothing waits, no wait is reported: a lone "wait over" would
    // only confuse the window.
    ASSERT_EQ(TQ8Sim_SetTimeFactor(0), TQ8_OK);
    r.events.clear();
    ASSERT_EQ(Upload(Package("other", {{0, {{"sys3.bit", std::string(1000, 'c')}}}}), out, &r), TQ8_OK);
    for (const Event& e : r.events)
        EXPECT_NE(e.index, 0);
}

TEST_P(FirmwareTest, VerifyPackagesMatchOrFail)
{
    uint32_t out = 0;
    ASSERT_EQ(Upload(Package("load", kSystemTwoFiles), out), TQ8_OK);
    ASSERT_EQ(Upload(Package("same", kSystemTwoFiles, 1), out), TQ8_OK);
    EXPECT_EQ(out, static_cast<uint32_t>(TQ8_FW_OUT_VERIFIED));
    Chunks other = kSystemTwoFiles;
    other[1][0].second[10] = 'x';
    EXPECT_EQ(Upload(Package("differs", other, 1), out), TQ8_ERR_FW_VERIFY_MISMATCH);
    // Nothing was written: the loaded package still verifies.
    ASSERT_EQ(Upload(Package("same", kSystemTwoFiles, 1), out), TQ8_OK);
    wchar_t* text = nullptr;
    ASSERT_EQ(GetErrorTextWTQ8(TQ8_ERR_FW_VERIFY_MISMATCH, &text, 0, m_h), TQ8_OK);
    EXPECT_STRNE(text, L"");
    FreeMemoryTQ8(text);
}

TEST_P(FirmwareTest, RestartNeededShowsTheNewVersionAfterThePowerCycle)
{
    ASSERT_EQ(TQ8Sim_SetFirmwareActivation(kLocal, 1, 2), TQ8_OK);
    const std::wstring before = Version(TQ8_VERSION_ZAB_FPGA);
    uint32_t out = 0;
    ASSERT_EQ(Upload(Package("zab", {{4, {{"zab1.bit", "abc"}}}, {5, {{"zab2.bit", "def"}}}}), out), TQ8_OK);
    EXPECT_EQ(out, static_cast<uint32_t>(TQ8_FW_OUT_RESTART));
    EXPECT_EQ(Version(TQ8_VERSION_ZAB_FPGA), before);
    ASSERT_EQ(TQ8Sim_PowerCycle(kLocal), TQ8_OK);
    EXPECT_EQ(Version(TQ8_VERSION_ZAB_FPGA), L"1.2.0.4");
    EXPECT_EQ(TQ8Sim_SetFirmwareActivation(kLocal, 2, 0), TQ8_ERR_INVALID_ARG);
}

TEST_P(FirmwareTest, ZabChunkForTheOtherFpgaTypeIsRefused)
{
    uint32_t out = 0;
    EXPECT_EQ(Upload(Package("lx50", {{2, {{"zab.bit", "abc"}}}}), out), TQ8_ERR_FW_WRONG_FPGA);
    EXPECT_EQ(Upload(Package("unknown", {{6, {{"x.bit", "abc"}}}}), out), TQ8_ERR_MANIFEST_INVALID);
}

TEST_P(FirmwareTest, FileNamesWithTwoDotsInsideAreTakenAsTheyAre)
{
    uint32_t out = 0;
    EXPECT_EQ(Upload(Package("dots", {{4, {{"top..v2.bit", "abc"}}}, {5, {{"zab2...bit", "def"}}}}), out), TQ8_OK);
}

TEST_P(FirmwareTest, DamagedPackagesGiveTheirErrors)
{
    uint32_t out = 0;
    const std::string good = vlt::WideToUtf8(Package("good", kSystemTwoFiles));
    const std::string bytes = ReadTestFile(good);
    WriteTestFile(m_dir + "/cut.tq8fw", bytes.substr(0, bytes.size() / 2));
    EXPECT_EQ(Upload(vlt::Utf8ToWide(m_dir + "/cut.tq8fw"), out), TQ8_ERR_FW_PACKAGE_DAMAGED);

    // No manifest first.
    WriteTestFile(m_dir + "/a.bit", "abc");
    ASSERT_EQ(WriteFirmwarePackage(m_dir + "/nomanifest.tq8fw", {{m_dir + "/a.bit", "a.bit"}}), kFwOk);
    EXPECT_EQ(Upload(vlt::Utf8ToWide(m_dir + "/nomanifest.tq8fw"), out), TQ8_ERR_MANIFEST_INVALID);

    // The manifest names a file the archive lacks.
    CFwContextTQ8 context;
    context.m_versionPkg = kMixed;
    context.m_chunks[0].m_files = {"a.bit", "missing.bit"};
    ASSERT_EQ(context.Save(m_dir + "/m.xml"), kFwOk);
    ASSERT_EQ(WriteFirmwarePackage(m_dir + "/missing.tq8fw", {{m_dir + "/m.xml", "context_v2.xml"}, {m_dir + "/a.bit", "a.bit"}}),
              kFwOk);
    EXPECT_EQ(Upload(vlt::Utf8ToWide(m_dir + "/missing.tq8fw"), out), TQ8_ERR_MANIFEST_INVALID);

    // An entry above the cap, and one in a folder, written straight with minizip.
    auto raw = [&](const std::string& path, const std::string& name, size_t size) {
        zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
        ASSERT_NE(zip, nullptr);
        const std::string manifest = ReadTestFile(m_dir + "/good.xml");
        for (const auto& [entry, length] : {std::pair<std::string, size_t>{"context_v2.xml", 0}, {name, size}}) {
            ASSERT_EQ(zipOpenNewFileInZip64(zip, entry.c_str(), nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                            Z_BEST_SPEED, 1),
                      ZIP_OK);
            if (length == 0)
                zipWriteInFileInZip(zip, manifest.data(), static_cast<unsigned>(manifest.size()));
            const std::string zeros(1 << 20, '\0');
            for (size_t done = 0; done < length; done += zeros.size())
                zipWriteInFileInZip(zip, zeros.data(), static_cast<unsigned>(zeros.size()));
            zipCloseFileInZip(zip);
        }
        zipClose(zip, nullptr);
    };
    raw(m_dir + "/huge.tq8fw", "sys1.bit", (size_t(64) << 20) + (1 << 20));
    EXPECT_EQ(Upload(vlt::Utf8ToWide(m_dir + "/huge.tq8fw"), out), TQ8_ERR_FW_ENTRY_TOO_LARGE);
    raw(m_dir + "/folder.tq8fw", "../sys1.bit", 1 << 20);
    EXPECT_EQ(Upload(vlt::Utf8ToWide(m_dir + "/folder.tq8fw"), out), TQ8_ERR_FW_PACKAGE_DAMAGED);
}

// A chunk id or file count without a number, or out of range, is a damaged
// manifest: the package is refused before a byte is uploaded.
TEST_P(FirmwareTest, MalformedNumbersInTheManifestUploadNothing)
{
    uint32_t out = 0;
    ASSERT_EQ(Upload(Package("load", kSystemTwoFiles), out), TQ8_OK);
    const std::string manifest = ReadTestFile(m_dir + "/load.xml");
    const auto damaged = [&](const std::string& from, const std::string& to) {
        std::string text = manifest;
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        WriteTestFile(m_dir + "/bad.xml", text);
        const std::string path = m_dir + "/bad.tq8fw";
        EXPECT_EQ(WriteFirmwarePackage(path, {{m_dir + "/bad.xml", "context_v2.xml"},
                                              {m_dir + "/sys1.bit", "sys1.bit"},
                                              {m_dir + "/sys2.bit", "sys2.bit"}}),
                  kFwOk);
        return vlt::Utf8ToWide(path);
    };
    for (const std::string bad : {"abc", "", " ", "18446744073709551616", "2147483648"}) {
        for (const std::wstring& path : {damaged("<fwc_file_count>1<", "<fwc_file_count>" + bad + "<"),
                                         damaged("id=\"1\"", "id=\"" + bad + "\"")}) {
            Recorder r;
            EXPECT_EQ(Upload(path, out, &r), TQ8_ERR_MANIFEST_INVALID) << "'" << bad << "'";
            EXPECT_TRUE(r.events.empty());
        }
    }
    wchar_t* text = nullptr;
    ASSERT_EQ(GetErrorTextWTQ8(TQ8_ERR_MANIFEST_INVALID, &text, 0, m_h), TQ8_OK);
    EXPECT_STREQ(text, L"The firmware package manifest is not valid");
    FreeMemoryTQ8(text);
    // Nothing was written: the loaded package still verifies.
    EXPECT_EQ(Upload(Package("same", kSystemTwoFiles, 1), out), TQ8_OK);
}

TEST_P(FirmwareTest, FailurePartOfTheWayLeavesTheVersionUnknown)
{
    Recorder r;
    r.failAtFile = 2;
    uint32_t out = 0;
    const std::wstring path = Package("two", kSystemTwoFiles);
    EXPECT_EQ(Upload(path, out, &r), TQ8_ERR_TIMEOUT);
    EXPECT_EQ(Version(TQ8_VERSION_SYSTEM_FPGA), L"Unknown");
    uint64_t pci = 1;
    ASSERT_EQ(GetPciFirmwareVersionTQ8(m_h, &pci), TQ8_OK);
    EXPECT_EQ(pci, 0u);
    // The cut-off upload let go of the scan port: another handle reaches it.
    TQ8_HANDLE other = nullptr;
    ASSERT_EQ(DuplicateHandleTQ8(m_h, &other), TQ8_OK);
    char* codes = nullptr;
    ASSERT_EQ(GetJtagIdCodesATQ8(other, &codes), TQ8_OK);
    EXPECT_STRNE(codes, "");
    FreeMemoryTQ8(codes);
    EXPECT_EQ(DisconnectFromDeviceTQ8(other), TQ8_OK);
    // The same package again writes everything, and then reports it.
    ASSERT_EQ(Upload(path, out), TQ8_OK);
    EXPECT_EQ(out, 0u);
    EXPECT_EQ(Version(TQ8_VERSION_SYSTEM_FPGA), L"1.2.0.0");
}

TEST_P(FirmwareTest, XsvfGoesIntoTheUserFpga)
{
    WriteTestFile(m_dir + "/user.xsvf", std::string(1000, 'u'));
    uint32_t out = 9;
    const std::wstring path = vlt::Utf8ToWide(m_dir + "/user.xsvf");
    ASSERT_EQ(Upload(path, out), TQ8_OK);
    EXPECT_EQ(out, 0u);
    EXPECT_EQ(Version(TQ8_VERSION_ZAB_FPGA), L"0.0.0.0");
    ASSERT_EQ(Upload(path, out), TQ8_OK);
    EXPECT_EQ(out, static_cast<uint32_t>(TQ8_FW_OUT_UP_TO_DATE));
}

TEST_P(FirmwareTest, JtagCodesAndTheJumper)
{
    char* text = nullptr;
    ASSERT_EQ(GetJtagIdCodesATQ8(m_h, &text), TQ8_OK);
    EXPECT_STREQ(text, "0x02AD6093 0x05059093 0x05058093 0x02ECE093");
    FreeMemoryTQ8(text);
    ASSERT_EQ(TQ8Sim_SetJtagJumper(kLocal, 0), TQ8_OK);
    ASSERT_EQ(GetJtagIdCodesATQ8(m_h, &text), TQ8_OK);
    EXPECT_STREQ(text, "");
    FreeMemoryTQ8(text);
    EXPECT_EQ(GetJtagIdCodesATQ8(m_h, nullptr), TQ8_ERR_INVALID_ARG);
    if (!IsLocal())
        return;
    // A local board's PROMs are read back through the chain: without the
    // jumper nothing comes out, though the images still go in.
    uint32_t out = 0;
    ASSERT_EQ(Upload(Package("load", kSystemTwoFiles), out), TQ8_OK);
    EXPECT_EQ(Upload(Package("same", kSystemTwoFiles, 1), out), TQ8_ERR_FW_VERIFY_MISMATCH);
    ASSERT_EQ(TQ8Sim_SetJtagJumper(kLocal, 1), TQ8_OK);
    EXPECT_EQ(Upload(Package("same", kSystemTwoFiles, 1), out), TQ8_OK);
}

TEST_P(FirmwareTest, EveryFirmwareCallReachesInjectedFailures)
{
    const std::wstring path = Package("two", kSystemTwoFiles);
    for (const char* name : {"QueryFirmwareVersionInfoWTQ8", "UploadFirmwareWTQ8", "GetJtagIdCodesATQ8"})
        ASSERT_EQ(TQ8Sim_InjectResult(name, TQ8_ERR_GENERAL, 1), TQ8_OK);
    TQ8_FW_VERSION_INFO info{};
    info.size = sizeof info;
    uint32_t out = 0;
    char* text = nullptr;
    EXPECT_EQ(QueryFirmwareVersionInfoWTQ8(path.c_str(), &info), TQ8_ERR_GENERAL);
    EXPECT_EQ(Upload(path, out), TQ8_ERR_GENERAL);
    EXPECT_EQ(GetJtagIdCodesATQ8(m_h, &text), TQ8_ERR_GENERAL);
    EXPECT_EQ(UploadFirmwareWTQ8(m_h, path.c_str(), 1, &out, nullptr, nullptr), TQ8_ERR_INVALID_ARG);
}

TEST_P(FirmwareTest, OtherHandlesQueryWhileAnUploadRuns)
{
    TQ8_HANDLE other = nullptr;
    ASSERT_EQ(DuplicateHandleTQ8(m_h, &other), TQ8_OK);
    const std::wstring path = Package("two", kSystemTwoFiles);
    std::atomic<bool> done{false};
    int32_t result = -1;
    std::thread worker([&] {
        uint32_t out = 0;
        result = UploadFirmwareWTQ8(m_h, path.c_str(), 0, &out, nullptr, nullptr);
        done = true;
    });
    while (!done) {
        uint64_t pci = 0;
        wchar_t* text = nullptr;
        EXPECT_EQ(GetPciFirmwareVersionTQ8(other, &pci), TQ8_OK);
        EXPECT_EQ(GetVersionTextWTQ8(other, TQ8_VERSION_SYSTEM_FPGA, &text, 64), TQ8_OK);
        FreeMemoryTQ8(text);
    }
    worker.join();
    EXPECT_EQ(result, TQ8_OK);
}
