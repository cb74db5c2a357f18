#include "CSignalGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ChannelSelection.h"

namespace tq8 {

CSignalGenerator::CSignalGenerator()
{
    // Distinct tones per channel, so a user can tell the traces apart.
    const double freqs[4] = {10.0, 25.0, 40.0, 55.0};
    for (size_t c = 0; c < 4; ++c)
        m_signals[c].frequencyMHz = freqs[c];
}

void CSignalGenerator::SetSignal(int channel, const ChannelSignal& signal)
{
    m_signals[static_cast<size_t>(channel & 3)] = signal;
}

const ChannelSignal& CSignalGenerator::Signal(int channel) const
{
    return m_signals[static_cast<size_t>(channel & 3)];
}

std::optional<double> CSignalGenerator::CrossingPhase(int channel, double center, int level, int direction) const
{
    const ChannelSignal& s = Signal(channel);
    if (!(s.amplitude > 0.0) || !(s.frequencyMHz > 0.0))
        return std::nullopt;
    double x = (level - center) / s.amplitude;
    if (x <= -1.0 || x >= 1.0)
        return std::nullopt;
    double rising = std::asin(x);
    return direction == 0 ? rising : std::numbers::pi - rising;
}

double CSignalGenerator::HarmonicAmplitude(int channel) const
{
    const ChannelSignal& s = m_signals[static_cast<size_t>(channel)];
    return s.harmonicsDbc > -200.0 ? s.amplitude * std::pow(10.0, s.harmonicsDbc / 20.0) : 0.0;
}

namespace {
// Frames are rendered in blocks; inside a block kLanes independent phase
// rotators advance kLanes frames per step, a loop the compiler vectorises.
// Each block starts again from an exact sine, so rounding never accumulates.
constexpr uint32_t kLanes = 16;
constexpr uint32_t kBlock = 2048;

struct ChannelPlan {
    float center = 0, amplitude = 0, harmonic = 0, noise = 0;
    double cyclesPerFrame = 0; // tone cycles per frame
    double phaseAtTrigger = 0;
    std::array<double, kLanes> laneSin{}, laneCos{}; // rotation by j frames
    float stepSin = 0, stepCos = 0;                  // rotation by kLanes frames
};

// Noise comes from a table of Gaussian draws read from a place that depends
// on the block's position and the run's key; the table holds one block more
// than its length so a block reads it straight through.
constexpr uint32_t kNoiseEntries = 1u << 16;

const std::vector<float>& NoiseTable()
{
    static const std::vector<float> table = [] {
        std::vector<float> t(kNoiseEntries + kBlock);
        SimRng rng(0x5EED5EEDull);
        for (uint32_t i = 0; i < kNoiseEntries; i += 2) {
            // Box-Muller: two unit-variance draws from two uniforms.
            double r = std::sqrt(-2.0 * std::log(1.0 - rng.Uniform()));
            double a = 2.0 * std::numbers::pi * rng.Uniform();
            t[i] = static_cast<float>(r * std::cos(a));
            t[i + 1] = static_cast<float>(r * std::sin(a));
        }
        std::copy_n(t.begin(), kBlock, t.begin() + kNoiseEntries);
        return t;
    }();
    return table;
}

uint32_t NoiseOffset(uint64_t index, uint64_t key)
{
    uint64_t x = index ^ key;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>((x ^ (x >> 31)) & (kNoiseEntries - 1));
}

// A level the vector loop can hold: finite and far inside the int range.
float Level(double value)
{
    return std::isfinite(value) ? static_cast<float>(std::clamp(value, -1e6, 1e6)) : 0.0f;
}

// Not under ThreadSanitizer: the loader runs clone resolvers before its runtime is up.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
// Wider vectors where the processor has them, chosen once at load time.
#define TQ8_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define TQ8_VECTOR_CLONES
#endif

// One block of one channel: n frames from fromTrigger on, as 8-bit codes.
TQ8_VECTOR_CLONES void RenderBlock(const ChannelPlan& p, double fromTrigger, uint32_t n, const float* noise,
                                   uint8_t* out)
{
    double cycles = p.cyclesPerFrame * fromTrigger;
    double base = p.phaseAtTrigger + 2.0 * std::numbers::pi * (cycles - std::floor(cycles));
    const double sb = std::sin(base), cb = std::cos(base);
    alignas(64) float s[kBlock], c[kBlock];
    for (uint32_t j = 0; j < kLanes; ++j) {
        s[j] = static_cast<float>(sb * p.laneCos[j] + cb * p.laneSin[j]);
        c[j] = static_cast<float>(cb * p.laneCos[j] - sb * p.laneSin[j]);
    }
    const float rs = p.stepSin, rc = p.stepCos;
    for (uint32_t i = kLanes; i < n; ++i) {
        s[i] = s[i - kLanes] * rc + c[i - kLanes] * rs;
        c[i] = c[i - kLanes] * rc - s[i - kLanes] * rs;
    }
    for (uint32_t i = 0; i < n; ++i) {
        const float sv = s[i];
        // Tone plus sin 2x + sin 3x, written with sin x and cos x:
        // sin x (A + H (2 cos x + 3 - 4 sin^2 x)).
        float v = p.center + sv * (p.amplitude + p.harmonic * (2.0f * c[i] + 3.0f - 4.0f * sv * sv));
        v += p.noise * noise[i];
        // Round half up, then clip to 0..255 (truncation only differs from
        // rounding down below zero, which clips anyway).
        out[i] = static_cast<uint8_t>(std::clamp(static_cast<int32_t>(v + 0.5f), 0, 255));
    }
}

#if defined(__SSE2__)
// Stores past the caches skip the read for ownership of each line: a block
// that goes on to a file or another thread is not read back here.
template <bool Stream> void Store(uint8_t* at, __m128i v)
{
    if constexpr (Stream)
        _mm_stream_si128(reinterpret_cast<__m128i*>(at), v);
    else
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
}

// Byte unpacking interleaves 16 frames per step.
template <bool Stream>
uint32_t InterleaveWide(const std::array<std::array<uint8_t, kBlock>, 4>& blocks, int count, uint32_t n,
                        uint8_t* dst)
{
    const auto load = [&](size_t k, uint32_t i) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks[k].data() + i));
    };
    const auto store = [&](uint32_t at, __m128i v) { Store<Stream>(dst + at, v); };
    uint32_t i = 0;
    if (count == 1 && Stream) {
        for (; i + 16 <= n; i += 16)
            store(i, load(0, i));
    } else if (count == 2) {
        for (; i + 16 <= n; i += 16) {
            const __m128i a = load(0, i), b = load(1, i);
            store(2 * i, _mm_unpacklo_epi8(a, b));
            store(2 * i + 16, _mm_unpackhi_epi8(a, b));
        }
    } else if (count == 4) {
        for (; i + 16 <= n; i += 16) {
            const __m128i a = load(0, i), b = load(1, i), c = load(2, i), d = load(3, i);
            const __m128i abLo = _mm_unpacklo_epi8(a, b), abHi = _mm_unpackhi_epi8(a, b);
            const __m128i cdLo = _mm_unpacklo_epi8(c, d), cdHi = _mm_unpackhi_epi8(c, d);
            store(4 * i, _mm_unpacklo_epi16(abLo, cdLo));
            store(4 * i + 16, _mm_unpackhi_epi16(abLo, cdLo));
            store(4 * i + 32, _mm_unpacklo_epi16(abHi, cdHi));
            store(4 * i + 48, _mm_unpackhi_epi16(abHi, cdHi));
        }
    }
    return i;
}

