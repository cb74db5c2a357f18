#include <gtest/gtest.h>

#include "HardwareDetection.h"
#include "MessageBox.h"
#include "TQ8Sim.h"
#include "TextConv.h"

namespace {

class HardwareDetectionTest : public ::testing::Test {
protected:
    void SetUp() override { TQ8Sim_Reset(); }
    void TearDown() override { TQ8Sim_Reset(); }

    // Declares a local board whose EEPROM word 93 holds the type.
    void AddBoard(uint32_t serial, uint32_t fpgaType)
    {
        TQ8SIM_BOARD_DESC desc{};
        TQ8Sim_DefaultBoardDesc(&desc, serial);
        desc.fpgaType = fpgaType;
        const int32_t rc = TQ8Sim_AddLocalBoard(&desc);
        if (rc == TQ8_ERR_NOT_SUPPORTED)
            GTEST_SKIP() << "the simulated device library cannot declare boards yet";
        ASSERT_EQ(rc, 0);
    }
};

TEST_F(HardwareDetectionTest, NoBoard)
{
    vlt::MessageBoxRecorder boxes;
    EXPECT_EQ(DetectFpgaTypeFromHardware(), -1);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"No TQ3300 devices were detected in the system");
    EXPECT_EQ(boxes.Boxes()[0].style, MB_OK | MB_ICONWARNING);
}

TEST_F(HardwareDetectionTest, KnownTypesAreSelected)
{
    for (uint32_t type : {0u, 1u}) {
        TQ8Sim_Reset();
        AddBoard(1500 + type, type);
        if (IsSkipped())
            return;
        vlt::MessageBoxRecorder boxes;
        EXPECT_EQ(DetectFpgaTypeFromHardware(), static_cast<int>(type));
        ASSERT_EQ(boxes.Count(), 1u);
        const std::wstring text = boxes.LastText();
        EXPECT_EQ(text.rfind(L"Device consulted: ", 0), 0u) << vlt::WideToUtf8(text);
        EXPECT_NE(text.find(std::to_wstring(1500 + type)), std::wstring::npos) << vlt::WideToUtf8(text);
        const std::wstring suffix = L"\n\nFPGA type updated";
        ASSERT_GT(text.size(), suffix.size());
        EXPECT_EQ(text.substr(text.size() - suffix.size()), suffix);
        EXPECT_EQ(boxes.Boxes()[0].style, MB_OK | MB_ICONINFORMATION);
    }
}

TEST_F(HardwareDetectionTest, OtherValuesAreUnknown)
{
    for (uint32_t type : {2u, 3u, 65535u}) {
        TQ8Sim_Reset();
        AddBoard(1600, type);
        if (IsSkipped())
            return;
        vlt::MessageBoxRecorder boxes;
        EXPECT_EQ(DetectFpgaTypeFromHardware(), -1);
        ASSERT_EQ(boxes.Count(), 1u);
        const std::wstring suffix =
            L" has unknown FPGA type (" + std::to_wstring(type) + L"). This software may not be up to date.";
        const std::wstring text = boxes.LastText();
        ASSERT_GT(text.size(), suffix.size());
        EXPECT_EQ(text.substr(text.size() - suffix.size()), suffix);
        EXPECT_NE(text.find(L"1600"), std::wstring::npos);
        EXPECT_EQ(boxes.Boxes()[0].style, MB_OK | MB_ICONWARNING);
    }
}

TEST_F(HardwareDetectionTest, ConnectFailure)
{
    AddBoard(1700, 0);
    if (IsSkipped())
        return;
    ASSERT_EQ(TQ8Sim_InjectResult("ConnectToDeviceTQ8", TQ8_ERR_BUSY, 1), 0);
    vlt::MessageBoxRecorder boxes;
    EXPECT_EQ(DetectFpgaTypeFromHardware(), -1);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"Failed to connect to TQ3300 device: ", 0), 0u);
    EXPECT_EQ(boxes.Boxes()[0].style, MB_OK | MB_ICONERROR);
}

TEST_F(HardwareDetectionTest, EepromFailureNamesTheBoardAndDisconnects)
{
    AddBoard(1800, 1);
    if (IsSkipped())
        return;
    ASSERT_EQ(TQ8Sim_InjectResult("GetEepromDataTQ8", TQ8_ERR_EEPROM_INVALID, 1), 0);
    vlt::MessageBoxRecorder boxes;
    EXPECT_EQ(DetectFpgaTypeFromHardware(), -1);
    ASSERT_EQ(boxes.Count(), 1u);
    const std::wstring text = boxes.LastText();
    EXPECT_NE(text.find(L"1800: Failed to read TQ3300 configuration EEPROM: "), std::wstring::npos)
        << vlt::WideToUtf8(text);
    // The board was let go: the next detection works.
    EXPECT_EQ(DetectFpgaTypeFromHardware(), 1);
}

} // namespace
