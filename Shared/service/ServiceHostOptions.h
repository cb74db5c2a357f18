#pragma once
// Limits of the service host's listeners and connections.
#include <cstdint>
#include <string>

struct ServiceHostOptions {
    // Boards one client connection of the board service may open in its
    // life; a connection serves one board at a time, so a client needs one.
    static constexpr uint32_t kMaxBoardsPerConnection = 16;

    // A message longer than this closes its connection unread.
    uint32_t maxMessageBytes = 16u * 1024u * 1024u;
    // Longest wait for the next message of a connection; 0 waits forever.
    int32_t idleTimeoutMs = 60 * 60 * 1000;
    // Longest silence within a message, and for a reply to be taken; 0 none.
    int32_t messageTimeoutMs = 30 * 1000;
    // Clients served at once per listening service; further ones are closed.
    int32_t maxConnections = 512;
    // Dotted IPv4 address the listeners bind to; empty: every local address.
    std::string bindAddress;
};
