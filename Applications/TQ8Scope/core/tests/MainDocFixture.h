#pragma once
// Board documents on simulated boards, with what they show recorded.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "CDeviceManagerTQ8.h"
#include "CMainDoc.h"
#include "DocTestSupport.h"
#include "MessageBox.h"

namespace doc_test {

// Records what the document would show in the status bar.
class TestDoc : public CMainDoc {
public:
    using CMainDoc::CMainDoc;
    std::vector<std::wstring> texts;
    std::vector<int> hints;

    size_t CountTexts(const std::wstring& prefix) const
    {
        return size_t(std::count_if(texts.begin(), texts.end(),
                                    [&](const std::wstring& t) { return t.rfind(prefix, 0) == 0; }));
    }

    void ShowStatusText(const std::wstring& text, unsigned) override { texts.push_back(text); }
    void UpdateAllViews(int hint, void* object, IDocView* sender) override
    {
        hints.push_back(hint);
        CMainDoc::UpdateAllViews(hint, object, sender);
    }
};

class MainDocTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        TQ8Sim_Reset();
        TQ8Sim_SetTimeFactor(doc_test::kFastTime);
        devices = std::make_unique<CDeviceManagerTQ8>();
    }
    void TearDown() override
    {
        docs.clear();
        devices.reset();
        TQ8Sim_Reset();
    }
    TestDoc& NewDoc(CMainApp* app = nullptr)
    {
        TQ8_HANDLE h = devices->ConnectVirtualDevice();
        EXPECT_NE(h, nullptr);
        docs.push_back(std::make_unique<TestDoc>(app, devices.get(), h, docstate::kLimitPlotData));
        return *docs.back();
    }
    TestDoc& NewLocalDoc(const TQ8SIM_BOARD_DESC& desc)
    {
        EXPECT_EQ(TQ8Sim_AddLocalBoard(&desc), 0);
        TQ8_HANDLE h = devices->ConnectLocalDevice(desc.serial);
        EXPECT_NE(h, nullptr);
        docs.push_back(std::make_unique<TestDoc>(nullptr, devices.get(), h, docstate::kLimitPlotData));
        return *docs.back();
    }
    // Makes controller the controller of controlled, in the device manager
    // and in both documents.
    void Control(TestDoc& controller, TestDoc& controlled)
    {
        ASSERT_TRUE(devices->SetController(controlled.GetDeviceHandle(), controller.GetDeviceHandle()));
        controlled.SetControlled(controller.GetDeviceHandle());
        controller.RefreshControllerFlag();
    }
    bool WaitIdle(TestDoc& doc)
    {
        return doc_test::PumpUntil([&] { return !(doc.GetStateFlags() & docstate::kAcquiring); });
    }

    vlt::MessageBoxRecorder boxes;
    std::unique_ptr<CDeviceManagerTQ8> devices;
    std::vector<std::unique_ptr<TestDoc>> docs;
};


} // namespace doc_test
