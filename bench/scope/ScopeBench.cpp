// The plot control's drawing, each figure next to its yardstick in the same run:
// - span-mode decimation of a 2^24-frame page into 1,600 columns by the
//   plotters alone (data already in the sample buffer), by the per-frame
//   reference algorithm, and a plain vectorised min/max scan of the buffer;
// - paint times of a 1,600 x 600 control from a buffer and a board source,
//   and of an overlay-only repaint with a selection;
// - heap allocations of a steady paint, counted by a replaced operator new.
#include "CChanSrcBrd.h"
#include "CChanSrcSimple.h"
#include "CComBSTR.h"
#include "CComObject.h"
#include "CScopeCtrl.h"
#include "GdiDraw.h"
#include "SafeArray.h"
#include "TQ8Sim.h"
#include "TQ8_64.h"
#include "TracePlot.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

// ---- allocation count ----

namespace {
std::atomic<uint64_t> g_allocations{0};
std::atomic<bool> g_counting{false};

void* Allocate(std::size_t size)
{
    if (g_counting.load(std::memory_order_relaxed))
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}
} // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

template <class F>
uint64_t CountAllocations(F&& f)
{
    const uint64_t before = g_allocations.load();
    g_counting = true;
    f();
    g_counting = false;
    return g_allocations.load() - before;
}

// ---- span decimation ----

constexpr uint32_t kFrames = 1u << 24;
constexpr int kColumns = 1600;

class NullCanvas : public TraceCanvas {
public:
    void SelectPen(const QPen&) override {}
    void SelectBrush(const QBrush&) override {}
    void MoveTo(int32_t x, int32_t y) override { sum += x + y; }
    void LineTo(int32_t x, int32_t y) override { sum += x ^ y; }
    void SetPixel(int32_t x, int32_t y, QRgb) override { sum += x - y; }
    void Ellipse(const PixRect&) override {}
    void Pie(const PixRect&, QPoint, QPoint) override {}
    int64_t sum = 0;
};

template <class T>
std::vector<T> Wave(uint32_t channels)
{
    std::vector<T> v(size_t(kFrames) * channels);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = static_cast<T>((i / channels) % 509 + (i * 2654435761u >> 28) + 17 * (i % channels));
    return v;
}

template <class T>
void PlotPage(const std::vector<T>& data, uint32_t channels, TraceCanvas& canvas, bool reference, SpanScratch& scratch)
{
    std::vector<CLocalChanState> chans(channels);
    std::vector<CLocalChanState*> ptrs;
    for (auto& c : chans) {
        c.pen = gdidraw::CosmeticPen(Qt::green);
        ptrs.push_back(&c);
    }
    PlotRequest req;
    req.canvas = &canvas;
    req.channels = ptrs.data();
    req.channelCount = channels;
    req.sampleType = T(-1) < T(0) ? (sizeof(T) == 1 ? VT_I1 : VT_I2) : (sizeof(T) == 1 ? VT_UI1 : VT_UI2);
    req.xScale = double(kColumns) / double(kFrames - 1);
    req.yScale = 600.0 / 65535.0;
    req.plotHeight = 600;
    req.scratch = &scratch;
    for (uint32_t done = 0; done < kFrames; done += CScopeCtrl::kPlotChunkFrames) {
        req.samples = data.data() + size_t(done) * channels;
        req.frames = CScopeCtrl::kPlotChunkFrames;
        req.done = done;
        req.lastChunk = done + req.frames == kFrames;
        reference ? PlotTraceReference(req) : PlotTrace(req);
        req.firstChunk = false;
    }
}

template <class T>
void BM_SpanPlot(benchmark::State& state)
{
    const auto channels = static_cast<uint32_t>(state.range(0));
    const auto data = Wave<T>(channels);
    NullCanvas canvas;
    SpanScratch scratch;
    for (auto _ : state)
        PlotPage(data, channels, canvas, false, scratch);
    benchmark::DoNotOptimize(canvas.sum);
    state.SetItemsProcessed(int64_t(state.iterations()) * kFrames * channels);
}

template <class T>
void BM_SpanPlotReference(benchmark::State& state)
{
    const auto channels = static_cast<uint32_t>(state.range(0));
    const auto data = Wave<T>(channels);
    NullCanvas canvas;
    SpanScratch scratch;
    for (auto _ : state)
        PlotPage(data, channels, canvas, true, scratch);
    benchmark::DoNotOptimize(canvas.sum);
    state.SetItemsProcessed(int64_t(state.iterations()) * kFrames * channels);
}

// The yardstick: one minimum and maximum over the whole buffer.
template <class T>
void BM_PlainMinMaxScan(benchmark::State& state)
{
    const auto channels = static_cast<uint32_t>(state.range(0));
    const auto data = Wave<T>(channels);
    for (auto _ : state) {
        T lo = std::numeric_limits<T>::max(), hi = std::numeric_limits<T>::lowest();
        for (const T v : data) {
            lo = v < lo ? v : lo;
            hi = v > hi ? v : hi;
        }
        benchmark::DoNotOptimize(lo);
        benchmark::DoNotOptimize(hi);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFrames * channels);
}

#define SPAN_BENCH(T)                                                   \
    BENCHMARK(BM_SpanPlot<T>)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond); \
    BENCHMARK(BM_PlainMinMaxScan<T>)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond); \
    BENCHMARK(BM_SpanPlotReference<T>)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);
SPAN_BENCH(uint8_t)
SPAN_BENCH(int8_t)
SPAN_BENCH(int16_t)
SPAN_BENCH(uint16_t)
#undef SPAN_BENCH

