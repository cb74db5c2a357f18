#include "ChannelSelection.h"

#include <array>
#include <cstddef>

namespace tq8 {

namespace {
struct Selection {
    int count;
    std::array<int, 4> channels;
};

constexpr std::array<Selection, kChannelSelectionCount> kSelections = {{
    {4, {0, 1, 2, 3}},
    {2, {0, 1, -1, -1}},
    {2, {2, 3, -1, -1}},
    {2, {0, 2, -1, -1}},
    {3, {0, 1, 2, -1}},
    {1, {0, -1, -1, -1}},
    {1, {1, -1, -1, -1}},
    {1, {2, -1, -1, -1}},
    {1, {3, -1, -1, -1}},
    {2, {0, 2, -1, -1}},
    {1, {0, -1, -1, -1}},
    {1, {2, -1, -1, -1}},
}};
}

bool IsValidSelection(int sel)
{
    return sel >= 0 && sel < kChannelSelectionCount;
}

int ChannelCount(int sel)
{
    return IsValidSelection(sel) ? kSelections[static_cast<size_t>(sel)].count : 0;
}

int PhysicalChannel(int sel, int index)
{
    if (!IsValidSelection(sel) || index < 0 || index >= ChannelCount(sel))
        return -1;
    return kSelections[static_cast<size_t>(sel)].channels[static_cast<size_t>(index)];
}

bool IsInterleaved(int sel)
{
    return sel >= 9 && sel <= 11;
}

uint32_t RamFactor(int sel)
{
    return sel == 0 || sel == 3 || sel == 4 || sel == 9 ? 2u : 1u;
}

bool IsTwoChannelSelection(int sel)
{
    return sel == 1 || sel == 5 || sel == 6 || sel == 10;
}

bool AllowsSdram2Route(int sel)
{
    return sel == 0 || sel == 3 || sel == 9;
}

} // namespace tq8
