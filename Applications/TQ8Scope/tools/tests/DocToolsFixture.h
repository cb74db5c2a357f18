#pragma once
// Board documents on simulated boards for the tests of the documents' tool
// windows: boxes are recorded, the factories are restored afterwards.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>

#include "CDeviceManagerTQ8.h"
#include "CMainDoc.h"
#include "MessageBox.h"
#include "TQ8Sim.h"
#include "TQ8_64.h"
#include "TextConv.h"

namespace doc_tools_test {

inline void EnsureApp()
{
    if (QApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tq8scope_tools_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

// Lets queued events arrive until cond holds. The cap only keeps a broken
// build from hanging: an upload or a recording under the sanitizers on a
// loaded machine takes many times what it takes here, so it stays just under
// the test runner's own limit; tests assert on cond, never on time.
inline constexpr auto kPumpSafetyCap = std::chrono::seconds(240);

template <class Cond>
bool PumpUntil(Cond cond)
{
    const auto deadline = std::chrono::steady_clock::now() + kPumpSafetyCap;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

inline QString ToQt(const std::wstring& text)
{
    return QString::fromStdString(vlt::WideToUtf8(text));
}

// The board's name as the windows' captions and error boxes show it.
inline std::wstring BoardName(TQ8_HANDLE device)
{
    wchar_t* name = nullptr;
    EXPECT_EQ(GetBoardNameWTQ8(device, &name, TQ8_NAME_SET_DISPLAY), TQ8_OK);
    std::wstring text = name ? name : L"";
    FreeMemoryTQ8(name);
    return text;
}

inline uint32_t Calibrations(uint32_t serial, int32_t adc)
{
    uint32_t n = 0;
    EXPECT_EQ(TQ8Sim_GetAdcCalibrationCount(serial, adc, &n), TQ8_OK);
    return n;
}

class DocToolsTest : public ::testing::Test {
protected:
    static constexpr uint32_t kSerial = 1600;

    void SetUp() override
    {
        EnsureApp();
        TQ8Sim_Reset();
        TQ8Sim_SetTimeFactor(0.001);
        m_savedFactories = CMainDoc::Factories();
        devices = std::make_unique<CDeviceManagerTQ8>();
    }
    void TearDown() override
    {
        docs.clear();
        devices.reset();
        CMainDoc::Factories() = m_savedFactories;
        TQ8Sim_Reset();
    }
    CMainDoc& NewDoc()
    {
        TQ8_HANDLE h = devices->ConnectVirtualDevice(kSerial);
        EXPECT_NE(h, nullptr);
        docs.push_back(std::make_unique<CMainDoc>(nullptr, devices.get(), h, docstate::kLimitPlotData));
        return *docs.back();
    }

    vlt::MessageBoxRecorder boxes;
    std::unique_ptr<CDeviceManagerTQ8> devices;
    std::vector<std::unique_ptr<CMainDoc>> docs;

private:
    CMainDoc::ToolWindowFactories m_savedFactories;
};

} // namespace doc_tools_test
