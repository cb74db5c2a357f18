// Register kinds, serial chip ports, the operating mode, the clock-manager
// and converter resets and the board initialisation.
#include <cstring>

#include "CMutexHolder.h"
#include "CSpinLockHolder.h"
#include "TQ8Driver.h"

using namespace kern;

namespace {

constexpr uint32_t kMaxDelayUs = 1000000;
constexpr uint32_t kLongestStallUs = 7000;
constexpr uint32_t kClockGenGroups = 20;
constexpr uint32_t kClockGenUpdate = 0x232;
constexpr uint32_t kClockGenUpdateFlag = 1u << 31;
constexpr uint32_t kNoChipRegister = 0xFFFFFFFF;
constexpr uint32_t kAdcSlots = 10;
constexpr uint32_t kAdcWords = 5;
constexpr uint32_t kDriverWords = 7;
constexpr uint32_t kSourceHardware = 2;
constexpr uint32_t kClockGenPort[2] = {32, 48};
constexpr uint32_t kAdcPort[2] = {17, 18};
constexpr uint32_t kModeRegister = 11;

// Clock generator: reset bit 27, memory reset bit 25, wait-for-lock bit 3.
constexpr uint32_t kClockControl = 5;
constexpr uint32_t kClockReset = 1u << 27;
constexpr uint32_t kMemoryClockReset = 1u << 25;
constexpr uint32_t kWaitForLock = 1u << 3;
constexpr uint32_t kNoResetNeeded = 1u << 23;
constexpr uint32_t kMemoryClockReady = 1u << 4;
constexpr uint32_t kCancelPendingReset = 1u << 8;

constexpr uint32_t kDriverWordPresets[kDriverWords] = {0, 0xECB25C00, 34, 0xECB25C00, 34, 0x08000800, 0x08000800};

// Chip register of each byte of the 20 image groups; -1 = none.
constexpr int16_t kGroupRegisters[kClockGenGroups][4] = {
    {0x000, 0x004, -1, -1},       {0x010, 0x011, 0x012, 0x013}, {0x014, 0x015, 0x016, 0x017},
    {0x018, 0x019, 0x01A, 0x01B}, {0x01C, 0x01D, 0x01E, 0x01F}, {0x0A0, 0x0A1, 0x0A2, -1},
    {0x0A3, 0x0A4, 0x0A5, -1},    {0x0A6, 0x0A7, 0x0A8, -1},    {0x0A9, 0x0AA, 0x0AB, -1},
    {0x0F0, 0x0F1, 0x0F2, 0x0F3}, {0x0F4, 0x0F5, -1, -1},       {0x140, 0x141, 0x142, 0x143},
    {0x190, 0x191, 0x192, -1},    {0x193, 0x194, 0x195, -1},    {0x196, 0x197, 0x198, -1},
    {0x199, -1, -1, -1},          {0x19A, 0x19B, 0x19C, 0x19D}, {0x19E, -1, -1, -1},
    {0x19F, 0x1A0, 0x1A1, 0x1A2}, {0x1E0, 0x1E1, 0x230, -1},
};

// Converter chip register behind each shadow slot; -1 = unused slot.
constexpr int16_t kSlotRegisters[kAdcSlots] = {0, 1, 2, 3, 9, -1, 10, 11, 14, 15};

bool IsAdcRegister(uint32_t chipRegister)
{
    for (int16_t r : kSlotRegisters)
        if (r >= 0 && static_cast<uint32_t>(r) == chipRegister)
            return true;
    return false;
}

uint32_t U32At(const TQ8_IOCTL& r, uint32_t offset)
{
    uint32_t v = 0;
    std::memcpy(&v, r.buffer + offset, sizeof v);
    return v;
}

void SleepMicroseconds(uint32_t us) { KeDelayExecutionThread(int64_t{us} * 10); }

uint32_t ControlWords(const TQ8_DEVICE_EXTENSION* ext)
{
    const TQ8_MEMORY_WINDOW& w = ext->windows[1];
    return w.address == nullptr ? 0 : w.length / sizeof(uint32_t);
}

bool IsVariant1(const TQ8_DEVICE_EXTENSION* ext) { return ext->configCache.variant == 1; }

uint32_t LockBit(const TQ8_DEVICE_EXTENSION* ext) { return IsVariant1(ext) ? 0x20 : 0x40; }

// Lock bit (or another status bit): 1024 quick polls, then 256 20 us apart.
bool PollStatus(TQ8_DEVICE_EXTENSION* ext, uint32_t bit)
{
    for (int i = 0; i < 1024; ++i)
        if ((ReadControlRegister(ext, TQ8_STATUS_REGISTER) & bit) != 0)
            return true;
    for (int i = 0; i < 256; ++i) {
        KeStallExecutionProcessor(20);
        if ((ReadControlRegister(ext, TQ8_STATUS_REGISTER) & bit) != 0)
            return true;
    }
    return false;
}

// Shadowed registers 0-15 take the masked value; the others the value as given.
void WriteDeviceRegLocked(TQ8_DEVICE_EXTENSION* ext, uint32_t index, uint32_t value, uint32_t mask)
{
    if (index < ext->controlShadow.size()) {
        uint32_t& shadow = ext->controlShadow[index];
        shadow = (shadow & ~mask) | (value & mask);
        value = shadow;
    }
    WriteControlRegister(ext, index, value);
}

void WriteDeviceReg(TQ8_DEVICE_EXTENSION* ext, uint32_t index, uint32_t value, uint32_t mask = 0xFFFFFFFF)
{
    CSpinLockHolder lock(ext);
    WriteDeviceRegLocked(ext, index, value, mask);
}

uint32_t ReadDeviceRegLocked(TQ8_DEVICE_EXTENSION* ext, uint32_t index, bool hardware)
{
    if (!hardware && (index < 13 || index > 15))
        return ext->controlShadow[index];
    uint32_t value = ReadControlRegister(ext, index);
    if (index == 9 || index == 10) {
        KeStallExecutionProcessor(10);
        value = ReadControlRegister(ext, index);
    }
    ext->controlShadow[index] = value;
    return value;
}

void SerialWord(TQ8_DEVICE_EXTENSION* ext, uint32_t index, uint32_t word, uint32_t stallUs)
{
    WriteControlRegister(ext, index, word);
    FlushControlRegisters(ext);
    KeStallExecutionProcessor(stallUs);
}

// The image byte takes the masked value before it is sent.
void WriteClockGenByteLocked(TQ8_DEVICE_EXTENSION* ext, int cg, uint32_t port, uint32_t group, uint32_t byte,
                             uint32_t chipRegister, uint32_t mask, uint32_t value, bool update)
{
    uint8_t& image = ext->clockGenImage[static_cast<size_t>(cg)][group * 4 + byte];
    image = static_cast<uint8_t>((image & ~mask) | (value & mask));
    SerialWord(ext, port, ((chipRegister << 8) & 0x3FFFF) | image, 10);
    if (update)
        SerialWord(ext, port, kClockGenUpdate << 8 | 1, 10);
}

uint8_t ReadClockGenChipLocked(TQ8_DEVICE_EXTENSION* ext, uint32_t port, uint32_t chipRegister)
{
    SerialWord(ext, port, ((chipRegister & 0x3FF) | 0x8000) << 8, 10);
    return static_cast<uint8_t>(ReadControlRegister(ext, port) & 0xFF);
}

void WriteChipSerialRegLocked(TQ8_DEVICE_EXTENSION* ext, uint32_t port, uint32_t chipRegister, uint16_t value)
{
    SerialWord(ext, port, (((chipRegister & 0xF) | 0x10) << 16) | value, 10);
}

void WriteAdcSlotLocked(TQ8_DEVICE_EXTENSION* ext, int chip, uint32_t port, uint32_t slot, uint32_t chipRegister,
                        uint32_t mask, uint32_t value)
{
    uint16_t& shadow = ext->adcShadow[static_cast<size_t>(chip)][slot];
    shadow = static_cast<uint16_t>((shadow & ~mask) | (value & mask));
    WriteChipSerialRegLocked(ext, port, chipRegister, shadow);
}

void WriteSerialPortReg(TQ8_DEVICE_EXTENSION* ext, uint32_t address, uint32_t data)
{
    SerialWord(ext, 10, (data << 16) | (address & 0xFFFF), 50);
}

NTSTATUS WriteKind(TQ8_DEVICE_EXTENSION* ext, const TQ8_REG_WRITE_REQUEST& q)
{
    switch (q.kind) {
    case 0:
    case 5:
        if (q.index >= ControlWords(ext))
            return TQ8_STATUS_BAD_REGISTER_INDEX;
        WriteDeviceReg(ext, q.index, q.value, q.mask);
        if (q.kind == 5) {
            FlushControlRegisters(ext);
            KeStallExecutionProcessor(10);
        }
        return STATUS_SUCCESS;
    case 1:
    case 2: {
        const uint32_t chipRegister = q.chipRegister & ~kClockGenUpdateFlag;
        if (chipRegister >= kClockGenUpdate || q.group >= kClockGenGroups || q.byte >= 4)
            return STATUS_INVALID_PARAMETER;
        if (q.index >= ControlWords(ext))
            return TQ8_STATUS_BAD_REGISTER_INDEX;
        CSpinLockHolder lock(ext);
        WriteClockGenByteLocked(ext, static_cast<int>(q.kind - 1), q.index, q.group, q.byte, chipRegister, q.mask & 0xFF,
                                q.value & 0xFF, (q.chipRegister & kClockGenUpdateFlag) != 0);
        return STATUS_SUCCESS;
    }
    case 3:
    case 4: {
        // In 64 bits: a huge group must not wrap into the slots.
        const uint64_t slot = uint64_t{q.byte} + 2 * uint64_t{q.group};
        if (!IsAdcRegister(q.chipRegister) || slot >= kAdcSlots)
            return STATUS_INVALID_PARAMETER;
        if (q.index >= ControlWords(ext))
            return TQ8_STATUS_BAD_REGISTER_INDEX;
        CSpinLockHolder lock(ext);
        WriteAdcSlotLocked(ext, static_cast<int>(q.kind - 3), q.index, static_cast<uint32_t>(slot), q.chipRegister,
                           q.mask & 0xFFFF, q.value & 0xFFFF);
        return STATUS_SUCCESS;
    }
    default: { // 6
        if (q.index >= kDriverWords)
            return TQ8_STATUS_BAD_REGISTER_INDEX;
        CSpinLockHolder lock(ext);
        uint32_t& word = ext->driverWords[q.index];
        word = (word & ~q.mask) | (q.value & q.mask);
        return STATUS_SUCCESS;
    }
    }
}

NTSTATUS ReadClockGen(TQ8_DEVICE_EXTENSION* ext, const TQ8_REG_READ_REQUEST& q, uint32_t* value)
{
    if (q.group >= kClockGenGroups || q.byte >= 4)
        return TQ8_STATUS_BAD_GROUP_OR_START;
    if (q.chipRegister != kNoChipRegister && q.chipRegister >= kClockGenUpdate)
        return STATUS_INVALID_PARAMETER;
    const bool hardware = q.source == kSourceHardware;
    if (hardware && q.index >= ControlWords(ext))
        return TQ8_STATUS_BAD_REGISTER_INDEX;
    uint8_t* image = &ext->clockGenImage[q.kind - 1][q.group * 4];
    CSpinLockHolder lock(ext);
    if (q.chipRegister != kNoChipRegister) {
        if (hardware)
            image[q.byte] = ReadClockGenChipLocked(ext, q.index, q.chipRegister);
        *value = image[q.byte];
        return STATUS_SUCCESS;
    }
    // The whole group, each mapped byte fresh from the chip when asked.
    *value = 0;
    for (uint32_t b = 0; b < 4; ++b) {
        const int16_t chipRegister = kGroupRegisters[q.group][b];
        if (hardware && chipRegister >= 0)
            image[b] = ReadClockGenChipLocked(ext, q.index, static_cast<uint32_t>(chipRegister));
        *value |= uint32_t{image[b]} << (8 * b);
    }
    return STATUS_SUCCESS;
}

NTSTATUS ReadKind(TQ8_DEVICE_EXTENSION* ext, const TQ8_REG_READ_REQUEST& q, uint32_t* value)
{
    switch (q.kind) {
    case 0: {
        if (q.index >= ext->controlShadow.size())
            return TQ8_STATUS_BAD_REGISTER_INDEX;
        CSpinLockHolder lock(ext);
        *value = ReadDeviceRegLocked(ext, q.index, q.source == kSourceHardware);
        return STATUS_SUCCESS;
    }
    case 1:
    case 2:
        return ReadClockGen(ext, q, value);
    case 3:
    case 4: {
        if (q.group >= kAdcWords)
            return TQ8_STATUS_BAD_GROUP_OR_START;
        CSpinLockHolder lock(ext);
        const auto& slots = ext->adcShadow[q.kind - 3];
        *value = slots[2 * q.group] | uint32_t{slots[2 * q.group + 1]} << 16;
        return STATUS_SUCCESS;
    }
    case 5:
        return STATUS_INVALID_PARAMETER;
    default: { // 6
        if (q.index >= kDriverWords)
            return TQ8_STATUS_BAD_REGISTER_INDEX;
        CSpinLockHolder lock(ext);
        *value = ext->driverWords[q.index];
        return STATUS_SUCCESS;
    }
    }
}

NTSTATUS CheckKindAndDelays(uint32_t kind, uint32_t before, uint32_t after)
{
    if (kind > 6)
        return TQ8_STATUS_BAD_KIND;
    if (before > kMaxDelayUs)
        return TQ8_STATUS_BAD_DELAY_BEFORE;
    if (after > kMaxDelayUs)
        return TQ8_STATUS_BAD_DELAY_AFTER;
    return STATUS_SUCCESS;
}

bool StartsAcquisition(uint32_t mode)
{
    return (mode >= TQ8_OPMODE_RAM_ACQ && mode <= TQ8_OPMODE_ZAB_BUFFERED_ACQ) || mode == TQ8_OPMODE_RAM_READ_TO_ZAB;
}

// Modes 7 and 8 read one unit more; the copy itself stays as it is.
void BumpReadLength(TQ8_DEVICE_EXTENSION* ext)
{
    CSpinLockHolder lock(ext);
    const uint32_t copy = ext->controlShadow[1];
    if ((copy & 0x80000000u) != 0)
        return;
    const uint32_t low = (copy + 1) & 0x7FFFF;
    WriteControlRegister(ext, 1, (copy & ~0x7FFFFu) | low);
    if (!IsVariant1(ext)) {
        WriteSerialPortReg(ext, 0x8002, low & 0xFFFF);
        WriteSerialPortReg(ext, 0x8003, low >> 16);
    }
}

void ResetMemoryDcm(TQ8_DEVICE_EXTENSION* ext)
{
    CMutexHolder mutex(ext);
    WriteDeviceReg(ext, kClockControl, kMemoryClockReset, kMemoryClockReset);
    WriteDeviceReg(ext, kClockControl, 0, kMemoryClockReset);
    PollStatus(ext, kMemoryClockReady);
}

void CalibrateSdramInputDelays(TQ8_DEVICE_EXTENSION* ext)
{
    const uint16_t options = ext->configCache.optionFlags;
    const bool first = (options & 0x4) != 0;
    const bool second = (options & 0x8) != 0 && !IsVariant1(ext);
    if (!first && !second)
        return;
    const uint16_t delays = EepromCommand(ext, TQ8_EEPROM_READ, TQ8_EEPROM_SDRAM_DELAY_WORD, 0);
    if (first) {
        const uint32_t n = delays & 0xFF;
        if (n > 64) {
            LogEvent(ext->self, u"Error: Invalid SDRAM1 IDELAY value");
        } else {
            WriteDeviceReg(ext, 8, 0x800);
            WriteDeviceReg(ext, 8, 0);
            for (uint32_t i = 0; i < n; ++i) {
                WriteDeviceReg(ext, 8, 0x400);
                WriteDeviceReg(ext, 8, 0x600);
            }
        }
    }
    if (second) {
        const uint32_t n = delays >> 8;
        if (n > 64) {
            LogEvent(ext->self, u"Error: Invalid SDRAM2 IDELAY value");
        } else {
            WriteSerialPortReg(ext, 0x8006, 0x800);
            WriteSerialPortReg(ext, 0x8006, 0);
            for (uint32_t i = 0; i < n; ++i) {
                WriteSerialPortReg(ext, 0x8006, 0x400);
                WriteSerialPortReg(ext, 0x8006, 0x600);
                WriteSerialPortReg(ext, 0x8006, 0x400);
            }
        }
    }
}

void InitControlRegisters(TQ8_DEVICE_EXTENSION* ext)
{
    CSpinLockHolder lock(ext);
    auto& s = ext->controlShadow;
    s = {};
    s[1] = 2;
    s[4] = 0xFF80;
    switch (ext->configCache.boardType) {
    case 1: s[5] = 0x60308; break;
    case 2: s[5] = 0x40308; break;
    case 3: s[5] = 0x20308; break;
    default: s[5] = 0x60300; break;
    }
    s[6] = IsVariant1(ext) ? 0x2000 : 0;
    s[7] = 16;
    s[kModeRegister] = TQ8_OPMODE_STANDBY;
    for (uint32_t index : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 9u})
        WriteControlRegister(ext, index, s[index]);
}

