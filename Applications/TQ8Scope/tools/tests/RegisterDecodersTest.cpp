#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "AdcRegDecoder.h"
#include "CRegisterLines.h"
#include "ClockGenRegDecoder.h"
#include "ClockGenValueTexts.h"
#include "DeviceRegDecoder.h"
#include "RegisterCacheDecode.h"
#include "RegisterFieldLines.h"
#include "RegisterPlacement.h"
#include "TQ8Sim.h"

namespace {

constexpr uint32_t kGrey = 0x00808080;
constexpr uint32_t kGreyValue = 0x80808080;

// The lines directly below a line, as text.
std::vector<std::wstring> Children(const CRegisterLines& lines, int parent)
{
    std::vector<std::wstring> out;
    for (const auto& line : lines.Lines())
        if (line.parent == parent)
            out.push_back(line.text);
    return out;
}

int Find(const CRegisterLines& lines, const std::wstring& prefix)
{
    const auto& all = lines.Lines();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].text.compare(0, prefix.size(), prefix) == 0)
            return static_cast<int>(i);
    ADD_FAILURE() << "no line starting with the prefix";
    return 0;
}

const CRegisterLines::Line& LineOf(const CRegisterLines& lines, const std::wstring& prefix)
{
    return lines.Lines()[static_cast<size_t>(Find(lines, prefix))];
}

struct AdcImage {
    std::array<uint32_t, TQ8_REGSET_ADC_WORDS> words{};
    void Set(int logical, int half, uint16_t value)
    {
        words[logical] = (words[logical] & ~(0xFFFFu << (16 * half))) | (uint32_t(value) << (16 * half));
    }
};

CRegisterLines DecodeAdc(const AdcImage& image)
{
    CRegisterLines lines(kGrey);
    DecodeAdcRegisters(lines, lines.AddGroup(L"ADC1 Registers"), image.words.data());
    return lines;
}

CRegisterLines DecodeClockGen(const std::array<uint32_t, TQ8_REGSET_CLOCKGEN_WORDS>& words, int generator)
{
    CRegisterLines lines(kGrey);
    DecodeClockGenRegisters(lines, lines.AddGroup(L"Clock Generation Registers"), words.data(), generator);
    return lines;
}

std::array<uint32_t, TQ8_REGSET_CLOCKGEN_WORDS> ClockGenWith(uint32_t address, uint8_t value)
{
    std::array<uint32_t, TQ8_REGSET_CLOCKGEN_WORDS> words{};
    RegPlacement at;
    EXPECT_TRUE(FindClockGenPlacement(address, at));
    words[at.logical] |= uint32_t(value) << (8 * at.sub);
    return words;
}

} // namespace

TEST(RegisterLines, NumbersColoursAndExport)
{
    CRegisterLines lines(0x00A0B0C0);
    const int group = lines.AddGroup(L"G");
    const int header = lines.AddLine(L"H", group);
    const int grey = lines.AddLine(L"unused", header, 1);
    const int red = lines.AddLine(L"unused **", header, 1);
    const int green = lines.AddStatusLine(L"on", header, 1);
    const int off = lines.AddStatusLine(L"off", header, -1);
    const int plain = lines.AddStatusLine(L"plain", header, 0);
    lines.AddUnnumberedLine(L"Failed to get", lines.AddGroup(L"G2"));
    const auto& l = lines.Lines();
    EXPECT_EQ(l[group].value, 1u);
    EXPECT_EQ(l[header].value, 2u);
    EXPECT_EQ(l[grey].value, 0x80A0B0C0u);
    EXPECT_FALSE(l[grey].scrollIntoView);
    EXPECT_EQ(l[red].value, CRegisterLines::kRed);
    EXPECT_TRUE(l[red].scrollIntoView);
    EXPECT_EQ(l[green].value, CRegisterLines::kGreen);
    EXPECT_EQ(l[off].value, CRegisterLines::kRed);
    EXPECT_FALSE(l[off].scrollIntoView);
    EXPECT_EQ(l[plain].value, 3u);
    EXPECT_EQ(l.back().value, 0u);
    EXPECT_EQ(lines.ExportText(), "G\r\n   H\r\n      unused\r\n      unused **\r\n      on\r\n      off\r\n"
                                  "      plain\r\nG2\r\n   Failed to get\r\n");
    lines.Clear();
    EXPECT_EQ(lines.Lines().size(), 0u);
    EXPECT_EQ(lines.Lines()[lines.AddGroup(L"again")].value, 1u);
}

