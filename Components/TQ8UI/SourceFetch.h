#pragma once
// How the control reads a channel source: only when the source's arbiter
// allows it, chunk by chunk into one locked buffer, each chunk handed to the
// caller before the next is read, and with a reason text for a failed read.
#include "FunctionRef.h"
#include "TQ8UI.h"

#include <cstdint>
#include <string>

namespace sourcefetch {

// Whether srcId may be read now: always without an arbiter; with one only
// when it answers S_OK. When it does not, the arbiter is told that the
// control wanted the data, so that it can ask for a redraw later.
bool MayReadSource(IScopeTQ8ChannelArbiter* arbiter, uint32_t srcId);

// One chunk as the source delivered it.
struct Chunk {
    uint64_t first = 0;         // frame number of its first frame
    uint64_t done = 0;          // frames the chunks before it delivered
    uint32_t frames = 0;        // never more than were asked for
    bool last = false;          // it completes the frames asked for
    const void* data = nullptr; // interleaved frames, all channels of the source
};

// The caller's code for each chunk; its result for the last chunk is the
// walk's result. A failing chunk does not stop the walk.
using ChunkSink = FunctionRef<HRESULT(const Chunk&)>;

// Reads `frames` frames from `offset` in chunks of at most `chunk` frames
// through buffer, a variant of VT_ARRAY with the source's sample type whose
// array holds at least chunk x channel-count elements. The array is locked
// once for the whole walk, and the walk allocates nothing. It ends when the
// frames asked for add up to `frames` (the sink's last result) or at a chunk
// that copies nothing (the source's result for it). S_FALSE without reading
// when the arbiter refuses; a failure of the source ends the walk with it.
HRESULT ReadSourceChunks(IScopeTQ8ChannelSource* source, IScopeTQ8ChannelArbiter* arbiter, uint32_t srcId,
                         uint64_t offset, uint64_t frames, uint32_t chunk, VARIANT* buffer, ChunkSink sink);

// The reason given with OnSourceDataError after a failed read: the source's
// own error text when it offers one, else a text with the id and the result.
std::wstring SourceFailureReason(IScopeTQ8ChannelSource* source, uint32_t srcId, HRESULT hr);

} // namespace sourcefetch
