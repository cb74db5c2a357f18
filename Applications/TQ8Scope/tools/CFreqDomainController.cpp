#include "CFreqDomainController.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <limits>
#include <new>
#include <type_traits>

#include "CComBSTR.h"
#include "CComPtr.h"
#include "CPersistentOpts.h"
#include "ComValueHelpers.h"
#include "FreqDomainTexts.h"
#include "IFreqDomainHost.h"
#include "ValueFormat.h"

namespace {
constexpr uint64_t kNoSelection = ~uint64_t(0);
// A block above this is refused rather than allocated.
constexpr uint64_t kMaxBlockBytes = uint64_t(1) << 30;

std::wstring Printf(const wchar_t* format, double value)
{
    wchar_t buffer[64];
    std::swprintf(buffer, 64, format, value);
    return buffer;
}

std::wstring IntText(long long value)
{
    wchar_t buffer[32];
    std::swprintf(buffer, 32, L"%lld", value);
    return buffer;
}

bool IsSignedType(VARTYPE vt)
{
    return vt == VT_I1 || vt == VT_I2 || vt == VT_I4 || vt == VT_I8 || vt == VT_R4 || vt == VT_R8;
}

bool IsValidSize(int32_t n)
{
    return n >= CFFT::kMinSize && n <= CFFT::kMaxSize && (n & (n - 1)) == 0;
}

BSTR NewText(const std::wstring& text)
{
    return SysAllocString(text.c_str());
}
} // namespace

CFreqDomainController::CFreqDomainController(IFreqDomainHost& host) : m_host(host), m_labels(*this)
{
    SanitiseOptions(m_options);
    m_fft.SetWindow(m_options.EngineWindowType());
}

CFreqDomainController::~CFreqDomainController()
{
    RemoveSourceChannels(kAllSources);
    if (m_plot) {
        m_plot->SetCustomLabelProvider(nullptr);
        m_plot->Release();
    }
}

// ---- Plot and options ------------------------------------------------------------

void CFreqDomainController::AttachPlot(IScopeTQ8* plot)
{
    if (plot)
        plot->AddRef();
    if (m_plot)
        m_plot->Release();
    m_plot = plot;
    if (!m_plot)
        return;
    m_plot->put_ScopeBackColor(kPlotBackColour);
    m_plot->put_MinSampleValue(0);
    m_plot->put_MaxSampleValue(255);
    m_plot->put_PointRadius(0);
    m_plot->put_AutoYLabels(VARIANT_FALSE);
    m_plot->put_LabelYT(CComBSTR(L"0"));
    m_plot->put_LabelYM(CComBSTR(L"dB"));
    m_plot->put_LabelYB(CComBSTR(L"-153"));
    m_plot->put_AutoXLabels(VARIANT_FALSE);
    m_plot->put_LabelXL(CComBSTR(L"0 MHz"));
    m_plot->put_LabelXR(CComBSTR(L""));
    m_plot->SetCustomLabelProvider(&m_labels);
}

void CFreqDomainController::AddAllSources()
{
    if (m_plot)
        m_plot->ResetScopeData();
    IScopeTQ8* main = m_host.GetMainPlot();
    uint32_t count = 0;
    if (!main || FAILED(main->GetChannelSourceCount(&count)) || count == 0)
        return;
    std::vector<uint32_t> ids(count);
    uint32_t size = count;
    if (FAILED(main->EnumChannelSourceIds(&size, ids.data())))
        return;
    ids.resize(std::min(size, count));
    for (uint32_t id : ids)
        OnSourceAdded(id);
}

void CFreqDomainController::SanitiseOptions(CFFTOptions& options) const
{
    // Stored values are not checked on loading; the engine takes only these.
    if (!IsValidSize(options.fftSize))
        options.fftSize = 8192;
    if (options.windowChoice < CFFTOptions::kRectangular || options.windowChoice > CFFTOptions::kBlackmanHarris)
        options.windowChoice = CFFTOptions::kBlackmanHarris;
    if (options.grabMode < CFFTOptions::kGrabFromStart || options.grabMode > CFFTOptions::kGrabFromOffset)
        options.grabMode = CFFTOptions::kGrabFromSelection;
    options.maxPeaks = std::clamp(options.maxPeaks, 1, 64);
    options.avgRestartCount = std::max(options.avgRestartCount, 0);
}