void SetImageGroup(TQ8_DEVICE_EXTENSION* ext, int cg, uint32_t group, uint32_t value)
{
    for (uint32_t b = 0; b < 4; ++b)
        ext->clockGenImage[static_cast<size_t>(cg)][group * 4 + b] = static_cast<uint8_t>(value >> (8 * b));
}

void ResetClockGen(TQ8_DEVICE_EXTENSION* ext, int cg)
{
    CSpinLockHolder lock(ext);
    SerialWord(ext, kClockGenPort[cg], 0x9C, 10);
    SerialWord(ext, kClockGenPort[cg], 0x98, 10);
    KeStallExecutionProcessor(25);
}

// Every mapped byte in group order, the last one (0x230) with the update.
void LoadClockGenImage(TQ8_DEVICE_EXTENSION* ext, int cg)
{
    CSpinLockHolder lock(ext);
    for (uint32_t group = 0; group < kClockGenGroups; ++group)
        for (uint32_t b = 0; b < 4; ++b) {
            const int16_t chipRegister = kGroupRegisters[group][b];
            if (chipRegister < 0)
                continue;
            const uint8_t value = ext->clockGenImage[static_cast<size_t>(cg)][group * 4 + b];
            WriteClockGenByteLocked(ext, cg, kClockGenPort[cg], group, b, static_cast<uint32_t>(chipRegister), 0xFF, value,
                                    chipRegister == 0x230);
        }
}

