#include "AdcRegDecoder.h"

#include "RegisterFieldLines.h"
#include "RegisterPlacement.h"

namespace {

using R = FieldRule;

constexpr RegField kCalibration[] = {
    {kUnusedName, 0, 14, kUnusedText, R::UnusedUnlessOnes},
    {L"cal", 15, 15, L"(Calibration enable)", R::CalMark},
};
constexpr RegField kConfiguration[] = {
    {kUnusedName, 0, 7, kUnusedText, R::UnusedUnlessOnes},
    {L"oed", 8, 8, L"(Output edge/demux ctrl)"},
    {L"ov", 9, 9, L"(Output voltage)"},
    {L"nde", 10, 10, L"(DDR enable)"},
    {L"dcp", 11, 11, L"(DDR clock phase)"},
    {L"dcs", 12, 12, L"(Duty cycle stabilizer)"},
    {L"nsd", 13, 13, L"(2nd DCLK output)"},
    {kUnusedName, 14, 15, kUnusedText, R::UnusedUnlessOnes},
};
constexpr RegField kOffset[] = {
    {kUnusedName, 0, 6, kUnusedText, R::UnusedUnlessOnes},
    {L"Sign", 7, 7, L"(Sign bit)"},
    {L"Offset", 8, 15, L"(Offset value)"},
};
constexpr RegField kFullScale[] = {
    {kUnusedName, 0, 6, kUnusedText, R::UnusedUnlessOnes},
    {L"Adjust", 7, 15, L"(Full-scale adjust)"},
};
constexpr RegField kExtended[] = {
    {kUnusedName, 0, 9, kUnusedText, R::UnusedUnlessOnes},
    {L"dlf", 10, 10, L"(DES low frequency)"},
    {kUnusedName, 11, 11, kUnusedText, R::Unused},
    {L"input_sel", 12, 12, L"(Input select)"},
    {L"den", 13, 13, L"(DES enable)"},
    {L"rtd", 14, 14, L"(Resistor trim disable)"},
    {L"tpo", 15, 15, L"(Test pattern output)"},
};
constexpr RegField kFinePhase[] = {
    {kUnusedName, 0, 7, kUnusedText, R::UnusedUnlessOnes},
    {L"fpa", 8, 15, L"(Fine phase adjust)"},
};
constexpr RegField kCoarsePhase[] = {
    {kUnusedName, 0, 6, kUnusedText, R::UnusedUnlessOnes},
    {L"ipa", 7, 9, L"(Intermediate phase adjust)"},
    {L"cpa", 10, 14, L"(Coarse phase adjust)"},
    {L"ps", 15, 15, L"(Polarity select)"},
};

struct AdcReg {
    uint32_t address;
    const wchar_t* header;
    const RegField* fields;
    size_t count;
};

template <size_t N>
constexpr AdcReg Reg(uint32_t address, const wchar_t* header, const RegField (&fields)[N])
{
    return {address, header, fields, N};
}

constexpr AdcReg kRegisters[] = {
    Reg(0x0, L"Register 0 (0x%04X, Calibration) L0.0", kCalibration),
    Reg(0x1, L"Register 1 (0x%04X, Configuration) L0.1", kConfiguration),
    Reg(0x2, L"Register 2 (0x%04X, I-Channel Offset) L1.0", kOffset),
    Reg(0x3, L"Register 3 (0x%04X, I-Channel Full-Scale Voltage Adjust) L1.1", kFullScale),
    Reg(0x9, L"Register 9 (0x%04X, Extended Configuration) L2.0", kExtended),
    Reg(0xA, L"Register A (0x%04X, Q-Channel Offset) L3.0", kOffset),
    Reg(0xB, L"Register B (0x%04X, Q-Channel Full-Scale Voltage Adjust) L3.1", kFullScale),
    Reg(0xE, L"Register E (0x%04X, Sampling Clock Phase Fine Adjust) L4.0", kFinePhase),
    Reg(0xF, L"Register F (0x%04X, Sample Clock Phase Intermediate and Coarse Adjust) L4.1", kCoarsePhase),
};

} // namespace

void DecodeAdcRegisters(CRegisterLines& lines, int group, const uint32_t* words)
{
    const FieldContext ctx;
    for (const AdcReg& reg : kRegisters) {
        RegPlacement at;
        if (!FindAdcPlacement(reg.address, at) || at.logical >= TQ8_REGSET_ADC_WORDS)
            continue;
        const uint32_t value = (words[at.logical] >> (16 * at.sub)) & 0xFFFFu;
        const int header = lines.AddLine(FormatWide(reg.header, value), group);
        for (size_t f = 0; f < reg.count; ++f)
            AddFieldLine(lines, header, reg.fields[f], value, ctx);
    }
}

void AddAdcRegisters(CRegisterLines& lines, TQ8_HANDLE device, int adc)
{
    const int group = lines.AddGroup(FormatWide(L"ADC%d Registers", adc + 1));
    if (const uint32_t* words = FetchRegisterSet(lines, group, device, 3 + adc))
        DecodeAdcRegisters(lines, group, words);
}