void CFreqDomainController::LoadOptions()
{
    if (CPersistentOpts* opts = m_host.GetOptions())
        m_options.Load(*opts);
    SanitiseOptions(m_options);
    m_fft.SetWindow(m_options.EngineWindowType());
    SetPeakCount((m_options.flags & CFFTOptions::kFlagPeakTracking) ? m_options.maxPeaks : 0);
    SetAveraging(m_options.flags & CFFTOptions::kFlagAveraging);
}

void CFreqDomainController::SaveOptions()
{
    if (CPersistentOpts* opts = m_host.GetOptions())
        m_options.Save(*opts);
}

void CFreqDomainController::Close()
{
    SaveOptions();
    RemoveSourceChannels(kAllSources);
    if (m_plot)
        m_plot->SetCustomLabelProvider(nullptr);
    AttachPlot(nullptr);
}

void CFreqDomainController::SetPeakCount(int count)
{
    m_fft.SetMaxPeaks(count);
    for (auto& channel : m_channels)
        channel->ResizePeaks(count);
}

void CFreqDomainController::SetAveraging(bool on)
{
    const Tab keep = m_currentTab >= 0 ? m_tabs[static_cast<size_t>(m_currentTab)] : Tab{nullptr, false};
    if (!on)
        for (auto& channel : m_channels)
            RemoveTrace(channel->averaged);
    RebuildTabs(keep.channel, keep.averaged && on);
}

// Current-spectrum tabs first in channel order, then the averaged ones.
void CFreqDomainController::RebuildTabs(const CFftChannel* keepChannel, bool keepAveraged)
{
    m_tabs.clear();
    for (auto& channel : m_channels)
        m_tabs.push_back({channel.get(), false});
    if (m_options.flags & CFFTOptions::kFlagAveraging)
        for (auto& channel : m_channels)
            m_tabs.push_back({channel.get(), true});
    m_currentTab = m_tabs.empty() ? -1 : 0;
    for (size_t i = 0; i < m_tabs.size(); ++i)
        if (m_tabs[i].channel == keepChannel && m_tabs[i].averaged == keepAveraged)
            m_currentTab = static_cast<int>(i);
}

std::wstring CFreqDomainController::TabText(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_tabs.size())
        return {};
    const Tab& tab = m_tabs[static_cast<size_t>(index)];
    return tab.averaged ? tab.channel->name + L" (Avg.)" : tab.channel->name;
}

// ---- Sources and channels --------------------------------------------------------

void CFreqDomainController::OnSourceAdded(uint32_t srcId)
{
    IScopeTQ8* main = m_host.GetMainPlot();
    CComPtr<IScopeTQ8ChannelSource> source;
    if (!main || FAILED(main->GetChannelSource(srcId, &source)) || !source)
        return;
    // A source announced again replaces its channels rather than doubling them.
    if (std::any_of(m_channels.begin(), m_channels.end(), [srcId](const auto& c) { return c->srcId == srcId; }))
        RemoveSourceChannels(srcId);
    m_withChannels = true;
    uint32_t firstId = 0;
    main->GetFirstChannelIdForSource(srcId, &firstId);
    VARIANT_BOOL interleaved = VARIANT_FALSE;
    source->IsSampleInterleavedData(&interleaved);
    CComBSTR sourceName;
    source->GetChannelSourceName(&sourceName);
    uint32_t count = 0;
    source->GetChannelCount(&count);
    if (count == 0)
        return;
    VARTYPE type = VT_UI1;
    source->GetChannelSampleType(0, &type);

    int32_t bits = static_cast<int32_t>(8 * GetVarTypeSize(type));
    double rate = 0.0;
    TQ8_HANDLE board = m_host.GetSourceBoardHandle(srcId);
    TQ8_RECORDED_DATA_INFO info{};
    if (!board && m_host.GetSourceDataInfo(srcId, info)) {
        rate = info.samplingRateMHz;
        if (info.bitsPerSample != 0)
            bits = static_cast<int32_t>(info.bitsPerSample);
    }
    const int32_t selection = board ? GetActiveChannelsTQ8(board, 1) : 0;
    const bool wasEmpty = m_channels.empty();
    const Tab keep = m_currentTab >= 0 ? m_tabs[static_cast<size_t>(m_currentTab)] : Tab{nullptr, false};
    for (uint32_t i = 0; i < count; ++i) {
        auto channel = std::make_unique<CFftChannel>();
        int32_t number = static_cast<int32_t>(i);
        if (board) {
            const int32_t physical = GetPhysChanNumFromChanSelIdxTQ8(selection, static_cast<int32_t>(i));
            number = physical >= 0 ? physical : number;
        }
        channel->srcId = srcId;
        channel->chanId = firstId + i;
        channel->chanCount = count;
        channel->index = i;
        channel->chanNumber = number;
        channel->interleaved = interleaved != VARIANT_FALSE;
        channel->sampleType = type;
        channel->name = std::wstring(sourceName.View()) + L" - Ch. " + IntText(number + 1);
        channel->rate = rate;
        channel->adcBits = bits;
        channel->board = board;
        OLE_COLOR colour = 0xFFFFFF;
        if (SUCCEEDED(main->get_ChannelColor(channel->chanId, &colour)))
            channel->current.colour = colour;
        if (!channel->Prepare(FftSize()))
            throw std::bad_alloc();
        channel->ResizePeaks(m_fft.GetMaxPeaks());
        m_channels.push_back(std::move(channel));
    }
    RebuildTabs(keep.channel, keep.averaged);
    if (wasEmpty)
        m_scaleSize = 0;
    UpdateSpectra(static_cast<int32_t>(srcId));
}

