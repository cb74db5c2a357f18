#pragma once
// One simulated TQ3300 card: its settings, analog inputs, sample memory,
// time-stamp FIFO, operating mode and the timing of acquisitions and
// transfers. Thread-safe: every handle of the board calls it, and standby or
// a software trigger from one thread reaches a blocking call on another.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "BoardDescription.h"
#include "CBoardRegisters.h"
#include "CBoardSettings.h"
#include "CDriverStats.h"
#include "CFirmwareState.h"
#include "CRenderWorker.h"
#include "CSampleRam.h"
#include "CSignalGenerator.h"
#include "CTimestampFifo.h"
#include "CSimClock.h"

namespace tq8 {

enum class AcqTarget { Ram, Zab, RamToZab };

class CSimBoard {
public:
    explicit CSimBoard(const BoardDescription& desc);

    const BoardDescription& Desc() const { return m_desc; }

    // Configuration EEPROM image.
    int32_t ReadEeprom(uint32_t first, uint16_t* words, uint32_t count) const;
    int32_t WriteEeprom(uint32_t first, const uint16_t* words, uint32_t count);

    // Settings.
    int32_t Set(SettingId id, double value);
    double Get(SettingId id) const;
    int32_t SetExtDividers(int32_t d1, int32_t d2);
    int32_t SetMemoryRegion(uint32_t count, uint32_t start);
    int32_t SetProcessingParam(uint16_t index, uint16_t value);
    int32_t LoadFir(FirBank bank, const int16_t* taps, size_t count);
    CBoardSettings Settings() const;
    int32_t ApplySettings(const CBoardSettings& settings);
    void SetDefaults();
    int32_t CenterSignal(int channel, int target);

    // Operation. With an epoch, the acquisition only starts while no standby
    // has come since StandbyEpoch() returned it (else TQ8_ERR_CANCELLED), so a
    // caller that loops over acquisitions cannot miss a standby between two.
    // closed is the calling handle's flag: once set (then WakeWaiters), the
    // acquisition ends with TQ8_ERR_CANCELLED, as on standby.
    // host: streaming, the samples go to this buffer of count bytes instead
    // of memory (which they pass through as a ring).
    int32_t Acquire(AcqTarget target, uint32_t start, uint32_t count,
                    std::optional<uint64_t> epoch = std::nullopt, const std::atomic<bool>* closed = nullptr,
                    uint8_t* host = nullptr);
    void WakeWaiters();
    uint64_t StandbyEpoch() const;
    int32_t SetMode(int mode);
    int Mode() const;
    void SoftwareTrigger();
    bool IsIdle() const;
    bool SamplesComplete() const;
    bool FifoFull() const;
    // resetClockModules: the clock modules are reset on the way (a counted reset).
    int32_t SyncClocks(bool resetClockModules);

    // How long a converter chip trims once its calibration bit is set.
    static constexpr double kAdcCalibrationSeconds = 0.01;
    // ADC calibration of converter chip 0 or 1; refused while the board works.
    int32_t CalibrateAdc(int adc);
    // A calibration the chip ran on its own bit, set through its serial port.
    void CountAdcCalibration(int adc);
    // Calibrations of a chip since the board was made (0 for an unknown chip).
    uint32_t AdcCalibrations(int adc) const;
    // The driver's counters of the card; reset after reading when asked.
    DriverCounters ReadDriverStats(bool reset) { return m_stats.Read(reset); }

    // Sample memory and transfers.
    int32_t ReadRam(uint32_t first, uint32_t count, uint8_t* dst);
    // Host data into sample memory (the card's mode 9).
    int32_t WriteRam(uint32_t first, const uint8_t* src, uint32_t count);
    int32_t StartReadRam(uint32_t first, uint32_t count, uint8_t* dst);
    int32_t StartPciAcquisition(uint32_t bytes, uint8_t* dst);
    int32_t WaitTransfer(uint32_t timeoutMs);
    uint32_t RamSize() const { return m_ram.Size(); }
    const CSampleRam& Ram() const { return m_ram; }

    // Time-stamps.
    uint32_t TimestampDepth() const { return m_fifoDepth; }
    uint32_t TimestampsAvailable() const;
    bool TimestampOverflow() const;
    uint64_t TimestampsDropped() const;
    int32_t ReadTimestamps(uint64_t* dst, uint32_t max, uint32_t* count, bool evenAfterOverflow);
    void ResetTimestampFifo();
    void ResetTimestampCounter();

