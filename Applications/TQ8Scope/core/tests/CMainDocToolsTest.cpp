// The board document's commands, tool windows, firmware upload, EEPROM and
// register-cache commands, views and forms, and its channel arbiter.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <QTreeWidget>

#include "CommandIds.h"
#include "DevMgrTestSupport.h"
#include "DocFakes.h"
#include "FileDialog.h"
#include "MainDocFixture.h"
#include "TQ8Sim.h"

using doc_test::MainDocTest;
using doc_test::TestDoc;

namespace {

// Registers tool-window factories for one test and removes them after it.
class ScopedFactories {
public:
    ScopedFactories() : m_saved(CMainDoc::Factories()) {}
    ~ScopedFactories() { CMainDoc::Factories() = m_saved; }
    CMainDoc::ToolWindowFactories& operator*() { return CMainDoc::Factories(); }
    CMainDoc::ToolWindowFactories* operator->() { return &CMainDoc::Factories(); }

private:
    CMainDoc::ToolWindowFactories m_saved;
};

bool Enabled(const CMainDoc& doc, unsigned id)
{
    bool enabled = false, checked = false;
    EXPECT_TRUE(doc.GetCommandState(id, enabled, checked)) << id;
    return enabled;
}

bool Checked(const CMainDoc& doc, unsigned id)
{
    bool enabled = false, checked = false;
    doc.GetCommandState(id, enabled, checked);
    return checked;
}

uint32_t SerialOf(TQ8_HANDLE h)
{
    uint32_t serial = 0;
    GetSerialNumberTQ8(h, &serial);
    return serial;
}

} // namespace

// ---- Enable rules of the document's commands

TEST_F(MainDocTest, IdleOnlyCommandsAreDisabledWhileAcquiring)
{
    TQ8Sim_SetTimeFactor(doc_test::kSlowTime);
    TestDoc& doc = NewDoc();
    for (unsigned id : {cmd::kOpenSettings, cmd::kSetPowerupDefaults, cmd::kRewriteHardwareSettings,
                        cmd::kValidateEeprom, cmd::kRefreshFromDriver, cmd::kRefreshFromHardware})
        EXPECT_TRUE(Enabled(doc, id)) << id;
    doc.SetSampleCount(doc_test::kSlowSamples);
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    for (unsigned id : {cmd::kOpenSettings, cmd::kSetPowerupDefaults, cmd::kRewriteHardwareSettings,
                        cmd::kValidateEeprom, cmd::kRefreshFromDriver, cmd::kRefreshFromHardware})
        EXPECT_FALSE(Enabled(doc, id)) << id;
    // Saving the settings needs no idle board.
    EXPECT_TRUE(Enabled(doc, cmd::kSaveSettings));
    EXPECT_TRUE(Enabled(doc, cmd::kSaveSettingsAs));
    // A disabled command is not run.
    EXPECT_FALSE(doc.OnCommand(cmd::kRefreshFromHardware));
    doc.StopAcquisition();
    ASSERT_TRUE(WaitIdle(doc));
    EXPECT_TRUE(doc.OnCommand(cmd::kRefreshFromHardware));
    EXPECT_EQ(doc.CountTexts(L"Local register cache refreshed"), 1u);
}

TEST_F(MainDocTest, CopyCommandsNeedAnotherBoard)
{
    TestDoc& doc = NewDoc();
    EXPECT_FALSE(Enabled(doc, cmd::kCopySettingsToAll));
    EXPECT_FALSE(Enabled(doc, cmd::kCopySettingsToSelected));
    EXPECT_FALSE(Enabled(doc, cmd::kCopySettingsFrom));
    // A second board without a document lets settings come from it, not go to it.
    ASSERT_NE(devices->ConnectVirtualDevice(), nullptr);
    EXPECT_TRUE(Enabled(doc, cmd::kCopySettingsFrom));
    EXPECT_FALSE(Enabled(doc, cmd::kCopySettingsToAll));
    NewDoc();
    EXPECT_TRUE(Enabled(doc, cmd::kCopySettingsToAll));
    EXPECT_TRUE(Enabled(doc, cmd::kCopySettingsToSelected));
}

