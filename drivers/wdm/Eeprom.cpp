// Configuration EEPROM (Microwire on window 2, byte offset 0), the
// configuration block, and the scan port (window 2, byte offset 4).
#include <cstring>

#include "Pool.h"
#include "TQ8Driver.h"

using namespace kern;

namespace {

constexpr uint32_t kEepromClock = 1u << 16;
constexpr uint32_t kEepromDataIn = 1u << 17;
constexpr uint32_t kEepromDataOut = 1u << 18;
constexpr uint32_t kEepromSelect = 1u << 20;
constexpr uint32_t kScanTdi = 1u << 1;
constexpr uint32_t kScanTms = 1u << 2;
constexpr uint32_t kScanTck = 1u << 3;
constexpr uint32_t kScanTdo = 1u << 4;
constexpr uint32_t kScanOnlyClock = 1u << 2;
constexpr uint32_t kScanClockAfterLines = 1u << 0;
constexpr uint32_t kShiftTmsOnLast = 1u << 2;
constexpr uint32_t kEepromRegister = 0;
constexpr uint32_t kScanRegister = 1;
constexpr uint32_t kIdentificationRegister = 4;
constexpr int64_t kWriteGiveUp100ns = 1000 * 10000; // 1000 ms

constexpr uint32_t kCheckWord = 0x7A;
constexpr uint32_t kSerialLow = 0x72;
constexpr uint32_t kSerialHigh = 0x73;
constexpr uint32_t kFailedSerial = 0xFFFFFFFF;

uint32_t U32At(const TQ8_IOCTL& r, uint32_t offset)
{
    uint32_t v = 0;
    std::memcpy(&v, r.buffer + offset, sizeof v);
    return v;
}

bool HasSerialWindow(const TQ8_DEVICE_EXTENSION* ext)
{
    const TQ8_MEMORY_WINDOW& w = ext->windows[2];
    return w.address != nullptr && w.length >= (kIdentificationRegister + 1) * sizeof(uint32_t);
}

void WriteSerialLines(TQ8_DEVICE_EXTENSION* ext, uint32_t index, uint32_t value)
{
    if (HasSerialWindow(ext))
        WRITE_REGISTER_ULONG(ext->windows[2].address + index, value);
    KeMemoryBarrier();
}

uint32_t ReadSerialLines(TQ8_DEVICE_EXTENSION* ext, uint32_t index)
{
    return HasSerialWindow(ext) ? READ_REGISTER_ULONG(ext->windows[2].address + index) : 0xFFFFFFFFu;
}

// Every edge: the copy changed and written whole, then a barrier.
void EepromLine(TQ8_DEVICE_EXTENSION* ext, uint32_t line, bool high)
{
    uint32_t& copy = ext->eepromLineShadow;
    copy = high ? copy | line : copy & ~line;
    WriteSerialLines(ext, kEepromRegister, copy);
}

void EepromSendBit(TQ8_DEVICE_EXTENSION* ext, bool bit)
{
    EepromLine(ext, kEepromClock, false);
    EepromLine(ext, kEepromDataIn, bit);
    EepromLine(ext, kEepromClock, true);
}

bool EepromDataOut(TQ8_DEVICE_EXTENSION* ext)
{
    FlushControlRegisters(ext);
    ext->eepromLineShadow = ReadSerialLines(ext, kEepromRegister);
    return (ext->eepromLineShadow & kEepromDataOut) != 0;
}

int64_t Elapsed100ns(int64_t startTicks)
{
    int64_t now = 0;
    KeQueryTickCount(&now);
    return (now - startTicks) * KeQueryTimeIncrement();
}

uint16_t ReadWord(TQ8_DEVICE_EXTENSION* ext, uint32_t address)
{
    return EepromCommand(ext, TQ8_EEPROM_READ, address, 0);
}

// Scan port: the copy changed and written whole.
void ScanLines(TQ8_DEVICE_EXTENSION* ext, uint32_t lines, bool high)
{
    uint32_t& copy = ext->scanLineShadow;
    copy = high ? copy | lines : copy & ~lines;
    WriteSerialLines(ext, kScanRegister, copy);
}

void ScanClock(TQ8_DEVICE_EXTENSION* ext)
{
    ScanLines(ext, kScanTck, false);
    ScanLines(ext, kScanTck, true);
}

// One bit through the chain; returns TDO as read before the rising edge.
bool ScanBit(TQ8_DEVICE_EXTENSION* ext, uint32_t flags, bool bit, bool last)
{
    if (last && (flags & kShiftTmsOnLast) != 0)
        ScanLines(ext, kScanTms, true);
    if ((flags & TQ8_JTAG_SHIFT_OUT) != 0)
        ext->scanLineShadow = bit ? ext->scanLineShadow | kScanTdi : ext->scanLineShadow & ~kScanTdi;
    ScanLines(ext, kScanTck, false);
    bool captured = false;
    if ((flags & TQ8_JTAG_SHIFT_IN) != 0) {
        FlushControlRegisters(ext);
        ext->scanLineShadow = ReadSerialLines(ext, kScanRegister);
        captured = (ext->scanLineShadow & kScanTdo) != 0;
    }
    ScanLines(ext, kScanTck, true);
    return captured;
}

bool GrowScanBuffer(TQ8_DEVICE_EXTENSION* ext, uint32_t bytes)
{
    if (ext->scanBuffer != nullptr && ext->scanBufferSize >= bytes)
        return true;
    void* grown = ExAllocatePoolWithTag(PoolType::Paged, bytes, TQ8_POOL_TAG);
    if (grown == nullptr)
        return false;
    if (ext->scanBuffer != nullptr)
        ExFreePoolWithTag(ext->scanBuffer, TQ8_POOL_TAG);
    ext->scanBuffer = grown;
    ext->scanBufferSize = bytes;
    return true;
}

bool OwnsScanPort(TQ8_DEVICE_EXTENSION* ext, FileObject* file)
{
    KIRQL irql;
    KeAcquireSpinLock(&ext->spinLock, &irql);
    const bool owns = ext->scanPortOwner == file;
    KeReleaseSpinLock(&ext->spinLock, irql);
    return owns;
}

} // namespace

