// CScopeCtrl: the traces of every channel source.
#include "CScopeCtrl.h"
#include "GdiDraw.h"
#include "OleColor.h"
#include "PainterCanvas.h"

#include <QPainter>
#include <optional>

HRESULT CScopeCtrl::PlotAllSources(QPainter& dc)
{
    const bool drawMarkers = ArePointMarkersVisible(false);
    PainterCanvas canvas(dc);
    // Pen and brush put back by hand: QPainter::save allocates.
    const QPen pen = dc.pen();
    const QBrush brush = dc.brush();
    int failed = 0, succeeded = 0;
    // By the id after the last one drawn: a source may go while it is asked for data.
    const auto& sources = m_sourceTable.Sources();
    auto it = sources.begin();
    while (it != sources.end()) {
        const uint32_t id = it->first;
        if (FAILED(PlotChannelSource(dc, canvas, drawMarkers, id)))
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

CKeptTraces::View CScopeCtrl::CurrentView(bool drawMarkers, bool recordPoints) const
{
    CKeptTraces::View view;
    view.startSample = m_startSample;
    view.pageWidth = m_pageWidth;
    view.xScale = m_xScale;
    view.yScale = m_yScale;
    view.minValue = m_minSampleValue;
    view.maxValue = m_maxSampleValue;
    view.width = m_plotRect.Width();
    view.height = m_plotRect.Height();
    view.radius = m_pointRadius;
    view.markers = drawMarkers;
    view.points = recordPoints;
    return view;
}

void CScopeCtrl::ForgetPlottedPoints(uint32_t srcId)
{
    for (auto& [id, chan] : m_sourceTable.Channels())
        if (chan.sourceId == srcId)
            m_sourceTable.Channel(id)->points.filled = 0;
}

void CScopeCtrl::ForgetKeptTraces(uint32_t chanId)
{
    if (const CLocalChanState* chan = m_sourceTable.Channel(chanId))
        m_keptTraces.Forget(chan->sourceId);
}

HRESULT CScopeCtrl::PlotChannelSource(QPainter& dc, TraceCanvas& canvas, bool drawMarkers, uint32_t srcId)
{
    const bool recordPoints = drawMarkers || (m_pointRadius < 2 && m_xScale > 5.0);
    // A source an arbiter may refuse is drawn on its own layer, which shows
    // it again while it cannot be read.
    const CLocalChanState* first = m_sourceTable.Channel(m_sourceTable.FirstChannelId(srcId));
    const bool keep = first && first->arbiter;
    const CKeptTraces::View view = CurrentView(drawMarkers, recordPoints);
    std::optional<PainterCanvas> layerCanvas;
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
    bool drawn = false;
    bool refused = false;
    HRESULT plotted = S_OK;
    const HRESULT hr = FetchSourcePage(
        srcId, kPlotChunkFrames,
        [&](const PageSource& page, const sourcefetch::Chunk& c) {
            if (c.done == 0) {
                drawn = true;
                // The tips see only the points of this paint.
                ForgetPlottedPoints(page.sourceId);
                if (keep)
                    if (QPainter* layer = m_keptTraces.Begin(page.sourceId, view)) {
                        layerCanvas.emplace(*layer);
                        req.canvas = &*layerCanvas;
                    }
                if (!PrepareChannels(page, req, drawMarkers, recordPoints))
                    outOfMemory = true;
            }
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
        },
        true, &refused);
    m_keptTraces.End();
    const QImage* kept = keep ? m_keptTraces.Recall(srcId, view) : nullptr;
    if (refused) {
        // Shown as it was last drawn, points and all; else nothing, as for a source never read.
        if (kept)
            dc.drawImage(0, 0, *kept);
        else
            ForgetPlottedPoints(srcId);
        return hr;
    }
    if (!drawn) {
        ForgetPlottedPoints(srcId);
        m_keptTraces.Forget(srcId);
    } else if (kept && layerCanvas) {
        dc.drawImage(0, 0, *kept);
    }
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
