// Recording through the library (acquire, transfer, write, flush) against a
// plain sequential write of the same number of bytes to the same folder,
// with the same I/O and flushed the same way. The board runs as fast as it
// can (time factor 0); generating the simulated signal still costs, and
// BM_AcquireAndRead shows that share alone.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <span>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "TQ8Sim.h"
#include "TQ8_64.h"

namespace {
constexpr uint32_t kAcqSamples = 1u << 20;

std::filesystem::path Folder()
{
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("tq8_record_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

TQ8_HANDLE Board()
{
    static TQ8_HANDLE handle = [] {
        TQ8Sim_SetTimeFactor(0.0);
        TQ8_HANDLE h = nullptr;
        ConnectToVirtualDeviceTQ8(&h, 1600, 1);
        return h;
    }();
    return handle;
}

bool RecordOnce(TQ8_HANDLE h, const std::string& path, uint64_t samples, uint32_t fileFlags)
{
    TQ8_FILE_WRITE_PARAMS fw{};
    fw.Fwp_ss = sizeof fw;
    fw.Fwp_path1 = path.c_str();
    fw.Fwp_flags = fileFlags;
    TQ8_REC_SESSION_PARAMS rp{};
    rp.Rsp_ss = sizeof rp;
    rp.Rsp_flags = TQ8_RSP_FLAGS_TO_HOST;
    rp.Rsp_samplesToRecord = samples;
    rp.Rsp_acqSamples = kAcqSamples;
    rp.Rsp_fileWrite = &fw;
    TQ8_REC_SESSION s = nullptr;
    if (CreateRecordingSessionTQ8(h, &rp, &s) != TQ8_OK)
        return false;
    bool ok = ArmRecordingSessionTQ8(s) == TQ8_OK;
    TQ8_REC_SESSION_PROGRESS p{};
    p.Rpr_ss = sizeof p;
    while (ok) {
        ok = GetRecordingSessionProgressTQ8(s, &p, 0) == TQ8_OK;
        FreeMemoryTQ8(p.Rpr_errorText);
        if (p.Rpr_status != TQ8_REC_STATUS_RUNNING)
            break;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ok = ok && p.Rpr_status == TQ8_REC_STATUS_COMPLETED && p.Rpr_samplesRecorded == samples;
    DeleteRecordingSessionTQ8(s);
    return ok;
}

void Record(benchmark::State& state, uint32_t fileFlags)
{
    const auto samples = static_cast<uint64_t>(state.range(0));
    const std::string path = (Folder() / "recording.rd8").string();
    for (auto _ : state)
        if (!RecordOnce(Board(), path, samples, fileFlags))
            state.SkipWithError("recording failed");
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(samples));
}

// Binary files, written directly (O_DIRECT) where the file system allows.
void BM_Recording(benchmark::State& state)
{
    Record(state, 0);
}

// Text output; bytes counted are the samples, not the text.
void BM_RecordingText(benchmark::State& state)
{
    Record(state, TQ8_FWP_TEXT);
}

// The board's share of a recording: generating and reading the samples,
// without any file.
void BM_AcquireAndRead(benchmark::State& state)
{
    const auto bytes = static_cast<uint32_t>(state.range(0));
    std::vector<uint8_t> block(kAcqSamples);
    for (auto _ : state) {
        for (uint32_t done = 0; done < bytes; done += kAcqSamples)
            if (AcquireToBoardRamTQ8(Board(), 0, kAcqSamples, 0, 0) != TQ8_OK
                || ReadSampleRamBufTQ8(Board(), 0, kAcqSamples, block.data(), 0) != TQ8_OK)
                state.SkipWithError("acquisition failed");
        benchmark::DoNotOptimize(block.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
}

// The same bytes with the recording's I/O: O_DIRECT from an aligned buffer
// where the file system allows it.
void BM_RawSequentialWrite(benchmark::State& state)
{
    const auto bytes = static_cast<size_t>(state.range(0));
    const std::string path = (Folder() / "raw.bin").string();
    void* aligned = nullptr;
    if (::posix_memalign(&aligned, 4096, kAcqSamples) != 0) {
        state.SkipWithError("no memory");
        return;
    }
    std::unique_ptr<uint8_t, decltype(&std::free)> owner(static_cast<uint8_t*>(aligned), &std::free);
    std::span<uint8_t> block(owner.get(), kAcqSamples);
    std::fill(block.begin(), block.end(), 0x5A);
    for (auto _ : state) {
        const int mode = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
        int fd = ::open(path.c_str(), mode | O_DIRECT, 0666);
        if (fd < 0)
            fd = ::open(path.c_str(), mode, 0666);
        bool ok = fd >= 0;
        for (size_t done = 0; ok && done < bytes; done += block.size()) {
            const size_t n = std::min(block.size(), bytes - done);
            ok = ::write(fd, block.data(), n) == static_cast<ssize_t>(n);
        }
        ok = ok && ::fsync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
        if (!ok)
            state.SkipWithError("write failed");
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}
} // namespace

BENCHMARK(BM_Recording)->Arg(64 << 20)->Arg(1 << 30)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecordingText)->Arg(64 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AcquireAndRead)->Arg(64 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawSequentialWrite)->Arg(64 << 20)->Arg(1 << 30)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(Folder(), ec);
    return 0;
}
