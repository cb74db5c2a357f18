#include "DeviceErrorBox.h"

#include "MessageBox.h"

namespace {


// Takes over a text the library handed out.
std::wstring TakeLibraryText(wchar_t* text)
{
    std::wstring copy = text ? std::wstring(text) : std::wstring();
    if (text)
        FreeMemoryTQ8(text);
    return copy;
}

} // namespace

std::wstring BoardDisplayName(TQ8_HANDLE handle)
{
    wchar_t* name = nullptr;
    GetBoardNameWTQ8(handle, &name, TQ8_NAME_SET_DISPLAY);
    return TakeLibraryText(name);
}

std::wstring DeviceErrorText(int32_t code, const std::wstring& text, TQ8_HANDLE handle)
{
    std::wstring message;
    if (handle) {
        const std::wstring name = BoardDisplayName(handle);
        if (!name.empty())
            message = name + L": ";
    }
    message += text.empty() ? L"An error occurred: " : text;
    wchar_t* libraryText = nullptr;
    const int32_t rc = GetErrorTextWTQ8(code, &libraryText, 0, handle);
    const std::wstring codeText = TakeLibraryText(rc == 0 ? libraryText : nullptr);
    if (rc != 0 && libraryText)
        FreeMemoryTQ8(libraryText);
    message += codeText.empty() ? std::to_wstring(code) : codeText;
    return message;
}

int ShowDeviceErrorBox(int32_t code, const std::wstring& text, TQ8_HANDLE handle)
{
    return vlt::ShowMessageBox(DeviceErrorText(code, text, handle), MB_OK | MB_ICONERROR);
}
