// Saving and loading workspace files: the exact text, round trips, and
// damaged or unusual files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <initializer_list>
#include <sstream>

#include <QTest>

#include "AtomicFile.h"
#include "CDeviceManagerTQ8.h"
#include "CMainDoc.h"
#include "CMainDocWsData.h"
#include "CMainFrame.h"
#include "CRecParamsManager.h"
#include "CWorkspaceTQ8.h"
#include "DocTestSupport.h"
#include "FileDialog.h"
#include "IDocView.h"
#include "Hub6Sim.h"
#include "Hub6TestHost.h"
#include "InprocServer.h"
#include "MessageBox.h"
#include "PersistentOptsKeys.h"
#include "ShellFixture.h"
#include "TQ8Sim.h"
#include "TimedStatusText.h"
#include "TimerSet.h"
#include "WorkspaceXml.h"

namespace {

// Boards "on a server" are virtual boards of the simulator.
class FakeRemoteDevices : public CDeviceManagerTQ8 {
public:
    std::vector<uint32_t> serverBoards;

protected:
    int32_t QueryRemoteSerials(const wchar_t*, uint16_t port, uint32_t** serials) override
    {
        if (port != 3494)
            return TQ8_ERR_GENERAL;
        *serials = serverBoards.empty() ? nullptr : serverBoards.data();
        return static_cast<int32_t>(serverBoards.size());
    }
    int32_t ConnectRemoteHandle(TQ8_HANDLE* handle, uint32_t serial, bool, const TQ8_REMOTE_CONN_INFO&) override
    {
        return ConnectToVirtualDeviceTQ8(handle, serial, 1);
    }
};

class TestWorkspace : public CWorkspaceTQ8 {
public:
    explicit TestWorkspace(CMainApp& app) : TestWorkspace(app, std::make_unique<FakeRemoteDevices>()) {}
    FakeRemoteDevices& server;

private:
    TestWorkspace(CMainApp& app, std::unique_ptr<FakeRemoteDevices> devices)
        : CWorkspaceTQ8(app, std::move(devices)), server(static_cast<FakeRemoteDevices&>(*GetDeviceManager()))
    {
    }
};

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string LibSettings(TQ8_HANDLE device)
{
    char* text = nullptr;
    EXPECT_EQ(SaveSettingsToStringXmlATQ8(device, 1, &text), TQ8_OK);
    std::string s = text ? text : "";
    FreeMemoryTQ8(text);
    return s;
}

class WorkspaceFileTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        TQ8Sim_Reset();
        TQ8Sim_SetTimeFactor(doc_test::kFastTime);
        ForgetHub6SoftwareState();
        app->SetWorkspace(std::make_unique<TestWorkspace>(*app));
    }
    void TearDown() override
    {
        CWorkspaceTQ8::SetNewWorkspaceDialog({});
        ShellTest::TearDown();
        TQ8Sim_Reset();
        ForgetHub6SoftwareState();
    }
    void AddBoard(uint32_t serial, int32_t masterSlave = 0)
    {
        TQ8SIM_BOARD_DESC desc;
        TQ8Sim_DefaultBoardDesc(&desc, serial);
        desc.masterSlave = masterSlave;
        ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
    }
    CWorkspaceTQ8& Ws() { return static_cast<CWorkspaceTQ8&>(app->GetWorkspace()); }
    CDeviceManagerTQ8& Devices() { return *Ws().GetDeviceManager(); }
    TQ8_HANDLE Board(uint32_t serial) { return Devices().FindDeviceBySerial(serial); }
    CMainDoc* Doc(uint32_t serial) { return Devices().GetDocument(Board(serial)); }
    std::string Path(const char* name) const { return Dir().Str() + "/" + name; }
    std::wstring WPath(const char* name) const { return vlt::Utf8ToWide(Path(name)); }
    std::string RecParamsText()
    {
        std::string text;
        EXPECT_TRUE(Ws().GetRecParamsManager()->WriteXml(text));
        return text;
    }
    std::string SaveText(const char* name = "ws.tq8ws")
    {
        EXPECT_TRUE(Ws().Save(WPath(name)));
        return ReadFile(Path(name));
    }
    // Writes a file and loads it.
    bool LoadText(const std::string& text, const char* name = "in.tq8ws")
    {
        EXPECT_TRUE(vlt::AtomicWriteFile(Path(name), text));
        return Ws().Load(WPath(name));
    }
    std::string DeviceEntry(uint32_t serial, const std::string& inner = "")
    {
        return "<Device Sn=\"" + std::to_string(serial) + "\" >" + inner + "<LibSettings><x/></LibSettings></Device>";
    }
    static std::string File(const std::string& body) { return "<?xml version=\"1.0\"?><TQ8Scope_Workspace>" + body + "</TQ8Scope_Workspace>"; }
    static bool Lint(const std::string& path)
    {
        return std::system(("xmllint --noout '" + path + "' 2>/dev/null").c_str()) == 0;
    }

    vlt::MessageBoxRecorder boxes;
};

} // namespace

// ---- The text -------------------------------------------------------------------------

