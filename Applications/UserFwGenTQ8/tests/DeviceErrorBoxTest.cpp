#include <gtest/gtest.h>

#include "DeviceErrorBox.h"
#include "MessageBox.h"
#include "TQ8Sim.h"

namespace {

std::wstring LibraryText(int32_t code)
{
    wchar_t* text = nullptr;
    std::wstring copy;
    if (GetErrorTextWTQ8(code, &text, 0, nullptr) == 0 && text)
        copy = text;
    FreeMemoryTQ8(text);
    return copy;
}

TEST(DeviceErrorBox, PrefixThenLibraryText)
{
    const std::wstring library = LibraryText(-552);
    const std::wstring text = DeviceErrorText(-552, L"Failed to write firmware file context data: ", nullptr);
    EXPECT_EQ(text, L"Failed to write firmware file context data: " + (library.empty() ? L"-552" : library));
}

TEST(DeviceErrorBox, DefaultPrefixAndCodeWithoutText)
{
    const int32_t unknown = -987654;
    ASSERT_TRUE(LibraryText(unknown).empty());
    EXPECT_EQ(DeviceErrorText(unknown, L"", nullptr), L"An error occurred: -987654");
}

TEST(DeviceErrorBox, BoardNameBeforeTheText)
{
    TQ8Sim_Reset();
    TQ8SIM_BOARD_DESC desc{};
    TQ8Sim_DefaultBoardDesc(&desc, 31337);
    if (TQ8Sim_AddLocalBoard(&desc) == TQ8_ERR_NOT_SUPPORTED)
        GTEST_SKIP() << "the simulated device library cannot declare boards yet";
    TQ8_HANDLE handle = nullptr;
    ASSERT_EQ(ConnectToDeviceTQ8(&handle, 1), 0);
    const std::wstring name = BoardDisplayName(handle);
    ASSERT_FALSE(name.empty());
    EXPECT_NE(name.find(L"31337"), std::wstring::npos);
    const std::wstring text = DeviceErrorText(-1, L"Oops: ", handle);
    EXPECT_EQ(text.rfind(name + L": Oops: ", 0), 0u);
    vlt::MessageBoxRecorder boxes;
    ShowDeviceErrorBox(-1, L"Oops: ", handle);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), text);
    EXPECT_EQ(boxes.Boxes()[0].style, MB_OK | MB_ICONERROR);
    DisconnectFromDeviceTQ8(handle);
    TQ8Sim_Reset();
}

} // namespace
