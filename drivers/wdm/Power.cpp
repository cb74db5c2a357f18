#include "TQ8Driver.h"

using namespace kern;

namespace {

bool RefusesQuery(const IoStackLocation* loc)
{
    // The sleeping states and hibernation.
    return loc->power.type == PowerStateType::System && loc->power.state >= PowerSystemSleeping1
           && loc->power.state <= PowerSystemHibernate;
}

NTSTATUS PassPowerDown(TQ8_DEVICE_EXTENSION* ext, Irp* irp)
{
    if (ext->lowerDevice == nullptr)
        return CompleteRequest(irp, STATUS_NOT_IMPLEMENTED);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(ext->lowerDevice, irp);
}

} // namespace

NTSTATUS DispatchPower(DeviceObject* device, Irp* irp)
{
    TQ8_DEVICE_EXTENSION* ext = Extension(device);
    NTSTATUS status = IoAcquireRemoveLockEx(&ext->removeLock, irp);
    if (!NT_SUCCESS(status)) {
        PoStartNextPowerIrp(irp);
        return CompleteRequest(irp, status);
    }
    KIRQL irql;
    KeAcquireSpinLock(&ext->spinLock, &irql);
    const int32_t state = ext->pnpState;
    KeReleaseSpinLock(&ext->spinLock, irql);
    const IoStackLocation* loc = IoGetCurrentIrpStackLocation(irp);
    PoStartNextPowerIrp(irp);
    if (state == TQ8_PNP_STOPPED)
        status = CompleteRequest(irp, STATUS_DELETE_PENDING);
    else if (state != TQ8_PNP_NOT_STARTED && loc->minorFunction == IRP_MN_QUERY_POWER && RefusesQuery(loc))
        status = CompleteRequest(irp, STATUS_UNSUCCESSFUL);
    else
        status = PassPowerDown(ext, irp);
    IoReleaseRemoveLockEx(&ext->removeLock, irp);
    return status;
}

NTSTATUS DispatchSystemControl(DeviceObject* device, Irp* irp)
{
    TQ8_DEVICE_EXTENSION* ext = Extension(device);
    NTSTATUS status = IoAcquireRemoveLockEx(&ext->removeLock, irp);
    if (!NT_SUCCESS(status))
        return CompleteRequest(irp, status);
    status = PassDown(ext, irp);
    IoReleaseRemoveLockEx(&ext->removeLock, irp);
    return status;
}
