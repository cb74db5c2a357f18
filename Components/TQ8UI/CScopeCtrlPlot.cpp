// CScopeCtrl: the traces of every channel source.
#include "CScopeCtrl.h"
#include "GdiDraw.h"
#include "OleColor.h"
#include "PainterCanvas.h"

#include <QPainter>

HRESULT CScopeCtrl::PlotAllSources(QPainter& dc)
{
    const bool drawMarkers = ArePointMarkersVisible(false);
    PainterCanvas canvas(dc);
    // Pen and brush put back by hand: QPainter::save allocates.
    const QPen pen = dc.pen();
    const QBrush brush = dc.brush();
    int failed = 0, succeeded = 0;
    // The tips see only the points of this paint, also of a source that fails now.
    for (auto it = m_sourceTable.Channels().begin(); it != m_sourceTable.Channels().end(); ++it)
        m_sourceTable.Channel(it->first)->points.filled = 0;
    // By the id after the last one drawn: a source may go while it is asked for data.
    const auto& sources = m_sourceTable.Sources();
    auto it = sources.begin();
    while (it != sources.end()) {
        const uint32_t id = it->first;
        if (FAILED(PlotChannelSource(canvas, drawMarkers, id)))
            ++failed;
        else
            ++succeeded;
        it = sources.upper_bound(id);
    }
    dc.setPen(pen);
    dc.setBrush(brush);
    if (failed == 0)
        return S_OK;
    return succeeded ? S_FALSE : E_FAIL;
}

bool CScopeCtrl::PrepareChannel(CLocalChanState& chan, bool drawMarkers, bool recordPoints)
{
    const QColor colour = vlt::OleColorToQColor(chan.colour);
    if (!chan.pen)
        chan.pen = gdidraw::CosmeticPen(colour);
    if (drawMarkers && !chan.brush)
        chan.brush = QBrush(colour);
    return !recordPoints || SUCCEEDED(chan.points.Reserve(m_pageWidth));
}

HRESULT CScopeCtrl::PlotChannelSource(TraceCanvas& canvas, bool drawMarkers, uint32_t srcId)
{
    const bool recordPoints = drawMarkers || (m_pointRadius < 2 && m_xScale > 5.0);
    PlotRequest req;
    req.canvas = &canvas;
    req.drawMarkers = drawMarkers;
    req.recordPoints = recordPoints;
    req.xScale = m_xScale;
    req.yScale = m_yScale;
    req.plotHeight = m_plotRect.Height();
    req.minValue = m_minSampleValue;
    req.radius = m_pointRadius;
    req.scratch = &m_spanScratch;
    bool outOfMemory = false;
    HRESULT plotted = S_OK;
    const HRESULT hr = FetchSourcePage(srcId, kPlotChunkFrames, [&](const PageSource& page, const sourcefetch::Chunk& c) {
        if (c.done == 0 && !PrepareChannels(page, req, drawMarkers, recordPoints))
            outOfMemory = true;
        if (outOfMemory)
            return S_OK; // the rest of the source is not drawn
        req.samples = c.data;
        req.sampleType = page.sampleType;
        req.frames = c.frames;
        req.done = c.done;
        req.lastChunk = c.last;
        plotted = PlotTrace(req);
        req.firstChunk = false; // for every channel at once
        return plotted;
    });
    if (outOfMemory)
        return E_OUTOFMEMORY;
    return hr;
}

bool CScopeCtrl::PrepareChannels(const PageSource& page, PlotRequest& req, bool drawMarkers, bool recordPoints)
{
    try {
        m_plotChannels.resize(page.channelCount);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (uint32_t c = 0; c < page.channelCount; ++c) {
        CLocalChanState* chan = m_sourceTable.Channel(page.firstChannelId + c);
        // Only this source's channels: one that reports more than it had keeps the rest unplotted.
        if (chan && chan->sourceId != page.sourceId)
            chan = nullptr;
        m_plotChannels[c] = chan;
        if (chan && !PrepareChannel(*chan, drawMarkers, recordPoints))
            return false;
    }
    req.channels = m_plotChannels.data();
    req.channelCount = page.channelCount;
    return true;
}