TEST_F(WorkspaceFileTest, EmptyWorkspaceHasDevicesControllersAndRecordingParametersOnly)
{
    ASSERT_TRUE(app->StartUp({L"-virtual"}));
    ASSERT_TRUE(Ws().Create(0, std::wstring()));
    EXPECT_EQ(SaveText(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><TQ8Scope_Workspace><Devices></Devices>"
                          "<ControllerRelations></ControllerRelations><RecordingParameters>"
                              + RecParamsText() + "</RecordingParameters></TQ8Scope_Workspace>");
    EXPECT_EQ(Ws().GetPath(), WPath("ws.tq8ws"));
    EXPECT_EQ(app->GetLastWorkspacePath(), WPath("ws.tq8ws"));
    EXPECT_TRUE(Lint(Path("ws.tq8ws")));
}

TEST_F(WorkspaceFileTest, LocalBoardEntryHoldsOnlyItsSerialAndOneSpace)
{
    AddBoard(1234);
    ASSERT_TRUE(app->StartUp({}));
    ASSERT_NE(Doc(1234), nullptr);
    std::string state;
    CMainDocWsData().WriteXml(state);
    EXPECT_EQ(SaveText(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><TQ8Scope_Workspace><Devices>"
                          "<Device Sn=\"1234\" ><DocFlags>64</DocFlags>"
                              + state + "<LibSettings>" + LibSettings(Board(1234))
                              + "</LibSettings></Device></Devices><ControllerRelations></ControllerRelations>"
                                "<RecordingParameters>"
                              + RecParamsText() + "</RecordingParameters></TQ8Scope_Workspace>");
}

TEST_F(WorkspaceFileTest, VirtualAndRemoteBoardsWithAnEscapedUtf8ServerRoundTrip)
{
    ASSERT_TRUE(app->StartUp({L"-virtual"}));
    const std::wstring server = L"R&D-Messplatz-\u00dcberlauf";
    TQ8_HANDLE remote = Devices().ConnectRemoteDevice(server.c_str(), 4000, 1700, true, true);
    ASSERT_NE(remote, nullptr);
    ASSERT_NE(app->OpenDeviceDocument(remote, docstate::kHandOver), nullptr);
    const std::string text = SaveText("a.tq8ws");
    EXPECT_NE(text.find("<Device Sn=\"1600\" Virtual=\"1\" ><DocFlags>64</DocFlags>"), std::string::npos);
    EXPECT_NE(text.find("<Device Sn=\"1700\" Virtual=\"1\" Remote=\"1\" "
                        "Server=\"R&amp;D-Messplatz-\xC3\x9C" "berlauf\" Port=\"4000\" ><DocFlags>16448</DocFlags>"),
              std::string::npos);

    ASSERT_TRUE(Ws().Load(WPath("a.tq8ws")));
    std::wstring back;
    uint16_t port = 0;
    ASSERT_TRUE(Devices().GetRemoteLocation(Board(1700), back, port));
    EXPECT_EQ(back, server);
    EXPECT_EQ(port, 4000);
    EXPECT_EQ(SaveText("b.tq8ws"), text);
    EXPECT_TRUE(Lint(Path("b.tq8ws")));
    EXPECT_EQ(boxes.Count(), 0u) << vlt::WideToUtf8(boxes.LastText());
}

TEST_F(WorkspaceFileTest, SlavesWithAndWithoutMasterAndControllersRoundTripByteForByte)
{
    AddBoard(7001, 1);
    AddBoard(7002, 1);
    AddBoard(7003, 2);
    AddBoard(7004, 3);
    AddBoard(7005);
    ASSERT_TRUE(app->StartUp({}));
    // Two masters: the slaves stay unassigned until one is given a master.
    ASSERT_TRUE(Devices().SetSlaveMaster(Board(7003), Board(7001)));
    ASSERT_TRUE(Devices().SetController(Board(7005), Board(7002)));
    CMainDocWsData& state = Doc(7001)->GetWsData();
    state.DataStartSample = 11;
    state.DataSampleCount = 12;
    state.LimitPlotData = 0;
    state.DcOffsetSyncIdx = 3;
    state.TsDestFile = L"/data/st\u00e4mpel&1.tq8ts";
    state.TsSaveAsText = 1;
    state.PlotOffset = 1ull << 40;
    state.PlotPageWidth = 4096;
    state.PlotMinSampleValue = -5;
    state.PlotMaxSampleValue = 1000;
    state.PlotSyncController = 1;
    state.ActionContinuous = 1;
    state.DocActiveView = 4;
    const std::string text = SaveText("a.tq8ws");
    EXPECT_NE(text.find("<DeviceMsRelations><Master Sn=\"0\" ><!-- Sn=0: Slaves without a designated master -->"
                        "<Slave Cfg=\"3\">7004</Slave></Master>"),
              std::string::npos);
    EXPECT_NE(text.find("<Master Sn=\"7001\" Cfg=\"1\" ><Slave Cfg=\"2\">7003</Slave></Master>"), std::string::npos);
    EXPECT_NE(text.find("<Master Sn=\"7002\" Cfg=\"1\" ></Master>"), std::string::npos);
    // Masters control their slaves (the default application flags).
    EXPECT_NE(text.find("<ControllerRelations><Controller Sn=\"7001\"><Controlled>7003</Controlled></Controller>"
                        "<Controller Sn=\"7002\"><Controlled>7005</Controlled></Controller></ControllerRelations>"),
              std::string::npos);
    EXPECT_NE(text.find("<DocState><data_start_sample>11</data_start_sample><data_sample_count>12</data_sample_count>"
                        "<data_bLimitPlotData>0</data_bLimitPlotData><dc_offset_sync_idx>3</dc_offset_sync_idx>"
                        "<ts_strDestFile>/data/st\xC3\xA4mpel&amp;1.tq8ts</ts_strDestFile>"
                        "<ts_bSaveAsText>1</ts_bSaveAsText><plot_offset>1099511627776</plot_offset>"
                        "<plot_page_width>4096</plot_page_width><plot_min_samp_val>-5</plot_min_samp_val>"
                        "<plot_max_samp_val>1000</plot_max_samp_val><plot_bSyncController>1</plot_bSyncController>"
                        "<action_bContinuous>1</action_bContinuous><doc_active_view>4</doc_active_view></DocState>"),
              std::string::npos);

    ASSERT_TRUE(Ws().Load(WPath("a.tq8ws")));
    EXPECT_EQ(Devices().GetMaster(Board(7003)), Board(7001));
    EXPECT_EQ(Devices().GetController(Board(7005)), Board(7002));
    EXPECT_EQ(Doc(7001)->GetWsData().TsDestFile, L"/data/st\u00e4mpel&1.tq8ts");
    EXPECT_EQ(Doc(7001)->GetWsData().PlotOffset, 1ull << 40);
    EXPECT_FALSE(Ws().IsModified());
    // The load gave the slave its master's clock rate; from then on the
    // text stays the same.
    const std::string second = SaveText("b.tq8ws");
    ASSERT_TRUE(Ws().Load(WPath("b.tq8ws")));
    EXPECT_EQ(SaveText("c.tq8ws"), second);
    EXPECT_TRUE(Lint(Path("a.tq8ws")));
    EXPECT_EQ(boxes.Count(), 0u) << vlt::WideToUtf8(boxes.LastText());
}

TEST_F(WorkspaceFileTest, SettingsTextMustBeOneElement)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Board a=\"1\"><x/></Board>";
    EXPECT_TRUE(wsxml::PrepareSettingsElement(text));
    EXPECT_EQ(text, "<Board a=\"1\"><x/></Board>");
    for (std::string bad : {"<Board>", "<a/><b/>", "", "text", "<!DOCTYPE a><a/>", "<a/><!-- c -->", "<?xml <a/>"})
        EXPECT_FALSE(wsxml::PrepareSettingsElement(bad)) << bad;
}

// ---- Saving fails -----------------------------------------------------------------------

TEST_F(WorkspaceFileTest, FailedSaveLeavesThePreviousFileAndTheModifiedFlag)
{
    AddBoard(1234);
    ASSERT_TRUE(app->StartUp({}));
    // A longer old file is replaced by exactly the new text.
    ASSERT_TRUE(vlt::AtomicWriteFile(Path("ws.tq8ws"), std::string(100000, 'x')));
    const std::string saved = SaveText();
    EXPECT_LT(saved.size(), 100000u);
    EXPECT_TRUE(Lint(Path("ws.tq8ws")));

    Ws().SetModified(true);
    ASSERT_EQ(TQ8Sim_InjectResult("SaveSettingsToStringXmlATQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    EXPECT_FALSE(Ws().Save(std::wstring()));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().find(L"Failed to generate device settings: "), boxes.LastText().find(L": ") + 2);
    EXPECT_EQ(ReadFile(Path("ws.tq8ws")), saved);
    EXPECT_TRUE(Ws().IsModified());

    // A folder that cannot take the file.
    EXPECT_FALSE(Ws().Save(WPath("missing/ws.tq8ws")));
    EXPECT_EQ(boxes.LastText().rfind(L"Failed to open workspace file for output: ", 0), 0u);
    EXPECT_EQ(Ws().GetPath(), WPath("ws.tq8ws"));
    EXPECT_TRUE(Ws().IsModified());
}

TEST_F(WorkspaceFileTest, SaveWithoutAnOpenWorkspaceFails)
{
    ASSERT_TRUE(app->StartUp({L"-virtual"}));
    Ws().Close();
    EXPECT_FALSE(Ws().Save(WPath("ws.tq8ws")));
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_FALSE(std::filesystem::exists(Path("ws.tq8ws")));
}

// ---- Loading unusual files ---------------------------------------------------------------

TEST_F(WorkspaceFileTest, DamagedAndForeignFilesAreRefusedWithTheirMessages)
{
    ASSERT_TRUE(app->StartUp({L"-virtual"}));
    TQ8_HANDLE before = Board(1600);
    EXPECT_FALSE(LoadText("<TQ8Scope_Workspace><Devices>"));
    EXPECT_NE(boxes.LastText().find(L"Failed to read workspace data: "), std::wstring::npos);
    EXPECT_FALSE(LoadText("<OtherRoot/>"));
    EXPECT_NE(boxes.LastText().find(L"Invalid workspace file: "), std::wstring::npos);
    EXPECT_FALSE(Ws().Load(WPath("gone.tq8ws")));
    EXPECT_EQ(boxes.LastText().rfind(L"Failed to open workspace file: ", 0), 0u);
    // Nothing of the open workspace was touched.
    EXPECT_EQ(Board(1600), before);
    EXPECT_NE(Doc(1600), nullptr);
}

TEST_F(WorkspaceFileTest, DocFlagsDefaultAndMaskAndDocStateReadingAndRootCase)
{
    AddBoard(7001);
    AddBoard(7002);
    ASSERT_TRUE(app->StartUp({}));
    ASSERT_TRUE(LoadText("<tq8scope_WORKSPACE><Devices>" + DeviceEntry(7001)
                         + DeviceEntry(7002, "<DocFlags>65535</DocFlags><DocState><PLOT_OFFSET>abc</PLOT_OFFSET>"
                                             "<plot_page_width>77</plot_page_width></DocState>")
                         + "</Devices><Unknown/></tq8scope_WORKSPACE>"));
    EXPECT_EQ(Doc(7001)->GetStateFlags() & 0xFFFF, docstate::kLimitPlotData);
    EXPECT_EQ(Doc(7002)->GetStateFlags() & docstate::kHandOver, docstate::kHandOver);
    EXPECT_FALSE(Doc(7002)->GetStateFlags() & docstate::kNotIdle);
    EXPECT_EQ(Doc(7002)->GetWsData().PlotOffset, 0u);
    EXPECT_EQ(Doc(7002)->GetWsData().PlotPageWidth, 77u);
    // "<x/>" is no settings text the library takes.
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"An error occurred applying hardware settings to one or more devices:", 0), 0u);
}

// A RecordingParameters section that cannot be read ends the load with a
// box that names the element at fault.
TEST_F(WorkspaceFileTest, ABadRecordingParametersSectionNamesTheElementAtFault)
{
    AddBoard(7001);
    ASSERT_TRUE(app->StartUp({}));
    const std::string device =
        "<Devices><Device Sn=\"7001\" ><LibSettings>" + LibSettings(Board(7001)) + "</LibSettings></Device></Devices>";
    const std::pair<std::string, std::wstring> cases[] = {
        {"<DeviceParams><DestFileOpts><Fwp_ss>104</Fwp_ss></DestFileOpts></DeviceParams>",
         L"the DeviceParams element has no Sn attribute"},
        {"<DeviceParams Sn=\"x7\"><DestFileOpts><Fwp_ss>104</Fwp_ss></DestFileOpts></DeviceParams>",
         L"the DeviceParams element has Sn=\"x7\", no serial number"},
        {"<DeviceParams Sn=\"7001\"> </DeviceParams>",
         L"the DeviceParams element with Sn=\"7001\" holds no DestFileOpts element"},
        {"<DeviceParams Sn=\"7001\"><DestFileOpts><Fwp_ss>0</Fwp_ss></DestFileOpts></DeviceParams>",
         L"the DeviceParams element with Sn=\"7001\": its DestFileOpts element has no Fwp_ss record size above 0"},
    };
    for (const auto& [entry, fault] : cases) {
        SCOPED_TRACE(entry);
        boxes.Clear();
        EXPECT_FALSE(LoadText(File(device + "<RecordingParameters><RecParamsImp>" + entry
                                   + "</RecParamsImp></RecordingParameters>")));
        EXPECT_EQ(boxes.LastText(), L"Invalid TQ3300 workspace file: in RecordingParameters, " + fault)
            << vlt::WideToUtf8(boxes.LastText());
        EXPECT_EQ(Ws().GetLastError(), L"Invalid TQ3300 workspace file");
    }
}

TEST_F(WorkspaceFileTest, BadAndDuplicateDeviceEntriesAreListedAndTheRestLoadsAfterYes)
{
    AddBoard(7001);
    AddBoard(7002);
    ASSERT_TRUE(app->StartUp({}));
    const std::string settings = LibSettings(Board(7001));
    const std::string good = "<Device Sn=\"7001\" ><LibSettings>" + settings + "</LibSettings></Device>";
    const std::string file = File("<Devices><Device><LibSettings>" + settings + "</LibSettings></Device>" + good + good
                                  + "<Device Sn=\"9999\" ><LibSettings>" + settings + "</LibSettings></Device>"
                                  + "<Device Sn=\"1\" Remote=\"1\" ><LibSettings/></Device></Devices>");
    boxes.QueueAnswer(IDNO);
    EXPECT_FALSE(LoadText(file));
    boxes.QueueAnswer(IDYES);
    ASSERT_TRUE(LoadText(file));
    ASSERT_EQ(boxes.Count(), 2u);
    const std::wstring question = boxes.LastText();
    EXPECT_EQ(question.rfind(L"Failed to connect to one or more TQ3300 devices:\n\n", 0), 0u);
    EXPECT_NE(question.find(L"no valid serial number"), std::wstring::npos);
    EXPECT_NE(question.find(L"#7001 is listed more than once"), std::wstring::npos);
    EXPECT_NE(question.find(L"9999"), std::wstring::npos);
    EXPECT_NE(question.find(L"no valid server or port"), std::wstring::npos);
    EXPECT_EQ(question.substr(question.size() - 28), L"\nContinue loading workspace?");
    EXPECT_EQ(Ws().GetLastError(), L"Invalid TQ3300 workspace file");
    // One document for 7001; 7002 stays connected without one.
    EXPECT_EQ(app->GetMainFrame()->GetDocuments().size(), 1u);
    EXPECT_NE(Doc(7001), nullptr);
    EXPECT_NE(Board(7002), nullptr);
    EXPECT_EQ(Doc(7002), nullptr);
}

TEST_F(WorkspaceFileTest, MasterEntriesRestoreUnassignedSlavesAndSkipUnconnectedMasters)
{
    AddBoard(7001, 1);
    AddBoard(7002, 1);
    AddBoard(7003, 2);
    AddBoard(7004, 3);
    ASSERT_TRUE(app->StartUp({}));
    std::string devices;
    for (uint32_t sn : {7001u, 7002u, 7003u, 7004u})
        devices += "<Device Sn=\"" + std::to_string(sn) + "\" ><LibSettings>" + LibSettings(Board(sn))
                   + "</LibSettings></Device>";
    ASSERT_TRUE(LoadText(File("<Devices>" + devices + "</Devices><DeviceMsRelations>"
                              "<Master Sn=\"0\" ><slave Cfg=\"2\">7003</slave></Master>"
                              "<Master Sn=\"8000\" Cfg=\"1\" ><Slave>7004</Slave></Master>"
                              "<Master Sn=\"7001\" Cfg=\"1\" ><Slave Cfg=\"3\">7004</Slave></Master>"
                              "</DeviceMsRelations>")));
    EXPECT_EQ(Devices().GetMaster(Board(7003)), nullptr);
    EXPECT_EQ(Devices().GetMasterSlaveRole(Board(7003)), CDeviceManagerTQ8::kRoleSlave);
    EXPECT_EQ(Devices().GetMaster(Board(7004)), Board(7001));
    EXPECT_EQ(boxes.Count(), 0u) << vlt::WideToUtf8(boxes.LastText());
}

TEST_F(WorkspaceFileTest, ChangedMasterSlaveConfigurationAsksOkOrCancel)
{
    AddBoard(7001, 1);
    ASSERT_TRUE(app->StartUp({}));
    const std::string file = File("<Devices><Device Sn=\"7001\" ><LibSettings>" + LibSettings(Board(7001))
                                  + "</LibSettings></Device></Devices><DeviceMsRelations>"
                                    "<Master Sn=\"7001\" Cfg=\"0\" ></Master></DeviceMsRelations>");
    boxes.QueueAnswer(IDCANCEL);
    EXPECT_FALSE(LoadText(file));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.LastText().find(L"has changed since this workspace was last saved. (Workspace configuration: "
                                    L"Standalone board, Current board configuration: Master).\n\nSelect OK"),
              std::wstring::npos);
    boxes.QueueAnswer(IDOK);
    EXPECT_TRUE(LoadText(file));
    EXPECT_EQ(boxes.Count(), 2u);
}