void PresetClockGen0(TQ8_DEVICE_EXTENSION* ext)
{
    const uint32_t groups[kClockGenGroups] = {0x118, 0x180064FC, 0xB40601D4, 6, 2, 1, 1, 1, 1, 0x0A080A0A,
                                              0x0A0A, 0x01010101, 0x8000, 0x8000, 0x8000, 0, 0x3000, 0, 0x3000, 0x103};
    for (uint32_t g = 0; g < kClockGenGroups; ++g)
        SetImageGroup(ext, 0, g, groups[g]);
    const uint16_t type = ext->configCache.boardType;
    if (type == 2 || type == 3) {
        SetImageGroup(ext, 0, 1, 0x180064FD);
        SetImageGroup(ext, 0, 4, 0);
        SetImageGroup(ext, 0, 9, 0x0A0A0A0A);
        SetImageGroup(ext, 0, 19, 0x1D03);
    } else if (type == 1) {
        SetImageGroup(ext, 0, 9, 0x0A080808);
    }
    if (type >= 1 && type <= 3) {
        ext->clockGenImage[0][9 * 4 + 3] &= static_cast<uint8_t>(~0x3);
        SetImageGroup(ext, 0, 10, 0x0A08);
    }
}

void PresetClockGen1(TQ8_DEVICE_EXTENSION* ext)
{
    const uint32_t groups[kClockGenGroups] = {0x118, 1, 0x60000, 6, 0, 1, 1, 1, 1, 0x0A0A0808,
                                              0x080A, 0x01010101, 0x8000, 0x8000, 0x8000, 0, 0x3000, 0, 0x3000, 0x100};
    for (uint32_t g = 0; g < kClockGenGroups; ++g)
        SetImageGroup(ext, 1, g, groups[g]);
    if (ext->configCache.word49 == 0)
        SetImageGroup(ext, 1, 9, 0x0A080808);
}

