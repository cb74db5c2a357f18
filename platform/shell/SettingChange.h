#pragma once
// Telling running programs that a system setting changed (the search path:
// area "Environment"). Nothing listens on this desktop, so the broadcast
// does nothing unless a hook is set; tests set one to see it.
#include <functional>
#include <string>

namespace vlt {

using SettingChangeHook = std::function<void(const std::string& area)>;

// Process-wide; an empty hook brings back the silent default.
void SetSettingChangeHook(SettingChangeHook hook);

void BroadcastSettingChange(const std::string& area);

} // namespace vlt
