#include <array>
#include <functional>
#include <vector>

#include "ApiFixture.h"

namespace {
using Words = std::vector<uint32_t>;

Words Set(TQ8_HANDLE h, int set)
{
    const uint32_t* words = nullptr;
    EXPECT_EQ(GetRegSetTQ8(h, set, &words), TQ8_OK);
    const size_t n = set == 0 ? TQ8_REGSET_DEVICE_WORDS : set <= 2 ? TQ8_REGSET_CLOCKGEN_WORDS : TQ8_REGSET_ADC_WORDS;
    return words ? Words(words, words + n) : Words{};
}

struct Mirror {
    const char* name;
    std::function<int32_t(TQ8_HANDLE)> set;
    std::function<int64_t(TQ8_HANDLE)> get;
    int64_t value;
    uint32_t word;
    uint32_t mask;
};

uint32_t Count(TQ8_HANDLE h)
{
    uint32_t count = 0, start = 0;
    GetActiveMemoryRegionTQ8(h, &count, &start, 1);
    return count;
}
uint32_t Start(TQ8_HANDLE h)
{
    uint32_t count = 0, start = 0;
    GetActiveMemoryRegionTQ8(h, &count, &start, 1);
    return start;
}

const std::vector<Mirror>& Mirrors()
{
    static const std::vector<Mirror> table = {
        {"segment", [](auto h) { return SetSegmentSizeTQ8(h, 4096); }, [](auto h) { return GetSegmentSizeTQ8(h, 1); },
         4096, 0, 0xFFFFFFFF},
        {"count", [](auto h) { return SetActiveMemoryRegionTQ8(h, 128 * 37, 0); }, Count, 128 * 37, 1, 0x07FFFFFF},
        {"start", [](auto h) { return SetActiveMemoryRegionTQ8(h, 1048576, 4096); }, Start, 4096, 2, 0x07FFFFFF},
        {"delay", [](auto h) { return SetTriggerDelaySamplesTQ8(h, 300); },
         [](auto h) { return GetTriggerDelaySamplesTQ8(h, 1); }, 300, 3, 0x0000FFFF},
        {"pretrigger", [](auto h) { return SetPreTriggerSamplesTQ8(h, 700); },
         [](auto h) { return GetPreTriggerSamplesTQ8(h, 1); }, 700, 3, 0xFFFF0000},
        {"levelA", [](auto h) { return SetTriggerLevelATQ8(h, 200); }, [](auto h) { return GetTriggerLevelATQ8(h, 1); },
         200, 4, 0xFF},
        {"levelB", [](auto h) { return SetTriggerLevelBTQ8(h, 17); }, [](auto h) { return GetTriggerLevelBTQ8(h, 1); },
         17, 4, 0xFF00},
        {"mode", [](auto h) { return SetTriggerModeTQ8(h, 1); }, [](auto h) { return GetTriggerModeTQ8(h, 1); }, 1, 4,
         0x30000},
        {"dirA", [](auto h) { return SetTriggerDirectionATQ8(h, 1); },
         [](auto h) { return GetTriggerDirectionATQ8(h, 1); }, 1, 4, 1u << 20},
        {"dirB", [](auto h) { return SetTriggerDirectionBTQ8(h, 1); },
         [](auto h) { return GetTriggerDirectionBTQ8(h, 1); }, 1, 4, 1u << 21},
        {"source", [](auto h) { return SetTriggerSourceTQ8(h, 4); }, [](auto h) { return GetTriggerSourceTQ8(h, 1); }, 4,
         4, 7u << 25},
        {"autoDcm", [](auto h) { return SetAutoDcmResetOverrideTQ8(h, 1); },
         [](auto h) { return GetAutoDcmResetOverrideTQ8(h, 1); }, 1, 5, 1u << 3},
        {"clock", [](auto h) { return SetAdcClockSourceTQ8(h, 1); }, [](auto h) { return GetAdcClockSourceTQ8(h, 1); },
         1, 5, 3u << 17},
        {"digioMode", [](auto h) { return SetDigitalIoModeTQ8(h, 5); }, [](auto h) { return GetDigitalIoModeTQ8(h, 1); },
         5, 6, 7u << 1},
        {"digioEnable", [](auto h) { return SetDigitalIoEnableTQ8(h, 1); },
         [](auto h) { return GetDigitalIoEnableTQ8(h, 1); }, 1, 6, 1u << 4},
        {"channels", [](auto h) { return SetActiveChannelsTQ8(h, 5); }, [](auto h) { return GetActiveChannelsTQ8(h, 1); },
         5, 6, 0xF000},
        {"tsMode", [](auto h) { return SetTimestampModeTQ8(h, 2); }, [](auto h) { return GetTimestampModeTQ8(h, 1); }, 2,
         6, 7u << 28},
        {"tsCounter", [](auto h) { return SetTimestampCounterModeTQ8(h, 1); },
         [](auto h) { return GetTimestampCounterModeTQ8(h, 1); }, 1, 6, 1u << 31},
        {"zabNumber", [](auto h) { return SetZabBoardNumberTQ8(h, 6); }, [](auto h) { return GetZabBoardNumberTQ8(h, 1); },
         6, 9, 0xF},
        {"zabClock", [](auto h) { return SetZabClockTQ8(h, 2); }, [](auto h) { return GetZabClockTQ8(h, 1); }, 2, 9,
         3u << 6},
        {"zabConfig", [](auto h) { return SetZabConfigurationTQ8(h, 1); },
         [](auto h) { return GetZabConfigurationTQ8(h, 1); }, 1, 9, 3u << 8},
    };
    return table;
}
} // namespace