TEST(RegisterLines, ExportIsUtf8)
{
    CRegisterLines lines(0);
    lines.AddGroup(L"\u00b5s");
    EXPECT_EQ(lines.ExportText(), "\xC2\xB5s\r\n");
}

TEST(AdcDecoder, FullGroupOfAStartImage)
{
    AdcImage image;
    image.Set(0, 0, 0x7FFF);
    image.Set(0, 1, 0xB2FF);
    image.Set(1, 0, 0x007F);
    image.Set(1, 1, 0x807F);
    image.Set(2, 0, 0x03FF);
    image.Set(3, 0, 0x007F);
    image.Set(3, 1, 0x807F);
    image.Set(4, 0, 0x00FF);
    image.Set(4, 1, 0x007F);
    const CRegisterLines lines = DecodeAdc(image);
    const std::vector<std::wstring> headers = Children(lines, 0);
    const std::vector<std::wstring> expectedHeaders = {
        L"Register 0 (0x7FFF, Calibration) L0.0",
        L"Register 1 (0xB2FF, Configuration) L0.1",
        L"Register 2 (0x007F, I-Channel Offset) L1.0",
        L"Register 3 (0x807F, I-Channel Full-Scale Voltage Adjust) L1.1",
        L"Register 9 (0x03FF, Extended Configuration) L2.0",
        L"Register A (0x007F, Q-Channel Offset) L3.0",
        L"Register B (0x807F, Q-Channel Full-Scale Voltage Adjust) L3.1",
        L"Register E (0x00FF, Sampling Clock Phase Fine Adjust) L4.0",
        L"Register F (0x007F, Sample Clock Phase Intermediate and Coarse Adjust) L4.1"};
    EXPECT_EQ(headers, expectedHeaders);
    EXPECT_EQ(Children(lines, Find(lines, L"Register 0 ")),
              (std::vector<std::wstring>{L"---                  : 0x00007FFF [UNUSED]",
                                         L"cal                  : 0x00000000 (Calibration enable)"}));
    EXPECT_EQ(Children(lines, Find(lines, L"Register 1 ")),
              (std::vector<std::wstring>{L"---                  : 0x000000FF [UNUSED]",
                                         L"oed                  : 0x00000000 (Output edge/demux ctrl)",
                                         L"ov                   : 0x00000001 (Output voltage)",
                                         L"nde                  : 0x00000000 (DDR enable)",
                                         L"dcp                  : 0x00000000 (DDR clock phase)",
                                         L"dcs                  : 0x00000001 (Duty cycle stabilizer)",
                                         L"nsd                  : 0x00000001 (2nd DCLK output)",
                                         L"---                  : 0x00000002 [UNUSED] **"}));
    EXPECT_EQ(Children(lines, Find(lines, L"Register 3 ")),
              (std::vector<std::wstring>{L"---                  : 0x0000007F [UNUSED]",
                                         L"Adjust               : 0x00000100 (Full-scale adjust)"}));
    EXPECT_EQ(Children(lines, Find(lines, L"Register 9 ")),
              (std::vector<std::wstring>{L"---                  : 0x000003FF [UNUSED]",
                                         L"dlf                  : 0x00000000 (DES low frequency)",
                                         L"---                  : 0x00000000 [UNUSED]",
                                         L"input_sel            : 0x00000000 (Input select)",
                                         L"den                  : 0x00000000 (DES enable)",
                                         L"rtd                  : 0x00000000 (Resistor trim disable)",
                                         L"tpo                  : 0x00000000 (Test pattern output)"}));
    EXPECT_EQ(Children(lines, Find(lines, L"Register F ")),
              (std::vector<std::wstring>{L"---                  : 0x0000007F [UNUSED]",
                                         L"ipa                  : 0x00000000 (Intermediate phase adjust)",
                                         L"cpa                  : 0x00000000 (Coarse phase adjust)",
                                         L"ps                   : 0x00000000 (Polarity select)"}));
    EXPECT_EQ(LineOf(lines, L"---                  : 0x00007FFF").value, kGreyValue);
    EXPECT_EQ(LineOf(lines, L"---                  : 0x00000002 [UNUSED] **").value, CRegisterLines::kRed);
}