    // Register images (sets 0..4, see CBoardRegisters) and the raw windows.
    // words must hold CBoardRegisters::SetWords(set) words.
    int32_t ReadRegisterSet(int set, uint32_t* words) const;
    int32_t ReadDeviceReg(uint32_t reg, uint32_t& value) const;
    int32_t WriteDeviceReg(uint32_t reg, uint32_t mask, uint32_t value);
    int32_t WriteAdcReg(int adc, uint32_t reg, uint32_t mask, uint16_t value, Placement at);
    int32_t ReadClockGenReg(int cg, uint32_t reg, Placement at, uint8_t& value) const;
    int32_t WriteClockGenReg(int cg, uint32_t reg, uint8_t mask, uint8_t value, Placement at);
    int32_t RawRegRead(int bar, uint32_t reg, uint32_t& value);
    int32_t RawRegWrite(int bar, uint32_t reg, uint32_t value);
    int32_t SetAdcOffsetAdjust(int channel, int value);
    int32_t SetExtTriggerDelay(uint32_t taps);
    // Input-delay taps of SDRAM 0 or 1 and of the external trigger.
    uint32_t SdramDelay(int sdram) const;
    uint32_t ExtTriggerDelay() const;

    // Firmware of the card (thread-safe on its own).
    CFirmwareState& Firmware() { return m_firmware; }

    // Simulator control.
    void SetSignal(int channel, const ChannelSignal& signal);
    ChannelSignal Signal(int channel) const;
    void SetSeed(uint64_t seed);
    // Entries into the time-stamp FIFO, as the trigger logic would queue them.
    void QueueTimestamps(const uint64_t* values, uint32_t count);
    // The counting pattern (CSignalGenerator::RenderCounting) in place of
    // the signals; frames count on over acquisitions from 0 at the switch.
    void SetCountingPattern(bool on);
    // Depth of the time-stamp FIFO (1 or more); empties it.
    bool SetTimestampDepth(uint32_t depth);

private:
    using Clock = CSimClock::Clock;
    struct Run;

    RenderSetup MakeSetup(const CBoardSettings& s, bool& needsSoftTrigger, SimRng& rng) const;
    bool Cancelled(const Run& run) const;
    int32_t WaitForTrigger(std::unique_lock<std::mutex>& lock, const Run& run, bool needed);
    int32_t Play(std::unique_lock<std::mutex>& lock, Run& run);
    static uint32_t ChunkPosition(const Run& run, uint64_t frame);
    // Renders frames from frame on in chunks of chunkFrames, side by side
    // on the render workers, into memory or the host's buffer.
    void RenderToRam(Run& run, uint64_t frame, uint64_t frames, uint64_t chunkFrames,
                     std::vector<std::vector<uint8_t>>& chunks);
    void ReadRamChunk(const Run& run, uint64_t frame, uint64_t frames, std::vector<uint8_t>& chunk);
    void PushTimestamps(const Run& run, uint64_t fromFrame, uint64_t toFrame);
    void StandbyLocked();
    // Lands a RAM read whose transfer time has passed in the caller's buffer.
    void CompleteDueReadLocked();
    uint64_t CounterNow() const;
    LiveStatus LiveLocked() const;
    void AutoResetClockModulesLocked(const CBoardSettings& s);

    const BoardDescription m_desc;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    EepromImage m_eeprom;
    CBoardSettings m_settings;
    CSignalGenerator m_generator;
    // A memory acquisition renders this many chunks at once: one on the
    // acquiring thread, the others on the workers.
    static constexpr size_t kChunksPerPass = 4;
    std::array<CRenderWorker, kChunksPerPass - 1> m_renderWorkers; // used by the acquiring thread only
    CSampleRam m_ram;
    CTimestampFifo m_fifo;
    uint32_t m_fifoDepth;
    uint64_t m_seed = 1;
    uint64_t m_runCount = 0;
    int m_mode = 1;
    bool m_busy = false;
    bool m_softTrigger = false;
    bool m_samplesComplete = false;
    uint64_t m_standbyEpoch = 0;
    bool m_transferPending = false;
    Clock::time_point m_transferDue{};
    // An asynchronous RAM read whose data has not landed yet.
    struct PendingRead {
        uint32_t first = 0;
        uint32_t count = 0;
        uint8_t* dst = nullptr;
    };
    std::optional<PendingRead> m_pendingRead;
    Clock::time_point m_counterOrigin;
    CDriverStats m_stats;
    std::array<uint32_t, 2> m_adcCalibrations{};
    CBoardRegisters m_registers;
    CFirmwareState m_firmware;
    bool m_dcmResetPending = false;
    bool m_countingPattern = false;
    uint64_t m_patternFrames = 0; // frames of the pattern acquired so far // a clock changed since the last reset
};

} // namespace tq8
