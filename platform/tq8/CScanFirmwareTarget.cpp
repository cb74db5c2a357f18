#include "CScanFirmwareTarget.h"

#include <cstring>

#include "CScanPort.h"
#include "CSimCard.h"
#include "ScanChain.h"
#include "TQ8Ioctl.h"

namespace tq8 {

namespace {
// Scan-port control flags: one clock after setting the lines; only clocks,
// as many as the lines field says. Shift flag: TMS high with the last bit.
constexpr uint32_t kClockOnce = 1u << 0;
constexpr uint32_t kClocksOnly = 1u << 2;
constexpr uint32_t kTmsAtEnd = 1u << 2;
constexpr uint32_t kResetClocks = 5;
// Read back past the head: the bits the parts in bypass put ahead of it.
constexpr size_t kSlackBytes = 1;
} // namespace

CScanFirmwareTarget::CScanFirmwareTarget(CDriverLink& link, size_t chainParts)
    : m_link(link), m_chainParts(chainParts)
{
}

CScanFirmwareTarget::~CScanFirmwareTarget()
{
    Finish();
}

int32_t CScanFirmwareTarget::Control(uint32_t flags, uint32_t lines, uint32_t mask, uint32_t* result)
{
    wdm::TQ8_JTAG_CONTROL_REQUEST q{sizeof q, lines, mask, 0, flags};
    const int32_t rc = m_link.Control(wdm::IOCTL_TQ8_JTAG_CONTROL, q);
    if (result != nullptr)
        *result = q.result;
    return rc;
}

int32_t CScanFirmwareTarget::Steps(std::initializer_list<bool> tms)
{
    int32_t rc = TQ8_OK;
    for (bool high : tms)
        if (rc == TQ8_OK)
            rc = Control(kClockOnce, high ? CScanPort::kTms : 0, CScanPort::kTms);
    return rc;
}

// From any state to Test-Logic-Reset, then Run-Test/Idle.
int32_t CScanFirmwareTarget::ResetPort()
{
    int32_t rc = Control(0, CScanPort::kTms, CScanPort::kTms);
    if (rc == TQ8_OK)
        rc = Control(kClocksOnly, kResetClocks, 0);
    return rc == TQ8_OK ? Steps({false}) : rc;
}

// Every part's instruction goes in, the first part's first; the PROM gets
// the instruction, the others bypass. From and back to Run-Test/Idle.
int32_t CScanFirmwareTarget::LoadInstruction(size_t prom, uint32_t instruction)
{
    std::vector<bool> bits;
    for (size_t part = 0; part < m_chainParts; ++part) {
        const uint32_t code = part == prom ? instruction : CScanPort::kBypassInstruction;
        for (uint32_t k = 0; k < CScanPort::kInstructionBits; ++k)
            bits.push_back(((code >> k) & 1) != 0);
    }
    int32_t rc = Steps({true, true, false, false}); // select DR, select IR, capture, shift
    if (rc == TQ8_OK)
        rc = Shift(bits, true, nullptr);
    return rc == TQ8_OK ? Steps({true, false}) : rc; // update, idle
}

// The driver sends bit i from byte (count - 1 - i / 8), least significant
// first, and puts what it captures in the same place.
int32_t CScanFirmwareTarget::Shift(const std::vector<bool>& bits, bool leave, std::vector<bool>* captured)
{
    const size_t bytes = (bits.size() + 7) / 8;
    std::vector<uint8_t> q(sizeof(wdm::TQ8_JTAG_SHIFT_REQUEST) + bytes);
    uint8_t* data = q.data() + sizeof(wdm::TQ8_JTAG_SHIFT_REQUEST);
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i])
            data[bytes - 1 - i / 8] = static_cast<uint8_t>(data[bytes - 1 - i / 8] | 1u << (i % 8));
    const uint32_t flags = wdm::TQ8_JTAG_SHIFT_OUT | (captured ? wdm::TQ8_JTAG_SHIFT_IN : 0) | (leave ? kTmsAtEnd : 0);
    const wdm::TQ8_JTAG_SHIFT_REQUEST head{static_cast<uint32_t>(q.size()), flags, static_cast<uint32_t>(bits.size())};
    std::memcpy(q.data(), &head, sizeof head);
    const auto length = static_cast<uint32_t>(q.size());
    const int32_t rc = m_link.Control(wdm::IOCTL_TQ8_JTAG_SHIFT, q.data(), length, q.data(), captured ? length : 0);
    if (rc == TQ8_OK && captured)
        for (size_t i = 0; i < bits.size(); ++i)
            captured->push_back(((data[bytes - 1 - i / 8] >> (i % 8)) & 1) != 0);
    return rc;
}

