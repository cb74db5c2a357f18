#pragma once
// The hardware face of one simulated TQ3300 card on the bus, built on its
// board model: memory windows as register files (window 0 the DMA engine's
// registers, window 1 the control registers, window 2 the serial lines of
// the configuration EEPROM and the scan port with the identification
// register at byte offset 16, window 3 plain; further windows plain too)
// and one level-held interrupt line. Window 1 answers through
// CControlRegisters, window 2 through the EEPROM and scan-port models.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "BoardDescription.h"
#include "CControlRegisters.h"
#include "CInterruptLine.h"
#include "CMicrowireEeprom.h"
#include "CScanPort.h"
#include "CRegisterWindow.h"
#include "CSimBoard.h"

namespace tq8 {

class CSimCard {
public:
    static constexpr uint32_t kIdentificationOffset = 16;
    static constexpr size_t kControlWindow = 1;
    static constexpr size_t kSerialWindow = 2;
    using TimeSource = std::function<int64_t()>; // 100-ns units

    // Four windows of 4 KiB.
    static std::vector<uint32_t> DefaultWindowLengths();
    // What the identification register answers: 0x3300 in the high half,
    // the model revision and the low byte of the feature bits below.
    static uint32_t Identification(const BoardDescription& desc);

    explicit CSimCard(const BoardDescription& desc, const std::vector<uint32_t>& windowLengths = DefaultWindowLengths());

    CSimBoard& Board() { return m_board; }
    size_t WindowCount() const { return m_windows.size(); }
    CRegisterWindow& Window(size_t index) { return *m_windows.at(index); }
    CInterruptLine& Interrupt() { return m_interrupt; }

    // The clock the card's delays run on (real time until set); set before
    // the bus reaches the windows.
    void SetTimeSource(TimeSource now) { m_now = std::move(now); }
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

    CSimBoard m_board;
    TimeSource m_now;
    mutable std::mutex m_lock;
    CControlRegisters m_control;
    CMicrowireEeprom m_eeprom;
    CScanPort m_scanPort;
    std::vector<std::unique_ptr<CRegisterWindow>> m_windows;
    CInterruptLine m_interrupt;
};

} // namespace tq8
