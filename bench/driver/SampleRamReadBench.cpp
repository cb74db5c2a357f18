// 256 MiB of sample RAM read through IOCTL_TQ8_READ_SAMPLE_RAM, into one
// buffer and split four ways, next to a plain copy and a plain four-way
// split of the same bytes. The card's bus pacing is shrunk by the time
// factor, so what is measured is the driver's own work: the DMA hand-over
// per 64 KiB chunk and the copy or split out of the utility buffer.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "CSimBus.h"
#include "CSimClock.h"
#include "CUserProcess.h"
#include "EventLog.h"
#include "TQ8Driver.h"

namespace {

constexpr uint32_t kTotal = 256u << 20;
constexpr uint32_t kPerRequest = 16u << 20; // below the request's limit

class CBenchSystem {
public:
    CBenchSystem() : m_source(kTotal)
    {
        kern::SimUseVirtualClock(true);
        kern::SimSetEventLogFile("");
        tq8::CSimClock::SetFactor(1e-6);
        size_t count = 0;
        const kern::MessageTableEntry* table = DriverMessageTable(&count);
        m_bus = std::make_unique<kern::CSimBus>(kern::DriverImage{u"vlt_tq8_64", DriverEntry, {table, count}});
        kern::CardSpec card;
        card.desc.kind = tq8::BoardKind::Local;
        card.desc.serial = 77;
        size_t slot = 0;
        m_bus->Arrive(card, &slot);
        for (uint32_t i = 0; i < kTotal; ++i)
            m_source[i] = static_cast<uint8_t>(i * 2654435761u >> 24);
        m_bus->Card(slot).Board().WriteRam(0, m_source.data(), kTotal);
        m_process.Open(u"\\\\.\\TQ8_0", &m_handle);
    }

    const std::vector<uint8_t>& Source() const { return m_source; }

    // The whole memory, request by request.
    bool Read(std::vector<std::vector<uint8_t>>& out, bool split)
    {
        for (uint32_t first = 0; first < kTotal; first += kPerRequest) {
            TQ8_SAMPLE_RAM_REQUEST q{56, 7, first, kPerRequest, 0, 0, {}};
            for (size_t k = 0; k < out.size(); ++k)
                q.buffers[k] = reinterpret_cast<uint64_t>(out[k].data() + first / (split ? 4 : 1));
            if (split)
                q.flags |= TQ8_READ_SPLIT;
            if (m_process.DeviceIoControl(m_handle, IOCTL_TQ8_READ_SAMPLE_RAM, &q, sizeof q, nullptr, 0, nullptr) != 0)
                return false;
        }
        return true;
    }

private:
    std::vector<uint8_t> m_source;
    std::unique_ptr<kern::CSimBus> m_bus;
    kern::CUserProcess m_process;
    kern::CUserProcess::Handle m_handle = kern::CUserProcess::kInvalidHandle;
};

CBenchSystem& System()
{
    static CBenchSystem system;
    return system;
}

void Finish(benchmark::State& state)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kTotal);
}

void BM_ReadOneBuffer(benchmark::State& state)
{
    std::vector<std::vector<uint8_t>> out(1, std::vector<uint8_t>(kTotal));
    for (auto _ : state)
        if (!System().Read(out, false))
            state.SkipWithError("read failed");
    if (out[0] != System().Source())
        state.SkipWithError("bytes differ");
    Finish(state);
}

void BM_ReadSplitFour(benchmark::State& state)
{
    std::vector<std::vector<uint8_t>> out(4, std::vector<uint8_t>(kTotal / 4));
    for (auto _ : state)
        if (!System().Read(out, true))
            state.SkipWithError("read failed");
    if (out[3][10] != System().Source()[43])
        state.SkipWithError("bytes differ");
    Finish(state);
}

void BM_PlainCopy(benchmark::State& state)
{
    const std::vector<uint8_t>& source = System().Source();
    std::vector<uint8_t> out(kTotal);
    for (auto _ : state) {
        std::memcpy(out.data(), source.data(), kTotal);
        benchmark::ClobberMemory();
    }
    Finish(state);
}

void BM_PlainSplitFour(benchmark::State& state)
{
    const std::vector<uint8_t>& source = System().Source();
    std::vector<std::vector<uint8_t>> out(4, std::vector<uint8_t>(kTotal / 4));
    for (auto _ : state) {
        uint8_t* o[4] = {out[0].data(), out[1].data(), out[2].data(), out[3].data()};
        const uint8_t* s = source.data();
        for (uint32_t i = 0; i < kTotal / 4; ++i, s += 4)
            for (int j = 0; j < 4; ++j)
                o[j][i] = s[j];
        benchmark::ClobberMemory();
    }
    Finish(state);
}

} // namespace

BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadOneBuffer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainSplitFour)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadSplitFour)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
