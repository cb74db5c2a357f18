#pragma once
// The error box for device-library and package failures: the board's name
// (when a board is given), the caller's text and the library's text for the
// code.
#include <cstdint>
#include <string>

#include "TQ8_64.h"

std::wstring DeviceErrorText(int32_t code, const std::wstring& text, TQ8_HANDLE handle);
// Shows the text with the stop icon and an OK button; returns the answer.
int ShowDeviceErrorBox(int32_t code, const std::wstring& text, TQ8_HANDLE handle = nullptr);

// The board's display name (name format 156); empty when it has none.
std::wstring BoardDisplayName(TQ8_HANDLE handle);
