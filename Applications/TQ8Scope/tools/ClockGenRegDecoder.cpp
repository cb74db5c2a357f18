#include "ClockGenRegDecoder.h"

#include <string>

#include "ClockGenValueTexts.h"
#include "RegisterFieldLines.h"
#include "RegisterPlacement.h"

namespace {

using R = FieldRule;
using V = FieldValue;

constexpr RegField kReg000[] = {
    {L"SDO_Active", 0, 0, L"(SDO Active)"},
    {L"LsbFirst", 1, 1, L"(LSB First)"},
    {L"SoftReset", 2, 2, L"(Soft Reset)", R::MarkWhenSet},
    {L"LongInstruction", 3, 3, L"(Long Instruction)"},
    {L"LongInstructionM", 4, 4, L"(Long Instruction)", R::MirrorMark, V::None, 3},
    {L"SoftResetM", 5, 5, L"(Soft Reset)", R::MirrorMark, V::None, 2},
    {L"LsbFirstM", 6, 6, L"(LSB First)", R::MirrorMark, V::None, 1},
    {L"SDO_ActiveM", 7, 7, L"(SDO Active)", R::MirrorMark, V::None, 0},
};
constexpr RegField kReg004[] = {
    {L"ReadBackActiveRegs", 0, 0, L"(Read Back Active Regs)"},
    {kUnusedName, 1, 7, kUnusedText, R::Unused},
};
constexpr RegField kReg010[] = {
    {L"PLL_PowerDown", 0, 1, L"(PLL Power-Down: %s)", R::RedWhenBit0, V::FieldText, 0, PllPowerDownToText},
    {L"ChargePumpMode", 2, 3, L"(Charge Pump Mode: %s)", R::Plain, V::FieldText, 0, ChargePumpModeToText},
    {L"ChargePumpCurrent", 4, 6, L"(Charge Pump Current: %s)", R::Plain, V::FieldText, 0, ChargePumpCurrentToText},
    {L"PFD_Polarity", 7, 7, L"(PFD Polarity)"},
};
constexpr RegField kReg011[] = {{L"R_Divider_LSB", 0, 7, L"(R Divider[7:0])"}};
constexpr RegField kReg012[] = {{L"R_Divider_MSB", 0, 5, L"(R Divider[12:8])"}};
constexpr RegField kReg013[] = {{L"A_Counter", 0, 5, L"(A Counter)"}};
constexpr RegField kReg014[] = {{L"B_Counter_LSB", 0, 7, L"(B Counter[7:0])"}};
constexpr RegField kReg015[] = {{L"B_Counter_MSB", 0, 4, L"(B Counter[12:8])"}};
constexpr RegField kReg016[] = {
    {L"Prescaler_P", 0, 2, L"(Prescaler P: %s)", R::Plain, V::FieldText, 0, PrescalerModeToText},
    {L"B_CounterBypass", 3, 3, L"(B Counter Bypass)"},
    {L"ResetAllCounters", 4, 4, L"(Reset All Counters)", R::MarkWhenSet},
    {L"ResetABCounters", 5, 5, L"(Reset A&B Counters)", R::MarkWhenSet},
    {L"ResetRCounter", 6, 6, L"(Reset R Counters)", R::MarkWhenSet},
    {L"SetCpPinToVCPDiv2", 7, 7, L"(Set CP Pin to Vcp/2)"},
};
constexpr RegField kReg017[] = {
    {L"AntibacklashPw", 0, 1, L"(Antibacklash Pulse Width)"},
    {L"StatusPinCtrl", 2, 7, L"(STATUS Pin Control: %s)", R::Plain, V::FieldText, 0, StatusPinControlToText},
};
constexpr RegField kReg018[] = {
    {L"VCO_CalNow", 0, 0, L"(VCO Cal Now)", R::MarkWhenSet},
    {L"VCO_CalDivider", 1, 2, L"(VCO Calibration Divider)"},
    {L"DisableDigLockDet", 3, 3, L"(Disable Digital Lock Detect)"},
    {L"DigitalLockDetWin", 4, 4, L"(Digital Lock Detect Window)"},
    {L"LockDetectCounter", 5, 6, L"(Lock Detect Counter)"},
    {kUnusedName, 7, 7, kUnusedText, R::Unused},
};
constexpr RegField kReg019[] = {
    {L"N_PathDelay", 0, 2, L"(N Path Delay)"},
    {L"R_PathDelay", 3, 5, L"(R Path Delay)"},
    {L"CountersSyncPinRst", 6, 7, L"(R,A,B Counters SYNC_ Pin Reset)"},
};
constexpr RegField kReg01A[] = {
    {L"LD_PinControl", 0, 5, L"(LD Pin Control)"},
    {L"RefFreqMonThresh", 6, 6, L"(Reference Frequency Monitor Threshold)"},
    {kUnusedName, 7, 7, kUnusedText, R::Unused},
};
constexpr RegField kReg01B[] = {
    {L"RefmonPinControl", 0, 4, L"(REFMON Pin Control)"},
    {L"Ref1FreqMon", 5, 5, L"(REF1 (REFIN) Freq. Monitor)"},
    {L"Ref2FreqMon", 6, 6, L"(REF2 (REFIN_) Freq. Monitor)"},
    {L"VCO_FreqMon", 7, 7, L"(VCO Freq. Monitor)"},
};
constexpr RegField kReg01C[] = {
    {L"DifferentialRef", 0, 0, L"(Differential Ref.)"},
    {L"Ref1PowerOn", 1, 1, L"(REF1 Power On)", R::GreenWhenSet},
    {L"Ref2PowerOn", 2, 2, L"(REF2 Power On)", R::GreenWhenSet},
    {L"StayOnRef2", 3, 3, L"(Stay On REF2)"},
    {L"AutoRefSwitchover", 4, 4, L"(Automatic Ref. Switchover)"},
    {L"UseRefSelPin", 5, 5, L"(Use REF_SEL Pin)"},
    {L"SelectRef2", 6, 6, L"(Select REF2)"},
    {L"DsbleSwchOvDeglich", 7, 7, L"(Disable Switchover Deglitch)"},
};
constexpr RegField kReg01D[] = {
    {L"HoldoverEnable1", 0, 0, L"(Holdover Enable)"},
    {L"ExtHoldoverCtrl", 1, 1, L"(External Holdover Ctrl)"},
    {L"HoldoverEnable2", 2, 2, L"(Holdover Enable)"},
    {L"LD_PinCompEnable", 3, 3, L"(LD Pin Comparator Enable)"},
    {L"PLL_StatRegDisable", 4, 4, L"(PLL Status Register Disable)"},
    {kUnusedName, 5, 7, kUnusedText, R::Unused},
};
constexpr RegField kReg01E[] = {{kUnusedName, 0, 7, kUnusedText, R::Unused}};
constexpr RegField kReg01F[] = {
    {L"DigitalLockDetect", 0, 0, L"(Digital Lock Detect)"},
    {L"Ref1FreqGtThresh", 1, 1, L"(REF1 Freq > Threshold)", R::MarkWhenSet},
    {L"Ref2FreqGtThresh", 2, 2, L"(REF2 Freq > Threshold)", R::MarkWhenSet},
    {L"VCO_FreqGtThresh", 3, 3, L"(VCO Freq > Threshold)", R::MarkWhenSet},
    {L"Ref2Selected", 4, 4, L"(REF2 Selected)"},
    {L"HoldoverActive", 5, 5, L"(Holdover Active)"},
    {L"VCO_CalFinished", 6, 6, L"(VCO Cal Finished)"},
    {kUnusedName, 7, 7, kUnusedText, R::Unused},
};

// Families of registers: '#' stands for the output or divider number.
constexpr RegField kDelayBypass[] = {
    {L"Out#DelayBypass", 0, 0, L"(OUT# Delay Bypass)"},
    {kUnusedName, 1, 7, kUnusedText, R::Unused},
};
constexpr RegField kDelayFullScale[] = {
    {L"Out#RampCurrent", 0, 2, L"(OUT# Ramp Current)"},
    {L"Out#RampCaps", 3, 5, L"(OUT# Ramp Capacitors)"},
    {kUnusedName, 6, 7, kUnusedText, R::Unused},
};
constexpr RegField kDelayFraction[] = {
    {L"Out#DelayFunction", 0, 5, L"(OUT# Delay Fraction)"},
    {kUnusedName, 6, 7, kUnusedText, R::Unused},
};
constexpr RegField kLvpeclOutput[] = {
    {L"Out#PowerDown", 0, 1, L"(OUT# Power-Down: %s)", R::RedWhenSet, V::FieldText, 0, OutputPowerDownToText},
    {L"Out#LvpeclDiffVolt", 2, 3, L"(OUT# LVPECL Diff. Voltage)"},
    {L"Out#Invert", 4, 4, L"(OUT# Invert)"},
    {kUnusedName, 5, 7, kUnusedText, R::Unused},
};
constexpr RegField kCmosOutput[] = {
    {L"Out#PowerDown", 0, 0, L"(OUT# Power-Down)", R::RedWhenSet},
    {L"Out#LvdsOutCurrent", 1, 2, L"(OUT# LVDS Output Current)"},
    {L"Out#SelectLvdsCmos", 3, 3, L"(OUT# Select LVDS/CMOS)"},
    {L"Out#CmosB", 4, 4, L"(OUT# CMOS B)"},
    {L"Out#LvdsCmosOutPol", 5, 5, L"(OUT# LVDS/CMOS Output Polarity)"},
    {L"Out#CmosOutPol", 6, 7, L"(OUT# CMOS Output Polarity)"},
};
constexpr RegField kDivider1[] = {
    {L"Div#HighCycles", 0, 3, L"(Divider # High Cycles)"},
    {L"Div#LowCycles", 4, 7, L"(Divider # Low Cycles)"},
};
constexpr RegField kDivider2[] = {
    {L"Div#PhaseOffset", 0, 3, L"(Divider # Phase Offset)"},
    {L"Div#StartHigh", 4, 4, L"(Divider # Start Offset)"},
    {L"Div#ForceHigh", 5, 5, L"(Divider # Force High)"},
    {L"Div#NoSync", 6, 6, L"(Divider # Nosync)"},
    {L"Div#Bypass", 7, 7, L"(Divider # Bypass)"},
};
constexpr RegField kDivider3[] = {
    {L"Div#Dccoff", 0, 0, L"(Divider # DCCOFF)"},
    {L"Div#DirectToOutput", 1, 1, L"(Divider # Direct to Output)"},
    {kUnusedName, 2, 7, kUnusedText, R::Unused},
};

// Dividers 3 and 4, two stages each.
constexpr RegField kSplit1[] = {
    {L"HighCyclesDiv#_1", 0, 3, L"(Divider #.1 High Cycles)"},
    {L"LowCyclesDiv#_1", 4, 7, L"(Divider #.1 Low Cycles)"},
};
constexpr RegField kSplit2[] = {
    {L"PhaseOffsetDiv#_1", 0, 3, L"(Phase Offset Divider #.1)"},
    {L"PhaseOffsetDiv#_2", 4, 7, L"(Phase Offset Divider #.2)"},
};
constexpr RegField kSplit3Div3[] = {
    {L"HighCyclesDiv3_2", 0, 3, L"(High Cycles Divider 3.2)"},
    {L"LowCyclesDiv3_2", 4, 7, L"(Low Cycles Divider 3.2)"},
};
// The low-cycles field of divider 4.2 has its own name.
constexpr RegField kSplit3Div4[] = {
    {L"HighCyclesDiv4_2", 0, 3, L"(High Cycles Divider 4.2)"},
    {L"LowCyclesDiv43_2", 4, 7, L"(Low Cycles Divider 4.2)"},
};
constexpr RegField kSplit4[] = {
    {L"StartHighDiv#_1", 0, 0, L"(Start High Divider #.1)"},
    {L"StartHighDiv#_2", 1, 1, L"(Start High Divider #.2)"},
    {L"Div#ForceHigh", 2, 2, L"(Divider # Force High)"},
    {L"Div#Nosync", 3, 3, L"(Divider # Nosync)"},
    {L"BypassDiv#_1", 4, 4, L"(Bypass Divider #.1)"},
    {L"BypassDiv#_2", 5, 5, L"(Bypass Divider #.2)"},
    {kUnusedName, 6, 7, kUnusedText, R::Unused},
};
constexpr RegField kSplit5[] = {
    {L"Div#Dccoff", 0, 0, L"(Divider # DCCOFF)"},
    {kUnusedName, 1, 7, kUnusedText, R::Unused},
};

constexpr RegField kReg1E0[] = {
    {L"VCO_Divider", 0, 2, L"(VCO Divider: %u)", R::Plain, V::Plus2},
    {kUnusedName, 3, 7, kUnusedText, R::Unused},
};
constexpr RegField kReg1E1[] = {
    {L"BypassVcoDivider", 0, 0, L"(Bypass VCO Divider)"},
    {L"SelectVcoOrClock", 1, 1, L"(Select VCO or CLK)"},
    {L"PowerDownVcoClock", 2, 2, L"(Power-Down VCO and CLK)", R::RedWhenSet},
    {L"PowerDownVcoClkInt", 3, 3, L"(Power-Down VCO Clock Interface)", R::RedWhenSet},
    {L"PowerDownClkInSel", 4, 4, L"(Power-Down Clock Input Selection)", R::RedWhenSet},
    {kUnusedName, 5, 7, kUnusedText, R::Unused},
};
constexpr RegField kReg230[] = {
    {L"SoftSync", 0, 0, L"(Soft Sync)"},
    {L"PdDistribRef", 1, 1, L"(Power-Down Dist. Ref.)", R::RedWhenSet},
    {L"PowerDownSync", 2, 2, L"(Power-Down Sync)", R::RedWhenSet},
    {kUnusedName, 3, 7, kUnusedText, R::Unused},
};

constexpr int kNoOutput = -1;

struct ClockGenReg {
    uint32_t address;
    const wchar_t* header; // "%s": the output's assignment for the generator
    const RegField* fields;
    size_t count;
    wchar_t number;  // replaces '#'
    int output;      // OUT0..OUT5 of the header's "%s", or kNoOutput
};

template <size_t N>
constexpr ClockGenReg Reg(uint32_t address, const wchar_t* header, const RegField (&fields)[N], wchar_t number = 0,
                          int output = kNoOutput)
{
    return {address, header, fields, N, number, output};
}

constexpr ClockGenReg kRegisters[] = {
    Reg(0x000, L"Register 000 (0x%02X, Serial Control Port Cfg) L00.0", kReg000),
    Reg(0x004, L"Register 004 (0x%02X, Read Back Control) L00.1", kReg004),
    Reg(0x010, L"Register 010 (0x%02X, PFD, Charge Pump) L01.0", kReg010),
    Reg(0x011, L"Register 011 (0x%02X, R Counter LSB) L01.1", kReg011),
    Reg(0x012, L"Register 012 (0x%02X, R Counter MSB) L01.2", kReg012),
    Reg(0x013, L"Register 013 (0x%02X, A Counter) L01.3", kReg013),
    Reg(0x014, L"Register 014 (0x%02X, B Counter LSB) L02.0", kReg014),
    Reg(0x015, L"Register 015 (0x%02X, B Counter MSB) L02.1", kReg015),
    Reg(0x016, L"Register 016 (0x%02X, PLL Control 1) L02.2", kReg016),
    Reg(0x017, L"Register 017 (0x%02X, PLL Control 2) L02.3", kReg017),
    Reg(0x018, L"Register 018 (0x%02X, PLL Control 3) L03.0", kReg018),
    Reg(0x019, L"Register 019 (0x%02X, PLL Control 4) L03.1", kReg019),
    Reg(0x01A, L"Register 01A (0x%02X, PLL Control 5) L03.2", kReg01A),
    Reg(0x01B, L"Register 01B (0x%02X, PLL Control 6) L03.3", kReg01B),
    Reg(0x01C, L"Register 01C (0x%02X, PLL Control 7) L04.0", kReg01C),
    Reg(0x01D, L"Register 01D (0x%02X, PLL Control 8) L04.1", kReg01D),
    Reg(0x01E, L"Register 01E (0x%02X, PLL Control 9) L04.2", kReg01E),
    Reg(0x01F, L"Register 01F (0x%02X, PLL Readback) L04.3", kReg01F),
    Reg(0x0A0, L"Register 0A0 (0x%02X, OUT6 Delay Bypass) L05.0", kDelayBypass, L'6'),
    Reg(0x0A1, L"Register 0A1 (0x%02X, OUT6 Delay Full-Scale) L05.1", kDelayFullScale, L'6'),
    Reg(0x0A2, L"Register 0A2 (0x%02X, OUT6 Delay Fraction) L05.2", kDelayFraction, L'6'),
    Reg(0x0A3, L"Register 0A3 (0x%02X, OUT7 Delay Bypass) L06.0", kDelayBypass, L'7'),
    Reg(0x0A4, L"Register 0A4 (0x%02X, OUT7 Delay Full-Scale) L06.1", kDelayFullScale, L'7'),
    Reg(0x0A5, L"Register 0A5 (0x%02X, OUT7 Delay Fraction) L06.2", kDelayFraction, L'7'),
    Reg(0x0A6, L"Register 0A6 (0x%02X, OUT8 Delay Bypass) L07.0", kDelayBypass, L'8'),
    Reg(0x0A7, L"Register 0A7 (0x%02X, OUT8 Delay Full-Scale) L07.1", kDelayFullScale, L'8'),
    Reg(0x0A8, L"Register 0A8 (0x%02X, OUT8 Delay Fraction) L07.2", kDelayFraction, L'8'),
    Reg(0x0A9, L"Register 0A9 (0x%02X, OUT9 Delay Bypass) L08.0", kDelayBypass, L'9'),
    Reg(0x0AA, L"Register 0AA (0x%02X, OUT9 Delay Full-Scale) L08.1", kDelayFullScale, L'9'),
    Reg(0x0AB, L"Register 0AB (0x%02X, OUT9 Delay Fraction) L08.2", kDelayFraction, L'9'),
    Reg(0x0F0, L"Register 0F0 (0x%02X, OUT0 = %s) L09.0", kLvpeclOutput, L'0', 0),
    Reg(0x0F1, L"Register 0F1 (0x%02X, OUT1 = %s) L09.1", kLvpeclOutput, L'1', 1),
    Reg(0x0F2, L"Register 0F2 (0x%02X, OUT2 = %s) L09.2", kLvpeclOutput, L'2', 2),
    Reg(0x0F3, L"Register 0F3 (0x%02X, OUT3 = %s) L09.3", kLvpeclOutput, L'3', 3),
    Reg(0x0F4, L"Register 0F4 (0x%02X, OUT4 = %s) L10.0", kLvpeclOutput, L'4', 4),
    Reg(0x0F5, L"Register 0F5 (0x%02X, OUT5 = %s) L10.1", kLvpeclOutput, L'5', 5),
    Reg(0x140, L"Register 140 (0x%02X, OUT6 CMOS Out. Pol.) L11.0", kCmosOutput, L'6'),
    Reg(0x141, L"Register 141 (0x%02X, OUT7 CMOS Out. Pol.) L11.1", kCmosOutput, L'7'),
    Reg(0x142, L"Register 142 (0x%02X, OUT8 CMOS Out. Pol.) L11.2", kCmosOutput, L'8'),
    Reg(0x143, L"Register 143 (0x%02X, OUT9 CMOS Out. Pol.) L11.3", kCmosOutput, L'9'),
    Reg(0x190, L"Register 190 (0x%02X, Divider 0 1/3) L12.0", kDivider1, L'0'),
    Reg(0x191, L"Register 191 (0x%02X, Divider 0 2/3) L12.1", kDivider2, L'0'),
    Reg(0x192, L"Register 192 (0x%02X, Divider 0 3/3) L12.2", kDivider3, L'0'),
    Reg(0x193, L"Register 193 (0x%02X, Divider 1 1/3) L13.0", kDivider1, L'1'),
    Reg(0x194, L"Register 194 (0x%02X, Divider 1 2/3) L13.1", kDivider2, L'1'),
    Reg(0x195, L"Register 195 (0x%02X, Divider 1 3/3) L13.2", kDivider3, L'1'),
    Reg(0x196, L"Register 196 (0x%02X, Divider 2 1/3) L14.0", kDivider1, L'2'),
    Reg(0x197, L"Register 197 (0x%02X, Divider 2 2/3) L14.1", kDivider2, L'2'),
    Reg(0x198, L"Register 198 (0x%02X, Divider 2 3/3) L14.2", kDivider3, L'2'),
    Reg(0x199, L"Register 199 (0x%02X, Divider 3 1/5) L15.0", kSplit1, L'3'),
    Reg(0x19A, L"Register 19A (0x%02X, Divider 3 2/5) L16.0", kSplit2, L'3'),
    Reg(0x19B, L"Register 19B (0x%02X, Divider 3 3/5) L16.1", kSplit3Div3),
    Reg(0x19C, L"Register 19C (0x%02X, Divider 3 4/5) L16.2", kSplit4, L'3'),
    Reg(0x19D, L"Register 19D (0x%02X, Divider 3 5/5) L16.3", kSplit5, L'3'),
    Reg(0x19E, L"Register 19E (0x%02X, Divider 4 1/5) L17.0", kSplit1, L'4'),
    Reg(0x19F, L"Register 19F (0x%02X, Divider 4 2/5) L18.0", kSplit2, L'4'),
    Reg(0x1A0, L"Register 1A0 (0x%02X, Divider 4 3/5) L18.1", kSplit3Div4),
    Reg(0x1A1, L"Register 1A1 (0x%02X, Divider 4 4/5) L18.2", kSplit4, L'4'),
    Reg(0x1A2, L"Register 1A2 (0x%02X, Divider 4 5/5) L18.3", kSplit5, L'4'),
    Reg(0x1E0, L"Register 1E0 (0x%02X, VCO Divider) L19.0", kReg1E0),
    Reg(0x1E1, L"Register 1E1 (0x%02X, Input CLKs) L19.1", kReg1E1),
    Reg(0x230, L"Register 230 (0x%02X, Power Down and Sync) L19.2", kReg230),
};

struct OutputAssignment {
    const wchar_t* text;
    const wchar_t* suffix; // after the output's power-down line, or null
};

constexpr OutputAssignment kOutputs[2][6] = {
    {{L"Slave 2", nullptr},
     {L"Slave 1", L"[Slave #1 clock]"},
     {L"Internal", L"[Internal clock]"},
     {L"unused", nullptr},
     {L"unused", nullptr},
     {L"unused", nullptr}},
    {{L"ADC1", nullptr},
     {L"ADC 2", nullptr},
     {L"Ext. Sync.", nullptr},
     {L"Ext. Trig", nullptr},
     {L"Ext. Trig", nullptr},
     {L"ADC reset", nullptr}},
};

std::wstring HeaderText(const ClockGenReg& reg, uint32_t value, int generator)
{
    std::wstring format = reg.header;
    if (reg.output != kNoOutput) {
        const size_t at = format.find(L"%s");
        format.replace(at, 2, kOutputs[generator][reg.output].text);
    }
    return FormatWide(format.c_str(), value);
}

} // namespace

void DecodeClockGenRegisters(CRegisterLines& lines, int group, const uint32_t* words, int generator)
{
    for (const ClockGenReg& reg : kRegisters) {
        RegPlacement at;
        if (!FindClockGenPlacement(reg.address, at) || at.logical >= TQ8_REGSET_CLOCKGEN_WORDS)
            continue;
        const uint32_t value = (words[at.logical] >> (8 * at.sub)) & 0xFFu;
        FieldContext ctx;
        ctx.number = reg.number;
        if (reg.output != kNoOutput)
            ctx.statusSuffix = kOutputs[generator][reg.output].suffix;
        const int header = lines.AddLine(HeaderText(reg, value, generator), group);
        for (size_t f = 0; f < reg.count; ++f)
            AddFieldLine(lines, header, reg.fields[f], value, ctx);
    }
}

void AddClockGenRegisters(CRegisterLines& lines, TQ8_HANDLE device, int generator)
{
    const int group = lines.AddGroup(FormatWide(L"Clock Generation Registers %d", generator + 1));
    if (const uint32_t* words = FetchRegisterSet(lines, group, device, 1 + generator))
        DecodeClockGenRegisters(lines, group, words, generator);
}