int CFreqDomainController::RemoveSourceChannels(uint32_t srcId)
{
    int removed = 0;
    const Tab keep = m_currentTab >= 0 ? m_tabs[static_cast<size_t>(m_currentTab)] : Tab{nullptr, false};
    if (srcId == kAllSources) {
        m_tabs.clear();
        if (m_plot)
            m_plot->ResetScopeData();
        removed = static_cast<int>(m_channels.size());
        m_channels.clear();
    } else {
        // Out of the plot first: it reads the traces until they are removed.
        for (auto it = m_channels.begin(); it != m_channels.end();) {
            if ((*it)->srcId != srcId) {
                ++it;
                continue;
            }
            RemoveTrace((*it)->current);
            RemoveTrace((*it)->averaged);
            it = m_channels.erase(it);
            ++removed;
        }
    }
    const bool kept = std::any_of(m_channels.begin(), m_channels.end(),
                                  [&](const auto& c) { return c.get() == keep.channel; });
    RebuildTabs(kept ? keep.channel : nullptr, keep.averaged);
    if (m_channels.empty())
        m_withChannels = false;
    return removed;
}

// ---- Spectra ---------------------------------------------------------------------

bool CFreqDomainController::UpdateSpectra(int32_t srcId)
{
    if (!m_host.GetMainPlot())
        return false;
    if (static_cast<uint32_t>(FftSize()) != m_scaleSize) {
        // The plot asks for its frequency labels as it draws the new scale.
        m_scaleSize = static_cast<uint32_t>(FftSize());
        ResetPlotScaling();
    }
    bool ok = true;
    for (size_t i = 0; i < m_channels.size();) {
        CFftChannel& channel = *m_channels[i];
        if (srcId != -1 && channel.srcId != static_cast<uint32_t>(srcId)) {
            ++i;
            continue;
        }
        if (channel.board)
            GetEffectiveAcqRateTQ8(channel.board, &channel.rate);
        if (channel.chanCount > 1 && channel.interleaved) {
            size_t count = 1;
            while (i + count < m_channels.size() && m_channels[i + count]->srcId == channel.srcId)
                ++count;
            ok = UpdateGroup(i, count) && ok;
            i += count;
        } else {
            ok = UpdateSingle(i) && ok;
            ++i;
        }
    }
    if (!m_channels.empty())
        ShowTab();
    return ok;
}

bool CFreqDomainController::UpdateGroup(size_t first, size_t count)
{
    CFftChannel& lead = *m_channels[first];
    if (!PrepareChannel(lead, FftSize()))
        return false;
    const BlockRead read = ReadBlock(lead, 0);
    NoteRead(first, count, read);
    if (read != BlockRead::Done)
        return false;
    bool ok = true;
    const uint32_t samples = static_cast<uint32_t>(FftSize() / 2);
    for (size_t i = 0; i < count; ++i) {
        CFftChannel& channel = *m_channels[first + i];
        if (i > 0)
            channel.rate = lead.rate;
        if (!PrepareChannel(channel, FftSize()) || !Transform(channel, channel.index, static_cast<int>(lead.chanCount))) {
            ok = false;
            continue;
        }
        PlotResult(channel, false, samples);
        if ((m_options.flags & CFFTOptions::kFlagAveraging) && AccumulateAverage(channel))
            PlotResult(channel, true, samples);
    }
    return ok;
}

