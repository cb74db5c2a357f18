#pragma once
// The client side of a service connection: a TCP socket to a server's
// service port, connected within a bounded time.
#include <cstdint>
#include <string>

// Why ConnectServiceSocket made no connection.
enum class ServiceConnectFailure {
    None,
    MalformedAddress, // digits and dots that are no address; nothing was looked up
    UnknownName,      // the name does not resolve to an IPv4 address
    NoConnection,     // no address took the connection; errno says why
};

// Text of digits and dots only that the system's resolver does not take as
// a numeric IPv4 address either ("192.168.1.300", "1.2.3.4.5"); the short
// forms it takes ("127.1" for 127.0.0.1) are addresses. Such text is never
// looked up as a host name. The connect dialogs, the device manager's
// server names and the connection itself all decide by this one rule.
bool IsMalformedNumericAddress(const std::string& server);

// A connected, blocking socket with TCP_NODELAY and both time-outs set to
// timeoutMs, or -1. failure, when given, says why; after NoConnection errno
// holds the connect's error (ECONNREFUSED, EHOSTUNREACH, ... and ETIMEDOUT
// when no answer came within timeoutMs).
int ConnectServiceSocket(const std::string& server, uint16_t port, int timeoutMs,
                         ServiceConnectFailure* failure = nullptr);
