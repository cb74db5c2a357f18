#include "DriverProbe.h"

#include "TQ8Driver.h"

bool DriverRequestPending(kern::CSimBus& bus, size_t slot)
{
    TQ8_DEVICE_EXTENSION* ext = Extension(bus.FunctionDevice(slot));
    kern::KIRQL irql;
    kern::KeAcquireSpinLock(&ext->spinLock, &irql);
    const bool pending = ext->pendingIrp != nullptr;
    kern::KeReleaseSpinLock(&ext->spinLock, irql);
    return pending;
}