TEST_F(MainDocTest, CommandsOfWindowsNotRegisteredAreDisabled)
{
    ScopedFactories factories;
    *factories = {};
    TestDoc& doc = NewDoc();
    for (unsigned id : {cmd::kFrequencyDomain, cmd::kDriverStatistics, cmd::kUploadFirmware, cmd::kSaveBoardData,
                        cmd::kCalibrateAdcs, cmd::kPlotDataInScope, cmd::kSendSettings})
        EXPECT_FALSE(Enabled(doc, id)) << id;
    bool enabled = true, checked = true;
    EXPECT_FALSE(doc.GetCommandState(cmd::kRecord, enabled, checked));
    EXPECT_FALSE(doc.OnCommand(cmd::kFrequencyDomain));
}

TEST_F(MainDocTest, CalibrationKeepsTheLastAdcChoice)
{
    ScopedFactories factories;
    std::vector<int32_t> offered;
    factories->calibrateAdcs = [&](CMainDoc&, int32_t& choice) {
        offered.push_back(choice);
        choice = 2;
    };
    TestDoc& doc = NewDoc();
    ASSERT_TRUE(doc.OnCommand(cmd::kCalibrateAdcs));
    ASSERT_TRUE(doc.OnCommand(cmd::kCalibrateAdcs));
    EXPECT_EQ(offered, (std::vector<int32_t>{0, 2}));
    EXPECT_EQ(doc.GetLastAdcChoice(), 2);
}

// ---- Tool windows

TEST_F(MainDocTest, FrequencyDomainWindowIsMadeOnceAndToggles)
{
    ScopedFactories factories;
    int made = 0;
    doc_test::FakeFreqWindow* window = nullptr;
    factories->freqDomain = [&](CMainDoc&, QWidget*) {
        ++made;
        window = new doc_test::FakeFreqWindow;
        return window;
    };
    TestDoc& doc = NewDoc();
    EXPECT_FALSE(Checked(doc, cmd::kFrequencyDomain));
    ASSERT_TRUE(doc.OnCommand(cmd::kFrequencyDomain));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->optionLoads, 1);
    EXPECT_TRUE(window->Widget()->isVisible());
    EXPECT_EQ(window->spectra, (std::vector<int32_t>{-1}));
    EXPECT_TRUE(Checked(doc, cmd::kFrequencyDomain));
    // Visible: hidden, and nothing recomputed.
    doc.OnCommand(cmd::kFrequencyDomain);
    EXPECT_FALSE(window->Widget()->isVisible());
    EXPECT_FALSE(Checked(doc, cmd::kFrequencyDomain));
    EXPECT_EQ(window->spectra.size(), 1u);
    // Hidden: shown again and recomputed; minimised: restored.
    doc.OnCommand(cmd::kFrequencyDomain);
    EXPECT_TRUE(window->Widget()->isVisible());
    window->Widget()->showMinimized();
    doc.OnCommand(cmd::kFrequencyDomain);
    EXPECT_FALSE(window->Widget()->isMinimized());
    EXPECT_EQ(window->spectra, (std::vector<int32_t>{-1, -1, -1}));
    EXPECT_EQ(made, 1);
    // The plot's events reach it.
    doc.OnChannelSourceAdded(7);
    doc.OnChannelSourceRemoved(7);
    doc.OnPlotSelectionChange();
    EXPECT_EQ(window->added, (std::vector<uint32_t>{7}));
    EXPECT_EQ(window->removed, (std::vector<uint32_t>{7}));
    EXPECT_EQ(window->selectionChanges, 1);
}

TEST_F(MainDocTest, ToolWindowsThatCannotBeMadeSayWhich)
{
    ScopedFactories factories;
    factories->freqDomain = [](CMainDoc&, QWidget*) { return nullptr; };
    factories->driverStatistics = [](CMainDoc&, QWidget*) { return nullptr; };
    TestDoc& doc = NewDoc();
    doc.OnCommand(cmd::kFrequencyDomain);
    EXPECT_EQ(boxes.LastText(), L"Failed to create Frequency Domain window");
    doc.OnCommand(cmd::kDriverStatistics);
    EXPECT_EQ(boxes.LastText(), L"Failed to create Driver Statisics window");
    EXPECT_EQ(doc.GetFreqDomainWindow(), nullptr);
    EXPECT_EQ(doc.GetDriverStatisticsWindow(), nullptr);
}

TEST_F(MainDocTest, DriverStatisticsWindowToggles)
{
    ScopedFactories factories;
    factories->driverStatistics = [](CMainDoc&, QWidget*) { return new QWidget; };
    TestDoc& doc = NewDoc();
    doc.OnCommand(cmd::kDriverStatistics);
    ASSERT_NE(doc.GetDriverStatisticsWindow(), nullptr);
    EXPECT_TRUE(Checked(doc, cmd::kDriverStatistics));
    doc.OnCommand(cmd::kDriverStatistics);
    EXPECT_FALSE(doc.GetDriverStatisticsWindow()->isVisible());
}