void WriteClockGenWithUpdate(TQ8_DEVICE_EXTENSION* ext, int cg, uint32_t chipRegister, uint32_t mask, uint32_t value)
{
    for (uint32_t group = 0; group < kClockGenGroups; ++group)
        for (uint32_t b = 0; b < 4; ++b)
            if (kGroupRegisters[group][b] == static_cast<int16_t>(chipRegister)) {
                CSpinLockHolder lock(ext);
                WriteClockGenByteLocked(ext, cg, kClockGenPort[cg], group, b, chipRegister, mask, value, true);
                return;
            }
}

// Sign and magnitude into byte 1 of a shadow word.
uint32_t WithAdjustment(uint32_t word, int16_t adjustment)
{
    const uint32_t magnitude = static_cast<uint32_t>(adjustment < 0 ? -adjustment : adjustment) & 0x7F;
    const uint32_t byte = (adjustment < 0 ? 0x80 : 0) | magnitude;
    return (word & ~0xFF00u) | byte << 8;
}

void ApplyConverterAdjustments(TQ8_DEVICE_EXTENSION* ext, int chip, uint32_t words[kAdcWords])
{
    const TQ8_CONFIG_CACHE& c = ext->configCache;
    const size_t first = chip == 0 ? 0 : 2;
    if ((c.optionFlags & 1) != 0) {
        words[1] = WithAdjustment(words[1], static_cast<int16_t>(c.adcAdjustments[first]));
        words[3] = WithAdjustment(words[3], static_cast<int16_t>(c.adcAdjustments[first + 1]));
    }
    if ((c.optionFlags & 2) != 0) {
        words[1] = (words[1] & 0x007FFFFFu) | (uint32_t{c.adcGainDefaults[first]} & 0x1FF) << 23;
        words[3] = (words[3] & 0x007FFFFFu) | (uint32_t{c.adcGainDefaults[first + 1]} & 0x1FF) << 23;
    }
}

