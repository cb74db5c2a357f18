#pragma once
// Whether Caps Lock, Num Lock and Scroll Lock are on, as the keyboard's
// indicators show it. On X11 the state comes from the keyboard extension
// through the display connection the application already holds; where the
// window system gives no state (the offscreen platform, others) every lock
// reads off. UI thread only.
#include <optional>

namespace vlt {

struct LockKeyState {
    bool capsLock = false;
    bool numLock = false;
    bool scrollLock = false;

    bool operator==(const LockKeyState&) const = default;
};

LockKeyState GetLockKeyState();

// Tests: a state that GetLockKeyState returns instead of the keyboard's;
// nullopt gives the keyboard back. Returns the previous one.
std::optional<LockKeyState> SetLockKeyStateForTest(std::optional<LockKeyState> state);

} // namespace vlt
