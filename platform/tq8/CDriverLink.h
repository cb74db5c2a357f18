#pragma once
// One library handle's way to a local board: its own file object on the
// board driver, opened by the board's interface link, and every request on
// it a device-control call. Driver statuses come back as library codes; once
// the board has gone (removed or stopped) every later call answers
// TQ8_ERR_DEVICE_REMOVED without reaching the driver.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "CUserProcess.h"
#include "DriverInterface.h"
#include "TQ8_64.h"

namespace tq8 {

class CDriverLink {
public:
    // Link names of the enabled board interfaces, in ordinal order.
    static std::vector<kern::KernelString> Boards();

    explicit CDriverLink(kern::CUserProcess& process);
    ~CDriverLink();
    CDriverLink(const CDriverLink&) = delete;
    CDriverLink& operator=(const CDriverLink&) = delete;

    // Opens the link and reads the board's serial and ordinal; a board whose
    // configuration block could not be read (serial 0) is refused with
    // TQ8_ERR_EEPROM_INVALID, so it never clashes with another.
    int32_t Open(const kern::KernelString& link);
    void Close();
    bool IsOpen() const { return m_handle != kern::CUserProcess::kInvalidHandle; }
    bool IsRemoved() const { return m_removed; }
    uint32_t Serial() const { return m_info.serialNumber; }
    uint32_t Ordinal() const { return m_info.ordinal; }
    uint64_t DriverVersion() const { return m_info.driverVersion; }
    // The text of the last failure.
    std::wstring LastText() const;

    int32_t Control(uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                    uint32_t* returned = nullptr);
    template <class Record>
    int32_t Control(uint32_t code, Record& record)
    {
        return Control(code, &record, sizeof record, &record, sizeof record);
    }
    // Cancels this handle's pending requests.
    void Cancel();

    int32_t ConfigCache(wdm::TQ8_CONFIG_CACHE& cache);
    int32_t ReadEeprom(uint32_t address, uint16_t& value);
    int32_t WriteEeprom(uint32_t address, uint16_t value);
    int32_t ReadRegister(wdm::TQ8_REG_READ_REQUEST request, uint32_t& value);
    int32_t WriteRegister(uint32_t kind, uint32_t index, uint32_t mask, uint32_t value);
    int32_t RawRead(int32_t window, int32_t index, uint32_t& value);
    int32_t RawWrite(int32_t window, int32_t index, uint32_t value);
    int32_t SetMode(uint32_t mode);
    int32_t State(uint32_t& state);
    int32_t Stats(bool reset, wdm::TQ8_DRIVER_STATS& stats);
    // Reads bytes of sample memory from first into dst with the board in
    // the read mode. With noWait the read runs on after the call and
    // WaitRead ends it.
    int32_t ReadSampleRam(uint32_t first, uint32_t bytes, uint8_t* dst, bool noWait);
    // Waits for a running read. The driver lets a read run on past a
    // time-out, into memory the caller may no longer own, so a time-out
    // first returns the board to mode 1, which ends the read.
    int32_t WaitRead(uint32_t timeoutMs);

    // Up to max time-stamps into dst; *count says how many came. An
    // overflowed FIFO gives nothing unless evenAfterOverflow.
    int32_t ReadTimestamps(uint64_t* dst, uint32_t max, uint32_t& count, bool evenAfterOverflow,
                           bool* overflowed = nullptr);
    // A DMA buffer mapped into the process: its address there, or nullptr.
    int32_t AllocDmaBuffer(uint32_t bytes, uint8_t*& view);
    int32_t FreeDmaBuffer(uint8_t* view);
    // A blocking acquisition into board memory: the acquisition mode, then
    // a wait for its end. Standby from any handle ends it: TQ8_ERR_CANCELLED.
    int32_t Acquire();
    // The two halves of Acquire. A standby that lands between them finds no
    // waiter to cancel and the driver's wait then succeeds at once: the
    // board's count of finished acquisitions tells the two apart.
    int32_t StartAcquisition(uint32_t mode = TQ8_MODE_RAM_ACQ);
    int32_t WaitAcquisition();
    // Register 4 bit 23, set and cleared again: the card triggers on the edge.
    int32_t SoftwareTrigger();

private:
    int32_t CancelledOrRemoved();
    uint32_t FinishedAcquisitions();

    kern::CUserProcess& m_process;
    kern::CUserProcess::Handle m_handle = kern::CUserProcess::kInvalidHandle;
    wdm::TQ8_DRIVER_INFO m_info{};
    std::atomic<bool> m_removed{false};
    void SetLastText(std::wstring text);

    // Calls of one handle may come from several threads (a read running on
    // while another thread ends it).
    mutable std::mutex m_textMutex;
    std::wstring m_lastText;
    uint32_t m_finishedBefore = 0;
};

} // namespace tq8
