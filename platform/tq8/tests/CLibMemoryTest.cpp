#include <gtest/gtest.h>

#include "CLibMemory.h"

using namespace tq8;

TEST(CLibMemory, FreesOnlyItsOwnBlocksOnce)
{
    CLibMemory mem;
    wchar_t* w = mem.CopyWide(L"abc");
    ASSERT_NE(w, nullptr);
    EXPECT_STREQ(w, L"abc");
    int local = 0;
    EXPECT_FALSE(mem.Free(&local));
    EXPECT_FALSE(mem.Free(w, 7)); // wrong owner
    EXPECT_TRUE(mem.Free(w));
    EXPECT_FALSE(mem.Free(w));
}

TEST(CLibMemory, OwnerBlocksGoWithTheirOwner)
{
    CLibMemory mem;
    void* a = mem.Allocate(100, 5);
    void* b = mem.Allocate(100, 6);
    EXPECT_TRUE(mem.Owns(a, 5, 100));
    EXPECT_FALSE(mem.Owns(a, 5, 101));
    EXPECT_FALSE(mem.Owns(a, 6, 1));
    mem.FreeAllOf(5);
    EXPECT_FALSE(mem.Owns(a, 5, 1));
    EXPECT_TRUE(mem.Owns(b, 6, 1));
}