bool CFreqDomainController::UpdateSingle(size_t index)
{
    CFftChannel& channel = *m_channels[index];
    if (!PrepareChannel(channel, FftSize()))
        return false;
    const BlockRead read = ReadBlock(channel, channel.index);
    NoteRead(index, 1, read);
    if (read != BlockRead::Done || !Transform(channel, 0, 1))
        return false;
    const uint32_t samples = static_cast<uint32_t>(FftSize() / 2);
    PlotResult(channel, false, samples);
    if ((m_options.flags & CFFTOptions::kFlagAveraging) && AccumulateAverage(channel))
        PlotResult(channel, true, samples);
    return true;
}

// A trace array that must grow is taken out of the plot first, since the
// plot reads the array it was given; the old spectrum is shown again from
// the new array.
bool CFreqDomainController::PrepareChannel(CFftChannel& channel, int n)
{
    if (!channel.NeedsLargerTraces(n))
        return channel.Prepare(n);
    const uint32_t shown = static_cast<uint32_t>(channel.preparedSize / 2);
    const bool hadCurrent = channel.current.traceId != CFftChannel::kNoTrace;
    const bool hadAveraged = channel.averaged.traceId != CFftChannel::kNoTrace;
    RemoveTrace(channel.current);
    RemoveTrace(channel.averaged);
    const bool ok = channel.Prepare(n);
    if (hadCurrent)
        PlotResult(channel, false, shown);
    if (hadAveraged)
        PlotResult(channel, true, shown);
    return ok;
}

uint64_t CFreqDomainController::FirstSample(IScopeTQ8* main) const
{
    switch (m_options.grabMode) {
    case CFFTOptions::kGrabFromOffset:
        return m_options.explicitOffset;
    case CFFTOptions::kGrabFromSelection: {
        uint64_t start = kNoSelection;
        uint64_t end = kNoSelection;
        if (FAILED(main->GetSelection(&start, &end)) || start == kNoSelection)
            return 0;
        return start;
    }
    default:
        return 0;
    }
}

CFreqDomainController::BlockRead CFreqDomainController::ReadBlock(const CFftChannel& channel, uint32_t readChannel)
{
    IScopeTQ8* main = m_host.GetMainPlot();
    const uint64_t n = static_cast<uint64_t>(FftSize());
    const uint64_t sampleSize = GetVarTypeSize(channel.sampleType);
    const uint64_t elements = n * channel.chanCount;
    const auto failed = [&](HRESULT hr, const std::wstring& text = {}) {
        m_readFailure = freqtext::ReadFailureText(channel.srcId, hr, text);
        return BlockRead::Failed;
    };
    uint64_t bytes = 0;
    if (!main || !BlockBytes(n, channel.chanCount, sampleSize, bytes))
        return failed(E_OUTOFMEMORY);
    const size_t doubles = static_cast<size_t>((bytes + sizeof(double) - 1) / sizeof(double));
    try {
        if (m_block.size() < doubles)
            m_block.resize(doubles);
    } catch (const std::bad_alloc&) {
        return failed(E_OUTOFMEMORY);
    }

    CComPtr<IScopeTQ8ChannelSource> source;
    HRESULT hr = main->GetChannelSource(channel.srcId, &source);
    if (FAILED(hr) || !source)
        return failed(FAILED(hr) ? hr : E_POINTER);
    // The board's memory only between acquisitions, as the main plot reads
    // it; a source may also guard its data itself.
    if (IScopeTQ8ChannelArbiter* guard = m_host.GetSourceArbiter(channel.srcId))
        if (guard->SafeToObtainChannelData(channel.srcId) != S_OK)
            return BlockRead::Refused;
    CComPtr<IScopeTQ8ChannelArbiter> arbiter;
    if (SUCCEEDED(source->QueryInterface(&arbiter)) && arbiter && arbiter->SafeToObtainChannelData(channel.srcId) != S_OK)
        return BlockRead::Refused;

    const uint64_t first = FirstSample(main);
    SAFEARRAY array;
    array.vt = channel.sampleType;
    array.cbElements = static_cast<uint32_t>(sampleSize);
    array.pvData = m_block.data();
    array.rgsabound[0].cElements = static_cast<uint32_t>(elements);
    VARIANT data;
    data.vt = static_cast<VARTYPE>(VT_ARRAY | channel.sampleType);
    data.parray = &array;
    uint32_t copied = 0;
    hr = source->GetChannelData(readChannel, first, static_cast<uint32_t>(n), &data, &copied);
    if (FAILED(hr)) {
        CComPtr<IChanSrcErrorInfo> info;
        CComBSTR text;
        if (SUCCEEDED(source->QueryInterface(&info)) && info)
            info->GetChanSrcErrorInfo(&text);
        return failed(hr, std::wstring(text.View()));
    }
    const uint64_t frameBytes = channel.chanCount * sampleSize;
    const uint64_t filled = std::min<uint64_t>(copied, n) * frameBytes;
    // The end of the source: the rest of the block is silence.
    std::memset(reinterpret_cast<uint8_t*>(m_block.data()) + filled, 0, static_cast<size_t>(bytes - filled));
    m_lastOffset = first;
    return BlockRead::Done;
}

