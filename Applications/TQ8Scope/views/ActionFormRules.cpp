#include "ActionFormRules.h"

namespace actionform {

std::wstring StartButtonCaption(bool busy, bool recording, bool continuous)
{
    if (!busy)
        return L"&Acquire and Display Data";
    if (recording)
        return L"C&ancel Recording";
    return continuous ? L"C&ancel Continuous Mode" : L"C&ancel Acquisition";
}

std::wstring ControllerLinkText(bool isController, const std::wstring* controllerName)
{
    if (isController)
        return L"None; This device is a controller";
    return L"<a>" + (controllerName ? *controllerName : std::wstring(L"None")) + L"</a>";
}

std::wstring SyncLinkText(int32_t syncId, const std::wstring& deviceName, int32_t outputIndex, bool hubInstalled)
{
    if (syncId == 0)
        return hubInstalled ? L"<a>No association</a>" : L"Not available";
    std::wstring text = L"<a>" + deviceName;
    if (outputIndex != -1)
        text += L"::" + std::to_wstring(outputIndex + 1);
    return text + L"</a>";
}

uint32_t AcquisitionsSince(uint32_t count, uint32_t lastCount)
{
    return count >= lastCount ? count - lastCount : 0;
}

std::wstring RateText(uint32_t perSecond)
{
    return std::to_wstring(perSecond) + (perSecond == 1 ? L" acquisition per second" : L" acquisitions per second");
}

bool DeadlineReached(const std::optional<Clock::time_point>& deadline, Clock::time_point now)
{
    return deadline && now >= *deadline;
}

int FitLabelFontTenths(int labelWidth, const std::function<int(int tenths)>& textWidth)
{
    for (int tenths = 107; tenths > 36; tenths -= 10) {
        const int width = textWidth(tenths);
        if (width < 0)
            return 0;
        if (labelWidth >= width + 8)
            return tenths;
    }
    return 0;
}

} // namespace actionform
