// The control's walk through a source: chunk sizes, stopping, and the lock.
#include "CComObject.h"
#include "ChanSrcTestSupport.h"

namespace {

// A one-channel source of `total` 8-bit frames (value = frame index) that
// records each request and can fail at a given call.
struct RecordingSource : IScopeTQ8ChannelSource, vlt::CComObjectRoot {
    uint64_t total = 0;
    int failAtCall = -1;
    std::vector<std::pair<uint64_t, uint32_t>> requests;
    std::vector<uint32_t> locksSeen;

    HRESULT InternalQueryInterface(const IID& riid, void** ppv)
    {
        if (vlt::QiEntry<IUnknown, IScopeTQ8ChannelSource>(this, riid, ppv)
            || vlt::QiEntry<IScopeTQ8ChannelSource>(this, riid, ppv))
            return S_OK;
        return E_NOINTERFACE;
    }
    HRESULT GetChannelSourceName(BSTR*) override { return E_NOTIMPL; }
    HRESULT GetChannelCount(uint32_t* valp) override { return *valp = 1, S_OK; }
    HRESULT GetChannelSampleType(uint32_t, VARTYPE* pvt) override { return *pvt = VT_UI1, S_OK; }
    HRESULT GetTotalSampleCount(uint32_t, uint64_t* valp) override { return *valp = total, S_OK; }
    HRESULT IsSampleInterleavedData(VARIANT_BOOL* pVal) override { return *pVal = 0, S_OK; }
    HRESULT RefreshTotalSampleCount(uint32_t) override { return E_NOTIMPL; }
    HRESULT ResizeSourceSampleCount(uint32_t) override { return E_NOTIMPL; }
    HRESULT GetSampleValue(uint32_t, uint64_t, VARIANT*) override { return E_NOTIMPL; }
    HRESULT GetChannelData(uint32_t, uint64_t offset, uint32_t samples, VARIANT* psav, uint32_t* copied) override
    {
        requests.emplace_back(offset, samples);
        locksSeen.push_back(psav->parray->cLocks);
        if (static_cast<int>(requests.size()) - 1 == failAtCall)
            return E_FAIL;
        uint32_t n = offset >= total ? 0 : static_cast<uint32_t>(std::min<uint64_t>(samples, total - offset));
        auto* out = static_cast<uint8_t*>(psav->parray->pvData);
        for (uint32_t i = 0; i < n; ++i)
            out[i] = static_cast<uint8_t>(offset + i);
        *copied = n;
        return n ? S_OK : S_FALSE;
    }
};

CComPtr<RecordingSource> MakeSource(uint64_t total)
{
    vlt::CComObject<RecordingSource>* p = nullptr;
    vlt::CComObject<RecordingSource>::CreateInstance(&p);
    p->total = total;
    return CComPtr<RecordingSource>(p);
}

using Requests = std::vector<std::pair<uint64_t, uint32_t>>;

TEST(SourceFetch, ChunksCoverTheRequestAndTheBufferIsLockedOnce)
{
    auto src = MakeSource(1000);
    ArrayHolder buffer(SafeArrayCreateVector(VT_UI1, 0, 4));
    VARIANT v = ArrayVariant(buffer.get(), VT_UI1);
    std::vector<uint8_t> got;
    ASSERT_EQ(sourcefetch::ReadSourceChunks(src, nullptr, 0, 100, 10, 4, &v,
                                            [&](const void* data, uint32_t n) {
                                                auto* p = static_cast<const uint8_t*>(data);
                                                got.insert(got.end(), p, p + n);
                                            }),
              S_OK);
    EXPECT_EQ(src->requests, (Requests{{100, 4}, {104, 4}, {108, 2}}));
    EXPECT_EQ(src->locksSeen, (std::vector<uint32_t>{1, 1, 1}));
    EXPECT_EQ(buffer.get()->cLocks, 0u);
    EXPECT_EQ(got, (std::vector<uint8_t>{100, 101, 102, 103, 104, 105, 106, 107, 108, 109}));
}

TEST(SourceFetch, AChunkWithoutFramesEndsTheWalk)
{
    auto src = MakeSource(10);
    ArrayHolder buffer(SafeArrayCreateVector(VT_UI1, 0, 4));
    VARIANT v = ArrayVariant(buffer.get(), VT_UI1);
    uint64_t frames = 0;
    ASSERT_EQ(sourcefetch::ReadSourceChunks(src, nullptr, 0, 5, 100, 4, &v,
                                            [&](const void*, uint32_t n) { frames += n; }),
              S_OK);
    EXPECT_EQ(frames, 5u);
    EXPECT_EQ(src->requests, (Requests{{5, 4}, {9, 4}, {10, 4}}));
}

TEST(SourceFetch, TheFirstFailureStopsTheWalkAndIsReturned)
{
    auto src = MakeSource(100);
    src->failAtCall = 1;
    ArrayHolder buffer(SafeArrayCreateVector(VT_UI1, 0, 8));
    VARIANT v = ArrayVariant(buffer.get(), VT_UI1);
    int chunks = 0;
    EXPECT_EQ(sourcefetch::ReadSourceChunks(src, nullptr, 0, 0, 50, 8, &v, [&](const void*, uint32_t) { ++chunks; }),
              E_FAIL);
    EXPECT_EQ(chunks, 1);
    EXPECT_EQ(src->requests.size(), 2u);
    EXPECT_EQ(buffer.get()->cLocks, 0u);
}

TEST(SourceFetch, BadArgumentsReadNothing)
{
    auto src = MakeSource(100);
    ArrayHolder buffer(SafeArrayCreateVector(VT_UI1, 0, 8));
    VARIANT v = ArrayVariant(buffer.get(), VT_UI1);
    auto sink = [](const void*, uint32_t) { FAIL() << "nothing should be read"; };
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
