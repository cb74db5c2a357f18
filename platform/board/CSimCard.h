#pragma once
// The hardware face of one simulated TQ3300 card on the bus, built on its
// board model: memory windows as register files (window 0 the DMA engine's
// registers, window 1 the control registers, window 2 the serial lines of
// the configuration EEPROM and the scan port with the identification
// register at byte offset 16, window 3 plain; further windows plain too)
// and one level-held interrupt line. Window 0 answers through the DMA
// engine, window 1 through CControlRegisters, window 2 through the EEPROM
// and scan-port models.
//
// Behind window 1 the card also keeps the read window (register 2: start /
// 16 in units of the channel code's factor; each transfer moves the read
// position on), the time-stamp queue (register 14 takes the next entry and
// answers its high word, register 15 its low word), and the operating mode:
// a switch from mode 1 to modes 2, 3, 5, 6 or 8 runs an acquisition of the
// board model, with the settings decoded from the control registers and the
// rate of clock generator 0, on the card's acquisition thread, and raises
// the samples-complete interrupt when it ends; mode 4 streams rendered
// samples through the DMA engine; mode 9 moves host memory into sample RAM.
// Register 4 bit 23 written set is the software trigger.
// While an acquisition runs, or the engine streams in mode 4, the status
// register shows busy bits 1 and 2.
// Threads: the driver's threads through the windows, and the card's acquisition thread; the lock guards the
// chip models behind windows 1 and 2.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "BoardDescription.h"
#include "CControlRegisters.h"
#include "CDmaEngine.h"
#include "CInterruptLine.h"
#include "CMicrowireEeprom.h"
#include "CScanPort.h"
#include "CRegisterWindow.h"
#include "CSimBoard.h"

namespace tq8 {

class CSimCard {
public:
    static constexpr uint32_t kIdentificationOffset = 16;
    // Read-only, in the serial window: the versions that run (system FPGA,
    // then ZAB FPGA; 0 while unknown), and a status word with each part's
    // activation in two bits (system lowest) and kFirmwareKnown shifted by
    // the part when its version is known.
    static constexpr uint32_t kFirmwareVersionOffset = 20;
    static constexpr uint32_t kFirmwareStatusOffset = 28;
    static constexpr uint32_t kFirmwareKnown = 1u << 4;
    static constexpr size_t kControlWindow = 1;
    static constexpr size_t kSerialWindow = 2;
    using TimeSource = std::function<int64_t()>; // 100-ns units
    // What the card reaches at a bus address; nullptr outside host memory.
    using BusAccess = std::function<uint8_t*(uint64_t busAddress, size_t bytes)>;

    // Four windows of 4 KiB.
    static std::vector<uint32_t> DefaultWindowLengths();
    // What the identification register answers: 0x3300 in the high half,
    // the model revision and the low byte of the feature bits below.
    static uint32_t Identification(const BoardDescription& desc);

    explicit CSimCard(const BoardDescription& desc, const std::vector<uint32_t>& windowLengths = DefaultWindowLengths());
    ~CSimCard();
    CSimCard(const CSimCard&) = delete;
    CSimCard& operator=(const CSimCard&) = delete;

    CSimBoard& Board() { return m_board; }
    size_t WindowCount() const { return m_windows.size(); }
    CRegisterWindow& Window(size_t index) { return *m_windows.at(index); }
    CInterruptLine& Interrupt() { return m_interrupt; }

    // The clock the card's delays run on (real time until set); set before
    // the bus reaches the windows.
    void SetTimeSource(TimeSource now) { m_now = std::move(now); }
    // Set before the bus reaches the windows.
    void SetBusAccess(BusAccess access) { m_busAccess = std::move(access); }
    CDmaEngine& Dma() { return m_dma; }
    // Where the next transfer reads (or, in mode 9, writes) sample RAM.
    uint64_t ReadPosition() const { return m_readPosition.load(); }
    bool Acquiring() const { return m_acquiring.load(); }
    // Waits until the acquisition thread has ended.
    void WaitForAcquisition();
    // The chip models; look at them while no request runs, or through
    // ControlTrace, which copies under the card's lock.
    CControlRegisters& Control() { return m_control; }
    CMicrowireEeprom& Eeprom() { return m_eeprom; }
    CScanPort& ScanPort() { return m_scanPort; }
    std::vector<CControlRegisters::Access> ControlTrace() const;
    void ClearControlTrace();

private:
    int64_t Now() const;
    void AttachModels();
    void AttachPromHooks();
    uint32_t FirmwareStatus();
    uint32_t ReadControl(uint32_t index, uint32_t stored);
    void WriteControl(uint32_t index, uint32_t value);
    void SwitchMode(uint32_t mode);
    void Acquire(uint32_t mode, uint64_t epoch);
    void MoveDma(uint64_t busAddress, uint32_t bytes);
    void JoinAcquisition();

    CSimBoard m_board;
    TimeSource m_now;
    mutable std::mutex m_lock;
    CControlRegisters m_control;
    CMicrowireEeprom m_eeprom;
    CScanPort m_scanPort;
    std::vector<std::unique_ptr<CRegisterWindow>> m_windows;
    CInterruptLine m_interrupt;
    BusAccess m_busAccess;
    std::atomic<uint32_t> m_mode{1};
    std::atomic<uint32_t> m_channelCode{0};
    std::atomic<uint64_t> m_readPosition{0};
    std::atomic<bool> m_acquiring{false};
    uint64_t m_timestampLatch = 0;
    std::thread m_acquisition;
    // Last: its thread stops before anything it reaches goes.
    CDmaEngine m_dma;
};

} // namespace tq8
