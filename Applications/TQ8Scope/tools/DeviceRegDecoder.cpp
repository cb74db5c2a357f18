#include "DeviceRegDecoder.h"

#include <iterator>

#include "EnumTexts.h"
#include "RegisterFieldLines.h"

namespace {

using R = FieldRule;
using V = FieldValue;

constexpr RegField kReg00[] = {
    {L"seg_size", 0, 31, L"(Segment size: %d)", R::Plain, V::Getter, kSegmentSize},
};
constexpr RegField kReg01[] = {
    {L"burst_count", 0, 18, L"(Sample count: %u)", R::Plain, V::Getter, kSampleCount},
    {kUnusedName, 19, 19, kUnusedText, R::Unused},
    {L"partial_size", 20, 26, L"(Partial burst size)"},
    {kUnusedName, 27, 30, kUnusedText, R::Unused},
    {L"free_run", 31, 31, L"(Free run?)"},
};
constexpr RegField kReg02[] = {
    {L"start_addr", 0, 25, L"(Starting sample: %u)", R::Plain, V::Getter, kStartSample},
    {kUnusedName, 26, 31, kUnusedText, R::Unused},
};
constexpr RegField kReg03[] = {
    {L"trig_delay", 0, 15, L"(Trigger delay samples: %u)", R::Plain, V::Getter, kTriggerDelay},
    {L"pre_trig_samps", 16, 31, L"(Pre-trigger samples: %u)", R::Plain, V::Getter, kPreTrigger},
};
constexpr RegField kReg04[] = {
    {L"trig_level_a", 0, 7, L"(Trigger level A: %u)", R::Plain, V::Getter, kTriggerLevelA},
    {L"trig_level_b", 8, 15, L"(Trigger level B: %u)", R::Plain, V::Getter, kTriggerLevelB},
    {L"trig_mode", 16, 17, L"(Trigger mode: %s)", R::Plain, V::GetterText, kTriggerMode, TriggerModeToText},
    {L"trig_dir_a", 20, 20, L"(Trigger A Dir: %s)", R::Plain, V::GetterText, kTriggerDirA, TriggerDirectionToText},
    {L"trig_dir_b", 21, 21, L"(Trigger B Dir: %s)", R::Plain, V::GetterText, kTriggerDirB, TriggerDirectionToText},
    {L"trig_dir_ext", 22, 22, L"(Ext Trigger Dir: %s)", R::Plain, V::GetterText, kTriggerDirExt,
     TriggerDirectionToText},
    {L"soft_trig", 23, 23, L"(Software Trigger)"},
    {kUnusedName, 24, 24, kUnusedText, R::Unused},
    {L"trig_src", 25, 27, L"(Trigger source: %s)", R::Plain, V::GetterText, kTriggerSource, TriggerSourceToText},
    {kUnusedName, 28, 31, kUnusedText, R::Unused},
};
constexpr RegField kReg05[] = {
    {L"dcm_sel", 0, 0, L"(DCM select)"},
    {L"dcm_sel_90deg", 1, 1, L"(DCM select 90deg)"},
    {L"phase_det_sel", 2, 2, L"(Phase detect select)"},
    {L"auto_dcm_rst_en", 3, 3, L"(Auto-DCM-Reset Enable)"},
    {L"phase_det_pol", 4, 4, L"(Phase detect polarity)"},
    {kUnusedName, 5, 7, kUnusedText, R::Unused},
    {L"cg1_pd", 8, 8, L"(CG1 power up)", R::GreenWhenSet},
    {L"cg2_pu", 9, 9, L"(CG2 power up)", R::GreenWhenSet},
    {kUnusedName, 10, 16, kUnusedText, R::Unused},
    {L"clk_src", 17, 18, L"(Clock source: %s)", R::Plain, V::GetterText, kAdcClockSource, AdcClockSourceToText},
    {L"clk_div_emu", 19, 23, L"(Post ADC clock div: %u)", R::Plain, V::Pow2},
    {L"dcmrst1", 24, 24, L"(DCM reset 1)"},
    {L"dcmrst2", 25, 25, L"(DCM reset 2)"},
    {L"dcmrst3", 26, 26, L"(DCM reset 3)"},
    {L"dcmrst4", 27, 27, L"(DCM reset 4)"},
    {L"sync_out", 28, 28, nullptr},
    {L"adc_int_en", 29, 29, L"(ADC interleave enable)"},
    {L"rst_ext_trig_delay", 30, 30, L"(Reset external trigger delay)"},
    {L"ext_trig_delay", 31, 31, L"(external trigger delay)"},
};
constexpr RegField kReg06[] = {
    {kUnusedName, 0, 0, kUnusedText, R::Unused},
    {L"digio_sel", 1, 3, L"(Digital output: %s)", R::Plain, V::GetterText, kDigitalIoMode, DigitalIoModeToText},
    {L"digio_en", 4, 4, L"(Digital output enable)"},
    {L"fifo_test", 5, 5, L"(FIFO test)", R::MarkWhenSet},
    {L"dac_clear", 6, 6, L"(Register test)"},
    {L"adc_cal_done_rst", 7, 7, nullptr, R::Unused},
    {L"ts_reset", 8, 8, L"(Timestamp reset)", R::MarkWhenSet},
    {L"ts_fifo_reset", 9, 9, L"(TS FIFO reset)", R::MarkWhenSet},
    {L"iq1_cal", 10, 10, L"(ADC1 Calibrate)"},
    {L"iq2_cal", 11, 11, L"(ADC2 Calibrate)"},
    {L"active_channels", 12, 15, L"(Active channels: %s)", R::Plain, V::GetterText, kActiveChannels,
     ActiveChannelsToText},
    {L"iq1_pd", 16, 16, L"(ADC1 Powerdown)", R::RedWhenSet},
    {L"q1_pdq", 17, 17, L"(Ch2 Powerdown only)", R::RedWhenSet},
    {L"iq2_pd", 18, 18, L"(ADC2 Powerdown)", R::RedWhenSet},
    {L"q2_pdq", 19, 19, L"(Ch2 Powerdown only)", R::RedWhenSet},
    {L"route_to_sdram2", 20, 20, L"(Route all data to SDRAM2)"},
    {kUnusedName, 21, 22, kUnusedText, R::Unused},
    {L"fpga_slave_en", 23, 23, L"(FPGA slave enable)"},
    {kUnusedName, 24, 27, kUnusedText, R::Unused},
    {L"TS_MODE", 28, 30, L"(TS_MODE)"},
    {L"TS_CNT_MODE", 31, 31, L"(TS_CNT_MODE)"},
};
constexpr RegField kReg07[] = {
    {L"first_trig_samp", 0, 3, L"(RESERVED)"},
    {L"trig_phase_adj", 4, 7, nullptr},
    {L"trig_sel", 13, 15, nullptr},
    {L"hyst", 16, 20, nullptr},
    {kUnusedName, 8, 12, kUnusedText, R::Unused},
    {kUnusedName, 21, 31, kUnusedText, R::Unused},
};
constexpr RegField kReg08[] = {
    {L"data_bit_num", 0, 5, nullptr},
    {L"ce_in", 6, 6, nullptr},
    {L"incr_in", 7, 7, nullptr},
    {L"reset_in", 8, 8, nullptr},
    {L"ce_all", 9, 9, nullptr},
    {L"incr_all", 10, 10, nullptr},
    {L"reset_all", 11, 11, nullptr},
    {kUnusedName, 12, 13, kUnusedText, R::Unused},
    {L"bypass_ram", 14, 14, L"(ZAB only)"},
    {L"reset_module", 15, 15, nullptr},
    {kUnusedName, 16, 31, kUnusedText, R::Unused},
};
constexpr RegField kReg09[] = {
    {L"zab_brd_num", 0, 3, L"(ZAB board number)"},
    {L"zab_mode", 4, 5, L"(ZAB mode)"},
    {L"zab_clk", 6, 7, L"(ZAB clock: %s)", R::Plain, V::GetterText, kZabClock, ZabClockToText},
    {L"zab_cfg", 8, 9, L"(ZAB configuration: %s)", R::Plain, V::GetterText, kZabConfig, ZabConfigToText},
    {L"zab_dcm_reset", 10, 10, L"(ZAB DCM Reset))"},
    {L"zab_no_dcm", 11, 11, L"(ZAB DCM Select)"},
    {kUnusedName, 12, 31, kUnusedText, R::Unused},
};
constexpr RegField kReg0A[] = {
    {L"preg_idx", 0, 15, L"(Param index)"},
    {L"preg_val", 16, 31, L"(Param value)"},
};
constexpr RegField kReg0B[] = {
    {L"op_mode", 0, 3, L"(Operating mode: %s)", R::Plain, V::GetterText, kOperatingMode, OperatingModeToText},
    {kUnusedName, 4, 31, kUnusedText, R::Unused},
};
constexpr RegField kReg0C[] = {
    {kUnusedName, 0, 31, kUnusedText, R::Unused},
};
constexpr RegField kReg0D[] = {
    {L"samples_complete", 0, 0, L"(Samples complete flag)"},
    {L"fifo_full_RAM1", 1, 1, L"(SDRAM1 FIFO full)"},
    {L"fifo_full_RAM2", 2, 2, L"(SDRAM2 FIFO full)"},
    {L"ramClkLock", 3, 3, L"(ramClkLock)"},
    {kUnusedName, 4, 7, kUnusedText, R::Unused},
    {L"ext_trig_phase", 8, 10, L"(ext_trig_phase)"},
    {kUnusedName, 11, 11, kUnusedText, R::Unused},
    {L"TSFIFO_OVFL", 12, 12, L"(TSFIFO_OVFL)"},
    {L"TSFIFO_AF", 13, 13, L"(TSFIFO_AF)"},
    {L"TSFIFO_EMPTY", 14, 14, L"(TSFIFO_EMPTY)"},
    {kUnusedName, 15, 16, kUnusedText, R::Unused},
    {L"cg1stat", 17, 17, L"(ClkGen#1 Status)"},
    {L"cg1lock", 18, 18, L"(ClkGen#1 Lock)"},
    {L"cg2stat", 19, 19, L"(ClkGen#2 Status)"},
    {kUnusedName, 20, 21, kUnusedText, R::Unused},
    {L"FPGA_Temp", 22, 31, nullptr},
};
constexpr RegField kReg0E[] = {
    {L"ts_msb", 0, 31, L"(MSB of timestamp)"},
};
constexpr RegField kReg0F[] = {
    {L"ts_lsb", 0, 31, L"(LSB of timestamp)"},
};

struct DeviceReg {
    const wchar_t* header;
    const RegField* fields;
    size_t count;
};

template <size_t N>
constexpr DeviceReg Reg(const wchar_t* header, const RegField (&fields)[N])
{
    return {header, fields, N};
}

// One entry per word of the set, in word order.
constexpr DeviceReg kRegisters[] = {
    Reg(L"Register 00 (0x%08X, Segment Size)", kReg00),
    Reg(L"Register 01 (0x%08X, Sample Count)", kReg01),
    Reg(L"Register 02 (0x%08X, Start Sample)", kReg02),
    Reg(L"Register 03 (0x%08X, Delay/Pretrigger Samples)", kReg03),
    Reg(L"Register 04 (0x%08X, Trigger Settings)", kReg04),
    Reg(L"Register 05 (0x%08X, Trigger/Clock Settings)", kReg05),
    Reg(L"Register 06 (0x%08X, Board Settings)", kReg06),
    Reg(L"Register 07 (0x%08X, Unused)", kReg07),
    Reg(L"Register 08 (0x%08X, SDRAM1 IDELAY)", kReg08),
    Reg(L"Register 09 (0x%08X, ZAB #1)", kReg09),
    Reg(L"Register 0A (0x%08X, FPGA Proc Params)", kReg0A),
    Reg(L"Register 0B (0x%08X, Operating mode)", kReg0B),
    Reg(L"Register 0C (0x%08X, Unused)", kReg0C),
    Reg(L"Register 0D (0x%08X, Status/Monitor; read-only)", kReg0D),
    Reg(L"Register 0E (0x%08X, Timestamp MSB; read-only)", kReg0E),
    Reg(L"Register 0E (0x%08X, Timestamp LSB; read-only)", kReg0F),
};
static_assert(std::size(kRegisters) == TQ8_REGSET_DEVICE_WORDS, "one register per word of set 0");

constexpr size_t kTimestampHigh = 14;
constexpr size_t kTimestampLow = 15;

} // namespace

