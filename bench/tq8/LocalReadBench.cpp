// 256 MiB of board memory read by ReadSampleRamBufTQ8 from a local board
// (through the board driver), next to a bare IOCTL_TQ8_READ_SAMPLE_RAM read
// of the same bytes on the same card, the same read from a virtual board
// and a plain copy. The library's local read should reach at least 80 % of
// the bare driver read. The card's bus pacing is shrunk by the time factor,
// so what is measured is the software's own work.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "CUserProcess.h"
#include "DriverInterface.h"
#include "TQ8Sim.h"
#include "TQ8_64.h"

namespace {

constexpr uint32_t kTotal = 256u << 20;
constexpr uint32_t kPerRequest = 16u << 20; // below the driver's limit
constexpr uint32_t kLocalSerial = 77;
constexpr uint32_t kVirtualSerial = 1600;
constexpr uint32_t kReadMode = 7;

struct Boards {
    TQ8_HANDLE local = nullptr;
    TQ8_HANDLE virtualBoard = nullptr;
    kern::CUserProcess process;
    kern::CUserProcess::Handle bare = kern::CUserProcess::kInvalidHandle;
    bool ready = false;

    Boards()
    {
        TQ8Sim_SetTimeFactor(1e-6);
        TQ8SIM_BOARD_DESC desc{};
        TQ8Sim_DefaultBoardDesc(&desc, kLocalSerial);
        ready = TQ8Sim_AddLocalBoard(&desc) == TQ8_OK && ConnectToDeviceTQ8(&local, kLocalSerial) == TQ8_OK
                && ConnectToVirtualDeviceTQ8(&virtualBoard, kVirtualSerial, 1) == TQ8_OK;
        for (TQ8_HANDLE h : {local, virtualBoard})
            ready = ready && AcquireToBoardRamTQ8(h, 0, kTotal, 0, 0) == TQ8_OK;
        // A handle of another process on the same card, for the bare reads.
        ready = ready && process.Open(u"\\\\.\\TQ8_0", &bare) == kern::STATUS_SUCCESS;
    }

    bool BareRead(uint8_t* dst)
    {
        for (uint32_t first = 0; first < kTotal; first += kPerRequest) {
            wdm::TQ8_SAMPLE_RAM_REQUEST q{sizeof q, kReadMode, first, kPerRequest, 0, 0, {}};
            q.buffers[0] = reinterpret_cast<uint64_t>(dst + first);
            if (process.DeviceIoControl(bare, wdm::IOCTL_TQ8_READ_SAMPLE_RAM, &q, sizeof q, nullptr, 0, nullptr)
                != kern::STATUS_SUCCESS)
                return false;
        }
        return true;
    }
};

Boards& System()
{
    static Boards boards;
    return boards;
}

std::vector<uint8_t>& Destination()
{
    static std::vector<uint8_t> dst(kTotal);
    return dst;
}

template <class Read>
void Run(benchmark::State& state, Read&& read)
{
    if (!System().ready) {
        state.SkipWithError("boards could not be set up");
        return;
    }
    std::vector<uint8_t>& dst = Destination();
    for (auto _ : state) {
        if (!read(dst.data()))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kTotal);
}

void BM_LocalBoardLibraryRead(benchmark::State& state)
{
    Run(state, [](uint8_t* dst) { return ReadSampleRamBufTQ8(System().local, 0, kTotal, dst, 0) == TQ8_OK; });
}

void BM_BareDriverRead(benchmark::State& state)
{
    Run(state, [](uint8_t* dst) { return System().BareRead(dst); });
}

void BM_VirtualBoardRead(benchmark::State& state)
{
    Run(state, [](uint8_t* dst) { return ReadSampleRamBufTQ8(System().virtualBoard, 0, kTotal, dst, 0) == TQ8_OK; });
}

void BM_Memcpy(benchmark::State& state)
{
    static std::vector<uint8_t> src(kTotal, 0x5A);
    Run(state, [](uint8_t* dst) {
        std::memcpy(dst, src.data(), kTotal);
        return true;
    });
}

} // namespace

BENCHMARK(BM_LocalBoardLibraryRead)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_BareDriverRead)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_VirtualBoardRead)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
