// Reading board memory through the library against a plain copy of the same
// size: the simulated read should cost little more than the copy.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "TQ8Sim.h"
#include "TQ8_64.h"

namespace {
constexpr uint32_t kFilled = 1u << 24;

TQ8_HANDLE Board()
{
    static TQ8_HANDLE handle = [] {
        TQ8Sim_SetTimeFactor(0.001);
        TQ8_HANDLE h = nullptr;
        ConnectToVirtualDeviceTQ8(&h, 1600, 1);
        AcquireToBoardRamTQ8(h, 0, kFilled, 0, 0);
        return h;
    }();
    return handle;
}

void BM_ReadSampleRamBuf(benchmark::State& state)
{
    TQ8_HANDLE h = Board();
    const auto bytes = static_cast<uint32_t>(state.range(0));
    std::vector<uint8_t> dst(bytes);
    for (auto _ : state) {
        if (ReadSampleRamBufTQ8(h, 0, bytes, dst.data(), 0) != TQ8_OK)
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
}

void BM_Memcpy(benchmark::State& state)
{
    const auto bytes = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> src(bytes, 0x5A), dst(bytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), bytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}
} // namespace

BENCHMARK(BM_ReadSampleRamBuf)->Arg(65536)->Arg(1 << 20)->Arg(kFilled);
BENCHMARK(BM_Memcpy)->Arg(65536)->Arg(1 << 20)->Arg(kFilled);

BENCHMARK_MAIN();
