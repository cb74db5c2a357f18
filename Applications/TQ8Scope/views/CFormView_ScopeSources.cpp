// The scope panel's plot sources: board memory, snapshots and files.
#include "CFormView_Scope.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <unistd.h>

#include "AtomicFile.h"
#include "CComBSTR.h"
#include "CMainDoc.h"
#include "ComValueHelpers.h"
#include "ContextFileProblem.h"
#include "FileDialog.h"
#include "FileNames.h"
#include "MessageBox.h"
#include "SafeArray.h"
#include "TextConv.h"

namespace {

constexpr wchar_t kAssumedFormatNote[] =
    L"The data is plotted as one channel of unsigned 8-bit samples, without a header.";

// The selection that a board uses for n channels when its own does not fit.
uint32_t StandardSelection(uint32_t channels)
{
    switch (channels) {
    case 1: return 5;
    case 2: return 1;
    case 3: return 4;
    default: return 0;
    }
}

// The record of a file plotted in a format: the file's own information,
// with the given sample type (13: the file's) and channel count (0: the file's).
CFormView_Scope::CPlotSrcState FileRecord(const std::wstring& path, VARTYPE sampleType, uint32_t channels)
{
    CFormView_Scope::CPlotSrcState state;
    state.InitFromFile(path);
    state.forcedType = sampleType;
    state.forcedChannels = channels;
    return state;
}

uint32_t HeaderBytes(const CFormView_Scope::CPlotSrcState& file)
{
    return file.HasInfo() ? file.info.headerBytes : 0;
}

// Why a file cannot be plotted as its record says, before the plot is asked:
// the file reader's reason, or that it holds no whole frame of samples;
// empty when it can be tried.
std::wstring UnplottableFileReason(const CFormView_Scope::CPlotSrcState& file)
{
    uint64_t size = 0;
    std::string reason;
    const int fd = vlt::OpenRegularFile(vlt::WideToUtf8(file.path), UINT64_MAX, &size, &reason);
    if (fd < 0)
        return vlt::Utf8ToWide(reason);
    ::close(fd);
    if (size == 0)
        return L"The file is empty: it holds no samples.";
    const uint64_t header = HeaderBytes(file);
    const uint32_t sampleBytes = GetVarTypeSize(file.GetSampleVarType());
    const uint32_t channels = file.GetChannelCount();
    const uint64_t frame = uint64_t(sampleBytes) * channels;
    wchar_t text[256];
    if (size <= header) {
        std::swprintf(text, std::size(text), L"The file holds no samples after its header of %llu bytes.",
                      static_cast<unsigned long long>(header));
        return text;
    }
    if (size - header >= frame)
        return std::wstring();
    std::swprintf(text, std::size(text),
                  L"The file's %llu bytes of samples do not make up one frame of %u %ls of %u-bit samples (%llu bytes).",
                  static_cast<unsigned long long>(size - header), channels, channels == 1 ? L"channel" : L"channels",
                  sampleBytes * 8, static_cast<unsigned long long>(frame));
    return text;
}

} // namespace

int32_t CFormView_Scope::AddBoardSource(TQ8_HANDLE device, CMainDoc* doc)
{
    uint32_t id = kNoSource;
    return AddBoardSource(device, doc, &id) ? static_cast<int32_t>(id) : -1;
}

bool CFormView_Scope::AddBoardSource(TQ8_HANDLE device, CMainDoc* doc, uint32_t* id)
{
    if (!m_control)
        return false;
    for (const auto& [srcId, state] : m_sources) {
        if (state.type == kSnapshotSource && state.device == device) {
            m_control->RemoveChannelSource(srcId);
            break;
        }
    }
    const int32_t sel = GetActiveChannelsTQ8(device, 1);
    const auto channels = static_cast<uint32_t>(GetChannelCountFromChanSelTQ8(sel));
    const uint32_t limit = doc ? doc->GetPlotDataLimit() : 0;
    const uint32_t existing = FindBoardSourceId(device);
    if (existing != kNoSource) {
        const CPlotSrcState& state = m_sources.at(existing);
        if (state.doc == doc && state.channelSelection == static_cast<uint32_t>(sel)) {
            CComPtr<IScopeTQ8ChannelSource> source;
            if (SUCCEEDED(m_control->GetChannelSource(existing, &source)) && source)
                source->ResizeSourceSampleCount(limit);
            m_control->RefreshChannelSource(existing);
            if (id)
                *id = existing;
            return true;
        }
        m_control->RemoveChannelSource(existing);
    }
    CPlotSrcState state;
    state.type = kBoardSource;
    state.doc = doc;
    state.device = device;
    state.channelCount = channels;
    state.channelSelection = static_cast<uint32_t>(sel);
    InitBoardSourceInfo(state);
    CComBSTR name(doc ? doc->GetDeviceDisplayName(false, device) : std::wstring(L"TQ3300"));
    uint32_t newId = kNoSource;
    m_pending = &state;
    const HRESULT hr =
        m_control->AddTQ8ChannelSource(device, limit, name, doc ? doc->GetChannelArbiter() : nullptr, &newId);
    m_pending = nullptr;
    if (FAILED(hr))
        return false;
    if (id)
        *id = newId;
    return true;
}