// ---- Firmware upload

TEST_F(MainDocTest, RemoteBoardsGetNoFirmwareUpload)
{
    ScopedFactories factories;
    int made = 0;
    factories->firmwareUpload = [&](CMainDoc&, const std::wstring&, QWidget*) {
        ++made;
        return new QWidget;
    };
    int dialogs = 0;
    vlt::FileDialogHandler previous = vlt::SetFileDialogHandler([&](const vlt::FileDialogRequest&) {
        ++dialogs;
        return std::optional<std::wstring>(L"/tmp/x.tq8fw");
    });
    TestDoc& doc = NewDoc();
    ASSERT_EQ(TQ8Sim_InjectResult("IsDeviceRemoteTQ8", 1, 1), 0);
    doc.OnUploadFirmware();
    EXPECT_EQ(boxes.LastText(), L"Remote firmware uploading is not supported");
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(made, 0);
    vlt::SetFileDialogHandler(previous);
}

TEST_F(MainDocTest, FirmwareUploadWindowLifeAndFlag)
{
    ScopedFactories factories;
    QWidget* window = nullptr;
    std::wstring givenPath;
    factories->firmwareUpload = [&](CMainDoc&, const std::wstring& path, QWidget*) {
        givenPath = path;
        window = new QWidget;
        return window;
    };
    vlt::FileDialogRequest asked;
    vlt::FileDialogHandler previous = vlt::SetFileDialogHandler([&](const vlt::FileDialogRequest& r) {
        asked = r;
        return std::optional<std::wstring>(L"/tmp/update.tq8fw");
    });
    TestDoc& doc = NewDoc();
    doc.OnUploadFirmware();
    vlt::SetFileDialogHandler(previous);
    EXPECT_EQ(asked.title, L"Upload or Verify TQ3300 Firmware");
    EXPECT_TRUE(asked.pathMustExist);
    EXPECT_TRUE(asked.defaultExt.empty());
    EXPECT_EQ(asked.filter,
              L"TQ3300 Firmware Update Files (*.tq8fw)|*.tq8fw|XSVF Files (*.xsvf)|*.xsvf|All Files (*.*)|*.*||");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(givenPath, L"/tmp/update.tq8fw");
    EXPECT_EQ(doc.GetFirmwareUploadWindow(), window);
    EXPECT_FALSE(doc.GetStateFlags() & docstate::kFirmwareFromCommandLine);
    doc.OnFirmwareUploadDlgClosed();
    EXPECT_EQ(doc.GetFirmwareUploadWindow(), nullptr);
    delete window;

    // From the command line the flag marks the chain until the window closes.
    ASSERT_TRUE(doc.StartFirmwareUpload(L"/tmp/update.tq8fw", true));
    EXPECT_TRUE(doc.GetStateFlags() & docstate::kFirmwareFromCommandLine);
    doc.OnFirmwareUploadDlgClosed();
    EXPECT_FALSE(doc.GetStateFlags() & docstate::kFirmwareFromCommandLine);
    delete window;
}

TEST_F(MainDocTest, FirmwareUploadRefusals)
{
    ScopedFactories factories;
    factories->firmwareUpload = [](CMainDoc&, const std::wstring&, QWidget*) { return nullptr; };
    TQ8Sim_SetTimeFactor(doc_test::kSlowTime);
    TestDoc& doc = NewDoc();
    EXPECT_FALSE(doc.StartFirmwareUpload(L"", false));
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_FALSE(doc.StartFirmwareUpload(L"/tmp/a.tq8fw", true));
    EXPECT_EQ(boxes.LastText(), L"Failed to create firmware upload window");
    EXPECT_FALSE(doc.GetStateFlags() & docstate::kFirmwareFromCommandLine);
    doc.SetSampleCount(doc_test::kSlowSamples);
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    EXPECT_FALSE(doc.StartFirmwareUpload(L"/tmp/a.tq8fw", false));
    EXPECT_EQ(boxes.LastText(), L"Firmware upload failed: TQ3300 is currently busy");
    doc.StopAcquisition();
    ASSERT_TRUE(WaitIdle(doc));
}

// ---- EEPROM and register cache

