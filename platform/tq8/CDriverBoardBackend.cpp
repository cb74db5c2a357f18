#include "CDriverBoardBackend.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <vector>
#include <cstring>
#include <limits>
#include <thread>

#include "CScanFirmwareTarget.h"
#include "CScanPortLink.h"
#include "CSimBoard.h"
#include "CSimClock.h"
#include "ChannelSelection.h"
#include "DeviceRegisterCodec.h"
#include "LocalBoardDescription.h"
#include "OffsetDac.h"
#include "ScanChain.h"
#include "TQ8_64.h"

namespace tq8 {

namespace {
constexpr uint32_t kKindDevice = 0;
constexpr uint32_t kKindClockGen0 = 1;
constexpr uint32_t kKindAdc0 = 3;
constexpr uint32_t kKindDriver = 6;
constexpr uint32_t kCancelPendingReset = 1u << 8; // driver word 0
constexpr uint32_t kClockGenPort[2] = {32, 48};
constexpr uint32_t kAdcPort[2] = {17, 18};
constexpr uint32_t kWholeGroup = 0xFFFFFFFF;
constexpr uint32_t kRawWindows = 4;
constexpr uint32_t kClockGenUpdate = 1u << 31;
constexpr uint32_t kSourceHardware = 2;
constexpr uint32_t kModeRegister = 11;
constexpr uint32_t kStatusRegister = 13;
constexpr uint32_t kBusyBits = 0x6;
constexpr uint32_t kOverflowBit = 1u << 8;
constexpr uint32_t kEmptyBit = 1u << 20;
// The synthesizer of clock generator 0: VCO = 10 MHz / R x (32 B + A),
// with R fixed at 100 by the driver's preset, straight to output 0.
constexpr uint32_t kPrescaler = 32;
constexpr double kStepsPerMHz = 10.0;
// (group, byte, chip register) of A, B low and B high.
constexpr uint32_t kRateBytes[3][3] = {{1, 3, 0x013}, {2, 0, 0x014}, {2, 1, 0x015}};
// Settings registers in the order the board takes them: the channel
// selection and clock before the memory region they bound.
constexpr uint32_t kWriteOrder[] = {6, 5, 0, 1, 2, 3, 4, 7, 8, 9, 10, 12};
constexpr uint32_t kRegionRegisters[] = {1, 2};
constexpr uint32_t kTimestampDepth = 2048;
constexpr uint32_t kTimestampChunk = 256;
constexpr int32_t kWaitForTransfer = 1;
// The driver reads at most 2046 windows of 16 KiB at once.
constexpr uint32_t kReadPiece = 1u << 24;
constexpr auto kPieceStopPoll = std::chrono::milliseconds(10);
constexpr auto kStopBound = std::chrono::seconds(1);
constexpr uint32_t kFifoFullBit = 1u << 9;
constexpr uint32_t kTriggerClockRegister = 5;
constexpr int kInputChannels = 4;
constexpr int kSingleChannelSelection = 5; // Ch1; Ch2 to Ch4 follow
constexpr int kExternalTrigger = 4;
constexpr uint32_t kProbeSamples = 16384;
constexpr int kCenterRounds = 4;

SettingId DcOffsetOf(int channel)
{
    return static_cast<SettingId>(static_cast<int>(SettingId::DcOffsetCh1) + channel);
}

int AcquisitionMode(AcqTarget target)
{
    switch (target) {
    case AcqTarget::Zab: return TQ8_MODE_ZAB_ACQ;
    case AcqTarget::RamToZab: return TQ8_MODE_RAM_READ_TO_ZAB;
    default: return TQ8_MODE_RAM_ACQ;
    }
}

wdm::TQ8_REG_READ_REQUEST ReadRequest(uint32_t kind, uint32_t index, uint32_t group, uint32_t chipRegister,
                                      bool hardware)
{
    wdm::TQ8_REG_READ_REQUEST r{};
    r.kind = kind;
    r.index = index;
    r.group = group;
    r.chipRegister = chipRegister;
    r.source = hardware ? kSourceHardware : 0;
    return r;
}
} // namespace

std::shared_ptr<CDriverBoardBackend> CDriverBoardBackend::Open(std::shared_ptr<CLocalBus> bus,
                                                               const kern::KernelString& link,
                                                               const SharedFor& sharedFor, int32_t* rc)
{
    auto backend = std::make_shared<CDriverBoardBackend>(std::move(bus), link);
    backend->m_sharedFor = sharedFor;
    *rc = backend->m_link.Open(link);
    wdm::TQ8_CONFIG_CACHE cache{};
    if (*rc == TQ8_OK)
        *rc = backend->m_link.ConfigCache(cache);
    if (*rc != TQ8_OK)
        return nullptr;
    backend->m_desc = LocalBoardDescription(cache, backend->m_link.Serial(), backend->m_link.DriverVersion());
    if (!IsPlausible(backend->m_desc)) {
        *rc = TQ8_ERR_EEPROM_INVALID;
        return nullptr;
    }
    backend->m_shared = sharedFor(backend->m_desc);
    std::lock_guard lock(backend->m_shared->mutex);
    if (!backend->m_shared->written) {
        // The driver starts the board on its own presets: the first handle
        // brings it to the library's settings.
        const CBoardSettings& s = backend->m_shared->settings;
        *rc = backend->WriteDifference(s, s, true);
        if (*rc != TQ8_OK)
            return nullptr;
        backend->m_shared->written = true;
    }
    return backend;
}

CDriverBoardBackend::CDriverBoardBackend(std::shared_ptr<CLocalBus> bus, kern::KernelString link)
    : m_bus(std::move(bus)), m_linkName(std::move(link)), m_link(m_bus->Process())
{
}

CDriverBoardBackend::~CDriverBoardBackend()
{
    if (m_pieceReader.joinable())
        StopPieces();
    if (m_streamView != nullptr)
        m_link.FreeDmaBuffer(m_streamView);
    m_link.Close();
}

std::shared_ptr<IBoardBackend> CDriverBoardBackend::Reopen()
{
    int32_t rc = TQ8_OK;
    return Open(m_bus, m_linkName, m_sharedFor, &rc);
}

int32_t CDriverBoardBackend::ReadEeprom(uint32_t first, uint16_t* words, uint32_t count) const
{
    if (words == nullptr || count == 0)
        return TQ8_ERR_INVALID_ARG;
    if (first >= kEepromWords || count > kEepromWords - first)
        return TQ8_ERR_OUT_OF_BOUNDS;
    for (uint32_t i = 0; i < count; ++i)
        if (const int32_t rc = m_link.ReadEeprom(first + i, words[i]); rc != TQ8_OK)
            return rc;
    return TQ8_OK;
}

int32_t CDriverBoardBackend::WriteEeprom(uint32_t first, const uint16_t* words, uint32_t count)
{
    if (words == nullptr || count == 0)
        return TQ8_ERR_INVALID_ARG;
    if (first >= kEepromWords || count > kEepromWords - first)
        return TQ8_ERR_OUT_OF_BOUNDS;
    for (uint32_t i = 0; i < count; ++i)
        if (const int32_t rc = m_link.WriteEeprom(first + i, words[i]); rc != TQ8_OK)
            return rc;
    return TQ8_OK;
}

// The driver keeps its own copy of the registers; from the hardware, each
// readable register is read back into that copy, and the library's typed
// copy takes what the registers say.
int32_t CDriverBoardBackend::RefreshRegisterCache(bool fromHardware)
{
    DeviceRegisterImage image{};
    for (uint32_t reg = 0; reg < kDeviceRegCount; ++reg)
        if (const int32_t rc = ReadKind(kKindDevice, reg, 0, 0, fromHardware, image[reg]); rc != TQ8_OK)
            return rc;
    std::lock_guard lock(m_shared->mutex);
    CBoardSettings copy = m_shared->settings;
    for (uint32_t reg : kWriteOrder)
        if (reg < kDeviceRegCount && MirroredBits(reg) != 0)
            DecodeRegister(image, reg, copy);
    m_shared->settings = copy;
    return TQ8_OK;
}

template <class Change>
int32_t CDriverBoardBackend::Update(Change&& change)
{
    std::lock_guard lock(m_shared->mutex);
    CBoardSettings after = m_shared->settings;
    const int32_t rc = change(after);
    if (rc != TQ8_OK)
        return rc;
    const int32_t written = WriteDifference(m_shared->settings, after, false);
    // What reached the board is what the copy says, even on a failure half
    // way: a later rewrite sends the rest.
    if (written == TQ8_OK)
        m_shared->settings = after;
    return written;
}

int32_t CDriverBoardBackend::WriteDifference(const CBoardSettings& before, const CBoardSettings& after, bool all)
{
    DeviceRegisterImage was{}, now{};
    EncodeSettings(before, was);
    EncodeSettings(after, now);
    for (uint32_t reg : kWriteOrder) {
        const uint32_t mask = MirroredBits(reg);
        if (mask == 0 || (!all && ((was[reg] ^ now[reg]) & mask) == 0))
            continue;
        if (const int32_t rc = m_link.WriteRegister(kKindDevice, reg, mask, now[reg]); rc != TQ8_OK)
            return rc;
    }
    if (const int32_t rc = WriteDcOffsets(before, after, all); rc != TQ8_OK)
        return rc;
    const double rate = after.Get(SettingId::InternalAdcClockRate);
    if (all || rate != before.Get(SettingId::InternalAdcClockRate))
        if (const int32_t rc = WriteRate(rate); rc != TQ8_OK)
            return rc;
    return WriteClockManagerReset(before, after, all);
}

// The driver resets the clock managers before the next acquisition once
// told the clock changed, unless its override bit is set.
int32_t CDriverBoardBackend::WriteClockManagerReset(const CBoardSettings& before, const CBoardSettings& after,
                                                    bool all)
{
    const SettingId override = SettingId::AutoDcmResetOverride;
    if (all || before.GetInt(override) != after.GetInt(override)) {
        const uint32_t cancel = after.GetInt(override) != 0 ? kCancelPendingReset : 0u;
        if (const int32_t rc = m_link.WriteRegister(kKindDriver, 0, kCancelPendingReset, cancel); rc != TQ8_OK)
            return rc;
    }
    bool changed = false;
    for (int i = 0; i < kSettingCount && !changed; ++i) {
        const auto id = static_cast<SettingId>(i);
        changed = ChangesAdcClock(id) && before.Get(id) != after.Get(id);
    }
    if (!changed)
        return TQ8_OK;
    const uint32_t pending = 1;
    return m_link.Control(wdm::IOCTL_TQ8_SET_DCM_RESET_PENDING, &pending, sizeof pending, nullptr, 0);
}

// The DAC's register is written as given; the driver keeps no copy of it.
int32_t CDriverBoardBackend::WriteDcOffsets(const CBoardSettings& before, const CBoardSettings& after, bool all)
{
    for (int c = 0; c < kInputChannels; ++c) {
        const SettingId id = DcOffsetOf(c);
        if (!all && before.GetUInt(id) == after.GetUInt(id))
            continue;
        if (const int32_t rc = m_link.WriteRegister(kKindDevice, kOffsetDacRegister, 0xFFFFFFFFu,
                                                    OffsetDacWord(c, after.GetUInt(id)));
            rc != TQ8_OK)
            return rc;
    }
    return TQ8_OK;
}

int32_t CDriverBoardBackend::WriteRate(double mhz)
{
    const auto steps = static_cast<uint32_t>(std::lround(mhz * kStepsPerMHz));
    const uint32_t b = steps / kPrescaler;
    const uint32_t values[3] = {steps % kPrescaler, b & 0xFF, (b >> 8) & 0x1F};
    for (int i = 0; i < 3; ++i) {
        const uint32_t update = i == 2 ? kClockGenUpdate : 0u;
        const Placement at{kRateBytes[i][0], kRateBytes[i][1]};
        if (const int32_t rc = WriteChip(kKindClockGen0, kClockGenPort[0], at, kRateBytes[i][2] | update, 0xFF, values[i]);
            rc != TQ8_OK)
            return rc;
    }
    return TQ8_OK;
}

int32_t CDriverBoardBackend::Set(SettingId id, double value)
{
    return Update([&](CBoardSettings& s) { return s.Set(id, value); });
}

double CDriverBoardBackend::Get(SettingId id) const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->settings.Get(id);
}

