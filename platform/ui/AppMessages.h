#pragma once
// Private window messages (WM_APP + n) and command ids sent to a window from
// any thread. A window that receives them implements IAppMessageTarget; the
// message is delivered on the window's own (UI) thread.
#include <cstdint>

class QObject;

inline constexpr unsigned WM_COMMAND = 0x0111;
inline constexpr unsigned WM_APP = 0x8000;

namespace vlt {

class IAppMessageTarget {
public:
    virtual intptr_t OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) = 0;

protected:
    ~IAppMessageTarget() = default;
};

// Queues the message and returns at once; false when the target is null or
// does not take messages. A message still queued when the target is
// destroyed is dropped. The target must be alive at the time of the call.
bool PostAppMessage(QObject* target, unsigned msg, uintptr_t wParam = 0, intptr_t lParam = 0);

// Delivers the message and waits for its result: directly on the target's
// thread, otherwise through the target's event queue (the caller blocks
// until the target's thread has handled it). 0 for a target that takes none.
intptr_t SendAppMessage(QObject* target, unsigned msg, uintptr_t wParam = 0, intptr_t lParam = 0);

// A command id, as a menu choice would give it (WM_COMMAND, wParam = id).
inline bool PostCommand(QObject* target, unsigned id)
{
    return PostAppMessage(target, WM_COMMAND, id, 0);
}

} // namespace vlt
