#pragma once
// Reaches a board model in this process directly.
#include <memory>

#include "IBoardBackend.h"

namespace tq8 {

class CSimBoardBackend final : public IBoardBackend {
public:
    explicit CSimBoardBackend(std::shared_ptr<CSimBoard> board);

    CSimBoard& Board() { return *m_board; }

    const BoardDescription& Desc() const override { return m_board->Desc(); }
    bool IsVirtual() const override { return m_board->Desc().kind == BoardKind::Virtual; }
    bool IsRemote() const override { return false; }
    std::wstring ServerName() const override { return {}; }
    uint32_t ServerPort() const override { return 0; }

    int32_t ReadEeprom(uint32_t first, uint16_t* words, uint32_t count) const override;
    int32_t WriteEeprom(uint32_t first, const uint16_t* words, uint32_t count) override
    {
        return m_board->WriteEeprom(first, words, count);
    }
    int32_t RefreshRegisterCache(bool fromHardware) override;

    int32_t Set(SettingId id, double value) override;
    double Get(SettingId id) const override;
    int32_t SetExtDividers(int32_t d1, int32_t d2) override;
    int32_t SetMemoryRegion(uint32_t count, uint32_t start) override;
    int32_t SetProcessingParam(uint16_t index, uint16_t value) override;
    int32_t LoadFir(FirBank bank, const int16_t* taps, size_t count) override;
    CBoardSettings Settings() const override;
    int32_t ApplySettings(const CBoardSettings& settings) override;
    void SetDefaults() override;
    int32_t RewriteSettings() override;
    int32_t CenterSignal(int channel, int target) override;

    int32_t Acquire(AcqTarget target, uint32_t start, uint32_t count, const std::atomic<bool>* closed) override;
    void WakeWaiters() override;
    uint64_t StandbyEpoch() const override;
    int32_t AcquireInEpoch(AcqTarget target, uint32_t start, uint32_t count, uint64_t epoch) override;
    int32_t StreamInEpoch(uint32_t count, uint64_t epoch, uint8_t* dst) override;
    int32_t SetMode(int mode) override;
    int Mode() const override;
    void SoftwareTrigger() override;
    bool IsIdle() const override;
    bool SamplesComplete() const override;
    bool FifoFull() const override;
    int32_t SyncClocks(bool resetClockModules) override;
    int32_t CalibrateAdc(int adc) override;
    DriverCounters ReadDriverStats(bool reset) override;

    int32_t ReadRam(uint32_t first, uint32_t count, uint8_t* dst) override;
    int32_t StartReadRam(uint32_t first, uint32_t count, uint8_t* dst) override;
    int32_t StartPciAcquisition(uint32_t bytes, uint8_t* dst) override;
    int32_t WaitTransfer(uint32_t timeoutMs) override;
    uint32_t RamSize() const override;

    uint32_t TimestampDepth() const override;
    uint32_t TimestampsAvailable() const override;
    bool TimestampOverflow() const override;
    uint64_t TimestampsDropped() const override;
    int32_t ReadTimestamps(uint64_t* dst, uint32_t max, uint32_t* count, bool evenAfterOverflow) override;
    void ResetTimestampFifo() override;
    void ResetTimestampCounter() override;

    int32_t ReadRegisterSet(int set, uint32_t* words) override { return m_board->ReadRegisterSet(set, words); }
    int32_t ReadDeviceReg(uint32_t reg, uint32_t& value) override { return m_board->ReadDeviceReg(reg, value); }
    int32_t WriteDeviceReg(uint32_t reg, uint32_t mask, uint32_t value) override
    {
        return m_board->WriteDeviceReg(reg, mask, value);
    }
    int32_t WriteAdcReg(int adc, uint32_t reg, uint32_t mask, uint16_t value, Placement at) override
    {
        return m_board->WriteAdcReg(adc, reg, mask, value, at);
    }
    int32_t ReadClockGenReg(int cg, uint32_t reg, Placement at, uint8_t& value) override
    {
        return m_board->ReadClockGenReg(cg, reg, at, value);
    }
    int32_t WriteClockGenReg(int cg, uint32_t reg, uint8_t mask, uint8_t value, Placement at) override
    {
        return m_board->WriteClockGenReg(cg, reg, mask, value, at);
    }
    int32_t RawRegRead(int bar, uint32_t reg, uint32_t& value) override { return m_board->RawRegRead(bar, reg, value); }
    int32_t RawRegWrite(int bar, uint32_t reg, uint32_t value) override { return m_board->RawRegWrite(bar, reg, value); }
    int32_t SetAdcOffsetAdjust(int channel, int value) override { return m_board->SetAdcOffsetAdjust(channel, value); }
    int32_t SetExtTriggerDelay(uint32_t taps) override { return m_board->SetExtTriggerDelay(taps); }
    CFirmwareState* Firmware() override { return &m_board->Firmware(); }

private:
    std::shared_ptr<CSimBoard> m_board;
};

} // namespace tq8
