// Recording through the library (acquire, transfer, write, flush) against a
// plain sequential write of the same number of bytes to the same folder,
// with the same I/O and flushed the same way. The board runs as fast as it
// can (time factor 0); generating the simulated signal still costs, and
// BM_AcquireAndRead shows that share alone. Two references: one block
// rewritten from the caches (the disk's best case), and a ring of freshly
// filled blocks written while the next are filled, which is the least a
// recording has to do; compare the recording with the ring.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <span>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "TQ8Sim.h"
#include "TQ8_64.h"

namespace {
constexpr uint32_t kAcqSamples = 1u << 20;
// The recording's ring by default: 16 MiB of board memory in transfers of
// one acquisition block each.
constexpr size_t kRingBlocks = 16;

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

// bytes_per_second counts samples; the counter "written" counts the bytes
// of the files, which for text is several per sample.
void Record(benchmark::State& state, uint32_t fileFlags)
{
    const auto samples = static_cast<uint64_t>(state.range(0));
    const std::string path = (Folder() / "recording.rd8").string();
    double written = 0;
    for (auto _ : state) {
        if (!RecordOnce(Board(), path, samples, fileFlags))
            state.SkipWithError("recording failed");
        std::error_code ec;
        const auto size = std::filesystem::file_size(path, ec);
        written += ec ? 0.0 : static_cast<double>(size);
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(samples));
    state.counters["written"] = benchmark::Counter(written, benchmark::Counter::kIsRate, benchmark::Counter::kIs1024);
}

// Binary files, written directly (O_DIRECT) where the file system allows.
void BM_Recording(benchmark::State& state)
{
    Record(state, 0);
}

// Decimal text, one sample a line.
void BM_RecordingText(benchmark::State& state)
{
    Record(state, TQ8_FWP_TEXT);
}

// Hexadecimal text, one sample a line.
void BM_RecordingHex(benchmark::State& state)
{
    Record(state, TQ8_FWP_HEX);
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

// Blocks in one mapping on huge pages where the system has them, as the
// recording's ring is, so the references pin pages as cheaply as it does.
struct AlignedBlocks {
    std::unique_ptr<uint8_t, decltype(&std::free)> owner{nullptr, &std::free};
    std::vector<std::span<uint8_t>> blocks;
};

bool Allocate(AlignedBlocks& ring, size_t count, size_t size)
{
    constexpr size_t kHugePage = size_t(2) << 20;
    const size_t total = (count * size + kHugePage - 1) / kHugePage * kHugePage;
    void* p = nullptr;
    if (::posix_memalign(&p, kHugePage, total) != 0)
        return false;
    ::madvise(p, total, MADV_HUGEPAGE); // a hint only
    ring.owner.reset(static_cast<uint8_t*>(p));
    std::fill_n(ring.owner.get(), total, uint8_t(0x5A));
    for (size_t k = 0; k < count; ++k)
        ring.blocks.emplace_back(ring.owner.get() + k * size, size);
    return true;
}

// The recording's file: O_DIRECT where the file system allows it.
int OpenLikeRecording(const std::string& path)
{
    const int mode = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
    const int fd = ::open(path.c_str(), mode | O_DIRECT, 0666);
    return fd >= 0 ? fd : ::open(path.c_str(), mode, 0666);
}

bool CloseLikeRecording(int fd, bool ok)
{
    ok = ok && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

// The same bytes with the recording's I/O, rewriting one block that stays
// in the caches: the disk's best case.
void BM_RawSequentialWrite(benchmark::State& state)
{
    const auto bytes = static_cast<size_t>(state.range(0));
    const std::string path = (Folder() / "raw.bin").string();
    AlignedBlocks one;
    if (!Allocate(one, 1, kAcqSamples)) {
        state.SkipWithError("no memory");
        return;
    }
    const std::span<uint8_t> block = one.blocks[0];
    for (auto _ : state) {
        const int fd = OpenLikeRecording(path);
        bool ok = fd >= 0;
        for (size_t done = 0; ok && done < bytes; done += block.size()) {
            const size_t n = std::min(block.size(), bytes - done);
            ok = ::write(fd, block.data(), n) == static_cast<ssize_t>(n);
        }
        if (fd < 0 || !CloseLikeRecording(fd, ok))
            state.SkipWithError("write failed");
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

// What a recording has to write at the least: every block freshly filled
// (here by the cheapest producer, a second thread setting its bytes) while
// the blocks before it are written, through a ring of the recording's
// default size and transfer blocks, with the same file flags and fsync.
void BM_RawRingWrite(benchmark::State& state)
{
    const auto bytes = static_cast<size_t>(state.range(0));
    const std::string path = (Folder() / "ring.bin").string();
    AlignedBlocks owner;
    if (!Allocate(owner, kRingBlocks, kAcqSamples)) {
        state.SkipWithError("no memory");
        return;
    }
    const std::vector<std::span<uint8_t>>& ring = owner.blocks;
    const size_t blocks = (bytes + kAcqSamples - 1) / kAcqSamples;
    for (auto _ : state) {
        std::mutex mutex;
        std::condition_variable cv;
        size_t filled = 0;
        size_t written = 0;
        bool failed = false;
        std::thread producer([&] {
            for (size_t k = 0; k < blocks; ++k) {
                {
                    std::unique_lock lock(mutex);
                    cv.wait(lock, [&] { return failed || k - written < ring.size(); });
                    if (failed)
                        return;
                }
                std::span<uint8_t> b = ring[k % ring.size()];
                std::fill(b.begin(), b.end(), static_cast<uint8_t>(k));
                {
                    std::lock_guard lock(mutex);
                    ++filled;
                }
                cv.notify_all();
            }
        });
        const int fd = OpenLikeRecording(path);
        bool ok = fd >= 0;
        for (size_t k = 0; ok && k < blocks; ++k) {
            {
                std::unique_lock lock(mutex);
                cv.wait(lock, [&] { return filled > k; });
            }
            const size_t n = std::min<size_t>(kAcqSamples, bytes - k * kAcqSamples);
            ok = ::write(fd, ring[k % ring.size()].data(), n) == static_cast<ssize_t>(n);
            {
                std::lock_guard lock(mutex);
                ++written;
                failed = !ok;
            }
            cv.notify_all();
        }
        producer.join();
        if (fd < 0 || !CloseLikeRecording(fd, ok))
            state.SkipWithError("write failed");
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}
} // namespace

BENCHMARK(BM_Recording)->Arg(64 << 20)->Arg(1 << 30)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecordingText)->Arg(64 << 20)->Arg(1 << 30)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecordingHex)->Arg(64 << 20)->Arg(1 << 30)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AcquireAndRead)->Arg(64 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawSequentialWrite)->Arg(64 << 20)->Arg(1 << 30)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawRingWrite)->Arg(64 << 20)->Arg(1 << 30)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(Folder(), ec);
    return 0;
}
