// The control's source and channel tables: ids, reuse, removal, refresh,
// the Add methods that make the library's sources, and the events.
#include "CComBSTR.h"
#include "FakeSource.h"
#include "ScopeWithSources.h"
#include "TQ8Sim.h"
#include "TQ8_64.h"
#include "TextConv.h"

namespace {

constexpr DISPID kAdded = 101, kRemoved = 102;
using Events = std::vector<std::pair<DISPID, uint32_t>>;

using ScopeSources = ScopeWithSources;

using LabelProvider = NoLabels;

TEST_F(ScopeSources, IdsFollowTheOrderOfAdditionAndABoardSourceKeepsFour)
{
    TQ8Sim_Reset();
    TQ8_HANDLE board = nullptr;
    ASSERT_EQ(ConnectToVirtualDeviceTQ8(&board, 1600, 1), TQ8_OK);
    ASSERT_EQ(SetActiveChannelsTQ8(board, 1), TQ8_OK); // two channels
    // Seen from the sink: the source and its channels are in the tables when it is told.
    std::vector<uint32_t> firstSeen;
    events->during = [&] {
        uint32_t chan = kNone;
        scope->GetFirstChannelIdForSource(events->sources.back().second, &chan);
        firstSeen.push_back(chan);
    };
    uint32_t boardId = kNone;
    ASSERT_EQ(scope->AddTQ8ChannelSource(board, 2000, CComBSTR(L"Board"), nullptr, &boardId), S_OK);
    const uint32_t second = AddBuffer(3, 400);

    EXPECT_EQ(boardId, 0u);
    EXPECT_EQ(second, 1u);
    EXPECT_EQ(First(boardId), 0u);
    EXPECT_EQ(First(second), 4u);
    EXPECT_EQ(Owners(7), (std::vector<uint32_t>{0, 0, kNone, kNone, 1, 1, 1, kNone}));
    EXPECT_EQ(events->sources, (Events{{kAdded, 0}, {kAdded, 1}}));
    EXPECT_EQ(firstSeen, (std::vector<uint32_t>{0, 4}));
    // The first source pulled PageWidth down to its 1000 frames; the second leaves it.
    uint32_t page = 0;
    ASSERT_EQ(scope->get_PageWidth(&page), S_OK);
    EXPECT_EQ(page, 1000u);
    EXPECT_EQ(MaxSampleCount(), 1000u);
    VARIANT_BOOL visible = 0;
    ASSERT_EQ(scope->get_ChannelVisibility(5, &visible), S_OK);
    EXPECT_EQ(visible, 1);
    events->during = nullptr;
    scope.Release(); // before the board goes
    TQ8Sim_Reset();
}

TEST_F(ScopeSources, ARemovedSourcesIdsGoToTheNextSourceWhenTheyAreFree)
{
    const auto path = s_lib->WriteFile("removal.bin", Samples<uint8_t>(2 * 300));
    const uint32_t a = AddBuffer(2, 100);
    uint32_t b = kNone;
    ASSERT_EQ(scope->AddFileChannelSource(CComBSTR(vlt::Utf8ToWide(path.string()).c_str()), CComBSTR(L"File"),
                                          VT_UI1, 2, 0, &b),
              S_OK);
    const uint32_t c = AddBuffer(2, 100);
    ASSERT_EQ(Owners(5), (std::vector<uint32_t>{a, a, b, b, c, c}));

    // While the sinks hear of the removal, the source can still be asked about.
    uint32_t firstDuring = kNone;
    events->during = [&] { scope->GetFirstChannelIdForSource(b, &firstDuring); };
    ASSERT_EQ(scope->RemoveChannelSource(b), S_OK);
    events->during = nullptr;
    EXPECT_EQ(firstDuring, 2u);
    CComPtr<IScopeTQ8ChannelSource> gone;
    EXPECT_EQ(scope->GetChannelSource(b, &gone), E_NOINTERFACE);

    // Fewer channels fit in the ids it left.
    EXPECT_EQ(AddBuffer(1, 50), b);
    EXPECT_EQ(Owners(5), (std::vector<uint32_t>{a, a, b, kNone, c, c}));
    // More channels than are free from there get new ids.
    ASSERT_EQ(scope->RemoveChannelSource(b), S_OK);
    const uint32_t d = AddBuffer(3, 50);
    EXPECT_EQ(d, 3u);
    EXPECT_EQ(First(d), 6u);
    EXPECT_EQ(events->sources, (Events{{kAdded, 0}, {kAdded, 1}, {kAdded, 2}, {kRemoved, 1}, {kAdded, 1}, {kRemoved, 1},
                                       {kAdded, 3}}));

    uint32_t count = 0;
    ASSERT_EQ(scope->GetChannelSourceCount(&count), S_OK);
    EXPECT_EQ(count, 3u);
    uint32_t size = 2;
    uint32_t ids[3] = {kNone, kNone, kNone};
    EXPECT_EQ(scope->EnumChannelSourceIds(&size, ids), S_FALSE);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(std::vector<uint32_t>(ids, ids + 3), (std::vector<uint32_t>{0, 2, kNone}));
    EXPECT_EQ(scope->EnumChannelSourceIds(&size, nullptr), S_OK);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(scope->EnumChannelSourceIds(&size, ids), S_OK);
    EXPECT_EQ(std::vector<uint32_t>(ids, ids + 3), (std::vector<uint32_t>{0, 2, 3}));
}

TEST_F(ScopeSources, RemovingTheOnlySourceResetsTheControl)
{
    ASSERT_EQ(scope->put_ChannelColor(0, 0x123456), S_OK);
    EXPECT_EQ(scope->ResetScopeData(), S_OK); // nothing to tell
    EXPECT_EQ(scope->RemoveChannelSource(0), E_INVALIDARG);
    const uint32_t a = AddBuffer(2, 100);
    const uint32_t b = AddBuffer(1, 100);
    ASSERT_EQ(scope->RemoveChannelSource(a), S_OK);
    ASSERT_EQ(scope->RemoveChannelSource(b), S_OK);
    EXPECT_EQ(events->sources, (Events{{kAdded, 0}, {kAdded, 1}, {kRemoved, 0}, {kRemoved, kNone}}));
    EXPECT_EQ(MaxSampleCount(), 0u);
    EXPECT_EQ(AddBuffer(1, 10), 0u);
    EXPECT_EQ(First(0), 0u);
    ASSERT_EQ(scope->RemoveChannelSource(kNone), S_OK);
    EXPECT_EQ(events->removed.back(), kNone);
    uint32_t count = 9;
    ASSERT_EQ(scope->GetChannelSourceCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    // The colour table outlives the sources.
    OLE_COLOR colour = 0;
    ASSERT_EQ(scope->get_ChannelColor(0, &colour), S_OK);
    EXPECT_EQ(colour, 0x123456u);
}

TEST_F(ScopeSources, ASourceWhoseChannelCountChangedRemovesExactlyItsOwnChannels)
{
    auto grows = MakeFakeSource(2);
    auto shrinks = MakeFakeSource(2);
    const uint32_t a = Add(grows);
    const uint32_t b = Add(MakeFakeSource(2));
    const uint32_t c = Add(shrinks);
    grows->channels = 3;
    shrinks->channels = 1;
    ASSERT_EQ(scope->RemoveChannelSource(a), S_OK);
    ASSERT_EQ(scope->RemoveChannelSource(c), S_OK);
    EXPECT_EQ(Owners(6), (std::vector<uint32_t>{kNone, kNone, b, b, kNone, kNone, kNone}));
}

TEST_F(ScopeSources, ChannelIdsInUseArePassedOverOnceTheCounterWraps)
{
    // Keeping all but one id sends the counter to the top of the range.
    const uint32_t a = Add(MakeFakeSource(1), 0xFFFFFFFE);
    const uint32_t b = Add(MakeFakeSource(2));
    EXPECT_EQ(Owners(3), (std::vector<uint32_t>{a, b, b, kNone}));
    EXPECT_EQ(First(b), 1u);
    uint32_t src = 0;
    EXPECT_EQ(scope->GetSourceIdFromChanId(0xFFFFFFFE, &src), E_NOINTERFACE);
}

TEST_F(ScopeSources, RefreshRereadsTheSourcesAndPullsThePageBack)
{
    EXPECT_EQ(scope->RefreshChannelSource(7), E_INVALIDARG);
    EXPECT_EQ(scope->RefreshChannelSource(kNone), S_FALSE);
    auto shrinking = MakeFakeSource(2, 100000);
    const uint32_t id = Add(shrinking);
    Add(MakeFakeSource(1, 60000));
    ASSERT_EQ(scope->put_StartSample(70000), S_OK);
    shrinking->total = 500;
    shrinking->type = VT_I2;
    // Another source's refresh leaves the totals as they were read.
    ASSERT_EQ(scope->RefreshChannelSource(1), S_OK);
    EXPECT_EQ(MaxSampleCount(), 100000u);
    ASSERT_EQ(scope->RefreshChannelSource(id), S_OK);
    EXPECT_EQ(MaxSampleCount(), 60000u);
    uint64_t start = 1;
    ASSERT_EQ(scope->get_StartSample(&start), S_OK);
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(Impl(scope)->ChannelState(1)->totalSamples, 500u);
    EXPECT_EQ(Impl(scope)->ChannelState(1)->sampleType, VT_I2);

    ASSERT_EQ(scope->put_PageWidth(20000), S_OK);
    shrinking->total = 100;
    ASSERT_EQ(scope->RemoveChannelSource(1), S_OK);
    ASSERT_EQ(scope->RefreshChannelSource(kNone), S_OK);
    uint32_t page = 0;
    ASSERT_EQ(scope->get_PageWidth(&page), S_OK);
    EXPECT_EQ(page, 100u);
}

TEST_F(ScopeSources, BadSourcesAreRefusedAndLeaveNoTrace)
{
    auto noChannels = MakeFakeSource(0);
    auto noCount = MakeFakeSource(2);
    noCount->countResult = E_UNEXPECTED;
    uint32_t id = 77;
    EXPECT_EQ(scope->AddChannelSource(nullptr, &id), E_POINTER);
    EXPECT_EQ(scope->AddChannelSource(noChannels, &id), E_FAIL);
    EXPECT_EQ(scope->AddChannelSource(noCount, &id), E_FAIL);

    const auto missing = vlt::Utf8ToWide((s_lib->Dir() / "missing.bin").string());
    const auto file = vlt::Utf8ToWide(s_lib->WriteFile("bad.bin", Samples<uint8_t>(10)).string());
    ArrayHolder array(MakeArray(Samples<int16_t>(10)));
    CComBSTR name(L"x");
    EXPECT_EQ(scope->AddFileChannelSource(CComBSTR(file.c_str()), name, VT_UI1, 0, 0, &id), E_INVALIDARG);
    EXPECT_EQ(scope->AddFileChannelSource(CComBSTR(file.c_str()), name, VT_UI1, -1, 0, &id), E_INVALIDARG);
    EXPECT_EQ(scope->AddFileChannelSource(CComBSTR(missing.c_str()), name, VT_UI1, 1, 0, &id), E_FAIL);
    EXPECT_EQ(scope->AddFileChannelSource(CComBSTR(file.c_str()), name, VT_UI1, 1, 11, &id), E_INVALIDARG);
    EXPECT_EQ(scope->AddFileChannelSource(CComBSTR(file.c_str()), name, VT_BSTR, 1, 0, &id), E_NOTIMPL);
    EXPECT_EQ(scope->AddBufferChannelSource(name, ArrayVariant(array.get(), VT_I2), 0, 0, 0, &id), E_INVALIDARG);
    EXPECT_EQ(scope->AddBufferChannelSource(name, ArrayVariant(array.get(), VT_I2), 1, 11, 0, &id), E_INVALIDARG);
    EXPECT_EQ(scope->AddTQ8ChannelSource(nullptr, 0, name, nullptr, &id), E_FAIL);

    EXPECT_EQ(id, 77u);
    uint32_t count = 9;
    ASSERT_EQ(scope->GetChannelSourceCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(events->sources.empty());
    EXPECT_EQ(AddBuffer(1, 5), 0u);
}

TEST_F(ScopeSources, LookupsRefuseAllOnesNullsAndUnknownIds)
{
    const uint32_t a = AddBuffer(1, 5);
    uint32_t out = 0;
    CComPtr<IScopeTQ8ChannelSource> src;
    EXPECT_EQ(scope->GetChannelSource(kNone, &src), E_INVALIDARG);
    EXPECT_EQ(scope->GetChannelSource(a, nullptr), E_POINTER);
    EXPECT_EQ(scope->GetChannelSource(5, &src), E_NOINTERFACE);
    EXPECT_EQ(scope->GetFirstChannelIdForSource(kNone, &out), E_INVALIDARG);
    EXPECT_EQ(scope->GetFirstChannelIdForSource(a, nullptr), E_POINTER);
    EXPECT_EQ(scope->GetFirstChannelIdForSource(5, &out), E_NOINTERFACE);
    EXPECT_EQ(scope->GetSourceIdFromChanId(kNone, &out), E_INVALIDARG);
    EXPECT_EQ(scope->GetSourceIdFromChanId(0, nullptr), E_POINTER);
    EXPECT_EQ(scope->GetChannelSourceCount(nullptr), E_POINTER);
    EXPECT_EQ(scope->EnumChannelSourceIds(nullptr, &out), E_POINTER);
    ASSERT_EQ(scope->GetChannelSource(a, &src), S_OK);
    EXPECT_EQ(RefCount(src), 3u); // ours, the source table's and the channel's
}

TEST_F(ScopeSources, ColoursAndVisibilityGoByChannelId)
{
    ASSERT_EQ(scope->put_ChannelColor(5, 0x0000FF), S_OK); // before channel 5 exists
    EXPECT_EQ(scope->put_ChannelVisibility(5, 0), E_NOINTERFACE);
    AddBuffer(2, 10);
    AddBuffer(4, 10);
    EXPECT_EQ(Impl(scope)->ChannelState(5)->colour, 0x0000FFu);
    EXPECT_EQ(Impl(scope)->ChannelState(1)->colour, 0xFF0000u); // seeded
    EXPECT_EQ(Impl(scope)->ChannelState(4)->colour, 0xFFFFFFu); // the default

    ASSERT_EQ(scope->put_ChannelVisibility(5, 0), S_OK);
    VARIANT_BOOL visible = 1;
    ASSERT_EQ(scope->get_ChannelVisibility(5, &visible), S_OK);
    EXPECT_EQ(visible, 0);
    EXPECT_TRUE(Impl(scope)->IsChannelHidden(5));
    EXPECT_FALSE(Impl(scope)->IsChannelHidden(4));
    ASSERT_EQ(scope->put_ChannelVisibility(5, 7), S_OK);
    EXPECT_FALSE(Impl(scope)->IsChannelHidden(5));

    ASSERT_EQ(scope->put_ChannelColor(4, 0x00FFFF), S_OK);
    EXPECT_EQ(Impl(scope)->ChannelState(4)->colour, 0x00FFFFu);
    ASSERT_EQ(scope->ResetScopeData(), S_OK);
    AddBuffer(6, 10);
    EXPECT_EQ(Impl(scope)->ChannelState(4)->colour, 0x00FFFFu);
    EXPECT_EQ(Impl(scope)->ChannelState(5)->colour, 0x0000FFu);
}

TEST_F(ScopeSources, TheLabelProviderIsHeldUntilReplaced)
{
    auto first = MakeSink<LabelProvider>();
    auto second = MakeSink<LabelProvider>();
    ASSERT_EQ(scope->SetCustomLabelProvider(first), S_OK);
    ASSERT_EQ(scope->SetCustomLabelProvider(first), S_OK);
    EXPECT_EQ(RefCount(first), 2u);
    EXPECT_EQ(Impl(scope)->CustomLabelProvider(), first.p);
    ASSERT_EQ(scope->SetCustomLabelProvider(second), S_OK);
    EXPECT_EQ(RefCount(first), 1u);
    ASSERT_EQ(scope->SetCustomLabelProvider(nullptr), S_OK);
    EXPECT_EQ(RefCount(second), 1u);
    EXPECT_EQ(Impl(scope)->CustomLabelProvider(), nullptr);
    ASSERT_EQ(scope->SetCustomLabelProvider(second), S_OK);
    scope.Release();
    EXPECT_EQ(RefCount(second), 1u);
}

} // namespace