void InitConverterChip(TQ8_DEVICE_EXTENSION* ext, int chip)
{
    uint32_t words[kAdcWords] = {0xB2FF7FFF, 0x807F007F, 1023, 0x807F007F, 0x007F00FF};
    if ((ext->configCache.optionFlags & 3) != 0)
        ApplyConverterAdjustments(ext, chip, words);
    CSpinLockHolder lock(ext);
    auto& slots = ext->adcShadow[static_cast<size_t>(chip)];
    for (uint32_t w = 0; w < kAdcWords; ++w) {
        slots[2 * w] = static_cast<uint16_t>(words[w]);
        slots[2 * w + 1] = static_cast<uint16_t>(words[w] >> 16);
    }
    for (uint32_t slot = 0; slot < kAdcSlots; ++slot)
        if (kSlotRegisters[slot] >= 0)
            WriteChipSerialRegLocked(ext, kAdcPort[chip], static_cast<uint32_t>(kSlotRegisters[slot]), slots[slot]);
}

void PulsePhase(TQ8_DEVICE_EXTENSION* ext, uint32_t bit)
{
    WriteControlRegister(ext, kClockControl, bit);
    WriteControlRegister(ext, kClockControl, 0);
}

} // namespace

void WriteControlRegister(TQ8_DEVICE_EXTENSION* ext, uint32_t index, uint32_t value)
{
    if (index >= ControlWords(ext))
        return;
    WRITE_REGISTER_ULONG(ext->windows[1].address + index, value);
}