TEST_P(BoardApiTest, EachSetterChangesOnlyItsFieldAndTheFieldSetsItBack)
{
    for (const Mirror& m : Mirrors()) {
        SCOPED_TRACE(m.name);
        TQ8Sim_Reset();
        TQ8Sim_SetTimeFactor(0.001);
        TQ8_HANDLE h = Board();
        const int64_t original = m.get(h);
        const Words before = Set(h, 0);
        ASSERT_EQ(m.set(h), TQ8_OK);
        ASSERT_EQ(m.get(h), m.value);
        const Words after = Set(h, 0);
        for (uint32_t w = 0; w < 13; ++w) {
            const uint32_t changed = before[w] ^ after[w];
            if (w == m.word)
                EXPECT_TRUE(changed != 0 && (changed & ~m.mask) == 0) << std::hex << changed;
            else
                EXPECT_EQ(changed, 0u) << "word " << w;
        }
        // The inverse: the field written back gives the setting back.
        ASSERT_EQ(WriteDeviceRegTQ8(h, m.word, m.mask, before[m.word], 0, 0, 0), TQ8_OK);
        EXPECT_EQ(m.get(h), original);
        ASSERT_EQ(WriteDeviceRegTQ8(h, m.word, m.mask, after[m.word], 0, 0, 0), TQ8_OK);
        EXPECT_EQ(m.get(h), m.value);
    }
}