TEST_F(WorkspaceFileTest, SelfControlAndCyclesInTheFileAreReportedAndTheLoadGoesOn)
{
    AddBoard(7001);
    AddBoard(7002);
    AddBoard(7003);
    ASSERT_TRUE(app->StartUp({}));
    std::string devices;
    for (uint32_t sn : {7001u, 7002u, 7003u})
        devices += "<Device Sn=\"" + std::to_string(sn) + "\" ><LibSettings>" + LibSettings(Board(sn))
                   + "</LibSettings></Device>";
    ASSERT_TRUE(LoadText(File("<Devices>" + devices + "</Devices><ControllerRelations>"
                              "<Controller Sn=\"7003\"><Controlled>7003</Controlled></Controller>"
                              "<Controller Sn=\"7001\"><Controlled>7002</Controlled></Controller>"
                              "<Controller Sn=\"7002\"><controlled>7001</controlled></Controller>"
                              "</ControllerRelations>")));
    EXPECT_EQ(Devices().GetController(Board(7002)), Board(7001));
    EXPECT_EQ(Devices().GetController(Board(7001)), nullptr);
    EXPECT_EQ(Devices().GetController(Board(7003)), nullptr);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"One or more controller relations of the workspace were not restored:", 0), 0u);
}

TEST_F(WorkspaceFileTest, SyncDevicesWithoutTheSoftwareAskFirst)
{
    ASSERT_TRUE(app->StartUp({L"-virtual"}));
    ASSERT_FALSE(IsHub6SoftwareInstalled());
    const std::string file = File("<Devices></Devices><SyncDevices></SyncDevices>");
    boxes.QueueAnswer(IDCANCEL);
    EXPECT_FALSE(LoadText(file));
    EXPECT_EQ(boxes.LastText().rfind(L"The workspace being loaded contains information about HUB3300-6 devices.", 0), 0u);
    boxes.QueueAnswer(IDOK);
    EXPECT_TRUE(LoadText(file));
}

