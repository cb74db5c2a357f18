// The control's fetch of a source's page and its shared sample buffers.
#include "CComBSTR.h"
#include "FakeSource.h"
#include "ScopeWithSources.h"
#include "TQ8Sim.h"
#include "TQ8_64.h"

namespace {

struct Seen {
    uint64_t first, done;
    uint32_t frames;
    bool last;
    bool operator==(const Seen&) const = default;
};

class ScopeFetch : public ScopeWithSources {
protected:
    void SetUp() override
    {
        ScopeWithSources::SetUp();
        Connect(scope, _IScopeTQ8Events2::iid, static_cast<_IScopeTQ8Events2*>(errors.p));
    }
    // Fetches srcId's page; records each chunk and, from 16-bit sources, the frames it held.
    HRESULT Fetch(uint32_t srcId, uint32_t chunkFrames)
    {
        seen.clear();
        values.clear();
        return Impl(scope)->FetchSourcePage(
            srcId, chunkFrames, [&](const CScopeCtrl::PageSource& source, const sourcefetch::Chunk& c) {
                page = source;
                seen.push_back({c.first, c.done, c.frames, c.last});
                if (source.sampleType == VT_I2) {
                    auto* p = static_cast<const int16_t*>(c.data);
                    values.insert(values.end(), p, p + uint64_t(c.frames) * source.channelCount);
                }
                return S_OK;
            });
    }
    void Page(uint64_t start, uint32_t width)
    {
        ASSERT_EQ(scope->put_PageWidth(width), S_OK);
        ASSERT_EQ(scope->put_StartSample(start), S_OK);
    }

