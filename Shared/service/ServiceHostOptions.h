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
    // Longest wait for the next message of a connected client; 0 (the
    // default) waits forever, as the protocol has it.
    int32_t idleTimeoutMs = 0;
    // A new connection's connect message must have arrived whole this long
    // after the accept, or the connection is ended; 0 none.
    int32_t connectTimeoutMs = 30 * 1000;
    // A message, once its first byte has come, must arrive whole within this
    // (however it trickles); also the longest wait for a reply to be taken.
    // 0 none.
    int32_t messageTimeoutMs = 30 * 1000;
    // Clients served at once per listening service. When they are all
    // there, a client from an address that holds fewer than the address
    // that holds the most takes the place of that one's longest-idle
    // connection that holds no service's work (none of its services took a
    // call yet), so that another computer can connect; otherwise further
    // clients are closed.
    int32_t maxConnections = 512;
    // Of those, the most one peer address may hold; further ones from it
    // are closed.
    int32_t maxConnectionsPerPeer = 256;
    // Dotted IPv4 address the listeners bind to; empty: every local address.
    std::string bindAddress;
};
