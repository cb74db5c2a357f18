#include <gtest/gtest.h>

#include "CSaveBrdDataCtx.h"

TEST(CSaveBrdDataCtxTest, Defaults)
{
    CSaveBrdDataCtx c;
    EXPECT_EQ(c.FirstSample, 0u);
    EXPECT_EQ(c.SampleCount, 1048576u);
    EXPECT_EQ(c.Source, 0u);
    EXPECT_EQ(c.DestFileOpts.Template.Fwp_flags, 0x100u);
}

TEST(CSaveBrdDataCtxTest, StoredFlagsNeverCarryBit40)
{
    CSaveBrdDataCtx c;
    c.SetStoredFlags(0x3C1);
    EXPECT_EQ(c.DestFileOpts.Template.Fwp_flags, 0x381u);
    c.DestFileOpts.Template.Fwp_flags = 0x241;
    EXPECT_EQ(c.GetStoredFlags(), 0x201u);
}
