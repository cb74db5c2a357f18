#include "FormApply.h"

#include "ValueFormat.h"

namespace formapply {

EditAction DecideEditAction(bool editing, bool valid, uint32_t typed, uint32_t current)
{
    if (!editing)
        return EditAction::None;
    if (!valid)
        return EditAction::Refuse;
    return typed == current ? EditAction::ClearStatus : EditAction::Apply;
}

std::wstring AppliedText(const wchar_t* success, uint32_t typed, uint32_t readBack)
{
    return AppliedText(success, readBack != typed);
}

std::wstring AppliedText(const wchar_t* success, bool realignedOrClipped)
{
    std::wstring text = success;
    if (realignedOrClipped)
        text += L"; setting realigned or clipped";
    return text;
}

std::wstring SliderTrackingText(const wchar_t* words, uint32_t position)
{
    return L"Tracking: " + std::wstring(words) + L" to set: " + FormatWithThousandsSeparator(position);
}

std::wstring SliderUpdatedText(const wchar_t* words, uint32_t value)
{
    return L"Updated " + std::wstring(words) + L". (New value: " + FormatWithThousandsSeparator(value) + L")";
}

std::wstring SliderFailurePrefix(const wchar_t* words)
{
    return L"Failed to change " + std::wstring(words) + L": ";
}

std::wstring RangeText(uint32_t maximum)
{
    return L"[0, " + std::to_wstring(maximum) + L"]";
}

} // namespace formapply