TEST(AdcDecoder, CalibrationRegisterCases)
{
    AdcImage image;
    image.Set(0, 0, 0xFFFF);
    EXPECT_EQ(Children(DecodeAdc(image), 1)[1], L"cal                  : 0x00000001 (Calibration enable)****");
    image.Set(0, 0, 0x0000);
    const CRegisterLines zero = DecodeAdc(image);
    const CRegisterLines::Line& unused = zero.Lines()[2];
    EXPECT_EQ(unused.text, L"---                  : 0x00000000 [UNUSED] **");
    EXPECT_EQ(unused.value, CRegisterLines::kRed);
    EXPECT_TRUE(unused.scrollIntoView);
}

TEST(DeviceDecoder, FieldsWithTheLibrarysValues)
{
    std::array<uint32_t, TQ8_REGSET_DEVICE_WORDS> words{};
    words[0] = 0x2000;
    words[5] = (3u << 19) | (1u << 30) | (1u << 8);
    words[12] = 0x10;
    words[14] = 1;
    words[15] = 2;
    DeviceRegValues values{};
    values[kSegmentSize] = 8192;
    values[kTriggerMode] = 999; // outside the list
    CRegisterLines lines(kGrey);
    DecodeDeviceRegisters(lines, lines.AddGroup(L"Device Registers"), words.data(), values);

    EXPECT_EQ(Children(lines, 0).size(), 16u);
    EXPECT_EQ(Children(lines, 0)[14], L"Register 0E (0x00000001, Timestamp MSB; read-only)");
    EXPECT_EQ(Children(lines, 0)[15], L"Register 0E (0x00000002, Timestamp LSB; read-only)");
    EXPECT_EQ(Children(lines, Find(lines, L"Register 00")),
              std::vector<std::wstring>{L"seg_size   : 0x00002000 (Segment size: 8192)"});
    EXPECT_EQ(LineOf(lines, L"clk_div_emu").text, L"clk_div_emu : 0x00000003 (Post ADC clock div: 8)");
    EXPECT_EQ(LineOf(lines, L"rst_ext_trig_delay").text,
              L"rst_ext_trig_delay : 0x00000001 (Reset external trigger delay)");
    EXPECT_EQ(LineOf(lines, L"sync_out").text, L"sync_out   : 0x00000000");
    EXPECT_EQ(LineOf(lines, L"trig_mode").text, L"trig_mode  : 0x00000000 (Trigger mode: <Unknown>)");
    EXPECT_EQ(LineOf(lines, L"cg1_pd").value, CRegisterLines::kGreen);
    EXPECT_EQ(LineOf(lines, L"cg2_pu").value, CRegisterLines::kRed);
    EXPECT_EQ(LineOf(lines, L"iq1_pd").value, CRegisterLines::kGreen);
    EXPECT_EQ(LineOf(lines, L"zab_dcm_reset").text, L"zab_dcm_reset : 0x00000000 (ZAB DCM Reset))");

    const int reg0C = Find(lines, L"Register 0C");
    EXPECT_EQ(Children(lines, reg0C), std::vector<std::wstring>{L"---        : 0x00000010 [UNUSED] **"});
    EXPECT_EQ(lines.Lines()[reg0C + 1].value, CRegisterLines::kRed);

    const std::wstring stamp = L"64-bit timestamp value: 0x0000000100000002 (4294967298)";
    EXPECT_EQ(Children(lines, Find(lines, L"ts_msb")), std::vector<std::wstring>{stamp});
    EXPECT_EQ(Children(lines, Find(lines, L"ts_lsb")), std::vector<std::wstring>{stamp});
    EXPECT_EQ(lines.Depth(Find(lines, L"64-bit")), 3);
}

