// Remote ReadSampleRamBufTQ8 of 64 MiB against its floor: a bare server and
// client that send the same requests and replies (4-byte length, XML, the
// samples in base64 in chunks of the same size) and do nothing else.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <filesystem>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "Base64.h"
#include "RemoteTestHost.h"
#include "ServiceProtocol.h"
#include "TQ8Sim.h"
#include "TQ8_64.h"
#include "TestSupport.h"
#include "service/BoardWire.h"

namespace {

constexpr uint32_t kBytes = 64u << 20;
constexpr uint32_t kChunk = tq8wire::kReadChunkBytes;

struct RemoteBoard {
    RemoteBoard()
    {
        TQ8Sim_Reset();
        TQ8SIM_BOARD_DESC desc;
        TQ8Sim_DefaultBoardDesc(&desc, 4401);
        TQ8Sim_AddLocalBoard(&desc);
        const std::string root = srvtest::ScratchDir("remote-bench");
        std::filesystem::create_directories(root);
        host = std::make_unique<RemoteTestHost>(root);
        TQ8_REMOTE_CONN_INFO conn{};
        conn.size = sizeof conn;
        conn.port = host->Port();
        conn.server = L"127.0.0.1";
        ConnectToRemoteVirtualDeviceWTQ8(&handle, 4401, 1, &conn);
    }
    ~RemoteBoard()
    {
        DisconnectFromDeviceTQ8(handle);
        host.reset();
        TQ8Sim_Reset();
    }
    std::unique_ptr<RemoteTestHost> host;
    TQ8_HANDLE handle = nullptr;
};

bool ReadExact(int fd, char* p, size_t n)
{
    while (n > 0) {
        const ssize_t got = recv(fd, p, n, 0);
        if (got <= 0)
            return false;
        p += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

bool ReadFrame(int fd, std::string& text)
{
    uint32_t length = 0;
    if (!ReadExact(fd, reinterpret_cast<char*>(&length), 4))
        return false;
    text.resize(ntohl(length));
    return ReadExact(fd, text.data(), text.size());
}

// The floor's server: answers every request with one chunk of samples.
void FloorServer(int listenFd)
{
    const int fd = accept(listenFd, nullptr, nullptr);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::vector<uint8_t> samples(kChunk, 0x5A);
    std::string request, data;
    while (ReadFrame(fd, request)) {
        vlt::Base64Encode(samples.data(), samples.size(), data);
        SendFramedMessage(fd, "<VltServiceResponse><ReturnData><Result>0</Result><Data>" + data
                                  + "</Data></ReturnData></VltServiceResponse>");
    }
    close(fd);
}

void BM_RemoteRead64MiB(benchmark::State& state)
{
    RemoteBoard board;
    std::vector<uint8_t> buffer(kBytes);
    for (auto _ : state)
        if (ReadSampleRamBufTQ8(board.handle, 0, kBytes, buffer.data(), 0) != TQ8_OK)
            state.SkipWithError("read failed");
    state.SetBytesProcessed(int64_t(state.iterations()) * kBytes);
}
BENCHMARK(BM_RemoteRead64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FloorRead64MiB(benchmark::State& state)
{
    const int listenFd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(listenFd, reinterpret_cast<sockaddr*>(&address), size);
    listen(listenFd, 1);
    getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &size);
    std::thread server(FloorServer, listenFd);
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    connect(fd, reinterpret_cast<sockaddr*>(&address), size);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::vector<uint8_t> buffer(kBytes);
    std::string reply;
    for (auto _ : state) {
        for (uint32_t done = 0; done < kBytes; done += kChunk) {
            SendFramedMessage(fd, "<VltServiceRequest><Call method=\"TQ8_READ\"><Parameters><First>"
                                      + std::to_string(done) + "</First><Count>" + std::to_string(kChunk)
                                      + "</Count></Parameters></Call></VltServiceRequest>");
            ReadFrame(fd, reply);
            const size_t begin = reply.find("<Data>") + 6;
            const size_t end = reply.find("</Data>", begin);
            size_t written = 0;
            vlt::Base64Decode(std::string_view(reply).substr(begin, end - begin), buffer.data() + done, kChunk,
                              written);
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kBytes);
    close(fd);
    server.join();
    close(listenFd);
}
BENCHMARK(BM_FloorRead64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RemoteSetter(benchmark::State& state)
{
    RemoteBoard board;
    int32_t level = 0;
    for (auto _ : state)
        SetTriggerLevelATQ8(board.handle, (level++) & 0xFF);
}
BENCHMARK(BM_RemoteSetter)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_RemotePing(benchmark::State& state)
{
    RemoteBoard board;
    static const char ping[] = "<VltServiceRequest><Ping/></VltServiceRequest>";
    for (auto _ : state) {
        void* reply = nullptr;
        SendServiceRequestTQ8(board.handle, ping, sizeof ping - 1, &reply, 3000, 0);
        FreeServiceResponseTQ8(reply);
    }
}
BENCHMARK(BM_RemotePing)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
