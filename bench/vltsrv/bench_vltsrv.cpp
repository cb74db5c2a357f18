// Calls per second and latency of a ping through the service host, for 1, 8,
// 64 and 200 loopback clients, next to a minimal blocking echo over the same
// framing: the ratio is the host's own overhead (parsing, dispatch, threads).
// p99_us is over every call of every client; lost counts calls whose reply
// did not come or was not the expected one (the client then reconnects).
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "CVltServiceClass.h"
#include "CVltServiceMgr.h"
#include "IVltServiceClass.h"
#include "IVltServiceInstance.h"
#include "ServiceProtocol.h"

namespace {

const std::string kPing = "<VltServiceRequest><Ping/></VltServiceRequest>";
const std::string kConnect = "<VltServiceRequest><Connect/></VltServiceRequest>";

class NullInstance final : public IVltServiceInstance {
public:
    void Release() override { delete this; }
    int32_t HandleRequest(int, xmlDocPtr, int32_t) override { return 0; }
};

class NullClass final : public IVltServiceClass {
public:
    void Release() override { delete this; }
    const char* GetName() override { return "Bench"; }
    const char* GetDescription() override { return "Benchmark service"; }
    uint16_t GetDefaultPort() override { return kVltNoPort; }
    int32_t CreateInstance(IVltServiceInstance** instance) override
    {
        *instance = new NullInstance;
        return 0;
    }
};

uint16_t BoundPort(int fd)
{
    sockaddr_in address{};
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

uint16_t FreePort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const uint16_t port = BoundPort(fd);
    close(fd);
    return port;
}

int Connect(uint16_t port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

bool ReadFrame(int fd, std::string& text)
{
    uint32_t length = 0;
    if (ReceiveAll(fd, reinterpret_cast<char*>(&length), 4, 0) != 0)
        return false;
    text.resize(ntohl(length));
    return ReceiveAll(fd, text.data(), text.size(), 0) == 0;
}

bool Call(int fd, const std::string& request, std::string& reply)
{
    return SendFramedMessage(fd, request) == 0 && ReadFrame(fd, reply);
}

// The service host with one listening class on loopback, for the whole run.
uint16_t HostPort()
{
    static uint16_t port = [] {
        ServiceHostOptions options;
        options.bindAddress = "127.0.0.1";
        static CVltServiceMgr manager(options);
        manager.SetBuiltInServices({[] { return new NullClass; }});
        manager.LoadConfig("/nonexistent/VltSvcCfg.xml", false);
        const uint16_t chosen = FreePort();
        manager.FindClass(1)->SetPort(chosen);
        manager.FindClass(1)->StartListening();
        return chosen;
    }();
    return port;
}

// A bare blocking echo: one thread per connection sends each frame back.
uint16_t EchoPort()
{
    static uint16_t port = [] {
        int listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener, SOMAXCONN);
        std::thread([listener] {
            for (;;) {
                int fd = accept(listener, nullptr, nullptr);
                if (fd < 0)
                    continue;
                const int on = 1;
                setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                std::thread([fd] {
                    std::string text;
                    while (ReadFrame(fd, text) && SendFramedMessage(fd, text) == 0) {
                    }
                    close(fd);
                }).detach();
            }
        }).detach();
        return BoundPort(listener);
    }();
    return port;
}

double Percentile(std::vector<double>& values, double fraction)
{
    if (values.empty())
        return 0;
    const size_t at = std::min(values.size() - 1, static_cast<size_t>(fraction * static_cast<double>(values.size())));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(at), values.end());
    return values[at];
}

// Latencies of all clients of one run, merged as each client finishes; the
// last one to finish reports the percentiles.
struct RunLatencies {
    std::mutex mutex;
    std::vector<double> values;
    int finished = 0;
};

RunLatencies& Latencies()
{
    static RunLatencies latencies;
    return latencies;
}

int Open(uint16_t port, bool connectFirst)
{
    const int fd = Connect(port);
    std::string reply;
    if (fd >= 0 && connectFirst && !Call(fd, kConnect, reply)) {
        close(fd);
        return -1;
    }
    return fd;
}

void RunCalls(benchmark::State& state, uint16_t port, bool connectFirst, const std::string& expected)
{
    int fd = Open(port, connectFirst);
    if (fd < 0) {
        state.SkipWithError("cannot connect");
        return;
    }
    std::string reply;
    std::vector<double> latencies;
    latencies.reserve(1 << 16);
    int64_t lost = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!Call(fd, kPing, reply) || reply != expected) {
            ++lost;
            close(fd);
            fd = Open(port, connectFirst);
            if (fd < 0) {
                state.SkipWithError("cannot reconnect");
                break;
            }
            continue;
        }
        latencies.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    if (fd >= 0)
        close(fd);
    state.counters["calls/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["lost"] = static_cast<double>(lost);
    // Counters are summed over the clients: only the last one reports.
    RunLatencies& all = Latencies();
    std::lock_guard hold(all.mutex);
    all.values.insert(all.values.end(), latencies.begin(), latencies.end());
    const bool last = ++all.finished == state.threads();
    state.counters["p50_us"] = last ? Percentile(all.values, 0.50) : 0.0;
    state.counters["p99_us"] = last ? Percentile(all.values, 0.99) : 0.0;
    if (last) {
        all.values.clear();
        all.finished = 0;
    }
}

void BM_HostPing(benchmark::State& state)
{
    RunCalls(state, HostPort(), true, kReplySuccess);
}

void BM_BareEcho(benchmark::State& state)
{
    RunCalls(state, EchoPort(), false, kPing);
}

} // namespace

// Host and echo side by side for each client count, so that both of a pair
// meet the same load of the machine.
BENCHMARK(BM_HostPing)->Threads(1)->UseRealTime();
BENCHMARK(BM_BareEcho)->Threads(1)->UseRealTime();
BENCHMARK(BM_HostPing)->Threads(8)->UseRealTime();
BENCHMARK(BM_BareEcho)->Threads(8)->UseRealTime();
BENCHMARK(BM_HostPing)->Threads(64)->UseRealTime();
BENCHMARK(BM_BareEcho)->Threads(64)->UseRealTime();
BENCHMARK(BM_HostPing)->Threads(200)->UseRealTime();
BENCHMARK(BM_BareEcho)->Threads(200)->UseRealTime();

BENCHMARK_MAIN();
