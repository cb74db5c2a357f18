#include "RegisterPlacement.h"

#include <cstddef>

namespace {

struct Entry {
    uint32_t address;
    uint8_t logical;
    uint8_t sub;
};

constexpr Entry kAdc[] = {{0, 0, 0}, {1, 0, 1}, {2, 1, 0}, {3, 1, 1}, {9, 2, 0},
                          {10, 3, 0}, {11, 3, 1}, {14, 4, 0}, {15, 4, 1}};

// A run of consecutive addresses from byte firstSub of word `logical` on,
// `perWord` of them to a word.
struct Run {
    uint32_t first;
    uint32_t last;
    uint8_t logical;
    uint8_t firstSub;
    uint8_t perWord;
};

constexpr Run kClockGen[] = {
    {0x000, 0x000, 0, 0, 4},  {0x004, 0x004, 0, 1, 4},  {0x010, 0x01F, 1, 0, 4},  {0x0A0, 0x0AB, 5, 0, 3},
    {0x0F0, 0x0F3, 9, 0, 4},  {0x0F4, 0x0F5, 10, 0, 4}, {0x140, 0x143, 11, 0, 4}, {0x190, 0x198, 12, 0, 3},
    {0x199, 0x199, 15, 0, 4}, {0x19A, 0x19D, 16, 0, 4}, {0x19E, 0x19E, 17, 0, 4}, {0x19F, 0x1A2, 18, 0, 4},
    {0x1E0, 0x1E1, 19, 0, 4}, {0x230, 0x230, 19, 2, 4},
};

} // namespace

bool FindAdcPlacement(uint32_t address, RegPlacement& out)
{
    for (const Entry& e : kAdc)
        if (e.address == address) {
            out = {e.logical, e.sub};
            return true;
        }
    return false;
}

bool FindClockGenPlacement(uint32_t address, RegPlacement& out)
{
    for (const Run& r : kClockGen) {
        if (address < r.first || address > r.last)
            continue;
        const uint32_t offset = r.firstSub + (address - r.first);
        out = {r.logical + offset / r.perWord, offset % r.perWord};
        return true;
    }
    return false;
}
