#include "DriverStatusCodes.h"

#include <cstdio>

#include "DriverInterface.h"
#include "TQ8_64.h"

namespace tq8 {

namespace {
using namespace kern;
using namespace wdm;

struct Entry {
    NTSTATUS status;
    int32_t code;
    const wchar_t* text;
};

constexpr Entry kStatuses[] = {
    {STATUS_SUCCESS, TQ8_OK, L"The operation completed successfully"},
    {STATUS_INFO_LENGTH_MISMATCH, TQ8_ERR_INVALID_ARG, L"The driver refused a request of the wrong size"},
    {STATUS_INVALID_PARAMETER, TQ8_ERR_INVALID_ARG, L"The driver refused a value out of range"},
    {STATUS_ACCESS_VIOLATION, TQ8_ERR_INVALID_ARG, L"The driver could not reach the caller's buffer"},
    {STATUS_ACCESS_DENIED, TQ8_ERR_BUSY, L"The scan port is owned by another handle"},
    {TQ8_STATUS_NO_WINDOW, TQ8_ERR_OUT_OF_BOUNDS, L"No such register window"},
    {STATUS_INSUFFICIENT_RESOURCES, TQ8_ERR_NO_MEMORY, L"The driver is out of resources"},
    {TQ8_STATUS_TIMED_OUT, TQ8_ERR_TIMEOUT, L"The board did not answer in time"},
    {TQ8_STATUS_WRONG_MODE, TQ8_ERR_WRONG_MODE, L"The board is not in the operating mode the transfer needs"},
    {TQ8_STATUS_BAD_WAIT_KIND_OR_MODE, TQ8_ERR_INVALID_ARG, L"Unknown wait kind or operating mode"},
    {TQ8_STATUS_BAD_KIND, TQ8_ERR_INVALID_ARG, L"Unknown register kind or read mode"},
    {TQ8_STATUS_BAD_GROUP_OR_START, TQ8_ERR_OUT_OF_BOUNDS, L"Register group or start sample out of range"},
    {TQ8_STATUS_BAD_COUNT, TQ8_ERR_OUT_OF_BOUNDS, L"Sample count beyond the board memory"},
    {TQ8_STATUS_NO_BUFFER0, TQ8_ERR_INVALID_ARG, L"A read into one buffer needs buffer 0"},
    {TQ8_STATUS_BAD_DELAY_BEFORE, TQ8_ERR_INVALID_ARG, L"Delay before the register access too long"},
    {TQ8_STATUS_BAD_DELAY_AFTER, TQ8_ERR_INVALID_ARG, L"Delay after the register access too long"},
    {TQ8_STATUS_ACQUISITION_UNFINISHED, TQ8_ERR_UNSUPPORTED_ACQ, L"The acquisition was not complete"},
    {STATUS_CANCELLED, TQ8_ERR_CANCELLED, L"Operation cancelled"},
    {TQ8_STATUS_BUSY, TQ8_ERR_BUSY, L"Another operation is running on the board"},
    {TQ8_STATUS_NO_CLOCK_LOCK, TQ8_ERR_GENERAL, L"The clock manager did not lock"},
    {TQ8_STATUS_NO_COMMON_BUFFER, TQ8_ERR_DMA_BUFFER, L"The DMA buffer could not be allocated"},
    {TQ8_STATUS_TRANSFER_TOO_LONG, TQ8_ERR_OUT_OF_BOUNDS, L"The transfer does not fit in its buffer"},
    {TQ8_STATUS_BAD_REGISTER_INDEX, TQ8_ERR_OUT_OF_BOUNDS, L"Register index out of range"},
    {TQ8_STATUS_NO_SUCH_BUFFER, TQ8_ERR_DMA_BUFFER, L"No DMA buffer of this process holds the address"},
    // The board went away under an open handle, or was never started.
    {STATUS_NO_SUCH_DEVICE, TQ8_ERR_DEVICE_REMOVED, L"The device was removed"},
    {STATUS_DELETE_PENDING, TQ8_ERR_DEVICE_REMOVED, L"The device was removed"},
    {STATUS_DEVICE_NOT_READY, TQ8_ERR_DEVICE_REMOVED, L"The device is not started"},
    {STATUS_INVALID_DEVICE_REQUEST, TQ8_ERR_NOT_SUPPORTED, L"The driver does not know the request"},
};

std::wstring UnknownText(NTSTATUS status)
{
    wchar_t text[40];
    std::swprintf(text, sizeof text / sizeof *text, L"Driver error 0x%08X", static_cast<unsigned>(status));
    return text;
}
} // namespace

DriverResult FromDriverStatus(NTSTATUS status)
{
    for (const Entry& e : kStatuses)
        if (e.status == status)
            return {e.code, e.text};
    return {TQ8_ERR_DRIVER_FAILURE, UnknownText(status)};
}

int32_t DriverCode(NTSTATUS status) { return FromDriverStatus(status).code; }

} // namespace tq8
