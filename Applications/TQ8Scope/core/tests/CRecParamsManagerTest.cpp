#include <algorithm>
#include <string>

#include <libxml/parser.h>

#include <gtest/gtest.h>

#include "CAutoXmlDoc.h"
#include "CRecParamsManager.h"
#include "DevMgrTestSupport.h"

using devmgr_test::Doc;

namespace {

bool ReadFrom(const std::string& text, CRecParamsManager& m)
{
    CAutoXmlDoc doc(xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8", 0));
    if (doc.IsEmpty())
        return false;
    return m.ReadXml(doc, xmlDocGetRootElement(doc));
}

void FillValues(CRecParamsManager& m)
{
    m.Flags = 7;
    m.RecType = 1;
    m.RecDurType = 2;
    m.DurSamples = 9000000000ULL;
    m.DurMs = 12345678901ULL;
    m.AcqSamples = 2097152;
    m.TransferSamples = 4096;
    m.SnapshotSamples = 16384;
    m.SnapshotFreqMs = 250;
}

void ExpectSameValues(const CRecParamsManager& a, const CRecParamsManager& b)
{
    EXPECT_EQ(a.Flags, b.Flags);
    EXPECT_EQ(a.RecType, b.RecType);
    EXPECT_EQ(a.RecDurType, b.RecDurType);
    EXPECT_EQ(a.DurSamples, b.DurSamples);
    EXPECT_EQ(a.DurMs, b.DurMs);
    EXPECT_EQ(a.AcqSamples, b.AcqSamples);
    EXPECT_EQ(a.TransferSamples, b.TransferSamples);
    EXPECT_EQ(a.SnapshotSamples, b.SnapshotSamples);
    EXPECT_EQ(a.SnapshotFreqMs, b.SnapshotFreqMs);
}

} // namespace

TEST(CRecParamsManagerTest, Defaults)
{
    CRecParamsManager m;
    EXPECT_EQ(m.Flags, 0u);
    EXPECT_EQ(m.RecType, 0);
    EXPECT_EQ(m.RecDurType, 0);
    EXPECT_EQ(m.DurSamples, 104857600u);
    EXPECT_EQ(m.DurMs, 60000u);
    EXPECT_EQ(m.AcqSamples, 1048576u);
    EXPECT_EQ(m.TransferSamples, 0u);
    EXPECT_EQ(m.SnapshotSamples, 8192u);
    EXPECT_EQ(m.SnapshotFreqMs, 1000u);
    EXPECT_EQ(m.GetDeviceManager(), nullptr);
}

TEST(CRecParamsManagerTest, ValuesAreWrittenInOrderOnOneLine)
{
    CRecParamsManager m;
    FillValues(m);
    std::string xml = "prefix";
    ASSERT_TRUE(m.WriteXml(xml));
    EXPECT_EQ(xml, "prefix<RecParamsImp><Flags>7</Flags><RecType>1</RecType><RecDurType>2</RecDurType>"
                   "<DurSamples>9000000000</DurSamples><DurMs>12345678901</DurMs><AcqSamples>2097152</AcqSamples>"
                   "<SnapshotSamples>16384</SnapshotSamples><SnapshotFreqMs>250</SnapshotFreqMs>"
                   "<TransferSamples>4096</TransferSamples></RecParamsImp>");
}

TEST(CRecParamsManagerTest, ValuesRoundTrip)
{
    CRecParamsManager written;
    FillValues(written);
    std::string xml;
    ASSERT_TRUE(written.WriteXml(xml));
    CRecParamsManager read;
    ASSERT_TRUE(ReadFrom(xml, read));
    ExpectSameValues(read, written);
}

TEST(CRecParamsManagerTest, MissingAndMalformedValuesKeepTheCurrentOnes)
{
    CRecParamsManager m;
    FillValues(m);
    ASSERT_TRUE(ReadFrom("<RecParamsImp><Flags>-1</Flags><DurMs>abc</DurMs><AcqSamples>4294967296</AcqSamples>"
                         "<RecType>0</RecType></RecParamsImp>",
                         m));
    CRecParamsManager expected;
    FillValues(expected);
    expected.RecType = 0;
    ExpectSameValues(m, expected);
}

TEST(CRecParamsManagerTest, DeviceParamsWithoutSerialMakeTheFileInvalid)
{
    CRecParamsManager m;
    EXPECT_FALSE(ReadFrom("<RecParamsImp><deviceparams><DestFileOpts><Fwp_ss>104</Fwp_ss></DestFileOpts>"
                          "</deviceparams></RecParamsImp>",
                          m));
    EXPECT_EQ(m.GetLastErrorText(), L"Invalid TQ3300 workspace file");
}

TEST(CRecParamsManagerTest, BoardsThatAreNotConnectedAreSkipped)
{
    CRecParamsManager m;
    EXPECT_TRUE(ReadFrom("<RecParamsImp><DeviceParams Sn=\"55\"><DestFileOpts><Fwp_ss>0</Fwp_ss></DestFileOpts>"
                         "</DeviceParams></RecParamsImp>",
                         m));
    EXPECT_TRUE(m.Devices().empty());
}

TEST(CRecParamsManagerTest, EntriesComeAndGo)
{
    CRecParamsManager m;
    auto h = reinterpret_cast<TQ8_HANDLE>(0x10);
    EXPECT_TRUE(m.AddDevice(h));
    m.GetDeviceParams(h).RecParams.AcqSamples = 99;
    EXPECT_TRUE(m.AddDevice(h)) << "an existing entry stays as it is";
    EXPECT_EQ(m.GetDeviceParams(h).RecParams.AcqSamples, 99u);
    EXPECT_EQ(m.GetDeviceParams(h).StateFlags, CRecParamsManager::kStateSelected);
    EXPECT_EQ(m.RemoveDevice(h), 1u);
    EXPECT_EQ(m.RemoveDevice(h), 0u);
    EXPECT_EQ(m.GetDeviceParams(h).RecParams.AcqSamples, 1048576u) << "created anew with defaults";
}

TEST(CRecParamsManagerTest, CopiedEntryDropsTheSessionsFileRecord)
{
    CRecParamsManager m;
    auto h = reinterpret_cast<TQ8_HANDLE>(0x10);
    CRecParamsManager::CDevState& entry = m.GetDeviceParams(h);
    entry.RecParams.DestFileOpts.Pathname1 = L"/a.rd8";
    ASSERT_TRUE(entry.RecParams.BuildSessionParams(nullptr, m, entry.SessionParams, nullptr));
    ASSERT_NE(entry.SessionParams.Rsp_fileWrite, nullptr);
    CRecParamsManager::CDevState copy(entry);
    EXPECT_EQ(copy.SessionParams.Rsp_fileWrite, nullptr);
    EXPECT_EQ(copy.SessionParams.Rsp_ss, 72u);
    CRecParamsManager::CDevState assigned;
    assigned = entry;
    EXPECT_EQ(assigned.SessionParams.Rsp_fileWrite, nullptr);
    EXPECT_EQ(assigned.RecParams.GetFileWriteParams().Fwp_path1, nullptr);
}

// ---- With boards of the simulated library

class CRecParamsManagerBoardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DEVMGR_REQUIRE_SIMULATOR();
        TQ8Sim_Reset();
        ASSERT_TRUE(devmgr_test::DeclareBoards({{300001, 1}, {300002, 2}, {300003, 0}}));
        ASSERT_EQ(devices.ConnectAllLocalDevices(), 3u);
        for (uint32_t serial : {300001u, 300002u, 300003u})
            handles.push_back(devices.FindDeviceBySerial(serial));
    }
    void TearDown() override
    {
        devices.CloseAllDevices();
        if (devmgr_test::SimulatorAvailable())
            TQ8Sim_Reset();
    }

    CDeviceManagerTQ8 devices;
    std::vector<TQ8_HANDLE> handles; // master, slave, standalone
};

