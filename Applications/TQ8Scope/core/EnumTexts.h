#pragma once
// Texts of the board's enumerated settings; "<Unknown>" for any other number.
#include <cstdint>

const wchar_t* ZabFpgaTypeToText(int32_t value);
const wchar_t* InputChannelConfigToText(int32_t value);
const wchar_t* ExtTriggerConfigToText(int32_t value);
const wchar_t* SyncConfigToText(int32_t value);
const wchar_t* MasterSlaveConfigToText(int32_t value);
const wchar_t* OperatingModeToText(int32_t value);
const wchar_t* ZabConfigToText(int32_t value);
const wchar_t* ZabClockToText(int32_t value);
const wchar_t* ActiveChannelsToText(int32_t value);
const wchar_t* DigitalIoModeToText(int32_t value);
const wchar_t* AdcClockSourceToText(int32_t value);
const wchar_t* TriggerDirectionToText(int32_t value);
const wchar_t* TriggerSourceToText(int32_t value);
const wchar_t* TriggerModeToText(int32_t value);