TEST_F(WorkspaceFileTest, RemoteWorkspaceOpensEveryBoardOfTheServer)
{
    ASSERT_TRUE(app->StartUp({L"-virtual"}));
    static_cast<TestWorkspace&>(Ws()).server.serverBoards = {1701, 1702};
    ASSERT_TRUE(Ws().Create(2, L"lab-pc"));
    EXPECT_EQ(app->GetMainFrame()->GetDocuments().size(), 2u);
    EXPECT_TRUE(Ws().IsRemoteDevice(Board(1702)));
    EXPECT_EQ(Board(1600), nullptr);
    EXPECT_NE(SaveText().find("Remote=\"1\" Server=\"lab-pc\" Port=\"3494\" >"), std::string::npos);
}

// A workspace whose settings could not be applied keeps the file it was
// read from: it loads with a warning and without a file name, and saving it
// at exit asks for a name instead of writing over that file.
TEST_F(WorkspaceFileTest, AWorkspaceLoadedWithErrorsKeepsItsFile)
{
    AddBoard(7001);
    ASSERT_TRUE(app->StartUp({}));
    const std::string good = SaveText("good.tq8ws");
    std::string bad = good;
    const auto setValue = [&bad](const std::string& name, const std::string& value) {
        const size_t at = bad.find("<" + name + ">");
        ASSERT_NE(at, std::string::npos) << name;
        const size_t from = at + name.size() + 2;
        bad.replace(from, bad.find('<', from) - from, value);
    };
    setValue("InternalAdcClockRate", "123456789");
    setValue("ActiveChannels", "77");
    ASSERT_TRUE(vlt::AtomicWriteFile(Path("old.tq8ws"), bad));

    auto dialog = vlt::SetFileDialogHandler(
        [&](const vlt::FileDialogRequest&) { return std::optional<std::wstring>(WPath("old.tq8ws")); });
    app->OnFileOpenWorkspace();
    vlt::SetFileDialogHandler(dialog);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"An error occurred applying hardware settings to one or more devices:", 0), 0u);
    EXPECT_NE(boxes.LastText().find(L"Settings data is not valid for this device. The element ActiveChannels holds "
                                    L"\"77\", which this device does not take"),
              std::wstring::npos)
        << vlt::WideToUtf8(boxes.LastText());
    EXPECT_EQ(app->GetMainFrame()->GetStatusText(), L"Workspace data loaded with errors from: " + WPath("old.tq8ws"));
    EXPECT_TRUE(Ws().IsModified());
    EXPECT_EQ(Ws().GetPath(), L"");

    std::vector<vlt::FileDialogRequest> dialogs;
    auto previous = vlt::SetFileDialogHandler([&](const vlt::FileDialogRequest& r) {
        dialogs.push_back(r);
        return std::optional<std::wstring>(WPath("copy.tq8ws"));
    });
    boxes.QueueAnswer(IDYES);
    EXPECT_TRUE(app->GetMainFrame()->close());
    vlt::SetFileDialogHandler(previous);
    EXPECT_EQ(boxes.LastText(), L"Workspace has been modified. Save now?");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_FALSE(dialogs[0].open);
    EXPECT_EQ(dialogs[0].folder, vlt::Utf8ToWide(Dir().Str()));
    EXPECT_EQ(dialogs[0].fileName, L"old.tq8ws");
    EXPECT_EQ(ReadFile(Path("old.tq8ws")), bad);
    EXPECT_NE(ReadFile(Path("copy.tq8ws")).find("<Device Sn=\"7001\""), std::string::npos);
}

