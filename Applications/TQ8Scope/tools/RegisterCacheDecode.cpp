#include "RegisterCacheDecode.h"

#include "AdcRegDecoder.h"
#include "ClockGenRegDecoder.h"
#include "DeviceRegDecoder.h"

void BuildRegisterCacheLines(CRegisterLines& lines, TQ8_HANDLE device)
{
    AddDeviceRegisters(lines, device);
    AddClockGenRegisters(lines, device, 0);
    AddClockGenRegisters(lines, device, 1);
    AddAdcRegisters(lines, device, 0);
    AddAdcRegisters(lines, device, 1);
}