void CFreqDomainController::NoteRead(size_t first, size_t count, BlockRead read)
{
    if (read != BlockRead::Failed)
        return;
    for (size_t i = first; i < first + count && i < m_channels.size(); ++i)
        KeepPrevious(*m_channels[i], m_readFailure);
}

void CFreqDomainController::KeepPrevious(CFftChannel& channel, const std::wstring& reason)
{
    for (CFftChannel::Result* result : {&channel.current, &channel.averaged})
        result->stale = freqtext::StaleNote(result->Shown(), reason);
}

bool CFreqDomainController::BlockBytes(uint64_t n, uint64_t channels, uint64_t sampleSize, uint64_t& bytes)
{
    // In 64 bits: a source with many wide channels must not wrap the size.
    const uint64_t elements = n * channels;
    bytes = elements * sampleSize;
    return sampleSize != 0 && channels != 0 && elements <= std::numeric_limits<uint32_t>::max() &&
           bytes <= kMaxBlockBytes;
}

bool CFreqDomainController::Transform(CFftChannel& channel, size_t start, int stride)
{
    const int n = FftSize();
    try {
        m_scratch.resize(static_cast<size_t>(n / 2));
    } catch (const std::bad_alloc&) {
        return false;
    }
    uint8_t* trace = m_scratch.data();
    FftMetrics fresh = channel.current.metrics;
    FftMetrics* metrics = &fresh;
    auto run = [&](auto* type) {
        using T = std::remove_pointer_t<decltype(type)>;
        const T* samples = reinterpret_cast<const T*>(m_block.data()) + start;
        return m_fft.ProcessSamples<T>(trace, samples, n, channel.adcBits, channel.rate, metrics, stride);
    };
    int result = kFailedSampleType;
    switch (channel.sampleType) {
    case VT_I1: result = run(static_cast<int8_t*>(nullptr)); break;
    case VT_UI1: result = run(static_cast<uint8_t*>(nullptr)); break;
    case VT_I2: result = run(static_cast<int16_t*>(nullptr)); break;
    case VT_UI2: result = run(static_cast<uint16_t*>(nullptr)); break;
    case VT_I4: result = run(static_cast<int32_t*>(nullptr)); break;
    case VT_UI4: result = run(static_cast<uint32_t*>(nullptr)); break;
    case VT_I8: result = run(static_cast<int64_t*>(nullptr)); break;
    case VT_UI8: result = run(static_cast<uint64_t*>(nullptr)); break;
    case VT_R4: result = run(static_cast<float*>(nullptr)); break;
    case VT_R8: result = run(static_cast<double*>(nullptr)); break;
    default: break;
    }
    if (result != 0)
        return false;
    if (!TakeResult(channel, channel.current, fresh)) {
        // The block adds nothing, not even to the average.
        KeepPrevious(channel, m_noFigures);
        return false;
    }
    channel.averaged.stale.clear();
    channel.blockOffset = m_lastOffset;
    if (m_options.flags & CFFTOptions::kFlagPeakTracking)
        CopyPeaks(channel.current.peaks);
    CheckSnrThreshold(channel);
    return true;
}

void CFreqDomainController::CheckSnrThreshold(const CFftChannel& channel)
{
    if (channel.current.hidden || !m_host.IsUnsafeMode())
        return;
    if (m_host.GetMinSnrThreshold() > channel.current.metrics.snr && m_host.IsContinuousMode())
        m_host.EndContinuousMode();
}

