#pragma once
// The client side of a service connection: a TCP socket to a server's
// service port, connected within a bounded time.
#include <cstdint>
#include <string>

// A connected, blocking socket with TCP_NODELAY and both time-outs set to
// timeoutMs, or -1 when the name does not resolve or no address answers in
// time.
int ConnectServiceSocket(const std::string& server, uint16_t port, int timeoutMs);
