#pragma once
// The "Device Registers" group of the register cache: register set 0, each
// register's fields with the library's interpretation of the setting.
#include <array>
#include <cstdint>

#include "CRegisterLines.h"
#include "TQ8_64.h"

// The getters whose results the field lines show, in this order.
enum DeviceRegValue : uint8_t {
    kSegmentSize,
    kSampleCount,
    kStartSample,
    kTriggerDelay,
    kPreTrigger,
    kTriggerLevelA,
    kTriggerLevelB,
    kTriggerMode,
    kTriggerDirA,
    kTriggerDirB,
    kTriggerDirExt,
    kTriggerSource,
    kAdcClockSource,
    kDigitalIoMode,
    kActiveChannels,
    kZabClock,
    kZabConfig,
    kOperatingMode,
    kDeviceRegValueCount
};
using DeviceRegValues = std::array<uint32_t, kDeviceRegValueCount>;

DeviceRegValues ReadDeviceRegValues(TQ8_HANDLE device);
// The group with set 0 from the library, or "Failed to get".
void AddDeviceRegisters(CRegisterLines& lines, TQ8_HANDLE device);
// The registers of an image of TQ8_REGSET_DEVICE_WORDS words under group.
void DecodeDeviceRegisters(CRegisterLines& lines, int group, const uint32_t* words, const DeviceRegValues& values);