    CComPtr<EventSink2> errors = MakeSink<EventSink2>();
    CScopeCtrl::PageSource page;
    std::vector<Seen> seen;
    std::vector<int16_t> values;
};

TEST_F(ScopeFetch, APageComesInChunksOfTheAskedSizeStraightFromTheSource)
{
    constexpr uint32_t kChannels = 3, kFrames = 30000;
    const auto samples = Samples<int16_t>(kChannels * kFrames);
    ArrayHolder array(MakeArray(samples));
    AddBuffer(1, 10);
    uint32_t id = kNone;
    ASSERT_EQ(scope->AddBufferChannelSource(CComBSTR(L"Words"), ArrayVariant(array.get(), VT_I2), kChannels, 0,
                                            VARIANT_FALSE, &id),
              S_OK);
    Page(100, 20000);
    const std::vector<int16_t> onPage(samples.begin() + 100 * kChannels, samples.begin() + 20100 * kChannels);

    ASSERT_EQ(Fetch(id, CScopeCtrl::kScaleChunkFrames), S_OK);
    EXPECT_EQ(seen, (std::vector<Seen>{{100, 0, 8192, false}, {8292, 8192, 8192, false}, {16484, 16384, 3616, true}}));
    EXPECT_EQ(values, onPage);
    EXPECT_EQ(page.sourceId, id);
    EXPECT_EQ(page.firstChannelId, 1u);
    EXPECT_EQ(page.channelCount, kChannels);
    EXPECT_EQ(page.sampleType, VT_I2);

    ASSERT_EQ(Fetch(id, CScopeCtrl::kPlotChunkFrames), S_OK);
    EXPECT_EQ(seen, (std::vector<Seen>{{100, 0, 20000, true}}));
    EXPECT_EQ(values, onPage);
    // A page that runs past the data ends where the data ends: the frames asked add up to the page.
    Page(29000, 20000);
    EXPECT_EQ(Fetch(id, CScopeCtrl::kPlotChunkFrames), S_OK);
    EXPECT_EQ(seen, (std::vector<Seen>{{29000, 0, 1000, false}}));
    EXPECT_EQ(values, std::vector<int16_t>(samples.begin() + 29000 * kChannels, samples.end()));
    EXPECT_TRUE(errors->errors.empty());
    EXPECT_EQ(Impl(scope)->FetchSourcePage(7, CScopeCtrl::kPlotChunkFrames,
                                           [](const CScopeCtrl::PageSource&, const sourcefetch::Chunk&) { return S_OK; }),
              E_INVALIDARG);
}

TEST_F(ScopeFetch, TheArbiterIsAskedOncePerFetchAndARefusalReadsNothing)
{
    auto source = MakeFakeSource(2, 5000);
    auto arbiter = MakeArbiter();
    const uint32_t id = Add(source, 0, arbiter);
    arbiter->answer = S_FALSE;
    EXPECT_EQ(Fetch(id, CScopeCtrl::kPlotChunkFrames), S_FALSE);
    EXPECT_EQ(Fetch(id, CScopeCtrl::kPlotChunkFrames), S_FALSE);
    EXPECT_TRUE(source->requests.empty());
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(arbiter->needed, (std::vector<uint32_t>{id, id}));
    arbiter->answer = S_OK;
    EXPECT_EQ(Fetch(id, CScopeCtrl::kPlotChunkFrames), S_OK);
    EXPECT_EQ(arbiter->asked, (std::vector<uint32_t>{id, id, id}));
    EXPECT_EQ(arbiter->needed.size(), 2u);
    EXPECT_EQ(source->requests, (std::vector<std::pair<uint64_t, uint32_t>>{{0, 5000}}));
}

TEST_F(ScopeFetch, AFailedReadIsReportedWithTheSourcesTextOrAFormattedOne)
{
    TQ8Sim_Reset();
    TQ8_HANDLE board = nullptr;
    ASSERT_EQ(ConnectToVirtualDeviceTQ8(&board, 1600, 1), TQ8_OK);
    ASSERT_EQ(TQ8Sim_ReportDriverVersion(1600, 0x0001000C00030000ull), TQ8_OK); // transfers synchronously
    uint32_t boardId = kNone;
    ASSERT_EQ(scope->AddTQ8ChannelSource(board, 0, nullptr, nullptr, &boardId), S_OK);
    const uint32_t buffer = AddBuffer(1, 100);
    auto textless = MakeFakeSource();
    textless->offersErrorInfo = true; // but has no text
    Add(textless);
    auto plain = MakeFakeSource();
    const uint32_t plainId = Add(plain);
    ASSERT_EQ(plainId, 3u);

    ASSERT_EQ(TQ8Sim_InjectResult("ReadSampleRamBufTQ8", TQ8_ERR_OUT_OF_BOUNDS, 1), TQ8_OK);
    EXPECT_EQ(Fetch(boardId, CScopeCtrl::kPlotChunkFrames), E_FAIL);
    textless->failAtCall = 0;
    EXPECT_EQ(Fetch(2, CScopeCtrl::kPlotChunkFrames), E_FAIL);
    plain->failAtCall = 0;
    EXPECT_EQ(Fetch(plainId, CScopeCtrl::kPlotChunkFrames), E_FAIL);
    // The others are still read.
    EXPECT_EQ(Fetch(buffer, CScopeCtrl::kPlotChunkFrames), S_OK);
    EXPECT_EQ(Fetch(boardId, CScopeCtrl::kPlotChunkFrames), S_OK);

    wchar_t* text = nullptr;
    ASSERT_EQ(GetErrorTextWTQ8(TQ8_ERR_OUT_OF_BOUNDS, &text, 0, nullptr), TQ8_OK);
    const std::wstring library = text;
    FreeMemoryTQ8(text);
    EXPECT_EQ(errors->errors,
              (std::vector<std::pair<uint32_t, std::wstring>>{
                  {boardId, L"Synchronous data transfer failed: " + library},
                  {2, L"Failed to obtain data for data source 2 (HRESULT=0x80004005)"},
                  {3, L"Failed to obtain data for data source 3 (HRESULT=0x80004005)"}}));
    scope.Release(); // before the board goes
    TQ8Sim_Reset();
}

TEST_F(ScopeFetch, AHugeChannelCountFailsTheFetchInsteadOfWrapping)
{
    auto source = MakeFakeSource(1, 100000);
    const uint32_t id = Add(source);
    Page(0, 8192);
    source->channels = 1u << 19; // 8192 x 2^19 elements: more than a 32-bit count
    EXPECT_EQ(Fetch(id, CScopeCtrl::kPlotChunkFrames), E_OUTOFMEMORY);
    EXPECT_TRUE(source->requests.empty());
}

TEST_F(ScopeFetch, SampleBuffersAreOnePerSizeAndOnlyGrow)
{
    CScopeCtrl* ctrl = Impl(scope);
    SAFEARRAY* words = nullptr;
    SAFEARRAY* again = nullptr;
    ASSERT_EQ(ctrl->GetSampleBuffer(VT_I2, 4000, &words), S_OK);
    ASSERT_EQ(ctrl->GetSampleBuffer(VT_UI2, 1000, &again), S_OK);
    EXPECT_EQ(again, words);
    EXPECT_EQ(again->rgsabound[0].cElements, 4000u);
    ASSERT_EQ(ctrl->GetSampleBuffer(VT_I2, 4001, &again), S_OK);
    EXPECT_GE(again->rgsabound[0].cElements, 4001u);
    EXPECT_EQ(again->cbElements, 2u);
    SAFEARRAY* doubles = nullptr;
    ASSERT_EQ(ctrl->GetSampleBuffer(VT_R8, 10, &doubles), S_OK);
    EXPECT_NE(doubles, again);
    EXPECT_EQ(doubles->cbElements, 8u);
    EXPECT_EQ(ctrl->GetSampleBuffer(VT_BSTR, 10, &doubles), E_NOTIMPL);
    EXPECT_EQ(ctrl->GetSampleBuffer(VT_I2, 10, nullptr), E_POINTER);
    EXPECT_EQ(ctrl->GetSampleBuffer(VT_I1, uint64_t(1) << 32, &doubles), E_OUTOFMEMORY);
    // A buffer in use is not replaced under its user.
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(again, &data), S_OK);
    SAFEARRAY* bigger = nullptr;
    EXPECT_EQ(ctrl->GetSampleBuffer(VT_I2, 100000, &bigger), DISP_E_ARRAYISLOCKED);
    SafeArrayUnaccessData(again);
    ASSERT_EQ(ctrl->GetSampleBuffer(VT_I2, 100000, &bigger), S_OK);
    EXPECT_EQ(bigger->rgsabound[0].cElements, 100000u);
}

} // namespace
