#pragma once
// Boards with documents on the simulated library for the recording window's
// tests, and a stand-in for the window around the controller.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "CDeviceManagerTQ8.h"
#include "CMainDoc.h"
#include "CRecParamsManager.h"
#include "CRecordController.h"
#include "DevMgrTestSupport.h"
#include "DocToolsFixture.h"
#include "IRecordWindowHost.h"
#include "MessageBox.h"
#include "TQ8Sim.h"
#include "TextConv.h"

namespace rec_test {

// Records what the controller shows; its boxes go through the recorder.
class FakeHost : public IRecordWindowHost {
public:
    bool ExchangeData(bool) override { return exchangeOk; }
    bool IsMultipleModeChecked() const override { return multiple; }
    bool IsSnapshotDisplayChecked() const override { return snapshots; }
    bool ReadRepetitions(uint32_t& count) override
    {
        count = repetitions;
        return true;
    }
    int ShowBox(const std::wstring& text, unsigned style) override { return vlt::ShowMessageBox(text, style); }
    void ShowStatusText(const std::wstring& text, unsigned) override { status.push_back(text); }
    void FocusDeviceList() override { ++listFocused; }
    void SetRecordingControls(bool recording, bool marquee) override
    {
        controlsRecording = recording;
        this->marquee = marquee;
    }
    void ClearStateColumn() override { states.clear(); }
    void SetRowState(TQ8_HANDLE device, const std::wstring& text) override { states[device] = text; }
    void ShowStatistics(uint32_t, uint32_t) override {}
    void ShowFigures(const std::wstring& e, const std::wstring& a, const std::wstring& t) override
    {
        elapsed = e, amount = a, throughput = t;
    }
    void SetProgressPosition(int position) override { progress = position; }
    void ShowTroubleLine(const std::wstring& text) override { trouble = text; }
    void QueueBeginStop() override
    {
        ++queued;
        if (onQueue)
            onQueue();
    }
    bool HasStatus(const std::wstring& text) const
    {
        return std::find(status.begin(), status.end(), text) != status.end();
    }

    bool exchangeOk = true;
    bool multiple = false;
    bool snapshots = false;
    uint32_t repetitions = 1;
    std::vector<std::wstring> status;
    int listFocused = 0;
    bool controlsRecording = false;
    bool marquee = false;
    std::map<TQ8_HANDLE, std::wstring> states;
    std::wstring elapsed, amount, throughput, trouble;
    int progress = -1;
    int queued = 0;
    std::function<void()> onQueue;
};

// Local boards 500001 (master), 500002 (its slave) and 500003, each with a
// document, destinations in a scratch folder.
class RecordBoardsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc_tools_test::EnsureApp();
        DEVMGR_REQUIRE_SIMULATOR();
        TQ8Sim_Reset();
        TQ8Sim_SetTimeFactor(0.001);
        dir = std::filesystem::temp_directory_path() / ("rec_" + std::to_string(getpid()) + "_"
                                                        + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        ASSERT_TRUE(devmgr_test::DeclareBoards({{500001, 1}, {500002, 2}, {500003, 0}}));
        devices = std::make_unique<CDeviceManagerTQ8>();
        ASSERT_EQ(devices->ConnectAllLocalDevices(), 3u);
        manager.LinkDeviceManager(devices.get());
        for (uint32_t serial : {500001u, 500002u, 500003u}) {
            TQ8_HANDLE h = devices->FindDeviceBySerial(serial);
            handles.push_back(h);
            docs.push_back(std::make_unique<CMainDoc>(nullptr, devices.get(), h, docstate::kLimitPlotData));
            CRecParamsManager::CDevState& entry = manager.GetDeviceParams(h);
            entry.Document = docs.back().get();
            entry.RecParams.DestFileOpts.Pathname1 = L"board" + std::to_wstring(serial) + L".rd8";
        }
        devices->BuildMasterSlaveRelations();
        ASSERT_EQ(devices->GetMaster(handles[1]), handles[0]);
        controller = std::make_unique<CRecordController>(host, manager, CMultiModeLog((dir / "log.txt").string()));
        controller->DefaultDir = vlt::Utf8ToWide(dir.string());
        manager.AcqSamples = 65536;
    }
    void TearDown() override
    {
        if (controller)
            controller->Stop();
        controller.reset();
        docs.clear();
        devices.reset();
        TQ8Sim_Reset();
        std::filesystem::remove_all(dir);
    }
    // Only these boards take part.
    void Select(std::initializer_list<int> indices)
    {
        for (TQ8_HANDLE h : handles)
            manager.GetDeviceParams(h).StateFlags &= ~CRecParamsManager::kStateSelected;
        for (int i : indices)
            manager.GetDeviceParams(handles[size_t(i)]).StateFlags |= CRecParamsManager::kStateSelected;
    }
    void Limit(uint64_t samples)
    {
        manager.RecDurType = samples ? CRecParams::kDurSamples : CRecParams::kDurNoLimit;
        manager.DurSamples = samples;
    }
    // Ticks until cond holds (or the recording ends when untilEnd).
    template <class Cond>
    bool TickUntil(Cond cond)
    {
        return doc_tools_test::PumpUntil([&] {
            controller->Tick();
            return cond();
        });
    }
    std::wstring Name(int i, bool shortName = false) { return docs[size_t(i)]->GetDeviceDisplayName(shortName); }
    uint32_t Bits(int i) { return manager.GetDeviceParams(handles[size_t(i)]).StateFlags; }

    vlt::MessageBoxRecorder boxes;
    FakeHost host;
    std::filesystem::path dir;
    std::unique_ptr<CDeviceManagerTQ8> devices;
    CRecParamsManager manager;
    std::vector<TQ8_HANDLE> handles; // master, slave, standalone
    std::vector<std::unique_ptr<CMainDoc>> docs;
    std::unique_ptr<CRecordController> controller;
};

} // namespace rec_test