TEST(DeviceDecoder, SignedSegmentSizeAndMarkedPlainFields)
{
    std::array<uint32_t, TQ8_REGSET_DEVICE_WORDS> words{};
    words[6] = (1u << 5) | (1u << 7) | 1u;
    DeviceRegValues values{};
    values[kSegmentSize] = static_cast<uint32_t>(-5);
    CRegisterLines lines(kGrey);
    DecodeDeviceRegisters(lines, lines.AddGroup(L"Device Registers"), words.data(), values);
    EXPECT_EQ(LineOf(lines, L"seg_size").text, L"seg_size   : 0x00000000 (Segment size: -5)");
    EXPECT_EQ(LineOf(lines, L"fifo_test").text, L"fifo_test  : 0x00000001 (FIFO test) **");
    EXPECT_LT(LineOf(lines, L"fifo_test").value, CRegisterLines::kColourFlag); // plain lines stay uncoloured
    EXPECT_EQ(LineOf(lines, L"adc_cal_done_rst").text, L"adc_cal_done_rst : 0x00000001 **");
    EXPECT_EQ(LineOf(lines, L"adc_cal_done_rst").value, CRegisterLines::kRed);
    EXPECT_EQ(Children(lines, Find(lines, L"Register 06"))[0], L"---        : 0x00000001 [UNUSED] **");
}

TEST(ClockGenDecoder, SerialPortMirrors)
{
    const CRegisterLines both = DecodeClockGen(ClockGenWith(0x000, 0x18), 0);
    EXPECT_EQ(Children(both, 0)[0], L"Register 000 (0x18, Serial Control Port Cfg) L00.0");
    EXPECT_EQ(both.ExportText().find("****"), std::string::npos);
    const CRegisterLines one = DecodeClockGen(ClockGenWith(0x000, 0x08), 0);
    EXPECT_EQ(LineOf(one, L"LongInstructionM").text,
              L"LongInstructionM     : 0x00000000 (Long Instruction) ****");
    EXPECT_EQ(one.ExportText().find("****"), one.ExportText().rfind("****"));

    const CRegisterLines reset = DecodeClockGen(ClockGenWith(0x000, 0x04), 0);
    EXPECT_EQ(LineOf(reset, L"SoftReset ").text, L"SoftReset            : 0x00000001 (Soft Reset) **");
    EXPECT_EQ(LineOf(reset, L"SoftResetM").text, L"SoftResetM           : 0x00000000 (Soft Reset) ****");
    const CRegisterLines mirrored = DecodeClockGen(ClockGenWith(0x000, 0x24), 0);
    EXPECT_EQ(LineOf(mirrored, L"SoftResetM").text, L"SoftResetM           : 0x00000001 (Soft Reset)");
}

TEST(ClockGenDecoder, StatusPinPllAndVcoDivider)
{
    for (uint8_t code : {0, 7, 31})
        EXPECT_EQ(LineOf(DecodeClockGen(ClockGenWith(0x017, uint8_t(code << 2)), 0), L"StatusPinCtrl").text,
                  L"StatusPinCtrl        : 0x" + std::wstring(code == 0 ? L"00000000" : code == 7 ? L"00000007"
                                                                                                   : L"0000001F") +
                      L" (STATUS Pin Control: LVL: Ground (DC))");
    EXPECT_STREQ(StatusPinControlToText(63), L"LVL: LD pin comparator output; active low");
    EXPECT_STREQ(StatusPinControlToText(64), L"<Unknown>");

    const CRegisterLines normal = DecodeClockGen(ClockGenWith(0x010, 2), 0);
    EXPECT_EQ(LineOf(normal, L"PLL_PowerDown").text,
              L"PLL_PowerDown        : 0x00000002 (PLL Power-Down: Normal operation)");
    EXPECT_EQ(LineOf(normal, L"PLL_PowerDown").value, CRegisterLines::kGreen);
    for (uint8_t v : {1, 3})
        EXPECT_EQ(LineOf(DecodeClockGen(ClockGenWith(0x010, v), 0), L"PLL_PowerDown").value, CRegisterLines::kRed);

    EXPECT_EQ(LineOf(DecodeClockGen(ClockGenWith(0x1E0, 0), 0), L"VCO_Divider").text,
              L"VCO_Divider          : 0x00000000 (VCO Divider: 2)");
    EXPECT_EQ(LineOf(DecodeClockGen(ClockGenWith(0x1E0, 5), 0), L"VCO_Divider").text,
              L"VCO_Divider          : 0x00000005 (VCO Divider: 7)");
}