int32_t CDriverBoardBackend::SetExtDividers(int32_t d1, int32_t d2)
{
    return Update([&](CBoardSettings& s) { return s.SetExtDividers(d1, d2); });
}

int32_t CDriverBoardBackend::SetMemoryRegion(uint32_t count, uint32_t start)
{
    return Update([&](CBoardSettings& s) { return s.SetMemoryRegion(count, start); });
}

int32_t CDriverBoardBackend::SetProcessingParam(uint16_t index, uint16_t value)
{
    return Update([&](CBoardSettings& s) { return s.SetProcessingParam(index, value); });
}

int32_t CDriverBoardBackend::LoadFir(FirBank bank, const int16_t* taps, size_t count)
{
    return Update([&](CBoardSettings& s) { return s.LoadFir(bank, taps, count); });
}

CBoardSettings CDriverBoardBackend::Settings() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->settings;
}

int32_t CDriverBoardBackend::ApplySettings(const CBoardSettings& settings)
{
    return Update([&](CBoardSettings& s) { return s.CopyFrom(settings); });
}

void CDriverBoardBackend::SetDefaults()
{
    Update([](CBoardSettings& s) {
        s.SetDefaults();
        return TQ8_OK;
    });
}

int32_t CDriverBoardBackend::RewriteSettings()
{
    std::lock_guard lock(m_shared->mutex);
    return WriteDifference(m_shared->settings, m_shared->settings, true);
}