namespace {
// A view that shows a box while it takes back its state after a load, as a
// plot that cannot read its data does.
class BoxOnLoadView : public IDocView {
public:
    void OnDocumentUpdate(IDocView*, int hint, void*) override
    {
        if (hint == dochint::kAfterWorkspaceLoad)
            vlt::ShowMessageBox(L"Failed to plot the data", MB_ICONERROR);
    }
};
} // namespace

// Opened from the File menu, a damaged workspace's boxes stand in front of a
// drawn main window (its updates are off for the load), and the text that
// tells of the errors gets its whole time once the last box is answered,
// however long the boxes were up.
TEST_F(WorkspaceFileTest, ADamagedWorkspaceShowsItsBoxesOverTheDrawnWindowAndItsTextAfterThem)
{
    AddBoard(7001);
    ASSERT_TRUE(app->StartUp({}));
    std::string bad = SaveText("good.tq8ws");
    const size_t rate = bad.find("<InternalAdcClockRate>");
    ASSERT_NE(rate, std::string::npos);
    bad.insert(rate + std::string("<InternalAdcClockRate>").size(), "9");
    ASSERT_TRUE(vlt::AtomicWriteFile(Path("bad.tq8ws"), bad));
    CMainFrame* frame = app->GetMainFrame();
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    BoxOnLoadView view;

    std::vector<bool> drawnBehind;
    vlt::MessageBoxHandler answer = vlt::SetMessageBoxHandler([&](const vlt::MessageBoxRequest&) {
        drawnBehind.push_back(frame->updatesEnabled());
        if (CMainDoc* doc = Doc(7001); doc && drawnBehind.size() == 1)
            doc->AddView(&view); // the load's documents are open by the settings box
        frame->StatusText().Timers().Expire(vlt::TimedStatusText::kTimerId); // a box up for long
        return IDOK;
    });
    auto dialog = vlt::SetFileDialogHandler(
        [&](const vlt::FileDialogRequest&) { return std::optional<std::wstring>(WPath("bad.tq8ws")); });
    app->OnFileOpenWorkspace();
    vlt::SetFileDialogHandler(dialog);
    vlt::SetMessageBoxHandler(answer);
    if (CMainDoc* doc = Doc(7001))
        doc->RemoveView(&view);
    EXPECT_EQ(drawnBehind, (std::vector<bool>{true, true}));
    EXPECT_TRUE(frame->updatesEnabled());
    EXPECT_EQ(frame->GetStatusText(), L"Workspace data loaded with errors from: " + WPath("bad.tq8ws"));
    EXPECT_EQ(frame->StatusText().Timers().Interval(vlt::TimedStatusText::kTimerId), 2500);
}

