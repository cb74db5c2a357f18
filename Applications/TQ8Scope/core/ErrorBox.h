#pragma once
// The message boxes that report a failed device-library call or a failed
// system call, and the texts they are composed of.
#include <cstdint>
#include <string>

#include "MessageBox.h"
#include "TQ8_64.h"

class QWidget;

// Board-name flags used for error texts.
inline constexpr uint32_t kErrorBoxNameFlags = TQ8_NAME_SET_DISPLAY;

// Board name, ": ", prefix, then the library's text for the code; see
// FormatDeviceErrorText. Returns the box's answer.
int ShowDeviceErrorBox(int32_t code, const wchar_t* prefix, TQ8_HANDLE device, unsigned style = MB_ICONERROR);

// Composes the error box's text; returns the result of GetErrorTextWTQ8
// (0 when the library gave its text).
int32_t FormatDeviceErrorText(std::wstring& text, int32_t code, const wchar_t* prefix, TQ8_HANDLE device);

// For a failed call that reaches a server (no board yet): the composed text,
// then, when the server could not be reached, the connect's system error
// that the library left in errno ("...: Connection refused").
int32_t FormatConnectErrorText(std::wstring& text, int32_t code, const wchar_t* prefix, int connectError);
int ShowConnectErrorBox(int32_t code, const wchar_t* prefix, int connectError, unsigned style = MB_ICONERROR);

// The board's name and ": ", as error texts begin; empty without a device
// or a name.
std::wstring ErrorBoxNamePrefix(TQ8_HANDLE device);

// GetBoardNameWTQ8 into name (left untouched on failure); the library's result.
int32_t GetBoardNameString(TQ8_HANDLE device, std::wstring& name, uint32_t flags);
// GetErrorTextWTQ8 into text (left untouched on failure); the library's result.
int32_t GetErrorTextString(int32_t code, std::wstring& text, TQ8_HANDLE device);

// The prefix followed by the system's message for an errno value, or by
// "A file or system error occurred. (0x%08lX)" when the system has none.
void FormatSystemErrorText(int errorCode, std::wstring& text, const wchar_t* prefix);
int ShowSystemErrorBox(int errorCode, const wchar_t* prefix);

// "Please enter a valid %s. ..." ("integer value" without a field name);
// afterwards the focus moves to the item when one is given.
int ShowInvalidNumberMessage(const wchar_t* fieldName, QWidget* item, unsigned style = MB_ICONERROR);