// The library sees the inputs only through acquisitions: each channel is
// acquired on its own, software-triggered, and its DC offset moved by the
// distance of its mean from the target. Clipped samples pull a first
// estimate short, hence a few rounds. The probes overwrite the start of
// sample memory; their time-stamps are dropped.
int32_t CDriverBoardBackend::CenterSignal(int channel, int target)
{
    const int inputs = m_desc.InputChannels();
    if (channel < 0 || channel > inputs || target < 0 || target > 255)
        return TQ8_ERR_INVALID_ARG;
    if (!IsIdle())
        return TQ8_ERR_BUSY;
    std::lock_guard lock(m_shared->mutex);
    DrainTimestampsLocked();
    const size_t keptTimestamps = m_shared->timestamps.size();
    CBoardSettings result = m_shared->settings;
    CBoardSettings onBoard = result;
    const int first = channel == 0 ? 0 : channel - 1;
    const int last = channel == 0 ? inputs - 1 : channel - 1;
    int32_t rc = TQ8_OK;
    for (int c = first; c <= last && rc == TQ8_OK; ++c)
        rc = CenterChannel(c, target, onBoard, result);
    const int32_t back = WriteDifference(onBoard, result, false);
    if (back == TQ8_OK)
        m_shared->settings = result;
    DrainTimestampsLocked();
    m_shared->timestamps.resize(keptTimestamps);
    return rc != TQ8_OK ? rc : back;
}