DeviceRegValues ReadDeviceRegValues(TQ8_HANDLE h)
{
    DeviceRegValues v{};
    v[kSegmentSize] = GetSegmentSizeTQ8(h, 1);
    v[kSampleCount] = GetSampleCountTQ8(h, 1);
    v[kStartSample] = GetStartSampleTQ8(h, 1);
    v[kTriggerDelay] = GetTriggerDelaySamplesTQ8(h, 1);
    v[kPreTrigger] = GetPreTriggerSamplesTQ8(h, 1);
    v[kTriggerLevelA] = static_cast<uint32_t>(GetTriggerLevelATQ8(h, 1));
    v[kTriggerLevelB] = static_cast<uint32_t>(GetTriggerLevelBTQ8(h, 1));
    v[kTriggerMode] = static_cast<uint32_t>(GetTriggerModeTQ8(h, 1));
    v[kTriggerDirA] = static_cast<uint32_t>(GetTriggerDirectionATQ8(h, 1));
    v[kTriggerDirB] = static_cast<uint32_t>(GetTriggerDirectionBTQ8(h, 1));
    v[kTriggerDirExt] = static_cast<uint32_t>(GetTriggerDirectionExtTQ8(h, 1));
    v[kTriggerSource] = static_cast<uint32_t>(GetTriggerSourceTQ8(h, 1));
    v[kAdcClockSource] = static_cast<uint32_t>(GetAdcClockSourceTQ8(h, 1));
    v[kDigitalIoMode] = static_cast<uint32_t>(GetDigitalIoModeTQ8(h, 1));
    v[kActiveChannels] = static_cast<uint32_t>(GetActiveChannelsTQ8(h, 1));
    v[kZabClock] = static_cast<uint32_t>(GetZabClockTQ8(h, 1));
    v[kZabConfig] = static_cast<uint32_t>(GetZabConfigurationTQ8(h, 1));
    v[kOperatingMode] = static_cast<uint32_t>(GetOperatingModeTQ8(h, 1));
    return v;
}

