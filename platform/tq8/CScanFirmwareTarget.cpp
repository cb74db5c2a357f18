#include "CScanFirmwareTarget.h"

#include "CScanPort.h"
#include "CSimCard.h"
#include "ScanChain.h"

namespace tq8 {

namespace {
// Read back past the head: the bits the parts in bypass put ahead of it.
constexpr size_t kSlackBytes = 1;
} // namespace

CScanFirmwareTarget::CScanFirmwareTarget(CDriverLink& link, size_t chainParts)
    : m_link(link), m_port(link), m_chainParts(chainParts)
{
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
    int32_t rc = m_port.Steps({true, true, false, false}); // select DR, select IR, capture, shift
    if (rc == TQ8_OK)
        rc = m_port.Shift(bits, true, nullptr);
    return rc == TQ8_OK ? m_port.Steps({true, false}) : rc; // update, idle
}

int32_t CScanFirmwareTarget::Begin(FirmwarePart part, const ConfigImage& image, bool load)
{
    m_port.Release();
    m_part = part;
    m_image = image;
    m_load = load;
    m_read.clear();
    if (const int32_t rc = m_port.Claim(); rc != TQ8_OK)
        return rc;
    int32_t rc = m_port.ResetPort();
    const uint32_t instruction = load ? CScanPort::kConfigInstruction : CScanPort::kConfigReadInstruction;
    if (rc == TQ8_OK)
        rc = LoadInstruction(PromOf(part), instruction);
    if (rc == TQ8_OK)
        rc = m_port.Steps({true, false, false}); // select DR, capture, shift
    if (rc != TQ8_OK)
        return rc;
    if (load)
        return Piece(ConfigImageHead(image.version, image.bytes.size()));
    return Piece(std::string(kConfigHeadBytes + kSlackBytes, '\0'));
}

int32_t CScanFirmwareTarget::Piece(const std::string& bytes)
{
    if (!m_port.Claimed())
        return TQ8_ERR_NOT_SUPPORTED;
    return m_port.Shift(BytesToBits(bytes), false, m_load ? nullptr : &m_read);
}

// A load ends with a few more bits, so that the last of the image passes
// the parts in bypass behind the PROM, and the scan's update.
int32_t CScanFirmwareTarget::End(bool& holds, FirmwareActivation& activation)
{
    holds = false;
    activation = FirmwareActivation::Immediate;
    int32_t rc = Piece(std::string(kSlackBytes, '\0'));
    if (rc == TQ8_OK)
        rc = m_port.Steps({true, true, false}); // exit, update, idle
    if (rc == TQ8_OK)
        rc = m_port.Release();
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