TEST_F(MainDocTest, EepromValidation)
{
    TestDoc& doc = NewDoc();
    EXPECT_TRUE(doc.ValidateEeprom(true));
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_TRUE(doc.ValidateEeprom(false));
    EXPECT_EQ(boxes.LastText(), L"Configuration EEPROM validated with no errors");

    ASSERT_EQ(TQ8Sim_InjectResult("ValidateConfigEepromTQ8", TQ8_ERR_EEPROM_INVALID, 1), 0);
    EXPECT_FALSE(doc.ValidateEeprom(true));
    const std::wstring text = boxes.LastText();
    EXPECT_NE(text.find(L"Configuration EEPROM validation failed: "), std::wstring::npos) << text;
    const std::wstring tail = L"\n\nIf this is a device firmware problem, powering down the system may be necessary to "
                              L"restore the firmware to a valid state";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);

    ASSERT_EQ(TQ8Sim_InjectResult("ValidateConfigEepromTQ8", TQ8_ERR_GENERAL, 1), 0);
    EXPECT_FALSE(doc.ValidateEeprom(false));
    EXPECT_NE(boxes.LastText().find(L"Configuration EEPROM validation failed: "), std::wstring::npos);
    EXPECT_EQ(boxes.LastText().find(L"powering down"), std::wstring::npos);
}

TEST_F(MainDocTest, DamagedEepromIsReportedWhenTheBoardIsAttached)
{
    TQ8_HANDLE h = devices->ConnectVirtualDevice();
    ASSERT_NE(h, nullptr);
    const uint16_t garbage[8] = {0xDEAD, 0xBEEF, 0x1234, 0x5678, 0x9ABC, 0xDEF0, 0x0F0F, 0xF0F0};
    for (uint32_t first : {0u, 8u, 120u})
        ASSERT_EQ(TQ8Sim_SetEepromWords(SerialOf(h), first, garbage, 8), 0);
    ASSERT_EQ(ValidateConfigEepromTQ8(h), TQ8_ERR_EEPROM_INVALID);
    auto doc = std::make_unique<TestDoc>(nullptr, devices.get(), h, docstate::kLimitPlotData);
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.LastText().find(L"Configuration EEPROM validation failed: "), std::wstring::npos);
}

TEST_F(MainDocTest, RegisterCacheRefreshFailureShowsTheBox)
{
    TestDoc& doc = NewDoc();
    doc.hints.clear();
    ASSERT_TRUE(doc.RefreshRegisterCache(false));
    EXPECT_EQ(doc.hints, (std::vector<int>{dochint::kBoardSettings, dochint::kClock}));
    ASSERT_EQ(TQ8Sim_InjectResult("RefreshLocalRegisterCacheTQ8", TQ8_ERR_GENERAL, 1), 0);
    EXPECT_FALSE(doc.RefreshRegisterCache(true));
    EXPECT_NE(boxes.LastText().find(L"Failed to refresh local register cache: "), std::wstring::npos);
    EXPECT_EQ(doc.hints.size(), 2u);
}

// ---- Copying settings from another board

TEST_F(MainDocTest, CopySettingsFromTheOnlyOtherBoardWithoutAskingOrFromTheChosenOne)
{
    TestDoc& doc = NewDoc();
    TestDoc& other = NewDoc();
    ASSERT_EQ(SetTriggerModeTQ8(other.GetDeviceHandle(), 1), 0);
    ASSERT_EQ(SetSegmentSizeTQ8(other.GetDeviceHandle(), 4096), 0);
    other.SetStartSample(128);
    other.SetSampleCount(65536);
    devices->SetInteractive(true);
    int asked = 0;
    CDeviceManagerTQ8::HandleList offered;
    TQ8_HANDLE choice = nullptr;
    devmgr_test::SelectionAnswer pick([&](const CDeviceManagerTQ8::HandleList& candidates) {
        ++asked;
        offered = candidates;
        return CDeviceManagerTQ8::HandleList{choice};
    });
    doc.OnCopySettingsFrom();
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(GetTriggerModeTQ8(doc.GetDeviceHandle(), 1), 1);
    EXPECT_EQ(doc.GetStartSample(), 128u);
    EXPECT_EQ(doc.GetSampleCount(), 65536u);
    EXPECT_EQ(doc.CountTexts(L"Hardware settings copied"), 1u);
    // With two others the user picks one; this board is not offered.
    TestDoc& third = NewDoc();
    choice = third.GetDeviceHandle();
    doc.OnCopySettingsFrom();
    EXPECT_EQ(asked, 1);
    std::sort(offered.begin(), offered.end());
    CDeviceManagerTQ8::HandleList others{other.GetDeviceHandle(), third.GetDeviceHandle()};
    std::sort(others.begin(), others.end());
    EXPECT_EQ(offered, others);
    EXPECT_EQ(GetTriggerModeTQ8(doc.GetDeviceHandle(), 1), GetTriggerModeTQ8(third.GetDeviceHandle(), 1));
    EXPECT_NE(GetTriggerModeTQ8(doc.GetDeviceHandle(), 1), 1);
}

