#pragma once
// The plot control's channel sources and their channels: the source table,
// the channel table of CLocalChanState, the id counters with the ids a
// removed source leaves for the next one, and the largest channel total.
// Ids are visited in ascending order everywhere.
#include "CComPtr.h"
#include "CLocalChanState.h"
#include "FunctionRef.h"
#include "TQ8UI.h"

#include <cstdint>
#include <map>

class CSourceTable {
public:
    using SourceMap = std::map<uint32_t, CComPtr<IScopeTQ8ChannelSource>>;
    using ChannelMap = std::map<uint32_t, CLocalChanState>;
    using ColourOf = FunctionRef<OLE_COLOR(uint32_t chanId)>;
    static constexpr uint32_t kNone = 0xFFFFFFFF; // never an id

    const SourceMap& Sources() const { return m_sources; }
    const ChannelMap& Channels() const { return m_channels; }
    bool HasSource(uint32_t srcId) const { return m_sources.count(srcId) != 0; }
    // Null when the table does not hold it.
    IScopeTQ8ChannelSource* Source(uint32_t srcId) const;
    CLocalChanState* Channel(uint32_t chanId);
    const CLocalChanState* Channel(uint32_t chanId) const;
    // The lowest channel id of the source's channel index 0; kNone when there is none.
    uint32_t FirstChannelId(uint32_t srcId) const;
    uint64_t MaxSampleCount() const { return m_maxSampleCount; }

    // Enters a source of channelCount (at least 1) channels, each with a state
    // read from the source and its colour, and keeps max(channelCount,
    // maxChanCount) channel ids for it. Its channel ids are consecutive and
    // none of them was in use. E_OUTOFMEMORY when no ids or no memory are
    // left (the channels entered so far stay).
    HRESULT Add(IScopeTQ8ChannelSource* source, IScopeTQ8ChannelArbiter* arbiter, uint32_t channelCount,
                uint32_t maxChanCount, ColourOf colourOf, uint32_t* srcId);
    // Offers srcId and the channel ids from firstChannelId on to the next Add;
    // it takes them when they are all free.
    void KeepIdsForReuse(uint32_t srcId, uint32_t firstChannelId);
    // Drops the source and exactly the channels whose state carries its id,
    // however many channels the source reports by now.
    void Remove(uint32_t srcId);
    // Re-reads the totals and types of one source's channels (of all with
    // kNone) and recomputes MaxSampleCount; the number of channels refreshed.
    // reshaped hears the source id of each channel whose total or type changed.
    size_t Refresh(uint32_t srcId, FunctionRef<void(uint32_t)> reshaped);
    // Empties both tables and starts both ids again from 0.
    void Clear();

private:
    uint32_t TakeSourceId();
    bool ChannelRunFree(uint64_t first, uint64_t count) const;
    // The first of `count` consecutive free channel ids from `from` on,
    // wrapping round to 0 once; kNone when there is no such run.
    uint32_t FreeChannelRun(uint32_t from, uint32_t count) const;
    static void ReadCounts(CLocalChanState& chan);

    SourceMap m_sources;
    uint32_t m_nextSourceId = 0;
    ChannelMap m_channels;
    uint32_t m_nextChannelId = 0;
    uint64_t m_maxSampleCount = 0;
    uint32_t m_reusableSourceId = kNone;
    uint32_t m_reusableFirstChannelId = kNone;
};