TEST_F(CRecParamsManagerBoardTest, LinkingGivesEveryBoardWithADocumentAFreshEntry)
{
    devices.SetDocument(handles[0], Doc(0));
    devices.SetDocument(handles[2], Doc(2));
    CRecParamsManager m;
    m.GetDeviceParams(handles[0]).RecParams.AcqSamples = 5;
    ASSERT_TRUE(m.LinkDeviceManager(&devices));
    ASSERT_EQ(m.Devices().size(), 2u);
    EXPECT_EQ(m.FindDeviceParams(handles[0])->RecParams.AcqSamples, 1048576u);
    EXPECT_EQ(m.FindDeviceParams(handles[0])->Document, Doc(0));
    EXPECT_EQ(m.FindDeviceParams(handles[2])->Document, Doc(2));
    EXPECT_EQ(m.FindDeviceParams(handles[1]), nullptr);
    m.AddDevice(handles[1]);
    EXPECT_EQ(m.FindDeviceParams(handles[1])->Document, nullptr);
}

TEST_F(CRecParamsManagerBoardTest, SlavesComeFirstAndSelectionFilters)
{
    CRecParamsManager m;
    m.LinkDeviceManager(&devices);
    for (TQ8_HANDLE h : handles)
        m.AddDevice(h);
    std::vector<TQ8_HANDLE> list;
    EXPECT_EQ(m.GetDevices(list, false), 3u);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list.front(), handles[1]);
    m.GetDeviceParams(handles[1]).StateFlags = 0;
    list.clear();
    EXPECT_EQ(m.GetDevices(list, true), 2u);
    EXPECT_EQ(std::count(list.begin(), list.end(), handles[1]), 0);
}

