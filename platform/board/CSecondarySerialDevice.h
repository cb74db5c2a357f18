#pragma once
// The secondary serial device behind control register 10: 16-bit values at
// 16-bit addresses, written as (value << 16) | address. Keeps the newest
// words it received.
#include <cstdint>
#include <map>
#include <vector>

#include "CWriteTrace.h"

namespace tq8 {

class CSecondarySerialDevice {
public:
    void Write(uint32_t word);
    // 0 for an address never written.
    uint16_t Register(uint16_t address) const;
    const std::vector<uint32_t>& Trace() const { return m_trace.Entries(); }

private:
    std::map<uint16_t, uint16_t> m_registers;
    CWriteTrace<uint32_t> m_trace;
};

} // namespace tq8
