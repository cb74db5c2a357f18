#pragma once
// The hardware face of one simulated TQ3300 card on the bus, built on its
// board model: memory windows as register files (window 0 the DMA engine's
// registers, window 1 the control registers, window 2 the serial lines of
// the configuration EEPROM and the scan port with the identification
// register at byte offset 16, window 3 plain; further windows plain too)
// and one level-held interrupt line.
#include <cstdint>
#include <memory>
#include <vector>

#include "BoardDescription.h"
#include "CInterruptLine.h"
#include "CRegisterWindow.h"
#include "CSimBoard.h"

namespace tq8 {

class CSimCard {
public:
    static constexpr uint32_t kIdentificationOffset = 16;
    static constexpr size_t kSerialWindow = 2;

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

private:
    CSimBoard m_board;
    std::vector<std::unique_ptr<CRegisterWindow>> m_windows;
    CInterruptLine m_interrupt;
};

} // namespace tq8
