#include "TracePlot.h"

#include "OleColor.h"
#include "PixelMap.h"

#include <QColor>
#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

namespace {

template <class T>
bool IsMissing(T v)
{
    if constexpr (std::is_floating_point_v<T>)
        return std::isnan(v);
    else
        return false;
}

// One channel's drawing state for a chunk.
struct Trace {
    const PlotRequest& req;
    CLocalChanState& chan;
    QRgb colour;

    int32_t X(uint64_t frame) const { return pixelmap::Column(req.done + frame, req.xScale); }
    int32_t Y(double v) const { return pixelmap::Row(v, req.plotHeight, req.minValue, req.yScale); }
    PixRect Box(int32_t x, int32_t y) const
    {
        const int32_t r = req.radius;
        return {x - r, y - r, x + r + 1, y + r + 1};
    }
    // The finished column at chan.column: joined to the next sample (when
    // there is one), then its span, or one pixel when min and max share a row.
    void DrawColumn(const double* next) const
    {
        const int32_t x = chan.column;
        const int32_t yMin = Y(chan.columnMin), yMax = Y(chan.columnMax);
        if (next) {
            req.canvas->MoveTo(x, yMax);
            req.canvas->LineTo(x, Y(*next));
        }
        if (yMin == yMax) {
            req.canvas->SetPixel(x, yMin, colour);
        } else {
            req.canvas->MoveTo(x, yMin);
            req.canvas->LineTo(x, yMax);
        }
    }
    void StartColumn(int32_t column, double v) const
    {
        chan.column = column;
        chan.columnMin = chan.columnMax = v;
    }
    // One frame of span mode, as the per-frame algorithm takes it.
    void SpanFrame(uint32_t k, double v) const
    {
        const bool lastOfPage = req.lastChunk && k + 1 == req.frames;
        if (std::isnan(v)) {
            if (lastOfPage && chan.column >= 0)
                DrawColumn(nullptr);
            return;
        }
        const int32_t column = X(k);
        if (column == chan.column && !lastOfPage) {
            if (v < chan.columnMin)
                chan.columnMin = v;
            else if (v > chan.columnMax)
                chan.columnMax = v;
            return;
        }
        if (chan.column >= 0)
            DrawColumn(&v);
        StartColumn(column, v);
    }
    void Record(uint64_t frame, int32_t x, int32_t y, const CComVariant& value) const
    {
        const uint64_t index = req.done + frame;
        if (index >= chan.points.points.size())
            return;
        PlottedPoint& p = chan.points.points[static_cast<size_t>(index)];
        p.x = x;
        p.y = y;
        p.value = value;
        chan.points.filled = index + 1;
    }
};

template <class T>
T Sample(const PlotRequest& req, uint32_t frame, uint32_t channel)
{
    return static_cast<const T*>(req.samples)[size_t(frame) * req.channelCount + channel];
}

template <class T>
void PlotLine(const Trace& t, uint32_t channel, uint32_t from, bool penDown)
{
    const PlotRequest& req = t.req;
    const int32_t r = req.radius;
    for (uint32_t k = from; k < req.frames; ++k) {
        const T v = Sample<T>(req, k, channel);
        const int32_t x = t.X(k);
        if (IsMissing(v)) {
            penDown = false; // a gap in the trace
            if (req.recordPoints)
                t.Record(k, -1, -1, CComVariant());
            continue;
        }
        const int32_t y = t.Y(double(v));
        if (penDown)
            req.canvas->LineTo(x, y);
        else
            req.canvas->MoveTo(x, y);
        penDown = true;
        if (req.drawMarkers) {
            if (req.lastChunk && k + 1 == req.frames)
                req.canvas->Pie(t.Box(x, y), QPoint(x + r - 1, y - r), QPoint(x + r, y + r + 1));
            else
                req.canvas->Ellipse(t.Box(x, y));
        }
        if (req.recordPoints)
            t.Record(k, x, y, CComVariant(v));
    }
}

template <class T>
void PlotSpanPlain(const Trace& t, uint32_t channel, uint32_t from)
{
    for (uint32_t k = from; k < t.req.frames; ++k)
        t.SpanFrame(k, double(Sample<T>(t.req, k, channel)));
}

// ---- the column scan of span mode ----

// Splits frames [from, to) into runs of one column each, with the same
// column rule as every other drawing: trunc((done + k) x X scale).
void SplitColumns(const PlotRequest& req, uint32_t from, uint32_t to, SpanScratch& s)
{
    s.ranges.clear();
    uint32_t k = from;
    while (k < to) {
        const int32_t column = pixelmap::Column(req.done + k, req.xScale);
        // First guess from the scale, then settled with the exact rule.
        const double guess = std::ceil(double(column + 1) / req.xScale) - double(req.done);
        uint32_t end = guess <= double(k + 1) ? k + 1 : guess >= double(to) ? to : static_cast<uint32_t>(guess);
        while (end > k + 1 && pixelmap::Column(req.done + end - 1, req.xScale) != column)
            --end;
        while (end < to && pixelmap::Column(req.done + end, req.xScale) == column)
            ++end;
        s.ranges.push_back({column, k, end});
        k = end;
    }
}

template <class T>
constexpr T Highest()
{
    if constexpr (std::is_floating_point_v<T>)
        return std::numeric_limits<T>::infinity();
    else
        return std::numeric_limits<T>::max();
}

template <class T>
constexpr T Lowest()
{
    return std::is_floating_point_v<T> ? -Highest<T>() : std::numeric_limits<T>::lowest();
}

// Element-wise minimum and maximum over whole frames of C channels: a block
// of B elements holds B / C frames, so lane j always carries channel j % C
// and the loop over a block is a plain vector min/max. NaN never wins a
// comparison and so is passed over.
template <class T, uint32_t C>
void MinMaxFrames(const T* p, size_t frames, T* lo, T* hi)
{
    constexpr size_t B = 64 / sizeof(T);
    static_assert(B % C == 0);
    alignas(64) T l[B], h[B];
    std::fill(l, l + B, Highest<T>());
    std::fill(h, h + B, Lowest<T>());
    const size_t elems = frames * C;
    size_t e = 0;
    for (; e + B <= elems; e += B)
        for (size_t j = 0; j < B; ++j) {
            const T v = p[e + j];
            l[j] = v < l[j] ? v : l[j];
            h[j] = v > h[j] ? v : h[j];
        }
    for (; e < elems; ++e) {
        const T v = p[e];
        const size_t j = e % B;
        l[j] = v < l[j] ? v : l[j];
        h[j] = v > h[j] ? v : h[j];
    }
    for (uint32_t c = 0; c < C; ++c) {
        lo[c] = Highest<T>();
        hi[c] = Lowest<T>();
    }
    for (size_t j = 0; j < B; ++j) {
        lo[j % C] = l[j] < lo[j % C] ? l[j] : lo[j % C];
        hi[j % C] = h[j] > hi[j % C] ? h[j] : hi[j % C];
    }
}

// Any other channel count: channel by channel over the frames.
template <class T>
void MinMaxFramesAnyCount(const T* p, size_t frames, uint32_t channels, T* lo, T* hi)
{
    for (uint32_t c = 0; c < channels; ++c) {
        T l = Highest<T>(), h = Lowest<T>();
        for (size_t f = 0; f < frames; ++f) {
            const T v = p[f * channels + c];
            l = v < l ? v : l;
            h = v > h ? v : h;
        }
        lo[c] = l;
        hi[c] = h;
    }
}

template <class T>
void MinMaxOfRange(const T* p, size_t frames, uint32_t channels, T* lo, T* hi)
{
    switch (channels) {
    case 1: MinMaxFrames<T, 1>(p, frames, lo, hi); break;
    case 2: MinMaxFrames<T, 2>(p, frames, lo, hi); break;
    case 4: MinMaxFrames<T, 4>(p, frames, lo, hi); break;
    default: MinMaxFramesAnyCount(p, frames, channels, lo, hi); break;
    }
}

// The extremes and the first sample of every column run, for all channels.
template <class T>
bool ScanColumns(const PlotRequest& req, uint32_t from, uint32_t to, SpanScratch& s)
{
    SplitColumns(req, from, to, s);
    const uint32_t channels = req.channelCount;
    const size_t cells = s.ranges.size() * channels;
    s.lo.resize(cells);
    s.hi.resize(cells);
    s.first.resize(cells);
    s.valid.resize(cells);
    const T* data = static_cast<const T*>(req.samples);
    constexpr uint32_t kStackChannels = 16;
    T lo[kStackChannels], hi[kStackChannels];
    if (channels > kStackChannels)
        return false;
    for (size_t r = 0; r < s.ranges.size(); ++r) {
        const SpanScratch::Range& range = s.ranges[r];
        const T* p = data + size_t(range.begin) * channels;
        MinMaxOfRange(p, range.end - range.begin, channels, lo, hi);
        for (uint32_t c = 0; c < channels; ++c) {
            const size_t cell = r * channels + c;
            s.lo[cell] = double(lo[c]);
            s.hi[cell] = double(hi[c]);
            s.valid[cell] = !(lo[c] > hi[c]); // only a run of NaN leaves them crossed
            T first = p[c];
            for (uint32_t f = 1; IsMissing(first) && f < range.end - range.begin; ++f)
                first = p[size_t(f) * channels + c];
            s.first[cell] = double(first);
        }
    }
    return true;
}

// One channel's columns from the scan, drawn as the per-frame algorithm
// would draw them.
void DrawScannedColumns(const Trace& t, uint32_t channel, const SpanScratch& s)
{
    const uint32_t channels = t.req.channelCount;
    for (size_t r = 0; r < s.ranges.size(); ++r) {
        const size_t cell = r * channels + channel;
        if (!s.valid[cell])
            continue;
        const int32_t column = s.ranges[r].column;
        if (column == t.chan.column) {
            t.chan.columnMin = std::min(t.chan.columnMin, s.lo[cell]);
            t.chan.columnMax = std::max(t.chan.columnMax, s.hi[cell]);
            continue;
        }
        if (t.chan.column >= 0)
            t.DrawColumn(&s.first[cell]);
        t.chan.column = column;
        t.chan.columnMin = s.lo[cell];
        t.chan.columnMax = s.hi[cell];
    }
}

Trace MakeTrace(const PlotRequest& req, CLocalChanState& chan)
{
    return Trace{req, chan, vlt::OleColorToQColor(chan.colour).rgb() & 0x00FFFFFFu};
}

// Steps common to both modes for one channel: pen and brush, the move to the
// chunk's first frame, its point, and on the first chunk the start wedge and
// a fresh span state. Gives the frame the mode's loop starts at.
template <class T>
uint32_t BeginChannel(const Trace& t, uint32_t channel, bool* penDown)
{
    const PlotRequest& req = t.req;
    if (t.chan.pen)
        req.canvas->SelectPen(*t.chan.pen);
    if (req.drawMarkers && t.chan.brush)
        req.canvas->SelectBrush(*t.chan.brush);
    const T first = Sample<T>(req, 0, channel);
    const int32_t x = t.X(0);
    const bool valid = !IsMissing(first);
    const int32_t y = valid ? t.Y(double(first)) : -1;
    if (valid)
        req.canvas->MoveTo(x, y);
    *penDown = valid;
    if (req.recordPoints)
        t.Record(0, valid ? x : -1, y, valid ? CComVariant(first) : CComVariant());
    if (!req.firstChunk)
        return 0;
    if (req.drawMarkers && valid) {
        const int32_t r = req.radius;
        req.canvas->Pie(t.Box(x, y), QPoint(x + r - 1, y + r), QPoint(x + r - 1, y - r));
    }
    t.chan.column = -1;
    return 1;
}

template <class T, bool Reference>
HRESULT PlotTraceOf(PlotRequest& req)
{
    if (!req.canvas || !req.channels || !req.samples || req.frames == 0)
        return S_OK;
    const bool span = req.xScale <= kSpanModeScale;
    const uint32_t from = req.firstChunk ? 1 : 0;
    // The page's last frame always closes the column before it: it is taken
    // frame by frame, after the scanned runs.
    const uint32_t scanEnd = req.lastChunk ? req.frames - 1 : req.frames;
    SpanScratch own;
    SpanScratch& scratch = req.scratch ? *req.scratch : own;
    bool scanned = false;
    if (span && !Reference)
        scanned = from < scanEnd && ScanColumns<T>(req, from, scanEnd, scratch);
    for (uint32_t c = 0; c < req.channelCount; ++c) {
        CLocalChanState* chan = req.channels[c];
        if (!chan || chan->IsHidden())
            continue;
        const Trace t = MakeTrace(req, *chan);
        bool penDown = false;
        const uint32_t start = BeginChannel<T>(t, c, &penDown);
        if (!span) {
            PlotLine<T>(t, c, start, penDown);
        } else if (scanned) {
            DrawScannedColumns(t, c, scratch);
            if (req.lastChunk && scanEnd >= start)
                t.SpanFrame(scanEnd, double(Sample<T>(req, scanEnd, c)));
        } else {
            PlotSpanPlain<T>(t, c, start);
        }
    }
    return S_OK;
}

template <bool Reference>
HRESULT PlotByType(PlotRequest& req)
{
    switch (req.sampleType) {
    case VT_UI2: return PlotTraceOf<uint16_t, Reference>(req);
    case VT_I2: return PlotTraceOf<int16_t, Reference>(req);
    case VT_UI1: return PlotTraceOf<uint8_t, Reference>(req);
    case VT_I1: return PlotTraceOf<int8_t, Reference>(req);
    case VT_UI4: return PlotTraceOf<uint32_t, Reference>(req);
    case VT_I4: return PlotTraceOf<int32_t, Reference>(req);
    case VT_R4: return PlotTraceOf<float, Reference>(req);
    case VT_R8: return PlotTraceOf<double, Reference>(req);
    default: return E_NOTIMPL;
    }
}

} // namespace

HRESULT PlotTrace(PlotRequest& request) { return PlotByType<false>(request); }
HRESULT PlotTraceReference(PlotRequest& request) { return PlotByType<true>(request); }

HRESULT PlotTraceUI2(PlotRequest& request) { return PlotTraceOf<uint16_t, false>(request); }
HRESULT PlotTraceI2(PlotRequest& request) { return PlotTraceOf<int16_t, false>(request); }
HRESULT PlotTraceUI1(PlotRequest& request) { return PlotTraceOf<uint8_t, false>(request); }
HRESULT PlotTraceI1(PlotRequest& request) { return PlotTraceOf<int8_t, false>(request); }
HRESULT PlotTraceUI4(PlotRequest& request) { return PlotTraceOf<uint32_t, false>(request); }
HRESULT PlotTraceI4(PlotRequest& request) { return PlotTraceOf<int32_t, false>(request); }
HRESULT PlotTraceR4(PlotRequest& request) { return PlotTraceOf<float, false>(request); }
HRESULT PlotTraceR8(PlotRequest& request) { return PlotTraceOf<double, false>(request); }