uint16_t EepromCommand(TQ8_DEVICE_EXTENSION* ext, uint32_t command, uint32_t address, uint32_t data)
{
    EepromLine(ext, kEepromDataIn, false);
    EepromLine(ext, kEepromSelect, false);
    EepromLine(ext, kEepromClock, false);
    EepromLine(ext, kEepromClock, true);
    EepromLine(ext, kEepromClock, false);
    EepromLine(ext, kEepromSelect, true);
    EepromLine(ext, kEepromClock, true);
    EepromLine(ext, kEepromClock, false);
    EepromLine(ext, kEepromDataIn, true);
    EepromLine(ext, kEepromClock, true);
    const uint32_t opcode = command & 3;
    EepromSendBit(ext, (opcode & 2) != 0);
    EepromSendBit(ext, (opcode & 1) != 0);
    if (command == TQ8_EEPROM_WRITE_ENABLE)
        address = 0xC0;
    else if (command == TQ8_EEPROM_WRITE_DISABLE)
        address = 0;
    for (int bit = 7; bit >= 0; --bit)
        EepromSendBit(ext, ((address >> bit) & 1) != 0);
    uint16_t word = 0;
    if (command == TQ8_EEPROM_READ) {
        for (int i = 0; i < 16; ++i) {
            EepromLine(ext, kEepromClock, false);
            EepromLine(ext, kEepromClock, true);
            word = static_cast<uint16_t>(word << 1 | (EepromDataOut(ext) ? 1 : 0));
        }
    } else if (command == TQ8_EEPROM_WRITE) {
        for (int bit = 15; bit >= 0; --bit)
            EepromSendBit(ext, ((data >> bit) & 1) != 0);
    }
    EepromLine(ext, kEepromClock, false);
    EepromLine(ext, kEepromSelect, false);
    EepromLine(ext, kEepromClock, false);
    return word;
}

NTSTATUS EepromWriteWord(TQ8_DEVICE_EXTENSION* ext, uint32_t address, uint16_t value)
{
    EepromCommand(ext, TQ8_EEPROM_WRITE_ENABLE, 0, 0);
    EepromCommand(ext, TQ8_EEPROM_WRITE, address, value);
    EepromLine(ext, kEepromSelect, true);
    int64_t start = 0;
    KeQueryTickCount(&start);
    NTSTATUS status = STATUS_SUCCESS;
    while (!EepromDataOut(ext)) {
        if (Elapsed100ns(start) > kWriteGiveUp100ns) {
            status = TQ8_STATUS_TIMED_OUT;
            break;
        }
    }
    EepromLine(ext, kEepromSelect, false);
    EepromCommand(ext, TQ8_EEPROM_WRITE_DISABLE, 0, 0);
    return status;
}