TEST_F(MainDocTest, CopySettingsToTheSelectedBoards)
{
    TestDoc& doc = NewDoc();
    TestDoc& second = NewDoc();
    TestDoc& third = NewDoc();
    ASSERT_EQ(SetTriggerModeTQ8(doc.GetDeviceHandle(), 1), 0);
    ASSERT_EQ(SetSegmentSizeTQ8(doc.GetDeviceHandle(), 4096), 0);
    devices->SetInteractive(true);
    {
        devmgr_test::SelectionAnswer pick([&](const CDeviceManagerTQ8::HandleList& candidates) {
            EXPECT_EQ(candidates.size(), 2u);
            return candidates.size() == 2 ? CDeviceManagerTQ8::HandleList{candidates[1]} : candidates;
        });
        doc.CopySettingsToDevices(false);
    }
    // Only the board picked (the last in handle order) took the settings.
    EXPECT_EQ(GetTriggerModeTQ8(third.GetDeviceHandle(), 1), 1);
    EXPECT_EQ(GetTriggerModeTQ8(second.GetDeviceHandle(), 1), 0);
    EXPECT_EQ(third.CountTexts(L"Hardware settings copied"), 1u);
    // A cancelled choice copies nothing.
    {
        devmgr_test::SelectionAnswer cancel([](const CDeviceManagerTQ8::HandleList&) {
            return CDeviceManagerTQ8::HandleList{};
        });
        doc.CopySettingsToDevices(false);
    }
    EXPECT_EQ(GetTriggerModeTQ8(second.GetDeviceHandle(), 1), 0);
}

// ---- Views, forms and the arbiter

TEST_F(MainDocTest, ViewsGetTheHintsAndTheScopeViewIsAnnounced)
{
    TestDoc& doc = NewDoc();
    doc_test::FakeView plot, panel;
    doc.AddView(&plot);
    doc.AddView(&panel);
    doc.SetScopeView(&plot);
    ASSERT_EQ(panel.updates.size(), 1u);
    EXPECT_EQ(panel.updates[0], std::make_pair(static_cast<IDocView*>(&plot), dochint::kScopeViewReady));
    EXPECT_TRUE(plot.updates.empty());
    doc.NotifyClockChanged();
    EXPECT_EQ(plot.updates.back().second, dochint::kClock);
    EXPECT_EQ(panel.updates.back().second, dochint::kClock);
    doc.RemoveView(&plot);
    doc.NotifyPlotCleared();
    EXPECT_EQ(plot.updates.back().second, dochint::kClock);
    EXPECT_EQ(doc.GetScopeView(), nullptr);
    // A new sync device is announced with its id; the same id again is not.
    doc.SetSyncDevice(5, 2);
    EXPECT_EQ(panel.updates.back().second, dochint::kSyncDevice);
    EXPECT_EQ(*static_cast<int32_t*>(panel.lastObject), 5);
    EXPECT_TRUE(doc.HasSyncOutput());
    const size_t count = panel.updates.size();
    doc.SetSyncDevice(5, 3);
    EXPECT_EQ(panel.updates.size(), count);
    doc.SetSyncDevice(0, 3);
    EXPECT_EQ(doc.GetSyncOutputIndex(), -1);
    EXPECT_FALSE(doc.HasSyncOutput());
}

TEST_F(MainDocTest, ArbiterAsAComponentInterface)
{
    TestDoc& doc = NewDoc();
    IScopeTQ8ChannelArbiter* arbiter = doc.GetChannelArbiter();
    void* got = nullptr;
    const uint32_t refs = doc.GetArbiterRefCount();
    ASSERT_EQ(arbiter->QueryInterface(IScopeTQ8ChannelArbiter::iid, &got), S_OK);
    EXPECT_EQ(got, arbiter);
    EXPECT_EQ(doc.GetArbiterRefCount(), refs + 1);
    arbiter->Release();
    EXPECT_EQ(doc.GetArbiterRefCount(), refs);
    EXPECT_EQ(arbiter->QueryInterface(IScopeTQ8ChannelSource::iid, &got), E_NOINTERFACE);
    EXPECT_EQ(got, nullptr);
    EXPECT_EQ(arbiter->OnScopeNeedsDataWhenAvailable(3), S_OK);
    // No data yet.
    EXPECT_EQ(arbiter->SafeToObtainChannelData(0), S_FALSE);
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    EXPECT_EQ(arbiter->SafeToObtainChannelData(0), S_FALSE);
    ASSERT_TRUE(WaitIdle(doc));
    EXPECT_EQ(arbiter->SafeToObtainChannelData(0), S_OK);
}

