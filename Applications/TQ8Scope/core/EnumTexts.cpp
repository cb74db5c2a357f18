#include "EnumTexts.h"

#include <iterator>

namespace {

template <size_t N>
const wchar_t* Lookup(const wchar_t* const (&texts)[N], int32_t value)
{
    if (value < 0 || static_cast<size_t>(value) >= N)
        return L"<Unknown>";
    return texts[value];
}

} // namespace

const wchar_t* ZabFpgaTypeToText(int32_t value)
{
    static const wchar_t* const t[] = {L"LX50T", L"SX95T"};
    return Lookup(t, value);
}

const wchar_t* InputChannelConfigToText(int32_t value)
{
    static const wchar_t* const t[] = {L"Unspecified", L"Lowpass - 1GHz", L"Lowpass - 2GHz"};
    return Lookup(t, value);
}

const wchar_t* ExtTriggerConfigToText(int32_t value)
{
    static const wchar_t* const t[] = {L"LVTTL (0 to 3.3V)", L"LVPECL (3.3V)"};
    return Lookup(t, value);
}

const wchar_t* SyncConfigToText(int32_t value)
{
    static const wchar_t* const t[] = {L"Internal synchronization", L"External synchronization", L"Slave #1",
                                       L"Slave #2"};
    return Lookup(t, value);
}

const wchar_t* MasterSlaveConfigToText(int32_t value)
{
    static const wchar_t* const t[] = {L"Standalone board", L"Master", L"Slave #1", L"Slave #2"};
    return Lookup(t, value);
}

const wchar_t* OperatingModeToText(int32_t value)
{
    static const wchar_t* const t[] = {L"Power down",
                                       L"Standby",
                                       L"RAM acquisition",
                                       L"Reserved (3)",
                                       L"Buffered PCI acquisition",
                                       L"ZAB acquisition",
                                       L"Buffered ZAB acquisition",
                                       L"TQ3300 RAM read to PCI",
                                       L"TQ3300 RAM read to ZAB",
                                       L"PCI write to TQ3300 RAM"};
    return Lookup(t, value);
}

const wchar_t* ZabConfigToText(int32_t value)
{
    static const wchar_t* const t[] = {L"64-bit", L"32-bit (lower)", L"32-bit (upper)"};
    return Lookup(t, value);
}

const wchar_t* ZabClockToText(int32_t value)
{
    static const wchar_t* const t[] = {L"Acquisition clock", L"62.5 MHz", L"125 MHz"};
    return Lookup(t, value);
}

const wchar_t* ActiveChannelsToText(int32_t value)
{
    static const wchar_t* const t[] = {L"Four channel (Ch: 1,2,3,4)",
                                       L"Dual channel (Ch: 1,2)",
                                       L"Dual channel (Ch: 3,4)",
                                       L"Dual channel (Ch: 1,3)",
                                       L"Triple channel (Ch: 1,2,3)",
                                       L"Single channel (Ch 1)",
                                       L"Single channel (Ch 2)",
                                       L"Single channel (Ch 3)",
                                       L"Single channel (Ch 4)",
                                       L"Dual channel (Ch: 1,3) ADC Interleaved",
                                       L"Single channel (Ch 1) ADC Interleaved",
                                       L"Single channel (Ch 3) ADC Interleaved"};
    return Lookup(t, value);
}

const wchar_t* DigitalIoModeToText(int32_t value)
{
    static const wchar_t* const t[] = {L"OUT: 0V",
                                       L"OUT: Synchronized trigger",
                                       L"OUT: ADC clock \u00f7 8",
                                       L"OUT: 3.3V",
                                       L"IN: Timestamp request or FPGA sync in",
                                       L"Reserved (5)",
                                       L"Reserved (6)",
                                       L"Reserved (7)"};
    return Lookup(t, value);
}

const wchar_t* AdcClockSourceToText(int32_t value)
{
    static const wchar_t* const t[] = {L"Internal", L"External", L"Slave #1", L"Slave #2"};
    return Lookup(t, value);
}

const wchar_t* TriggerDirectionToText(int32_t value)
{
    static const wchar_t* const t[] = {L"Positive", L"Negative"};
    return Lookup(t, value);
}

const wchar_t* TriggerSourceToText(int32_t value)
{
    static const wchar_t* const t[] = {L"Internal Ch. 1", L"Internal Ch. 2", L"Internal Ch. 3", L"Internal Ch. 4",
                                       L"External"};
    return Lookup(t, value);
}

const wchar_t* TriggerModeToText(int32_t value)
{
    static const wchar_t* const t[] = {L"Post-Trigger", L"Segmented"};
    return Lookup(t, value);
}