bool CFreqDomainController::AccumulateAverage(CFftChannel& channel)
{
    const int32_t count = channel.averageCount + 1;
    FftMetrics fresh = channel.averaged.metrics;
    if (m_fft.AccumulateAverage(m_scratch.data(), FftSize(), channel.sum.data(), count, channel.rate, &fresh) != 0)
        return false;
    channel.averageCount = count;
    if (!TakeResult(channel, channel.averaged, fresh)) {
        channel.averaged.stale = freqtext::StaleNote(channel.averaged.Shown(), m_noFigures);
        return false;
    }
    // The average just made stays on display; the next spectrum starts anew.
    if (m_options.avgRestartCount != 0 && channel.averageCount >= m_options.avgRestartCount)
        channel.RestartAverage();
    if (m_options.flags & CFFTOptions::kFlagPeakTracking)
        CopyPeaks(channel.averaged.peaks);
    return true;
}

// A block without signal, noise or spur power (or with a noise margin that
// leaves no noise) has no figures; its spectrum alone would be shown beside
// figures and peaks of another block, so the result keeps all three. Its
// mean and extremes are taken: they show what it held (silence, a stuck
// input).
bool CFreqDomainController::TakeResult(const CFftChannel& channel, CFftChannel::Result& result,
                                       const FftMetrics& metrics)
{
    if (m_fft.GetMetricsResult() != 0) {
        FftAnalysis analysis;
        m_fft.Analyze(m_fft.GetFftSize(), m_fft.GetPower(), &analysis, channel.rate);
        m_noFigures = freqtext::NoFiguresText(analysis, m_fft.GetExclusionPercent());
        result.metrics.meanSample = metrics.meanSample;
        result.metrics.minSample = metrics.minSample;
        result.metrics.maxSample = metrics.maxSample;
        return false;
    }
    if (uint8_t* trace = channel.TraceBytes(result))
        std::memcpy(trace, m_scratch.data(), m_scratch.size());
    result.metrics = metrics;
    result.stale.clear();
    return true;
}

void CFreqDomainController::CopyPeaks(std::vector<FftPeak>& to) const
{
    const FftPeak* peaks = m_fft.GetPeaks();
    to.assign(peaks, peaks ? peaks + m_fft.GetMaxPeaks() : peaks);
}

// ---- The window's plot -----------------------------------------------------------

void CFreqDomainController::RemoveTrace(CFftChannel::Result& result)
{
    if (result.traceId == CFftChannel::kNoTrace)
        return;
    if (m_plot)
        m_plot->RemoveChannelSource(static_cast<uint32_t>(result.traceId));
    result.traceId = CFftChannel::kNoTrace;
}

bool CFreqDomainController::PlotResult(CFftChannel& channel, bool averaged, uint32_t samples)
{
    if (!m_plot)
        return false;
    CFftChannel::Result& result = averaged ? channel.averaged : channel.current;
    uint64_t start = 0;
    m_plot->get_StartSample(&start);
    RemoveTrace(result);
    VARIANT trace;
    trace.vt = static_cast<VARTYPE>(VT_ARRAY | VT_UI1);
    trace.parray = result.trace;
    uint32_t id = 0;
    const CComBSTR name(averaged ? channel.name + L"(Avg)" : channel.name);
    const bool added =
        result.trace && SUCCEEDED(m_plot->AddBufferChannelSource(name, trace, 1, samples, VARIANT_FALSE, &id));
    if (added) {
        result.traceId = id;
        uint32_t chanId = 0;
        if (SUCCEEDED(m_plot->GetFirstChannelIdForSource(id, &chanId))) {
            m_plot->put_ChannelColor(chanId, result.colour);
            if (result.hidden)
                m_plot->put_ChannelVisibility(chanId, VARIANT_FALSE);
        }
    }
    m_plot->put_StartSample(start);
    return added;
}

void CFreqDomainController::ResetPlotScaling()
{
    if (!m_plot)
        return;
    m_plot->put_Redraw(VARIANT_FALSE);
    if (!m_channels.empty()) {
        const int n = FftSize();
        const uint8_t offset = CFFT::GetFullScaleDbOffset(n, m_channels.front()->adcBits);
        m_plot->put_MaxSampleValue(offset);
        m_plot->put_MinSampleValue(0);
        m_plot->put_MaxPageWidth(static_cast<uint32_t>(n / 2));
        m_plot->put_PageWidth(static_cast<uint32_t>(n / 2));
        m_plot->put_StartSample(0);
        m_plot->put_LabelYB(CComBSTR(L"-" + IntText(offset)));
    }
    m_plot->put_Redraw(VARIANT_TRUE);
}

void CFreqDomainController::ShowTab()
{
    if (m_currentTab < 0)
        return;
    m_displayRate = m_tabs[static_cast<size_t>(m_currentTab)].channel->rate;
    if (m_plot)
        m_plot->put_LabelXR(CComBSTR(FormatFrequencyMHz(m_displayRate / 2)));
}