TEST_F(MainDocTest, ScopePanelPlotsAfterAnAcquisitionAndTakesTheLimit)
{
    TestDoc& doc = NewDoc();
    doc_test::FakeScopePanel panel;
    doc.SetScopeFormView(&panel);
    doc.SetSampleCount(4096);
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    ASSERT_TRUE(WaitIdle(doc));
    EXPECT_EQ(panel.boardSources, 1);
    doc.SetLimitPlotData(false);
    doc.SetLimitPlotData(true);
    EXPECT_EQ(panel.limits, (std::vector<uint32_t>{0, 4096}));
    EXPECT_TRUE(Enabled(doc, cmd::kPlotDataInScope));
    doc.OnCommand(cmd::kPlotDataInScope);
    EXPECT_EQ(panel.fileDialogs, 1);
}

TEST_F(MainDocTest, DirectReadShowsTheBufferInTheScopePanel)
{
    TestDoc& doc = NewDoc();
    doc_test::FakeScopePanel panel;
    doc.SetScopeFormView(&panel);
    ASSERT_EQ(SetActiveChannelsTQ8(doc.GetDeviceHandle(), 1), 0); // Ch12
    const int32_t channels = GetChannelCountFromChanSelTQ8(GetActiveChannelsTQ8(doc.GetDeviceHandle(), 1));
    doc.SetSampleCount(8192);
    ASSERT_TRUE(doc.ReadSampleRam());
    ASSERT_EQ(panel.snapshots.size(), 1u);
    EXPECT_EQ(panel.snapshots[0], std::make_pair(8192u, channels));
    EXPECT_TRUE(doc.GetStateFlags() & docstate::kBoardMemoryData);
    // A panel that cannot show it fails the read.
    panel.showSnapshotResult = false;
    EXPECT_FALSE(doc.ReadSampleRam());
}

TEST_F(MainDocTest, DataFormRefusalStopsAcquisitionsAndReads)
{
    TestDoc& doc = NewDoc();
    doc_test::FakeDataForm form;
    form.result = false;
    doc.SetDataForm(&form);
    EXPECT_FALSE(doc.StartAcquisition(nullptr));
    EXPECT_EQ(doc.GetStateFlags() & docstate::kNotIdle, 0u);
    EXPECT_FALSE(doc.ReadSampleRam());
    EXPECT_FALSE(doc.AcquirePciBuffered());
    EXPECT_EQ(form.applied, 3);
    form.result = true;
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    ASSERT_TRUE(WaitIdle(doc));
}

TEST_F(MainDocTest, ActionFormRunsTheDelayAndHoldsTheCheckBox)
{
    TestDoc& doc = NewDoc();
    doc_test::FakeActionForm form;
    doc.SetActionForm(&form);
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    ASSERT_FALSE(form.timers.empty());
    EXPECT_EQ(form.timers.front(), 400u);
    ASSERT_TRUE(WaitIdle(doc));
    doc_test::Drain();
    // The delay stops at completion.
    EXPECT_EQ(form.timers.back(), 0u);
    // The form's check box decides continuous mode.
    form.continuous = true;
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    EXPECT_TRUE(doc.IsContinuousMode());
    doc.StopAcquisition();
    ASSERT_TRUE(WaitIdle(doc));
    EXPECT_FALSE(doc.IsContinuousMode());
}

TEST_F(MainDocTest, WorkspaceStateGoesThroughTheDocument)
{
    TestDoc& doc = NewDoc();
    doc.GetWsData().DocActiveView = 3;
    doc.GetWsData().PlotOffset = 1ull << 40;
    std::string text;
    doc.WriteWorkspaceState(text);
    EXPECT_NE(text.find("<doc_active_view>3</doc_active_view>"), std::string::npos);
    EXPECT_NE(text.find("<plot_offset>1099511627776</plot_offset>"), std::string::npos);
}