uint32_t ReadControlRegister(TQ8_DEVICE_EXTENSION* ext, uint32_t index)
{
    if (index >= ControlWords(ext))
        return 0xFFFFFFFFu;
    return READ_REGISTER_ULONG(ext->windows[1].address + index);
}

void FlushControlRegisters(TQ8_DEVICE_EXTENSION* ext) { ReadControlRegister(ext, TQ8_STATUS_REGISTER); }

void DelayMicroseconds(uint32_t us)
{
    if (us == 0)
        return;
    if (us <= kLongestStallUs || KeGetCurrentIrql() >= DISPATCH_LEVEL)
        KeStallExecutionProcessor(us);
    else
        SleepMicroseconds(us);
}

void SetModeNibble(TQ8_DEVICE_EXTENSION* ext, uint32_t mode)
{
    WriteDeviceRegLocked(ext, kModeRegister, mode == TQ8_OPMODE_POWER_DOWN ? TQ8_OPMODE_STANDBY : mode, 0xF);
    FlushControlRegisters(ext);
    KeStallExecutionProcessor(5);
}

NTSTATUS ResetDcms(TQ8_DEVICE_EXTENSION* ext)
{
    uint32_t clockControl = 0;
    uint32_t converterControl = 0;
    uint32_t lockBit = 0;
    {
        CSpinLockHolder lock(ext);
        clockControl = ext->controlShadow[kClockControl];
        converterControl = ext->controlShadow[6];
        lockBit = LockBit(ext);
    }
    if ((converterControl & kNoResetNeeded) == 0) {
        WriteDeviceReg(ext, kClockControl, kClockReset, kClockReset);
        WriteDeviceReg(ext, kClockControl, 0, kClockReset);
        if (!PollStatus(ext, lockBit))
            return TQ8_STATUS_TIMED_OUT;
    }
    WriteDeviceReg(ext, 9, 1u << 10, 1u << 10);
    FlushControlRegisters(ext);
    KeStallExecutionProcessor(20);
    WriteDeviceReg(ext, 9, 0, 1u << 10);
    FlushControlRegisters(ext);
    SleepMicroseconds(10);
    if ((clockControl & kWaitForLock) != 0) {
        SleepMicroseconds(200000);
        if ((ReadControlRegister(ext, TQ8_STATUS_REGISTER) & lockBit) == 0)
            return TQ8_STATUS_TIMED_OUT;
    }
    CSpinLockHolder lock(ext);
    ext->deviceFlags &= ~TQ8_FLAG_DCM_RESET_PENDING;
    ext->stats.clockManagerResets.fetch_add(1);
    WriteControlRegister(ext, 3, ext->controlShadow[3]);
    FlushControlRegisters(ext);
    return STATUS_SUCCESS;
}

