// Configuration EEPROM, configuration block and scan port. The EEPROM
// protocol, the refill and the scan-port requests come with the EEPROM work
// (issue 35); until then the requests answer STATUS_NOT_IMPLEMENTED, which
// the dispatch passes down.
#include "TQ8Driver.h"

using namespace kern;

void SetConfigCacheFailurePattern(TQ8_DEVICE_EXTENSION* ext)
{
    KIRQL irql;
    KeAcquireSpinLock(&ext->spinLock, &irql);
    ext->configCache = {};
    ext->configCache.size = sizeof(TQ8_CONFIG_CACHE);
    ext->configCache.word70 = 0xFFFF;
    ext->configCache.memorySize = TQ8_MEMORY_SIZE_VALUE;
    ext->serialNumber = 0;
    KeReleaseSpinLock(&ext->spinLock, irql);
}

NTSTATUS IoctlEepromAccess(TQ8_DEVICE_EXTENSION*, TQ8_IOCTL&) { return STATUS_NOT_IMPLEMENTED; }

NTSTATUS IoctlRefreshConfigCache(TQ8_DEVICE_EXTENSION*, TQ8_IOCTL&) { return STATUS_NOT_IMPLEMENTED; }

NTSTATUS IoctlJtagControl(TQ8_DEVICE_EXTENSION*, TQ8_IOCTL&) { return STATUS_NOT_IMPLEMENTED; }

NTSTATUS IoctlJtagShift(TQ8_DEVICE_EXTENSION*, TQ8_IOCTL&) { return STATUS_NOT_IMPLEMENTED; }