// ---- Commands --------------------------------------------------------------------

void CFreqDomainController::OnPlotSelectionChanged()
{
    if (m_options.grabMode == CFFTOptions::kGrabFromSelection)
        UpdateSpectra(-1);
}

void CFreqDomainController::ApplyOptions(const CFFTOptions& requested)
{
    CFFTOptions changed = requested;
    SanitiseOptions(changed);
    bool recompute = false;
    if (changed.fftSize != m_options.fftSize)
        for (auto& channel : m_channels)
            PrepareChannel(*channel, changed.fftSize);
    if (changed.windowChoice != m_options.windowChoice)
        m_fft.SetWindow(changed.EngineWindowType());
    if (changed.exclusionPercent != m_options.exclusionPercent)
        m_fft.SetExclusionPercent(changed.exclusionPercent);
    const uint32_t averaging = CFFTOptions::kFlagAveraging;
    const uint32_t tracking = CFFTOptions::kFlagPeakTracking;
    const CFFTOptions previous = m_options;
    m_options.flags = changed.flags; // the tabs follow the new flags
    if ((changed.flags ^ previous.flags) & averaging) {
        SetAveraging(changed.flags & averaging);
        recompute = recompute || (changed.flags & averaging);
    }
    const bool trackingOn = changed.flags & tracking;
    const bool trackingChanged = (changed.flags ^ previous.flags) & tracking;
    if (trackingChanged || (trackingOn && changed.maxPeaks != previous.maxPeaks)) {
        SetPeakCount(trackingOn ? changed.maxPeaks : 0);
        recompute = recompute || trackingOn;
    }
    m_options = changed;
    if (recompute)
        UpdateSpectra(-1);
}

void CFreqDomainController::RestartAveraging()
{
    for (auto& channel : m_channels)
        channel->RestartAverage();
}

void CFreqDomainController::SelectTab(int index)
{
    if (index < -1 || index >= static_cast<int>(m_tabs.size()))
        return;
    m_currentTab = index;
    ShowTab();
}

void CFreqDomainController::SetResultHidden(bool hidden)
{
    if (m_currentTab < 0)
        return;
    const Tab& tab = m_tabs[static_cast<size_t>(m_currentTab)];
    CFftChannel::Result& result = tab.averaged ? tab.channel->averaged : tab.channel->current;
    if (result.traceId == CFftChannel::kNoTrace)
        return;
    result.hidden = hidden;
    uint32_t chanId = 0;
    if (m_plot && SUCCEEDED(m_plot->GetFirstChannelIdForSource(static_cast<uint32_t>(result.traceId), &chanId)))
        m_plot->put_ChannelVisibility(chanId, hidden ? VARIANT_FALSE : VARIANT_TRUE);
}

void CFreqDomainController::ClickPeakHeader(int column)
{
    m_options.peakSort = freqtext::SortAfterClick(m_options.peakSort, column);
}

bool CFreqDomainController::ActivatePeak(int entry)
{
    if (m_currentTab < 0)
        return false;
    const Tab& tab = m_tabs[static_cast<size_t>(m_currentTab)];
    const auto& peaks = tab.averaged ? tab.channel->averaged.peaks : tab.channel->current.peaks;
    if (entry < 0 || static_cast<size_t>(entry) >= peaks.size())
        return false;
    const uint64_t bin = static_cast<uint64_t>(static_cast<int64_t>(peaks[static_cast<size_t>(entry)].bin));
    if (m_plot)
        m_plot->SetSelection(bin, bin);
    return true;
}

// ---- What the window shows -------------------------------------------------------