NTSTATUS CheckEeprom(TQ8_DEVICE_EXTENSION* ext)
{
    const uint16_t first = ReadWord(ext, kCheckWord);
    if (!NT_SUCCESS(EepromWriteWord(ext, kCheckWord, first)))
        return STATUS_UNSUCCESSFUL;
    return ReadWord(ext, kCheckWord) == first ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL;
}

void RefreshConfigCache(TQ8_DEVICE_EXTENSION* ext, bool eepromFailed)
{
    TQ8_CONFIG_CACHE c{};
    c.size = sizeof c;
    uint32_t serial = kFailedSerial;
    if (!eepromFailed)
        serial = uint32_t{ReadWord(ext, kSerialHigh)} << 16 | ReadWord(ext, kSerialLow);
    if (serial == kFailedSerial) {
        serial = 0;
        c.word70 = 0xFFFF;
    } else {
        uint16_t* head = &c.word70;
        for (uint32_t address : {0x70u, 0x4Du, 0x4Cu, 0x5Bu, 0x5Au, 0x5Cu, 0x5Du, 0x74u, 0x4Au, 0x4Fu, 0x4Eu, 0x7Bu})
            *head++ = ReadWord(ext, address);
        c.identification = ReadSerialLines(ext, kIdentificationRegister);
        c.word77 = ReadWord(ext, 0x77);
        c.boardType = ReadWord(ext, 0x71);
        c.word49 = ReadWord(ext, 0x49);
        const uint16_t phase = ReadWord(ext, 0x5E);
        c.phaseSteps = (phase & 0x8000) != 0 ? phase & 0x7FFF : 28;
        c.word78 = ReadWord(ext, 0x78);
        c.word48 = ReadWord(ext, 0x48);
        c.word47 = ReadWord(ext, 0x47);
        c.optionFlags = ReadWord(ext, 0x46);
        if ((c.optionFlags & 1) != 0)
            for (uint32_t i = 0; i < 4; ++i)
                c.adcAdjustments[i] = ReadWord(ext, 0x45 - i);
        if ((c.optionFlags & 2) != 0)
            for (uint16_t& d : c.adcGainDefaults)
                d = 256;
    }
    c.memorySize = TQ8_MEMORY_SIZE_VALUE;
    KIRQL irql;
    KeAcquireSpinLock(&ext->spinLock, &irql);
    ext->configCache = c;
    ext->serialNumber = serial;
    KeReleaseSpinLock(&ext->spinLock, irql);
}

NTSTATUS IoctlEepromAccess(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    TQ8_EEPROM_REQUEST q;
    std::memcpy(&q, r.buffer, sizeof q);
    ExAcquireFastMutex(&ext->deviceMutex);
    NTSTATUS status = STATUS_SUCCESS;
    if (q.read != 0) {
        q.value = ReadWord(ext, q.address & 0xFF);
        std::memcpy(r.buffer, &q, sizeof q);
        r.information = sizeof q;
    } else {
        status = EepromWriteWord(ext, q.address & 0xFF, static_cast<uint16_t>(q.value));
    }
    ExReleaseFastMutex(&ext->deviceMutex);
    return status;
}

NTSTATUS IoctlRefreshConfigCache(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL&)
{
    ExAcquireFastMutex(&ext->deviceMutex);
    RefreshConfigCache(ext, false);
    ExReleaseFastMutex(&ext->deviceMutex);
    return STATUS_SUCCESS;
}