TEST(ClockGenDecoder, OutputAssignmentsPerGenerator)
{
    const auto words = ClockGenWith(0x0F1, 0x01);
    const CRegisterLines first = DecodeClockGen(words, 0);
    EXPECT_EQ(LineOf(first, L"Register 0F1").text, L"Register 0F1 (0x01, OUT1 = Slave 1) L09.1");
    EXPECT_EQ(LineOf(first, L"Out1PowerDown").text,
              L"Out1PowerDown        : 0x00000001 (OUT1 Power-Down: Power-down (1))[Slave #1 clock]");
    EXPECT_EQ(LineOf(first, L"Out1PowerDown").value, CRegisterLines::kRed);
    EXPECT_EQ(LineOf(first, L"Out2PowerDown").text,
              L"Out2PowerDown        : 0x00000000 (OUT2 Power-Down: Normal operation)[Internal clock]");
    EXPECT_EQ(LineOf(first, L"Out2PowerDown").value, CRegisterLines::kGreen);
    const CRegisterLines second = DecodeClockGen(words, 1);
    EXPECT_EQ(LineOf(second, L"Register 0F1").text, L"Register 0F1 (0x01, OUT1 = ADC 2) L09.1");
    EXPECT_EQ(LineOf(second, L"Out1PowerDown").text,
              L"Out1PowerDown        : 0x00000001 (OUT1 Power-Down: Power-down (1))");
    EXPECT_EQ(LineOf(second, L"Register 0F5").text, L"Register 0F5 (0x00, OUT5 = ADC reset) L10.1");
}

TEST(ClockGenDecoder, UnusedBitMarkedRedAndFamiliesNumbered)
{
    const CRegisterLines lines = DecodeClockGen(ClockGenWith(0x01F, 0x80), 0);
    const int header = Find(lines, L"Register 01F (0x80, PLL Readback) L04.3");
    const CRegisterLines::Line& last = lines.Lines()[static_cast<size_t>(header) + 8];
    EXPECT_EQ(last.text, L"---                  : 0x00000001 [UNUSED] **");
    EXPECT_EQ(last.value, CRegisterLines::kRed);
    EXPECT_TRUE(last.scrollIntoView);
    EXPECT_EQ(LineOf(lines, L"Out9DelayFunction").text, L"Out9DelayFunction    : 0x00000000 (OUT9 Delay Fraction)");
    EXPECT_EQ(LineOf(lines, L"Div2NoSync").text, L"Div2NoSync           : 0x00000000 (Divider 2 Nosync)");
    EXPECT_EQ(LineOf(lines, L"LowCyclesDiv43_2").text,
              L"LowCyclesDiv43_2     : 0x00000000 (Low Cycles Divider 4.2)");
    EXPECT_EQ(LineOf(lines, L"Div3Nosync").text, L"Div3Nosync           : 0x00000000 (Divider 3 Nosync)");
}

