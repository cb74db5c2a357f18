#pragma once
// The per-type trace plotters: one chunk of interleaved frames of a source
// drawn channel by channel, as a polyline with optional markers (line mode)
// or, from 16 frames per pixel column on, as one min-to-max span per column
// (span mode). The span state lives in each channel's record, so a column
// continues across chunks. NaN samples are left out in both modes.
#include "CLocalChanState.h"
#include "TraceCanvas.h"
#include "TQ8UI.h"

#include <cstdint>
#include <vector>

// Column ranges and their extremes for one chunk; kept between paints so
// that a steady paint allocates nothing.
struct SpanScratch {
    struct Range {
        int32_t column;
        uint32_t begin, end; // frames of the chunk
    };
    std::vector<Range> ranges;
    std::vector<double> lo, hi, first; // per range and channel; first: its first non-NaN sample
    std::vector<uint8_t> valid;        // the range has a non-NaN sample of the channel
};

struct PlotRequest {
    TraceCanvas* canvas = nullptr;
    CLocalChanState* const* channels = nullptr; // channelCount records; null ones are skipped
    uint32_t channelCount = 0;                  // also the stride between a channel's samples
    bool drawMarkers = false;
    bool recordPoints = false;
    const void* samples = nullptr;
    VARTYPE sampleType = 0;
    uint32_t frames = 0; // in this chunk
    uint64_t done = 0;   // frames of the page before this chunk
    bool firstChunk = true;
    bool lastChunk = false;
    double xScale = 1.0;
    double yScale = 1.0;
    int32_t plotHeight = 0;
    int32_t minValue = 0;
    int32_t radius = 2;
    SpanScratch* scratch = nullptr; // span mode; null uses a scratch of the call's own
};

// Frames per column at or above which the traces are drawn as spans.
constexpr double kSpanModeScale = 0.0625;

// The plotter of the request's sample type: S_OK, E_NOTIMPL for a type that
// has none. Does not clear firstChunk: the caller does once every channel
// of the chunk is drawn.
HRESULT PlotTrace(PlotRequest& request);
// The same drawing, frame by frame in span mode: the reference the column
// scan of PlotTrace must match call for call.
HRESULT PlotTraceReference(PlotRequest& request);

HRESULT PlotTraceUI2(PlotRequest& request);
HRESULT PlotTraceI2(PlotRequest& request);
HRESULT PlotTraceUI1(PlotRequest& request);
HRESULT PlotTraceI1(PlotRequest& request);
HRESULT PlotTraceUI4(PlotRequest& request);
HRESULT PlotTraceI4(PlotRequest& request);
HRESULT PlotTraceR4(PlotRequest& request);
HRESULT PlotTraceR8(PlotRequest& request);
