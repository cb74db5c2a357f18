#pragma once
// A board on another computer, reached through the board service of its
// service host. Handles of one board share this object (busy checks and
// handle counts key on it); each handle has its own connection (CConnection
// link), which the calls of that handle travel on. Settings are kept here as
// a copy that the getters answer from; every setter refreshes it from the
// server's answer.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CConnectionScope.h"
#include "CRemoteLink.h"
#include "IBoardBackend.h"
#include "TQ8_64.h"

namespace tq8 {

class CRemoteBoardBackend final : public IBoardBackend, public std::enable_shared_from_this<CRemoteBoardBackend> {
public:
    // The board that link has opened: shared with the handles that reach it
    // already, else made from the server's description of it.
    static int32_t ForLink(const std::shared_ptr<CRemoteLink>& link, std::shared_ptr<CRemoteBoardBackend>& out);

    // A further handle's connection; it restores this copy of the settings
    // when it has to connect again.
    void AddLink(const std::shared_ptr<CRemoteLink>& link);
    const RemoteTarget& Target() const { return m_target; }

    const BoardDescription& Desc() const override { return m_desc; }
    bool IsVirtual() const override { return m_target.isVirtual; }
    bool IsRemote() const override { return true; }
    std::wstring ServerName() const override { return m_target.server; }
    uint32_t ServerPort() const override { return m_target.port; }

    int32_t ReadEeprom(uint32_t first, uint16_t* words, uint32_t count) const override;
    int32_t WriteEeprom(uint32_t first, const uint16_t* words, uint32_t count) override;
    int32_t RefreshRegisterCache(bool) override { return 0; }

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
    void WakeWaiters() override {}
    uint64_t StandbyEpoch() const override { return 0; }
    int32_t AcquireInEpoch(AcqTarget target, uint32_t start, uint32_t count, uint64_t) override
    {
        return Acquire(target, start, count, nullptr);
    }
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
    uint32_t RamSize() const override { return m_desc.ramSize; }

    uint32_t TimestampDepth() const override;
    uint32_t TimestampsAvailable() const override;
    bool TimestampOverflow() const override;
    int32_t ReadTimestamps(uint64_t* dst, uint32_t max, uint32_t* count, bool evenAfterOverflow) override;
    void ResetTimestampFifo() override;
    void ResetTimestampCounter() override;

    int32_t ReadRegisterSet(int set, uint32_t* words) override;
    int32_t ReadDeviceReg(uint32_t reg, uint32_t& value) override;
    int32_t WriteDeviceReg(uint32_t reg, uint32_t mask, uint32_t value) override;
    int32_t WriteAdcReg(int adc, uint32_t reg, uint32_t mask, uint16_t value, Placement at) override;
    int32_t ReadClockGenReg(int cg, uint32_t reg, Placement at, uint8_t& value) override;
    int32_t WriteClockGenReg(int cg, uint32_t reg, uint8_t mask, uint8_t value, Placement at) override;
    int32_t RawRegRead(int bar, uint32_t reg, uint32_t& value) override;
    int32_t RawRegWrite(int bar, uint32_t reg, uint32_t value) override;
    int32_t SetAdcOffsetAdjust(int channel, int value) override;
    int32_t SetExtTriggerDelay(uint32_t taps) override;
    // The firmware lives on the server: uploads go there (CRemoteFirmwareUpload).
    CFirmwareState* Firmware() override { return nullptr; }
    // The system FPGA's version as the server's board reports it now (its
    // PCI firmware version); the server tells none of the ZAB FPGA.
    int32_t RunningFirmware(FirmwarePart part, std::optional<FirmwareVersion>& version) override;
    // The server's board's JTAG identification codes.
    int32_t JtagIdCodes(std::string& text);

    CRemoteBoardBackend(RemoteTarget target, BoardDescription desc);

private:
    // The calling handle's connection, else the first one still open.
    std::shared_ptr<CRemoteLink> Link() const;
    // change(copy of the settings) -> code; a changed copy is sent.
    template <class F>
    int32_t Change(F&& change);
    // Sends the settings; the server's answer becomes the copy.
    int32_t Push(const CBoardSettings& settings);
    // The settings as the Settings call's Text item.
    static std::string SettingsItem(const CBoardSettings& settings);
    int32_t TakeSettings(xmlDocPtr reply);
    int32_t State(const char* item, int32_t fallback) const;
    // A register operation (arguments as the wire table says); value of a read.
    int32_t Register(tq8wire::RegisterOp op, std::vector<uint32_t> args, uint32_t* value = nullptr);
    int32_t TimestampInfo(const char* item) const;
    int32_t ResetTimestamps(tq8wire::TimestampOp op);
    static int32_t ReadChunks(CRemoteLink& link, tq8wire::Method method, uint32_t first, uint32_t count, uint8_t* dst,
                              CRemoteAsyncRead* async);

    RemoteTarget m_target;
    BoardDescription m_desc;
    mutable std::mutex m_mutex;
    CBoardSettings m_settings;
    mutable std::vector<std::weak_ptr<CRemoteLink>> m_links;
};

} // namespace tq8