int32_t CScanFirmwareTarget::Begin(FirmwarePart part, const ConfigImage& image, bool load)
{
    Finish();
    m_part = part;
    m_image = image;
    m_load = load;
    m_read.clear();
    uint32_t granted = 0;
    if (const int32_t rc = Control(wdm::TQ8_JTAG_CLAIM, 0, 0, &granted); rc != TQ8_OK)
        return rc;
    if (granted != 1)
        return TQ8_ERR_BUSY;
    m_claimed = true;
    int32_t rc = ResetPort();
    const uint32_t instruction = load ? CScanPort::kConfigInstruction : CScanPort::kConfigReadInstruction;
    if (rc == TQ8_OK)
        rc = LoadInstruction(PromOf(part), instruction);
    if (rc == TQ8_OK)
        rc = Steps({true, false, false}); // select DR, capture, shift
    if (rc != TQ8_OK)
        return rc;
    if (load)
        return Piece(ConfigImageHead(image.version, image.bytes.size()));
    return Piece(std::string(kConfigHeadBytes + kSlackBytes, '\0'));
}

int32_t CScanFirmwareTarget::Piece(const std::string& bytes)
{
    if (!m_claimed)
        return TQ8_ERR_NOT_SUPPORTED;
    return Shift(BytesToBits(bytes), false, m_load ? nullptr : &m_read);
}

// A load ends with a few more bits, so that the last of the image passes
// the parts in bypass behind the PROM, and the scan's update.
int32_t CScanFirmwareTarget::End(bool& holds, FirmwareActivation& activation)
{
    holds = false;
    activation = FirmwareActivation::Immediate;
    int32_t rc = Shift(BytesToBits(std::string(kSlackBytes, '\0')), true, m_load ? nullptr : &m_read);
    if (rc == TQ8_OK)
        rc = Steps({true, false}); // update, idle
    if (rc == TQ8_OK)
        rc = Finish();
    if (rc != TQ8_OK)
        return rc;
    if (!m_load) {
        const auto image = ParseConfigImage(m_read, 2 * kMaxScanChainParts);
        holds = image && image->bytes == m_image.bytes && image->version.version == m_image.version.version
                && image->version.custom == m_image.version.custom;
        return TQ8_OK;
    }
    uint32_t status = 0;
    rc = m_link.RawRead(CSimCard::kSerialWindow, CSimCard::kFirmwareStatusOffset / 4, status);
    activation = static_cast<FirmwareActivation>((status >> (2 * static_cast<uint32_t>(m_part))) & 3);
    holds = true;
    return rc;
}

int32_t CScanFirmwareTarget::Finish()
{
    if (!m_claimed)
        return TQ8_OK;
    m_claimed = false;
    const int32_t rc = ResetPort();
    const int32_t released = Control(wdm::TQ8_JTAG_RELEASE, 0, 0);
    return rc != TQ8_OK ? rc : released;
}

int32_t CScanFirmwareTarget::Running(CDriverLink& link, FirmwarePart part, std::optional<FirmwareVersion>& version)
{
    version.reset();
    uint32_t status = 0;
    uint32_t word = 0;
    const auto index = static_cast<int32_t>(part);
    int32_t rc = link.RawRead(CSimCard::kSerialWindow, CSimCard::kFirmwareStatusOffset / 4, status);
    if (rc == TQ8_OK)
        rc = link.RawRead(CSimCard::kSerialWindow, CSimCard::kFirmwareVersionOffset / 4 + index, word);
    if (rc == TQ8_OK && (status & CSimCard::kFirmwareKnown << index) != 0)
        version = FirmwareVersion{word, 0};
    return rc;
}

} // namespace tq8
