#include "CSimBoard.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "ChannelSelection.h"
#include "TQ8Codes.h"

namespace tq8 {

namespace {
constexpr double kOverheadSeconds = 50e-6;
constexpr double kTransferBytesPerSecond = 800e6;
constexpr double kCounterMHz = 125.0;
constexpr uint32_t kChunkBytes = 1u << 18;

// Four 16-bit version parts as four 8-bit ones.
uint32_t NarrowVersion(uint64_t version)
{
    uint32_t narrow = 0;
    for (int i = 3; i >= 0; --i)
        narrow = (narrow << 8) | static_cast<uint32_t>((version >> (16 * i)) & 0xFF);
    return narrow;
}

// Whether the selection digitizes the physical channel: only those can trigger.
bool Acquires(int sel, int physical)
{
    for (int i = 0; i < ChannelCount(sel); ++i)
        if (PhysicalChannel(sel, i) == physical)
            return true;
    return false;
}

bool IsAcquisitionMode(int mode)
{
    return mode == TQ8_MODE_RAM_ACQ || mode == TQ8_MODE_PCI_BUFFERED_ACQ || mode == TQ8_MODE_ZAB_ACQ
           || mode == TQ8_MODE_ZAB_BUFFERED_ACQ;
}
} // namespace

struct CSimBoard::Run {
    AcqTarget target;
    std::optional<uint64_t> patternFrame; // first frame of the counting pattern
    uint32_t start;
    uint64_t frames;
    int channels;
    RenderSetup setup;
    SimRng rng;
    CSignalGenerator generator; // a copy: signals may change while it runs
    int timestampMode;
    uint64_t counterAtStart;
    uint64_t epoch;
    const std::atomic<bool>* closed;
    uint8_t* host; // streaming: the samples go here, not to memory
};

CSimBoard::CSimBoard(const BoardDescription& desc)
    : m_desc(desc), m_eeprom(MakeEepromImage(desc)), m_settings(desc), m_ram(desc.ramSize),
      m_fifoDepth(CTimestampFifo::kDefaultDepth), m_seed(desc.serial), m_counterOrigin(Clock::now()),
      m_registers(m_eeprom[kEepromBoardTypeWord]), m_firmware(NarrowVersion(desc.firmwareVersion))
{
}

int32_t CSimBoard::ReadEeprom(uint32_t first, uint16_t* words, uint32_t count) const
{
    if (words == nullptr || count == 0)
        return TQ8_ERR_INVALID_ARG;
    if (first >= kEepromWords || count > kEepromWords - first)
        return TQ8_ERR_OUT_OF_BOUNDS;
    std::lock_guard lock(m_mutex);
    std::copy_n(m_eeprom.begin() + first, count, words);
    return TQ8_OK;
}

int32_t CSimBoard::WriteEeprom(uint32_t first, const uint16_t* words, uint32_t count)
{
    if (words == nullptr || count == 0)
        return TQ8_ERR_INVALID_ARG;
    if (first >= kEepromWords || count > kEepromWords - first)
        return TQ8_ERR_OUT_OF_BOUNDS;
    std::lock_guard lock(m_mutex);
    std::copy_n(words, count, m_eeprom.begin() + first);
    return TQ8_OK;
}

int32_t CSimBoard::Set(SettingId id, double value)
{
    std::lock_guard lock(m_mutex);
    const int32_t rc = m_settings.Set(id, value);
    if (rc == TQ8_OK && ChangesAdcClock(id))
        m_dcmResetPending = true;
    return rc;
}

double CSimBoard::Get(SettingId id) const
{
    std::lock_guard lock(m_mutex);
    return m_settings.Get(id);
}

int32_t CSimBoard::SetExtDividers(int32_t d1, int32_t d2)
{
    std::lock_guard lock(m_mutex);
    const int32_t rc = m_settings.SetExtDividers(d1, d2);
    m_dcmResetPending = m_dcmResetPending || rc == TQ8_OK;
    return rc;
}

int32_t CSimBoard::SetMemoryRegion(uint32_t count, uint32_t start)
{
    std::lock_guard lock(m_mutex);
    return m_settings.SetMemoryRegion(count, start);
}

int32_t CSimBoard::SetProcessingParam(uint16_t index, uint16_t value)
{
    std::lock_guard lock(m_mutex);
    return m_settings.SetProcessingParam(index, value);
}

int32_t CSimBoard::LoadFir(FirBank bank, const int16_t* taps, size_t count)
{
    std::lock_guard lock(m_mutex);
    return m_settings.LoadFir(bank, taps, count);
}

CBoardSettings CSimBoard::Settings() const
{
    std::lock_guard lock(m_mutex);
    return m_settings;
}

int32_t CSimBoard::ApplySettings(const CBoardSettings& settings)
{
    std::lock_guard lock(m_mutex);
    return m_settings.CopyFrom(settings);
}

void CSimBoard::SetDefaults()
{
    std::lock_guard lock(m_mutex);
    m_settings.SetDefaults();
    m_softTrigger = false;
}

int32_t CSimBoard::CenterSignal(int channel, int target)
{
    if (channel < 0 || channel > m_desc.InputChannels() || target < 0 || target > 255)
        return TQ8_ERR_INVALID_ARG;
    std::lock_guard lock(m_mutex);
    int first = channel == 0 ? 0 : channel - 1;
    int last = channel == 0 ? m_desc.InputChannels() - 1 : channel - 1;
    for (int c = first; c <= last; ++c) {
        // Sixteen DC-offset steps move the signal by one code.
        double natural = 128.0 + m_desc.InherentOffset(c) + m_generator.Signal(c).offset;
        double dc = 2048.0 + (target - natural) * kOffsetDacStepsPerCode;
        m_settings.Set(static_cast<SettingId>(static_cast<int>(SettingId::DcOffsetCh1) + c),
                       std::clamp(std::round(dc), 0.0, 4095.0));
    }
    return TQ8_OK;
}

RenderSetup CSimBoard::MakeSetup(const CBoardSettings& s, bool& needsSoftTrigger, SimRng& rng) const
{
    RenderSetup setup;
    setup.selection = s.GetInt(SettingId::ActiveChannels);
    setup.rateMHz = s.EffectiveRateMHz();
    int channels = ChannelCount(setup.selection);
    double pre = s.Get(SettingId::PreTriggerSamples) / channels;
    double delay = s.Get(SettingId::TriggerDelaySamples) / channels;
    setup.triggerFrame = pre - delay;
    if (s.GetInt(SettingId::TriggerMode) == 1 && s.GetUInt(SettingId::SegmentSize) >= static_cast<uint32_t>(channels))
        setup.framesPerSegment = s.GetUInt(SettingId::SegmentSize) / static_cast<uint32_t>(channels);
    SimRng phases(m_seed * 0x2545F4914F6CDD1Dull + 7);
    for (int c = 0; c < 4; ++c) {
        double dcSteps = s.Get(static_cast<SettingId>(static_cast<int>(SettingId::DcOffsetCh1) + c)) - 2048.0;
        setup.center[static_cast<size_t>(c)] =
            128.0 + m_desc.InherentOffset(c) + m_generator.Signal(c).offset + dcSteps / kOffsetDacStepsPerCode;
        setup.phaseAtTrigger[static_cast<size_t>(c)] = 2.0 * std::numbers::pi * phases.Uniform();
    }
    int source = s.GetInt(SettingId::TriggerSource);
    needsSoftTrigger = true;
    if (source < m_desc.InputChannels() && Acquires(setup.selection, source)) {
        auto phase = m_generator.CrossingPhase(source, setup.center[static_cast<size_t>(source)],
                                               s.GetInt(SettingId::TriggerLevelA),
                                               s.GetInt(SettingId::TriggerDirectionA));
        if (phase) {
            // Other channels keep their phase relative to the trigger channel.
            double shift = *phase - setup.phaseAtTrigger[static_cast<size_t>(source)];
            for (auto& p : setup.phaseAtTrigger)
                p += shift;
            needsSoftTrigger = false;
        }
    }
    if (needsSoftTrigger) {
        // Forced trigger: wherever the signal happens to be.
        double shift = 2.0 * std::numbers::pi * rng.Uniform();
        for (auto& p : setup.phaseAtTrigger)
            p += shift;
    }
    return setup;
}

uint64_t CSimBoard::StandbyEpoch() const
{
    std::lock_guard lock(m_mutex);
    return m_standbyEpoch;
}

void CSimBoard::WakeWaiters()
{
    // Taking the lock orders the caller's flag before any waiter's next look.
    std::lock_guard lock(m_mutex);
    m_cv.notify_all();
}

bool CSimBoard::Cancelled(const Run& run) const
{
    return m_standbyEpoch != run.epoch || (run.closed && run.closed->load());
}

int32_t CSimBoard::Acquire(AcqTarget target, uint32_t start, uint32_t count, std::optional<uint64_t> epoch,
                           const std::atomic<bool>* closed, uint8_t* host)
{
    if (host != nullptr && target != AcqTarget::Ram)
        return TQ8_ERR_INVALID_ARG;
    if (count == 0)
        return TQ8_ERR_INVALID_ARG;
    if (target != AcqTarget::Ram && (m_desc.features & TQ8_FEATURE_ZAB) == 0)
        return TQ8_ERR_NOT_SUPPORTED;
    std::unique_lock lock(m_mutex);
    if (m_busy)
        return TQ8_ERR_BUSY;
    if ((epoch && *epoch != m_standbyEpoch) || (closed && closed->load()))
        return TQ8_ERR_CANCELLED;
    const CBoardSettings s = m_settings;
    int sel = s.GetInt(SettingId::ActiveChannels);
    int channels = ChannelCount(sel);
    if (target != AcqTarget::Zab && static_cast<uint64_t>(start) + count > s.MaxSamples(sel))
        return TQ8_ERR_OUT_OF_BOUNDS;
    if (count < static_cast<uint32_t>(channels))
        return TQ8_ERR_INVALID_ARG;

    SimRng rng(m_seed ^ (++m_runCount * 0x9E3779B97F4A7C15ull));
    bool needsSoftTrigger = false;
    RenderSetup setup = MakeSetup(s, needsSoftTrigger, rng);
    const std::optional<uint64_t> pattern = m_countingPattern ? std::optional<uint64_t>(m_patternFrames) : std::nullopt;
    Run run{target, pattern, start, count / static_cast<uint32_t>(channels), channels, setup, rng, m_generator,
            s.GetInt(SettingId::TimestampMode), 0, m_standbyEpoch, closed, host};
    m_busy = true;
    m_samplesComplete = false;
    m_stats.CountAcquisitionStart();
    AutoResetClockModulesLocked(s);
    m_mode = target == AcqTarget::Ram ? TQ8_MODE_RAM_ACQ
             : target == AcqTarget::Zab ? TQ8_MODE_ZAB_ACQ
                                        : TQ8_MODE_RAM_READ_TO_ZAB;
    m_fifo.Reset();

    int32_t rc = target == AcqTarget::RamToZab ? TQ8_OK : WaitForTrigger(lock, run, needsSoftTrigger);
    if (rc == TQ8_OK) {
        run.counterAtStart = CounterNow();
        rc = Play(lock, run);
    }
    m_busy = false;
    m_mode = TQ8_MODE_STANDBY;
    m_samplesComplete = rc == TQ8_OK;
    if (m_samplesComplete && run.patternFrame && m_countingPattern)
        m_patternFrames += run.frames;
    if (m_samplesComplete)
        m_stats.CountAcquisitionComplete();
    m_cv.notify_all();
    return rc;
}

int32_t CSimBoard::WaitForTrigger(std::unique_lock<std::mutex>& lock, const Run& run, bool needed)
{
    if (needed)
        m_cv.wait(lock, [&] { return m_softTrigger || Cancelled(run); });
    if (Cancelled(run))
        return TQ8_ERR_CANCELLED;
    // A latched trigger is used up by this acquisition either way.
    m_softTrigger = false;
    return TQ8_OK;
}

int32_t CSimBoard::Play(std::unique_lock<std::mutex>& lock, Run& run)
{
    const auto cancelled = [&] { return Cancelled(run); };
    const double rate = run.setup.rateMHz * 1e6;
    if (!(rate > 0.0)) {
        // No clock reaches the converters: nothing happens until standby.
        m_cv.wait(lock, cancelled);
        return TQ8_ERR_CANCELLED;
    }
    const Clock::time_point begin = Clock::now() + CSimClock::ToWall(kOverheadSeconds);
    const uint64_t chunkFrames = std::max<uint64_t>(1, kChunkBytes / static_cast<uint64_t>(run.channels));
    std::vector<std::vector<uint8_t>> chunks;
    std::vector<uint8_t> chunk;
    // Memory acquisitions render several chunks at a time, side by side.
    const uint64_t passFrames = run.target == AcqTarget::Ram ? chunkFrames * kChunksPerPass : chunkFrames;
    for (uint64_t done = 0; done < run.frames;) {
        const uint64_t n = std::min(passFrames, run.frames - done);
        Clock::time_point due = begin + CSimClock::ToWall(static_cast<double>(done + n) / rate);
        if (m_cv.wait_until(lock, due, cancelled))
            return TQ8_ERR_CANCELLED;
        lock.unlock();
        if (run.target == AcqTarget::Ram)
            RenderToRam(run, done, n, chunkFrames, chunks);
        else if (run.target == AcqTarget::RamToZab)
            ReadRamChunk(run, done, n, chunk);
        lock.lock();
        if (cancelled())
            return TQ8_ERR_CANCELLED;
        if (run.target != AcqTarget::RamToZab)
            PushTimestamps(run, done, done + n);
        done += n;
    }
    return TQ8_OK;
}

uint32_t CSimBoard::ChunkPosition(const Run& run, uint64_t frame)
{
    return run.start + static_cast<uint32_t>(frame * static_cast<uint64_t>(run.channels));
}

void CSimBoard::ReadRamChunk(const Run& run, uint64_t frame, uint64_t frames, std::vector<uint8_t>& chunk)
{
    chunk.resize(static_cast<size_t>(frames) * static_cast<size_t>(run.channels));
    m_ram.Read(ChunkPosition(run, frame), chunk.data(), static_cast<uint32_t>(chunk.size()));
}

void CSimBoard::RenderToRam(Run& run, uint64_t frame, uint64_t frames, uint64_t chunkFrames,
                            std::vector<std::vector<uint8_t>>& chunks)
{
    const auto channels = static_cast<size_t>(run.channels);
    const size_t parts = static_cast<size_t>((frames + chunkFrames - 1) / chunkFrames);
    // Render takes one draw from the generator per call, so chunk k starts
    // from the state after k draws: the samples are those of the calls in a
    // row, however many threads share them.
    std::vector<SimRng> rngs(parts, run.rng);
    for (size_t k = 1; k < parts; ++k) {
        rngs[k] = rngs[k - 1];
        rngs[k].Next();
    }
    const auto framesOf = [&](size_t k) { return std::min(chunkFrames, frames - k * chunkFrames); };
    // Streaming to the host renders into its buffer; memory acquisitions
    // render into chunks that then go to memory.
    chunks.resize(run.host != nullptr ? 0 : parts);
    for (size_t k = 0; k < chunks.size(); ++k)
        chunks[k].resize(static_cast<size_t>(framesOf(k)) * channels);
    const auto render = [&](size_t k) {
        const uint64_t from = frame + k * chunkFrames;
        uint8_t* dst = run.host != nullptr ? run.host + static_cast<size_t>(from) * channels : chunks[k].data();
        const auto n = static_cast<uint32_t>(framesOf(k));
        if (run.patternFrame)
            CSignalGenerator::RenderCounting(run.setup.selection, *run.patternFrame + from, n, dst);
        else
            run.generator.Render(run.setup, from, n, dst, rngs[k], run.host != nullptr);
    };
    std::array<bool, kChunksPerPass> parallel{};
    for (size_t k = 1; k < parts; ++k)
        parallel[k] = m_renderWorkers[k - 1].Start([&render, k] { render(k); });
    for (size_t k = 0; k < parts; ++k) {
        if (parallel[k])
            m_renderWorkers[k - 1].Wait();
        else
            render(k);
        if (run.host == nullptr)
            m_ram.Write(ChunkPosition(run, frame + k * chunkFrames), chunks[k].data(),
                        static_cast<uint32_t>(chunks[k].size()));
    }
    run.rng = rngs[parts - 1];
}

void CSimBoard::PushTimestamps(const Run& run, uint64_t fromFrame, uint64_t toFrame)
{
    if (run.timestampMode != 1 && run.timestampMode != 2)
        return;
    uint64_t step = run.setup.framesPerSegment != 0 ? run.setup.framesPerSegment : run.frames;
    uint64_t first = (fromFrame + step - 1) / step * step;
    for (uint64_t f = first; f < toFrame; f += step) {
        double micros = (static_cast<double>(f) + std::max(0.0, run.setup.triggerFrame)) / run.setup.rateMHz;
        m_fifo.Push(run.counterAtStart + static_cast<uint64_t>(micros * kCounterMHz));
    }
}

uint64_t CSimBoard::CounterNow() const
{
    return static_cast<uint64_t>(CSimClock::ToSim(Clock::now() - m_counterOrigin) * kCounterMHz * 1e6);
}

void CSimBoard::StandbyLocked()
{
    // A read that has finished by now has landed; one still running is
    // stopped and writes nothing more.
    CompleteDueReadLocked();
    m_pendingRead.reset();
    m_mode = TQ8_MODE_STANDBY;
    ++m_standbyEpoch;
    m_transferPending = false;
    m_cv.notify_all();
}

void CSimBoard::CompleteDueReadLocked()
{
    if (!m_pendingRead || Clock::now() < m_transferDue)
        return;
    m_ram.Read(m_pendingRead->first, m_pendingRead->dst, m_pendingRead->count);
    m_stats.CountRamRead(m_pendingRead->count);
    m_pendingRead.reset();
}

int32_t CSimBoard::SetMode(int mode)
{
    if (mode < TQ8_MODE_POWER_DOWN || mode > TQ8_MODE_PCI_WRITE_TO_RAM || mode == TQ8_MODE_RESERVED)
        return TQ8_ERR_INVALID_ARG;
    std::lock_guard lock(m_mutex);
    if (mode == TQ8_MODE_STANDBY) {
        StandbyLocked();
        return TQ8_OK;
    }
    if (m_busy)
        return TQ8_ERR_BUSY;
    if (IsAcquisitionMode(mode))
        m_fifo.Reset();
    // Streaming starts on the switch itself; the driver counts it as an
    // acquisition, like those Acquire runs.
    if (mode == TQ8_MODE_PCI_BUFFERED_ACQ && m_mode == TQ8_MODE_STANDBY)
        m_stats.CountAcquisitionStart();
    m_mode = mode;
    return TQ8_OK;
}

int CSimBoard::Mode() const
{
    std::lock_guard lock(m_mutex);
    return m_mode;
}

void CSimBoard::SoftwareTrigger()
{
    std::lock_guard lock(m_mutex);
    m_softTrigger = true;
    m_cv.notify_all();
}

bool CSimBoard::IsIdle() const
{
    std::lock_guard lock(m_mutex);
    bool transfer = m_transferPending && Clock::now() < m_transferDue;
    return !m_busy && !transfer && (m_mode == TQ8_MODE_STANDBY || m_mode == TQ8_MODE_POWER_DOWN);
}

bool CSimBoard::SamplesComplete() const
{
    std::lock_guard lock(m_mutex);
    return m_samplesComplete;
}

bool CSimBoard::FifoFull() const
{
    // The simulated host always keeps up with buffered acquisitions.
    return false;
}

int32_t CSimBoard::SyncClocks(bool resetClockModules)
{
    std::lock_guard lock(m_mutex);
    if (m_busy)
        return TQ8_ERR_BUSY;
    if (resetClockModules) {
        m_stats.CountClockModuleReset();
        m_dcmResetPending = false;
    }
    return TQ8_OK;
}

int32_t CSimBoard::CalibrateAdc(int adc)
{
    if (adc < 0 || adc >= static_cast<int>(m_adcCalibrations.size()))
        return TQ8_ERR_INVALID_ARG;
    std::unique_lock lock(m_mutex);
    if (m_busy || (m_transferPending && Clock::now() < m_transferDue))
        return TQ8_ERR_BUSY;
    // The chip holds its calibration bit while it trims; the board takes no
    // acquisition meanwhile.
    m_busy = true;
    m_registers.SetCalibrating(adc, true);
    const Clock::time_point done = Clock::now() + CSimClock::ToWall(kAdcCalibrationSeconds);
    m_cv.wait_until(lock, done, [&] { return Clock::now() >= done; });
    m_registers.SetCalibrating(adc, false);
    m_busy = false;
    ++m_adcCalibrations[static_cast<size_t>(adc)];
    m_cv.notify_all();
    return TQ8_OK;
}

void CSimBoard::CountAdcCalibration(int adc)
{
    if (adc < 0 || adc >= static_cast<int>(m_adcCalibrations.size()))
        return;
    std::lock_guard lock(m_mutex);
    ++m_adcCalibrations[static_cast<size_t>(adc)];
}

uint32_t CSimBoard::AdcCalibrations(int adc) const
{
    if (adc < 0 || adc >= static_cast<int>(m_adcCalibrations.size()))
        return 0;
    std::lock_guard lock(m_mutex);
    return m_adcCalibrations[static_cast<size_t>(adc)];
}

int32_t CSimBoard::ReadRam(uint32_t first, uint32_t count, uint8_t* dst)
{
    if (count == 0)
        return first <= m_ram.Size() ? TQ8_OK : TQ8_ERR_OUT_OF_BOUNDS; // nothing to move
    if (dst == nullptr)
        return TQ8_ERR_INVALID_ARG;
    {
        std::lock_guard lock(m_mutex);
        if (m_busy)
            return TQ8_ERR_BUSY;
    }
    if (!m_ram.Read(first, dst, count))
        return TQ8_ERR_OUT_OF_BOUNDS;
    // The simulated engine moves the data at once.
    m_stats.CountRamRead(count);
    return TQ8_OK;
}

int32_t CSimBoard::WriteRam(uint32_t first, const uint8_t* src, uint32_t count)
{
    if (count == 0)
        return TQ8_OK;
    return src != nullptr && m_ram.Write(first, src, count) ? TQ8_OK : TQ8_ERR_OUT_OF_BOUNDS;
}

int32_t CSimBoard::StartReadRam(uint32_t first, uint32_t count, uint8_t* dst)
{
    // As with the board's DMA engine, the data lands in the caller's buffer
    // when the transfer has finished (seen by WaitTransfer or a standby), and
    // a standby before then stops it without writing anything.
    if (count == 0)
        return first <= m_ram.Size() ? TQ8_OK : TQ8_ERR_OUT_OF_BOUNDS;
    if (dst == nullptr)
        return TQ8_ERR_INVALID_ARG;
    if (!m_ram.InRange(first, count))
        return TQ8_ERR_OUT_OF_BOUNDS;
    std::lock_guard lock(m_mutex);
    CompleteDueReadLocked();
    if (m_busy || m_pendingRead)
        return TQ8_ERR_BUSY;
    m_pendingRead = PendingRead{first, count, dst};
    m_transferPending = true;
    m_transferDue = Clock::now() + CSimClock::ToWall(count / kTransferBytesPerSecond);
    m_mode = TQ8_MODE_RAM_READ_TO_PCI;
    return TQ8_OK;
}

int32_t CSimBoard::StartPciAcquisition(uint32_t bytes, uint8_t* dst)
{
    if (dst == nullptr || bytes == 0)
        return TQ8_ERR_INVALID_ARG;
    std::unique_lock lock(m_mutex);
    if (m_mode != TQ8_MODE_PCI_BUFFERED_ACQ)
        return TQ8_ERR_WRONG_MODE;
    if (m_busy)
        return TQ8_ERR_BUSY;
    bool needsSoftTrigger = false;
    SimRng rng(m_seed ^ (++m_runCount * 0x9E3779B97F4A7C15ull));
    RenderSetup setup = MakeSetup(m_settings, needsSoftTrigger, rng);
    int channels = ChannelCount(setup.selection);
    uint32_t frames = bytes / static_cast<uint32_t>(channels);
    if (!(setup.rateMHz > 0.0) || frames == 0)
        return TQ8_ERR_WRONG_MODE;
    m_generator.Render(setup, 0, frames, dst, rng);
    std::fill(dst + static_cast<size_t>(frames) * static_cast<size_t>(channels), dst + bytes, uint8_t{128});
    m_stats.CountDmaTransfer(bytes);
    m_transferPending = true;
    m_transferDue = Clock::now() + CSimClock::ToWall(frames / (setup.rateMHz * 1e6));
    return TQ8_OK;
}

int32_t CSimBoard::WaitTransfer(uint32_t timeoutMs)
{
    std::unique_lock lock(m_mutex);
    if (!m_transferPending)
        return TQ8_OK;
    Clock::time_point limit = Clock::now() + std::chrono::milliseconds(timeoutMs);
    Clock::time_point due = m_transferDue;
    bool done = m_cv.wait_until(lock, std::min(limit, due), [&] { return !m_transferPending; });
    if (done || Clock::now() >= due) {
        CompleteDueReadLocked();
        m_transferPending = false;
        return TQ8_OK;
    }
    return TQ8_ERR_TIMEOUT;
}

void CSimBoard::QueueTimestamps(const uint64_t* values, uint32_t count)
{
    std::lock_guard lock(m_mutex);
    for (uint32_t i = 0; i < count; ++i)
        m_fifo.Push(values[i]);
}

uint32_t CSimBoard::TimestampsAvailable() const
{
    std::lock_guard lock(m_mutex);
    return m_fifo.Available();
}

bool CSimBoard::TimestampOverflow() const
{
    std::lock_guard lock(m_mutex);
    return m_fifo.Overflowed();
}

uint64_t CSimBoard::TimestampsDropped() const
{
    std::lock_guard lock(m_mutex);
    return m_fifo.Dropped();
}

void CSimBoard::SetCountingPattern(bool on)
{
    std::lock_guard lock(m_mutex);
    m_countingPattern = on;
    m_patternFrames = 0;
}

bool CSimBoard::SetTimestampDepth(uint32_t depth)
{
    if (depth == 0)
        return false;
    std::lock_guard lock(m_mutex);
    m_fifoDepth = depth;
    m_fifo = CTimestampFifo(depth);
    return true;
}

int32_t CSimBoard::ReadTimestamps(uint64_t* dst, uint32_t max, uint32_t* count, bool evenAfterOverflow)
{
    if (dst == nullptr || count == nullptr || max == 0)
        return TQ8_ERR_INVALID_ARG;
    std::lock_guard lock(m_mutex);
    if (m_fifo.Overflowed() && !evenAfterOverflow)
        return TQ8_ERR_OUT_OF_BOUNDS;
    *count = m_fifo.Pop(dst, max);
    return TQ8_OK;
}

void CSimBoard::ResetTimestampFifo()
{
    std::lock_guard lock(m_mutex);
    m_fifo.Reset();
}

void CSimBoard::ResetTimestampCounter()
{
    std::lock_guard lock(m_mutex);
    m_counterOrigin = Clock::now();
}

void CSimBoard::SetSignal(int channel, const ChannelSignal& signal)
{
    std::lock_guard lock(m_mutex);
    m_generator.SetSignal(channel, signal);
}

ChannelSignal CSimBoard::Signal(int channel) const
{
    std::lock_guard lock(m_mutex);
    return m_generator.Signal(channel);
}

void CSimBoard::SetSeed(uint64_t seed)
{
    std::lock_guard lock(m_mutex);
    m_seed = seed;
    m_runCount = 0;
}

void CSimBoard::AutoResetClockModulesLocked(const CBoardSettings& s)
{
    // The firmware resets the clock modules before an acquisition after a
    // clock change, unless the automatic reset is overridden.
    if (m_dcmResetPending && s.GetInt(SettingId::AutoDcmResetOverride) == 0) {
        m_stats.CountClockModuleReset();
        m_dcmResetPending = false;
    }
}

LiveStatus CSimBoard::LiveLocked() const
{
    LiveStatus live;
    live.mode = m_mode;
    live.samplesComplete = m_samplesComplete;
    live.timestampOverflow = m_fifo.Overflowed();
    live.timestampsEmpty = m_fifo.Available() == 0;
    live.pllLocked = m_settings.PllLocked();
    live.counter = CounterNow();
    return live;
}

int32_t CSimBoard::ReadRegisterSet(int set, uint32_t* words) const
{
    std::lock_guard lock(m_mutex);
    return m_registers.ReadSet(set, m_settings, LiveLocked(), words);
}

int32_t CSimBoard::ReadDeviceReg(uint32_t reg, uint32_t& value) const
{
    std::lock_guard lock(m_mutex);
    return m_registers.ReadDevice(reg, m_settings, LiveLocked(), value);
}

int32_t CSimBoard::WriteDeviceReg(uint32_t reg, uint32_t mask, uint32_t value)
{
    std::lock_guard lock(m_mutex);
    return m_registers.WriteDevice(reg, mask, value, m_settings);
}

int32_t CSimBoard::WriteAdcReg(int adc, uint32_t reg, uint32_t mask, uint16_t value, Placement at)
{
    std::lock_guard lock(m_mutex);
    return m_registers.WriteAdc(adc, reg, mask, value, at);
}

int32_t CSimBoard::ReadClockGenReg(int cg, uint32_t reg, Placement at, uint8_t& value) const
{
    std::lock_guard lock(m_mutex);
    return m_registers.ReadClockGen(cg, reg, at, value);
}

int32_t CSimBoard::WriteClockGenReg(int cg, uint32_t reg, uint8_t mask, uint8_t value, Placement at)
{
    std::lock_guard lock(m_mutex);
    return m_registers.WriteClockGen(cg, reg, mask, value, at);
}

int32_t CSimBoard::RawRegRead(int bar, uint32_t reg, uint32_t& value)
{
    std::lock_guard lock(m_mutex);
    return m_registers.RawRead(bar, reg, m_settings, LiveLocked(), value);
}

int32_t CSimBoard::RawRegWrite(int bar, uint32_t reg, uint32_t value)
{
    std::lock_guard lock(m_mutex);
    return m_registers.RawWrite(bar, reg, value, m_settings);
}

int32_t CSimBoard::SetAdcOffsetAdjust(int channel, int value)
{
    std::lock_guard lock(m_mutex);
    return m_registers.SetAdcOffsetAdjust(channel, value);
}

int32_t CSimBoard::SetExtTriggerDelay(uint32_t taps)
{
    std::lock_guard lock(m_mutex);
    return m_registers.SetExtTriggerDelay(taps);
}

uint32_t CSimBoard::SdramDelay(int sdram) const
{
    std::lock_guard lock(m_mutex);
    return m_registers.SdramDelay(sdram);
}

uint32_t CSimBoard::ExtTriggerDelay() const
{
    std::lock_guard lock(m_mutex);
    return m_registers.ExtTriggerDelay();
}

} // namespace tq8
