#pragma once
// The error sound (the error icon's beep). Tests count it instead.
#include <functional>

namespace vlt {

void ErrorBeep();

// Replaces the sound; an empty handler restores it. Returns the previous one.
std::function<void()> SetErrorBeepHandler(std::function<void()> handler);

} // namespace vlt
