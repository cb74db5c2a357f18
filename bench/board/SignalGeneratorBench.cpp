// Rendering the simulated inputs: four channels of tone, harmonics and noise,
// next to filling the same bytes, the floor any generator sits on.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "CSignalGenerator.h"

namespace {
constexpr uint32_t kFrames = 1u << 18;

void BM_RenderFourChannels(benchmark::State& state)
{
    tq8::CSignalGenerator gen;
    for (int c = 0; c < 4; ++c)
        gen.SetSignal(c, tq8::ChannelSignal{10.0 + 15 * c, 100, 2, 0, -60});
    tq8::RenderSetup setup;
    setup.selection = 0; // all four channels
    setup.center = {128, 128, 128, 128};
    std::vector<uint8_t> out(kFrames * 4);
    tq8::SimRng rng(1);
    uint64_t frame = 0;
    for (auto _ : state) {
        gen.Render(setup, frame, kFrames, out.data(), rng);
        frame += kFrames;
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kFrames * 4);
}

void BM_FillReference(benchmark::State& state)
{
    std::vector<uint8_t> out(kFrames * 4);
    int value = 0;
    for (auto _ : state) {
        std::memset(out.data(), ++value, out.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kFrames * 4);
}
} // namespace

BENCHMARK(BM_RenderFourChannels);
BENCHMARK(BM_FillReference);

BENCHMARK_MAIN();
