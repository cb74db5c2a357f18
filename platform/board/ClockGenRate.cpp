#include "ClockGenRate.h"

namespace tq8 {

namespace {

uint32_t Cycles(uint8_t byte) { return (byte & 0xFu) + 1 + (byte >> 4) + 1; }

// P, and whether the prescaler is dual-modulus (the A counter counts).
uint32_t Prescaler(uint32_t mode, bool& dual)
{
    dual = mode >= 2 && mode <= 6;
    switch (mode) {
    case 0: return 1;
    case 1: return 2;
    case 7: return 3;
    default: return 1u << (mode - 1);
    }
}

uint32_t OutputDivision(const ClockGenRegisterReader& reg, int divider)
{
    if (divider < 3) {
        const uint32_t base = 0x190 + 3 * static_cast<uint32_t>(divider);
        return (reg(base + 1) & 0x80) != 0 ? 1 : Cycles(reg(base));
    }
    const uint32_t base = divider == 3 ? 0x199 : 0x19E;
    const uint8_t bypass = reg(base + 3);
    const uint32_t first = (bypass & 0x10) != 0 ? 1 : Cycles(reg(base));
    const uint32_t second = (bypass & 0x20) != 0 ? 1 : Cycles(reg(base + 2));
    return first * second;
}

} // namespace

double ClockGenVcoMHz(const ClockGenRegisterReader& reg)
{
    uint32_t r = reg(0x011) | (reg(0x012) & 0x3Fu) << 8;
    if (r == 0)
        r = 1;
    const uint32_t a = reg(0x013) & 0x3Fu;
    const uint8_t control = reg(0x016);
    const uint32_t b = (control & 0x08) != 0 ? 1 : reg(0x014) | (reg(0x015) & 0x1Fu) << 8;
    bool dual = false;
    const uint32_t p = Prescaler(control & 0x7u, dual);
    const uint32_t n = p * b + (dual ? a : 0);
    return kClockGenReferenceMHz / r * n;
}

double ClockGenOutputMHz(const ClockGenRegisterReader& reg, int divider)
{
    if (divider < 0 || divider >= kClockGenOutputs)
        return 0;
    double rate = ClockGenVcoMHz(reg);
    if ((reg(0x1E1) & 0x01) == 0)
        rate /= (reg(0x1E0) & 0x7u) + 2;
    return rate / OutputDivision(reg, divider);
}

} // namespace tq8