bool CFormView_Scope::RemoveBoardSource(TQ8_HANDLE device)
{
    const uint32_t id = FindBoardSourceId(device);
    return m_control && id != kNoSource && SUCCEEDED(m_control->RemoveChannelSource(id));
}

void CFormView_Scope::InitBoardSourceInfo(CPlotSrcState& state) const
{
    if (state.info.size == 0)
        state.info.size = sizeof(TQ8_RECORDED_DATA_INFO);
    InitRecordedDataInfoTQ8(state.device, &state.info);
    state.info.channelCount = state.channelCount;
    const int32_t sel = GetActiveChannelsTQ8(state.device, 1);
    if (static_cast<uint32_t>(GetChannelCountFromChanSelTQ8(sel)) == state.channelCount)
        state.channelSelection = static_cast<uint32_t>(sel);
    else
        state.channelSelection = StandardSelection(state.channelCount);
}

bool CFormView_Scope::ShowSnapshot(const uint8_t* samples, uint32_t count, int32_t channels, uint32_t flags,
                                   TQ8_HANDLE device)
{
    if (!m_scopeView || count == 0 || channels <= 0 || !m_control || !samples)
        return false;
    if (flags)
        m_control->ResetScopeData();
    uint64_t start = 0;
    m_control->get_StartSample(&start);
    if (m_snapshot && m_snapshot->rgsabound[0].cElements < count) {
        RemoveSnapshotSource();
        m_snapshotId = kNoSource;
        SafeArrayDestroy(m_snapshot);
        m_snapshot = nullptr;
    }
    if (!m_snapshot) {
        m_snapshot = SafeArrayCreateVector(VT_UI1, 0, count);
        if (!m_snapshot) {
            vlt::ShowMessageBox(L"Failed to allocate snapshot buffer", MB_ICONERROR, this);
            return false;
        }
    }
    std::memcpy(m_snapshot->pvData, samples, count);
    const auto n = static_cast<uint32_t>(channels);
    // A snapshot of another channel count is another source.
    if (m_snapshotId != kNoSource && n != m_snapshotChannels)
        RemoveSnapshotSource();
    if (m_snapshotId == kNoSource) {
        if (!AddSnapshotSource(n, count, device))
            return false;
    } else {
        if (!ResizeSnapshotSource(count, n))
            return false;
        m_control->RefreshChannelSource(m_snapshotId);
        m_control->RefreshScope();
    }
    m_control->put_StartSample(start);
    return true;
}

bool CFormView_Scope::AddSnapshotSource(uint32_t channels, uint32_t length, TQ8_HANDLE device)
{
    CPlotSrcState state;
    state.type = kSnapshotSource;
    state.doc = &GetDocument();
    state.device = device;
    state.channelCount = channels;
    state.channelSelection = static_cast<uint32_t>(GetActiveChannelsTQ8(device, 1));
    VARIANT buffer;
    buffer.vt = VT_ARRAY | VT_UI1;
    buffer.parray = m_snapshot;
    CComBSTR name(L"Snapshot Data");
    uint32_t id = kNoSource;
    m_pending = &state;
    const HRESULT hr = m_control->AddBufferChannelSource(name, buffer, channels, length, VARIANT_FALSE, &id);
    m_pending = nullptr;
    if (FAILED(hr))
        return false;
    m_snapshotId = id;
    m_snapshotChannels = channels;
    return true;
}

bool CFormView_Scope::ResizeSnapshotSource(uint32_t length, uint32_t channels)
{
    // The source keeps reading the same array; it is told how much of it
    // holds this snapshot, so that no stale tail of an earlier one shows.
    CComPtr<IScopeTQ8ChannelSource> source;
    CComPtr<IChanSrcSimpleInit> init;
    if (FAILED(m_control->GetChannelSource(m_snapshotId, &source)) || !source ||
        FAILED(source.QueryInterface(&init)))
        return false;
    CComBSTR name(L"Snapshot Data");
    VARIANT buffer;
    buffer.vt = VT_ARRAY | VT_UI1;
    buffer.parray = m_snapshot;
    return SUCCEEDED(init->SetChannelSourceBuffer(name, buffer, length, channels, VARIANT_FALSE));
}

void CFormView_Scope::RemoveSnapshotSource()
{
    if (m_control && m_snapshotId != kNoSource)
        m_control->RemoveChannelSource(m_snapshotId);
}

void CFormView_Scope::ApplySampleLimit(uint32_t count)
{
    if (!m_control)
        return;
    for (const auto& entry : m_sources) {
        CComPtr<IScopeTQ8ChannelSource> source;
        if (SUCCEEDED(m_control->GetChannelSource(entry.first, &source)) && source &&
            SUCCEEDED(source->RefreshTotalSampleCount(count)))
            m_control->RefreshChannelSource(entry.first);
    }
    uint64_t start = 0;
    uint32_t width = 0;
    m_control->get_StartSample(&start);
    m_control->get_PageWidth(&width);
    if (count != 0 && count < start + width)
        m_control->put_StartSample(0);
    m_control->RefreshScope();
}

