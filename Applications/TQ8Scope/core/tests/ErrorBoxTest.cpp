#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "ErrorBox.h"
#include "TestApp.h"
#include "TextConv.h"

namespace {

// A virtual board of the simulated library, released at the end.
class VirtualBoard {
public:
    VirtualBoard() { m_result = ConnectToVirtualDeviceTQ8(&m_handle, 1777, 1); }
    ~VirtualBoard()
    {
        if (m_result == 0)
            DisconnectFromDeviceTQ8(m_handle);
    }
    bool Ok() const { return m_result == 0; }
    TQ8_HANDLE Handle() const { return m_handle; }

private:
    TQ8_HANDLE m_handle = nullptr;
    int32_t m_result = -1;
};

std::wstring LibraryText(int32_t code)
{
    std::wstring text;
    EXPECT_EQ(GetErrorTextString(code, text, nullptr), 0);
    return text;
}

// A code the library has no text for.
constexpr int32_t kUnknownCode = -123456;

} // namespace

TEST(ErrorBox, BoardNamePrefixAndLibraryText)
{
    VirtualBoard board;
    if (!board.Ok())
        GTEST_SKIP() << "the device library offers no virtual board";
    std::wstring name;
    ASSERT_EQ(GetBoardNameString(board.Handle(), name, kErrorBoxNameFlags), 0);
    ASSERT_FALSE(name.empty());
    std::wstring text;
    EXPECT_EQ(FormatDeviceErrorText(text, TQ8_ERR_INVALID_ARG, L"Failed to set FFT size: ", board.Handle()), 0);
    EXPECT_EQ(text, name + L": Failed to set FFT size: " + LibraryText(TQ8_ERR_INVALID_ARG));
}

TEST(ErrorBox, WithoutABoardThereIsNoBoardPart)
{
    std::wstring lib;
    if (GetErrorTextString(TQ8_ERR_INVALID_ARG, lib, nullptr) != 0)
        GTEST_SKIP() << "the device library has no error texts yet";
    std::wstring text;
    FormatDeviceErrorText(text, TQ8_ERR_INVALID_ARG, L"Failed to set FFT size: ", nullptr);
    EXPECT_EQ(text, L"Failed to set FFT size: " + lib);
    FormatDeviceErrorText(text, TQ8_ERR_INVALID_ARG, nullptr, nullptr);
    EXPECT_EQ(text, lib);
}

TEST(ErrorBox, CodeWithoutLibraryTextGivesTheGeneralMessage)
{
    std::wstring text;
    EXPECT_NE(FormatDeviceErrorText(text, kUnknownCode, L"Failed to set FFT size: ", nullptr), 0);
    EXPECT_EQ(text, L"An error occurred");
}

TEST(ErrorBox, RateCodesGetTheRangeNote)
{
    std::wstring text;
    FormatDeviceErrorText(text, TQ8_ERR_RATE_TOO_HIGH, nullptr, nullptr);
    const std::wstring note = L".\n\nMinimum acquisition rate: 200.00\nMaximum acquisition rate: 1500.00\n";
    ASSERT_GE(text.size(), note.size());
    EXPECT_EQ(text.substr(text.size() - note.size()), note);
    std::wstring lib;
    if (GetErrorTextString(TQ8_ERR_RATE_TOO_HIGH, lib, nullptr) == 0)
        EXPECT_EQ(text, lib + note);
    else
        EXPECT_EQ(text, L"An error occurred" + note);
}

TEST(ErrorBox, ShownWithTheCallersStyleAndAnswer)
{
    vlt::MessageBoxRecorder boxes;
    boxes.QueueAnswer(IDCANCEL);
    EXPECT_EQ(ShowDeviceErrorBox(kUnknownCode, L"Failed to copy hardware settings: ", nullptr,
                                 MB_ICONERROR | MB_OKCANCEL),
              IDCANCEL);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"An error occurred");
    EXPECT_EQ(boxes.Boxes()[0].style, MB_ICONERROR | MB_OKCANCEL);
}

TEST(SystemErrorBox, SystemMessageOrNumber)
{
    std::wstring text;
    FormatSystemErrorText(ENOENT, text, L"Failed to open input file: ");
    EXPECT_EQ(text, L"Failed to open input file: " + vlt::Utf8ToWide(std::strerror(ENOENT)));
    FormatSystemErrorText(0x20000001, text, L"Failed to write: ");
    EXPECT_EQ(text, L"Failed to write: A file or system error occurred. (0x20000001)");
    FormatSystemErrorText(0x2A, text, nullptr);
    EXPECT_EQ(text, vlt::Utf8ToWide(std::strerror(0x2A)));
    vlt::MessageBoxRecorder boxes;
    ShowSystemErrorBox(EACCES, L"Failed to open workspace file: ");
    EXPECT_EQ(boxes.LastText(), L"Failed to open workspace file: " + vlt::Utf8ToWide(std::strerror(EACCES)));
    EXPECT_EQ(boxes.Boxes()[0].style & MB_ICONMASK, MB_ICONERROR);
}

TEST(InvalidNumberMessage, FieldNameAndFocus)
{
    App();
    vlt::MessageBoxRecorder boxes;
    ShowInvalidNumberMessage(nullptr, nullptr);
    EXPECT_EQ(boxes.LastText(), L"Please enter a valid integer value.\n\nValues may be specified in decimal, octal "
                                L"(\"0\" prefixed), or hexadecimal (\"0x\" prefixed).");
    ShowInvalidNumberMessage(L"sample count", nullptr);
    EXPECT_EQ(boxes.LastText().substr(0, 34), L"Please enter a valid sample count.");
}
