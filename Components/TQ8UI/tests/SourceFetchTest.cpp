// The control's walk through a source: chunk sizes, stopping, and the lock.
#include "ChanSrcTestSupport.h"
#include "FakeSource.h"

namespace {

using Requests = std::vector<std::pair<uint64_t, uint32_t>>;

struct SeenChunk {
    uint64_t first, done;
    uint32_t frames;
    bool last;
    std::vector<uint8_t> values;
    bool operator==(const SeenChunk&) const = default;
};

// Reads through the walk and records every chunk; the sink answers `answers` in turn.
HRESULT Walk(FakeSource* src, uint64_t offset, uint64_t frames, uint32_t chunk, std::vector<SeenChunk>& seen,
             std::vector<HRESULT> answers = {})
{
    ArrayHolder buffer(SafeArrayCreateVector(VT_UI1, 0, chunk));
    VARIANT v = ArrayVariant(buffer.get(), VT_UI1);
    HRESULT hr = sourcefetch::ReadSourceChunks(src, nullptr, 0, offset, frames, chunk, &v,
                                               [&](const sourcefetch::Chunk& c) {
                                                   auto* p = static_cast<const uint8_t*>(c.data);
                                                   seen.push_back({c.first, c.done, c.frames, c.last,
                                                                   std::vector<uint8_t>(p, p + c.frames)});
                                                   return seen.size() <= answers.size() ? answers[seen.size() - 1]
                                                                                        : S_OK;
                                               });
    EXPECT_EQ(buffer.get()->cLocks, 0u);
    return hr;
}

TEST(SourceFetch, ChunksCoverTheRequestAndTheBufferIsLockedOnce)
{
    auto src = MakeFakeSource(1, 1000);
    std::vector<SeenChunk> seen;
    // The sink's result for the last chunk is the walk's; an earlier failure does not stop it.
    ASSERT_EQ(Walk(src, 100, 10, 4, seen, {E_NOTIMPL, S_OK, S_FALSE}), S_FALSE);
    EXPECT_EQ(src->requests, (Requests{{100, 4}, {104, 4}, {108, 2}}));
    EXPECT_EQ(src->locksSeen, (std::vector<uint32_t>{1, 1, 1}));
    EXPECT_EQ(seen, (std::vector<SeenChunk>{{100, 0, 4, false, {100, 101, 102, 103}},
                                            {104, 4, 4, false, {104, 105, 106, 107}},
                                            {108, 8, 2, true, {108, 109}}}));
}

TEST(SourceFetch, AChunkWithoutFramesEndsTheWalkWithTheSourcesResult)
{
    auto src = MakeFakeSource(1, 10);
    std::vector<SeenChunk> seen;
    ASSERT_EQ(Walk(src, 5, 100, 4, seen), S_FALSE);
    EXPECT_EQ(src->requests, (Requests{{5, 4}, {9, 4}, {10, 4}}));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].frames, 1u);
    EXPECT_FALSE(seen[1].last);
}

TEST(SourceFetch, ASourceThatClaimsMoreThanAskedIsHeldToWhatWasAsked)
{
    auto src = MakeFakeSource(1, 1000);
    src->overclaim = 50;
    std::vector<SeenChunk> seen;
    ASSERT_EQ(Walk(src, 0, 10, 4, seen), S_OK);
    EXPECT_EQ(src->requests, (Requests{{0, 4}, {4, 4}, {8, 2}}));
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2].frames, 2u);
    EXPECT_TRUE(seen[2].last);
}

TEST(SourceFetch, TheFirstFailureStopsTheWalkAndIsReturned)
{
    auto src = MakeFakeSource(1, 100);
    src->failAtCall = 1;
    std::vector<SeenChunk> seen;
    EXPECT_EQ(Walk(src, 0, 50, 8, seen), E_FAIL);
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(src->requests.size(), 2u);
}

TEST(SourceFetch, BadArgumentsReadNothing)
{
    auto src = MakeFakeSource(1, 100);
    ArrayHolder buffer(SafeArrayCreateVector(VT_UI1, 0, 8));
    VARIANT v = ArrayVariant(buffer.get(), VT_UI1);
    auto sink = [](const sourcefetch::Chunk&) {
        ADD_FAILURE() << "nothing should be read";
        return S_OK;
    };
    EXPECT_EQ(sourcefetch::ReadSourceChunks(src, nullptr, 0, 0, 10, 0, &v, sink), E_INVALIDARG);
    EXPECT_EQ(sourcefetch::ReadSourceChunks(nullptr, nullptr, 0, 0, 10, 8, &v, sink), E_POINTER);
    EXPECT_EQ(sourcefetch::ReadSourceChunks(src, nullptr, 0, 0, 10, 8, nullptr, sink), E_POINTER);
    VARIANT empty;
    EXPECT_EQ(sourcefetch::ReadSourceChunks(src, nullptr, 0, 0, 10, 8, &empty, sink), E_POINTER);
    EXPECT_EQ(sourcefetch::ReadSourceChunks(src, nullptr, 0, 0, 0, 8, &v, sink), S_OK);
    EXPECT_TRUE(src->requests.empty());
    EXPECT_TRUE(sourcefetch::MayReadSource(nullptr, 5));
}

} // namespace
