#pragma once
// The card behind memory window 1: posted u32 control registers, the live
// status register 13, the clock-manager and memory clock-manager resets
// with their lock after a delay, and the serial ports of the on-board
// chips (17/18 converter chips, 32/48 clock generators, 10 the secondary
// device). The newest writes are kept in order (CWriteTrace). Not
// thread-safe: the card calls it under its own lock.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "CClockGenChip.h"
#include "CConverterChip.h"
#include "CSecondarySerialDevice.h"
#include "CWriteTrace.h"

namespace tq8 {

class CSimBoard;

class CControlRegisters {
public:
    // Virtual or real time in 100-ns units.
    using TimeSource = std::function<int64_t()>;
    static constexpr uint32_t kStatusRegister = 13;
    // Time from the end of a reset pulse to the lock: 100 microseconds.
    static constexpr int64_t kLockDelay = 1000;

    struct Access {
        uint32_t index;
        uint32_t value;
        bool operator==(const Access&) const = default;
    };

    // variant: the board variant word; it places the lock bit.
    CControlRegisters(CSimBoard& board, uint32_t variant, TimeSource now);

    uint32_t Read(uint32_t index, uint32_t stored);
    void Write(uint32_t index, uint32_t value);

    // Simulator switches: the clock managers never lock again after a reset;
    // the acquisition busy bits (1 and 2) the status register shows.
    void SetLockFails(bool never) { m_lockFails = never; }
    void SetBusyBits(uint32_t bits) { m_busyBits = bits & 0x6; }
    uint32_t LockBit() const { return m_variant == 1 ? 0x20u : 0x40u; }

    const std::vector<Access>& Trace() const { return m_trace.Entries(); }
    void ClearTrace() { m_trace.Clear(); }
    const CClockGenChip& ClockGen(int chip) const { return m_clockGens[chip == 0 ? 0 : 1]; }
    const CConverterChip& Converter(int chip) const { return m_converters[chip == 0 ? 0 : 1]; }
    const CSecondarySerialDevice& Secondary() const { return m_secondary; }

private:
    void WriteConverter(int chip, uint32_t value);
    // A reset bit going from set to clear starts the wait for the lock.
    void Pulse(uint32_t before, uint32_t after, uint32_t bit, int64_t& lockedAt);
    bool Locked(int64_t lockedAt) const { return lockedAt <= m_now(); }
    uint32_t Status();

    CSimBoard& m_board;
    uint32_t m_variant;
    TimeSource m_now;
    bool m_lockFails = false;
    uint32_t m_busyBits = 0;
    uint32_t m_clockControl = 0;
    int64_t m_clockLockedAt = 0;
    int64_t m_memoryLockedAt = 0;
    std::array<CClockGenChip, 2> m_clockGens;
    std::array<CConverterChip, 2> m_converters;
    CSecondarySerialDevice m_secondary;
    CWriteTrace<Access> m_trace;
};

} // namespace tq8