// A load that fails, whichever File menu command started it, takes its
// progress text away: the boxes have said why, and nothing is parsed or
// loaded any more.
TEST_F(WorkspaceFileTest, AFailedLoadLeavesNoProgressTextInTheStatusBar)
{
    AddBoard(7001);
    ASSERT_TRUE(app->StartUp({}));
    ASSERT_TRUE(vlt::AtomicWriteFile(Path("damaged.tq8ws"), "<TQ8Scope_Workspace><Devices>"));
    ASSERT_TRUE(vlt::AtomicWriteFile(Path("missing.tq8ws"), File("<Devices>" + DeviceEntry(9999) + "</Devices>")));
    CMainFrame* frame = app->GetMainFrame();
    std::wstring chosen;
    auto dialog = vlt::SetFileDialogHandler(
        [&](const vlt::FileDialogRequest&) { return std::optional<std::wstring>(chosen); });
    CWorkspaceTQ8::SetNewWorkspaceDialog([&](QWidget*, CWorkspaceTQ8&, CWorkspaceTQ8::NewWorkspace& choice) {
        choice.type = 4;
        choice.path = chosen;
        return true;
    });
    for (const char* name : {"damaged.tq8ws", "missing.tq8ws"}) {
        chosen = WPath(name);
        for (bool open : {true, false}) {
            Ws().SetModified(false); // no save prompt first
            if (chosen == WPath("missing.tq8ws"))
                boxes.QueueAnswer(IDNO); // "Continue loading workspace?"
            open ? app->OnFileOpenWorkspace() : app->OnFileNewWorkspace();
            EXPECT_EQ(frame->GetStatusText(), L"") << name << (open ? " opened" : " chosen as a new workspace");
        }
    }
    vlt::SetFileDialogHandler(dialog);
    EXPECT_EQ(boxes.Count(), 4u);
}

// The workspace file chosen in the new-workspace dialog is read before the
// open workspace is closed: one that cannot be read leaves it as it was, and
// the save question comes once.
TEST_F(WorkspaceFileTest, ANewWorkspaceFileThatCannotBeReadLeavesTheOpenOne)
{
    AddBoard(7001);
    ASSERT_TRUE(app->StartUp({}));
    ASSERT_TRUE(vlt::AtomicWriteFile(Path("damaged.tq8ws"), "<TQ8Scope_Workspace><Devices>"));
    CWorkspaceTQ8::SetNewWorkspaceDialog([&](QWidget*, CWorkspaceTQ8&, CWorkspaceTQ8::NewWorkspace& choice) {
        choice.type = 4;
        choice.path = WPath("damaged.tq8ws");
        return true;
    });
    Ws().SetModified(true);
    boxes.QueueAnswer(IDNO);
    app->OnFileNewWorkspace();
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"Current workspace has been modified. Save changes before creating new workspace?");
    EXPECT_EQ(boxes.LastText().rfind(L"Failed to read workspace data: ", 0), 0u);
    EXPECT_NE(Doc(7001), nullptr);
    EXPECT_TRUE(Ws().IsModified());
}