// ---- paint ----

constexpr int kWidth = 1600, kHeight = 600;
constexpr uint32_t kMaxFrames = 1u << 20;

using ScopeObject = vlt::CComObject<CScopeCtrl>;

CComPtr<IScopeTQ8> NewScope()
{
    ScopeObject* p = nullptr;
    ScopeObject::CreateInstance(&p);
    CComPtr<IScopeTQ8> scope(static_cast<IScopeTQ8*>(p));
    scope->put_HScrollBar(ScrollbarNo);
    scope->put_MaxPageWidth(kMaxFrames);
    return scope;
}

// Four channels of 8-bit samples over kMaxFrames frames, in a caller buffer.
CComPtr<IScopeTQ8ChannelSource> BufferSource(SAFEARRAY** keep)
{
    *keep = SafeArrayCreateVector(VT_UI1, 0, 4 * kMaxFrames);
    auto* p = static_cast<uint8_t*>((*keep)->pvData);
    for (uint32_t i = 0; i < 4 * kMaxFrames; ++i)
        p[i] = static_cast<uint8_t>(128 + 100 * ((i / 4) % 2000 < 1000 ? 1 : -1) * ((i / 4) % 1000) / 1000 + i % 4 * 5);
    vlt::CComObject<CChanSrcSimple>* src = nullptr;
    vlt::CComObject<CChanSrcSimple>::CreateInstance(&src);
    CComPtr<IScopeTQ8ChannelSource> source(src);
    VARIANT v;
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = *keep;
    src->SetChannelSourceBuffer(CComBSTR(L"Buffer"), v, 0, 4, VARIANT_FALSE);
    return source;
}

// Board memory of a simulated board with four channels acquired.
CComPtr<IScopeTQ8ChannelSource> BoardSource(TQ8_HANDLE* board)
{
    TQ8Sim_Reset();
    TQ8Sim_SetTimeFactor(0.0);
    ConnectToVirtualDeviceTQ8(board, 1234, 1);
    SetActiveChannelsTQ8(*board, 5);
    AcquireToBoardRamTQ8(*board, 0, 4 * kMaxFrames, 0, 0);
    vlt::CComObject<CChanSrcBrd>* src = nullptr;
    vlt::CComObject<CChanSrcBrd>::CreateInstance(&src);
    CComPtr<IScopeTQ8ChannelSource> source(src);
    src->SetChanSrcTQ8(*board, 4 * kMaxFrames, CComBSTR(L"Board"));
    return source;
}

struct PaintSetup {
    explicit PaintSetup(bool board, uint32_t page)
    {
        source = board ? BoardSource(&handle) : BufferSource(&buffer);
        uint32_t id = 0;
        scope->AddChannelSource2(source, nullptr, 4, &id);
        scope->put_PageWidth(page);
    }
    ~PaintSetup()
    {
        scope.Release();
        source.Release();
        if (buffer)
            SafeArrayDestroy(buffer);
        if (handle)
            DisconnectFromDeviceTQ8(handle);
    }
    CScopeCtrl* ctrl() { return static_cast<CScopeCtrl*>(scope.p); }
    HRESULT FullPaint()
    {
        scope->RefreshScope();
        return ctrl()->OnDraw(&image, {0, 0, kWidth, kHeight});
    }

    CComPtr<IScopeTQ8> scope = NewScope();
    CComPtr<IScopeTQ8ChannelSource> source;
    SAFEARRAY* buffer = nullptr;
    TQ8_HANDLE handle = nullptr;
    QImage image{kWidth, kHeight, QImage::Format_RGB32};
};

void BM_FullPaint(benchmark::State& state)
{
    PaintSetup setup(state.range(0) != 0, static_cast<uint32_t>(state.range(1)));
    setup.FullPaint();
    for (auto _ : state)
        setup.FullPaint();
    state.SetLabel(state.range(0) ? "board source" : "buffer source");
}
BENCHMARK(BM_FullPaint)->ArgsProduct({{0, 1}, {32768, kMaxFrames}})->Unit(benchmark::kMillisecond);

void BM_OverlayRepaint(benchmark::State& state)
{
    PaintSetup setup(false, 32768);
    setup.scope->put_AllowDataSelection(VARIANT_TRUE);
    setup.ctrl()->StoreSelection(4000, 20000);
    setup.FullPaint();
    for (auto _ : state)
        setup.ctrl()->OnDraw(&setup.image, {0, 0, kWidth, kHeight});
}
BENCHMARK(BM_OverlayRepaint)->Unit(benchmark::kMillisecond);

// One steady paint: allocations of the trace plotting alone and of the whole paint.
void BM_SteadyPaintAllocations(benchmark::State& state)
{
    PaintSetup setup(state.range(0) != 0, static_cast<uint32_t>(state.range(1)));
    setup.FullPaint();
    QImage plot(kWidth - 8, kHeight - 8, QImage::Format_RGB32);
    QPainter painter(&plot);
    setup.ctrl()->PlotAllSources(painter);
    uint64_t plotting = 0, paint = 0;
    for (auto _ : state) {
        plotting = CountAllocations([&] { setup.ctrl()->PlotAllSources(painter); });
        paint = CountAllocations([&] { setup.FullPaint(); });
    }
    state.counters["plotting"] = double(plotting);
    state.counters["paint"] = double(paint);
    state.SetLabel(state.range(0) ? "board source" : "buffer source");
}
BENCHMARK(BM_SteadyPaintAllocations)->ArgsProduct({{0, 1}, {32768, kMaxFrames}})->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
