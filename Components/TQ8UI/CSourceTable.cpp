#include "CSourceTable.h"

#include <algorithm>
#include <new>

namespace {
constexpr uint64_t kLastId = 0xFFFFFFFE;

// id + n on the ring of ids, which passes over the all-ones value.
uint32_t Advance(uint32_t id, uint64_t n)
{
    return static_cast<uint32_t>((uint64_t(id) + n) % (kLastId + 1));
}
} // namespace

IScopeTQ8ChannelSource* CSourceTable::Source(uint32_t srcId) const
{
    auto it = m_sources.find(srcId);
    return it != m_sources.end() ? it->second.p : nullptr;
}

CLocalChanState* CSourceTable::Channel(uint32_t chanId)
{
    auto it = m_channels.find(chanId);
    return it != m_channels.end() ? &it->second : nullptr;
}

const CLocalChanState* CSourceTable::Channel(uint32_t chanId) const
{
    auto it = m_channels.find(chanId);
    return it != m_channels.end() ? &it->second : nullptr;
}

uint32_t CSourceTable::FirstChannelId(uint32_t srcId) const
{
    for (const auto& [id, chan] : m_channels)
        if (chan.sourceId == srcId && chan.channelIndex == 0)
            return id;
    return kNone;
}

HRESULT CSourceTable::Add(IScopeTQ8ChannelSource* source, IScopeTQ8ChannelArbiter* arbiter, uint32_t channelCount,
                          uint32_t maxChanCount, ColourOf colourOf, uint32_t* srcId)
{
    const uint32_t needed = std::max(channelCount, maxChanCount);
    const bool reuse = m_reusableSourceId != kNone && m_reusableFirstChannelId != kNone
                       && !HasSource(m_reusableSourceId) && ChannelRunFree(m_reusableFirstChannelId, needed);
    uint32_t id = m_reusableSourceId;
    uint32_t first = m_reusableFirstChannelId;
    if (!reuse) {
        // Once the counter has wrapped, ids still in use are passed over.
        first = FreeChannelRun(m_nextChannelId, channelCount);
        if (first == kNone)
            return E_OUTOFMEMORY;
        id = TakeSourceId();
    }
    try {
        m_sources.emplace(id, source);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    m_reusableSourceId = m_reusableFirstChannelId = kNone;
    *srcId = id;

    VARIANT_BOOL interleaved = 0;
    if (FAILED(source->IsSampleInterleavedData(&interleaved)))
        interleaved = 0;
    // The ids a source keeps beyond its channels are passed by the counter.
    m_nextChannelId = reuse ? Advance(m_nextChannelId, needed - channelCount) : Advance(first, needed);
    for (uint32_t index = 0; index < channelCount; ++index) {
        const uint32_t chanId = first + index;
        try {
            CLocalChanState& chan = m_channels[chanId];
            chan = CLocalChanState();
            chan.source = source;
            chan.arbiter = arbiter;
            chan.sourceId = id;
            chan.channelIndex = index;
            chan.interleaved = interleaved != 0;
            chan.colour = colourOf(chanId);
            ReadCounts(chan);
            m_maxSampleCount = std::max(m_maxSampleCount, chan.totalSamples);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    return S_OK;
}

void CSourceTable::KeepIdsForReuse(uint32_t srcId, uint32_t firstChannelId)
{
    m_reusableSourceId = srcId;
    m_reusableFirstChannelId = firstChannelId;
}

void CSourceTable::Remove(uint32_t srcId)
{
    m_sources.erase(srcId);
    std::erase_if(m_channels, [srcId](const auto& entry) { return entry.second.sourceId == srcId; });
}

size_t CSourceTable::Refresh(uint32_t srcId, FunctionRef<void(uint32_t)> reshaped)
{
    size_t refreshed = 0;
    m_maxSampleCount = 0;
    for (auto& [id, chan] : m_channels) {
        if (srcId == kNone || chan.sourceId == srcId) {
            const uint64_t total = chan.totalSamples;
            const VARTYPE type = chan.sampleType;
            ReadCounts(chan);
            if (chan.totalSamples != total || chan.sampleType != type)
                reshaped(chan.sourceId);
            ++refreshed;
        }
        m_maxSampleCount = std::max(m_maxSampleCount, chan.totalSamples);
    }
    return refreshed;
}

void CSourceTable::Clear()
{
    m_reusableSourceId = m_reusableFirstChannelId = kNone;
    m_channels.clear();
    m_nextChannelId = 0;
    m_maxSampleCount = 0;
    m_sources.clear();
    m_nextSourceId = 0;
}

uint32_t CSourceTable::TakeSourceId()
{
    uint32_t id = m_nextSourceId;
    while (id == kNone || HasSource(id))
        ++id;
    m_nextSourceId = Advance(id, 1);
    return id;
}

bool CSourceTable::ChannelRunFree(uint64_t first, uint64_t count) const
{
    const uint64_t last = first + count - 1;
    if (count == 0 || last > kLastId)
        return count == 0;
    auto it = m_channels.lower_bound(static_cast<uint32_t>(first));
    return it == m_channels.end() || it->first > last;
}

uint32_t CSourceTable::FreeChannelRun(uint32_t from, uint32_t count) const
{
    uint64_t start = from;
    bool wrapped = false;
    while (!ChannelRunFree(start, count)) {
        const uint64_t last = start + count - 1;
        if (last > kLastId) {
            if (wrapped)
                return kNone;
            wrapped = true;
            start = 0;
            continue;
        }
        // Past the id in use that the run met.
        start = uint64_t(m_channels.lower_bound(static_cast<uint32_t>(start))->first) + 1;
        if (wrapped && start > from)
            return kNone;
    }
    return static_cast<uint32_t>(start);
}

void CSourceTable::ReadCounts(CLocalChanState& chan)
{
    if (FAILED(chan.source->GetTotalSampleCount(chan.channelIndex, &chan.totalSamples)))
        chan.totalSamples = 0;
    if (FAILED(chan.source->GetChannelSampleType(chan.channelIndex, &chan.sampleType)))
        chan.sampleType = 0;
}
