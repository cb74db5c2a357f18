// What the control keeps per channel: copies and the point cache.
#include "CLocalChanState.h"
#include "FakeSource.h"
#include "ScopeTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(LocalChanState, CopiesShareSourceAndArbiterButRemakeTheirDrawingObjects)
{
    CComPtr<IScopeTQ8ChannelSource> source(MakeFakeSource());
    CLocalChanState chan;
    chan.source = source;
    chan.sourceId = 4;
    chan.colour = 0x123456;
    chan.pen = QPen(Qt::red);
    chan.brush = QBrush(Qt::red);
    ASSERT_EQ(chan.points.Reserve(3), S_OK);
    chan.points.filled = 2;

    CLocalChanState copy(chan);
    EXPECT_EQ(RefCount(source), 3u);
    EXPECT_EQ(copy.source.p, chan.source.p);
    EXPECT_EQ(copy.sourceId, 4u);
    EXPECT_EQ(copy.colour, 0x123456u);
    EXPECT_FALSE(copy.pen || copy.brush);
    EXPECT_EQ(copy.points.points.size(), 3u);
    EXPECT_EQ(copy.points.filled, 2u);

    CLocalChanState assigned;
    assigned.pen = QPen(Qt::blue);
    assigned = chan;
    EXPECT_EQ(RefCount(source), 4u);
    EXPECT_FALSE(assigned.pen || assigned.brush);
    EXPECT_EQ(assigned.sourceId, 4u);
    copy = CLocalChanState();
    EXPECT_EQ(RefCount(source), 3u);
}

TEST(LocalChanState, ThePointCacheGrowsOnlyAndFailsCleanly)
{
    CPlottedPointCache cache;
    ASSERT_EQ(cache.Reserve(100), S_OK);
    EXPECT_EQ(cache.points.size(), 100u);
    cache.points[99].x = 7;
    ASSERT_EQ(cache.Reserve(10), S_OK);
    EXPECT_EQ(cache.points.size(), 100u);
    EXPECT_EQ(cache.points[99].x, 7);
    EXPECT_EQ(cache.Reserve(UINT64_MAX), E_OUTOFMEMORY);
    EXPECT_EQ(cache.points.size(), 100u);
}

} // namespace