int32_t CDriverBoardBackend::CenterChannel(int channel, int target, CBoardSettings& onBoard, CBoardSettings& result)
{
    CBoardSettings probe = result;
    probe.Set(SettingId::RouteToSdram2Enable, 0);
    probe.Set(SettingId::ActiveChannels, kSingleChannelSelection + channel);
    probe.Set(SettingId::TriggerSource, kExternalTrigger);
    probe.Set(SettingId::TriggerMode, 0);
    probe.Set(SettingId::AdcClockSource, 0);
    probe.Set(SettingId::PreTriggerSamples, 0);
    probe.Set(SettingId::TriggerDelaySamples, 0);
    probe.Set(SettingId::BoardProcessingEnable, 0);
    probe.SetMemoryRegion(kProbeSamples, 0);
    const SettingId offset = DcOffsetOf(channel);
    for (int round = 0; round < kCenterRounds; ++round) {
        if (const int32_t rc = WriteDifference(onBoard, probe, false); rc != TQ8_OK)
            return rc;
        onBoard = probe;
        double mean = 0;
        if (const int32_t rc = ProbeMean(mean); rc != TQ8_OK)
            return rc;
        const double code = probe.Get(offset);
        const double next = std::clamp(std::round(code + (target - mean) * kOffsetDacStepsPerCode), 0.0, 4095.0);
        if (next == code)
            break;
        probe.Set(offset, next);
        result.Set(offset, next);
    }
    return TQ8_OK;
}

// One acquisition of the probe settings on the board, and its mean code.
int32_t CDriverBoardBackend::ProbeMean(double& mean)
{
    int32_t rc = m_link.StartAcquisition(TQ8_MODE_RAM_ACQ);
    if (rc == TQ8_OK)
        rc = m_link.SoftwareTrigger();
    if (rc == TQ8_OK)
        rc = m_link.WaitAcquisition();
    std::vector<uint8_t> samples(kProbeSamples);
    if (rc == TQ8_OK)
        rc = ReadPieces(0, kProbeSamples, samples.data(), nullptr);
    mean = std::accumulate(samples.begin(), samples.end(), 0.0) / kProbeSamples;
    return rc;
}

int32_t CDriverBoardBackend::Acquire(AcqTarget target, uint32_t start, uint32_t count,
                                     const std::atomic<bool>* closed)
{
    if (count == 0)
        return TQ8_ERR_INVALID_ARG;
    if (target != AcqTarget::Ram && (m_desc.features & TQ8_FEATURE_ZAB) == 0)
        return TQ8_ERR_NOT_SUPPORTED;
    std::unique_lock lock(m_shared->mutex);
    if (m_shared->calibrating)
        return TQ8_ERR_BUSY;
    const CBoardSettings& s = m_shared->settings;
    const int sel = s.GetInt(SettingId::ActiveChannels);
    if (target != AcqTarget::Zab && uint64_t{start} + count > s.MaxSamples(sel))
        return TQ8_ERR_OUT_OF_BOUNDS;
    if (count < static_cast<uint32_t>(ChannelCount(sel)))
        return TQ8_ERR_INVALID_ARG;
    // The card acquires the region its registers hold: this one, for now.
    CBoardSettings region = s;
    int32_t rc = region.SetMemoryRegion(count, start);
    if (rc == TQ8_OK)
        rc = WriteDifference(s, region, false);
    // A sample-RAM read leaves its read window in the region registers:
    // those the difference skipped are written all the same.
    DeviceRegisterImage held{}, wanted{};
    EncodeSettings(s, held);
    EncodeSettings(region, wanted);
    for (uint32_t reg : kRegionRegisters)
        if (rc == TQ8_OK && ((held[reg] ^ wanted[reg]) & MirroredBits(reg)) == 0)
            rc = m_link.WriteRegister(kKindDevice, reg, MirroredBits(reg), wanted[reg]);
    m_acquiring = true;
    if (rc == TQ8_OK && closed != nullptr && closed->load())
        rc = TQ8_ERR_CANCELLED;
    if (rc == TQ8_OK) {
        m_shared->timestamps.clear();
        rc = m_link.StartAcquisition(static_cast<uint32_t>(AcquisitionMode(target)));
    }
    lock.unlock();
    // A close between the check above and the start has found no
    // acquisition to end yet: end it here.
    if (rc == TQ8_OK && closed != nullptr && closed->load())
        m_link.SetMode(TQ8_MODE_STANDBY);
    if (rc == TQ8_OK)
        rc = m_link.WaitAcquisition();
    m_acquiring = false;
    // A handle closed during the wait leaves the board idle for the others.
    if (rc == TQ8_ERR_CANCELLED && closed != nullptr && closed->load()) {
        m_link.SetMode(TQ8_MODE_STANDBY);
        WaitUntilStopped();
    }
    lock.lock();
    DeviceRegisterImage was{}, now{};
    EncodeSettings(region, was);
    EncodeSettings(m_shared->settings, now);
    for (uint32_t reg : kRegionRegisters)
        if (was[reg] != now[reg])
            m_link.WriteRegister(kKindDevice, reg, MirroredBits(reg), now[reg]);
    return rc;
}

void CDriverBoardBackend::WakeWaiters()
{
    m_link.Cancel();
    // The wait may not be pending yet, and then nothing was cancelled: a
    // standby ends the acquisition, and a later wait returns at once.
    if (m_acquiring.load())
        m_link.SetMode(TQ8_MODE_STANDBY);
}

int32_t CDriverBoardBackend::AcquireInEpoch(AcqTarget target, uint32_t start, uint32_t count, uint64_t epoch)
{
    if (epoch != StandbyEpoch())
        return TQ8_ERR_CANCELLED;
    return Acquire(target, start, count, nullptr);
}