NTSTATUS IoctlJtagControl(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    TQ8_JTAG_CONTROL_REQUEST q;
    std::memcpy(&q, r.buffer, sizeof q);
    ExAcquireFastMutex(&ext->deviceMutex);
    NTSTATUS status = STATUS_SUCCESS;
    KIRQL irql;
    if ((q.flags & TQ8_JTAG_CLAIM) != 0) {
        KeAcquireSpinLock(&ext->spinLock, &irql);
        const bool granted = ext->scanPortOwner == nullptr || ext->scanPortOwner == r.file;
        if (granted)
            ext->scanPortOwner = r.file;
        KeReleaseSpinLock(&ext->spinLock, irql);
        q.result = granted ? 1 : 0;
    } else if ((q.flags & TQ8_JTAG_RELEASE) != 0) {
        KeAcquireSpinLock(&ext->spinLock, &irql);
        const bool owned = ext->scanPortOwner == r.file;
        if (owned)
            ext->scanPortOwner = nullptr;
        KeReleaseSpinLock(&ext->spinLock, irql);
        if (owned && ext->scanBuffer != nullptr) {
            ExFreePoolWithTag(ext->scanBuffer, TQ8_POOL_TAG);
            ext->scanBuffer = nullptr;
            ext->scanBufferSize = 0;
        }
        q.result = owned ? 1 : 0;
    } else if (!OwnsScanPort(ext, r.file)) {
        status = STATUS_ACCESS_DENIED;
    } else if ((q.flags & kScanOnlyClock) != 0) {
        for (uint32_t i = 0; i < q.lines; ++i)
            ScanClock(ext);
    } else {
        if (q.mask != 0) {
            ext->scanLineShadow = (ext->scanLineShadow & ~q.mask) | (q.lines & q.mask);
            WriteSerialLines(ext, kScanRegister, ext->scanLineShadow);
        }
        if ((q.flags & kScanClockAfterLines) != 0)
            ScanClock(ext);
        if ((q.flags & TQ8_JTAG_READ_BACK) != 0) {
            ext->scanLineShadow = ReadSerialLines(ext, kScanRegister);
            q.result = ext->scanLineShadow;
        }
    }
    ExReleaseFastMutex(&ext->deviceMutex);
    if (NT_SUCCESS(status) && (q.flags & (TQ8_JTAG_CLAIM | TQ8_JTAG_RELEASE | TQ8_JTAG_READ_BACK)) != 0) {
        std::memcpy(r.buffer, &q, sizeof q);
        r.information = sizeof q;
    }
    return status;
}

NTSTATUS IoctlJtagShift(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    const uint32_t flags = U32At(r, 4);
    const uint32_t bits = U32At(r, 8);
    const bool capture = (flags & TQ8_JTAG_SHIFT_IN) != 0;
    if ((flags & (TQ8_JTAG_SHIFT_OUT | TQ8_JTAG_SHIFT_IN)) == 0 || bits == 0)
        return STATUS_SUCCESS;
    // The dispatch's size rule holds these bytes in the request.
    const uint32_t bytes = static_cast<uint32_t>((uint64_t{bits} + 7) / 8);
    uint8_t* data = r.buffer + sizeof(TQ8_JTAG_SHIFT_REQUEST);
    ExAcquireFastMutex(&ext->deviceMutex);
    NTSTATUS status = STATUS_SUCCESS;
    if (!OwnsScanPort(ext, r.file)) {
        status = STATUS_ACCESS_DENIED;
    } else if (capture && (flags & TQ8_JTAG_SHIFT_OUT) != 0 && !GrowScanBuffer(ext, bytes)) {
        status = STATUS_INSUFFICIENT_RESOURCES;
    } else {
        // Out and in: the bits to send are kept apart from the captured ones.
        const uint8_t* source = data;
        if (capture && (flags & TQ8_JTAG_SHIFT_OUT) != 0) {
            std::memcpy(ext->scanBuffer, data, bytes);
            source = static_cast<const uint8_t*>(ext->scanBuffer);
        }
        for (uint32_t i = 0; i < bits; ++i) {
            const uint32_t byte = bytes - 1 - i / 8;
            const bool bit = ((source[byte] >> (i % 8)) & 1) != 0;
            const bool captured = ScanBit(ext, flags, bit, i + 1 == bits);
            if (!capture)
                continue;
            if (i % 8 == 0)
                data[byte] = 0;
            data[byte] = static_cast<uint8_t>(data[byte] | (captured ? 1 : 0) << (i % 8));
        }
    }
    ExReleaseFastMutex(&ext->deviceMutex);
    if (NT_SUCCESS(status) && capture)
        r.information = sizeof(TQ8_JTAG_SHIFT_REQUEST) + bytes;
    return status;
}
