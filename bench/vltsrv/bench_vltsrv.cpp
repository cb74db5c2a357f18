// Calls per second and latency of a ping through the service host, for 1, 8,
// 64 and 200 loopback clients, next to a minimal blocking echo over the same
// framing: the ratio is the host's own overhead (parsing, dispatch, threads).
// BM_HostCall adds what a service's call costs on top: a method with three
// parameters read through the host's request routines.
// p99_us is over every call of every client; lost counts calls whose reply
// did not come or was not the expected one (the client then reconnects);
// cpu_us is the CPU time of the whole process per call, which the machine's
// other load disturbs less than the rate. A table of the ratios ends the run.
#include <algorithm>
#include <array>
#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <numeric>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "CVltServiceClass.h"
#include "CVltServiceMgr.h"
#include "IVltServiceClass.h"
#include "IVltServiceInstance.h"
#include "ServiceCallDispatch.h"
#include "ServiceErrors.h"
#include "ServiceProtocol.h"

namespace {

const std::string kPing = "<VltServiceRequest><Ping/></VltServiceRequest>";
const std::string kConnect = "<VltServiceRequest><Connect/></VltServiceRequest>";
const std::string kCall = "<VltServiceRequest><Call method=\"Read\"><Parameters><Offset>1024</Offset>"
                          "<Count>4096</Count><Flags>3</Flags></Parameters></Call></VltServiceRequest>";

class BenchInstance final : public IVltServiceInstance {
public:
    void Release() override { delete this; }
    int32_t HandleRequest(int socket, xmlDocPtr request, int32_t flags) override
    {
        static const ServiceMethodTable<BenchInstance> methods = {{"Read", &BenchInstance::OnRead}};
        return DispatchServiceCall(*this, methods, socket, request, flags);
    }
    static int32_t SendErrorReply(int socket, int32_t) { return SendResponse(socket, false, "failed") == 0 ? 1 : -1; }

private:
    int32_t OnRead(int socket, xmlDocPtr request)
    {
        std::string offset;
        std::string count;
        int32_t flags = 0;
        if (GetCallParameter(request, "Offset", offset) != 0 || GetCallParameter(request, "Count", count) != 0
            || GetCallParameterInt(request, "Flags", flags) != 0)
            return kSvcMalformedRequest;
        return SendFramedMessage(socket, kReplySuccess, sizeof kReplySuccess - 1) == 0 ? 1 : kSvcSocketError;
    }
};

class NullClass final : public IVltServiceClass {
public:
    void Release() override { delete this; }
    const char* GetName() override { return "Bench"; }
    const char* GetDescription() override { return "Benchmark service"; }
    uint16_t GetDefaultPort() override { return kVltNoPort; }
    int32_t CreateInstance(IVltServiceInstance** instance) override
    {
        *instance = new BenchInstance;
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
    std::atomic<bool> started{false};
    double startCpuUs = 0;
};

// CPU time of the whole process (clients and server), in microseconds.
double ProcessCpuUs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

RunLatencies& Latencies()
{
    static RunLatencies latencies;
    return latencies;
}

// Latencies of every call of one benchmark over all its repetitions, in bins
// 1 % wide: the p99 of the whole run, which a stall of the machine during
// one repetition moves much less than it moves that repetition's own p99.
class LatencyHistogram {
public:
    void Add(const std::vector<double>& microseconds)
    {
        for (double us : microseconds)
            ++m_bins[Bin(us)];
        m_count += microseconds.size();
    }
    double Percentile(double fraction) const
    {
        const auto wanted = static_cast<uint64_t>(fraction * static_cast<double>(m_count));
        uint64_t seen = 0;
        for (size_t bin = 0; bin < m_bins.size(); ++bin)
            if ((seen += m_bins[bin]) > wanted)
                return std::pow(kGrowth, static_cast<double>(bin) + 0.5);
        return 0;
    }

private:
    static constexpr double kGrowth = 1.01; // from 1 µs up, the last bin takes everything above 20 s
    static constexpr size_t kBins = 1690;
    static size_t Bin(double us)
    {
        const double bin = us > 1 ? std::log(us) / std::log(kGrowth) : 0;
        return std::min(kBins - 1, static_cast<size_t>(bin));
    }
    std::array<uint64_t, kBins> m_bins{};
    uint64_t m_count = 0;
};

// Per benchmark name and client count; written by the last client of each
// repetition, read by the report at the end.
std::mutex g_pooledMutex;
std::map<std::pair<std::string, int64_t>, LatencyHistogram> g_pooled;

double PooledP99(const std::string& name, int64_t clients)
{
    std::lock_guard hold(g_pooledMutex);
    const auto found = g_pooled.find({name, clients});
    return found == g_pooled.end() ? 0.0 : found->second.Percentile(0.99);
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

void RunCalls(benchmark::State& state, const char* name, uint16_t port, bool connectFirst,
              const std::string& request, const std::string& expected)
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
    RunLatencies& all = Latencies();
    bool first = true;
    for (auto _ : state) {
        // The first client in the timed loop starts the CPU count.
        if (first && !all.started.exchange(true))
            all.startCpuUs = ProcessCpuUs();
        first = false;
        const auto start = std::chrono::steady_clock::now();
        if (!Call(fd, request, reply) || reply != expected) {
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
    std::lock_guard hold(all.mutex);
    all.values.insert(all.values.end(), latencies.begin(), latencies.end());
    const bool last = ++all.finished == state.threads();
    state.counters["p50_us"] = last ? Percentile(all.values, 0.50) : 0.0;
    state.counters["p99_us"] = last ? Percentile(all.values, 0.99) : 0.0;
    // Process CPU per call: what serving a call costs, whatever else the
    // machine runs at the time.
    const double calls = static_cast<double>(state.iterations()) * state.threads();
    state.counters["cpu_us"] = last ? (ProcessCpuUs() - all.startCpuUs) / calls : 0.0;
    if (last) {
        std::lock_guard pool(g_pooledMutex);
        g_pooled[{name, state.threads()}].Add(all.values);
        all.values.clear();
        all.finished = 0;
        all.started = false;
    }
}

void BM_HostPing(benchmark::State& state)
{
    RunCalls(state, "BM_HostPing", HostPort(), true, kPing, kReplySuccess);
}

void BM_BareEcho(benchmark::State& state)
{
    RunCalls(state, "BM_BareEcho", EchoPort(), false, kPing, kPing);
}

void BM_HostCall(benchmark::State& state)
{
    RunCalls(state, "BM_HostCall", HostPort(), true, kCall, kReplySuccess);
}

} // namespace

// Each client count several times, host and echo runs in random order
// (see main), so that a change of the machine's load meets both alike. The
// console shows the aggregates: calls/s by its median, p99 by its worst
// repetition (max), lost by its sum over the repetitions; the table adds the
// p99 over every call of all repetitions.
constexpr int kRepetitions = 24;
constexpr double kSecondsPerRepetition = 0.5;

double Max(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

double Sum(const std::vector<double>& values)
{
    return std::accumulate(values.begin(), values.end(), 0.0);
}

void Configure(benchmark::internal::Benchmark* bench)
{
    bench->UseRealTime()->MinTime(kSecondsPerRepetition)->Repetitions(kRepetitions)->DisplayAggregatesOnly(true);
    bench->ComputeStatistics("max", Max)->ComputeStatistics("sum", Sum);
}

BENCHMARK(BM_HostPing)->Threads(1)->Apply(Configure);
BENCHMARK(BM_BareEcho)->Threads(1)->Apply(Configure);
BENCHMARK(BM_HostPing)->Threads(8)->Apply(Configure);
BENCHMARK(BM_BareEcho)->Threads(8)->Apply(Configure);
BENCHMARK(BM_HostPing)->Threads(64)->Apply(Configure);
BENCHMARK(BM_BareEcho)->Threads(64)->Apply(Configure);
BENCHMARK(BM_HostPing)->Threads(200)->Apply(Configure);
BENCHMARK(BM_BareEcho)->Threads(200)->Apply(Configure);
BENCHMARK(BM_HostCall)->Threads(8)->Apply(Configure);
BENCHMARK(BM_HostCall)->Threads(64)->Apply(Configure);

namespace {

// The console output, then a table of host against echo per client count
// (pings only).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Color : OO_None) {}

    void ReportRuns(const std::vector<Run>& reports) override
    {
        ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports) {
            const std::string& name = run.run_name.function_name;
            if (run.run_type != Run::RT_Aggregate || (name != "BM_HostPing" && name != "BM_BareEcho"))
                continue;
            Side& side = m_rows[run.threads][name == "BM_HostPing" ? 0 : 1];
            if (run.aggregate_name == "median")
                side.callsPerSecond = Value(run, "calls/s");
            else if (run.aggregate_name == "max")
                side.worstP99 = Value(run, "p99_us");
            else if (run.aggregate_name == "sum")
                side.lost = Value(run, "lost");
        }
    }

    void Finalize() override
    {
        std::ostream& out = GetOutputStream();
        out << "\nclients  host calls/s  echo calls/s  ratio  p99 host/echo us (all calls)  (worst run)  lost host/echo\n";
        char line[200];
        for (auto& [clients, row] : m_rows) {
            row[0].p99 = PooledP99("BM_HostPing", clients);
            row[1].p99 = PooledP99("BM_BareEcho", clients);
            const double ratio = row[1].callsPerSecond > 0 ? row[0].callsPerSecond / row[1].callsPerSecond : 0.0;
            std::snprintf(line, sizeof line,
                          "%7lld  %12.1fk  %12.1fk  %4.0f %%  %12.0f / %-12.0f  %6.0f / %-6.0f  %.0f / %.0f\n",
                          static_cast<long long>(clients), row[0].callsPerSecond / 1e3, row[1].callsPerSecond / 1e3,
                          ratio * 100, row[0].p99, row[1].p99, row[0].worstP99, row[1].worstP99, row[0].lost,
                          row[1].lost);
            out << line;
        }
        ConsoleReporter::Finalize();
    }

private:
    struct Side {
        double callsPerSecond = 0;
        double p99 = 0;
        double worstP99 = 0;
        double lost = 0;
    };

    static double Value(const Run& run, const char* name)
    {
        const auto found = run.counters.find(name);
        return found == run.counters.end() ? 0.0 : found->second.value;
    }

    std::map<int64_t, std::array<Side, 2>> m_rows;
};

} // namespace

int main(int argc, char** argv)
{
    // Interleaving on by default; a later flag on the command line overrides it.
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    std::vector<char*> args(argv, argv + argc);
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
