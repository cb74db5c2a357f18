#include <algorithm>
#include <cstdio>
#include <string>

#include "ApiFixture.h"

namespace {
const char* kTwoBoards = R"(<TQ8Sim>
  <Board serial="5000" revision="1" features="0" packages="0x4" masterSlave="1" sync="1" fpgaType="1"
         ramSize="0x20000000" chanFlags="0x82,0x2,0,0"/>
  <Board serial="1" revision="2" features="0x9" fpgaType="0" tsOverflowFlag="0">
    <Signal channel="2" freqMHz="12.5" amplitude="30" noise="0"/>
  </Board>
</TQ8Sim>)";
}

TEST_F(ApiTest, NoLocalBoardsByDefault)
{
    EXPECT_EQ(GetDeviceCountTQ8(), 0);
    TQ8_HANDLE h = nullptr;
    EXPECT_EQ(ConnectToDeviceTQ8(&h, 1), TQ8_ERR_DEVICE_NOT_FOUND);
}

TEST_F(ApiTest, LocalBoardsFromConfigurationSerialWinsOverOrdinal)
{
    ASSERT_EQ(TQ8Sim_LoadConfigString(kTwoBoards), TQ8_OK);
    EXPECT_EQ(GetDeviceCountTQ8(), 2);
    TQ8_HANDLE h = nullptr;
    uint32_t serial = 0;
    // 1 is the serial of the second board: the serial wins.
    ASSERT_EQ(ConnectToDeviceTQ8(&h, 1), TQ8_OK);
    ASSERT_EQ(GetSerialNumberTQ8(h, &serial), TQ8_OK);
    EXPECT_EQ(serial, 1u);
    ASSERT_EQ(ConnectToDeviceTQ8(&h, 2), TQ8_OK); // ordinal 2
    ASSERT_EQ(GetSerialNumberTQ8(h, &serial), TQ8_OK);
    EXPECT_EQ(serial, 1u);
    ASSERT_EQ(ConnectToDeviceTQ8(&h, 5000), TQ8_OK);
    EXPECT_EQ(IsDeviceVirtualTQ8(h), 0);
    EXPECT_EQ(GetBoardRevisionTQ8(h), 1);
    EXPECT_EQ(GetBoardFeaturesTQ8(h), 0u);
    EXPECT_EQ(IsFixedLogicPackagePresentTQ8(h, 2), TQ8_OK);
    EXPECT_NE(IsFixedLogicPackagePresentTQ8(h, 4), TQ8_OK);
    EXPECT_EQ(GetInputChannelFlagsTQ8(h, 0), 0x82u);
    EXPECT_EQ(GetMasterSlaveConfigurationTQ8(h, 1), 1);
    EXPECT_EQ(GetSyncConfigurationTQ8(h, 1), 1);
    EXPECT_EQ(GetActiveChannelsTQ8(h, 1), 1);
    uint32_t ram = 0;
    ASSERT_EQ(GetSampleRamSizeTQ8(h, &ram), TQ8_OK);
    EXPECT_EQ(ram, 0x20000000u);
    double vpp = 0;
    EXPECT_EQ(GetInputVoltageRangeVoltsCh2TQ8(h, &vpp, 1), TQ8_OK);
    EXPECT_EQ(GetInputVoltageRangeVoltsCh3TQ8(h, &vpp, 1), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(ConnectToDeviceTQ8(&h, 3), TQ8_ERR_DEVICE_NOT_FOUND);
    EXPECT_EQ(GetTimestampOverflowFlagTQ8(h), 0);
    ASSERT_EQ(ConnectToDeviceTQ8(&h, 1), TQ8_OK);
    EXPECT_EQ(GetTimestampOverflowFlagTQ8(h), TQ8_ERR_TS_OVERFLOW_UNSUPPORTED);
    TQ8SIM_SIGNAL sig{};
    ASSERT_EQ(TQ8Sim_GetSignal(1, 2, &sig), TQ8_OK);
    EXPECT_EQ(sig.frequencyMHz, 12.5);
    EXPECT_EQ(sig.amplitude, 30.0);
}

TEST_F(ApiTest, EepromWordHoldsTheFpgaType)
{
    ASSERT_EQ(TQ8Sim_LoadConfigString(kTwoBoards), TQ8_OK);
    TQ8_HANDLE h = nullptr;
    ASSERT_EQ(ConnectToDeviceTQ8(&h, 5000), TQ8_OK);
    uint16_t word = 0;
    ASSERT_EQ(GetEepromDataTQ8(h, TQ8_EEPROM_WORD_FPGA_TYPE, &word, 1), TQ8_OK);
    EXPECT_EQ(word, 1);
    uint16_t serial[2] = {};
    ASSERT_EQ(GetEepromDataTQ8(h, 0x72, serial, 2), TQ8_OK);
    EXPECT_EQ(serial[0] | (serial[1] << 16), 5000);
    EXPECT_EQ(GetEepromDataTQ8(h, 127, serial, 2), TQ8_ERR_OUT_OF_BOUNDS);
    EXPECT_EQ(GetEepromDataTQ8(h, 93, nullptr, 1), TQ8_ERR_INVALID_ARG);
    uint16_t unknown = 7;
    ASSERT_EQ(TQ8Sim_SetEepromWords(5000, 93, &unknown, 1), TQ8_OK);
    ASSERT_EQ(GetEepromDataTQ8(h, 93, &word, 1), TQ8_OK);
    EXPECT_EQ(word, 7);
}

TEST_F(ApiTest, BadConfigurationDeclaresNothing)
{
    EXPECT_EQ(TQ8Sim_LoadConfigString("<TQ8Sim><Board serial=\"5\"/><Board serial=\"5\"/></TQ8Sim>"),
              TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(TQ8Sim_LoadConfigString("<TQ8Sim><Board serial=\"-5\"/></TQ8Sim>"), TQ8_ERR_BAD_SETTINGS);
    EXPECT_EQ(TQ8Sim_LoadConfigString("<TQ8Sim><Board serial=\"6\" ramSize=\"0x100000000\"/></TQ8Sim>"),
              TQ8_ERR_BAD_SETTINGS);
    EXPECT_EQ(TQ8Sim_LoadConfigString("<TQ8Sim><Board serial=\"6\" ramSize=\"0x80001000\"/></TQ8Sim>"),
              TQ8_ERR_BAD_SETTINGS);
    EXPECT_EQ(TQ8Sim_LoadConfigString("<Nope/>"), TQ8_ERR_BAD_SETTINGS);
    EXPECT_EQ(GetDeviceCountTQ8(), 0);
    TQ8SIM_BOARD_DESC d;
    TQ8Sim_DefaultBoardDesc(&d, 9);
    ASSERT_EQ(TQ8Sim_AddLocalBoard(&d), TQ8_OK);
    EXPECT_EQ(TQ8Sim_AddLocalBoard(&d), TQ8_ERR_INVALID_ARG); // duplicate serial
    EXPECT_EQ(GetDeviceCountTQ8(), 1);
}

TEST_F(ApiTest, InjectedFailuresLastForTheirCalls)
{
    TQ8_HANDLE h = Virtual();
    ASSERT_EQ(TQ8Sim_InjectResult("AcquireToBoardRamTQ8", TQ8_ERR_EEPROM_INVALID, 2), TQ8_OK);
    EXPECT_EQ(AcquireToBoardRamTQ8(h, 0, 4096, 0, 0), TQ8_ERR_EEPROM_INVALID);
    EXPECT_EQ(AcquireToBoardRamTQ8(h, 0, 4096, 0, 0), TQ8_ERR_EEPROM_INVALID);
    EXPECT_EQ(AcquireToBoardRamTQ8(h, 0, 4096, 0, 0), TQ8_OK);
    ASSERT_EQ(TQ8Sim_InjectResult("WaitForTransferCompleteTQ8", TQ8_ERR_TIMEOUT, 1), TQ8_OK);
    EXPECT_EQ(WaitForTransferCompleteTQ8(h, 2500), TQ8_ERR_TIMEOUT);
    EXPECT_EQ(WaitForTransferCompleteTQ8(h, 2500), TQ8_OK);
    ASSERT_EQ(TQ8Sim_InjectResult("SetInternalAdcClockRateTQ8", TQ8_ERR_RATE_TOO_HIGH, 5), TQ8_OK);
    EXPECT_EQ(SetInternalAdcClockRateTQ8(h, 500), TQ8_ERR_RATE_TOO_HIGH);
    ASSERT_EQ(TQ8Sim_InjectResult("SetInternalAdcClockRateTQ8", 0, 0), TQ8_OK); // removed
    EXPECT_EQ(SetInternalAdcClockRateTQ8(h, 500), TQ8_OK);
    ASSERT_EQ(TQ8Sim_InjectResult("DuplicateHandleTQ8", TQ8_ERR_NO_MEMORY, 1), TQ8_OK);
    TQ8_HANDLE d = nullptr;
    EXPECT_EQ(DuplicateHandleTQ8(h, &d), TQ8_ERR_NO_MEMORY);
    EXPECT_EQ(TQ8Sim_InjectResult(nullptr, -1, 1), TQ8_ERR_INVALID_ARG);
    // Part of the way: two calls pass, one fails, then the injection is gone.
    ASSERT_EQ(TQ8Sim_InjectResultAfter("SetBoardProcessingParamTQ8", 2, TQ8_ERR_TIMEOUT, 1), TQ8_OK);
    EXPECT_EQ(SetBoardProcessingParamTQ8(h, 0, 1), TQ8_OK);
    EXPECT_EQ(SetBoardProcessingParamTQ8(h, 1, 1), TQ8_OK);
    EXPECT_EQ(SetBoardProcessingParamTQ8(h, 2, 1), TQ8_ERR_TIMEOUT);
    EXPECT_EQ(SetBoardProcessingParamTQ8(h, 2, 1), TQ8_OK);
}

TEST_F(ApiTest, ReportedValuesStandInForTheBoardsOwn)
{
    EXPECT_EQ(TQ8Sim_ReportDriverVersion(1600, 1), TQ8_ERR_DEVICE_NOT_FOUND); // no such board yet
    TQ8_HANDLE h = Virtual();
    TQ8_HANDLE other = Virtual(1601);
    ASSERT_EQ(TQ8Sim_ReportDriverVersion(1600, 0x0001000C0003FFFFull), TQ8_OK);
    ASSERT_EQ(TQ8Sim_ReportRamSize(1600, 1u << 29), TQ8_OK);
    ASSERT_EQ(TQ8Sim_ReportActiveChannels(1600, 77), TQ8_OK);
    ASSERT_EQ(TQ8Sim_ReportMaxSampleCount(1600, 4096), TQ8_OK);
    uint64_t version = 0;
    ASSERT_EQ(GetDriverVersionTQ8(h, &version), TQ8_OK);
    EXPECT_EQ(version, 0x0001000C0003FFFFull);
    wchar_t* text = nullptr;
    ASSERT_EQ(GetVersionTextWTQ8(h, TQ8_VERSION_DRIVER, &text, 0), TQ8_OK);
    EXPECT_STREQ(text, L"1.12.3.65535");
    FreeMemoryTQ8(text);
    uint32_t ram = 0, max = 0;
    ASSERT_EQ(GetSampleRamSizeTQ8(h, &ram), TQ8_OK);
    EXPECT_EQ(ram, 1u << 29);
    EXPECT_EQ(GetActiveChannelsTQ8(h, 1), 77);
    ASSERT_EQ(GetMaxSampleCountForActiveChanSelTQ8(h, 5, &max), TQ8_OK);
    EXPECT_EQ(max, 4096u);
    // The board itself is unchanged, and so is another board.
    std::vector<uint8_t> x(16);
    EXPECT_EQ(ReadSampleRamBufTQ8(h, (1u << 30), 16, x.data(), 0), TQ8_OK);
    EXPECT_EQ(GetActiveChannelsTQ8(other, 1), 0);
    ASSERT_EQ(GetSampleRamSizeTQ8(other, &ram), TQ8_OK);
    EXPECT_EQ(ram, 0x80000000u);
    TQ8Sim_Reset();
    h = Virtual();
    EXPECT_EQ(GetActiveChannelsTQ8(h, 1), 0);
}

TEST_F(ApiTest, TimeFactorIsChecked)
{
    EXPECT_EQ(TQ8Sim_SetTimeFactor(-1.0), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(TQ8Sim_SetTimeFactor(1000.5), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(TQ8Sim_SetTimeFactor(0.0), TQ8_OK); // as fast as possible
    EXPECT_EQ(TQ8Sim_GetTimeFactor(), 0.0);
    EXPECT_EQ(TQ8Sim_SetTimeFactor(0.5), TQ8_OK);
    EXPECT_EQ(TQ8Sim_GetTimeFactor(), 0.5);
}

TEST_F(ApiTest, ProcessingNeedsItsPackage)
{
    ASSERT_EQ(TQ8Sim_LoadConfigString(kTwoBoards), TQ8_OK); // board 5000 has package 2 only
    TQ8_HANDLE h = nullptr;
    ASSERT_EQ(ConnectToDeviceTQ8(&h, 5000), TQ8_OK);
    EXPECT_EQ(FLPC2_SetDecimationFactorTQ8(h, 13), TQ8_OK);
    EXPECT_EQ(FLPC2_SetDecimationFactorTQ8(h, 14), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(FLPC4_SetFftSizeTQ8(h, 1024), TQ8_ERR_NOT_SUPPORTED);
    int16_t taps[65] = {};
    EXPECT_EQ(FLPC6_LoadCoefficientsCh1TQ8(h, taps, 0), TQ8_ERR_NOT_SUPPORTED);
    TQ8_HANDLE v = Virtual();
    EXPECT_EQ(FLPC4_SetFftSizeTQ8(v, 1024), TQ8_OK);
    EXPECT_EQ(FLPC6_LoadCoefficientsCh2TQ8(v, taps, 0), TQ8_OK);
    EXPECT_EQ(FLPC6_LoadCoefficientsCh2TQ8(v, nullptr, 0), TQ8_ERR_INVALID_ARG);
}

TEST_F(ApiTest, ProcessingValuesCanBeReadBack)
{
    TQ8_HANDLE v = Virtual();
    int16_t taps[65];
    for (int i = 0; i < 65; ++i)
        taps[i] = int16_t(-i);
    ASSERT_EQ(FLPC6_LoadCoefficientsCh2TQ8(v, taps, 0), TQ8_OK);
    int16_t back[129] = {1};
    ASSERT_EQ(TQ8Sim_GetFirCoefficients(1600, 2, back, 65), TQ8_OK);
    EXPECT_TRUE(std::equal(taps, taps + 65, back));
    ASSERT_EQ(TQ8Sim_GetFirCoefficients(1600, 0, back, 129), TQ8_OK);
    EXPECT_EQ(std::count(back, back + 129, 0), 129); // untouched bank
    EXPECT_EQ(TQ8Sim_GetFirCoefficients(1600, 1, back, 129), TQ8_ERR_INVALID_ARG);
    ASSERT_EQ(SetBoardProcessingParamTQ8(v, 65535, 7), TQ8_OK);
    ASSERT_EQ(SetBoardProcessingParamTQ8(v, 3, 9), TQ8_OK);
    uint16_t params[4] = {1, 1, 1, 1};
    ASSERT_EQ(TQ8Sim_GetProcessingParams(1600, 65532, params, 4), TQ8_OK);
    EXPECT_EQ(params[3], 7);
    EXPECT_EQ(params[0], 0);
    ASSERT_EQ(TQ8Sim_GetProcessingParams(1600, 2, params, 2), TQ8_OK);
    EXPECT_EQ(params[1], 9);
    EXPECT_EQ(TQ8Sim_GetProcessingParams(1600, 65535, params, 2), TQ8_ERR_INVALID_ARG);
}
