#pragma once
// Board names for GetBoardNameWTQ8 and version texts.
#include <cstdint>
#include <string>

#include "BoardDescription.h"

namespace tq8 {

struct BoardPlace {
    bool isVirtual = false;
    bool isRemote = false;
    std::wstring server;
    uint32_t port = 0;
};

std::wstring BoardName(const BoardDescription& desc, const BoardPlace& place, uint32_t flags);
// "a.b.c.d" from four 16-bit parts.
std::wstring VersionText(uint64_t version);

} // namespace tq8