TEST_F(WorkspaceFileTest, AWorkspaceLoadedCleanlySavesInPlace)
{
    AddBoard(7001);
    ASSERT_TRUE(app->StartUp({}));
    SaveText("good.tq8ws");
    ASSERT_TRUE(Ws().Load(WPath("good.tq8ws")));
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_FALSE(Ws().IsModified());
    EXPECT_EQ(Ws().GetPath(), WPath("good.tq8ws"));
    EXPECT_EQ(Ws().GetLoadedWithErrorsPath(), L"");
    int dialogs = 0;
    auto previous = vlt::SetFileDialogHandler([&](const vlt::FileDialogRequest&) {
        ++dialogs;
        return std::optional<std::wstring>();
    });
    std::filesystem::remove(Path("good.tq8ws"));
    Ws().SetModified(true);
    EXPECT_TRUE(app->OnFileSaveWorkspace());
    vlt::SetFileDialogHandler(previous);
    EXPECT_EQ(dialogs, 0);
    EXPECT_NE(ReadFile(Path("good.tq8ws")).find("<Device Sn=\"7001\""), std::string::npos);
}

// ---- Start ----------------------------------------------------------------------------

TEST_F(WorkspaceFileTest, StartWithoutBoardsAsksAndTheLastWorkspaceComesBack)
{
    int asked = 0;
    CWorkspaceTQ8::SetNewWorkspaceDialog([&](QWidget*, CWorkspaceTQ8&, CWorkspaceTQ8::NewWorkspace& choice) {
        ++asked;
        choice.type = 3;
        return true;
    });
    ASSERT_TRUE(app->StartUp({}));
    EXPECT_EQ(asked, 1);
    ASSERT_NE(Doc(1600), nullptr);
    const std::string text = SaveText();

    // "Load last workspace" with the file there, and then without it.
    app->GetPersistentOpts().SetItemInt(opts::kAppStartupType, 1);
    ASSERT_TRUE(Ws().Start(CMyCommandLineInfo()));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Ws().GetPath(), WPath("ws.tq8ws"));
    EXPECT_NE(Doc(1600), nullptr);
    std::filesystem::remove(Path("ws.tq8ws"));
    CWorkspaceTQ8::SetNewWorkspaceDialog([&](QWidget*, CWorkspaceTQ8&, CWorkspaceTQ8::NewWorkspace&) {
        ++asked;
        return false;
    });
    EXPECT_FALSE(Ws().Start(CMyCommandLineInfo()));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(WorkspaceFileTest, WorkspaceFileOnTheCommandLineReachesTheDocumentsAfterLoading)
{
    AddBoard(7001);
    ASSERT_TRUE(app->StartUp({}));
    SaveText();
    struct HintView : IDocView {
        std::vector<int> hints;
        void OnDocumentUpdate(IDocView*, int hint, void*) override { hints.push_back(hint); }
    } view;
    // The start-up's workspace file: the documents are told once it is loaded.
    app->SetDocumentFactory([this, &view](TQ8_HANDLE device, uint32_t flags) {
        auto doc = std::make_unique<CMainDoc>(app.get(), app->GetDeviceManager(), device, flags);
        doc->AddView(&view);
        return doc;
    });
    CMyCommandLineInfo info;
    info.m_strWorkspaceFile = WPath("ws.tq8ws");
    ASSERT_TRUE(Ws().Start(info));
    EXPECT_EQ(std::count(view.hints.begin(), view.hints.end(), dochint::kAfterWorkspaceLoad), 1);
    Ws().Close();
}

TEST_F(WorkspaceFileTest, StartupTypesWithLocalBoards)
{
    AddBoard(7001);
    CWorkspaceTQ8::SetNewWorkspaceDialog([](QWidget*, CWorkspaceTQ8&, CWorkspaceTQ8::NewWorkspace& choice) {
        choice.type = 0;
        return true;
    });
    ASSERT_TRUE(app->StartUp({}));
    EXPECT_NE(Doc(7001), nullptr);
    app->GetPersistentOpts().SetItemInt(opts::kAppStartupType, 3);
    ASSERT_TRUE(Ws().Start(CMyCommandLineInfo()));
    EXPECT_EQ(Doc(7001), nullptr);
    EXPECT_NE(Board(7001), nullptr);
    app->GetPersistentOpts().SetItemInt(opts::kAppStartupType, 9);
    ASSERT_TRUE(Ws().Start(CMyCommandLineInfo()));
    EXPECT_EQ(app->GetMainFrame()->GetDocuments().size(), 0u);
}

// ---- Sync devices ---------------------------------------------------------------------

#ifdef HUB6COM_LIBRARY_PATH
namespace {

class WorkspaceSyncTest : public WorkspaceFileTest {
protected:
    void SetUp() override
    {
        WorkspaceFileTest::SetUp();
        void* lib = dlopen(HUB6COM_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib, nullptr) << dlerror();
        auto reg = reinterpret_cast<PfnDllRegisterServer>(dlsym(lib, "DllRegisterServer"));
        m_reset = reinterpret_cast<PfnHub6SimReset>(dlsym(lib, "Hub6Sim_Reset"));
        m_inject = reinterpret_cast<PfnHub6SimInjectResult>(dlsym(lib, "Hub6Sim_InjectResult"));
        m_setLocal = reinterpret_cast<PfnHub6SimSetLocalDevices>(dlsym(lib, "Hub6Sim_SetLocalDevices"));
        ASSERT_TRUE(reg && m_reset && m_inject && m_setLocal);
        ASSERT_EQ(reg(), S_OK);
        m_reset();
        ForgetHub6SoftwareState();
    }
    void TearDown() override
    {
        WorkspaceFileTest::TearDown();
        if (m_reset)
            m_reset();
    }
    void AddSyncBoard(uint32_t serial)
    {
        TQ8SIM_BOARD_DESC desc;
        TQ8Sim_DefaultBoardDesc(&desc, serial);
        desc.syncConfig = 1;
        ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
    }
    CVltHub6Mgr& Sync() { return *Ws().GetSyncManager(); }

    PfnHub6SimReset m_reset = nullptr;
    PfnHub6SimInjectResult m_inject = nullptr;
    PfnHub6SimSetLocalDevices m_setLocal = nullptr;
};

} // namespace

