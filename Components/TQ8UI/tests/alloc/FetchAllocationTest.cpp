// A repeated fetch of the same page allocates nothing: every operator new of
// the process is counted here while a test asks for it. This program is kept
// apart from the other tests so that their allocations stay as the runtime
// (and the sanitizers) make them.
#include "AllocationWatch.h"
#include "CComBSTR.h"
#include "FakeSource.h"
#include "ScopeWithSources.h"
#include "TextConv.h"

#include <QImage>
#include <QPainter>
#include <atomic>

namespace {

std::atomic<uint64_t> g_allocations{0};
thread_local bool t_counting = false;

void Count(std::size_t)
{
    if (t_counting)
        ++g_allocations;
}

// Counts the allocations of this thread for its life.
class Counting {
public:
    Counting() : m_start(g_allocations.load())
    {
        allocwatch::SetHook(&Count);
        t_counting = true;
    }
    ~Counting() { t_counting = false; }
    uint64_t Allocations() const { return g_allocations.load() - m_start; }

private:
    uint64_t m_start;
};

using FetchAllocations = ScopeWithSources;

TEST_F(FetchAllocations, ARepeatedFetchOfTheSamePageAllocatesNothing)
{
    const uint32_t buffer = AddBuffer(2, 50000);
    const auto path = s_lib->WriteFile("page.bin", Samples<uint8_t>(4 * 30000));
    uint32_t file = kNone;
    ASSERT_EQ(scope->AddFileChannelSource(CComBSTR(vlt::Utf8ToWide(path.string()).c_str()), CComBSTR(L"File"),
                                          VT_UI1, 4, 0, &file),
              S_OK);
    auto fakeSource = MakeFakeSource(3, 40000);
    fakeSource->requests.reserve(64); // its own records are not the control's allocations
    fakeSource->locksSeen.reserve(64);
    const uint32_t fake = Add(fakeSource);
    ASSERT_EQ(scope->put_PageWidth(32768), S_OK);
    ASSERT_EQ(scope->put_StartSample(10000), S_OK); // the file's page runs past its end

    CScopeCtrl* ctrl = Impl(scope);
    uint64_t sum = 0;
    uint64_t frames = 0;
    auto fetchAll = [&] {
        for (uint32_t id : {buffer, file, fake})
            for (uint32_t chunk : {CScopeCtrl::kPlotChunkFrames, CScopeCtrl::kScaleChunkFrames})
                EXPECT_FALSE(FAILED(ctrl->FetchSourcePage(
                    id, chunk, [&](const CScopeCtrl::PageSource& page, const sourcefetch::Chunk& c) {
                        const auto* p = static_cast<const uint8_t*>(c.data);
                        for (uint64_t i = 0; i < uint64_t(c.frames) * page.channelCount; ++i)
                            sum += p[i];
                        frames += c.frames;
                        return S_OK;
                    })));
    };
    fetchAll(); // makes the sample buffer
    const uint64_t firstFrames = frames;
    ASSERT_EQ(firstFrames, 2 * (32768 + 20000 + 30000));

    Counting counting;
    fetchAll();
    fetchAll();
    EXPECT_EQ(counting.Allocations(), 0u);
    EXPECT_EQ(frames, 3 * firstFrames);
    EXPECT_GT(sum, 0u);
}

TEST_F(FetchAllocations, ASteadyPaintPlotsItsTracesWithoutAllocating)
{
    AddBuffer(4, 200000);
    auto fakeSource = MakeFakeSource(2, 200000);
    fakeSource->requests.reserve(64);
    fakeSource->locksSeen.reserve(64);
    Add(fakeSource);
    ASSERT_EQ(scope->put_MaxPageWidth(150000), S_OK);
    CScopeCtrl* ctrl = Impl(scope);
    QImage image(808, 308, QImage::Format_RGB32);
    for (uint32_t page : {150000u, 8u, 100u}) { // span mode, markers, plain lines
        ASSERT_EQ(scope->put_PageWidth(page), S_OK);
        ASSERT_EQ(ctrl->OnDraw(&image, {0, 0, 808, 308}), S_OK); // makes buffers, pens and caches
        QImage plot(800, 300, QImage::Format_RGB32);
        QPainter painter(&plot);
        ctrl->PlotAllSources(painter);
        Counting counting;
        EXPECT_EQ(ctrl->PlotAllSources(painter), S_OK);
        EXPECT_EQ(counting.Allocations(), 0u) << page;
    }
}

TEST_F(FetchAllocations, ASteadyPaintOfAGuardedSourceAllocatesNothingWhetherReadOrKept)
{
    auto guarded = MakeFakeSource(2, 200000);
    guarded->requests.reserve(64);
    guarded->locksSeen.reserve(64);
    auto arbiter = MakeArbiter();
    arbiter->asked.reserve(64);
    arbiter->needed.reserve(64);
    Add(guarded, 0, arbiter);
    AddBuffer(1, 200000); // drawn over the kept layer
    ASSERT_EQ(scope->put_MaxPageWidth(150000), S_OK);
    CScopeCtrl* ctrl = Impl(scope);
    QImage image(808, 308, QImage::Format_RGB32);
    QImage plot(800, 300, QImage::Format_RGB32);
    QPainter painter(&plot);
    for (uint32_t page : {150000u, 8u, 100u}) {
        ASSERT_EQ(scope->put_PageWidth(page), S_OK);
        arbiter->answer = S_OK;
        ASSERT_EQ(ctrl->OnDraw(&image, {0, 0, 808, 308}), S_OK); // makes the layer
        ctrl->PlotAllSources(painter);
        {
            Counting counting;
            EXPECT_EQ(ctrl->PlotAllSources(painter), S_OK);
            EXPECT_EQ(counting.Allocations(), 0u) << page << " read";
        }
        arbiter->answer = S_FALSE;
        const size_t reads = guarded->requests.size();
        {
            Counting counting;
            EXPECT_EQ(ctrl->PlotAllSources(painter), S_OK);
            EXPECT_EQ(counting.Allocations(), 0u) << page << " kept";
        }
        EXPECT_EQ(guarded->requests.size(), reads);
        EXPECT_TRUE(ctrl->KeptTraces().Holds(0));
        guarded->requests.clear();
        arbiter->asked.clear();
        arbiter->needed.clear();
    }
}

TEST_F(FetchAllocations, TheCountSeesAllocations)
{
    Counting counting;
    auto* p = new std::vector<int>(10);
    delete p;
    EXPECT_EQ(counting.Allocations(), 2u);
}

} // namespace