// Streaming needs 16-byte aligned destinations.
uint32_t InterleaveWide(const std::array<std::array<uint8_t, kBlock>, 4>& blocks, int count, uint32_t n,
                        uint8_t* dst, bool stream)
{
    if (stream && reinterpret_cast<uintptr_t>(dst) % 16 == 0)
        return InterleaveWide<true>(blocks, count, n, dst);
    return InterleaveWide<false>(blocks, count, n, dst);
}

void FenceStreamedStores()
{
    _mm_sfence();
}
#else
uint32_t InterleaveWide(const std::array<std::array<uint8_t, kBlock>, 4>&, int, uint32_t, uint8_t*, bool)
{
    return 0;
}

void FenceStreamedStores() {}
#endif

void Interleave(const std::array<std::array<uint8_t, kBlock>, 4>& blocks, int count, uint32_t n, uint8_t* dst,
                bool stream)
{
    const uint32_t wide = InterleaveWide(blocks, count, n, dst, stream);
    if (count == 1) {
        std::copy(blocks[0].data() + wide, blocks[0].data() + n, dst + wide);
        return;
    }
    const auto stride = static_cast<uint32_t>(count);
    for (uint32_t i = wide; i < n; ++i)
        for (uint32_t k = 0; k < stride; ++k)
            dst[i * stride + k] = blocks[k][i];
}
} // namespace