// Every register header names the placement the I/O window uses.
TEST(RegisterPlacement, ClockGenHeadersAgreeWithTheMap)
{
    const CRegisterLines lines = DecodeClockGen({}, 0);
    const std::vector<std::wstring> headers = Children(lines, 0);
    ASSERT_EQ(headers.size(), 62u); // every register of the placement map
    for (const std::wstring& header : headers) {
        unsigned address = 0, logical = 0, sub = 0;
        ASSERT_EQ(std::swscanf(header.c_str(), L"Register %x", &address), 1);
        ASSERT_EQ(std::swscanf(header.c_str() + header.rfind(L" L"), L" L%u.%u", &logical, &sub), 2);
        RegPlacement at;
        ASSERT_TRUE(FindClockGenPlacement(address, at));
        EXPECT_EQ(at.logical, logical);
        EXPECT_EQ(at.sub, sub);
    }
    RegPlacement at;
    EXPECT_TRUE(FindClockGenPlacement(0x230, at));
    EXPECT_EQ(at.logical, 19u);
    EXPECT_EQ(at.sub, 2u);
    for (uint32_t bad : {0x001u, 0x005u, 0x0ACu, 0x0F6u, 0x1A3u, 0x231u, 0xFFFFFFFFu})
        EXPECT_FALSE(FindClockGenPlacement(bad, at));
    EXPECT_TRUE(FindAdcPlacement(15, at));
    EXPECT_EQ(at.logical, 4u);
    EXPECT_EQ(at.sub, 1u);
    EXPECT_FALSE(FindAdcPlacement(4, at));
}

TEST(ClockGenDecoder, FamiliesAndLastRegistersWordForWord)
{
    std::array<uint32_t, TQ8_REGSET_CLOCKGEN_WORDS> words{};
    words[5] = 0x000000C1;   // 0A0: bypass and unused bits 6-7 (field bits 1-7: 0x60)
    words[9] = 0x00000012;   // 0F0: invert, LVPECL 0
    words[11] = 0x00000001;  // 140: OUT6 powered down
    words[12] = 0x00030021;  // 190 = 0x21, 192 = 0x03
    words[19] = 0x00020514;  // 1E0 = 0x14, 1E1 = 0x05, 230 = 0x02
    const CRegisterLines lines = DecodeClockGen(words, 0);
    using W = std::vector<std::wstring>;
    EXPECT_EQ(Children(lines, Find(lines, L"Register 0A0 (0xC1, OUT6 Delay Bypass) L05.0")),
              (W{L"Out6DelayBypass      : 0x00000001 (OUT6 Delay Bypass)",
                 L"---                  : 0x00000060 [UNUSED] **"}));
    EXPECT_EQ(Children(lines, Find(lines, L"Register 0A1 (0x00, OUT6 Delay Full-Scale) L05.1")),
              (W{L"Out6RampCurrent      : 0x00000000 (OUT6 Ramp Current)",
                 L"Out6RampCaps         : 0x00000000 (OUT6 Ramp Capacitors)",
                 L"---                  : 0x00000000 [UNUSED]"}));
    EXPECT_EQ(Children(lines, Find(lines, L"Register 0F0 (0x12, OUT0 = Slave 2) L09.0")),
              (W{L"Out0PowerDown        : 0x00000002 (OUT0 Power-Down: Power-down (2))",
                 L"Out0LvpeclDiffVolt   : 0x00000000 (OUT0 LVPECL Diff. Voltage)",
                 L"Out0Invert           : 0x00000001 (OUT0 Invert)", L"---                  : 0x00000000 [UNUSED]"}));
    EXPECT_EQ(Children(lines, Find(lines, L"Register 140 (0x01, OUT6 CMOS Out. Pol.) L11.0")),
              (W{L"Out6PowerDown        : 0x00000001 (OUT6 Power-Down)",
                 L"Out6LvdsOutCurrent   : 0x00000000 (OUT6 LVDS Output Current)",
                 L"Out6SelectLvdsCmos   : 0x00000000 (OUT6 Select LVDS/CMOS)",
                 L"Out6CmosB            : 0x00000000 (OUT6 CMOS B)",
                 L"Out6LvdsCmosOutPol   : 0x00000000 (OUT6 LVDS/CMOS Output Polarity)",
                 L"Out6CmosOutPol       : 0x00000000 (OUT6 CMOS Output Polarity)"}));
    EXPECT_EQ(LineOf(lines, L"Out6PowerDown").value, CRegisterLines::kRed);
    EXPECT_EQ(Children(lines, Find(lines, L"Register 190 (0x21, Divider 0 1/3) L12.0")),
              (W{L"Div0HighCycles       : 0x00000001 (Divider 0 High Cycles)",
                 L"Div0LowCycles        : 0x00000002 (Divider 0 Low Cycles)"}));
    EXPECT_EQ(Children(lines, Find(lines, L"Register 192 (0x03, Divider 0 3/3) L12.2")),
              (W{L"Div0Dccoff           : 0x00000001 (Divider 0 DCCOFF)",
                 L"Div0DirectToOutput   : 0x00000001 (Divider 0 Direct to Output)",
                 L"---                  : 0x00000000 [UNUSED]"}));
    EXPECT_EQ(Children(lines, Find(lines, L"Register 1E0 (0x14, VCO Divider) L19.0")),
              (W{L"VCO_Divider          : 0x00000004 (VCO Divider: 6)", L"---                  : 0x00000002 [UNUSED] **"}));
    EXPECT_EQ(Children(lines, Find(lines, L"Register 1E1 (0x05, Input CLKs) L19.1")),
              (W{L"BypassVcoDivider     : 0x00000001 (Bypass VCO Divider)",
                 L"SelectVcoOrClock     : 0x00000000 (Select VCO or CLK)",
                 L"PowerDownVcoClock    : 0x00000001 (Power-Down VCO and CLK)",
                 L"PowerDownVcoClkInt   : 0x00000000 (Power-Down VCO Clock Interface)",
                 L"PowerDownClkInSel    : 0x00000000 (Power-Down Clock Input Selection)",
                 L"---                  : 0x00000000 [UNUSED]"}));
    EXPECT_EQ(Children(lines, Find(lines, L"Register 230 (0x02, Power Down and Sync) L19.2")),
              (W{L"SoftSync             : 0x00000000 (Soft Sync)", L"PdDistribRef         : 0x00000001 (Power-Down Dist. Ref.)",
                 L"PowerDownSync        : 0x00000000 (Power-Down Sync)", L"---                  : 0x00000000 [UNUSED]"}));
    EXPECT_EQ(LineOf(lines, L"PdDistribRef").value, CRegisterLines::kRed);
    EXPECT_EQ(LineOf(lines, L"PowerDownSync").value, CRegisterLines::kGreen);
}