TEST_F(CRecParamsManagerBoardTest, BoardOptionsRoundTripBySerial)
{
    CRecParamsManager written;
    written.LinkDeviceManager(&devices);
    FillValues(written);
    CDestFileOpts& o = written.GetDeviceParams(handles[2]).RecParams.DestFileOpts;
    o.Pathname1 = L"/rec/<third>.rd8";
    o.OpNotes = L"\u00fcber";
    o.Template.Fwp_chanSel = 5;
    o.SpanFiles = 1;
    written.GetDeviceParams(handles[0]);
    std::string xml;
    ASSERT_TRUE(written.WriteXml(xml));
    EXPECT_NE(xml.find("<DeviceParams Sn=\"300003\"><DestFileOpts>"), std::string::npos);

    CRecParamsManager read;
    read.LinkDeviceManager(&devices);
    ASSERT_TRUE(ReadFrom(xml, read));
    ExpectSameValues(read, written);
    const CDestFileOpts& r = read.GetDeviceParams(handles[2]).RecParams.DestFileOpts;
    EXPECT_EQ(r.Pathname1, o.Pathname1);
    EXPECT_EQ(r.OpNotes, o.OpNotes);
    EXPECT_EQ(r.Template.Fwp_chanSel, 5);
    EXPECT_EQ(r.SpanFiles, 1);
    EXPECT_NE(read.FindDeviceParams(handles[0]), nullptr);
}

TEST_F(CRecParamsManagerBoardTest, WithoutDeviceParamsEveryBoardKeepsItsDefaults)
{
    CRecParamsManager m;
    m.LinkDeviceManager(&devices);
    m.AddDevice(handles[0]);
    ASSERT_TRUE(ReadFrom("<RecordingParameters><Flags>3</Flags></RecordingParameters>", m));
    EXPECT_EQ(m.Flags, 3u);
    EXPECT_EQ(m.GetDeviceParams(handles[0]).RecParams.DestFileOpts.Template.Fwp_flags, 0x100u);
    EXPECT_TRUE(m.GetDeviceParams(handles[0]).RecParams.DestFileOpts.Pathname1.empty());
}

TEST_F(CRecParamsManagerBoardTest, ZeroSizeOrMissingOptionsMakeTheFileInvalid)
{
    CRecParamsManager m;
    m.LinkDeviceManager(&devices);
    m.GetDeviceParams(handles[0]).RecParams.DestFileOpts.Pathname1 = L"kept";
    EXPECT_FALSE(ReadFrom("<RecParamsImp><DeviceParams Sn=\"300001\"><DestFileOpts><Fwp_ss>0</Fwp_ss>"
                          "<Pathname1>lost</Pathname1></DestFileOpts></DeviceParams></RecParamsImp>",
                          m));
    EXPECT_EQ(m.GetLastErrorText(), L"Invalid TQ3300 workspace file");
    EXPECT_EQ(m.GetDeviceParams(handles[0]).RecParams.DestFileOpts.Pathname1, L"kept");

    CRecParamsManager empty;
    empty.LinkDeviceManager(&devices);
    EXPECT_FALSE(ReadFrom("<RecParamsImp><DeviceParams Sn=\"300002\"> </DeviceParams></RecParamsImp>", empty));
}