CFreqDomainController::Display CFreqDomainController::GetDisplay() const
{
    Display d;
    d.withChannels = m_withChannels;
    d.restartAveraging = m_options.flags & CFFTOptions::kFlagAveraging;
    d.peakList = m_fft.GetMaxPeaks() > 0;
    d.peakSort = m_options.peakSort;
    OLE_COLOR back = 0;
    const bool backKnown = m_plot && SUCCEEDED(m_plot->get_ScopeBackColor(&back));
    d.keyFill = backKnown ? back : kPlotBackColour;
    d.keyLine = backKnown ? back : 0xFFFFFF;

    FftMetrics metrics;
    const CFftChannel* channel = nullptr;
    const CFftChannel::Result* result = nullptr;
    if (m_currentTab >= 0) {
        const Tab& tab = m_tabs[static_cast<size_t>(m_currentTab)];
        channel = tab.channel;
        result = tab.averaged ? &channel->averaged : &channel->current;
        metrics = result->metrics;
        d.averagedTab = tab.averaged;
        d.hidden = result->hidden;
    }
    if (result && result->traceId != CFftChannel::kNoTrace && m_plot) {
        uint32_t chanId = 0;
        OLE_COLOR colour = 0xFFFFFF;
        if (SUCCEEDED(m_plot->GetFirstChannelIdForSource(static_cast<uint32_t>(result->traceId), &chanId)) &&
            SUCCEEDED(m_plot->get_ChannelColor(chanId, &colour)))
            d.keyLine = colour;
    }

    wchar_t buffer[64];
    // Before the first good block, the size the next one will have.
    std::swprintf(buffer, 64, L"%u", static_cast<unsigned>(metrics.fftSize != 0 ? metrics.fftSize : FftSize()));
    d.fftSize = buffer;
    if (channel && channel->blockOffset != 0) {
        std::swprintf(buffer, 64, L" (@Src+%llu)", static_cast<unsigned long long>(channel->blockOffset));
        d.fftSize += buffer;
    }
    d.rate = FormatFrequencyMHz(metrics.rate);
    d.fundamental = FormatFrequencyMHz(metrics.fundamental);
    d.snr = Printf(L"%0.3f dB", metrics.snr);
    d.sinad = Printf(L"%0.3f dB", metrics.sinad);
    d.sfdr = Printf(L"%0.3f dB", metrics.sfdr);
    d.harmonic2 = Printf(L"%0.3f dB", metrics.harmonic2);
    d.harmonic3 = Printf(L"%0.3f dB", metrics.harmonic3);
    d.thd = Printf(L"%0.3f dB", metrics.thd);
    d.rmsNoise = Printf(L"%0.3f", metrics.rmsNoiseCounts);
    d.rmsTotal = Printf(L"%0.3f", metrics.rmsTotalCounts);
    d.meanSample = Printf(L"%0.3f", metrics.meanSample);
    d.minMax = freqtext::MinMaxText(metrics.minSample, metrics.maxSample, channel && IsSignedType(channel->sampleType));
    d.averaged = IntText(channel ? channel->averageCount : 0);
    if (result)
        d.note = result->stale;

    if (result && d.peakList) {
        for (int entry : freqtext::SortedPeakRows(result->peaks, m_options.peakSort)) {
            const FftPeak& peak = result->peaks[static_cast<size_t>(entry)];
            d.peaks.push_back({entry, Printf(L"%0.3f dB", peak.level), Printf(L"%0.3f MHz", peak.frequency),
                               IntText(peak.bin)});
        }
    }
    return d;
}

// ---- Label provider --------------------------------------------------------------

HRESULT CFreqDomainController::XLabelProvider::QueryInterface(const IID& iid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (iid == IUnknown::iid || iid == IScopeTQ8CustomLabelProvider::iid) {
        *ppv = static_cast<IScopeTQ8CustomLabelProvider*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT CFreqDomainController::XLabelProvider::GetXAxisLabel(uint64_t x, BSTR* pbstrLabel)
{
    if (!pbstrLabel)
        return E_POINTER;
    std::wstring text;
    const HRESULT hr = freqtext::AxisLabel(x, m_owner.m_scaleSize, m_owner.m_displayRate, text);
    if (hr == S_OK)
        *pbstrLabel = NewText(text);
    return hr;
}

HRESULT CFreqDomainController::XLabelProvider::GetYAxisLabel(double, BSTR*)
{
    return E_NOTIMPL;
}

HRESULT CFreqDomainController::XLabelProvider::GetXSelLabel(uint64_t x, BSTR* pbstrLabel)
{
    return GetXAxisLabel(x, pbstrLabel);
}

HRESULT CFreqDomainController::XLabelProvider::GetXSelSpanLabel(uint64_t x1, uint64_t x2, BSTR* pbstrLabel)
{
    if (!pbstrLabel)
        return E_POINTER;
    std::wstring text;
    const HRESULT hr = freqtext::SpanLabel(x1, x2, m_owner.m_scaleSize, m_owner.m_displayRate, text);
    if (hr == S_OK)
        *pbstrLabel = NewText(text);
    return hr;
}

HRESULT CFreqDomainController::XLabelProvider::GetSampleTipLabel(uint32_t, uint64_t, VARIANT, BSTR*)
{
    return E_NOTIMPL;
}
