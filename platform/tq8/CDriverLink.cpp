#include "CDriverLink.h"

#include "DriverStatusCodes.h"
#include "IoObjects.h"
#include "TQ8_64.h"

namespace tq8 {

namespace {
// Flags of a sample-memory read: the operating mode of the read in the low
// bits, and whether the call returns before the read ends.
constexpr uint32_t kReadMode = TQ8_MODE_RAM_READ_TO_PCI;
constexpr uint32_t kReadNoWait = 1u << 30;
constexpr int32_t kWaitForRead = 2;
constexpr int32_t kWaitForAcquisition = 3;
constexpr uint32_t kTriggerRegister = 4;
constexpr uint32_t kSoftwareTrigger = 1u << 23;
constexpr uint32_t kTimestampsEvenAfterOverflow = 1;
constexpr uint32_t kTimestampsOverflowed = 1u << 25;
} // namespace

std::vector<kern::KernelString> CDriverLink::Boards() { return kern::IoGetDeviceInterfaces(wdm::GUID_DEVINTERFACE_TQ8); }

CDriverLink::CDriverLink(kern::CUserProcess& process) : m_process(process) {}

CDriverLink::~CDriverLink() { Close(); }

int32_t CDriverLink::Open(const kern::KernelString& link)
{
    Close();
    m_removed = false;
    const kern::NTSTATUS status = m_process.Open(link, &m_handle);
    if (!kern::NT_SUCCESS(status)) {
        m_handle = kern::CUserProcess::kInvalidHandle;
        // A link that is gone is a board that is not there.
        return status == kern::STATUS_OBJECT_NAME_NOT_FOUND ? TQ8_ERR_DEVICE_NOT_FOUND : DriverCode(status);
    }
    m_info = {};
    m_info.recordSize = sizeof m_info;
    int32_t rc = Control(wdm::IOCTL_TQ8_GET_DRIVER_INFO, nullptr, 0, &m_info, sizeof m_info);
    if (rc == TQ8_OK && m_info.serialNumber == 0) {
        rc = TQ8_ERR_EEPROM_INVALID;
        SetLastText(L"The board's configuration EEPROM could not be read");
    }
    if (rc != TQ8_OK)
        Close();
    return rc;
}

void CDriverLink::Close()
{
    if (IsOpen())
        m_process.Close(m_handle);
    m_handle = kern::CUserProcess::kInvalidHandle;
}

int32_t CDriverLink::Control(uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                             uint32_t* returned)
{
    if (m_removed)
        return TQ8_ERR_DEVICE_REMOVED;
    if (!IsOpen())
        return TQ8_ERR_INVALID_HANDLE;
    const kern::NTSTATUS status = m_process.DeviceIoControl(m_handle, code, in, inLength, out, outLength, returned);
    DriverResult result = FromDriverStatus(status);
    if (result.code == TQ8_ERR_DEVICE_REMOVED)
        m_removed = true;
    if (result.code != TQ8_OK)
        SetLastText(std::move(result.text));
    return result.code;
}

std::wstring CDriverLink::LastText() const
{
    std::lock_guard lock(m_textMutex);
    return m_lastText;
}

void CDriverLink::SetLastText(std::wstring text)
{
    std::lock_guard lock(m_textMutex);
    m_lastText = std::move(text);
}

void CDriverLink::Cancel()
{
    if (IsOpen())
        m_process.CancelIo(m_handle);
}

int32_t CDriverLink::ConfigCache(wdm::TQ8_CONFIG_CACHE& cache)
{
    cache = {};
    cache.size = sizeof cache;
    return Control(wdm::IOCTL_TQ8_GET_CONFIG_CACHE, cache);
}

int32_t CDriverLink::ReadEeprom(uint32_t address, uint16_t& value)
{
    wdm::TQ8_EEPROM_REQUEST request{sizeof request, 1, address, 0};
    const int32_t rc = Control(wdm::IOCTL_TQ8_EEPROM_ACCESS, request);
    value = static_cast<uint16_t>(request.value);
    return rc;
}

int32_t CDriverLink::WriteEeprom(uint32_t address, uint16_t value)
{
    wdm::TQ8_EEPROM_REQUEST request{sizeof request, 0, address, value};
    return Control(wdm::IOCTL_TQ8_EEPROM_ACCESS, request);
}

int32_t CDriverLink::ReadRegister(wdm::TQ8_REG_READ_REQUEST request, uint32_t& value)
{
    const int32_t rc = Control(wdm::IOCTL_TQ8_READ_REG, request);
    value = request.value;
    return rc;
}

int32_t CDriverLink::WriteRegister(uint32_t kind, uint32_t index, uint32_t mask, uint32_t value)
{
    wdm::TQ8_REG_WRITE_REQUEST request{};
    request.recordSize = sizeof request;
    request.kind = kind;
    request.index = index;
    request.mask = mask;
    request.value = value;
    return Control(wdm::IOCTL_TQ8_WRITE_REG, request);
}

int32_t CDriverLink::RawRead(int32_t window, int32_t index, uint32_t& value)
{
    wdm::TQ8_RAW_REG_REQUEST request{sizeof request, 1, window, index, 0};
    const int32_t rc = Control(wdm::IOCTL_TQ8_RAW_REG_ACCESS, request);
    value = request.value;
    return rc;
}

int32_t CDriverLink::RawWrite(int32_t window, int32_t index, uint32_t value)
{
    wdm::TQ8_RAW_REG_REQUEST request{sizeof request, 0, window, index, value};
    return Control(wdm::IOCTL_TQ8_RAW_REG_ACCESS, request);
}

int32_t CDriverLink::SetMode(uint32_t mode)
{
    return Control(wdm::IOCTL_TQ8_SET_OPERATING_MODE, &mode, sizeof mode, nullptr, 0);
}

int32_t CDriverLink::State(uint32_t& state)
{
    state = 0;
    return Control(wdm::IOCTL_TQ8_GET_DRIVER_STATE, nullptr, 0, &state, sizeof state);
}

int32_t CDriverLink::Stats(bool reset, wdm::TQ8_DRIVER_STATS& stats)
{
    stats = {};
    stats.openHandles = reset ? 1 : 0;
    return Control(wdm::IOCTL_TQ8_GET_DRIVER_STATS, stats);
}

// A removal ends the pending request as a cancel does: the board tells which.
int32_t CDriverLink::CancelledOrRemoved()
{
    uint32_t state = 0;
    return State(state) == TQ8_ERR_DEVICE_REMOVED ? TQ8_ERR_DEVICE_REMOVED : TQ8_ERR_CANCELLED;
}

int32_t CDriverLink::ReadSampleRam(uint32_t first, uint32_t bytes, uint8_t* dst, bool noWait)
{
    wdm::TQ8_SAMPLE_RAM_REQUEST request{};
    request.recordSize = sizeof request;
    request.flags = kReadMode | (noWait ? kReadNoWait : 0u);
    request.firstSample = first;
    request.count = bytes;
    request.buffers[0] = reinterpret_cast<uint64_t>(dst);
    const int32_t rc = Control(wdm::IOCTL_TQ8_READ_SAMPLE_RAM, &request, sizeof request, nullptr, 0);
    return rc == TQ8_ERR_CANCELLED ? CancelledOrRemoved() : rc;
}

int32_t CDriverLink::WaitRead(uint32_t timeoutMs)
{
    wdm::TQ8_WAIT_REQUEST request{sizeof request, kWaitForRead, timeoutMs, 0};
    const int32_t rc = Control(wdm::IOCTL_TQ8_WAIT_COMPLETE, &request, sizeof request, nullptr, 0);
    if (rc == TQ8_ERR_TIMEOUT)
        SetMode(TQ8_MODE_STANDBY);
    return rc == TQ8_ERR_CANCELLED ? CancelledOrRemoved() : rc;
}

int32_t CDriverLink::ReadTimestamps(uint64_t* dst, uint32_t max, uint32_t& count, bool evenAfterOverflow,
                                    bool* overflowed)
{
    wdm::TQ8_TIMESTAMP_REQUEST request{};
    request.recordSize = sizeof request;
    request.count = max;
    request.flags = evenAfterOverflow ? kTimestampsEvenAfterOverflow : 0u;
    request.buffer = reinterpret_cast<uint64_t>(dst);
    const int32_t rc = Control(wdm::IOCTL_TQ8_READ_TIMESTAMPS, request);
    count = rc == TQ8_OK ? request.count : 0;
    if (overflowed != nullptr)
        *overflowed = rc == TQ8_OK && (request.flags & kTimestampsOverflowed) != 0;
    return rc;
}

int32_t CDriverLink::AllocDmaBuffer(uint32_t bytes, uint8_t*& view)
{
    wdm::TQ8_DMA_BUFFER_REQUEST request{sizeof request, bytes, 0};
    const int32_t rc = Control(wdm::IOCTL_TQ8_ALLOC_DMA_BUFFER, request);
    view = rc == TQ8_OK ? reinterpret_cast<uint8_t*>(request.userAddress) : nullptr;
    return rc;
}

int32_t CDriverLink::FreeDmaBuffer(uint8_t* view)
{
    wdm::TQ8_DMA_BUFFER_REQUEST request{sizeof request, 0, reinterpret_cast<uint64_t>(view)};
    return Control(wdm::IOCTL_TQ8_FREE_DMA_BUFFER, &request, sizeof request, nullptr, 0);
}

int32_t CDriverLink::Acquire()
{
    const int32_t rc = StartAcquisition();
    return rc == TQ8_OK ? WaitAcquisition() : rc;
}

uint32_t CDriverLink::FinishedAcquisitions()
{
    wdm::TQ8_DRIVER_STATS stats{};
    return Stats(false, stats) == TQ8_OK ? stats.samplesCompleteInterrupts : 0;
}

int32_t CDriverLink::StartAcquisition(uint32_t mode)
{
    m_finishedBefore = FinishedAcquisitions();
    return SetMode(mode);
}

int32_t CDriverLink::WaitAcquisition()
{
    wdm::TQ8_WAIT_REQUEST request{sizeof request, kWaitForAcquisition, 0, 0};
    const int32_t rc = Control(wdm::IOCTL_TQ8_WAIT_COMPLETE, &request, sizeof request, nullptr, 0);
    if (rc == TQ8_ERR_CANCELLED)
        return CancelledOrRemoved();
    if (rc == TQ8_OK && FinishedAcquisitions() == m_finishedBefore)
        return IsRemoved() ? TQ8_ERR_DEVICE_REMOVED : TQ8_ERR_CANCELLED;
    return rc;
}

int32_t CDriverLink::SoftwareTrigger()
{
    const int32_t rc = WriteRegister(0, kTriggerRegister, kSoftwareTrigger, kSoftwareTrigger);
    return rc == TQ8_OK ? WriteRegister(0, kTriggerRegister, kSoftwareTrigger, 0) : rc;
}

} // namespace tq8