void CSignalGenerator::Render(const RenderSetup& setup, uint64_t firstFrame, uint32_t frames, uint8_t* dst,
                              SimRng& rng, bool bypassCaches) const
{
    const int count = ChannelCount(setup.selection);
    if (count == 0 || !(setup.rateMHz > 0.0))
        return;
    const auto stride = static_cast<uint32_t>(count);
    std::array<ChannelPlan, 4> plans;
    for (int k = 0; k < count; ++k) {
        const auto c = static_cast<size_t>(PhysicalChannel(setup.selection, k));
        const ChannelSignal& s = m_signals[c];
        ChannelPlan& p = plans[static_cast<size_t>(k)];
        p.center = Level(setup.center[c]);
        p.amplitude = Level(s.amplitude);
        p.harmonic = Level(HarmonicAmplitude(static_cast<int>(c)));
        p.noise = s.noise > 0.0 ? Level(s.noise) : 0.0f;
        const double cycles = s.frequencyMHz / setup.rateMHz;
        p.cyclesPerFrame = std::isfinite(cycles) ? cycles : 0.0;
        p.phaseAtTrigger = std::isfinite(setup.phaseAtTrigger[c]) ? setup.phaseAtTrigger[c] : 0.0;
        const double step = 2.0 * std::numbers::pi * p.cyclesPerFrame;
        for (uint32_t j = 0; j < kLanes; ++j) {
            p.laneSin[j] = std::sin(step * j);
            p.laneCos[j] = std::cos(step * j);
        }
        p.stepSin = static_cast<float>(std::sin(step * kLanes));
        p.stepCos = static_cast<float>(std::cos(step * kLanes));
    }
    const uint64_t key = rng.Next();
    const float* noise = NoiseTable().data();
    std::array<std::array<uint8_t, kBlock>, 4> blocks;
    for (uint32_t done = 0; done < frames;) {
        const uint64_t frame = firstFrame + done;
        uint64_t local = frame;
        uint32_t n = std::min(kBlock, frames - done);
        if (setup.framesPerSegment != 0) {
            // The tone starts again at every segment's trigger.
            local = frame % setup.framesPerSegment;
            n = static_cast<uint32_t>(std::min<uint64_t>(n, setup.framesPerSegment - local));
        }
        const double fromTrigger = static_cast<double>(local) - setup.triggerFrame;
        for (size_t k = 0; k < static_cast<size_t>(count); ++k) {
            const float* draws = noise + NoiseOffset(frame * stride + k, key);
            RenderBlock(plans[k], fromTrigger, n, draws, blocks[k].data());
        }
        Interleave(blocks, count, n, dst + static_cast<size_t>(done) * stride, bypassCaches);
        done += n;
    }
    // Streamed stores are weakly ordered: complete them before the caller
    // hands the block on.
    if (bypassCaches)
        FenceStreamedStores();
}

void CSignalGenerator::RenderCounting(int selection, uint64_t firstFrame, uint32_t frames, uint8_t* dst)
{
    const int count = ChannelCount(selection);
    std::array<uint8_t, 4> lead{};
    for (int k = 0; k < count; ++k)
        lead[static_cast<size_t>(k)] = static_cast<uint8_t>(64 * PhysicalChannel(selection, k));
    const auto stride = static_cast<size_t>(count);
    for (uint32_t f = 0; f < frames; ++f) {
        const auto n = static_cast<uint8_t>(firstFrame + f);
        for (size_t k = 0; k < stride; ++k)
            dst[f * stride + k] = static_cast<uint8_t>(n + lead[k]);
    }
}

} // namespace tq8