int32_t CDriverBoardBackend::SetMode(int mode)
{
    if (mode < TQ8_MODE_POWER_DOWN || mode > TQ8_MODE_PCI_WRITE_TO_RAM || mode == TQ8_MODE_RESERVED)
        return TQ8_ERR_INVALID_ARG;
    if (mode > TQ8_MODE_STANDBY)
        return m_link.SetMode(static_cast<uint32_t>(mode));
    ++m_shared->standbys;
    // A standby drops this handle's read: its pieces stop.
    if (m_pieceReader.joinable())
        StopPieces();
    const int32_t rc = m_link.SetMode(static_cast<uint32_t>(mode));
    m_readPending = false;
    if (rc == TQ8_OK)
        WaitUntilStopped();
    return rc;
}

// The card winds a running acquisition down after the switch; the caller
// of a standby expects an idle board when it returns.
void CDriverBoardBackend::WaitUntilStopped() const
{
    const auto end = std::chrono::steady_clock::now() + kStopBound;
    while ((StatusWord() & kBusyBits) != 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::microseconds(100));
}

int CDriverBoardBackend::Mode() const
{
    uint32_t value = 0;
    return ReadKind(kKindDevice, kModeRegister, 0, 0, true, value) == TQ8_OK ? static_cast<int>(value & 0xF)
                                                                           : TQ8_MODE_STANDBY;
}

void CDriverBoardBackend::SoftwareTrigger() { m_link.SoftwareTrigger(); }

uint32_t CDriverBoardBackend::StatusWord() const
{
    uint32_t value = 0;
    ReadKind(kKindDevice, kStatusRegister, 0, 0, true, value);
    return value;
}

bool CDriverBoardBackend::IsIdle() const
{
    uint32_t state = 0;
    return m_link.State(state) == TQ8_OK && state == wdm::TQ8_STATE_IDLE && (StatusWord() & kBusyBits) == 0;
}

bool CDriverBoardBackend::SamplesComplete() const
{
    wdm::TQ8_DRIVER_STATS stats{};
    return m_link.Stats(false, stats) == TQ8_OK && stats.samplesCompleteInterrupts > 0 && IsIdle();
}

bool CDriverBoardBackend::FifoFull() const { return (StatusWord() & kFifoFullBit) != 0; }

int32_t CDriverBoardBackend::SyncClocks(bool resetClockModules)
{
    if (!resetClockModules)
        return TQ8_OK;
    return m_link.Control(wdm::IOCTL_TQ8_RESET_DCMS, nullptr, 0, nullptr, 0);
}

// The converter's calibration bit (bit 15 of its register 0), held while
// the chip trims and cleared again; the board takes no acquisition meanwhile.
int32_t CDriverBoardBackend::CalibrateAdc(int adc)
{
    if (adc != 0 && adc != 1)
        return TQ8_ERR_INVALID_ARG;
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->calibrating || !IsIdle())
            return TQ8_ERR_BUSY;
        m_shared->calibrating = true;
    }
    int32_t rc = WriteAdcReg(adc, 0, 0x8000, 0x8000, Placement{0, 0});
    if (rc == TQ8_OK) {
        std::this_thread::sleep_for(CSimClock::ToWall(CSimBoard::kAdcCalibrationSeconds));
        rc = WriteAdcReg(adc, 0, 0x8000, 0, Placement{0, 0});
    }
    m_shared->calibrating = false;
    return rc;
}

DriverCounters CDriverBoardBackend::ReadDriverStats(bool reset)
{
    wdm::TQ8_DRIVER_STATS stats{};
    DriverCounters c;
    if (m_link.Stats(reset, stats) != TQ8_OK)
        return c;
    c.interrupts = stats.interrupts;
    c.dmaCompleted = stats.dmaCompleteInterrupts;
    c.dmaStarted = stats.dmaTransfersStarted;
    c.acquisitionsStarted = stats.acquisitionsStarted;
    c.acquisitionsCompleted = stats.samplesCompleteInterrupts;
    c.clockModuleResets = stats.clockManagerResets;
    c.bytesTransferred = stats.bytesMoved;
    c.openHandles = static_cast<int32_t>(stats.openHandles);
    return c;
}

int32_t CDriverBoardBackend::ReadPieces(uint32_t first, uint32_t count, uint8_t* dst, const std::atomic<bool>* stop)
{
    for (uint32_t done = 0; done < count;) {
        if (stop != nullptr && stop->load())
            return TQ8_ERR_CANCELLED;
        const uint32_t n = std::min(count - done, kReadPiece);
        if (const int32_t rc = m_link.ReadSampleRam(first + done, n, dst + done, false); rc != TQ8_OK)
            return rc;
        done += n;
    }
    return TQ8_OK;
}

int32_t CDriverBoardBackend::ReadRam(uint32_t first, uint32_t count, uint8_t* dst)
{
    if (dst == nullptr || count == 0)
        return TQ8_ERR_INVALID_ARG;
    if (uint64_t{first} + count > m_desc.ramSize)
        return TQ8_ERR_OUT_OF_BOUNDS;
    return ReadPieces(first, count, dst, nullptr);
}