TEST_P(BoardApiTest, RegisterSetsAreCopiesOfTheirLengthPerHandle)
{
    TQ8_HANDLE a = Board();
    TQ8_HANDLE b = nullptr;
    ASSERT_EQ(DuplicateHandleTQ8(a, &b), TQ8_OK);
    const uint32_t* first = nullptr;
    ASSERT_EQ(GetRegSetTQ8(a, 0, &first), TQ8_OK);
    const uint32_t levels = first[4];
    ASSERT_EQ(SetTriggerLevelATQ8(b, 3), TQ8_OK);
    const uint32_t* other = nullptr;
    ASSERT_EQ(GetRegSetTQ8(b, 0, &other), TQ8_OK);
    EXPECT_EQ(first[4], levels); // a's copy stays until a asks again
    EXPECT_EQ(other[4] & 0xFF, 3u);
    const uint32_t* out = nullptr;
    EXPECT_EQ(GetRegSetTQ8(a, 5, &out), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(GetRegSetTQ8(a, -1, &out), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(GetRegSetTQ8(a, 0, nullptr), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(Set(a, 3), (Words{0xB2FF7FFF, 0x807F007F, 1023, 0x807F007F, 0x007F00FF}));
    EXPECT_EQ(Set(a, 1)[1], 0x180064FCu);
    EXPECT_EQ(Set(a, 2)[19], 0x100u);
}

TEST_P(BoardApiTest, RefusedFieldValueLeavesRegisterAndSettingAlone)
{
    TQ8_HANDLE h = Board();
    const Words before = Set(h, 0);
    // Trigger source 7 and channel selection 15 do not exist.
    EXPECT_EQ(WriteDeviceRegTQ8(h, 4, 7u << 25, 7u << 25, 0, 0, 0), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(WriteDeviceRegTQ8(h, 6, 0xF000, 0xF000, 0, 0, 0), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(WriteDeviceRegTQ8(h, 13, 1, 1, 0, 0, 0), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(WriteDeviceRegTQ8(h, 16, 1, 1, 0, 0, 0), TQ8_ERR_OUT_OF_BOUNDS);
    EXPECT_EQ(WriteDeviceRegTQ8(h, 4, 1, 1, 1000001, 0, 0), TQ8_ERR_INVALID_ARG);
    const Words after = Set(h, 0);
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 13, after.begin()));
    EXPECT_EQ(GetTriggerSourceTQ8(h, 1), 0);
}

TEST_P(BoardApiTest, RamBypassAndSyncPulseAreBoardBits)
{
    TQ8_HANDLE h = Board();
    uint32_t value = 0;
    ASSERT_EQ(WriteDeviceRegTQ8(h, 6, 1, 0xFFFFFFFF, 0, 0, 0), TQ8_OK);
    ASSERT_EQ(ReadDeviceRegTQ8(h, 6, &value, 3, 0), TQ8_OK);
    EXPECT_EQ(value & 1u, 1u);
    EXPECT_EQ(GetActiveChannelsTQ8(h, 1), 0); // only the masked bit counted
    ASSERT_EQ(WriteDeviceRegTQ8(h, 5, 0x10000000, 0x10000000, 0, 0, 0), TQ8_OK);
    ASSERT_EQ(WriteDeviceRegTQ8(h, 5, 0x10000000, 0, 0, 0, 0), TQ8_OK);
    ASSERT_EQ(ReadDeviceRegTQ8(h, 5, &value, 3, 0), TQ8_OK);
    EXPECT_EQ(value & 0x10000000u, 0u);
    EXPECT_EQ(ReadDeviceRegTQ8(h, 16, &value, 3, 0), TQ8_ERR_OUT_OF_BOUNDS);
}

TEST_P(BoardApiTest, ClockGenRegistersAtEveryPlacement)
{
    TQ8_HANDLE h = Board();
    std::vector<std::array<uint32_t, 3>> placed; // register, logical index, byte
    auto add = [&](uint32_t from, uint32_t to, uint32_t firstWord, uint32_t perWord) {
        for (uint32_t r = from; r <= to; ++r)
            placed.push_back({r, firstWord + (r - from) / perWord, (r - from) % perWord});
    };
    placed.push_back({0x000, 0, 0});
    placed.push_back({0x004, 0, 1});
    add(0x010, 0x01F, 1, 4);
    add(0x0A0, 0x0AB, 5, 3);
    add(0x0F0, 0x0F3, 9, 4);
    add(0x0F4, 0x0F5, 10, 4);
    add(0x140, 0x143, 11, 4);
    add(0x190, 0x198, 12, 3);
    add(0x199, 0x199, 15, 4);
    add(0x19A, 0x19D, 16, 4);
    add(0x19E, 0x19E, 17, 4);
    add(0x19F, 0x1A2, 18, 4);
    add(0x1E0, 0x1E1, 19, 4);
    placed.push_back({0x230, 19, 2});
    ASSERT_EQ(placed.size(), 62u);
    for (int cg = 0; cg < 2; ++cg)
        for (const auto& [reg, word, byte] : placed) {
            const uint8_t value = static_cast<uint8_t>(reg * 7 + cg + 1);
            ASSERT_EQ(WriteClockGenRegTQ8(h, cg, reg, 0xFF, value, word, byte, 0, 0, 1), TQ8_OK) << reg;
            uint8_t read = 0;
            ASSERT_EQ(ReadClockGenRegTQ8(h, cg, reg, word, byte, &read, 2), TQ8_OK);
            EXPECT_EQ(read, value);
            EXPECT_EQ((Set(h, 1 + cg)[word] >> (8 * byte)) & 0xFF, value);
        }
    uint8_t read = 0;
    EXPECT_EQ(ReadClockGenRegTQ8(h, 0, 561, 19, 3, &read, 2), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(ReadClockGenRegTQ8(h, 0, 5, 0, 2, &read, 2), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(ReadClockGenRegTQ8(h, 2, 0x230, 19, 2, &read, 2), TQ8_ERR_INVALID_ARG);
    // A placement that is not the register's own changes nothing.
    const Words before = Set(h, 1);
    EXPECT_EQ(WriteClockGenRegTQ8(h, 0, 0x230, 0xFF, 0x55, 19, 3, 0, 0, 1), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(WriteClockGenRegTQ8(h, 0, 0x230, 0xFF, 0x55, 200, 0, 0, 0, 1), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(Set(h, 1), before);
    // Only the masked bits change.
    ASSERT_EQ(WriteClockGenRegTQ8(h, 0, 0x230, 0x01, 0xFF, 19, 2, 0, 0, 1), TQ8_OK);
    ASSERT_EQ(ReadClockGenRegTQ8(h, 0, 0x230, 19, 2, &read, 0), TQ8_OK);
    EXPECT_EQ(read, static_cast<uint8_t>((0x230 * 7 + 1) | 1));
}

TEST_P(BoardApiTest, AdcWritesLandAtTheirPlacement)
{
    TQ8_HANDLE h = Board();
    const std::array<std::array<uint32_t, 3>, 9> placed = {
        {{0, 0, 0}, {1, 0, 1}, {2, 1, 0}, {3, 1, 1}, {9, 2, 0}, {10, 3, 0}, {11, 3, 1}, {14, 4, 0}, {15, 4, 1}}};
    for (int adc = 0; adc < 2; ++adc)
        for (const auto& [reg, word, half] : placed) {
            const uint16_t value = static_cast<uint16_t>(0x1000 * (adc + 1) + reg);
            ASSERT_EQ(WriteAdcRegTQ8(h, adc, reg, 0xFFFFFFFF, value, word, half, 0, 0), TQ8_OK);
            EXPECT_EQ((Set(h, 3 + adc)[word] >> (16 * half)) & 0xFFFF, value) << reg;
        }
    const Words before = Set(h, 3);
    EXPECT_EQ(WriteAdcRegTQ8(h, 0, 4, 0xFFFF, 1, 2, 0, 0, 0), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(WriteAdcRegTQ8(h, 0, 15, 0xFFFF, 1, 4, 0, 0, 0), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(WriteAdcRegTQ8(h, 0, 15, 0xFFFF, 1, 5, 1, 0, 0), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(WriteAdcRegTQ8(h, 2, 15, 0xFFFF, 1, 4, 1, 0, 0), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(Set(h, 3), before);
    // Offset trim: sign and magnitude in the channel's offset register.
    ASSERT_EQ(_SetAdcChanOffsetAdjTQ8(h, 3, -255), TQ8_OK);
    EXPECT_EQ((Set(h, 4)[3] & 0xFF80u), 0xFF80u);
    EXPECT_EQ(_SetAdcChanOffsetAdjTQ8(h, 0, 256), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(_SetAdcChanOffsetAdjTQ8(h, 4, 0), TQ8_ERR_INVALID_ARG);
}

TEST_P(BoardApiTest, RawWindowsHaveTheirExtent)
{
    TQ8_HANDLE h = Board();
    uint32_t value = 0;
    ASSERT_EQ(_RawRegWriteTQ8(h, 0, 16, 0x1234), TQ8_OK);
    ASSERT_EQ(_RawRegReadTQ8(h, 0, 16, &value), TQ8_OK);
    EXPECT_EQ(value, 0x1234u);
    // A local card's windows are as long as the bus maps them (4 KiB each,
    // window 3 too); the driver checks the index against that length.
    const std::array<uint32_t, 3> extent = IsLocal() ? std::array<uint32_t, 3>{1024, 1024, 1024}
                                                     : std::array<uint32_t, 3>{17, 64, 8};
    for (int32_t bar = 0; bar < 3; ++bar) {
        EXPECT_EQ(_RawRegReadTQ8(h, bar, extent[bar] - 1, &value), TQ8_OK) << bar;
        EXPECT_EQ(_RawRegReadTQ8(h, bar, extent[bar], &value), TQ8_ERR_OUT_OF_BOUNDS) << bar;
    }
    EXPECT_EQ(_RawRegWriteTQ8(h, 3, 0, 0), IsLocal() ? TQ8_OK : TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(_RawRegReadTQ8(h, 4, 0, &value), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(_RawRegReadTQ8(h, -1, 0, &value), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(_RawRegReadTQ8(h, 2, 0xFFFFFFFF, &value), TQ8_ERR_OUT_OF_BOUNDS);

    // BAR 1 reaches the device registers and their settings. The driver
    // keeps no copy of a raw write: a refresh from the hardware shows it.
    ASSERT_EQ(_RawRegWriteTQ8(h, 1, 4, 0x00000040), TQ8_OK);
    if (IsLocal()) {
        ASSERT_EQ(RefreshLocalRegisterCacheTQ8(h, 1), TQ8_OK);
    }
    EXPECT_EQ(GetTriggerLevelATQ8(h, 1), 0x40);
    // The ADC and clock-generator serial ports; the driver's images keep
    // what it wrote itself.
    const uint32_t adcWord = Set(h, 3)[2];
    const uint32_t clockGenWord = Set(h, 2)[15];
    ASSERT_EQ(_RawRegWriteTQ8(h, 1, 17, ((0x9u | 0x10u) << 16) | 0x0123), TQ8_OK);
    EXPECT_EQ(Set(h, 3)[2] & 0xFFFF, IsLocal() ? adcWord & 0xFFFF : 0x0123u);
    ASSERT_EQ(_RawRegWriteTQ8(h, 1, 48, (0x199u << 8) | 0xA5), TQ8_OK);
    EXPECT_EQ(Set(h, 2)[15] & 0xFF, IsLocal() ? clockGenWord & 0xFF : 0xA5u);
    ASSERT_EQ(_RawRegWriteTQ8(h, 1, 48, ((0x199u | 0x8000u) << 8)), TQ8_OK);
    ASSERT_EQ(_RawRegReadTQ8(h, 1, 48, &value), TQ8_OK);
    EXPECT_EQ(value & 0xFF, 0xA5u);
}

TEST_P(BoardApiTest, SdramAndTriggerDelaysAsTheTroubleshootingFormSetsThem)
{
    TQ8_HANDLE h = Board();
    // SDRAM1 three taps on register 8; SDRAM2 none through the secondary port.
    ASSERT_EQ(_RawRegWriteTQ8(h, 1, 8, 0x800), TQ8_OK);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(_RawRegWriteTQ8(h, 1, 8, 0x400), TQ8_OK);
        ASSERT_EQ(_RawRegWriteTQ8(h, 1, 8, 0x600), TQ8_OK);
    }
    ASSERT_EQ(_RawRegWriteTQ8(h, 1, 10, 0x8008006), TQ8_OK);
    ASSERT_EQ(_RawRegWriteTQ8(h, 1, 10, 0x4008006), TQ8_OK);
    ASSERT_EQ(_RawRegWriteTQ8(h, 1, 10, 0x6008006), TQ8_OK);
    // The serial device's words are not processing parameters.
    EXPECT_EQ(Set(h, 0)[10], 0u);
    uint32_t taps = 0;
    ASSERT_EQ(TQ8Sim_GetInputDelays(1600, &taps, nullptr, nullptr), TQ8_OK);
    EXPECT_EQ(taps, 3u);
    ASSERT_EQ(TQ8Sim_GetInputDelays(1600, nullptr, &taps, nullptr), TQ8_OK);
    EXPECT_EQ(taps, 1u);
    ASSERT_EQ(WriteRegExternalTriggerClockIDelay(h, 9), TQ8_OK);
    ASSERT_EQ(TQ8Sim_GetInputDelays(1600, nullptr, nullptr, &taps), TQ8_OK);
    EXPECT_EQ(taps, 9u);
    EXPECT_EQ(WriteRegExternalTriggerClockIDelay(h, 64), TQ8_ERR_INVALID_ARG);
}

TEST_P(BoardApiTest, RefreshAfterASetterShowsTheNewValue)
{
    TQ8_HANDLE h = Board();
    ASSERT_EQ(SetSegmentSizeTQ8(h, 2048), TQ8_OK);
    for (int fromHardware = 0; fromHardware < 2; ++fromHardware) {
        ASSERT_EQ(RefreshLocalRegisterCacheTQ8(h, fromHardware), TQ8_OK);
        EXPECT_EQ(Set(h, 0)[0], 2048u);
    }
    ASSERT_EQ(SetOperatingModeTQ8(h, TQ8_MODE_PCI_BUFFERED_ACQ), TQ8_OK);
    EXPECT_EQ(Set(h, 0)[11] & 0xF, static_cast<uint32_t>(TQ8_MODE_PCI_BUFFERED_ACQ));
}

TEST_P(BoardApiTest, RegisterCallsReachInjectedFailures)
{
    TQ8_HANDLE h = Board();
    for (const char* name : {"GetRegSetTQ8", "WriteAdcRegTQ8", "ReadClockGenRegTQ8", "WriteClockGenRegTQ8",
                             "ReadDeviceRegTQ8", "WriteDeviceRegTQ8", "_RawRegReadTQ8", "_RawRegWriteTQ8",
                             "_SetAdcChanOffsetAdjTQ8", "WriteRegExternalTriggerClockIDelay"}) {
        ASSERT_EQ(TQ8Sim_InjectResult(name, TQ8_ERR_GENERAL, 1), TQ8_OK);
    }
    const uint32_t* words = nullptr;
    uint32_t value = 0;
    uint8_t byte = 0;
    EXPECT_EQ(GetRegSetTQ8(h, 0, &words), TQ8_ERR_GENERAL);
    EXPECT_EQ(WriteAdcRegTQ8(h, 0, 0, 0xFFFF, 0x7FFF, 0, 0, 0, 0), TQ8_ERR_GENERAL);
    EXPECT_EQ(ReadClockGenRegTQ8(h, 0, 0, 0, 0, &byte, 2), TQ8_ERR_GENERAL);
    EXPECT_EQ(WriteClockGenRegTQ8(h, 0, 0, 0xFF, 0, 0, 0, 0, 0, 1), TQ8_ERR_GENERAL);
    EXPECT_EQ(ReadDeviceRegTQ8(h, 6, &value, 3, 0), TQ8_ERR_GENERAL);
    EXPECT_EQ(WriteDeviceRegTQ8(h, 6, 1, 1, 0, 0, 0), TQ8_ERR_GENERAL);
    EXPECT_EQ(_RawRegReadTQ8(h, 1, 0, &value), TQ8_ERR_GENERAL);
    EXPECT_EQ(_RawRegWriteTQ8(h, 1, 0, 0), TQ8_ERR_GENERAL);
    EXPECT_EQ(_SetAdcChanOffsetAdjTQ8(h, 0, 0), TQ8_ERR_GENERAL);
    EXPECT_EQ(WriteRegExternalTriggerClockIDelay(h, 0), TQ8_ERR_GENERAL);
    EXPECT_EQ(GetRegSetTQ8(h, 0, &words), TQ8_OK);
}
