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

// The checksum word (127) holds the 16-bit sum of words 0..126.
uint16_t ChecksumFor(const std::array<uint16_t, TQ8_EEPROM_WORDS>& words)
{
    return static_cast<uint16_t>(std::accumulate(words.begin(), words.end() - 1, 0u));
}
} // namespace

TEST_P(BoardApiTest, FreshBoardsHaveAValidEeprom)
{
    TQ8SIM_BOARD_DESC desc{};
    TQ8Sim_DefaultBoardDesc(&desc, 123456);
    desc.fpgaType = 1;
    ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
    TQ8_HANDLE local = nullptr;
    ASSERT_EQ(ConnectToDeviceTQ8(&local, 123456), TQ8_OK);
    EXPECT_EQ(ValidateConfigEepromTQ8(local), TQ8_OK);
    EXPECT_EQ(Image(local)[TQ8_EEPROM_WORD_FPGA_TYPE], 1);
    EXPECT_EQ(ValidateConfigEepromTQ8(Board()), TQ8_OK);
    EXPECT_EQ(ValidateConfigEepromTQ8(nullptr), TQ8_ERR_INVALID_HANDLE);
}

TEST_P(BoardApiTest, CorruptEepromFailsAndRepairedPasses)
{
    TQ8_HANDLE h = Board(1600);
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

TEST_P(BoardApiTest, ErasedEepromIsInvalidThoughItsSumIsRight)
{
    TQ8_HANDLE h = Board(1600);
    std::array<uint16_t, TQ8_EEPROM_WORDS> erased{};
    erased[127] = ChecksumFor(erased);
    ASSERT_EQ(TQ8Sim_SetEepromWords(1600, 0, erased.data(), TQ8_EEPROM_WORDS), TQ8_OK);
    EXPECT_EQ(ValidateConfigEepromTQ8(h), TQ8_ERR_EEPROM_INVALID);
}

TEST_P(BoardApiTest, EepromAndRegisterCacheHonourInjection)
{
    TQ8_HANDLE h = Board(1600);
    ASSERT_EQ(TQ8Sim_InjectResult("ValidateConfigEepromTQ8", TQ8_ERR_EEPROM_INVALID, 1), TQ8_OK);
    ASSERT_EQ(TQ8Sim_InjectResult("RefreshLocalRegisterCacheTQ8", -9, 1), TQ8_OK);
    EXPECT_EQ(ValidateConfigEepromTQ8(h), TQ8_ERR_EEPROM_INVALID);
    EXPECT_EQ(ValidateConfigEepromTQ8(h), TQ8_OK);
    EXPECT_EQ(RefreshLocalRegisterCacheTQ8(h, 1), -9);
    EXPECT_EQ(RefreshLocalRegisterCacheTQ8(h, 1), TQ8_OK);
}

TEST_P(BoardApiTest, RegisterCacheRefreshKeepsTheSettings)
{
    TQ8_HANDLE h = Board(1600);
    ASSERT_EQ(SetTriggerLevelATQ8(h, 77), TQ8_OK);
    ASSERT_EQ(SetActiveChannelsTQ8(h, 1), TQ8_OK);
    for (int32_t fromHardware : {1, 0}) {
        EXPECT_EQ(RefreshLocalRegisterCacheTQ8(h, fromHardware), TQ8_OK);
        EXPECT_EQ(GetTriggerLevelATQ8(h, 1), 77);
        EXPECT_EQ(GetActiveChannelsTQ8(h, 1), 1);
    }
    EXPECT_EQ(RefreshLocalRegisterCacheTQ8(nullptr, 1), TQ8_ERR_INVALID_HANDLE);
    TQ8_HANDLE gone = Board(1700);
    ASSERT_EQ(DisconnectFromDeviceTQ8(gone), TQ8_OK);
    EXPECT_EQ(RefreshLocalRegisterCacheTQ8(gone, 0), TQ8_ERR_INVALID_HANDLE);
}

TEST_P(BoardApiTest, DelayWriteThenTheFormsChecksumValidates)
{
    TQ8_HANDLE h = Board(1600);
    ASSERT_EQ(InternWriteConfigEepromTQ8(h, 61, 0x0203), TQ8_OK);
    uint16_t value = 0;
    ASSERT_EQ(InternReadConfigEepromTQ8(h, 61, &value), TQ8_OK);
    EXPECT_EQ(value, 0x0203);
    // The library leaves the checksum to the application.
    EXPECT_EQ(ValidateConfigEepromTQ8(h), TQ8_ERR_EEPROM_INVALID);
    uint16_t sum = 0;
    for (uint32_t w = 0; w < 127; ++w) {
        ASSERT_EQ(InternReadConfigEepromTQ8(h, w, &value), TQ8_OK);
        sum = static_cast<uint16_t>(sum + value);
    }
    ASSERT_EQ(InternWriteConfigEepromTQ8(h, 127, sum), TQ8_OK);
    EXPECT_EQ(ValidateConfigEepromTQ8(h), TQ8_OK);

    EXPECT_EQ(InternReadConfigEepromTQ8(h, 128, &value), TQ8_ERR_OUT_OF_BOUNDS);
    EXPECT_EQ(InternWriteConfigEepromTQ8(h, 0xFFFFFFFF, 1), TQ8_ERR_OUT_OF_BOUNDS);
    EXPECT_EQ(InternReadConfigEepromTQ8(h, 0, nullptr), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(InternReadConfigEepromTQ8(nullptr, 0, &value), TQ8_ERR_INVALID_HANDLE);
    ASSERT_EQ(TQ8Sim_InjectResult("InternWriteConfigEepromTQ8", TQ8_ERR_TIMEOUT, 1), TQ8_OK);
    ASSERT_EQ(TQ8Sim_InjectResult("InternReadConfigEepromTQ8", TQ8_ERR_TIMEOUT, 1), TQ8_OK);
    EXPECT_EQ(InternWriteConfigEepromTQ8(h, 61, 0), TQ8_ERR_TIMEOUT);
    EXPECT_EQ(InternReadConfigEepromTQ8(h, 61, &value), TQ8_ERR_TIMEOUT);
    EXPECT_EQ(ValidateConfigEepromTQ8(h), TQ8_OK);
}

TEST_P(BoardApiTest, ConfiguredEepromWordsKeepTheImageValid)
{
    ASSERT_EQ(TQ8Sim_LoadConfigString("<TQ8Sim><Board serial=\"4242\" fpgaType=\"0\"><Eeprom word=\"61\" "
                                      "value=\"0x1234\"/></Board></TQ8Sim>"),
              TQ8_OK);
    TQ8_HANDLE h = nullptr;
    ASSERT_EQ(ConnectToDeviceTQ8(&h, 4242), TQ8_OK);
    EXPECT_EQ(ValidateConfigEepromTQ8(h), TQ8_OK);
    const auto words = Image(h);
    EXPECT_EQ(words[61], 0x1234);
    EXPECT_EQ(words[TQ8_EEPROM_WORD_FPGA_TYPE], 0);
    EXPECT_EQ(words[0x72], 4242);
    // The checksum word is the image's own.
    EXPECT_NE(TQ8Sim_LoadConfigString("<TQ8Sim><Board serial=\"4243\"><Eeprom word=\"127\" value=\"1\"/></Board>"
                                      "</TQ8Sim>"),
              TQ8_OK);
}
