#include "DataFormRules.h"

#include <algorithm>
#include <cwctype>

namespace dataform {

bool IsFreeRunText(std::wstring_view text)
{
    while (!text.empty() && std::iswspace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && std::iswspace(text.back()))
        text.remove_suffix(1);
    if (text.size() != 8)
        return false;
    std::wstring lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](wchar_t c) { return wchar_t(std::towlower(c)); });
    return lower == L"free run" || lower == L"free_run" || lower == L"free-run";
}

std::vector<int32_t> ListedChannelSelections(bool twoChannelModel)
{
    if (twoChannelModel)
        return {1, 5, 6, 10};
    std::vector<int32_t> selections;
    for (int32_t s = 0; s <= 11; ++s)
        if (s != 4)
            selections.push_back(s);
    return selections;
}

bool AllowsSdram2Route(int32_t selection)
{
    return selection == 0 || selection == 3 || selection == 9;
}

bool AllowsPulse(int32_t mode)
{
    return mode == 0 || mode == 3;
}

bool PlanPulse(int32_t mode, int32_t& first, int32_t& second, std::wstring& text)
{
    if (mode == 0) {
        first = 3, second = 0;
        text = L"Low-High-Low pulse generated on digital IO port";
        return true;
    }
    if (mode == 3) {
        first = 0, second = 3;
        text = L"High-Low-High pulse generated on digital IO port";
        return true;
    }
    return false;
}

std::wstring RegionUpdatedText(bool startDiffers, bool countDiffers)
{
    if (!startDiffers && !countDiffers)
        return {};
    std::wstring text = L"Active memory region updated";
    if (startDiffers)
        text += L"; starting sample clipped or realigned";
    if (countDiffers)
        text += L"; sample count clipped or realigned";
    return text;
}

bool AllRangesEqual(const double* ranges, const bool* read, int count)
{
    for (int i = 0; i < count; ++i)
        if (!read[i] || ranges[i] != ranges[0])
            return false;
    return true;
}

} // namespace dataform