// The simulator's start image: each group decodes every register of its set.
TEST(RegisterCache, SimulatorStartImageHasEveryRegister)
{
    TQ8Sim_Reset();
    TQ8_HANDLE h = nullptr;
    ASSERT_EQ(ConnectToVirtualDeviceTQ8(&h, 1601, 0), TQ8_OK);
    CRegisterLines lines(kGrey);
    BuildRegisterCacheLines(lines, h);
    const uint32_t* cg = nullptr;
    ASSERT_EQ(GetRegSetTQ8(h, 1, &cg), TQ8_OK);
    std::vector<int> groups;
    for (size_t i = 0; i < lines.Lines().size(); ++i)
        if (lines.Lines()[i].parent == CRegisterLines::kNone)
            groups.push_back(int(i));
    ASSERT_EQ(groups.size(), 5u);
    EXPECT_EQ(Children(lines, groups[0]).size(), 16u);
    EXPECT_EQ(Children(lines, groups[1]).size(), 62u);
    EXPECT_EQ(Children(lines, groups[2]).size(), 62u);
    EXPECT_EQ(Children(lines, groups[3]).size(), 9u);
    EXPECT_EQ(Children(lines, groups[4]).size(), 9u);
    EXPECT_EQ(Children(lines, groups[1])[2], FormatWide(L"Register 010 (0x%02X, PFD, Charge Pump) L01.0", cg[1] & 0xFF));
    DisconnectFromDeviceTQ8(h);
    TQ8Sim_Reset();
}