int32_t CDriverBoardBackend::StartReadRam(uint32_t first, uint32_t count, uint8_t* dst)
{
    if (count == 0)
        return TQ8_OK;
    if (dst == nullptr)
        return TQ8_ERR_INVALID_ARG;
    if (uint64_t{first} + count > m_desc.ramSize)
        return TQ8_ERR_OUT_OF_BOUNDS;
    if (m_readPending || m_pieceReader.joinable())
        return TQ8_ERR_BUSY;
    if (count <= kReadPiece) {
        const int32_t rc = m_link.ReadSampleRam(first, count, dst, true);
        m_readPending = rc == TQ8_OK;
        return rc;
    }
    m_stopPieces = false;
    m_piecesFinished = false;
    m_pieceReader = std::thread([this, first, count, dst] {
        const int32_t rc = ReadPieces(first, count, dst, &m_stopPieces);
        std::lock_guard lock(m_pieceMutex);
        m_piecesResult = rc;
        m_piecesFinished = true;
        m_pieceDone.notify_all();
    });
    return TQ8_OK;
}

int32_t CDriverBoardBackend::WaitPieces(uint32_t timeoutMs)
{
    bool finished = false;
    {
        std::unique_lock lock(m_pieceMutex);
        const auto done = [this] { return m_piecesFinished; };
        if (timeoutMs == UINT32_MAX)
            m_pieceDone.wait(lock, done);
        finished = timeoutMs == UINT32_MAX || m_pieceDone.wait_for(lock, std::chrono::milliseconds(timeoutMs), done);
    }
    // Nothing may land in the caller's buffer once this returns.
    if (!finished)
        StopPieces();
    else
        m_pieceReader.join();
    return finished ? m_piecesResult : TQ8_ERR_TIMEOUT;
}

// A piece may start just after a switch to mode 1 has ended the one before:
// the switch is repeated until the reader has seen the stop.
void CDriverBoardBackend::StopPieces()
{
    m_stopPieces = true;
    std::unique_lock lock(m_pieceMutex);
    do {
        lock.unlock();
        m_link.SetMode(TQ8_MODE_STANDBY);
        lock.lock();
    } while (!m_pieceDone.wait_for(lock, kPieceStopPoll, [this] { return m_piecesFinished; }));
    lock.unlock();
    m_pieceReader.join();
}

int32_t CDriverBoardBackend::StartPciAcquisition(uint32_t bytes, uint8_t* dst)
{
    if (dst == nullptr || bytes == 0)
        return TQ8_ERR_INVALID_ARG;
    std::lock_guard lock(m_streamMutex);
    if (m_streamDst != nullptr)
        return TQ8_ERR_BUSY;
    if (m_streamCapacity < bytes) {
        if (m_streamView != nullptr)
            m_link.FreeDmaBuffer(m_streamView);
        m_streamView = nullptr;
        m_streamCapacity = 0;
        if (const int32_t rc = m_link.AllocDmaBuffer(bytes, m_streamView); rc != TQ8_OK)
            return rc;
        m_streamCapacity = bytes;
    }
    wdm::TQ8_DMA_XFER_REQUEST q{sizeof q, bytes, reinterpret_cast<uint64_t>(m_streamView), 1, 1};
    const int32_t rc = m_link.Control(wdm::IOCTL_TQ8_START_DMA_XFER, &q, sizeof q, nullptr, 0);
    if (rc == TQ8_OK) {
        m_streamDst = dst;
        m_streamBytes = bytes;
    }
    return rc;
}

int32_t CDriverBoardBackend::WaitStream(uint32_t timeoutMs)
{
    std::lock_guard lock(m_streamMutex);
    wdm::TQ8_WAIT_REQUEST q{sizeof q, kWaitForTransfer, timeoutMs == UINT32_MAX ? 0 : timeoutMs, 0};
    const int32_t rc = m_link.Control(wdm::IOCTL_TQ8_WAIT_COMPLETE, &q, sizeof q, nullptr, 0);
    // On a time-out the transfer runs on into the driver's buffer only.
    if (rc == TQ8_ERR_TIMEOUT)
        return rc;
    if (rc == TQ8_OK)
        std::memcpy(m_streamDst, m_streamView, m_streamBytes);
    m_streamDst = nullptr;
    return rc;
}

int32_t CDriverBoardBackend::WaitTransfer(uint32_t timeoutMs)
{
    if (m_pieceReader.joinable())
        return WaitPieces(timeoutMs);
    if (m_streamDst != nullptr)
        return WaitStream(timeoutMs);
    if (!m_readPending)
        return m_link.IsRemoved() ? TQ8_ERR_DEVICE_REMOVED : TQ8_OK;
    const int32_t rc = m_link.WaitRead(timeoutMs == UINT32_MAX ? 0 : timeoutMs);
    m_readPending = false;
    return rc;
}

uint32_t CDriverBoardBackend::TimestampDepth() const { return kTimestampDepth; }

void CDriverBoardBackend::DrainTimestampsLocked() const
{
    uint64_t chunk[kTimestampChunk];
    for (uint32_t round = 0; round < kTimestampDepth / kTimestampChunk + 1; ++round) {
        uint32_t n = 0;
        if (m_link.ReadTimestamps(chunk, kTimestampChunk, n, true) != TQ8_OK || n == 0)
            return;
        m_shared->timestamps.insert(m_shared->timestamps.end(), chunk, chunk + n);
    }
}

uint32_t CDriverBoardBackend::TimestampsAvailable() const
{
    std::lock_guard lock(m_shared->mutex);
    DrainTimestampsLocked();
    return static_cast<uint32_t>(m_shared->timestamps.size());
}

