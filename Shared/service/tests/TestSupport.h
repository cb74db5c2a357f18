#pragma once
// Helpers of the tests that speak the service protocol: loopback clients,
// frames, scratch files.
#include <cstdint>
#include <string>

namespace srvtest {

// A port on 127.0.0.1 that was free a moment ago (chosen by the system).
uint16_t FreePort();
// Holds a port for a listener of another process: a socket bound to it with
// SO_REUSEADDR but not listening, so that no other socket of this machine
// is given the port (as a client's or by a bind), while a listener that sets
// SO_REUSEADDR, as the service host does, can still bind it. The descriptor
// (or -1) is the caller's to close when the listener is done.
int ReservePort(uint16_t& port);
// A socket listening on 127.0.0.1 with the given queue length, on a port
// the system chose (in port), or -1.
int ListenLoopback(int backlog, uint16_t& port);
// Connected to 127.0.0.1:port, or -1.
int ConnectLoopback(uint16_t port);
// The same from another loopback address (127.0.0.2 ...), which the host
// sees as another peer; from null: the system's choice.
int ConnectLoopbackFrom(const char* from, uint16_t port);
// The 4-byte big-endian length, then the text.
std::string Frame(const std::string& text);
bool WriteAll(int fd, const std::string& bytes);
// One framed message; false when the peer closed or failed first.
bool ReadFrame(int fd, std::string& text);
// True when the peer has closed (reads to the end, discarding what comes).
bool PeerClosed(int fd);
// Sets a receive time-out on a test client so that a broken host fails the
// test instead of hanging it.
void SetClientTimeout(int fd, int seconds);

std::string ScratchDir(const std::string& name);
bool WriteTextFile(const std::string& path, const std::string& text);

// Request texts.
std::string ConnectRequest(const std::string& inner = "", const std::string& serviceAttr = "");
std::string CallRequest(const std::string& method, const std::string& parameters = "");
std::string EchoReply(const std::string& text, const std::string& service);
extern const char kPing[];
extern const char kDisconnect[];

int CountOpenFds();
int CountThreads();
// The process's resident memory (VmRSS) in KiB, or -1. It says little under
// AddressSanitizer, which keeps freed blocks in quarantine; its leak checker
// covers that build instead.
long ResidentKiB();
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
// The thread count to come back to: taken after one thread has been started
// and joined, since a sanitizer's runtime adds a helper thread of its own then.
int ThreadBaseline();

} // namespace srvtest
