#pragma once
// How the control reads a channel source: only when the source's arbiter
// allows it, chunk by chunk into one locked buffer, and with a reason text
// for a failed read.
#include "TQ8UI.h"

#include <cstdint>
#include <functional>
#include <string>

namespace sourcefetch {

// Whether srcId may be read now: always without an arbiter; with one only
// when it answers S_OK. When it does not, the arbiter is told that the
// control wanted the data, so that it can ask for a redraw later.
bool MayReadSource(IScopeTQ8ChannelArbiter* arbiter, uint32_t srcId);

// Called with the frames of each chunk as they arrive (interleaved, all
// channels of the source).
using ChunkSink = std::function<void(const void* frames, uint32_t frameCount)>;

// Reads `frames` frames from `offset` in chunks of at most `chunk` frames
// through buffer, a variant of VT_ARRAY with the source's sample type whose
// array holds at least chunk x channel-count elements. The array is locked
// once for the whole walk. Stops early at the first chunk that copies
// nothing. S_FALSE without reading when the arbiter refuses; otherwise
// S_OK or the first failure of the source.
HRESULT ReadSourceChunks(IScopeTQ8ChannelSource* source, IScopeTQ8ChannelArbiter* arbiter, uint32_t srcId,
                         uint64_t offset, uint64_t frames, uint32_t chunk, VARIANT* buffer, const ChunkSink& sink);

// The reason given with OnSourceDataError after a failed read: the source's
// own error text when it offers one, else a text with the id and the result.
std::wstring SourceFailureReason(IScopeTQ8ChannelSource* source, uint32_t srcId, HRESULT hr);

} // namespace sourcefetch