bool CDriverBoardBackend::TimestampOverflow() const { return (StatusWord() & kOverflowBit) != 0; }

int32_t CDriverBoardBackend::ReadTimestamps(uint64_t* dst, uint32_t max, uint32_t* count, bool evenAfterOverflow)
{
    if (dst == nullptr || count == nullptr || max == 0)
        return TQ8_ERR_INVALID_ARG;
    if (!evenAfterOverflow && TimestampOverflow())
        return TQ8_ERR_OUT_OF_BOUNDS;
    std::lock_guard lock(m_shared->mutex);
    DrainTimestampsLocked();
    auto& queue = m_shared->timestamps;
    *count = static_cast<uint32_t>(std::min<size_t>(max, queue.size()));
    std::copy_n(queue.begin(), *count, dst);
    queue.erase(queue.begin(), queue.begin() + *count);
    return m_link.IsRemoved() ? TQ8_ERR_DEVICE_REMOVED : TQ8_OK;
}

void CDriverBoardBackend::ResetTimestampFifo()
{
    std::lock_guard lock(m_shared->mutex);
    DrainTimestampsLocked();
    m_shared->timestamps.clear();
}

void CDriverBoardBackend::ResetTimestampCounter() {}

int32_t CDriverBoardBackend::ReadKind(uint32_t kind, uint32_t index, uint32_t group, uint32_t chipRegister,
                                      bool hardware, uint32_t& value) const
{
    return m_link.ReadRegister(ReadRequest(kind, index, group, chipRegister, hardware), value);
}

// Set 0 the device registers, 1 and 2 the clock generators' images by whole
// group, 3 and 4 the converters' shadow words.
int32_t CDriverBoardBackend::ReadRegisterSet(int set, uint32_t* words)
{
    if (set < 0 || set > 4 || words == nullptr)
        return TQ8_ERR_INVALID_ARG;
    const uint32_t n = CBoardRegisters::SetWords(set);
    for (uint32_t i = 0; i < n; ++i) {
        int32_t rc = TQ8_OK;
        if (set == 0)
            rc = ReadKind(kKindDevice, i, 0, 0, false, words[i]);
        else if (set <= 2)
            rc = ReadKind(static_cast<uint32_t>(set), kClockGenPort[set - 1], i, kWholeGroup, false, words[i]);
        else
            rc = ReadKind(static_cast<uint32_t>(set), kAdcPort[set - 3], i, 0, false, words[i]);
        if (rc != TQ8_OK)
            return rc;
    }
    return TQ8_OK;
}

int32_t CDriverBoardBackend::ReadDeviceReg(uint32_t reg, uint32_t& value)
{
    return ReadKind(kKindDevice, reg, 0, 0, false, value);
}

int32_t CDriverBoardBackend::WriteDeviceReg(uint32_t reg, uint32_t mask, uint32_t value)
{
    if (reg >= kDeviceRegSetWords)
        return TQ8_ERR_OUT_OF_BOUNDS;
    // The mode goes through the operating-mode call; 13..15 are live.
    if (reg == kModeRegister || reg >= kStatusRegister)
        return TQ8_ERR_INVALID_ARG;
    std::lock_guard lock(m_shared->mutex);
    DeviceRegisterImage image{};
    EncodeSettings(m_shared->settings, image);
    image[reg] = (image[reg] & ~mask) | (value & mask);
    CBoardSettings after = m_shared->settings;
    if (reg < kDeviceRegCount && MirroredBits(reg) != 0)
        if (const int32_t rc = DecodeRegister(image, reg, after); rc != TQ8_OK)
            return rc;
    const int32_t rc = m_link.WriteRegister(kKindDevice, reg, mask, value);
    if (rc == TQ8_OK)
        m_shared->settings = after;
    return rc;
}

int32_t CDriverBoardBackend::WriteAdcReg(int adc, uint32_t reg, uint32_t mask, uint16_t value, Placement at)
{
    const auto placement = AdcPlacement(reg);
    if ((adc != 0 && adc != 1) || !placement || *placement != at)
        return TQ8_ERR_INVALID_ARG;
    return WriteChip(kKindAdc0 + static_cast<uint32_t>(adc), kAdcPort[adc], at, reg, mask, value);
}

int32_t CDriverBoardBackend::ReadClockGenReg(int cg, uint32_t reg, Placement at, uint8_t& value)
{
    const auto placement = ClockGenPlacement(reg);
    if ((cg != 0 && cg != 1) || !placement || *placement != at)
        return TQ8_ERR_INVALID_ARG;
    wdm::TQ8_REG_READ_REQUEST q = ReadRequest(kKindClockGen0 + static_cast<uint32_t>(cg), kClockGenPort[cg], at.first,
                                              reg, false);
    q.byte = at.second;
    uint32_t word = 0;
    const int32_t rc = m_link.ReadRegister(q, word);
    value = static_cast<uint8_t>(word);
    return rc;
}

int32_t CDriverBoardBackend::WriteClockGenReg(int cg, uint32_t reg, uint8_t mask, uint8_t value, Placement at)
{
    const auto placement = ClockGenPlacement(reg);
    if ((cg != 0 && cg != 1) || !placement || *placement != at)
        return TQ8_ERR_INVALID_ARG;
    return WriteChip(kKindClockGen0 + static_cast<uint32_t>(cg), kClockGenPort[cg], at, reg | kClockGenUpdate, mask,
                     value);
}

