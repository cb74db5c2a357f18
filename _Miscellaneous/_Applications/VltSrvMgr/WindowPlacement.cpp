#include "WindowPlacement.h"

#include "AppProfile.h"

namespace {

const wchar_t* const kSection = L"Settings";

} // namespace

std::optional<WindowPlacement> WindowPlacement::Load()
{
    using vlt::AppProfile;
    const uint32_t values[] = {
        AppProfile::GetInt(kSection, L"WndShowCmd", kMissing), AppProfile::GetInt(kSection, L"WndLeft", kMissing),
        AppProfile::GetInt(kSection, L"WndTop", kMissing), AppProfile::GetInt(kSection, L"WndRight", kMissing),
        AppProfile::GetInt(kSection, L"WndBottom", kMissing)};
    for (uint32_t value : values) {
        if (value == kMissing)
            return std::nullopt;
    }
    WindowPlacement placement;
    placement.showCmd = values[0];
    // Screen coordinates left of or above the primary screen are negative.
    placement.left = static_cast<int32_t>(values[1]);
    placement.top = static_cast<int32_t>(values[2]);
    placement.right = static_cast<int32_t>(values[3]);
    placement.bottom = static_cast<int32_t>(values[4]);
    return placement;
}

bool WindowPlacement::Save() const
{
    using vlt::AppProfile;
    // Each value is written even when one fails, as far as the store allows.
    bool ok = AppProfile::WriteInt(kSection, L"WndShowCmd", showCmd);
    ok = AppProfile::WriteInt(kSection, L"WndLeft", static_cast<uint32_t>(left)) && ok;
    ok = AppProfile::WriteInt(kSection, L"WndTop", static_cast<uint32_t>(top)) && ok;
    ok = AppProfile::WriteInt(kSection, L"WndRight", static_cast<uint32_t>(right)) && ok;
    ok = AppProfile::WriteInt(kSection, L"WndBottom", static_cast<uint32_t>(bottom)) && ok;
    return ok;
}

bool WindowPlacement::IsOnScreen(int32_t screenWidth, int32_t screenHeight) const
{
    return left < screenWidth && top < screenHeight && right > left && bottom > top;
}

uint32_t WindowPlacement::RestoreShowCommand() const
{
    if (showCmd == kHide || showCmd == kShowMinimized || showCmd == kMinimize)
        return kShowNormal;
    return showCmd;
}
