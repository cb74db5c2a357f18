#pragma once
// The client side of a service connection: a TCP socket to a server's
// service port, connected within a bounded time.
#include <cstdint>
#include <string>

// Why ConnectServiceSocket made no connection.
enum class ServiceConnectFailure {
    None,
    MalformedAddress, // a numeric address that is none; nothing was looked up
    UnknownName,      // the name does not resolve to an IPv4 address
    NoConnection,     // no address took the connection; errno says why
};

// Text of digits and dots only that is no IPv4 address of four numbers
// from 0 to 255 ("192.168.1.300", "10.0.0"). Such text is never taken for
// a host name: the resolver would read "10.0.0" as 10.0.0.0.
bool IsMalformedNumericAddress(const std::string& server);

// A connected, blocking socket with TCP_NODELAY and both time-outs set to
// timeoutMs, or -1. failure, when given, says why; after NoConnection errno
// holds the connect's error (ECONNREFUSED, EHOSTUNREACH, ... and ETIMEDOUT
// when no answer came within timeoutMs).
int ConnectServiceSocket(const std::string& server, uint16_t port, int timeoutMs,
                         ServiceConnectFailure* failure = nullptr);
