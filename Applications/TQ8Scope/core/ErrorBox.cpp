#include "ErrorBox.h"

#include <cstdio>
#include <cstring>

#include <QWidget>

#include "AdcRateRule.h"
#include "TextConv.h"

namespace {


std::wstring RateNote()
{
    char buf[128];
    std::snprintf(buf, sizeof buf, ".\n\nMinimum acquisition rate: %0.2f\nMaximum acquisition rate: %0.2f\n",
                  tq8::kMinRateMHz, tq8::kMaxRateMHz);
    return vlt::Utf8ToWide(buf);
}

// glibc answers unknown numbers with "Unknown error N": that is no message.
bool SystemMessage(int errorCode, std::string& message)
{
    if (errorCode <= 0)
        return false;
    char buf[256];
    const char* text = strerror_r(errorCode, buf, sizeof buf);
    if (!text || !*text || std::strncmp(text, "Unknown error", 13) == 0)
        return false;
    message = text;
    return true;
}

} // namespace

int32_t GetBoardNameString(TQ8_HANDLE device, std::wstring& name, uint32_t flags)
{
    wchar_t* text = nullptr;
    int32_t result = GetBoardNameWTQ8(device, &text, flags);
    if (result == 0 && text)
        name = text;
    FreeMemoryTQ8(text);
    return result;
}

int32_t GetErrorTextString(int32_t code, std::wstring& text, TQ8_HANDLE device)
{
    wchar_t* lib = nullptr;
    int32_t result = GetErrorTextWTQ8(code, &lib, 0, device);
    if (result == 0 && lib)
        text = lib;
    FreeMemoryTQ8(lib);
    return result;
}

std::wstring ErrorBoxNamePrefix(TQ8_HANDLE device)
{
    std::wstring name;
    if (!device || GetBoardNameString(device, name, kErrorBoxNameFlags) != 0 || name.empty())
        return {};
    return name + L": ";
}

int32_t FormatDeviceErrorText(std::wstring& text, int32_t code, const wchar_t* prefix, TQ8_HANDLE device)
{
    text = ErrorBoxNamePrefix(device);
    if (prefix)
        text += prefix;
    wchar_t* lib = nullptr;
    int32_t result = GetErrorTextWTQ8(code, &lib, 0, device);
    if (result != 0 || !lib || !*lib)
        text += std::to_wstring(code);
    else
        text += lib;
    FreeMemoryTQ8(lib);
    if (result != 0 || text.empty())
        text = L"An error occurred";
    if (code == TQ8_ERR_RATE_TOO_LOW || code == TQ8_ERR_RATE_TOO_HIGH)
        text += RateNote();
    return result;
}

int ShowDeviceErrorBox(int32_t code, const wchar_t* prefix, TQ8_HANDLE device, unsigned style)
{
    std::wstring text;
    FormatDeviceErrorText(text, code, prefix, device);
    return vlt::ShowMessageBox(text, style);
}

int32_t FormatConnectErrorText(std::wstring& text, int32_t code, const wchar_t* prefix, int connectError)
{
    const int32_t result = FormatDeviceErrorText(text, code, prefix, nullptr);
    if (code == TQ8_ERR_SERVER_UNREACHABLE && connectError != 0)
        FormatSystemErrorText(connectError, text, (text + L": ").c_str());
    return result;
}

int ShowConnectErrorBox(int32_t code, const wchar_t* prefix, int connectError, unsigned style)
{
    std::wstring text;
    FormatConnectErrorText(text, code, prefix, connectError);
    return vlt::ShowMessageBox(text, style);
}

void FormatSystemErrorText(int errorCode, std::wstring& text, const wchar_t* prefix)
{
    text = prefix ? prefix : L"";
    std::string message;
    if (SystemMessage(errorCode, message)) {
        text += vlt::Utf8ToWide(message);
        return;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "A file or system error occurred. (0x%08lX)",
                  static_cast<unsigned long>(static_cast<uint32_t>(errorCode)));
    text += vlt::Utf8ToWide(buf);
}

int ShowSystemErrorBox(int errorCode, const wchar_t* prefix)
{
    std::wstring text;
    FormatSystemErrorText(errorCode, text, prefix);
    return vlt::ShowMessageBox(text, MB_ICONERROR);
}

int ShowInvalidNumberMessage(const wchar_t* fieldName, QWidget* item, unsigned style)
{
    std::wstring text = L"Please enter a valid ";
    text += fieldName ? fieldName : L"integer value";
    text += L".\n\nValues may be specified in decimal, octal (\"0\" prefixed), or hexadecimal (\"0x\" prefixed).";
    int answer = vlt::ShowMessageBox(text, style, item ? item->window() : nullptr);
    if (item)
        item->setFocus();
    return answer;
}