void PulseAdcReset(TQ8_DEVICE_EXTENSION* ext, int chip)
{
    {
        CSpinLockHolder lock(ext);
        WriteDeviceRegLocked(ext, 6, 0x80, 0x80);
        WriteDeviceRegLocked(ext, 6, 0, 0x80);
        FlushControlRegisters(ext);
        uint16_t& slot0 = ext->adcShadow[static_cast<size_t>(chip)][0];
        slot0 &= 0x7FFF;
        WriteChipSerialRegLocked(ext, kAdcPort[chip], 0, slot0);
        KeStallExecutionProcessor(8);
        slot0 |= 0x8000;
        WriteChipSerialRegLocked(ext, kAdcPort[chip], 0, slot0);
        KeStallExecutionProcessor(8);
    }
    SleepMicroseconds(10000);
    SleepMicroseconds(10000);
}

bool IsAcquisitionComplete(TQ8_DEVICE_EXTENSION* ext)
{
    if ((ext->controlShadow[kModeRegister] & 0xF) != TQ8_OPMODE_PCI_BUFFERED_ACQ)
        return true;
    const uint32_t code = (ext->controlShadow[6] >> 12) & 0xF;
    uint32_t busy = 0x6;
    if (code == 2 || code == 8 || code == 9)
        busy = 0x2;
    else if (code == 3 || code == 10 || code == 11)
        busy = 0x4;
    return (ReadControlRegister(ext, TQ8_STATUS_REGISTER) & busy) == 0;
}

void InitBoard(TQ8_DEVICE_EXTENSION* ext)
{
    const bool variant1 = IsVariant1(ext);
    {
        CSpinLockHolder lock(ext);
        ext->eepromLineShadow = 0;
        ext->scanLineShadow = 0;
        std::memcpy(ext->driverWords.data(), kDriverWordPresets, sizeof kDriverWordPresets);
    }
    for (uint32_t pulse : {0x8000u, 0x800u}) {
        WriteDeviceReg(ext, 8, pulse);
        WriteDeviceReg(ext, 8, 0);
        if (!variant1) {
            WriteSerialPortReg(ext, 0x8006, pulse);
            WriteSerialPortReg(ext, 0x8006, 0);
        }
    }
    ResetMemoryDcm(ext);
    CalibrateSdramInputDelays(ext);
    {
        CSpinLockHolder lock(ext);
        SetModeNibble(ext, TQ8_OPMODE_STANDBY);
        WriteControlRegister(ext, 16, 0x08000001);
        KeStallExecutionProcessor(30);
        WriteControlRegister(ext, 16, 0x03F80000);
        KeStallExecutionProcessor(30);
    }
    InitControlRegisters(ext);
    ResetClockGen(ext, 0);
    PresetClockGen0(ext);
    LoadClockGenImage(ext, 0);
    ResetClockGen(ext, 1);
    PresetClockGen1(ext);
    LoadClockGenImage(ext, 1);
    SleepMicroseconds(3500000);
    PulseAdcReset(ext, 0);
    if (!variant1)
        PulseAdcReset(ext, 1);
    for (int cg = 0; cg < 2; ++cg) {
        WriteClockGenWithUpdate(ext, cg, 0x230, 1, 1);
        WriteClockGenWithUpdate(ext, cg, 0x230, 1, 0);
    }
    InitConverterChip(ext, 0);
    InitConverterChip(ext, 1);
    PulsePhase(ext, 0x40000000);
    for (uint32_t i = 0; i < ext->configCache.phaseSteps; ++i)
        PulsePhase(ext, 0x80000000);
    {
        CSpinLockHolder lock(ext);
        WriteDeviceRegLocked(ext, 7, 0, 0xE000);
        const uint32_t field = (ext->controlShadow[7] >> 16) & 0x1F;
        WriteDeviceRegLocked(ext, 7, ((field & 0x19) | 6) << 16, 0x1F0000);
    }
    for (uint32_t chipRegister : {0x0F2u, 0x0F3u, 0x0F4u})
        WriteClockGenWithUpdate(ext, 1, chipRegister, 0xFF, 8);
    {
        CSpinLockHolder lock(ext);
        const uint32_t field = ext->controlShadow[7] & 0xF;
        WriteDeviceRegLocked(ext, 7, (field & ~0xAu) | 5, 0xF);
    }
    if (ext->configCache.word49 == 0) {
        WriteDeviceReg(ext, kClockControl, 1u << 28, 1u << 28);
        WriteDeviceReg(ext, kClockControl, 0, 1u << 28);
    }
    ResetDcms(ext);
}

NTSTATUS IoctlResetAdc(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    const uint32_t chip = U32At(r, 0);
    if (chip >= 2)
        return STATUS_INVALID_PARAMETER;
    CMutexHolder mutex(ext);
    PulseAdcReset(ext, static_cast<int>(chip));
    return STATUS_SUCCESS;
}

