#pragma once
// Where a remote board is and how to ask for it.
#include <cstdint>
#include <string>

namespace tq8 {

struct RemoteTarget {
    std::wstring server;
    uint16_t port = 0;
    std::string clientApp;   // UTF-8
    std::string subServices; // UTF-8, ";"-separated
    uint32_t serial = 0;     // serial or ordinal; the serial once opened
    bool isVirtual = false;
};

} // namespace tq8
