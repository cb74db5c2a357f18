#include "CSimCard.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "ClockGenRate.h"
#include "ConfigImage.h"
#include "ScanChain.h"
#include "TQ8Codes.h"

namespace tq8 {

namespace {

uint32_t EepromWord(const CSimBoard& board, uint32_t word)
{
    uint16_t value = 0;
    board.ReadEeprom(word, &value, 1);
    return value;
}

constexpr uint32_t kReadStartRegister = 2;
constexpr uint32_t kConverterControl = 6;
constexpr uint32_t kModeRegister = 11;
constexpr uint32_t kTriggerRegister = 4;
constexpr uint32_t kSoftwareTrigger = 1u << 23;
constexpr uint32_t kTimestampHigh = 14;
constexpr uint32_t kTimestampLow = 15;
constexpr uint32_t kBusyBits = 0x6;
constexpr uint32_t kDeviceRegisters = 14; // 0..13 carry settings

// Sample positions per read-window unit: 1 for the one-SDRAM channel codes.
uint32_t UnitFactor(uint32_t code)
{
    switch (code) {
    case 2: case 3: case 8: case 9: case 10: case 11: return 1;
    default: return 2;
    }
}

bool StartsAcquisition(uint32_t mode)
{
    return mode == TQ8_MODE_RAM_ACQ || mode == TQ8_MODE_RESERVED || mode == TQ8_MODE_ZAB_ACQ
           || mode == TQ8_MODE_ZAB_BUFFERED_ACQ || mode == TQ8_MODE_RAM_READ_TO_ZAB;
}

AcqTarget TargetOf(uint32_t mode)
{
    if (mode == TQ8_MODE_ZAB_ACQ || mode == TQ8_MODE_ZAB_BUFFERED_ACQ)
        return AcqTarget::Zab;
    return mode == TQ8_MODE_RAM_READ_TO_ZAB ? AcqTarget::RamToZab : AcqTarget::Ram;
}

} // namespace

std::vector<uint32_t> CSimCard::DefaultWindowLengths() { return {0x1000, 0x1000, 0x1000, 0x1000}; }

uint32_t CSimCard::Identification(const BoardDescription& desc)
{
    return 0x33000000u | (desc.revision & 0xFFu) << 8 | (desc.features & 0xFFu);
}

CSimCard::CSimCard(const BoardDescription& desc, const std::vector<uint32_t>& windowLengths)
    : m_board(desc), m_control(m_board, EepromWord(m_board, kEepromVariantWord), [this] { return Now(); }),
      m_eeprom(m_board, [this] { return Now(); }), m_scanPort(ScanChainIdCodes(EepromWord(m_board, kEepromFpgaTypeWord))),
      m_dma(m_interrupt, [this](uint64_t busAddress, uint32_t bytes) { MoveDma(busAddress, bytes); })
{
    for (uint32_t length : windowLengths)
        m_windows.push_back(std::make_unique<CRegisterWindow>(length));
    AttachModels();
    AttachPromHooks();
}

// A PROM's image runs once the scan that loaded it has ended, if it came
// in whole; until then, and after a cut-off load, its version is unknown.
void CSimCard::AttachPromHooks()
{
    m_scanPort.SetConfigHooks(
        [this](size_t chainPart) {
            if (const auto part = FirmwarePartOfProm(chainPart))
                m_board.Firmware().BeginLoad(*part);
        },
        [this](size_t chainPart, const std::vector<bool>& bits) {
            const auto part = FirmwarePartOfProm(chainPart);
            auto image = ParseConfigImage(bits, kMaxScanChainParts);
            if (part && image)
                m_board.Firmware().EndLoad(*part, image->version, std::move(image->bytes));
        });
}

uint32_t CSimCard::FirmwareStatus()
{
    uint32_t status = 0;
    for (FirmwarePart part : {FirmwarePart::System, FirmwarePart::Zab}) {
        const auto i = static_cast<uint32_t>(part);
        status |= static_cast<uint32_t>(m_board.Firmware().Activation(part)) << (2 * i);
        if (m_board.Firmware().Running(part))
            status |= kFirmwareKnown << i;
    }
    return status;
}

CSimCard::~CSimCard()
{
    // Ends a running acquisition, and with it the thread.
    m_board.SetMode(TQ8_MODE_STANDBY);
    JoinAcquisition();
}

void CSimCard::JoinAcquisition()
{
    if (m_acquisition.joinable())
        m_acquisition.join();
}

void CSimCard::WaitForAcquisition()
{
    while (m_acquiring.load())
        std::this_thread::sleep_for(std::chrono::microseconds(100));
}

int64_t CSimCard::Now() const
{
    if (m_now)
        return m_now();
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count() / 100;
}

void CSimCard::AttachModels()
{
    if (!m_windows.empty())
        m_windows[0]->SetHooks([this](uint32_t index, uint32_t stored) { return m_dma.Read(index, stored); },
                               [this](uint32_t index, uint32_t value) { m_dma.Write(index, value); });
    if (m_windows.size() > kControlWindow)
        m_windows[kControlWindow]->SetHooks(
            [this](uint32_t index, uint32_t stored) {
                std::lock_guard lock(m_lock);
                return ReadControl(index, stored);
            },
            [this](uint32_t index, uint32_t value) {
                std::lock_guard lock(m_lock);
                WriteControl(index, value);
            });
    if (m_windows.size() <= kSerialWindow)
        return;
    const uint32_t id = Identification(m_board.Desc());
    m_windows[kSerialWindow]->SetHooks(
        [this, id](uint32_t index, uint32_t stored) {
            std::lock_guard lock(m_lock);
            // The identification register is read-only.
            if (index == kIdentificationOffset / 4)
                return id;
            if (index == kFirmwareVersionOffset / 4 || index == kFirmwareVersionOffset / 4 + 1) {
                const auto running = m_board.Firmware().Running(static_cast<FirmwarePart>(index - kFirmwareVersionOffset / 4));
                return running ? running->version : 0u;
            }
            if (index == kFirmwareStatusOffset / 4)
                return FirmwareStatus();
            if (index == 0)
                return m_eeprom.Read(stored);
            if (index != 1)
                return stored;
            // Without the jumper the chain is cut off from the port.
            const uint32_t lines = m_scanPort.Read(stored);
            return m_board.Firmware().JtagJumper() ? lines : lines & ~CScanPort::kTdo;
        },
        [this](uint32_t index, uint32_t value) {
            std::lock_guard lock(m_lock);
            if (index == 0)
                m_eeprom.Write(value);
            else if (index == 1)
                m_scanPort.Write(value);
        });
}

uint32_t CSimCard::ReadControl(uint32_t index, uint32_t stored)
{
    if (index == kTimestampHigh) {
        uint32_t n = 0;
        m_timestampLatch = 0;
        m_board.ReadTimestamps(&m_timestampLatch, 1, &n, true);
        return static_cast<uint32_t>(m_timestampLatch >> 32);
    }
    if (index == kTimestampLow)
        return static_cast<uint32_t>(m_timestampLatch);
    uint32_t value = m_control.Read(index, stored);
    if (index == CControlRegisters::kStatusRegister) {
        const bool streaming = m_mode.load() == TQ8_MODE_PCI_BUFFERED_ACQ && m_dma.Busy();
        if (m_acquiring.load() || streaming)
            value |= kBusyBits;
    }
    return value;
}

void CSimCard::WriteControl(uint32_t index, uint32_t value)
{
    m_control.Write(index, value);
    if (index == kConverterControl)
        m_channelCode = (value >> 12) & 0xF;
    if (index == kReadStartRegister)
        m_readPosition = uint64_t{value & 0x3FFFFFF} * 16 * UnitFactor(m_channelCode.load());
    if (index == kTriggerRegister && (value & kSoftwareTrigger) != 0)
        m_board.SoftwareTrigger();
    if (index == kModeRegister)
        SwitchMode(value & 0xF);
    else if (index < kDeviceRegisters || index == kOffsetDacRegister)
        // The model's own register file takes what the codec mirrors, the
        // secondary device behind register 10, the delay lines and the DAC.
        m_board.RawRegWrite(1, index, value);
}

void CSimCard::SwitchMode(uint32_t mode)
{
    const uint32_t before = m_mode.exchange(mode);
    if (mode == before)
        return;
    if (mode <= TQ8_MODE_STANDBY) {
        m_board.SetMode(TQ8_MODE_STANDBY); // ends a running acquisition
        return;
    }
    if (before != TQ8_MODE_STANDBY || !StartsAcquisition(mode)) {
        m_board.SetMode(static_cast<int>(mode));
        return;
    }
    // The previous acquisition has ended: its mode went back to 1.
    JoinAcquisition();
    m_acquiring = true;
    // A standby that lands before the thread reaches the board cancels it.
    const uint64_t epoch = m_board.StandbyEpoch();
    m_acquisition = std::thread([this, mode, epoch] { Acquire(mode, epoch); });
}

void CSimCard::Acquire(uint32_t mode, uint64_t epoch)
{
    // The converters run on what clock generator 0 was programmed to give.
    const double rate = m_control.ClockGen(0).OutputMHz(0);
    if (rate > 0) {
        m_board.Set(SettingId::AdcClockSource, 0);
        m_board.Set(SettingId::InternalAdcClockRate, rate);
    }
    const auto start = static_cast<uint32_t>(m_board.Get(SettingId::MemoryRegionStart));
    const auto count = static_cast<uint32_t>(m_board.Get(SettingId::MemoryRegionCount));
    const int32_t rc = m_board.Acquire(TargetOf(mode), start, count, epoch);
    m_acquiring = false;
    // A cancelled acquisition (back to mode 1) raises nothing.
    if (rc != TQ8_ERR_CANCELLED)
        m_dma.Raise(CDmaEngine::kSamplesComplete);
}

void CSimCard::MoveDma(uint64_t busAddress, uint32_t bytes)
{
    uint8_t* host = m_busAccess ? m_busAccess(busAddress, bytes) : nullptr;
    if (host == nullptr)
        return;
    const uint32_t mode = m_mode.load();
    if (mode == TQ8_MODE_PCI_BUFFERED_ACQ) {
        if (m_board.StartPciAcquisition(bytes, host) != TQ8_OK)
            std::memset(host, 0, bytes);
        return;
    }
    const uint64_t position = m_readPosition.fetch_add(bytes);
    const uint64_t size = m_board.RamSize();
    const uint32_t inside = position >= size ? 0 : static_cast<uint32_t>(std::min<uint64_t>(bytes, size - position));
    if (mode == TQ8_MODE_PCI_WRITE_TO_RAM) {
        m_board.WriteRam(static_cast<uint32_t>(position), host, inside);
        return;
    }
    // Beyond the memory the engine reads zeros.
    if (inside > 0)
        m_board.Ram().Read(static_cast<uint32_t>(position), host, inside);
    std::memset(host + inside, 0, bytes - inside);
}

std::vector<CControlRegisters::Access> CSimCard::ControlTrace() const
{
    std::lock_guard lock(m_lock);
    return m_control.Trace();
}

void CSimCard::ClearControlTrace()
{
    std::lock_guard lock(m_lock);
    m_control.ClearTrace();
}

} // namespace tq8
