#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <libxml/parser.h>

#include "ApiFixture.h"
#include "BadFiles.h"
#include "TextConv.h"

namespace {
struct IntCase {
    const char* name;
    std::function<int32_t(TQ8_HANDLE, int32_t)> set;
    std::function<int32_t(TQ8_HANDLE)> get;
    int32_t asked;
    int32_t rc;
    int32_t readBack;
};

#define CASE(Name, asked, rc, back)                                                                                   \
    IntCase{#Name, [](TQ8_HANDLE h, int32_t v) { return Set##Name##TQ8(h, v); },                                      \
            [](TQ8_HANDLE h) { return static_cast<int32_t>(Get##Name##TQ8(h, 1)); }, asked, rc, back}

// One folder per test and board path: CTest runs the two paths of a test at once.
std::filesystem::path TempDir(const char* name)
{
    const char* base = std::getenv("VLT_TEST_TMP");
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string own = std::string(test->test_suite_name()) + "." + test->name();
    std::replace(own.begin(), own.end(), '/', '_');
    std::filesystem::path dir = std::filesystem::path(base ? base : "/tmp") / "tq8_api" / own / name;
    std::filesystem::create_directories(dir);
    return dir;
}
} // namespace

TQ8_ON_BOTH_PATHS(BoardApiTest);

TEST_P(BoardApiTest, SettersClipOrRefuseAndGettersReadBack)
{
    TQ8_HANDLE h = Board();
    const IntCase cases[] = {
        CASE(TriggerSource, 4, TQ8_OK, 4),
        CASE(TriggerSource, 5, TQ8_ERR_INVALID_ARG, 4),
        CASE(TriggerMode, 1, TQ8_OK, 1),
        CASE(TriggerMode, 2, TQ8_ERR_INVALID_ARG, 1),
        CASE(TriggerLevelA, 256, TQ8_OK, 255),
        CASE(TriggerLevelB, -1, TQ8_OK, 0),
        CASE(TriggerDirectionA, 1, TQ8_OK, 1),
        CASE(TriggerDirectionB, 2, TQ8_ERR_INVALID_ARG, 0),
        CASE(AdcClockSource, 3, TQ8_OK, 3),
        CASE(AdcClockSource, 4, TQ8_ERR_INVALID_ARG, 3),
        CASE(InternalAdcClockReference, 1, TQ8_OK, 1),
        CASE(AutoDcmResetOverride, 1, TQ8_OK, 1),
        CASE(ActiveChannels, 12, TQ8_ERR_INVALID_ARG, 0),
        CASE(ActiveChannels, 3, TQ8_OK, 3),
        CASE(RouteToSdram2Enable, 1, TQ8_OK, 1),
        CASE(DigitalIoEnable, 1, TQ8_OK, 1),
        CASE(DigitalIoMode, 7, TQ8_OK, 7),
        CASE(DigitalIoMode, 8, TQ8_ERR_INVALID_ARG, 7),
        CASE(DcOffsetCh1, 4096, TQ8_OK, 4095),
        CASE(DcOffsetCh2, -5, TQ8_OK, 0),
        CASE(DcOffsetCh3, 1000, TQ8_OK, 1000),
        CASE(DcOffsetCh4, 99999, TQ8_OK, 4095),
        CASE(ZabBoardNumber, 7, TQ8_OK, 7),
        CASE(ZabBoardNumber, 8, TQ8_ERR_INVALID_ARG, 7),
        CASE(ZabConfiguration, 3, TQ8_ERR_INVALID_ARG, 0),
        CASE(ZabClock, 2, TQ8_OK, 2),
        CASE(TimestampMode, 3, TQ8_OK, 3),
        CASE(TimestampCounterMode, 2, TQ8_ERR_INVALID_ARG, 0),
        CASE(BoardProcessingEnable, 1, TQ8_OK, 1),
    };
    for (const IntCase& c : cases) {
        EXPECT_EQ(c.set(h, c.asked), c.rc) << c.name << " " << c.asked;
        EXPECT_EQ(c.get(h), c.readBack) << c.name << " " << c.asked;
    }
    EXPECT_EQ(SetPreTriggerSamplesTQ8(h, 100000), TQ8_OK);
    EXPECT_EQ(GetPreTriggerSamplesTQ8(h, 1), 65535u);
    EXPECT_EQ(SetTriggerDelaySamplesTQ8(h, 65536), TQ8_OK);
    EXPECT_EQ(GetTriggerDelaySamplesTQ8(h, 1), 65535u);
    EXPECT_EQ(SetSegmentSizeTQ8(h, 4096), TQ8_OK);
    EXPECT_EQ(GetSegmentSizeTQ8(h, 1), 4096u);
    EXPECT_EQ(_SetPllDisableTQ8(h, 1), TQ8_OK);
    EXPECT_EQ(_GetPllDisableTQ8(h, 1), 1);
    EXPECT_EQ(SetAdcClockSourceTQ8(h, 0), TQ8_OK);
    EXPECT_EQ(GetPllLockStatusTQ8(h), 0); // disabled PLL does not lock
}

TEST_P(BoardApiTest, RatesAndDividers)
{
    TQ8_HANDLE h = Board();
    double mhz = 0;
    EXPECT_EQ(SetInternalAdcClockRateTQ8(h, 199.0), TQ8_ERR_RATE_TOO_LOW);
    EXPECT_EQ(SetInternalAdcClockRateTQ8(h, 1501.0), TQ8_ERR_RATE_TOO_HIGH);
    ASSERT_EQ(SetInternalAdcClockRateTQ8(h, 1000.4), TQ8_OK);
    ASSERT_EQ(GetInternalAdcClockRateTQ8(h, &mhz, 1), TQ8_OK);
    EXPECT_EQ(mhz, 1000.0); // realigned
    ASSERT_EQ(SetActiveChannelsTQ8(h, 10), TQ8_OK);
    EXPECT_EQ(GetAdcInterleaveEnableTQ8(h, 1), 1);
    EXPECT_EQ(SetInternalAdcClockRateTQ8(h, 450), TQ8_ERR_RATE_TOO_LOW);
    ASSERT_EQ(GetEffectiveAcqRateTQ8(h, &mhz), TQ8_OK);
    EXPECT_EQ(mhz, 2000.0);
    EXPECT_EQ(SetExtClockDividersTQ8(h, 32, 6), TQ8_OK);
    EXPECT_EQ(GetExtClockDivider1TQ8(h, 1), 32);
    EXPECT_EQ(GetExtClockDivider2TQ8(h, 1), 6);
    EXPECT_EQ(SetExtClockDividersTQ8(h, 0, 6), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(GetPostAdcClockDividerTQ8(h, 1), 0);
    ASSERT_EQ(SetExternalClockRateTQ8(h, 0), TQ8_OK);
    ASSERT_EQ(GetExternalClockRateTQ8(h, &mhz, 1), TQ8_OK);
    EXPECT_EQ(mhz, 0.0);
    EXPECT_EQ(FLPC2_SetNcoFrequencyTQ8(h, 1001), TQ8_ERR_INVALID_ARG); // above rate / 2
    EXPECT_EQ(FLPC2_SetNcoFrequencyTQ8(h, 100), TQ8_OK);
}

TEST_P(BoardApiTest, MemoryRegionRealignsAndMaxFollowsSelection)
{
    TQ8_HANDLE h = Board();
    uint32_t ram = 0, max = 0, count = 0, start = 0;
    ASSERT_EQ(GetSampleRamSizeTQ8(h, &ram), TQ8_OK);
    EXPECT_EQ(ram, 0x80000000u);
    ASSERT_EQ(GetMaxSampleCountForActiveChanSelTQ8(h, 5, &max), TQ8_OK);
    EXPECT_EQ(max, ram / 2);
    ASSERT_EQ(GetMaxSampleCountForActiveChanSelTQ8(h, 0, &max), TQ8_OK);
    EXPECT_EQ(max, ram);
    ASSERT_EQ(SetActiveMemoryRegionTQ8(h, 1000, 17), TQ8_OK);
    ASSERT_EQ(GetActiveMemoryRegionTQ8(h, &count, &start, 1), TQ8_OK);
    EXPECT_EQ(count, 1024u);
    EXPECT_EQ(start, 16u);
    EXPECT_EQ(GetSampleCountTQ8(h, 1), 1024u);
    EXPECT_EQ(GetStartSampleTQ8(h, 1), 16u);
    EXPECT_EQ(GetChannelCountFromChanSelTQ8(4), 3);
    EXPECT_EQ(GetChannelCountFromChanSelTQ8(12), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(GetPhysChanNumFromChanSelIdxTQ8(2, 1), 3);
    EXPECT_EQ(GetPhysChanNumFromChanSelIdxTQ8(11, 0), 2);
    EXPECT_LT(GetPhysChanNumFromChanSelIdxTQ8(5, 1), 0);
}

TEST_P(BoardApiTest, SettingsStringIsOneElementWithoutDeclaration)
{
    TQ8_HANDLE h = Board();
    char* text = nullptr;
    ASSERT_EQ(SaveSettingsToStringXmlATQ8(h, 1, &text), TQ8_OK);
    std::string s = text;
    FreeMemoryTQ8(text);
    EXPECT_EQ(s.find("<?xml"), std::string::npos);
    EXPECT_EQ(s.front(), '<');
    EXPECT_EQ(s.back(), '>');
    // Embedded in another document it is exactly one element.
    std::string wrapped = "<LibSettings>" + s + "</LibSettings>";
    xmlDocPtr doc = xmlReadMemory(wrapped.data(), static_cast<int>(wrapped.size()), nullptr, "UTF-8", 0);
    ASSERT_NE(doc, nullptr);
    int elements = 0;
    for (xmlNodePtr n = xmlDocGetRootElement(doc)->children; n; n = n->next)
        elements += n->type == XML_ELEMENT_NODE;
    xmlFreeDoc(doc);
    EXPECT_EQ(elements, 1);
}

TEST_P(BoardApiTest, SettingsStringMovesToAnotherBoard)
{
    TQ8_HANDLE a = Board(1600);
    TQ8_HANDLE b = Board(1601);
    ASSERT_EQ(SetActiveChannelsTQ8(a, 9), TQ8_OK);
    ASSERT_EQ(SetInternalAdcClockRateTQ8(a, 777), TQ8_OK);
    ASSERT_EQ(SetTriggerLevelATQ8(a, 33), TQ8_OK);
    ASSERT_EQ(SetDcOffsetCh3TQ8(a, 123), TQ8_OK);
    ASSERT_EQ(SetActiveMemoryRegionTQ8(a, 4096, 256), TQ8_OK);
    int16_t taps[129];
    for (int i = 0; i < 129; ++i)
        taps[i] = static_cast<int16_t>(i * 100 - 6000);
    ASSERT_EQ(FLPC5_LoadCoefficientsTQ8(a, taps, 0), TQ8_OK);
    char* text = nullptr;
    ASSERT_EQ(SaveSettingsToStringXmlATQ8(a, 1, &text), TQ8_OK);
    ASSERT_EQ(LoadSettingsFromStringXmlATQ8(b, 0, text), TQ8_OK);
    char* again = nullptr;
    ASSERT_EQ(SaveSettingsToStringXmlATQ8(b, 1, &again), TQ8_OK);
    EXPECT_STREQ(text, again);
    FreeMemoryTQ8(text);
    FreeMemoryTQ8(again);
    EXPECT_EQ(GetActiveChannelsTQ8(b, 1), 9);
    EXPECT_EQ(GetTriggerLevelATQ8(b, 1), 33);
    EXPECT_EQ(GetDcOffsetCh3TQ8(b, 1), 123);
    EXPECT_EQ(GetStartSampleTQ8(b, 1), 256u);
}

TEST_P(BoardApiTest, BadSettingsTextLeavesTheBoardAlone)
{
    TQ8_HANDLE h = Board();
    ASSERT_EQ(SetTriggerLevelATQ8(h, 44), TQ8_OK);
    for (const char* bad : {"", "<Other/>", "<TQ8Settings><TriggerLevelA>12</TriggerLevelA><TriggerSource>9</TriggerSource></TQ8Settings>",
                            "<TQ8Settings><TriggerLevelA>-</TriggerLevelA></TQ8Settings>", "<TQ8Settings>",
                            "<TQ8Settings><Fir1Coefficients>1 2 3</Fir1Coefficients></TQ8Settings>",
                            "<TQ8Settings/>", "<TQ8Settings version=\"1\"><FutureThing>3</FutureThing></TQ8Settings>"}) {
        EXPECT_EQ(LoadSettingsFromStringXmlATQ8(h, 0, bad), TQ8_ERR_BAD_SETTINGS) << bad;
        EXPECT_EQ(GetTriggerLevelATQ8(h, 1), 44) << bad;
    }
    EXPECT_EQ(LoadSettingsFromStringXmlATQ8(h, 0, nullptr), TQ8_ERR_INVALID_ARG);
    // Missing items take their defaults.
    ASSERT_EQ(LoadSettingsFromStringXmlATQ8(h, 0, "<TQ8Settings><TriggerMode>1</TriggerMode></TQ8Settings>"), TQ8_OK);
    EXPECT_EQ(GetTriggerLevelATQ8(h, 1), 128);
    EXPECT_EQ(GetTriggerModeTQ8(h, 1), 1);
}

TEST_P(BoardApiTest, SettingsFileRoundTrip)
{
    std::filesystem::path file = TempDir("file") / "board v.tq8set";
    std::filesystem::remove(file);
    TQ8_HANDLE a = Board(1600);
    TQ8_HANDLE b = Board(1601);
    ASSERT_EQ(SetTriggerDelaySamplesTQ8(a, 999), TQ8_OK);
    ASSERT_EQ(SetZabClockTQ8(a, 1), TQ8_OK);
    std::wstring path = vlt::Utf8ToWide(file.string());
    ASSERT_EQ(SaveSettingsToFileXmlWTQ8(a, 2, path.c_str(), "UTF-8"), TQ8_OK);
    ASSERT_EQ(LoadSettingsFromFileXmlWTQ8(b, 0, path.c_str()), TQ8_OK);
    EXPECT_EQ(GetTriggerDelaySamplesTQ8(b, 1), 999u);
    EXPECT_EQ(GetZabClockTQ8(b, 1), 1);
    std::wstring missing = path + L".gone";
    EXPECT_EQ(LoadSettingsFromFileXmlWTQ8(b, 0, missing.c_str()), TQ8_ERR_FILE_UNREADABLE);
    std::wstring noDir = vlt::Utf8ToWide((TempDir("file") / "no" / "such" / "x.tq8set").string());
    EXPECT_EQ(SaveSettingsToFileXmlWTQ8(a, 2, noDir.c_str(), "UTF-8"), TQ8_ERR_FILE_WRITE);
}

TEST_P(BoardApiTest, SettingsFileThatIsNoPlainFileIsRefusedAtOnce)
{
    TQ8_HANDLE h = Board();
    ASSERT_EQ(SetTriggerLevelATQ8(h, 44), TQ8_OK);
    const std::filesystem::path file = TempDir("bad") / "bad.tq8set";
    const std::wstring path = vlt::Utf8ToWide(file.string());
    for (badfiles::Kind kind : badfiles::kAll) {
        SCOPED_TRACE(badfiles::Name(kind));
        std::filesystem::remove_all(file);
        ASSERT_TRUE(badfiles::Make(kind, file.string()));
        badfiles::HangGuard guard;
        EXPECT_EQ(LoadSettingsFromFileXmlWTQ8(h, 0, path.c_str()), TQ8_ERR_FILE_UNREADABLE);
        EXPECT_EQ(GetTriggerLevelATQ8(h, 1), 44);
    }
    std::filesystem::remove_all(file);
    {
        std::ofstream(file) << "<?xml version=\"1.0\"?>\n<TQ8Settings/>\n";
    }
    EXPECT_EQ(LoadSettingsFromFileXmlWTQ8(h, 0, path.c_str()), TQ8_ERR_BAD_SETTINGS);
    EXPECT_EQ(GetTriggerLevelATQ8(h, 1), 44);
}

// A refused settings file is told by the element and the value at fault,
// and asking why applies nothing.
TEST_P(BoardApiTest, SettingsFileErrorNamesTheElementAndItsValue)
{
    TQ8_HANDLE h = Board();
    ASSERT_EQ(SetTriggerLevelATQ8(h, 44), TQ8_OK);
    const std::filesystem::path file = TempDir("why") / "bad.tq8set";
    const std::wstring path = vlt::Utf8ToWide(file.string());
    auto reasonFor = [&](int32_t expected) {
        wchar_t* reason = nullptr;
        EXPECT_EQ(GetSettingsFileErrorWTQ8(h, path.c_str(), &reason), expected);
        const std::wstring text = reason ? reason : L"";
        EXPECT_EQ(FreeMemoryTQ8(reason), TQ8_OK);
        return text;
    };
    const std::pair<const char*, const char*> bad[] = {
        {"InternalAdcClockRate", "100"}, {"TriggerSource", "banana"}, {"MemoryRegionCount", "-5"}};
    for (const auto& [name, value] : bad) {
        SCOPED_TRACE(name);
        std::ofstream(file) << "<TQ8Settings><TriggerLevelA>12</TriggerLevelA><" << name << ">" << value << "</"
                            << name << "></TQ8Settings>";
        EXPECT_EQ(LoadSettingsFromFileXmlWTQ8(h, 0, path.c_str()), TQ8_ERR_BAD_SETTINGS);
        const std::wstring reason = reasonFor(TQ8_ERR_BAD_SETTINGS);
        EXPECT_NE(reason.find(vlt::Utf8ToWide(name)), std::wstring::npos) << vlt::WideToUtf8(reason);
        EXPECT_NE(reason.find(L"\"" + vlt::Utf8ToWide(value) + L"\""), std::wstring::npos) << vlt::WideToUtf8(reason);
        EXPECT_EQ(GetTriggerLevelATQ8(h, 1), 44);
    }
    std::ofstream(file) << "<TQ8Settings><TriggerLevelA>12</TriggerLevelA></TQ8Settings>";
    EXPECT_EQ(reasonFor(TQ8_OK), L"");
    EXPECT_EQ(GetTriggerLevelATQ8(h, 1), 44);
    std::ofstream(file) << "<TQ8Settings><TriggerLevelA>12</Trigger";
    EXPECT_NE(reasonFor(TQ8_ERR_BAD_SETTINGS).find(L"not well-formed"), std::wstring::npos);
    std::filesystem::remove(file);
    EXPECT_FALSE(reasonFor(TQ8_ERR_FILE_UNREADABLE).empty());
    wchar_t* reason = nullptr;
    EXPECT_EQ(GetSettingsFileErrorWTQ8(h, path.c_str(), nullptr), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(GetSettingsFileErrorWTQ8(nullptr, path.c_str(), &reason), TQ8_ERR_INVALID_HANDLE);
    EXPECT_EQ(reason, nullptr);
}

// Settings text, as a workspace holds it, is told the same way.
TEST_P(BoardApiTest, SettingsStringErrorNamesTheElementAndItsValue)
{
    TQ8_HANDLE h = Board();
    ASSERT_EQ(SetTriggerLevelATQ8(h, 44), TQ8_OK);
    auto reasonFor = [&](const char* text, int32_t expected) {
        wchar_t* reason = nullptr;
        EXPECT_EQ(GetSettingsStringErrorATQ8(h, text, &reason), expected);
        const std::wstring out = reason ? reason : L"";
        EXPECT_EQ(FreeMemoryTQ8(reason), TQ8_OK);
        return out;
    };
    const char* bad = "<TQ8Settings><TriggerLevelA>12</TriggerLevelA><MemoryRegionCount>-5</MemoryRegionCount>"
                      "</TQ8Settings>";
    EXPECT_EQ(LoadSettingsFromStringXmlATQ8(h, 0, bad), TQ8_ERR_BAD_SETTINGS);
    const std::wstring reason = reasonFor(bad, TQ8_ERR_BAD_SETTINGS);
    EXPECT_NE(reason.find(L"MemoryRegionCount holds \"-5\""), std::wstring::npos) << vlt::WideToUtf8(reason);
    EXPECT_EQ(reasonFor("<TQ8Settings><TriggerLevelA>12</TriggerLevelA></TQ8Settings>", TQ8_OK), L"");
    EXPECT_NE(reasonFor("<TQ8Settings><Trigger", TQ8_ERR_BAD_SETTINGS).find(L"settings"), std::wstring::npos);
    EXPECT_EQ(GetTriggerLevelATQ8(h, 1), 44);
    wchar_t* none = nullptr;
    EXPECT_EQ(GetSettingsStringErrorATQ8(h, nullptr, &none), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(GetSettingsStringErrorATQ8(h, bad, nullptr), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(GetSettingsStringErrorATQ8(nullptr, bad, &none), TQ8_ERR_INVALID_HANDLE);
    EXPECT_EQ(none, nullptr);
}

TEST_P(BoardApiTest, CopyAndDefaults)
{
    TQ8_HANDLE a = Board(1600);
    TQ8_HANDLE b = Board(1601);
    ASSERT_EQ(SetTimestampModeTQ8(a, 2), TQ8_OK);
    ASSERT_EQ(CopyHardwareSettingsTQ8(b, a), TQ8_OK);
    EXPECT_EQ(GetTimestampModeTQ8(b, 1), 2);
    ASSERT_EQ(SetPowerupDefaultsTQ8(b), TQ8_OK);
    EXPECT_EQ(GetTimestampModeTQ8(b, 1), 0);
    EXPECT_EQ(RewriteHardwareSettingsTQ8(b), TQ8_OK);
    EXPECT_EQ(CopyHardwareSettingsTQ8(b, nullptr), TQ8_ERR_INVALID_HANDLE);
}