int32_t CDriverBoardBackend::WriteChip(uint32_t kind, uint32_t port, Placement at, uint32_t chipRegister, uint32_t mask,
                                       uint32_t value)
{
    wdm::TQ8_REG_WRITE_REQUEST q{};
    q.recordSize = sizeof q;
    q.kind = kind;
    q.index = port;
    q.group = at.first;
    q.byte = at.second;
    q.chipRegister = chipRegister;
    q.mask = mask;
    q.value = value;
    return m_link.Control(wdm::IOCTL_TQ8_WRITE_REG, q);
}

// The same codes as on a simulated board: a window that cannot exist is a
// bad argument, an index beyond its window (the driver refuses it as a value
// out of range) is out of bounds.
int32_t CDriverBoardBackend::RawAccess(int bar, uint32_t reg, const std::function<int32_t(int32_t)>& access)
{
    if (bar < 0 || bar >= static_cast<int>(kRawWindows))
        return TQ8_ERR_INVALID_ARG;
    if (reg > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
        return TQ8_ERR_OUT_OF_BOUNDS;
    const int32_t rc = access(static_cast<int32_t>(reg));
    return rc == TQ8_ERR_INVALID_ARG ? TQ8_ERR_OUT_OF_BOUNDS : rc;
}

int32_t CDriverBoardBackend::RawRegRead(int bar, uint32_t reg, uint32_t& value)
{
    return RawAccess(bar, reg, [&](int32_t index) { return m_link.RawRead(bar, index, value); });
}

int32_t CDriverBoardBackend::RawRegWrite(int bar, uint32_t reg, uint32_t value)
{
    return RawAccess(bar, reg, [&](int32_t index) { return m_link.RawWrite(bar, index, value); });
}

std::unique_ptr<IFirmwareTarget> CDriverBoardBackend::FirmwareTarget()
{
    return std::make_unique<CScanFirmwareTarget>(m_link, ScanChainIdCodes(m_desc.fpgaType).size());
}

int32_t CDriverBoardBackend::RunningFirmware(FirmwarePart part, std::optional<FirmwareVersion>& version)
{
    return CScanFirmwareTarget::Running(m_link, part, version);
}

// From Test-Logic-Reset (every part then holds its identification code)
// into Shift-DR, and the whole chain's length captured with ones fed in
// behind the codes. The codes end where the ones (or a cut-off chain's
// zeros) begin: every identification code has bit 0 set.
int32_t CDriverBoardBackend::ReadScanChain(std::vector<uint32_t>& ids)
{
    ids.clear();
    CScanPortLink port(m_link);
    if (const int32_t rc = port.Claim(); rc != TQ8_OK)
        return rc;
    std::vector<bool> captured;
    int32_t rc = port.ResetPort();
    if (rc == TQ8_OK)
        rc = port.Steps({true, false, false}); // select DR, capture, shift
    if (rc == TQ8_OK)
        rc = port.Shift(std::vector<bool>(32 * kMaxScanChainParts, true), true, &captured);
    const int32_t released = port.Release();
    if (rc != TQ8_OK || released != TQ8_OK)
        return rc != TQ8_OK ? rc : released;
    for (size_t part = 0; part < kMaxScanChainParts; ++part) {
        uint32_t id = 0;
        for (size_t k = 0; k < 32; ++k)
            id |= uint32_t{captured[part * 32 + k] ? 1u : 0u} << k;
        if ((id & 1) == 0 || id == 0xFFFFFFFF)
            break;
        ids.push_back(id);
    }
    return TQ8_OK;
}

// Even channels are the I side of their converter (register 2), odd ones
// the Q side (register 10); sign and magnitude in bits 7 and 8-15.
int32_t CDriverBoardBackend::SetAdcOffsetAdjust(int channel, int value)
{
    if (channel < 0 || channel >= kInputChannels || value < -kMaxAdcOffsetAdjust || value > kMaxAdcOffsetAdjust)
        return TQ8_ERR_INVALID_ARG;
    const int adc = channel / 2;
    const uint32_t reg = channel % 2 == 0 ? 2 : 10;
    const auto word = static_cast<uint16_t>((value < 0 ? 0x80u : 0u) | static_cast<uint32_t>(std::abs(value)) << 8);
    return WriteAdcReg(adc, reg, 0xFF80, word, *AdcPlacement(reg));
}

// The delay line of the external trigger: a reset pulse, then one pulse per
// tap, as masked writes of register 5.
int32_t CDriverBoardBackend::SetExtTriggerDelay(uint32_t taps)
{
    if (taps > kMaxIdelayTaps)
        return TQ8_ERR_INVALID_ARG;
    const auto pulse = [this](uint32_t bit) {
        const int32_t rc = m_link.WriteRegister(kKindDevice, kTriggerClockRegister, bit, bit);
        return rc == TQ8_OK ? m_link.WriteRegister(kKindDevice, kTriggerClockRegister, bit, 0) : rc;
    };
    int32_t rc = pulse(kExtTriggerDelayReset);
    for (uint32_t i = 0; i < taps && rc == TQ8_OK; ++i)
        rc = pulse(kExtTriggerDelayStep);
    return rc;
}

} // namespace tq8
