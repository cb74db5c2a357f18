// Reading a large raw sample file through the file channel source, in the
// control's chunks, against fread of the same bytes in the same chunk size.
// Both walk the whole file from the page cache, so the difference is the
// source's own cost per chunk.
#include "CChanSrcSimpleFile.h"
#include "CComBSTR.h"
#include "CComObject.h"
#include "CComPtr.h"
#include "SafeArray.h"
#include "TextConv.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>
#include <unistd.h>

namespace {

constexpr uint32_t kChannels = 4;
constexpr uint32_t kHeader = 512;
constexpr uint64_t kFrames = uint64_t(1) << 23; // 64 MiB of 16-bit samples
constexpr uint64_t kFrameBytes = kChannels * sizeof(int16_t);

// The file, written once per run and removed at exit.
class BenchFile {
public:
    BenchFile()
    {
        m_path = std::filesystem::temp_directory_path() / ("chansrc-bench-" + std::to_string(getpid()) + ".bin");
        std::ofstream f(m_path, std::ios::binary | std::ios::trunc);
        std::vector<char> block(1 << 20);
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>(i * 31 + 7);
        f.write(block.data(), kHeader);
        for (uint64_t left = kFrames * kFrameBytes; left > 0;) {
            const auto n = static_cast<std::streamsize>(std::min<uint64_t>(left, block.size()));
            f.write(block.data(), n);
            left -= static_cast<uint64_t>(n);
        }
    }
    ~BenchFile() { std::filesystem::remove(m_path); }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

const BenchFile& File()
{
    static BenchFile file;
    return file;
}

void BM_FileSourceChunks(benchmark::State& state)
{
    const auto chunk = static_cast<uint32_t>(state.range(0));
    vlt::CComObject<CChanSrcSimpleFile>* raw = nullptr;
    vlt::CComObject<CChanSrcSimpleFile>::CreateInstance(&raw);
    CComPtr<IScopeTQ8ChannelSource> src(raw);
    CComBSTR path(vlt::Utf8ToWide(File().Path().string()));
    if (raw->SetChannelSourceFile(nullptr, path, VT_I2, kChannels, kHeader) != S_OK) {
        state.SkipWithError("open failed");
        return;
    }
    SAFEARRAY* buffer = SafeArrayCreateVector(VT_I2, 0, chunk * kChannels);
    VARIANT v;
    v.vt = VT_ARRAY | VT_I2;
    v.parray = buffer;
    for (auto _ : state) {
        uint64_t offset = 0;
        uint32_t copied = 0;
        do {
            if (FAILED(src->GetChannelData(0, offset, chunk, &v, &copied))) {
                state.SkipWithError("read failed");
                break;
            }
            benchmark::DoNotOptimize(buffer->pvData);
            offset += copied;
        } while (copied != 0);
    }
    SafeArrayDestroy(buffer);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrames * kFrameBytes));
}

void BM_PlainFread(benchmark::State& state)
{
    const auto chunkBytes = static_cast<size_t>(state.range(0) * kFrameBytes);
    std::vector<char> buffer(chunkBytes);
    for (auto _ : state) {
        std::FILE* f = std::fopen(File().Path().c_str(), "rb");
        if (!f || std::fseek(f, kHeader, SEEK_SET) != 0) {
            state.SkipWithError("open failed");
            break;
        }
        while (std::fread(buffer.data(), 1, chunkBytes, f) != 0)
            benchmark::DoNotOptimize(buffer.data());
        std::fclose(f);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrames * kFrameBytes));
}

BENCHMARK(BM_FileSourceChunks)->Arg(8192)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainFread)->Arg(8192)->Arg(65536)->Unit(benchmark::kMillisecond);

} // namespace
