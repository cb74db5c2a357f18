#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "CHandleTable.h"

using namespace tq8;

TEST(CHandleTable, IdsAreTaggedAndNeverReused)
{
    CHandleTable table;
    std::set<uint64_t> seen;
    for (int i = 0; i < 100; ++i) {
        uint64_t id = table.Add(std::make_shared<CConnection>());
        EXPECT_EQ(id & CHandleTable::kTagMask, CHandleTable::kTag);
        EXPECT_TRUE(seen.insert(id).second);
        EXPECT_TRUE(table.Remove(id));
        EXPECT_EQ(table.Find(id), nullptr);
    }
    EXPECT_FALSE(table.Remove(*seen.begin()));
    EXPECT_EQ(table.Find(0), nullptr);
    EXPECT_EQ(table.Find(CHandleTable::kTag | 1), nullptr);
}

TEST(CHandleTable, ConcurrentAddFindRemove)
{
    CHandleTable table;
    std::vector<std::thread> threads;
    std::atomic<int> misses{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; ++i) {
                uint64_t id = table.Add(std::make_shared<CConnection>());
                if (!table.Find(id))
                    ++misses;
                table.Remove(id);
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(misses.load(), 0);
    EXPECT_TRUE(table.Ids().empty());
}
