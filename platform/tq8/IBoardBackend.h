#pragma once
// What the library asks of a board, whatever reaches it: a board model in
// this process (virtual boards), the board driver (local boards) or a
// remote host.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BoardDescription.h"
#include "CBoardSettings.h"
#include "CSimBoard.h"
#include "CStateFirmwareTarget.h"
#include "TQ8_64.h"

namespace tq8 {

class IBoardBackend {
public:
    virtual ~IBoardBackend() = default;

    // A backend of the same board for a duplicated handle, with its own way
    // to the board; nullptr where duplicates share this one.
    virtual std::shared_ptr<IBoardBackend> Reopen() { return nullptr; }
    // The same for every backend of one board.
    virtual const void* BoardIdentity() const { return this; }

    virtual const BoardDescription& Desc() const = 0;
    virtual bool IsVirtual() const = 0;
    virtual bool IsRemote() const = 0;
    virtual std::wstring ServerName() const = 0;
    virtual uint32_t ServerPort() const = 0;

    virtual int32_t ReadEeprom(uint32_t first, uint16_t* words, uint32_t count) const = 0;
    virtual int32_t WriteEeprom(uint32_t first, const uint16_t* words, uint32_t count) = 0;
    // Re-reads the library's register copy from the board itself
    // (fromHardware) or from the driver's copy of it.
    virtual int32_t RefreshRegisterCache(bool fromHardware) = 0;

    virtual int32_t Set(SettingId id, double value) = 0;
    virtual double Get(SettingId id) const = 0;
    virtual int32_t SetExtDividers(int32_t d1, int32_t d2) = 0;
    virtual int32_t SetMemoryRegion(uint32_t count, uint32_t start) = 0;
    virtual int32_t SetProcessingParam(uint16_t index, uint16_t value) = 0;
    virtual int32_t LoadFir(FirBank bank, const int16_t* taps, size_t count) = 0;
    virtual CBoardSettings Settings() const = 0;
    virtual int32_t ApplySettings(const CBoardSettings& settings) = 0;
    virtual void SetDefaults() = 0;
    virtual int32_t RewriteSettings() = 0;
    virtual int32_t CenterSignal(int channel, int target) = 0;

    // closed: the calling handle's flag (CConnection); a disconnect sets it
    // and calls WakeWaiters, which ends the acquisition as standby does.
    virtual int32_t Acquire(AcqTarget target, uint32_t start, uint32_t count, const std::atomic<bool>* closed) = 0;
    virtual void WakeWaiters() = 0;
    // Counts standbys; an acquisition given an older count is cancelled
    // before it starts (see CSimBoard::Acquire).
    virtual uint64_t StandbyEpoch() const = 0;
    virtual int32_t AcquireInEpoch(AcqTarget target, uint32_t start, uint32_t count, uint64_t epoch) = 0;
    // Streams count samples straight to dst (a recording of boards that
    // stream through their memory as a ring); TQ8_ERR_NOT_SUPPORTED where
    // the board cannot, and the caller acquires to memory and reads instead.
    virtual int32_t StreamInEpoch(uint32_t, uint64_t, uint8_t*) { return TQ8_ERR_NOT_SUPPORTED; }
    virtual int32_t SetMode(int mode) = 0;
    virtual int Mode() const = 0;
    virtual void SoftwareTrigger() = 0;
    virtual bool IsIdle() const = 0;
    virtual bool SamplesComplete() const = 0;
    virtual bool FifoFull() const = 0;
    virtual int32_t SyncClocks(bool resetClockModules) = 0;
    // ADC calibration of converter chip 0 or 1.
    virtual int32_t CalibrateAdc(int adc) = 0;
    // The driver's counters of the board, reset after reading when asked.
    virtual DriverCounters ReadDriverStats(bool reset) = 0;

    virtual int32_t ReadRam(uint32_t first, uint32_t count, uint8_t* dst) = 0;
    virtual int32_t StartReadRam(uint32_t first, uint32_t count, uint8_t* dst) = 0;
    virtual int32_t StartPciAcquisition(uint32_t bytes, uint8_t* dst) = 0;
    virtual int32_t WaitTransfer(uint32_t timeoutMs) = 0;
    virtual uint32_t RamSize() const = 0;

    virtual uint32_t TimestampDepth() const = 0;
    virtual uint32_t TimestampsAvailable() const = 0;
    virtual bool TimestampOverflow() const = 0;
    // Entries the FIFO lost since its last reset; 0 where nobody counts.
    virtual uint64_t TimestampsDropped() const { return 0; }
    virtual int32_t ReadTimestamps(uint64_t* dst, uint32_t max, uint32_t* count, bool evenAfterOverflow) = 0;
    virtual void ResetTimestampFifo() = 0;
    virtual void ResetTimestampCounter() = 0;

    // Register images (sets 0..4) and raw register windows; see CBoardRegisters.
    virtual int32_t ReadRegisterSet(int set, uint32_t* words) = 0;
    virtual int32_t ReadDeviceReg(uint32_t reg, uint32_t& value) = 0;
    virtual int32_t WriteDeviceReg(uint32_t reg, uint32_t mask, uint32_t value) = 0;
    virtual int32_t WriteAdcReg(int adc, uint32_t reg, uint32_t mask, uint16_t value, Placement at) = 0;
    virtual int32_t ReadClockGenReg(int cg, uint32_t reg, Placement at, uint8_t& value) = 0;
    virtual int32_t WriteClockGenReg(int cg, uint32_t reg, uint8_t mask, uint8_t value, Placement at) = 0;
    virtual int32_t RawRegRead(int bar, uint32_t reg, uint32_t& value) = 0;
    virtual int32_t RawRegWrite(int bar, uint32_t reg, uint32_t value) = 0;
    virtual int32_t SetAdcOffsetAdjust(int channel, int value) = 0;
    virtual int32_t SetExtTriggerDelay(uint32_t taps) = 0;
    // The identification codes of the card's boundary-scan chain, read
    // through its scan port; TQ8_ERR_NOT_SUPPORTED where the library has no
    // way to the port.
    virtual int32_t ReadScanChain(std::vector<uint32_t>&) { return TQ8_ERR_NOT_SUPPORTED; }
    // The card's firmware model where the library holds it (virtual boards).
    virtual CFirmwareState* Firmware() = 0;
    // Where an upload goes; null where the library has no way to the card's
    // firmware.
    virtual std::unique_ptr<IFirmwareTarget> FirmwareTarget()
    {
        CFirmwareState* state = Firmware();
        return state ? std::make_unique<CStateFirmwareTarget>(*state) : nullptr;
    }
    // The version a part runs: none while it is unknown.
    virtual int32_t RunningFirmware(FirmwarePart part, std::optional<FirmwareVersion>& version)
    {
        const CFirmwareState* state = Firmware();
        version = state ? state->Running(part) : std::nullopt;
        return TQ8_OK;
    }
};

} // namespace tq8
