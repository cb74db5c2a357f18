#pragma once
// A local board reached through the board driver: each backend is one
// library handle with its own file object on the driver (CDriverLink).
// The typed copy of the settings is shared by every handle of the board;
// setters turn a change into masked register writes of the register codec
// and clock-generator writes, getters answer from the copy.
#include <atomic>
#include <condition_variable>
#include <thread>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "CDriverLink.h"
#include "CLocalBus.h"
#include "IBoardBackend.h"

namespace tq8 {

// What every handle of one local board shares.
struct LocalBoardShared {
    explicit LocalBoardShared(const BoardDescription& desc) : settings(desc) {}
    std::mutex mutex;
    CBoardSettings settings;
    bool written = false; // the copy has reached the board once
    // Time-stamps taken out of the card's FIFO and not yet handed out:
    // the driver cannot tell how many wait without reading them.
    std::deque<uint64_t> timestamps;
    std::atomic<uint64_t> standbys{0};
    std::atomic<bool> calibrating{false}; // a converter chip trims
};

class CDriverBoardBackend final : public IBoardBackend {
public:
    // Opens link; shared is found or made by the caller from the serial
    // (see Serial) through makeShared.
    using SharedFor = std::function<std::shared_ptr<LocalBoardShared>(const BoardDescription&)>;
    static std::shared_ptr<CDriverBoardBackend> Open(std::shared_ptr<CLocalBus> bus, const kern::KernelString& link,
                                                     const SharedFor& sharedFor, int32_t* rc);

    CDriverBoardBackend(std::shared_ptr<CLocalBus> bus, kern::KernelString link);
    ~CDriverBoardBackend() override;

    CDriverLink& Link() { return m_link; }
    std::shared_ptr<IBoardBackend> Reopen() override;
    const void* BoardIdentity() const override { return m_shared.get(); }

    const BoardDescription& Desc() const override { return m_desc; }
    bool IsVirtual() const override { return false; }
    bool IsRemote() const override { return false; }
    std::wstring ServerName() const override { return {}; }
    uint32_t ServerPort() const override { return 0; }

    int32_t ReadEeprom(uint32_t first, uint16_t* words, uint32_t count) const override;
    int32_t WriteEeprom(uint32_t first, const uint16_t* words, uint32_t count) override;
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
    uint64_t StandbyEpoch() const override { return m_shared->standbys.load(); }
    int32_t AcquireInEpoch(AcqTarget target, uint32_t start, uint32_t count, uint64_t epoch) override;
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
    CFirmwareState* Firmware() override { return nullptr; }
    std::unique_ptr<IFirmwareTarget> FirmwareTarget() override;
    int32_t RunningFirmware(FirmwarePart part, std::optional<FirmwareVersion>& version) override;
    int32_t ReadScanChain(std::vector<uint32_t>& ids) override;

private:
    static int32_t RawAccess(int bar, uint32_t reg, const std::function<int32_t(int32_t)>& access);
    // Changes the typed copy with change and writes what differs.
    template <class Change>
    int32_t Update(Change&& change);
    int32_t WriteDifference(const CBoardSettings& before, const CBoardSettings& after, bool all);
    // Centres one channel: onBoard follows what was written, result takes
    // the offset found.
    int32_t CenterChannel(int channel, int target, CBoardSettings& onBoard, CBoardSettings& result);
    int32_t ProbeMean(double& mean);
    int32_t WriteClockManagerReset(const CBoardSettings& before, const CBoardSettings& after, bool all);
    int32_t WriteDcOffsets(const CBoardSettings& before, const CBoardSettings& after, bool all);
    int32_t WriteRate(double mhz);
    // A masked write of a chip register behind a serial port (kinds 1-4).
    int32_t WriteChip(uint32_t kind, uint32_t port, Placement at, uint32_t chipRegister, uint32_t mask, uint32_t value);
    int32_t WaitStream(uint32_t timeoutMs);
    uint32_t StatusWord() const;
    void WaitUntilStopped() const;
    int32_t ReadPieces(uint32_t first, uint32_t count, uint8_t* dst, const std::atomic<bool>* stop);
    int32_t WaitPieces(uint32_t timeoutMs);
    void StopPieces();
    // Moves what the card's FIFO holds into the shared queue (its lock held).
    void DrainTimestampsLocked() const;
    int32_t ReadKind(uint32_t kind, uint32_t index, uint32_t group, uint32_t chipRegister, bool hardware,
                     uint32_t& value) const;

    std::shared_ptr<CLocalBus> m_bus;
    kern::KernelString m_linkName;
    SharedFor m_sharedFor;
    // The driver calls are safe from any thread; the link's bookkeeping is
    // guarded by the driver's own serialisation of a handle's requests.
    mutable CDriverLink m_link;
    BoardDescription m_desc;
    std::shared_ptr<LocalBoardShared> m_shared;
    std::atomic<bool> m_readPending{false};
    // Set while this handle's blocking acquisition runs, so that closing the
    // handle can end it: a cancel finds nothing before the wait is pending.
    std::atomic<bool> m_acquiring{false};
    // A read larger than the driver takes at once runs piece by piece on
    // a thread of its own; a wait that times out stops it before the next
    // piece and ends the running one.
    std::thread m_pieceReader;
    std::mutex m_pieceMutex;
    std::condition_variable m_pieceDone;
    bool m_piecesFinished = false;
    int32_t m_piecesResult = 0;
    std::atomic<bool> m_stopPieces{false};
    // Streaming goes into a DMA buffer of the driver's, copied out on the
    // wait: the caller's buffer is never the card's target.
    std::mutex m_streamMutex;
    uint8_t* m_streamView = nullptr;
    uint32_t m_streamCapacity = 0;
    uint8_t* m_streamDst = nullptr;
    uint32_t m_streamBytes = 0;
};

} // namespace tq8