void DecodeDeviceRegisters(CRegisterLines& lines, int group, const uint32_t* words, const DeviceRegValues& values)
{
    FieldContext ctx;
    ctx.nameWidth = 10;
    ctx.values = values.data();
    const uint64_t timestamp = (uint64_t(words[kTimestampHigh]) << 32) | words[kTimestampLow];
    for (size_t w = 0; w < std::size(kRegisters); ++w) {
        const DeviceReg& reg = kRegisters[w];
        const int header = lines.AddLine(FormatWide(reg.header, words[w]), group);
        for (size_t f = 0; f < reg.count; ++f) {
            const int line = AddFieldLine(lines, header, reg.fields[f], words[w], ctx);
            if (w == kTimestampHigh || w == kTimestampLow)
                lines.AddLine(FormatWide(L"64-bit timestamp value: 0x%016llX (%llu)",
                                         static_cast<unsigned long long>(timestamp),
                                         static_cast<unsigned long long>(timestamp)),
                              line);
        }
    }
}

void AddDeviceRegisters(CRegisterLines& lines, TQ8_HANDLE device)
{
    const int group = lines.AddGroup(L"Device Registers");
    if (const uint32_t* words = FetchRegisterSet(lines, group, device, 0))
        DecodeDeviceRegisters(lines, group, words, ReadDeviceRegValues(device));
}