// The simulator's start image, registers 00 to 05 of the device group as the
// tables and the library's settings word them.
TEST(RegisterCache, SimulatorStartImageOfTheFirstDeviceRegisters)
{
    TQ8Sim_Reset();
    TQ8_HANDLE h = nullptr;
    ASSERT_EQ(ConnectToVirtualDeviceTQ8(&h, 1601, 0), TQ8_OK);
    CRegisterLines lines(kGrey);
    BuildRegisterCacheLines(lines, h);
    const std::string dump = lines.ExportText();
    const std::string expected =
        "Device Registers\r\n"
        "   Register 00 (0x00000000, Segment Size)\r\n"
        "      seg_size   : 0x00000000 (Segment size: 0)\r\n"
        "   Register 01 (0x00000100, Sample Count)\r\n"
        "      burst_count : 0x00000100 (Sample count: 1048576)\r\n"
        "      ---        : 0x00000000 [UNUSED]\r\n"
        "      partial_size : 0x00000000 (Partial burst size)\r\n"
        "      ---        : 0x00000000 [UNUSED]\r\n"
        "      free_run   : 0x00000000 (Free run?)\r\n"
        "   Register 02 (0x00000000, Start Sample)\r\n"
        "      start_addr : 0x00000000 (Starting sample: 0)\r\n"
        "      ---        : 0x00000000 [UNUSED]\r\n"
        "   Register 03 (0x00000000, Delay/Pretrigger Samples)\r\n"
        "      trig_delay : 0x00000000 (Trigger delay samples: 0)\r\n"
        "      pre_trig_samps : 0x00000000 (Pre-trigger samples: 0)\r\n"
        "   Register 04 (0x00008080, Trigger Settings)\r\n"
        "      trig_level_a : 0x00000080 (Trigger level A: 128)\r\n"
        "      trig_level_b : 0x00000080 (Trigger level B: 128)\r\n"
        "      trig_mode  : 0x00000000 (Trigger mode: Post-Trigger)\r\n"
        "      trig_dir_a : 0x00000000 (Trigger A Dir: Positive)\r\n"
        "      trig_dir_b : 0x00000000 (Trigger B Dir: Positive)\r\n"
        "      trig_dir_ext : 0x00000000 (Ext Trigger Dir: Positive)\r\n"
        "      soft_trig  : 0x00000000 (Software Trigger)\r\n"
        "      ---        : 0x00000000 [UNUSED]\r\n"
        "      trig_src   : 0x00000000 (Trigger source: Internal Ch. 1)\r\n"
        "      ---        : 0x00000000 [UNUSED]\r\n"
        "   Register 05 (0x00000308, Trigger/Clock Settings)\r\n"
        "      dcm_sel    : 0x00000000 (DCM select)\r\n"
        "      dcm_sel_90deg : 0x00000000 (DCM select 90deg)\r\n"
        "      phase_det_sel : 0x00000000 (Phase detect select)\r\n"
        "      auto_dcm_rst_en : 0x00000001 (Auto-DCM-Reset Enable)\r\n"
        "      phase_det_pol : 0x00000000 (Phase detect polarity)\r\n"
        "      ---        : 0x00000000 [UNUSED]\r\n"
        "      cg1_pd     : 0x00000001 (CG1 power up)\r\n"
        "      cg2_pu     : 0x00000001 (CG2 power up)\r\n"
        "      ---        : 0x00000000 [UNUSED]\r\n"
        "      clk_src    : 0x00000000 (Clock source: Internal)\r\n"
        "      clk_div_emu : 0x00000000 (Post ADC clock div: 1)\r\n"
        "      dcmrst1    : 0x00000000 (DCM reset 1)\r\n"
        "      dcmrst2    : 0x00000000 (DCM reset 2)\r\n"
        "      dcmrst3    : 0x00000000 (DCM reset 3)\r\n"
        "      dcmrst4    : 0x00000000 (DCM reset 4)\r\n"
        "      sync_out   : 0x00000000\r\n"
        "      adc_int_en : 0x00000000 (ADC interleave enable)\r\n"
        "      rst_ext_trig_delay : 0x00000000 (Reset external trigger delay)\r\n"
        "      ext_trig_delay : 0x00000000 (external trigger delay)\r\n";
    EXPECT_EQ(dump.substr(0, expected.size()), expected);
    const std::string next = "   Register 06 (0x00000000, Board Settings)\r\n";
    EXPECT_EQ(dump.compare(expected.size(), next.size(), next), 0);
    DisconnectFromDeviceTQ8(h);
    TQ8Sim_Reset();
}