NTSTATUS IoctlWriteReg(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    TQ8_REG_WRITE_REQUEST q;
    std::memcpy(&q, r.buffer, sizeof q);
    NTSTATUS status = CheckKindAndDelays(q.kind, q.delayBeforeUs, q.delayAfterUs);
    if (!NT_SUCCESS(status))
        return status;
    DelayMicroseconds(q.delayBeforeUs);
    {
        CMutexHolder mutex(ext);
        status = WriteKind(ext, q);
    }
    if (NT_SUCCESS(status)) {
        FlushControlRegisters(ext);
        DelayMicroseconds(q.delayAfterUs);
    }
    return status;
}

NTSTATUS IoctlReadReg(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    TQ8_REG_READ_REQUEST q;
    std::memcpy(&q, r.buffer, sizeof q);
    NTSTATUS status = CheckKindAndDelays(q.kind, q.delayBeforeUs, q.delayAfterUs);
    if (!NT_SUCCESS(status))
        return status;
    DelayMicroseconds(q.delayBeforeUs);
    uint32_t value = 0;
    {
        CMutexHolder mutex(ext);
        status = ReadKind(ext, q, &value);
    }
    if (!NT_SUCCESS(status))
        return status;
    DelayMicroseconds(q.delayAfterUs);
    std::memcpy(r.buffer, &value, sizeof value);
    r.information = sizeof value;
    return STATUS_SUCCESS;
}

NTSTATUS IoctlResetDcms(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL&)
{
    CMutexHolder mutex(ext);
    return ResetDcms(ext);
}

NTSTATUS IoctlSetOperatingMode(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    const uint32_t mode = U32At(r, 0);
    if (mode > TQ8_OPMODE_PCI_WRITE_TO_RAM)
        return TQ8_STATUS_BAD_WAIT_KIND_OR_MODE;
    CMutexHolder mutex(ext);
    Irp* kept = nullptr;
    uint32_t current = 0;
    bool resetPending = false;
    {
        CSpinLockHolder lock(ext);
        current = ext->controlShadow[kModeRegister] & 0xF;
        if ((ext->driverWords[0] & kCancelPendingReset) != 0)
            ext->deviceFlags &= ~TQ8_FLAG_DCM_RESET_PENDING;
        else
            resetPending = (ext->deviceFlags & TQ8_FLAG_DCM_RESET_PENDING) != 0;
        // An operation that keeps mode 1 (a sample-RAM read) is not taken
        // over by an acquisition: its request and buffers stay its own.
        if (current == TQ8_OPMODE_STANDBY && StartsAcquisition(mode) && ext->operationState != TQ8_STATE_IDLE)
            return TQ8_STATUS_BUSY;
        if (ext->operationState != TQ8_STATE_IDLE && mode == TQ8_OPMODE_STANDBY)
            AbortActiveOperation(ext, false, &kept);
    }
    NTSTATUS status = STATUS_SUCCESS;
    if (current == TQ8_OPMODE_STANDBY) {
        if (mode == TQ8_OPMODE_RAM_READ_TO_PCI || mode == TQ8_OPMODE_RAM_READ_TO_ZAB)
            BumpReadLength(ext);
        if (StartsAcquisition(mode)) {
            ext->stats.acquisitionsStarted.fetch_add(1);
            CSpinLockHolder lock(ext);
            StopDmaEngine(ext);
            if (mode != TQ8_OPMODE_PCI_BUFFERED_ACQ) {
                ext->operationState = TQ8_STATE_ACQUISITION;
                ext->operationFile = r.file;
            }
        }
    }
    if (mode >= TQ8_OPMODE_RAM_ACQ && mode <= TQ8_OPMODE_ZAB_BUFFERED_ACQ) {
        if (resetPending)
            ResetDcms(ext); // the lock check below decides
        {
            CSpinLockHolder lock(ext);
            if ((ext->controlShadow[kClockControl] & kWaitForLock) != 0)
                WriteDeviceRegLocked(ext, kClockControl, 0, kWaitForLock);
        }
        if ((ReadControlRegister(ext, TQ8_STATUS_REGISTER) & LockBit(ext)) == 0)
            status = TQ8_STATUS_NO_CLOCK_LOCK;
    }
    if (NT_SUCCESS(status)) {
        CSpinLockHolder lock(ext);
        SetModeNibble(ext, mode);
    }
    if (kept != nullptr)
        CompleteHeldRequest(ext, kept, STATUS_CANCELLED);
    return status;
}
