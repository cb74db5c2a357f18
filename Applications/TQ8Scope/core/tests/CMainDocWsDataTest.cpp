#include <string>
#include <utility>
#include <vector>

#include <libxml/parser.h>

#include <gtest/gtest.h>

#include "CAutoXmlDoc.h"
#include "CMainDocWsData.h"

namespace {

// Parses a device element's text; the document's root is the element.
CAutoXmlDoc ParseDevice(const std::string& text)
{
    return CAutoXmlDoc(xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8", XML_PARSE_NONET));
}

// Wraps data's DocState in a device element, as a workspace file holds it,
// and reads it back into target.
bool RoundTrip(const CMainDocWsData& data, CMainDocWsData& target)
{
    std::string text = "<Device Sn=\"1234\" ><DocFlags>64</DocFlags>";
    data.WriteXml(text);
    text += "<LibSettings><Board/></LibSettings></Device>";
    CAutoXmlDoc doc = ParseDevice(text);
    if (doc.IsEmpty())
        return false;
    return target.ReadXml(xmlDocGetRootElement(doc));
}

bool ReadDevice(const std::string& text, CMainDocWsData& target)
{
    CAutoXmlDoc doc = ParseDevice(text);
    EXPECT_FALSE(doc.IsEmpty()) << text;
    if (doc.IsEmpty())
        return false;
    return target.ReadXml(xmlDocGetRootElement(doc));
}

std::string DeviceWithState(const std::string& inner)
{
    return "<Device Sn=\"1\" ><DocState>" + inner + "</DocState></Device>";
}

CMainDocWsData NonDefaults()
{
    CMainDocWsData d;
    d.DataStartSample = 4000000000u;
    d.DataSampleCount = 123457;
    d.LimitPlotData = 0;
    d.DcOffsetSyncIdx = -3;
    d.TsDestFile = L"/data/a&b <c> 'd' \"e\" \u00e9t\u00e9 \u0492 \u2019 \U0001F600\tx\ny\r\nz.tq8ts";
    d.TsSaveAsText = 1;
    d.PlotOffset = 0x1'2345'6789ull;
    d.PlotPageWidth = 4096;
    d.PlotMinSampleValue = -32768;
    d.PlotMaxSampleValue = 2147483647;
    d.PlotSyncController = 1;
    d.ActionContinuous = 1;
    d.DocActiveView = 7;
    return d;
}

void ExpectSame(const CMainDocWsData& a, const CMainDocWsData& b)
{
    EXPECT_EQ(a.DataStartSample, b.DataStartSample);
    EXPECT_EQ(a.DataSampleCount, b.DataSampleCount);
    EXPECT_EQ(a.LimitPlotData, b.LimitPlotData);
    EXPECT_EQ(a.DcOffsetSyncIdx, b.DcOffsetSyncIdx);
    EXPECT_EQ(a.TsDestFile, b.TsDestFile);
    EXPECT_EQ(a.TsSaveAsText, b.TsSaveAsText);
    EXPECT_EQ(a.PlotOffset, b.PlotOffset);
    EXPECT_EQ(a.PlotPageWidth, b.PlotPageWidth);
    EXPECT_EQ(a.PlotMinSampleValue, b.PlotMinSampleValue);
    EXPECT_EQ(a.PlotMaxSampleValue, b.PlotMaxSampleValue);
    EXPECT_EQ(a.PlotSyncController, b.PlotSyncController);
    EXPECT_EQ(a.ActionContinuous, b.ActionContinuous);
    EXPECT_EQ(a.DocActiveView, b.DocActiveView);
}

void ExpectDefaultNumbers(const CMainDocWsData& d)
{
    EXPECT_EQ(d.DataStartSample, 0u);
    EXPECT_EQ(d.DataSampleCount, 32768u);
    EXPECT_EQ(d.LimitPlotData, 1);
    EXPECT_EQ(d.DcOffsetSyncIdx, 0);
    EXPECT_EQ(d.TsSaveAsText, 0);
    EXPECT_EQ(d.PlotOffset, 0u);
    EXPECT_EQ(d.PlotPageWidth, 32768u);
    EXPECT_EQ(d.PlotMinSampleValue, 0);
    EXPECT_EQ(d.PlotMaxSampleValue, 255);
    EXPECT_EQ(d.PlotSyncController, 0);
    EXPECT_EQ(d.ActionContinuous, 0);
    EXPECT_EQ(d.DocActiveView, 0);
}

} // namespace

TEST(CMainDocWsDataTest, DefaultsFollowTheTable)
{
    CMainDocWsData d;
    ExpectDefaultNumbers(d);
    EXPECT_TRUE(d.TsDestFile.empty());
}

TEST(CMainDocWsDataTest, ResetRestoresNumbersAndKeepsTheFileName)
{
    CMainDocWsData d = NonDefaults();
    const std::wstring file = d.TsDestFile;
    d.Reset();
    ExpectDefaultNumbers(d);
    EXPECT_EQ(d.TsDestFile, file);
}

TEST(CMainDocWsDataTest, DefaultElementIsTheTableInOrder)
{
    const std::vector<std::pair<std::string, std::string>> table = {
        {"data_start_sample", "0"},    {"data_sample_count", "32768"},  {"data_bLimitPlotData", "1"},
        {"dc_offset_sync_idx", "0"},   {"ts_strDestFile", ""},          {"ts_bSaveAsText", "0"},
        {"plot_offset", "0"},          {"plot_page_width", "32768"},    {"plot_min_samp_val", "0"},
        {"plot_max_samp_val", "255"},  {"plot_bSyncController", "0"},   {"action_bContinuous", "0"},
        {"doc_active_view", "0"},
    };
    std::string expected = "<DocState>";
    for (const auto& [name, value] : table)
        expected += "<" + name + ">" + value + "</" + name + ">";
    expected += "</DocState>";

    std::string out;
    CMainDocWsData().WriteXml(out);
    EXPECT_EQ(out, expected);
}

TEST(CMainDocWsDataTest, WriteAppendsToWhatIsThere)
{
    std::string out = "<Device Sn=\"5\" >";
    CMainDocWsData().WriteXml(out);
    EXPECT_EQ(out.rfind("<Device Sn=\"5\" ><DocState><data_start_sample>", 0), 0u);
    EXPECT_EQ(out.find('\n'), std::string::npos);
}

TEST(CMainDocWsDataTest, NumbersAreWrittenInDecimal)
{
    CMainDocWsData d = NonDefaults();
    std::string out;
    d.WriteXml(out);
    EXPECT_NE(out.find("<plot_offset>4886718345</plot_offset>"), std::string::npos);
    EXPECT_NE(out.find("<data_start_sample>4000000000</data_start_sample>"), std::string::npos);
    EXPECT_NE(out.find("<dc_offset_sync_idx>-3</dc_offset_sync_idx>"), std::string::npos);
    EXPECT_NE(out.find("<plot_min_samp_val>-32768</plot_min_samp_val>"), std::string::npos);
}

TEST(CMainDocWsDataTest, EveryFieldRoundTrips)
{
    const CMainDocWsData written = NonDefaults();
    CMainDocWsData read;
    ASSERT_TRUE(RoundTrip(written, read));
    ExpectSame(written, read);
}

TEST(CMainDocWsDataTest, ExtremeValuesRoundTrip)
{
    CMainDocWsData written;
    written.DataStartSample = 4294967295u;
    written.PlotOffset = 18446744073709551615ull;
    written.PlotMinSampleValue = -2147483647 - 1;
    written.LimitPlotData = -7; // any non-zero is on; the value itself is kept
    written.TsDestFile = L"&amp; is not an entity here";
    CMainDocWsData read = NonDefaults();
    ASSERT_TRUE(RoundTrip(written, read));
    ExpectSame(written, read);
}

TEST(CMainDocWsDataTest, EmptyFileNameElementClearsTheName)
{
    CMainDocWsData read = NonDefaults();
    ASSERT_TRUE(RoundTrip(CMainDocWsData(), read));
    EXPECT_TRUE(read.TsDestFile.empty());
    ExpectDefaultNumbers(read);
}

TEST(CMainDocWsDataTest, CharactersXmlCannotCarryBecomeReplacementCharacters)
{
    CMainDocWsData written;
    written.TsDestFile = std::wstring(L"a\x01" L"b") + L'\0' + L"c\uFFFFd\x1F";
    CMainDocWsData read;
    ASSERT_TRUE(RoundTrip(written, read)); // the file stays well-formed
    EXPECT_EQ(read.TsDestFile, L"a\uFFFDb\uFFFDc\uFFFDd\uFFFD");
}

TEST(CMainDocWsDataTest, NamesAreComparedWithoutCase)
{
    CMainDocWsData d;
    ASSERT_TRUE(ReadDevice("<Device><DOCSTATE><DATA_START_SAMPLE>17</DATA_START_SAMPLE>"
                           "<Plot_Offset>5000000000</Plot_Offset><TS_STRDESTFILE>x.ts</TS_STRDESTFILE>"
                           "<doc_ACTIVE_view>3</doc_ACTIVE_view></DOCSTATE></Device>",
                           d));
    EXPECT_EQ(d.DataStartSample, 17u);
    EXPECT_EQ(d.PlotOffset, 5000000000ull);
    EXPECT_EQ(d.TsDestFile, L"x.ts");
    EXPECT_EQ(d.DocActiveView, 3);
}

TEST(CMainDocWsDataTest, MissingDocStateKeepsEveryValue)
{
    const CMainDocWsData before = NonDefaults();
    CMainDocWsData d = before;
    EXPECT_TRUE(ReadDevice("<Device Sn=\"1\" ><DocFlags>64</DocFlags><LibSettings/></Device>", d));
    ExpectSame(before, d);
    EXPECT_TRUE(d.ReadXml(nullptr));
    ExpectSame(before, d);
}

TEST(CMainDocWsDataTest, OnlyADirectChildCountsAsDocState)
{
    CMainDocWsData d;
    EXPECT_TRUE(ReadDevice("<Device><LibSettings><DocState><data_start_sample>9</data_start_sample></DocState>"
                           "</LibSettings></Device>",
                           d));
    EXPECT_EQ(d.DataStartSample, 0u);
}

TEST(CMainDocWsDataTest, NumbersThatDoNotFitKeepTheOldValue)
{
    CMainDocWsData d = NonDefaults();
    const CMainDocWsData before = d;
    ASSERT_TRUE(ReadDevice(DeviceWithState("<data_start_sample>4294967296</data_start_sample>"
                                           "<data_sample_count>-1</data_sample_count>"
                                           "<plot_offset>abc</plot_offset>"
                                           "<plot_page_width></plot_page_width>"
                                           "<plot_min_samp_val>2147483648</plot_min_samp_val>"
                                           "<plot_max_samp_val>-2147483649</plot_max_samp_val>"
                                           "<dc_offset_sync_idx>x1</dc_offset_sync_idx>"),
                           d));
    ExpectSame(before, d);

    ASSERT_TRUE(ReadDevice(DeviceWithState("<plot_offset>18446744073709551616</plot_offset>"
                                           "<data_bLimitPlotData>9999999999</data_bLimitPlotData>"),
                           d));
    ExpectSame(before, d);

    ASSERT_TRUE(ReadDevice(DeviceWithState("<plot_offset>-1</plot_offset>"), d));
    EXPECT_EQ(d.PlotOffset, before.PlotOffset);
}

TEST(CMainDocWsDataTest, ABadItemDoesNotStopTheOthers)
{
    CMainDocWsData d;
    ASSERT_TRUE(ReadDevice(DeviceWithState("<plot_offset>abc</plot_offset><plot_page_width>1000</plot_page_width>"
                                           "<action_bContinuous>1</action_bContinuous>"),
                           d));
    EXPECT_EQ(d.PlotOffset, 0u);
    EXPECT_EQ(d.PlotPageWidth, 1000u);
    EXPECT_EQ(d.ActionContinuous, 1);
}

TEST(CMainDocWsDataTest, UnknownElementsAndTextBetweenElementsAreIgnored)
{
    CMainDocWsData d;
    const CMainDocWsData before = d;
    ASSERT_TRUE(ReadDevice(DeviceWithState("\n  <future_item>77</future_item>\n  "
                                           "<!-- note --><data_sample_count> 2048 </data_sample_count>\n"
                                           "stray text <ts_bSaveAsText>1</ts_bSaveAsText>\t"),
                           d));
    EXPECT_EQ(d.DataSampleCount, 2048u);
    EXPECT_EQ(d.TsSaveAsText, 1);
    EXPECT_EQ(d.DataStartSample, before.DataStartSample);
    EXPECT_EQ(d.PlotMaxSampleValue, before.PlotMaxSampleValue);
    EXPECT_TRUE(d.TsDestFile.empty());
}
