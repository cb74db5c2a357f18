#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "BoardDescription.h"
#include "CSampleRam.h"
#include "CTimestampFifo.h"

using namespace tq8;

TEST(CSampleRam, WritesAcrossPagesReadBack)
{
    CSampleRam ram(kMaxRamSize);
    std::vector<uint8_t> data(3 * CSampleRam::kPageSize / 2);
    std::iota(data.begin(), data.end(), uint8_t{1});
    uint32_t at = kMaxRamSize / 2 - 100;
    ASSERT_TRUE(ram.Write(at, data.data(), static_cast<uint32_t>(data.size())));
    std::vector<uint8_t> back(data.size());
    ASSERT_TRUE(ram.Read(at, back.data(), static_cast<uint32_t>(back.size())));
    EXPECT_EQ(back, data);
    // Only the touched pages cost memory.
    EXPECT_EQ(ram.AllocatedPages(), 3u);
}

TEST(CSampleRam, UnwrittenMemoryReadsZero)
{
    CSampleRam ram(1u << 22);
    std::vector<uint8_t> back(64, 0xAB);
    ASSERT_TRUE(ram.Read(1000, back.data(), 64));
    EXPECT_EQ(back, std::vector<uint8_t>(64, 0));
}

TEST(CSampleRam, RangesBeyondMemoryAreRefused)
{
    CSampleRam ram(1u << 22);
    uint8_t b[16] = {};
    EXPECT_FALSE(ram.Read((1u << 22) - 8, b, 16));
    EXPECT_FALSE(ram.Write(0xFFFFFFF8u, b, 16));
    EXPECT_TRUE(ram.Write((1u << 22) - 16, b, 16));
}

TEST(CTimestampFifo, OverflowKeepsTheFirstEntries)
{
    CTimestampFifo fifo(4);
    for (uint64_t v = 1; v <= 6; ++v)
        fifo.Push(v);
    EXPECT_TRUE(fifo.Overflowed());
    uint64_t out[8] = {};
    ASSERT_EQ(fifo.Pop(out, 8), 4u);
    EXPECT_EQ(out[0], 1u);
    EXPECT_EQ(out[3], 4u);
    fifo.Reset();
    EXPECT_FALSE(fifo.Overflowed());
    EXPECT_EQ(fifo.Available(), 0u);
}

TEST(Eeprom, ImageHoldsSerialFpgaTypeAndValidChecksum)
{
    BoardDescription d;
    d.serial = 0x12345678;
    d.fpgaType = 1;
    EepromImage image = MakeEepromImage(d);
    EXPECT_EQ(image[kEepromSerialLowWord], 0x5678);
    EXPECT_EQ(image[kEepromSerialHighWord], 0x1234);
    EXPECT_EQ(image[kEepromFpgaTypeWord], 1);
    EXPECT_TRUE(IsEepromValid(image));
    image[10] ^= 1;
    EXPECT_FALSE(IsEepromValid(image));
}

TEST(Eeprom, SignatureWordIsPartOfConsistency)
{
    BoardDescription d;
    d.serial = 7;
    EepromImage image = MakeEepromImage(d);
    EXPECT_EQ(image[kEepromCheckWord], kEepromSignature);
    // Moving a value between two words keeps the sum but not the signature.
    image[kEepromCheckWord] = static_cast<uint16_t>(image[kEepromCheckWord] - 1);
    image[0] = static_cast<uint16_t>(image[0] + 1);
    EXPECT_EQ(image[kEepromChecksumWord], EepromChecksum(image));
    EXPECT_FALSE(IsEepromValid(image));
    EepromImage blank{};
    blank[kEepromChecksumWord] = EepromChecksum(blank);
    EXPECT_FALSE(IsEepromValid(blank));
}