TEST_F(WorkspaceSyncTest, SyncDevicesAndTheirOutputsRoundTrip)
{
    AddSyncBoard(7001);
    AddSyncBoard(7002);
    ASSERT_TRUE(app->StartUp({}));
    ASSERT_EQ(Sync().GetInstanceCount(), 0u);
    const int32_t id = Sync().AddVirtual();
    hub6test::Hub6TestHost host({6100});
    ASSERT_TRUE(host.Started());
    const int32_t remote = Sync().ConnectRemote(L"127.0.0.1", host.Port(), 6100, false);
    ASSERT_NE(remote, 0) << vlt::WideToUtf8(Sync().GetLastErrorText());
    ASSERT_TRUE(Sync().FindInstance(id)->SetOutputDevice(0, Board(7001)));
    ASSERT_TRUE(Sync().FindInstance(id)->SetOutputDevice(5, Board(7002)));
    const std::string text = SaveText("a.tq8ws");
    EXPECT_NE(text.find("<SyncDevices><SyncDevice Sn=\"6000\" Virtual=\"1\" ><LibSettings><"), std::string::npos);
    EXPECT_NE(text.find("<SyncDevice Sn=\"6100\" Remote=\"1\" Server=\"127.0.0.1\" Port=\""
                        + std::to_string(host.Port()) + "\" ><LibSettings><"),
              std::string::npos);
    EXPECT_NE(text.find("<SyncDeviceRelations><SyncRelation Sn=\"6000\"><Output Idx=\"0\">7001</Output>"
                        "<Output Idx=\"5\">7002</Output></SyncRelation></SyncDeviceRelations><RecordingParameters>"),
              std::string::npos);

    ASSERT_TRUE(Ws().Load(WPath("a.tq8ws")));
    ASSERT_EQ(Sync().GetInstanceCount(), 2u);
    const int32_t back = Sync().FindInstanceBySerial(6000);
    EXPECT_EQ(Sync().FindInstance(back)->GetOutputDevice(5), Board(7002));
    // The load gave the bound boards the unit's clock; from then on the text
    // stays the same.
    const std::string second = SaveText("b.tq8ws");
    ASSERT_TRUE(Ws().Load(WPath("b.tq8ws")));
    EXPECT_EQ(SaveText("c.tq8ws"), second);
    EXPECT_TRUE(Lint(Path("b.tq8ws")));
    EXPECT_EQ(boxes.Count(), 0u) << vlt::WideToUtf8(boxes.LastText());
}

TEST_F(WorkspaceSyncTest, StartConnectsLocalUnitsOrOneVirtualWithTheSwitch)
{
    AddSyncBoard(7001);
    const uint32_t local[] = {6500};
    ASSERT_EQ(m_setLocal(local, 1), 0);
    ForgetHub6SoftwareState();
    ASSERT_TRUE(app->StartUp({L"-virtual_sync"}));
    ASSERT_EQ(Sync().GetInstanceCount(), 1u);
    EXPECT_EQ(Sync().FindInstanceBySerial(6500), 0);
    EXPECT_NE(Sync().FindInstanceBySerial(6000), 0);
    ASSERT_TRUE(Ws().Start(CMyCommandLineInfo()));
    ASSERT_EQ(Sync().GetInstanceCount(), 1u);
    EXPECT_NE(Sync().FindInstanceBySerial(6500), 0);
}

TEST_F(WorkspaceSyncTest, TheVirtualBoardOfTheSwitchesCanBeBoundToOutputOne)
{
    ASSERT_TRUE(app->StartUp({L"-virtual", L"-virtual_sync"}));
    ASSERT_EQ(Sync().GetInstanceCount(), 1u);
    CVltHub6Mgr::CSyncInst* inst = Sync().FindInstance(Sync().FindInstanceBySerial(6000));
    ASSERT_NE(inst, nullptr);
    CDeviceManagerTQ8::HandleList boards;
    ASSERT_EQ(Devices().GetDevicesWithDocument(boards), 1u);
    EXPECT_TRUE(inst->SetOutputDevice(0, boards.front()));
    EXPECT_EQ(inst->FindOutputOfDevice(boards.front()), 0);
    EXPECT_TRUE(Devices().GetDocument(boards.front())->HasSyncOutput());
}

TEST_F(WorkspaceSyncTest, OutputSixIsIgnoredAndAFailedSettingsTextSavesNothing)
{
    AddSyncBoard(7001);
    ASSERT_TRUE(app->StartUp({}));
    std::string settings;
    const int32_t id = Sync().AddVirtual();
    ASSERT_TRUE(Sync().GetInstanceSettings(id, settings));
    ASSERT_TRUE(LoadText(File("<Devices><Device Sn=\"7001\" ><LibSettings>" + LibSettings(Board(7001))
                              + "</LibSettings></Device></Devices><SyncDevices><SyncDevice Sn=\"6005\" Virtual=\"1\" >"
                                "<LibSettings>"
                              + settings + "</LibSettings></SyncDevice></SyncDevices><SyncDeviceRelations>"
                                "<SyncRelation Sn=\"6005\"><output Idx=\"6\">7001</output></SyncRelation>"
                                "</SyncDeviceRelations>")));
    CVltHub6Mgr::CSyncInst* inst = Sync().FindInstance(Sync().FindInstanceBySerial(6005));
    ASSERT_NE(inst, nullptr);
    EXPECT_EQ(inst->FindOutputOfDevice(Board(7001)), -1);

    const std::string before = SaveText();
    Ws().SetModified(true);
    ASSERT_EQ(m_inject("SaveSettingsToString", E_FAIL, 1), 0);
    EXPECT_FALSE(Ws().Save(std::wstring()));
    EXPECT_EQ(boxes.LastText(), L"Failed to generate sync device settings");
    EXPECT_EQ(ReadFile(Path("ws.tq8ws")), before);
    EXPECT_TRUE(Ws().IsModified());
}
#endif
