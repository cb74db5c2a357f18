#include "SettingChange.h"

#include <mutex>

namespace vlt {

namespace {

std::mutex& HookMutex()
{
    static std::mutex mutex;
    return mutex;
}

SettingChangeHook& Hook()
{
    static SettingChangeHook hook;
    return hook;
}

} // namespace

void SetSettingChangeHook(SettingChangeHook hook)
{
    std::lock_guard lock(HookMutex());
    Hook() = std::move(hook);
}

void BroadcastSettingChange(const std::string& area)
{
    SettingChangeHook hook;
    {
        std::lock_guard lock(HookMutex());
        hook = Hook();
    }
    if (hook)
        hook(area);
}

} // namespace vlt
