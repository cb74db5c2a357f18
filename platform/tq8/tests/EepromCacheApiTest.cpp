#include <array>
#include <numeric>

#include "ApiFixture.h"

namespace {
std::array<uint16_t, TQ8_EEPROM_WORDS> Image(TQ8_HANDLE h)
{
    std::array<uint16_t, TQ8_EEPROM_WORDS> words{};
    EXPECT_EQ(GetEepromDataTQ8(h, 0, words.data(), TQ8_EEPROM_WORDS), TQ8_OK);
    return words;
}

// The checksum word (127) makes all 128 words sum to 0 modulo 2^16.
uint16_t ChecksumFor(const std::array<uint16_t, TQ8_EEPROM_WORDS>& words)
{
    const uint32_t sum = std::accumulate(words.begin(), words.end() - 1, 0u);
    return static_cast<uint16_t>(0u - sum);
}
} // namespace

TEST_F(ApiTest, FreshBoardsHaveAValidEeprom)
{
    TQ8SIM_BOARD_DESC desc{};
    TQ8Sim_DefaultBoardDesc(&desc, 123456);
    desc.fpgaType = 1;
    ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
    TQ8_HANDLE local = nullptr;
    ASSERT_EQ(ConnectToDeviceTQ8(&local, 123456), TQ8_OK);
    EXPECT_EQ(ValidateConfigEepromTQ8(local), TQ8_OK);
    EXPECT_EQ(Image(local)[TQ8_EEPROM_WORD_FPGA_TYPE], 1);
    EXPECT_EQ(ValidateConfigEepromTQ8(Virtual()), TQ8_OK);
    EXPECT_EQ(ValidateConfigEepromTQ8(nullptr), TQ8_ERR_INVALID_HANDLE);
}

TEST_F(ApiTest, CorruptEepromFailsAndRepairedPasses)
{
    TQ8_HANDLE h = Virtual(1600);
    const auto original = Image(h);
    const uint16_t flipped = original[10] ^ 0x0100;
    ASSERT_EQ(TQ8Sim_SetEepromWords(1600, 10, &flipped, 1), TQ8_OK);
    EXPECT_EQ(ValidateConfigEepromTQ8(h), TQ8_ERR_EEPROM_INVALID);
    wchar_t* text = nullptr;
    ASSERT_EQ(GetErrorTextWTQ8(TQ8_ERR_EEPROM_INVALID, &text, 0, h), TQ8_OK);
    EXPECT_STRNE(text, L"");
    FreeMemoryTQ8(text);

    ASSERT_EQ(TQ8Sim_SetEepromWords(1600, 0, original.data(), TQ8_EEPROM_WORDS), TQ8_OK);
    EXPECT_EQ(ValidateConfigEepromTQ8(h), TQ8_OK);

    // A new FPGA type with its checksum written along is consistent.
    auto changed = original;
    changed[TQ8_EEPROM_WORD_FPGA_TYPE] = 7;
    changed[127] = ChecksumFor(changed);
    ASSERT_EQ(TQ8Sim_SetEepromWords(1600, 0, changed.data(), TQ8_EEPROM_WORDS), TQ8_OK);
    EXPECT_EQ(ValidateConfigEepromTQ8(h), TQ8_OK);
    EXPECT_EQ(Image(h)[TQ8_EEPROM_WORD_FPGA_TYPE], 7);
}

TEST_F(ApiTest, ErasedEepromIsInvalidThoughItsSumIsRight)
{
    TQ8_HANDLE h = Virtual(1600);
    std::array<uint16_t, TQ8_EEPROM_WORDS> erased{};
    erased[127] = ChecksumFor(erased);
    ASSERT_EQ(TQ8Sim_SetEepromWords(1600, 0, erased.data(), TQ8_EEPROM_WORDS), TQ8_OK);
    EXPECT_EQ(ValidateConfigEepromTQ8(h), TQ8_ERR_EEPROM_INVALID);
}

TEST_F(ApiTest, EepromAndRegisterCacheHonourInjection)
{
    TQ8_HANDLE h = Virtual(1600);
    ASSERT_EQ(TQ8Sim_InjectResult("ValidateConfigEepromTQ8", TQ8_ERR_EEPROM_INVALID, 1), TQ8_OK);
    ASSERT_EQ(TQ8Sim_InjectResult("RefreshLocalRegisterCacheTQ8", -9, 1), TQ8_OK);
    EXPECT_EQ(ValidateConfigEepromTQ8(h), TQ8_ERR_EEPROM_INVALID);
    EXPECT_EQ(ValidateConfigEepromTQ8(h), TQ8_OK);
    EXPECT_EQ(RefreshLocalRegisterCacheTQ8(h, 1), -9);
    EXPECT_EQ(RefreshLocalRegisterCacheTQ8(h, 1), TQ8_OK);
}

TEST_F(ApiTest, RegisterCacheRefreshKeepsTheSettings)
{
    TQ8_HANDLE h = Virtual(1600);
    ASSERT_EQ(SetTriggerLevelATQ8(h, 77), TQ8_OK);
    ASSERT_EQ(SetActiveChannelsTQ8(h, 1), TQ8_OK);
    for (int32_t fromHardware : {1, 0}) {
        EXPECT_EQ(RefreshLocalRegisterCacheTQ8(h, fromHardware), TQ8_OK);
        EXPECT_EQ(GetTriggerLevelATQ8(h, 1), 77);
        EXPECT_EQ(GetActiveChannelsTQ8(h, 1), 1);
    }
    EXPECT_EQ(RefreshLocalRegisterCacheTQ8(nullptr, 1), TQ8_ERR_INVALID_HANDLE);
    TQ8_HANDLE gone = Virtual(1700);
    ASSERT_EQ(DisconnectFromDeviceTQ8(gone), TQ8_OK);
    EXPECT_EQ(RefreshLocalRegisterCacheTQ8(gone, 0), TQ8_ERR_INVALID_HANDLE);
}