void CFormView_Scope::OnOpenFileForPlotting()
{
    vlt::FileDialogRequest request;
    request.open = true;
    request.title = L"Open File for Plotting";
    request.defaultExt = L"rd8";
    request.filter = L"8-bit Sample Files (*.rd8)|*.rd8|All Files (*.*)|*.*||";
    request.pathMustExist = true;
    request.parent = this;
    if (const std::optional<std::wstring> path = vlt::ShowFileDialog(request))
        AddFileSourceOrReport(*path);
}

void CFormView_Scope::AddFileSource(const std::wstring& path)
{
    AddFileSourceOrReport(path);
}

bool CFormView_Scope::AddFileSourceOrReport(const std::wstring& path)
{
    if (!m_control || path.empty())
        return false;
    std::wstring reason;
    if (AddFileSource(path, kAutomaticType, 0, &reason)) {
        // Plotted as its bytes: the user learns why, and what is assumed.
        if (const std::wstring problem = ContextFileProblem(path, path); !problem.empty())
            vlt::ShowMessageBox(problem + L"\n\n" + kAssumedFormatNote, MB_ICONWARNING, this);
        return true;
    }
    vlt::ShowMessageBox(L"Failed to plot the data file " + path + (reason.empty() ? L"" : L"\n\n" + reason),
                        MB_ICONERROR, this);
    return false;
}

std::wstring CFormView_Scope::FileSourceProblem(const std::wstring& path, VARTYPE sampleType, uint32_t channels) const
{
    return UnplottableFileReason(FileRecord(path, sampleType, channels));
}

bool CFormView_Scope::AddFileSource(const std::wstring& path, VARTYPE sampleType, uint32_t channels,
                                    std::wstring* reason)
{
    if (!m_control || path.empty())
        return false;
    // The record keeps the format the file is plotted in, 4-byte samples included.
    CPlotSrcState state = FileRecord(path, sampleType, channels);
    std::wstring problem = UnplottableFileReason(state);
    HRESULT hr = E_FAIL;
    if (problem.empty()) {
        CComBSTR name(L"File: " + FileNameOf(path));
        CComBSTR filePath(path);
        uint32_t id = kNoSource;
        m_pending = &state;
        hr = m_control->AddFileChannelSource(filePath, name, state.GetSampleVarType(),
                                             static_cast<int32_t>(state.GetChannelCount()), HeaderBytes(state), &id);
        m_pending = nullptr;
        if (FAILED(hr)) {
            wchar_t text[64];
            std::swprintf(text, std::size(text), L"The plot refused the file (HRESULT=0x%08X).",
                          static_cast<uint32_t>(hr));
            problem = text;
        }
    }
    if (reason)
        *reason = problem;
    return SUCCEEDED(hr);
}

// ---- Lookups ---------------------------------------------------------------------------

uint32_t CFormView_Scope::FindBoardSourceId(TQ8_HANDLE device) const
{
    for (const auto& [id, state] : m_sources)
        if (state.type == kBoardSource && state.device == device)
            return id;
    return kNoSource;
}

CFormView_Scope::CPlotSrcState* CFormView_Scope::FindSourceState(uint32_t id)
{
    if (id == kNoSource)
        return nullptr;
    auto it = m_sources.find(id);
    return it == m_sources.end() ? nullptr : &it->second;
}

bool CFormView_Scope::GetSourceDataInfo(uint32_t id, const TQ8_RECORDED_DATA_INFO** info) const
{
    // Reading a board's record refreshes what the panel keeps of it; the
    // sources themselves do not change.
    CPlotSrcState* state = const_cast<CFormView_Scope*>(this)->FindSourceState(id);
    if (!state)
        return false;
    if ((state->type == kBoardSource || state->type == kSnapshotSource) && state->device)
        InitBoardSourceInfo(*state);
    if (!state->HasInfo())
        return false;
    if (info)
        *info = &state->info;
    return true;
}

IScopeTQ8ChannelArbiter* CFormView_Scope::GetSourceArbiter(uint32_t id) const
{
    // As AddBoardSource gives it to the plot, also while the source is being added.
    const CPlotSrcState* state = m_pending;
    if (!state) {
        auto it = m_sources.find(id);
        state = it == m_sources.end() ? nullptr : &it->second;
    }
    return state && state->type == kBoardSource && state->doc ? state->doc->GetChannelArbiter() : nullptr;
}

TQ8_HANDLE CFormView_Scope::GetSourceBoardHandle(uint32_t id) const
{
    if (m_pending)
        return m_pending->type == kBoardSource || m_pending->type == kSnapshotSource ? m_pending->device : nullptr;
    auto it = m_sources.find(id);
    if (id == kNoSource || it == m_sources.end())
        return nullptr;
    switch (it->second.type) {
    case kBoardSource: return it->second.device;
    case kSnapshotSource: return GetDeviceHandle();
    default: return nullptr;
    }
}
